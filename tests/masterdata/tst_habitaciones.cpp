#include "BoundChoiceList.h"
#include "BoundEdit.h"
#include "DataGrid.h"
#include "LookupCombo.h"
#include "RecordNavigator.h"
#include "Regional.h"
#include "Startup.h"
#include "TestDatabase.h"
#include "TestSupport.h"
#include "UDM.h"
#include "UHabitaciones.h"
#include "UPrincipal.h"
#include "WindowTest.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLayout>
#include <QTest>

// The rooms window over a fresh database: three room types and four rooms, the
// last with a floor and a view that the choice lists do not offer.
class TestHabitaciones : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestDatabase> m_db;

    static TFHabitaciones &w() { return *FHabitaciones; }
    static Cursor &rooms() { return *DM->THabitaciones; }
    static QString currentType() { return DM->TTiposDeHabitacion->fieldByName(QStringLiteral("Nombre")).asString(); }
    static void goTo(const QString &number) { QVERIFY(rooms().locate(QStringLiteral("NroHabitacion"), number)); }

    static bool browsing()
    {
        return !w().pnlEdicion->isVisibleTo(&w()) && w().pnlDatos->isEnabled() && w().size() == QSize(282, 304);
    }

    static bool editing()
    {
        return w().pnlEdicion->isVisibleTo(&w()) && !w().pnlDatos->isEnabled() && w().size() == QSize(400, 304);
    }

    static void click(RecordNavigator *navigator, int button)
    {
        QTest::mouseClick(navigator->button(button), Qt::LeftButton);
    }

    // Every room as number/floor/view/type name, in number order.
    QStringList storedRooms()
    {
        QStringList out;
        const int n = m_db->scalar(QStringLiteral("SELECT count(*) FROM Habitaciones")).toInt();
        for (int i = 0; i < n; ++i)
            out << m_db->scalar(QStringLiteral("SELECT h.NroHabitacion || '/' || h.Piso || '/' || h.Vista || '/' || t.Nombre "
                                               "FROM Habitaciones h JOIN TiposDeHabitacion t ON t.IdTipo = h.IdTipo "
                                               "ORDER BY h.NroHabitacion LIMIT 1 OFFSET ?"),
                                {i})
                       .toString();
        return out;
    }

    static QStringList initialRooms() { return {"101/1/Mar/Doble", "102/1/Ciudad/Doble", "201/2/Interior/Suite", "301/4/Jardín/Simple"}; }

private slots:
    void initTestCase()
    {
        Startup::configure(*static_cast<QApplication *>(QCoreApplication::instance()));
        Regional::setSettings(spanishSettings());
    }

    void init()
    {
        m_db = std::make_unique<TestDatabase>();
        const qint64 simple = m_db->addRoomType(QStringLiteral("Simple"), money("100"), 1);
        const qint64 doble = m_db->addRoomType(QStringLiteral("Doble"), money("150"), 2);
        const qint64 suite = m_db->addRoomType(QStringLiteral("Suite"), money("300"), 4);
        m_db->addRoom(QStringLiteral("201"), suite, 2, QStringLiteral("Interior"));
        m_db->addRoom(QStringLiteral("101"), doble, 1, QStringLiteral("Mar"));
        m_db->addRoom(QStringLiteral("301"), simple, 4, QStringLiteral("Jardín"));
        m_db->addRoom(QStringLiteral("102"), doble, 1, QStringLiteral("Ciudad"));
        Startup::createAll(m_db->target());
        if (!FHabitaciones)
            FHabitaciones = new TFHabitaciones(FPrincipal);
        Regional::setSettings(spanishSettings());
    }

    void cleanup()
    {
        delete FHabitaciones;
        FHabitaciones = nullptr;
        Startup::destroyAll();
        m_db.reset();
    }

    void layout()
    {
        QCOMPARE(w().windowTitle(), QStringLiteral("Admnistración de Habitaciones"));
        showModalAnd(&w(), [] {
            QVERIFY(browsing());
            QCOMPARE(w().DBGrid1->geometry(), QRect(1, 1, 280, 272));
            QCOMPARE(w().DBNavigator2->geometry(), QRect(1, 273, 280, 25));
            click(w().DBNavigator2, RecordNavigator::Insert);
            w().layout()->activate();
            QCOMPARE(w().pnlEdicion->geometry(), QRect(282, 0, 118, 304));
            QCOMPARE(w().DBNavigator1->geometry(), QRect(7, 273, 104, 25));
            click(w().DBNavigator1, RecordNavigator::Cancel);
        });
        QCOMPARE(w().DBNavigator2->visibleButtons(), QList<int>({0, 1, 2, 3, 4, 5, 6}));
        QCOMPARE(w().DBNavigator1->visibleButtons(), QList<int>({7, 8}));
        QVERIFY(!w().DBGrid1->isReadOnly());
        QVERIFY(!(w().DBGrid1->options() & DataGrid::Option::ConfirmDelete));
        QVERIFY(!(w().DBGrid1->options() & DataGrid::Option::Editing));
        const QStringList titles{"Número", "Piso", "Vista", "Tipo"};
        const QList<int> widths{52, 34, 69, 92};
        const QList<Qt::Alignment> cells{Qt::AlignRight, Qt::AlignRight, Qt::AlignHCenter, Qt::AlignHCenter};
        QCOMPARE(w().DBGrid1->columnCount(), 4);
        for (int i = 0; i < 4; ++i) {
            const DataGrid::Column c = w().DBGrid1->column(i);
            QCOMPARE(c.title, titles[i]);
            QCOMPARE(c.width, widths[i]);
            QCOMPARE(c.cellAlignment & Qt::AlignHorizontal_Mask, cells[i]);
        }
        // Rows in room-number order, with the type's name.
        QCOMPARE(w().DBGrid1->rowCount(), 4);
        QCOMPARE(w().DBGrid1->cellText(3, 0), QStringLiteral("301"));
        QCOMPARE(w().DBGrid1->cellText(3, 3), QStringLiteral("Simple"));
    }

    // From creation on, shown or not, the type combo moves the room types cursor
    // whenever the current room's type differs from the one it holds.
    void typeFollowsRooms_data()
    {
        QTest::addColumn<bool>("shown");
        QTest::newRow("scrolling the grid") << true;
        QTest::newRow("moves made elsewhere, window hidden") << false;
    }

    void typeFollowsRooms()
    {
        QFETCH(bool, shown);
        // The first room's type, not the room types cursor's first row.
        QCOMPARE(rooms().recNo(), 0);
        QCOMPARE(currentType(), QStringLiteral("Doble"));
        DM->TTiposDeHabitacion->first();
        QCOMPARE(currentType(), QStringLiteral("Simple"));
        QStringList seen;
        auto walk = [&] {
            for (int i = 0; i < 3; ++i) {
                if (shown)
                    QTest::keyClick(w().DBGrid1, Qt::Key_Down);
                else
                    rooms().next();
                seen << rooms().fieldByName(QStringLiteral("NroHabitacion")).asString() + QLatin1Char('>') + currentType();
            }
        };
        if (shown) {
            showModalAnd(&w(), [&] {
                w().DBGrid1->setFocus();
                walk();
            });
        } else {
            walk();
        }
        // 102 has the type the combo already held, so the room types cursor stays.
        QCOMPARE(seen, QStringList({"102>Simple", "201>Suite", "301>Simple"}));
        QCOMPARE(w().dblucbxTipo->text(), QStringLiteral("Simple"));
    }

    void editCycle_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("finish");
        QTest::addColumn<QStringList>("stored");
        QStringList added = initialRooms();
        added.insert(3, QStringLiteral("205/3/Mar/Simple"));
        QStringList changed = initialRooms();
        changed[2] = QStringLiteral("205/3/Mar/Simple");
        QTest::newRow("insert, post") << int(RecordNavigator::Insert) << int(RecordNavigator::Post) << added;
        QTest::newRow("insert, cancel") << int(RecordNavigator::Insert) << int(RecordNavigator::Cancel) << initialRooms();
        QTest::newRow("edit, post") << int(RecordNavigator::Edit) << int(RecordNavigator::Post) << changed;
        QTest::newRow("edit, cancel") << int(RecordNavigator::Edit) << int(RecordNavigator::Cancel) << initialRooms();
    }

    void editCycle()
    {
        QFETCH(int, start);
        QFETCH(int, finish);
        QFETCH(QStringList, stored);
        const bool inserting = start == RecordNavigator::Insert;
        goTo(QStringLiteral("201"));
        // The edit panel is already open when the cursor changes state.
        bool openWhenStateChanged = false;
        const auto watch = connect(&rooms(), &Cursor::stateChanged, this, [&] {
            if (rooms().isEditing())
                openWhenStateChanged = w().pnlEdicion->isVisibleTo(&w()) && !w().pnlDatos->isEnabled();
        });
        DialogAnswers answers;
        showModalAnd(&w(), [&] {
            click(w().DBNavigator2, start);
            QVERIFY(editing());
            QCOMPARE(rooms().state(), inserting ? Cursor::State::Insert : Cursor::State::Edit);
            QCOMPARE(rooms().recNo(), 2);
            QCOMPARE(w().DBGrid1->rowCount(), inserting ? 5 : 4);
            QCOMPARE(w().DBGrid1->cellText(2, 0), inserting ? QString() : QStringLiteral("201"));
            // The main navigator takes no clicks while a room is edited.
            click(w().DBNavigator2, RecordNavigator::Next);
            QCOMPARE(rooms().recNo(), 2);

            w().DBEdit1->setFocus();
            w().DBEdit1->selectAll();
            QTest::keyClicks(w().DBEdit1, QStringLiteral("205"));
            w().dbcbxPiso->setFocus();
            QTest::keyClicks(w().dbcbxPiso, QStringLiteral("3"));
            QTest::keyClicks(w().dbcbxVista, QStringLiteral("M"));
            w().dblucbxTipo->setFocus();
            QTest::keyClicks(w().dblucbxTipo, QStringLiteral("Sim"));
            QCOMPARE(w().dblucbxTipo->text(), QStringLiteral("Simple"));
            QCOMPARE(currentType(), QStringLiteral("Simple"));

            click(w().DBNavigator1, finish);
            QVERIFY(browsing());
            QCOMPARE(rooms().state(), Cursor::State::Browse);
            QCOMPARE(w().DBGrid1->rowCount(), stored.size());
        });
        disconnect(watch);
        QVERIFY(openWhenStateChanged);
        QVERIFY(answers.boxes().isEmpty());
        QCOMPARE(storedRooms(), stored);
    }

    void refusedPostKeepsPanelOpen_data()
    {
        QTest::addColumn<QString>("number");
        QTest::newRow("number already used") << "101";
        QTest::newRow("letters") << "1a";
        QTest::newRow("leading zero") << "012";
        QTest::newRow("no number") << "";
    }

    void refusedPostKeepsPanelOpen()
    {
        QFETCH(QString, number);
        DialogAnswers answers(QStringLiteral("OK"));
        showModalAnd(&w(), [&] {
            click(w().DBNavigator2, RecordNavigator::Insert);
            w().DBEdit1->setFocus();
            QTest::keyClicks(w().DBEdit1, number);
            QTest::keyClicks(w().dbcbxPiso, QStringLiteral("2"));
            click(w().DBNavigator1, RecordNavigator::Post);
            QVERIFY(editing());
            QCOMPARE(rooms().state(), Cursor::State::Insert);
            click(w().DBNavigator1, RecordNavigator::Cancel);
            QVERIFY(browsing());
        });
        QCOMPARE(answers.titles(), QStringList{QStringLiteral("Administración de Hotel")});
        QVERIFY2(answers.texts().constFirst().contains(QStringLiteral("NroHabitacion")), qPrintable(answers.texts().constFirst()));
        QCOMPARE(storedRooms(), initialRooms());
        QCOMPARE(rooms().recordCount(), 4);
    }

    void choiceLists_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("floor");
        QTest::addColumn<QString>("view");
        QTest::newRow("offered values") << "102" << "1" << "Ciudad";
        QTest::newRow("values not offered") << "301" << "" << "";
    }

    // The lists show only their own items; the stored values change only when
    // the user picks one.
    void choiceLists()
    {
        QFETCH(QString, number);
        QFETCH(QString, floor);
        QFETCH(QString, view);
        goTo(number);
        const QString before = storedRooms()[rooms().recNo()];
        showModalAnd(&w(), [&] {
            QCOMPARE(w().dbcbxPiso->currentText(), floor);
            QCOMPARE(w().dbcbxVista->currentText(), view);
            click(w().DBNavigator2, RecordNavigator::Edit);
            click(w().DBNavigator1, RecordNavigator::Post);
        });
        QCOMPARE(storedRooms()[rooms().recNo()], before);
        showModalAnd(&w(), [&] {
            w().dbcbxPiso->setFocus();
            QTest::keyClicks(w().dbcbxPiso, QStringLiteral("2"));
            // Picking puts the cursor into edit mode and writes a whole number.
            QCOMPARE(rooms().state(), Cursor::State::Edit);
            QCOMPARE(rooms().fieldByName(QStringLiteral("Piso")).value(), QVariant(qlonglong(2)));
            click(w().DBNavigator1, RecordNavigator::Post);
        });
        QStringList after = before.split(u'/');
        after[1] = QStringLiteral("2");
        QCOMPARE(storedRooms()[rooms().recNo()], after.join(u'/'));
    }

    void remove_data()
    {
        QTest::addColumn<bool>("ctrlDelete");
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<bool>("deleted");
        const QStringList question{"Delete record?"};
        QTest::newRow("ctrl+delete: at once") << true << "201" << "OK" << QStringList() << true;
        QTest::newRow("navigator, OK") << false << "201" << "OK" << question << true;
        QTest::newRow("navigator, Cancel") << false << "201" << "Cancel" << question << false;
        QTest::newRow("room with a stay") << true << "102" << "OK" << QStringList{"The record cannot be deleted because other records refer to it (FOREIGN KEY constraint failed)"} << false;
    }

    void remove()
    {
        QFETCH(bool, ctrlDelete);
        QFETCH(QString, number);
        QFETCH(QString, answer);
        QFETCH(QStringList, texts);
        QFETCH(bool, deleted);
        const qint64 guest = m_db->addGuest(QStringLiteral("Ana"));
        const qint64 room = m_db->scalar(QStringLiteral("SELECT idHabitacion FROM Habitaciones WHERE NroHabitacion = '102'")).toLongLong();
        m_db->addStay(guest, room, QStringLiteral("2024-03-01"), QStringLiteral("2024-03-04"), QStringLiteral("Facturada"));
        goTo(number);
        DialogAnswers answers(answer);
        showModalAnd(&w(), [&] {
            if (ctrlDelete) {
                w().DBGrid1->setFocus();
                QTest::keyClick(w().DBGrid1, Qt::Key_Delete, Qt::ControlModifier);
            } else {
                click(w().DBNavigator2, RecordNavigator::Delete);
            }
            QVERIFY(browsing());
        });
        QCOMPARE(answers.texts(), texts);
        QCOMPARE(answers.unexpected(), 0);
        QStringList expected = initialRooms();
        if (deleted)
            expected.removeIf([&](const QString &r) { return r.startsWith(number + u'/'); });
        QCOMPARE(storedRooms(), expected);
        QCOMPARE(rooms().recordCount(), expected.size());
    }

    void pendingInsertSurvivesClosing()
    {
        showModalAnd(&w(), [] {
            click(w().DBNavigator2, RecordNavigator::Insert);
            w().DBEdit1->setFocus();
            QTest::keyClicks(w().DBEdit1, QStringLiteral("150"));
            w().dbcbxVista->setFocus(); // the number is written on leaving its edit
        });
        QCOMPARE(rooms().state(), Cursor::State::Insert);
        showModalAnd(&w(), [] {
            QVERIFY(editing());
            QCOMPARE(rooms().state(), Cursor::State::Insert);
            QCOMPARE(w().DBEdit1->text(), QStringLiteral("150"));
        });
        // Another window moving the rooms cursor settles the changed room: it is
        // posted, and the panel stays open over a browsing cursor.
        rooms().first();
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT count(*) FROM Habitaciones WHERE NroHabitacion = '150'")).toInt(), 1);
        showModalAnd(&w(), [] {
            QVERIFY(editing());
            QCOMPARE(rooms().state(), Cursor::State::Browse);
            QVERIFY(!w().DBNavigator1->button(RecordNavigator::Post)->isEnabled());
            w().DBEdit1->setFocus();
            QTest::keyClick(w().DBEdit1, Qt::Key_Backspace);
            QVERIFY(w().DBNavigator1->button(RecordNavigator::Cancel)->isEnabled());
            click(w().DBNavigator1, RecordNavigator::Cancel);
            QVERIFY(browsing());
        });
    }
};

QTEST_MAIN(TestHabitaciones)
#include "tst_habitaciones.moc"
