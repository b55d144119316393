#pragma once

#include "ReportDocument.h"
#include "TextMeasurer.h"

#include <QStringList>

// Breaking a text into the lines that print in a box.
namespace TextLayout {

// Lays `text` out in `box` (page coordinates). Line ends ("\n", "\r\n", "\r")
// always start a new line; tabs print as blanks. With `autoSize` each paragraph
// is one line and the box's width becomes the widest line's (its left edge
// stays); otherwise with `wordWrap` lines break at blanks, and a word wider than
// the box breaks between characters. Lines follow one another from the box's
// top at the font's line spacing; a line that does not fit the box's height is
// left out, except the first. A line wider than the box sets `clip`.
TextItem layout(const TextMeasurer &measurer, const ReportFont &font, const QString &text, DocRect box,
                TextAlignment alignment, bool wordWrap, bool autoSize);

// A font made smaller so that text fits a width.
struct FittedFont
{
    ReportFont font;
    int shift = 0;     // how far down its lines go to sit centred on the full-size line
    bool fits = false; // false: not even the smallest size fits (the font is that size)
};

// The largest size of `font`, in tenths of a point and no larger than its own,
// at which every one of `lines` is at most `width` wide; no smaller than
// `smallest` points.
FittedFont fitted(const TextMeasurer &measurer, const ReportFont &font, const QStringList &lines, int width,
                  double smallest);

// The smallest share of its font size a number shrinks to.
constexpr double SmallestNumberScale = 2.0 / 3.0;

// Lays out a number (an amount, a count, an error mark such as "#¡NUM!"): it is
// never broken or cut, since a piece of a number reads as another number. One
// that is wider than its box prints on one line in a smaller font (see fitted),
// down to SmallestNumberScale of its size, centred on the full-size line; one
// that does not fit even then prints as a row of "#" across the box, in its
// own font.
TextItem layoutNumber(const TextMeasurer &measurer, const ReportFont &font, const QString &text, DocRect box,
                      TextAlignment alignment, bool autoSize);

} // namespace TextLayout
