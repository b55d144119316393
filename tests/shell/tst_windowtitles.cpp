#include "MessageDialog.h"
#include "Startup.h"
#include "TestDatabase.h"
#include "UBusquedaHabitacion.h"
#include "UPrincipal.h"
#include "WindowTest.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QTest>

#include <xcb/xcb.h>

#include <memory>

// The titles the window system receives, read back from a real X server (the
// test runs under Xvfb): what the title bars and the task bar show, which is
// not always what windowTitle() says.
class TestWindowTitles : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestDatabase> m_db;

    static xcb_atom_t atom(xcb_connection_t *c, const char *name)
    {
        const xcb_intern_atom_cookie_t cookie = xcb_intern_atom(c, 0, static_cast<uint16_t>(qstrlen(name)), name);
        std::unique_ptr<xcb_intern_atom_reply_t, decltype(&free)> reply(xcb_intern_atom_reply(c, cookie, nullptr), &free);
        return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    }

    // The window's _NET_WM_NAME as the X server holds it.
    static QString nativeTitle(QWidget *window)
    {
        auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
        if (!x11)
            return QStringLiteral("<no X11 connection>");
        xcb_connection_t *c = x11->connection();
        const auto id = static_cast<xcb_window_t>(window->winId());
        // The request goes out on Qt's own connection, after everything Qt sent.
        const xcb_get_property_cookie_t cookie
            = xcb_get_property(c, 0, id, atom(c, "_NET_WM_NAME"), atom(c, "UTF8_STRING"), 0, 4096);
        std::unique_ptr<xcb_get_property_reply_t, decltype(&free)> reply(xcb_get_property_reply(c, cookie, nullptr),
                                                                          &free);
        if (!reply)
            return QStringLiteral("<no reply>");
        return QString::fromUtf8(static_cast<const char *>(xcb_get_property_value(reply.get())),
                                 xcb_get_property_value_length(reply.get()));
    }

    static QList<QWidget *> windows()
    {
        QList<QWidget *> out{FPrincipal};
        for (QWidget *w : FPrincipal->findChildren<QWidget *>())
            if (w->isWindow() && !w->windowTitle().isEmpty())
                out << w;
        return out;
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(QGuiApplication::platformName() == QLatin1String("xcb"),
                 "runs on an X server: QT_QPA_PLATFORM=xcb under xvfb-run");
        Startup::configure(*static_cast<QApplication *>(QCoreApplication::instance()));
        m_db = std::make_unique<TestDatabase>();
        Startup::createAll(m_db->folder());
    }

    void cleanupTestCase()
    {
        Startup::destroyAll();
        m_db.reset();
    }

    void everyWindow_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("title");
        for (QWidget *w : windows())
            QTest::newRow(qPrintable(w->objectName())) << w->objectName() << w->windowTitle();
        QVERIFY(windows().size() >= 9);
    }

    // Each window carries exactly its own title, with nothing appended.
    void everyWindow()
    {
        QFETCH(QString, name);
        QFETCH(QString, title);
        QWidget *window = nullptr;
        for (QWidget *w : windows())
            if (w->objectName() == name)
                window = w;
        QVERIFY(window);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QCOMPARE(nativeTitle(window), title);
        window->hide();
    }

    // The booking dialog takes its caption from the mode it opens in.
    void bookingDialog()
    {
        QString seen;
        whenModalOpens([&seen](QWidget *modal) {
            [[maybe_unused]] const bool exposed = QTest::qWaitForWindowExposed(modal);
            seen = nativeTitle(modal);
        });
        FBusquedaHabitacion->AgregarReserva();
        QCOMPARE(seen, QStringLiteral("Reservación de una habitación"));
    }

    void messageBoxes_data()
    {
        QTest::addColumn<int>("kind"); // -1: the default error dialog
        QTest::addColumn<QString>("title");
        QTest::newRow("confirmation") << int(MessageDialog::Kind::Confirmation) << "Confirm";
        QTest::newRow("information") << int(MessageDialog::Kind::Information) << "Information";
        QTest::newRow("error") << int(MessageDialog::Kind::Error) << "Error";
        QTest::newRow("default error dialog") << -1 << "Administración de Hotel";
    }

    void messageBoxes()
    {
        QFETCH(int, kind);
        QFETCH(QString, title);
        QString seen;
        MessageDialog::setObserver([&seen](QMessageBox &box) {
            [[maybe_unused]] const bool exposed = QTest::qWaitForWindowExposed(&box);
            seen = nativeTitle(&box);
            box.reject();
        });
        if (kind < 0)
            MessageDialog::showDefaultError(QStringLiteral("Algo falló"), FPrincipal);
        else
            MessageDialog::show(QStringLiteral("¿Seguro?"), MessageDialog::Kind(kind), MessageDialog::Buttons::Ok,
                                FPrincipal);
        MessageDialog::setObserver({});
        QCOMPARE(seen, title);
    }
};

QTEST_MAIN(TestWindowTitles)
#include "tst_windowtitles.moc"
