#include "SplitterBar.h"

#include <QMouseEvent>

namespace {

// The smallest size a drag leaves the panel.
const int MinimumPanelSize = 30;

} // namespace

TSplitterBar::TSplitterBar(Qt::Orientation orientation, QWidget* resized, QWidget* parent)
    : QFrame(parent), FOrientation(orientation), FResized(resized)
{
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    setAutoFillBackground(true);
    QPalette colors = palette();
    colors.setColor(QPalette::Window, QColor(0, 255, 255));
    setPalette(colors);
    if (orientation == Qt::Vertical) {
        setFixedWidth(5);
        setCursor(Qt::SplitHCursor);
    } else {
        setFixedHeight(5);
        setCursor(Qt::SplitVCursor);
    }
}

int TSplitterBar::Coordinate(QMouseEvent* event) const
{
    QPointF position = event->globalPosition();
    return static_cast<int>(FOrientation == Qt::Vertical ? position.x() : position.y());
}

void TSplitterBar::mousePressEvent(QMouseEvent* event)
{
    FDragStart = Coordinate(event);
    FSizeAtStart = FOrientation == Qt::Vertical ? FResized->width() : FResized->height();
}

void TSplitterBar::mouseMoveEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton))
        return;
    int size = std::max(MinimumPanelSize, FSizeAtStart + Coordinate(event) - FDragStart);
    if (FOrientation == Qt::Vertical)
        FResized->setFixedWidth(size);
    else
        FResized->setFixedHeight(size);
}
