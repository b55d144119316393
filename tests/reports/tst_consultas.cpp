#include "DataGrid.h"
#include "ImageList16.h"
#include "LookupCombo.h"
#include "LookupDrawing.h"
#include "Startup.h"
#include "TestDatabase.h"
#include "TestSupport.h"
#include "UConsultas.h"
#include "UDM.h"
#include "UHuespedes.h"
#include "UPrincipal.h"
#include "WindowTest.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

using Rows = QList<QStringList>;

// The queries window over a fresh database, opened as the main menu opens it.
class TestConsultas : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestDatabase> m_db;

    static Rows shown(DataGrid *grid)
    {
        Rows rows;
        for (int r = 0; r < grid->rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < grid->columnCount(); ++c)
                cells << grid->cellText(r, c);
            rows << cells;
        }
        return rows;
    }

    // The guest's row clicked in the drop-down; false when it is not offered.
    static bool chooseGuest(const QString &name)
    {
        LookupCombo *combo = FConsultas->dblcxHuesped;
        combo->dropDown();
        LookupRowsView *view = combo->dropDownList();
        for (int r = 0; r < view->model()->rowCount(); ++r) {
            const QModelIndex index = view->model()->index(r, 0);
            if (index.data().toString() == name) {
                QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
                return !combo->isDroppedDown();
            }
        }
        combo->closeDropDown(false);
        return false;
    }

    // A view picked in the open list of the box, as a user picks it.
    static void chooseView(const QString &view)
    {
        QComboBox *box = FConsultas->cbxVista;
        box->showPopup();
        QAbstractItemView *list = box->view();
        const QModelIndex index = list->model()->index(box->findText(view), 0);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(index).center());
        QTRY_VERIFY(!list->isVisible());
    }

    static QStringList offeredGuests()
    {
        LookupCombo *combo = FConsultas->dblcxHuesped;
        combo->dropDown();
        QStringList names;
        QAbstractItemModel *model = combo->dropDownList()->model();
        for (int r = 0; r < model->rowCount(); ++r)
            names << model->index(r, 0).data().toString() + u'|' + model->index(r, 1).data().toString();
        combo->closeDropDown(false);
        return names;
    }

private slots:
    void initTestCase() { Startup::configure(*static_cast<QApplication *>(QCoreApplication::instance())); }

    // Guests with stays in every state; rooms of three views; one Ciudad room
    // without stays.
    void init()
    {
        m_db = std::make_unique<TestDatabase>();
        const qint64 type = m_db->addRoomType(QStringLiteral("Doble"), money("50"));
        const qint64 r101 = m_db->addRoom(QStringLiteral("101"), type, 1, QStringLiteral("Mar"));
        const qint64 r9 = m_db->addRoom(QStringLiteral("9"), type, 1, QStringLiteral("Mar"));
        const qint64 r10 = m_db->addRoom(QStringLiteral("10"), type, 1, QStringLiteral("Mar"));
        const qint64 r205 = m_db->addRoom(QStringLiteral("205"), type, 2, QStringLiteral("Mar"));
        m_db->addRoom(QStringLiteral("202"), type, 2, QStringLiteral("Ciudad"));
        m_db->addRoom(QStringLiteral("300"), type, 3, QStringLiteral("Ciudad"));
        const qint64 r400 = m_db->addRoom(QStringLiteral("400"), type, 4, QStringLiteral("Interior"));
        const qint64 ana = m_db->addGuest(QStringLiteral("Ana Gómez"), QStringLiteral("11111111"));
        const qint64 beto = m_db->addGuest(QStringLiteral("Beto Ruiz"), QStringLiteral("22222222"));
        const qint64 carla = m_db->addGuest(QStringLiteral("Carla Díaz"), QStringLiteral("33333333"));
        const QString billed = QStringLiteral("Facturada");
        // Ana: two invoiced stays entered out of date order, one current, one booked.
        m_db->addStay(ana, r101, QStringLiteral("2024-05-10"), QStringLiteral("2024-05-11"), billed); // 2 days
        m_db->addStay(ana, r205, QStringLiteral("2024-01-02"), QStringLiteral("2024-01-11"), billed); // 10
        m_db->addStay(ana, r101, QStringLiteral("2024-06-01"), QStringLiteral("2024-06-03"), QStringLiteral("Ocupada"));
        m_db->addStay(beto, r9, QStringLiteral("2024-07-01"), QStringLiteral("2024-07-05"), QStringLiteral("Reservada"));
        m_db->addStay(beto, r10, QStringLiteral("2024-03-01"), QStringLiteral("2024-03-05"), QStringLiteral("Ocupada"));
        m_db->addStay(carla, r400, QStringLiteral("2024-02-01"), QStringLiteral("2024-02-01"), billed);
        Startup::createAll(m_db->target());
        Regional::setSettings(spanishSettings());
        if (!FConsultas)
            FConsultas = new TFConsultas(FPrincipal);
    }

    void cleanup()
    {
        delete FConsultas;
        FConsultas = nullptr;
        Startup::destroyAll();
        m_db.reset();
    }

    void layout()
    {
        QCOMPARE(FConsultas->windowTitle(), QStringLiteral("Consultas"));
        QCOMPARE(FConsultas->size(), QSize(348, 245));
        QTabWidget *tabs = FConsultas->PageControl1;
        QCOMPARE(tabs->count(), 2);
        QCOMPARE(tabs->widget(0), FConsultas->tsEstadiaHuesped);
        QCOMPARE(tabs->widget(1), FConsultas->tsHabitacionesPedidas);
        QCOMPARE(tabs->tabText(0), QStringLiteral("Estadías de un huesped"));
        QCOMPARE(tabs->tabText(1), QStringLiteral("Habitaciones más pedidas por vista "));
        QCOMPARE(tabs->tabIcon(0).pixmap(16).toImage(), ImageList16::icon(17).pixmap(16).toImage());
        QCOMPARE(tabs->tabIcon(1).pixmap(16).toImage(), ImageList16::icon(6).pixmap(16).toImage());
        QVERIFY(tabs->tabBar()->font().bold());
        QVERIFY(FConsultas->Label3->font().bold() && FConsultas->Label1->font().bold());
        QVERIFY(!FConsultas->cbxVista->font().bold());

        QCOMPARE(FConsultas->pnlHuesped->height(), 49);
        QCOMPARE(FConsultas->pnlVista->height(), 49);
        QCOMPARE(FConsultas->Label3->text(), QStringLiteral("Huesped"));
        QCOMPARE(FConsultas->Label3->pos(), QPoint(32, 8));
        QCOMPARE(FConsultas->Label1->text(), QStringLiteral("Vista de la habitación"));
        QCOMPARE(FConsultas->Label1->pos(), QPoint(32, 5));
        QCOMPARE(FConsultas->dblcxHuesped->geometry(), QRect(32, 22, 193, 21));
        QCOMPARE(FConsultas->dblcxHuesped->listFields(), QStringLiteral("Nombre;DNI"));
        QCOMPARE(FConsultas->dblcxHuesped->keyField(), QStringLiteral("IdHuesped"));
        QCOMPARE(FConsultas->cbxVista->geometry(), QRect(32, 19, 124, 21));
        QCOMPARE(FConsultas->cbxVista->isEditable(), false);
        QStringList views;
        for (int i = 0; i < FConsultas->cbxVista->count(); ++i)
            views << FConsultas->cbxVista->itemText(i);
        QCOMPARE(views, (QStringList{"Mar", "Ciudad", "Interior"}));

        const QStringList stayTitles{"Ingreso", "Egreso", "Habitación", "Vista"};
        const QList<int> stayWidths{82, 82, 70};
        DataGrid *stays = FConsultas->dbgEstadiasHuesped;
        QCOMPARE(stays->columnCount(), 4);
        for (int i = 0; i < 4; ++i) {
            const DataGrid::Column c = stays->column(i);
            QCOMPARE(c.title, stayTitles[i]);
            QVERIFY(c.boldTitle);
            QCOMPARE(c.cellAlignment & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
            if (i < 3)
                QCOMPARE(c.width, stayWidths[i]);
        }
        DataGrid *rooms = FConsultas->DBGrid1;
        QCOMPARE(rooms->columnCount(), 2);
        QCOMPARE(rooms->column(0).title, QStringLiteral("Habitación"));
        QCOMPARE(rooms->column(1).title, QStringLiteral("Dias"));
        QCOMPARE(rooms->column(1).width, 43);
        QCOMPARE(rooms->options(), DataGrid::defaultOptions());

        // Both tabs and every column of a grid are in view at once.
        showModalAnd(FConsultas, [&] {
            QVERIFY(tabs->tabBar()->tabRect(1).right() < tabs->width());
            for (DataGrid *g : {stays, rooms}) {
                FConsultas->PageControl1->setCurrentWidget(g->parentWidget());
                int used = 0;
                for (int i = 0; i < g->columnCount(); ++i)
                    used += g->column(i).width;
                QVERIFY2(used <= g->viewport()->width(), qPrintable(g->objectName()));
            }
        });
    }

    // Only the invoiced stays of the chosen guest, by check-in; the guest becomes
    // the current guest of the shared cursor.
    void guestStays_data()
    {
        QTest::addColumn<QString>("guest");
        QTest::addColumn<Rows>("rows");
        QTest::newRow("two invoiced, by check-in")
            << "Ana Gómez"
            << Rows{{"02/01/2024", "11/01/2024", "205", "Mar"}, {"10/05/2024", "11/05/2024", "101", "Mar"}};
        QTest::newRow("none invoiced") << "Beto Ruiz" << Rows{};
        QTest::newRow("one day") << "Carla Díaz" << Rows{{"01/02/2024", "01/02/2024", "400", "Interior"}};
    }

    void guestStays()
    {
        QFETCH(QString, guest);
        QFETCH(Rows, rows);
        DialogAnswers answers;
        showModalAnd(FConsultas, [&] {
            QVERIFY(chooseGuest(guest));
            QCOMPARE(FConsultas->dblcxHuesped->text(), guest);
            QCOMPARE(shown(FConsultas->dbgEstadiasHuesped), rows);
            QCOMPARE(DM->THuespedes->fieldByName(QStringLiteral("Nombre")).asString(), guest);
        });
        QVERIFY(answers.boxes().isEmpty());
    }

    // A close of the drop-down without a choice runs the query with the key the
    // combo has: none at first (no rows), the chosen guest later.
    void closeUpWithoutChoice()
    {
        showModalAnd(FConsultas, [&] {
            QVERIFY(!DM->QEstadiasDeHuesped->isOpen());
            FConsultas->dblcxHuesped->dropDown();
            FConsultas->dblcxHuesped->closeDropDown(false);
            QVERIFY(DM->QEstadiasDeHuesped->isOpen());
            QCOMPARE(FConsultas->dbgEstadiasHuesped->rowCount(), 0);

            QVERIFY(chooseGuest(QStringLiteral("Ana Gómez")));
            QCOMPARE(FConsultas->dbgEstadiasHuesped->rowCount(), 2);
            m_db->exec(QStringLiteral("UPDATE Estadias SET Estado = 'Facturada'"));
            FConsultas->dblcxHuesped->dropDown();
            FConsultas->dblcxHuesped->closeDropDown(false);
            QCOMPARE(FConsultas->dblcxHuesped->text(), QStringLiteral("Ana Gómez"));
            QCOMPARE(FConsultas->dbgEstadiasHuesped->rowCount(), 3);
        });
    }

    // A step with the arrow keys chooses, and so runs the query.
    void arrowKeyChooses()
    {
        showModalAnd(FConsultas, [&] {
            FConsultas->dblcxHuesped->setFocus();
            QTest::keyClick(FConsultas->dblcxHuesped, Qt::Key_Down);
            QCOMPARE(FConsultas->dblcxHuesped->text(), QStringLiteral("Ana Gómez"));
            QCOMPARE(FConsultas->dbgEstadiasHuesped->rowCount(), 2);
            QTest::keyClick(FConsultas->dblcxHuesped, Qt::Key_Down);
            QCOMPARE(FConsultas->dblcxHuesped->text(), QStringLiteral("Beto Ruiz"));
            QCOMPARE(FConsultas->dbgEstadiasHuesped->rowCount(), 0);
        });
    }

    // The combo offers the guests as the guests window left them: name and
    // document side by side, narrowed by its name filter.
    void guestsFilterNarrowsTheCombo()
    {
        showModalAnd(FConsultas, [&] {
            QCOMPARE(offeredGuests(),
                     (QStringList{"Ana Gómez|11111111", "Beto Ruiz|22222222", "Carla Díaz|33333333"}));
        });
        FHuespedes->edFiltro->setText(QStringLiteral("rl"));
        showModalAnd(FConsultas, [&] {
            QCOMPARE(offeredGuests(), (QStringList{"Carla Díaz|33333333"}));
            QVERIFY(!chooseGuest(QStringLiteral("Ana Gómez")));
        });
    }

    // Rooms of the view by summed days of stays in any state, ties by number as
    // text; a view whose rooms have no stay gives no rows.
    void mostRequested_data()
    {
        QTest::addColumn<QString>("view");
        QTest::addColumn<Rows>("rows");
        QTest::newRow("ties by number as text")
            << "Mar" << Rows{{"205", "10"}, {"10", "5"}, {"101", "5"}, {"9", "5"}};
        QTest::newRow("rooms without stays") << "Ciudad" << Rows{};
        QTest::newRow("the view shown at first") << "Interior" << Rows{{"400", "1"}};
    }

    void mostRequested()
    {
        QFETCH(QString, view);
        QFETCH(Rows, rows);
        DialogAnswers answers;
        FConsultas->PageControl1->setCurrentIndex(1);
        showModalAnd(FConsultas, [&] {
            chooseView(view);
            QCOMPARE(FConsultas->cbxVista->currentText(), view);
            QCOMPARE(shown(FConsultas->DBGrid1), rows);
        });
        QVERIFY(answers.boxes().isEmpty());
    }

    // Opened first through the second tab: "Interior" shown, nothing run.
    void firstOpeningOnSecondTab()
    {
        FConsultas->PageControl1->setCurrentIndex(1);
        showModalAnd(FConsultas, [&] {
            QCOMPARE(FConsultas->PageControl1->currentWidget(), FConsultas->tsHabitacionesPedidas);
            QVERIFY(FConsultas->tsHabitacionesPedidas->isVisible());
            QCOMPARE(FConsultas->cbxVista->currentText(), QStringLiteral("Interior"));
            QCOMPARE(FConsultas->DBGrid1->rowCount(), 0);
            QCOMPARE(FConsultas->DBGrid1->column(0).title, QStringLiteral("Habitación"));
        });
        QVERIFY(!DM->QHabitaconesMasPedidas->isOpen());
        QVERIFY(!DM->QEstadiasDeHuesped->isOpen());
    }

    // Choices and results stay between openings; a stay invoiced meanwhile shows
    // only after the guest is chosen again.
    void stateKeptBetweenOpenings()
    {
        showModalAnd(FConsultas, [&] {
            QVERIFY(chooseGuest(QStringLiteral("Ana Gómez")));
            FConsultas->PageControl1->setCurrentIndex(1);
            chooseView(QStringLiteral("Mar"));
        });
        const Rows stays = shown(FConsultas->dbgEstadiasHuesped);
        const Rows rooms = shown(FConsultas->DBGrid1);
        QCOMPARE(stays.size(), 2);
        m_db->exec(QStringLiteral("UPDATE Estadias SET Estado = 'Facturada' WHERE Estado = 'Ocupada'"));

        FConsultas->PageControl1->setCurrentIndex(0);
        showModalAnd(FConsultas, [&] {
            QCOMPARE(FConsultas->dblcxHuesped->text(), QStringLiteral("Ana Gómez"));
            QCOMPARE(FConsultas->cbxVista->currentText(), QStringLiteral("Mar"));
            QCOMPARE(shown(FConsultas->dbgEstadiasHuesped), stays);
            QCOMPARE(shown(FConsultas->DBGrid1), rooms);
            QVERIFY(chooseGuest(QStringLiteral("Ana Gómez")));
            QCOMPARE(FConsultas->dbgEstadiasHuesped->rowCount(), 3);
        });
    }

    // The result grids change nothing: no editor, no deletion, no new row.
    void resultsAreReadOnly()
    {
        DialogAnswers answers;
        showModalAnd(FConsultas, [&] {
            QVERIFY(chooseGuest(QStringLiteral("Ana Gómez")));
            DataGrid *g = FConsultas->dbgEstadiasHuesped;
            QVERIFY(g->isReadOnly());
            g->setFocus();
            QTest::keyClick(g, Qt::Key_F2);
            QTest::keyClicks(g, QStringLiteral("9"));
            for (const QLineEdit *editor : g->findChildren<QLineEdit *>())
                QVERIFY(!editor->isVisible());
            QTest::keyClick(g, Qt::Key_Delete, Qt::ControlModifier);
            QTest::keyClick(g, Qt::Key_Insert);
            QCOMPARE(g->rowCount(), 2);
            QCOMPARE(DM->QEstadiasDeHuesped->state(), Cursor::State::Browse);
        });
        QVERIFY(answers.boxes().isEmpty());
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT count(*) FROM Estadias")).toInt(), 6);
    }

    // A query the file cannot run reaches the default error dialog; the query
    // stays closed and its grid empty until the next choice.
    void failingQuery()
    {
        DialogAnswers answers(QStringLiteral("OK"));
        showModalAnd(FConsultas, [&] {
            QVERIFY(chooseGuest(QStringLiteral("Ana Gómez")));
            m_db->exec(QStringLiteral("ALTER TABLE Estadias RENAME TO EstadiasAparte"));
            FConsultas->dblcxHuesped->setFocus();
            QTest::keyClick(FConsultas->dblcxHuesped, Qt::Key_Down);
            QVERIFY(!DM->QEstadiasDeHuesped->isOpen());
            QCOMPARE(FConsultas->dbgEstadiasHuesped->rowCount(), 0);
            m_db->exec(QStringLiteral("ALTER TABLE EstadiasAparte RENAME TO Estadias"));
            QVERIFY(chooseGuest(QStringLiteral("Ana Gómez")));
            QCOMPARE(FConsultas->dbgEstadiasHuesped->rowCount(), 2);
        });
        QCOMPARE(answers.titles(), QStringList{QStringLiteral("Administración de Hotel")});
        QVERIFY2(answers.texts().value(0).contains(QStringLiteral("Estadias")), qPrintable(answers.texts().value(0)));
    }
};

QTEST_MAIN(TestConsultas)
#include "tst_consultas.moc"
