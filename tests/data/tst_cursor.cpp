#include "DataError.h"
#include "DateTimes.h"
#include "Filter.h"
#include "Regional.h"
#include "TestDatabase.h"
#include "TestSupport.h"
#include "UDM.h"

#include <QSignalSpy>
#include <QTest>


// The cursor vocabulary on the data module's real cursors over a fresh file.
class TestCursor : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<TDM> m_dm;

    void openModule()
    {
        m_dm = std::make_unique<TDM>(m_db->target());
        m_dm->DataModuleCreate();
    }

    // Names of the visible guests, in cursor order.
    static QStringList names(Cursor &c, const QString &field = QStringLiteral("Nombre"))
    {
        QStringList out;
        const Field &f = c.fieldByName(field);
        for (int i = 0; i < c.recordCount(); ++i)
            out << Field::plainText(c.valueAt(i, f));
        return out;
    }

private slots:
    void initTestCase()
    {
        Regional::setSettings(spanishSettings());
    }

    void init()
    {
        m_db = std::make_unique<TestDatabase>();
        QVERIFY(m_db->isValid());
    }

    void cleanup()
    {
        m_dm.reset();
        m_db.reset();
    }

    // ---- states and moves ----------------------------------------------------

    void transitions_data()
    {
        // Operations run on THuespedes holding Ana, Beto, Carla (by name); the
        // result is "state recNo bof eof count".
        QTest::addColumn<QString>("ops");
        QTest::addColumn<QString>("expected");
        QTest::newRow("open") << "" << "Browse 0 1 0 3";
        QTest::newRow("next") << "next" << "Browse 1 0 0 3";
        QTest::newRow("next past the end stays on the last row") << "next next next" << "Browse 2 0 1 3";
        QTest::newRow("last is at end") << "last" << "Browse 2 0 1 3";
        QTest::newRow("prior at the first row") << "prior" << "Browse 0 1 0 3";
        QTest::newRow("first after last") << "last first" << "Browse 0 1 0 3";
        QTest::newRow("append adds a row at the end") << "append" << "Insert 3 0 0 4";
        QTest::newRow("insert stands before the current row") << "next insert" << "Insert 1 0 0 4";
        QTest::newRow("cancel an insert returns to the row before") << "next insert cancel" << "Browse 1 0 0 3";
        QTest::newRow("moving drops an unchanged insert") << "append first" << "Browse 0 1 0 3";
        QTest::newRow("edit") << "edit" << "Edit 0 1 0 3";
        QTest::newRow("post of an unchanged edit") << "edit post" << "Browse 0 0 0 3";
        QTest::newRow("delete moves to the next row") << "delete" << "Browse 0 0 0 2";
        QTest::newRow("delete the last row") << "last delete" << "Browse 1 0 0 2";
        QTest::newRow("delete while inserting cancels") << "append delete" << "Browse 0 0 0 3";
        QTest::newRow("cancel in browse does nothing") << "next cancel" << "Browse 1 0 0 3";
        QTest::newRow("post in browse does nothing") << "next post" << "Browse 1 0 0 3";
        QTest::newRow("close") << "close" << "Inactive -1 1 1 0";
    }

    void transitions()
    {
        QFETCH(QString, ops);
        QFETCH(QString, expected);
        m_db->addGuest(QStringLiteral("Carla"));
        m_db->addGuest(QStringLiteral("Ana"));
        m_db->addGuest(QStringLiteral("Beto"));
        openModule();
        Cursor &c = *m_dm->THuespedes;
        for (const QString &op : ops.split(u' ', Qt::SkipEmptyParts)) {
            if (op == u"next") c.next();
            else if (op == u"prior") c.prior();
            else if (op == u"first") c.first();
            else if (op == u"last") c.last();
            else if (op == u"append") c.append();
            else if (op == u"insert") c.insert();
            else if (op == u"edit") c.edit();
            else if (op == u"post") c.post();
            else if (op == u"cancel") c.cancel();
            else if (op == u"delete") c.remove();
            else if (op == u"close") c.close();
            else QFAIL(qPrintable(op));
        }
        static const char *states[] = {"Inactive", "Browse", "Edit", "Insert"};
        const QString got = QStringLiteral("%1 %2 %3 %4 %5")
                                .arg(QLatin1String(states[int(c.state())]))
                                .arg(c.recNo())
                                .arg(int(c.atBeginning()))
                                .arg(int(c.atEnd()))
                                .arg(c.recordCount());
        QCOMPARE(got, expected);
        // Nothing but "delete" reaches the file.
        const int expectedRows = ops.contains(QStringLiteral("delete")) && !ops.contains(QStringLiteral("append")) ? 2 : 3;
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT count(*) FROM Huespedes")).toInt(), expectedRows);
    }

    void editOnEmptyCursorInserts()
    {
        openModule();
        Cursor &c = *m_dm->THuespedes;
        QVERIFY(c.isEmpty());
        QVERIFY(c.atEnd());
        c.edit();
        QCOMPARE(c.state(), Cursor::State::Insert);
        QCOMPARE(c.recordCount(), 1);
    }

    void errorsNameTheCursor()
    {
        openModule();
        VERIFY_DATA_ERROR(m_dm->TEstadias->remove(), "TEstadias: Cannot perform this operation on an empty dataset");
        VERIFY_DATA_ERROR(m_dm->THuespedes->setValue(QStringLiteral("Nombre"), QStringLiteral("x")),
                     "THuespedes: Dataset not in edit or insert mode");
        VERIFY_DATA_ERROR(m_dm->THuespedes->fieldByName(QStringLiteral("Apellido")), "THuespedes: Field 'Apellido' not found");
        m_dm->TServicios->close();
        VERIFY_DATA_ERROR(m_dm->TServicios->first(), "TServicios: Cannot perform this operation on a closed dataset");
        VERIFY_DATA_ERROR(m_dm->TServicios->append(), "TServicios: Cannot perform this operation on a closed dataset");
        VERIFY_DATA_ERROR(m_dm->QHabitaconesMasPedidas->setParameter(QStringLiteral("Piso"), 1),
                     "QHabitaconesMasPedidas: Parameter 'Piso' not found");
    }

    void fieldNamesInAnyCase()
    {
        openModule();
        QCOMPARE(&m_dm->THabitaciones->fieldByName(QStringLiteral("IDHABITACION")),
                 &m_dm->THabitaciones->fieldByName(QStringLiteral("idHabitacion")));
        QCOMPARE(&m_dm->TTiposDeHabitacion->fieldByName(QStringLiteral("idTipo")),
                 &m_dm->TTiposDeHabitacion->fieldByName(QStringLiteral("IdTipo")));
    }

    void nullReadsAsEmptyOrZero()
    {
        // The room and both days are required (the rule against double bookings
        // needs them); every other column is null.
        const qint64 room = m_db->addRoom(QStringLiteral("101"), m_db->addRoomType(QStringLiteral("Doble"), money("80")));
        m_db->exec(QStringLiteral("INSERT INTO Estadias (IdHabitacion, FechaIngreso, FechaEgreso) "
                                  "VALUES (?, '2014-05-10 00:00:00', '2014-05-10 00:00:00')"),
                   {room});
        openModule();
        Cursor &c = *m_dm->TEstadias;
        QVERIFY(c.fieldByName(QStringLiteral("Dias")).isNull());
        QCOMPARE(c.fieldByName(QStringLiteral("Dias")).asInteger(), 0);
        QCOMPARE(c.fieldByName(QStringLiteral("Estado")).asString(), QString());
        QCOMPARE(c.fieldByName(QStringLiteral("PrecioFinal")).asMoney(), Money());
        QCOMPARE(c.fieldByName(QStringLiteral("Huesped")).displayText(), QString());
    }

    // ---- posting -------------------------------------------------------------

    void postWritesOneRowAndReadsBackItsKey()
    {
        m_db->addGuest(QStringLiteral("Zoe"));
        openModule();
        Cursor &c = *m_dm->THuespedes;
        QSignalSpy states(&c, &Cursor::stateChanged);
        c.append();
        c.setValue(QStringLiteral("Nombre"), QStringLiteral("Álvarez, Íñigo"));
        c.setValue(QStringLiteral("DNI"), QStringLiteral("12345678"));
        c.post();
        QCOMPARE(c.state(), Cursor::State::Browse);
        QCOMPARE(states.count(), 2);
        const qint64 key = c.fieldByName(QStringLiteral("IdHuesped")).asInteger();
        QVERIFY(key > 0);
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT Nombre FROM Huespedes WHERE IdHuesped = ?"), {key}).toString(),
                 QStringLiteral("Álvarez, Íñigo"));
        // Kept in name order, accents folded: the new guest comes before Zoe and stays current.
        QCOMPARE(names(c), QStringList({QStringLiteral("Álvarez, Íñigo"), QStringLiteral("Zoe")}));
        QCOMPARE(c.recNo(), 0);
    }

    void moneyAndDatesTravelExactly()
    {
        const qint64 type = m_db->addRoomType(QStringLiteral("Doble"), money("80"));
        const qint64 room = m_db->addRoom(QStringLiteral("101"), type);
        const qint64 guest = m_db->addGuest(QStringLiteral("Ana"));
        openModule();
        Cursor &c = *m_dm->TEstadias;
        c.append();
        c.setValue(QStringLiteral("FechaIngreso"), QDate(2014, 4, 5));
        c.setValue(QStringLiteral("FechaEgreso"), QDateTime(QDate(2014, 4, 7), QTime(15, 30)));
        c.setValue(QStringLiteral("Dias"), 3);
        c.setValue(QStringLiteral("PrecioDiario"), QVariant::fromValue(money("1234.5")));
        c.setValue(QStringLiteral("PrecioFinal"), QVariant::fromValue(money("1234.5") * 3));
        c.setValue(QStringLiteral("IdHuesped"), guest);
        c.setValue(QStringLiteral("IdHabitacion"), room);
        c.setValue(QStringLiteral("Estado"), QStringLiteral("Reservada"));
        // A time of day on a day-date column is refused by the file: nothing is written.
        VERIFY_DATA_ERROR(c.post(), "CHECK constraint failed: FechaEgreso must be a day date");
        QCOMPARE(c.state(), Cursor::State::Insert);
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT count(*) FROM Estadias")).toInt(), 0);
        c.setValue(QStringLiteral("FechaEgreso"), QDate(2014, 4, 7));
        c.post();
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT PrecioFinal FROM Estadias")).toLongLong(), qint64(37035000));
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT FechaIngreso FROM Estadias")).toString(),
                 QStringLiteral("2014-04-05 00:00:00"));
        QCOMPARE(c.fieldByName(QStringLiteral("PrecioFinal")).displayText(), QStringLiteral("$ 3.703,50"));
        QCOMPARE(c.fieldByName(QStringLiteral("PrecioDiario")).editText(), QStringLiteral("1234,50"));
        QCOMPARE(c.fieldByName(QStringLiteral("FechaIngreso")).displayText(), QStringLiteral("05/04/2014"));
        QCOMPARE(c.fieldByName(QStringLiteral("Habitacion")).value(), QVariant(qlonglong(101)));
    }

    void conversionErrors_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::newRow("letters in a whole number") << "Dias" << "2a" << "'2a' is not a valid integer value for field 'Dias'";
        QTest::newRow("trailing blank") << "Dias" << "1 " << "'1 ' is not a valid integer value for field 'Dias'";
        QTest::newRow("decimal in a whole number") << "Dias" << "1,5" << "'1,5' is not a valid integer value for field 'Dias'";
        QTest::newRow("too large") << "Dias" << "99999999999" << "'99999999999' is not a valid value for field 'Dias'. The allowed range is -2147483648 to 2147483647";
        QTest::newRow("money with a full stop") << "PrecioDiario" << "12.5" << "'12.5' is not a valid floating point value for field 'PrecioDiario'";
        QTest::newRow("money with letters") << "PrecioDiario" << "abc" << "'abc' is not a valid floating point value for field 'PrecioDiario'";
        QTest::newRow("money overflow") << "PrecioDiario" << "99999999999999999999" << "'99999999999999999999' is not a valid floating point value for field 'PrecioDiario'";
        QTest::newRow("fine whole number") << "Dias" << " -5" << "";
        QTest::newRow("fine money") << "PrecioDiario" << "12,5" << "";
    }

    void conversionErrors()
    {
        QFETCH(QString, field);
        QFETCH(QString, text);
        QFETCH(QString, message);
        openModule();
        Cursor &c = *m_dm->TEstadias;
        c.append();
        VERIFY_DATA_ERROR(c.fieldByName(field).setAsString(text), message);
        QCOMPARE(c.state(), Cursor::State::Insert);
        QCOMPARE(c.fieldByName(field).isNull(), !message.isEmpty());
    }

    void smallIntRangeAndEmptyTextIsNull()
    {
        m_db->addRoomType(QStringLiteral("Doble"), money("80"));
        openModule();
        Cursor &c = *m_dm->TTiposDeHabitacion;
        c.edit();
        VERIFY_DATA_ERROR(c.fieldByName(QStringLiteral("Capacidad")).setAsString(QStringLiteral("40000")),
                     "'40000' is not a valid value for field 'Capacidad'. The allowed range is -32768 to 32767");
        c.fieldByName(QStringLiteral("Precio")).setAsString(QString());
        c.post();
        QVERIFY(m_db->scalar(QStringLiteral("SELECT Precio IS NULL FROM TiposDeHabitacion")).toBool());
    }

    void refusedRelationKeepsTheCursorState()
    {
        const qint64 type = m_db->addRoomType(QStringLiteral("Doble"), money("80"));
        m_db->addRoom(QStringLiteral("101"), type);
        openModule();
        Cursor &types = *m_dm->TTiposDeHabitacion;
        VERIFY_DATA_ERROR(types.remove(),
                     "The record cannot be deleted because other records refer to it (FOREIGN KEY constraint failed)");
        QCOMPARE(types.recordCount(), 1);
        QCOMPARE(types.state(), Cursor::State::Browse);

        Cursor &stays = *m_dm->TEstadias;
        stays.append();
        stays.setValue(QStringLiteral("IdHuesped"), 999);
        stays.setValue(QStringLiteral("IdHabitacion"), m_db->scalar(QStringLiteral("SELECT idHabitacion FROM Habitaciones")));
        stays.setValue(QStringLiteral("FechaIngreso"), DateTimes::make(QDate(2014, 5, 10)));
        stays.setValue(QStringLiteral("FechaEgreso"), DateTimes::make(QDate(2014, 5, 10)));
        VERIFY_DATA_ERROR(stays.post(), "The record refers to a record that does not exist (FOREIGN KEY constraint failed)");
        QCOMPARE(stays.state(), Cursor::State::Insert);
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT count(*) FROM Estadias")).toInt(), 0);
    }

    void roomNumbersAreUniqueDigits_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("digits") << "204" << true;
        QTest::newRow("duplicate") << "101" << false;
        QTest::newRow("letters") << "10A" << false;
        QTest::newRow("leading zero") << "0101" << false;
        QTest::newRow("blank") << " 12" << false;
        QTest::newRow("ten digits") << "1234567890" << false;
        QTest::newRow("empty is null") << "" << false;
    }

    void roomNumbersAreUniqueDigits()
    {
        QFETCH(QString, number);
        QFETCH(bool, accepted);
        const qint64 type = m_db->addRoomType(QStringLiteral("Doble"), money("80"));
        m_db->addRoom(QStringLiteral("101"), type);
        openModule();
        Cursor &rooms = *m_dm->THabitaciones;
        rooms.append();
        rooms.fieldByName(QStringLiteral("NroHabitacion")).setAsString(number);
        rooms.setValue(QStringLiteral("IdTipo"), type);
        bool posted = true;
        try {
            rooms.post();
        } catch (const DataError &) {
            posted = false;
        }
        QCOMPARE(posted, accepted);
        QCOMPARE(rooms.isEditing(), !accepted);
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT count(*) FROM Habitaciones")).toInt(), accepted ? 2 : 1);
    }

    void staleUpdatesAndDeletesAreRefused()
    {
        const qint64 ana = m_db->addGuest(QStringLiteral("Ana"));
        m_db->addGuest(QStringLiteral("Beto"));
        openModule();
        Cursor &c = *m_dm->THuespedes;
        // Another program renames Ana after this one read her.
        m_db->exec(QStringLiteral("UPDATE Huespedes SET Nombre = 'Ana María' WHERE IdHuesped = ?"), {ana});
        c.edit();
        c.setValue(QStringLiteral("DNI"), QStringLiteral("111"));
        VERIFY_DATA_ERROR(c.post(), "The record was changed or deleted by another program since it was read; "
                               "your changes were not saved");
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT Nombre FROM Huespedes WHERE IdHuesped = ?"), {ana}).toString(),
                 QStringLiteral("Ana María"));
        QVERIFY(m_db->scalar(QStringLiteral("SELECT DNI FROM Huespedes WHERE IdHuesped = ?"), {ana}).isNull());
        // The changes went; the row reads as the other program left it.
        QCOMPARE(c.state(), Cursor::State::Browse);
        QCOMPARE(c.value(QStringLiteral("IdHuesped")).toLongLong(), ana);
        QCOMPARE(c.value(QStringLiteral("Nombre")).toString(), QStringLiteral("Ana María"));
        QVERIFY(c.value(QStringLiteral("DNI")).isNull());
        m_db->exec(QStringLiteral("UPDATE Huespedes SET Telefono = '1' WHERE IdHuesped = ?"), {ana});
        VERIFY_DATA_ERROR(c.remove(), "The record was changed or deleted by another program since it was read; "
                                 "it was not deleted");
        QCOMPARE(c.recordCount(), 2);
        QCOMPARE(c.value(QStringLiteral("Telefono")).toString(), QStringLiteral("1"));
        // A row removed by the other program cannot be updated either; it leaves.
        QVERIFY(c.locate(QStringLiteral("Nombre"), QStringLiteral("Beto")));
        m_db->exec(QStringLiteral("DELETE FROM Huespedes WHERE Nombre = 'Beto'"));
        c.edit();
        c.setValue(QStringLiteral("Telefono"), QStringLiteral("555"));
        QVERIFY_THROWS_EXCEPTION(DataError, c.post());
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT count(*) FROM Huespedes")).toInt(), 1);
        QCOMPARE(c.recordCount(), 1);
        QCOMPARE(c.state(), Cursor::State::Browse);
        QCOMPARE(c.value(QStringLiteral("Nombre")).toString(), QStringLiteral("Ana María"));
    }

    void movingPostsAChangedRecord()
    {
        m_db->addGuest(QStringLiteral("Ana"));
        m_db->addGuest(QStringLiteral("Beto"));
        openModule();
        Cursor &c = *m_dm->THuespedes;
        c.edit();
        c.setValue(QStringLiteral("Telefono"), QStringLiteral("4455"));
        c.next();
        QCOMPARE(c.state(), Cursor::State::Browse);
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT Telefono FROM Huespedes WHERE Nombre = 'Ana'")).toString(),
                 QStringLiteral("4455"));
    }

    // ---- sort order, lookups, locate -------------------------------------------

    void roomsSortAsText()
    {
        const qint64 type = m_db->addRoomType(QStringLiteral("Doble"), money("80"));
        for (const char *n : {"9", "10", "101", "2"})
            m_db->addRoom(QString::fromLatin1(n), type);
        openModule();
        QCOMPARE(names(*m_dm->THabitaciones, QStringLiteral("NroHabitacion")),
                 QStringList({"10", "101", "2", "9"}));
    }

    void lookupFields()
    {
        const qint64 type = m_db->addRoomType(QStringLiteral("Suite presidencial con vista al mar"), money("80"));
        const qint64 room = m_db->addRoom(QStringLiteral("305"), type);
        const qint64 guest = m_db->addGuest(QStringLiteral("María de los Ángeles Fernández Castro Ruiz"));
        m_db->addStay(guest, room, QStringLiteral("2014-04-05"), QStringLiteral("2014-04-06"), QStringLiteral("Ocupada"));
        // A stay whose guest and room are gone, as a file made without the
        // relations enforced may hold.
        m_db->execUnrelated(QStringLiteral("INSERT INTO Estadias (IdHuesped, IdHabitacion, FechaIngreso, FechaEgreso, Estado) "
                                           "VALUES (998, 999, '2014-05-10 00:00:00', '2014-05-10 00:00:00', 'Reservada')"));
        openModule();
        Cursor &stays = *m_dm->TEstadias;
        QCOMPARE(stays.fieldByName(QStringLiteral("Huesped")).asString(),
                 QStringLiteral("María de los Ángeles Fernández Cast"));
        QCOMPARE(stays.fieldByName(QStringLiteral("Huesped")).asString().size(), 35);
        QCOMPARE(stays.fieldByName(QStringLiteral("Habitacion")).value(), QVariant(qlonglong(305)));
        QCOMPARE(m_dm->THabitaciones->fieldByName(QStringLiteral("Tipo")).asString(),
                 QStringLiteral("Suite presidencial c"));
        stays.next();
        QVERIFY(stays.fieldByName(QStringLiteral("Huesped")).isNull());
        QVERIFY(stays.fieldByName(QStringLiteral("Habitacion")).isNull());
        // The lookup follows the guest's current name, whatever the guests cursor's filter.
        Cursor &guests = *m_dm->THuespedes;
        guests.edit();
        guests.setValue(QStringLiteral("Nombre"), QStringLiteral("Ana"));
        guests.post();
        guests.setFilter(QStringLiteral("Nombre = 'nadie'"));
        guests.setFiltered(true);
        stays.first();
        QCOMPARE(stays.fieldByName(QStringLiteral("Huesped")).asString(), QStringLiteral("Ana"));
    }

    void lookupByKeyAndLocate()
    {
        const qint64 type = m_db->addRoomType(QStringLiteral("Doble"), money("80"));
        const qint64 r101 = m_db->addRoom(QStringLiteral("101"), type);
        m_db->addRoom(QStringLiteral("102"), type);
        m_db->addGuest(QStringLiteral("Martín"));
        m_db->addGuest(QStringLiteral("mariana"));
        m_db->addGuest(QStringLiteral("Ana"));
        openModule();
        Cursor &rooms = *m_dm->THabitaciones;
        rooms.last();
        QCOMPARE(rooms.lookup(QStringLiteral("NroHabitacion"), QStringLiteral("101"), QStringLiteral("idHabitacion")),
                 QVariant(qlonglong(r101)));
        QCOMPARE(rooms.recNo(), 1); // lookup does not move
        QVERIFY(!rooms.lookup(QStringLiteral("NroHabitacion"), QStringLiteral("999"), QStringLiteral("idHabitacion")).isValid());

        Cursor &guests = *m_dm->THuespedes;
        QVERIFY(guests.locate(QStringLiteral("Nombre"), QStringLiteral("MA"),
                              Cursor::CaseInsensitive | Cursor::PartialKey));
        QCOMPARE(guests.fieldByName(QStringLiteral("Nombre")).asString(), QStringLiteral("mariana"));
        QVERIFY(!guests.locate(QStringLiteral("Nombre"), QStringLiteral("Zz"), Cursor::CaseInsensitive | Cursor::PartialKey));
        QCOMPARE(guests.fieldByName(QStringLiteral("Nombre")).asString(), QStringLiteral("mariana"));
        QVERIFY(guests.locate(QStringLiteral("IdHuesped"), QStringLiteral("3")));
        QCOMPARE(guests.fieldByName(QStringLiteral("Nombre")).asString(), QStringLiteral("Ana"));
    }

    // ---- filters -----------------------------------------------------------------

    void filters_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("fragment") << "Nombre LIKE '*ar*'" << QStringList({"Carla", "Mariana", "O'Brien, Arturo"});
        QTest::newRow("letter case ignored") << "Nombre LIKE '*AR*'" << QStringList({"Carla", "Mariana", "O'Brien, Arturo"});
        QTest::newRow("quote doubled") << "Nombre LIKE '*O''Brien*'" << QStringList({"O'Brien, Arturo"});
        QTest::newRow("prefix") << "Nombre LIKE 'Ma*'" << QStringList({"Mariana"});
        QTest::newRow("star inside is literal") << "Nombre LIKE '*a*b*'" << QStringList();
        QTest::newRow("equality") << "Nombre = 'carla'" << QStringList({"Carla"});
        QTest::newRow("whole number") << "IdHuesped >= 3" << QStringList({"Mariana", "O'Brien, Arturo"});
        QTest::newRow("and or") << "Nombre = 'Ana' OR (DNI = '1' AND Nombre LIKE 'C*')" << QStringList({"Ana", "Carla"});
        QTest::newRow("null test") << "DNI IS NULL" << QStringList({"Ana", "Mariana", "O'Brien, Arturo"});
        QTest::newRow("empty filter shows all") << "" << QStringList({"Ana", "Carla", "Mariana", "O'Brien, Arturo"});
    }

    void filters()
    {
        QFETCH(QString, filter);
        QFETCH(QStringList, expected);
        m_db->addGuest(QStringLiteral("Ana"));
        m_db->addGuest(QStringLiteral("Carla"), QStringLiteral("1"));
        m_db->addGuest(QStringLiteral("Mariana"));
        m_db->addGuest(QStringLiteral("O'Brien, Arturo"));
        openModule();
        Cursor &c = *m_dm->THuespedes;
        c.last();
        c.setFilter(filter);
        QCOMPARE(c.recNo(), 3); // setting the text while off only stores it
        c.setFiltered(true);
        QCOMPARE(names(c), expected);
        QCOMPARE(c.recNo(), expected.isEmpty() ? -1 : 0);
        c.setFiltered(false);
        QCOMPARE(c.recordCount(), 4);
        QCOMPARE(c.recNo(), 0);
        QVERIFY(c.atBeginning());
    }

    void badFilterLeavesRowsAsTheyWere_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::newRow("unbalanced quote") << "Nombre LIKE '*O'Brien*'";
        QTest::newRow("unterminated") << "Nombre = 'Ana";
        QTest::newRow("unknown field") << "Apellido = 'x'";
        QTest::newRow("no operator") << "Nombre 'x'";
        QTest::newRow("no value") << "Nombre =";
        QTest::newRow("not a number") << "IdHuesped = 'x'";
        QTest::newRow("sql") << "1=1; DROP TABLE Huespedes";
    }

    void badFilterLeavesRowsAsTheyWere()
    {
        QFETCH(QString, filter);
        m_db->addGuest(QStringLiteral("Ana"));
        m_db->addGuest(QStringLiteral("Beto"));
        openModule();
        Cursor &c = *m_dm->THuespedes;
        c.setFilter(QStringLiteral("Nombre LIKE '*e*'"));
        c.setFiltered(true);
        QVERIFY_THROWS_EXCEPTION(DataError, c.setFilter(filter));
        QCOMPARE(names(c), QStringList({"Beto"}));
        QCOMPARE(c.filter(), QStringLiteral("Nombre LIKE '*e*'"));
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT count(*) FROM Huespedes")).toInt(), 2);
    }

    void filteringEndsEditingAndKeepsPostedRows()
    {
        m_db->addGuest(QStringLiteral("Ana"));
        m_db->addGuest(QStringLiteral("Beto"));
        openModule();
        Cursor &c = *m_dm->THuespedes;
        c.setFilter(QStringLiteral("Nombre LIKE '*a*'"));
        c.setFiltered(true);
        QCOMPARE(names(c), QStringList({"Ana"}));
        // A row posted while filtered stays shown until the filter changes.
        c.append();
        c.setValue(QStringLiteral("Nombre"), QStringLiteral("Zulema"));
        c.post();
        c.append();
        c.setValue(QStringLiteral("Nombre"), QStringLiteral("Oscar"));
        c.post();
        QCOMPARE(names(c), QStringList({"Ana", "Oscar", "Zulema"}));
        QCOMPARE(c.fieldByName(QStringLiteral("Nombre")).asString(), QStringLiteral("Oscar"));
        c.edit();
        c.setValue(QStringLiteral("DNI"), QStringLiteral("5"));
        c.setFilter(QStringLiteral("Nombre LIKE '*o*'"));
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT DNI FROM Huespedes WHERE Nombre = 'Oscar'")).toString(),
                 QStringLiteral("5"));
        QCOMPARE(names(c), QStringList({"Beto", "Oscar"}));
        QCOMPARE(FilterExpression::quoted(QStringLiteral("O'Brien")), QStringLiteral("'O''Brien'"));
    }

    void hidingAPostedRowThatNoLongerBelongs_data()
    {
        QTest::addColumn<QString>("changed");  // the guest whose name changes
        QTest::addColumn<QString>("name");     // its new name
        QTest::addColumn<bool>("hidden");
        QTest::addColumn<QStringList>("listed");
        QTest::addColumn<QString>("current");
        QTest::newRow("a row in the middle: the next one is current") << "Bea" << "Beto" << true
                                                                      << QStringList({"Ana", "Carla"}) << "Carla";
        QTest::newRow("the last row: the one before is current") << "Carla" << "Zoe" << true
                                                                 << QStringList({"Ana", "Bea"}) << "Bea";
        QTest::newRow("the only row left") << "only" << "Zoe" << true << QStringList() << "";
        QTest::newRow("a row that still belongs stays") << "Bea" << "Bianca" << false
                                                        << QStringList({"Ana", "Bianca", "Carla"}) << "Bianca";
    }

    // A posted row stays shown until asked: then it leaves if it no longer
    // passes the filter, and its neighbour becomes current.
    void hidingAPostedRowThatNoLongerBelongs()
    {
        QFETCH(QString, changed);
        QFETCH(QString, name);
        QFETCH(bool, hidden);
        QFETCH(QStringList, listed);
        QFETCH(QString, current);
        const QStringList guests = changed == u"only" ? QStringList({"Ana"}) : QStringList({"Ana", "Bea", "Carla"});
        for (const QString &g : guests)
            m_db->addGuest(g);
        m_db->addGuest(QStringLiteral("Bruno"));
        openModule();
        Cursor &c = *m_dm->THuespedes;
        c.setFilter(QStringLiteral("Nombre LIKE '*a*'"));
        c.setFiltered(true);
        QVERIFY(c.locate(QStringLiteral("Nombre"), changed == u"only" ? QStringLiteral("Ana") : changed));
        c.edit();
        c.setValue(QStringLiteral("Nombre"), name);
        c.post();
        QVERIFY(names(c).contains(name));
        QSignalSpy removed(&c, &Cursor::rowRemoved);
        QSignalSpy moved(&c, &Cursor::currentChanged);
        QCOMPARE(c.hideCurrentIfFilteredOut(), hidden);
        QCOMPARE(names(c), listed);
        QCOMPARE(removed.count(), hidden ? 1 : 0);
        QCOMPARE(moved.count(), hidden ? 1 : 0);
        QCOMPARE(c.isEmpty() ? QString() : c.fieldByName(QStringLiteral("Nombre")).asString(), current);
        QCOMPARE(c.atEnd(), listed.isEmpty());
        // While editing, nothing leaves.
        if (!c.isEmpty()) {
            c.edit();
            c.setValue(QStringLiteral("Nombre"), QStringLiteral("Zulema"));
            QVERIFY(!c.hideCurrentIfFilteredOut());
            c.cancel();
        }
    }

    // ---- master-detail -------------------------------------------------------------

    void masterDetailFollowsTheCurrentStay()
    {
        const qint64 type = m_db->addRoomType(QStringLiteral("Doble"), money("80"));
        const qint64 room = m_db->addRoom(QStringLiteral("101"), type);
        const qint64 guest = m_db->addGuest(QStringLiteral("Ana"));
        const qint64 cafe = m_db->addService(QStringLiteral("Café"), money("2.5"));
        const qint64 spa = m_db->addService(QStringLiteral("Spa"), money("40"));
        const qint64 s1 = m_db->addStay(guest, room, QStringLiteral("2014-04-01"), QStringLiteral("2014-04-02"),
                                        QStringLiteral("Facturada"));
        const qint64 s2 = m_db->addStay(guest, room, QStringLiteral("2014-04-05"), QStringLiteral("2014-04-07"),
                                        QStringLiteral("Ocupada"));
        m_db->addStay(guest, room, QStringLiteral("2014-05-05"), QStringLiteral("2014-05-07"), QStringLiteral("Reservada"));
        m_db->addConsumption(s2, spa, 1, money("40"), QStringLiteral("2014-04-06 10:00:00"));
        m_db->addConsumption(s2, cafe, 2, money("2.5"), QStringLiteral("2014-04-05 09:00:00"));
        m_db->addConsumption(s1, cafe, 1, money("2.5"), QStringLiteral("2014-04-01 09:00:00"));
        openModule();
        Cursor &stays = *m_dm->TEstadias;
        Cursor &detail = *m_dm->TConsumosDeServicios;
        QCOMPARE(names(detail, QStringLiteral("Servicio")), QStringList({"Café"}));
        stays.next();
        QCOMPARE(names(detail, QStringLiteral("Servicio")), QStringList({"Café", "Spa"})); // by time
        QCOMPARE(detail.fieldByName(QStringLiteral("FechaHora")).displayText(), QStringLiteral("05/04/2014 09:00"));
        stays.next();
        QVERIFY(detail.isEmpty());

        // A filter on the master narrows the detail to the first visible stay.
        stays.setFilter(QStringLiteral("Estado = 'Ocupada'"));
        stays.setFiltered(true);
        QCOMPARE(detail.recordCount(), 2);

        // Appending fills the link; the lookup shows once posted.
        detail.append();
        QCOMPARE(detail.fieldByName(QStringLiteral("IdEstadia")).asInteger(), s2);
        detail.setValue(QStringLiteral("IdServicio"), cafe);
        QVERIFY(detail.fieldByName(QStringLiteral("Servicio")).isNull());
        detail.setValue(QStringLiteral("Cantidad"), 1);
        detail.setValue(QStringLiteral("FechaHora"), QDateTime(QDate(2014, 4, 7), QTime(8, 0)));
        detail.post();
        QCOMPARE(detail.fieldByName(QStringLiteral("Servicio")).asString(), QStringLiteral("Café"));
        QCOMPARE(detail.recNo(), 2);
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT count(*) FROM ConsumoDeServicios WHERE IdEstadia = ?"), {s2}).toInt(), 3);

        // Deleting the stay's consumptions and the stay empties the detail.
        detail.first();
        while (!detail.atEnd() && !detail.isEmpty())
            detail.remove();
        stays.remove();
        QVERIFY(stays.isEmpty());
        QVERIFY(detail.isEmpty());
        stays.setFiltered(false);
        QCOMPARE(stays.recordCount(), 2);
        QCOMPARE(detail.recordCount(), 1);
        // A new stay, not yet posted, has no consumptions.
        stays.append();
        QVERIFY(detail.isEmpty());
    }

    void transactionRollsBackFileAndCursors()
    {
        const qint64 type = m_db->addRoomType(QStringLiteral("Doble"), money("80"));
        const qint64 room = m_db->addRoom(QStringLiteral("101"), type);
        const qint64 guest = m_db->addGuest(QStringLiteral("Ana"));
        const qint64 cafe = m_db->addService(QStringLiteral("Café"), money("2.5"));
        const qint64 stay = m_db->addStay(guest, room, QStringLiteral("2014-04-05"), QStringLiteral("2014-04-07"),
                                          QStringLiteral("Ocupada"));
        for (int i = 0; i < 3; ++i)
            m_db->addConsumption(stay, cafe, 1, money("2.5"), QStringLiteral("2014-04-05 0%1:00:00").arg(i));
        openModule();
        Cursor &stays = *m_dm->TEstadias;
        Cursor &detail = *m_dm->TConsumosDeServicios;
        // Another program changes the stay, so its delete is refused after the consumptions went.
        m_db->exec(QStringLiteral("UPDATE Estadias SET Estado = 'Facturada'"));
        try {
            Database::Transaction t(m_dm->Cnx);
            detail.first();
            while (!detail.isEmpty())
                detail.remove();
            stays.remove();
            t.commit();
            QFAIL("the stale delete was not refused");
        } catch (const DataError &) {
        }
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT count(*) FROM ConsumoDeServicios")).toInt(), 3);
        QCOMPARE(stays.recordCount(), 1);
        QCOMPARE(detail.recordCount(), 3);
        QCOMPARE(names(detail, QStringLiteral("FechaHora")).size(), 3);
        QCOMPARE(detail.recNo(), 0);

        // A transaction that commits keeps everything.
        m_db->exec(QStringLiteral("UPDATE Estadias SET Estado = 'Ocupada'"));
        m_dm->TEstadias->close();
        m_dm->TEstadias->open();
        {
            Database::Transaction t(m_dm->Cnx);
            detail.first();
            while (!detail.isEmpty())
                detail.remove();
            stays.remove();
            t.commit();
        }
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT count(*) FROM ConsumoDeServicios")).toInt(), 0);
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT count(*) FROM Estadias")).toInt(), 0);
        QVERIFY(stays.isEmpty());
    }

    // ---- the stays' index by room and day ------------------------------------

    // Stays of room 101 and 102 in April 2014; a query names the room and the
    // days, and the guests of the stays met come back in order of check-in.
    void staysOfARoomMeetingDays_data()
    {
        QTest::addColumn<QString>("room");
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("a one-day stay, on its day, over a finished one")
            << "101" << 5 << 5 << QStringList{"Finalizada", "Una noche"};
        QTest::newRow("both ends of a stay count") << "101" << 3 << 3 << QStringList{"Corta"};
        QTest::newRow("a range inside a long stay") << "101" << 10 << 12
                                                    << QStringList{"Finalizada", "Larga"};
        QTest::newRow("a range touching two stays") << "101" << 3 << 6
                                                    << QStringList{"Corta", "Finalizada", "Una noche", "Larga"};
        QTest::newRow("a day between stays of the room") << "102" << 11 << 11 << QStringList{};
        QTest::newRow("the other room") << "102" << 1 << 30 << QStringList{"Otra", "Otra tarde"};
        QTest::newRow("before any stay") << "101" << -20 << -1 << QStringList{};
        QTest::newRow("after every stay") << "101" << 31 << 60 << QStringList{};
        QTest::newRow("a range over every stay") << "101" << -20 << 60
                                                 << QStringList{"Corta", "Finalizada", "Una noche", "Larga"};
    }

    void staysOfARoomMeetingDays()
    {
        QFETCH(QString, room);
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(QStringList, expected);
        const qint64 type = m_db->addRoomType(QStringLiteral("Doble"), money("80"));
        const qint64 r101 = m_db->addRoom(QStringLiteral("101"), type);
        const qint64 r102 = m_db->addRoom(QStringLiteral("102"), type);
        auto stay = [&](const char *guest, qint64 r, const char *in, const char *out, const char *state) {
            m_db->addStay(m_db->addGuest(QString::fromUtf8(guest)), r, QString::fromLatin1(in), QString::fromLatin1(out),
                          QString::fromLatin1(state));
        };
        // Not in check-in order in the file, as years of bookings are not.
        stay("Larga", r101, "2014-04-06", "2014-04-20", "Ocupada");
        stay("Otra tarde", r102, "2014-04-12", "2014-04-14", "Reservada");
        stay("Corta", r101, "2014-04-01", "2014-04-03", "Facturada");
        stay("Una noche", r101, "2014-04-05", "2014-04-05", "Reservada");
        stay("Otra", r102, "2014-04-01", "2014-04-10", "Facturada");
        // It overlaps others: it no longer holds the room.
        stay("Finalizada", r101, "2014-04-04", "2014-04-30", "Finalizada");
        openModule();
        // The filter of a window does not narrow the index.
        m_dm->TEstadias->setFilter(QStringLiteral("Estado = 'Ocupada'"));
        m_dm->TEstadias->setFiltered(true);
        const QDate base(2014, 3, 31);
        const Field &guest = m_dm->TEstadias->fieldByName(QStringLiteral("Huesped"));
        QStringList found;
        m_dm->forEachStayOfRoom(room == QLatin1String("101") ? r101 : r102, base.addDays(from), base.addDays(to),
                                [&](const Cursor::RowRef &r) { found << r.value(guest).toString(); });
        QCOMPARE(found, expected);
    }

    // Posting, changing, deleting and a rolled-back transaction keep the index in
    // step; a stay being inserted is not found until it is posted.
    void stayIndexFollowsEveryChange()
    {
        const qint64 type = m_db->addRoomType(QStringLiteral("Doble"), money("80"));
        const qint64 room = m_db->addRoom(QStringLiteral("101"), type);
        const qint64 ana = m_db->addGuest(QStringLiteral("Ana"));
        m_db->addStay(ana, room, QStringLiteral("2014-04-01"), QStringLiteral("2014-04-03"), QStringLiteral("Ocupada"));
        openModule();
        Cursor &stays = *m_dm->TEstadias;
        const Field &id = stays.fieldByName(QStringLiteral("IdEstadia"));
        auto met = [&](int fromDay, int toDay) {
            QList<qint64> out;
            m_dm->forEachStayOfRoom(room, QDate(2014, 4, fromDay), QDate(2014, 4, toDay),
                                    [&](const Cursor::RowRef &r) { out << r.value(id).toLongLong(); });
            return out.size();
        };
        QCOMPARE(met(1, 30), 1);

        stays.append();
        stays.setValue(QStringLiteral("IdHabitacion"), room);
        stays.setValue(QStringLiteral("IdHuesped"), ana);
        stays.setValue(QStringLiteral("FechaIngreso"), DateTimes::make(QDate(2014, 4, 10)));
        stays.setValue(QStringLiteral("FechaEgreso"), DateTimes::make(QDate(2014, 4, 12)));
        stays.setValue(QStringLiteral("Estado"), QStringLiteral("Reservada"));
        QCOMPARE(met(10, 10), 0);
        stays.post();
        QCOMPARE(met(10, 10), 1);
        QCOMPARE(met(1, 30), 2);

        // A longer stay is found on its new days and no more on none.
        stays.edit();
        stays.setValue(QStringLiteral("FechaEgreso"), DateTimes::make(QDate(2014, 4, 20)));
        QCOMPARE(met(15, 15), 0); // not before the post
        stays.post();
        QCOMPARE(met(15, 15), 1);
        QCOMPARE(met(21, 30), 0);

        // A change rolled back takes the index back with it.
        try {
            Database::Transaction t(m_dm->Cnx);
            stays.edit();
            stays.setValue(QStringLiteral("FechaIngreso"), DateTimes::make(QDate(2014, 4, 25)));
            stays.setValue(QStringLiteral("FechaEgreso"), DateTimes::make(QDate(2014, 4, 26)));
            stays.post();
            QCOMPARE(met(25, 25), 1);
            throw DataError(QStringLiteral("abandoned"));
        } catch (const DataError &) {
        }
        QCOMPARE(met(25, 25), 0);
        QCOMPARE(met(15, 15), 1);

        stays.remove();
        QCOMPARE(met(15, 15), 0);
        QCOMPARE(met(1, 30), 1);

        // Reopening reads the file afresh.
        m_db->addStay(ana, room, QStringLiteral("2014-04-28"), QStringLiteral("2014-04-29"), QStringLiteral("Reservada"));
        stays.close();
        VERIFY_DATA_ERROR(met(1, 30), QStringLiteral("TEstadias: Cannot perform this operation on a closed dataset"));
        stays.open();
        QCOMPARE(met(1, 30), 2);
        VERIFY_DATA_ERROR(stays.forEachInRange(QStringLiteral("FechaEgreso"), room, QDate(2014, 4, 1),
                                               QDate(2014, 4, 2), [](const Cursor::RowRef &) {}),
                          QStringLiteral("TEstadias: No range index on field 'FechaEgreso'"));
    }

    void signalsArriveInOrder()
    {
        m_db->addGuest(QStringLiteral("Ana"));
        m_db->addGuest(QStringLiteral("Beto"));
        openModule();
        Cursor &c = *m_dm->THuespedes;
        QStringList log;
        connect(&c, &Cursor::stateChanged, this, [&] { log << QStringLiteral("state"); });
        connect(&c, &Cursor::currentChanged, this, [&] {
            // The new current record is readable when the signal arrives.
            log << QStringLiteral("current:") + c.fieldByName(QStringLiteral("Nombre")).asString();
        });
        connect(&c, &Cursor::rowInserted, this, [&](int row) { log << QStringLiteral("inserted:%1").arg(row); });
        connect(&c, &Cursor::rowRemoved, this, [&](int row) { log << QStringLiteral("removed:%1").arg(row); });
        c.next();
        c.append();
        c.cancel();
        QCOMPARE(log, QStringList({"current:Beto", "inserted:2", "state", "current:", "removed:2", "state",
                                   "current:Beto"}));
    }

    // A walk over many rows: the bound controls hear of the record it ends on
    // once, details follow every move, and an error of a control still arrives.
    void walksWithControlsDisabled()
    {
        const qint64 type = m_db->addRoomType(QStringLiteral("Doble"), money("80"));
        const qint64 room = m_db->addRoom(QStringLiteral("101"), type);
        const qint64 ana = m_db->addGuest(QStringLiteral("Ana"));
        m_db->addGuest(QStringLiteral("Beto"));
        m_db->addGuest(QStringLiteral("Carla"));
        const qint64 cafe = m_db->addService(QStringLiteral("Café"), money("2.5"));
        for (int i = 0; i < 3; ++i) {
            const qint64 stay = m_db->addStay(ana, room, QStringLiteral("2014-04-0%1").arg(2 * i + 1),
                                              QStringLiteral("2014-04-0%1").arg(2 * i + 2), QStringLiteral("Ocupada"));
            for (int k = 0; k <= i; ++k)
                m_db->addConsumption(stay, cafe, 1, money("2.5"), QStringLiteral("2014-04-0%1 0%2:00:00").arg(2 * i + 1).arg(k));
        }
        openModule();
        Cursor &c = *m_dm->THuespedes;
        QStringList log;
        connect(&c, &Cursor::currentChanged, this,
                [&] { log << c.fieldByName(QStringLiteral("Nombre")).asString(); });

        {
            Cursor::ControlsDisabled outer(c);
            {
                Cursor::ControlsDisabled inner(c);
                for (c.first(); !c.atEnd(); c.next()) {
                }
            }
            QVERIFY(log.isEmpty()); // the outer walk is still under way
        }
        QCOMPARE(log, QStringList({"Carla"}));
        QCOMPARE(c.recNo(), 2);

        log.clear();
        {
            Cursor::ControlsDisabled quiet(c);
            c.checkBrowseMode();
        }
        QVERIFY(log.isEmpty()); // nothing moved, nothing announced

        // Details follow every move of a quiet walk.
        Cursor &stays = *m_dm->TEstadias;
        QList<int> counts;
        {
            Cursor::ControlsDisabled quiet(stays);
            for (stays.first(); !stays.atEnd(); stays.next())
                counts << m_dm->TConsumosDeServicios->recordCount();
        }
        QCOMPARE(counts, QList<int>({1, 2, 3}));

        // A control's error at the end of the walk reaches the caller; an error
        // that ends the walk early is the one that arrives, and the control
        // still hears of the move.
        const auto refuse =
            connect(&c, &Cursor::currentChanged, this, [] { throw DataError(QStringLiteral("control")); });
        log.clear();
        QString caught;
        try {
            Cursor::ControlsDisabled quiet(c);
            c.first();
        } catch (const DataError &e) {
            caught = e.message();
        }
        QCOMPARE(caught, QStringLiteral("control"));
        log.clear();
        try {
            Cursor::ControlsDisabled quiet(c);
            c.next();
            throw DataError(QStringLiteral("walk"));
        } catch (const DataError &e) {
            caught = e.message();
        }
        QCOMPARE(caught, QStringLiteral("walk"));
        QCOMPARE(log, QStringList({"Beto"}));
        disconnect(refuse);
    }
};

QTEST_GUILESS_MAIN(TestCursor)
#include "tst_cursor.moc"
