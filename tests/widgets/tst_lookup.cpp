#include "DataError.h"
#include "LookupCombo.h"
#include "LookupList.h"
#include "MessageDialog.h"
#include "Regional.h"
#include "TestDatabase.h"
#include "TestSupport.h"
#include "UDM.h"

#include <QApplication>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>

// Lookup combos and lists on the data module's real cursors over a fresh file,
// driven with keys and clicks on the offscreen platform.
class TestLookup : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<TDM> m_dm;
    std::unique_ptr<QWidget> m_window;
    QHash<QString, qint64> m_guests;
    QHash<QString, qint64> m_types;
    QHash<QString, qint64> m_rooms;
    qint64 m_now = 0;

    void openModule()
    {
        m_dm = std::make_unique<TDM>(m_db->target());
        m_dm->DataModuleCreate();
    }

    void addGuests()
    {
        const QStringList names{"Mariana", "martín", "Ana", "Beto", "Zoe"};
        for (int i = 0; i < names.size(); ++i)
            m_guests[names[i]] = m_db->addGuest(names[i], QString::number(20000000 + i));
    }

    void addRooms()
    {
        m_types["Doble"] = m_db->addRoomType(QStringLiteral("Doble"), money("1234.5"));
        m_types["Simple"] = m_db->addRoomType(QStringLiteral("Simple"), money("500"));
        m_types["Suite"] = m_db->addRoomType(QStringLiteral("Suite"), money("2000"));
        m_rooms["101"] = m_db->addRoom(QStringLiteral("101"), m_types["Doble"]);
        m_rooms["102"] = m_db->addRoom(QStringLiteral("102"), m_types["Simple"]);
        m_rooms["201"] = m_db->addRoom(QStringLiteral("201"), m_types["Suite"]);
    }

    template<typename Control>
    Control *guestControl(const QString &fields = QStringLiteral("Nombre;DNI"))
    {
        auto *c = new Control(m_window.get());
        c->setListSource(m_dm->DHuespedes);
        c->setKeyField(QStringLiteral("IdHuesped"));
        c->setListFields(fields);
        c->setSearchClock([this] { return m_now; });
        c->setGeometry(10, 10, 162, std::is_same_v<Control, LookupList> ? 150 : 21);
        return c;
    }

    // A guest's key from its name; "#missing" is a key no row has; "" is null.
    QVariant guestKey(const QString &name) const
    {
        if (name.isEmpty())
            return QVariant();
        if (name == u"#missing")
            return 999999;
        return m_guests.value(name);
    }

    QString guestName(const QVariant &key) const
    {
        return key.isValid() ? m_guests.key(key.toLongLong(), QStringLiteral("#missing")) : QString();
    }

    QString currentGuest() const { return m_dm->THuespedes->value(QStringLiteral("Nombre")).toString(); }
    QString currentType() const { return m_dm->TTiposDeHabitacion->value(QStringLiteral("Nombre")).toString(); }

    void show()
    {
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }

    static Qt::Key keyNamed(const QString &name)
    {
        static const QHash<QString, Qt::Key> keys{
            {"Up", Qt::Key_Up},         {"Down", Qt::Key_Down},           {"Enter", Qt::Key_Return},
            {"Escape", Qt::Key_Escape}, {"F4", Qt::Key_F4},               {"Home", Qt::Key_Home},
            {"End", Qt::Key_End},       {"PageDown", Qt::Key_PageDown},   {"Tab", Qt::Key_Tab},
            {"Backspace", Qt::Key_Backspace},
        };
        return keys.value(name, Qt::Key_unknown);
    }

    // Runs steps on a widget: key names, "Alt+Up"/"Alt+Down", "+N" to advance
    // the clock by N ms, anything else typed as text.
    void drive(QWidget *w, const QStringList &steps)
    {
        for (const QString &s : steps) {
            if (s.startsWith(u'+') && s.size() > 1)
                m_now += s.mid(1).toLongLong();
            else if (s.startsWith(u"Alt+"))
                QTest::keyClick(w, keyNamed(s.mid(4)), Qt::AltModifier);
            else if (keyNamed(s) != Qt::Key_unknown)
                QTest::keyClick(w, keyNamed(s));
            else
                QTest::keyClicks(w, s);
        }
    }

private slots:
    void initTestCase()
    {
        QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"));
        QApplication::setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
        Regional::setSettings(spanishSettings());
    }

    void init()
    {
        m_db = std::make_unique<TestDatabase>();
        QVERIFY(m_db->isValid());
        m_window = std::make_unique<QWidget>();
        m_window->resize(400, 300);
        m_guests.clear();
        m_types.clear();
        m_rooms.clear();
        m_now = 0;
    }

    void cleanup()
    {
        m_window.reset();
        m_dm.reset();
        m_db.reset();
    }

    // ---- key value set by program ---------------------------------------------

    void keyValueByProgram_data()
    {
        QTest::addColumn<bool>("list");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("current");
        QTest::addColumn<QString>("text");
        QTest::newRow("combo, a guest") << false << "Mariana" << "Mariana" << "Mariana";
        QTest::newRow("combo, no such key") << false << "#missing" << "Zoe" << "";
        QTest::newRow("combo, null") << false << "" << "Zoe" << "";
        QTest::newRow("list, a guest") << true << "Mariana" << "Mariana" << "";
        QTest::newRow("list, no such key") << true << "#missing" << "Ana" << "";
        QTest::newRow("list, null") << true << "" << "Ana" << "";
    }

    void keyValueByProgram()
    {
        QFETCH(bool, list);
        QFETCH(QString, key);
        QFETCH(QString, current);
        QFETCH(QString, text);
        addGuests();
        openModule();
        LookupCombo *combo = list ? nullptr : guestControl<LookupCombo>();
        LookupList *box = list ? guestControl<LookupList>() : nullptr;
        QSignalSpy clicks(list ? static_cast<QObject *>(box) : combo, SIGNAL(clicked()));
        const auto setKey = [&](const QVariant &k) { list ? box->setKeyValue(k) : combo->setKeyValue(k); };

        setKey(guestKey(QStringLiteral("Beto")));
        QCOMPARE(currentGuest(), QStringLiteral("Beto"));
        m_dm->THuespedes->last();
        setKey(guestKey(key));

        QCOMPARE(currentGuest(), current);
        QCOMPARE(guestName(list ? box->keyValue() : combo->keyValue()), key);
        if (combo)
            QCOMPARE(combo->text(), text);
        QCOMPARE(clicks.count(), 0);
    }

    void nullKeyShowsEmptyText()
    {
        addGuests();
        openModule();
        auto *combo = guestControl<LookupCombo>();
        QVERIFY(!combo->keyValue().isValid());
        QCOMPARE(combo->text(), QString());
        // The list cursor's current guest is not a choice.
        QCOMPARE(currentGuest(), QStringLiteral("Ana"));
    }

    // ---- typed search ----------------------------------------------------------

    void typedSearch_data()
    {
        QTest::addColumn<bool>("list");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<int>("clicks");
        QTest::newRow("combo: ma is Mariana, before martín") << false << "ma" << "Mariana" << 2;
        QTest::newRow("combo: letter case is ignored") << false << "MA" << "Mariana" << 2;
        QTest::newRow("combo: mart") << false << "mart" << "martín" << 4;
        QTest::newRow("combo: b") << false << "b" << "Beto" << 1;
        QTest::newRow("combo: no guest begins with q") << false << "q" << "" << 0;
        QTest::newRow("combo: a letter matching nothing is dropped") << false << "maqr" << "Mariana" << 3;
        QTest::newRow("list: ma") << true << "ma" << "Mariana" << 2;
        QTest::newRow("list: MART") << true << "MART" << "martín" << 4;
    }

    void typedSearch()
    {
        QFETCH(bool, list);
        QFETCH(QString, typed);
        QFETCH(QString, chosen);
        QFETCH(int, clicks);
        addGuests();
        openModule();
        QWidget *control = list ? static_cast<QWidget *>(guestControl<LookupList>())
                                : static_cast<QWidget *>(guestControl<LookupCombo>());
        show();
        control->setFocus();
        QWidget *target = list ? static_cast<LookupList *>(control)->rowsView() : control;
        QSignalSpy spy(control, SIGNAL(clicked()));

        QTest::keyClicks(target, typed);

        const QVariant key = list ? static_cast<LookupList *>(control)->keyValue()
                                  : static_cast<LookupCombo *>(control)->keyValue();
        QCOMPARE(guestName(key), chosen);
        QCOMPARE(spy.count(), clicks);
        if (!chosen.isEmpty())
            QCOMPARE(currentGuest(), chosen);
        if (!list)
            QCOMPARE(static_cast<LookupCombo *>(control)->text(), chosen);
    }

    void searchCollection_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("chosen");
        const QString a32(32, u'a');
        QTest::newRow("1999 ms later the collection goes on") << QStringList{"ma", "+1999", "b"} << "Mariana";
        QTest::newRow("2001 ms later it restarts") << QStringList{"ma", "+2001", "b"} << "Beto";
        QTest::newRow("the pause counts from the last key") << QStringList{"m", "+1500", "a", "+1500", "r"}
                                                           << "Mariana";
        QTest::newRow("Backspace empties it") << QStringList{"ma", "Backspace", "b"} << "Beto";
        QTest::newRow("Escape empties it") << QStringList{"ma", "Escape", "b"} << "Beto";
        QTest::newRow("32 characters are searched") << QStringList{QString(31, u'a'), "b"} << "a31 bx";
        QTest::newRow("a 33rd character is ignored") << QStringList{a32, "b"} << "a40";
    }

    void searchCollection()
    {
        QFETCH(QStringList, steps);
        QFETCH(QString, chosen);
        addGuests();
        // In name order: a40, a32 b, a31 bx.
        m_guests["a40"] = m_db->addGuest(QString(40, u'a'));
        m_guests["a32 b"] = m_db->addGuest(QString(32, u'a') + u'b');
        m_guests["a31 bx"] = m_db->addGuest(QString(31, u'a') + QStringLiteral("bx"));
        openModule();
        auto *combo = guestControl<LookupCombo>();
        drive(combo, steps);
        QCOMPARE(guestName(combo->keyValue()), chosen);
    }

    void searchNeedsTextField()
    {
        addGuests();
        openModule();
        auto *combo = guestControl<LookupCombo>(QStringLiteral("IdHuesped;Nombre"));
        QSignalSpy spy(combo, &LookupCombo::clicked);
        QTest::keyClicks(combo, QString::number(m_guests["Beto"]));
        QVERIFY(!combo->keyValue().isValid());
        QCOMPARE(spy.count(), 0);
    }

    // ---- a closed combo's arrow keys -------------------------------------------

    void comboSteps_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("chosen");
        QTest::newRow("down from Ana") << "Ana" << "Down" << "Beto";
        QTest::newRow("up from Beto") << "Beto" << "Up" << "Ana";
        QTest::newRow("up on the first row stays") << "Ana" << "Up" << "Ana";
        QTest::newRow("down on the last row stays") << "Zoe" << "Down" << "Zoe";
        QTest::newRow("down with nothing chosen takes the first") << "" << "Down" << "Ana";
        QTest::newRow("up with a key of no row takes the first") << "#missing" << "Up" << "Ana";
    }

    void comboSteps()
    {
        QFETCH(QString, start);
        QFETCH(QString, key);
        QFETCH(QString, chosen);
        addGuests();
        openModule();
        auto *combo = guestControl<LookupCombo>();
        combo->setKeyValue(guestKey(start));
        m_dm->THuespedes->last();
        QStringList events;
        connect(combo, &LookupCombo::clicked, this, [&] { events << "clicked " + guestName(combo->keyValue()); });
        connect(combo, &LookupCombo::closeUp, this, [&] { events << QStringLiteral("closeUp"); });

        drive(combo, {key});

        QCOMPARE(guestName(combo->keyValue()), chosen);
        QCOMPARE(currentGuest(), chosen);
        QCOMPARE(events, QStringList{"clicked " + chosen});
        QVERIFY(!combo->isDroppedDown());
    }

    // ---- the drop-down -------------------------------------------------------------

    void dropDown_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QStringList>("events");
        // Rows in order: Ana, Beto, Mariana, martín, Zoe.
        QTest::newRow("Enter takes the highlighted row")
            << "Beto" << QStringList{"Down", "Enter"} << "Mariana" << QStringList{"clicked Mariana", "closeUp"};
        QTest::newRow("Escape closes without a choice")
            << "Beto" << QStringList{"Down", "Escape"} << "Beto" << QStringList{"closeUp"};
        QTest::newRow("Tab closes without a choice")
            << "Beto" << QStringList{"Down", "Tab"} << "Beto" << QStringList{"closeUp"};
        QTest::newRow("Alt+Up closes taking the row")
            << "Beto" << QStringList{"Down", "Down", "Alt+Up"} << "martín"
            << QStringList{"clicked martín", "closeUp"};
        QTest::newRow("F4 closes taking the row unchanged")
            << "Beto" << QStringList{"F4"} << "Beto" << QStringList{"clicked Beto", "closeUp"};
        QTest::newRow("Enter with nothing highlighted chooses nothing")
            << "" << QStringList{"Enter"} << "" << QStringList{"closeUp"};
        QTest::newRow("the first Down with nothing chosen is the first row")
            << "" << QStringList{"Down", "Enter"} << "Ana" << QStringList{"clicked Ana", "closeUp"};
        QTest::newRow("End goes to the last row")
            << "Ana" << QStringList{"End", "Enter"} << "Zoe" << QStringList{"clicked Zoe", "closeUp"};
        QTest::newRow("typing only moves the highlight")
            << "Ana" << QStringList{"mart", "Enter"} << "martín" << QStringList{"clicked martín", "closeUp"};
        QTest::newRow("typing then Escape chooses nothing")
            << "Ana" << QStringList{"mart", "Escape"} << "Ana" << QStringList{"closeUp"};
        QTest::newRow("a click on a row") << "" << QStringList{"click 2"} << "Mariana"
                                          << QStringList{"clicked Mariana", "closeUp"};
        QTest::newRow("a click outside closes without a choice")
            << "Beto" << QStringList{"Down", "click outside"} << "Beto" << QStringList{"closeUp"};
    }

    void dropDown()
    {
        QFETCH(QString, start);
        QFETCH(QStringList, steps);
        QFETCH(QString, chosen);
        QFETCH(QStringList, events);
        addGuests();
        openModule();
        auto *combo = guestControl<LookupCombo>();
        combo->setKeyValue(guestKey(start));
        show();
        combo->setFocus();
        QStringList log;
        connect(combo, &LookupCombo::clicked, this, [&] { log << "clicked " + guestName(combo->keyValue()); });
        connect(combo, &LookupCombo::closeUp, this, [&] { log << QStringLiteral("closeUp"); });
        QSignalSpy closeUps(combo, &LookupCombo::closeUp);

        QTest::keyClick(combo, Qt::Key_Down, Qt::AltModifier);
        QVERIFY(combo->isDroppedDown());
        LookupRowsView *view = combo->dropDownList();
        QCOMPARE(view->currentIndex().row(), start.isEmpty() ? -1 : m_dm->THuespedes->recNo());
        for (const QString &step : steps) {
            if (step == u"click outside") {
                QTest::mouseClick(view->window(), Qt::LeftButton, {}, QPoint(-20, -20));
            } else if (step.startsWith(u"click ")) {
                const QRect r = view->visualRect(view->model()->index(step.mid(6).toInt(), 0));
                QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, r.center());
            } else {
                drive(view, {step});
            }
        }

        QVERIFY(!combo->isDroppedDown());
        QCOMPARE(log, events);
        QCOMPARE(closeUps.count(), 1);
        QCOMPARE(guestName(combo->keyValue()), chosen);
        QCOMPARE(combo->text(), chosen);
    }

    void dropDownSize_data()
    {
        QTest::addColumn<int>("guests");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("shownRows");
        QTest::addColumn<int>("shownWidth");
        QTest::newRow("7 rows as wide as the combo") << 12 << 0 << 0 << 7 << 162;
        QTest::newRow("10 rows, 200 wide") << 12 << 10 << 200 << 10 << 200;
        QTest::newRow("no more rows than the list has") << 12 << 20 << 0 << 12 << 162;
        QTest::newRow("a short list") << 3 << 0 << 0 << 3 << 162;
        QTest::newRow("an empty list keeps one row") << 0 << 0 << 0 << 1 << 162;
    }

    void dropDownSize()
    {
        QFETCH(int, guests);
        QFETCH(int, rows);
        QFETCH(int, width);
        QFETCH(int, shownRows);
        QFETCH(int, shownWidth);
        for (int i = 0; i < guests; ++i)
            m_db->addGuest(QStringLiteral("Huésped %1").arg(i, 2, 10, QLatin1Char('0')));
        openModule();
        auto *combo = guestControl<LookupCombo>();
        if (rows)
            combo->setDropDownRows(rows);
        if (width)
            combo->setDropDownWidth(width);
        show();
        combo->dropDown();
        LookupRowsView *view = combo->dropDownList();
        QCOMPARE(view->window()->width(), shownWidth);
        QCOMPARE(view->viewport()->height(), shownRows * view->rowHeight());
        QCOMPARE(view->window()->height(), shownRows * view->rowHeight() + 2);
        QCOMPARE(view->window()->geometry().top(), combo->mapToGlobal(QPoint(0, combo->height())).y());
        combo->closeDropDown(false);
    }

    // ---- rows and columns ----------------------------------------------------------

    void columns_data()
    {
        QTest::addColumn<QString>("fields");
        QTest::addColumn<QList<int>>("chars");
        QTest::newRow("one field takes the whole row") << "Nombre" << QList<int>{};
        QTest::newRow("name, then the price takes the rest") << "Nombre;Precio" << QList<int>{20};
        QTest::newRow("price, name, then the key") << "Precio;Nombre;IdServicio" << QList<int>{8, 20};
    }

    void columns()
    {
        QFETCH(QString, fields);
        QFETCH(QList<int>, chars);
        openModule();
        LookupBinding binding(LookupBinding::Kind::List, m_window.get());
        binding.setListSource(m_dm->DServicios);
        binding.setKeyField(QStringLiteral("IdServicio"));
        binding.setListFields(fields);
        const QFontMetrics fm(QFont(QStringLiteral("MS Sans Serif"), 8));
        const int zero = fm.horizontalAdvance(u'0');
        QList<int> expected;
        int used = 0;
        for (int c : chars) {
            expected << c * zero + 4;
            used += c * zero + 4;
        }
        expected << 400 - used;
        QCOMPARE(LookupRowDelegate::columnWidths(binding, fm, 400), expected);
    }

    void serviceRows_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("alignment");
        const int left = Qt::AlignLeft | Qt::AlignVCenter, right = Qt::AlignRight | Qt::AlignVCenter;
        QTest::newRow("first name") << 0 << 0 << "Desayuno" << left;
        QTest::newRow("its price in the currency format") << 0 << 1 << "$ 150,00" << right;
        QTest::newRow("second name, in name order") << 1 << 0 << "Lavandería" << left;
        QTest::newRow("a price with thousands") << 1 << 1 << "$ 1.234,50" << right;
    }

    void serviceRows()
    {
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(QString, text);
        QFETCH(int, alignment);
        m_db->addService(QStringLiteral("Lavandería"), money("1234.5"));
        m_db->addService(QStringLiteral("Desayuno"), money("150"));
        openModule();
        auto *list = new LookupList(m_window.get());
        list->setListSource(m_dm->DServicios);
        list->setKeyField(QStringLiteral("IdServicio"));
        list->setListFields(QStringLiteral("Nombre;Precio"));
        const QAbstractItemModel *model = list->rowsView()->model();
        QCOMPARE(model->rowCount(), 2);
        QCOMPARE(model->columnCount(), 2);
        QCOMPARE(model->index(row, column).data().toString(), text);
        QCOMPARE(model->index(row, column).data(Qt::TextAlignmentRole).toInt(), alignment);
    }

    // The model follows the cursor's rows one by one, without copying them.
    void rowsFollowCursor_data()
    {
        QTest::addColumn<QString>("ops");
        QTest::addColumn<int>("count");
        QTest::newRow("append and post a guest") << "append post" << 6;
        QTest::newRow("append and cancel") << "append cancel" << 5;
        QTest::newRow("while appending") << "append" << 6;
        QTest::newRow("delete") << "next delete" << 4;
        QTest::newRow("rename moves the row") << "edit post" << 5;
        QTest::newRow("filter") << "filter" << 2;
        QTest::newRow("close") << "close" << 0;
    }

    void rowsFollowCursor()
    {
        QFETCH(QString, ops);
        QFETCH(int, count);
        addGuests();
        openModule();
        auto *list = guestControl<LookupList>(QStringLiteral("Nombre"));
        const QAbstractItemModel *model = list->rowsView()->model();
        QSignalSpy resets(model, &QAbstractItemModel::modelReset);
        Cursor &c = *m_dm->THuespedes;
        for (const QString &op : ops.split(u' ')) {
            if (op == u"append") {
                c.append();
                c.setValue(QStringLiteral("Nombre"), QStringLiteral("Carla"));
            } else if (op == u"edit") {
                c.edit();
                c.setValue(QStringLiteral("Nombre"), QStringLiteral("Zulema"));
            } else if (op == u"post") {
                c.post();
            } else if (op == u"cancel") {
                c.cancel();
            } else if (op == u"next") {
                c.next();
            } else if (op == u"delete") {
                c.remove();
            } else if (op == u"filter") {
                c.setFilter(QStringLiteral("Nombre LIKE '*ar*'"));
                c.setFiltered(true);
            } else if (op == u"close") {
                c.close();
            }
        }
        QCOMPARE(model->rowCount(), count);
        QCOMPARE(model->rowCount(), c.recordCount());
        const Field &name = c.fieldByName(QStringLiteral("Nombre"));
        for (int i = 0; i < count; ++i)
            QCOMPARE(model->index(i, 0).data().toString(), Field::plainText(c.valueAt(i, name)));
        if (!ops.contains(u"filter") && !ops.contains(u"close"))
            QCOMPARE(resets.count(), 0);
    }

    void misspeltField_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("fields");
        QTest::addColumn<QString>("data");
        QTest::addColumn<QString>("message");
        QTest::newRow("key field") << "IdServicios" << "Nombre" << "" << "TServicios: Field 'IdServicios' not found";
        QTest::newRow("list field") << "IdServicio" << "Nombre;Precioo" << ""
                                    << "TServicios: Field 'Precioo' not found";
        QTest::newRow("data field") << "IdServicio" << "Nombre" << "IdServ"
                                    << "TConsumosDeServicios: Field 'IdServ' not found";
        QTest::newRow("letter case does not matter") << "idservicio" << "NOMBRE;precio" << "idServicio" << "";
    }

    void misspeltField()
    {
        QFETCH(QString, key);
        QFETCH(QString, fields);
        QFETCH(QString, data);
        QFETCH(QString, message);
        openModule();
        LookupCombo combo(m_window.get());
        QString caught;
        try {
            combo.setDataSource(m_dm->DConsumoDeServicios);
            combo.setListSource(m_dm->DServicios);
            combo.setKeyField(key);
            combo.setListFields(fields);
            combo.setDataField(data);
        } catch (const DataError &e) {
            caught = e.message();
        }
        QCOMPARE(caught, message);
    }

    // ---- the lost choice of an unbound combo -----------------------------------------

    void lostChoice_data()
    {
        QTest::addColumn<QString>("ops");
        QTest::addColumn<QString>("kept");
        QTest::newRow("a filter change empties the choice") << "filter" << "";
        QTest::newRow("switching the filter off too") << "filter choose Mariana off" << "";
        QTest::newRow("first") << "first" << "";
        QTest::newRow("next keeps it") << "next" << "Mariana";
        QTest::newRow("last keeps it") << "last" << "Mariana";
        QTest::newRow("the combo's own locate of the first row keeps it") << "choose Ana" << "Ana";
        QTest::newRow("a choice after the loss stands") << "first choose Ana" << "Ana";
    }

    void lostChoice()
    {
        QFETCH(QString, ops);
        QFETCH(QString, kept);
        addGuests();
        openModule();
        auto *combo = guestControl<LookupCombo>();
        QSignalSpy clicks(combo, &LookupCombo::clicked);
        combo->setKeyValue(guestKey(QStringLiteral("Mariana")));
        Cursor &c = *m_dm->THuespedes;
        const QStringList words = ops.split(u' ');
        for (int i = 0; i < words.size(); ++i) {
            const QString &op = words[i];
            if (op == u"filter") {
                c.setFilter(QStringLiteral("Nombre LIKE '*ar*'"));
                c.setFiltered(true);
            } else if (op == u"off") {
                c.setFiltered(false);
            } else if (op == u"first") {
                c.first();
            } else if (op == u"next") {
                c.next();
            } else if (op == u"last") {
                c.last();
            } else if (op == u"choose") {
                combo->setKeyValue(guestKey(words.value(++i)));
            }
        }
        QCOMPARE(guestName(combo->keyValue()), kept);
        QCOMPARE(combo->text(), kept);
        QCOMPARE(clicks.count(), 0);
    }

    // ---- a bound combo: the rooms' type --------------------------------------------------

    LookupCombo *typeCombo(QWidget *parent)
    {
        auto *combo = new LookupCombo(parent);
        combo->setDataSource(m_dm->DHabitaciones);
        combo->setDataField(QStringLiteral("IdTipo"));
        combo->setListSource(m_dm->DTiposDeHabitacion);
        combo->setKeyField(QStringLiteral("IdTipo"));
        combo->setListFields(QStringLiteral("Nombre"));
        combo->setSearchClock([this] { return m_now; });
        combo->setGeometry(8, 136, 102, 21);
        return combo;
    }

    void boundComboFollowsRooms_data()
    {
        QTest::addColumn<QString>("ops");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("typeCursor");
        QTest::newRow("at creation: the first room's type") << "" << "Doble" << "Doble";
        QTest::newRow("next room") << "next" << "Simple" << "Simple";
        QTest::newRow("last room") << "last" << "Suite" << "Suite";
        QTest::newRow("back to the first") << "last first" << "Doble" << "Doble";
        QTest::newRow("the types cursor moved elsewhere") << "types:last" << "Doble" << "Suite";
        QTest::newRow("a move to the same type leaves the types cursor")
            << "types:last refresh" << "Doble" << "Suite";
        QTest::newRow("first on the types keeps a bound choice") << "next types:first" << "Simple" << "Doble";
        QTest::newRow("a change of the room's field") << "set:Suite" << "Suite" << "Suite";
        QTest::newRow("cancel brings the stored type back") << "set:Suite cancel" << "Doble" << "Doble";
    }

    void boundComboFollowsRooms()
    {
        QFETCH(QString, ops);
        QFETCH(QString, text);
        QFETCH(QString, typeCursor);
        addRooms();
        openModule();
        m_dm->TTiposDeHabitacion->last();
        // A control of a window that was never shown.
        QWidget hidden;
        LookupCombo *combo = typeCombo(&hidden);
        QSignalSpy clicks(combo, &LookupCombo::clicked);
        Cursor &rooms = *m_dm->THabitaciones;
        for (const QString &op : ops.split(u' ', Qt::SkipEmptyParts)) {
            if (op == u"next")
                rooms.next();
            else if (op == u"last")
                rooms.last();
            else if (op == u"first")
                rooms.first();
            else if (op == u"refresh")
                rooms.moveTo(0);
            else if (op == u"cancel")
                rooms.cancel();
            else if (op == u"types:last")
                m_dm->TTiposDeHabitacion->last();
            else if (op == u"types:first")
                m_dm->TTiposDeHabitacion->first();
            else if (op.startsWith(u"set:")) {
                rooms.edit();
                rooms.setValue(QStringLiteral("IdTipo"), m_types.value(op.mid(4)));
            }
        }
        QVERIFY(!combo->isVisible());
        QCOMPARE(combo->text(), text);
        QCOMPARE(combo->keyValue().toLongLong(), m_types.value(text));
        QCOMPARE(currentType(), typeCursor);
        QCOMPARE(clicks.count(), 0);
    }

    void boundComboWritesChoice_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<int>("clicks");
        QTest::newRow("down arrow") << QStringList{"Down"} << "Simple" << 1;
        QTest::newRow("drop-down") << QStringList{"Alt+Down", "Down", "Down", "Enter"} << "Suite" << 1;
        QTest::newRow("typing: s chooses Simple, su Suite") << QStringList{"su"} << "Suite" << 2;
    }

    void boundComboWritesChoice()
    {
        QFETCH(QStringList, steps);
        QFETCH(QString, chosen);
        QFETCH(int, clicks);
        addRooms();
        openModule();
        LookupCombo *combo = typeCombo(m_window.get());
        show();
        combo->setFocus();
        QSignalSpy spy(combo, &LookupCombo::clicked);
        Cursor &rooms = *m_dm->THabitaciones;
        QCOMPARE(rooms.state(), Cursor::State::Browse);

        for (const QString &step : steps)
            drive(combo->isDroppedDown() ? static_cast<QWidget *>(combo->dropDownList()) : combo, {step});

        QCOMPARE(rooms.state(), Cursor::State::Edit);
        QCOMPARE(rooms.value(QStringLiteral("IdTipo")).toLongLong(), m_types.value(chosen));
        QCOMPARE(combo->text(), chosen);
        QCOMPARE(currentType(), chosen);
        QCOMPARE(spy.count(), clicks);
        rooms.post();
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT IdTipo FROM Habitaciones WHERE NroHabitacion = '101'"))
                     .toLongLong(),
                 m_types.value(chosen));
        QCOMPARE(combo->text(), chosen);
    }

    void boundComboOverClosedCursor()
    {
        addRooms();
        openModule();
        LookupCombo *combo = typeCombo(m_window.get());
        m_dm->THabitaciones->close();
        QVERIFY(!combo->keyValue().isValid());
        QCOMPARE(combo->text(), QString());
        // Choosing reaches the default error dialog with the cursor's message.
        QString shown;
        MessageDialog::setObserver([&](QMessageBox &box) {
            shown = box.text();
            box.accept();
        });
        QSignalSpy clicks(combo, &LookupCombo::clicked);
        QTest::keyClick(combo, Qt::Key_Down);
        MessageDialog::setObserver({});
        QCOMPARE(shown, QStringLiteral("THabitaciones: Cannot perform this operation on a closed dataset."));
        QCOMPARE(clicks.count(), 0);
    }

    // ---- a lookup list over the stays --------------------------------------------------

    void stayList()
    {
        addGuests();
        addRooms();
        const qint64 first = m_db->addStay(m_guests["Ana"], m_rooms["201"], "2014-04-01", "2014-04-05", "Ocupada");
        const qint64 second = m_db->addStay(m_guests["Beto"], m_rooms["101"], "2014-04-02", "2014-04-06", "Ocupada");
        openModule();
        auto *list = new LookupList(m_window.get());
        list->setListSource(m_dm->DEstadias);
        list->setKeyField(QStringLiteral("IdHabitacion"));
        list->setListFields(QStringLiteral("Habitacion"));
        list->setSearchClock([this] { return m_now; });
        list->setGeometry(5, 2, 89, 200);
        show();
        list->setFocus();
        QSignalSpy clicks(list, &LookupList::clicked);
        LookupRowsView *view = list->rowsView();
        QCOMPARE(view->model()->index(0, 0).data().toString(), QStringLiteral("201"));
        QCOMPARE(view->model()->index(1, 0).data().toString(), QStringLiteral("101"));
        QCOMPARE(view->model()->index(0, 0).data(Qt::TextAlignmentRole).toInt(),
                 int(Qt::AlignRight | Qt::AlignVCenter));

        const QRect r = view->visualRect(view->model()->index(1, 0));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, r.center());
        QCOMPARE(list->keyValue().toLongLong(), m_rooms["101"]);
        QCOMPARE(m_dm->TEstadias->value(QStringLiteral("IdEstadia")).toLongLong(), second);
        QCOMPARE(clicks.count(), 1);

        // Room numbers are whole numbers: typing searches nothing.
        QTest::keyClicks(view, QStringLiteral("20"));
        QCOMPARE(list->keyValue().toLongLong(), m_rooms["101"]);
        QCOMPARE(clicks.count(), 1);

        QTest::keyClick(view, Qt::Key_Up);
        QCOMPARE(list->keyValue().toLongLong(), m_rooms["201"]);
        QCOMPARE(m_dm->TEstadias->value(QStringLiteral("IdEstadia")).toLongLong(), first);
        QCOMPARE(clicks.count(), 2);

        // A key of no row moves the stays to the first row, by program silently.
        m_dm->TEstadias->last();
        list->setKeyValue(999999);
        QCOMPARE(m_dm->TEstadias->value(QStringLiteral("IdEstadia")).toLongLong(), first);
        QCOMPARE(clicks.count(), 2);
    }

    // ---- many rows ---------------------------------------------------------------------

    void fiftyThousandGuests()
    {
        m_db->exec(QStringLiteral("INSERT INTO Huespedes (Nombre, DNI) "
                                  "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 50000) "
                                  "SELECT 'Huesped ' || substr(CAST(100000 + i AS TEXT), 2), CAST(i AS TEXT) FROM n"));
        openModule();
        auto *combo = guestControl<LookupCombo>();
        combo->setDropDownRows(10);
        combo->setDropDownWidth(200);
        show();
        combo->setFocus();
        QTest::keyClicks(combo, QStringLiteral("huesped 04999"));
        QCOMPARE(combo->text(), QStringLiteral("Huesped 04999"));
        combo->dropDown();
        LookupRowsView *view = combo->dropDownList();
        QCOMPARE(view->model()->rowCount(), 50000);
        QTest::keyClick(view, Qt::Key_End);
        QTest::keyClick(view, Qt::Key_Return);
        QCOMPARE(combo->text(), QStringLiteral("Huesped 50000"));
        QCOMPARE(m_dm->THuespedes->recNo(), 49999);
    }
};

QTEST_MAIN(TestLookup)
#include "tst_lookup.moc"
