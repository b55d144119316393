// The program as a user starts it from its folder, for the file-lock test: the
// whole start-up, then every file dialog the program has shown over the
// database's folder, then one walk of the accessibility tree; each step is
// announced ("stage NAME") and waits for "next" on standard input, so that the
// test can look at the file's locks in between. Then it answers commands:
//   post NAME   posts a guest through the guests cursor, says "posted ID"
//   quit        ends the program normally
// Arguments: the folder of Hotel.db.
#include "DataError.h"
#include "PictureDialog.h"
#include "ReportPreview.h"
#include "Startup.h"
#include "UDM.h"
#include "UDatosDelHotel.h"
#include "UTiposDeHabitacion.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QTimer>

#include <cstdio>
#include <iostream>
#include <string>

namespace {

void say(const QString &line)
{
    std::fputs(qPrintable(line + u'\n'), stdout);
    std::fflush(stdout);
}

// Waits for the test to have looked; false when standard input closed.
bool stage(const QString &name)
{
    say(QStringLiteral("stage ") + name);
    std::string line;
    return bool(std::getline(std::cin, line));
}

void pump(int milliseconds)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < milliseconds)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
}

// What a screen reader does: every interface's name, value and children,
// cells of item views included.
void walk(QAccessibleInterface *iface, int depth = 0)
{
    if (!iface || !iface->isValid() || depth > 64)
        return;
    (void)iface->text(QAccessible::Name);
    (void)iface->text(QAccessible::Value);
    (void)iface->text(QAccessible::Description);
    (void)iface->role();
    (void)iface->state();
    for (int i = 0, n = iface->childCount(); i < n; ++i)
        walk(iface->child(i), depth + 1);
}

void walkAll()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        walk(QAccessible::queryAccessibleInterface(w));
}

// Lists the database's folder in a file dialog as a user browsing there would:
// the listing loaded, every row's icon and type asked for, the tree walked.
void browse(QFileDialog *dialog, const QString &folder)
{
    dialog->setDirectory(folder);
    auto *model = dialog->findChild<QFileSystemModel *>();
    pump(300);
    if (model) {
        const QModelIndex root = model->index(folder);
        for (int r = 0; r < model->rowCount(root); ++r)
            for (int c = 0; c < model->columnCount(root); ++c) {
                const QModelIndex i = model->index(r, c, root);
                (void)model->data(i, Qt::DecorationRole);
                (void)model->data(i, Qt::DisplayRole);
            }
        // Choosing each file shows it in the dialog's preview, where there is one.
        for (int r = 0; r < model->rowCount(root); ++r)
            dialog->selectFile(model->fileName(model->index(r, 0, root)));
    }
    walk(QAccessible::queryAccessibleInterface(dialog));
    pump(200);
}

// Runs `open`, which shows a modal file dialog, browses it and closes it.
void whileDialogOpen(const QString &folder, const std::function<void()> &open)
{
    auto *timer = new QTimer;
    timer->setInterval(50);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, folder] {
        if (auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget())) {
            timer->stop();
            browse(dialog, folder);
            dialog->reject();
            timer->deleteLater();
        }
    });
    timer->start();
    open();
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (app.arguments().size() != 2) {
        std::fprintf(stderr, "usage: hotel-filelock-program FOLDER\n");
        return 2;
    }
    const QString folder = QDir(app.arguments().at(1)).absolutePath();
    QDir::setCurrent(folder);
    Startup::configure(app);
    Startup::createAll(folder);
    pump(300);
    if (!stage(QStringLiteral("startup")))
        return 1;

    whileDialogOpen(folder, [] { (void)FTiposHabitacion->dlgOpen->exec(); });
    if (!stage(QStringLiteral("room-type-photo")))
        return 1;
    whileDialogOpen(folder, [] { (void)FDatosDelHotel->dlgOpen->exec(); });
    if (!stage(QStringLiteral("hotel-logo")))
        return 1;

    ReportDocument doc;
    doc.title = QStringLiteral("Prueba");
    doc.pages.emplace_back();
    ReportPreview preview(doc);
    preview.show();
    for (const QString &caption : {QStringLiteral("Guardar"), QStringLiteral("Abrir"), QStringLiteral("Exportar a PDF")}) {
        QAction *action = nullptr;
        for (QAction *a : preview.findChildren<QAction *>())
            if (a->text() == caption)
                action = a;
        if (!action) {
            say(QStringLiteral("error no action ") + caption);
            return 1;
        }
        whileDialogOpen(folder, [action] { action->trigger(); });
        if (!stage(QStringLiteral("preview-") + caption))
            return 1;
    }
    preview.close();

    walkAll();
    pump(200);
    if (!stage(QStringLiteral("accessibility")))
        return 1;

    say(QStringLiteral("ready"));
    std::string line;
    while (std::getline(std::cin, line)) {
        const QString command = QString::fromStdString(line);
        if (command.startsWith(u"post ")) {
            try {
                Cursor &guests = *DM->THuespedes;
                guests.append();
                guests.setValue(QStringLiteral("Nombre"), command.mid(5));
                guests.post();
                say(QStringLiteral("posted ") + guests.value(QStringLiteral("IdHuesped")).toString());
            } catch (const DataError &e) {
                say(QStringLiteral("error ") + e.message());
            }
        } else if (command == u"quit") {
            break;
        }
    }
    Startup::destroyAll();
    return 0;
}
