#include "BoundEdit.h"
#include "DataGrid.h"
#include "RecordNavigator.h"
#include "Startup.h"
#include "TestDatabase.h"
#include "UDM.h"
#include "UHuespedes.h"
#include "UPrincipal.h"
#include "WindowTest.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QTest>

// The guests window over a fresh database, opened as the main menu opens it.
class TestHuespedes : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestDatabase> m_db;

    static QStringList shownNames()
    {
        QStringList out;
        for (int r = 0; r < FHuespedes->DBGrid1->rowCount(); ++r)
            out << FHuespedes->DBGrid1->cellText(r, 0);
        return out;
    }

    static bool browsing()
    {
        return FHuespedes->pnlOperaciones->isVisibleTo(FHuespedes) && !FHuespedes->pnlEdiciones->isVisibleTo(FHuespedes)
               && FHuespedes->DBGrid1->isEnabled();
    }

    static bool editing()
    {
        return !FHuespedes->pnlOperaciones->isVisibleTo(FHuespedes) && FHuespedes->pnlEdiciones->isVisibleTo(FHuespedes)
               && !FHuespedes->DBGrid1->isEnabled();
    }

private slots:
    void initTestCase() { Startup::configure(*static_cast<QApplication *>(QCoreApplication::instance())); }

    void init()
    {
        m_db = std::make_unique<TestDatabase>();
        for (const char *n : {"Carla Ruiz", "Mariana Sosa", "Ana Martínez", "O'Brien, Arturo", "Beto Díaz"})
            m_db->addGuest(QString::fromUtf8(n));
        Startup::createAll(m_db->target());
    }

    void cleanup()
    {
        Startup::destroyAll();
        m_db.reset();
    }

    void layout()
    {
        QCOMPARE(FHuespedes->windowTitle(), QStringLiteral("Administración de Huéspedes"));
        QCOMPARE(FHuespedes->size(), QSize(569, 324));
        QCOMPARE(FHuespedes->pnlOperaciones->height(), 56);
        QCOMPARE(FHuespedes->pnlEdiciones->height(), 99);
        QCOMPARE(FHuespedes->DBNavigator1->visibleButtons(), QList<int>({0, 1, 2, 3, 4, 5, 6}));
        QCOMPARE(FHuespedes->DBNavigator2->visibleButtons(), QList<int>({7, 8}));
        const QList<DataGrid::Column> expected = {
            {QStringLiteral("Nombre"), QStringLiteral("Nombre"), {}, Qt::AlignLeft, 174, true},
            {QStringLiteral("DNI"), QStringLiteral("DNI"), {}, Qt::AlignRight, 70, true},
            {QStringLiteral("Telefono"), QStringLiteral("Telefono"), {}, Qt::AlignHCenter, 118, true},
            {QStringLiteral("EMail"), QStringLiteral("Correo Electrónico"), {}, Qt::AlignLeft, 168, true},
        };
        QCOMPARE(FHuespedes->DBGrid1->columnCount(), 4);
        for (int i = 0; i < 4; ++i) {
            const DataGrid::Column c = FHuespedes->DBGrid1->column(i);
            QCOMPARE(c.title, expected[i].title);
            QCOMPARE(c.width, expected[i].width);
            QCOMPARE(c.cellAlignment & Qt::AlignHorizontal_Mask, expected[i].cellAlignment);
        }
        QVERIFY(FHuespedes->DBGrid1->isReadOnly());
        QCOMPARE(FHuespedes->DBEdit2->maxLength(), 8);
        QVERIFY(browsing());
    }

    void filter_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("fragment") << "ar" << QStringList({"Ana Martínez", "Carla Ruiz", "Mariana Sosa", "O'Brien, Arturo"});
        QTest::newRow("letter case") << "MAR" << QStringList({"Ana Martínez", "Mariana Sosa"});
        QTest::newRow("a quote") << "O'B" << QStringList({"O'Brien, Arturo"});
        QTest::newRow("a star is a letter") << "a*" << QStringList();
        QTest::newRow("nobody") << "zz" << QStringList();
    }

    void filter()
    {
        QFETCH(QString, typed);
        QFETCH(QStringList, shown);
        DialogAnswers answers;
        showModalAnd(FHuespedes, [&] {
            QTest::keyClicks(FHuespedes->edFiltro, typed);
            QCOMPARE(shownNames(), shown);
            if (!shown.isEmpty())
                QCOMPARE(DM->THuespedes->fieldByName(QStringLiteral("Nombre")).asString(), shown.first());
        });
        QVERIFY(answers.boxes().isEmpty());
        // The filter outlives the window.
        QCOMPARE(DM->THuespedes->recordCount(), shown.size());
        showModalAnd(FHuespedes, [] {
            FHuespedes->edFiltro->clear();
            QCOMPARE(shownNames().size(), 5);
            QCOMPARE(DM->THuespedes->recNo(), 0);
        });
    }

    void addingAGuest()
    {
        showModalAnd(FHuespedes, [] {
            FHuespedes->DBNavigator1->press(RecordNavigator::Insert);
            QVERIFY(editing());
            QCOMPARE(DM->THuespedes->state(), Cursor::State::Insert);
            FHuespedes->DBEdit1->setFocus();
            QTest::keyClicks(FHuespedes->DBEdit1, QStringLiteral("Zulema Paz"));
            QTest::keyClicks(FHuespedes->DBEdit2, QStringLiteral("1234567890"));
            QCOMPARE(FHuespedes->DBEdit2->text(), QStringLiteral("12345678"));
            FHuespedes->DBNavigator2->press(RecordNavigator::Post);
            QVERIFY(browsing());
        });
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT DNI FROM Huespedes WHERE Nombre = 'Zulema Paz'")).toString(),
                 QStringLiteral("12345678"));
        QCOMPARE(DM->THuespedes->fieldByName(QStringLiteral("Nombre")).asString(), QStringLiteral("Zulema Paz"));
    }

    void cancelAndEditOnEmpty()
    {
        showModalAnd(FHuespedes, [] {
            FHuespedes->DBNavigator1->press(RecordNavigator::Edit);
            QVERIFY(editing());
            FHuespedes->DBNavigator2->press(RecordNavigator::Cancel);
            QVERIFY(browsing());
            // Edit on an empty list starts a new guest.
            QTest::keyClicks(FHuespedes->edFiltro, QStringLiteral("nadie"));
            QCOMPARE(DM->THuespedes->recordCount(), 0);
            FHuespedes->DBNavigator1->press(RecordNavigator::Edit);
            QVERIFY(editing());
            QCOMPARE(DM->THuespedes->state(), Cursor::State::Insert);
            FHuespedes->DBNavigator2->press(RecordNavigator::Cancel);
            FHuespedes->edFiltro->clear();
        });
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT count(*) FROM Huespedes")).toInt(), 5);
    }

    void deleteAnsweredBothWays()
    {
        DialogAnswers answers({QStringLiteral("Cancel"), QStringLiteral("OK")});
        showModalAnd(FHuespedes, [] {
            FHuespedes->DBNavigator1->press(RecordNavigator::Delete);
            QVERIFY(browsing());
            QCOMPARE(DM->THuespedes->recordCount(), 5);
            FHuespedes->DBNavigator1->press(RecordNavigator::Delete);
            QCOMPARE(DM->THuespedes->recordCount(), 4);
        });
        QCOMPARE(answers.texts(), QStringList({"Delete record?", "Delete record?"}));
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT count(*) FROM Huespedes")).toInt(), 4);
    }

    void gridKeysChangeNothing()
    {
        DialogAnswers answers;
        showModalAnd(FHuespedes, [] {
            FHuespedes->DBGrid1->setFocus();
            QTest::keyClick(FHuespedes->DBGrid1, Qt::Key_Delete, Qt::ControlModifier);
            QTest::keyClick(FHuespedes->DBGrid1, Qt::Key_Insert);
            QTest::keyClicks(FHuespedes->DBGrid1, QStringLiteral("xy"));
        });
        QVERIFY(answers.boxes().isEmpty());
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT count(*) FROM Huespedes")).toInt(), 5);
        QCOMPARE(DM->THuespedes->state(), Cursor::State::Browse);
    }

    void pendingInsertSurvivesClosing()
    {
        showModalAnd(FHuespedes, [] {
            FHuespedes->DBNavigator1->press(RecordNavigator::Insert);
            FHuespedes->DBEdit1->setFocus();
            QTest::keyClicks(FHuespedes->DBEdit1, QStringLiteral("Pedro"));
            FHuespedes->DBEdit5->setFocus(); // the name is written on leaving its edit
        });
        QCOMPARE(DM->THuespedes->state(), Cursor::State::Insert);
        showModalAnd(FHuespedes, [] {
            QVERIFY(editing());
            QCOMPARE(FHuespedes->DBEdit1->text(), QStringLiteral("Pedro"));
            QCOMPARE(DM->THuespedes->state(), Cursor::State::Insert);
        });
        // Whatever moves the cursor next settles the pending guest: it has a name, so it is posted.
        DM->THuespedes->first();
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT count(*) FROM Huespedes WHERE Nombre = 'Pedro'")).toInt(), 1);
        showModalAnd(FHuespedes, [] {
            // The editing panel stays until the user posts or cancels.
            QVERIFY(editing());
            QCOMPARE(DM->THuespedes->state(), Cursor::State::Browse);
            QVERIFY(!FHuespedes->DBNavigator2->button(RecordNavigator::Post)->isEnabled());
            FHuespedes->DBNavigator2->press(RecordNavigator::Cancel);
            QVERIFY(browsing());
        });
    }

    void refusedPostKeepsEditing()
    {
        // Names are cut to their column while typed; the file refuses this one.
        if (m_db->isServer()) {
            m_db->exec(QStringLiteral("CREATE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
                                      "IF NEW.Nombre = 'Nadie' THEN RAISE EXCEPTION 'Nombre not taken'; END IF; "
                                      "RETURN NEW; END $$"));
            m_db->exec(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON Huespedes FOR EACH ROW "
                                      "EXECUTE FUNCTION refuse()"));
        } else {
            m_db->exec(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON Huespedes WHEN NEW.Nombre = 'Nadie' "
                                      "BEGIN SELECT RAISE(ABORT, 'Nombre not taken'); END"));
        }
        DialogAnswers answers({QStringLiteral("OK")});
        showModalAnd(FHuespedes, [] {
            FHuespedes->DBNavigator1->press(RecordNavigator::Insert);
            FHuespedes->DBEdit1->setFocus();
            QTest::keyClicks(FHuespedes->DBEdit1, QStringLiteral("Nadie"));
            FHuespedes->DBNavigator2->press(RecordNavigator::Post);
            QVERIFY(editing());
            QCOMPARE(DM->THuespedes->state(), Cursor::State::Insert);
            FHuespedes->DBNavigator2->press(RecordNavigator::Cancel);
        });
        QCOMPARE(answers.texts(), QStringList({"Nombre not taken."}));
    }
};

QTEST_MAIN(TestHuespedes)
#include "tst_huespedes.moc"
