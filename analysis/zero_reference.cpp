// SPDX-License-Identifier: GPL-3.0-or-later
#include "zero_reference.h"

#include <algorithm>

void ZeroReference::setZero(double presentM)
{
    m = Zero;
    offset = -presentM;
    master = 0;
}

void ZeroReference::setMaster(double masterM, double presentM)
{
    m = Master;
    offset = masterM - presentM;
    master = masterM;
}

void ZeroReference::restore(Mode mode, double zeroPointM, double masterM)
{
    m = mode;
    offset = mode == Absolute ? 0.0 : -zeroPointM;
    master = mode == Master ? masterM : 0.0;
}

void ZeroReference::clear()
{
    restore(Absolute, 0, 0);
}

RecentSamples::RecentSamples(int capacity) : ring(std::max(1, capacity), 0.0)
{
}

void RecentSamples::add(double v)
{
    ring[at] = v;
    at = (at + 1) % ring.size();
    filled = std::min(filled + 1, int(ring.size()));
}

void RecentSamples::clear()
{
    at = 0;
    filled = 0;
}

bool RecentSamples::meanOfLast(int n, double &mean) const
{
    if (n < 1 || n > filled)
        return false;
    double sum = 0;
    for (int k = 1; k <= n; ++k)
        sum += ring[(at - k + ring.size()) % ring.size()];
    mean = sum / n;
    return true;
}
