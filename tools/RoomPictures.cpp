#include "RoomPictures.h"

#include <QBuffer>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPolygonF>
#include <QRadialGradient>

namespace RoomPictures {

namespace {

constexpr int Width = 320;
constexpr int Height = 240;
// The back wall; everything else is drawn in perspective around it.
constexpr QRectF BackWall(60, 30, 200, 120);

void polygon(QPainter &p, std::initializer_list<QPointF> points, const QColor &fill)
{
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawPolygon(QPolygonF(QList<QPointF>(points)));
}

void shell(QPainter &p, const QColor &wall, const QColor &floor)
{
    const qreal l = BackWall.left(), r = BackWall.right(), t = BackWall.top(), b = BackWall.bottom();
    polygon(p, {{0, 0}, {Width, 0}, {r, t}, {l, t}}, wall.lighter(112));
    polygon(p, {{0, 0}, {l, t}, {l, b}, {0, Height}}, wall.darker(112));
    polygon(p, {{Width, 0}, {r, t}, {r, b}, {Width, Height}}, wall.darker(118));
    p.fillRect(BackWall, wall);
    polygon(p, {{l, b}, {r, b}, {Width, Height}, {0, Height}}, floor);
    // Boards or carpet stripes running toward the back wall.
    p.setPen(QPen(floor.darker(125), 1));
    for (int i = 1; i < 8; ++i) {
        const qreal back = l + (r - l) * i / 8;
        const qreal front = qreal(Width) * i / 8;
        p.drawLine(QPointF(back, b), QPointF(front, Height));
    }
}

void window(QPainter &p, const QRectF &frame, bool sea)
{
    QLinearGradient sky(frame.topLeft(), frame.bottomLeft());
    sky.setColorAt(0, QColor(110, 170, 230));
    sky.setColorAt(1, QColor(200, 225, 245));
    p.setPen(Qt::NoPen);
    p.setBrush(sky);
    p.drawRect(frame);
    if (sea) {
        const QRectF water(frame.left(), frame.top() + frame.height() * 0.55, frame.width(), frame.height() * 0.45);
        p.fillRect(water, QColor(40, 110, 170));
        p.fillRect(QRectF(water.left(), water.top(), water.width(), 2), QColor(230, 240, 250));
    } else {
        // Roofs of the city.
        const qreal heights[] = {0.45, 0.7, 0.35, 0.6, 0.5, 0.8};
        const qreal w = frame.width() / 6;
        for (int i = 0; i < 6; ++i) {
            const qreal h = frame.height() * heights[i];
            p.fillRect(QRectF(frame.left() + i * w, frame.bottom() - h, w - 1, h), QColor(120 + 12 * i, 120, 135));
        }
    }
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(250, 250, 245), 3));
    p.drawRect(frame);
    p.drawLine(QPointF(frame.center().x(), frame.top()), QPointF(frame.center().x(), frame.bottom()));
    // Curtains.
    const QColor curtain(180, 60, 60);
    p.fillRect(QRectF(frame.left() - 12, frame.top() - 6, 14, frame.height() + 16), curtain);
    p.fillRect(QRectF(frame.right() - 2, frame.top() - 6, 14, frame.height() + 16), curtain);
}

void painting(QPainter &p, const QRectF &frame)
{
    p.setPen(QPen(QColor(120, 80, 40), 3));
    p.setBrush(QColor(245, 235, 200));
    p.drawRect(frame);
    polygon(p,
            {{frame.left() + 3, frame.bottom() - 2},
             {frame.left() + frame.width() * 0.35, frame.top() + 5},
             {frame.left() + frame.width() * 0.65, frame.bottom() - 2}},
            QColor(90, 130, 90));
    polygon(p,
            {{frame.left() + frame.width() * 0.45, frame.bottom() - 2},
             {frame.left() + frame.width() * 0.7, frame.top() + 9},
             {frame.right() - 3, frame.bottom() - 2}},
            QColor(70, 110, 120));
    p.setBrush(QColor(240, 190, 60));
    p.drawEllipse(QPointF(frame.right() - 8, frame.top() + 8), 4, 4);
}

// A bed seen from its foot: headboard against the back wall, the mattress
// widening toward the viewer.
void bed(QPainter &p, qreal x, qreal y, qreal width, const QColor &spread, int pillows)
{
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(110, 70, 40));
    p.drawRoundedRect(QRectF(x, y - 28, width, 34), 5, 5);
    p.setBrush(QColor(248, 248, 244));
    p.drawRect(QRectF(x, y, width, 16));
    const qreal pillowWidth = (width - 6 * (pillows + 1)) / pillows;
    for (int i = 0; i < pillows; ++i)
        p.drawEllipse(QRectF(x + 6 + i * (pillowWidth + 6), y - 8, pillowWidth, 14));
    polygon(p, {{x, y + 10}, {x + width, y + 10}, {x + width + 14, y + 56}, {x - 14, y + 56}}, spread);
    polygon(p, {{x - 14, y + 56}, {x + width + 14, y + 56}, {x + width + 14, y + 66}, {x - 14, y + 66}}, spread.darker(140));
}

void lamp(QPainter &p, qreal x, qreal floorY)
{
    p.setPen(Qt::NoPen);
    QRadialGradient glow(QPointF(x + 15, floorY - 52), 34);
    glow.setColorAt(0, QColor(255, 240, 170, 200));
    glow.setColorAt(1, QColor(255, 240, 170, 0));
    p.setBrush(glow);
    p.drawEllipse(QPointF(x + 15, floorY - 52), 34, 34);
    p.fillRect(QRectF(x, floorY - 30, 30, 30), QColor(125, 85, 50));
    p.fillRect(QRectF(x + 3, floorY - 20, 24, 2), QColor(90, 60, 35));
    p.fillRect(QRectF(x + 13, floorY - 46, 4, 16), QColor(70, 70, 70));
    polygon(p, {{x + 6, floorY - 46}, {x + 24, floorY - 46}, {x + 20, floorY - 62}, {x + 10, floorY - 62}},
            QColor(250, 225, 150));
}

void rug(QPainter &p, const QRectF &area, const QColor &colour)
{
    p.setPen(QPen(colour.darker(130), 2));
    p.setBrush(colour);
    p.drawEllipse(area);
}

void sofa(QPainter &p, qreal x, qreal y, const QColor &colour)
{
    p.setPen(Qt::NoPen);
    p.setBrush(colour.darker(115));
    p.drawRoundedRect(QRectF(x, y, 70, 26), 6, 6);
    p.setBrush(colour);
    p.drawRoundedRect(QRectF(x - 6, y + 16, 82, 22), 6, 6);
    p.drawRoundedRect(QRectF(x - 10, y + 8, 14, 32), 5, 5);
    p.drawRoundedRect(QRectF(x + 66, y + 8, 14, 32), 5, 5);
}

void plant(QPainter &p, qreal x, qreal floorY)
{
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(60, 140, 70));
    p.drawEllipse(QPointF(x, floorY - 40), 14, 18);
    p.drawEllipse(QPointF(x - 9, floorY - 30), 10, 12);
    p.drawEllipse(QPointF(x + 9, floorY - 30), 10, 12);
    polygon(p, {{x - 10, floorY - 22}, {x + 10, floorY - 22}, {x + 7, floorY}, {x - 7, floorY}}, QColor(170, 90, 50));
}

void bunk(QPainter &p, qreal x, qreal y)
{
    const QColor frame(150, 100, 60);
    p.fillRect(QRectF(x, y - 70, 6, 110), frame);
    p.fillRect(QRectF(x + 64, y - 70, 6, 110), frame);
    const QColor spreads[] = {QColor(80, 150, 200), QColor(230, 160, 60)};
    for (int level = 0; level < 2; ++level) {
        const qreal top = y - 60 + level * 50;
        p.fillRect(QRectF(x + 6, top, 58, 10), QColor(248, 248, 244));
        p.fillRect(QRectF(x + 6, top + 8, 58, 14), spreads[level]);
        p.fillRect(QRectF(x, top + 22, 70, 4), frame);
    }
}

} // namespace

QByteArray bmp(Furnishing furnishing)
{
    QImage image(Width, Height, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        const qreal floorY = BackWall.bottom();
        switch (furnishing) {
        case Furnishing::Single:
            shell(p, QColor(222, 232, 208), QColor(185, 138, 90));
            window(p, QRectF(170, 50, 60, 55), false);
            painting(p, QRectF(85, 55, 44, 32));
            bed(p, 95, 128, 60, QColor(70, 120, 90), 1);
            lamp(p, 178, floorY + 12);
            rug(p, QRectF(150, 200, 110, 28), QColor(200, 170, 120));
            break;
        case Furnishing::Double:
            shell(p, QColor(239, 226, 200), QColor(168, 116, 74));
            window(p, QRectF(125, 45, 70, 52), true);
            bed(p, 115, 130, 90, QColor(60, 90, 150), 2);
            lamp(p, 72, floorY + 10);
            lamp(p, 218, floorY + 10);
            rug(p, QRectF(70, 205, 180, 28), QColor(190, 150, 110));
            break;
        case Furnishing::Triple:
            shell(p, QColor(216, 228, 239), QColor(176, 130, 88));
            window(p, QRectF(135, 42, 50, 45), false);
            bed(p, 62, 128, 46, QColor(200, 90, 80), 1);
            bed(p, 137, 128, 46, QColor(90, 150, 110), 1);
            bed(p, 212, 128, 46, QColor(220, 170, 70), 1);
            break;
        case Furnishing::Suite:
            shell(p, QColor(243, 234, 216), QColor(140, 90, 100));
            window(p, QRectF(150, 40, 95, 62), true);
            painting(p, QRectF(80, 48, 50, 36));
            bed(p, 80, 132, 100, QColor(150, 40, 60), 3);
            sofa(p, 210, 170, QColor(90, 110, 140));
            plant(p, 285, 225);
            lamp(p, 190, floorY + 8);
            break;
        case Furnishing::Family:
            shell(p, QColor(245, 230, 176), QColor(160, 118, 80));
            window(p, QRectF(110, 45, 60, 50), false);
            bed(p, 80, 130, 85, QColor(110, 80, 150), 2);
            bunk(p, 215, 160);
            lamp(p, 180, floorY + 10);
            rug(p, QRectF(40, 208, 150, 24), QColor(120, 170, 150));
            break;
        }
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return bytes;
}

QByteArray logoBmp()
{
    QImage image(240, 160, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        const QPointF centre(120, 80);
        const QColor gold(190, 150, 60);
        const QColor green(46, 110, 72);
        // The ring.
        p.setPen(QPen(gold, 7));
        p.setBrush(QColor(248, 244, 232));
        p.drawEllipse(centre, 72, 72);
        // The ground and the trunk.
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(150, 120, 70));
        p.drawChord(QRectF(60, 92, 120, 40), 0, 180 * 16);
        polygon(p, {{114, 112}, {126, 112}, {123, 86}, {140, 70}, {136, 67}, {120, 80}, {104, 66}, {100, 70}, {117, 86}},
                QColor(110, 80, 50));
        // The flat crown of an acacia, in three layers.
        for (const auto &[rect, shade] : {std::pair{QRectF(66, 44, 108, 30), 0}, std::pair{QRectF(78, 34, 84, 22), 1},
                                          std::pair{QRectF(92, 26, 56, 16), 2}}) {
            p.setBrush(green.lighter(100 + 14 * shade));
            p.drawEllipse(rect);
        }
        // A sun behind the crown.
        p.setBrush(gold.lighter(125));
        p.drawEllipse(QPointF(156, 36), 9, 9);
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.convertToFormat(QImage::Format_RGB888).save(&buffer, "BMP");
    return bytes;
}

} // namespace RoomPictures
