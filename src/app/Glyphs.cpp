#include "app/Glyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <cmath>
#include <functional>

namespace {
QIcon draw(const std::function<void(QPainter&)>& paint)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    paint(p);
    p.end();
    return QIcon(pixmap);
}
}

QIcon Glyphs::OpenFolder()
{
    return draw([](QPainter& p) {
        p.setPen(QColor(128, 96, 0));
        p.setBrush(QColor(240, 200, 80));
        p.drawRect(QRectF(1.5, 4.5, 11, 9));
        p.drawRect(QRectF(1.5, 3.5, 5, 2));
        p.setBrush(QColor(255, 228, 120));
        QPolygonF flap;
        flap << QPointF(3.5, 7.5) << QPointF(15.5, 7.5) << QPointF(12.5, 13.5) << QPointF(1.5, 13.5);
        p.drawPolygon(flap);
    });
}

QIcon Glyphs::Diskette()
{
    return draw([](QPainter& p) {
        p.setPen(QColor(0, 0, 64));
        p.setBrush(QColor(40, 60, 160));
        p.drawRect(QRectF(1.5, 1.5, 13, 13));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4.5, 1.5, 7, 5));
        p.setBrush(QColor(200, 200, 200));
        p.drawRect(QRectF(4.5, 9.5, 7, 5));
    });
}

QIcon Glyphs::Play()
{
    return draw([](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 140, 0));
        QPolygonF triangle;
        triangle << QPointF(4, 2) << QPointF(14, 8) << QPointF(4, 14);
        p.drawPolygon(triangle);
    });
}

QIcon Glyphs::Pause()
{
    return draw([](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 160));
        p.drawRect(QRectF(3, 2, 4, 12));
        p.drawRect(QRectF(9, 2, 4, 12));
    });
}

QIcon Glyphs::Link()
{
    return draw([](QPainter& p) {
        p.setPen(QPen(QColor(0, 90, 160), 2));
        p.setBrush(Qt::NoBrush);
        p.translate(8, 8);
        p.rotate(-45);
        p.drawRoundedRect(QRectF(-7, -2.5, 8, 5), 2.5, 2.5);
        p.drawRoundedRect(QRectF(-1, -2.5, 8, 5), 2.5, 2.5);
    });
}

QIcon Glyphs::RedCross()
{
    return draw([](QPainter& p) {
        p.setPen(QPen(QColor(200, 0, 0), 3, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(3, 3), QPointF(13, 13));
        p.drawLine(QPointF(13, 3), QPointF(3, 13));
    });
}

QIcon Glyphs::Gears()
{
    return draw([](QPainter& p) {
        auto gear = [&p](QPointF c, double r, int teeth) {
            QPainterPath path;
            for (int i = 0; i < teeth * 2; ++i) {
                const double a = i * M_PI / teeth;
                const double rr = (i % 2) ? r * 0.7 : r;
                const QPointF pt(c.x() + rr * std::cos(a), c.y() + rr * std::sin(a));
                i == 0 ? path.moveTo(pt) : path.lineTo(pt);
            }
            path.closeSubpath();
            path.addEllipse(c, r * 0.3, r * 0.3);
            p.drawPath(path);
        };
        p.setPen(QColor(60, 60, 60));
        p.setBrush(QColor(150, 150, 150));
        gear(QPointF(6, 6), 5.5, 8);
        p.setBrush(QColor(190, 190, 190));
        gear(QPointF(11.5, 11.5), 4, 6);
    });
}

QIcon Glyphs::StopSquare()
{
    return draw([](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(190, 0, 0));
        p.drawRect(QRectF(3, 3, 10, 10));
    });
}

QIcon Glyphs::GreenTick()
{
    return draw([](QPainter& p) {
        p.setPen(QPen(QColor(0, 150, 0), 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QPolygonF() << QPointF(2.5, 8.5) << QPointF(6.5, 12.5) << QPointF(13.5, 3.5));
    });
}

QIcon Glyphs::RoleIcon(int digit)
{
    QIcon icon;
    for (int size : {16, 32, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(QColor(0, 110, 120));
        QPainter p(&pixmap);
        QFont font(QStringLiteral("Sans Serif"));
        font.setBold(true);
        font.setPixelSize(size * 7 / 8);
        p.setFont(font);
        p.setPen(Qt::white);
        p.drawText(pixmap.rect(), Qt::AlignCenter, QString::number(digit));
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}
