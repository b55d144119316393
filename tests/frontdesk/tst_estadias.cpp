#include "BoundText.h"
#include "DataGrid.h"
#include "DatePicker.h"
#include "DateTimes.h"
#include "LookupCombo.h"
#include "LookupList.h"
#include "OtherDesk.h"
#include "Regional.h"
#include "Startup.h"
#include "TestDatabase.h"
#include "TestSupport.h"
#include "UBusquedaHabitacion.h"
#include "ChangeFeed.h"
#include "UDM.h"
#include "UEstadias.h"
#include "UPrincipal.h"
#include "URegistrarConsumos.h"
#include "UReporteFactura.h"
#include "WindowTest.h"

#include <QApplication>
#include <QDateEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

// The stays window over a fresh database, opened as the main menu opens it.
class TestEstadias : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestDatabase> m_db;
    std::vector<std::function<void()>> m_destroy; // of the windows this test made itself
    QPointer<QTimer> m_watch;
    qint64 m_first = 0;    // Reservada, first in the table
    qint64 m_ana = 0;      // Ocupada, room 101, 10/05 to 15/05 at 80, three consumptions
    qint64 m_beto = 0;     // Ocupada, room 102, 11/05 to 13/05 at 100, none
    qint64 m_invoiced = 0; // Facturada, room 102, 14/05 to 16/05, one consumption
    qint64 m_later = 0;    // Reservada, room 101, 20/05 to 25/05

    static TFEstadias &w() { return *FEstadias; }

    template<typename T>
    void createIfMissing(T *&global)
    {
        if (!global) {
            global = new T(FPrincipal);
            m_destroy.push_back([&global] {
                delete global;
                global = nullptr;
            });
        }
    }

    // Runs `inside` once a modal window other than the stays window and the
    // message boxes is open, then closes it unless `inside` did.
    void whenOtherModalOpens(std::function<void(QWidget *)> inside)
    {
        delete m_watch;
        m_watch = new QTimer;
        m_watch->setInterval(1);
        QTimer *timer = m_watch;
        connect(timer, &QTimer::timeout, timer, [timer, inside] {
            QWidget *modal = QApplication::activeModalWidget();
            if (!modal || modal == FEstadias || qobject_cast<QMessageBox *>(modal))
                return;
            timer->stop();
            timer->deleteLater();
            inside(modal);
            if (modal->isVisible())
                modal->close();
        });
        timer->start();
    }

    // Opens the window as the main menu does, runs `inside` in it, closes it.
    static void administrar(const std::function<void()> &inside)
    {
        QTimer::singleShot(0, &w(), [inside] {
            inside();
            if (w().isVisible())
                w().close();
        });
        w().AdministrarEstadias();
    }

    static QStringList listedRooms()
    {
        const QAbstractItemModel *m = w().dbllbxHabitaciones->rowsView()->model();
        QStringList out;
        for (int r = 0; r < m->rowCount(); ++r)
            out << m->index(r, 0).data().toString();
        return out;
    }

    static void chooseRoom(const QString &number)
    {
        LookupRowsView *view = w().dbllbxHabitaciones->rowsView();
        const int row = listedRooms().indexOf(number);
        QVERIFY2(row >= 0, qPrintable(number));
        const QRect r = view->visualRect(view->model()->index(row, 0));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, r.center());
    }

    // A line of the room list clicked, by its place.
    static void chooseLine(int row)
    {
        LookupRowsView *view = w().dbllbxHabitaciones->rowsView();
        QVERIFY(row >= 0 && row < view->model()->rowCount());
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(view->model()->index(row, 0)).center());
    }

    // A stay put in through the stays cursor, as another window would; daily price 100.
    static qint64 addOccupiedStay(const QString &room, QDate checkIn, QDate checkOut)
    {
        Cursor &stays = *DM->TEstadias;
        stays.append();
        stays.setValue(QStringLiteral("IdHuesped"), DM->THuespedes->value(QStringLiteral("IdHuesped")));
        stays.setValue(QStringLiteral("IdHabitacion"),
                       DM->THabitaciones->lookup(QStringLiteral("NroHabitacion"), room, QStringLiteral("idHabitacion")));
        stays.setValue(QStringLiteral("FechaIngreso"), DateTimes::make(checkIn));
        stays.setValue(QStringLiteral("FechaEgreso"), DateTimes::make(checkOut));
        const qint64 days = checkIn.daysTo(checkOut) + 1;
        stays.setValue(QStringLiteral("Dias"), days);
        stays.setValue(QStringLiteral("PrecioDiario"), QVariant::fromValue(money("100")));
        stays.setValue(QStringLiteral("PrecioFinal"), QVariant::fromValue(money("100") * days));
        stays.setValue(QStringLiteral("Estado"), QStringLiteral("Ocupada"));
        stays.post();
        return stays.value(QStringLiteral("IdEstadia")).toLongLong();
    }

    static qint64 currentStay() { return DM->TEstadias->value(QStringLiteral("IdEstadia")).toLongLong(); }

    QVariant stored(qint64 stay, const QString &column)
    {
        return m_db->scalar(QStringLiteral("SELECT %1 FROM Estadias WHERE IdEstadia = ?").arg(column), {stay});
    }

    int consumptionsInFile(qint64 stay)
    {
        return m_db->scalar(QStringLiteral("SELECT count(*) FROM ConsumoDeServicios WHERE IdEstadia = ?"), {stay})
            .toInt();
    }

    // No stay is occupied any more.
    static void noOccupiedStays()
    {
        Cursor &stays = *DM->TEstadias;
        for (stays.first(); !stays.atEnd(); stays.next()) {
            if (stays.value(QStringLiteral("Estado")).toString() == u"Ocupada") {
                stays.edit();
                stays.setValue(QStringLiteral("Estado"), QStringLiteral("Reservada"));
                stays.post();
            }
        }
        stays.first();
    }

    // Fields of the stay in the file and in the cursor alike.
    void verifyStay(qint64 stay, const QString &checkOut, int days, Money total)
    {
        QCOMPARE(stored(stay, QStringLiteral("FechaEgreso")).toString(), checkOut);
        QCOMPARE(stored(stay, QStringLiteral("Dias")).toInt(), days);
        QCOMPARE(stored(stay, QStringLiteral("PrecioFinal")).toLongLong(), total.raw());
        Cursor &stays = *DM->TEstadias;
        QCOMPARE(stays.lookup(QStringLiteral("IdEstadia"), stay, QStringLiteral("FechaEgreso")),
                 QVariant(*DateTimes::fromCanonical(checkOut)));
        QCOMPARE(stays.lookup(QStringLiteral("IdEstadia"), stay, QStringLiteral("Dias")).toInt(), days);
        QCOMPARE(stays.lookup(QStringLiteral("IdEstadia"), stay, QStringLiteral("PrecioFinal")).value<Money>(), total);
    }

private slots:
    void initTestCase() { Startup::configure(*static_cast<QApplication *>(QCoreApplication::instance())); }

    void init()
    {
        m_db = std::make_unique<TestDatabase>();
        // The type's present tariff differs from the stays' own daily prices.
        const qint64 type = m_db->addRoomType(QStringLiteral("Doble"), money("95"));
        const qint64 r101 = m_db->addRoom(QStringLiteral("101"), type);
        const qint64 r102 = m_db->addRoom(QStringLiteral("102"), type);
        const qint64 r103 = m_db->addRoom(QStringLiteral("103"), type);
        const qint64 ana = m_db->addGuest(QStringLiteral("Ana Ruiz"));
        const qint64 beto = m_db->addGuest(QStringLiteral("Beto Díaz"));
        const qint64 carla = m_db->addGuest(QStringLiteral("Carla Paz"));
        const qint64 cafe = m_db->addService(QStringLiteral("Café"), money("2.5"));
        const qint64 cena = m_db->addService(QStringLiteral("Cena"), money("30"));
        m_first = m_db->addStay(carla, r103, QStringLiteral("2014-05-01"), QStringLiteral("2014-05-03"),
                                QStringLiteral("Reservada"));
        m_ana = m_db->addStay(ana, r101, QStringLiteral("2014-05-10"), QStringLiteral("2014-05-15"),
                              QStringLiteral("Ocupada"), money("80"));
        m_beto = m_db->addStay(beto, r102, QStringLiteral("2014-05-11"), QStringLiteral("2014-05-13"),
                               QStringLiteral("Ocupada"), money("100"));
        m_invoiced = m_db->addStay(carla, r102, QStringLiteral("2014-05-14"), QStringLiteral("2014-05-16"),
                                   QStringLiteral("Facturada"));
        m_later = m_db->addStay(carla, r101, QStringLiteral("2014-05-20"), QStringLiteral("2014-05-25"),
                                QStringLiteral("Reservada"));
        m_db->addStay(beto, r101, QStringLiteral("2014-05-16"), QStringLiteral("2014-05-18"),
                      QStringLiteral("Finalizada"));
        m_db->addConsumption(m_ana, cafe, 2, money("2.5"), QStringLiteral("2014-05-11 08:30:00"));
        m_db->addConsumption(m_ana, cena, 1, money("30"), QStringLiteral("2014-05-10 21:00:00"));
        m_db->addConsumption(m_ana, cafe, 1, money("2.5"), QStringLiteral("2014-05-12 08:10:00"));
        m_db->addConsumption(m_invoiced, cena, 2, money("30"), QStringLiteral("2014-05-14 21:00:00"));
        Startup::createAll(m_db->target());
        Regional::setSettings(spanishSettings());
        createIfMissing(FBusquedaHabitacion);
        createIfMissing(FRegistrarConsumos);
        createIfMissing(FFactura);
        createIfMissing(FEstadias);
    }

    void cleanup()
    {
        delete m_watch;
        for (auto it = m_destroy.rbegin(); it != m_destroy.rend(); ++it)
            (*it)();
        m_destroy.clear();
        Startup::destroyAll();
        m_db.reset();
    }

    void layout()
    {
        QCOMPARE(w().windowTitle(), QStringLiteral("Administración de Estadías"));
        QCOMPARE(w().size(), QSize(435, 369));
        const QStringList titles = {"Servicio", "Cantidad", "Fecha"};
        const QList<int> widths = {127, 58, 104};
        QCOMPARE(w().DBGrid1->columnCount(), 3);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(w().DBGrid1->column(i).title, titles[i]);
            QCOMPARE(w().DBGrid1->column(i).width, widths[i]);
        }
        using O = DataGrid::Option;
        const DataGrid::Options options = w().DBGrid1->options();
        QVERIFY(options.testFlag(O::ConfirmDelete) && options.testFlag(O::ColumnLines)
                && options.testFlag(O::RowSelect));
        QVERIFY(!options.testFlag(O::Editing) && !options.testFlag(O::Indicator));
        QVERIFY(!w().DBGrid1->isReadOnly());
        QCOMPARE(w().btConsumos->text(), QStringLiteral(" Administrar Consumos"));
        QCOMPARE(w().btAgregar->text(), QStringLiteral(" Agregar Estadía"));
        QCOMPARE(w().dtpEgreso->date(), DateTimes::make(QDate(2008, 4, 16)));
    }

    void opensOnTheFirstOccupiedStay()
    {
        administrar([this] {
            QCOMPARE(listedRooms(), QStringList({"101", "102"}));
            QCOMPARE(currentStay(), m_ana);
            QCOMPARE(w().DBText1->text(), QStringLiteral("Ana Ruiz"));
            QCOMPARE(w().DBText3->text(), QStringLiteral("$ 80,00"));
            QCOMPARE(w().DBText2->text(), QStringLiteral("10/05/2014"));
            // The consumptions by time, oldest first.
            QCOMPARE(w().DBGrid1->rowCount(), 3);
            QCOMPARE(w().DBGrid1->cellText(0, 0), QStringLiteral("Cena"));
            QCOMPARE(w().DBGrid1->cellText(0, 2), QStringLiteral("10/05/2014 21:00"));
            QCOMPARE(w().DBGrid1->cellText(2, 1), QStringLiteral("1"));
            // Opening does not load the picker.
            QCOMPARE(w().dtpEgreso->date(), DateTimes::make(QDate(2008, 4, 16)));
        });
    }

    void choosingARoom()
    {
        administrar([this] {
            chooseRoom(QStringLiteral("102"));
            QCOMPARE(currentStay(), m_beto);
            QCOMPARE(w().DBText1->text(), QStringLiteral("Beto Díaz"));
            QCOMPARE(w().DBGrid1->rowCount(), 0);
            QCOMPARE(w().dtpEgreso->date(), DateTimes::make(QDate(2014, 5, 13)));
        });
        // The picker keeps its date to the next opening, whatever stay is current then.
        administrar([this] {
            QCOMPARE(currentStay(), m_ana);
            QCOMPARE(w().dtpEgreso->date(), DateTimes::make(QDate(2014, 5, 13)));
        });
    }

    void administrarEstadias()
    {
        DM->TEstadias->last();
        QTimer::singleShot(0, &w(), [this] {
            QCOMPARE(DM->TEstadias->filter(), QStringLiteral("Estado = 'Ocupada'"));
            QCOMPARE(currentStay(), m_ana);
            chooseRoom(QStringLiteral("102"));
            w().close();
        });
        w().AdministrarEstadias();
        QVERIFY(!DM->TEstadias->isFiltered());
        QCOMPARE(DM->TEstadias->filter(), QString());
        QCOMPARE(DM->TEstadias->recordCount(), 6);
        QCOMPARE(DM->TEstadias->recNo(), 0);
        QCOMPARE(currentStay(), m_first);
    }

    void checkOutChange_data()
    {
        QTest::addColumn<QString>("room");
        QTest::addColumn<QDateTime>("picked"); // invalid: the picker as it was
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QString>("checkOut"); // empty: nothing written
        QTest::addColumn<int>("days");
        QTest::addColumn<QString>("total");
        const QString question = QStringLiteral("¿Confirma que cambia la fecha de egreso?");
        const QString before = QStringLiteral("La fecha de egreso es anterior a la de ingreso.");
        const QString notFree = QStringLiteral("La habitación no está libre hasta la nueva fecha de egreso.");
        const auto day = [](int d, int m, QTime t = QTime(0, 0)) { return DateTimes::make(QDate(2014, m, d), t); };
        QTest::newRow("same day") << "101" << day(10, 5) << "&Yes" << QStringList{question}
                                  << "2014-05-10 00:00:00" << 1 << "80";
        QTest::newRow("shorter") << "101" << day(12, 5) << "&Yes" << QStringList{question} << "2014-05-12 00:00:00"
                                 << 3 << "240";
        QTest::newRow("time of day cut") << "101" << day(12, 5, QTime(15, 45, 10)) << "&Yes" << QStringList{question}
                                         << "2014-05-12 00:00:00" << 3 << "240";
        QTest::newRow("later, over a finished stay") << "101" << day(19, 5) << "&Yes" << QStringList{question}
                                                      << "2014-05-19 00:00:00" << 10 << "800";
        QTest::newRow("answered No") << "101" << day(12, 5) << "&No" << QStringList{question} << QString() << 0
                                     << QString();
        QTest::newRow("before check-in") << "101" << day(9, 5) << "" << QStringList{before} << QString() << 0
                                         << QString();
        QTest::newRow("initial picker date") << "" << QDateTime() << "" << QStringList{before} << QString() << 0
                                             << QString();
        QTest::newRow("onto a reservation's first day") << "101" << day(20, 5) << "" << QStringList{notFree}
                                                         << QString() << 0 << QString();
        QTest::newRow("past a reservation") << "101" << day(28, 5) << "" << QStringList{notFree} << QString() << 0
                                            << QString();
        QTest::newRow("onto an invoiced stay") << "102" << day(14, 5) << "" << QStringList{notFree} << QString() << 0
                                               << QString();
        QTest::newRow("shorter, other stay") << "102" << day(12, 5) << "&Yes" << QStringList{question}
                                             << "2014-05-12 00:00:00" << 2 << "200";
    }

    void checkOutChange()
    {
        QFETCH(QString, room);
        QFETCH(QDateTime, picked);
        QFETCH(QString, answer);
        QFETCH(QStringList, messages);
        QFETCH(QString, checkOut);
        QFETCH(int, days);
        QFETCH(QString, total);
        DialogAnswers answers(answer.isEmpty() ? QStringList{QStringLiteral("OK")} : QStringList{answer});
        qint64 stay = 0;
        administrar([&] {
            if (!room.isEmpty())
                chooseRoom(room);
            if (picked.isValid())
                w().dtpEgreso->setDate(picked);
            stay = currentStay();
            QTest::mouseClick(w().btEgreso, Qt::LeftButton);
            QCOMPARE(DM->TEstadias->state(), Cursor::State::Browse);
        });
        QCOMPARE(answers.texts(), messages);
        QCOMPARE(answers.unexpected(), 0);
        const bool beto = stay == m_beto;
        if (checkOut.isEmpty())
            verifyStay(stay, beto ? QStringLiteral("2014-05-13 00:00:00") : QStringLiteral("2014-05-15 00:00:00"),
                       beto ? 3 : 6, beto ? money("300") : money("480"));
        else
            verifyStay(stay, checkOut, days, money(total.toLatin1().constData()));
        // The other stays of the room are never touched.
        QCOMPARE(stored(m_later, QStringLiteral("FechaEgreso")).toString(), QStringLiteral("2014-05-25 00:00:00"));
    }

    // Another desk books the room for the new days while the question is
    // read: the database refuses the change, and the stay stays as stored.
    void checkOutChangeMeetsAnotherDesksBooking()
    {
        const QString question = QStringLiteral("¿Confirma que cambia la fecha de egreso?");
        DialogAnswers answers({QStringLiteral("&Yes"), QStringLiteral("OK")});
        answers.beforeAnswering([&](const QString &text) {
            if (text == question)
                m_db->addStay(m_db->scalar(QStringLiteral("SELECT IdHuesped FROM Huespedes WHERE Nombre = 'Beto Díaz'"))
                                  .toLongLong(),
                              m_db->scalar(QStringLiteral("SELECT IdHabitacion FROM Estadias WHERE IdEstadia = ?"), {m_ana})
                                  .toLongLong(),
                              QStringLiteral("2014-05-17"), QStringLiteral("2014-05-18"), QStringLiteral("Reservada"));
        });
        administrar([] {
            chooseRoom(QStringLiteral("101"));
            w().dtpEgreso->setDate(DateTimes::make(QDate(2014, 5, 19)));
            QTest::mouseClick(w().btEgreso, Qt::LeftButton);
            QCOMPARE(DM->TEstadias->state(), Cursor::State::Browse);
        });
        QCOMPARE(answers.texts(),
                 QStringList({question, QStringLiteral("La habitación no está libre hasta la nueva fecha de egreso.")}));
        QCOMPARE(answers.unexpected(), 0);
        verifyStay(m_ana, QStringLiteral("2014-05-15 00:00:00"), 6, money("480"));
    }

    // Another desk's booking of the new days is not committed yet when the
    // change is written: the change waits for it and is refused. When that
    // desk then writes a day the changed stay holds, each waits for the other;
    // the server ends this desk's change, which is made again and refused.
    void checkOutChangeWaitsForAnotherDesk_data()
    {
        QTest::addColumn<bool>("waitingForEachOther");
        QTest::newRow("this desk waits") << false;
        QTest::newRow("both desks wait for each other") << true;
    }

    void checkOutChangeWaitsForAnotherDesk()
    {
        QFETCH(bool, waitingForEachOther);
        const QString insert =
            QStringLiteral("INSERT INTO Estadias (IdHuesped, IdHabitacion, FechaIngreso, FechaEgreso, Estado, Dias) "
                           "SELECT IdHuesped, IdHabitacion, '%1', '%1', 'Reservada', 1 FROM Estadias WHERE IdEstadia = ")
            + QString::number(m_ana);
        QStringList then;
        if (waitingForEachOther)
            then << insert.arg(QStringLiteral("2014-05-16 00:00:00"));
        OtherDesk other(*m_db, {insert.arg(QStringLiteral("2014-05-18 00:00:00"))}, then);
        other.waitUntilWritten();
        DialogAnswers answers({QStringLiteral("&Yes"), QStringLiteral("OK")});
        administrar([] {
            chooseRoom(QStringLiteral("101"));
            w().dtpEgreso->setDate(DateTimes::make(QDate(2014, 5, 19)));
            QTest::mouseClick(w().btEgreso, Qt::LeftButton);
            QCOMPARE(DM->TEstadias->state(), Cursor::State::Browse);
        });
        const QString otherError = other.finish();
        QVERIFY2(otherError.isEmpty(), qPrintable(otherError));
        QCOMPARE(answers.texts(), QStringList({"¿Confirma que cambia la fecha de egreso?",
                                               "La habitación no está libre hasta la nueva fecha de egreso."}));
        verifyStay(m_ana, QStringLiteral("2014-05-15 00:00:00"), 6, money("480"));
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT count(*) FROM Estadias WHERE Estado = 'Reservada' AND "
                                             "FechaIngreso BETWEEN '2014-05-16 00:00:00' AND '2014-05-18 00:00:00'"))
                     .toInt(),
                 waitingForEachOther ? 2 : 1);
    }

    void refusedChangeLeavesTheStayAsStored()
    {
        // Another program changed the stay since it was read, and this one has
        // not heard of it yet.
        DM->Feed->stop();
        m_db->exec(QStringLiteral("UPDATE Estadias SET Dias = 7 WHERE IdEstadia = ?"), {m_ana});
        DialogAnswers answers({QStringLiteral("&Yes"), QStringLiteral("OK")});
        administrar([] {
            chooseRoom(QStringLiteral("101"));
            w().dtpEgreso->setDate(DateTimes::make(QDate(2014, 5, 12)));
            QTest::mouseClick(w().btEgreso, Qt::LeftButton);
            QCOMPARE(DM->TEstadias->state(), Cursor::State::Browse);
            // Read again: what the other program wrote.
            QCOMPARE(DM->TEstadias->fieldByName(QStringLiteral("Dias")).asInteger(), 7);
        });
        QCOMPARE(answers.texts(), QStringList({"¿Confirma que cambia la fecha de egreso?",
                                               "The record was changed or deleted by another program since it "
                                               "was read; your changes were not saved."}));
        QCOMPARE(stored(m_ana, QStringLiteral("FechaEgreso")).toString(), QStringLiteral("2014-05-15 00:00:00"));
        // Closing still takes the filter away.
        QVERIFY(!DM->TEstadias->isFiltered());
    }

    void deletion_data()
    {
        QTest::addColumn<QString>("room");
        QTest::addColumn<QString>("answer");
        QTest::newRow("three consumptions") << "101" << "&Yes";
        QTest::newRow("no consumption") << "102" << "&Yes";
        QTest::newRow("answered No") << "101" << "&No";
    }

    void deletion()
    {
        QFETCH(QString, room);
        QFETCH(QString, answer);
        const bool yes = answer == u"&Yes";
        DialogAnswers answers({answer});
        qint64 stay = 0;
        administrar([&] {
            chooseRoom(room);
            stay = currentStay();
            QTest::mouseClick(w().btEliminar, Qt::LeftButton);
            QStringList left = {"101", "102"};
            if (yes)
                left.removeOne(room);
            QCOMPARE(listedRooms(), left);
            // A neighbouring occupied stay is current, with its own consumptions.
            QCOMPARE(currentStay(), yes ? (stay == m_ana ? m_beto : m_ana) : stay);
            QCOMPARE(w().DBGrid1->rowCount(), consumptionsInFile(currentStay()));
        });
        QCOMPARE(answers.texts(), QStringList({"¿Confirma la eliminación de la estadía seleccionada?"}));
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT count(*) FROM Estadias WHERE IdEstadia = ?"), {stay}).toInt(),
                 yes ? 0 : 1);
        QCOMPARE(consumptionsInFile(stay), yes ? 0 : (stay == m_ana ? 3 : 0));
        // Nobody else's consumptions go.
        QCOMPARE(consumptionsInFile(m_invoiced), 1);
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT count(*) FROM Estadias")).toInt(), yes ? 5 : 6);
    }

    void refusedDeletionRollsBack()
    {
        // Another program changed the stay, so its own delete comes after the
        // consumptions went and is refused. This program has not heard of the
        // change yet.
        DM->Feed->stop();
        m_db->exec(QStringLiteral("UPDATE Estadias SET Dias = 7 WHERE IdEstadia = ?"), {m_ana});
        DialogAnswers answers({QStringLiteral("&Yes"), QStringLiteral("OK")});
        administrar([this] {
            QCOMPARE(currentStay(), m_ana);
            QTest::mouseClick(w().btEliminar, Qt::LeftButton);
            QCOMPARE(listedRooms(), QStringList({"101", "102"}));
            QCOMPARE(currentStay(), m_ana);
            QCOMPARE(DM->TConsumosDeServicios->recordCount(), 3);
            QCOMPARE(w().DBGrid1->rowCount(), 3);
            QCOMPARE(w().DBGrid1->cellText(0, 0), QStringLiteral("Cena"));
        });
        QCOMPARE(answers.texts(), QStringList({"¿Confirma la eliminación de la estadía seleccionada?",
                                               "The record was changed or deleted by another program since it "
                                               "was read; it was not deleted."}));
        QCOMPARE(answers.titles().last(), QStringLiteral("Administración de Hotel"));
        QCOMPARE(consumptionsInFile(m_ana), 3);
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT count(*) FROM Estadias")).toInt(), 6);
    }

    void deletionWithNoOccupiedStay()
    {
        noOccupiedStays();
        DialogAnswers answers({QStringLiteral("&Yes"), QStringLiteral("OK")});
        administrar([] { QTest::mouseClick(w().btEliminar, Qt::LeftButton); });
        QCOMPARE(answers.texts(), QStringList({"¿Confirma la eliminación de la estadía seleccionada?",
                                               "TEstadias: Cannot perform this operation on an empty dataset."}));
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT count(*) FROM Estadias")).toInt(), 6);
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT count(*) FROM ConsumoDeServicios")).toInt(), 4);
    }

    void withNoOccupiedStay_data()
    {
        QTest::addColumn<QString>("button");
        QTest::newRow("Cambiar") << "btEgreso";
        QTest::newRow("Facturar Estadía") << "btFacturar";
        QTest::newRow("Administrar Consumos") << "btConsumos";
    }

    void withNoOccupiedStay()
    {
        QFETCH(QString, button);
        noOccupiedStays();
        const QVariantList states = m_db->column(QStringLiteral("SELECT Estado FROM Estadias ORDER BY IdEstadia"));
        DialogAnswers answers(QStringLiteral("OK"));
        bool opened = false;
        whenOtherModalOpens([&](QWidget *) { opened = true; });
        administrar([&] {
            QVERIFY(listedRooms().isEmpty());
            w().dtpEgreso->setDate(DateTimes::make(QDate(2014, 6, 1)));
            QTest::mouseClick(w().findChild<QPushButton *>(button), Qt::LeftButton);
        });
        QCOMPARE(answers.texts(), QStringList({"¡No hay habitaciones ocupadas!"}));
        QCOMPARE(answers.titles(), QStringList({"Error"}));
        QVERIFY(!opened);
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT count(*) FROM Estadias")).toInt(), 6);
        QCOMPARE(m_db->column(QStringLiteral("SELECT Estado FROM Estadias ORDER BY IdEstadia")), states);
        QCOMPARE(DM->TEstadias->recordCount(), 6);
    }

    void invoicing_data()
    {
        QTest::addColumn<QString>("room");
        QTest::newRow("with consumptions") << "101";
        QTest::newRow("without consumptions") << "102";
    }

    void invoicing()
    {
        QFETCH(QString, room);
        DialogAnswers answers(QStringLiteral("&Yes"));
        qint64 stay = 0;
        bool previewed = false;
        administrar([&] {
            chooseRoom(room);
            stay = currentStay();
            // The preview is closed without printing.
            whenOtherModalOpens([&](QWidget *) {
                previewed = true;
                QCOMPARE(currentStay(), stay);
                QCOMPARE(DM->TEstadias->value(QStringLiteral("Estado")).toString(), QStringLiteral("Ocupada"));
            });
            QTest::mouseClick(w().btFacturar, Qt::LeftButton);
            QCOMPARE(DM->TEstadias->state(), Cursor::State::Browse);
            // The invoiced stay leaves the list at once; the other one is chosen,
            // as a click on it would choose it.
            const QString other = room == u"101" ? QStringLiteral("102") : QStringLiteral("101");
            QCOMPARE(listedRooms(), QStringList({other}));
            const qint64 next = room == u"101" ? m_beto : m_ana;
            QCOMPARE(currentStay(), next);
            QCOMPARE(w().dbllbxHabitaciones->keyValue().toLongLong(), next);
            QCOMPARE(w().DBText1->text(), room == u"101" ? QStringLiteral("Beto Díaz") : QStringLiteral("Ana Ruiz"));
            QCOMPARE(w().dtpEgreso->date(), DateTimes::make(room == u"101" ? QDate(2014, 5, 13) : QDate(2014, 5, 15)));
        });
        QVERIFY(previewed);
        QCOMPARE(answers.texts(), QStringList({"¿Confirma que finaliza la estadía y emite la factura?"}));
        QCOMPARE(stored(stay, QStringLiteral("Estado")).toString(), QStringLiteral("Facturada"));
        QCOMPARE(DM->TEstadias->lookup(QStringLiteral("IdEstadia"), stay, QStringLiteral("Estado")).toString(),
                 QStringLiteral("Facturada"));
        // Nothing else of the stay changed.
        QCOMPARE(stored(stay, QStringLiteral("Dias")).toInt(), stay == m_ana ? 6 : 3);
        // From the next opening on it is not listed.
        administrar([&] {
            QVERIFY(!listedRooms().contains(room));
            QCOMPARE(listedRooms().size(), 1);
        });
    }

    // Two occupied stays of one room are two lines, each choosing its own stay.
    void twoStaysOfOneRoom()
    {
        const qint64 again = addOccupiedStay(QStringLiteral("101"), QDate(2014, 6, 1), QDate(2014, 6, 3));
        DialogAnswers answers(QStringLiteral("&Yes"));
        administrar([&] {
            QCOMPARE(listedRooms(), QStringList({"101", "102", "101"}));
            chooseLine(2);
            QCOMPARE(currentStay(), again);
            QCOMPARE(w().DBText2->text(), QStringLiteral("01/06/2014"));
            QCOMPARE(w().dtpEgreso->date(), DateTimes::make(QDate(2014, 6, 3)));
            w().dtpEgreso->setDate(DateTimes::make(QDate(2014, 6, 2)));
            QTest::mouseClick(w().btEgreso, Qt::LeftButton);
            chooseLine(0);
            QCOMPARE(currentStay(), m_ana);
        });
        // The change went to the stay chosen, and only to it.
        QCOMPARE(stored(again, QStringLiteral("FechaEgreso")).toString(), QStringLiteral("2014-06-02 00:00:00"));
        QCOMPARE(stored(m_ana, QStringLiteral("FechaEgreso")).toString(), QStringLiteral("2014-05-15 00:00:00"));
    }

    // A check-out typed section by section in the picker is stored as typed.
    void typedCheckOut()
    {
        const qint64 stay = addOccupiedStay(QStringLiteral("103"), QDate(2015, 1, 10), QDate(2015, 1, 20));
        DialogAnswers answers(QStringLiteral("&Yes"));
        administrar([&] {
            chooseLine(listedRooms().indexOf(QStringLiteral("103")));
            QCOMPARE(currentStay(), stay);
            QDateEdit *edit = w().dtpEgreso->findChild<QDateEdit *>();
            w().dtpEgreso->setFocus();
            QTest::keyClick(edit, Qt::Key_Home);
            QTest::keyClicks(edit, QStringLiteral("29"));
            QTest::keyClick(edit, Qt::Key_Tab);
            QTest::keyClicks(edit, QStringLiteral("02"));
            QTest::keyClick(edit, Qt::Key_Tab);
            QTest::keyClicks(edit, QStringLiteral("2016"));
            QCOMPARE(w().dtpEgreso->date(), DateTimes::make(QDate(2016, 2, 29)));
            QTest::mouseClick(w().btEgreso, Qt::LeftButton);
        });
        QCOMPARE(answers.texts(), QStringList({"¿Confirma que cambia la fecha de egreso?"}));
        verifyStay(stay, QStringLiteral("2016-02-29 00:00:00"), 416, money("100") * 416);
    }

    void invoicingAnsweredNo()
    {
        DialogAnswers answers(QStringLiteral("&No"));
        bool previewed = false;
        whenOtherModalOpens([&](QWidget *) { previewed = true; });
        administrar([] { QTest::mouseClick(w().btFacturar, Qt::LeftButton); });
        QVERIFY(!previewed);
        QCOMPARE(answers.texts(), QStringList({"¿Confirma que finaliza la estadía y emite la factura?"}));
        QCOMPARE(stored(m_ana, QStringLiteral("Estado")).toString(), QStringLiteral("Ocupada"));
    }

    void consumptionsOfTheCurrentStay()
    {
        QWidget *opened = nullptr;
        qint64 during = 0;
        administrar([&] {
            chooseRoom(QStringLiteral("102"));
            whenOtherModalOpens([&](QWidget *modal) {
                opened = modal;
                during = currentStay();
            });
            QTest::mouseClick(w().btConsumos, Qt::LeftButton);
        });
        QCOMPARE(opened, static_cast<QWidget *>(FRegistrarConsumos));
        QCOMPARE(during, m_beto);
    }

    void agregarEstadia()
    {
        const qint64 carla = m_db->scalar(QStringLiteral("SELECT IdHuesped FROM Huespedes WHERE Nombre = 'Carla Paz'"))
                                 .toLongLong();
        QWidget *opened = nullptr;
        administrar([&] {
            // Room 103 for Carla, from today, in the booking dialog's assignment mode.
            whenOtherModalOpens([&](QWidget *modal) {
                opened = modal;
                TFBusquedaHabitacion &b = *FBusquedaHabitacion;
                QVERIFY(b.btAsignarHabitacion->isVisible() && !b.btReservar->isVisible());
                QTest::mouseClick(b.btBuscar, Qt::LeftButton);
                const QList<QListWidgetItem *> found =
                    b.lbxHabLibres->findItems(QStringLiteral("103"), Qt::MatchExactly);
                QCOMPARE(found.size(), 1);
                found.first()->setSelected(true);
                b.dblcbxHuesped->setKeyValue(carla);
                QTest::mouseClick(b.btAsignarHabitacion, Qt::LeftButton);
                QVERIFY(!b.isVisible());
            });
            QTest::mouseClick(w().btAgregar, Qt::LeftButton);
            // The new stay joins the list and is current.
            QCOMPARE(listedRooms(), QStringList({"101", "102", "103"}));
            QCOMPARE(DM->TEstadias->value(QStringLiteral("Estado")).toString(), QStringLiteral("Ocupada"));
            QCOMPARE(w().DBText1->text(), QStringLiteral("Carla Paz"));
            QCOMPARE(w().DBGrid1->rowCount(), 0);
        });
        QCOMPARE(opened, static_cast<QWidget *>(FBusquedaHabitacion));
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT count(*) FROM Estadias WHERE Estado = 'Ocupada' "
                                             "AND IdHuesped = ? AND IdHabitacion = "
                                             "(SELECT idHabitacion FROM Habitaciones WHERE NroHabitacion = '103')"),
                              {carla})
                     .toInt(),
                 1);
    }
};

QTEST_MAIN(TestEstadias)
#include "tst_estadias.moc"
