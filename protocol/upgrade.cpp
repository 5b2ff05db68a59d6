// Firmware transfer: a header frame with the image size, then the image in
// numbered frames, each but the last acknowledged by the sensor.

#include "receiver.h"
#include "upgrade_frame.h"

#include <QDebug>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSerialPort>
#include <QThread>

namespace {

// One frame may wait for its acknowledgement upgradeAckBoundMs, counted from
// the write and over every wait, also those that bring measurement frames but
// no acknowledgement: a sensor that streams on and never answers still ends
// the transfer.
bool awaitUpgradeAck(QSerialPort *port, unsigned index, const ProtocolTiming &timing)
{
    upgradeframe::AckScanner scanner;
    QElapsedTimer clock;
    clock.start();
    int emptyWaits = 0;
    for (;;) {
        const qint64 left = timing.upgradeAckBoundMs - clock.elapsed();
        if (left <= 0)
            break;
        port->waitForReadyRead(int(qMin<qint64>(left, timing.upgradeWaitStepMs)));
        const QByteArray chunk = port->readAll();
        if (chunk.isEmpty())
            ++emptyWaits;
        if (scanner.feed(chunk))
            return true;
        // A vanished device makes every wait return at once; stop right away
        // instead of spinning until the bound.
        if (!port->isOpen() || port->error() == QSerialPort::ResourceError)
            break;
    }
    qDebug() << "receiver::slot_do_cmd_id_upgrade" << "no ack for frame" << index
             << "empty waits" << emptyWaits << "bytes" << scanner.bytesSeen();
    return false;
}

// Writes one frame; every frame but the last of the image must be acknowledged.
bool sendUpgradeFrame(QSerialPort *port, const QByteArray &frame, unsigned index, unsigned total,
                      const ProtocolTiming &timing)
{
    port->write(frame);
    if (uint16_t(index) == uint16_t(total)) {
        // Not acknowledged: hand the bytes to the line before reporting.
        if (port->bytesToWrite() > 0)
            port->waitForBytesWritten(timing.upgradeAckBoundMs);
        return true;
    }
    return awaitUpgradeAck(port, index, timing);
}

} // namespace

void receiver::upgrade(QString fullpath, unsigned int upgrade_frame_length)
{
    qDebug() << "receiver" << "receiver::upgrade" << QThread::currentThreadId();
    emit signalUpgrade(fullpath, upgrade_frame_length);
}

void receiver::slot_do_cmd_id_upgrade(const QString fullpath, unsigned int upgrade_frame_length)
{
    const unsigned L = upgrade_frame_length;
    const QFileInfo info(fullpath);
    const QString nativePath = QDir::toNativeSeparators(fullpath);
    qDebug() << info.fileName() << info.size() << nativePath;
    qDebug() << "frame cnt" << upgradeframe::frameCount(uint64_t(qMax<qint64>(info.size(), 0)), L);

    auto refuse = [&](const QString &why) {
        qDebug() << "file open fail" << nativePath << why;
        emit signalUpgradeResult(false);
    };

    // Everything that can be refused is refused before a byte is read or
    // sent. Only regular files are opened: a fifo would block the open.
    if (!info.exists()) {
        refuse(QStringLiteral("no such file"));
        return;
    }
    if (!info.isFile()) {
        refuse(QStringLiteral("not a regular file"));
        return;
    }
    const QString reason = upgradeframe::refusalReason(info.size(), L);
    if (!reason.isEmpty()) {
        refuse(reason);
        return;
    }

    QFile file(nativePath);
    if (!file.open(QIODevice::ReadOnly)) {
        refuse(file.errorString());
        return;
    }
    qDebug() << info.fileName() << "open success!";
    // Never more than what fits the frame index, even if the file grew.
    const qint64 limit = upgradeframe::maxImageSize(L);
    // A read that fails is refused, not taken for an empty image.
    QByteArray image(int(qMin(info.size(), limit) + 1), Qt::Uninitialized);
    const qint64 got = file.read(image.data(), image.size());
    if (got < 0) {
        refuse(file.errorString());
        return;
    }
    image.truncate(int(got));
    file.close();
    qDebug() << "cont size" << image.size();
    if (image.size() > limit) {
        refuse(upgradeframe::refusalReason(image.size(), L));
        return;
    }
    if (!serialPort->isOpen()) {
        qDebug() << "receiver::slot_do_cmd_id_upgrade" << "port not open";
        emit signalUpgradeResult(false);
        return;
    }

    // The frames follow what was actually read.
    const unsigned P = upgradeframe::payloadSize(L);
    const auto total = unsigned(upgradeframe::frameCount(uint64_t(image.size()), L));

    const ProtocolTiming timing = protocolTiming();
    detachParser();
    bool ok = sendUpgradeFrame(serialPort, upgradeframe::buildHeader(L, uint32_t(image.size())), 0, total, timing);
    for (unsigned i = 1; ok && i <= total; ++i) {
        const qint64 offset = qint64(i - 1) * P;
        const qint64 n = qMin<qint64>(P, image.size() - offset);
        const QByteArray frame = upgradeframe::buildFrame(L, uint16_t(i), image.constData() + offset,
                                                 std::size_t(n));
        ok = sendUpgradeFrame(serialPort, frame, i, total, timing);
        if (ok && upgradeframe::isProgressPoint(i, total)) {
            qDebug() << i << total;
            emit sigUpdateProcessbar(upgradeframe::progressValue(i, total));
        }
    }
    attachParser();

    if (ok)
        qDebug() << "upgrade success";
    emit signalUpgradeResult(ok);
}
