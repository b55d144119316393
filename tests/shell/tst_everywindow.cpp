#include "BoundEdit.h"
#include "BoundMemo.h"
#include "DataGrid.h"
#include "DatePicker.h"
#include "FormWindow.h"
#include "LookupCombo.h"
#include "MessageDialog.h"
#include "PictureDialog.h"
#include "RecordNavigator.h"
#include "Startup.h"
#include "TestDatabase.h"
#include "TestSupport.h"
#include "UDM.h"
#include "UPrincipal.h"
#include "UReporteFactura.h"
#include "UTiposDeHabitacion.h"
#include "WindowTest.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDateEdit>
#include <QFileDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include <functional>

// What holds for every window the program makes at start-up (and the dialogs
// they open), found by walking them rather than listing them, so that a window
// added later is covered too: every control a user works has a name of its own
// for assistive technology; typing stops at each column's size; Enter presses
// the focused button; Ctrl+Tab and Ctrl+Shift+Tab leave every grid.
class TestEveryWindow : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestDatabase> m_db;

    // The main window and every window made with it, shown or not.
    static QList<QWidget *> windows()
    {
        QList<QWidget *> out{FPrincipal};
        for (QWidget *w : FPrincipal->findChildren<QWidget *>())
            if (w->isWindow())
                out << w;
        return out;
    }

    static QWidget *windowNamed(const QString &name)
    {
        for (QWidget *w : windows())
            if (w->objectName() == name)
                return w;
        return nullptr;
    }

    static QList<FormWindow *> formWindows()
    {
        QList<FormWindow *> out;
        for (QWidget *w : windows())
            if (auto *f = qobject_cast<FormWindow *>(w))
                out << f;
        return out;
    }

    static QString pathOf(const QWidget *w, const QWidget *root)
    {
        QStringList parts;
        for (const QWidget *p = w; p && p != root; p = p->parentWidget())
            parts.prepend(p->objectName().isEmpty() ? QString::fromLatin1(p->metaObject()->className()) : p->objectName());
        return root->objectName() + u'/' + parts.join(u'/');
    }

    // The parts of a control that Qt's accessibility reads through the control
    // itself (a spin box's line edit, a view's viewport and cell editor, a
    // combo box's list) are not controls of their own.
    static bool isInnerPart(const QWidget *w, const QWidget *root)
    {
        for (const QWidget *p = w->parentWidget(); p && p != root; p = p->parentWidget())
            if (qobject_cast<const QAbstractSpinBox *>(p) || qobject_cast<const QComboBox *>(p)
                || qobject_cast<const QAbstractItemView *>(p))
                return true;
        return false;
    }

    static bool isInteractive(const QWidget *w)
    {
        if (qobject_cast<const QScrollBar *>(w) || qobject_cast<const QHeaderView *>(w))
            return false;
        if (auto *box = qobject_cast<const QGroupBox *>(w); box && !box->isCheckable())
            return false; // a frame around controls
        return qobject_cast<const QAbstractButton *>(w) || qobject_cast<const QLineEdit *>(w)
               || qobject_cast<const QAbstractSpinBox *>(w) || qobject_cast<const QComboBox *>(w)
               || qobject_cast<const QPlainTextEdit *>(w) || qobject_cast<const QTextEdit *>(w)
               || qobject_cast<const QAbstractItemView *>(w) || (w->focusPolicy() & Qt::TabFocus)
               || w->metaObject()->indexOfSignal("clicked()") >= 0;
    }

    // The name a screen reader reads, when it is the control's own: empty, or
    // a group box's caption that Qt falls back to, is no name.
    static QString ownName(QWidget *w)
    {
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(w);
        const QString name = iface ? iface->text(QAccessible::Name).trimmed() : QString();
        if (name.isEmpty())
            return QString();
        auto *box = qobject_cast<QGroupBox *>(w->parentWidget());
        auto *button = qobject_cast<QAbstractButton *>(w);
        const bool captioned = button && !button->text().trimmed().isEmpty();
        if (box && w->accessibleName().isEmpty() && !captioned && name == box->title().remove(u'&').trimmed())
            return QString();
        return name;
    }

    // Every control of `root` that a user works and that has no name of its own.
    static QStringList nameless(QWidget *root)
    {
        QStringList out;
        QList<QWidget *> all = root->findChildren<QWidget *>();
        all.prepend(root);
        for (QWidget *w : all) {
            if (w != root && w->window() != root)
                continue; // a window of its own, walked on its own
            if (auto *bar = qobject_cast<QTabBar *>(w)) {
                for (int i = 0; i < bar->count(); ++i)
                    if (bar->tabText(i).trimmed().isEmpty())
                        out << pathOf(w, root) + QStringLiteral("[tab %1]").arg(i);
                continue;
            }
            if (qobject_cast<QMenuBar *>(w) || qobject_cast<QMenu *>(w)) {
                for (QAction *a : w->actions())
                    if (!a->isSeparator() && a->text().remove(u'&').trimmed().isEmpty())
                        out << pathOf(w, root) + QStringLiteral("[item]");
                continue;
            }
            if (w == root || isInnerPart(w, root) || !isInteractive(w))
                continue;
            if (ownName(w).isEmpty())
                out << pathOf(w, root);
        }
        return out;
    }

    // Runs `inside` once a modal or pop-up window other than `except` shows,
    // then closes it unless `inside` did. The watch ends then, or when the
    // returned timer is deleted.
    static QPointer<QTimer> whenShown(QWidget *except, const std::function<void(QWidget *)> &inside)
    {
        auto *timer = new QTimer;
        timer->setInterval(1);
        QObject::connect(timer, &QTimer::timeout, [timer, inside, except] {
            QWidget *shown = QApplication::activePopupWidget();
            if (!shown)
                shown = QApplication::activeModalWidget();
            if (!shown || shown == except || qobject_cast<QMessageBox *>(shown))
                return;
            timer->stop();
            timer->deleteLater();
            inside(shown);
            if (shown->isVisible())
                shown->close();
        });
        timer->start();
        return timer;
    }

private slots:
    void initTestCase()
    {
        Startup::configure(*static_cast<QApplication *>(QCoreApplication::instance()));
        m_db = std::make_unique<TestDatabase>();
        const qint64 type = m_db->addRoomType(QStringLiteral("Doble"), money("80"));
        const qint64 r101 = m_db->addRoom(QStringLiteral("101"), type);
        const qint64 r102 = m_db->addRoom(QStringLiteral("102"), type);
        const qint64 ana = m_db->addGuest(QStringLiteral("Ana Ruiz"), QStringLiteral("111"));
        const qint64 beto = m_db->addGuest(QStringLiteral("Beto Díaz"), QStringLiteral("222"));
        const qint64 cafe = m_db->addService(QStringLiteral("Café"), money("2.5"));
        m_db->addService(QStringLiteral("Cena"), money("30"));
        const qint64 stay = m_db->addStay(ana, r101, QStringLiteral("2014-05-10"), QStringLiteral("2014-05-15"),
                                          QStringLiteral("Ocupada"));
        m_db->addStay(beto, r102, QStringLiteral("2014-05-20"), QStringLiteral("2014-05-22"), QStringLiteral("Reservada"));
        m_db->addStay(beto, r101, QStringLiteral("2014-06-20"), QStringLiteral("2014-06-22"), QStringLiteral("Reservada"));
        m_db->addConsumption(stay, cafe, 2, money("2.5"), QStringLiteral("2014-05-11 08:30:00"));
        m_db->addConsumption(stay, cafe, 1, money("2.5"), QStringLiteral("2014-05-12 08:30:00"));
        Startup::createAll(m_db->folder());
        Regional::setSettings(spanishSettings());
    }

    void cleanup()
    {
        for (Cursor *c : DM->findChildren<Cursor *>())
            if (c->isEditing())
                c->cancel();
        DM->TEstadias->setFiltered(false);
        DM->TEstadias->setFilter(QString());
    }

    void cleanupTestCase()
    {
        Startup::destroyAll();
        m_db.reset();
    }

    void accessibleNames_data()
    {
        QTest::addColumn<QString>("window");
        for (QWidget *w : windows()) {
            if (w->objectName().isEmpty()) // Qt's own pop-ups, such as a date picker's calendar
                w->setObjectName(QStringLiteral("%1-%2").arg(QString::fromLatin1(w->metaObject()->className())).arg(quintptr(w), 0, 16));
            QTest::newRow(qPrintable(w->objectName())) << w->objectName();
        }
        QVERIFY(windows().size() > 12);
    }

    // Every control a user works reads with a name of its own, shown or hidden.
    void accessibleNames()
    {
        QFETCH(QString, window);
        QWidget *w = windowNamed(window);
        QVERIFY(w);
        const QStringList missing = nameless(w);
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join(QStringLiteral(", "))));
    }

    void dialogNames_data()
    {
        QTest::addColumn<QString>("dialog");
        QTest::newRow("confirmation") << "confirmation";
        QTest::newRow("default error dialog") << "error";
        QTest::newRow("open-picture dialog") << "picture";
        QTest::newRow("invoice preview") << "preview";
        QTest::newRow("calendar of a date picker") << "calendar";
        QTest::newRow("drop-down of a lookup combo") << "dropdown";
    }

    // The dialogs and pop-ups the windows open, walked while they show.
    void dialogNames()
    {
        QFETCH(QString, dialog);
        QStringList missing;
        bool walked = false;
        const auto walk = [&](QWidget *shown) {
            walked = true;
            missing = nameless(shown);
        };
        if (dialog == u"confirmation" || dialog == u"error") {
            MessageDialog::setObserver([&](QMessageBox &box) {
                walk(&box);
                box.reject();
            });
            if (dialog == u"error")
                MessageDialog::showDefaultError(QStringLiteral("Falló"), FPrincipal);
            else
                MessageDialog::confirm(QStringLiteral("¿Seguro?"), FPrincipal);
            MessageDialog::setObserver({});
        } else if (dialog == u"picture") {
            QTimer::singleShot(0, FTiposHabitacion->dlgOpen, [&] {
                walk(FTiposHabitacion->dlgOpen);
                FTiposHabitacion->dlgOpen->reject();
            });
            FTiposHabitacion->dlgOpen->exec();
        } else if (dialog == u"preview") {
            whenShown(nullptr, walk);
            FFactura->Preview(FPrincipal);
        } else {
            FormWindow *owner = dialog == u"calendar" ? qobject_cast<FormWindow *>(windowNamed(QStringLiteral("FEstadias")))
                                                      : qobject_cast<FormWindow *>(windowNamed(QStringLiteral("FBusquedaHabitacion")));
            QVERIFY(owner);
            showModalAnd(owner, [&] {
                if (dialog == u"calendar") {
                    auto *picker = owner->findChild<DatePicker *>();
                    picker->setFocus();
                    QTest::keyClick(picker->findChild<QDateEdit *>(), Qt::Key_Down, Qt::AltModifier);
                } else {
                    owner->findChild<LookupCombo *>()->dropDown();
                }
                QTRY_VERIFY(QApplication::activePopupWidget());
                walk(QApplication::activePopupWidget());
                QApplication::activePopupWidget()->close();
            });
        }
        QVERIFY(walked);
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join(QStringLiteral(", "))));
    }

    void columnLimits_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("limit"); // 0: none
        // The limits the windows set below their columns' sizes.
        const QHash<QString, int> own{{QStringLiteral("FHuespedes/DNI"), 8},
                                      {QStringLiteral("FTiposHabitacion/Precio"), 8},
                                      {QStringLiteral("FTiposHabitacion/Capacidad"), 1}};
        int rows = 0;
        for (QWidget *w : windows()) {
            QList<Field *> fields;
            for (BoundEdit *e : w->findChildren<BoundEdit *>())
                if (e->window() == w)
                    fields << e->field();
            for (BoundMemo *m : w->findChildren<BoundMemo *>())
                if (m->window() == w)
                    fields << m->field();
            for (Field *f : fields) {
                QVERIFY(f);
                // The column as the file declares it: VARCHAR(n) holds n characters.
                const QString table = f->cursor().name().mid(1);
                const QString declared = m_db->scalar(QStringLiteral("SELECT type FROM pragma_table_info(?) WHERE name = ?"),
                                                      {table, f->name()})
                                             .toString();
                const QRegularExpressionMatch sized = QRegularExpression(QStringLiteral("^VARCHAR\\((\\d+)\\)$")).match(declared);
                int limit = sized.hasMatch() ? sized.captured(1).toInt() : 0;
                const QString key = w->objectName() + u'/' + f->name();
                if (own.contains(key))
                    limit = limit > 0 ? std::min(limit, own.value(key)) : own.value(key);
                QTest::newRow(qPrintable(key)) << w->objectName() << f->name() << limit;
                ++rows;
            }
        }
        QVERIFY(rows >= 13);
    }

    // Typing and pasting stop at the column's size (or the window's own
    // smaller limit), so a post is never refused for the length.
    void columnLimits()
    {
        QFETCH(QString, window);
        QFETCH(QString, field);
        QFETCH(int, limit);
        QWidget *w = windowNamed(window);
        QVERIFY(w);
        QWidget *control = nullptr;
        Field *f = nullptr;
        for (BoundEdit *e : w->findChildren<BoundEdit *>())
            if (e->field()->name() == field)
                control = e, f = e->field();
        for (BoundMemo *m : w->findChildren<BoundMemo *>())
            if (m->field()->name() == field)
                control = m, f = m->field();
        QVERIFY(control && f);
        // A record being edited: a new one, or the first when there is one
        // (some tables hold a single record).
        Cursor &c = f->cursor();
        if (c.isEmpty()) {
            c.append();
        } else {
            c.first();
            c.edit();
        }
        if (auto *e = qobject_cast<BoundEdit *>(control))
            e->selectAll();
        else
            qobject_cast<BoundMemo *>(control)->selectAll();
        const QChar ch = f->isNumeric() ? u'1' : u'x';
        // Numbers without a limit get a plain amount; texts without one a long paragraph.
        const int typed = limit > 0 ? limit + 10 : (f->isNumeric() ? 8 : 300);
        QTest::keyClicks(control, QString(typed, ch));
        const auto text = [&] {
            auto *e = qobject_cast<BoundEdit *>(control);
            return e ? e->text() : qobject_cast<BoundMemo *>(control)->toPlainText();
        };
        QCOMPARE(text(), QString(limit > 0 ? limit : typed, ch));
        // Pasted text is cut the same way.
        QApplication::clipboard()->setText(QString(typed, ch));
        if (auto *e = qobject_cast<BoundEdit *>(control))
            e->selectAll();
        else
            qobject_cast<BoundMemo *>(control)->selectAll();
        QTest::keyClick(control, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(text(), QString(limit > 0 ? limit : typed, ch));
        QString refused;
        try {
            c.post();
        } catch (const DataError &e) {
            refused = e.message();
        }
        QVERIFY2(!refused.contains(QStringLiteral("holds at most")), qPrintable(refused));
        if (refused.isEmpty())
            QCOMPARE(f->value(), f->fromText(QString(limit > 0 ? limit : typed, ch)));
    }

    void enterPressesTheFocusedButton_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("control");
        QTest::addColumn<int>("key");
        const QList<std::pair<const char *, const char *>> controls{
            {"FBusquedaHabitacion", "btBuscar"},    {"FBusquedaHabitacion", "btHuespedes"},
            {"FReservas", "btEliminar"},            {"FReservas", "btAsignar"},
            {"FEstadias", "btEgreso"},              {"FEstadias", "btEliminar"},
            {"FTiposHabitacion", "btEliminar"},     {"FRegistrarConsumos", "btEliminar"},
            {"FHuespedes", "DBNavigator1"},         {"FServcios", "DBNavigator1"},
            {"FHabitaciones", "DBNavigator2"},       {"FDatosDelHotel", "btElegirLogo"},
        };
        for (const auto &[window, control] : controls) {
            QTest::addRow("%s/%s, Enter", window, control) << window << control << int(Qt::Key_Return);
            QTest::addRow("%s/%s, keypad Enter", window, control) << window << control << int(Qt::Key_Enter);
        }
    }

    // Real key presses on the real windows: the button with the focus is
    // pressed, its handler runs (its questions answered No, the windows it
    // opens closed).
    void enterPressesTheFocusedButton()
    {
        QFETCH(QString, window);
        QFETCH(QString, control);
        QFETCH(int, key);
        auto *w = qobject_cast<FormWindow *>(windowNamed(window));
        QVERIFY(w);
        DialogAnswers answers{QString()}; // every box closed by its close box
        int presses = 0;
        showModalAnd(w, [&] {
            QTRY_VERIFY(w->isActiveWindow());
            QWidget *target = w->findChild<QWidget *>(control);
            QVERIFY(target && target->isVisible() && target->isEnabled());
            target->setFocus();
            // A navigator presses its focused button: one that is enabled.
            if (auto *navigator = qobject_cast<RecordNavigator *>(target)) {
                for (int i = 0; i < RecordNavigator::ButtonCount
                                && !navigator->button(navigator->focusedButton())->isEnabled();
                     ++i)
                    QTest::keyClick(navigator, Qt::Key_Right);
                QVERIFY(navigator->button(navigator->focusedButton())->isEnabled());
            }
            QCOMPARE(QApplication::focusWidget(), target->focusProxy() ? target->focusProxy() : target);
            std::unique_ptr<QSignalSpy> spy;
            if (auto *b = qobject_cast<QAbstractButton *>(target))
                spy = std::make_unique<QSignalSpy>(b, &QAbstractButton::clicked);
            else
                spy = std::make_unique<QSignalSpy>(qobject_cast<RecordNavigator *>(target), &RecordNavigator::clicked);
            const QPointer<QTimer> closer = whenShown(w, [](QWidget *) {});
            const Qt::KeyboardModifiers mods = key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier;
            QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), mods);
            delete closer;
            presses = int(spy->count());
        });
        QCOMPARE(presses, 1);
    }

    void ctrlTabLeavesGrids_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("grid");
        int rows = 0;
        for (FormWindow *w : formWindows()) {
            for (DataGrid *g : w->findChildren<DataGrid *>()) {
                QTest::addRow("%s/%s", qPrintable(w->objectName()), qPrintable(g->objectName()))
                    << w->objectName() << g->objectName();
                ++rows;
            }
        }
        QVERIFY(rows >= 8);
    }

    // Tab stays among the cells where the grid's options ask for it;
    // Ctrl+Tab and Ctrl+Shift+Tab go to the next and previous control.
    void ctrlTabLeavesGrids()
    {
        QFETCH(QString, window);
        QFETCH(QString, grid);
        auto *w = qobject_cast<FormWindow *>(windowNamed(window));
        QVERIFY(w);
        if (window == u"FEstadias" || window == u"FReservas") {
            DM->TEstadias->setFilter(window == u"FEstadias" ? QStringLiteral("Estado = 'Ocupada'")
                                                            : QStringLiteral("Estado = 'Reservada'"));
            DM->TEstadias->setFiltered(true);
        }
        showModalAnd(w, [&] {
            QTRY_VERIFY(w->isActiveWindow());
            DataGrid *g = w->findChild<DataGrid *>(grid);
            QVERIFY(g);
            // A grid on a tab of its own is brought to the front.
            for (QWidget *p = g->parentWidget(); p && p != w; p = p->parentWidget())
                if (auto *tabs = qobject_cast<QTabWidget *>(p->parentWidget() ? p->parentWidget()->parentWidget() : nullptr))
                    tabs->setCurrentWidget(p);
            QVERIFY2(g->isVisible() && g->isEnabled(), "the grid is in view when the window opens");
            const auto inGrid = [g] {
                QWidget *f = QApplication::focusWidget();
                return f && (f == g || g->isAncestorOf(f));
            };
            g->setFocus();
            QVERIFY(inGrid());
            if (g->options().testFlag(DataGrid::Option::Tabs) && g->rowCount() > 0 && g->columnCount() > 1) {
                QTest::keyClick(g, Qt::Key_Tab);
                QVERIFY2(inGrid(), "Tab moves between the cells");
            }
            QTest::keyClick(g, Qt::Key_Tab, Qt::ControlModifier);
            QWidget *next = QApplication::focusWidget();
            QVERIFY2(!inGrid(), "Ctrl+Tab leaves the grid");
            QVERIFY(next && next->window() == w);
            g->setFocus();
            QTest::keyClick(g, Qt::Key_Tab, Qt::ControlModifier | Qt::ShiftModifier);
            QWidget *previous = QApplication::focusWidget();
            QVERIFY2(!inGrid(), "Ctrl+Shift+Tab leaves the grid");
            QVERIFY(previous && previous->window() == w);
        });
    }
};

QTEST_MAIN(TestEveryWindow)
#include "tst_everywindow.moc"
