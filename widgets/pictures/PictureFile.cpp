#include "PictureFile.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QSvgRenderer>

#include <emf2svg.h>
#include <libwmf/api.h>
#include <libwmf/svg.h>

#include <cstdlib>
#include <memory>

namespace PictureFile {

namespace {

// Metafiles have no pixel size of their own beyond their frame; none is drawn
// larger than this when the caller gives no box.
const QSize LargestDrawing(4096, 4096);

QString suffixOf(const QString &path)
{
    return QFileInfo(path).suffix().toLower();
}

QByteArray imageFormatOf(const QString &suffix)
{
    return suffix == u"jpg" ? QByteArrayLiteral("jpeg") : suffix.toLatin1();
}

QString cannotRead(const QString &path, const QString &why)
{
    return QStringLiteral("The picture '%1' cannot be read: %2").arg(QFileInfo(path).fileName(), why);
}

// Scaled down to fit, aspect kept; a very long, thin picture keeps a pixel
// of its short side rather than vanish.
QSize within(QSize size, QSize fit)
{
    if (fit.isValid() && (size.width() > fit.width() || size.height() > fit.height()))
        size.scale(fit, Qt::KeepAspectRatio);
    return size.expandedTo(QSize(1, 1));
}

QByteArray enhancedToSvg(const QByteArray &bytes)
{
    generatorOptions options{};
    options.nameSpace = const_cast<char *>("");
    options.verbose = false;
    options.emfplus = true;
    options.svgDelimiter = true;
    QByteArray contents = bytes; // the library takes a writable buffer
    char *out = nullptr;
    size_t length = 0;
    const int ok = emf2svg(contents.data(), static_cast<size_t>(contents.size()), &out, &length, &options);
    const std::unique_ptr<char, decltype(&std::free)> owned(out, &std::free);
    if (!ok || !out)
        return QByteArray();
    return QByteArray(out, static_cast<qsizetype>(length));
}

// libwmf sizes its buffers by what the headers say, so that a few bytes can
// ask it for gigabytes: the headers must agree with the file before it reads.
bool headersAgree(const QByteArray &bytes)
{
    const auto word = [&bytes](qsizetype at) { return quint32(quint8(bytes[at])) | (quint32(quint8(bytes[at + 1])) << 8); };
    qsizetype at = 0;
    if (bytes.size() >= 22 && word(0) == 0xCDD7 && word(2) == 0x9AC6)
        at = 22; // the placeable header
    if (bytes.size() < at + 18)
        return false;
    const quint32 type = word(at), headerWords = word(at + 2);
    const quint32 fileWords = word(at + 6) | (word(at + 8) << 16);
    const quint32 largestRecord = word(at + 12) | (word(at + 14) << 16);
    const qsizetype words = (bytes.size() - at) / 2;
    return (type == 1 || type == 2) && headerWords == 9 && largestRecord >= 3 && largestRecord <= words
           && fileWords <= quint32(words) + 1;
}

QByteArray metafileToSvg(const QByteArray &bytes)
{
    if (!headersAgree(bytes))
        return QByteArray();
    wmfAPI *api = nullptr;
    wmfAPI_Options options{};
    options.function = wmf_svg_function;
    const unsigned long flags = WMF_OPT_FUNCTION | WMF_OPT_IGNORE_NONFATAL | WMF_OPT_NO_ERROR | WMF_OPT_NO_DEBUG;
    const wmf_error_t created = wmf_api_create(&api, flags, &options);
    const std::unique_ptr<wmfAPI, decltype(&wmf_api_destroy)> owned(api, &wmf_api_destroy);
    if (created != wmf_E_None || !api)
        return QByteArray();
    QByteArray contents = bytes; // the library takes a writable buffer
    wmfD_Rect box{};
    if (wmf_mem_open(api, reinterpret_cast<unsigned char *>(contents.data()), static_cast<long>(contents.size()))
            != wmf_E_None
        || wmf_scan(api, 0, &box) != wmf_E_None)
        return QByteArray();
    wmf_svg_t *device = WMF_SVG_GetData(api);
    device->out = wmf_stream_create(api, nullptr); // into memory
    if (!device->out)
        return QByteArray();
    device->bbox = box;
    unsigned int width = 0;
    unsigned int height = 0;
    wmf_display_size(api, &width, &height, 96, 96);
    device->width = width;
    device->height = height;
    const wmf_error_t played = wmf_play(api, 0, &box);
    char *text = nullptr;
    unsigned long length = 0;
    // The text belongs to the library's memory, freed with the API below.
    wmf_stream_destroy(api, device->out, &text, &length);
    if (played != wmf_E_None || !text)
        return QByteArray();
    return QByteArray(text, static_cast<qsizetype>(length));
}

} // namespace

Kind kindOf(const QString &path)
{
    const QString suffix = suffixOf(path);
    if (suffix == u"emf")
        return Kind::Enhanced;
    if (suffix == u"wmf")
        return Kind::Metafile;
    if (!suffix.isEmpty() && QImageReader::supportedImageFormats().contains(imageFormatOf(suffix)))
        return Kind::Image;
    return Kind::Unknown;
}

QImage drawMetafile(const QByteArray &bytes, Kind kind, QSize fit, QString *error)
{
    const QByteArray svg = kind == Kind::Enhanced ? enhancedToSvg(bytes)
                           : kind == Kind::Metafile ? metafileToSvg(bytes)
                                                    : QByteArray();
    QSvgRenderer renderer;
    if (svg.isEmpty() || !renderer.load(svg)) {
        *error = QStringLiteral("it is not a metafile, or it is damaged");
        return QImage();
    }
    QSize size = renderer.defaultSize();
    if (size.isEmpty())
        size = renderer.viewBoxF().size().toSize();
    if (size.isEmpty()) {
        *error = QStringLiteral("the metafile has no size");
        return QImage();
    }
    size = within(within(size, fit.isValid() ? fit : LargestDrawing), LargestDrawing);
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) {
        *error = QStringLiteral("it is too large");
        return QImage();
    }
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    painter.end();
    return image;
}

QImage read(const QString &path, QSize fit, QString *error)
{
    const Kind kind = kindOf(path);
    if (kind == Kind::Unknown) {
        *error = QStringLiteral("Unknown picture file extension (.%1)").arg(suffixOf(path));
        return QImage();
    }
    if (kind == Kind::Enhanced || kind == Kind::Metafile) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            *error = cannotRead(path, file.errorString());
            return QImage();
        }
        QString why;
        const QImage image = drawMetafile(file.readAll(), kind, fit, &why);
        if (image.isNull())
            *error = cannotRead(path, why);
        return image;
    }
    QImageReader reader(path, imageFormatOf(suffixOf(path)));
    reader.setDecideFormatFromContent(false);
    // Large photos are read at the size they are kept at, which costs less.
    const QSize full = reader.size();
    if (full.isValid() && within(full, fit) != full)
        reader.setScaledSize(within(full, fit));
    QImage image = reader.read();
    if (image.isNull()) {
        *error = cannotRead(path, reader.errorString());
        return QImage();
    }
    if (within(image.size(), fit) != image.size())
        image = image.scaled(within(image.size(), fit), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (image.isNull())
        *error = cannotRead(path, QStringLiteral("it is too large"));
    return image;
}

QByteArray toBitmap(const QImage &image, QSize fit)
{
    const QSize size = within(image.size(), fit);
    QImage opaque(size, QImage::Format_RGB32);
    opaque.fill(Qt::white);
    QPainter painter(&opaque);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRect(QPoint(0, 0), size), image);
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    // Qt writes 32-bit pictures as 24-bit bitmaps.
    opaque.save(&buffer, "BMP");
    return bytes;
}

bool isBitmapWithin(const QByteArray &bytes, QSize fit)
{
    if (!bytes.startsWith("BM"))
        return false;
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "bmp");
    const QSize size = reader.size();
    return size.isValid() && within(size, fit) == size;
}

} // namespace PictureFile
