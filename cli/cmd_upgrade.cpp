// SPDX-License-Identifier: GPL-3.0-or-later
// upgrade: the image checked before the port is opened (the refusals of the
// transfer, plus an empty image, which the transfer would send as a bare
// header), then the worker's transfer with its progress on standard error.

#include "cli.h"
#include "stop_signals.h"

#include "cross_thread.h"
#include "receiver.h"
#include "upgrade_frame.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QJsonObject>

#include <cmath>
#include <cstdio>
#include <unistd.h>

namespace cli {

namespace {

constexpr unsigned kSerialFrameLength = 255;
constexpr unsigned kCanFrameLength = 8;

// Why the image cannot be sent; empty when it can.
QString imageRefusal(const QString &path, unsigned frameLength, qint64 &size)
{
    const QFileInfo info(path);
    if (!info.exists())
        return QStringLiteral("%1: no such file").arg(path);
    if (!info.isFile())
        return QStringLiteral("%1: not a regular file").arg(path);
    size = info.size();
    if (size == 0)
        return QStringLiteral("%1: empty image").arg(path);
    const QString why = upgradeframe::refusalReason(size, frameLength);
    if (!why.isEmpty())
        return QStringLiteral("%1: too large: %2").arg(path, why);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("%1: unreadable: %2").arg(path, file.errorString());
    char byte = 0;
    if (file.read(&byte, 1) != 1)
        return QStringLiteral("%1: unreadable: %2").arg(path, file.errorString());
    return QString();
}

class UpgradeRun : public QObject
{
public:
    UpgradeRun(Session &session, Output &out) : session(session), out(out), tty(::isatty(STDERR_FILENO) == 1) {}

    int run(const QString &path, unsigned frameLength);
    void onProgress(float value);
    void onResult(bool ok);

private:
    void show(int percent);

    Session &session;
    Output &out;
    const bool tty;
    QEventLoop loop;
    int shown = -1;
    bool interrupted = false;
    bool result = false;
};

int UpgradeRun::run(const QString &path, unsigned frameLength)
{
    StopSignals stop;
    connect(&stop, &StopSignals::stopRequested, this, [this] {
        // The transfer sees it between frames or within one wait step and
        // reports its failure; the port is released after that.
        interrupted = true;
        session.worker()->cancelUpgrade();
    });
    receiver *worker = session.worker();
    connectAcrossThreads(worker, &receiver::sigUpdateProcessbar, this, &UpgradeRun::onProgress);
    connectAcrossThreads(worker, &receiver::signalUpgradeResult, this, &UpgradeRun::onResult);
    worker->upgrade(path, frameLength);
    loop.exec();
    if (tty && shown >= 0)
        std::fputc('\n', stderr);
    session.close();
    // A transfer that completed as the signal came is reported as done.
    return result ? ExitOk : interrupted ? ExitInterrupted : ExitTransfer;
}

void UpgradeRun::onProgress(float value)
{
    const float percent = value * 100;
    if (!std::isfinite(percent) || percent < 0.0f || percent > 100.0f)
        return;
    show(int(percent));
}

void UpgradeRun::show(int percent)
{
    if (percent == shown)
        return;
    shown = percent;
    if (tty) {
        constexpr int kWidth = 40;
        const int filled = percent * kWidth / 100;
        std::fprintf(stderr, "\rupgrade [%s%s] %3d%%", QByteArray(filled, '#').constData(),
                     QByteArray(kWidth - filled, ' ').constData(), percent);
    } else {
        std::fprintf(stderr, "upgrade: %d%%\n", percent);
    }
    std::fflush(stderr);
}

void UpgradeRun::onResult(bool ok)
{
    result = ok;
    loop.quit();
}

} // namespace

int runUpgrade(const Options &o, Output &out)
{
    const QString command = QStringLiteral("upgrade");
    if (o.args.size() != 1)
        return out.fail(command, ExitUsage, QStringLiteral("upgrade takes one IMAGE"));
    if (o.port.isEmpty())
        return out.fail(command, ExitUsage, QStringLiteral("no port given (-p PORT or $ZN84_PORT)"));
    const QString path = o.args.at(0);
    const unsigned frameLength = o.can ? kCanFrameLength : kSerialFrameLength;

    QJsonObject result;
    result.insert(QStringLiteral("image"), path);
    result.insert(QStringLiteral("frame_length"), int(frameLength));
    qint64 size = -1;
    const QString refusal = imageRefusal(path, frameLength, size);
    if (!refusal.isEmpty())
        return out.fail(command, ExitTransfer, QStringLiteral("transfer refused: %1").arg(refusal), result);
    result.insert(QStringLiteral("bytes"), double(size));
    result.insert(QStringLiteral("frames"), double(upgradeframe::frameCount(uint64_t(size), frameLength)));

    Session session;
    if (const int code = openOrFail(session, o, out, command))
        return code;
    UpgradeRun run(session, out);
    const int code = run.run(path, frameLength);
    if (code == ExitInterrupted) {
        result.insert(QStringLiteral("exit"), code);
        return out.fail(command, code, QStringLiteral("transfer interrupted"), result);
    }
    if (code != ExitOk)
        return out.fail(command, code, QStringLiteral("transfer failed"), result);
    result.insert(QStringLiteral("command"), command);
    result.insert(QStringLiteral("ok"), true);
    if (out.json())
        out.object(result);
    else
        out.line(QStringLiteral("upgrade: ok (%1 bytes in %2 frames of %3 bytes)")
                     .arg(size)
                     .arg(upgradeframe::frameCount(uint64_t(size), frameLength))
                     .arg(frameLength));
    return ExitOk;
}

} // namespace cli
