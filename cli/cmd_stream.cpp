// SPDX-License-Identifier: GPL-3.0-or-later
// stream and record: the worker's distance batches, printed (metres, one per
// line, or CSV, or JSON) or written in the viewer's record format, until a
// count, a duration, a silence, a lost port or a stop signal ends them.

#include "cli.h"
#include "stop_signals.h"

#include "batch_stream.h"
#include "cross_thread.h"
#include "receiver.h"
#include "recorder.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QJsonObject>
#include <QTimer>
#include <QVector>

#include <cmath>
#include <utility>

namespace cli {

namespace {

// How long to wait for the first distance, and for each next one, when
// --timeout is not given.
constexpr double kDefaultTimeoutS = 5.0;
// Batches of about this many milliseconds' worth of frames: short enough for
// a live readout, long enough that the fastest stream costs little.
constexpr int kBatchMs = 10;

class StreamRun : public QObject
{
public:
    // `recorder` (when recording) is started already: it takes the batches.
    StreamRun(Session &session, const Options &o, Output &out, Recorder *recorder)
        : session(session), o(o), out(out), recorder(recorder)
    {
        if (recorder)
            recorder->listenTo(&batches);
    }

    int run();
    void onDistance(QVector<uint16_t> dist, int freq);

private:
    void finish(int code, const QString &why = QString());
    void durationOver();
    bool recording() const { return recorder != nullptr; }
    QString name() const { return o.command; }

    Session &session;
    const Options &o;
    Output &out;
    Recorder *recorder;
    BatchStream batches;

    QEventLoop loop;
    QTimer silence;
    QTimer duration;
    QTimer portWatch;
    QElapsedTimer clock;
    qint64 written = 0;
    bool stopped = false;
    int exitCode = ExitOk;
};

int StreamRun::run()
{
    StopSignals stop;
    connect(&stop, &StopSignals::stopRequested, this, [this] {
        finish(ExitInterrupted, QStringLiteral("interrupted"));
    });

    receiver *worker = session.worker();
    // One batch per read while the rate is unknown; then about kBatchMs worth.
    worker->setDistNum(0);
    connectAcrossThreads(worker, &receiver::signalDistance, this, &StreamRun::onDistance);

    const double timeoutS = o.timeoutS > 0 ? o.timeoutS : kDefaultTimeoutS;
    silence.setSingleShot(true);
    silence.setInterval(int(timeoutS * 1000));
    connect(&silence, &QTimer::timeout, this, [this, timeoutS] {
        finish(ExitNoAnswer, written == 0
                   ? QStringLiteral("no distance within %1 s").arg(timeoutS)
                   : QStringLiteral("the stream stopped: no distance for %1 s").arg(timeoutS));
    });
    // A coarse timer may fire up to 5 % early: a recording of ten hours
    // would lose half an hour.
    duration.setTimerType(Qt::PreciseTimer);
    duration.setSingleShot(true);
    connect(&duration, &QTimer::timeout, this, &StreamRun::durationOver);
    // The worker closes a port whose device has gone.
    portWatch.setInterval(250);
    connect(&portWatch, &QTimer::timeout, this, [this] {
        if (!session.worker()->isPortOpen())
            finish(ExitNoAnswer, QStringLiteral("the port closed (device lost)"));
    });

    if (const int code = openOrFail(session, o, out, name()))
        return code;
    clock.start();
    silence.start();
    portWatch.start();
    if (o.durationS > 0)
        duration.start(int(o.durationS * 1000));
    if (!recording() && o.csv && !out.json())
        out.text() << "time_s,distance_m\n";

    if (!stopped)
        loop.exec();
    return exitCode;
}

void StreamRun::onDistance(QVector<uint16_t> dist, int freq)
{
    if (stopped)
        return;
    const double t = clock.nsecsElapsed() / 1e9;
    // A batch that comes after the duration, ahead of its timer, is not taken.
    if (o.durationS > 0 && t > o.durationS) {
        durationOver();
        return;
    }
    session.worker()->setDistNum(qBound(0, freq * kBatchMs / 1000, 1000));
    silence.start();
    if (o.count > 0 && dist.size() > o.count - written)
        dist.resize(int(o.count - written));
    written += dist.size();
    if (recording()) {
        // The recorder writes the batch with one write.
        batches.take(dist, freq);
    } else if (out.json()) {
        for (const uint16_t d : std::as_const(dist)) {
            QJsonObject reading;
            reading.insert(QStringLiteral("time_s"), std::round(t * 1000) / 1000);
            reading.insert(QStringLiteral("distance_m"), d / 100.0);
            out.object(reading);
        }
    } else {
        // The numbers as the record file has them.
        const QByteArray time = QByteArray::number(t, 'f', 3) + ',';
        QByteArray lines;
        for (const uint16_t d : std::as_const(dist)) {
            if (o.csv)
                lines.append(time);
            recordformat::appendMetres(lines, d);
            lines.append('\n');
        }
        out.text() << QLatin1String(lines);
        // Each batch reaches the output at once.
        out.flush();
    }
    if (o.count > 0 && written >= o.count)
        finish(ExitOk);
}

// The end of --duration is a success only with readings to show for it: a
// sensor that sent nothing (not streaming, Modbus on) must not be taken for a
// recording, and a --count that was asked for and not reached is no more
// complete than one cut short by the silence timeout.
void StreamRun::durationOver()
{
    if (written == 0)
        finish(ExitNoAnswer, QStringLiteral("no distance within %1 s").arg(o.durationS));
    else if (o.count > 0 && written < o.count)
        finish(ExitNoAnswer, QStringLiteral("%1 of %2 distances within %3 s").arg(written).arg(o.count).arg(o.durationS));
    else
        finish(ExitOk);
}

void StreamRun::finish(int code, const QString &why)
{
    if (stopped)
        return;
    stopped = true;
    exitCode = code;
    silence.stop();
    duration.stop();
    portWatch.stop();
    // Release the port at once: later batches are not taken.
    session.close();
    if (recorder)
        recorder->stop();
    out.flush();

    QJsonObject result;
    result.insert(QStringLiteral("command"), name());
    result.insert(QStringLiteral("distances"), double(written));
    result.insert(QStringLiteral("seconds"), clock.isValid() ? clock.elapsed() / 1000.0 : 0.0);
    if (recording())
        result.insert(QStringLiteral("file"), recorder->fileName());
    if (code == ExitOk || code == ExitInterrupted) {
        // An interruption is how a stream without a count or duration ends:
        // the readings so far are complete.
        result.insert(QStringLiteral("ok"), code == ExitOk);
        if (code == ExitInterrupted) {
            result.insert(QStringLiteral("exit"), code);
            result.insert(QStringLiteral("error"), why);
        }
        if (out.json())
            out.object(result);
        else if (recording())
            out.line(QStringLiteral("%1 distances recorded to %2%3")
                         .arg(written)
                         .arg(result.value(QStringLiteral("file")).toString(),
                              code == ExitInterrupted ? QStringLiteral(" (interrupted)") : QString()));
        else if (code == ExitInterrupted)
            Output::message(QStringLiteral("interrupted after %1 distances").arg(written));
    } else {
        out.fail(name(), code, why, result);
    }
    loop.exit(code);
}

} // namespace

int runStream(const Options &o, Output &out)
{
    const bool record = o.command == QLatin1String("record");
    if (record && o.args.size() != 1)
        return out.fail(o.command, ExitUsage, QStringLiteral("record takes one FILE (or DIRECTORY/)"));
    if (!record && !o.args.isEmpty())
        return out.fail(o.command, ExitUsage, QStringLiteral("stream takes no operand"));
    if (o.port.isEmpty())
        return out.fail(o.command, ExitUsage, QStringLiteral("no port given (-p PORT or $ZN84_PORT)"));

    // The record file: FILE itself, or in a directory (an existing one, or a
    // name ending in '/') a new <yyyyMMdd_HHmmss>.txt as the viewer names
    // its recordings. An existing file is never emptied.
    Recorder recorder;
    if (record) {
        const QString path = o.args.at(0);
        QString why;
        const bool intoDirectory = path.endsWith(QLatin1Char('/')) || QFileInfo(path).isDir();
        if (!(intoDirectory ? recorder.startIn(path, &why) : recorder.startAt(path, &why)))
            return out.fail(o.command, ExitUsage, why);
    }
    Session session;
    StreamRun run(session, o, out, record ? &recorder : nullptr);
    return run.run();
}

} // namespace cli
