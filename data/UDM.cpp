#include "UDM.h"

#include "ChangeFeed.h"
#include "DateTimes.h"

#include <QCoreApplication>
#include <QDir>
#include <QUuid>

TDM *DM = nullptr;

namespace {
using K = Field::Kind;
}

TDM::TDM(const QString &folder, QObject *parent)
    : QObject(parent), Cnx(QStringLiteral("Cnx-") + QUuid::createUuid().toString(QUuid::WithoutBraces)),
      m_folder(folder)
{
    setObjectName(QStringLiteral("DM"));

    THuespedes = new TableCursor(Cnx, QStringLiteral("THuespedes"), QStringLiteral("Huespedes"), this);
    THuespedes->addField(QStringLiteral("IdHuesped"), K::AutoKey);
    THuespedes->addField(QStringLiteral("Nombre"), K::Text, 50);
    THuespedes->addField(QStringLiteral("DNI"), K::Text, 50);
    THuespedes->addField(QStringLiteral("Domicilio"), K::Text, 50);
    THuespedes->addField(QStringLiteral("Telefono"), K::Text, 50);
    THuespedes->addField(QStringLiteral("EMail"), K::Text, 50);
    THuespedes->setSortOrder(QStringLiteral("nombre"));

    TTiposDeHabitacion = new TableCursor(Cnx, QStringLiteral("TTiposDeHabitacion"), QStringLiteral("TiposDeHabitacion"), this);
    TTiposDeHabitacion->addField(QStringLiteral("IdTipo"), K::AutoKey);
    TTiposDeHabitacion->addField(QStringLiteral("Nombre"), K::Text, 50).setDisplayWidth(20);
    TTiposDeHabitacion->addField(QStringLiteral("Precio"), K::Money).setDisplayWidth(8).setCurrency(true);
    TTiposDeHabitacion->addField(QStringLiteral("Foto"), K::Blob);
    TTiposDeHabitacion->addField(QStringLiteral("Descripcion"), K::Text, 255).setDisplayWidth(30);
    TTiposDeHabitacion->addField(QStringLiteral("Comodidades"), K::Memo).setDisplayWidth(30);
    TTiposDeHabitacion->addField(QStringLiteral("Capacidad"), K::SmallInt).setDisplayWidth(2);

    THabitaciones = new TableCursor(Cnx, QStringLiteral("THabitaciones"), QStringLiteral("Habitaciones"), this);
    THabitaciones->addField(QStringLiteral("idHabitacion"), K::AutoKey);
    THabitaciones->addField(QStringLiteral("NroHabitacion"), K::Text, 255).setDisplayWidth(4).setAlignment(Qt::AlignRight);
    THabitaciones->addField(QStringLiteral("Piso"), K::SmallInt).setDisplayWidth(3);
    THabitaciones->addField(QStringLiteral("Vista"), K::Text, 10);
    THabitaciones->addField(QStringLiteral("IdTipo"), K::Integer);
    THabitaciones->addLookupField(QStringLiteral("Tipo"), K::Text, 20, QStringLiteral("IdTipo"), *TTiposDeHabitacion,
                                  QStringLiteral("IdTipo"), QStringLiteral("Nombre"))
        .setDisplayWidth(10);
    THabitaciones->setSortOrder(QStringLiteral("nrohabitacion"));
    THabitaciones->addIndex(QStringLiteral("NroHabitacion"));

    TServicios = new TableCursor(Cnx, QStringLiteral("TServicios"), QStringLiteral("Servicios"), this);
    TServicios->addField(QStringLiteral("IdServicio"), K::AutoKey);
    TServicios->addField(QStringLiteral("Nombre"), K::Text, 50).setDisplayWidth(20);
    TServicios->addField(QStringLiteral("Precio"), K::Money).setDisplayWidth(8).setCurrency(true);
    TServicios->setSortOrder(QStringLiteral("Nombre"));

    TEstadias = new TableCursor(Cnx, QStringLiteral("TEstadias"), QStringLiteral("Estadias"), this);
    TEstadias->addField(QStringLiteral("IdEstadia"), K::AutoKey);
    TEstadias->addField(QStringLiteral("IdHuesped"), K::Integer);
    TEstadias->addLookupField(QStringLiteral("Huesped"), K::Text, 35, QStringLiteral("IdHuesped"), *THuespedes,
                              QStringLiteral("IdHuesped"), QStringLiteral("Nombre"));
    TEstadias->addField(QStringLiteral("IdHabitacion"), K::Integer);
    TEstadias->addLookupField(QStringLiteral("Habitacion"), K::Integer, 0, QStringLiteral("IdHabitacion"),
                              *THabitaciones, QStringLiteral("idHabitacion"), QStringLiteral("NroHabitacion"));
    TEstadias->addField(QStringLiteral("FechaIngreso"), K::DateTime);
    TEstadias->addField(QStringLiteral("FechaEgreso"), K::DateTime);
    TEstadias->addField(QStringLiteral("Estado"), K::Text, 10);
    TEstadias->addField(QStringLiteral("Dias"), K::Integer);
    TEstadias->addField(QStringLiteral("PrecioDiario"), K::Money).setDisplayWidth(8).setCurrency(true);
    TEstadias->addField(QStringLiteral("PrecioFinal"), K::Money).setCurrency(true);
    TEstadias->addIndex(QStringLiteral("IdHabitacion"));
    TEstadias->addRangeIndex(QStringLiteral("IdHabitacion"), QStringLiteral("FechaIngreso"),
                             QStringLiteral("FechaEgreso"));

    TConsumosDeServicios = new TableCursor(Cnx, QStringLiteral("TConsumosDeServicios"),
                                           QStringLiteral("ConsumoDeServicios"), this);
    TConsumosDeServicios->addField(QStringLiteral("IdConsumo"), K::AutoKey);
    TConsumosDeServicios->addField(QStringLiteral("IdEstadia"), K::Integer);
    TConsumosDeServicios->addField(QStringLiteral("IdServicio"), K::Integer);
    TConsumosDeServicios->addLookupField(QStringLiteral("Servicio"), K::Text, 50, QStringLiteral("IdServicio"),
                                         *TServicios, QStringLiteral("IdServicio"), QStringLiteral("Nombre"))
        .setDisplayWidth(25);
    TConsumosDeServicios->addField(QStringLiteral("Cantidad"), K::Integer);
    TConsumosDeServicios->addField(QStringLiteral("Precio"), K::Money).setDisplayWidth(8).setCurrency(true);
    TConsumosDeServicios->addField(QStringLiteral("FechaHora"), K::DateTime)
        .setDisplayFormat(QStringLiteral("dd/MM/YYYY hh:mm"));
    TConsumosDeServicios->setSortOrder(QStringLiteral("IdEstadia;FechaHora"));
    TConsumosDeServicios->setMaster(*TEstadias, QStringLiteral("IdEstadia"), QStringLiteral("IdEstadia"));
    TConsumosDeServicios->setLookupsFrozenWhileEditing(true);
    // Only the current stay's consumptions are ever shown: they are read when a
    // stay becomes current, not the hotel's whole history at start-up.
    TConsumosDeServicios->setDetailFetchedOnDemand(ConsumptionStaysHeld);

    TDatosDelHotel = new TableCursor(Cnx, QStringLiteral("TDatosDelHotel"), QStringLiteral("DatosDelHotel"), this);
    TDatosDelHotel->addField(QStringLiteral("IdDatos"), K::AutoKey);
    TDatosDelHotel->addField(QStringLiteral("Nombre"), K::Text, 60);
    TDatosDelHotel->addField(QStringLiteral("Domicilio"), K::Text, 60);
    TDatosDelHotel->addField(QStringLiteral("Telefono"), K::Text, 60);
    TDatosDelHotel->addField(QStringLiteral("EMail"), K::Text, 60);
    TDatosDelHotel->addField(QStringLiteral("IdentificacionFiscal"), K::Text, 60);
    TDatosDelHotel->addField(QStringLiteral("Logo"), K::Blob);

    // The overlap test reads "ends before the first day or begins after the last";
    // day texts are compared in the canonical form.
    QHabitacionesOcupadas = new QueryCursor(Cnx, QStringLiteral("QHabitacionesOcupadas"), this);
    QHabitacionesOcupadas->setSql({
        QStringLiteral("SELECT H.NroHabitacion, O.*"),
        QStringLiteral("FROM Estadias O"),
        QStringLiteral("INNER JOIN Habitaciones H ON(O.IdHabitacion=H.idHabitacion)"),
        QStringLiteral("WHERE   NOT (O.fechaEgreso < :FechaIni  OR O.fechaIngreso> :FechaFin) AND  (H.IdTipo= "
                       ":IdTipoHab) AND (O.Estado <> 'Finalizada')"),
        QStringLiteral("ORDER BY H.NroHabitacion"),
    });

    QHabitaconesMasPedidas = new QueryCursor(Cnx, QStringLiteral("QHabitaconesMasPedidas"), this);
    QHabitaconesMasPedidas->setSql({
        QStringLiteral("SELECT H.NroHabitacion, SUM(E.Dias) AS Dias "),
        QStringLiteral("FROM Habitaciones  H"),
        QStringLiteral("INNER JOIN Estadias E ON H.IdHabitacion=E.IdHabitacion"),
        QStringLiteral("WHERE H.Vista = :Vista"),
        QStringLiteral("GROUP BY H.Vista, H.NroHabitacion"),
        QStringLiteral("ORDER BY 2 DESC,1"),
    });

    QEstadiasDeHuesped = new QueryCursor(Cnx, QStringLiteral("QEstadiasDeHuesped"), this);
    QEstadiasDeHuesped->setSql({
        QStringLiteral("SELECT E.FechaIngreso, E.FechaEgreso, H.NroHabitacion, H.Vista"),
        QStringLiteral("FROM Estadias E"),
        QStringLiteral("INNER JOIN Habitaciones H ON E.IdHabitacion=H.IdHabitacion"),
        QStringLiteral("WHERE E.IdHuesped = :IdHuesped AND E.Estado='Facturada'"),
        QStringLiteral("ORDER BY E.FechaIngreso"),
    });

    QHabitacionesPorTipo = new QueryCursor(Cnx, QStringLiteral("QHabitacionesPorTipo"), this);
    QHabitacionesPorTipo->setSql({
        QStringLiteral("SELECT *"),
        QStringLiteral("FROM TiposDeHabitacion TDH"),
        QStringLiteral("INNER JOIN Habitaciones H ON H.IdTipo=TDH.IdTipo"),
        QStringLiteral("ORDER BY TDH.IdTipo, H.Piso, H.NroHabitacion"),
    });

    QPlanillaHabitaciones = new QueryCursor(Cnx, QStringLiteral("QPlanillaHabitaciones"), this);
    QPlanillaHabitaciones->setSql({
        QStringLiteral("SELECT H.idHabitacion, H.NroHabitacion, H.Piso, H.Vista, T.Nombre AS Tipo"),
        QStringLiteral("FROM Habitaciones H"),
        QStringLiteral("LEFT JOIN TiposDeHabitacion T ON T.IdTipo = H.IdTipo"),
        QStringLiteral("ORDER BY H.Piso, CAST(H.NroHabitacion AS INTEGER), H.NroHabitacion"),
    });

    // The states are those of the stays that hold or will hold the room; the
    // state index finds them without reading the invoiced history.
    QLlegadas = new QueryCursor(Cnx, QStringLiteral("QLlegadas"), this);
    QLlegadas->setSql({
        QStringLiteral("SELECT H.NroHabitacion, G.Nombre AS Huesped, G.DNI, E.Dias, T.Nombre AS Tipo"),
        QStringLiteral("FROM Estadias E"),
        QStringLiteral("INNER JOIN Habitaciones H ON H.idHabitacion = E.IdHabitacion"),
        QStringLiteral("LEFT JOIN Huespedes G ON G.IdHuesped = E.IdHuesped"),
        QStringLiteral("LEFT JOIN TiposDeHabitacion T ON T.IdTipo = H.IdTipo"),
        QStringLiteral("WHERE E.FechaIngreso = :Dia AND E.Estado IN ('Reservada', 'Ocupada')"),
        QStringLiteral("ORDER BY CAST(H.NroHabitacion AS INTEGER), H.NroHabitacion"),
    });

    QSalidas = new QueryCursor(Cnx, QStringLiteral("QSalidas"), this);
    QSalidas->setSql({
        QStringLiteral("SELECT H.NroHabitacion, G.Nombre AS Huesped, E.Dias,"),
        QStringLiteral("  COALESCE((SELECT SUM(C.Cantidad * C.Precio) FROM ConsumoDeServicios C"),
        QStringLiteral("          WHERE C.IdEstadia = E.IdEstadia), 0) AS Servicios,"),
        QStringLiteral("  E.PrecioFinal"),
        QStringLiteral("FROM Estadias E"),
        QStringLiteral("INNER JOIN Habitaciones H ON H.idHabitacion = E.IdHabitacion"),
        QStringLiteral("LEFT JOIN Huespedes G ON G.IdHuesped = E.IdHuesped"),
        QStringLiteral("WHERE E.FechaEgreso = :Dia AND E.Estado = 'Ocupada'"),
        QStringLiteral("ORDER BY CAST(H.NroHabitacion AS INTEGER), H.NroHabitacion"),
    });
    QSalidas->setColumnKind(QStringLiteral("Servicios"), K::Money);

    // A room is taken when any stay but a "Finalizada" one covers the day; the
    // stays' room index answers each room.
    QOcupacionDelDia = new QueryCursor(Cnx, QStringLiteral("QOcupacionDelDia"), this);
    QOcupacionDelDia->setSql({
        QStringLiteral("SELECT Ocupadas, Total - Ocupadas AS Libres, Llegadas, Salidas FROM ("),
        QStringLiteral("  SELECT (SELECT count(*) FROM Habitaciones H WHERE EXISTS (SELECT 1 FROM Estadias E"),
        QStringLiteral("            WHERE E.IdHabitacion = H.idHabitacion AND E.FechaEgreso >= :Dia"),
        QStringLiteral("              AND E.FechaIngreso <= :Dia AND E.Estado <> 'Finalizada')) AS Ocupadas,"),
        QStringLiteral("         (SELECT count(*) FROM Habitaciones) AS Total,"),
        QStringLiteral("         (SELECT count(*) FROM Estadias E"),
        QStringLiteral("            INNER JOIN Habitaciones H ON H.idHabitacion = E.IdHabitacion"),
        QStringLiteral("            WHERE E.FechaIngreso = :Dia AND E.Estado IN ('Reservada', 'Ocupada')) AS Llegadas,"),
        QStringLiteral("         (SELECT count(*) FROM Estadias E"),
        QStringLiteral("            INNER JOIN Habitaciones H ON H.idHabitacion = E.IdHabitacion"),
        QStringLiteral("            WHERE E.FechaEgreso = :Dia AND E.Estado = 'Ocupada') AS Salidas) AS Cuentas"),
    });

    DHabitaciones = new DataSource(QStringLiteral("DHabitaciones"), THabitaciones, this);
    DTiposDeHabitacion = new DataSource(QStringLiteral("DTiposDeHabitacion"), TTiposDeHabitacion, this);
    DServicios = new DataSource(QStringLiteral("DServicios"), TServicios, this);
    DHuespedes = new DataSource(QStringLiteral("DHuespedes"), THuespedes, this);
    DEstadias = new DataSource(QStringLiteral("DEstadias"), TEstadias, this);
    DConsumoDeServicios = new DataSource(QStringLiteral("DConsumoDeServicios"), TConsumosDeServicios, this);
    DDatosDelHotel = new DataSource(QStringLiteral("DDatosDelHotel"), TDatosDelHotel, this);
    DHabitaconesMasPedidas = new DataSource(QStringLiteral("DHabitaconesMasPedidas"), QHabitaconesMasPedidas, this);
    DEstadiasDeHuesped = new DataSource(QStringLiteral("DEstadiasDeHuesped"), QEstadiasDeHuesped, this);
}

TDM::~TDM()
{
    // It reads through Cnx, which goes before the children do.
    delete Feed;
    Feed = nullptr;
    if (DM == this)
        DM = nullptr;
}

DatabaseTarget TDM::target() const
{
    // The folder given to the constructor may name a server too.
    const QString &chosen = m_target.isEmpty() ? m_folder : m_target;
    if (DatabaseTarget::isServerUrl(chosen))
        return DatabaseTarget::server(chosen);
    return DatabaseTarget::file(databasePath());
}

QString TDM::databasePath() const
{
    if (!m_target.isEmpty())
        return DatabaseTarget::isServerUrl(m_target) ? QString() : m_target;
    if (DatabaseTarget::isServerUrl(m_folder))
        return QString();
    const QString folder = m_folder.isEmpty() ? QCoreApplication::applicationDirPath() : m_folder;
    return QDir(folder).filePath(QString::fromLatin1(DatabaseFileName));
}

bool TDM::roomIsFree(qint64 roomId, QDate from, QDate to, qint64 exceptStay)
{
    QSqlQuery q = Cnx.prepare(QStringLiteral(
        "SELECT count(*) FROM Estadias WHERE IdHabitacion = ? AND Estado <> 'Finalizada' "
        "AND FechaEgreso >= ? AND FechaIngreso <= ? AND IdEstadia <> ?"));
    q.addBindValue(roomId);
    q.addBindValue(DateTimes::toCanonical(from));
    q.addBindValue(DateTimes::toCanonical(to));
    q.addBindValue(exceptStay);
    Cnx.exec(q);
    const bool free = q.next() && q.value(0).toLongLong() == 0;
    q.finish();
    return free;
}

void TDM::forEachStayOfRoom(qint64 roomId, QDate first, QDate last,
                            const std::function<void(const Cursor::RowRef &)> &f) const
{
    TEstadias->forEachInRange(QStringLiteral("FechaIngreso"), roomId, first, last, f);
}

void TDM::DataModuleCreate()
{
    if (Feed)
        Feed->stop();
    m_pending.clear();
    Cnx.close();
    Cnx.open(target());
    if (!Feed) {
        Feed = new ChangeFeed(Cnx, this);
        connect(Feed, &ChangeFeed::rowsChanged, this, &TDM::applyChanges);
        connect(Feed, &ChangeFeed::everythingChanged, this, &TDM::reloadAll);
        for (TableCursor *c : tableCursors())
            // Queued: after the post or cancel has finished with its rows.
            connect(c, &Cursor::stateChanged, this, &TDM::applyPending, Qt::QueuedConnection);
    }
    // Before the rows are read, so that no commit falls between.
    Feed->start();
    for (Cursor *c : {static_cast<Cursor *>(THuespedes), static_cast<Cursor *>(TTiposDeHabitacion),
                      static_cast<Cursor *>(THabitaciones), static_cast<Cursor *>(TServicios),
                      static_cast<Cursor *>(TEstadias), static_cast<Cursor *>(TConsumosDeServicios)})
        c->open();
    // Files made before the hotel's own data existed open all the same.
    if (hasDatosDelHotel())
        TDatosDelHotel->open();
}

std::vector<TableCursor *> TDM::tableCursors() const
{
    return {THuespedes, TTiposDeHabitacion, THabitaciones, TServicios, TEstadias, TConsumosDeServicios, TDatosDelHotel};
}

void TDM::applyChanges(const QString &table, const QList<qint64> &keys)
{
    for (TableCursor *c : tableCursors()) {
        if (c->tableName().compare(table, Qt::CaseInsensitive) != 0 || !c->isOpen())
            continue;
        // The record in the user's hands stays as it is; the change waits.
        if (!c->refreshRows(keys))
            m_pending[c->tableName()].unite(QSet<qint64>(keys.cbegin(), keys.cend()));
    }
}

void TDM::applyPending()
{
    for (TableCursor *c : tableCursors()) {
        if (!c->isOpen() || c->isEditing() || !m_pending.contains(c->tableName()))
            continue;
        const QSet<qint64> keys = m_pending.take(c->tableName());
        if (keys.contains(EveryRow))
            c->refresh();
        else
            c->refreshRows(QList<qint64>(keys.cbegin(), keys.cend()));
    }
}

void TDM::reloadAll()
{
    for (TableCursor *c : tableCursors()) {
        if (!c->isOpen())
            continue;
        if (c->isEditing())
            m_pending[c->tableName()].insert(EveryRow);
        else
            c->refresh();
    }
}

bool TDM::hasDatosDelHotel() const
{
    return Cnx.isOpen() && Cnx.hasTable(TDatosDelHotel->tableName());
}
