// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart_stats.h"

#include <algorithm>
#include <cmath>

void StatsIndex::clear()
{
    values.clear();
    sums1.assign(1, 0);
    sums2.assign(1, 0);
    blocks.clear();
    firstBlock = 0;
    firstSeq = 0;
}

void StatsIndex::append(uint16_t centimetres)
{
    const qint64 seq = firstSeq + qint64(values.size());
    values.push_back(centimetres);
    sums1.push_back(sums1.back() + centimetres);
    sums2.push_back(sums2.back() + quint64(centimetres) * centimetres);
    const qint64 block = seq / kBlock;
    if (blocks.empty())
        firstBlock = block;
    if (block >= firstBlock + qint64(blocks.size())) {
        blocks.push_back(Block{centimetres, centimetres});
        return;
    }
    Block &b = blocks.back();
    b.low = std::min(b.low, centimetres);
    b.high = std::max(b.high, centimetres);
}

void StatsIndex::dropFront(int count)
{
    count = std::min(count, size());
    if (count <= 0)
        return;
    values.erase(values.begin(), values.begin() + count);
    sums1.erase(sums1.begin(), sums1.begin() + count);
    sums2.erase(sums2.begin(), sums2.begin() + count);
    firstSeq += count;
    if (values.empty()) {
        blocks.clear();
        return;
    }
    while (!blocks.empty() && (firstBlock + 1) * kBlock <= firstSeq) {
        blocks.pop_front();
        ++firstBlock;
    }
}

ChartStats StatsIndex::stats(int from, int to) const
{
    ChartStats s;
    from = std::max(from, 0);
    to = std::min(to, size());
    if (from >= to)
        return s;
    const quint64 n = quint64(to - from);
    const quint64 s1 = sums1[size_t(to)] - sums1[size_t(from)];
    const quint64 s2 = sums2[size_t(to)] - sums2[size_t(from)];
    // About q, the mean rounded down to a whole centimetre: the sum of
    // squared deviations from q is s2 - 2 q s1 + n q^2 (exact, its true
    // value fits), and the one from the mean is that less r^2 / n, where
    // r = s1 - q n < n.
    const quint64 q = s1 / n;
    const quint64 r = s1 - q * n;
    const quint64 aboutQ = s2 - 2 * q * s1 + n * q * q;
    const double squares = std::max(0.0, double(aboutQ) - double(r) * double(r) / double(n));
    s.count = int(n);
    s.mean = (double(q) + double(r) / double(n)) / 100.0;
    s.stdDev = n > 1 ? std::sqrt(squares / double(n - 1)) / 100.0 : 0.0;

    // Extremes: partial blocks value by value, whole blocks by their extremes.
    uint16_t low = values[size_t(from)], high = low;
    const auto take = [&](uint16_t lo, uint16_t hi) {
        low = std::min(low, lo);
        high = std::max(high, hi);
    };
    qint64 seq = firstSeq + from;
    const qint64 end = firstSeq + to;
    while (seq < end && seq % kBlock != 0) {
        const uint16_t v = values[size_t(seq - firstSeq)];
        take(v, v);
        ++seq;
    }
    while (seq + kBlock <= end) {
        const Block &b = blocks[size_t(seq / kBlock - firstBlock)];
        take(b.low, b.high);
        seq += kBlock;
    }
    for (; seq < end; ++seq) {
        const uint16_t v = values[size_t(seq - firstSeq)];
        take(v, v);
    }
    s.min = low / 100.0;
    s.max = high / 100.0;
    return s;
}
