// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZN84_SPECTRUM_H
#define ZN84_SPECTRUM_H

// The amplitude spectrum of a stretch of distances: the mean removed, a
// window applied, transformed by FFTW, each bin's amplitude given in metres
// peak, i.e. corrected for the window's coherent gain so that a sine of a
// centimetre reads 0.01 m whatever the window. Successive spectra may be
// averaged (by power, which keeps a steady sine's amplitude and smooths the
// noise). Widget-free: the window's view and zn84ctl both use it.

#include <QString>
#include <QVector>

#include <deque>
#include <memory>

namespace analysis {

enum class Window { None, Hann, BlackmanHarris, FlatTop };

// The names zn84ctl takes and prints: none, hann, blackman-harris, flat-top.
QString windowName(Window window);
bool windowFromName(const QString &name, Window &window);
// The window's n samples (periodic, as a transform of n points wants them).
QVector<double> windowSamples(Window window, int n);
// The mean of the window's samples: how much of a sine's amplitude it keeps.
double coherentGain(Window window, int n);

struct SpectrumPeak
{
    double hz = 0;
    double amplitude = 0; // metres, peak
};

struct Spectrum
{
    int n = 0;              // points transformed
    double rate = 0;        // frames per second the frequencies are computed with
    double binHz = 0;       // rate / n
    int averaged = 0;       // spectra in the average
    QVector<double> amplitude; // bins 0 .. n/2, metres peak
    QVector<SpectrumPeak> peaks; // the largest local maxima, largest first
    double hz(int bin) const { return bin * binHz; }
};

// Decibels of an amplitude against one metre (a floor keeps zero finite).
double amplitudeDb(double metres);

// The `count` largest local maxima above the DC bin, largest first.
QVector<SpectrumPeak> largestPeaks(const QVector<double> &amplitude, double binHz, int count = 5);

class SpectrumAnalyser
{
public:
    static constexpr int kMinSize = 1024;
    static constexpr int kMaxSize = 65536;
    static bool validSize(int n);

    SpectrumAnalyser();
    ~SpectrumAnalyser();
    SpectrumAnalyser(const SpectrumAnalyser &) = delete;
    SpectrumAnalyser &operator=(const SpectrumAnalyser &) = delete;

    // A new size or window also starts the average anew.
    bool setSize(int n);
    int size() const { return points; }
    void setWindow(Window window);
    Window window() const { return win; }
    // How many successive spectra are averaged (1: none).
    void setAveraging(int count);
    int averaging() const { return averages; }
    void resetAverage();

    // Transforms size() distances in metres taken at `rate` frames a second
    // and adds the result to the average, which it returns.
    Spectrum transform(const double *metres, double rate);

private:
    struct Plan;
    void prepare();

    int points = 4096;
    Window win = Window::FlatTop;
    int averages = 1;
    std::unique_ptr<Plan> plan;
    QVector<double> weights;
    double gain = 1.0;
    std::deque<QVector<double>> powers;
    QVector<double> powerSum;
};

} // namespace analysis

#endif // ZN84_SPECTRUM_H
