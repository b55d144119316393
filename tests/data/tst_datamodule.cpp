#include "DataError.h"
#include "Regional.h"
#include "PostgresServer.h"
#include "TestDatabase.h"
#include "TestSupport.h"
#include "UDM.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QScopeGuard>
#include <QTest>

// The data module: opening the file, the shared cursors and the named queries.
class TestDataModule : public QObject
{
    Q_OBJECT

private:
    static QStringList column(Cursor &c, const QString &field)
    {
        QStringList out;
        const Field &f = c.fieldByName(field);
        for (c.first(); !c.atEnd(); c.next())
            out << f.displayText();
        return out;
    }

    static QList<Cursor *> tableCursors(TDM &dm)
    {
        return {dm.THuespedes, dm.TTiposDeHabitacion, dm.THabitaciones, dm.TServicios, dm.TEstadias,
                dm.TConsumosDeServicios};
    }

    static QByteArray fileBytes(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private slots:
    void initTestCase()
    {
        Regional::setSettings(spanishSettings());
    }

    void opensTheSixCursorsInOrder()
    {
        TestDatabase db;
        const qint64 a = db.addRoomType(QStringLiteral("A"), money("10"));
        const qint64 b = db.addRoomType(QStringLiteral("B"), money("20"));
        db.addRoom(QStringLiteral("20"), a);
        db.addRoom(QStringLiteral("10"), b);
        TDM dm(db.target());
        QStringList opened;
        for (Cursor *c : tableCursors(dm))
            connect(c, &Cursor::stateChanged, this, [&opened, c] {
                if (c->isOpen())
                    opened << c->name();
            });
        dm.DataModuleCreate();
        QCOMPARE(opened, QStringList({"THuespedes", "TTiposDeHabitacion", "THabitaciones", "TServicios", "TEstadias",
                                      "TConsumosDeServicios"}));
        for (Cursor *c : {static_cast<Cursor *>(dm.QHabitacionesOcupadas), static_cast<Cursor *>(dm.QEstadiasDeHuesped),
                          static_cast<Cursor *>(dm.QHabitaconesMasPedidas), static_cast<Cursor *>(dm.QHabitacionesPorTipo)})
            QVERIFY(!c->isOpen());
        QCOMPARE(dm.THabitaciones->fieldByName(QStringLiteral("NroHabitacion")).asString(), QStringLiteral("10"));
        QCOMPARE(dm.THabitaciones->fieldByName(QStringLiteral("Tipo")).asString(), QStringLiteral("B"));
        // Display properties the windows rely on.
        QCOMPARE(dm.TTiposDeHabitacion->fieldByName(QStringLiteral("Precio")).displayText(), QStringLiteral("$ 10,00"));
        QCOMPARE(dm.THabitaciones->fieldByName(QStringLiteral("NroHabitacion")).alignment(), Qt::AlignRight);
        QCOMPARE(dm.THabitaciones->fieldByName(QStringLiteral("Tipo")).displayWidth(), 10);
        QCOMPARE(dm.TConsumosDeServicios->fieldByName(QStringLiteral("Servicio")).displayWidth(), 25);
        QCOMPARE(dm.TServicios->fieldByName(QStringLiteral("Precio")).alignment(), Qt::AlignRight);
    }

    // The hotel's own data opens after the six when the file has its table; a
    // file made before that table existed opens all the same, without it.
    void hotelDataWhenTheFileHasIt_data()
    {
        QTest::addColumn<bool>("table");
        QTest::newRow("file with the table") << true;
        QTest::newRow("file made earlier") << false;
    }

    void hotelDataWhenTheFileHasIt()
    {
        QFETCH(bool, table);
        TestDatabase db;
        db.exec(QStringLiteral("INSERT INTO DatosDelHotel (Nombre, Logo) VALUES (?, ?)"),
                {QStringLiteral("Hotel Sur"), QByteArray("BM..")});
        if (!table)
            db.exec(QStringLiteral("DROP TABLE DatosDelHotel"));
        TDM dm(db.target());
        QCOMPARE(dm.hasDatosDelHotel(), false);
        QStringList opened;
        QList<Cursor *> cursors = tableCursors(dm);
        cursors << dm.TDatosDelHotel;
        for (Cursor *c : cursors)
            connect(c, &Cursor::stateChanged, this, [&opened, c] {
                if (c->isOpen())
                    opened << c->name();
            });
        dm.DataModuleCreate();
        QStringList expected{"THuespedes", "TTiposDeHabitacion", "THabitaciones", "TServicios", "TEstadias",
                             "TConsumosDeServicios"};
        if (table)
            expected << QStringLiteral("TDatosDelHotel");
        QCOMPARE(opened, expected);
        QCOMPARE(dm.hasDatosDelHotel(), table);
        QCOMPARE(dm.TDatosDelHotel->isOpen(), table);
        if (table) {
            QCOMPARE(dm.TDatosDelHotel->fieldByName(QStringLiteral("Nombre")).asString(), QStringLiteral("Hotel Sur"));
            QCOMPARE(dm.TDatosDelHotel->fieldByName(QStringLiteral("Logo")).asBytes(), QByteArray("BM.."));
        }
    }

    // The table keeps one row at most and every text within its 60 characters.
    void hotelDataRules_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("second row") << "INSERT INTO DatosDelHotel (Nombre) VALUES ('Otro')"
                                    << "DatosDelHotel holds one row only";
        QTest::newRow("second row, key given") << "INSERT INTO DatosDelHotel (IdDatos, Nombre) VALUES (2, 'Otro')"
                                               << "DatosDelHotel holds one row only";
        QTest::newRow("long name") << "UPDATE DatosDelHotel SET Nombre = replace(hex(zeroblob(61)), '00', 'x')"
                                   << "Nombre holds at most 60 characters";
        QTest::newRow("long tax id") << "UPDATE DatosDelHotel SET IdentificacionFiscal = replace(hex(zeroblob(61)), '00', 'x')"
                                     << "IdentificacionFiscal holds at most 60 characters";
        QTest::newRow("logo as text") << "UPDATE DatosDelHotel SET Logo = 'BM'" << "Logo must hold picture bytes";
        QTest::newRow("sixty characters") << "UPDATE DatosDelHotel SET Domicilio = replace(hex(zeroblob(60)), '00', 'x')" << "";
    }

    void hotelDataRules()
    {
        QFETCH(QString, sql);
        QFETCH(QString, refusal);
        // The file engine's own words; the server's are mapped to them (tst_cursor).
        TestDatabase db(TestDatabase::Kind::File);
        db.exec(QStringLiteral("INSERT INTO DatosDelHotel (Nombre) VALUES ('Hotel Sur')"));
        QSqlDatabase c = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("rules"));
        {
            c.setDatabaseName(db.path());
            QVERIFY(c.open());
            QSqlQuery q(c);
            const bool done = q.exec(sql);
            QCOMPARE(done, refusal.isEmpty());
            if (!done)
                QVERIFY2(q.lastError().databaseText().contains(refusal), qPrintable(q.lastError().databaseText()));
            QVERIFY(q.exec(QStringLiteral("SELECT count(*), max(IdDatos) FROM DatosDelHotel")) && q.next());
            QCOMPARE(q.value(0).toInt(), 1);
            QCOMPARE(q.value(1).toInt(), 1);
        }
        c.close();
        c = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("rules"));
    }

    void startupFailures_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("openCursors");
        if (TestDatabase::serverRun()) {
            QTest::newRow("no server there") << "no server" << "No such file or directory" << 0;
            QTest::newRow("a database that does not exist") << "no database" << "database \"nadie\" does not exist" << 0;
            QTest::newRow("a wrong password") << "wrong password" << "password authentication failed for user \"hotel\"" << 0;
            QTest::newRow("no password at hand") << "no password" << "no password supplied" << 0;
            QTest::newRow("a database without tables") << "no tables" << "holds no tables of the hotel" << 0;
            QTest::newRow("a table missing") << "no-table" << "no such table: Habitaciones" << 2;
            QTest::newRow("a password in the address") << "password in url" << "holds a password" << 0;
            return;
        }
        QTest::newRow("missing file") << "missing" << "Could not find file" << 0;
        QTest::newRow("random bytes") << "random" << "file is not a database" << 0;
        QTest::newRow("truncated") << "truncated" << "" << 0;
        QTest::newRow("locked by another program") << "locked" << "database is locked" << 0;
        QTest::newRow("a table missing") << "no-table" << "no such table: Habitaciones" << 2;
        QTest::newRow("a folder named like the file") << "folder" << "is not a database file" << 0;
    }

    void startupFailures()
    {
        QFETCH(QString, damage);
        QFETCH(QString, message);
        QFETCH(int, openCursors);
        TestDatabase db;
        db.addGuest(QStringLiteral("Ana"));
        const QString path = db.path();
        std::unique_ptr<QSqlDatabase> locker;
        const QString lockName = QStringLiteral("locker");
        if (damage == u"missing") {
            QVERIFY(QFile::remove(path));
        } else if (damage == u"random" || damage == u"truncated") {
            const QByteArray original = fileBytes(path);
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            if (damage == u"random") {
                QByteArray junk(8192, '\0');
                for (int i = 0; i < junk.size(); ++i)
                    junk[i] = char((i * 7919 + 13) % 251);
                f.write(junk);
            } else {
                f.write(original.left(original.size() / 3));
            }
        } else if (damage == u"locked") {
            db.closeConnection();
            QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), lockName);
            other.setDatabaseName(path);
            QVERIFY(other.open());
            QSqlQuery q(other);
            QVERIFY(q.exec(QStringLiteral("PRAGMA locking_mode = EXCLUSIVE")));
            QVERIFY2(q.exec(QStringLiteral("BEGIN EXCLUSIVE")), qPrintable(q.lastError().text()));
        } else if (damage == u"no-table") {
            if (db.isServer()) {
                db.exec(QStringLiteral("DROP TABLE Habitaciones CASCADE"));
            } else {
                db.exec(QStringLiteral("PRAGMA foreign_keys = OFF"));
                db.exec(QStringLiteral("DROP TABLE Habitaciones"));
            }
        } else if (damage == u"folder") {
            QVERIFY(QFile::remove(path));
            QVERIFY(QDir(db.folder()).mkdir(QStringLiteral("Hotel.db")));
        }
        const QStringList before = QDir(db.folder()).entryList(QDir::Files | QDir::Hidden);
        const QByteArray bytesBefore = path.isEmpty() ? QByteArray() : fileBytes(path);

        // A server's faults are in the address, the server's state or the
        // password libpq finds.
        QString target = db.target();
        const QByteArray passwordBefore = qgetenv("PGPASSWORD");
        const QByteArray passFileBefore = qgetenv("PGPASSFILE");
        qputenv("PGPASSFILE", QFile::encodeName(db.folder() + QStringLiteral("/no-pgpass")));
        qunsetenv("PGPASSWORD");
        const auto restore = qScopeGuard([&] {
            qputenv("PGPASSFILE", passFileBefore);
            if (passwordBefore.isNull())
                qunsetenv("PGPASSWORD");
            else
                qputenv("PGPASSWORD", passwordBefore);
        });
        if (damage == u"no server") {
            target = QStringLiteral("postgresql://hotel@/hotel?host=%1").arg(db.folder());
        } else if (damage == u"no database") {
            target = TestDatabase::server()->url(QStringLiteral("nadie"));
        } else if (damage == u"wrong password" || damage == u"no password") {
            target = TestDatabase::server()->url(db.databaseName(), PostgresServer::HotelRole);
            if (damage == u"wrong password")
                qputenv("PGPASSWORD", "no-es-la-clave");
        } else if (damage == u"no tables") {
            const QString empty = db.databaseName() + QStringLiteral("_vacia");
            QVERIFY(TestDatabase::server()->run(QStringLiteral("postgres"), {QStringLiteral("CREATE DATABASE %1").arg(empty)}));
            target = TestDatabase::server()->url(empty);
        } else if (damage == u"password in url") {
            target = QStringLiteral("postgresql://hotel:secreto@/hotel?host=%1").arg(db.folder());
        }

        TDM dm(target);
        dm.Cnx.setBusyTimeout(100);
        QString error;
        try {
            dm.DataModuleCreate();
        } catch (const DataError &e) {
            error = e.message();
        }
        QVERIFY2(!error.isEmpty(), "opening did not fail");
        if (!message.isEmpty())
            QVERIFY2(error.contains(message), qPrintable(error));
        int open = 0;
        for (Cursor *c : tableCursors(dm))
            open += c->isOpen() ? 1 : 0;
        QCOMPARE(open, openCursors);
        QVERIFY(!dm.TEstadias->isOpen());
        try {
            dm.TEstadias->first();
            QFAIL("a closed cursor moved");
        } catch (const DataError &e) {
            QCOMPARE(e.message(), QStringLiteral("TEstadias: Cannot perform this operation on a closed dataset"));
        }
        if (damage == u"password in url")
            QVERIFY2(!error.contains(u"secreto"), "the message repeats the password");
        if (damage == u"no tables")
            QVERIFY(TestDatabase::server()->run(QStringLiteral("postgres"),
                                                {QStringLiteral("DROP DATABASE %1_vacia WITH (FORCE)").arg(db.databaseName())}));
        if (damage != u"no-table") {
            // The attempt creates and changes nothing.
            QCOMPARE(QDir(db.folder()).entryList(QDir::Files | QDir::Hidden), before);
            QCOMPARE(path.isEmpty() ? QByteArray() : fileBytes(path), bytesBefore);
        }
        if (locker || QSqlDatabase::contains(lockName)) {
            QSqlDatabase::database(lockName, false).close();
        }
        QSqlDatabase::removeDatabase(lockName);
    }

    // Rooms of type A: 101..104, one stay each, searched over 10/05 to 12/05.
    void availabilityOverlap_data()
    {
        QTest::addColumn<QString>("checkIn");
        QTest::addColumn<QString>("checkOut");
        QTest::addColumn<QString>("state");
        QTest::addColumn<bool>("blocks");
        QTest::newRow("ends on the first day") << "2014-05-08" << "2014-05-10" << "Ocupada" << true;
        QTest::newRow("ends the day before") << "2014-05-08" << "2014-05-09" << "Ocupada" << false;
        QTest::newRow("begins on the last day") << "2014-05-12" << "2014-05-14" << "Reservada" << true;
        QTest::newRow("begins the day after") << "2014-05-13" << "2014-05-14" << "Reservada" << false;
        QTest::newRow("covers the range") << "2014-05-01" << "2014-05-30" << "Reservada" << true;
        QTest::newRow("inside the range") << "2014-05-11" << "2014-05-11" << "Ocupada" << true;
        QTest::newRow("invoiced still blocks") << "2014-05-11" << "2014-05-12" << "Facturada" << true;
        QTest::newRow("finished does not block") << "2014-05-11" << "2014-05-12" << "Finalizada" << false;
    }

    void availabilityOverlap()
    {
        QFETCH(QString, checkIn);
        QFETCH(QString, checkOut);
        QFETCH(QString, state);
        QFETCH(bool, blocks);
        TestDatabase db;
        const qint64 a = db.addRoomType(QStringLiteral("A"), money("10"));
        const qint64 b = db.addRoomType(QStringLiteral("B"), money("10"));
        const qint64 guest = db.addGuest(QStringLiteral("Ana"));
        const qint64 r102 = db.addRoom(QStringLiteral("102"), a);
        db.addRoom(QStringLiteral("101"), a);
        const qint64 r201 = db.addRoom(QStringLiteral("201"), b);
        db.addStay(guest, r102, checkIn, checkOut, state);
        // The same dates on a room of another type never count.
        db.addStay(guest, r201, QStringLiteral("2014-05-01"), QStringLiteral("2014-05-30"), QStringLiteral("Ocupada"));
        TDM dm(db.target());
        dm.DataModuleCreate();
        QueryCursor &q = *dm.QHabitacionesOcupadas;
        q.setParameter(QStringLiteral("fechaIni"), QDate(2014, 5, 10));
        q.setParameter(QStringLiteral("FECHAFIN"), QDate(2014, 5, 12));
        q.setParameter(QStringLiteral("IdTipoHab"), a);
        q.open();
        QCOMPARE(column(q, QStringLiteral("NroHabitacion")), blocks ? QStringList({"102"}) : QStringList());
        QCOMPARE(q.fieldByName(QStringLiteral("Estado")).kind(), Field::Kind::Text);
        q.close();
    }

    void roomIsFree_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<bool>("exceptTheStay");
        QTest::addColumn<bool>("free");
        // The room has a stay from 10/05 to 12/05 and a finished one later.
        QTest::newRow("ends the day before") << "2014-05-01" << "2014-05-09" << false << true;
        QTest::newRow("ends on the check-in day") << "2014-05-01" << "2014-05-10" << false << false;
        QTest::newRow("begins on the check-out day") << "2014-05-12" << "2014-05-15" << false << false;
        QTest::newRow("begins the day after") << "2014-05-13" << "2014-05-15" << false << true;
        QTest::newRow("the stay itself left out") << "2014-05-10" << "2014-05-14" << true << true;
        QTest::newRow("a finished stay does not count") << "2014-06-01" << "2014-06-03" << false << true;
    }

    void roomIsFree()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(bool, exceptTheStay);
        QFETCH(bool, free);
        TestDatabase db;
        const qint64 type = db.addRoomType(QStringLiteral("A"), money("10"));
        const qint64 guest = db.addGuest(QStringLiteral("Ana"));
        const qint64 room = db.addRoom(QStringLiteral("101"), type);
        const qint64 other = db.addRoom(QStringLiteral("102"), type);
        const qint64 stay = db.addStay(guest, room, QStringLiteral("2014-05-10"), QStringLiteral("2014-05-12"),
                                       QStringLiteral("Facturada"));
        db.addStay(guest, room, QStringLiteral("2014-06-01"), QStringLiteral("2014-06-05"), QStringLiteral("Finalizada"));
        db.addStay(guest, other, QStringLiteral("2014-05-01"), QStringLiteral("2014-06-30"), QStringLiteral("Ocupada"));
        TDM dm(db.target());
        dm.DataModuleCreate();
        QCOMPARE(dm.roomIsFree(room, QDate::fromString(from, Qt::ISODate), QDate::fromString(to, Qt::ISODate),
                               exceptTheStay ? stay : 0),
                 free);
    }

    void rankingAndGuestQueries()
    {
        TestDatabase db;
        const qint64 a = db.addRoomType(QStringLiteral("A"), money("10"));
        const qint64 ana = db.addGuest(QStringLiteral("Ana"));
        const qint64 beto = db.addGuest(QStringLiteral("Beto"));
        const qint64 r9 = db.addRoom(QStringLiteral("9"), a, 1, QStringLiteral("Mar"));
        const qint64 r10 = db.addRoom(QStringLiteral("10"), a, 1, QStringLiteral("Mar"));
        const qint64 r11 = db.addRoom(QStringLiteral("11"), a, 1, QStringLiteral("Mar"));
        db.addRoom(QStringLiteral("12"), a, 1, QStringLiteral("Mar"));
        const qint64 r20 = db.addRoom(QStringLiteral("20"), a, 2, QStringLiteral("Ciudad"));
        db.addStay(ana, r9, QStringLiteral("2014-01-10"), QStringLiteral("2014-01-12"), QStringLiteral("Facturada")); // 3
        db.addStay(ana, r10, QStringLiteral("2014-01-01"), QStringLiteral("2014-01-03"), QStringLiteral("Facturada")); // 3
        db.addStay(beto, r11, QStringLiteral("2014-01-01"), QStringLiteral("2014-01-01"), QStringLiteral("Ocupada")); // 1
        db.addStay(beto, r11, QStringLiteral("2014-02-01"), QStringLiteral("2014-02-04"), QStringLiteral("Reservada")); // 4
        db.addStay(ana, r20, QStringLiteral("2014-03-01"), QStringLiteral("2014-03-01"), QStringLiteral("Ocupada"));
        TDM dm(db.target());
        dm.DataModuleCreate();

        QueryCursor &rank = *dm.QHabitaconesMasPedidas;
        rank.setParameter(QStringLiteral("vista"), QStringLiteral("Mar"));
        rank.open();
        // Most days first; ties by the number as text ("10" before "9"); rooms without stays absent.
        QCOMPARE(column(rank, QStringLiteral("NroHabitacion")), QStringList({"11", "10", "9"}));
        QCOMPARE(column(rank, QStringLiteral("Dias")), QStringList({"5", "3", "3"}));
        QCOMPARE(rank.fieldByName(QStringLiteral("Dias")).kind(), Field::Kind::Integer);
        rank.close();
        rank.setParameter(QStringLiteral("Vista"), QStringLiteral("Interior"));
        rank.open();
        QVERIFY(rank.isEmpty());

        QueryCursor &stays = *dm.QEstadiasDeHuesped;
        stays.setParameter(QStringLiteral("IdHuesped"), ana);
        stays.open();
        QCOMPARE(column(stays, QStringLiteral("NroHabitacion")), QStringList({"10", "9"}));
        QCOMPARE(column(stays, QStringLiteral("FechaIngreso")), QStringList({"01/01/2014", "10/01/2014"}));
        QCOMPARE(stays.fieldByName(QStringLiteral("FechaIngreso")).kind(), Field::Kind::DateTime);
        stays.close();
        stays.setParameter(QStringLiteral("IdHuesped"), beto);
        stays.open();
        QVERIFY(stays.isEmpty());
        stays.close();
        stays.setParameter(QStringLiteral("IdHuesped"), QVariant());
        stays.open();
        QVERIFY(stays.isEmpty());
    }

    void roomsByTypeQuery()
    {
        TestDatabase db;
        const qint64 a = db.addRoomType(QStringLiteral("Doble"), money("12.5"));
        db.addRoomType(QStringLiteral("Sin habitaciones"), money("10"));
        db.addRoom(QStringLiteral("201"), a, 2);
        db.addRoom(QStringLiteral("102"), a, 1);
        db.addRoom(QStringLiteral("101"), a, 1);
        db.execUnrelated(QStringLiteral("INSERT INTO Habitaciones (NroHabitacion, IdTipo) VALUES ('999', 77)"));
        TDM dm(db.target());
        dm.DataModuleCreate();
        QueryCursor &q = *dm.QHabitacionesPorTipo;
        q.open();
        QCOMPARE(column(q, QStringLiteral("NroHabitacion")), QStringList({"101", "102", "201"}));
        QCOMPARE(q.fieldByName(QStringLiteral("Precio")).kind(), Field::Kind::Money);
        QCOMPARE(q.fieldByName(QStringLiteral("Foto")).kind(), Field::Kind::Blob);
        QCOMPARE(q.fieldByName(QStringLiteral("Piso")).kind(), Field::Kind::SmallInt);
        QVERIFY(q.findField(QStringLiteral("IdTipo_1")));
        QVERIFY(!q.canModify());
        QVERIFY_THROWS_EXCEPTION(DataError, q.edit());
    }

    // Each room of a type carries the type's photo; the rows share one copy,
    // and another type's photo stays its own.
    void roomsByTypeShareTheTypePhoto()
    {
        TestDatabase db;
        const qint64 a = db.addRoomType(QStringLiteral("Doble"), money("12.5"));
        const qint64 b = db.addRoomType(QStringLiteral("Simple"), money("10"));
        db.exec(QStringLiteral("UPDATE TiposDeHabitacion SET Foto = ? WHERE IdTipo = ?"), {QByteArray(100000, '\0'), a});
        db.exec(QStringLiteral("UPDATE TiposDeHabitacion SET Foto = ? WHERE IdTipo = ?"), {QByteArray(100001, '\0'), b});
        db.addRoom(QStringLiteral("101"), a, 1);
        db.addRoom(QStringLiteral("102"), a, 1);
        db.addRoom(QStringLiteral("103"), a, 2);
        db.addRoom(QStringLiteral("201"), b, 2);
        TDM dm(db.target());
        dm.DataModuleCreate();
        QueryCursor &q = *dm.QHabitacionesPorTipo;
        q.open();
        const Field &foto = q.fieldByName(QStringLiteral("Foto"));
        QList<QByteArray> photos;
        for (int row = 0; row < q.recordCount(); ++row)
            photos << q.valueAt(row, foto).toByteArray();
        QCOMPARE(photos.size(), 4);
        QCOMPARE(photos[0].size(), 100000);
        QVERIFY(photos[1].isSharedWith(photos[0]));
        QVERIFY(photos[2].isSharedWith(photos[0]));
        QCOMPARE(photos[3].size(), 100001);
    }

    // The searches over years of stays read the indexes in the order asked
    // for: the listing needs no sorter (which would copy every photo), the
    // ranking reads no table row.
    void queriesAreServedByIndexes_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("required");
        QTest::addColumn<QString>("forbidden");
        QTest::newRow("rooms listing") << "QHabitacionesPorTipo" << "USING INDEX ixHabitacionesIdTipo" << "TEMP B-TREE";
        QTest::newRow("days-booked ranking") << "QHabitaconesMasPedidas"
                                             << "USING COVERING INDEX ixEstadiasIdHabitacion" << "SCAN E";
        QTest::newRow("free-room search") << "QHabitacionesOcupadas" << "USING INDEX ixEstadiasIdHabitacion" << "SCAN O";
    }

    void queriesAreServedByIndexes()
    {
        QFETCH(QString, query);
        QFETCH(QString, required);
        QFETCH(QString, forbidden);
        TestDatabase db;
        if (db.isServer())
            QSKIP("The plans read are the file engine's; the server plans by its own statistics.");
        TDM dm(db.target());
        dm.DataModuleCreate();
        auto *q = dm.findChild<QueryCursor *>(query);
        QVERIFY(q);
        QSqlQuery plan = dm.Cnx.prepare(QStringLiteral("EXPLAIN QUERY PLAN ") + q->sql());
        static const QRegularExpression parameter(QStringLiteral(":(\\w+)"));
        for (auto it = parameter.globalMatch(q->sql()); it.hasNext();)
            plan.bindValue(it.next().captured(0), QVariant(QMetaType::fromType<QString>()));
        dm.Cnx.exec(plan);
        QStringList steps;
        while (plan.next())
            steps << plan.value(3).toString();
        const QString text = steps.join(u'\n');
        QVERIFY2(text.contains(required), qPrintable(text));
        QVERIFY2(!text.contains(forbidden), qPrintable(text));
    }
};

QTEST_GUILESS_MAIN(TestDataModule)
#include "tst_datamodule.moc"
