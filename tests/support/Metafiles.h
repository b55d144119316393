#pragma once

#include <QByteArray>
#include <QRect>
#include <QSize>

#include <vector>

// Real metafiles for the tests, written record by record in the published
// formats (little-endian): an enhanced metafile (EMF: header, pen and brush
// objects, rectangles and ellipses, end of file) and a placeable Windows
// metafile (WMF: placeable and standard headers, window origin and extent,
// the same drawing records). Each shape is filled with a solid colour and
// drawn without an outline, so the colour at a point is known exactly.
namespace Metafiles {

struct Shape
{
    enum class Kind { Rectangle, Ellipse };
    Kind kind = Kind::Rectangle;
    QRect box;     // in the drawing's units: pixels at 96 dots per inch
    quint32 rgb;   // 0xRRGGBB
};

// A drawing of `size` pixels (96 dots per inch), the shapes in order.
QByteArray enhanced(QSize size, const std::vector<Shape> &shapes);
QByteArray windows(QSize size, const std::vector<Shape> &shapes);

// A blue drawing of `size` with a red ellipse in its middle half.
std::vector<Shape> sampleShapes(QSize size);

} // namespace Metafiles
