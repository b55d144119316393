#include "ReportProducer.h"

#include "Cursor.h"
#include "DataError.h"
#include "DateTimes.h"
#include "Field.h"
#include "NumberMask.h"
#include "Regional.h"
#include "ReportExpression.h"
#include "ReportFile.h"
#include "TextLayout.h"

#include <QBuffer>
#include <QHash>
#include <QImageReader>

#include <cmath>
#include <memory>

namespace {

// Pictures from data are untrusted: nothing larger than this is decoded.
constexpr int MaxPictureSide = 20000;
constexpr qint64 MaxSourcePixels = 100'000'000;
// Pictures from data are kept at no more than this resolution of their box.
constexpr int PictureDpi = 600;

struct PlacedElement
{
    const ReportElement *element = nullptr;
    ReportFont font;
    DocRect box; // from the band's top-left corner
    const Field *field = nullptr;
    std::vector<const Field *> fields; // of a field list
    const Cursor *cursor = nullptr;    // of a field element
    // A closed cursor reads as one without a record instead of failing.
    bool optional = false;
    std::unique_ptr<ReportExpression> expression;
    int sum = -1; // index of its running total
};

struct PreparedBand
{
    bool present = false;
    int height = 0;
    FrameLines frame;
    std::vector<PlacedElement> elements;
};

struct DeferredSum
{
    size_t page = 0;
    size_t firstItem = 0;
    size_t itemCount = 0;
    const PlacedElement *element = nullptr;
    int x = 0;
    int y = 0;
};

// What the parts of one document share: the pages, where the next band goes,
// and the pictures already stored.
struct DataPicture
{
    int index = -1;
    QSize size;
};

struct Sheet
{
    ReportDocument doc;
    bool started = false; // the geometry below is set
    int paperWidth = 0;
    int paperHeight = 0;
    int left = 0;
    int right = 0;
    int top = 0;
    int bottom = 0;
    int y = 0;
    // Nothing but the column header on the page yet: a band that does not fit
    // here would not fit on a new page either.
    bool fresh = true;
    QHash<qint64, int> fixedPictures;
    QHash<QByteArray, DataPicture> dataPictures;
    QHash<QByteArray, DataPicture> keptPictures;
};

class Layouter
{
public:
    Layouter(const ReportDefinition &def, const TextMeasurer &measurer, QDateTime now, Sheet &sheet)
        : m_def(def), m_measurer(measurer), m_now(std::move(now)), m_sheet(sheet), m_doc(sheet.doc), m_y(sheet.y),
          m_fresh(sheet.fresh), m_fixedPictures(sheet.fixedPictures), m_dataPictures(sheet.dataPictures),
          m_keptPictures(sheet.keptPictures)
    {
    }

    // Lays the part out after what the sheet holds (on a first page when it
    // holds nothing).
    void run();

private:
    void prepare();
    PreparedBand prepareBand(const std::optional<ReportBand> &band);
    PreparedBand prepareBand(const ReportBand &band);

    bool fits(int height) const { return m_y + height <= m_bottom; }
    void startPart(int needed);
    void startPage();
    void newPage();
    void place(const PreparedBand &band, bool emptyFields = false);
    void emitBand(const PreparedBand &band, bool emptyFields);
    void emitText(std::vector<PageItem> &items, const PlacedElement &pe, int x, int y, const QString &text) const;
    void emitPicture(std::vector<PageItem> &items, const PlacedElement &pe, int x, int y, int picture,
                     const DocRect *pictureBox = nullptr) const;
    void emitFieldPicture(std::vector<PageItem> &items, const PlacedElement &pe, int x, int y, bool emptyFields);
    // The font a text prints in: the element's, or a smaller one that fits its
    // fit width; `shift` moves the smaller line down to the full line's middle.
    ReportFont fittedFont(const PlacedElement &pe, const QString &text, int &shift) const;
    void emitDrawing(std::vector<PageItem> &items, const PlacedElement &pe, int x, int y) const;
    void emitFrame(std::vector<PageItem> &items, const DocRect &box, const FrameLines &frame, int width) const;

    QString fieldText(const PlacedElement &pe) const;
    QString listText(const PlacedElement &pe) const;
    bool hasNoRecord(const PlacedElement &pe) const;
    QString systemText(const ReportElement &e) const;
    int fixedPicture(const QImage &image);
    // The document's picture of data bytes, or -1; `sourceSize` receives the
    // source picture's size. Scaled to no more than the box's resolution.
    int dataPicture(const QByteArray &bytes, const DocRect &box, bool keepAspect, QSize &sourceSize);
    void accumulateSums();
    void fillDeferredSums();

    const ReportDefinition &m_def;
    const TextMeasurer &m_measurer;
    QDateTime m_now;
    Sheet &m_sheet;
    Cursor *m_main = nullptr;

    ReportDocument &m_doc;
    int m_paperWidth = 0;
    int m_paperHeight = 0;
    int m_left = 0;
    int m_right = 0;
    int m_top = 0;
    int m_bottom = 0;
    int &m_y;
    bool &m_fresh;
    bool m_emptyMode = false;
    int m_detailCount = 0;

    PreparedBand m_title;
    PreparedBand m_columnHeader;
    PreparedBand m_detail;
    PreparedBand m_noData;
    PreparedBand m_summary;
    std::vector<PreparedBand> m_groupHeaders;
    std::vector<PreparedBand> m_groupFooters;
    std::vector<const Field *> m_groupFields;

    std::vector<const PlacedElement *> m_sumElements;
    std::vector<ReportExpression::Value> m_sums;
    std::vector<DeferredSum> m_deferred;

    QHash<qint64, int> &m_fixedPictures;
    // Stretched pictures are scaled to their box's shape, kept ones to their own.
    QHash<QByteArray, DataPicture> &m_dataPictures;
    QHash<QByteArray, DataPicture> &m_keptPictures;
};

// The largest box of the picture's proportions inside `box`, centred.
DocRect fittedBox(const DocRect &box, const QSize &size)
{
    if (size.isEmpty() || box.width <= 0 || box.height <= 0)
        return box;
    const double k = std::min(double(box.width) / size.width(), double(box.height) / size.height());
    const int w = std::max(1, qRound(size.width() * k));
    const int h = std::max(1, qRound(size.height() * k));
    return {box.left + (box.width - w) / 2, box.top + (box.height - h) / 2, w, h};
}

// Whether a data element would print no text: empty or blanks only.
bool isBlankText(const QString &text)
{
    return text.trimmed().isEmpty();
}

// A picture as the document keeps it: no larger than a document file may hold.
QImage storedPicture(QImage image)
{
    const qint64 pixels = qint64(image.width()) * image.height();
    if (pixels > ReportFile::MaxPicturePixels) {
        const double k = std::sqrt(double(ReportFile::MaxPicturePixels) / double(pixels));
        image = image.scaled(std::max(1, int(image.width() * k)), std::max(1, int(image.height() * k)),
                             Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    return normalizedPicture(image);
}

DocRect toDoc(const MmRect &r)
{
    return {DocUnits::fromMm(r.left), DocUnits::fromMm(r.top), DocUnits::fromMm(r.width), DocUnits::fromMm(r.height)};
}

PreparedBand Layouter::prepareBand(const std::optional<ReportBand> &band)
{
    return band ? prepareBand(*band) : PreparedBand();
}

PreparedBand Layouter::prepareBand(const ReportBand &band)
{
    PreparedBand out;
    out.present = true;
    out.height = std::max(0, DocUnits::fromMm(band.height));
    out.frame = band.frame;
    out.elements.reserve(band.elements.size());
    for (const ReportElement &e : band.elements) {
        PlacedElement pe;
        pe.element = &e;
        pe.font = e.font.value_or(m_def.baseFont);
        pe.box = toDoc(e.box);
        switch (e.kind) {
        case ReportElement::Kind::FieldText:
        case ReportElement::Kind::FieldPicture: {
            const Cursor *c = e.cursor ? e.cursor : m_main;
            pe.field = &c->fieldByName(e.field);
            if (e.kind == ReportElement::Kind::FieldPicture && pe.field->kind() != Field::Kind::Blob)
                throw DataError(QStringLiteral("%1: el campo «%2» no contiene imágenes").arg(c->name(), e.field));
            pe.cursor = c;
            break;
        }
        case ReportElement::Kind::FieldList: {
            const Cursor *c = e.cursor ? e.cursor : m_main;
            for (const QString &name : e.fields)
                pe.fields.push_back(&c->fieldByName(name));
            pe.cursor = c;
            break;
        }
        case ReportElement::Kind::Expression:
            pe.expression = std::make_unique<ReportExpression>(e.expression, *m_main);
            break;
        default:
            break;
        }
        pe.optional = pe.cursor && (!e.text.isEmpty() || !e.picture.isNull() || e.omitWhenEmpty);
        out.elements.push_back(std::move(pe));
    }
    return out;
}

void Layouter::prepare()
{
    m_main = m_def.mainCursor;
    if (!m_main)
        throw DataError(QStringLiteral("El informe «%1» no tiene cursor principal").arg(m_def.name));
    if (m_def.page.columns != 1)
        throw DataError(QStringLiteral("El informe «%1»: solo se admite una columna por página").arg(m_def.name));

    // Later parts of a document print on the first part's pages.
    if (!m_sheet.started) {
        QSizeF paper = m_def.page.paper;
        if (m_def.page.landscape)
            paper.transpose();
        m_sheet.paperWidth = DocUnits::fromMm(paper.width());
        m_sheet.paperHeight = DocUnits::fromMm(paper.height());
        m_sheet.left = DocUnits::fromMm(m_def.page.leftMargin);
        m_sheet.right = m_sheet.paperWidth - DocUnits::fromMm(m_def.page.rightMargin);
        m_sheet.top = DocUnits::fromMm(m_def.page.topMargin);
        m_sheet.bottom = m_sheet.paperHeight - DocUnits::fromMm(m_def.page.bottomMargin);
        if (m_sheet.right <= m_sheet.left || m_sheet.bottom <= m_sheet.top)
            throw DataError(
                QStringLiteral("El informe «%1»: los márgenes no dejan lugar en la página").arg(m_def.name));
    }
    m_paperWidth = m_sheet.paperWidth;
    m_paperHeight = m_sheet.paperHeight;
    m_left = m_sheet.left;
    m_right = m_sheet.right;
    m_top = m_sheet.top;
    m_bottom = m_sheet.bottom;

    m_title = prepareBand(m_def.title);
    m_columnHeader = prepareBand(m_def.columnHeader);
    m_detail = prepareBand(m_def.detail);
    m_noData = prepareBand(m_def.noData);
    m_summary = prepareBand(m_def.summary);
    for (const ReportGroup &g : m_def.groups) {
        m_groupFields.push_back(&m_main->fieldByName(g.field));
        m_groupHeaders.push_back(prepareBand(g.header));
        m_groupFooters.push_back(prepareBand(g.footer));
    }

    auto collectSums = [this](PreparedBand &b) {
        for (PlacedElement &pe : b.elements) {
            if (pe.expression && pe.element->sum) {
                pe.sum = static_cast<int>(m_sums.size());
                m_sums.push_back(pe.expression->zero());
                m_sumElements.push_back(&pe);
            }
        }
    };
    collectSums(m_title);
    collectSums(m_columnHeader);
    collectSums(m_detail);
    collectSums(m_noData);
    collectSums(m_summary);
    for (size_t i = 0; i < m_groupHeaders.size(); ++i) {
        collectSums(m_groupHeaders[i]);
        collectSums(m_groupFooters[i]);
    }
}

void Layouter::startPage()
{
    ReportPage page;
    page.width = m_paperWidth;
    page.height = m_paperHeight;
    m_doc.pages.push_back(std::move(page));
    m_y = m_top;
    m_fresh = true;
}

void Layouter::newPage()
{
    startPage();
    if (!m_emptyMode && m_columnHeader.present)
        emitBand(m_columnHeader, false);
}

void Layouter::place(const PreparedBand &band, bool emptyFields)
{
    if (!band.present)
        return;
    if (!fits(band.height) && !m_fresh)
        newPage();
    emitBand(band, emptyFields);
    m_fresh = false;
}

void Layouter::emitBand(const PreparedBand &band, bool emptyFields)
{
    std::vector<PageItem> &items = m_doc.pages.back().items;
    const int x = m_left;
    const int y = m_y;
    for (const PlacedElement &pe : band.elements) {
        const ReportElement &e = *pe.element;
        switch (e.kind) {
        case ReportElement::Kind::Label:
            emitText(items, pe, x, y, e.text);
            break;
        case ReportElement::Kind::FieldText:
        case ReportElement::Kind::FieldList: {
            QString text;
            if (!emptyFields && !hasNoRecord(pe))
                text = e.kind == ReportElement::Kind::FieldText ? fieldText(pe) : listText(pe);
            if (!e.text.isEmpty() && isBlankText(text))
                text = e.text;
            emitText(items, pe, x, y, text);
            break;
        }
        case ReportElement::Kind::Expression:
            if (pe.sum >= 0) {
                // The total is known at the end; its items are filled in then.
                DeferredSum d{m_doc.pages.size() - 1, items.size(), 0, &pe, x, y};
                emitText(items, pe, x, y, QString());
                d.itemCount = items.size() - d.firstItem;
                m_deferred.push_back(d);
            } else {
                emitText(items, pe, x, y, ReportExpression::format(pe.expression->evaluate(emptyFields), e.mask));
            }
            break;
        case ReportElement::Kind::SystemData:
            emitText(items, pe, x, y, systemText(e));
            break;
        case ReportElement::Kind::Picture:
            emitPicture(items, pe, x, y, fixedPicture(e.picture));
            break;
        case ReportElement::Kind::FieldPicture:
            emitFieldPicture(items, pe, x, y, emptyFields);
            break;
        case ReportElement::Kind::Drawing:
            if (!emptyFields)
                emitDrawing(items, pe, x, y);
            break;
        }
    }
    emitFrame(items, DocRect{m_left, y, m_right - m_left, band.height}, band.frame, ReportProducer::BandLineWidth);
    m_y += band.height;
}

ReportFont Layouter::fittedFont(const PlacedElement &pe, const QString &text, int &shift) const
{
    shift = 0;
    const ReportElement &e = *pe.element;
    if (e.fitWidth <= 0 || !e.autoSize || text.isEmpty())
        return pe.font;
    QString s = text;
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(u'\r', u'\n');
    s.replace(u'\t', u' ');
    const TextLayout::FittedFont f = TextLayout::fitted(m_measurer, pe.font, s.split(u'\n'),
                                                        DocUnits::fromMm(e.fitWidth), 1.0);
    shift = f.shift;
    return f.font;
}

void Layouter::emitText(std::vector<PageItem> &items, const PlacedElement &pe, int x, int y, const QString &text) const
{
    const ReportElement &e = *pe.element;
    if (e.omitWhenEmpty && text.isEmpty() && pe.sum < 0)
        return;
    const DocRect box{x + pe.box.left, y + pe.box.top, pe.box.width, pe.box.height};
    // Amounts and counts are never cut: a piece of a number reads as another number.
    const bool number = e.kind == ReportElement::Kind::Expression
                        || (e.kind == ReportElement::Kind::FieldText && pe.field && pe.field->isNumeric());
    TextItem t;
    if (number && !e.autoSize) {
        t = TextLayout::layoutNumber(m_measurer, pe.font, text, box, e.alignment, false);
    } else {
        int shift = 0;
        const ReportFont font = fittedFont(pe, text, shift);
        t = TextLayout::layout(m_measurer, font, text, box, e.alignment, e.wordWrap, e.autoSize);
        for (TextLine &line : t.lines)
            line.baseline += shift;
    }
    if (!e.transparent)
        items.push_back(FillItem{t.box, e.background.rgba()});
    const DocRect finalBox = t.box;
    items.push_back(std::move(t));
    emitFrame(items, finalBox, e.frame, ReportProducer::ElementLineWidth);
}

void Layouter::emitPicture(std::vector<PageItem> &items, const PlacedElement &pe, int x, int y, int picture,
                           const DocRect *pictureBox) const
{
    const ReportElement &e = *pe.element;
    const DocRect box{x + pe.box.left, y + pe.box.top, pe.box.width, pe.box.height};
    if (!e.transparent)
        items.push_back(FillItem{box, e.background.rgba()});
    if (picture >= 0)
        items.push_back(PictureItem{pictureBox ? *pictureBox : box, picture});
    emitFrame(items, box, e.frame, ReportProducer::ElementLineWidth);
}

void Layouter::emitFieldPicture(std::vector<PageItem> &items, const PlacedElement &pe, int x, int y, bool emptyFields)
{
    const ReportElement &e = *pe.element;
    const DocRect box{x + pe.box.left, y + pe.box.top, pe.box.width, pe.box.height};
    int picture = -1;
    QSize size;
    if (!emptyFields && !hasNoRecord(pe))
        picture = dataPicture(pe.field->asBytes(), box, e.keepAspect, size);
    if (picture >= 0 && e.keepAspect) {
        const DocRect kept = fittedBox(box, size);
        emitPicture(items, pe, x, y, picture, &kept);
        return;
    }
    if (picture < 0)
        picture = fixedPicture(e.picture);
    emitPicture(items, pe, x, y, picture);
}

void Layouter::emitDrawing(std::vector<PageItem> &items, const PlacedElement &pe, int x, int y) const
{
    const ReportElement &e = *pe.element;
    const DocRect box{x + pe.box.left, y + pe.box.top, pe.box.width, pe.box.height};
    if (!e.transparent)
        items.push_back(FillItem{box, e.background.rgba()});
    if (!e.draw)
        return;

    // Millimetres within the element's box to the page's hundredths.
    class Canvas : public ReportCanvas
    {
    public:
        Canvas(const Layouter &layouter, std::vector<PageItem> &items, DocRect box)
            : m_layouter(layouter), m_items(items), m_box(box)
        {
        }
        void fill(const MmRect &r, const QColor &colour) override { m_items.push_back(FillItem{place(r), colour.rgba()}); }
        void text(const MmRect &r, const QString &text, const ReportFont &font, TextAlignment alignment) override
        {
            TextItem t = TextLayout::layout(m_layouter.m_measurer, font, text, place(r), alignment, false, false);
            m_items.push_back(std::move(t));
        }
        void frame(const MmRect &r, FrameLines lines, double widthMm) override
        {
            m_layouter.emitFrame(m_items, place(r), lines, std::max(0, DocUnits::fromMm(widthMm)));
        }

    private:
        DocRect place(const MmRect &r) const
        {
            const DocRect d = toDoc(r);
            return {m_box.left + d.left, m_box.top + d.top, d.width, d.height};
        }
        const Layouter &m_layouter;
        std::vector<PageItem> &m_items;
        DocRect m_box;
    };
    Canvas canvas(*this, items, box);
    e.draw(canvas);
    emitFrame(items, box, e.frame, ReportProducer::ElementLineWidth);
}

void Layouter::emitFrame(std::vector<PageItem> &items, const DocRect &r, const FrameLines &frame, int width) const
{
    if (frame.top)
        items.push_back(LineItem{r.left, r.top, r.right(), r.top, width});
    if (frame.bottom)
        items.push_back(LineItem{r.left, r.bottom(), r.right(), r.bottom(), width});
    if (frame.left)
        items.push_back(LineItem{r.left, r.top, r.left, r.bottom(), width});
    if (frame.right)
        items.push_back(LineItem{r.right(), r.top, r.right(), r.bottom(), width});
}

QString Layouter::fieldText(const PlacedElement &pe) const
{
    const Field &f = *pe.field;
    const QVariant v = f.value();
    if (!v.isValid())
        return QString();
    const QString &mask = pe.element->mask;
    if (mask.isEmpty())
        return f.displayTextOf(v);
    if (v.metaType() == QMetaType::fromType<Money>())
        return NumberMask::format(v.value<Money>(), mask);
    if (v.metaType().id() == QMetaType::QDateTime)
        return DateTimes::format(mask, v.toDateTime(), Regional::settings());
    if (f.isWholeNumber()) {
        ReportExpression::Value n;
        n.whole = f.asInteger();
        return ReportExpression::format(n, mask);
    }
    return f.displayTextOf(v);
}

QString Layouter::listText(const PlacedElement &pe) const
{
    QStringList parts;
    for (const Field *f : pe.fields) {
        const QVariant v = f->value();
        if (!v.isValid())
            continue;
        const QString text = f->displayTextOf(v).trimmed();
        if (!text.isEmpty())
            parts << text;
    }
    return parts.join(pe.element->separator);
}

bool Layouter::hasNoRecord(const PlacedElement &pe) const
{
    return pe.optional && (!pe.cursor->isOpen() || pe.cursor->recNo() < 0);
}

QString Layouter::systemText(const ReportElement &e) const
{
    if (e.system == ReportElement::System::DetailCount)
        return e.text + QString::number(m_detailCount);
    const RegionalSettings &rs = Regional::settings();
    return e.text + rs.formatShortDate(m_now) + u' ' + DateTimes::format(rs.longTimeFormat, m_now, rs);
}

int Layouter::fixedPicture(const QImage &image)
{
    if (image.isNull())
        return -1;
    const auto it = m_fixedPictures.constFind(image.cacheKey());
    if (it != m_fixedPictures.cend())
        return it.value();
    m_doc.pictures.push_back(storedPicture(image));
    const int index = static_cast<int>(m_doc.pictures.size()) - 1;
    m_fixedPictures.insert(image.cacheKey(), index);
    return index;
}

int Layouter::dataPicture(const QByteArray &bytes, const DocRect &box, bool keepAspect, QSize &sourceSize)
{
    if (bytes.isEmpty())
        return -1;
    QHash<QByteArray, DataPicture> &cache = keepAspect ? m_keptPictures : m_dataPictures;
    const auto it = cache.constFind(bytes);
    if (it != cache.cend()) {
        sourceSize = it->size;
        return it->index;
    }

    // A damaged or unreadable picture prints nothing.
    int index = -1;
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    const bool tooLarge = size.isValid()
                          && (size.width() > MaxPictureSide || size.height() > MaxPictureSide
                              || qint64(size.width()) * size.height() > MaxSourcePixels);
    QImage image;
    if (!tooLarge && reader.read(&image) && !image.isNull()) {
        sourceSize = image.size();
        const DocRect target = keepAspect ? fittedBox(box, sourceSize) : box;
        const int maxW = std::max(1, target.width * PictureDpi / DocUnits::PerInch);
        const int maxH = std::max(1, target.height * PictureDpi / DocUnits::PerInch);
        if (image.width() > maxW || image.height() > maxH)
            image = image.scaled(std::min(maxW, image.width()), std::min(maxH, image.height()),
                                 keepAspect ? Qt::KeepAspectRatio : Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        m_doc.pictures.push_back(storedPicture(std::move(image)));
        index = static_cast<int>(m_doc.pictures.size()) - 1;
    }
    cache.insert(bytes, {index, sourceSize});
    return index;
}

void Layouter::accumulateSums()
{
    for (size_t i = 0; i < m_sums.size(); ++i)
        m_sums[i] = ReportExpression::add(m_sums[i], m_sumElements[i]->expression->evaluate());
}

void Layouter::fillDeferredSums()
{
    for (const DeferredSum &d : m_deferred) {
        std::vector<PageItem> fresh;
        const PlacedElement &pe = *d.element;
        emitText(fresh, pe, d.x, d.y,
                 ReportExpression::format(m_sums[static_cast<size_t>(pe.sum)], pe.element->mask));
        Q_ASSERT(fresh.size() == d.itemCount);
        std::vector<PageItem> &items = m_doc.pages[d.page].items;
        std::move(fresh.begin(), fresh.end(), items.begin() + static_cast<qsizetype>(d.firstItem));
    }
}

void Layouter::startPart(int needed)
{
    // A part begins on the sheet's first page, or below the part before it
    // when its opening bands fit there; otherwise on a new page of its own.
    if (!m_sheet.started) {
        m_sheet.started = true;
        startPage();
    } else if (!fits(needed) && !m_fresh) {
        startPage();
    }
}

void Layouter::run()
{
    prepare();
    if (!m_sheet.started) {
        m_doc.title = m_def.name;
        m_doc.printer = m_def.printer;
    }
    if (!m_now.isValid())
        m_now = DateTimes::now();

    Cursor &cursor = *m_main;
    // Windows bound to the cursor follow only the record the report ends on.
    Cursor::ControlsDisabled quiet(cursor);
    cursor.first();
    m_detailCount = cursor.recordCount();

    if (cursor.atEnd()) {
        if (!m_def.printIfEmpty)
            return;
        m_emptyMode = true;
        const PreparedBand &instead = m_noData.present ? m_noData : m_detail;
        startPart(m_title.height + instead.height);
        place(m_title);
        place(instead, true);
        place(m_summary);
        fillDeferredSums();
        return;
    }

    startPart(m_title.height + m_columnHeader.height + m_detail.height);
    if (m_title.present)
        place(m_title);
    if (m_columnHeader.present) {
        if (fits(m_columnHeader.height) || m_fresh)
            emitBand(m_columnHeader, false);
        else
            newPage();
    }

    const size_t groups = m_groupFields.size();
    std::vector<QVariant> groupValues(groups);
    bool firstRecord = true;
    while (!cursor.atEnd()) {
        size_t startLevel = groups;
        for (size_t k = 0; k < groups; ++k) {
            const QVariant v = m_groupFields[k]->value();
            if (firstRecord || v != groupValues[k]) {
                startLevel = k;
                break;
            }
        }
        for (size_t k = startLevel; k < groups; ++k)
            groupValues[k] = m_groupFields[k]->value();
        if (startLevel < groups) {
            // Headers travel with the group's first detail.
            int needed = m_detail.present ? m_detail.height : 0;
            for (size_t k = startLevel; k < groups; ++k)
                needed += m_groupHeaders[k].height;
            if (!fits(needed) && !m_fresh)
                newPage();
            for (size_t k = startLevel; k < groups; ++k)
                place(m_groupHeaders[k]);
        }
        place(m_detail);
        accumulateSums();
        firstRecord = false;

        // Footers print while the group's last record is still current.
        const int nextRow = cursor.recNo() + 1;
        size_t endLevel = groups;
        if (nextRow >= cursor.recordCount()) {
            endLevel = 0;
        } else {
            for (size_t k = 0; k < groups; ++k) {
                if (cursor.valueAt(nextRow, *m_groupFields[k]) != groupValues[k]) {
                    endLevel = k;
                    break;
                }
            }
        }
        for (size_t k = groups; k > endLevel; --k)
            place(m_groupFooters[k - 1]);

        cursor.next();
    }
    place(m_summary);
    fillDeferredSums();
}

} // namespace

ReportProducer::ReportProducer(const ReportDefinition &definition, const TextMeasurer &measurer)
    : m_parts{&definition}, m_measurer(measurer)
{
}

ReportProducer::ReportProducer(std::vector<const ReportDefinition *> parts, const TextMeasurer &measurer)
    : m_parts(std::move(parts)), m_measurer(measurer)
{
}

ReportDocument ReportProducer::produce()
{
    Sheet sheet;
    const QDateTime now = m_now.isValid() ? m_now : DateTimes::now();
    for (const ReportDefinition *part : m_parts) {
        if (!part)
            throw DataError(QStringLiteral("El informe no tiene definición"));
        Layouter layouter(*part, m_measurer, now, sheet);
        layouter.run();
    }
    return std::move(sheet.doc);
}
