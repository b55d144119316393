#pragma once

#include <vector>

class Random;

// Plans the stays of generated databases, in days counted from "today" (0), so
// that a plan does not depend on the calendar and a seed gives the same history
// for any day it is anchored to.
namespace StayPlanner {

struct Stay
{
    int room;      // index of the room
    int guest;     // index of the guest
    int checkIn;   // day offset of the check-in day
    int checkOut;  // day offset of the check-out day, >= checkIn
    int consumptions = 0;
};

struct Shape
{
    int firstDay;     // the earliest check-in lies within a cycle after this day (< 0)
    int lastDay;      // no check-in after this day (>= 0)
    double meanCycle; // days from one check-in to the next in a room, on average
    // Reservations thin out ahead: each day between today and a check-in adds this
    // many free days, on average, before the next stay of the room.
    double thinning;
};

// Walks every room from firstDay to lastDay, one stay after another. A room's
// stays never overlap with both ends counted: the next check-in comes at the
// earliest the day after a check-out. Each stay gets a guest who is not staying
// anywhere else on those days whenever one is free. Sorted by check-in, then room.
std::vector<Stay> plan(int rooms, int guests, const Shape &shape, Random &random);

// The average number of days of a planned stay.
double meanLength();

// Gives every stay that has begun by today (checkIn <= 0) a number of
// consumptions averaging `meanPerStay`: within two of it and at least one
// when the mean is at least one. Later stays get none.
void addConsumptions(std::vector<Stay> &stays, double meanPerStay, Random &random);

} // namespace StayPlanner
