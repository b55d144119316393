// The launcher installed as /usr/bin/hotel: see Launcher.h.
#include "Appearance.h"
#include "HotelVersion.h"
#include "Launcher.h"
#include "MessageDialog.h"
#include "StartOptions.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <optional>
#include <unistd.h>
#include <vector>

namespace {

// An argument vector of its own for each QApplication, which takes Qt's options
// out of the one it is given.
struct Arguments
{
    explicit Arguments(const std::vector<QByteArray> &from) : bytes(from)
    {
        for (QByteArray &b : bytes)
            pointers.push_back(b.data());
        pointers.push_back(nullptr);
        count = int(bytes.size());
    }
    std::vector<QByteArray> bytes;
    std::vector<char *> pointers;
    int count = 0;
};

} // namespace

int main(int argc, char *argv[])
{
    const std::vector<QByteArray> given(argv, argv + argc);
    QStringList original;
    for (const QByteArray &argument : given)
        original << QString::fromLocal8Bit(argument);

    Launcher::Paths paths;
    std::optional<Launcher::Plan> plan;
    {
        // Qt takes its own options out of the arguments here; the program gets
        // them all.
        Arguments arguments(given);
        QApplication app(arguments.count, arguments.pointers.data());
        Appearance::apply(app);
        const QDir here(QCoreApplication::applicationDirPath());
        paths.program = QDir::cleanPath(here.filePath(QStringLiteral(HOTEL_PROGRAM_FROM_LAUNCHER)));
        paths.createdb = here.filePath(QStringLiteral("hotel-createdb"));
        paths.dataHome = StartOptions::dataHome();
        paths.configHome = StartOptions::configHome();
        plan = Launcher::plan(QCoreApplication::arguments(), original, paths);
        if (!plan->userDatabase.isEmpty() && !QFileInfo::exists(plan->userDatabase)) {
            switch (Launcher::firstStart(plan->userDatabase, paths)) {
            case Launcher::FirstStart::Ready:
                break;
            case Launcher::FirstStart::NotNow:
                return 0;
            case Launcher::FirstStart::Failed:
                return 1;
            }
        }
    }

    // The program takes this process's place, so the desktop sees one program.
    std::vector<QByteArray> encoded{QFile::encodeName(paths.program)};
    for (const QString &argument : std::as_const(plan->arguments))
        encoded.push_back(argument.toLocal8Bit());
    Arguments programArguments(encoded);
    ::execv(programArguments.pointers.front(), programArguments.pointers.data());
    const QString reason = QString::fromLocal8Bit(std::strerror(errno));

    Arguments arguments(given);
    QApplication app(arguments.count, arguments.pointers.data());
    Appearance::apply(app);
    MessageDialog::showDefaultError(
        QStringLiteral("No se pudo iniciar el programa «%1» (%2).").arg(QDir::toNativeSeparators(paths.program), reason));
    return 1;
}
