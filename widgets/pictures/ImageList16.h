#pragma once

#include <QIcon>
#include <QImage>
#include <QPixmap>

// The shared list of 37 icons of 16 x 16 pixels, chosen by number (0 to 36).
// Numbers 11 and 19 to 33 are unused and hold a fully transparent image; 34
// (a planner) and 35 (arrivals and departures) serve the menu items added after
// the first ones.
//
// Each picture is an SVG resource parsed once, on first use, and kept for the
// whole run; every size is rendered from it, so icons stay sharp on screens with
// a device pixel ratio above 1. An index outside 0..36 gives a null result.
// Not thread-safe: call from the GUI thread only.
class ImageList16
{
public:
    static constexpr int Count = 37;
    static constexpr int Size = 16;

    // The icon for menus and buttons, with pixmaps of several sizes so that Qt
    // picks a sharp one for any pixel ratio. Needs a QGuiApplication.
    static QIcon icon(int index);

    // A 16 x 16 logical pixmap rendered at 16 * devicePixelRatio physical pixels,
    // with that ratio set on it. Needs a QGuiApplication.
    static QPixmap pixmap(int index, qreal devicePixelRatio = 1.0);

    // The 16 x 16 image, ARGB32 premultiplied with transparency.
    static QImage image(int index);

    // The SVG source of the picture, or an empty array for a bad index.
    static QByteArray svg(int index);
};
