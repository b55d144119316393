#pragma once

#include "ReportDefinition.h"

#include <QFont>
#include <QRgb>
#include <QImage>
#include <QRectF>
#include <QString>

#include <variant>
#include <vector>

// A produced report: device-independent pages of positioned items. Every length
// is an integer count of hundredths of a millimetre from the paper's top-left
// corner, so that saving, loading and comparing are exact. Painters draw the
// items in order and never re-wrap text.

namespace DocUnits {
constexpr int PerMm = 100;
constexpr int PerInch = 2540;
inline int fromMm(double mm) { return qRound(mm * PerMm); }
} // namespace DocUnits

struct DocRect
{
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

    int right() const { return left + width; }
    int bottom() const { return top + height; }
    QRectF toRectF() const { return QRectF(left, top, width, height); }
    bool operator==(const DocRect &) const = default;
};

// One printed line of a text: drawn starting at (x, baseline).
struct TextLine
{
    QString text;
    int x = 0;
    int baseline = 0;
    int width = 0;

    bool operator==(const TextLine &) const = default;
};

// A text already wrapped into lines. `text` is the whole value; `lines` is what
// prints (lines cut at the box's height are absent). With `clip` the painter
// clips to the box.
struct TextItem
{
    QString text;
    ReportFont font;
    DocRect box;
    TextAlignment alignment = TextAlignment::Left;
    bool clip = false;
    std::vector<TextLine> lines;

    bool operator==(const TextItem &) const = default;
};

// A picture of the document's list, stretched to fill the box.
struct PictureItem
{
    DocRect box;
    int picture = 0;

    bool operator==(const PictureItem &) const = default;
};

// A black line.
struct LineItem
{
    int x1 = 0;
    int y1 = 0;
    int x2 = 0;
    int y2 = 0;
    int width = 0;

    bool operator==(const LineItem &) const = default;
};

// A filled rectangle: an element's background, white unless given.
struct FillItem
{
    DocRect box;
    QRgb colour = 0xffffffff;

    bool operator==(const FillItem &) const = default;
};

using PageItem = std::variant<TextItem, PictureItem, LineItem, FillItem>;

struct ReportPage
{
    int width = 0;
    int height = 0;
    std::vector<PageItem> items;

    bool operator==(const ReportPage &) const = default;
};

struct ReportDocument
{
    QString title;
    PrinterSettings printer;
    std::vector<ReportPage> pages;
    // Each distinct picture once, in ARGB32 (with alpha) or RGB32 (without).
    std::vector<QImage> pictures;

    int pageCount() const { return static_cast<int>(pages.size()); }
    // The printed texts of a page, in painting order (convenient for searching
    // and for tests): each item's lines joined by '\n'.
    QStringList pageTexts(int page) const;
    bool operator==(const ReportDocument &) const = default;
};

// The QFont that draws and measures `font` in document units: its pixel size is
// the point size in hundredths of a millimetre.
QFont documentFont(const ReportFont &font);
// A picture in the document's normal form (see ReportDocument::pictures).
QImage normalizedPicture(const QImage &image);
