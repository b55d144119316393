// Writes the program's icon as PNG files for the icon theme:
//   hotel-render-icon FOLDER NAME SIZE...  ->  FOLDER/SIZExSIZE/NAME.png
#include "ProgramIcon.h"

#include <QDir>
#include <QGuiApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: hotel-render-icon FOLDER NAME SIZE...\n");
        return 2;
    }
    for (const QString &text : args.mid(3)) {
        bool ok = false;
        const int size = text.toInt(&ok);
        const QString folder = QDir(args[1]).filePath(QStringLiteral("%1x%1").arg(size));
        const QString file = QDir(folder).filePath(args[2] + QStringLiteral(".png"));
        if (!ok || size < 1 || !QDir().mkpath(folder) || !ProgramIcon::image(size).save(file, "PNG")) {
            std::fprintf(stderr, "hotel-render-icon: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
