#pragma once

#include <QByteArray>
#include <QImage>

// The picture of the hotel: the main window's background and the small picture
// on printed documents.
class HotelPicture
{
public:
    static constexpr int Width = 505;
    static constexpr int Height = 400;

    // The picture rendered at 505 x 400 pixels, opaque, Format_RGB32. Rendered
    // once and shared (implicitly) by every caller.
    static QImage image();

    // The picture rendered at any size, stretched to fill it; for printing at the
    // printer's resolution. A null image for an empty size.
    static QImage image(const QSize &size);

    // The SVG source (viewBox 0 0 505 400), for a vector copy on printed pages.
    static QByteArray svg();
};
