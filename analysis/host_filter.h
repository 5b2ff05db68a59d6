// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZN84_HOST_FILTER_H
#define ZN84_HOST_FILTER_H

// Smoothing on the host, sample by sample: a jump rejection (a step larger
// than D that lasts fewer than T samples is dropped: the output holds the
// last accepted value through it), then a moving average or a moving median.
// One value out per value in, so every filtered value keeps the number of its
// raw sample. Values are in centimetres as the sensor sends them: the sums of
// the average stay exact integers over any run.

#include <QVector>

struct FilterSettings
{
    enum Kind { None, Average, Median };
    Kind kind = None;
    int length = 1;         // average: 1..256; median: 1..21, odd
    double jumpCm = 0;      // jump rejection: the step D in cm; 0 off
    int jumpSamples = 1;    // a step shorter than this many samples is dropped

    static constexpr int kMaxAverage = 256;
    static constexpr int kMaxMedian = 21;
    bool valid() const;
    bool isOn() const { return (kind != None && length > 1) || (jumpCm > 0 && jumpSamples > 1); }
};

class MovingAverage
{
public:
    void setLength(int n);
    void reset();
    double take(double x);

private:
    QVector<double> ring;
    int at = 0;
    int filled = 0;
    double sum = 0;
};

// The median of the last n values (of those so far while fewer); of an even
// count, the mean of the middle two. The window is kept sorted: one
// insertion and one removal per value.
class MovingMedian
{
public:
    void setLength(int n);
    void reset();
    double take(double x);

private:
    QVector<double> ring;
    QVector<double> sorted;
    int at = 0;
    int length = 1;
};

class JumpRejection
{
public:
    void set(double stepCm, int samples);
    void reset();
    double take(double x);

private:
    double step = 0;
    int samples = 1;
    double accepted = 0;
    bool primed = false;
    int pending = 0;    // samples in a row beyond the step so far
};

class HostFilter
{
public:
    void configure(const FilterSettings &settings);
    const FilterSettings &settings() const { return cfg; }
    void reset();
    double take(double cm);

private:
    FilterSettings cfg;
    JumpRejection jump;
    MovingAverage average;
    MovingMedian median;
};

#endif // ZN84_HOST_FILTER_H
