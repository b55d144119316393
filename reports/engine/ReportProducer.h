#pragma once

#include "ReportDefinition.h"
#include "ReportDocument.h"
#include "TextMeasurer.h"

#include <QDateTime>

#include <vector>

// Produces the document of a definition: walks the main cursor with first() and
// next() to its end (leaving it at end on its last record, never moving it back,
// moving no other cursor) and lays the bands out on pages.
//
// Bands: the title once at the top of page 1; the column header at the top of
// every page (on page 1 below the title); group headers before the first record
// and whenever a group's value changes (an inner group restarts with its outer
// one), not repeated where a group continues on a new page; the detail once per
// record; a group footer after the last record of its group, with that record
// current; the summary after the last detail and footer. A band that does not fit
// below the previous one starts a new page, which begins with the column header.
// A group header is kept with its first detail: if the two do not fit together,
// both go to the next page. A band that does not fit even on a page of its own is
// placed anyway (cut at the paper's edge), so pagination always ends.
//
// With no records and print-if-empty: one document with the title, the detail
// band once with every field text empty and every expression taken with its fields
// as zero, and the summary; no column header, group header or footer. With no
// records and without print-if-empty: a document without pages.
//
// A document of several parts lays each part out below the one before it, on
// the first part's paper, margins, name and printer settings. Each part's title
// prints once, where the part begins (the first part's at the top of page 1);
// its column header at the top of every page while it runs. A part whose title,
// column header and first detail do not fit below the previous part begins on a
// new page. A part without records prints its title, then its no-data band (or,
// without one, its detail band with empty fields), then its summary.
//
// Errors of the definition (no main cursor, unknown field, bad expression, more
// than one column, margins that leave no room) and of the cursors (closed) throw
// DataError, before the main cursor moves when the definition is at fault.
class ReportProducer
{
public:
    // The definitions, their cursors and the measurer must outlive produce().
    ReportProducer(const ReportDefinition &definition, const TextMeasurer &measurer);
    ReportProducer(std::vector<const ReportDefinition *> parts, const TextMeasurer &measurer);

    // The moment that date-time system data prints; by default the wall clock
    // when produce() starts.
    void setNow(const QDateTime &now) { m_now = now; }

    ReportDocument produce();

    // Element frame lines are 1/96 inch wide, band frame lines twice that.
    static constexpr int ElementLineWidth = 26;
    static constexpr int BandLineWidth = 53;

private:
    std::vector<const ReportDefinition *> m_parts;
    const TextMeasurer &m_measurer;
    QDateTime m_now;
};
