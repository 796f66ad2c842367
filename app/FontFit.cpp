#include "FontFit.h"

#include "DateText.h"
#include "QtText.h"

#include <QDate>
#include <QFontMetrics>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace {

constexpr double DesignedLineHeight = 13.0;

} // namespace

double FontScale(const QFontMetrics& metrics)
{
    return std::max(1.0, metrics.height() / DesignedLineHeight);
}

double FontScale(const QWidget& widget)
{
    return FontScale(widget.fontMetrics());
}

int Fitted(int designed, const QWidget& widget)
{
    return static_cast<int>(std::ceil(designed * FontScale(widget)));
}

int TextWidth(const QWidget& widget, const QString& text, int margin)
{
    return widget.fontMetrics().horizontalAdvance(text) + 2 * margin;
}

QString WidestDateText()
{
    // Two-digit day, month and hour, the late evening of a December.
    const double day = QDate(1899, 12, 30).daysTo(QDate(2088, 12, 28));
    const double time = (23 * 3600 + 58 * 60 + 58) / 86400.0;
    return ToQt(DateTimeText(day + time));
}
