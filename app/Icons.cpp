#include "Icons.h"

#include <QApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QStyle>
#include <QStyleOption>
#include <functional>

namespace {

using TPicture = std::function<void(QPainter&)>;

// Paints a picture drawn on a canvas of design x design units at whatever size and
// pixel density it is asked for, so that it is sharp at every scale of the screen.
class TPaintedIconEngine : public QIconEngine {
public:
    TPaintedIconEngine(int design, TPicture picture) : FDesign(design), FPicture(std::move(picture)) {}

    QIconEngine* clone() const override { return new TPaintedIconEngine(FDesign, FPicture); }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        const qreal scale = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        painter->drawPixmap(rect, scaledPixmap(rect.size() * scale, mode, state, scale));
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return scaledPixmap(size, mode, state, 1.0);
    }

    // size is in device pixels; QIcon marks the pixmap with the scale.
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State, qreal scale) override
    {
        QPixmap pixmap(size);
        pixmap.fill(Qt::transparent);
        {
            QPainter painter(&pixmap);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.scale(pixmap.width() / qreal(FDesign), pixmap.height() / qreal(FDesign));
            FPicture(painter);
        }
        pixmap.setDevicePixelRatio(scale);
        if (mode == QIcon::Normal || mode == QIcon::Active)
            return pixmap;
        // Disabled and selected looks come from the style, as for any other icon.
        QStyleOption option;
        option.palette = QApplication::palette();
        return QApplication::style()->generatedIconPixmap(mode, pixmap, &option);
    }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override { return size; }

private:
    int FDesign;
    TPicture FPicture;
};

QIcon Draw(int size, const TPicture& paint)
{
    return QIcon(new TPaintedIconEngine(size, paint));
}

// A letter envelope filling the rectangle.
void Envelope(QPainter& painter, const QRectF& box, const QColor& paper)
{
    painter.setPen(QPen(Qt::darkGray, 1));
    painter.setBrush(paper);
    painter.drawRect(box);
    QPainterPath flap;
    flap.moveTo(box.topLeft());
    flap.lineTo(box.center().x(), box.top() + box.height() * 0.6);
    flap.lineTo(box.topRight());
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(flap);
}

void Cross(QPainter& painter, const QRectF& box)
{
    painter.setPen(QPen(QColor(200, 0, 0), 2.5, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(box.topLeft(), box.bottomRight());
    painter.drawLine(box.topRight(), box.bottomLeft());
}

void Letter(QPainter& painter, const QRectF& circle, const QColor& color, const QString& letter)
{
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawEllipse(circle);
    QFont bold("DejaVu Sans", 9, QFont::Bold);
    bold.setPixelSize(static_cast<int>(circle.height() * 0.75));
    painter.setFont(bold);
    painter.setPen(Qt::white);
    painter.drawText(circle, Qt::AlignCenter, letter);
}

void Person(QPainter& painter)
{
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(40, 90, 170));
    painter.drawEllipse(QRectF(4.5, 1, 7, 7));
    painter.drawRoundedRect(QRectF(2, 9, 12, 6.5), 3, 3);
}

void Arrow(QPainter& painter, const QColor& color)
{
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    QPolygonF arrow({{6, 1}, {10, 1}, {10, 7}, {14, 7}, {8, 14}, {2, 7}, {6, 7}});
    painter.drawPolygon(arrow);
}

} // namespace

QList<QIcon> CommandImages()
{
    QList<QIcon> images;
    images << Draw(16, [](QPainter& p) {   // account properties: a card with lines
        p.setPen(QPen(Qt::darkGray, 1));
        p.setBrush(QColor(255, 255, 230));
        p.drawRect(QRectF(2.5, 1.5, 11, 13));
        for (double y : {5.0, 8.0, 11.0})
            p.drawLine(QPointF(5, y), QPointF(11, y));
    });
    images << Draw(16, [](QPainter& p) {   // new account: a person and a plus
        Person(p);
        p.setPen(QPen(QColor(0, 150, 0), 2.5));
        p.drawLine(QPointF(12, 1), QPointF(12, 8));
        p.drawLine(QPointF(8.5, 4.5), QPointF(15.5, 4.5));
    });
    images << Draw(16, [](QPainter& p) {   // delete account: a person crossed out
        Person(p);
        Cross(p, QRectF(8, 1, 7, 7));
    });
    images << Draw(16, [](QPainter& p) {   // check messages: an envelope with a tick
        Envelope(p, QRectF(1.5, 3.5, 13, 9), QColor(255, 255, 210));
        p.setPen(QPen(QColor(0, 150, 0), 2.2, Qt::SolidLine, Qt::RoundCap));
        p.drawPolyline(QPolygonF({{7, 10}, {10, 13}, {15, 6}}));
    });
    images << Draw(16, [](QPainter& p) { Arrow(p, QColor(30, 100, 200)); });   // download message
    images << Draw(16, [](QPainter& p) {   // delete message: an envelope crossed out
        Envelope(p, QRectF(1.5, 3.5, 13, 9), QColor(255, 255, 210));
        Cross(p, QRectF(5, 4, 8, 8));
    });
    images << QIcon();                     // index 6 is not used
    images << Draw(16, [](QPainter& p) { Letter(p, QRectF(1, 1, 14, 14), QColor(30, 100, 200), "i"); });
    images << Draw(16, [](QPainter& p) { Letter(p, QRectF(1, 1, 14, 14), QColor(0, 140, 60), "?"); });
    return images;
}

QList<QIcon> AccountImages()
{
    return {Draw(32, [](QPainter& p) {
        Envelope(p, QRectF(2.5, 7.5, 27, 18), QColor(255, 255, 210));
        Letter(p, QRectF(17, 15, 14, 14), QColor(30, 100, 200), "@");
    })};
}

QIcon ProgramIcon()
{
    return Draw(32, [](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(20, 60, 110));
        p.drawRoundedRect(QRectF(1, 1, 30, 30), 6, 6);
        Envelope(p, QRectF(6.5, 10.5, 19, 13), QColor(255, 255, 255));
    });
}
