#pragma once

#include <QColor>
#include <QImage>
#include <QSizeF>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

class Cursor;

// The layout model of a printed document: plain data that a report holder fills
// in and the engine reads. Lengths are millimetres, font sizes points.

enum class TextAlignment { Left, Center, Right };

struct ReportFont
{
    QString family = QStringLiteral("Arial");
    double points = 10;
    bool bold = false;
    bool italic = false;

    bool operator==(const ReportFont &) const = default;
};

// Black lines along the edges of a band or an element.
struct FrameLines
{
    bool top = false;
    bool bottom = false;
    bool left = false;
    bool right = false;

    static FrameLines all() { return {true, true, true, true}; }
    bool any() const { return top || bottom || left || right; }
    bool operator==(const FrameLines &) const = default;
};

// A box within a band: left and top from the band's top-left corner.
struct MmRect
{
    double left = 0;
    double top = 0;
    double width = 0;
    double height = 0;
};

// What a drawing element draws on, in millimetres from the element's top-left
// corner. Texts print on one line, in black, cut at their box.
class ReportCanvas
{
public:
    virtual ~ReportCanvas() = default;
    virtual void fill(const MmRect &box, const QColor &colour) = 0;
    virtual void text(const MmRect &box, const QString &text, const ReportFont &font,
                      TextAlignment alignment = TextAlignment::Left) = 0;
    // Black lines along the chosen edges of the box, `widthMm` wide.
    virtual void frame(const MmRect &box, FrameLines lines, double widthMm) = 0;
};

// One thing printed in a band. Which members count depends on the kind:
//   Label        text (the caption)
//   FieldText    cursor (null: the main cursor), field, mask; text (fallback)
//   FieldList    cursor (null: the main cursor), fields, separator; text (fallback)
//   Expression   expression over main-cursor fields, mask, sum
//   Picture      picture, stretched to the box
//   FieldPicture cursor (null: the main cursor), field holding picture bytes,
//                keepAspect; picture (fallback)
//   SystemData   system, text (leading text)
//   Drawing      draw, called with the records current as the band prints
// A mask formats numbers as a number mask and date-times as a date picture.
// A sum prints the total of its expression over every detail record of the
// document, wherever the element stands.
//
// A FieldList prints the display texts of its fields that are not blank, joined
// by the separator. A fallback prints in place of a field text or list that
// would print nothing but blanks, or of a field picture without a readable
// picture (drawn as a fixed picture would be). An element with a fallback, or
// one left out when empty, reads a closed cursor as one without a current
// record: every field empty.
struct ReportElement
{
    enum class Kind { Label, FieldText, FieldList, Expression, Picture, FieldPicture, SystemData, Drawing };
    enum class System { DateTime, DetailCount };

    Kind kind = Kind::Label;
    MmRect box;
    std::optional<ReportFont> font; // none: the report's base font
    TextAlignment alignment = TextAlignment::Left;
    // The box's width follows its text (one line per paragraph); the left edge stays.
    bool autoSize = false;
    // Text breaks at blanks (a word wider than the box breaks between characters);
    // lines that do not fit the box's height are cut. Without it each paragraph is
    // one line, clipped at the box.
    bool wordWrap = true;
    bool transparent = false; // otherwise the box is filled with the background
    QColor background = Qt::white;
    FrameLines frame;
    // For an auto-size text: when its widest line is wider than this many
    // millimetres, it is drawn at the largest smaller size of the same font (in
    // tenths of a point) at which it fits, never cut or wrapped; the smaller
    // line is centred on the height the full-size line took. 0: off.
    double fitWidth = 0;
    // A text element whose text is empty prints nothing at all: no background,
    // no frame (sums excepted).
    bool omitWhenEmpty = false;
    // A field picture keeps its proportions, centred in the box, instead of
    // being stretched to it.
    bool keepAspect = false;

    QString text;
    Cursor *cursor = nullptr;
    QString field;
    QStringList fields;
    QString separator;
    QString expression;
    QString mask;
    bool sum = false;
    QImage picture;
    System system = System::DateTime;
    std::function<void(ReportCanvas &canvas)> draw;

    static ReportElement label(QString caption, MmRect box);
    static ReportElement fieldText(Cursor *cursor, QString field, MmRect box, QString mask = {});
    static ReportElement fieldList(Cursor *cursor, QStringList fields, QString separator, MmRect box);
    static ReportElement expressionText(QString expression, MmRect box, QString mask = {}, bool sum = false);
    static ReportElement fixedPicture(QImage picture, MmRect box);
    static ReportElement fieldPicture(Cursor *cursor, QString field, MmRect box);
    static ReportElement systemData(System system, MmRect box, QString leadingText = {});
    // Draws what only the data can tell (bars over days, say) inside its box.
    static ReportElement drawing(MmRect box, std::function<void(ReportCanvas &canvas)> draw);

    ReportElement &withFont(const ReportFont &f) { font = f; return *this; }
    ReportElement &withAlignment(TextAlignment a) { alignment = a; return *this; }
    ReportElement &withAutoSize(bool on = true) { autoSize = on; return *this; }
    ReportElement &withWordWrap(bool on) { wordWrap = on; return *this; }
    ReportElement &withTransparent(bool on = true) { transparent = on; return *this; }
    ReportElement &withBackground(const QColor &colour) { background = colour; return *this; }
    ReportElement &withFrame(FrameLines f) { frame = f; return *this; }
    ReportElement &withFallback(QString fallbackText) { text = std::move(fallbackText); return *this; }
    ReportElement &withFallback(QImage fallbackPicture) { picture = std::move(fallbackPicture); return *this; }
    ReportElement &withFitWidth(double mm) { fitWidth = mm; return *this; }
    ReportElement &withOmitWhenEmpty(bool on = true) { omitWhenEmpty = on; return *this; }
    ReportElement &withKeepAspect(bool on = true) { keepAspect = on; return *this; }
};

// A band: a strip across the page with a white background, optional frame lines
// and elements placed from its top-left corner. Bands never grow.
struct ReportBand
{
    double height = 0;
    FrameLines frame;
    std::vector<ReportElement> elements;

    ReportBand() = default;
    explicit ReportBand(double heightMm, FrameLines frameLines = {}) : height(heightMm), frame(frameLines) {}
    ReportBand &add(ReportElement element)
    {
        elements.push_back(std::move(element));
        return *this;
    }
};

// A group header and its footer. The header prints before the first record and
// before every record whose value of `field` (a main-cursor field) differs from
// the previous record's; the footer after the last record of each group.
struct ReportGroup
{
    QString field;
    ReportBand header;
    ReportBand footer;
};

struct PageSetup
{
    QSizeF paper{210, 297}; // portrait width and height
    bool landscape = false;
    double topMargin = 12.7;
    double bottomMargin = 12.7;
    double leftMargin = 12.7;
    double rightMargin = 12.7;
    // The engine lays out one column; production refuses other values.
    int columns = 1;

    // How wide the bands are: the paper's width between the margins.
    double bandWidth() const { return (landscape ? paper.height() : paper.width()) - leftMargin - rightMargin; }
};

struct PrinterSettings
{
    enum class Duplex { Default, Simplex, LongSide, ShortSide };
    enum class Colour { Default, Monochrome, Colour };

    int copies = 1;
    // First and last page to print; 0 and 0 print every page.
    int fromPage = 0;
    int toPage = 0;
    // 0 is the automatic bin; 1 to 15 are the standard bin codes (upper, lower,
    // middle, manual, envelope, envelope manual, automatic, tractor, small format,
    // large format, large capacity, 14 cassette, 15 form source); higher numbers
    // are the printer's own bins, which the print system here cannot select.
    int paperBin = 0;
    Duplex duplex = Duplex::Default;
    Colour colour = Colour::Default;
    // Stored with a definition, not used: the page setup gives the paper.
    int paperCode = 0;

    bool operator==(const PrinterSettings &) const = default;
};

enum class PreviewZoom { WholePage, PageWidth, Actual };

struct PreviewSettings
{
    PreviewZoom zoom = PreviewZoom::WholePage;
    bool maximized = false;
};

// One printed document, or one part of a document made of several (see
// ReportEngine). The engine walks `mainCursor` from its first record to its end
// and leaves it there; other cursors are read, never moved.
struct ReportDefinition
{
    QString name; // names the print job and the preview window
    Cursor *mainCursor = nullptr;
    PageSetup page;
    ReportFont baseFont;
    bool printIfEmpty = true;
    PrinterSettings printer;
    PreviewSettings preview;

    std::optional<ReportBand> title;
    std::optional<ReportBand> columnHeader;
    std::vector<ReportGroup> groups; // outermost first
    std::optional<ReportBand> detail;
    // Printed in place of the detail band when the main cursor has no records.
    std::optional<ReportBand> noData;
    std::optional<ReportBand> summary;
};
