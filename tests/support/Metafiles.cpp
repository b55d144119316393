#include "Metafiles.h"

#include <QDataStream>
#include <QIODevice>

#include <algorithm>
#include <functional>

namespace Metafiles {

namespace {

using Writer = std::function<void(QDataStream &)>;

QByteArray littleEndian(const Writer &write)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    write(out);
    return bytes;
}

// COLORREF: 0x00BBGGRR.
quint32 colorRef(quint32 rgb)
{
    return ((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16);
}

// Records of an enhanced metafile.
enum : quint32 {
    EmrHeader = 1,
    EmrEof = 14,
    EmrSetMapMode = 17,
    EmrSelectObject = 37,
    EmrCreatePen = 38,
    EmrCreateBrushIndirect = 39,
    EmrEllipse = 42,
    EmrRectangle = 43,
};

// Functions of a Windows metafile.
enum : quint16 {
    MetaEof = 0x0000,
    MetaSelectObject = 0x012D,
    MetaSetWindowOrg = 0x020B,
    MetaSetWindowExt = 0x020C,
    MetaCreatePenIndirect = 0x02FA,
    MetaCreateBrushIndirect = 0x02FC,
    MetaEllipse = 0x0418,
    MetaRectangle = 0x041B,
};

constexpr quint32 PenNull = 5;
constexpr quint32 BrushSolid = 0;

} // namespace

QByteArray enhanced(QSize size, const std::vector<Shape> &shapes)
{
    QByteArray records;
    quint32 count = 1; // the header counts
    const auto record = [&](quint32 type, const Writer &body) {
        const QByteArray b = littleEndian(body);
        records += littleEndian([&](QDataStream &s) { s << type << quint32(8 + b.size()); }) + b;
        ++count;
    };
    record(EmrSetMapMode, [](QDataStream &s) { s << quint32(1); }); // MM_TEXT: one unit, one pixel
    record(EmrCreatePen, [](QDataStream &s) { s << quint32(1) << PenNull << qint32(0) << qint32(0) << quint32(0); });
    record(EmrSelectObject, [](QDataStream &s) { s << quint32(1); });
    quint32 handle = 2;
    for (const Shape &shape : shapes) {
        record(EmrCreateBrushIndirect,
               [&](QDataStream &s) { s << handle << BrushSolid << colorRef(shape.rgb) << quint32(0); });
        record(EmrSelectObject, [&](QDataStream &s) { s << handle; });
        // The right and bottom edges are excluded, as GDI draws them.
        record(shape.kind == Shape::Kind::Ellipse ? EmrEllipse : EmrRectangle, [&](QDataStream &s) {
            s << qint32(shape.box.left()) << qint32(shape.box.top()) << qint32(shape.box.right() + 1)
              << qint32(shape.box.bottom() + 1);
        });
        ++handle;
    }
    record(EmrEof, [](QDataStream &s) { s << quint32(0) << quint32(16) << quint32(20); });

    // Reference device of 1000 x 1000 pixels on 264.58 x 264.58 mm: 96 dots per inch.
    constexpr quint32 HeaderSize = 108;
    const QByteArray header = littleEndian([&](QDataStream &s) {
        const auto hundredthsOfMm = [](int pixels) { return qint32(pixels * 2540 / 96); };
        s << EmrHeader << HeaderSize
          << qint32(0) << qint32(0) << qint32(size.width() - 1) << qint32(size.height() - 1) // bounds, pixels
          << qint32(0) << qint32(0) << hundredthsOfMm(size.width()) << hundredthsOfMm(size.height()) // frame
          << quint32(0x464D4520) // " EMF"
          << quint32(0x00010000) << quint32(HeaderSize + records.size()) << count
          << quint16(handle) << quint16(0)
          << quint32(0) << quint32(0) << quint32(0)     // no description, no palette
          << qint32(1000) << qint32(1000)               // device, pixels
          << qint32(265) << qint32(265)                 // device, millimetres
          << quint32(0) << quint32(0) << quint32(0)     // no pixel format, no OpenGL
          << qint32(264583) << qint32(264583);          // device, micrometres
    });
    return header + records;
}

QByteArray windows(QSize size, const std::vector<Shape> &shapes)
{
    QByteArray records;
    quint32 largest = 0;
    const auto record = [&](quint16 function, const Writer &body) {
        const QByteArray b = littleEndian(body);
        const quint32 words = 3 + quint32(b.size() / 2);
        largest = std::max(largest, words);
        records += littleEndian([&](QDataStream &s) { s << words << function; }) + b;
    };
    // Parameters come in reverse order: y before x, bottom-right before top-left.
    record(MetaSetWindowOrg, [](QDataStream &s) { s << qint16(0) << qint16(0); });
    record(MetaSetWindowExt, [&](QDataStream &s) { s << qint16(size.height()) << qint16(size.width()); });
    record(MetaCreatePenIndirect, [](QDataStream &s) { s << quint16(PenNull) << qint16(0) << qint16(0) << quint32(0); });
    record(MetaSelectObject, [](QDataStream &s) { s << quint16(0); });
    quint16 objects = 1;
    for (const Shape &shape : shapes) {
        record(MetaCreateBrushIndirect,
               [&](QDataStream &s) { s << quint16(BrushSolid) << colorRef(shape.rgb) << quint16(0); });
        record(MetaSelectObject, [&](QDataStream &s) { s << objects; });
        record(shape.kind == Shape::Kind::Ellipse ? MetaEllipse : MetaRectangle, [&](QDataStream &s) {
            s << qint16(shape.box.bottom() + 1) << qint16(shape.box.right() + 1) << qint16(shape.box.top())
              << qint16(shape.box.left());
        });
        ++objects;
    }
    record(MetaEof, [](QDataStream &) {});

    QByteArray placeable = littleEndian([&](QDataStream &s) {
        s << quint32(0x9AC6CDD7) << quint16(0) << qint16(0) << qint16(0) << qint16(size.width())
          << qint16(size.height()) << quint16(96) << quint32(0);
    });
    quint16 checksum = 0; // XOR of the ten words before it
    for (int i = 0; i < 10; ++i)
        checksum ^= quint16(quint8(placeable[2 * i]) | (quint8(placeable[2 * i + 1]) << 8));
    placeable += littleEndian([&](QDataStream &s) { s << checksum; });
    const QByteArray header = littleEndian([&](QDataStream &s) {
        s << quint16(1) << quint16(9) << quint16(0x0300) << quint32(9 + records.size() / 2) << objects << largest
          << quint16(0);
    });
    return placeable + header + records;
}

std::vector<Shape> sampleShapes(QSize size)
{
    const QRect all(QPoint(0, 0), size);
    const QRect middle(size.width() / 4, size.height() / 4, size.width() / 2, size.height() / 2);
    return {{Shape::Kind::Rectangle, all, 0x0000FF}, {Shape::Kind::Ellipse, middle, 0xFF0000}};
}

} // namespace Metafiles
