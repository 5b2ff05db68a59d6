// SPDX-License-Identifier: GPL-3.0-or-later
#include "histogram.h"

#include <algorithm>
#include <cmath>

namespace analysis {

bool makeHistogram(const double *metres, int n, double width, Histogram &out)
{
    if (n <= 0 || !(width >= 0) || !std::isfinite(width))
        return false;
    double lo = metres[0], hi = metres[0], sum = 0;
    for (int i = 0; i < n; ++i) {
        lo = std::min(lo, metres[i]);
        hi = std::max(hi, metres[i]);
        sum += metres[i];
    }
    const double mean = sum / n;
    double squares = 0;
    for (int i = 0; i < n; ++i)
        squares += (metres[i] - mean) * (metres[i] - mean);
    const double sigma = n > 1 ? std::sqrt(squares / (n - 1)) : 0.0;

    if (width == 0) {
        const double scott = 3.49 * sigma / std::cbrt(double(n));
        width = std::max(1.0, std::ceil(scott / kResolutionM - 1e-9)) * kResolutionM;
    }
    const double half = kResolutionM / 2;
    const double start = std::floor((lo + half) / width) * width - half;
    const double bins = std::floor((hi - start) / width) + 1;
    if (bins > kMaxBins)
        return false;
    Histogram h;
    h.start = start;
    h.width = width;
    h.counts.fill(0, int(bins));
    for (int i = 0; i < n; ++i) {
        const int b = std::clamp(int(std::floor((metres[i] - start) / width)), 0, int(bins) - 1);
        ++h.counts[b];
    }
    h.n = n;
    h.mean = mean;
    h.sigma = sigma;
    out = h;
    return true;
}

} // namespace analysis
