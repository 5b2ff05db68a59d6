#include "receiver.h"
#include "thread_handoff.h"

#include <QDebug>
#include <QEvent>
#include <QElapsedTimer>
#include <QMetaType>
#include <QSerialPort>
#include <QTimer>

receiver::receiver(QObject *parent) : QObject(parent), serialPort(nullptr), freqTimer(nullptr),
    distNum(10), portOpen(false), rxBuffer(), frameHeader(), distBuffer(), frameCount(0), frameRate(0)
{
    // The distance batch crosses from the worker's thread to the window's.
    qRegisterMetaType<QVector<uint16_t>>("QVector<uint16_t>");
    handoff::install();

    serialPort = new QSerialPort();
    freqTimer = new QTimer();

    frameHeader.append(static_cast<char>(0x59));
    frameHeader.append(static_cast<char>(0x59));
    // Reserved capacity survives the parser's trimming, so a steady stream
    // appends without reallocating.
    rxBuffer.reserve(16384);
    distBuffer.reserve(1024);

    // Blocking queued connections hand the slot the emitter's own arguments,
    // so the slots write straight into the callers' result flags and outputs.
    const Qt::ConnectionType blocking = Qt::BlockingQueuedConnection;
    connect(serialPort, SIGNAL(readyRead()), this, SLOT(slotReceiver()));
    connect(this, SIGNAL(signalOpen(QString,int,bool&)), this, SLOT(slotOpen(QString,int,bool&)), blocking);
    connect(this, SIGNAL(signalClose(bool&)), this, SLOT(slotClose(bool&)), blocking);
    connect(freqTimer, SIGNAL(timeout()), this, SLOT(slotCalcFreq()));
    connect(this, SIGNAL(signalReset(bool&)), this, SLOT(slot_do_cmd_id_soft_reset(bool&)), blocking);
    connect(this, SIGNAL(signalVersion(unsigned char*,bool&)), this,
            SLOT(slot_do_cmd_id_version(unsigned char*,bool&)), blocking);
    connect(this, SIGNAL(signalFullVersion(unsigned char*,bool&)), this,
            SLOT(slot_do_cmd_id_full_version(unsigned char*,bool&)), blocking);
    connect(this, SIGNAL(signalFrameRate(unsigned int,bool&)), this,
            SLOT(slot_do_cmd_id_frame_rate(unsigned int,bool&)), blocking);
    connect(this, SIGNAL(signalSaveSetting(bool&)), this, SLOT(slot_do_cmd_id_save_settings(bool&)), blocking);
    connect(this, SIGNAL(signalBaudrate(unsigned int,bool&)), this,
            SLOT(slot_do_cmd_id_baud_rate(unsigned int,bool&)), blocking);
    connect(this, SIGNAL(signalCanBaudrate(unsigned int,bool&)), this,
            SLOT(slot_do_cmd_id_can_baudrate(unsigned int,bool&)), blocking);
    connect(this, SIGNAL(signalCANFrameType(unsigned char,bool&)), this,
            SLOT(slot_do_cmd_id_can_frame_type_config(unsigned char,bool&)), blocking);
    connect(this, SIGNAL(signalCanRcvId(unsigned int,bool&)), this,
            SLOT(slot_do_cmd_id_can_rcv_id(unsigned int,bool&)), blocking);
    connect(this, SIGNAL(signalCanSndId(unsigned int,bool&)), this,
            SLOT(slot_do_cmd_id_can_snd_id(unsigned int,bool&)), blocking);
    connect(this, SIGNAL(signalChecksumEnabled(unsigned char,bool&)), this,
            SLOT(slot_do_cmd_id_frame_checksum_en(unsigned char,bool&)), blocking);
    connect(this, SIGNAL(signalCustom(unsigned char,bool&)), this,
            SLOT(slot_do_cmd_id_Custom_choise(unsigned char,bool&)), blocking);
    connect(this, SIGNAL(signalFogFeatureEnabled(unsigned char,bool&)), this,
            SLOT(slot_do_cmd_id_fog_feature_enable(unsigned char,bool&)), blocking);
    connect(this, SIGNAL(signalMapTypeSet(unsigned char,bool&)), this,
            SLOT(slot_do_cmd_id_dac_map_type(unsigned char,bool&)), blocking);
    connect(this, SIGNAL(signalGainAdjustEnabled(unsigned char,bool&)), this,
            SLOT(slot_do_cmd_id_gain_adjust_enable(unsigned char,bool&)), blocking);
    connect(this, SIGNAL(signalIODelay(unsigned short,unsigned short,bool&)), this,
            SLOT(slot_do_cmd_id_io_delay(unsigned short,unsigned short,bool&)), blocking);
    connect(this, SIGNAL(signalIOThreshold(unsigned short,unsigned short,bool&)), this,
            SLOT(slot_do_cmd_id_dist_io_threshold(unsigned short,unsigned short,bool&)), blocking);
    connect(this, SIGNAL(signalIOValue(unsigned char,bool&)), this,
            SLOT(slot_do_cmd_id_near_io_value(unsigned char,bool&)), blocking);
    connect(this, SIGNAL(signalOffset(unsigned short,bool&)), this,
            SLOT(slot_do_cmd_id_offset_config(unsigned short,bool&)), blocking);
    connect(this, SIGNAL(signalOutputEnabled(unsigned char,bool&)), this,
            SLOT(slot_do_cmd_id_output_en(unsigned char,bool&)), blocking);
    connect(this, SIGNAL(signalOutputFormat(unsigned char,bool&)), this,
            SLOT(slot_do_cmd_id_output_format(unsigned char,bool&)), blocking);
    connect(this, SIGNAL(signalRestoreFactory(bool&)), this, SLOT(slot_do_cmd_id_restore_default(bool&)), blocking);
    connect(this, SIGNAL(signalSampleTrig(unsigned short&,bool&)), this,
            SLOT(slot_do_cmd_id_sample_trig(unsigned short&,bool&)), blocking);
    connect(this, SIGNAL(signalTransType(unsigned char,bool&)), this,
            SLOT(slot_do_cmd_id_trans_type_config(unsigned char,bool&)), blocking);
    connect(this, SIGNAL(signalUpgrade(const QString,unsigned int)), this,
            SLOT(slot_do_cmd_id_upgrade(const QString,unsigned int)));
    connect(this, SIGNAL(signal_modbus_enable(bool&)), this, SLOT(slot_do_cmd_id_modbus_enable(bool&)), blocking);
    connect(this, SIGNAL(signal_modbus_dev_addr_set(unsigned char,bool&)), this,
            SLOT(slot_do_cmd_id_modbus_dev_addr_set(unsigned char,bool&)), blocking);
    connect(this, SIGNAL(signal_mb_baudrage_set(unsigned char,unsigned int,bool&)), this,
            SLOT(slot_do_cmd_id_mb_baudrate_config(unsigned char,unsigned int,bool&)), blocking);
    connect(this, SIGNAL(signal_mb_dev_addr_set(unsigned char,unsigned char,bool&)), this,
            SLOT(slot_do_cmd_id_mb_dev_addr_config(unsigned char,unsigned char,bool&)), blocking);
    connect(this, SIGNAL(signal_mb_get_dist(unsigned char,unsigned short&,bool&)), this,
            SLOT(slot_do_cmd_id_mb_get_dist(unsigned char,unsigned short&,bool&)), blocking);
    connect(this, SIGNAL(signal_mb_modbus_disable(unsigned char,bool&)), this,
            SLOT(slot_do_cmd_id_mb_modbus_disable(unsigned char,bool&)), blocking);
    connect(this, SIGNAL(signal_mb_save_config(unsigned char,bool&)), this,
            SLOT(slot_do_cmd_id_mb_save_config(unsigned char,bool&)), blocking);

    // A device that vanishes (adapter unplugged) leaves the port open but dead:
    // either the read fails with a resource error, or the hung-up line reads
    // end-of-file over and over, which the port reports as a burst of read
    // errors while its notifier spins. Close it in the worker's thread, after
    // the port has finished its error report, so nothing spins and
    // isPortOpen() tells the truth.
    connect(serialPort, &QSerialPort::errorOccurred, this,
            [this, burst = 0, since = QElapsedTimer()](QSerialPort::SerialPortError error) mutable {
        if (error == QSerialPort::ReadError) {
            if (!since.isValid() || since.elapsed() > 100) {
                since.start();
                burst = 0;
            }
            if (++burst < 10)
                return; // a lone read error is no lost device
        } else if (error != QSerialPort::ResourceError) {
            return;
        }
        since.invalidate();
        burst = 0;
        QMetaObject::invokeMethod(this, [this] {
            // A reopen queued before this call clears the error: leave that port alone.
            const QSerialPort::SerialPortError e = serialPort->error();
            if (!serialPort->isOpen() || (e != QSerialPort::ReadError && e != QSerialPort::ResourceError))
                return;
            qDebug() << "receiver::errorOccurred" << "device lost:" << serialPort->errorString();
            serialPort->close();
            portOpen.store(false);
        }, Qt::QueuedConnection);
    });

    distNum.store(10, std::memory_order_relaxed);
    frameRate = 0;
}

bool receiver::event(QEvent *e)
{
    if (e->type() != QEvent::MetaCall)
        return QObject::event(e);
    handoff::acquire();
    const bool done = QObject::event(e);
    handoff::release();
    return done;
}

// The port and the rate timer have no parent (they are moved to the worker's
// thread on their own); the worker owns them. The port is closed by then.
receiver::~receiver()
{
    delete serialPort;
    delete freqTimer;
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
        qDebug() << "receiver::slotOpen" << "opened success";
        freqTimer->start(1000);
        frameCount = 0;
        portOpen.store(true);
        _result = true;
    } else {
        qDebug() << "receiver::slotOpen" << "opened fail";
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
