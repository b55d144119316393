#include "BoundText.h"
#include "DataGrid.h"
#include "DateTimes.h"
#include "LookupList.h"
#include "Regional.h"
#include "Startup.h"
#include "TestDatabase.h"
#include "TestSupport.h"
#include "ChangeFeed.h"
#include "UDM.h"
#include "UPrincipal.h"
#include "URegistrarConsumos.h"
#include "WindowTest.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

// Consumption entry over a fresh database, with the stay under test current in
// the shared stays cursor, as the stays window leaves it.
class TestRegistrarConsumos : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestDatabase> m_db;
    bool m_ownWindow = false;
    qint64 m_stay = 0;      // one consumption of yesterday
    qint64 m_emptyStay = 0; // no consumption
    qint64 m_otherStay = 0; // two consumptions, never shown
    qint64 m_cafe = 0;
    qint64 m_lavanderia = 0;

    static TFRegistrarConsumos &w() { return *FRegistrarConsumos; }

    static bool adding()
    {
        return w().pnlEdicion->isVisibleTo(&w()) && !w().DBGrid1->isEnabled() && !w().btAgregar->isEnabled()
               && !w().btEliminar->isEnabled();
    }

    static bool browsing()
    {
        return !w().pnlEdicion->isVisibleTo(&w()) && w().DBGrid1->isEnabled() && w().btAgregar->isEnabled()
               && w().btEliminar->isEnabled();
    }

    static void chooseService(const QString &name)
    {
        LookupRowsView *view = w().dbllbxServicio->rowsView();
        for (int r = 0; r < view->model()->rowCount(); ++r) {
            const QModelIndex i = view->model()->index(r, 0);
            if (i.data().toString() == name) {
                QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(i).center());
                return;
            }
        }
        QFAIL(qPrintable(QStringLiteral("no service ") + name));
    }

    // Adds through the window: " Agregar Servicio", the typed quantity, accept.
    static void addTyped(const QString &typed)
    {
        QTest::mouseClick(w().btAgregar, Qt::LeftButton);
        QTest::keyClicks(w().edCant, typed);
        QTest::mouseClick(w().btAceptar, Qt::LeftButton);
    }

    int consumptionsInFile(qint64 stay)
    {
        return m_db->scalar(QStringLiteral("SELECT count(*) FROM ConsumoDeServicios WHERE IdEstadia = ?"), {stay})
            .toInt();
    }

    static void makeCurrent(qint64 stay)
    {
        QVERIFY(DM->TEstadias->locate(QStringLiteral("IdEstadia"), stay));
    }

private slots:
    void initTestCase() { Startup::configure(*static_cast<QApplication *>(QCoreApplication::instance())); }

    void init()
    {
        m_db = std::make_unique<TestDatabase>();
        const qint64 type = m_db->addRoomType(QStringLiteral("Doble"), money("80"));
        const qint64 room = m_db->addRoom(QStringLiteral("214"), type);
        const qint64 room2 = m_db->addRoom(QStringLiteral("7"), type);
        const qint64 guest = m_db->addGuest(QStringLiteral("Ana Ruiz"));
        m_cafe = m_db->addService(QStringLiteral("Café"), money("2.5"));
        m_lavanderia = m_db->addService(QStringLiteral("Lavandería"), money("12"));
        m_db->addService(QStringLiteral("Minibar"), money("7.25"));
        const QString yesterday = DateTimes::toCanonical(DateTimes::now().addDays(-1));
        m_stay = m_db->addStay(guest, room, QStringLiteral("2014-05-10"), QStringLiteral("2014-05-15"),
                               QStringLiteral("Ocupada"));
        m_db->addConsumption(m_stay, m_lavanderia, 1, money("10"), yesterday);
        m_emptyStay = m_db->addStay(guest, room2, QStringLiteral("2014-05-10"), QStringLiteral("2014-05-12"),
                                    QStringLiteral("Ocupada"));
        m_otherStay = m_db->addStay(guest, room, QStringLiteral("2014-04-01"), QStringLiteral("2014-04-02"),
                                    QStringLiteral("Facturada"));
        m_db->addConsumption(m_otherStay, m_cafe, 2, money("2"), QStringLiteral("2014-04-01 09:00:00"));
        m_db->addConsumption(m_otherStay, m_cafe, 1, money("2"), QStringLiteral("2014-04-02 09:00:00"));
        Startup::createAll(m_db->target());
        Regional::setSettings(spanishSettings());
        m_ownWindow = !FRegistrarConsumos;
        if (m_ownWindow)
            FRegistrarConsumos = new TFRegistrarConsumos(FPrincipal);
        QCOMPARE(DM->TEstadias->value(QStringLiteral("IdEstadia")).toLongLong(), m_stay);
    }

    void cleanup()
    {
        if (m_ownWindow)
            delete FRegistrarConsumos;
        FRegistrarConsumos = nullptr;
        Startup::destroyAll();
        m_db.reset();
    }

    void layout()
    {
        QCOMPARE(w().windowTitle(), QStringLiteral("Registrar Consumos"));
        QCOMPARE(w().size(), QSize(552, 288));
        QVERIFY(w().font().bold());
        QVERIFY(!w().dbllbxServicio->font().bold());
        QVERIFY(!w().edCant->font().bold());
        QCOMPARE(w().edCant->maxLength(), 3);
        QCOMPARE(w().pnlEdicion->geometry(), QRect(4, 218, 199, 41));
        QCOMPARE(w().dbtHabitacion->text(), QStringLiteral("214"));
        QVERIFY(browsing());

        // The services by name, each with its price in the currency format.
        const QAbstractItemModel *services = w().dbllbxServicio->rowsView()->model();
        QCOMPARE(services->rowCount(), 3);
        QCOMPARE(services->index(1, 0).data().toString(), QStringLiteral("Lavandería"));
        QCOMPARE(services->index(1, 1).data().toString(), QStringLiteral("$ 12,00"));

        const QStringList titles = {"Fecha y Hora", "Servicio", "Cantidad"};
        const QList<int> widths = {104, 149, 58};
        QCOMPARE(w().DBGrid1->columnCount(), 3);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(w().DBGrid1->column(i).title, titles[i]);
            QCOMPARE(w().DBGrid1->column(i).width, widths[i]);
        }
        using O = DataGrid::Option;
        const DataGrid::Options options = w().DBGrid1->options();
        QVERIFY(options.testFlag(O::ConfirmDelete) && options.testFlag(O::CancelOnExit)
                && options.testFlag(O::RowSelect));
        QVERIFY(!options.testFlag(O::Editing) && !options.testFlag(O::Indicator)
                && !options.testFlag(O::ColumnLines));
        // Only the current stay's consumptions.
        QCOMPARE(w().DBGrid1->rowCount(), 1);
        QCOMPARE(w().DBGrid1->cellText(0, 1), QStringLiteral("Lavandería"));
    }

    void quantities_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("serviceChosen");
        QTest::addColumn<QString>("message"); // empty: recorded
        QTest::addColumn<int>("quantity");
        const QString invalid = QStringLiteral("Complete la cantidad con un valor válido");
        const QString notPositive = QStringLiteral("Ingrese una cantidad mayor a cero");
        QTest::newRow("3") << "3" << true << QString() << 3;
        QTest::newRow("leading blank") << " 5" << true << QString() << 5;
        QTest::newRow("plus sign") << "+12" << true << QString() << 12;
        QTest::newRow("largest") << "999" << true << QString() << 999;
        QTest::newRow("zero") << "0" << true << notPositive << 0;
        QTest::newRow("negative") << "-2" << true << notPositive << 0;
        QTest::newRow("empty") << "" << true << invalid << 0;
        QTest::newRow("blanks") << "   " << true << invalid << 0;
        QTest::newRow("letter") << "2a" << true << invalid << 0;
        QTest::newRow("trailing blank") << "1 " << true << invalid << 0;
        QTest::newRow("sign alone") << "-" << true << invalid << 0;
        // The quantity is checked before the service.
        QTest::newRow("zero, no service") << "0" << false << notPositive << 0;
        QTest::newRow("letter, no service") << "x" << false << invalid << 0;
        QTest::newRow("no service") << "3" << false << QStringLiteral("Seleccione un servicio de la lista") << 0;
    }

    void quantities()
    {
        QFETCH(QString, typed);
        QFETCH(bool, serviceChosen);
        QFETCH(QString, message);
        QFETCH(int, quantity);
        DialogAnswers answers(QStringLiteral("OK"));
        showModalAnd(&w(), [&] {
            if (serviceChosen)
                chooseService(QStringLiteral("Café"));
            addTyped(typed);
            if (message.isEmpty()) {
                QVERIFY(browsing());
            } else {
                QVERIFY(adding());
                QCOMPARE(w().edCant->text(), typed);
            }
        });
        QCOMPARE(answers.texts(), message.isEmpty() ? QStringList() : QStringList({message}));
        if (!message.isEmpty())
            QCOMPARE(answers.titles(), QStringList({"Error"}));
        QCOMPARE(DM->TConsumosDeServicios->state(), Cursor::State::Browse);
        QCOMPARE(consumptionsInFile(m_stay), message.isEmpty() ? 2 : 1);
        if (message.isEmpty())
            QCOMPARE(m_db->scalar(QStringLiteral("SELECT Cantidad FROM ConsumoDeServicios WHERE IdEstadia = ? "
                                                 "ORDER BY IdConsumo DESC"),
                                  {m_stay})
                         .toInt(),
                     quantity);
    }

    void theNewRow()
    {
        const QDateTime before = DateTimes::now();
        showModalAnd(&w(), [] {
            chooseService(QStringLiteral("Minibar"));
            addTyped(QStringLiteral("4"));
            // Last in the grid, after yesterday's, and current.
            QCOMPARE(w().DBGrid1->rowCount(), 2);
            QCOMPARE(w().DBGrid1->cellText(1, 1), QStringLiteral("Minibar"));
            QCOMPARE(w().DBGrid1->cellText(1, 2), QStringLiteral("4"));
            QCOMPARE(DM->TConsumosDeServicios->recNo(), 1);
        });
        const QDateTime after = DateTimes::now();
        const Cursor &c = *DM->TConsumosDeServicios;
        QCOMPARE(c.value(QStringLiteral("IdEstadia")).toLongLong(), m_stay);
        QCOMPARE(c.fieldByName(QStringLiteral("Precio")).asMoney(), money("7.25"));
        const QDateTime stamp = c.fieldByName(QStringLiteral("FechaHora")).asDateTime();
        QVERIFY2(stamp >= before && stamp <= after, qPrintable(stamp.toString(Qt::ISODate)));
        // As stored.
        const auto newRow = [this](const char *column) {
            return m_db->scalar(QStringLiteral("SELECT %1 FROM ConsumoDeServicios WHERE Cantidad = 4")
                                    .arg(QLatin1String(column)));
        };
        QCOMPARE(newRow("IdServicio").toLongLong(),
                 m_db->scalar(QStringLiteral("SELECT IdServicio FROM Servicios WHERE Nombre = 'Minibar'")).toLongLong());
        QCOMPARE(newRow("IdEstadia").toLongLong(), m_stay);
        QCOMPARE(newRow("Precio").toLongLong(), money("7.25").raw());
        QCOMPARE(newRow("FechaHora").toString(), DateTimes::toCanonical(stamp));
        // The stays cursor was not moved.
        QCOMPARE(DM->TEstadias->value(QStringLiteral("IdEstadia")).toLongLong(), m_stay);
    }

    void priceOfTheChosenServiceThenAndOnly()
    {
        showModalAnd(&w(), [] { chooseService(QStringLiteral("Café")); });
        // The choice outlives the window even when the services cursor moves
        // elsewhere meanwhile.
        Cursor &services = *DM->TServicios;
        services.last();
        QCOMPARE(services.value(QStringLiteral("Nombre")).toString(), QStringLiteral("Minibar"));
        showModalAnd(&w(), [] { addTyped(QStringLiteral("2")); });
        QCOMPARE(DM->TConsumosDeServicios->fieldByName(QStringLiteral("Servicio")).asString(), QStringLiteral("Café"));
        QCOMPARE(DM->TConsumosDeServicios->fieldByName(QStringLiteral("Precio")).asMoney(), money("2.5"));

        // A later price change leaves the recorded consumption alone.
        QVERIFY(services.locate(QStringLiteral("IdServicio"), m_cafe));
        services.edit();
        services.setValue(QStringLiteral("Precio"), QVariant::fromValue(money("3.1")));
        services.post();
        QCOMPARE(DM->TConsumosDeServicios->fieldByName(QStringLiteral("Precio")).asMoney(), money("2.5"));
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT Precio FROM ConsumoDeServicios WHERE IdServicio = ? AND "
                                             "IdEstadia = ?"),
                              {m_cafe, m_stay})
                     .toLongLong(),
                 money("2.5").raw());
        showModalAnd(&w(), [] { addTyped(QStringLiteral("1")); });
        QCOMPARE(DM->TConsumosDeServicios->fieldByName(QStringLiteral("Precio")).asMoney(), money("3.1"));
    }

    void cancelAndStateAfterClosing()
    {
        DialogAnswers answers;
        showModalAnd(&w(), [] {
            QTest::mouseClick(w().btAgregar, Qt::LeftButton);
            QVERIFY(adding());
            QTest::keyClicks(w().edCant, QStringLiteral("7"));
        });
        // Closed while adding: it opens again as it was left.
        showModalAnd(&w(), [] {
            QVERIFY(adding());
            QCOMPARE(w().edCant->text(), QStringLiteral("7"));
            QTest::mouseClick(w().btCancelar, Qt::LeftButton);
            QVERIFY(browsing());
            // The next add starts from an empty quantity.
            QTest::mouseClick(w().btAgregar, Qt::LeftButton);
            QCOMPARE(w().edCant->text(), QString());
            QTest::mouseClick(w().btCancelar, Qt::LeftButton);
        });
        QVERIFY(answers.boxes().isEmpty());
        QCOMPARE(consumptionsInFile(m_stay), 1);
        QCOMPARE(DM->TConsumosDeServicios->recordCount(), 1);
    }

    void refusedRowIsRecordedOnceOnRetry()
    {
        makeCurrent(m_emptyStay);
        const QVariant room = m_db->scalar(QStringLiteral("SELECT IdHabitacion FROM Estadias WHERE IdEstadia = ?"), {m_emptyStay});
        // Another program removes the stay, before this one hears of it: the
        // new row is refused.
        DM->Feed->stop();
        m_db->exec(QStringLiteral("DELETE FROM Estadias WHERE IdEstadia = ?"), {m_emptyStay});
        DialogAnswers answers(QStringLiteral("OK"));
        showModalAnd(&w(), [this, room] {
            chooseService(QStringLiteral("Café"));
            addTyped(QStringLiteral("2"));
            QVERIFY(adding());
            QCOMPARE(DM->TConsumosDeServicios->state(), Cursor::State::Insert);
            // It comes back; accepting again records the consumption once.
            m_db->exec(QStringLiteral("INSERT INTO Estadias (IdEstadia, IdHabitacion, FechaIngreso, FechaEgreso, Estado) "
                                      "VALUES (?, ?, '2014-05-10 00:00:00', '2014-05-12 00:00:00', 'Ocupada')"),
                       {m_emptyStay, room});
            w().edCant->setText(QStringLiteral("3"));
            QTest::mouseClick(w().btAceptar, Qt::LeftButton);
            QVERIFY(browsing());
        });
        QCOMPARE(answers.texts(), QStringList({"Complete la cantidad con un valor válido"}));
        QCOMPARE(consumptionsInFile(m_emptyStay), 1);
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT Cantidad FROM ConsumoDeServicios WHERE IdEstadia = ?"),
                              {m_emptyStay})
                     .toInt(),
                 3);
        QCOMPARE(DM->TConsumosDeServicios->recordCount(), 1);
    }

    void cancelDropsARefusedRow()
    {
        makeCurrent(m_emptyStay);
        DM->Feed->stop();
        m_db->exec(QStringLiteral("DELETE FROM Estadias WHERE IdEstadia = ?"), {m_emptyStay});
        DialogAnswers answers(QStringLiteral("OK"));
        showModalAnd(&w(), [] {
            chooseService(QStringLiteral("Café"));
            addTyped(QStringLiteral("2"));
            QCOMPARE(DM->TConsumosDeServicios->recordCount(), 1);
            QTest::mouseClick(w().btCancelar, Qt::LeftButton);
            QVERIFY(browsing());
        });
        QCOMPARE(answers.texts(), QStringList({"Complete la cantidad con un valor válido"}));
        QCOMPARE(DM->TConsumosDeServicios->state(), Cursor::State::Browse);
        QCOMPARE(DM->TConsumosDeServicios->recordCount(), 0);
    }

    void deleteWithNothingToDelete()
    {
        makeCurrent(m_emptyStay);
        DialogAnswers answers(QStringLiteral("OK"));
        showModalAnd(&w(), [] { QTest::mouseClick(w().btEliminar, Qt::LeftButton); });
        QCOMPARE(answers.texts(), QStringList({"No hay nada para eliminar"}));
        QCOMPARE(answers.titles(), QStringList({"Error"}));
    }

    void deleteTheSelected_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::newRow("yes") << "&Yes";
        QTest::newRow("no") << "&No";
    }

    void deleteTheSelected()
    {
        QFETCH(QString, answer);
        const bool yes = answer == u"&Yes";
        // Two more consumptions; the middle row is selected.
        DialogAnswers answers({answer});
        qint64 selected = 0;
        showModalAnd(&w(), [&] {
            chooseService(QStringLiteral("Café"));
            addTyped(QStringLiteral("1"));
            chooseService(QStringLiteral("Minibar"));
            addTyped(QStringLiteral("2"));
            QCOMPARE(w().DBGrid1->rowCount(), 3);
            const QRect cell = w().DBGrid1->visualRect(w().DBGrid1->model()->index(1, 1));
            QTest::mouseClick(w().DBGrid1->viewport(), Qt::LeftButton, {}, cell.center());
            QCOMPARE(DM->TConsumosDeServicios->recNo(), 1);
            selected = DM->TConsumosDeServicios->value(QStringLiteral("IdConsumo")).toLongLong();
            QTest::mouseClick(w().btEliminar, Qt::LeftButton);
        });
        QCOMPARE(answers.texts(), QStringList({"¿Confirma la eliminacion del consumo?"}));
        QCOMPARE(answers.titles(), QStringList({"Confirm"}));
        QCOMPARE(consumptionsInFile(m_stay), yes ? 2 : 3);
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT count(*) FROM ConsumoDeServicios WHERE IdConsumo = ?"), {selected})
                     .toInt(),
                 yes ? 0 : 1);
        QCOMPARE(DM->TConsumosDeServicios->recordCount(), yes ? 2 : 3);
        QCOMPARE(consumptionsInFile(m_otherStay), 2);
    }
};

QTEST_MAIN(TestRegistrarConsumos)
#include "tst_registrarconsumos.moc"
