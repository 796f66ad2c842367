#pragma once
// A divider between two panels that resizes one of them while it is dragged: a
// vertical bar sets the width of the panel at its left, a horizontal bar the height of
// the panel above it. The panel keeps a fixed size, so its size is always exactly what
// the settings file stores. A drag never makes the window larger.

#include <QFrame>

class TSplitterBar : public QFrame {
public:
    TSplitterBar(Qt::Orientation orientation, QWidget* resized, QWidget* parent);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    int Coordinate(QMouseEvent* event) const;
    int LargestPanelSize() const;

    Qt::Orientation FOrientation;
    QWidget* FResized;
    int FDragStart = 0;
    int FSizeAtStart = 0;
};
