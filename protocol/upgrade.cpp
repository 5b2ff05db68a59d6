// SPDX-License-Identifier: GPL-3.0-or-later
// Firmware transfer: a header frame with the image size, then the image in
// numbered frames, each but the last acknowledged by the sensor.

#include "receiver.h"
#include "log_categories.h"
#include "upgrade_frame.h"
#include "upgrade_wait.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSerialPort>
#include <QThread>

#include <cerrno>

namespace {

// The image file is read in the worker's thread, the thread that also runs
// the port. When a read notification of the port brings no bytes, QSerialPort
// takes the thread's errno for the reason, and EIO (or EAGAIN, EBADF) found
// there becomes a resource error, which the worker takes for a lost device.
// A failed read of the image leaves EIO: the file work must hand errno back
// as it found it, so that it never touches the port.
class ErrnoKeeper
{
public:
    ErrnoKeeper() : saved(errno) {}
    ~ErrnoKeeper() { errno = saved; }
    ErrnoKeeper(const ErrnoKeeper &) = delete;
    ErrnoKeeper &operator=(const ErrnoKeeper &) = delete;

private:
    int saved;
};

// Reads the image; false with the reason when it cannot be sent. Everything
// that can be refused is refused before a byte is sent.
bool loadImage(const QString &fullpath, unsigned L, QByteArray &image, QString &why,
               receiver::UpgradeFailure &failure)
{
    const ErrnoKeeper keepErrno;
    const QFileInfo info(fullpath);
    const QString nativePath = QDir::toNativeSeparators(fullpath);
    qCDebug(lcUpgrade) << info.fileName() << info.size() << nativePath;
    qCDebug(lcUpgrade) << "frame cnt" << upgradeframe::frameCount(uint64_t(qMax<qint64>(info.size(), 0)), L);

    // Only regular files are opened: a fifo would block the open.
    failure = receiver::UpgradeFailure::FileMissing;
    if (!info.exists()) {
        why = QStringLiteral("no such file");
        return false;
    }
    if (!info.isFile()) {
        why = QStringLiteral("not a regular file");
        return false;
    }
    failure = receiver::UpgradeFailure::FileTooLarge;
    why = upgradeframe::refusalReason(info.size(), L);
    if (!why.isEmpty())
        return false;

    failure = receiver::UpgradeFailure::FileUnreadable;
    QFile file(nativePath);
    if (!file.open(QIODevice::ReadOnly)) {
        why = file.errorString();
        return false;
    }
    qCDebug(lcUpgrade) << info.fileName() << "open success!";
    // Never more than what fits the frame index, even if the file grew.
    const qint64 limit = upgradeframe::maxImageSize(L);
    // A read that fails is refused, not taken for an empty image.
    image = QByteArray(int(qMin(info.size(), limit) + 1), Qt::Uninitialized);
    const qint64 got = file.read(image.data(), image.size());
    if (got < 0) {
        why = file.errorString();
        image.clear();
        return false;
    }
    image.truncate(int(got));
    file.close();
    qCDebug(lcUpgrade) << "cont size" << image.size();
    if (image.size() > limit) {
        failure = receiver::UpgradeFailure::FileTooLarge;
        why = upgradeframe::refusalReason(image.size(), L);
        image.clear();
        return false;
    }
    // An empty image would be a header announcing 0 bytes: the sensor would
    // be left without firmware to take, and nothing was sent to report on.
    if (image.isEmpty()) {
        failure = receiver::UpgradeFailure::FileEmpty;
        why = QStringLiteral("empty image");
        return false;
    }
    return true;
}

// One frame may wait for its acknowledgement upgradeAckBoundMs, counted from
// the write and over every wait, also those that bring measurement frames but
// no acknowledgement: a sensor that streams on and never answers still ends
// the transfer. No single wait is longer than upgradeWaitStepMs, so that a
// cancel is seen within one step; a port in error ends the wait at once (its
// waits would return at once, over and over, until the bound).
upgradeframe::AckWait awaitUpgradeAck(QSerialPort *port, unsigned index, const ProtocolTiming &timing,
                             const std::atomic<bool> &cancel)
{
    upgradeframe::AckScanner scanner;
    QElapsedTimer clock;
    clock.start();
    int emptyWaits = 0;
    upgradeframe::AckWait outcome = upgradeframe::AckWait::KeepWaiting;
    while (outcome == upgradeframe::AckWait::KeepWaiting) {
        const int waitMs = upgradeframe::nextWaitMs(clock.elapsed(), timing.upgradeAckBoundMs,
                                           timing.upgradeWaitStepMs);
        // The error left by an earlier wait or exchange is not this wait's.
        port->clearError();
        if (waitMs > 0)
            port->waitForReadyRead(waitMs);
        const QByteArray chunk = port->readAll();
        if (chunk.isEmpty())
            ++emptyWaits;
        upgradeframe::AckWaitState state;
        state.acknowledged = scanner.feed(chunk);
        state.cancelRequested = cancel.load();
        state.portOpen = port->isOpen();
        state.portError = port->error();
        state.elapsedMs = clock.elapsed();
        outcome = upgradeframe::afterWait(state, timing.upgradeAckBoundMs);
    }
    if (outcome == upgradeframe::AckWait::Acknowledged)
        return outcome;
    if (outcome == upgradeframe::AckWait::Cancelled)
        qCDebug(lcUpgrade) << "receiver::slot_do_cmd_id_upgrade" << "cancelled at frame" << index;
    else if (outcome == upgradeframe::AckWait::PortFailed)
        qCDebug(lcUpgrade) << "receiver::slot_do_cmd_id_upgrade" << "port failed:" << port->errorString();
    qCDebug(lcUpgrade) << "receiver::slot_do_cmd_id_upgrade" << "no ack for frame" << index
             << "empty waits" << emptyWaits << "bytes" << scanner.bytesSeen();
    return outcome;
}

// The last frame is not acknowledged: hand its bytes to the line before
// reporting, within the same bound, steps and stops as a wait for an
// acknowledgement.
bool flushLastFrame(QSerialPort *port, const ProtocolTiming &timing, const std::atomic<bool> &cancel)
{
    QElapsedTimer clock;
    clock.start();
    while (port->bytesToWrite() > 0) {
        const int waitMs = upgradeframe::nextWaitMs(clock.elapsed(), timing.upgradeAckBoundMs,
                                           timing.upgradeWaitStepMs);
        if (waitMs <= 0 || cancel.load() || !port->isOpen())
            return false;
        port->clearError();
        port->waitForBytesWritten(waitMs);
        if (upgradeframe::portErrorEndsWait(port->error()))
            return false;
    }
    return true;
}

// Writes one frame; every frame but the last of the image must be acknowledged.
upgradeframe::AckWait sendUpgradeFrame(QSerialPort *port, const QByteArray &frame, unsigned index, unsigned total,
                                       const ProtocolTiming &timing, const std::atomic<bool> &cancel)
{
    port->write(frame);
    if (uint16_t(index) != uint16_t(total))
        return awaitUpgradeAck(port, index, timing, cancel);
    if (flushLastFrame(port, timing, cancel))
        return upgradeframe::AckWait::Acknowledged;
    if (cancel.load())
        return upgradeframe::AckWait::Cancelled;
    return port->isOpen() && !upgradeframe::portErrorEndsWait(port->error()) ? upgradeframe::AckWait::OutOfTime
                                                                             : upgradeframe::AckWait::PortFailed;
}

receiver::UpgradeFailure failureOf(upgradeframe::AckWait outcome)
{
    switch (outcome) {
    case upgradeframe::AckWait::Cancelled:
        return receiver::UpgradeFailure::Cancelled;
    case upgradeframe::AckWait::PortFailed:
        return receiver::UpgradeFailure::PortLost;
    default:
        return receiver::UpgradeFailure::NoAcknowledgement;
    }
}

} // namespace

void receiver::upgrade(QString fullpath, unsigned int upgrade_frame_length)
{
    qCDebug(lcUpgrade) << "receiver" << "receiver::upgrade" << QThread::currentThreadId();
    emit signalUpgrade(fullpath, upgrade_frame_length);
}

void receiver::cancelUpgrade()
{
    upgradeCancel.store(true);
    // Lowered behind everything queued to the worker by now: the transfer in
    // progress and those waiting behind it stop, later ones run.
    QMetaObject::invokeMethod(this, [this] { upgradeCancel.store(false); }, Qt::QueuedConnection);
}

void receiver::slot_do_cmd_id_upgrade(const QString fullpath, unsigned int upgrade_frame_length)
{
    const unsigned L = upgrade_frame_length;
    if (upgradeCancel.load()) {
        qCDebug(lcUpgrade) << "receiver::slot_do_cmd_id_upgrade" << "cancelled before the start";
        reportUpgradeFailure(UpgradeFailure::Cancelled, 0);
        return;
    }

    QByteArray image;
    QString why;
    UpgradeFailure failure = UpgradeFailure::FileMissing;
    if (!loadImage(fullpath, L, image, why, failure)) {
        qCDebug(lcUpgrade) << "file open fail" << QDir::toNativeSeparators(fullpath) << why;
        reportUpgradeFailure(failure, 0);
        return;
    }
    if (!serialPort->isOpen()) {
        qCDebug(lcUpgrade) << "receiver::slot_do_cmd_id_upgrade" << "port not open";
        reportUpgradeFailure(UpgradeFailure::PortClosed, 0);
        return;
    }

    unsigned frame = 0;
    const bool ok = transferImage(image, L, failure, frame);
    // Summarised: the header frame and the number of data frames.
    trafficReceived.clear();
    recordTraffic("receiver::slot_do_cmd_id_upgrade", TrafficKind::Upgrade, commandframe::IdUpgrade,
                  upgradeframe::buildHeader(L, uint32_t(image.size())), ok, 0, 0, 0,
                  int(upgradeframe::frameCount(uint64_t(image.size()), L)));
    if (!ok) {
        reportUpgradeFailure(failure, frame);
        return;
    }
    qCDebug(lcUpgrade) << "upgrade success";
    emit signalUpgradeResult(true);
}

void receiver::reportUpgradeFailure(UpgradeFailure failure, unsigned frame)
{
    emit signalUpgradeFailed(failure, frame);
    emit signalUpgradeResult(false);
}

// Sends the header and the data frames; the parser is detached meanwhile and
// attached again before the caller reports the result.
bool receiver::transferImage(const QByteArray &image, unsigned L, UpgradeFailure &failure, unsigned &frame)
{
    // The frames follow what was actually read.
    const unsigned P = upgradeframe::payloadSize(L);
    const auto total = unsigned(upgradeframe::frameCount(uint64_t(image.size()), L));
    const ProtocolTiming timing = protocolTiming();
    const ParserDetached detached(*this);
    upgradeframe::AckWait outcome = sendUpgradeFrame(
        serialPort, upgradeframe::buildHeader(L, uint32_t(image.size())), 0, total, timing, upgradeCancel);
    for (frame = 1; outcome == upgradeframe::AckWait::Acknowledged && frame <= total; ++frame) {
        if (upgradeCancel.load()) {
            qCDebug(lcUpgrade) << "receiver::slot_do_cmd_id_upgrade" << "cancelled at frame" << frame;
            failure = UpgradeFailure::Cancelled;
            return false;
        }
        const qint64 offset = qint64(frame - 1) * P;
        const qint64 n = qMin<qint64>(P, image.size() - offset);
        const QByteArray bytes = upgradeframe::buildFrame(L, uint16_t(frame), image.constData() + offset,
                                                          std::size_t(n));
        outcome = sendUpgradeFrame(serialPort, bytes, frame, total, timing, upgradeCancel);
        if (outcome == upgradeframe::AckWait::Acknowledged && upgradeframe::isProgressPoint(frame, total)) {
            qCDebug(lcUpgrade) << frame << total;
            emit sigUpdateProcessbar(upgradeframe::progressValue(frame, total));
        }
    }
    if (outcome == upgradeframe::AckWait::Acknowledged)
        return true;
    // The loop went one past the frame that failed (0: the header).
    --frame;
    failure = failureOf(outcome);
    return false;
}
