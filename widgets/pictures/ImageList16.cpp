#include "ImageList16.h"

#include <QCoreApplication>
#include <QFile>
#include <QHash>
#include <QPainter>
#include <QSvgRenderer>

#include <array>
#include <memory>

namespace {

bool validIndex(int index)
{
    return index >= 0 && index < ImageList16::Count;
}

QString resourcePath(int index)
{
    return QStringLiteral(":/pictures/icons/%1.svg").arg(index, 2, 10, QLatin1Char('0'));
}

// One parsed renderer per icon, made on first use and kept for the run.
QSvgRenderer &renderer(int index)
{
    static std::array<std::unique_ptr<QSvgRenderer>, ImageList16::Count> renderers;
    auto &slot = renderers[static_cast<std::size_t>(index)];
    if (!slot)
        slot = std::make_unique<QSvgRenderer>(resourcePath(index));
    return *slot;
}

// Pixmaps and icons must not outlive the application object, so the cache is
// emptied when it is destroyed.
struct GuiCache
{
    QHash<quint32, QPixmap> pixmaps;
    std::array<QIcon, ImageList16::Count> icons;
};

GuiCache &guiCache()
{
    static GuiCache cache;
    static const bool registered = [] {
        qAddPostRoutine([] {
            guiCache().pixmaps.clear();
            guiCache().icons.fill(QIcon());
        });
        return true;
    }();
    Q_UNUSED(registered);
    return cache;
}

QImage render(int index, int side)
{
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer(index).render(&painter, QRectF(0, 0, side, side));
    return image;
}

} // namespace

QImage ImageList16::image(int index)
{
    if (!validIndex(index))
        return {};
    static std::array<QImage, Count> images;
    QImage &cached = images[static_cast<std::size_t>(index)];
    if (cached.isNull())
        cached = render(index, Size);
    return cached;
}

QPixmap ImageList16::pixmap(int index, qreal devicePixelRatio)
{
    if (!validIndex(index) || !(devicePixelRatio > 0))
        return {};
    // Keyed by the physical side, which is what the rendering depends on.
    const int side = qMax(1, qRound(Size * devicePixelRatio));
    QHash<quint32, QPixmap> &pixmaps = guiCache().pixmaps;
    const quint32 key = (quint32(index) << 16) | quint32(side);
    auto it = pixmaps.constFind(key);
    if (it == pixmaps.constEnd()) {
        QImage rendered = side == Size ? image(index) : render(index, side);
        QPixmap made = QPixmap::fromImage(rendered);
        made.setDevicePixelRatio(devicePixelRatio);
        it = pixmaps.insert(key, made);
    }
    if (it->devicePixelRatio() != devicePixelRatio) {
        // Another ratio rounding to the same side: same pixels, its own ratio.
        QPixmap other = *it;
        other.setDevicePixelRatio(devicePixelRatio);
        return other;
    }
    return *it;
}

QIcon ImageList16::icon(int index)
{
    if (!validIndex(index))
        return {};
    QIcon &cached = guiCache().icons[static_cast<std::size_t>(index)];
    if (cached.isNull()) {
        // The sizes of ratios 1, 1.25, 1.5, 2, 3 and 4; QIcon scales the nearest
        // larger one for any other ratio.
        for (int side : {16, 20, 24, 32, 48, 64})
            cached.addPixmap(pixmap(index, qreal(side) / Size));
    }
    return cached;
}

QByteArray ImageList16::svg(int index)
{
    if (!validIndex(index))
        return {};
    QFile file(resourcePath(index));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}
