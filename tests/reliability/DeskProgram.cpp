// One desk of the hotel for the tests of several desks: the program's whole
// start-up on TARGET (a folder of Hotel.db, or a server's database), "ready"
// on standard output, then, on a line "go" from standard input, one thing done
// through the windows as a clerk does it, and its outcome on a line:
//   book GUEST ROOM FROM TO   the booking dialog, reservation mode; days as
//                             yyyy-MM-dd. The room found free and chosen, it
//                             says "chosen" and confirms on a line "book".
//                             "result booked ID" or "result refused TEXT" (the
//                             boxes the user read)
//   consume STAY SERVICE QTY  the stays window on the stay, its consumptions
//                             window: "result consumed ID"
// Arguments: TARGET then the command.
#include "DataError.h"
#include "DateTimes.h"
#include "DatePicker.h"
#include "LookupCombo.h"
#include "LookupList.h"
#include "MessageDialog.h"
#include "Startup.h"
#include "UBusquedaHabitacion.h"
#include "UDM.h"
#include "UEstadias.h"
#include "URegistrarConsumos.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDateEdit>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
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

// A date chosen as the user does, so that the picker's change handler runs.
void pick(DatePicker *picker, const QString &day)
{
    picker->findChild<QDateEdit *>()->setDate(QDate::fromString(day, Qt::ISODate));
}

QString book(const QStringList &a, const QStringList &boxes)
{
    bool offered = true;
    QTimer::singleShot(0, FBusquedaHabitacion, [&] {
        TFBusquedaHabitacion &d = *FBusquedaHabitacion;
        d.dblcbxHuesped->setKeyValue(a[0].toLongLong());
        pick(d.dtpDesde, a[2]);
        pick(d.dtpHasta, a[3]);
        d.btBuscar->click();
        const QList<QListWidgetItem *> found = d.lbxHabLibres->findItems(a[1], Qt::MatchExactly);
        if (found.isEmpty()) {
            offered = false;
            d.close();
            return;
        }
        d.lbxHabLibres->setCurrentItem(found.first());
        // The room is on the screen: the test says when to confirm, so that
        // several desks can confirm at one moment.
        say(QStringLiteral("chosen"));
        std::string line;
        if (!std::getline(std::cin, line) || line != "book") {
            d.close();
            return;
        }
        d.btReservar->click();
        if (d.isVisible())
            d.close();
    });
    const bool booked = FBusquedaHabitacion->AgregarReserva();
    if (!offered)
        return QStringLiteral("not offered");
    if (booked)
        return QStringLiteral("booked %1").arg(DM->TEstadias->fieldByName(QStringLiteral("IdEstadia")).asInteger());
    return QStringLiteral("refused ") + boxes.join(QStringLiteral(" | "));
}

QString consume(const QStringList &a)
{
    qint64 id = 0;
    QTimer::singleShot(0, FEstadias, [&] {
        QTimer::singleShot(0, FRegistrarConsumos, [&] {
            TFRegistrarConsumos &w = *FRegistrarConsumos;
            w.btAgregar->click();
            w.dbllbxServicio->setKeyValue(a[1].toLongLong());
            w.edCant->setText(a[2]);
            w.btAceptar->click();
            id = DM->TConsumosDeServicios->fieldByName(QStringLiteral("IdConsumo")).asInteger();
            w.close();
        });
        FEstadias->btConsumos->click();
        FEstadias->close();
    });
    FEstadias->MostrarEstadia(a[0].toLongLong());
    return id ? QStringLiteral("consumed %1").arg(id) : QStringLiteral("not consumed");
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    Startup::configure(app);
    const QStringList args = app.arguments().mid(1);
    const bool booking = args.size() == 6 && args[1] == u"book";
    const bool consuming = args.size() == 5 && args[1] == u"consume";
    if (!booking && !consuming) {
        std::fputs("usage: hotel-desk-program TARGET book GUEST ROOM FROM TO | consume STAY SERVICE QTY\n", stderr);
        return 2;
    }
    // Every box is answered as a clerk who read it does: its first button.
    QStringList boxes;
    MessageDialog::setObserver([&boxes](QMessageBox &box) {
        boxes << box.text();
        const QList<QAbstractButton *> buttons = box.buttons();
        if (buttons.isEmpty())
            box.reject();
        else
            buttons.first()->click();
    });
    Startup::createAll(args[0]);
    if (!DM->TEstadias->isOpen()) {
        say(QStringLiteral("result failed to start: ") + boxes.join(QStringLiteral(" | ")));
        return 1;
    }
    boxes.clear();
    say(QStringLiteral("ready"));
    std::string line;
    if (!std::getline(std::cin, line) || line != "go")
        return 1;
    const QString outcome = booking ? book(args.mid(2), boxes) : consume(args.mid(2));
    say(QStringLiteral("result ") + outcome);
    Startup::destroyAll();
    return 0;
}
