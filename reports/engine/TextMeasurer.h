#pragma once

#include "ReportDefinition.h"

#include <QFontMetricsF>
#include <QHash>
#include <QStringView>

#include <memory>
#include <vector>

// Measures text for layout, in hundredths of a millimetre. Text is measured once,
// when a document is produced; painters use the positions it gave.
class TextMeasurer
{
public:
    struct LineMetrics
    {
        int ascent = 0;
        int descent = 0;
        int lineSpacing = 0; // from one baseline to the next
    };

    virtual ~TextMeasurer() = default;
    virtual LineMetrics lineMetrics(const ReportFont &font) const = 0;
    virtual int width(const ReportFont &font, QStringView text) const = 0;
};

// The real fonts, measured at the document's own resolution (2540 dots per inch,
// independent of any screen or printer). Needs a QGuiApplication.
class FontTextMeasurer : public TextMeasurer
{
public:
    FontTextMeasurer();
    ~FontTextMeasurer() override;

    LineMetrics lineMetrics(const ReportFont &font) const override;
    int width(const ReportFont &font, QStringView text) const override;

private:
    struct Entry
    {
        ReportFont font;
        std::unique_ptr<QFontMetricsF> metrics;
        LineMetrics line;
        // Reports repeat their texts (captions, names, prices); shaping is the
        // costly part of layout.
        QHash<QString, int> widths;
    };
    Entry &entry(const ReportFont &font) const;

    mutable std::vector<Entry> m_entries;
    mutable qsizetype m_last = -1;
};

// Fixed metrics for pagination tests: every character, blanks included, is
// `points * 20` wide; ascent `points * 28`, descent `points * 8`, line spacing
// `points * 40` (a 10 pt line is 4 mm tall and a character 2 mm wide).
class FixedTextMeasurer : public TextMeasurer
{
public:
    LineMetrics lineMetrics(const ReportFont &font) const override;
    int width(const ReportFont &font, QStringView text) const override;
};
