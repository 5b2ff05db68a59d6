// SPDX-License-Identifier: GPL-3.0-or-later
// measure: N consecutive distances judged against a tolerance by the same
// judge as the window's, with every sample counted (a chart that draws one
// point in a hundred would hide a short violation; this does not).

#include "cli.h"
#include "judge_options.h"
#include "sample_run.h"

#include "measurement_judge.h"

#include <QJsonObject>
#include <QJsonValue>

#include <cmath>

namespace cli {

namespace {

constexpr double kMeasureTimeoutS = 5.0;

// Metres as JSON numbers; a capability without spread is null.
QJsonValue jsonNumber(double v)
{
    return std::isfinite(v) ? QJsonValue(v) : QJsonValue(QJsonValue::Null);
}

QString plainNumber(double v)
{
    return std::isfinite(v) ? QString::number(v, 'g', 12) : QStringLiteral("n/a");
}

} // namespace

int runMeasure(const Options &o, Output &out)
{
    const QString name = o.command;
    if (!o.args.isEmpty())
        return out.fail(name, ExitUsage, QStringLiteral("measure takes no operand"));
    if (o.samples < 1)
        return out.fail(name, ExitUsage, QStringLiteral("--samples N is required"));

    MeasurementJudge judge;
    QString why;
    if (!setUpJudge(o, judge, why))
        return out.fail(name, ExitUsage, why);
    if (o.port.isEmpty())
        return out.fail(name, ExitUsage, QStringLiteral("no port given (-p PORT or $ZN84_PORT)"));
    const JudgeLimits &limits = judge.limits();

    const quint64 wanted = quint64(o.samples);
    const double timeoutS = o.timeoutS > 0 ? o.timeoutS : kMeasureTimeoutS;
    const SampleRunResult run = runSamples(o, out, timeoutS, 0, ExitNoAnswer, [&](const MeasurementBatch &b) {
        const quint64 taken = judge.counters().samples;
        if (taken + quint64(b.size()) <= wanted) {
            judge.take(b);
        } else {
            // Exactly N: the rest of the last batch is not judged.
            MeasurementBatch part = b;
            part.cm.resize(int(wanted - taken));
            part.lastUs = part.timeUs(part.size() - 1);
            judge.take(part);
        }
        return judge.counters().samples >= wanted;
    });
    const JudgeCounters &c = judge.counters();
    if (run.code != ExitOk) {
        if (run.why.isEmpty())
            return run.code;    // the port: already told
        QJsonObject extra;
        extra.insert(QStringLiteral("samples"), double(c.samples));
        return out.fail(name, run.code, run.why + QStringLiteral(" (%1 of %2 samples)").arg(c.samples).arg(wanted),
                        extra);
    }

    const RunningStats &s = judge.stats();
    QList<QPair<QString, QJsonValue>> fields = {
        {QStringLiteral("samples"), double(c.samples)},
        {QStringLiteral("min"), s.min()},
        {QStringLiteral("max"), s.max()},
        {QStringLiteral("p2p"), s.max() - s.min()},
        {QStringLiteral("mean"), s.mean()},
        {QStringLiteral("std"), s.stdDev()},
    };
    if (limits.on) {
        fields += {
            {QStringLiteral("ok"), double(c.samples - c.above - c.below)},
            {QStringLiteral("above"), double(c.above)},
            {QStringLiteral("below"), double(c.below)},
            {QStringLiteral("violations"), double(c.violations)},
            {QStringLiteral("cp"), jsonNumber(judge.cp())},
            {QStringLiteral("cpk"), jsonNumber(judge.cpk())},
        };
    }
    const int code = c.above + c.below > 0 ? ExitOutOfTolerance : ExitOk;
    if (out.json()) {
        QJsonObject result;
        result.insert(QStringLiteral("command"), name);
        for (const auto &f : fields)
            result.insert(f.first, f.second);
        out.object(result);
    } else {
        for (const auto &f : fields)
            out.text() << f.first << ' '
                       << (f.second.isNull() ? QStringLiteral("n/a") : plainNumber(f.second.toDouble())) << '\n';
        out.flush();
    }
    if (code == ExitOutOfTolerance)
        Output::message(QStringLiteral("%1 of %2 samples out of tolerance").arg(c.above + c.below).arg(c.samples));
    return code;
}

} // namespace cli
