// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef CHART_STATS_H
#define CHART_STATS_H

#include <QtGlobal>
#include <cstdint>
#include <deque>

// Statistics of a stretch of the chart's points: count, extremes, mean and
// standard deviation, in metres.
struct ChartStats {
    int count = 0;
    double min = 0;
    double max = 0;
    double mean = 0;
    double stdDev = 0;   // sample standard deviation (n - 1); 0 for fewer than two points

    double peakToPeak() const { return max - min; }
};

// The distances of a sliding sequence (centimetres, oldest first), kept so
// that the statistics of any stretch of it cost far less than a pass over
// the stretch: prefix sums of the values and of their squares give count,
// mean and deviation at once, and the extremes of blocks of 64 values leave
// at most two partial blocks to scan.
//
// The sums are kept in whole centimetres, exactly (unsigned 64-bit: only
// differences of them are used, and those are exact modulo 2^64 as long as
// the true sum of a stretch fits, which for 16-bit values holds up to 2^32
// values). The deviation is taken about a whole-centimetre mean, exactly,
// so that a large offset (655 m) with a small spread, or a constant, loses
// nothing to cancellation.
class StatsIndex
{
public:
    static constexpr int kBlock = 64;

    int size() const { return int(values.size()); }
    void clear();
    void append(uint16_t centimetres);
    void dropFront(int count);

    // Statistics of the values from index `from` up to `to` (excluded), the
    // oldest kept value being index 0.
    ChartStats stats(int from, int to) const;

private:
    struct Block {
        uint16_t low;
        uint16_t high;
    };

    std::deque<uint16_t> values;
    // sums1[i], sums2[i]: sums of the values and squares before the i-th kept
    // value (one entry more than values).
    std::deque<quint64> sums1{0};
    std::deque<quint64> sums2{0};
    // Extremes of blocks of kBlock values by sequence number; blocks.front()
    // is block number firstBlock (it may hold values already dropped).
    std::deque<Block> blocks;
    qint64 firstBlock = 0;
    qint64 firstSeq = 0;   // sequence number of values.front()
};

#endif // CHART_STATS_H
