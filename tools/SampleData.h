#pragma once

#include "Money.h"
#include "RoomPictures.h"

#include <QList>
#include <QString>

class Random;

// The hotel's sample catalogue in Spanish: the room types, services and guests of
// the demonstration database, and the pieces the large database's rows are made of.
namespace SampleData {

struct RoomType
{
    QString name;
    Money price;
    QString description;
    QString amenities;
    int capacity;
    RoomPictures::Furnishing furnishing;
};

struct Room
{
    QString number;
    int floor;
    QString view;
    int type; // index into roomTypes()
};

struct Service
{
    QString name;
    Money price;
    // The hours of the day in which it is usually consumed, from..to inclusive.
    int firstHour;
    int lastHour;
};

struct Guest
{
    QString name;
    QString dni;
    QString address;
    QString phone;
    QString email;
};

QList<RoomType> roomTypes();
QList<Service> services();
const QStringList &views();

// The twenty rooms of the demonstration hotel, on floors 1 to 3.
QList<Room> demoRooms();
// `count` rooms on floors 1 to 3, numbered floor by floor (101, 102, ...; with more
// than 99 rooms a floor, 1001, ...), with types and views drawn from `random`.
QList<Room> generatedRooms(int count, Random &random);

QList<Guest> demoGuests();

// A hotel's own data as it prints on documents: a made-up hotel that looks real.
struct Hotel
{
    QString name;
    QString address;
    QString phone;
    QString email;
    QString taxId;
    QByteArray logo; // BMP bytes
};
Hotel sampleHotel();
// A made-up guest. `dni` must be unique per guest and have 8 digits. When
// `surname` is given it is the guest's first surname.
Guest generatedGuest(Random &random, const QString &dni, const QString &surname = QString());

} // namespace SampleData
