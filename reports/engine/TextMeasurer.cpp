#include "TextMeasurer.h"

#include "ReportDocument.h"

#include <QtMath>

namespace {
constexpr qsizetype MaxCachedWidths = 20000;
}

FontTextMeasurer::FontTextMeasurer() = default;
FontTextMeasurer::~FontTextMeasurer() = default;

FontTextMeasurer::Entry &FontTextMeasurer::entry(const ReportFont &font) const
{
    // A report uses a handful of fonts, mostly one after another.
    if (m_last >= 0 && m_entries[static_cast<size_t>(m_last)].font == font)
        return m_entries[static_cast<size_t>(m_last)];
    for (size_t i = 0; i < m_entries.size(); ++i) {
        if (m_entries[i].font == font) {
            m_last = static_cast<qsizetype>(i);
            return m_entries[i];
        }
    }
    Entry e;
    e.font = font;
    e.metrics = std::make_unique<QFontMetricsF>(documentFont(font));
    e.line.ascent = qCeil(e.metrics->ascent());
    e.line.descent = qCeil(e.metrics->descent());
    e.line.lineSpacing = qCeil(e.metrics->lineSpacing());
    m_entries.push_back(std::move(e));
    m_last = static_cast<qsizetype>(m_entries.size()) - 1;
    return m_entries.back();
}

TextMeasurer::LineMetrics FontTextMeasurer::lineMetrics(const ReportFont &font) const
{
    return entry(font).line;
}

int FontTextMeasurer::width(const ReportFont &font, QStringView text) const
{
    if (text.isEmpty())
        return 0;
    Entry &e = entry(font);
    const QString key = text.toString();
    if (const auto it = e.widths.constFind(key); it != e.widths.cend())
        return it.value();
    if (e.widths.size() >= MaxCachedWidths)
        e.widths.clear();
    const int w = qCeil(e.metrics->horizontalAdvance(key));
    e.widths.insert(key, w);
    return w;
}

TextMeasurer::LineMetrics FixedTextMeasurer::lineMetrics(const ReportFont &font) const
{
    return {qRound(font.points * 28), qRound(font.points * 8), qRound(font.points * 40)};
}

int FixedTextMeasurer::width(const ReportFont &font, QStringView text) const
{
    return static_cast<int>(text.size()) * qRound(font.points * 20);
}
