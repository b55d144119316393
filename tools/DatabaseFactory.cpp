#include "DatabaseFactory.h"

#include "DataError.h"
#include "DatabaseTarget.h"
#include "DateTimes.h"
#include "Engine.h"
#include "Random.h"
#include "RoomPictures.h"
#include "SampleData.h"
#include "Schema.h"
#include "StayPlanner.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QUuid>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <optional>

namespace {

void exec(QSqlQuery &q, const QString &sql)
{
    if (!q.exec(sql))
        throw DataError(q.lastError().databaseText().trimmed() + QStringLiteral(" in: ") + sql.left(80));
}

using Filler = std::function<void(QSqlDatabase &, const Engine &)>;

// The tables, then the rows `fill` writes, then the rules and the change log's
// triggers, in one transaction: one write to the disk instead of one per
// statement, and nothing half made.
void makeSchema(QSqlDatabase &db, const Engine &engine, const Filler &fill)
{
    QSqlQuery q(db);
    if (!db.transaction())
        throw DataError(db.lastError().databaseText());
    try {
        for (const QString &statement : engine.createTables())
            exec(q, statement);
        if (fill) {
            fill(db, engine);
            for (const Schema::Table &t : Schema::tables())
                for (const QString &statement : engine.keysFollowRows(t))
                    exec(q, statement);
        }
        for (const QString &statement : engine.createRules())
            exec(q, statement);
    } catch (...) {
        q.finish();
        db.rollback();
        throw;
    }
    q.finish();
    if (!db.commit())
        throw DataError(db.lastError().databaseText());
}

// Makes the file at `path`, then lets `fill` write rows. Every way of making a
// database file goes through here.
void buildFile(const QString &path, const Filler &fill)
{
    const QFileInfo target(path);
    if (target.exists())
        throw DataError(QStringLiteral("'%1' already exists; it was left unchanged.").arg(QDir::toNativeSeparators(path)));
    if (!target.absoluteDir().exists())
        throw DataError(QStringLiteral("The folder '%1' does not exist.").arg(QDir::toNativeSeparators(target.absolutePath())));

    // Built under a temporary name and renamed at the end, so an interrupted run
    // never leaves a half-made database under the final name.
    const QString temp = target.absoluteDir().filePath(QStringLiteral(".%1.%2.tmp")
                                                           .arg(target.fileName(),
                                                                QUuid::createUuid().toString(QUuid::WithoutBraces)));
    const QString connection = QStringLiteral("create-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    const Engine &engine = Engine::sqlite();
    QString error;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(engine.driverName(), connection);
        db.setDatabaseName(temp);
        if (!db.open()) {
            error = db.lastError().databaseText();
        } else {
            QSqlQuery q(db);
            try {
                // Settings first: the journal mode cannot change inside a transaction.
                exec(q, QStringLiteral("PRAGMA journal_mode = WAL"));
                exec(q, QStringLiteral("PRAGMA foreign_keys = ON"));
                // Large files are written in one go; a bigger page cache keeps
                // index pages from being spilled midway.
                if (fill)
                    exec(q, QStringLiteral("PRAGMA cache_size = -131072"));
                makeSchema(db, engine, fill);
                // Leave a single self-contained file behind.
                exec(q, QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
            } catch (const DataError &e) {
                error = e.message();
            } catch (const std::exception &e) {
                error = QString::fromLocal8Bit(e.what());
            }
            q.finish();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    if (error.isEmpty() && !QFile::rename(temp, path))
        error = QStringLiteral("'%1' could not be written (it may have appeared meanwhile).").arg(path);
    if (!error.isEmpty()) {
        QFile::remove(temp);
        QFile::remove(temp + QStringLiteral("-wal"));
        QFile::remove(temp + QStringLiteral("-shm"));
        throw DataError(error);
    }
}

// A connection to a database on a server, closed and removed when it goes.
class ServerConnection
{
public:
    explicit ServerConnection(const DatabaseTarget &target)
        : m_name(QStringLiteral("create-") + QUuid::createUuid().toString(QUuid::WithoutBraces))
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(Engine::of(target).driverName(), m_name);
        if (!db.isValid())
            throw DataError(QStringLiteral("Qt's PostgreSQL driver (the Debian package libqt6sql6-psql) is missing."));
        db.setConnectOptions(target.connectionString({{QStringLiteral("connect_timeout"), QStringLiteral("10")},
                                                      {QStringLiteral("application_name"), QStringLiteral("hotel-createdb")}}));
        if (!db.open()) {
            const QString words = db.lastError().databaseText().simplified();
            throw DataError(QStringLiteral("Could not connect to %1: %2").arg(target.describe(), words));
        }
    }
    ~ServerConnection()
    {
        QSqlDatabase::database(m_name, false).close();
        QSqlDatabase::removeDatabase(m_name);
    }
    ServerConnection(const ServerConnection &) = delete;
    ServerConnection &operator=(const ServerConnection &) = delete;

    QSqlDatabase db() const { return QSqlDatabase::database(m_name, false); }

private:
    QString m_name;
};

// Makes the tables in an empty database on a server, then lets `fill` write rows.
void buildOnServer(const DatabaseTarget &target, const Filler &fill)
{
    const Engine &engine = Engine::of(target);
    ServerConnection connection(target);
    QSqlDatabase db = connection.db();
    const QStringList present = engine.tablesIn(db);
    if (!present.isEmpty())
        throw DataError(QStringLiteral("%1 already holds tables (%2); it was left unchanged.")
                            .arg(target.describe(), present.mid(0, 3).join(QStringLiteral(", "))
                                                        + (present.size() > 3 ? QStringLiteral(", …") : QString())));
    makeSchema(db, engine, fill);
    // The server plans with statistics of the rows and reads an index alone only
    // where its visibility map says so; without this, both come later from the
    // server's own vacuum, and the first hours of a large history run slower.
    QSqlQuery vacuum(db);
    if (!vacuum.exec(QStringLiteral("VACUUM (ANALYZE)")))
        throw DataError(QStringLiteral("The rows were written to %1, but the server could not gather their "
                                       "statistics (VACUUM): %2")
                            .arg(target.describe(), vacuum.lastError().databaseText().simplified()));
}

void build(const QString &where, const Filler &fill)
{
    const DatabaseTarget target = DatabaseTarget::parse(where);
    if (target.isServer())
        buildOnServer(target, fill);
    else
        buildFile(where, fill);
}

// Writes the rows of every table in batches of many rows per statement, with
// keys it gives itself (so that a batch needs no answer before the next one),
// parents before the rows that refer to them. Values are always bound, never
// pasted.
class Writer
{
public:
    static constexpr int BatchRows = 400;

    explicit Writer(const QSqlDatabase &db) : m_db(db)
    {
        for (const char *name : {"TiposDeHabitacion", "Habitaciones", "Servicios", "Huespedes", "Estadias",
                                 "ConsumoDeServicios"}) {
            Batch b;
            b.table = Schema::table(QString::fromLatin1(name));
            for (const Schema::Column &c : b.table->columns)
                b.columns << c.name;
            m_batches.push_back(std::move(b));
        }
    }

    qint64 roomType(const SampleData::RoomType &type, const QByteArray &photo)
    {
        ++m_counts.roomTypes;
        return add(TypesTable, {type.name, type.price.raw(), photo, type.description, type.amenities, type.capacity});
    }

    qint64 room(const SampleData::Room &room, qint64 typeId)
    {
        ++m_counts.rooms;
        return add(RoomsTable, {room.number, room.floor, room.view, typeId});
    }

    qint64 service(const SampleData::Service &service)
    {
        ++m_counts.services;
        return add(ServicesTable, {service.name, service.price.raw()});
    }

    qint64 guest(const SampleData::Guest &guest)
    {
        ++m_counts.guests;
        return add(GuestsTable, {guest.name, guest.dni, guest.address, guest.phone, guest.email});
    }

    qint64 stay(qint64 guestId, qint64 roomId, const QString &checkIn, const QString &checkOut, const QString &state,
                qint64 days, Money daily)
    {
        ++m_counts.stays;
        return add(StaysTable, {guestId, roomId, checkIn, checkOut, state, days, daily.raw(), (daily * days).raw()});
    }

    void consumption(qint64 stayId, qint64 serviceId, int quantity, Money price, const QString &when)
    {
        ++m_counts.consumptions;
        add(ConsumptionsTable, {stayId, serviceId, quantity, price.raw(), when});
    }

    // Writes what is still waiting.
    void finish() { flush(int(m_batches.size()) - 1); }

    const DatabaseFactory::Counts &counts() const { return m_counts; }

private:
    enum { TypesTable, RoomsTable, ServicesTable, GuestsTable, StaysTable, ConsumptionsTable };

    struct Batch
    {
        const Schema::Table *table = nullptr;
        QStringList columns;
        qint64 lastKey = 0;
        QVariantList values;
        int rows = 0;
        // By the number of rows they write: a parent's batch is written short
        // whenever a child's fills up.
        std::map<int, std::unique_ptr<QSqlQuery>> statements;
    };

    qint64 add(int table, std::initializer_list<QVariant> values)
    {
        Batch &b = m_batches[size_t(table)];
        const qint64 key = ++b.lastKey;
        b.values.append(key);
        for (const QVariant &v : values)
            b.values.append(v);
        if (++b.rows == BatchRows)
            flush(table);
        return key;
    }

    // Writes the waiting rows of `table` and of every table before it.
    void flush(int table)
    {
        for (int t = 0; t <= table; ++t) {
            Batch &b = m_batches[size_t(t)];
            if (b.rows == 0)
                continue;
            std::unique_ptr<QSqlQuery> &statement = b.statements[b.rows];
            if (!statement) {
                const QString row = u'(' + QStringList(b.columns.size(), QStringLiteral("?")).join(u',') + u')';
                const QString sql = QStringLiteral("INSERT INTO %1 (%2) VALUES %3")
                                        .arg(b.table->name, b.columns.join(QStringLiteral(", ")),
                                             QStringList(b.rows, row).join(u','));
                statement = std::make_unique<QSqlQuery>(m_db);
                if (!statement->prepare(sql))
                    throw DataError(statement->lastError().databaseText() + QStringLiteral(" in: ") + sql.left(80));
            }
            for (int i = 0; i < b.values.size(); ++i)
                statement->bindValue(i, b.values[i]);
            if (!statement->exec())
                throw DataError(statement->lastError().databaseText());
            b.values.clear();
            b.rows = 0;
        }
    }

    QSqlDatabase m_db;
    std::vector<Batch> m_batches;
    DatabaseFactory::Counts m_counts;
};

struct Hotel
{
    QList<SampleData::RoomType> types = SampleData::roomTypes();
    QList<SampleData::Service> services = SampleData::services();
    QList<SampleData::Room> rooms;
    QList<SampleData::Guest> guests;
};

// Writes the hotel's rows and the planned stays, anchored to `today`, with the
// consumptions of the begun stays drawn from `random`.
DatabaseFactory::Counts write(QSqlDatabase &db, const Hotel &hotel, const std::vector<StayPlanner::Stay> &stays,
                              QDate today, Random &random)
{
    Writer writer(db);

    std::map<RoomPictures::Furnishing, QByteArray> photos;
    QList<qint64> typeIds;
    for (const SampleData::RoomType &type : hotel.types) {
        QByteArray &photo = photos[type.furnishing];
        if (photo.isEmpty())
            photo = RoomPictures::bmp(type.furnishing);
        if (!photo.startsWith("BM"))
            throw DataError(QStringLiteral("The picture of the room type '%1' could not be made.").arg(type.name));
        typeIds.append(writer.roomType(type, photo));
    }
    QList<qint64> roomIds;
    for (const SampleData::Room &room : hotel.rooms)
        roomIds.append(writer.room(room, typeIds[room.type]));
    QList<qint64> serviceIds;
    for (const SampleData::Service &service : hotel.services)
        serviceIds.append(writer.service(service));
    QList<qint64> guestIds;
    guestIds.reserve(hotel.guests.size());
    for (const SampleData::Guest &guest : hotel.guests)
        guestIds.append(writer.guest(guest));

    const QString reservada = QStringLiteral("Reservada");
    const QString ocupada = QStringLiteral("Ocupada");
    const QString facturada = QStringLiteral("Facturada");

    // Day texts by offset from today, made once: most days recur in many rows.
    int firstDay = 0, lastDay = 0;
    for (const StayPlanner::Stay &stay : stays) {
        firstDay = std::min(firstDay, stay.checkIn);
        lastDay = std::max(lastDay, stay.checkOut);
    }
    QStringList dayTexts;
    dayTexts.reserve(lastDay - firstDay + 1);
    for (int day = firstDay; day <= lastDay; ++day)
        dayTexts.append(DateTimes::toCanonical(today.addDays(day)));
    const auto dayText = [&](int day) -> const QString & { return dayTexts[day - firstDay]; };

    struct Consumption
    {
        int day;
        int second;
        int service;
        int quantity;
    };
    std::vector<Consumption> consumptions;
    for (const StayPlanner::Stay &stay : stays) {
        const QString &state = stay.checkOut < 0 ? facturada : (stay.checkIn <= 0 ? ocupada : reservada);
        const Money daily = hotel.types[hotel.rooms[stay.room].type].price.rounded(2);
        const qint64 stayId = writer.stay(guestIds[stay.guest], roomIds[stay.room], dayText(stay.checkIn),
                                          dayText(stay.checkOut), state, stay.checkOut - stay.checkIn + 1, daily);

        consumptions.clear();
        for (int i = 0; i < stay.consumptions; ++i) {
            const int service = random.between(0, int(hotel.services.size()) - 1);
            const SampleData::Service &s = hotel.services[service];
            // Nothing is consumed after today.
            consumptions.push_back({random.between(stay.checkIn, std::min(stay.checkOut, 0)),
                                    random.between(s.firstHour * 3600, s.lastHour * 3600 + 3599), service,
                                    random.chance(750) ? 1 : random.between(2, 3)});
        }
        // Entered in time order, as the front desk would have.
        std::sort(consumptions.begin(), consumptions.end(), [](const Consumption &a, const Consumption &b) {
            return a.day != b.day ? a.day < b.day : a.second < b.second;
        });
        for (const Consumption &c : consumptions) {
            const QDateTime when = DateTimes::make(today.addDays(c.day), QTime(0, 0).addSecs(c.second));
            writer.consumption(stayId, serviceIds[c.service], c.quantity, hotel.services[c.service].price,
                               DateTimes::toCanonical(when));
        }
    }
    writer.finish();
    return writer.counts();
}

int scaled(int count, double scale)
{
    if (count == 0)
        return 0;
    const double value = std::round(count * scale);
    if (!(value < 2e9))
        throw DataError(QStringLiteral("The scale %1 makes more rows than a database can be made with.").arg(scale));
    return std::max(1, int(value));
}

} // namespace

namespace DatabaseFactory {

void createEmpty(const QString &path)
{
    build(path, {});
}

Counts createDemo(const QString &path, QDate today)
{
    if (!today.isValid())
        throw DataError(QStringLiteral("The demonstration data needs a valid day to be anchored to."));
    Counts counts;
    build(path, [&](QSqlDatabase &db, const Engine &) {
        // A fixed seed: the demonstration is the same hotel every time, only
        // shifted to the day it is made on.
        Random random(20240611);
        Hotel hotel;
        hotel.rooms = SampleData::demoRooms();
        hotel.guests = SampleData::demoGuests();
        const StayPlanner::Shape shape{-21, 21, 6.0, 0.1};
        std::vector<StayPlanner::Stay> stays =
            StayPlanner::plan(int(hotel.rooms.size()), int(hotel.guests.size()), shape, random);
        StayPlanner::addConsumptions(stays, 3.0, random);
        counts = write(db, hotel, stays, today, random);
    });
    return counts;
}

Counts createLarge(const QString &path, const LargeOptions &options)
{
    if (options.rooms < 1 || options.guests < 1 || options.stays < 0 || options.consumptions < 0)
        throw DataError(QStringLiteral("A large database needs at least one room and one guest, and no count below zero."));
    if (options.years < 1 || options.years > 100)
        throw DataError(QStringLiteral("The years of history must be from 1 to 100."));
    if (!(options.scale > 0) || !std::isfinite(options.scale))
        throw DataError(QStringLiteral("The scale must be a number above zero."));
    const int rooms = scaled(options.rooms, options.scale);
    const int guests = scaled(options.guests, options.scale);
    const int stays = scaled(options.stays, options.scale);
    const int consumptions = scaled(options.consumptions, options.scale);
    // Room numbers must stay within nine digits, identity numbers within eight.
    if (rooms > 1000000 || guests > 80000000)
        throw DataError(QStringLiteral("At most 1,000,000 rooms and 80,000,000 guests can be made."));
    const QDate today = options.today.isValid() ? options.today : DateTimes::today();

    Counts counts;
    build(path, [&](QSqlDatabase &db, const Engine &) {
        Random random(options.seed);
        Hotel hotel;
        hotel.rooms = SampleData::generatedRooms(rooms, random);
        hotel.guests.reserve(guests);
        const int dniStep = 80000000 / guests;
        for (int i = 0; i < guests; ++i) {
            const QString dni = QString::number(10000000 + qint64(i) * dniStep + random.between(0, dniStep - 1));
            hotel.guests.append(SampleData::generatedGuest(random, dni, random.chance(125) ? commonSurname() : QString()));
        }

        std::vector<StayPlanner::Stay> plan;
        if (stays > 0) {
            // Reservations reach three months ahead, thinning out; counted as
            // about a month and a half of full occupancy.
            const int pastDays = int(today.addYears(-options.years).daysTo(today));
            const int futureDays = 90;
            const double span = pastDays + futureDays * 0.45;
            const StayPlanner::Shape shape{-pastDays, futureDays, double(rooms) * span / stays, 0.02};
            plan = StayPlanner::plan(rooms, guests, shape, random);
            const auto begun = std::count_if(plan.begin(), plan.end(), [](const StayPlanner::Stay &s) {
                return s.checkIn <= 0;
            });
            if (begun > 0)
                StayPlanner::addConsumptions(plan, double(consumptions) / double(begun), random);
        }
        counts = write(db, hotel, plan, today, random);
    });
    return counts;
}

bool exists(const QString &where)
{
    const DatabaseTarget target = DatabaseTarget::parse(where);
    if (!target.isServer())
        return QFileInfo::exists(where);
    ServerConnection connection(target);
    QSqlDatabase db = connection.db();
    return !Engine::of(target).tablesIn(db).isEmpty();
}

QString commonSurname()
{
    return QStringLiteral("Echeverría");
}

} // namespace DatabaseFactory
