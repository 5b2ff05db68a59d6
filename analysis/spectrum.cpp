// SPDX-License-Identifier: GPL-3.0-or-later
#include "spectrum.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>

namespace analysis {

namespace {

// Cosine-sum windows: w[i] = a0 - a1 cos(x) + a2 cos(2x) - a3 cos(3x) + a4 cos(4x).
struct CosineSum
{
    double a[5];
};

CosineSum coefficients(Window window)
{
    switch (window) {
    case Window::None:
        return {{1, 0, 0, 0, 0}};
    case Window::Hann:
        return {{0.5, 0.5, 0, 0, 0}};
    case Window::BlackmanHarris: // four terms, -92 dB side lobes
        return {{0.35875, 0.48829, 0.14128, 0.01168, 0}};
    case Window::FlatTop: // five terms: a sine between two bins loses about 0.01 dB
        return {{0.21557895, 0.41663158, 0.277263158, 0.083578947, 0.006947368}};
    }
    return {{1, 0, 0, 0, 0}};
}

} // namespace

QString windowName(Window window)
{
    switch (window) {
    case Window::None:
        return QStringLiteral("none");
    case Window::Hann:
        return QStringLiteral("hann");
    case Window::BlackmanHarris:
        return QStringLiteral("blackman-harris");
    case Window::FlatTop:
        return QStringLiteral("flat-top");
    }
    return QString();
}

bool windowFromName(const QString &name, Window &window)
{
    for (Window w : {Window::None, Window::Hann, Window::BlackmanHarris, Window::FlatTop}) {
        if (name == windowName(w)) {
            window = w;
            return true;
        }
    }
    return false;
}

QVector<double> windowSamples(Window window, int n)
{
    const CosineSum c = coefficients(window);
    QVector<double> w(std::max(0, n));
    for (int i = 0; i < n; ++i) {
        const double x = 2.0 * M_PI * i / n;
        w[i] = c.a[0] - c.a[1] * std::cos(x) + c.a[2] * std::cos(2 * x) - c.a[3] * std::cos(3 * x)
               + c.a[4] * std::cos(4 * x);
    }
    return w;
}

double coherentGain(Window window, int n)
{
    const QVector<double> w = windowSamples(window, n);
    if (w.isEmpty())
        return 0.0;
    double sum = 0;
    for (double v : w)
        sum += v;
    return sum / n;
}

double amplitudeDb(double metres)
{
    return 20.0 * std::log10(std::max(metres, 1e-12));
}

QVector<SpectrumPeak> largestPeaks(const QVector<double> &amplitude, double binHz, int count)
{
    QVector<int> maxima;
    const int n = amplitude.size();
    for (int k = 1; k < n; ++k) {
        const double a = amplitude[k];
        // A plateau counts once, at its first bin.
        if (a > amplitude[k - 1] && (k + 1 == n || a >= amplitude[k + 1]) && a > 0)
            maxima.append(k);
    }
    std::stable_sort(maxima.begin(), maxima.end(),
                     [&](int x, int y) { return amplitude[x] > amplitude[y]; });
    QVector<SpectrumPeak> peaks;
    for (int i = 0; i < std::min(count, int(maxima.size())); ++i)
        peaks.append({maxima[i] * binHz, amplitude[maxima[i]]});
    return peaks;
}

// FFTW's plan with its own aligned buffers, made once per size.
struct SpectrumAnalyser::Plan
{
    explicit Plan(int n)
        : in(fftw_alloc_real(size_t(n))), out(fftw_alloc_complex(size_t(n / 2 + 1))),
          plan(fftw_plan_dft_r2c_1d(n, in, out, FFTW_ESTIMATE))
    {
    }
    ~Plan()
    {
        fftw_destroy_plan(plan);
        fftw_free(out);
        fftw_free(in);
    }
    double *in;
    fftw_complex *out;
    fftw_plan plan;
};

bool SpectrumAnalyser::validSize(int n)
{
    return n >= kMinSize && n <= kMaxSize && (n & (n - 1)) == 0;
}

SpectrumAnalyser::SpectrumAnalyser()
{
    prepare();
}

SpectrumAnalyser::~SpectrumAnalyser() = default;

bool SpectrumAnalyser::setSize(int n)
{
    if (!validSize(n))
        return false;
    if (n != points) {
        points = n;
        prepare();
    }
    return true;
}

void SpectrumAnalyser::setWindow(Window window)
{
    if (window != win) {
        win = window;
        prepare();
    }
}

void SpectrumAnalyser::setAveraging(int count)
{
    averages = std::max(1, count);
    while (int(powers.size()) > averages) {
        const QVector<double> &old = powers.front();
        for (int k = 0; k < powerSum.size(); ++k)
            powerSum[k] -= old[k];
        powers.pop_front();
    }
}

void SpectrumAnalyser::resetAverage()
{
    powers.clear();
    powerSum.fill(0.0, points / 2 + 1);
}

void SpectrumAnalyser::prepare()
{
    if (!plan || plan->plan == nullptr || weights.size() != points)
        plan = std::make_unique<Plan>(points);
    weights = windowSamples(win, points);
    gain = coherentGain(win, points);
    resetAverage();
}

Spectrum SpectrumAnalyser::transform(const double *metres, double rate)
{
    const int n = points;
    double mean = 0;
    for (int i = 0; i < n; ++i)
        mean += metres[i];
    mean /= n;
    for (int i = 0; i < n; ++i)
        plan->in[i] = (metres[i] - mean) * weights[i];
    fftw_execute(plan->plan);

    // |X[k]| / (n * gain) is half a sine's amplitude for 0 < k < n/2; the DC
    // and Nyquist bins hold all of theirs.
    const int bins = n / 2 + 1;
    const double scale = 1.0 / (n * gain);
    QVector<double> power(bins);
    for (int k = 0; k < bins; ++k) {
        const double re = plan->out[k][0], im = plan->out[k][1];
        const double a = std::sqrt(re * re + im * im) * scale * (k == 0 || k == n / 2 ? 1.0 : 2.0);
        power[k] = a * a;
    }
    powers.push_back(power);
    for (int k = 0; k < bins; ++k)
        powerSum[k] += power[k];
    if (int(powers.size()) > averages) {
        const QVector<double> &old = powers.front();
        for (int k = 0; k < bins; ++k)
            powerSum[k] -= old[k];
        powers.pop_front();
    }

    Spectrum s;
    s.n = n;
    s.rate = rate;
    s.binHz = rate > 0 ? rate / n : 0.0;
    s.averaged = int(powers.size());
    s.amplitude.resize(bins);
    for (int k = 0; k < bins; ++k)
        s.amplitude[k] = std::sqrt(std::max(0.0, powerSum[k] / s.averaged));
    s.peaks = largestPeaks(s.amplitude, s.binHz);
    return s;
}

} // namespace analysis
