#pragma once
// A one-line label of the status bar that shows a text too long for it with "…" in the
// middle, and the whole text in its tooltip; text() stays the whole text.

#include <QLabel>

class TElidedLabel : public QLabel {
public:
    using QLabel::QLabel;

    // Whether the text is shown shortened now.
    bool Elided() const;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};
