#include "DataError.h"
#include "Regional.h"
#include "RowLoader.h"
#include "TestDatabase.h"
#include "TestSupport.h"
#include "UDM.h"

#include <QTest>

// The consumptions of a stay, read when the stay becomes current instead of
// the whole table at start-up: the same rows in the same order as a detail
// read whole, whatever the master does, and what other programs committed
// once the rows are read again.
class TestDetail : public QObject
{
    Q_OBJECT

private:
    // One hotel, made the same way in every file: its keys are the same too.
    struct Hotel
    {
        std::unique_ptr<TestDatabase> db;
        std::unique_ptr<TDM> dm;
        std::vector<qint64> stays;
        qint64 cafe = 0;
        qint64 spa = 0;
    };

    static Hotel makeHotel()
    {
        Hotel h;
        h.db = std::make_unique<TestDatabase>();
        TestDatabase &db = *h.db;
        const qint64 type = db.addRoomType(QStringLiteral("Doble"), money("80"));
        const qint64 room = db.addRoom(QStringLiteral("101"), type);
        const qint64 ana = db.addGuest(QStringLiteral("Ana"));
        h.cafe = db.addService(QStringLiteral("Café"), money("2.5"));
        h.spa = db.addService(QStringLiteral("Spa"), money("40"));
        const QStringList states = {"Facturada", "Ocupada", "Reservada", "Ocupada", "Ocupada", "Facturada", "Ocupada"};
        for (int i = 0; i < states.size(); ++i) {
            const QString day = QStringLiteral("2014-0%1-0").arg(i + 1);
            h.stays.push_back(db.addStay(ana, room, day + u'1', day + u'5', states[i]));
        }
        // Consumptions in no particular order, the first and fourth of a stay
        // at the same moment, and a stay (the third) with none.
        const int counts[] = {3, 4, 0, 1, 5, 2, 3};
        const char *moments[] = {"04 10", "03 11", "02 11", "04 10", "03 09"};
        for (size_t i = 0; i < h.stays.size(); ++i)
            for (int k = 0; k < counts[i]; ++k)
                db.addConsumption(h.stays[i], k % 2 ? h.spa : h.cafe, k + 1, money("2.5"),
                                  QStringLiteral("2014-0%1-%2:00:00").arg(i + 1).arg(QLatin1String(moments[k])));
        return h;
    }

    // qtSql: rows read through Qt SQL, as over any driver but SQLite.
    static void openModule(Hotel &h, int held, bool qtSql = false)
    {
        h.dm = std::make_unique<TDM>(h.db->target());
        h.dm->Cnx.setDirectReadsAllowed(!qtSql);
        h.dm->TConsumosDeServicios->setDetailFetchedOnDemand(held);
        h.dm->DataModuleCreate();
    }

    // What the windows see of both cursors: the current stay, the visible
    // consumptions with every field as shown, and the detail's position.
    static QStringList picture(TDM &dm)
    {
        Cursor &stays = *dm.TEstadias;
        Cursor &detail = *dm.TConsumosDeServicios;
        QStringList out;
        out << QStringLiteral("stay %1 of %2: %3")
                   .arg(stays.recNo())
                   .arg(stays.recordCount())
                   .arg(stays.isEmpty() ? QString() : stays.fieldByName(QStringLiteral("IdEstadia")).asString());
        for (int row = 0; row < detail.recordCount(); ++row) {
            QStringList values;
            for (int f = 0; f < detail.fieldCount(); ++f)
                values << detail.field(f).displayTextOf(detail.valueAt(row, detail.field(f)));
            out << values.join(u'|');
        }
        out << QStringLiteral("at %1 bof %2 eof %3 state %4")
                   .arg(detail.recNo())
                   .arg(detail.atBeginning())
                   .arg(detail.atEnd())
                   .arg(int(detail.state()));
        return out;
    }

    static QStringList consumptionsInFile(TestDatabase &db)
    {
        QStringList out;
        const int count = db.scalar(QStringLiteral("SELECT count(*) FROM ConsumoDeServicios")).toInt();
        for (int i = 0; i < count; ++i)
            out << db.scalar(QStringLiteral("SELECT IdConsumo || '|' || IdEstadia || '|' || IdServicio || '|' || "
                                            "Cantidad || '|' || FechaHora FROM ConsumoDeServicios "
                                            "ORDER BY IdConsumo LIMIT 1 OFFSET ?"),
                             {i})
                       .toString();
        return out;
    }

    // One step of a script, done the same way on either hotel.
    static void step(Hotel &h, const QString &op)
    {
        Cursor &stays = *h.dm->TEstadias;
        Cursor &detail = *h.dm->TConsumosDeServicios;
        const QString verb = op.section(u':', 0, 0);
        const QString arg = op.section(u':', 1);
        if (verb == u"next") {
            stays.next();
        } else if (verb == u"prior") {
            stays.prior();
        } else if (verb == u"first") {
            stays.first();
        } else if (verb == u"last") {
            stays.last();
        } else if (verb == u"move") {
            stays.moveTo(arg.toInt());
        } else if (verb == u"filter") {
            stays.setFilter(QStringLiteral("Estado = '%1'").arg(arg));
            stays.setFiltered(true);
        } else if (verb == u"unfilter") {
            stays.setFiltered(false);
            stays.setFilter(QString());
        } else if (verb == u"walk") {
            Cursor::ControlsDisabled quiet(stays);
            for (stays.first(); !stays.atEnd(); stays.next())
                (void)detail.recordCount();
        } else if (verb == u"detailNext") {
            detail.next();
        } else if (verb == u"append") {
            // "append:HH" a coffee at HH:00 on the stay's first day.
            detail.append();
            detail.setValue(QStringLiteral("IdServicio"), h.cafe);
            detail.setValue(QStringLiteral("Cantidad"), 1);
            detail.setValue(QStringLiteral("Precio"), QVariant::fromValue(money("2.5")));
            const QDateTime in = stays.fieldByName(QStringLiteral("FechaIngreso")).asDateTime();
            detail.setValue(QStringLiteral("FechaHora"), in.addSecs(3600 * arg.toInt()));
            detail.post();
        } else if (verb == u"edit") {
            // "edit:HH" moves the current consumption to HH:00 of its day.
            detail.edit();
            const QDateTime at = detail.fieldByName(QStringLiteral("FechaHora")).asDateTime();
            detail.setValue(QStringLiteral("FechaHora"), QDateTime(at.date(), QTime(arg.toInt(), 0), Qt::UTC));
            detail.setValue(QStringLiteral("Cantidad"), 9);
            detail.post();
        } else if (verb == u"moveConsumption") {
            // Gives the current consumption to another stay (by index in h.stays).
            detail.edit();
            detail.setValue(QStringLiteral("IdEstadia"), h.stays[static_cast<size_t>(arg.toInt())]);
            detail.post();
        } else if (verb == u"deleteDetail") {
            detail.remove();
        } else if (verb == u"deleteStay" || verb == u"refusedDeleteStay") {
            if (verb == u"refusedDeleteStay")
                h.db->exec(QStringLiteral("UPDATE Estadias SET Dias = 99 WHERE IdEstadia = ?"),
                           {stays.fieldByName(QStringLiteral("IdEstadia")).asInteger()});
            try {
                Database::Transaction t(h.dm->Cnx);
                Cursor::ControlsDisabled quiet(detail);
                detail.first();
                while (!detail.isEmpty())
                    detail.remove();
                stays.remove();
                t.commit();
            } catch (const DataError &) {
            }
        } else if (verb == u"appendStay") {
            stays.append();
            stays.setValue(QStringLiteral("IdHuesped"), h.dm->THuespedes->fieldByName(QStringLiteral("IdHuesped")).value());
            stays.setValue(QStringLiteral("IdHabitacion"), h.dm->THabitaciones->fieldByName(QStringLiteral("idHabitacion")).value());
            stays.setValue(QStringLiteral("FechaIngreso"), QDateTime(QDate(2015, 1, 10), QTime(0, 0), Qt::UTC));
            stays.setValue(QStringLiteral("FechaEgreso"), QDateTime(QDate(2015, 1, 12), QTime(0, 0), Qt::UTC));
            stays.setValue(QStringLiteral("Estado"), QStringLiteral("Ocupada"));
            stays.post();
        } else {
            QFAIL(qPrintable(QStringLiteral("unknown step ") + op));
        }
    }

private slots:
    void initTestCase()
    {
        Regional::setSettings(spanishSettings());
    }

    void fetchedOnDemandEqualsReadWhole_data()
    {
        QTest::addColumn<QStringList>("script");
        QTest::addColumn<bool>("qtSql");
        QTest::newRow("moves beyond the stays held and back")
            << QStringList{"next", "next", "next", "next", "prior", "prior", "prior", "prior", "last", "first", "move:5",
                           "move:1"} << false;
        QTest::newRow("a walk over every stay") << QStringList{"walk", "first", "next", "walk"} << false;
        QTest::newRow("posts that move rows within the stay")
            << QStringList{"move:1", "append:5", "next", "next", "next", "prior", "prior", "prior", "detailNext",
                           "edit:23", "next", "next", "next", "prior", "prior", "prior"} << false;
        QTest::newRow("a consumption given to a stay not held")
            << QStringList{"move:4", "moveConsumption:6", "next", "next", "last", "prior", "prior", "move:6", "move:4"}
            << false;
        QTest::newRow("deletes of consumptions and stays")
            << QStringList{"move:1", "deleteDetail", "next", "prior", "deleteStay", "prior", "next", "next", "deleteStay",
                           "first", "last"} << false;
        QTest::newRow("a stay deletion refused and rolled back")
            << QStringList{"move:4", "refusedDeleteStay", "next", "prior", "next", "next", "next", "move:4"} << false;
        QTest::newRow("filters on the master")
            << QStringList{"filter:Ocupada", "next", "append:7", "next", "unfilter", "next", "filter:Facturada", "last",
                           "filter:Reservada", "unfilter", "move:3"} << false;
        QTest::newRow("a new stay and its first consumption")
            << QStringList{"appendStay", "append:3", "append:1", "first", "next", "last"} << false;
        QTest::newRow("moves and posts, read through Qt SQL")
            << QStringList{"next", "next", "next", "prior", "move:1", "append:5", "detailNext", "edit:23", "next", "move:1"}
            << true;
        QTest::newRow("deletes and filters, read through Qt SQL")
            << QStringList{"move:1", "deleteDetail", "deleteStay", "filter:Ocupada", "next", "unfilter", "last"} << true;
    }

    void fetchedOnDemandEqualsReadWhole()
    {
        QFETCH(QStringList, script);
        QFETCH(bool, qtSql);
        Hotel onDemand = makeHotel();
        Hotel whole = makeHotel();
        QVERIFY(onDemand.db->isValid() && whole.db->isValid());
        openModule(onDemand, 2, qtSql); // fewer stays held than the script visits
        openModule(whole, 0);
        QVERIFY(onDemand.dm->TConsumosDeServicios->isDetailFetchedOnDemand());
        QCOMPARE(onDemand.dm->Cnx.loader().isDirect(), !qtSql);
        QVERIFY(!whole.dm->TConsumosDeServicios->isDetailFetchedOnDemand());
        QCOMPARE(picture(*onDemand.dm), picture(*whole.dm));
        for (const QString &op : script) {
            step(onDemand, op);
            step(whole, op);
            if (QTest::currentTestFailed())
                return;
            const QStringList a = picture(*onDemand.dm), b = picture(*whole.dm);
            if (a != b)
                QFAIL(qPrintable(QStringLiteral("after %1:\n  on demand: %2\n  whole:     %3")
                                     .arg(op, a.join(QStringLiteral(" / ")), b.join(QStringLiteral(" / ")))));
        }
        QCOMPARE(consumptionsInFile(*onDemand.db), consumptionsInFile(*whole.db));
    }

    // Another program commits consumptions of stays this one shows.
    void otherProgramsRowsWhenReadAgain_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("seen");
        QTest::newRow("the stay was not held") << "not held" << true;
        QTest::newRow("the stay was held, then let go") << "let go" << true;
        QTest::newRow("the current stay read again") << "reload current" << true;
        QTest::newRow("another stay read again") << "reload other" << true;
        QTest::newRow("every stay read again") << "refresh" << true;
        QTest::newRow("the stay is still held") << "held" << false;
    }

    void otherProgramsRowsWhenReadAgain()
    {
        QFETCH(QString, how);
        QFETCH(bool, seen);
        Hotel h = makeHotel();
        openModule(h, 2);
        Cursor &stays = *h.dm->TEstadias;
        Cursor &detail = *h.dm->TConsumosDeServicios;
        const qint64 target = h.stays[1];
        if (how != u"not held") {
            QVERIFY(stays.locate(QStringLiteral("IdEstadia"), target));
            QCOMPARE(detail.recordCount(), 4);
            detail.last();
        }
        const qint64 keptKey = detail.isEmpty() ? 0 : detail.fieldByName(QStringLiteral("IdConsumo")).asInteger();
        // The other program deletes the earliest one and adds one before all.
        const qint64 earliest =
            h.db->scalar(QStringLiteral("SELECT IdConsumo FROM ConsumoDeServicios WHERE IdEstadia = ? "
                                        "ORDER BY FechaHora LIMIT 1"),
                         {target})
                .toLongLong();
        h.db->exec(QStringLiteral("DELETE FROM ConsumoDeServicios WHERE IdConsumo = ?"), {earliest});
        const qint64 theirs = h.db->addConsumption(target, h.spa, 7, money("40"), QStringLiteral("2014-02-01 08:00:00"));

        if (how == u"let go") {
            for (size_t i : {2, 3, 4})
                QVERIFY(stays.locate(QStringLiteral("IdEstadia"), h.stays[i]));
        } else if (how == u"reload current") {
            detail.reloadDetail(target);
        } else if (how == u"reload other") {
            QVERIFY(stays.locate(QStringLiteral("IdEstadia"), h.stays[0]));
            detail.reloadDetail(target);
        } else if (how == u"refresh") {
            detail.refresh();
        } else if (how == u"held") {
            QVERIFY(stays.locate(QStringLiteral("IdEstadia"), h.stays[0]));
        }
        QVERIFY(stays.locate(QStringLiteral("IdEstadia"), target));

        QList<qint64> keys;
        for (int row = 0; row < detail.recordCount(); ++row)
            keys << detail.valueAt(row, detail.fieldByName(QStringLiteral("IdConsumo"))).toLongLong();
        QCOMPARE(keys.contains(theirs), seen);
        QCOMPARE(keys.contains(earliest), !seen);
        QCOMPARE(keys.size(), 4);
        // In their place: the other program's row comes first, by its time.
        QCOMPARE(keys.first() == theirs, seen);
        if (how == u"reload current")
            QCOMPARE(detail.fieldByName(QStringLiteral("IdConsumo")).asInteger(), keptKey);
    }

    // Two programs on one file, each with its own data module and connection:
    // what one posts through its cursors the other shows once it reads the
    // stay's consumptions again, the same rows in the same order.
    void twoProgramsSeeEachOthersRows_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("readAgain");
        QTest::newRow("added, the stay read again") << "append" << "reload";
        QTest::newRow("added, every stay read again") << "append" << "refresh";
        QTest::newRow("added, the stay let go and shown again") << "append" << "let go";
        QTest::newRow("changed, the stay read again") << "edit" << "reload";
        QTest::newRow("changed, every stay read again") << "edit" << "refresh";
        QTest::newRow("deleted, the stay read again") << "delete" << "reload";
        QTest::newRow("deleted, the stay let go and shown again") << "delete" << "let go";
    }

    void twoProgramsSeeEachOthersRows()
    {
        QFETCH(QString, change);
        QFETCH(QString, readAgain);
        Hotel h = makeHotel();
        openModule(h, 2);
        TDM other(h.db->target());
        other.TConsumosDeServicios->setDetailFetchedOnDemand(2);
        other.DataModuleCreate();
        const qint64 target = h.stays[1];
        QVERIFY(h.dm->TEstadias->locate(QStringLiteral("IdEstadia"), target));
        QVERIFY(other.TEstadias->locate(QStringLiteral("IdEstadia"), target));
        const auto rows = [](TDM &dm) { return picture(dm).mid(1, dm.TConsumosDeServicios->recordCount()); };
        const QStringList before = rows(*h.dm);
        QCOMPARE(rows(other), before);

        // Each program changes the stay in turn; the other reads it again.
        TDM *writers[] = {h.dm.get(), &other};
        for (int turn = 0; turn < 2; ++turn) {
            TDM &writer = *writers[turn];
            TDM &reader = *writers[1 - turn];
            Cursor &detail = *writer.TConsumosDeServicios;
            const QStringList was = rows(reader);
            if (change == u"append") {
                detail.append();
                detail.setValue(QStringLiteral("IdServicio"), h.spa);
                detail.setValue(QStringLiteral("Cantidad"), 2 + turn);
                detail.setValue(QStringLiteral("Precio"), QVariant::fromValue(money("40")));
                detail.setValue(QStringLiteral("FechaHora"),
                                QDateTime(QDate(2014, 2, 1), QTime(7 - turn, 0), Qt::UTC)); // first of the stay
                detail.post();
            } else if (change == u"edit") {
                detail.last();
                detail.edit();
                detail.setValue(QStringLiteral("Cantidad"), 20 + turn);
                detail.post();
            } else {
                detail.first();
                detail.remove();
            }
            QVERIFY(rows(writer) != was);
            QCOMPARE(rows(reader), was); // not read again yet
            Cursor &theirs = *reader.TConsumosDeServicios;
            if (readAgain == u"reload") {
                theirs.reloadDetail(target);
            } else if (readAgain == u"refresh") {
                theirs.refresh();
            } else {
                for (size_t i : {2, 3, 4})
                    QVERIFY(reader.TEstadias->locate(QStringLiteral("IdEstadia"), h.stays[i]));
                QVERIFY(reader.TEstadias->locate(QStringLiteral("IdEstadia"), target));
            }
            QCOMPARE(rows(reader), rows(writer));
        }
        QVERIFY(rows(*h.dm) != before);
    }

    // A detail read again while a transaction may still undo its rows is refused.
    void noReadingAgainInATransaction()
    {
        Hotel h = makeHotel();
        openModule(h, 2);
        Cursor &detail = *h.dm->TConsumosDeServicios;
        const qint64 stay = h.dm->TEstadias->fieldByName(QStringLiteral("IdEstadia")).asInteger();
        Database::Transaction t(h.dm->Cnx);
        detail.remove();
        VERIFY_DATA_ERROR(detail.reloadDetail(stay),
                          "TConsumosDeServicios: Cannot read the rows again while a transaction is in progress");
        VERIFY_DATA_ERROR(detail.refresh(),
                          "TConsumosDeServicios: Cannot read the rows again while a transaction is in progress");
        QCOMPARE(detail.recordCount(), 2);
    }
};

QTEST_GUILESS_MAIN(TestDetail)
#include "tst_detail.moc"
