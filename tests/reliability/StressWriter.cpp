// A second program for the killed-writer test: it opens the database beside it
// the way the program does and posts stays and consumptions, re-prices and
// deletes stays, until it is killed. Each line it prints tells of one operation
// that has returned ("S", "C", "U", "D") or is about to start ("u", "d"):
//   S <stay> <days> <final>        a stay was posted
//   C <consumption> <stay> <qty> <price>
//   u <stay> / U <stay> <days> <final>   a re-pricing starts / was posted
//   d <stay> / D <stay>            a deletion with its consumptions starts / committed
// Arguments: folder of Hotel.db, random seed, guest, room and service keys.
#include "DataError.h"
#include "DateTimes.h"
#include "UDM.h"

#include <QCoreApplication>
#include <QRandomGenerator>

#include <cstdio>

namespace {

void say(const QString &line)
{
    std::fputs(qPrintable(line + u'\n'), stdout);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 6) {
        std::fprintf(stderr, "usage: hotel-stress-writer FOLDER SEED GUEST ROOM SERVICE\n");
        return 2;
    }
    QRandomGenerator random(args[2].toUInt());
    const qlonglong guest = args[3].toLongLong();
    const qlonglong room = args[4].toLongLong();
    const qlonglong service = args[5].toLongLong();
    try {
        TDM dm(args[1]);
        dm.DataModuleCreate();
        Cursor &stays = *dm.TEstadias;
        Cursor &consumptions = *dm.TConsumosDeServicios;
        const Money daily = Money::fromUnits(80);
        // After every stay an earlier writer left.
        QDate start(2014, 1, 1);
        for (stays.first(); !stays.atEnd(); stays.next())
            start = std::max(start, stays.fieldByName(QStringLiteral("FechaEgreso")).asDateTime().date().addDays(1));
        say(QStringLiteral("ready"));
        for (int n = 0;; ++n) {
            // Each stay in a span of its own: the room never holds two on one day,
            // even after its check-out moves.
            const QDate in = start.addDays(n * 40 + random.bounded(10));
            const int days = 1 + int(random.bounded(14));
            stays.append();
            stays.setValue(QStringLiteral("IdHuesped"), guest);
            stays.setValue(QStringLiteral("IdHabitacion"), room);
            stays.setValue(QStringLiteral("FechaIngreso"), in);
            stays.setValue(QStringLiteral("FechaEgreso"), in.addDays(days - 1));
            stays.setValue(QStringLiteral("Estado"), QStringLiteral("Ocupada"));
            stays.setValue(QStringLiteral("Dias"), days);
            stays.setValue(QStringLiteral("PrecioDiario"), QVariant::fromValue(daily));
            stays.setValue(QStringLiteral("PrecioFinal"), QVariant::fromValue(daily * days));
            stays.post();
            const qlonglong stay = stays.value(QStringLiteral("IdEstadia")).toLongLong();
            say(QStringLiteral("S %1 %2 %3").arg(stay).arg(days).arg((daily * days).raw()));

            for (int k = int(random.bounded(1, 4)); k > 0; --k) {
                const int quantity = 1 + int(random.bounded(5));
                const Money price = Money::fromRaw(qint64(random.bounded(1, 2000000)));
                consumptions.append();
                consumptions.setValue(QStringLiteral("IdServicio"), service);
                consumptions.setValue(QStringLiteral("Cantidad"), quantity);
                consumptions.setValue(QStringLiteral("Precio"), QVariant::fromValue(price));
                consumptions.setValue(QStringLiteral("FechaHora"), DateTimes::make(in, QTime(9, k)));
                consumptions.post();
                say(QStringLiteral("C %1 %2 %3 %4")
                        .arg(consumptions.value(QStringLiteral("IdConsumo")).toLongLong())
                        .arg(stay)
                        .arg(quantity)
                        .arg(price.raw()));
            }

            // The check-out moves: days and final price change in one post.
            if (n % 3 == 2) {
                const int longer = days + 1 + int(random.bounded(5));
                say(QStringLiteral("u %1").arg(stay));
                stays.edit();
                stays.setValue(QStringLiteral("FechaEgreso"), in.addDays(longer - 1));
                stays.setValue(QStringLiteral("Dias"), longer);
                stays.setValue(QStringLiteral("PrecioFinal"), QVariant::fromValue(daily * longer));
                stays.post();
                say(QStringLiteral("U %1 %2 %3").arg(stay).arg(longer).arg((daily * longer).raw()));
            }

            // The stay goes with its consumptions, all or nothing, as the stays window does it.
            if (n % 4 == 3) {
                say(QStringLiteral("d %1").arg(stay));
                Database::Transaction transaction(dm.Cnx);
                consumptions.first();
                while (!consumptions.isEmpty())
                    consumptions.remove();
                stays.remove();
                transaction.commit();
                say(QStringLiteral("D %1").arg(stay));
            }
        }
    } catch (const DataError &e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
