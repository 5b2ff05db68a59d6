// SPDX-License-Identifier: GPL-3.0-or-later
// spectrum and capture: the measuring subcommands that look at the raw
// stream, built on the shared sample loop and the analysis parts.

#include "cli.h"
#include "sample_run.h"

#include "capture.h"
#include "sample_ring.h"
#include "spectrum.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>

#include <cmath>

namespace cli {

namespace {

// How long to wait for each distance before the sensor counts as silent.
constexpr double kSilenceS = 5.0;
// What arrives in the first moments after the port opens waited on the line
// (the host read it in a burst): its host times say nothing about the rate.
constexpr qint64 kSettleUs = 250000;

double rounded(double value, int decimals)
{
    const double f = std::pow(10.0, decimals);
    return std::round(value * f) / f;
}

} // namespace

int runSpectrum(const Options &o, Output &out)
{
    const QString name = o.command;
    if (!o.args.isEmpty())
        return out.fail(name, ExitUsage, QStringLiteral("spectrum takes no operand"));
    if (o.port.isEmpty())
        return out.fail(name, ExitUsage, QStringLiteral("no port given (-p PORT or $ZN84_PORT)"));
    if (o.samples < 0)
        return out.fail(name, ExitUsage, QStringLiteral("--samples N is needed"));
    if (o.samples > analysis::SpectrumAnalyser::kMaxSize || !analysis::SpectrumAnalyser::validSize(int(o.samples)))
        return out.fail(name, ExitUsage,
                        QStringLiteral("--samples: %1 is not a power of two from 1024 to 65536").arg(o.samples));
    analysis::Window window = analysis::Window::Hann;
    if (!o.window.isEmpty() && !analysis::windowFromName(o.window, window))
        return out.fail(name, ExitUsage,
                        QStringLiteral("--window: \"%1\" is not none, hann, blackman-harris or flat-top").arg(o.window));
    const int n = int(o.samples);

    // Room for a batch beyond the n samples: the last one may overshoot.
    SampleRing ring(n + 65536);
    bool started = false;
    quint64 from = 0;
    const double silenceS = o.timeoutS > 0 ? o.timeoutS : kSilenceS;
    const SampleRunResult r = runSamples(o, out, silenceS, 0, ExitOk, [&](const MeasurementBatch &b) {
        if (!started) {
            if (b.lastUs < kSettleUs)
                return false;
            started = true;
            from = b.first;
        }
        ring.add(b);
        return ring.endNumber() >= from + quint64(n);
    });
    if (r.code == ExitPort)
        return r.code;
    QJsonObject result;
    result.insert(QStringLiteral("command"), name);
    if (r.code != ExitOk) {
        result.insert(QStringLiteral("samples"), double(started ? ring.endNumber() - from : 0));
        if (r.code == ExitInterrupted)
            Output::message(QStringLiteral("interrupted before %1 distances").arg(n));
        return out.fail(name, r.code, r.why, result);
    }

    QVector<double> metres(n);
    ring.copyMetres(from, n, metres.data());
    const double rate = ring.measuredRate(from, n);
    if (rate <= 0)
        return out.fail(name, ExitNoAnswer, QStringLiteral("no frame rate could be measured"), result);
    analysis::SpectrumAnalyser analyser;
    analyser.setSize(n);
    analyser.setWindow(window);
    const analysis::Spectrum s = analyser.transform(metres.constData(), rate);

    if (o.csv) {
        QTextStream &text = out.text();
        text << "hz,amplitude_m\n";
        for (int k = 0; k < s.amplitude.size(); ++k)
            text << QString::number(s.hz(k), 'f', 6) << ',' << QString::number(s.amplitude[k], 'g', 9) << '\n';
        out.flush();
        return ExitOk;
    }
    result.insert(QStringLiteral("ok"), true);
    result.insert(QStringLiteral("samples"), n);
    result.insert(QStringLiteral("window"), analysis::windowName(window));
    result.insert(QStringLiteral("rate"), rounded(rate, 3));
    result.insert(QStringLiteral("bin_hz"), s.binHz);
    QJsonArray peaks;
    for (const analysis::SpectrumPeak &p : s.peaks) {
        QJsonObject peak;
        peak.insert(QStringLiteral("hz"), p.hz);
        peak.insert(QStringLiteral("amplitude_m"), p.amplitude);
        peaks.append(peak);
    }
    result.insert(QStringLiteral("peaks"), peaks);
    if (out.json()) {
        out.object(result);
        return ExitOk;
    }
    QTextStream &text = out.text();
    text << "rate " << QString::number(rate, 'f', 3) << " frames/s\n"
         << "bin " << QString::number(s.binHz, 'f', 6) << " Hz\n";
    for (const analysis::SpectrumPeak &p : s.peaks)
        text << "peak " << QString::number(p.hz, 'f', 3) << " Hz " << QString::number(p.amplitude, 'f', 6) << " m\n";
    out.flush();
    return ExitOk;
}

int runCapture(const Options &o, Output &out)
{
    const QString name = o.command;
    if (!o.args.isEmpty())
        return out.fail(name, ExitUsage, QStringLiteral("capture takes no operand (the file goes with -o FILE)"));
    if (o.port.isEmpty())
        return out.fail(name, ExitUsage, QStringLiteral("no port given (-p PORT or $ZN84_PORT)"));
    if (o.trigger.isEmpty() || o.pre < 0 || o.post < 0 || o.outputFile.isEmpty())
        return out.fail(name, ExitUsage, QStringLiteral("--trigger, --pre, --post and -o FILE are needed"));
    analysis::CaptureSettings settings;
    settings.mode = analysis::CaptureMode::Single;
    const int colon = o.trigger.indexOf(QLatin1Char(':'));
    const QString edge = o.trigger.left(colon);
    bool levelOk = false;
    settings.levelM = colon < 0 ? 0.0 : o.trigger.mid(colon + 1).toDouble(&levelOk);
    if (edge == QLatin1String("rising"))
        settings.edge = analysis::TriggerEdge::Rising;
    else if (edge == QLatin1String("falling"))
        settings.edge = analysis::TriggerEdge::Falling;
    else if (edge == QLatin1String("either"))
        settings.edge = analysis::TriggerEdge::Either;
    else
        levelOk = false;
    if (!levelOk || !std::isfinite(settings.levelM))
        return out.fail(name, ExitUsage,
                        QStringLiteral("--trigger: \"%1\" is not rising:LEVEL, falling:LEVEL or either:LEVEL "
                                       "(LEVEL in metres)").arg(o.trigger));
    const qint64 maxSide = analysis::TriggeredCapture::kMaxSide;
    if (o.pre > maxSide || o.post > maxSide)
        return out.fail(name, ExitUsage, QStringLiteral("--pre and --post: at most %1 samples each").arg(maxSide));
    settings.pre = int(o.pre);
    settings.post = int(o.post);

    // The file first: a capture that could not be kept is not worth the wait.
    QFile file(o.outputFile);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return out.fail(name, ExitUsage,
                        QFileInfo::exists(o.outputFile)
                            ? QStringLiteral("%1 exists (a capture never overwrites a file)").arg(o.outputFile)
                            : QStringLiteral("%1: %2").arg(o.outputFile, file.errorString()));

    analysis::TriggeredCapture capture;
    capture.setSettings(settings);
    capture.arm();
    bool done = false;
    bool timedOut = false;
    const qint64 limitUs = o.timeoutS > 0 ? qint64(o.timeoutS * 1e6) : -1;
    QObject::connect(&capture, &analysis::TriggeredCapture::captured, [&done] { done = true; });
    const SampleRunResult r = runSamples(o, out, kSilenceS, 0, ExitOk, [&](const MeasurementBatch &b) {
        capture.add(b);
        // A trigger within the time completes its post part.
        if (!done && limitUs > 0 && capture.triggers() == 0 && b.lastUs >= limitUs)
            timedOut = true;
        return done || timedOut;
    });
    QJsonObject result;
    result.insert(QStringLiteral("command"), name);
    result.insert(QStringLiteral("file"), o.outputFile);
    if (r.code != ExitOk || !done) {
        file.remove();
        if (r.code == ExitPort)
            return r.code;
        if (r.code == ExitOk)
            return out.fail(name, ExitNoTrigger, QStringLiteral("no trigger within %1 s").arg(o.timeoutS), result);
        return out.fail(name, r.code, r.why, result);
    }
    const analysis::Capture &k = capture.last();
    if (!analysis::writeCaptureCsv(k, file) || !file.flush()) {
        const QString why = QStringLiteral("%1: %2").arg(o.outputFile, file.errorString());
        file.remove();
        return out.fail(name, ExitUsage, why, result);
    }
    file.close();
    result.insert(QStringLiteral("ok"), true);
    result.insert(QStringLiteral("rows"), k.size());
    result.insert(QStringLiteral("trigger_sample"), double(k.triggerNumber()));
    result.insert(QStringLiteral("trigger_time_s"), rounded(k.us.at(k.pre) / 1e6, 6));
    result.insert(QStringLiteral("trigger_distance_m"), k.cm.at(k.pre) / 100.0);
    if (out.json())
        out.object(result);
    else
        out.line(QStringLiteral("%1 rows written to %2 (trigger: sample %3, %4 m, %5 s after the port opened)")
                     .arg(k.size())
                     .arg(o.outputFile)
                     .arg(k.triggerNumber())
                     .arg(k.cm.at(k.pre) / 100.0)
                     .arg(k.us.at(k.pre) / 1e6, 0, 'f', 3));
    return ExitOk;
}

} // namespace cli
