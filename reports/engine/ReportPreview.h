#pragma once

#include "ReportDefinition.h"
#include "ReportDocument.h"

#include <QDialog>

#include <memory>
#include <optional>
#include <vector>

class QLabel;
class QLineEdit;
class QPrinter;
class QSpinBox;

// The modal preview of a produced document: pages one below the other, zoom
// (whole page, page width, 100 %), first/previous/next/last page, going to a page
// by number, searching for a text (each match in turn, highlighted), printer
// setup, printing with the document's printer settings, saving to and loading
// from the engine's file, exporting to PDF. Only the visible pages are painted.
//
// Every failure is caught here and told through ReportEngine::showMessage; no
// exception leaves a handler. Closing the window tells the caller nothing.
//
// The public functions are what the toolbar does, without the file dialogs, so
// that a caller or a test can act inside the running modal window.
class ReportPreview : public QDialog
{
    Q_OBJECT

public:
    struct Match
    {
        int page = 0; // 1-based
        int item = 0; // index among the page's items
        int line = 0;
        int start = 0;
        int length = 0;

        bool operator==(const Match &) const = default;
    };

    explicit ReportPreview(const ReportDocument &document, const PreviewSettings &settings = {},
                           QWidget *parent = nullptr);
    ~ReportPreview() override;

    const ReportDocument &document() const { return m_document; }
    int pageCount() const { return m_document.pageCount(); }
    // 1-based; 0 when there are no pages.
    int currentPage() const;
    PreviewZoom zoomMode() const;
    // Shown size against the paper's real size, in percent (100 at 100 %).
    double zoomPercent() const;
    QPrinter &printer() { return *m_printer; }
    std::optional<Match> currentMatch() const { return m_match; }
    // The 1-based pages that the last paint drew.
    const std::vector<int> &lastPaintedPages() const;

public slots:
    void setZoomMode(PreviewZoom mode);
    void firstPage();
    void previousPage();
    void nextPage();
    void lastPage();
    void goToPage(int number);
    // Shows the next match of `text` (case-insensitive) after the current one,
    // going round to the first page; a new text starts from the current page.
    // Returns false, and says so, when the document does not contain it.
    bool find(const QString &text);
    // Each returns false after telling the user why it failed.
    bool saveTo(const QString &path);
    bool loadFrom(const QString &path);
    bool exportPdfTo(const QString &path);
    bool print();

private slots:
    void printerSetupClicked();
    void saveClicked();
    void openClicked();
    void exportClicked();
    void findClicked();
    void pageChangedByView();

private:
    class PageView;

    void buildToolbar();
    void setDocument(ReportDocument document);
    void updatePageControls();
    // The name the user chose in a file dialog, or empty when cancelled.
    QString askFileName(const QString &title, const QString &suggested, const QString &filters, bool saving);
    // Where a match stands on its page, in document units.
    QRectF matchBox(const Match &match) const;

    ReportDocument m_document;
    std::unique_ptr<QPrinter> m_printer;
    PageView *m_view = nullptr;
    QSpinBox *m_pageBox = nullptr;
    QLabel *m_pageLabel = nullptr;
    QLineEdit *m_searchEdit = nullptr;
    std::optional<Match> m_match;
    QString m_lastSearch;
};
