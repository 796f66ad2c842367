#pragma once
// Sizes that fit the font in use. The window's sizes were laid out for a font whose
// lines are 13 pixels high; a taller font widens and heightens them in proportion, and
// a text that still does not fit gets the room it needs. The laid-out sizes are the
// least a control ever gets.

class QFontMetrics;
class QString;
class QWidget;

// How much larger than the laid-out font the widget's font is; never below 1.
double FontScale(const QFontMetrics& metrics);
double FontScale(const QWidget& widget);

// A laid-out size in the widget's font.
int Fitted(int designed, const QWidget& widget);

// The width a one-line text takes in the widget's font, with room for a control's
// margins of that many pixels on each side.
int TextWidth(const QWidget& widget, const QString& text, int margin);

// The widest text a message date gives in the header list's regional format.
QString WidestDateText();
