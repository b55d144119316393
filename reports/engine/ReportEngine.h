#pragma once

#include "ReportDefinition.h"
#include "ReportDocument.h"

#include <QString>

#include <functional>
#include <vector>

class QWidget;
class TextMeasurer;

// The engine's entry points for report holders, and the one place through which
// the engine's windows tell the user something.
class ReportEngine
{
public:
    using MessageFunction = std::function<void(QWidget *parent, const QString &message)>;

    // Every message of the engine's windows (a damaged file, a failed print, a
    // text not found) goes through this function. By default a modal message box
    // titled "Error" with an error icon and OK; an empty function restores it.
    static void setMessageFunction(MessageFunction function);
    static void showMessage(QWidget *parent, const QString &message);

    // The measurer of real fonts that produce() uses.
    static const TextMeasurer &measurer();

    // Produces the document of `definition` (see ReportProducer). Throws DataError.
    static ReportDocument produce(const ReportDefinition &definition);
    // One document of several parts, one below the other (see ReportProducer).
    static ReportDocument produce(const std::vector<const ReportDefinition *> &parts);

    // Produces the document, then shows it in the modal preview with the
    // definition's preview settings; returns when the preview closes and tells
    // nothing of what happened there. A failed production throws DataError and
    // opens no preview; a document without pages opens none either and says so
    // through the message function.
    static void preview(const ReportDefinition &definition, QWidget *parent);
    // The same for a document of several parts, with the first part's preview
    // settings.
    static void preview(const std::vector<const ReportDefinition *> &parts, QWidget *parent);
    static void preview(const ReportDocument &document, const PreviewSettings &settings, QWidget *parent);
};
