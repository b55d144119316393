#include "DateTimes.h"
#include "Regional.h"
#include "RowLoader.h"
#include "RowStore.h"
#include "TestDatabase.h"
#include "TestSupport.h"
#include "UDM.h"

#include <QTest>

#include <algorithm>

// How rows come into memory: the compact store keeps every value exactly, and
// reading through SQLite's own statements gives the same rows as reading
// through Qt SQL.
class TestRowLoading : public QObject
{
    Q_OBJECT

private:
    // Every row of a cursor, each value with its type.
    static QStringList dump(Cursor &c)
    {
        QStringList out;
        for (int row = 0; row < c.recordCount(); ++row) {
            QStringList values;
            for (int f = 0; f < c.fieldCount(); ++f) {
                const QVariant v = c.valueAt(row, c.field(f));
                values << QStringLiteral("%1:%2").arg(QString::fromLatin1(v.typeName()),
                                                      v.metaType().id() == QMetaType::QByteArray
                                                          ? QString::fromLatin1(v.toByteArray().toHex())
                                                          : Field::plainText(v));
            }
            out << values.join(u'|');
        }
        return out;
    }

private slots:
    void initTestCase()
    {
        Regional::setSettings(spanishSettings());
    }

    void storeKeepsValues_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QVariant>("expected");
        using K = Field::Kind;
        const auto n = [](qlonglong v) { return QVariant::fromValue(v); };
        const auto m = [](qint64 raw) { return QVariant::fromValue(Money::fromRaw(raw)); };
        const QVariant null;
        QTest::newRow("null") << int(K::Integer) << null << null;
        QTest::newRow("whole number") << int(K::Integer) << n(-2147483648LL) << n(-2147483648LL);
        QTest::newRow("64-bit extreme") << int(K::AutoKey) << n(std::numeric_limits<qint64>::max())
                                        << n(std::numeric_limits<qint64>::max());
        QTest::newRow("small int given as int") << int(K::SmallInt) << QVariant(-32768) << n(-32768);
        QTest::newRow("money") << int(K::Money) << m(12345000) << m(12345000);
        QTest::newRow("money extreme") << int(K::Money) << m(std::numeric_limits<qint64>::min())
                                       << m(std::numeric_limits<qint64>::min());
        QTest::newRow("money from text") << int(K::Money) << QVariant(QStringLiteral("12.5")) << m(125000);
        QTest::newRow("date-time") << int(K::DateTime) << QVariant(DateTimes::make(QDate(2026, 3, 29), QTime(2, 30)))
                                   << QVariant(DateTimes::make(QDate(2026, 3, 29), QTime(2, 30)));
        QTest::newRow("date-time before the epoch")
            << int(K::DateTime) << QVariant(DateTimes::make(QDate(1899, 12, 30), QTime(23, 59, 59)))
            << QVariant(DateTimes::make(QDate(1899, 12, 30), QTime(23, 59, 59)));
        QTest::newRow("a day") << int(K::DateTime) << QVariant(QDate(2014, 4, 5))
                               << QVariant(DateTimes::make(QDate(2014, 4, 5)));
        QTest::newRow("text") << int(K::Text) << QVariant(QStringLiteral("Íñigo 漢字 😀"))
                              << QVariant(QStringLiteral("Íñigo 漢字 😀"));
        QTest::newRow("empty text is not null") << int(K::Text) << QVariant(QStringLiteral(""))
                                                << QVariant(QStringLiteral(""));
        QTest::newRow("number as text") << int(K::Memo) << n(42) << QVariant(QStringLiteral("42"));
        QTest::newRow("bytes") << int(K::Blob) << QVariant(QByteArray("\0\1\2", 3)) << QVariant(QByteArray("\0\1\2", 3));
    }

    void storeKeepsValues()
    {
        QFETCH(int, kind);
        QFETCH(QVariant, value);
        QFETCH(QVariant, expected);
        RowStore store;
        store.setColumns({Field::Kind::Integer, Field::Kind(kind)}, {false, true});
        RowStore::RowPtr row = store.newRow();
        QVERIFY(RowStore::isNull(*row, 1));
        RowStore::setNumber(*row, 0, 7);
        RowStore::setValue(*row, 1, value);
        const QVariant back = RowStore::value(*row, 1);
        QCOMPARE(back.metaType(), expected.metaType());
        QCOMPARE(back, expected);
        QCOMPARE(RowStore::isNull(*row, 1), !expected.isValid());
        // The neighbour is untouched; a second write replaces the first.
        QCOMPARE(RowStore::value(*row, 0), QVariant::fromValue<qlonglong>(7));
        RowStore::setValue(*row, 1, QVariant());
        QVERIFY(!RowStore::value(*row, 1).isValid());
        RowStore::setValue(*row, 1, value);
        QCOMPARE(RowStore::value(*row, 1), expected);
    }

    // Date-times read from the file's bytes give what the canonical reading
    // of their text gives, valid or not.
    void dateTimesFromBytes_data()
    {
        QTest::addColumn<QString>("text");
        for (const char *t : {"2014-04-05 10:20:30", "1970-01-01 00:00:00", "1969-12-31 23:59:59", "0001-01-01 00:00:00",
                              "9999-12-31 23:59:59", "2000-02-29 12:00:00", "2024-02-29 00:00:00", "1900-02-28 00:00:00",
                              "1600-03-01 00:00:00"})
            QTest::newRow(t) << QString::fromLatin1(t);
        for (const char *t : {"2013-02-29 00:00:00", "1900-02-29 00:00:00", "0000-01-01 00:00:00", "2014-13-01 00:00:00",
                              "2014-04-31 00:00:00", "2014-04-05 24:00:00", "2014-04-05 10:60:00", "2014-04-05 10:00:60",
                              "2014-04-05T10:00:00", "2014-04-05", "2014-4-05 10:00:00", "2014-04-05 10:00:0x",
                              "-014-04-05 10:00:00", "2014-04-05 10:00:00 "})
            QTest::newRow(t) << QString::fromLatin1(t);
    }

    void dateTimesFromBytes()
    {
        QFETCH(QString, text);
        const auto expected = DateTimes::fromCanonical(text);
        const auto got = DateTimes::canonicalMSecs(text.toLatin1());
        QCOMPARE(got.has_value(), expected.has_value());
        if (expected)
            QCOMPARE(*got, expected->toMSecsSinceEpoch());
    }

    // Rows outlive their store (a transaction's undo keeps them), texts of a
    // shared column are kept once, and UTF-8 is decoded straight into place.
    void rowsOutliveTheStoreAndTextsAreShared()
    {
        RowStore::RowPtr kept;
        {
            RowStore store;
            store.setColumns({Field::Kind::Text, Field::Kind::Text}, {true, false});
            RowStore::RowPtr a = store.newRow(), b = store.newRow();
            RowStore::setTextUtf8(*a, 0, "Ocupada");
            RowStore::setText(*b, 0, u"Ocupada");
            RowStore::setTextUtf8(*a, 1, "Ocupada");
            RowStore::setTextUtf8(*b, 1, QByteArrayView("\xc3\x81lvarez"));
            QCOMPARE(RowStore::text(*a, 0).utf16(), RowStore::text(*b, 0).utf16());
            QVERIFY(RowStore::text(*a, 1).utf16() != RowStore::text(*a, 0).utf16());
            QCOMPARE(RowStore::text(*b, 1), u"Álvarez");
            kept = std::move(b);
        }
        QCOMPARE(RowStore::value(*kept, 0).toString(), QStringLiteral("Ocupada"));
        QCOMPARE(RowStore::value(*kept, 1).toString(), QStringLiteral("Álvarez"));
    }

    // A store whose rows come and go (a detail read per master, its oldest
    // masters let go) holds the rows it has, not every row it ever read: the
    // place of a row gone serves the next, which starts with every cell null.
    void rowsGoneMakeRoomForNewOnes()
    {
        RowStore store;
        store.setColumns({Field::Kind::Integer, Field::Kind::Money, Field::Kind::DateTime});
        std::vector<RowStore::RowPtr> held;
        for (int i = 0; i < 8; ++i) {
            held.push_back(store.newRow());
            RowStore::setNumber(*held.back(), 0, i);
            RowStore::setNumber(*held.back(), 1, 25000);
        }
        std::vector<const RowStore::Row *> places;
        for (const auto &r : held)
            places.push_back(r.get());
        // Many rounds of letting four rows go and reading four others.
        for (int round = 0; round < 1000; ++round) {
            held.erase(held.begin(), held.begin() + 4);
            for (int i = 0; i < 4; ++i) {
                RowStore::RowPtr row = store.newRow();
                QVERIFY(std::find(places.begin(), places.end(), row.get()) != places.end());
                QVERIFY(RowStore::isNull(*row, 0) && RowStore::isNull(*row, 1) && RowStore::isNull(*row, 2));
                RowStore::setNumber(*row, 0, 100 + round);
                held.push_back(std::move(row));
            }
        }
        QCOMPARE(RowStore::number(*held.back(), 0), qint64(1099));
        QCOMPARE(RowStore::number(*held.front(), 0), qint64(1098));
    }

    void directAndQtSqlReadTheSame()
    {
        TestDatabase db;
        QVERIFY(db.isValid());
        const qint64 type = db.addRoomType(QStringLiteral("Suite «Real» con un nombre largo"), money("1234.5678"), 4);
        db.exec(QStringLiteral("UPDATE TiposDeHabitacion SET Foto = ?, Comodidades = ? WHERE IdTipo = ?"),
                {QByteArray("\x89PNG\0\1", 6), QStringLiteral("línea 1\nlínea 2"), type});
        const qint64 bare = db.addRoomType(QString(), Money(), 1);
        const qint64 room9 = db.addRoom(QStringLiteral("9"), type, 1, QStringLiteral("Mar"));
        const qint64 room10 = db.addRoom(QStringLiteral("10"), bare, -3, QStringLiteral("Ciudad"));
        const qint64 ana = db.addGuest(QStringLiteral("Álvarez, Ana 漢字 😀"), QStringLiteral("30.123.456"));
        const qint64 empty = db.addGuest(QStringLiteral(""));
        db.exec(QStringLiteral("INSERT INTO Huespedes (Nombre) VALUES (NULL)"));
        const qint64 spa = db.addService(QStringLiteral("Spa"), Money::fromRaw(std::numeric_limits<qint64>::max()));
        db.addService(QStringLiteral("Deuda"), Money::fromRaw(std::numeric_limits<qint64>::min()));
        const qint64 s1 = db.addStay(ana, room9, QStringLiteral("1899-12-30"), QStringLiteral("2099-12-31"),
                                     QStringLiteral("Ocupada"), money("0.0001"));
        const qint64 s2 = db.addStay(empty, room10, QStringLiteral("2014-04-05"), QStringLiteral("2014-04-05"),
                                     QStringLiteral("Facturada"));
        // Only what the database requires of a stay: its room and days.
        db.exec(QStringLiteral("INSERT INTO Estadias (IdHabitacion, FechaIngreso, FechaEgreso) VALUES (?, ?, ?)"),
                {room10, QStringLiteral("2020-01-01 00:00:00"), QStringLiteral("2020-01-02 00:00:00")});
        db.addConsumption(s1, spa, 2147483647, money("-1"), QStringLiteral("2014-04-05 23:59:59"));
        db.addConsumption(s1, spa, 1, money("1"), QStringLiteral("2014-04-05 00:00:00"));
        db.addConsumption(s2, spa, 3, money("3"), QStringLiteral("2014-04-05 12:00:00"));
        db.exec(QStringLiteral("INSERT INTO ConsumoDeServicios (IdEstadia) VALUES (?)"), {s2});

        TDM direct(db.target());
        direct.DataModuleCreate();
        TDM viaQt(db.target());
        viaQt.Cnx.setDirectReadsAllowed(false);
        viaQt.DataModuleCreate();
        QVERIFY(direct.Cnx.loader().isDirect());
        QVERIFY(!viaQt.Cnx.loader().isDirect());
        const QList<Cursor *> a = {direct.THuespedes, direct.TTiposDeHabitacion, direct.THabitaciones,
                                   direct.TServicios, direct.TEstadias};
        const QList<Cursor *> b = {viaQt.THuespedes, viaQt.TTiposDeHabitacion, viaQt.THabitaciones,
                                   viaQt.TServicios, viaQt.TEstadias};
        for (qsizetype i = 0; i < a.size(); ++i) {
            QVERIFY(a[i]->recordCount() > 1);
            QCOMPARE(dump(*a[i]), dump(*b[i]));
        }
        // A name never given and an empty name stay apart, nulls first.
        const Field &name = direct.THuespedes->fieldByName(QStringLiteral("Nombre"));
        QVERIFY(!direct.THuespedes->valueAt(0, name).isValid());
        QCOMPARE(direct.THuespedes->valueAt(1, name), QVariant(QStringLiteral("")));
        QCOMPARE(direct.THuespedes->valueAt(1, direct.THuespedes->fieldByName(QStringLiteral("IdHuesped"))).toLongLong(),
                 empty);
        for (int stay = 0; stay < direct.TEstadias->recordCount(); ++stay) {
            direct.TEstadias->moveTo(stay);
            viaQt.TEstadias->moveTo(stay);
            QCOMPARE(dump(*direct.TConsumosDeServicios), dump(*viaQt.TConsumosDeServicios));
        }
        direct.TEstadias->first();
        QCOMPARE(direct.TConsumosDeServicios->recordCount(), 2);
    }
};

QTEST_GUILESS_MAIN(TestRowLoading)
#include "tst_rowloading.moc"
