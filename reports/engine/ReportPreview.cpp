#include "ReportPreview.h"

#include "DataError.h"
#include "FileIcons.h"
#include "ReportEngine.h"
#include "ReportFile.h"
#include "ReportPainter.h"

#include <QAbstractScrollArea>
#include <QActionGroup>
#include <QFileDialog>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPaintEvent>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QScreen>
#include <QScrollBar>
#include <QSpinBox>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>
#include <tuple>

namespace {

constexpr int Gap = 12; // pixels around and between pages
const QString FileSuffix = QStringLiteral("rdoc");

QString withSuffix(QString path, const QString &suffix)
{
    if (!path.endsWith(u'.' + suffix, Qt::CaseInsensitive))
        path += u'.' + suffix;
    return path;
}

} // namespace

// ---- the page area ---------------------------------------------------------------

class ReportPreview::PageView : public QAbstractScrollArea
{
public:
    explicit PageView(ReportPreview *owner) : QAbstractScrollArea(owner), m_owner(owner)
    {
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        viewport()->setAutoFillBackground(false);
        viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
        setFocusPolicy(Qt::StrongFocus);
        setAccessibleName(QStringLiteral("Páginas del documento"));
    }

    void documentChanged()
    {
        m_slotWidth = 1;
        m_slotHeight = 1;
        for (const ReportPage &p : doc().pages) {
            m_slotWidth = std::max(m_slotWidth, p.width);
            m_slotHeight = std::max(m_slotHeight, p.height);
        }
        m_current = 0;
        relayout();
    }

    PreviewZoom zoomMode() const { return m_mode; }
    void setZoomMode(PreviewZoom mode)
    {
        m_mode = mode;
        relayout();
    }
    double pixelsPerUnit() const { return m_k; }
    double actualPixelsPerUnit() const { return logicalDpiX() / double(DocUnits::PerInch); }

    int current() const { return m_current; }
    void showPage(int index)
    {
        if (doc().pages.empty())
            return;
        index = std::clamp(index, 0, doc().pageCount() - 1);
        m_programmatic = true;
        verticalScrollBar()->setValue(qRound(index * (slotHeightPx() + Gap)));
        m_programmatic = false;
        m_current = index;
        viewport()->update();
    }

    // Scrolls so that `box` (document units) of page `index` is in view.
    void showBox(int index, const QRectF &box)
    {
        showPage(index);
        const double top = index * (slotHeightPx() + Gap) + Gap + box.top() * m_k;
        const double bottom = top + box.height() * m_k;
        QScrollBar *v = verticalScrollBar();
        const int vh = viewport()->height();
        m_programmatic = true;
        if (top < v->value() || bottom > v->value() + vh)
            v->setValue(qRound(top - vh / 3.0));
        const double left = pageLeftInContent(index) + box.left() * m_k;
        const double right = left + box.width() * m_k;
        QScrollBar *h = horizontalScrollBar();
        const int vw = viewport()->width();
        if (left < h->value() || right > h->value() + vw)
            h->setValue(qRound(left - vw / 3.0));
        m_programmatic = false;
        m_current = index;
        viewport()->update();
    }

    const std::vector<int> &painted() const { return m_painted; }

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QPainter p(viewport());
        p.fillRect(event->rect(), QColor(0x80, 0x80, 0x80));
        m_painted.clear();
        const int n = doc().pageCount();
        if (n == 0)
            return;
        const double slot = slotHeightPx() + Gap;
        const int vh = viewport()->height();
        const int scroll = verticalScrollBar()->value();
        const int first = std::clamp(int(std::floor((scroll - Gap) / slot)), 0, n - 1);
        for (int i = first; i < n; ++i) {
            const QRectF r = pageRect(i);
            if (r.top() > vh)
                break;
            if (r.bottom() < 0 || !r.intersects(QRectF(event->rect())))
                continue;
            p.fillRect(r.translated(3, 3), QColor(0x50, 0x50, 0x50));
            p.fillRect(r, Qt::white);
            ReportPainter::paintPage(p, doc(), i, r);
            paintMatch(p, i, r);
            m_painted.push_back(i + 1);
        }
    }

    void resizeEvent(QResizeEvent *event) override
    {
        QAbstractScrollArea::resizeEvent(event);
        relayout();
    }

    void scrollContentsBy(int, int) override
    {
        if (!m_programmatic && doc().pageCount() > 0) {
            const double slot = slotHeightPx() + Gap;
            const double centre = verticalScrollBar()->value() + viewport()->height() / 2.0;
            const int page = std::clamp(int(std::floor(centre / slot)), 0, doc().pageCount() - 1);
            if (page != m_current) {
                m_current = page;
                m_owner->pageChangedByView();
            }
        }
        viewport()->update();
    }

private:
    const ReportDocument &doc() const { return m_owner->m_document; }
    double slotHeightPx() const { return m_slotHeight * m_k; }

    double pageLeftInContent(int index) const
    {
        const double w = doc().pages[static_cast<size_t>(index)].width * m_k;
        const double contentWidth = std::max<double>(viewport()->width(), m_slotWidth * m_k + 2 * Gap);
        return (contentWidth - w) / 2;
    }

    QRectF pageRect(int index) const
    {
        const ReportPage &page = doc().pages[static_cast<size_t>(index)];
        const double x = pageLeftInContent(index) - horizontalScrollBar()->value();
        const double y = Gap + index * (slotHeightPx() + Gap) - verticalScrollBar()->value();
        return QRectF(x, y, page.width * m_k, page.height * m_k);
    }

    void paintMatch(QPainter &p, int index, const QRectF &target) const
    {
        const auto &match = m_owner->m_match;
        if (!match || match->page != index + 1)
            return;
        const QRectF box = m_owner->matchBox(*match);
        const ReportPage &page = doc().pages[static_cast<size_t>(index)];
        const double sx = target.width() / page.width;
        const double sy = target.height() / page.height;
        const QRectF r(target.left() + box.left() * sx, target.top() + box.top() * sy, box.width() * sx,
                       box.height() * sy);
        p.fillRect(r, QColor(255, 190, 0, 110));
        p.setPen(QPen(QColor(230, 120, 0), 0));
        p.drawRect(r);
    }

    void relayout()
    {
        const int vw = viewport()->width();
        const int vh = viewport()->height();
        switch (m_mode) {
        case PreviewZoom::WholePage:
            m_k = std::min(double(vw - 2 * Gap) / m_slotWidth, double(vh - 2 * Gap) / m_slotHeight);
            break;
        case PreviewZoom::PageWidth:
            m_k = double(vw - 2 * Gap) / m_slotWidth;
            break;
        case PreviewZoom::Actual:
            m_k = actualPixelsPerUnit();
            break;
        }
        m_k = std::max(m_k, 0.001);
        const int n = doc().pageCount();
        const double total = Gap + n * (slotHeightPx() + Gap);
        const int keep = m_current;
        m_programmatic = true;
        verticalScrollBar()->setRange(0, std::max(0, int(std::ceil(total)) - vh));
        verticalScrollBar()->setPageStep(vh);
        verticalScrollBar()->setSingleStep(std::max(1, vh / 20));
        const double contentWidth = m_slotWidth * m_k + 2 * Gap;
        horizontalScrollBar()->setRange(0, std::max(0, int(std::ceil(contentWidth)) - vw));
        horizontalScrollBar()->setPageStep(vw);
        horizontalScrollBar()->setSingleStep(std::max(1, vw / 20));
        m_programmatic = false;
        showPage(keep);
    }

    ReportPreview *m_owner;
    PreviewZoom m_mode = PreviewZoom::WholePage;
    double m_k = 0.03;
    int m_slotWidth = 1;
    int m_slotHeight = 1;
    int m_current = 0;
    bool m_programmatic = false;
    std::vector<int> m_painted;
};

// ---- the window ------------------------------------------------------------------------

ReportPreview::ReportPreview(const ReportDocument &document, const PreviewSettings &settings, QWidget *parent)
    : QDialog(parent), m_printer(std::make_unique<QPrinter>(QPrinter::HighResolution))
{
    setSizeGripEnabled(true);
    m_view = new PageView(this);
    buildToolbar();
    auto *layout = qobject_cast<QVBoxLayout *>(this->layout());
    layout->addWidget(m_view, 1);
    m_pageLabel = new QLabel(this);
    layout->addWidget(m_pageLabel);

    QSize size(900, 1000);
    if (const QScreen *screen = parent ? parent->screen() : QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableGeometry().size() * 0.9);
    resize(size);
    if (settings.maximized)
        setWindowState(windowState() | Qt::WindowMaximized);

    m_view->setZoomMode(settings.zoom);
    setDocument(document);
}

ReportPreview::~ReportPreview() = default;

void ReportPreview::buildToolbar()
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(2);

    auto *view = new QToolBar(this);
    view->setToolButtonStyle(Qt::ToolButtonTextOnly);
    auto *zoomGroup = new QActionGroup(this);
    const std::pair<QString, PreviewZoom> zooms[] = {{QStringLiteral("Página completa"), PreviewZoom::WholePage},
                                                     {QStringLiteral("Ancho de página"), PreviewZoom::PageWidth},
                                                     {QStringLiteral("100 %"), PreviewZoom::Actual}};
    for (const auto &[caption, mode] : zooms) {
        QAction *a = view->addAction(caption);
        a->setCheckable(true);
        a->setChecked(mode == m_view->zoomMode());
        a->setObjectName(QStringLiteral("zoom%1").arg(int(mode)));
        zoomGroup->addAction(a);
        connect(a, &QAction::triggered, this, [this, m = mode] { setZoomMode(m); });
    }
    view->addSeparator();
    QAction *first = view->addAction(QStringLiteral("Primera"), this, &ReportPreview::firstPage);
    first->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Home));
    QAction *prev = view->addAction(QStringLiteral("Anterior"), this, &ReportPreview::previousPage);
    prev->setShortcut(QKeySequence(Qt::Key_PageUp));
    m_pageBox = new QSpinBox(this);
    m_pageBox->setPrefix(QStringLiteral("Página "));
    m_pageBox->setKeyboardTracking(false);
    m_pageBox->setAccessibleName(QStringLiteral("Página"));
    view->addWidget(m_pageBox);
    connect(m_pageBox, &QSpinBox::valueChanged, this, &ReportPreview::goToPage);
    QAction *next = view->addAction(QStringLiteral("Siguiente"), this, &ReportPreview::nextPage);
    next->setShortcut(QKeySequence(Qt::Key_PageDown));
    QAction *last = view->addAction(QStringLiteral("Última"), this, &ReportPreview::lastPage);
    last->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_End));
    view->addSeparator();
    m_searchEdit = new QLineEdit(this);
    m_searchEdit->setPlaceholderText(QStringLiteral("Texto a buscar"));
    m_searchEdit->setAccessibleName(QStringLiteral("Texto a buscar"));
    m_searchEdit->setClearButtonEnabled(true);
    m_searchEdit->setMaximumWidth(200);
    view->addWidget(m_searchEdit);
    connect(m_searchEdit, &QLineEdit::returnPressed, this, &ReportPreview::findClicked);
    QAction *search = view->addAction(QStringLiteral("Buscar"), this, &ReportPreview::findClicked);
    search->setToolTip(QStringLiteral("Buscar el texto; otra vez, la siguiente aparición"));
    QAction *focusSearch = new QAction(this);
    focusSearch->setShortcut(QKeySequence::Find);
    connect(focusSearch, &QAction::triggered, m_searchEdit, [this] { m_searchEdit->setFocus(); m_searchEdit->selectAll(); });
    addAction(focusSearch);

    auto *file = new QToolBar(this);
    file->setToolButtonStyle(Qt::ToolButtonTextOnly);
    file->addAction(QStringLiteral("Configurar impresora"), this, &ReportPreview::printerSetupClicked);
    QAction *printAction = file->addAction(QStringLiteral("Imprimir"), this, &ReportPreview::print);
    printAction->setShortcut(QKeySequence::Print);
    file->addSeparator();
    QAction *saveAction = file->addAction(QStringLiteral("Guardar"), this, &ReportPreview::saveClicked);
    saveAction->setShortcut(QKeySequence::Save);
    QAction *openAction = file->addAction(QStringLiteral("Abrir"), this, &ReportPreview::openClicked);
    openAction->setShortcut(QKeySequence::Open);
    file->addAction(QStringLiteral("Exportar a PDF"), this, &ReportPreview::exportClicked);
    file->addSeparator();
    file->addAction(QStringLiteral("Cerrar"), this, &QDialog::reject);

    // Names for the buttons Qt adds without one: the search text's clear
    // button, and the buttons that show what does not fit a tool bar.
    for (QToolButton *clear : m_searchEdit->findChildren<QToolButton *>())
        clear->setAccessibleName(QStringLiteral("Borrar el texto a buscar"));
    for (QToolBar *bar : {view, file})
        if (auto *more = bar->findChild<QToolButton *>(QStringLiteral("qt_toolbar_ext_button")))
            more->setAccessibleName(QStringLiteral("Más botones"));

    layout->addWidget(view);
    layout->addWidget(file);
}

void ReportPreview::setDocument(ReportDocument document)
{
    m_document = std::move(document);
    ReportPainter::preparePrinter(m_document, *m_printer);
    m_match.reset();
    m_lastSearch.clear();
    setWindowTitle(m_document.title.isEmpty() ? QStringLiteral("Vista previa")
                                              : QStringLiteral("Vista previa - %1").arg(m_document.title));
    m_view->documentChanged();
    updatePageControls();
}

int ReportPreview::currentPage() const
{
    return pageCount() == 0 ? 0 : m_view->current() + 1;
}

PreviewZoom ReportPreview::zoomMode() const
{
    return m_view->zoomMode();
}

double ReportPreview::zoomPercent() const
{
    return 100.0 * m_view->pixelsPerUnit() / m_view->actualPixelsPerUnit();
}

const std::vector<int> &ReportPreview::lastPaintedPages() const
{
    return m_view->painted();
}

void ReportPreview::updatePageControls()
{
    const QSignalBlocker block(m_pageBox);
    m_pageBox->setRange(pageCount() > 0 ? 1 : 0, pageCount());
    m_pageBox->setSuffix(QStringLiteral(" de %1").arg(pageCount()));
    m_pageBox->setValue(currentPage());
    m_pageLabel->setText(QStringLiteral("Página %1 de %2").arg(currentPage()).arg(pageCount()));
}

void ReportPreview::pageChangedByView()
{
    updatePageControls();
}

void ReportPreview::setZoomMode(PreviewZoom mode)
{
    m_view->setZoomMode(mode);
    for (QAction *a : findChildren<QAction *>())
        if (a->objectName() == QStringLiteral("zoom%1").arg(int(mode)))
            a->setChecked(true);
}

void ReportPreview::firstPage()
{
    goToPage(1);
}

void ReportPreview::previousPage()
{
    goToPage(currentPage() - 1);
}

void ReportPreview::nextPage()
{
    goToPage(currentPage() + 1);
}

void ReportPreview::lastPage()
{
    goToPage(pageCount());
}

void ReportPreview::goToPage(int number)
{
    if (pageCount() == 0)
        return;
    m_view->showPage(std::clamp(number, 1, pageCount()) - 1);
    updatePageControls();
}

QRectF ReportPreview::matchBox(const Match &m) const
{
    const auto &item = std::get<TextItem>(m_document.pages[static_cast<size_t>(m.page - 1)].items[static_cast<size_t>(m.item)]);
    const TextLine &line = item.lines[static_cast<size_t>(m.line)];
    const QFontMetricsF fm(documentFont(item.font));
    const double x = line.x + fm.horizontalAdvance(line.text.left(m.start));
    const double w = fm.horizontalAdvance(line.text.mid(m.start, m.length));
    return QRectF(x, line.baseline - fm.ascent(), w, fm.ascent() + fm.descent());
}

bool ReportPreview::find(const QString &text)
{
    if (text.isEmpty() || pageCount() == 0)
        return false;
    const bool again = m_match && text.compare(m_lastSearch, Qt::CaseInsensitive) == 0;
    m_lastSearch = text;
    using Key = std::tuple<int, int, int, int>;
    const Key start = again ? Key(m_match->page, m_match->item, m_match->line, m_match->start)
                            : Key(currentPage(), -1, -1, -1);

    std::optional<Match> first;
    std::optional<Match> after;
    for (int p = 0; p < pageCount() && !after; ++p) {
        const auto &items = m_document.pages[static_cast<size_t>(p)].items;
        for (size_t i = 0; i < items.size() && !after; ++i) {
            const auto *t = std::get_if<TextItem>(&items[i]);
            if (!t)
                continue;
            for (size_t l = 0; l < t->lines.size() && !after; ++l) {
                const QString &s = t->lines[l].text;
                for (qsizetype at = s.indexOf(text, 0, Qt::CaseInsensitive); at >= 0;
                     at = s.indexOf(text, at + 1, Qt::CaseInsensitive)) {
                    const Match m{p + 1, int(i), int(l), int(at), int(text.size())};
                    if (!first)
                        first = m;
                    if (Key(m.page, m.item, m.line, m.start) > start) {
                        after = m;
                        break;
                    }
                }
            }
        }
    }
    m_match = after ? after : first;
    if (!m_match) {
        m_view->viewport()->update();
        ReportEngine::showMessage(this, QStringLiteral("No se encontró «%1» en el documento").arg(text));
        return false;
    }
    m_view->showBox(m_match->page - 1, matchBox(*m_match));
    updatePageControls();
    return true;
}

bool ReportPreview::saveTo(const QString &path)
{
    try {
        ReportFile::save(m_document, path);
        return true;
    } catch (const DataError &e) {
        ReportEngine::showMessage(this, e.message());
        return false;
    }
}

bool ReportPreview::loadFrom(const QString &path)
{
    try {
        setDocument(ReportFile::load(path));
        return true;
    } catch (const DataError &e) {
        ReportEngine::showMessage(this, e.message());
        return false;
    }
}

bool ReportPreview::exportPdfTo(const QString &path)
{
    try {
        ReportPainter::exportPdf(m_document, path);
        return true;
    } catch (const DataError &e) {
        ReportEngine::showMessage(this, e.message());
        return false;
    }
}

bool ReportPreview::print()
{
    try {
        ReportPainter::print(m_document, *m_printer, currentPage());
        return true;
    } catch (const DataError &e) {
        ReportEngine::showMessage(this, e.message());
        return false;
    }
}

void ReportPreview::printerSetupClicked()
{
    QPrintDialog dialog(m_printer.get(), this);
    dialog.setWindowTitle(QStringLiteral("Configurar impresora"));
    dialog.setOptions(QAbstractPrintDialog::PrintPageRange | QAbstractPrintDialog::PrintCurrentPage
                      | QAbstractPrintDialog::PrintShowPageSize);
    dialog.setMinMax(1, std::max(1, pageCount()));
    dialog.exec();
}

QString ReportPreview::askFileName(const QString &title, const QString &suggested, const QString &filters, bool saving)
{
    // Qt's own dialog with icons told by name: a platform dialog running in this
    // process may read the listed files, the database among them.
    QFileDialog dialog(this, title, QString(), filters);
    dialog.setObjectName(saving ? QStringLiteral("dlgSave") : QStringLiteral("dlgOpen"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setIconProvider(FileIcons::withoutContents());
    dialog.setAcceptMode(saving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(saving ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!suggested.isEmpty())
        dialog.selectFile(suggested);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

void ReportPreview::saveClicked()
{
    const QString name = m_document.title.isEmpty() ? QStringLiteral("informe") : m_document.title;
    const QString path = askFileName(QStringLiteral("Guardar documento"), withSuffix(name, FileSuffix),
                                     QStringLiteral("Documentos de informe (*.%1)").arg(FileSuffix), true);
    if (!path.isEmpty())
        saveTo(withSuffix(path, FileSuffix));
}

void ReportPreview::openClicked()
{
    const QString path = askFileName(QStringLiteral("Abrir documento"), QString(),
                                     QStringLiteral("Documentos de informe (*.%1);;Todos los archivos (*)").arg(FileSuffix),
                                     false);
    if (!path.isEmpty())
        loadFrom(path);
}

void ReportPreview::exportClicked()
{
    const QString name = m_document.title.isEmpty() ? QStringLiteral("informe") : m_document.title;
    const QString path = askFileName(QStringLiteral("Exportar a PDF"), withSuffix(name, QStringLiteral("pdf")),
                                     QStringLiteral("Documentos PDF (*.pdf)"), true);
    if (!path.isEmpty())
        exportPdfTo(withSuffix(path, QStringLiteral("pdf")));
}

void ReportPreview::findClicked()
{
    find(m_searchEdit->text());
}
