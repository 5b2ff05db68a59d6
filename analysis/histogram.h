// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZN84_HISTOGRAM_H
#define ZN84_HISTOGRAM_H

// How the distances spread: counts in bins of equal width, with the mean and
// the standard deviation (the sensor's repeatability is read as ±3σ).

#include <QVector>

namespace analysis {

struct Histogram
{
    double start = 0;     // lower edge of the first bin, metres
    double width = 0;     // bin width, metres
    QVector<int> counts;
    int n = 0;
    double mean = 0;
    double sigma = 0;     // standard deviation of the sample (n - 1)
    double lower(int bin) const { return start + bin * width; }
};

// The sensor's resolution: one centimetre.
constexpr double kResolutionM = 0.01;
// More bins than this is a typing error, not a histogram.
constexpr int kMaxBins = 10000;

// Counts `n` distances in metres. `width` 0 chooses it: Scott's rule, rounded
// up to whole centimetres (the distances come in centimetres: a finer bin
// only leaves gaps). Bin edges lie half a centimetre off the whole ones, so
// that each distance sits in the middle of a bin. False (and `out` left) for
// no samples, a negative width or one that would make more than kMaxBins.
bool makeHistogram(const double *metres, int n, double width, Histogram &out);

} // namespace analysis

#endif // ZN84_HISTOGRAM_H
