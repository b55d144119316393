#include "ListBox.h"

#include <QApplication>
#include <QScrollBar>
#include <QTest>

// A list box of several columns: each column holds every row its height takes,
// and the list scrolls sideways only when its items overflow the columns.
class TestListBox : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"));
        QApplication::setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    }

    void columns_data()
    {
        QTest::addColumn<int>("items");
        QTest::addColumn<int>("firstColumn"); // items in the first column
        QTest::addColumn<bool>("scrolls");
        // 140 pixels of list, items of 13: ten rows, three columns in view.
        QTest::newRow("one column") << 7 << 7 << false;
        QTest::newRow("ten, the first column full") << 10 << 10 << false;
        QTest::newRow("eleven open the second column") << 11 << 10 << false;
        QTest::newRow("thirty fill the three columns") << 30 << 10 << false;
        QTest::newRow("thirty-one scroll sideways, the bar taking a row") << 31 << 9 << true;
    }

    void columns()
    {
        QFETCH(int, items);
        QFETCH(int, firstColumn);
        QFETCH(bool, scrolls);
        QWidget window;
        auto *list = new ListBox(&window);
        list->setGeometry(10, 39, 115, 140);
        list->setColumns(3, 13);
        for (int i = 0; i < items; ++i)
            list->addItem(QString::number(101 + i));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(list->rowsPerColumn(), 10);
        const QRect first = list->visualItemRect(list->item(0));
        int inFirst = 0;
        for (int i = 0; i < items; ++i)
            inFirst += list->visualItemRect(list->item(i)).left() == first.left() ? 1 : 0;
        QCOMPARE(inFirst, firstColumn);
        QCOMPARE(list->horizontalScrollBar()->isVisible(), scrolls);
        // Every row of the first column lies within the list.
        QVERIFY(list->visualItemRect(list->item(firstColumn - 1)).bottom() < list->viewport()->height());
        // Emptied, the list needs no scroll bar again.
        list->clear();
        QCOMPARE(list->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    }
};

QTEST_MAIN(TestListBox)
#include "tst_listbox.moc"
