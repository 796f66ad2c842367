#include "LinkLabel.h"

#include <QMouseEvent>

TLinkLabel::TLinkLabel(const QString& text, const QColor& color, QWidget* parent)
    : QLabel(text, parent)
{
    QFont underlined = font();
    underlined.setUnderline(true);
    setFont(underlined);
    QPalette colors = palette();
    // Only the enabled look: a disabled link stays grey.
    colors.setColor(QPalette::Active, QPalette::WindowText, color);
    colors.setColor(QPalette::Inactive, QPalette::WindowText, color);
    setPalette(colors);
    setCursor(Qt::PointingHandCursor);
}

void TLinkLabel::mouseReleaseEvent(QMouseEvent* event)
{
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && isEnabled() && rect().contains(event->position().toPoint()))
        emit clicked();
}
