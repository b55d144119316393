#include "TextLayout.h"

#include <QTextBoundaryFinder>

#include <cmath>

namespace TextLayout {

namespace {

bool isBlank(QChar c)
{
    return c == u' ';
}

QString normalized(const QString &text)
{
    QString s = text;
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(u'\r', u'\n');
    s.replace(u'\t', u' ');
    return s;
}

int maxLinesFor(const TextMeasurer::LineMetrics &m, int boxHeight)
{
    const int first = m.ascent + m.descent;
    if (boxHeight <= first || m.lineSpacing <= 0)
        return 1;
    return 1 + (boxHeight - first) / m.lineSpacing;
}

// Short paragraphs are measured whole first: most texts fit on one line.
constexpr qsizetype WholeCheckLength = 200;

struct Line
{
    QString text;
    int width = 0;
};

// The longest prefix of text[from, to) that fits `maxWidth`, ending at a
// character boundary; at least one character.
Line fittingPrefix(const TextMeasurer &measurer, const ReportFont &font, const QString &text, qsizetype from,
                   qsizetype to, int maxWidth)
{
    std::vector<qsizetype> ends;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, QStringView(text).mid(from, to - from));
    for (qsizetype b = finder.toNextBoundary(); b > 0; b = finder.toNextBoundary())
        ends.push_back(from + b);
    if (ends.empty())
        ends.push_back(to);
    size_t lo = 0; // ends[lo] always taken, even when it alone is too wide
    int loWidth = -1;
    size_t hi = ends.size() - 1;
    while (lo < hi) {
        const size_t mid = (lo + hi + 1) / 2;
        const int w = measurer.width(font, QStringView(text).mid(from, ends[mid] - from));
        if (w <= maxWidth) {
            lo = mid;
            loWidth = w;
        } else {
            hi = mid - 1;
        }
    }
    const QString line = text.mid(from, ends[lo] - from);
    return {line, loWidth >= 0 ? loWidth : measurer.width(font, line)};
}

// Appends the lines of one paragraph until `out` holds `limit` lines.
void wrapParagraph(const TextMeasurer &measurer, const ReportFont &font, const QString &para, int maxWidth,
                   size_t limit, std::vector<Line> &out)
{
    const qsizetype n = para.size();
    if (n == 0) {
        out.push_back({});
        return;
    }
    if (n <= WholeCheckLength) {
        const int w = measurer.width(font, para);
        if (w <= maxWidth) {
            out.push_back({para, w});
            return;
        }
    }
    qsizetype pos = 0;
    while (pos < n && out.size() < limit) {
        // Break after the last word that still fits; measuring stops at the first
        // one that does not, so a long text costs no more than its printed lines.
        qsizetype lastGood = -1;
        int lastGoodWidth = 0;
        bool allFit = true;
        for (qsizetype b = pos + 1; b < n; ++b) {
            if (!isBlank(para[b]) || isBlank(para[b - 1]))
                continue;
            const int w = measurer.width(font, QStringView(para).mid(pos, b - pos));
            if (w <= maxWidth) {
                lastGood = b;
                lastGoodWidth = w;
            } else {
                allFit = false;
                break;
            }
        }
        if (allFit) {
            const int w = measurer.width(font, QStringView(para).mid(pos));
            if (w <= maxWidth) {
                out.push_back({para.mid(pos), w});
                return;
            }
        }
        if (lastGood > pos) {
            out.push_back({para.mid(pos, lastGood - pos), lastGoodWidth});
            pos = lastGood;
        } else {
            qsizetype wordEnd = pos;
            while (wordEnd < n && !isBlank(para[wordEnd]))
                ++wordEnd;
            if (wordEnd == pos) // leading blanks: they go with the first word
                while (wordEnd < n && isBlank(para[wordEnd]))
                    ++wordEnd;
            Line piece = fittingPrefix(measurer, font, para, pos, wordEnd, maxWidth);
            pos += piece.text.size();
            out.push_back(std::move(piece));
        }
        while (pos < n && isBlank(para[pos]))
            ++pos;
    }
}

} // namespace

TextItem layout(const TextMeasurer &measurer, const ReportFont &font, const QString &text, DocRect box,
                TextAlignment alignment, bool wordWrap, bool autoSize)
{
    TextItem item;
    item.text = text;
    item.font = font;
    item.alignment = alignment;

    const TextMeasurer::LineMetrics m = measurer.lineMetrics(font);
    const size_t limit = static_cast<size_t>(maxLinesFor(m, box.height));

    std::vector<Line> lines;
    if (!text.isEmpty()) {
        // Line ends and tabs are rare: copy only when there is one.
        QString s = text;
        if (s.contains(u'\r') || s.contains(u'\t'))
            s = normalized(s);
        qsizetype start = 0;
        while (lines.size() < limit) {
            const qsizetype nl = s.indexOf(u'\n', start);
            const QString para = nl < 0 && start == 0 ? s : s.mid(start, nl < 0 ? -1 : nl - start);
            if (wordWrap && !autoSize)
                wrapParagraph(measurer, font, para, box.width, limit, lines);
            else
                lines.push_back({para, measurer.width(font, para)});
            if (nl < 0)
                break;
            start = nl + 1;
        }
    }

    int widest = 0;
    for (const Line &l : lines)
        widest = std::max(widest, l.width);
    if (autoSize)
        box.width = widest;
    item.box = box;
    item.clip = widest > box.width;

    item.lines.reserve(lines.size());
    for (size_t i = 0; i < lines.size(); ++i) {
        TextLine line;
        line.text = std::move(lines[i].text);
        line.width = lines[i].width;
        switch (alignment) {
        case TextAlignment::Left:
            line.x = box.left;
            break;
        case TextAlignment::Center:
            line.x = box.left + (box.width - line.width) / 2;
            break;
        case TextAlignment::Right:
            line.x = box.right() - line.width;
            break;
        }
        line.baseline = box.top + m.ascent + static_cast<int>(i) * m.lineSpacing;
        item.lines.push_back(std::move(line));
    }
    return item;
}

FittedFont fitted(const TextMeasurer &measurer, const ReportFont &font, const QStringList &lines, int width,
                  double smallest)
{
    const auto widest = [&](const ReportFont &f) {
        int w = 0;
        for (const QString &l : lines)
            w = std::max(w, measurer.width(f, l));
        return w;
    };
    const int full = widest(font);
    if (full <= width)
        return {font, 0, true};
    // Widths follow the size closely: start from the proportional size, then
    // step down a tenth of a point while hinting or rounding still overflows.
    const int smallestTenths = static_cast<int>(std::ceil(smallest * 10.0 - 1e-9));
    int tenths = std::max(smallestTenths, static_cast<int>(std::floor(font.points * 10.0 * width / full)));
    ReportFont f = font;
    f.points = tenths / 10.0;
    while (tenths > smallestTenths && widest(f) > width) {
        --tenths;
        f.points = tenths / 10.0;
    }
    const TextMeasurer::LineMetrics big = measurer.lineMetrics(font);
    const TextMeasurer::LineMetrics small = measurer.lineMetrics(f);
    const int shift = std::max(0, ((big.ascent + big.descent) - (small.ascent + small.descent)) / 2);
    return {f, shift, widest(f) <= width};
}

TextItem layoutNumber(const TextMeasurer &measurer, const ReportFont &font, const QString &text, DocRect box,
                      TextAlignment alignment, bool autoSize)
{
    if (autoSize || text.isEmpty() || text.contains(u'\n'))
        return layout(measurer, font, text, box, alignment, false, autoSize);
    const FittedFont f = fitted(measurer, font, {text}, box.width, font.points * SmallestNumberScale);
    if (f.fits) {
        TextItem item = layout(measurer, f.font, text, box, alignment, false, false);
        for (TextLine &line : item.lines)
            line.baseline += f.shift;
        return item;
    }
    const int mark = std::max(1, measurer.width(font, QStringLiteral("#")));
    return layout(measurer, font, QString(std::max(1, box.width / mark), u'#'), box, alignment, false, false);
}

} // namespace TextLayout
