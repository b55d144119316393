#include "StayPlanner.h"

#include "Random.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace StayPlanner {

namespace {

// Lengths of stay in days and their shares in per mille: most guests stay a few
// nights, some a week or two.
struct LengthShare
{
    int days;
    int perMille;
};
constexpr LengthShare Lengths[] = {{1, 300}, {2, 250}, {3, 180}, {4, 120}, {5, 60},
                                   {6, 40},  {7, 30},  {10, 10}, {14, 10}};

int drawLength(Random &random)
{
    int draw = random.between(0, 999);
    for (const LengthShare &share : Lengths) {
        if (draw < share.perMille)
            return share.days;
        draw -= share.perMille;
    }
    return 1;
}

// Free days with the given average, spread evenly from none to twice as many.
int drawGap(Random &random, double mean)
{
    if (mean <= 0)
        return 0;
    return random.around(random.between(0, int(std::lround(2000 * mean))) / 1000.0);
}

} // namespace

double meanLength()
{
    double sum = 0;
    for (const LengthShare &share : Lengths)
        sum += share.days * share.perMille;
    return sum / 1000;
}

std::vector<Stay> plan(int rooms, int guests, const Shape &shape, Random &random)
{
    const double gap = std::max(0.0, shape.meanCycle - meanLength());
    std::vector<Stay> stays;
    stays.reserve(std::size_t(std::max(0.0, rooms * (shape.lastDay - shape.firstDay + 1) / std::max(1.0, shape.meanCycle))) + 16);
    for (int room = 0; room < rooms; ++room) {
        int day = shape.firstDay + random.between(0, int(shape.meanCycle));
        while (day <= shape.lastDay) {
            const int out = day + drawLength(random) - 1;
            stays.push_back({room, 0, day, out});
            day = out + 1 + drawGap(random, gap);
            if (day > 0)
                day += random.between(0, int(std::lround(2 * day * shape.thinning)));
        }
    }
    std::sort(stays.begin(), stays.end(), [](const Stay &a, const Stay &b) {
        return a.checkIn != b.checkIn ? a.checkIn < b.checkIn : a.room < b.room;
    });

    // Nobody sleeps in two rooms at once when another guest can be chosen.
    std::vector<int> busyUntil(std::size_t(std::max(guests, 1)), INT_MIN);
    for (Stay &stay : stays) {
        int guest = 0;
        for (int attempt = 0; attempt < 32; ++attempt) {
            guest = random.between(0, guests - 1);
            if (busyUntil[std::size_t(guest)] < stay.checkIn)
                break;
        }
        stay.guest = guest;
        busyUntil[std::size_t(guest)] = std::max(busyUntil[std::size_t(guest)], stay.checkOut);
    }
    return stays;
}

void addConsumptions(std::vector<Stay> &stays, double meanPerStay, Random &random)
{
    const int spread = std::clamp(int(std::floor(meanPerStay)) - 1, 0, 2);
    for (Stay &stay : stays) {
        stay.consumptions = stay.checkIn <= 0 ? std::max(0, random.around(meanPerStay) + random.between(-spread, spread)) : 0;
    }
}

} // namespace StayPlanner
