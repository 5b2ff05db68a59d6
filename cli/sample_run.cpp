// SPDX-License-Identifier: GPL-3.0-or-later
#include "sample_run.h"

#include "cross_thread.h"
#include "receiver.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <optional>

namespace cli {

namespace {

// About this many milliseconds' worth of frames per batch.
constexpr int kSampleBatchMs = 10;

class SampleRun : public QObject
{
public:
    SampleRun(Session &session, const std::function<bool(const MeasurementBatch &)> &sink)
        : session(session), sink(sink)
    {
    }

    void onDistance(QVector<uint16_t> dist, int freq)
    {
        if (done)
            return;
        session.worker()->setDistNum(qBound(0, freq * kSampleBatchMs / 1000, 1000));
        silence.start();
        stream.take(dist, freq);
    }

    void finish(int code, const QString &why)
    {
        if (done)
            return;
        done = true;
        result.code = code;
        result.why = why;
        result.seconds = clock.isValid() ? clock.nsecsElapsed() / 1e9 : 0.0;
        silence.stop();
        limit.stop();
        portWatch.stop();
        // Release the port at once: later batches are not taken.
        session.close();
        loop.exit(code);
    }

    Session &session;
    const std::function<bool(const MeasurementBatch &)> &sink;
    BatchStream stream;
    QEventLoop loop;
    QTimer silence;
    QTimer limit;
    QTimer portWatch;
    QElapsedTimer clock;
    SampleRunResult result;
    bool done = false;
};

} // namespace

SampleRunResult runSamples(const Options &o, Output &out, double silenceS, double limitS, int limitCode,
                           const std::function<bool(const MeasurementBatch &)> &sink,
                           const std::function<void(receiver *)> &opened, StopSignals *stops)
{
    Session session;
    SampleRun run(session, sink);
    std::optional<StopSignals> own;
    if (!stops)
        stops = &own.emplace();
    StopSignals &stop = *stops;
    QObject::connect(&stop, &StopSignals::stopRequested, &run, [&run] {
        run.finish(ExitInterrupted, QStringLiteral("interrupted"));
    });
    QObject::connect(&run.stream, &BatchStream::batch, &run, [&run](const MeasurementBatch &b) {
        if (run.done)
            return;
        run.result.samples = b.end();
        if (run.sink(b))
            run.finish(ExitOk, QString());
    });

    receiver *worker = session.worker();
    // One batch per read while the rate is unknown; then about kSampleBatchMs worth.
    worker->setDistNum(0);
    connectAcrossThreads(worker, &receiver::signalDistance, &run, &SampleRun::onDistance);

    if (silenceS > 0) {
        run.silence.setSingleShot(true);
        run.silence.setInterval(int(silenceS * 1000));
        QObject::connect(&run.silence, &QTimer::timeout, &run, [&run, silenceS] {
            run.finish(ExitNoAnswer, run.result.samples == 0
                           ? QStringLiteral("no distance within %1 s").arg(silenceS)
                           : QStringLiteral("the stream stopped: no distance for %1 s").arg(silenceS));
        });
    }
    if (limitS > 0) {
        run.limit.setTimerType(Qt::PreciseTimer);
        run.limit.setSingleShot(true);
        run.limit.setInterval(int(limitS * 1000));
        QObject::connect(&run.limit, &QTimer::timeout, &run, [&run, limitS, limitCode] {
            run.finish(limitCode, QStringLiteral("nothing within %1 s").arg(limitS));
        });
    }
    // The worker closes a port whose device has gone.
    run.portWatch.setInterval(250);
    QObject::connect(&run.portWatch, &QTimer::timeout, &run, [&run] {
        if (!run.session.worker()->isPortOpen())
            run.finish(ExitNoAnswer, QStringLiteral("the port closed (device lost)"));
    });

    if (const int code = openOrFail(session, o, out, o.command)) {
        run.result.code = code;
        return run.result;
    }
    if (opened)
        opened(worker);
    run.clock.start();
    run.stream.restart();
    if (silenceS > 0)
        run.silence.start();
    if (limitS > 0)
        run.limit.start();
    run.portWatch.start();
    if (stop.requested())
        run.finish(ExitInterrupted, QStringLiteral("interrupted"));
    if (!run.done)
        run.loop.exec();
    return run.result;
}

} // namespace cli
