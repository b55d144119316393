#include "ReportEngine.h"

#include "ReportPreview.h"
#include "ReportProducer.h"
#include "TextMeasurer.h"

#include <QCoreApplication>
#include <QMessageBox>

#include <memory>

namespace {

ReportEngine::MessageFunction &messageFunction()
{
    static ReportEngine::MessageFunction f;
    return f;
}

void defaultMessage(QWidget *parent, const QString &message)
{
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Error"), message, QMessageBox::Ok, parent);
    box.exec();
}

} // namespace

void ReportEngine::setMessageFunction(MessageFunction function)
{
    messageFunction() = std::move(function);
}

void ReportEngine::showMessage(QWidget *parent, const QString &message)
{
    if (messageFunction())
        messageFunction()(parent, message);
    else
        defaultMessage(parent, message);
}

const TextMeasurer &ReportEngine::measurer()
{
    // Its fonts must go before the application that made them.
    static std::unique_ptr<FontTextMeasurer> m;
    if (!m) {
        m = std::make_unique<FontTextMeasurer>();
        qAddPostRoutine([] { m.reset(); });
    }
    return *m;
}

ReportDocument ReportEngine::produce(const ReportDefinition &definition)
{
    ReportProducer producer(definition, measurer());
    return producer.produce();
}

ReportDocument ReportEngine::produce(const std::vector<const ReportDefinition *> &parts)
{
    ReportProducer producer(parts, measurer());
    return producer.produce();
}

void ReportEngine::preview(const ReportDefinition &definition, QWidget *parent)
{
    preview(produce(definition), definition.preview, parent);
}

void ReportEngine::preview(const std::vector<const ReportDefinition *> &parts, QWidget *parent)
{
    const ReportDocument document = produce(parts);
    preview(document, parts.empty() || !parts.front() ? PreviewSettings() : parts.front()->preview, parent);
}

void ReportEngine::preview(const ReportDocument &document, const PreviewSettings &settings, QWidget *parent)
{
    if (document.pages.empty()) {
        showMessage(parent, QStringLiteral("El informe «%1» no tiene páginas para mostrar").arg(document.title));
        return;
    }
    ReportPreview preview(document, settings, parent);
    preview.exec();
}
