// SPDX-License-Identifier: GPL-3.0-or-later
#include "sample_timeline.h"

#include "sample_ring.h"

#include <algorithm>
#include <cmath>

void SampleTimeline::add(double startX, quint64 first, int n, double rate)
{
    if (n <= 0 || !(rate > 0) || !std::isfinite(startX))
        return;
    if (!runs.empty()) {
        Run &last = runs.back();
        // The same rate, the next numbers, and the axis going on without a
        // skip: one run, however many batches (a whole session, mostly).
        const double lastEnd = last.startX + double(last.n) / last.rate;
        if (last.rate == rate && last.first + last.n == first && std::abs(startX - lastEnd) <= 1e-9 * (1 + lastEnd)) {
            last.n += quint64(n);
            return;
        }
    }
    runs.push_back({startX, first, quint64(n), rate});
}

void SampleTimeline::clear()
{
    runs.clear();
}

void SampleTimeline::forgetBefore(quint64 number)
{
    while (!runs.empty() && runs.front().first + runs.front().n <= number)
        runs.pop_front();
}

std::pair<quint64, quint64> SampleTimeline::samplesBetween(double x0, double x1) const
{
    quint64 from = 0, end = 0;
    bool found = false;
    if (!(x0 <= x1))
        return {0, 0};
    for (const Run &r : runs) {
        if (r.x(r.n - 1) < x0)
            continue;
        if (r.x(0) > x1)
            break;
        // The first k with x(k) >= x0 and the last with x(k) <= x1; the
        // small allowance keeps a sample drawn exactly on an edge inside.
        const double eps = 1e-9;
        const double kLow = std::ceil((x0 - r.startX) * r.rate - 1 - eps);
        const double kHigh = std::floor((x1 - r.startX) * r.rate - 1 + eps);
        const quint64 lo = kLow <= 0 ? 0 : quint64(kLow);
        const quint64 hi = kHigh < 0 ? 0 : std::min<quint64>(r.n - 1, quint64(kHigh));
        if (kHigh < 0 || lo > hi)
            continue;
        if (!found) {
            from = r.first + lo;
            found = true;
        }
        end = r.first + hi + 1;
    }
    return found ? std::make_pair(from, end) : std::make_pair(quint64(0), quint64(0));
}

void SampleTimeline::setShown(double x0, double x1)
{
    shownFrom = x0;
    shownTo = x1;
}

std::pair<quint64, quint64> SampleTimeline::shownSamplesIn(const SampleRing &ring) const
{
    const auto shown = shownSamples();
    const quint64 from = std::max(shown.first, ring.firstNumber());
    const quint64 end = std::min(shown.second, ring.endNumber());
    return end > from ? std::make_pair(from, end) : std::make_pair(end, end);
}
