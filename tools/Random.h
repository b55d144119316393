#pragma once

#include <QtGlobal>

#include <cmath>
#include <random>

// Repeatable random draws for generated data. std::mt19937 yields the same
// numbers everywhere; the standard distributions do not (each library has its
// own), so the draws are reduced here by hand and a seed always gives one file.
class Random
{
public:
    explicit Random(quint32 seed) : m_engine(seed) {}

    // A whole number from lo to hi, both included (lo <= hi).
    int between(int lo, int hi)
    {
        const quint64 span = quint64(qint64(hi) - qint64(lo)) + 1;
        return int(qint64(lo) + qint64((quint64(m_engine()) * span) >> 32));
    }

    // True with the given probability, in per mille.
    bool chance(int perMille) { return between(0, 999) < perMille; }

    // A whole number whose average over many draws is `mean` (>= 0).
    int around(double mean)
    {
        const double whole = std::floor(mean);
        return int(whole) + (chance(int(std::lround((mean - whole) * 1000))) ? 1 : 0);
    }

    template<typename List>
    const auto &pick(const List &items)
    {
        return items[between(0, int(items.size()) - 1)];
    }

private:
    std::mt19937 m_engine;
};
