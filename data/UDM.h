#pragma once

#include "DataSource.h"
#include "Database.h"
#include "QueryCursor.h"
#include "TableCursor.h"

#include <QHash>
#include <QObject>
#include <QSet>

class ChangeFeed;

// The data module: the one connection and every cursor and data source that the
// windows share. Construction declares the cursors; DataModuleCreate() opens the
// database (by default the file "Hotel.db" in the given folder, or a database
// on a PostgreSQL server chosen at start-up) and its table cursors.
class TDM : public QObject
{
    Q_OBJECT

public:
    static constexpr const char *DatabaseFileName = "Hotel.db";
    // How many stays' consumptions TConsumosDeServicios keeps once read.
    static constexpr int ConsumptionStaysHeld = 32;

    // location: the folder where Hotel.db lives (empty means the executable's
    // folder), or a postgresql:// URL (see DatabaseTarget).
    explicit TDM(const QString &location = QString(), QObject *parent = nullptr);
    ~TDM() override;

    // Opens the connection, then THuespedes, TTiposDeHabitacion, THabitaciones,
    // TServicios, TEstadias and TConsumosDeServicios, in that order, then
    // TDatosDelHotel when the file has its table. On failure throws DataError
    // with the engine's message; cursors not yet open stay closed.
    void DataModuleCreate();

    // Whether the open file has the table of TDatosDelHotel; a file made before
    // that table existed does not, until `hotel-createdb --upgrade` adds it.
    bool hasDatosDelHotel() const;

    // The database to open instead of Hotel.db in the folder: the target chosen
    // at start-up (a file path or a postgresql:// URL). Empty restores the default.
    void setDatabaseTarget(const QString &target) { m_target = target; }
    // Where the data lives; throws DataError for a URL that cannot serve.
    DatabaseTarget target() const;
    // The database file DataModuleCreate() opens; empty for a server.
    QString databasePath() const;

    // True when no stay of the room overlaps the days from..to (both ends count)
    // in any state but "Finalizada", leaving out the stay `exceptStay` (0: none).
    // Asks the file, so stays another program wrote count too.
    bool roomIsFree(qint64 roomId, QDate from, QDate to, qint64 exceptStay = 0);

    // Calls f with each stay of TEstadias (whatever its filter) of the room
    // whose days meet first..last, in order of check-in, through the stays'
    // index by room and day. Moves nothing.
    void forEachStayOfRoom(qint64 roomId, QDate first, QDate last,
                           const std::function<void(const Cursor::RowRef &)> &f) const;

    Database Cnx;

    TableCursor *THabitaciones;
    TableCursor *TTiposDeHabitacion;
    TableCursor *TServicios;
    TableCursor *THuespedes;
    TableCursor *TEstadias;
    TableCursor *TConsumosDeServicios;
    // The hotel's own name, address, phone, e-mail, tax identification and logo
    // (BMP bytes), printed on every document: one row at most. Stays closed when
    // the file has no such table; documents then print the program's own name
    // and picture, as they do for an empty row.
    TableCursor *TDatosDelHotel;

    QueryCursor *QHabitacionesOcupadas;
    QueryCursor *QHabitaconesMasPedidas;
    QueryCursor *QEstadiasDeHuesped;
    QueryCursor *QHabitacionesPorTipo;
    // Every room with its type's name, by floor and then by number as a whole
    // number: the rows of the occupancy planner.
    QueryCursor *QPlanillaHabitaciones;
    // The day :Dia's arrivals ("Reservada" or "Ocupada" stays that begin that
    // day) and departures ("Ocupada" stays that end that day, with the total of
    // their services), each by room number.
    QueryCursor *QLlegadas;
    QueryCursor *QSalidas;
    // One row for the day :Dia: rooms taken that day (any stay but a
    // "Finalizada" one covers it, as the free-room search counts), rooms free,
    // and the counts of QLlegadas and QSalidas.
    QueryCursor *QOcupacionDelDia;

    DataSource *DHabitaciones;
    DataSource *DTiposDeHabitacion;
    DataSource *DServicios;
    DataSource *DHuespedes;
    DataSource *DEstadias;
    DataSource *DConsumoDeServicios;
    DataSource *DDatosDelHotel;
    DataSource *DHabitaconesMasPedidas;
    DataSource *DEstadiasDeHuesped;

    // Follows what every program on the database commits and shows it in the
    // table cursors (see ChangeFeed); runs while the database is open.
    ChangeFeed *Feed = nullptr;

private:
    // In m_pending: every row of the table must be read again.
    static constexpr qint64 EveryRow = -1;

    std::vector<TableCursor *> tableCursors() const;
    void applyChanges(const QString &table, const QList<qint64> &keys);
    void applyPending();
    void reloadAll();

    QString m_folder;
    QString m_target;
    // Changes kept for a cursor that was being edited, by table.
    QHash<QString, QSet<qint64>> m_pending;
};

// The single instance, created first at start-up and destroyed last.
extern TDM *DM;
