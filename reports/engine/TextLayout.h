#pragma once

#include "ReportDocument.h"
#include "TextMeasurer.h"

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

} // namespace TextLayout
