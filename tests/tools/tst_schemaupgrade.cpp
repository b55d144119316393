#include "DataError.h"
#include "DatabaseFactory.h"
#include "Schema.h"
#include "SchemaScript.h"
#include "SchemaUpgrade.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>

namespace {

// Runs statements on the file through a connection of its own, closed at once.
class Connection
{
public:
    explicit Connection(const QString &path)
        : m_name(QStringLiteral("check-") + QUuid::createUuid().toString(QUuid::WithoutBraces))
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        db.setDatabaseName(path);
        db.open();
    }
    ~Connection()
    {
        QSqlDatabase::database(m_name, false).close();
        QSqlDatabase::removeDatabase(m_name);
    }
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    bool exec(const QString &sql)
    {
        QSqlQuery q(QSqlDatabase::database(m_name, false));
        if (!q.exec(sql)) {
            qWarning("%s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
            return false;
        }
        return true;
    }

    // Every row of a query, columns joined by '|', rows by '\n'.
    QString rows(const QString &sql)
    {
        QSqlQuery q(QSqlDatabase::database(m_name, false));
        if (!q.exec(sql))
            return QStringLiteral("error: ") + q.lastError().text();
        QStringList out;
        while (q.next()) {
            QStringList values;
            for (int i = 0; i < q.record().count(); ++i)
                values << (q.value(i).isNull() ? QStringLiteral("NULL") : q.value(i).toString());
            out << values.join(u'|');
        }
        return out.join(u'\n');
    }

    // The schema objects and every row of every table but `except`: what must
    // not change.
    QString everything(const QString &except = QString())
    {
        // The object and what belongs to it (its triggers carry its name).
        const QString others = except.isEmpty() ? QStringLiteral("WHERE 1")
                                                : QStringLiteral("WHERE instr(name, '%1') = 0").arg(except);
        QString out = rows(QStringLiteral("SELECT type, name, sql FROM sqlite_master %1 ORDER BY type, name").arg(others));
        const QStringList tables =
            rows(QStringLiteral("SELECT name FROM sqlite_master %1 AND type = 'table' ORDER BY name").arg(others))
                .split(u'\n');
        for (const QString &t : tables)
            out += u'\n' + t + u'\n' + rows(QStringLiteral("SELECT * FROM \"%1\" ORDER BY rowid").arg(t));
        return out;
    }

private:
    QString m_name;
};

const QString OldSchema = QStringLiteral(R"(
CREATE TABLE A (
    IdA INTEGER PRIMARY KEY AUTOINCREMENT,
    -- a comment, with a comma (and parentheses)
    Nombre VARCHAR(10) CONSTRAINT "Nombre, short" CHECK (Nombre IS NULL OR length(Nombre) <= 10)
);
CREATE TABLE Otra (Id INTEGER PRIMARY KEY, Texto TEXT);
)");

// The old schema plus a column, a table, an index, a view and a trigger.
const QString NewSchema = QStringLiteral(R"(
PRAGMA journal_mode = WAL;
CREATE TABLE A (
    IdA INTEGER PRIMARY KEY AUTOINCREMENT,
    -- a comment, with a comma (and parentheses)
    Nombre VARCHAR(10) CONSTRAINT "Nombre, short" CHECK (Nombre IS NULL OR length(Nombre) <= 10),
    "Nota Larga" VARCHAR(20)
        CONSTRAINT "Nota, at most 20" CHECK ("Nota Larga" IS NULL OR length("Nota Larga") <= 20),
    IdB INTEGER REFERENCES B (IdB),
    CONSTRAINT "a table rule" CHECK (IdA > 0)
);
CREATE TABLE B (
    IdB INTEGER PRIMARY KEY,
    Valor INTEGER CONSTRAINT "Valor, positive" CHECK (Valor IS NULL OR Valor > 0)
);
CREATE TABLE Otra (Id INTEGER PRIMARY KEY, Texto TEXT);
CREATE INDEX ixANombre ON A (Nombre);
CREATE VIEW VNombres AS SELECT Nombre FROM A;
CREATE TRIGGER trBSinCero BEFORE INSERT ON B WHEN NEW.Valor = 0 BEGIN SELECT RAISE(ABORT, 'cero'); END;
)");

} // namespace

// Bringing a file made by an earlier version up to the schema: what it lacks is
// added in one transaction, nothing it holds is touched.
class TestSchemaUpgrade : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString fileFrom(const QString &schema, const QStringList &rows = {})
    {
        const QString path = m_dir.filePath(QUuid::createUuid().toString(QUuid::WithoutBraces) + QStringLiteral(".db"));
        Connection c(path);
        for (const QString &statement : SchemaScript::statements(schema) + rows)
            if (!c.exec(statement))
                return QString();
        return path;
    }

    static QByteArray bytes(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private slots:
    // Every table of the program's schema: its definitions name exactly its
    // columns, in order, with comments, quotes and nested commas handled.
    void definitionsOfTheSchema()
    {
        const QString memory = QStringLiteral("schema-check");
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), memory);
        db.setDatabaseName(QStringLiteral(":memory:"));
        QVERIFY(db.open());
        int tables = 0;
        {
            QSqlQuery q(db);
            for (const QString &statement : SchemaScript::statements(SchemaScript::text())) {
                QVERIFY2(q.exec(statement), qPrintable(q.lastError().text()));
                if (!statement.startsWith(QStringLiteral("CREATE TABLE")))
                    continue;
                ++tables;
                const QString table = statement.section(u' ', 2, 2);
                QStringList columns;
                for (const QString &d : SchemaScript::tableDefinitions(statement))
                    if (!SchemaScript::definedColumn(d).isEmpty())
                        columns << SchemaScript::definedColumn(d);
                QSqlQuery info(db);
                QVERIFY(info.exec(QStringLiteral("SELECT name FROM pragma_table_info('%1') ORDER BY cid").arg(table)));
                QStringList actual;
                while (info.next())
                    actual << info.value(0).toString();
                QCOMPARE(columns, actual);
            }
        }
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(memory);
        QCOMPARE(tables, int(Schema::tables().size()));
    }

    void definitions_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("definitions");
        QTest::addColumn<QStringList>("columns");
        QTest::newRow("plain") << "CREATE TABLE T (a INTEGER, b TEXT)" << QStringList{"a INTEGER", "b TEXT"}
                               << QStringList{"a", "b"};
        QTest::newRow("nested") << "CREATE TABLE T (a NUMERIC(10, 2) CHECK (a IN (1, 2)), b)"
                                << QStringList{"a NUMERIC(10, 2) CHECK (a IN (1, 2))", "b"} << QStringList{"a", "b"};
        QTest::newRow("quotes") << "CREATE TABLE T (\"x, y\" TEXT DEFAULT 'a, (b', [c d] INT, `e` INT)"
                                << QStringList{"\"x, y\" TEXT DEFAULT 'a, (b'", "[c d] INT", "`e` INT"}
                                << QStringList{"x, y", "c d", "e"};
        QTest::newRow("comments") << "CREATE TABLE T ( -- one, (two\n a INT /* b, c) */, d INT)"
                                  << QStringList{"a INT", "d INT"} << QStringList{"a", "d"};
        QTest::newRow("table rules") << "CREATE TABLE T (a INT, PRIMARY KEY (a), CONSTRAINT k CHECK (a > 0), "
                                        "UNIQUE (a), FOREIGN KEY (a) REFERENCES U (b), CHECK (a < 9))"
                                     << QStringList{"a INT", "PRIMARY KEY (a)", "CONSTRAINT k CHECK (a > 0)",
                                                    "UNIQUE (a)", "FOREIGN KEY (a) REFERENCES U (b)", "CHECK (a < 9)"}
                                     << QStringList{"a", "", "", "", "", ""};
    }

    void definitions()
    {
        QFETCH(QString, sql);
        QFETCH(QStringList, definitions);
        QFETCH(QStringList, columns);
        QCOMPARE(SchemaScript::tableDefinitions(sql), definitions);
        QStringList named;
        for (const QString &d : definitions)
            named << SchemaScript::definedColumn(d);
        QCOMPARE(named, columns);
    }

    // A file made before the hotel's own data existed gains its table, with
    // the schema's own definition; every row stays; a second run adds nothing.
    void hotelFileMadeEarlier()
    {
        const QString path = m_dir.filePath(QStringLiteral("Hotel.db"));
        DatabaseFactory::createDemo(path, QDate(2024, 6, 12));
        {
            Connection c(path);
            QVERIFY(c.exec(QStringLiteral("DROP TABLE DatosDelHotel")));
        }
        QString before;
        {
            Connection c(path);
            before = c.everything();
        }
        // Its change-log triggers went with the table.
        QCOMPARE(SchemaUpgrade::upgrade(path),
                 (QStringList{"table DatosDelHotel", "trigger trDatosDelHotelAlta", "trigger trDatosDelHotelCambio",
                              "trigger trDatosDelHotelBaja"}));

        const QString fresh = m_dir.filePath(QStringLiteral("Fresh.db"));
        DatabaseFactory::createEmpty(fresh);
        QString expectedSql;
        {
            Connection c(fresh);
            expectedSql = c.rows(QStringLiteral("SELECT sql FROM sqlite_master WHERE name = 'DatosDelHotel'"));
        }
        Connection c(path);
        QCOMPARE(c.rows(QStringLiteral("SELECT sql FROM sqlite_master WHERE name = 'DatosDelHotel'")), expectedSql);
        QCOMPARE(c.rows(QStringLiteral("SELECT count(*) FROM DatosDelHotel")), QStringLiteral("0"));
        // Nothing else changed, rows included.
        QCOMPARE(c.everything(QStringLiteral("DatosDelHotel")), before);
        QCOMPARE(c.rows(QStringLiteral("PRAGMA integrity_check")), QStringLiteral("ok"));
        QCOMPARE(SchemaUpgrade::upgrade(path), QStringList());
    }

    // Columns, tables, indexes, views and triggers the file lacks, in an order
    // the engine can make them; rows keep their values, new columns are empty.
    void everyKindOfAddition()
    {
        const QString path = fileFrom(OldSchema, {QStringLiteral("INSERT INTO A (Nombre) VALUES ('uno')"),
                                                  QStringLiteral("INSERT INTO A (Nombre) VALUES ('dos')"),
                                                  QStringLiteral("INSERT INTO Otra VALUES (7, 'siete')")});
        QVERIFY(!path.isEmpty());
        QCOMPARE(SchemaUpgrade::upgrade(path, NewSchema),
                 (QStringList{"table B", "column A.Nota Larga", "column A.IdB", "index ixANombre", "view VNombres",
                              "trigger trBSinCero"}));
        Connection c(path);
        QCOMPARE(c.rows(QStringLiteral("SELECT IdA, Nombre, \"Nota Larga\", IdB FROM A ORDER BY IdA")),
                 QStringLiteral("1|uno|NULL|NULL\n2|dos|NULL|NULL"));
        QCOMPARE(c.rows(QStringLiteral("SELECT * FROM Otra")), QStringLiteral("7|siete"));
        QCOMPARE(c.rows(QStringLiteral("SELECT * FROM VNombres ORDER BY 1")), QStringLiteral("dos\nuno"));
        // The added column keeps its rule; the trigger works; the index exists.
        QVERIFY(!c.exec(QStringLiteral("UPDATE A SET \"Nota Larga\" = '123456789012345678901'")));
        QVERIFY(c.exec(QStringLiteral("UPDATE A SET \"Nota Larga\" = 'corta' WHERE IdA = 1")));
        QVERIFY(!c.exec(QStringLiteral("INSERT INTO B VALUES (1, 0)")));
        QVERIFY(c.exec(QStringLiteral("INSERT INTO B VALUES (1, 5)")));
        QCOMPARE(c.rows(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name = 'ixANombre'")), QStringLiteral("1"));
        QCOMPARE(SchemaUpgrade::upgrade(path, NewSchema), QStringList());
    }

    // An object of the same name that differs is left as the file has it.
    void sameNameIsLeftAlone()
    {
        const QString path = fileFrom(OldSchema + QStringLiteral("CREATE INDEX ixANombre ON A (IdA, Nombre);\n"));
        QVERIFY(!path.isEmpty());
        const QStringList added = SchemaUpgrade::upgrade(path, NewSchema);
        QVERIFY(!added.contains(QStringLiteral("index ixANombre")));
        Connection c(path);
        QCOMPARE(c.rows(QStringLiteral("SELECT sql FROM sqlite_master WHERE name = 'ixANombre'")),
                 QStringLiteral("CREATE INDEX ixANombre ON A (IdA, Nombre)"));
    }

    // Refusals leave the file exactly as it was, even when part of the work
    // had been done: a missing file is not made, another program's database is
    // not changed, an addition the rows cannot take undoes the others.
    void refusals_data()
    {
        QTest::addColumn<QString>("file");   // "missing", "foreign", "rows refuse", "junk"
        QTest::addColumn<QString>("message"); // the start of the error

        QTest::newRow("missing file") << "missing" << "Could not find file";
        QTest::newRow("another program's database") << "foreign" << "'FILE' is not a hotel database";
        QTest::newRow("not a database") << "junk" << "file is not a database";
        QTest::newRow("rows refuse a column") << "rows refuse"
                                               << "Could not add column A.Obligatoria: Cannot add a NOT NULL column";
    }

    void refusals()
    {
        QFETCH(QString, file);
        QFETCH(QString, message);
        QString schema = NewSchema;
        QString path;
        if (file == u"missing") {
            path = m_dir.filePath(QStringLiteral("missing.db"));
        } else if (file == u"foreign") {
            path = fileFrom(QStringLiteral("CREATE TABLE Historial (url TEXT);"),
                            {QStringLiteral("INSERT INTO Historial VALUES ('x')")});
        } else if (file == u"junk") {
            path = m_dir.filePath(QStringLiteral("junk.db"));
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(4096, 'x'));
        } else {
            path = fileFrom(OldSchema, {QStringLiteral("INSERT INTO A (Nombre) VALUES ('uno')")});
            // B is made first, then this column cannot be added: nothing stays.
            schema.replace(QStringLiteral("IdB INTEGER REFERENCES B (IdB),"),
                           QStringLiteral("IdB INTEGER REFERENCES B (IdB),\n    Obligatoria INTEGER NOT NULL,"));
        }
        QVERIFY(!path.isEmpty());
        const QByteArray before = bytes(path);
        const QStringList filesBefore = QDir(m_dir.path()).entryList(QDir::Files);
        QString error;
        try {
            SchemaUpgrade::upgrade(path, schema);
        } catch (const DataError &e) {
            error = e.message();
        }
        const QString expected = QString(message).replace(QStringLiteral("FILE"), QDir::toNativeSeparators(path));
        QVERIFY2(error.startsWith(expected), qPrintable(error));
        QCOMPARE(bytes(path), before);
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files), filesBefore);
        if (file == u"rows refuse") {
            Connection c(path);
            QCOMPARE(c.rows(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name = 'B'")), QStringLiteral("0"));
        }
    }
};

QTEST_GUILESS_MAIN(TestSchemaUpgrade)
#include "tst_schemaupgrade.moc"
