#include "DataError.h"
#include "DataGrid.h"
#include "ImageList16.h"
#include "RecordNavigator.h"
#include "Regional.h"
#include "MessageDialog.h"
#include "Startup.h"
#include "TestDatabase.h"
#include "UDM.h"
#include "UHuespedes.h"
#include "UDatosDelHotel.h"
#include "UPrincipal.h"
#include "WindowTest.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

// Start-up and the main window, started the way the program's main block does.
class TestPrincipal : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        Startup::configure(*static_cast<QApplication *>(QCoreApplication::instance()));
    }

    void cleanup() { Startup::destroyAll(); }

    void fadeIn()
    {
        TestDatabase db;
        Startup::createAll(db.target());
        TFPrincipal &w = *FPrincipal;
        QCOMPARE(w.AlphaBlendValue(), 0);
        QVERIFY(w.AlphaBlend());
        QVERIFY(w.Timer1->isActive());
        QCOMPARE(w.Timer1->interval(), 50);
        QList<int> seen;
        for (int tick = 0; tick < 26; ++tick) {
            w.Timer1Timer();
            seen << w.AlphaBlendValue();
        }
        QList<int> expected;
        for (int a = 10; a <= 250; a += 10)
            expected << a;
        expected << 255;
        QCOMPARE(seen, expected);
        QVERIFY(!w.AlphaBlend());
        QVERIFY(!w.Timer1->isActive());
        w.Timer1Timer();
        QCOMPARE(w.AlphaBlendValue(), 255);
        QVERIFY(!w.AlphaBlend());
    }

    void fadeInRunsOnItsOwn()
    {
        TestDatabase db;
        Startup::createAll(db.target());
        FPrincipal->show();
        QTRY_VERIFY_WITH_TIMEOUT(!FPrincipal->Timer1->isActive(), 5000);
        QCOMPARE(FPrincipal->AlphaBlendValue(), 255);
        QVERIFY(FPrincipal->isMaximized());
    }

    void mainWindow()
    {
        TestDatabase db;
        Startup::createAll(db.target());
        QCOMPARE(FPrincipal->windowTitle(), QStringLiteral("Administracion de hotel"));
        // The application's title belongs to the default error dialog; Qt's display
        // name would be appended to every window's title by the window system.
        QCOMPARE(MessageDialog::applicationTitle(), QStringLiteral("Administración de Hotel"));
        QVERIFY(QGuiApplication::applicationDisplayName() != MessageDialog::applicationTitle());
        QCOMPARE(FPrincipal->font().family(), QStringLiteral("MS Sans Serif"));
        QCOMPARE(FPrincipal->font().pointSize(), 8);
        // The short date format is set when the main window is made.
        QCOMPARE(Regional::settings().shortDateFormat, QStringLiteral("dd/mm/yyyy"));
        QCOMPARE(Regional::settings().formatShortDate(QDateTime(QDate(2014, 4, 5), QTime(0, 0))),
                 QString(QStringLiteral("05") + Regional::settings().dateSeparator + QStringLiteral("04")
                         + Regional::settings().dateSeparator + QStringLiteral("2014")));
    }

    void menu_data()
    {
        QTest::addColumn<QString>("menu");
        QTest::addColumn<QString>("item");
        QTest::addColumn<int>("icon");
        QTest::addColumn<int>("tag");
        QTest::newRow("1") << "Hotel" << "Administrar Tipos de Habitación" << 6 << 0;
        QTest::newRow("2") << "Hotel" << "Administrar Habitaciones" << 5 << 0;
        QTest::newRow("3") << "Hotel" << "Administrar Servicios" << 8 << 0;
        QTest::newRow("3b") << "Hotel" << "Datos del Hotel" << 17 << 0;
        QTest::newRow("4") << "Huéspedes" << "Administrar Huéspedes" << 7 << 0;
        QTest::newRow("5") << "Reservas" << "Administrar Reservas" << 9 << 0;
        QTest::newRow("6") << "Reservas" << "Agregar Reserva" << 10 << 0;
        QTest::newRow("7") << "Estadías" << "Administrar Estadías" << 5 << 0;
        QTest::newRow("8") << "Estadías" << "Asignar Habitación" << 15 << 0;
        QTest::newRow("9") << "Consultas" << "Estadías de un Huésped" << 17 << 0;
        QTest::newRow("10") << "Consultas" << "Habitaciones más pedidas" << 6 << 1;
        QTest::newRow("11") << "Reportes" << "Listado de Servicios" << 18 << 0;
        QTest::newRow("12") << "Reportes" << "Listado de Habitaciones" << 36 << 0;
    }

    void menu()
    {
        QFETCH(QString, menu);
        QFETCH(QString, item);
        QFETCH(int, icon);
        QFETCH(int, tag);
        TestDatabase db;
        Startup::createAll(db.target());
        QStringList top;
        QAction *found = nullptr;
        int index = -1;
        for (QAction *a : FPrincipal->menuBar()->actions()) {
            top << a->text();
            if (a->text() == menu && a->menu()) {
                const auto items = a->menu()->actions();
                for (int i = 0; i < items.size(); ++i)
                    if (items[i]->text() == item) {
                        found = items[i];
                        index = i;
                    }
            }
        }
        QCOMPARE(top, QStringList({"Hotel", "Huéspedes", "Reservas", "Estadías", "Consultas", "Reportes", "Salir"}));
        QVERIFY2(found, qPrintable(item));
        QVERIFY(index >= 0);
        QCOMPARE(found->data().toInt(), tag);
        QCOMPARE(found->icon().pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied),
                 ImageList16::pixmap(icon).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied));
    }

    // The hotel's own data: a fourth "Hotel" item, after the first three,
    // opens its window modally.
    void datosDelHotelItem()
    {
        TestDatabase db;
        Startup::createAll(db.target());
        QStringList items;
        for (QAction *a : FPrincipal->MainMenu1Hotel->actions())
            items << a->text();
        QCOMPARE(items, QStringList({"Administrar Tipos de Habitación", "Administrar Habitaciones",
                                     "Administrar Servicios", "Datos del Hotel"}));
        QCOMPARE(FPrincipal->MainMenu1Hotel->actions().at(3), FPrincipal->DatosdelHotel1);
        QVERIFY(FDatosDelHotel);
        QVERIFY(!FDatosDelHotel->isVisible());
        QCOMPARE(FDatosDelHotel->parent(), FPrincipal);
        bool opened = false;
        whenModalOpens([&](QWidget *modal) { opened = modal == FDatosDelHotel; });
        FPrincipal->DatosdelHotel1->trigger();
        QVERIFY(opened);
        QVERIFY(!FDatosDelHotel->isVisible());
        QVERIFY(!DM->TDatosDelHotel->isEditing());
    }

    void topLevelIcons()
    {
        TestDatabase db;
        Startup::createAll(db.target());
        const auto top = FPrincipal->menuBar()->actions();
        auto image = [](const QIcon &i) { return i.pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32); };
        QCOMPARE(image(top[0]->icon()), ImageList16::pixmap(10).toImage().convertToFormat(QImage::Format_ARGB32));
        QCOMPARE(image(top[6]->icon()), ImageList16::pixmap(14).toImage().convertToFormat(QImage::Format_ARGB32));
        for (int i = 1; i <= 5; ++i)
            QVERIFY(top[i]->icon().isNull());
    }

    void withoutDatabaseOneDialogThenAUsableWindow()
    {
        QTemporaryDir empty;
        DialogAnswers answers({QStringLiteral("OK"), QStringLiteral("OK")});
        Startup::createAll(empty.path());
        QCOMPARE(answers.boxes().size(), 1);
        const DialogAnswers::Box box = answers.boxes().front();
        QCOMPARE(box.title, QStringLiteral("Administración de Hotel"));
        QCOMPARE(box.icon, QMessageBox::Critical);
        QCOMPARE(box.buttons, QStringList({"OK"}));
        QVERIFY2(box.text.startsWith(QStringLiteral("Could not find file")), qPrintable(box.text));
        QVERIFY(!QFileInfo::exists(QDir(empty.path()).filePath(QStringLiteral("Hotel.db"))));
        QVERIFY(FPrincipal);
        QCOMPARE(FPrincipal->menuBar()->actions().size(), 7);
        QVERIFY(!DM->THuespedes->isOpen());
        // The guests window opens with nothing to show and its navigators off.
        showModalAnd(FHuespedes, [] {
            for (int b = 0; b <= 6; ++b)
                QVERIFY(!FHuespedes->DBNavigator1->button(b)->isEnabled());
            QCOMPARE(FHuespedes->DBGrid1->rowCount(), 0);
            FHuespedes->DBNavigator1->press(RecordNavigator::Insert);
        });
        QCOMPARE(answers.texts().last(),
                 QStringLiteral("THuespedes: Cannot perform this operation on a closed dataset."));
        QCOMPARE(answers.unexpected(), 0);
    }

    void salirClosesAtOnce()
    {
        TestDatabase db;
        Startup::createAll(db.target());
        FPrincipal->show();
        QVERIFY(QTest::qWaitForWindowExposed(FPrincipal));
        DialogAnswers answers;
        FPrincipal->Salir1->trigger();
        QVERIFY(!FPrincipal->isVisible());
        QVERIFY(answers.boxes().isEmpty());
    }

    void windowsAreMadeOnceAndHidden()
    {
        TestDatabase db;
        Startup::createAll(db.target());
        QVERIFY(FHuespedes);
        QVERIFY(!FHuespedes->isVisible());
        QCOMPARE(FHuespedes->parent(), FPrincipal);
        // The menu item shows the guests window modally.
        bool opened = false;
        whenModalOpens([&](QWidget *modal) { opened = modal == FHuespedes; });
        FPrincipal->AdministrarHuspedes1->trigger();
        QVERIFY(opened);
        QVERIFY(!FHuespedes->isVisible());
    }
};

QTEST_MAIN(TestPrincipal)
#include "tst_principal.moc"
