#include "ReportFile.h"

#include "DataError.h"
#include "Database.h"

#include <QBuffer>
#include <QDataStream>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QSaveFile>

#include <cmath>

namespace ReportFile {

namespace {

constexpr QDataStream::Version StreamVersion = QDataStream::Qt_6_4;

// Limits of what a sound file holds; beyond them it is damaged.
constexpr quint32 MaxTextBytes = 16 * 1024 * 1024;
constexpr int MaxCoordinate = 10'000'000; // 100 m
constexpr int MaxPaperSide = 1'000'000;   // 10 m
constexpr int MaxPictureSide = 20000;
// Decoded pictures are bounded one by one and together, whatever the file says.
constexpr qint64 MaxTotalPixels = 8 * MaxPicturePixels;
constexpr double MaxPoints = 1000;

// Smallest encodings, for checking counts against the bytes left.
constexpr qint64 MinPictureBytes = 4;
constexpr qint64 MinPageBytes = 12;
constexpr qint64 MinItemBytes = 17;
constexpr qint64 MinLineBytes = 16;

enum class Kind : quint8 { Text = 1, Picture = 2, Line = 3, Fill = 4, ColourFill = 5 };

// ---- writing -----------------------------------------------------------------

void writeText(QDataStream &out, const QString &s)
{
    const QByteArray utf8 = s.toUtf8();
    out << quint32(utf8.size());
    out.writeRawData(utf8.constData(), static_cast<int>(utf8.size()));
}

void writeRect(QDataStream &out, const DocRect &r)
{
    out << qint32(r.left) << qint32(r.top) << qint32(r.width) << qint32(r.height);
}

void writeItem(QDataStream &out, const PageItem &item)
{
    if (const auto *t = std::get_if<TextItem>(&item)) {
        out << quint8(Kind::Text);
        writeText(out, t->text);
        writeText(out, t->font.family);
        out << double(t->font.points) << quint8(t->font.bold) << quint8(t->font.italic);
        writeRect(out, t->box);
        out << quint8(t->alignment) << quint8(t->clip) << quint32(t->lines.size());
        for (const TextLine &l : t->lines) {
            writeText(out, l.text);
            out << qint32(l.x) << qint32(l.baseline) << qint32(l.width);
        }
    } else if (const auto *p = std::get_if<PictureItem>(&item)) {
        out << quint8(Kind::Picture);
        writeRect(out, p->box);
        out << qint32(p->picture);
    } else if (const auto *l = std::get_if<LineItem>(&item)) {
        out << quint8(Kind::Line) << qint32(l->x1) << qint32(l->y1) << qint32(l->x2) << qint32(l->y2)
            << qint32(l->width);
    } else if (const auto *f = std::get_if<FillItem>(&item)) {
        // White fills keep the first version's form.
        const bool white = f->colour == FillItem().colour;
        out << quint8(white ? Kind::Fill : Kind::ColourFill);
        writeRect(out, f->box);
        if (!white)
            out << quint32(f->colour);
    }
}

// ---- reading -------------------------------------------------------------------

class Reader
{
public:
    Reader(const QByteArray &bytes, QString name) : m_bytes(bytes), m_name(std::move(name))
    {
        m_buffer.setData(m_bytes);
        m_buffer.open(QIODevice::ReadOnly);
        m_in.setDevice(&m_buffer);
        m_in.setVersion(StreamVersion);
        m_in.setByteOrder(QDataStream::BigEndian);
    }

    ReportDocument read();

private:
    [[noreturn]] void damaged() const
    {
        throw DataError(QStringLiteral("El archivo «%1» está dañado o incompleto").arg(m_name));
    }
    qint64 remaining() const { return m_bytes.size() - m_buffer.pos(); }
    void check() const
    {
        if (m_in.status() != QDataStream::Ok)
            damaged();
    }
    template<typename T> T number()
    {
        T v{};
        m_in >> v;
        check();
        return v;
    }
    int coordinate()
    {
        const qint32 v = number<qint32>();
        if (v < -MaxCoordinate || v > MaxCoordinate)
            damaged();
        return v;
    }
    quint32 count(qint64 minBytesEach)
    {
        const quint32 n = number<quint32>();
        if (qint64(n) * minBytesEach > remaining())
            damaged();
        return n;
    }
    QString text()
    {
        const quint32 size = number<quint32>();
        if (size > MaxTextBytes || qint64(size) > remaining())
            damaged();
        const QByteArray utf8 = m_bytes.mid(m_buffer.pos(), size);
        m_buffer.seek(m_buffer.pos() + size);
        return QString::fromUtf8(utf8);
    }
    DocRect rect()
    {
        DocRect r;
        r.left = coordinate();
        r.top = coordinate();
        r.width = coordinate();
        r.height = coordinate();
        return r;
    }
    bool flag()
    {
        const quint8 v = number<quint8>();
        if (v > 1)
            damaged();
        return v == 1;
    }

    QImage picture();
    PageItem item(int pictureCount);

    const QByteArray &m_bytes;
    QString m_name;
    QBuffer m_buffer;
    QDataStream m_in;
    qint64 m_pixels = 0;
};

QImage Reader::picture()
{
    const quint32 size = number<quint32>();
    if (qint64(size) > remaining())
        damaged();
    QBuffer buffer;
    buffer.setData(m_bytes.mid(m_buffer.pos(), size));
    m_buffer.seek(m_buffer.pos() + size);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "png");
    const QSize dims = reader.size();
    if (!dims.isValid() || dims.width() > MaxPictureSide || dims.height() > MaxPictureSide
        || qint64(dims.width()) * dims.height() > MaxPicturePixels)
        damaged();
    m_pixels += qint64(dims.width()) * dims.height();
    if (m_pixels > MaxTotalPixels)
        damaged();
    QImage image;
    if (!reader.read(&image) || image.isNull())
        damaged();
    return normalizedPicture(image);
}

PageItem Reader::item(int pictureCount)
{
    const quint8 kind = number<quint8>();
    switch (static_cast<Kind>(kind)) {
    case Kind::Text: {
        TextItem t;
        t.text = text();
        t.font.family = text();
        t.font.points = number<double>();
        if (!std::isfinite(t.font.points) || t.font.points <= 0 || t.font.points > MaxPoints)
            damaged();
        t.font.bold = flag();
        t.font.italic = flag();
        t.box = rect();
        const quint8 alignment = number<quint8>();
        if (alignment > quint8(TextAlignment::Right))
            damaged();
        t.alignment = static_cast<TextAlignment>(alignment);
        t.clip = flag();
        const quint32 lines = count(MinLineBytes);
        t.lines.reserve(lines);
        for (quint32 i = 0; i < lines; ++i) {
            TextLine l;
            l.text = text();
            l.x = coordinate();
            l.baseline = coordinate();
            l.width = coordinate();
            t.lines.push_back(std::move(l));
        }
        return t;
    }
    case Kind::Picture: {
        PictureItem p;
        p.box = rect();
        p.picture = number<qint32>();
        if (p.picture < 0 || p.picture >= pictureCount)
            damaged();
        return p;
    }
    case Kind::Line: {
        LineItem l;
        l.x1 = coordinate();
        l.y1 = coordinate();
        l.x2 = coordinate();
        l.y2 = coordinate();
        l.width = coordinate();
        if (l.width < 0)
            damaged();
        return l;
    }
    case Kind::Fill:
        return FillItem{rect()};
    case Kind::ColourFill: {
        FillItem f{rect()};
        f.colour = number<quint32>();
        return f;
    }
    }
    damaged();
}

ReportDocument Reader::read()
{
    quint32 magic = 0;
    m_in >> magic;
    if (m_in.status() != QDataStream::Ok || magic != Magic)
        throw DataError(QStringLiteral("El archivo «%1» no es un documento de informe").arg(m_name));
    const quint16 version = number<quint16>();
    if (version == 0)
        damaged();
    if (version > Version)
        throw DataError(QStringLiteral("El archivo «%1» tiene un formato más nuevo (versión %2) que este programa no sabe leer")
                            .arg(m_name)
                            .arg(version));

    ReportDocument doc;
    doc.title = text();
    PrinterSettings &ps = doc.printer;
    ps.copies = number<qint32>();
    ps.fromPage = number<qint32>();
    ps.toPage = number<qint32>();
    ps.paperBin = number<qint32>();
    const quint8 duplex = number<quint8>();
    const quint8 colour = number<quint8>();
    ps.paperCode = number<qint32>();
    if (ps.copies < 1 || ps.copies > 9999 || ps.fromPage < 0 || ps.toPage < 0 || ps.paperBin < 0
        || duplex > quint8(PrinterSettings::Duplex::ShortSide) || colour > quint8(PrinterSettings::Colour::Colour))
        damaged();
    ps.duplex = static_cast<PrinterSettings::Duplex>(duplex);
    ps.colour = static_cast<PrinterSettings::Colour>(colour);

    const quint32 pictures = count(MinPictureBytes);
    doc.pictures.reserve(pictures);
    for (quint32 i = 0; i < pictures; ++i)
        doc.pictures.push_back(picture());

    const quint32 pages = count(MinPageBytes);
    doc.pages.reserve(pages);
    for (quint32 i = 0; i < pages; ++i) {
        ReportPage page;
        page.width = number<qint32>();
        page.height = number<qint32>();
        if (page.width <= 0 || page.height <= 0 || page.width > MaxPaperSide || page.height > MaxPaperSide)
            damaged();
        const quint32 items = count(MinItemBytes);
        page.items.reserve(items);
        for (quint32 k = 0; k < items; ++k)
            page.items.push_back(item(static_cast<int>(pictures)));
        doc.pages.push_back(std::move(page));
    }
    if (remaining() != 0)
        damaged();
    return doc;
}

} // namespace

QByteArray toBytes(const ReportDocument &doc)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QDataStream out(&buffer);
    out.setVersion(StreamVersion);
    out.setByteOrder(QDataStream::BigEndian);

    out << Magic << Version;
    writeText(out, doc.title);
    const PrinterSettings &ps = doc.printer;
    out << qint32(ps.copies) << qint32(ps.fromPage) << qint32(ps.toPage) << qint32(ps.paperBin)
        << quint8(ps.duplex) << quint8(ps.colour) << qint32(ps.paperCode);

    out << quint32(doc.pictures.size());
    for (const QImage &image : doc.pictures) {
        QByteArray png;
        QBuffer pngBuffer(&png);
        pngBuffer.open(QIODevice::WriteOnly);
        image.save(&pngBuffer, "PNG");
        out << quint32(png.size());
        out.writeRawData(png.constData(), static_cast<int>(png.size()));
    }

    out << quint32(doc.pages.size());
    for (const ReportPage &page : doc.pages) {
        out << qint32(page.width) << qint32(page.height) << quint32(page.items.size());
        for (const PageItem &item : page.items)
            writeItem(out, item);
    }
    return bytes;
}

ReportDocument fromBytes(const QByteArray &bytes, const QString &name)
{
    return Reader(bytes, name).read();
}

void save(const ReportDocument &doc, const QString &path)
{
    Database::refuseDatabaseFile(path);
    const QByteArray bytes = toBytes(doc);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw DataError(QStringLiteral("No se puede guardar el archivo «%1»: %2").arg(path, file.errorString()));
}

ReportDocument load(const QString &path)
{
    Database::refuseDatabaseFile(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw DataError(QStringLiteral("No se puede abrir el archivo «%1»: %2").arg(path, file.errorString()));
    // Only a plain file of a sane size is read whole: a device may never end.
    if (file.isSequential() || !QFileInfo(path).isFile())
        throw DataError(QStringLiteral("El archivo «%1» no es un documento de informe").arg(path));
    if (file.size() > MaxFileSize)
        throw DataError(QStringLiteral("El archivo «%1» es demasiado grande para un documento de informe").arg(path));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw DataError(QStringLiteral("No se puede leer el archivo «%1»: %2").arg(path, file.errorString()));
    if (bytes.size() > MaxFileSize)
        throw DataError(QStringLiteral("El archivo «%1» es demasiado grande para un documento de informe").arg(path));
    return fromBytes(bytes, path);
}

} // namespace ReportFile
