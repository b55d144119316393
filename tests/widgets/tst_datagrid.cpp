#include "DataGrid.h"
#include "MessageDialog.h"
#include "RecordNavigator.h"
#include "Regional.h"
#include "TestDatabase.h"
#include "TestSupport.h"
#include "UDM.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>

#include "WindowTest.h"

namespace {

using Option = DataGrid::Option;
using Options = DataGrid::Options;


// The options of the guests window's grid.
Options guestsOptions()
{
    return Option::Titles | Option::Indicator | Option::ColumnResize | Option::ColumnLines | Option::RowLines
           | Option::Tabs | Option::RowSelect | Option::AlwaysShowSelection | Option::ConfirmDelete;
}

QList<DataGrid::Column> guestsColumns()
{
    return {
        {QStringLiteral("Nombre"), QStringLiteral("Nombre"), Qt::AlignHCenter, Qt::AlignLeft, 174, true},
        {QStringLiteral("DNI"), QStringLiteral("DNI"), Qt::AlignHCenter, Qt::AlignRight, 70, true},
        {QStringLiteral("Telefono"), QStringLiteral("Telefono"), Qt::AlignHCenter, Qt::AlignHCenter, 118, true},
        {QStringLiteral("EMail"), QStringLiteral("Correo Electrónico"), Qt::AlignHCenter, Qt::AlignLeft, 168, true},
    };
}

const QStringList guestNames{"Ana", "Beto", "Carla", "Dora", "Eva", "Fede", "Gala", "Hugo"};

} // namespace

// The data grid on the data module's real cursors over a fresh file.
class TestDataGrid : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<TDM> m_dm;
    std::unique_ptr<QWidget> m_window;
    DataGrid *m_grid = nullptr;
    QLineEdit *m_otherControl = nullptr;
    qint64 m_roomType = 0;

    void openModule()
    {
        m_dm = std::make_unique<TDM>(m_db->target());
        m_dm->DataModuleCreate();
    }

    // A shown, active window with a grid on the given data source and another
    // control to take the focus.
    DataGrid &grid(DataSource *source, Options options = guestsOptions(), bool readOnly = true,
                   const QList<DataGrid::Column> &columns = guestsColumns())
    {
        m_window = std::make_unique<QWidget>();
        m_window->setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
        m_window->resize(569, 324);
        m_grid = new DataGrid(m_window.get());
        m_grid->setGeometry(0, 0, 569, 268);
        m_grid->setOptions(options);
        m_grid->setReadOnly(readOnly);
        m_grid->setColumns(columns);
        m_grid->setDataSource(source);
        m_otherControl = new QLineEdit(m_window.get());
        m_otherControl->setGeometry(8, 290, 209, 21);
        m_window->show();
        m_window->activateWindow();
        if (!QTest::qWaitForWindowActive(m_window.get()))
            qWarning("window not active");
        m_grid->setFocus(Qt::OtherFocusReason);
        return *m_grid;
    }

    QPoint cellCentre(int row, int column = 0) const
    {
        return m_grid->visualRect(m_grid->model()->index(row, column)).center();
    }

    bool rowInView(int row) const
    {
        const int y = m_grid->rowViewportPosition(row);
        return y >= 0 && y + m_grid->rowHeight(row) <= m_grid->viewport()->height();
    }

    QStringList shownNames() const
    {
        QStringList out;
        for (int r = 0; r < m_grid->rowCount(); ++r)
            out << m_grid->cellText(r, 0);
        return out;
    }

    QStringList cursorNames(Cursor &c) const
    {
        QStringList out;
        const Field &f = c.fieldByName(QStringLiteral("Nombre"));
        for (int r = 0; r < c.recordCount(); ++r)
            out << f.displayTextOf(c.valueAt(r, f));
        return out;
    }

    int guestsInFile() { return m_db->scalar(QStringLiteral("SELECT count(*) FROM Huespedes")).toInt(); }

    // Makes the grid show exactly `rows` complete rows.
    void showRows(int rows)
    {
        const int rowHeight = m_grid->verticalHeader()->defaultSectionSize();
        m_grid->resize(m_grid->width(), 2 * m_grid->frameWidth() + m_grid->horizontalHeader()->height()
                                            + rows * rowHeight + rowHeight / 2);
    }

private slots:
    void initTestCase()
    {
        QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"));
        Regional::setSettings(spanishSettings());
    }

    void init()
    {
        m_db = std::make_unique<TestDatabase>();
        QVERIFY(m_db->isValid());
        // Added out of order; the cursor sorts them by name.
        for (const char *name : {"Hugo", "Carla", "Ana", "Gala", "Beto", "Fede", "Dora", "Eva"})
            m_db->addGuest(QString::fromLatin1(name), QStringLiteral("30%1").arg(qstrlen(name) * 111111));
        m_db->exec(QStringLiteral("UPDATE Huespedes SET Telefono = '4455-6677', EMail = 'ana@correo.com' "
                                  "WHERE Nombre = 'Ana'"));
        m_roomType = m_db->addRoomType(QStringLiteral("Doble"), money("80"));
        m_db->addRoom(QStringLiteral("101"), m_roomType);
        m_db->addService(QStringLiteral("Cochera"), money("1234.5"));
        m_db->addService(QStringLiteral("Almuerzo"), money("15"));
        openModule();
    }

    void cleanup()
    {
        MessageDialog::setObserver({});
        m_window.reset();
        m_grid = nullptr;
        m_otherControl = nullptr;
        m_dm.reset();
        m_db.reset();
    }

    // ---- what the grid shows ---------------------------------------------------

    void showsTheRowsInCursorOrderWithTheGivenColumns()
    {
        DataGrid &g = grid(m_dm->DHuespedes);
        QCOMPARE(g.rowCount(), 8);
        QCOMPARE(g.columnCount(), 4);
        QCOMPARE(shownNames(), guestNames);
        QCOMPARE(g.cellText(0, 1), QStringLiteral("30333333"));
        QCOMPARE(g.cellText(0, 2), QStringLiteral("4455-6677"));
        QCOMPARE(g.cellText(0, 3), QStringLiteral("ana@correo.com"));
        QCOMPARE(g.cellText(1, 2), QString());

        const QList<int> widths{174, 70, 118, 168};
        const QStringList titles{"Nombre", "DNI", "Telefono", "Correo Electrónico"};
        const QList<Qt::Alignment> cells{Qt::AlignLeft, Qt::AlignRight, Qt::AlignHCenter, Qt::AlignLeft};
        for (int i = 0; i < 4; ++i) {
            const DataGrid::Column c = g.column(i);
            QCOMPARE(c.title, titles[i]);
            QCOMPARE(c.width, widths[i]);
            QCOMPARE(g.columnWidth(i), widths[i]);
            QCOMPARE(c.cellAlignment, cells[i]);
            QCOMPARE(c.titleAlignment, Qt::Alignment(Qt::AlignHCenter));
            QAbstractItemModel *m = g.model();
            QCOMPARE(m->headerData(i, Qt::Horizontal).toString(), titles[i]);
            QVERIFY(m->headerData(i, Qt::Horizontal, Qt::FontRole).value<QFont>().bold());
            QCOMPARE(Qt::Alignment(m->headerData(i, Qt::Horizontal, Qt::TextAlignmentRole).toInt()) & Qt::AlignHorizontal_Mask,
                     Qt::Alignment(Qt::AlignHCenter));
            QCOMPARE(Qt::Alignment(m->index(0, i).data(Qt::TextAlignmentRole).toInt()) & Qt::AlignHorizontal_Mask, cells[i]);
        }
        // The indicator column has no text of its own.
        QVERIFY(!g.model()->headerData(0, Qt::Vertical).isValid());
    }

    void whatIsNotGivenComesFromTheField()
    {
        DataGrid &g = grid(m_dm->DHabitaciones, DataGrid::defaultOptions(), false,
                           {{QStringLiteral("nrohabitacion")}, {QStringLiteral("Piso"), QStringLiteral("Planta")}});
        // The title is the field's name as the cursor spells it, not as asked.
        QCOMPARE(g.column(0).title, QStringLiteral("NroHabitacion"));
        QCOMPARE(g.column(1).title, QStringLiteral("Planta"));
        QCOMPARE(g.column(0).cellAlignment, Qt::Alignment(Qt::AlignRight));
        QCOMPARE(g.column(1).cellAlignment, Qt::Alignment(Qt::AlignRight));
        QCOMPARE(g.column(0).titleAlignment, Qt::Alignment(Qt::AlignLeft));
        QCOMPARE(g.column(1).boldTitle, false);
        QCOMPARE(g.cellText(0, 0), QStringLiteral("101"));
        // A width not given never cuts the title.
        const QFontMetrics fm(g.font());
        QVERIFY(g.column(0).width > fm.horizontalAdvance(QStringLiteral("NroHabitacion")));

        // Where the field is wider than its title: display width times the digit 0.
        g.setDataSource(m_dm->DServicios);
        g.setColumns({{QStringLiteral("Nombre")}});
        QCOMPARE(g.column(0).width, 20 * fm.horizontalAdvance(u'0') + 4);
    }

    void everyFieldWhenNoColumnsAreGiven()
    {
        DataGrid &g = grid(m_dm->DServicios, DataGrid::defaultOptions(), false, {});
        QCOMPARE(g.columnCount(), 3);
        QCOMPARE(g.column(0).title, QStringLiteral("IdServicio"));
        QCOMPARE(g.column(1).title, QStringLiteral("Nombre"));
        QCOMPARE(g.column(2).title, QStringLiteral("Precio"));
        QCOMPARE(g.cellText(0, 1), QStringLiteral("Almuerzo"));
    }

    void unknownFieldShowsAnEmptyColumn()
    {
        DataGrid &g = grid(m_dm->DHuespedes, guestsOptions(), true,
                           {{QStringLiteral("Nombre")}, {QStringLiteral("Apodo"), QString(), {}, {}, 50}});
        QCOMPARE(g.columnCount(), 2);
        QCOMPARE(g.column(1).title, QStringLiteral("Apodo"));
        QCOMPARE(g.cellText(0, 1), QString());
        QCOMPARE(g.cellText(0, 0), QStringLiteral("Ana"));
    }

    void moneyInTheCurrencyFormat()
    {
        DataGrid &g = grid(m_dm->DServicios, guestsOptions(), true,
                           {{QStringLiteral("Nombre")}, {QStringLiteral("Precio")}});
        QCOMPARE(g.cellText(0, 1), QStringLiteral("$ 15,00"));
        QCOMPARE(g.cellText(1, 1), QStringLiteral("$ 1.234,50"));
        QCOMPARE(g.column(1).cellAlignment, Qt::Alignment(Qt::AlignRight));
    }

    void optionsShapeTheGrid_data()
    {
        QTest::addColumn<Options>("options");
        QTest::newRow("guests") << guestsOptions();
        QTest::newRow("default set") << DataGrid::defaultOptions();
        QTest::newRow("services: no indicator") << (guestsOptions() & ~Options(Option::Indicator));
        QTest::newRow("nothing") << Options();
    }

    void optionsShapeTheGrid()
    {
        QFETCH(Options, options);
        DataGrid &g = grid(m_dm->DHuespedes, options);
        QCOMPARE(g.options(), options);
        QCOMPARE(g.horizontalHeader()->isVisible(), options.testFlag(Option::Titles));
        QCOMPARE(g.verticalHeader()->isVisible(), options.testFlag(Option::Indicator));
        if (options.testFlag(Option::Indicator))
            QCOMPARE(g.verticalHeader()->width(), DataGrid::IndicatorWidth);
        QCOMPARE(g.horizontalHeader()->sectionResizeMode(0),
                 options.testFlag(Option::ColumnResize) ? QHeaderView::Interactive : QHeaderView::Fixed);
        QCOMPARE(g.tabKeyNavigation(), options.testFlag(Option::Tabs));
        QCOMPARE(g.selectionBehavior(),
                 options.testFlag(Option::RowSelect) ? QAbstractItemView::SelectRows : QAbstractItemView::SelectItems);
        // Rows never shrink to their contents, which would walk every row.
        QCOMPARE(g.verticalHeader()->sectionResizeMode(0), QHeaderView::Fixed);
    }

    void rowAndColumnLinesAreIndependent_data()
    {
        QTest::addColumn<bool>("rowLines");
        QTest::addColumn<bool>("columnLines");
        QTest::newRow("both") << true << true;
        QTest::newRow("rows only") << true << false;
        QTest::newRow("columns only") << false << true;
        QTest::newRow("none") << false << false;
    }

    void rowAndColumnLinesAreIndependent()
    {
        QFETCH(bool, rowLines);
        QFETCH(bool, columnLines);
        Options options = Option::Titles | Option::RowSelect;
        if (rowLines)
            options |= Option::RowLines;
        if (columnLines)
            options |= Option::ColumnLines;
        DataGrid &g = grid(m_dm->DHuespedes, options);
        const QImage picture = g.viewport()->grab().toImage();
        const QColor base = g.palette().color(QPalette::Base);
        // Row 3 is not the current one, so no highlight covers it.
        const QRect cell = g.visualRect(g.model()->index(3, 0));
        const QColor belowCell = picture.pixelColor(cell.center().x(), cell.bottom());
        const QColor rightOfCell = picture.pixelColor(cell.right(), cell.top() + 2);
        QCOMPARE(belowCell != base, rowLines);
        QCOMPARE(rightOfCell != base, columnLines);
    }

    // ---- following the current record -------------------------------------------

    void followsTheCurrentRecordBothWays()
    {
        DataGrid &g = grid(m_dm->DHuespedes);
        Cursor &c = *m_dm->THuespedes;
        QSignalSpy resets(g.model(), &QAbstractItemModel::modelReset);
        QSignalSpy layouts(g.model(), &QAbstractItemModel::layoutChanged);
        QCOMPARE(g.currentIndex().row(), 0);
        // Indexes kept by a view stay on their records while rows come, go and move.
        QList<QPersistentModelIndex> kept;
        for (int r = 0; r < g.rowCount(); ++r)
            kept << QPersistentModelIndex(g.model()->index(r, 0));
        QStringList keptNames = guestNames;
        auto keptIndexesFollow = [&] {
            const QStringList names = cursorNames(c);
            for (int r = 0; r < kept.size(); ++r)
                if (kept[r].isValid() && names.value(kept[r].row()) != keptNames[r])
                    return false;
            return true;
        };

        c.moveTo(3);
        QCOMPARE(g.currentIndex().row(), 3);
        QVERIFY(g.selectionModel()->isRowSelected(3, QModelIndex()));
        QCOMPARE(g.selectionModel()->selectedRows().size(), 1);

        QTest::mouseClick(g.viewport(), Qt::LeftButton, {}, cellCentre(5, 2));
        QCOMPARE(c.recNo(), 5);
        QCOMPARE(g.currentIndex().row(), 5);

        // The indicator column chooses a row too.
        const QHeaderView *indicator = g.verticalHeader();
        QTest::mouseClick(indicator->viewport(), Qt::LeftButton, {},
                          QPoint(indicator->width() / 2, indicator->sectionViewportPosition(1) + 4));
        QCOMPARE(c.recNo(), 1);
        QCOMPARE(g.currentIndex().row(), 1);
        g.setOptions(DataGrid::defaultOptions());
        QTest::mouseClick(indicator->viewport(), Qt::LeftButton, {},
                          QPoint(indicator->width() / 2, indicator->sectionViewportPosition(4) + 4));
        QCOMPARE(c.recNo(), 4);
        QCOMPARE(g.currentIndex().row(), 4);
        c.moveTo(1);
        g.setOptions(guestsOptions());

        // Rows come and go one at a time.
        c.insert();
        QCOMPARE(g.rowCount(), 9);
        QCOMPARE(g.currentIndex().row(), 1);
        QCOMPARE(g.cellText(1, 0), QString());
        QVERIFY(keptIndexesFollow());
        c.cancel();
        QCOMPARE(g.rowCount(), 8);
        QCOMPARE(shownNames(), guestNames);
        QVERIFY(keptIndexesFollow());

        // A posted change that sorts elsewhere moves its row and the highlight.
        c.first();
        c.edit();
        c.fieldByName(QStringLiteral("Nombre")).setAsString(QStringLiteral("Zoe"));
        QCOMPARE(g.cellText(0, 0), QStringLiteral("Zoe"));
        keptNames[0] = QStringLiteral("Zoe");
        c.post();
        QCOMPARE(shownNames(), cursorNames(c));
        QCOMPARE(g.cellText(7, 0), QStringLiteral("Zoe"));
        QCOMPARE(g.currentIndex().row(), 7);
        QVERIFY(rowInView(7));
        QVERIFY(keptIndexesFollow());
        // And back: Zoe becomes Abel and moves to the top.
        c.edit();
        c.fieldByName(QStringLiteral("Nombre")).setAsString(QStringLiteral("Abel"));
        keptNames[0] = QStringLiteral("Abel");
        c.post();
        QCOMPARE(shownNames(), cursorNames(c));
        QCOMPARE(g.currentIndex().row(), 0);
        QVERIFY(keptIndexesFollow());

        c.remove();
        QVERIFY(!kept[0].isValid());
        QCOMPARE(g.rowCount(), 7);
        QCOMPARE(shownNames(), cursorNames(c));
        QCOMPARE(g.currentIndex().row(), c.recNo());
        QVERIFY(keptIndexesFollow());

        // None of this replaced the whole model.
        QCOMPARE(resets.count(), 0);
        QCOMPARE(layouts.count(), 0);

        // A new filter replaces the rows.
        c.setFilter(QStringLiteral("Nombre LIKE '*a*'"));
        c.setFiltered(true);
        QCOMPARE(resets.count(), 1);
        QCOMPARE(shownNames(), cursorNames(c));
        QCOMPARE(g.currentIndex().row(), 0);
        QCOMPARE(g.columnWidth(0), 174);
    }

    void closedCursorShowsNothing()
    {
        DataGrid &g = grid(m_dm->DHuespedes);
        m_dm->THuespedes->close();
        QCOMPARE(g.rowCount(), 0);
        QCOMPARE(g.columnCount(), 4);
        QVERIFY(!g.currentIndex().isValid());
        DialogAnswers answers;
        QTest::keyClick(&g, Qt::Key_Down);
        QTest::keyClick(&g, Qt::Key_Delete, Qt::ControlModifier);
        QVERIFY(answers.texts().isEmpty());
        m_dm->THuespedes->open();
        QCOMPARE(g.rowCount(), 8);
        QCOMPARE(g.currentIndex().row(), 0);
        QCOMPARE(g.columnWidth(3), 168);
    }

    void queryReopenedWithNewFields()
    {
        // A query cursor makes new fields at each open; the grid finds them again.
        const qint64 guest = m_db->addGuest(QStringLiteral("Iris"));
        m_db->addStay(guest, 1, QStringLiteral("2024-01-01"), QStringLiteral("2024-01-03"), QStringLiteral("Facturada"));
        QueryCursor &q = *m_dm->QEstadiasDeHuesped;
        q.setParameter(QStringLiteral("IdHuesped"), guest);
        q.open();
        DataGrid &g = grid(m_dm->DEstadiasDeHuesped, DataGrid::defaultOptions(), false,
                           {{QStringLiteral("NroHabitacion")}, {QStringLiteral("Vista")}});
        QCOMPARE(g.rowCount(), 1);
        QCOMPARE(g.cellText(0, 0), QStringLiteral("101"));
        q.close();
        QCOMPARE(g.rowCount(), 0);
        q.setParameter(QStringLiteral("IdHuesped"), 999);
        q.open();
        QCOMPARE(g.rowCount(), 0);
        q.close();
        q.setParameter(QStringLiteral("IdHuesped"), guest);
        q.open();
        QCOMPARE(g.rowCount(), 1);
        QCOMPARE(g.cellText(0, 1), QStringLiteral("Mar"));
    }

    // ---- keys ----------------------------------------------------------------------

    void movingKeys_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        const int none = Qt::NoModifier, ctrl = Qt::ControlModifier;
        // Eight guests, three rows in view.
        QTest::newRow("down") << int(Qt::Key_Down) << none << 2 << 3;
        QTest::newRow("up") << int(Qt::Key_Up) << none << 2 << 1;
        QTest::newRow("up on the first row") << int(Qt::Key_Up) << none << 0 << 0;
        QTest::newRow("page down") << int(Qt::Key_PageDown) << none << 1 << 4;
        QTest::newRow("page down near the end") << int(Qt::Key_PageDown) << none << 6 << 7;
        QTest::newRow("page up") << int(Qt::Key_PageUp) << none << 5 << 2;
        QTest::newRow("page up near the start") << int(Qt::Key_PageUp) << none << 1 << 0;
        QTest::newRow("ctrl+end") << int(Qt::Key_End) << ctrl << 2 << 7;
        QTest::newRow("ctrl+home") << int(Qt::Key_Home) << ctrl << 5 << 0;
        QTest::newRow("home alone stays on the row") << int(Qt::Key_Home) << none << 5 << 5;
        QTest::newRow("typing does not search") << int(Qt::Key_H) << none << 1 << 1;
    }

    void movingKeys()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(int, from);
        QFETCH(int, to);
        DataGrid &g = grid(m_dm->DHuespedes);
        showRows(3);
        QCOMPARE(g.visibleRowCount(), 3);
        Cursor &c = *m_dm->THuespedes;
        c.moveTo(from);
        QTest::keyClick(&g, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(c.recNo(), to);
        QCOMPARE(g.currentIndex().row(), to);
        QVERIFY(rowInView(to));
    }

    void newRecordKeys_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<bool>("editing");
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("started");
        const int ins = Qt::Key_Insert, down = Qt::Key_Down;
        QTest::newRow("insert, editing on") << "guests" << true << false << ins << true;
        QTest::newRow("down on the last row, editing on") << "guests" << true << false << down << true;
        QTest::newRow("insert, editing off") << "guests" << false << false << ins << false;
        QTest::newRow("down on the last row, editing off") << "guests" << false << false << down << false;
        QTest::newRow("insert, read-only") << "guests" << true << true << ins << false;
        QTest::newRow("down on the last row, read-only") << "guests" << true << true << down << false;
        QTest::newRow("insert, query that cannot be modified") << "query" << true << false << ins << false;
        QTest::newRow("down, query that cannot be modified") << "query" << true << false << down << false;
    }

    void newRecordKeys()
    {
        QFETCH(QString, source);
        QFETCH(bool, editing);
        QFETCH(bool, readOnly);
        QFETCH(int, key);
        QFETCH(bool, started);
        Cursor *c = m_dm->THuespedes;
        DataSource *ds = m_dm->DHuespedes;
        QList<DataGrid::Column> columns = guestsColumns();
        if (source == u"query") {
            m_db->addStay(1, 1, QStringLiteral("2024-01-01"), QStringLiteral("2024-01-03"), QStringLiteral("Facturada"));
            m_dm->QHabitaconesMasPedidas->setParameter(QStringLiteral("Vista"), QStringLiteral("Mar"));
            m_dm->QHabitaconesMasPedidas->open();
            c = m_dm->QHabitaconesMasPedidas;
            ds = m_dm->DHabitaconesMasPedidas;
            columns = {{QStringLiteral("NroHabitacion")}, {QStringLiteral("Dias")}};
        }
        Options options = guestsOptions();
        if (editing)
            options |= Option::Editing;
        DataGrid &g = grid(ds, options, readOnly, columns);
        c->last();
        const int rows = c->recordCount();
        DialogAnswers answers;
        QTest::keyClick(&g, Qt::Key(key));
        QVERIFY(answers.texts().isEmpty());
        QCOMPARE(c->state() == Cursor::State::Insert, started);
        QCOMPARE(g.rowCount(), started ? rows + 1 : rows);
        // Insert puts the new row before the current one, Down after the last.
        const int expectedRow = !started ? rows - 1 : (key == Qt::Key_Insert ? rows - 1 : rows);
        QCOMPARE(c->recNo(), expectedRow);
        QCOMPARE(g.currentIndex().row(), expectedRow);
        if (started && key == Qt::Key_Down) {
            // Down on the new row at the end does not add another.
            QTest::keyClick(&g, Qt::Key_Down);
            QCOMPARE(g.rowCount(), rows + 1);
        }
    }

    void ctrlDelete_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<bool>("confirm");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<bool>("deleted");
        const QStringList question{"Delete record?"};
        QTest::newRow("read-only grid: nothing") << "guests" << true << true << "OK" << QStringList() << false;
        QTest::newRow("confirm delete, Cancel keeps") << "guests" << false << true << "Cancel" << question << false;
        QTest::newRow("confirm delete, OK deletes") << "guests" << false << true << "OK" << question << true;
        QTest::newRow("without confirm: at once") << "guests" << false << false << "OK" << QStringList() << true;
        QTest::newRow("refused by the database")
            << "types" << false << false << "OK"
            << QStringList{"The record cannot be deleted because other records refer to it (FOREIGN KEY constraint failed)"}
            << false;
        QTest::newRow("query that cannot be modified") << "query" << false << false << "OK" << QStringList() << false;
    }

    void ctrlDelete()
    {
        QFETCH(QString, source);
        QFETCH(bool, readOnly);
        QFETCH(bool, confirm);
        QFETCH(QString, answer);
        QFETCH(QStringList, texts);
        QFETCH(bool, deleted);
        Cursor *c = m_dm->THuespedes;
        DataSource *ds = m_dm->DHuespedes;
        QList<DataGrid::Column> columns = guestsColumns();
        if (source == u"types") {
            c = m_dm->TTiposDeHabitacion;
            ds = m_dm->DTiposDeHabitacion;
            columns = {{QStringLiteral("Nombre")}, {QStringLiteral("Precio")}};
        } else if (source == u"query") {
            m_db->addStay(1, 1, QStringLiteral("2024-01-01"), QStringLiteral("2024-01-03"), QStringLiteral("Facturada"));
            m_dm->QHabitaconesMasPedidas->setParameter(QStringLiteral("Vista"), QStringLiteral("Mar"));
            m_dm->QHabitaconesMasPedidas->open();
            c = m_dm->QHabitaconesMasPedidas;
            ds = m_dm->DHabitaconesMasPedidas;
            columns = {{QStringLiteral("NroHabitacion")}, {QStringLiteral("Dias")}};
        }
        Options options = guestsOptions();
        if (!confirm)
            options &= ~Options(Option::ConfirmDelete);
        DataGrid &g = grid(ds, options, readOnly, columns);
        if (c->recordCount() > 1)
            c->moveTo(1);
        const int rows = c->recordCount();
        const QString current = g.cellText(c->recNo(), 0);
        DialogAnswers answers(answer);

        QTest::keyClick(&g, Qt::Key_Delete, Qt::ControlModifier);

        QCOMPARE(answers.texts(), texts);
        QVERIFY(answers.unexpected() == 0);
        if (confirm && !texts.isEmpty())
            QCOMPARE(answers.titles(), QStringList{QStringLiteral("Confirm")});
        QCOMPARE(c->recordCount(), deleted ? rows - 1 : rows);
        QCOMPARE(g.rowCount(), c->recordCount());
        QCOMPARE(g.cellText(c->recNo(), 0) == current, !deleted);
        if (source == u"guests")
            QCOMPARE(guestsInFile(), deleted ? 7 : 8);
    }

    void plainDeleteDoesNothing()
    {
        DataGrid &g = grid(m_dm->DHuespedes, guestsOptions() & ~Options(Option::ConfirmDelete), false);
        QTest::keyClick(&g, Qt::Key_Delete);
        QCOMPARE(g.rowCount(), 8);
    }

    void escapeCancelsTheChanges_data()
    {
        QTest::addColumn<bool>("readOnly");
        QTest::newRow("not read-only") << false;
        QTest::newRow("read-only never changes data") << true;
    }

    void escapeCancelsTheChanges()
    {
        QFETCH(bool, readOnly);
        // Inside a dialog, which Escape would otherwise close.
        auto dialog = std::make_unique<QDialog>();
        m_window.reset();
        DataGrid &g = *new DataGrid(dialog.get());
        m_grid = &g;
        g.setGeometry(0, 0, 400, 200);
        g.setReadOnly(readOnly);
        g.setColumns(guestsColumns());
        g.setDataSource(m_dm->DHuespedes);
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
        Cursor &c = *m_dm->THuespedes;
        c.edit();
        c.fieldByName(QStringLiteral("Nombre")).setAsString(QStringLiteral("Anabel"));
        QTest::keyClick(&g, Qt::Key_Escape);
        QCOMPARE(c.isEditing(), readOnly);
        QCOMPARE(c.fieldByName(QStringLiteral("Nombre")).asString(), readOnly ? QStringLiteral("Anabel") : QStringLiteral("Ana"));
        QCOMPARE(g.cellText(0, 0), c.fieldByName(QStringLiteral("Nombre")).asString());
        QVERIFY(dialog->isVisible());
        c.cancel();
    }

    void disabledGridIgnoresKeysAndClicks()
    {
        DataGrid &g = grid(m_dm->DHuespedes, DataGrid::defaultOptions(), false);
        g.setEnabled(false);
        Cursor &c = *m_dm->THuespedes;
        DialogAnswers answers;
        QTest::keyClick(&g, Qt::Key_Down);
        QTest::keyClick(&g, Qt::Key_End, Qt::ControlModifier);
        QTest::keyClick(&g, Qt::Key_Insert);
        QTest::keyClick(&g, Qt::Key_Delete, Qt::ControlModifier);
        QTest::mouseClick(g.viewport(), Qt::LeftButton, {}, cellCentre(4));
        QTest::mouseDClick(g.viewport(), Qt::LeftButton, {}, cellCentre(4));
        QCOMPARE(c.recNo(), 0);
        QCOMPARE(c.state(), Cursor::State::Browse);
        QCOMPARE(g.rowCount(), 8);
        QVERIFY(answers.texts().isEmpty());
        // It still follows the cursor.
        c.moveTo(6);
        QCOMPARE(g.currentIndex().row(), 6);
        g.setEnabled(true);
        QTest::keyClick(&g, Qt::Key_Up);
        QCOMPARE(c.recNo(), 5);
    }

    void clickThatCannotLeaveTheRecordStaysPut()
    {
        DataGrid &g = grid(m_dm->DHabitaciones, DataGrid::defaultOptions(), false,
                           {{QStringLiteral("NroHabitacion")}, {QStringLiteral("Piso")}});
        Cursor &rooms = *m_dm->THabitaciones;
        rooms.append();
        rooms.fieldByName(QStringLiteral("NroHabitacion")).setAsString(QStringLiteral("101"));
        rooms.setValue(QStringLiteral("IdTipo"), m_roomType);
        DialogAnswers answers;
        QTest::mouseClick(g.viewport(), Qt::LeftButton, {}, cellCentre(0));
        QCOMPARE(answers.texts().size(), 1);
        QVERIFY(answers.texts().first().startsWith(QStringLiteral("The value is already used by another record")));
        QCOMPARE(rooms.state(), Cursor::State::Insert);
        QCOMPARE(rooms.recNo(), 1);
        QCOMPARE(g.currentIndex().row(), 1);
        rooms.cancel();
    }

    void cancelOnExit_data()
    {
        QTest::addColumn<bool>("option");
        QTest::addColumn<bool>("changed");
        QTest::addColumn<bool>("cancelled");
        QTest::newRow("new record without changes") << true << false << true;
        QTest::newRow("new record with changes") << true << true << false;
        QTest::newRow("option off") << false << false << false;
    }

    void cancelOnExit()
    {
        QFETCH(bool, option);
        QFETCH(bool, changed);
        QFETCH(bool, cancelled);
        Options options = guestsOptions();
        if (option)
            options |= Option::CancelOnExit;
        DataGrid &g = grid(m_dm->DHuespedes, options, false);
        QVERIFY(g.hasFocus());
        Cursor &c = *m_dm->THuespedes;
        c.append();
        if (changed)
            c.fieldByName(QStringLiteral("Nombre")).setAsString(QStringLiteral("Zoe"));
        QCOMPARE(g.rowCount(), 9);
        m_otherControl->setFocus(Qt::TabFocusReason);
        QVERIFY(m_otherControl->hasFocus());
        QCOMPARE(c.state() == Cursor::State::Insert, !cancelled);
        QCOMPARE(g.rowCount(), cancelled ? 8 : 9);
        if (c.isEditing())
            c.cancel();
    }

    // ---- editing in a cell -----------------------------------------------------------

    void typingIntoACellWritesThroughTheField()
    {
        DataGrid &g = grid(m_dm->DHuespedes, DataGrid::defaultOptions(), false);
        Cursor &c = *m_dm->THuespedes;
        c.moveTo(2); // Carla
        QTest::keyClick(&g, 'Z');
        QWidget *editor = QApplication::focusWidget();
        QVERIFY(qobject_cast<QLineEdit *>(editor));
        // The first key starts editing, as in any bound control.
        QCOMPARE(c.state(), Cursor::State::Edit);
        QTest::keyClicks(editor, QStringLiteral("oe"));
        QTest::keyClick(editor, Qt::Key_Return);
        QCOMPARE(c.fieldByName(QStringLiteral("Nombre")).asString(), QStringLiteral("Zoe"));
        c.post();
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT count(*) FROM Huespedes WHERE Nombre = 'Zoe'")).toInt(), 1);
    }

    void postWritesTheTextStillBeingTyped()
    {
        DataGrid &g = grid(m_dm->DHuespedes, DataGrid::defaultOptions(), false);
        Cursor &c = *m_dm->THuespedes;
        QTest::keyClick(&g, 'X');
        QWidget *editor = QApplication::focusWidget();
        QVERIFY(qobject_cast<QLineEdit *>(editor));
        QTest::keyClicks(editor, QStringLiteral("ime"));
        c.post();
        QCOMPARE(c.state(), Cursor::State::Browse);
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT count(*) FROM Huespedes WHERE Nombre = 'Xime'")).toInt(), 1);
    }

    void readOnlyGridTakesNoTyping()
    {
        DataGrid &g = grid(m_dm->DHuespedes, DataGrid::defaultOptions(), true);
        QTest::keyClick(&g, Qt::Key_Z);
        QTest::keyClick(&g, Qt::Key_F2);
        QTest::mouseDClick(g.viewport(), Qt::LeftButton, {}, cellCentre(0));
        QCOMPARE(m_dm->THuespedes->state(), Cursor::State::Browse);
        QVERIFY(!qobject_cast<QLineEdit *>(QApplication::focusWidget()));
    }

    // ---- picture -------------------------------------------------------------------

    void pictureOfAGuestsWindow()
    {
        DataGrid &g = grid(m_dm->DHuespedes);
        m_grid->setGeometry(0, 0, 569, 268);
        auto *nav = new RecordNavigator(m_window.get());
        nav->setVisibleButtons({0, 1, 2, 3, 4, 5, 6});
        nav->setDataSource(m_dm->DHuespedes);
        nav->setGeometry(569 - 8 - 240, 268 + 20, 240, RecordNavigator::DefaultHeight);
        nav->show();
        m_dm->THuespedes->moveTo(2);
        m_otherControl->setFocus();

        // Every title fits its column; every row is as tall as the font needs.
        for (int i = 0; i < g.columnCount(); ++i) {
            const QFont titleFont = g.model()->headerData(i, Qt::Horizontal, Qt::FontRole).value<QFont>();
            const QFont shown = titleFont.resolve(g.font());
            QVERIFY(QFontMetrics(shown).horizontalAdvance(g.column(i).title) + 8 <= g.columnWidth(i));
        }
        QVERIFY(g.rowHeight(0) >= QFontMetrics(g.font()).height() + 2);
        QVERIFY(g.horizontalHeader()->height() >= QFontMetrics(g.font()).height() + 2);

        const QImage picture = m_window->grab().toImage();
        QCOMPARE(picture.size(), QSize(569, 324));
        const QString folder = qEnvironmentVariable("HOTEL_ELEMENTS_PICTURES");
        if (folder.isEmpty())
            return;
        QDir().mkpath(folder);
        QVERIFY(picture.save(QDir(folder).filePath(QStringLiteral("guests-browse.png"))));
        m_dm->THuespedes->edit();
        QVERIFY(m_window->grab().save(QDir(folder).filePath(QStringLiteral("guests-edit.png"))));
        m_dm->THuespedes->cancel();
        m_dm->THuespedes->insert();
        QVERIFY(m_window->grab().save(QDir(folder).filePath(QStringLiteral("guests-insert.png"))));
        m_dm->THuespedes->cancel();
        g.setOptions(DataGrid::defaultOptions());
        g.setFocus();
        QVERIFY(m_window->grab().save(QDir(folder).filePath(QStringLiteral("default-options.png"))));

        // Every picture of the navigator, enabled and disabled.
        nav->setVisibleButtons({0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
        nav->resize(250, RecordNavigator::DefaultHeight);
        QImage sheet(QSize(250, 3 * RecordNavigator::DefaultHeight + 8), QImage::Format_ARGB32);
        sheet.fill(m_window->palette().color(QPalette::Window));
        QPainter painter(&sheet);
        m_dm->THuespedes->first();
        painter.drawPixmap(0, 0, nav->grab());
        m_dm->THuespedes->edit();
        painter.drawPixmap(0, RecordNavigator::DefaultHeight + 4, nav->grab());
        m_dm->THuespedes->cancel();
        m_dm->THuespedes->close();
        painter.drawPixmap(0, 2 * RecordNavigator::DefaultHeight + 8, nav->grab());
        painter.end();
        QVERIFY(sheet.save(QDir(folder).filePath(QStringLiteral("navigator-states.png"))));
    }
};

QTEST_MAIN(TestDataGrid)
#include "tst_datagrid.moc"
