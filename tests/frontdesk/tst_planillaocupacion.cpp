#include "DataGrid.h"
#include "DatePicker.h"
#include "DateTimes.h"
#include "Guard.h"
#include "LookupCombo.h"
#include "LookupList.h"
#include "PlannerGrid.h"
#include "ReportEngine.h"
#include "ReportPreview.h"
#include "Startup.h"
#include "TestDatabase.h"
#include "TestSupport.h"
#include "UBusquedaHabitacion.h"
#include "UDM.h"
#include "UEstadias.h"
#include "UPlanillaOcupacion.h"
#include "UPrincipal.h"
#include "UReservas.h"
#include "WindowTest.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QToolTip>

#include <functional>

namespace {

QString day(int offset)
{
    return DateTimes::today().addDays(offset).toString(Qt::ISODate);
}

QString shortDate(QDate d)
{
    return d.toString(QStringLiteral("dd/MM/yyyy"));
}

// Relative lightness as print in grey and contrast formulas read it.
double luminance(const QColor &c)
{
    auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

} // namespace

// The occupancy planner over a fresh database: four rooms on two floors and
// stays placed around today.
class TestPlanillaOcupacion : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestDatabase> m_db;
    qint64 m_type = 0, m_suite = 0;
    qint64 m_r9 = 0, m_r10 = 0, m_r101 = 0, m_r201 = 0;
    qint64 m_ana = 0, m_beto = 0;

    static TFPlanillaOcupacion &win() { return *FPlanillaOcupacion; }
    static PlannerGrid &grid() { return *FPlanillaOcupacion->grdPlanilla; }

    void arrange()
    {
        m_db = std::make_unique<TestDatabase>();
        m_type = m_db->addRoomType(QStringLiteral("Doble"), money("100"));
        m_suite = m_db->addRoomType(QStringLiteral("Suite"), money("250"));
        // Numbers as text would put 10 before 9, and floors mix in the file.
        m_r201 = m_db->addRoom(QStringLiteral("201"), m_suite, 2, QStringLiteral("Ciudad"));
        m_r10 = m_db->addRoom(QStringLiteral("10"), m_type, 1);
        m_r101 = m_db->addRoom(QStringLiteral("101"), m_type, 1, QStringLiteral("Interior"));
        m_r9 = m_db->addRoom(QStringLiteral("9"), m_type, 1);
        m_ana = m_db->addGuest(QStringLiteral("Ana Paz"), QStringLiteral("20111222"));
        m_beto = m_db->addGuest(QStringLiteral("Beto Ruiz"), QStringLiteral("30111222"));
    }

    void start()
    {
        Startup::createAll(m_db->target());
        Regional::setSettings(spanishSettings());
    }

    void stop()
    {
        Startup::destroyAll();
        m_db.reset();
    }

    // Opens the planner from the menu and runs `inside` once it shows.
    static void open(const std::function<void()> &inside)
    {
        bool seen = false;
        whenModalOpens([&](QWidget *modal) {
            QCOMPARE(modal, static_cast<QWidget *>(FPlanillaOcupacion));
            seen = true;
            // As the window system does for a window just shown.
            modal->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(modal));
            inside();
        });
        FPrincipal->PlanilladeOcupacion1->trigger();
        QVERIFY(seen);
    }

    static int rowOf(const QString &number)
    {
        for (int r = 0; r < grid().rowCount(); ++r)
            if (grid().row(r).title == number)
                return r;
        return -1;
    }

    // "room first last state guest", offsets from today, in the grid's order.
    static QStringList bars()
    {
        QStringList out;
        const QDate today = DateTimes::today();
        for (int r = 0; r < grid().rowCount(); ++r) {
            for (int i : grid().barsOfRow(r)) {
                const PlannerGrid::Bar &b = grid().bars()[size_t(i)];
                out << QStringLiteral("%1 %2 %3 %4 %5")
                           .arg(grid().row(r).title)
                           .arg(today.daysTo(b.first))
                           .arg(today.daysTo(b.last))
                           .arg(win().estadoDeBarra(i), b.text);
            }
        }
        return out;
    }

    static QPoint centreOf(int row, QDate d) { return grid().cellRect(row, d).center(); }

    static void doubleClick(int row, QDate d)
    {
        QTest::mouseDClick(grid().viewport(), Qt::LeftButton, {}, centreOf(row, d));
    }

private slots:
    void initTestCase() { Startup::configure(*static_cast<QApplication *>(QCoreApplication::instance())); }
    void init() { arrange(); }
    void cleanup() { stop(); }

    void menuAndWindow()
    {
        start();
        const QList<QAction *> reservas = FPrincipal->MainMenu1Reservas->actions();
        QCOMPARE(reservas.size(), 3);
        QCOMPARE(reservas[0]->text(), QStringLiteral("Administrar Reservas"));
        QCOMPARE(reservas[1]->text(), QStringLiteral("Agregar Reserva"));
        QCOMPARE(reservas[2]->text(), QStringLiteral("Planilla de Ocupación"));
        open([] {
            QCOMPARE(win().windowTitle(), QStringLiteral("Planilla de Ocupación"));
            QVERIFY(win().isModal());
            const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
            QCOMPARE(win().frameGeometry().size(), area.size());
            // Floor, then number as a whole number.
            QStringList rows;
            for (int r = 0; r < grid().rowCount(); ++r)
                rows << grid().row(r).title + u'|' + grid().row(r).detail;
            QCOMPARE(rows, QStringList({"9|Doble, Mar", "10|Doble, Mar", "101|Doble, Interior", "201|Suite, Ciudad"}));
            const QDate today = DateTimes::today();
            QCOMPARE(win().dia(), today);
            QCOMPARE(grid().firstDay(), today.addDays(-3));
            QCOMPARE(grid().dayCount(), 32);
            QCOMPARE(grid().today(), today);
            QCOMPARE(grid().currentRow(), 0);
            QCOMPARE(grid().currentDay(), today);
            QCOMPARE(win().dtpDia->date().date(), today);
            QCOMPARE(win().lblRango->text(), QStringLiteral("Del ") + shortDate(today.addDays(-3))
                                                 + QStringLiteral(" al ") + shortDate(today.addDays(28)));
            QVERIFY(grid().hasFocus());
            // Today's column stands out from its neighbours in the header.
            const QImage shot = grid().viewport()->grab().toImage();
            const QPoint todayHeader(grid().dayX(today) + 2, grid().headerHeight() / 2 + 2);
            QCOMPARE(shot.pixelColor(todayHeader), PlannerGrid::todayColour());
            QVERIFY(shot.pixelColor(todayHeader + QPoint(grid().dayWidth() * 2, 0)) != PlannerGrid::todayColour());
        });
        // Nothing the planner did moved a shared cursor.
        QVERIFY(!DM->TEstadias->isFiltered());
    }

    // Every stay is one bar from check-in to check-out, both days included, and
    // only the days shown are read.
    void barsOverTheDays_data()
    {
        QTest::addColumn<QString>("room");
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<QString>("state");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("one-day stay") << "101" << 2 << 2 << "Reservada" << QStringList{"101 2 2 Reservada Ana Paz"};
        QTest::newRow("across both ends of the days shown")
            << "10" << -30 << 60 << "Ocupada" << QStringList{"10 -30 60 Ocupada Ana Paz"};
        QTest::newRow("invoiced") << "9" << -3 << -2 << "Facturada" << QStringList{"9 -3 -2 Facturada Ana Paz"};
        QTest::newRow("finished, drawn faint") << "201" << 0 << 4 << "Finalizada"
                                               << QStringList{"201 0 4 Finalizada Ana Paz"};
        QTest::newRow("ending the day before the first shown") << "201" << -10 << -4 << "Facturada" << QStringList{};
        QTest::newRow("beginning the day after the last shown") << "201" << 29 << 31 << "Reservada" << QStringList{};
        QTest::newRow("on the last day shown") << "201" << 28 << 31 << "Reservada"
                                               << QStringList{"201 28 31 Reservada Ana Paz"};
    }

    void barsOverTheDays()
    {
        QFETCH(QString, room);
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(QString, state);
        QFETCH(QStringList, expected);
        const QHash<QString, qint64> rooms{{"9", m_r9}, {"10", m_r10}, {"101", m_r101}, {"201", m_r201}};
        m_db->addStay(m_ana, rooms[room], day(from), day(to), state, money("100"));
        start();
        open([&] {
            QCOMPARE(bars(), expected);
            if (expected.isEmpty())
                return;
            const PlannerGrid::Bar &b = grid().bars().front();
            QCOMPARE(b.colour, TFPlanillaOcupacion::colorDeEstado(state));
            QCOMPARE(b.faint, state == QLatin1String("Finalizada"));
            const QDate first = DateTimes::today().addDays(from);
            const QDate last = DateTimes::today().addDays(to);
            QCOMPARE(grid().describe(0, PlannerGrid::Description::AccessibleName), QStringLiteral("Ana Paz, ") + state + QStringLiteral(", ") + shortDate(first)
                                           + QStringLiteral(" a ") + shortDate(last));
            const qint64 days = first.daysTo(last) + 1;
            QCOMPARE(grid().describe(0, PlannerGrid::Description::ToolTip), QStringLiteral("Ana Paz\nHabitación %1\n%2 a %3 (%4 %5)\nPrecio diario: $ 100,00\n%6")
                                    .arg(room, shortDate(first), shortDate(last))
                                    .arg(days)
                                    .arg(days == 1 ? QStringLiteral("día") : QStringLiteral("días"), state));
            // The bar covers its days in view, cut at the edges of the days shown.
            const QRect r = grid().barRect(0);
            const QDate shownFirst = std::max(first, grid().firstDay());
            const QDate shownLast = std::min(last, grid().lastDay());
            QVERIFY(qAbs(r.left() - grid().dayX(shownFirst)) <= 2);
            QVERIFY(qAbs(r.right() + 1 - grid().dayX(shownLast.addDays(1))) <= 2);
            // What the grid paints there is the state's colour (faint: nearly white).
            const QImage shot = grid().viewport()->grab().toImage();
            const QColor painted = shot.pixelColor(r.center() + QPoint(0, r.height() / 2 - 2));
            if (b.faint)
                QVERIFY(painted.lightness() > 230);
            else
                QCOMPARE(painted, b.colour);
        });
    }

    void twoStaysOfOneRoomAndTheirTips()
    {
        m_db->addStay(m_ana, m_r101, day(-2), day(1), QStringLiteral("Ocupada"));
        m_db->addStay(m_beto, m_r101, day(2), day(5), QStringLiteral("Reservada"));
        // A finished stay over the same days stays under the others.
        m_db->addStay(m_beto, m_r101, day(-1), day(3), QStringLiteral("Finalizada"));
        start();
        open([] {
            QCOMPARE(bars(), QStringList({"101 -1 3 Finalizada Beto Ruiz", "101 -2 1 Ocupada Ana Paz",
                                          "101 2 5 Reservada Beto Ruiz"}));
            const int row = rowOf(QStringLiteral("101"));
            const QDate today = DateTimes::today();
            QCOMPARE(win().estadoDeBarra(grid().barAt(row, today.addDays(1))), QStringLiteral("Ocupada"));
            QCOMPARE(win().estadoDeBarra(grid().barAt(row, today.addDays(2))), QStringLiteral("Reservada"));
            QCOMPARE(grid().barAt(row, today.addDays(6)), -1);
            QCOMPARE(grid().barAt(rowOf(QStringLiteral("9")), today), -1);

            // Hovering a bar shows its tip; a free day shows none.
            auto tipAt = [](int r, QDate d) {
                const QPoint at = centreOf(r, d);
                QHelpEvent help(QEvent::ToolTip, at, grid().viewport()->mapToGlobal(at));
                QApplication::sendEvent(grid().viewport(), &help);
                return QToolTip::isVisible() ? QToolTip::text() : QString();
            };
            QCOMPARE(tipAt(rowOf(QStringLiteral("9")), today), QString());
            QCOMPARE(tipAt(row, today.addDays(2)),
                     QStringLiteral("Beto Ruiz\nHabitación 101\n%1 a %2 (4 días)\nPrecio diario: $ 100,00\nReservada")
                         .arg(shortDate(today.addDays(2)), shortDate(today.addDays(5))));
        });
    }

    // The palette: four states told apart by colour-blind readers and in grey.
    void paletteStaysReadable()
    {
        const QStringList states = TFPlanillaOcupacion::estados();
        QCOMPARE(states, QStringList({"Reservada", "Ocupada", "Facturada", "Finalizada"}));
        for (int a = 0; a < states.size(); ++a) {
            const QColor ca = TFPlanillaOcupacion::colorDeEstado(states[a]);
            // Black text on the bar: at least 4.5 to 1.
            QVERIFY2((luminance(ca) + 0.05) / 0.05 >= 4.5, qPrintable(states[a]));
            for (int b = a + 1; b < states.size(); ++b) {
                const QColor cb = TFPlanillaOcupacion::colorDeEstado(states[b]);
                QVERIFY2(qAbs(luminance(ca) - luminance(cb)) >= 0.04 || states[b] == QLatin1String("Finalizada"),
                         qPrintable(states[a] + u'/' + states[b]));
            }
        }
        QCOMPARE(TFPlanillaOcupacion::colorDeEstado(QStringLiteral("Otra")), QColor(0xbb, 0xbb, 0xbb));
    }

    // Buttons, keys, the picker and "Hoy" move the days; the bars follow.
    void moving_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("expected"); // the day anchored on, from today

        const QDate today = DateTimes::today();
        QTest::newRow("a day later") << "btDiaSiguiente" << 1;
        QTest::newRow("a day earlier") << "btDiaAnterior" << -1;
        QTest::newRow("a week later") << "btSemanaSiguiente" << 7;
        QTest::newRow("a week earlier") << "btSemanaAnterior" << -7;
        QTest::newRow("a month later") << "btMesSiguiente" << int(today.daysTo(today.addMonths(1)));
        QTest::newRow("a month earlier") << "btMesAnterior" << int(today.daysTo(today.addMonths(-1)));
        QTest::newRow("Ctrl+Right") << "Ctrl+Right" << 7;
        QTest::newRow("Ctrl+Left") << "Ctrl+Left" << -7;
        QTest::newRow("Ctrl+Page Down") << "Ctrl+PgDown" << int(today.daysTo(today.addMonths(1)));
        QTest::newRow("right arrow past the last day") << "End Right" << 1;
        QTest::newRow("left arrow before the first day") << "Home Left" << -1;
        QTest::newRow("the picker") << "picker" << 40;
        QTest::newRow("back to today") << "btSemanaSiguiente btHoy" << 0;
    }

    void moving()
    {
        QFETCH(QString, action);
        QFETCH(int, expected);
        // Only a week or more from today.
        m_db->addStay(m_ana, m_r9, day(40), day(41), QStringLiteral("Reservada"));
        m_db->addStay(m_beto, m_r10, day(-20), day(-19), QStringLiteral("Facturada"));
        start();
        open([&] {
            const QDate today = DateTimes::today();
            for (const QString &step : action.split(u' ')) {
                if (step.startsWith(QLatin1String("bt"))) {
                    win().findChild<QPushButton *>(step)->click();
                } else if (step == QLatin1String("picker")) {
                    win().dtpDia->setFocus();
                    win().dtpDia->setDate(DateTimes::make(today.addDays(40)));
                    win().dtpDiaChange();
                } else {
                    const QKeySequence keys(step);
                    QTest::keyClick(&grid(), Qt::Key(keys[0].key()), keys[0].keyboardModifiers());
                }
            }
            const QDate anchor = today.addDays(expected);
            QCOMPARE(win().dia(), anchor);
            QCOMPARE(grid().firstDay(), anchor.addDays(-3));
            QCOMPARE(win().dtpDia->date().date(), anchor);
            QStringList expectedBars;
            if (grid().lastDay() >= today.addDays(40))
                expectedBars << "9 40 41 Reservada Ana Paz";
            if (grid().firstDay() <= today.addDays(-19))
                expectedBars << "10 -20 -19 Facturada Beto Ruiz";
            std::sort(expectedBars.begin(), expectedBars.end(), [](const QString &a, const QString &b) {
                return rowOf(a.section(u' ', 0, 0)) < rowOf(b.section(u' ', 0, 0));
            });
            QCOMPARE(bars(), expectedBars);
            // Always a current cell among the days shown.
            QVERIFY(grid().currentDay() >= grid().firstDay() && grid().currentDay() <= grid().lastDay());
        });
    }

    // A double click on a free day books that room for that day at once.
    void doubleClickOnAFreeDayBooksIt()
    {
        start();
        open([this] {
            const int row = rowOf(QStringLiteral("101"));
            const QDate target = DateTimes::today().addDays(2);
            bool seen = false;
            whenModalOpens([&](QWidget *modal) {
                seen = true;
                TFBusquedaHabitacion &d = *FBusquedaHabitacion;
                QCOMPARE(modal, static_cast<QWidget *>(&d));
                QCOMPARE(d.windowTitle(), QStringLiteral("Reservación de una habitación"));
                QVERIFY(d.btReservar->isVisible());
                QVERIFY(!d.btAsignarHabitacion->isVisible());
                QCOMPARE(d.dblcbxTipoHabitacion->keyValue().toLongLong(), m_type);
                QCOMPARE(d.lblCostoDia->text(), QStringLiteral("100,00"));
                QCOMPARE(d.dtpDesde->date().date(), target);
                QCOMPARE(d.dtpHasta->date().date(), target);
                QCOMPARE(d.lblCantDias->text(), QStringLiteral("1"));
                // The search ran: the free rooms of the type, this one chosen.
                QCOMPARE(d.lbxHabLibres->count(), 3);
                QVERIFY(d.lbxHabLibres->currentItem());
                QCOMPARE(d.lbxHabLibres->currentItem()->text(), QStringLiteral("101"));
                d.dblcbxHuesped->setKeyValue(m_ana);
                d.btReservar->click();
            });
            doubleClick(row, target);
            QVERIFY(seen);
            // The new booking shows as soon as the dialog closes.
            QCOMPARE(bars(), QStringList{"101 2 2 Reservada Ana Paz"});
            QCOMPARE(grid().currentRow(), row);
            QCOMPARE(grid().currentDay(), target);
        });
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT count(*) FROM Estadias WHERE IdHabitacion = ? AND Estado = "
                                             "'Reservada' AND FechaIngreso = ?"),
                              {m_r101, day(2) + QStringLiteral(" 00:00:00")})
                     .toInt(),
                 1);
    }

    // Enter does what a double click does, on the current cell; a room whose
    // day another program took is not chosen.
    void enterOnATakenRoomChoosesNothing()
    {
        start();
        // Written after the program read its stays: the file says the room is taken.
        m_db->addStay(m_beto, m_r9, day(1), day(1), QStringLiteral("Reservada"));
        open([] {
            bool seen = false;
            whenModalOpens([&](QWidget *) {
                seen = true;
                TFBusquedaHabitacion &d = *FBusquedaHabitacion;
                QCOMPARE(d.lbxHabLibres->count(), 2);
                QCOMPARE(d.lbxHabLibres->findItems(QStringLiteral("9"), Qt::MatchExactly).size(), 0);
                QVERIFY(!d.lbxHabLibres->currentItem());
            });
            grid().setCurrent(rowOf(QStringLiteral("9")), DateTimes::today().addDays(1));
            QTest::keyClick(&grid(), Qt::Key_Return);
            QVERIFY(seen);
            // Nothing was booked; the other program's stay shows once this
            // desk has heard of it (at once where the server tells).
            const QStringList shown = bars();
            QVERIFY2(shown.isEmpty() || shown == QStringList{QStringLiteral("9 1 1 Reservada Beto Ruiz")},
                     qPrintable(shown.join(QLatin1Char('|'))));
        });
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT count(*) FROM Estadias")).toInt(), 1);
    }

    // A double click on a stay opens its window on it; what is done there shows
    // in the planner when the window closes.
    void doubleClickOnAStayOpensItsWindow_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("after");

        QTest::newRow("occupied: the stays window") << "Ocupada" << "FEstadias" << "Estado = 'Ocupada'"
                                                    << "10 0 5 Facturada Beto Ruiz";
        QTest::newRow("reserved: the reservations window") << "Reservada" << "FReservas" << "Estado = 'Reservada'"
                                                           << "10 0 5 Ocupada Beto Ruiz";
    }

    void doubleClickOnAStayOpensItsWindow()
    {
        QFETCH(QString, state);
        QFETCH(QString, window);
        QFETCH(QString, filter);
        QFETCH(QString, after);
        // Another stay of that state comes first in the windows' lists.
        m_db->addStay(m_ana, m_r9, day(-1), day(3), state);
        const qint64 stay = m_db->addStay(m_beto, m_r10, day(0), day(5), state);
        start();
        open([&] {
            const QDate clicked = DateTimes::today().addDays(3);
            bool seen = false;
            whenModalOpens([&](QWidget *modal) {
                seen = true;
                QCOMPARE(modal->objectName(), window);
                QCOMPARE(DM->TEstadias->filter(), filter);
                QCOMPARE(DM->TEstadias->fieldByName(QStringLiteral("IdEstadia")).asInteger(), stay);
                if (window == QLatin1String("FEstadias")) {
                    QCOMPARE(FEstadias->dtpEgreso->date().date(), DateTimes::today().addDays(5));
                    DialogAnswers yes(QStringLiteral("&Yes"));
                    whenModalOpens([](QWidget *preview) { QVERIFY(qobject_cast<ReportPreview *>(preview)); });
                    FEstadias->btFacturar->click();
                    QCOMPARE(yes.unexpected(), 0);
                } else {
                    DialogAnswers yes(QStringLiteral("&Yes"));
                    FReservas->btAsignar->click();
                    QCOMPARE(yes.texts(), QStringList{"¿Ocupa la habitación 10 reservada por Beto Ruiz?"});
                }
            });
            doubleClick(rowOf(QStringLiteral("10")), clicked);
            QVERIFY(seen);
            QVERIFY(bars().contains(after));
        });
        QVERIFY(!DM->TEstadias->isFiltered());
        QCOMPARE(DM->TEstadias->filter(), QString());
    }

    void doubleClicksThatOpenNothing_data()
    {
        QTest::addColumn<int>("offset");
        QTest::addColumn<QString>("message");
        QTest::newRow("a free day already past") << -1 << "No se puede reservar un día ya pasado.";
        QTest::newRow("an invoiced stay") << -2 << "La estadía está facturada: no hay nada que administrar.";
    }

    void doubleClicksThatOpenNothing()
    {
        QFETCH(int, offset);
        QFETCH(QString, message);
        m_db->addStay(m_ana, m_r9, day(-3), day(-2), QStringLiteral("Facturada"));
        start();
        open([&] {
            DialogAnswers ok(QStringLiteral("OK"));
            doubleClick(rowOf(QStringLiteral("9")), DateTimes::today().addDays(offset));
            QCOMPARE(ok.texts(), QStringList{message});
            QCOMPARE(ok.titles(), QStringList{"Information"});
            QVERIFY(!FBusquedaHabitacion->isVisible());
        });
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT count(*) FROM Estadias")).toInt(), 1);
    }

    // Assistive technology: rows named by room, bars by guest, state and days,
    // and always a current cell to focus.
    void accessibility()
    {
        m_db->addStay(m_ana, m_r101, day(0), day(2), QStringLiteral("Ocupada"));
        m_db->addStay(m_beto, m_r101, day(4), day(4), QStringLiteral("Reservada"));
        start();
        open([] {
            QAccessibleInterface *table = QAccessible::queryAccessibleInterface(&grid());
            QVERIFY(table);
            QCOMPARE(table->role(), QAccessible::Table);
            QCOMPARE(table->childCount(), 4);
            QStringList rows;
            for (int i = 0; i < table->childCount(); ++i) {
                QAccessibleInterface *row = table->child(i);
                QCOMPARE(row->role(), QAccessible::Row);
                QCOMPARE(row->parent(), table);
                QCOMPARE(table->indexOfChild(row), i);
                rows << row->text(QAccessible::Name);
            }
            QCOMPARE(rows, QStringList({"9", "10", "101", "201"}));
            QCOMPARE(table->child(2)->text(QAccessible::Description), QStringLiteral("Doble, Interior"));

            const QDate today = DateTimes::today();
            QAccessibleInterface *room = table->child(rowOf(QStringLiteral("101")));
            QCOMPARE(room->childCount(), 2);
            QCOMPARE(room->child(0)->role(), QAccessible::Cell);
            QCOMPARE(room->child(0)->text(QAccessible::Name),
                     QStringLiteral("Ana Paz, Ocupada, ") + shortDate(today) + QStringLiteral(" a ")
                         + shortDate(today.addDays(2)));
            QCOMPARE(room->child(1)->text(QAccessible::Name),
                     QStringLiteral("Beto Ruiz, Reservada, ") + shortDate(today.addDays(4)) + QStringLiteral(" a ")
                         + shortDate(today.addDays(4)));
            QCOMPARE(room->child(1)->parent(), room);

            // The focus: a free current day is named, a bar is the bar.
            QAccessibleInterface *focus = table->focusChild();
            QVERIFY(focus);
            QCOMPARE(focus->text(QAccessible::Name), QStringLiteral("Libre, ") + shortDate(today));
            QVERIFY(focus->state().focused);
            QCOMPARE(focus->parent()->text(QAccessible::Name), QStringLiteral("9"));
            grid().setCurrent(rowOf(QStringLiteral("101")), today.addDays(1));
            QCOMPARE(table->focusChild(), room->child(0));
            QVERIFY(room->child(0)->state().focused);
            QVERIFY(!room->child(1)->state().focused);

            // A new run of days replaces the cells; the focus is still there.
            win().btSemanaSiguiente->click();
            QAccessibleInterface *after = table->focusChild();
            QVERIFY(after);
            QVERIFY(after->isValid());
            QCOMPARE(after->text(QAccessible::Name), QStringLiteral("Libre, ") + shortDate(today.addDays(8)));
        });
    }

    // "Imprimir": the days shown, landscape, the days' header on every page and
    // every room on a line of its own.
    void printing()
    {
        for (int i = 0; i < 40; ++i)
            m_db->addRoom(QString::number(301 + i), m_type, 3);
        m_db->addStay(m_ana, m_r101, day(-1), day(2), QStringLiteral("Ocupada"));
        m_db->addStay(m_beto, m_r101, day(5), day(6), QStringLiteral("Reservada"));
        start();
        open([] {
            const ReportDocument doc = ReportEngine::produce(win().repPlanilla());
            QCOMPARE(doc.title, QStringLiteral("Planilla de Ocupación"));
            QCOMPARE(doc.pageCount(), 2);
            const QDate today = DateTimes::today();
            QStringList rooms;
            for (int p = 0; p < doc.pageCount(); ++p) {
                QVERIFY(doc.pages[size_t(p)].width > doc.pages[size_t(p)].height);
                const QStringList texts = doc.pageTexts(p);
                QVERIFY2(texts.contains(QStringLiteral("Habitación")), qPrintable(QString::number(p)));
                QVERIFY(texts.contains(QString::number(today.day())));
                QVERIFY(texts.contains(PlannerGrid::weekdayLetters(today)));
                for (const QString &t : texts)
                    if (t.toInt() > 300)
                        rooms << t;
            }
            // Every room once, in order, over both pages.
            QStringList expectedRooms;
            for (int i = 0; i < 40; ++i)
                expectedRooms << QString::number(301 + i);
            QCOMPARE(rooms, expectedRooms);
            QVERIFY(doc.pageTexts(1).contains(QStringLiteral("340")));
            QCOMPARE(doc.pageTexts(0).first(), QStringLiteral("Planilla de Ocupación"));
            QVERIFY(doc.pageTexts(0).contains(QStringLiteral("Del ") + shortDate(today.addDays(-3))
                                              + QStringLiteral(" al ") + shortDate(today.addDays(28))));
            QVERIFY(doc.pageTexts(0).contains(QStringLiteral("Ana Paz")));
            QVERIFY(doc.pageTexts(0).contains(QStringLiteral("Beto Ruiz")));
            // Each bar in its state's colour.
            QSet<QRgb> fills;
            for (const PageItem &item : doc.pages[0].items)
                if (const auto *f = std::get_if<FillItem>(&item))
                    fills.insert(f->colour);
            QVERIFY(fills.contains(TFPlanillaOcupacion::colorDeEstado(QStringLiteral("Ocupada")).rgba()));
            QVERIFY(fills.contains(TFPlanillaOcupacion::colorDeEstado(QStringLiteral("Reservada")).rgba()));

            bool previewed = false;
            whenModalOpens([&](QWidget *modal) {
                auto *p = qobject_cast<ReportPreview *>(modal);
                QVERIFY(p);
                previewed = true;
                QCOMPARE(p->pageCount(), 2);
            });
            win().btImprimir->click();
            QVERIFY(previewed);
        });
    }
};

QTEST_MAIN(TestPlanillaOcupacion)
#include "tst_planillaocupacion.moc"
