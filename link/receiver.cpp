// SPDX-License-Identifier: GPL-3.0-or-later
#include "receiver.h"
#include "log_categories.h"

#include <QDateTime>
#include <QDebug>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMetaType>
#include <QSerialPort>
#include <QTimer>

#include <memory>
#include <algorithm>

receiver::receiver(QObject *parent) : QObject(parent), serialPort(nullptr), freqTimer(nullptr),
    distNum(10), portOpen(false), rxBuffer(), frameHeader(), distBuffer(), frameCount(0), frameRate(0)
{
    // The distance batch crosses from the worker's thread to the window's.
    qRegisterMetaType<QVector<uint16_t>>("QVector<uint16_t>");
    qRegisterMetaType<LineHealth>("LineHealth");
    qRegisterMetaType<TrafficEntry>("TrafficEntry");

    serialPort = new QSerialPort();
    freqTimer = new QTimer();

    frameHeader.append(static_cast<char>(0x59));
    frameHeader.append(static_cast<char>(0x59));
    // Reserved capacity survives the parser's trimming, so a steady stream
    // appends without reallocating.
    rxBuffer.reserve(16384);
    distBuffer.reserve(1024);

    connect(serialPort, &QSerialPort::readyRead, this, &receiver::slotReceiver);
    connect(freqTimer, &QTimer::timeout, this, &receiver::slotCalcFreq);
    connect(this, &receiver::signalWorkerCall, this, &receiver::runPendingCall,
            Qt::BlockingQueuedConnection);
    // The firmware transfer runs queued: the window starts it and returns.
    connect(this, &receiver::signalUpgrade, this, &receiver::slot_do_cmd_id_upgrade);

    bindBlockingSignals();
    watchForLostDevice();

    // Checks for a lost device coming back; started only while waiting for it.
    reconnectTimer = new QTimer(this);
    reconnectTimer->setInterval(1000);
    connect(reconnectTimer, &QTimer::timeout, this, &receiver::tryReconnect);

    distNum.store(10, std::memory_order_relaxed);
    frameRate = 0;
}

// Every blocking signal runs its slot in the worker's thread while the
// emitter waits.
void receiver::bindBlockingSignals()
{
    bindBlocking(&receiver::signalOpen, &receiver::slotOpen);
    bindBlocking(&receiver::signalClose, &receiver::slotClose);
    bindBlocking(&receiver::signalReset, &receiver::slot_do_cmd_id_soft_reset);
    bindBlocking(&receiver::signalVersion, &receiver::slot_do_cmd_id_version);
    bindBlocking(&receiver::signalFullVersion, &receiver::slot_do_cmd_id_full_version);
    bindBlocking(&receiver::signalFrameRate, &receiver::slot_do_cmd_id_frame_rate);
    bindBlocking(&receiver::signalSaveSetting, &receiver::slot_do_cmd_id_save_settings);
    bindBlocking(&receiver::signalBaudrate, &receiver::slot_do_cmd_id_baud_rate);
    bindBlocking(&receiver::signalCanBaudrate, &receiver::slot_do_cmd_id_can_baudrate);
    bindBlocking(&receiver::signalCANFrameType, &receiver::slot_do_cmd_id_can_frame_type_config);
    bindBlocking(&receiver::signalCanRcvId, &receiver::slot_do_cmd_id_can_rcv_id);
    bindBlocking(&receiver::signalCanSndId, &receiver::slot_do_cmd_id_can_snd_id);
    bindBlocking(&receiver::signalChecksumEnabled, &receiver::slot_do_cmd_id_frame_checksum_en);
    bindBlocking(&receiver::signalCustom, &receiver::slot_do_cmd_id_Custom_choise);
    bindBlocking(&receiver::signalFogFeatureEnabled, &receiver::slot_do_cmd_id_fog_feature_enable);
    bindBlocking(&receiver::signalMapTypeSet, &receiver::slot_do_cmd_id_dac_map_type);
    bindBlocking(&receiver::signalGainAdjustEnabled, &receiver::slot_do_cmd_id_gain_adjust_enable);
    bindBlocking(&receiver::signalIODelay, &receiver::slot_do_cmd_id_io_delay);
    bindBlocking(&receiver::signalIOThreshold, &receiver::slot_do_cmd_id_dist_io_threshold);
    bindBlocking(&receiver::signalIOValue, &receiver::slot_do_cmd_id_near_io_value);
    bindBlocking(&receiver::signalOffset, &receiver::slot_do_cmd_id_offset_config);
    bindBlocking(&receiver::signalOutputEnabled, &receiver::slot_do_cmd_id_output_en);
    bindBlocking(&receiver::signalOutputFormat, &receiver::slot_do_cmd_id_output_format);
    bindBlocking(&receiver::signalRestoreFactory, &receiver::slot_do_cmd_id_restore_default);
    bindBlocking(&receiver::signalSampleTrig, &receiver::slot_do_cmd_id_sample_trig);
    bindBlocking(&receiver::signalTransType, &receiver::slot_do_cmd_id_trans_type_config);
    bindBlocking(&receiver::signal_modbus_enable, &receiver::slot_do_cmd_id_modbus_enable);
    bindBlocking(&receiver::signal_modbus_dev_addr_set, &receiver::slot_do_cmd_id_modbus_dev_addr_set);
    bindBlocking(&receiver::signal_mb_baudrage_set, &receiver::slot_do_cmd_id_mb_baudrate_config);
    bindBlocking(&receiver::signal_mb_dev_addr_set, &receiver::slot_do_cmd_id_mb_dev_addr_config);
    bindBlocking(&receiver::signal_mb_get_dist, &receiver::slot_do_cmd_id_mb_get_dist);
    bindBlocking(&receiver::signal_mb_modbus_disable, &receiver::slot_do_cmd_id_mb_modbus_disable);
    bindBlocking(&receiver::signal_mb_save_config, &receiver::slot_do_cmd_id_mb_save_config);
}

// A device that vanishes (adapter unplugged) leaves the port open but dead:
// its reads fail over and over (a resource error, or a hung-up line that
// reads end-of-file while the port's notifier spins). A read that finds
// nothing also happens on a healthy line: the port's notice of bytes that
// an exchange's wait has already taken. Such a read follows a read that
// brought data, which a dead line never does, so data starts the count
// again; and the port, which stops reading on a resource error, is made
// to read on (a dead line then fails again at once). Nor is the reason the
// port gives trustworthy: when a read notification brings no bytes it
// takes the reason from whatever errno an unrelated call left behind. So
// after a burst the check runs in the worker's thread, once the port has
// finished its report, and gives the port up only once the device is
// confirmed gone.
void receiver::watchForLostDevice()
{
    auto failedReads = std::make_shared<int>(0);
    connect(serialPort, &QSerialPort::readyRead, this, [failedReads] { *failedReads = 0; });
    connect(serialPort, &QSerialPort::errorOccurred, this,
            [this, failedReads](QSerialPort::SerialPortError error) {
        if (error != QSerialPort::ReadError && error != QSerialPort::ResourceError)
            return;
        if (++*failedReads < 10) {
            if (error == QSerialPort::ResourceError) {
                QMetaObject::invokeMethod(this, [this] {
                    if (serialPort->isOpen() && serialPort->error() == QSerialPort::ResourceError) {
                        serialPort->clearError();
                        serialPort->setReadBufferSize(0);   // starts reading again
                    }
                }, Qt::QueuedConnection);
            }
            return; // no lost device yet
        }
        *failedReads = 0;
        QMetaObject::invokeMethod(this, [this] { checkPortLost(); }, Qt::QueuedConnection);
    });
}

// Runs the call runInWorkerThread handed over, in the worker's thread.
void receiver::runPendingCall()
{
    std::function<void()> *call = nullptr;
    {
        std::lock_guard<std::mutex> lock(callMutex);
        call = pendingCall;
        pendingCall = nullptr;
    }
    if (call)
        (*call)();
    std::lock_guard<std::mutex> lock(callMutex);
    pendingCallDone = call != nullptr;
}

// The port and the rate timer have no parent (they are moved to the worker's
// thread on their own); the worker owns them. The port is closed by then.
receiver::~receiver()
{
    delete serialPort;
    delete freqTimer;
}

receiver::StreamState receiver::streamState() const
{
    return {int(rxBuffer.size()), int(distBuffer.size()), int(distBuffer.capacity()), frameCount, frameRate};
}

ProtocolTiming receiver::protocolTiming() const
{
    std::lock_guard<std::mutex> lock(timingMutex);
    return timing;
}

void receiver::setProtocolTiming(const ProtocolTiming &t)
{
    std::lock_guard<std::mutex> lock(timingMutex);
    timing = t;
}

bool receiver::openPort(QString portName, int baudRate)
{
    bool result = false;
    emit signalOpen(portName, baudRate, result);
    return result;
}

bool receiver::closePort()
{
    bool result = false;
    emit signalClose(result);
    return result;
}

bool receiver::isPortOpen()
{
    return portOpen.load();
}

// Opens `name` at `baudRate` with the line settings of the sensor; on success
// the rate timer runs and isPortOpen() says so.
bool receiver::openSerial(const QString &name, int baudRate)
{
    serialPort->setPortName(name);
    serialPort->setBaudRate(baudRate, QSerialPort::AllDirections);
    serialPort->setReadBufferSize(0);
    serialPort->setDataBits(QSerialPort::Data8);
    serialPort->setParity(QSerialPort::NoParity);
    serialPort->setStopBits(QSerialPort::OneStop);
    serialPort->setFlowControl(QSerialPort::NoFlowControl);

    serialPort->open(QIODevice::ReadWrite);
    if (!serialPort->isOpen())
        return false;
    freqTimer->start(1000);
    frameCount = 0;
    portOpen.store(true);
    return true;
}

void receiver::slotOpen(QString _serialSelected, int _baudRate, bool &_result)
{
    _result = false;
    stopWaiting();
    if (serialPort->isOpen()) {
        serialPort->close();
        portOpen.store(false);
    }

    if (openSerial(_serialSelected, _baudRate)) {
        qCDebug(lcLink) << "receiver::slotOpen" << "opened success";
        // Bytes that waited in the line before the operator opened it are
        // readings of the past, however fresh the batch would make them
        // look: the first reading and the first second's rate are of now.
        // (A reopen after a read fault keeps them: that stream goes on.)
        serialPort->clear(QSerialPort::Input);
        openedName = _serialSelected;
        openedBaud = _baudRate;
        openFailure.store(OpenFailure::None);
        reconnects.store(0);
        // The counters run from this connect on, over a parser starting afresh.
        health = LineHealth();
        rxBuffer.resize(0);
        emit signalLineHealth(health);
        _result = true;
    } else {
        qCDebug(lcLink) << "receiver::slotOpen" << "opened fail";
        const QSerialPort::SerialPortError error = serialPort->error();
        serialPort->close();
        portOpen.store(false);
        openFailure.store(classifyOpenFailure(_serialSelected, error));
        _result = false;
    }
}

void receiver::slotClose(bool &_result)
{
    _result = false;
    stopWaiting();
    // Every frame that has arrived goes out before the port closes, also the
    // distances still gathering for the next batch and the last frame, which
    // the parser would hold until two more bytes came: a recording keeps all
    // the operator saw arrive.
    if (serialPort->isOpen()) {
        rxBuffer.append(serialPort->readAll());
        frameCount += parseMeasurementFrames(rxBuffer, distBuffer, health);
        frameCount += finishMeasurementFrames(rxBuffer, distBuffer, health);
        flushDistances();
    }
    serialPort->close();
    portOpen.store(false);
    _result = true;
}

void receiver::setAutoReconnect(bool on)
{
    reconnectEnabled.store(on);
    if (!on)
        runInWorkerThread([this] { stopWaiting(); });
}

LineHealth receiver::lineHealth()
{
    LineHealth copy;
    runInWorkerThread([&] { copy = health; });
    return copy;
}

void receiver::checkPortLost()
{
    // A reopen queued before this call clears the error: leave that port alone.
    const QSerialPort::SerialPortError e = serialPort->error();
    if (!serialPort->isOpen() || (e != QSerialPort::ReadError && e != QSerialPort::ResourceError))
        return;
    if (!portDeviceGone(*serialPort)) {
        qCDebug(lcLink) << "receiver::errorOccurred" << "device still present, error ignored:"
                        << serialPort->errorString();
        serialPort->clearError();
        if (e == QSerialPort::ResourceError) {
            // The port stops reading after a resource error; open it again to
            // read on (the bytes wait in the device meanwhile).
            const QByteArray pending = serialPort->readAll();
            rxBuffer.append(pending);
            serialPort->close();
            if (!openSerial(openedName, openedBaud))
                deviceLost();
        }
        return;
    }
    deviceLost();
}

// The device is gone: the port closes, the distances parsed so far go out
// (a recording keeps every line from before the loss) and, unless turned off,
// the waiting for the device starts.
void receiver::deviceLost()
{
    qCDebug(lcLink) << "receiver::errorOccurred" << "device lost:" << serialPort->errorString();
    if (serialPort->isOpen()) {
        rxBuffer.append(serialPort->readAll());
        frameCount += parseMeasurementFrames(rxBuffer, distBuffer, health);
    }
    // Nothing follows: the last frame is taken without the two bytes after it.
    frameCount += finishMeasurementFrames(rxBuffer, distBuffer, health);
    serialPort->close();
    portOpen.store(false);
    freqTimer->stop();
    flushDistances();
    // A pseudo-terminal never comes back: a new one under the same number is
    // another program's line. Other names (an adapter's device, a link to
    // one) are waited for.
    const bool wait = reconnectEnabled.load() && !openedName.isEmpty()
            && !portLocation(openedName).startsWith(QLatin1String("/dev/pts/"));
    if (wait) {
        waitingForDevice.store(true);
        reconnectTimer->start();
    }
    emit signalDeviceLost(wait, steadyMs());
}

qint64 receiver::steadyMs()
{
    QElapsedTimer now;
    now.start();
    return now.msecsSinceReference();
}

void receiver::tryReconnect()
{
    if (!waitingForDevice.load()) {
        reconnectTimer->stop();
        return;
    }
    // Cheap while the device is away: one look at its file a second.
    if (!QFileInfo::exists(portLocation(openedName)))
        return;
    if (!openSerial(openedName, openedBaud)) {
        serialPort->close();
        return;   // there, but not ready (or not ours yet): try again next second
    }
    reconnectTimer->stop();
    waitingForDevice.store(false);
    const int count = reconnects.fetch_add(1) + 1;
    qCDebug(lcLink) << "receiver::tryReconnect" << "reopened" << openedName << openedBaud << "count" << count;
    emit signalReconnected(count, steadyMs());
}

void receiver::stopWaiting()
{
    reconnectTimer->stop();
    if (waitingForDevice.exchange(false))
        emit signalReconnectStopped();
}

void receiver::flushDistances()
{
    if (distBuffer.isEmpty())
        return;
    QVector<uint16_t> batch(distBuffer.size());
    std::copy(distBuffer.cbegin(), distBuffer.cend(), batch.begin());
    emit signalDistance(batch, frameRate);
    distBuffer.resize(0);
}

void receiver::recordTraffic(const char *tag, TrafficKind kind, uint16_t id, const QByteArray &sent, bool ok,
                             int valueCount, uint32_t first, uint32_t second, int frames)
{
    TrafficEntry entry;
    entry.kind = kind;
    entry.id = id;
    entry.valueCount = valueCount;
    entry.values[0] = first;
    entry.values[1] = second;
    entry.time = QDateTime::currentDateTime();
    if (tag) {
        QString name = QString::fromLatin1(tag);
        const int colons = name.lastIndexOf(QLatin1String("::"));
        entry.name = colons >= 0 ? name.mid(colons + 2) : name;
    } else {
        entry.name = QStringLiteral("cmd 0x%1").arg(id, 2, 16, QLatin1Char('0'));
    }
    entry.sent = sent;
    entry.received = trafficReceived;
    entry.ok = ok;
    entry.frames = frames;
    trafficReceived.clear();
    emit signalTraffic(entry);
}
