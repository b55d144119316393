#include "BoundEdit.h"
#include "DataGrid.h"
#include "RecordNavigator.h"
#include "Regional.h"
#include "Startup.h"
#include "TestDatabase.h"
#include "TestSupport.h"
#include "UDM.h"
#include "UPrincipal.h"
#include "UServicios.h"
#include "WindowTest.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLayout>
#include <QTest>

// The services window over a fresh database with four services.
class TestServicios : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestDatabase> m_db;

    static TFServcios &w() { return *FServcios; }
    static Cursor &services() { return *DM->TServicios; }

    static bool browsing()
    {
        w().layout()->activate();
        return !w().Panel1->isVisibleTo(&w()) && w().DBGrid1->isEnabled() && w().DBGrid1->geometry() == QRect(1, 1, 263, 321)
               && w().size() == QSize(265, 348);
    }

    // The edit panel at the bottom shortens the grid; the window keeps its size
    // and the main navigator keeps working.
    static bool editing()
    {
        w().layout()->activate();
        return w().Panel1->isVisibleTo(&w()) && w().Panel1->geometry() == QRect(0, 264, 265, 84) && !w().DBGrid1->isEnabled()
               && w().DBGrid1->geometry() == QRect(1, 1, 263, 237) && w().DBNavigator1->isEnabled()
               && w().size() == QSize(265, 348);
    }

    static void click(RecordNavigator *navigator, int button)
    {
        QTest::mouseClick(navigator->button(button), Qt::LeftButton);
    }

    // Every service as name=price in ten-thousandths, in name order.
    QStringList storedServices()
    {
        QStringList out;
        const int n = m_db->scalar(QStringLiteral("SELECT count(*) FROM Servicios")).toInt();
        for (int i = 0; i < n; ++i)
            out << m_db->scalar(QStringLiteral("SELECT Nombre || '=' || coalesce(CAST(Precio AS TEXT), 'null') FROM Servicios "
                                               "ORDER BY Nombre LIMIT 1 OFFSET ?"),
                                {i})
                       .toString();
        return out;
    }

    static QStringList initialServices() { return {"Desayuno=500000", "Lavandería=1200000", "Minibar=800000", "Spa=3000000"}; }

private slots:
    void initTestCase()
    {
        Startup::configure(*static_cast<QApplication *>(QCoreApplication::instance()));
        Regional::setSettings(spanishSettings());
    }

    void init()
    {
        m_db = std::make_unique<TestDatabase>();
        m_db->addService(QStringLiteral("Spa"), money("300"));
        m_db->addService(QStringLiteral("Desayuno"), money("50"));
        m_db->addService(QStringLiteral("Minibar"), money("80"));
        m_db->addService(QStringLiteral("Lavandería"), money("120"));
        Startup::createAll(m_db->target());
        if (!FServcios)
            FServcios = new TFServcios(FPrincipal);
        Regional::setSettings(spanishSettings());
    }

    void cleanup()
    {
        delete FServcios;
        FServcios = nullptr;
        Startup::destroyAll();
        m_db.reset();
    }

    void layout()
    {
        QCOMPARE(w().windowTitle(), QStringLiteral("Administración de Servicios"));
        showModalAnd(&w(), [] { QVERIFY(browsing()); });
        QCOMPARE(w().DBNavigator1->geometry(), QRect(1, 322, 263, 25));
        QCOMPARE(w().DBNavigator1->visibleButtons(), QList<int>({0, 1, 2, 3, 4, 5, 6}));
        QCOMPARE(w().DBNavigator2->visibleButtons(), QList<int>({7, 8}));
        QCOMPARE(w().DBNavigator2->geometry(), QRect(81, 49, 98, 25));
        QVERIFY(w().DBGrid1->isReadOnly());
        using O = DataGrid::Option;
        QCOMPARE(w().DBGrid1->options(), O::Titles | O::ColumnResize | O::ColumnLines | O::RowLines | O::Tabs | O::RowSelect
                                             | O::AlwaysShowSelection | O::ConfirmDelete);
        const QStringList titles{"Nombre", "Precio"};
        const QList<int> widths{174, 63};
        const QList<Qt::Alignment> cells{Qt::AlignLeft, Qt::AlignRight};
        QCOMPARE(w().DBGrid1->columnCount(), 2);
        for (int i = 0; i < 2; ++i) {
            const DataGrid::Column c = w().DBGrid1->column(i);
            QCOMPARE(c.title, titles[i]);
            QCOMPARE(c.width, widths[i]);
            QCOMPARE(c.cellAlignment & Qt::AlignHorizontal_Mask, cells[i]);
        }
        // Rows in name order, prices in the user's currency format.
        QCOMPARE(w().DBGrid1->cellText(0, 0), QStringLiteral("Desayuno"));
        QCOMPARE(w().DBGrid1->cellText(3, 1), QStringLiteral("$ 300,00"));
    }

    void editCycle_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("finish");
        QTest::addColumn<QStringList>("stored");
        QStringList added = initialServices();
        added.insert(2, QStringLiteral("Masajes=955000"));
        QStringList changed = initialServices();
        changed[2] = QStringLiteral("Masajes=955000");
        QTest::newRow("insert, post") << int(RecordNavigator::Insert) << int(RecordNavigator::Post) << added;
        QTest::newRow("insert, cancel") << int(RecordNavigator::Insert) << int(RecordNavigator::Cancel) << initialServices();
        QTest::newRow("edit, post") << int(RecordNavigator::Edit) << int(RecordNavigator::Post) << changed;
        QTest::newRow("edit, cancel") << int(RecordNavigator::Edit) << int(RecordNavigator::Cancel) << initialServices();
    }

    void editCycle()
    {
        QFETCH(int, start);
        QFETCH(int, finish);
        QFETCH(QStringList, stored);
        const bool inserting = start == RecordNavigator::Insert;
        QVERIFY(services().locate(QStringLiteral("Nombre"), QStringLiteral("Minibar")));
        DialogAnswers answers;
        showModalAnd(&w(), [&] {
            click(w().DBNavigator1, start);
            QVERIFY(editing());
            QCOMPARE(services().state(), inserting ? Cursor::State::Insert : Cursor::State::Edit);
            QCOMPARE(w().DBGrid1->rowCount(), inserting ? 5 : 4);
            w().DBEdit2->setFocus();
            w().DBEdit2->selectAll();
            QTest::keyClicks(w().DBEdit2, QStringLiteral("Masajes"));
            w().DBEdit3->setFocus();
            w().DBEdit3->selectAll();
            QTest::keyClicks(w().DBEdit3, QStringLiteral("95,5"));
            click(w().DBNavigator2, finish);
            QVERIFY(browsing());
            QCOMPARE(services().state(), Cursor::State::Browse);
            QCOMPARE(w().DBGrid1->rowCount(), stored.size());
        });
        QVERIFY(answers.boxes().isEmpty());
        QCOMPARE(storedServices(), stored);
    }

    // While a service is edited the main navigator keeps working: it settles the
    // pending record the cursor's way and the edit panel stays open.
    void mainNavigatorDuringEdit_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<QString>("typedName");
        QTest::addColumn<QString>("typedPrice");
        QTest::addColumn<int>("action");
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<QStringList>("stored");
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("shownName");
        const int ins = RecordNavigator::Insert, edit = RecordNavigator::Edit;
        const int browse = int(Cursor::State::Browse), insert = int(Cursor::State::Insert);
        QStringList cheaper = initialServices();
        cheaper[0] = QStringLiteral("Desayuno=600000");
        QStringList withBar = initialServices();
        withBar.prepend(QStringLiteral("Bar=null"));
        QStringList withoutBreakfast = initialServices();
        withoutBreakfast.removeFirst();
        const QStringList ok{"OK"};
        QTest::newRow("next after a change posts")
            << edit << "" << "60" << int(RecordNavigator::Next) << QStringList() << cheaper << browse << "Lavandería";
        QTest::newRow("next without a change")
            << edit << "" << "" << int(RecordNavigator::Next) << QStringList() << initialServices() << browse << "Lavandería";
        QTest::newRow("insert again posts the typed service")
            << ins << "Bar" << "" << ins << QStringList() << withBar << insert << "";
        QTest::newRow("delete during an insert drops it")
            << ins << "Bar" << "" << int(RecordNavigator::Delete) << ok << initialServices() << browse << "Desayuno";
        QTest::newRow("delete during an edit deletes the service")
            << edit << "" << "" << int(RecordNavigator::Delete) << ok << withoutBreakfast << browse << "Lavandería";
    }

    void mainNavigatorDuringEdit()
    {
        QFETCH(int, start);
        QFETCH(QString, typedName);
        QFETCH(QString, typedPrice);
        QFETCH(int, action);
        QFETCH(QStringList, answers);
        QFETCH(QStringList, stored);
        QFETCH(int, state);
        QFETCH(QString, shownName);
        DialogAnswers dialogs(answers);
        showModalAnd(&w(), [&] {
            click(w().DBNavigator1, start);
            if (!typedName.isEmpty())
                QTest::keyClicks(w().DBEdit2, typedName);
            if (!typedPrice.isEmpty()) {
                w().DBEdit3->setFocus();
                w().DBEdit3->selectAll();
                QTest::keyClicks(w().DBEdit3, typedPrice);
            }
            click(w().DBNavigator1, action);
            QVERIFY(editing());
            QCOMPARE(int(services().state()), state);
            QCOMPARE(w().DBEdit2->text(), shownName);
            const bool pending = state != int(Cursor::State::Browse);
            QCOMPARE(w().DBNavigator2->button(RecordNavigator::Post)->isEnabled(), pending);
            QCOMPARE(w().DBNavigator2->button(RecordNavigator::Cancel)->isEnabled(), pending);
            if (!pending) {
                // Typing into an edit starts editing again, and cancel closes the panel.
                w().DBEdit2->setFocus();
                QTest::keyClicks(w().DBEdit2, QStringLiteral("x"));
                QCOMPARE(services().state(), Cursor::State::Edit);
                QVERIFY(w().DBNavigator2->button(RecordNavigator::Post)->isEnabled());
            }
            click(w().DBNavigator2, RecordNavigator::Cancel);
            QVERIFY(browsing());
        });
        QCOMPARE(dialogs.texts(), QStringList(answers.isEmpty() ? QStringList() : QStringList{"Delete record?"}));
        QCOMPARE(dialogs.unexpected(), 0);
        QCOMPARE(storedServices(), stored);
    }

    void gridKeysChangeNothing()
    {
        DialogAnswers answers(QStringLiteral("OK"));
        showModalAnd(&w(), [] {
            w().DBGrid1->setFocus();
            QTest::keyClick(w().DBGrid1, Qt::Key_Delete, Qt::ControlModifier);
            QTest::keyClick(w().DBGrid1, Qt::Key_Insert);
            QTest::keyClicks(w().DBGrid1, QStringLiteral("xy"));
            QTest::keyClick(w().DBGrid1, Qt::Key_End, Qt::ControlModifier);
            QTest::keyClick(w().DBGrid1, Qt::Key_Down);
            QVERIFY(browsing());
        });
        QVERIFY(answers.boxes().isEmpty());
        QCOMPARE(services().state(), Cursor::State::Browse);
        QCOMPARE(services().recordCount(), 4);
        QCOMPARE(storedServices(), initialServices());
    }

    void refusedPostKeepsPanelOpen_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("price");
        QTest::addColumn<QString>("named");
        QTest::newRow("price that does not convert") << "Bar" << "1,2,3" << "Precio";
        QTest::newRow("price beyond the largest amount") << "Bar" << "900000000000000" << "debe estar entre";
    }

    void refusedPostKeepsPanelOpen()
    {
        QFETCH(QString, name);
        QFETCH(QString, price);
        QFETCH(QString, named);
        DialogAnswers answers(QStringLiteral("OK"));
        showModalAnd(&w(), [&] {
            click(w().DBNavigator1, RecordNavigator::Insert);
            QTest::keyClicks(w().DBEdit2, name);
            QTest::keyClicks(w().DBEdit3, price);
            click(w().DBNavigator2, RecordNavigator::Post);
            QVERIFY(editing());
            QCOMPARE(services().state(), Cursor::State::Insert);
            click(w().DBNavigator2, RecordNavigator::Cancel);
            QVERIFY(browsing());
        });
        QCOMPARE(answers.titles(), QStringList{QStringLiteral("Administración de Hotel")});
        QVERIFY2(answers.texts().constFirst().contains(named), qPrintable(answers.texts().constFirst()));
        QCOMPARE(storedServices(), initialServices());
    }

    // A name longer than its column cannot be typed: it stops at 50 characters
    // and posts; an amount the documents carry posts too.
    void typingStopsAtTheColumn()
    {
        DialogAnswers answers;
        showModalAnd(&w(), [&] {
            click(w().DBNavigator1, RecordNavigator::Insert);
            QTest::keyClicks(w().DBEdit2, QString(60, u'z'));
            QCOMPARE(w().DBEdit2->text(), QString(50, u'z'));
            QTest::keyClicks(w().DBEdit3, QStringLiteral("99999999,99"));
            click(w().DBNavigator2, RecordNavigator::Post);
            QVERIFY(browsing());
        });
        QVERIFY(answers.boxes().isEmpty());
        QVERIFY(storedServices().contains(QString(50, u'z') + QStringLiteral("=999999999900")));
    }

    void pendingEditSurvivesClosing()
    {
        showModalAnd(&w(), [] {
            click(w().DBNavigator1, RecordNavigator::Edit);
            w().DBEdit2->setFocus();
            QTest::keyClicks(w().DBEdit2, QStringLiteral(" continental"));
            w().DBEdit3->setFocus(); // the name is written on leaving its edit
        });
        QCOMPARE(services().state(), Cursor::State::Edit);
        showModalAnd(&w(), [] {
            QVERIFY(editing());
            QCOMPARE(w().DBEdit2->text(), QStringLiteral("Desayuno continental"));
            click(w().DBNavigator2, RecordNavigator::Post);
            QVERIFY(browsing());
        });
        QCOMPARE(storedServices().constFirst(), QStringLiteral("Desayuno continental=500000"));
    }
};

QTEST_MAIN(TestServicios)
#include "tst_servicios.moc"
