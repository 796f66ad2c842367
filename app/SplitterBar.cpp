#include "SplitterBar.h"

#include <QCoreApplication>
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

int TSplitterBar::LargestPanelSize() const
{
    // The window stays as large as it is: the panel grows only into the room the
    // window's other parts can give up.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    const QWidget* owner = window();
    const QSize room = owner->size() - owner->minimumSizeHint();
    const int current = FOrientation == Qt::Vertical ? FResized->width() : FResized->height();
    return current + std::max(0, FOrientation == Qt::Vertical ? room.width() : room.height());
}

void TSplitterBar::mouseMoveEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton))
        return;
    const int wanted = FSizeAtStart + Coordinate(event) - FDragStart;
    const int size = std::max(MinimumPanelSize, std::min(wanted, LargestPanelSize()));
    if (FOrientation == Qt::Vertical)
        FResized->setFixedWidth(size);
    else
        FResized->setFixedHeight(size);
}
