#include "window/buttonart.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>

namespace window {

namespace {

QImage canvas(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

QPen strokePen(const QColor& colour, qreal width)
{
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

} // namespace

QPixmap questionPicture()
{
    QImage image = canvas(41, 45);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(strokePen(Qt::black, 4.5));
    p.setBrush(Qt::NoBrush);

    // The question mark in the upper right: a hook, its stem and the dot.
    QPainterPath hook;
    hook.arcMoveTo(QRectF(17, 3, 18, 16), 160);
    hook.arcTo(QRectF(17, 3, 18, 16), 160, -250);
    hook.quadTo(26, 19, 26, 25);
    p.drawPath(hook);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    p.drawEllipse(QPointF(26, 32), 3.0, 3.0);

    // The arrow from the question mark down to the lower left corner.
    p.setPen(strokePen(Qt::black, 3));
    p.drawLine(QPointF(19, 28), QPointF(6, 41));
    const QPointF head[] = {QPointF(2, 43), QPointF(3, 31), QPointF(14, 42)};
    p.setPen(strokePen(Qt::black, 1));
    p.drawPolygon(head, 3);
    p.end();
    return QPixmap::fromImage(image);
}

QPixmap okPicture()
{
    QImage image = canvas(44, 36);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(strokePen(QColor(0, 160, 0), 7));
    const QPointF tick[] = {QPointF(6, 19), QPointF(16, 29), QPointF(38, 6)};
    p.drawPolyline(tick, 3);
    p.end();
    return QPixmap::fromImage(image);
}

QPixmap cancelPicture()
{
    QImage image = canvas(37, 39);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(strokePen(QColor(220, 0, 0), 7));
    p.drawLine(QPointF(7, 7), QPointF(30, 32));
    p.drawLine(QPointF(30, 7), QPointF(7, 32));
    p.end();
    return QPixmap::fromImage(image);
}

} // namespace window
