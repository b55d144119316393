#include "MessageDialog.h"
#include "RecordNavigator.h"
#include "Regional.h"
#include "TestDatabase.h"
#include "TestSupport.h"
#include "UDM.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>

#include "WindowTest.h"

namespace {


QString enabledPattern(const RecordNavigator &nav)
{
    QString out;
    for (int i = 0; i < RecordNavigator::ButtonCount; ++i)
        out += nav.button(i)->isEnabled() ? u'1' : u'0';
    return out;
}

const char *stateName(Cursor::State s)
{
    static const char *names[] = {"Inactive", "Browse", "Edit", "Insert"};
    return names[int(s)];
}

} // namespace

// The record navigator on the data module's real cursors over a fresh file.
class TestRecordNavigator : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<TDM> m_dm;
    std::unique_ptr<QWidget> m_window;
    RecordNavigator *m_nav = nullptr;
    qint64 m_roomType = 0;

    void openModule()
    {
        m_dm = std::make_unique<TDM>(m_db->target());
        m_dm->DataModuleCreate();
    }

    // A shown window holding one navigator on the given data source.
    RecordNavigator &navigator(DataSource *source, const QList<int> &buttons = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9})
    {
        m_window = std::make_unique<QWidget>();
        m_window->resize(300, 60);
        m_nav = new RecordNavigator(m_window.get());
        m_nav->setGeometry(10, 10, 240, 25);
        m_nav->setVisibleButtons(buttons);
        m_nav->setDataSource(source);
        m_window->show();
        if (!QTest::qWaitForWindowExposed(m_window.get()))
            qWarning("window not exposed");
        return *m_nav;
    }

    int guestsInFile() { return m_db->scalar(QStringLiteral("SELECT count(*) FROM Huespedes")).toInt(); }

private slots:
    void initTestCase()
    {
        Regional::setSettings(spanishSettings());
    }

    void init()
    {
        m_db = std::make_unique<TestDatabase>();
        QVERIFY(m_db->isValid());
        m_db->addGuest(QStringLiteral("Carla"));
        m_db->addGuest(QStringLiteral("Ana"));
        m_db->addGuest(QStringLiteral("Beto"));
        m_roomType = m_db->addRoomType(QStringLiteral("Doble"), money("80"));
        m_db->addRoom(QStringLiteral("101"), m_roomType);
        openModule();
    }

    void cleanup()
    {
        MessageDialog::setObserver({});
        m_window.reset();
        m_nav = nullptr;
        m_dm.reset();
        m_db.reset();
    }

    // ---- enabled states ------------------------------------------------------

    void enabledStates_data()
    {
        // Buttons 0..9: first prior next last insert delete edit post cancel refresh.
        QTest::addColumn<QString>("situation");
        QTest::addColumn<QString>("expected");
        QTest::newRow("no data source") << "none" << "0000000000";
        QTest::newRow("closed") << "closed" << "0000000000";
        QTest::newRow("empty") << "empty" << "0000101001";
        QTest::newRow("first row") << "first" << "0011111001";
        QTest::newRow("middle row") << "middle" << "1111111001";
        QTest::newRow("at end") << "end" << "1100111001";
        QTest::newRow("editing") << "edit" << "1111110111";
        QTest::newRow("inserting before the first row") << "insert" << "0011110111";
        QTest::newRow("appending at the end") << "append" << "1111110111";
        QTest::newRow("read-only query") << "query" << "0011000000";
    }

    void enabledStates()
    {
        QFETCH(QString, situation);
        QFETCH(QString, expected);
        Cursor *guests = m_dm->THuespedes;
        DataSource *source = m_dm->DHuespedes;
        if (situation == u"none") {
            source = nullptr;
        } else if (situation == u"closed") {
            guests->close();
        } else if (situation == u"empty") {
            guests->setFilter(QStringLiteral("Nombre = 'Nadie'"));
            guests->setFiltered(true);
            QVERIFY(guests->isEmpty());
        } else if (situation == u"middle") {
            guests->next();
        } else if (situation == u"end") {
            guests->last();
        } else if (situation == u"edit") {
            guests->next();
            guests->edit();
        } else if (situation == u"insert") {
            guests->insert();
        } else if (situation == u"append") {
            guests->append();
        } else if (situation == u"query") {
            m_dm->QHabitaconesMasPedidas->setParameter(QStringLiteral("Vista"), QStringLiteral("Mar"));
            m_db->addStay(m_db->addGuest(QStringLiteral("Eva")), 1, QStringLiteral("2024-01-01"),
                          QStringLiteral("2024-01-03"), QStringLiteral("Facturada"));
            m_dm->QHabitaconesMasPedidas->open();
            QCOMPARE(m_dm->QHabitaconesMasPedidas->recordCount(), 1);
            source = m_dm->DHabitaconesMasPedidas;
        }
        RecordNavigator &nav = navigator(source);
        QCOMPARE(enabledPattern(nav), expected);
    }

    void statesFollowEveryChangeOfTheCursor()
    {
        RecordNavigator &nav = navigator(m_dm->DHuespedes);
        Cursor &c = *m_dm->THuespedes;
        QCOMPARE(enabledPattern(nav), QStringLiteral("0011111001"));
        c.last();
        QCOMPARE(enabledPattern(nav), QStringLiteral("1100111001"));
        c.edit();
        QCOMPARE(enabledPattern(nav), QStringLiteral("1100110111"));
        c.cancel();
        c.close();
        QCOMPARE(enabledPattern(nav), QStringLiteral("0000000000"));
        c.open();
        QCOMPARE(enabledPattern(nav), QStringLiteral("0011111001"));
    }

    // ---- layout ----------------------------------------------------------------

    void hiddenButtonsTakeNoRoom_data()
    {
        QTest::addColumn<QList<int>>("buttons");
        QTest::addColumn<int>("width");
        QTest::newRow("0 to 6") << QList<int>{0, 1, 2, 3, 4, 5, 6} << 240;
        QTest::newRow("post and cancel") << QList<int>{7, 8} << 98;
        QTest::newRow("given out of order, with repeats and strangers") << QList<int>{8, 7, 7, 12, -1} << 104;
        QTest::newRow("all ten") << QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9} << 241;
    }

    void hiddenButtonsTakeNoRoom()
    {
        QFETCH(QList<int>, buttons);
        QFETCH(int, width);
        RecordNavigator &nav = navigator(m_dm->DHuespedes, buttons);
        nav.resize(width, RecordNavigator::DefaultHeight);
        const QList<int> shown = nav.visibleButtons();
        QVERIFY(std::is_sorted(shown.begin(), shown.end()));
        int x = 0;
        int narrowest = width, widest = 0;
        for (int i = 0; i < RecordNavigator::ButtonCount; ++i) {
            QAbstractButton *b = nav.button(i);
            QCOMPARE(b->isVisible(), shown.contains(i));
            if (!shown.contains(i))
                continue;
            // Side by side from the left edge to the right edge, in number order.
            QCOMPARE(b->x(), x);
            QCOMPARE(b->y(), 0);
            QCOMPARE(b->height(), RecordNavigator::DefaultHeight);
            x += b->width();
            narrowest = std::min(narrowest, b->width());
            widest = std::max(widest, b->width());
        }
        QCOMPARE(x, width);
        QVERIFY(widest - narrowest <= 1);
        QCOMPARE(nav.sizeHint().height(), RecordNavigator::DefaultHeight);
    }

    void picturesOnlyNoCaptionsNoToolTips()
    {
        RecordNavigator &nav = navigator(m_dm->DHuespedes);
        QList<QImage> pictures;
        for (int i = 0; i < RecordNavigator::ButtonCount; ++i) {
            QAbstractButton *b = nav.button(i);
            QVERIFY(b->text().isEmpty());
            QVERIFY(b->toolTip().isEmpty());
            QVERIFY(!b->icon().isNull());
            const QImage picture = b->icon().pixmap(QSize(16, 16)).toImage();
            // Each picture is distinct from the others.
            for (const QImage &other : pictures)
                QVERIFY(picture != other);
            pictures << picture;
        }
    }

    // ---- pressing ----------------------------------------------------------------

    void beforeActionActionThenClick_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<QString>("atBefore");
        QTest::addColumn<QString>("atClick");
        // "state recNo" of THuespedes (Ana, Beto, Carla) when each signal arrives.
        QTest::newRow("next") << 2 << "Browse 0" << "Browse 1";
        QTest::newRow("last") << 3 << "Browse 0" << "Browse 2";
        QTest::newRow("insert") << 4 << "Browse 0" << "Insert 0";
        QTest::newRow("edit") << 6 << "Browse 0" << "Edit 0";
    }

    void beforeActionActionThenClick()
    {
        QFETCH(int, button);
        QFETCH(QString, atBefore);
        QFETCH(QString, atClick);
        RecordNavigator &nav = navigator(m_dm->DHuespedes);
        Cursor &c = *m_dm->THuespedes;
        QSignalSpy before(&nav, &RecordNavigator::beforeAction);
        QSignalSpy clicks(&nav, &RecordNavigator::clicked);
        QStringList log;
        auto state = [&] { return QStringLiteral("%1 %2").arg(QLatin1String(stateName(c.state()))).arg(c.recNo()); };
        connect(&nav, &RecordNavigator::beforeAction, this, [&](int n) { log << QStringLiteral("before %1: ").arg(n) + state(); });
        connect(&nav, &RecordNavigator::clicked, this, [&](int n) { log << QStringLiteral("click %1: ").arg(n) + state(); });

        QTest::mouseClick(nav.button(button), Qt::LeftButton);

        QCOMPARE(log, QStringList({QStringLiteral("before %1: ").arg(button) + atBefore,
                                   QStringLiteral("click %1: ").arg(button) + atClick}));
        QCOMPARE(before.count(), 1);
        QCOMPARE(before.first().first().toInt(), button);
        QCOMPARE(clicks.count(), 1);
        QCOMPARE(clicks.first().first().toInt(), button);
    }

    void closedCursorFailsThePress()
    {
        RecordNavigator &nav = navigator(m_dm->DHuespedes);
        m_dm->THuespedes->close();
        QSignalSpy before(&nav, &RecordNavigator::beforeAction);
        QSignalSpy clicks(&nav, &RecordNavigator::clicked);
        DialogAnswers answers(QStringLiteral("OK"));
        QVERIFY(!nav.press(RecordNavigator::Delete));
        QCOMPARE(before.count(), 0);
        QCOMPARE(clicks.count(), 0);
        // No question first: the closed cursor fails at once.
        QCOMPARE(answers.texts(), QStringList({"THuespedes: Cannot perform this operation on a closed dataset."}));
    }

    void deleteAsksFirst_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("deleted");
        QTest::newRow("OK deletes") << "OK" << true;
        QTest::newRow("Cancel keeps the record") << "Cancel" << false;
        QTest::newRow("the close box counts as Cancel") << "" << false;
    }

    void deleteAsksFirst()
    {
        QFETCH(QString, answer);
        QFETCH(bool, deleted);
        RecordNavigator &nav = navigator(m_dm->DHuespedes, {0, 1, 2, 3, 4, 5, 6});
        Cursor &c = *m_dm->THuespedes;
        c.next(); // Beto
        QSignalSpy clicks(&nav, &RecordNavigator::clicked);
        DialogAnswers answers(answer);

        QTest::mouseClick(nav.button(RecordNavigator::Delete), Qt::LeftButton);

        QCOMPARE(answers.texts(), QStringList{QStringLiteral("Delete record?")});
        QCOMPARE(answers.titles(), QStringList{QStringLiteral("Confirm")});
        QVERIFY(answers.unexpected() == 0);
        // The click event runs whether or not the record went.
        QCOMPARE(clicks.count(), 1);
        QCOMPARE(clicks.first().first().toInt(), 5);
        QCOMPARE(c.recordCount(), deleted ? 2 : 3);
        QCOMPARE(guestsInFile(), deleted ? 2 : 3);
        QCOMPARE(c.fieldByName(QStringLiteral("Nombre")).asString(), deleted ? QStringLiteral("Carla") : QStringLiteral("Beto"));
    }

    void refusedPostShowsTheErrorAndNoClick()
    {
        RecordNavigator &nav = navigator(m_dm->DHabitaciones, {7, 8});
        Cursor &rooms = *m_dm->THabitaciones;
        rooms.append();
        rooms.fieldByName(QStringLiteral("NroHabitacion")).setAsString(QStringLiteral("101"));
        rooms.setValue(QStringLiteral("IdTipo"), m_roomType);
        QSignalSpy before(&nav, &RecordNavigator::beforeAction);
        QSignalSpy clicks(&nav, &RecordNavigator::clicked);
        DialogAnswers answers(QStringLiteral("OK"));

        QTest::mouseClick(nav.button(RecordNavigator::Post), Qt::LeftButton);

        QCOMPARE(answers.texts().size(), 1);
        QVERIFY2(answers.texts().first().startsWith(QStringLiteral("The value is already used by another record")),
                 qPrintable(answers.texts().first()));
        QVERIFY(answers.texts().first().contains(QStringLiteral("UNIQUE")));
        QCOMPARE(before.count(), 1);
        QCOMPARE(clicks.count(), 0);
        // The record is still pending for the user to correct.
        QCOMPARE(rooms.state(), Cursor::State::Insert);
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT count(*) FROM Habitaciones")).toInt(), 1);
        QCOMPARE(enabledPattern(nav).mid(7, 2), QStringLiteral("11"));
    }

    void postWritesAndCancelDrops()
    {
        RecordNavigator &nav = navigator(m_dm->DHuespedes);
        Cursor &c = *m_dm->THuespedes;
        QTest::mouseClick(nav.button(RecordNavigator::Insert), Qt::LeftButton);
        c.fieldByName(QStringLiteral("Nombre")).setAsString(QStringLiteral("Zoe"));
        QTest::mouseClick(nav.button(RecordNavigator::Post), Qt::LeftButton);
        QCOMPARE(c.state(), Cursor::State::Browse);
        QCOMPARE(guestsInFile(), 4);

        QTest::mouseClick(nav.button(RecordNavigator::Edit), Qt::LeftButton);
        c.fieldByName(QStringLiteral("Nombre")).setAsString(QStringLiteral("Zoraida"));
        QTest::mouseClick(nav.button(RecordNavigator::Cancel), Qt::LeftButton);
        QCOMPARE(c.state(), Cursor::State::Browse);
        QCOMPARE(c.fieldByName(QStringLiteral("Nombre")).asString(), QStringLiteral("Zoe"));
    }

    void refreshRereadsTheRows()
    {
        RecordNavigator &nav = navigator(m_dm->DHuespedes);
        m_db->addGuest(QStringLiteral("Abel"));
        QCOMPARE(m_dm->THuespedes->recordCount(), 3);
        QTest::mouseClick(nav.button(RecordNavigator::Refresh), Qt::LeftButton);
        QCOMPARE(m_dm->THuespedes->recordCount(), 4);
        // The current record stays on the guest it was on.
        QCOMPARE(m_dm->THuespedes->fieldByName(QStringLiteral("Nombre")).asString(), QStringLiteral("Ana"));
    }

    void disabledButtonIgnoresTheMouse()
    {
        RecordNavigator &nav = navigator(m_dm->DHuespedes);
        QSignalSpy clicks(&nav, &RecordNavigator::clicked);
        QVERIFY(!nav.button(RecordNavigator::Prior)->isEnabled());
        QTest::mouseClick(nav.button(RecordNavigator::Prior), Qt::LeftButton);
        QCOMPARE(clicks.count(), 0);
    }

    // ---- keyboard ----------------------------------------------------------------

    void keys_data()
    {
        QTest::addColumn<QList<int>>("buttons");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<int>("focused");
        QTest::addColumn<QList<int>>("clicks");
        QTest::addColumn<int>("recNo");
        const QList<int> browse{0, 1, 2, 3, 4, 5, 6};
        QTest::newRow("right twice and space presses next") << browse << "R R S" << 2 << QList<int>{2} << 1;
        QTest::newRow("left stops at the first button") << browse << "L L R L" << 0 << QList<int>{} << 0;
        QTest::newRow("right stops at the last visible button") << browse << "R R R R R R R R R" << 6 << QList<int>{} << 0;
        QTest::newRow("space on a disabled button does nothing") << browse << "S" << 0 << QList<int>{} << 0;
        QTest::newRow("last, then back to prior") << browse << "R R R S L L S" << 1 << QList<int>{3, 1} << 1;
        QTest::newRow("hidden buttons are skipped") << QList<int>{0, 3, 6} << "R S R" << 6 << QList<int>{3} << 2;
        QTest::newRow("focus starts on the first visible button") << QList<int>{7, 8} << "L R R" << 8 << QList<int>{} << 0;
    }

    void keys()
    {
        QFETCH(QList<int>, buttons);
        QFETCH(QString, keys);
        QFETCH(int, focused);
        QFETCH(QList<int>, clicks);
        QFETCH(int, recNo);
        RecordNavigator &nav = navigator(m_dm->DHuespedes, buttons);
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        nav.setFocus(Qt::TabFocusReason);
        QVERIFY(nav.hasFocus());
        QList<int> got;
        connect(&nav, &RecordNavigator::clicked, this, [&](int n) { got << n; });
        for (const QString &k : keys.split(u' ', Qt::SkipEmptyParts))
            QTest::keyClick(&nav, k == u"L" ? Qt::Key_Left : k == u"R" ? Qt::Key_Right : Qt::Key_Space);
        QCOMPARE(nav.focusedButton(), focused);
        QCOMPARE(got, clicks);
        QCOMPARE(m_dm->THuespedes->recNo(), recNo);
        // The focus stays on the navigator: the arrows move within it.
        QVERIFY(nav.hasFocus());
    }

    void spaceOnDeleteAsksToo()
    {
        RecordNavigator &nav = navigator(m_dm->DHuespedes, {5});
        QCOMPARE(nav.focusedButton(), 5);
        DialogAnswers answers(QStringLiteral("Cancel"));
        QSignalSpy clicks(&nav, &RecordNavigator::clicked);
        QTest::keyClick(&nav, Qt::Key_Space);
        QCOMPARE(answers.texts(), QStringList{QStringLiteral("Delete record?")});
        QCOMPARE(clicks.count(), 1);
        QCOMPARE(m_dm->THuespedes->recordCount(), 3);
    }
};

QTEST_MAIN(TestRecordNavigator)
#include "tst_recordnavigator.moc"
