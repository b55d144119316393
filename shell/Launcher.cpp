#include "Launcher.h"

#include "MessageDialog.h"
#include "StartOptions.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

namespace Launcher {

namespace {

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

} // namespace

QString userDatabase(const Paths &paths)
{
    return QDir(paths.dataHome).filePath(QStringLiteral("hotel/Hotel.db"));
}

Plan plan(const QStringList &arguments, const QStringList &original, const Paths &paths)
{
    Plan out;
    out.arguments = original.mid(1);
    const StartOptions::CommandLine given = StartOptions::parse(arguments);
    // The program itself answers, or says what is wrong.
    if (!given.error.isEmpty() || given.help || given.version)
        return out;
    const StartOptions::Target target =
        StartOptions::databaseTarget(given.database, QFileInfo(paths.program).absolutePath(), paths.configHome);
    if (target.source != StartOptions::Target::Source::Default || !target.error.isEmpty())
        return out;
    out.userDatabase = userDatabase(paths);
    out.arguments.prepend(out.userDatabase);
    out.arguments.prepend(QStringLiteral("--database"));
    return out;
}

QString questionText()
{
    return QStringLiteral("Es la primera vez que se abre el programa.\n\n"
                          "¿Desea empezar con un hotel vacío o con los datos de demostración?");
}

QStringList answers()
{
    return {QStringLiteral("Hotel &vacío"), QStringLiteral("&Datos de demostración"), QStringLiteral("&Salir")};
}

FirstStart firstStart(const QString &database, const Paths &paths, QWidget *parent)
{
    const QString details =
        QStringLiteral("Los datos del hotel se guardarán en «%1».\n\n"
                       "Los datos de demostración son un hotel de ejemplo, con habitaciones, huéspedes y "
                       "estadías, para conocer el programa antes de usarlo.")
            .arg(shown(database));
    const int choice = MessageDialog::choose(questionText(), details, answers(), 2, parent);
    if (choice != 0 && choice != 1)
        return FirstStart::NotNow;

    const QString folder = QFileInfo(database).absolutePath();
    if (!QDir().mkpath(folder)) {
        MessageDialog::showDefaultError(QStringLiteral("No se pudo crear la carpeta «%1».").arg(shown(folder)), parent);
        return FirstStart::Failed;
    }
    QProcess tool;
    tool.start(paths.createdb, {choice == 0 ? QStringLiteral("--empty") : QStringLiteral("--demo"), database});
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool started = tool.waitForStarted();
    const bool finished = started && tool.waitForFinished(300000);
    QApplication::restoreOverrideCursor();
    if (!started) {
        MessageDialog::showDefaultError(
            QStringLiteral("No se pudo ejecutar «%1» (%2).").arg(shown(paths.createdb), tool.errorString()), parent);
        return FirstStart::Failed;
    }
    if (!finished || tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0) {
        QString message = QString::fromLocal8Bit(tool.readAllStandardError()).trimmed();
        if (message.isEmpty())
            message = QStringLiteral("No se pudo crear la base de datos «%1».").arg(shown(database));
        MessageDialog::showDefaultError(message, parent);
        return FirstStart::Failed;
    }
    return FirstStart::Ready;
}

} // namespace Launcher
