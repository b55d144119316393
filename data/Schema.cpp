#include "Schema.h"

#include <QHash>

namespace Schema {

namespace {

Column column(const QString &name, Type type, int size = 0)
{
    Column c;
    c.name = name;
    c.type = type;
    c.size = size;
    return c;
}

Table newTable(const QString &name)
{
    Table t;
    t.name = name;
    return t;
}

Column key(const QString &name)
{
    return column(name, Type::Key);
}

Column text(const QString &name, int size)
{
    Column c = column(name, Type::Text, size);
    c.ruleName = QStringLiteral("%1 holds at most %2 characters").arg(name).arg(size);
    return c;
}

Column memo(const QString &name)
{
    return column(name, Type::Memo);
}

Column money(const QString &name)
{
    Column c = column(name, Type::Money);
    c.ruleName = name + QStringLiteral(" must be a money amount");
    return c;
}

Column smallInt(const QString &name)
{
    Column c = column(name, Type::SmallInt);
    c.ruleName = name + QStringLiteral(" must be a whole number from -32768 to 32767");
    return c;
}

Column integer(const QString &name)
{
    Column c = column(name, Type::Integer);
    c.ruleName = name + QStringLiteral(" must be a whole number");
    return c;
}

Column reference(const QString &name, const QString &table)
{
    Column c = column(name, Type::Reference);
    c.references = table;
    c.ruleName = name + QStringLiteral(" must be a whole number");
    return c;
}

Column day(const QString &name)
{
    Column c = column(name, Type::Day);
    c.ruleName = name + QStringLiteral(" must be a day date");
    return c;
}

Column dateTime(const QString &name)
{
    Column c = column(name, Type::DateTime);
    c.ruleName = name + QStringLiteral(" must be a date and time");
    return c;
}

Column notNull(Column c)
{
    c.notNull = true;
    return c;
}

std::vector<Table> makeTables()
{
    std::vector<Table> out;

    Table types = newTable(QStringLiteral("TiposDeHabitacion"));
    types.columns = {key(QStringLiteral("IdTipo")), text(QStringLiteral("Nombre"), 50), money(QStringLiteral("Precio")),
                     column(QStringLiteral("Foto"), Type::Blob), text(QStringLiteral("Descripcion"), 255),
                     memo(QStringLiteral("Comodidades")), smallInt(QStringLiteral("Capacidad"))};
    types.columns[3].ruleName = QStringLiteral("Foto must hold picture bytes");
    out.push_back(types);

    // Stays show the room number as a whole number and the booking dialog finds a
    // room by its number: numbers are required, unique, digits only, without
    // leading zeros, and small enough for a 32-bit integer.
    Table rooms = newTable(QStringLiteral("Habitaciones"));
    Column number = column(QStringLiteral("NroHabitacion"), Type::Text, 255);
    number.notNull = true;
    number.unique = true;
    number.rule = Rule::RoomNumber;
    number.ruleName = QStringLiteral("NroHabitacion must be a room number written in digits (at most 9, no leading zero)");
    rooms.columns = {key(QStringLiteral("idHabitacion")), number, smallInt(QStringLiteral("Piso")),
                     text(QStringLiteral("Vista"), 10), reference(QStringLiteral("IdTipo"), types.name)};
    // In the order of the rooms listing, so that the listing's rows come out of
    // the join already sorted and each type's photo is never copied into a sorter.
    rooms.indexes = {{QStringLiteral("ixHabitacionesIdTipo"),
                      {QStringLiteral("IdTipo"), QStringLiteral("Piso"), QStringLiteral("NroHabitacion")}}};
    out.push_back(rooms);

    Table services = newTable(QStringLiteral("Servicios"));
    services.columns = {key(QStringLiteral("IdServicio")), text(QStringLiteral("Nombre"), 50),
                        money(QStringLiteral("Precio"))};
    out.push_back(services);

    Table guests = newTable(QStringLiteral("Huespedes"));
    guests.columns = {key(QStringLiteral("IdHuesped")),        text(QStringLiteral("Nombre"), 50),
                      text(QStringLiteral("DNI"), 50),         text(QStringLiteral("Domicilio"), 50),
                      text(QStringLiteral("Telefono"), 50),    text(QStringLiteral("EMail"), 50)};
    out.push_back(guests);

    // The room and both days take part in the rule against double bookings, which
    // a row without them would slip past: they are required.
    Table stays = newTable(QStringLiteral("Estadias"));
    Column state = text(QStringLiteral("Estado"), 10);
    state.rule = Rule::OneOf;
    state.values = {QStringLiteral("Reservada"), QStringLiteral("Ocupada"), QStringLiteral("Facturada"),
                    QStringLiteral("Finalizada")};
    state.ruleName = QStringLiteral("Estado must be Reservada, Ocupada, Facturada or Finalizada");
    stays.columns = {key(QStringLiteral("IdEstadia")),
                     reference(QStringLiteral("IdHuesped"), guests.name),
                     notNull(reference(QStringLiteral("IdHabitacion"), rooms.name)),
                     notNull(day(QStringLiteral("FechaIngreso"))),
                     notNull(day(QStringLiteral("FechaEgreso"))),
                     state,
                     integer(QStringLiteral("Dias")),
                     money(QStringLiteral("PrecioDiario")),
                     money(QStringLiteral("PrecioFinal"))};
    stays.checks = {{QStringLiteral("The check-out day may not come before the check-in day"),
                     QStringLiteral("FechaEgreso IS NULL OR FechaIngreso IS NULL OR FechaEgreso >= FechaIngreso")}};
    // The second index serves the room lookups and the overlap search by room and
    // day range. It also carries the columns those searches and the days-booked
    // ranking read, so they are answered from the index alone, without a seek into
    // the table for each of the thousands of stays a room gathers over the years.
    stays.indexes = {{QStringLiteral("ixEstadiasIdHuesped"), {QStringLiteral("IdHuesped")}},
                     {QStringLiteral("ixEstadiasIdHabitacion"),
                      {QStringLiteral("IdHabitacion"), QStringLiteral("FechaEgreso"), QStringLiteral("FechaIngreso"),
                       QStringLiteral("Estado"), QStringLiteral("Dias")}},
                     {QStringLiteral("ixEstadiasEstado"), {QStringLiteral("Estado")}}};
    stays.noOverlaps = {{QStringLiteral("A room may not hold two stays on the same day"), QStringLiteral("IdHabitacion"),
                         QStringLiteral("FechaIngreso"), QStringLiteral("FechaEgreso"), QStringLiteral("Estado"),
                         QStringLiteral("Finalizada")}};
    out.push_back(stays);

    Table consumptions = newTable(QStringLiteral("ConsumoDeServicios"));
    Column quantity = column(QStringLiteral("Cantidad"), Type::Integer);
    quantity.rule = Rule::AtLeastOne;
    quantity.ruleName = QStringLiteral("Cantidad must be a whole number of at least 1");
    consumptions.columns = {key(QStringLiteral("IdConsumo")),
                            reference(QStringLiteral("IdEstadia"), stays.name),
                            reference(QStringLiteral("IdServicio"), services.name),
                            quantity,
                            money(QStringLiteral("Precio")),
                            dateTime(QStringLiteral("FechaHora"))};
    // The detail link: the consumptions of one stay, in time order.
    consumptions.indexes = {{QStringLiteral("ixConsumoIdEstadia"), {QStringLiteral("IdEstadia"), QStringLiteral("FechaHora")}},
                            {QStringLiteral("ixConsumoIdServicio"), {QStringLiteral("IdServicio")}}};
    out.push_back(consumptions);

    // The hotel's own name, address and logo, printed on every document. One row
    // at most: its key can only be 1. Without a row, or with an empty one,
    // documents print the program's own name and picture.
    Table hotel = newTable(QStringLiteral("DatosDelHotel"));
    Column single = key(QStringLiteral("IdDatos"));
    single.rule = Rule::Single;
    single.ruleName = QStringLiteral("DatosDelHotel holds one row only");
    hotel.columns = {single,
                     text(QStringLiteral("Nombre"), 60),
                     text(QStringLiteral("Domicilio"), 60),
                     text(QStringLiteral("Telefono"), 60),
                     text(QStringLiteral("EMail"), 60),
                     text(QStringLiteral("IdentificacionFiscal"), 60),
                     column(QStringLiteral("Logo"), Type::Blob)};
    hotel.columns.back().ruleName = QStringLiteral("Logo must hold picture bytes");
    hotel.original = false;
    out.push_back(hotel);

    Table log = newTable(ChangeLog::Table);
    Column kind = column(ChangeLog::Kind, Type::Text, 6);
    kind.notNull = true;
    kind.rule = Rule::OneOf;
    kind.values = {ChangeLog::Added, ChangeLog::Changed, ChangeLog::Removed};
    kind.ruleName = QStringLiteral("Tipo must be Alta, Cambio or Baja");
    log.columns = {column(ChangeLog::Sequence, Type::Serial), notNull(text(ChangeLog::TableName, 30)),
                   notNull(integer(ChangeLog::Key)), kind};
    log.logged = false;
    log.original = false;
    out.push_back(log);

    return out;
}

} // namespace

const std::vector<Table> &tables()
{
    static const std::vector<Table> all = makeTables();
    return all;
}

const Table *table(const QString &name)
{
    for (const Table &t : tables())
        if (t.name.compare(name, Qt::CaseInsensitive) == 0)
            return &t;
    return nullptr;
}

const Column &Table::key() const
{
    for (const Column &c : columns)
        if (c.type == Type::Key || c.type == Type::Serial)
            return c;
    return columns.front();
}

const Column *Table::column(const QString &columnName) const
{
    for (const Column &c : columns)
        if (c.name.compare(columnName, Qt::CaseInsensitive) == 0)
            return &c;
    return nullptr;
}

QString spelling(const QString &name)
{
    static const QHash<QString, QString> names = [] {
        QHash<QString, QString> out;
        for (const Table &t : tables()) {
            out.insert(t.name.toLower(), t.name);
            for (const Column &c : t.columns)
                if (!out.contains(c.name.toLower()))
                    out.insert(c.name.toLower(), c.name);
        }
        return out;
    }();
    return names.value(name.toLower(), name);
}

} // namespace Schema
