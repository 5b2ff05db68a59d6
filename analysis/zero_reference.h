// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZN84_ZERO_REFERENCE_H
#define ZN84_ZERO_REFERENCE_H

// Zero and master: readings relative to a reference. Zeroing takes the mean
// of the last readings as the new zero, so that they read 0 from then on; a
// master value makes the present reading (the same mean) read that value,
// e.g. the known height of a gauge block. Back to absolute drops either.

#include <QVector>

class ZeroReference
{
public:
    enum Mode { Absolute, Zero, Master };

    Mode mode() const { return m; }
    // The distance (m) that reads 0: the zero, or for a master value the
    // distance at which it was taken less the value.
    double zeroPoint() const { return -offset; }
    double masterValue() const { return master; }

    void setZero(double presentM);
    void setMaster(double masterM, double presentM);
    // Restores a stored reference (the window remembers it).
    void restore(Mode mode, double zeroPointM, double masterM);
    void clear();

    double apply(double m) const { return m + offset; }

private:
    Mode m = Absolute;
    double offset = 0;
    double master = 0;
};

// The last readings (up to a capacity), for the mean a zero is taken from.
class RecentSamples
{
public:
    explicit RecentSamples(int capacity = 10000);
    void add(double v);
    void clear();
    int size() const { return filled; }
    int capacity() const { return ring.size(); }
    // The mean of the last n (n <= size()); false when there are fewer.
    bool meanOfLast(int n, double &mean) const;

private:
    QVector<double> ring;
    int at = 0;
    int filled = 0;
};

#endif // ZN84_ZERO_REFERENCE_H
