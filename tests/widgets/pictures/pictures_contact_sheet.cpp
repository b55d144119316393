// Writes, into the folder named by HOTEL_PICTURES_DIR:
//   icons.png        every icon at 1x on light and grey backgrounds, at ratio 2,
//                    and enlarged 6 times pixel by pixel, with its number;
//   hotel.png        the hotel picture at its own size;
//   hotel_small.png  the hotel picture stretched to the printed box (25.8 x 17.2 mm)
//                    at 96 and 300 dots per inch, shown beside each other.
#include "HotelPicture.h"
#include "ImageList16.h"

#include <QDir>
#include <QGuiApplication>
#include <QPainter>

#include <cstdio>

namespace {

constexpr int Zoom = 6;
constexpr int Columns = 6;
constexpr int CellWidth = 16 * Zoom + 40 + 32 + 16;
constexpr int CellHeight = 16 * Zoom + 40;

QImage contactSheet()
{
    const int rows = (ImageList16::Count + Columns - 1) / Columns;
    QImage sheet(Columns * CellWidth, rows * CellHeight, QImage::Format_RGB32);
    sheet.fill(QColor(0xf4, 0xf4, 0xf4));
    QPainter p(&sheet);
    QFont font = p.font();
    font.setPixelSize(12);
    p.setFont(font);
    for (int i = 0; i < ImageList16::Count; ++i) {
        const int x = (i % Columns) * CellWidth + 4;
        const int y = (i / Columns) * CellHeight + 4;
        p.setPen(Qt::black);
        p.drawText(QRect(x, y, 40, 14), Qt::AlignLeft | Qt::AlignTop, QString::number(i));
        // A light checkerboard shows transparency in the enlarged view.
        const QRect big(x, y + 16, 16 * Zoom, 16 * Zoom);
        for (int cy = 0; cy < 16; ++cy)
            for (int cx = 0; cx < 16; ++cx)
                p.fillRect(big.x() + cx * Zoom, big.y() + cy * Zoom, Zoom, Zoom,
                           ((cx + cy) % 2) ? QColor(0xe0, 0xe0, 0xe0) : QColor(0xfc, 0xfc, 0xfc));
        p.drawImage(big, ImageList16::image(i).scaled(big.size(), Qt::IgnoreAspectRatio, Qt::FastTransformation));
        p.setPen(QColor(0xb0, 0xb0, 0xb0));
        p.drawRect(big.adjusted(-1, -1, 0, 0));
        const int sx = big.right() + 8;
        p.fillRect(sx - 2, big.y(), 24, 20, Qt::white);
        p.drawImage(sx + 2, big.y() + 2, ImageList16::image(i));
        p.fillRect(sx - 2, big.y() + 24, 24, 20, QColor(0xd4, 0xd0, 0xc8));
        p.drawImage(sx + 2, big.y() + 26, ImageList16::image(i));
        p.fillRect(sx - 2, big.y() + 48, 24, 20, QColor(0x30, 0x30, 0x30));
        p.drawImage(sx + 2, big.y() + 50, ImageList16::image(i));
        // Ratio 2, shown pixel for pixel.
        QImage hi = ImageList16::pixmap(i, 2.0).toImage();
        hi.setDevicePixelRatio(1.0);
        p.fillRect(sx - 2, big.y() + 72, 36, 36, Qt::white);
        p.drawImage(sx, big.y() + 74, hi);
    }
    return sheet;
}

QImage smallHotel()
{
    // 25.8 x 17.2 mm at 96 and at 300 dots per inch, as a printed page would show it.
    const auto pixels = [](double mm, double dpi) { return qRound(mm / 25.4 * dpi); };
    const QSize screen(pixels(25.8, 96), pixels(17.2, 96));
    const QSize print(pixels(25.8, 300), pixels(17.2, 300));
    QImage out(screen.width() + print.width() + 30, print.height() + 20, QImage::Format_RGB32);
    out.fill(Qt::white);
    QPainter p(&out);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(QRect(QPoint(10, 10), screen), HotelPicture::image());
    p.drawImage(QPoint(screen.width() + 20, 10), HotelPicture::image(print));
    return out;
}

bool save(const QImage &image, const QString &path)
{
    if (image.save(path))
        return true;
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    const QString folder = qEnvironmentVariable("HOTEL_PICTURES_DIR");
    if (folder.isEmpty()) {
        std::fprintf(stderr, "set HOTEL_PICTURES_DIR to the folder to write into\n");
        return 2;
    }
    // It only draws into images, so it needs no display.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(folder));
        return 1;
    }
    const QDir dir(folder);
    const bool ok = save(contactSheet(), dir.filePath(QStringLiteral("icons.png")))
        && save(HotelPicture::image(), dir.filePath(QStringLiteral("hotel.png")))
        && save(smallHotel(), dir.filePath(QStringLiteral("hotel_small.png")));
    return ok ? 0 : 1;
}
