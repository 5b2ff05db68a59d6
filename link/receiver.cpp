#include "receiver.h"
#include "log_categories.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QMetaType>
#include <QSerialPort>
#include <QTimer>

#include <memory>

receiver::receiver(QObject *parent) : QObject(parent), serialPort(nullptr), freqTimer(nullptr),
    distNum(10), portOpen(false), rxBuffer(), frameHeader(), distBuffer(), frameCount(0), frameRate(0)
{
    // The distance batch crosses from the worker's thread to the window's.
    qRegisterMetaType<QVector<uint16_t>>("QVector<uint16_t>");

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

    // Every other signal runs its slot in the worker's thread while the
    // emitter waits.
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

    // A device that vanishes (adapter unplugged) leaves the port open but dead:
    // its reads fail over and over (a resource error, or a hung-up line that
    // reads end-of-file while the port's notifier spins). Close it in the
    // worker's thread, after the port has finished its error report, so
    // nothing spins and isPortOpen() tells the truth. A read that finds
    // nothing also happens on a healthy line: the port's notice of bytes that
    // an exchange's wait has already taken. Such a read follows a read that
    // brought data, which a dead line never does, so data starts the count
    // again; and the port, which stops reading on a resource error, is made
    // to read on (a dead line then fails again at once).
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
        QMetaObject::invokeMethod(this, [this] {
            // A reopen queued before this call clears the error: leave that port alone.
            const QSerialPort::SerialPortError e = serialPort->error();
            if (!serialPort->isOpen() || (e != QSerialPort::ReadError && e != QSerialPort::ResourceError))
                return;
            qCDebug(lcLink) << "receiver::errorOccurred" << "device lost:" << serialPort->errorString();
            serialPort->close();
            portOpen.store(false);
        }, Qt::QueuedConnection);
    });

    distNum.store(10, std::memory_order_relaxed);
    frameRate = 0;
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
    return {rxBuffer.size(), distBuffer.size(), distBuffer.capacity(), frameCount, frameRate};
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

void receiver::slotOpen(QString _serialSelected, int _baudRate, bool &_result)
{
    _result = false;
    if (serialPort->isOpen()) {
        serialPort->close();
        portOpen.store(false);
    }

    serialPort->setPortName(_serialSelected);
    serialPort->setBaudRate(_baudRate, QSerialPort::AllDirections);
    serialPort->setReadBufferSize(0);
    serialPort->setDataBits(QSerialPort::Data8);
    serialPort->setParity(QSerialPort::NoParity);
    serialPort->setStopBits(QSerialPort::OneStop);
    serialPort->setFlowControl(QSerialPort::NoFlowControl);

    serialPort->open(QIODevice::ReadWrite);
    if (serialPort->isOpen()) {
        qCDebug(lcLink) << "receiver::slotOpen" << "opened success";
        freqTimer->start(1000);
        frameCount = 0;
        portOpen.store(true);
        _result = true;
    } else {
        qCDebug(lcLink) << "receiver::slotOpen" << "opened fail";
        serialPort->close();
        portOpen.store(false);
        _result = false;
    }
}

void receiver::slotClose(bool &_result)
{
    _result = false;
    serialPort->close();
    portOpen.store(false);
    _result = true;
}
