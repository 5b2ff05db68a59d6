// Modbus RTU operations of the worker, and the two ordinary-frame operations
// that switch the sensor's Modbus protocol on and set its address.

#include "receiver.h"
#include "command_frame.h"
#include "exchange_steps.h"
#include "modbus_frame.h"

#include <QDebug>
#include <QMetaObject>
#include <QSerialPort>
#include <QThread>

namespace {

// Write exchange: the request up to twice, the reply is its exact echo.
bool modbusWrite(receiver &worker, const QByteArray &request)
{
    return exchange::writeUntilAcked(worker, request, request, exchange::kModbusWriteAttempts);
}

bool modbusWriteLogged(receiver &worker, const QByteArray &request, const char *tag)
{
    exchange::logFrame(tag, request, true);
    return modbusWrite(worker, request);
}

// Read exchange: the request once, the reply found by its header and length
// over two passes and accepted only with a matching CRC.
bool modbusRead(QSerialPort *port, uint8_t devAddr, uint16_t reg, uint16_t count, int waitMs,
                const char *tag, QByteArray &reply)
{
    const QByteArray request = modbusframe::readRequest(devAddr, reg, count);
    exchange::logFrame(tag, request, true);
    exchange::send(port, request, waitMs);
    reply = exchange::collectReply(port, modbusframe::readReplyHeader(devAddr, count),
                               modbusframe::readReplyLength(count), exchange::kModbusReadPasses, waitMs);
    if (reply.isEmpty())
        return false;
    uint16_t calc = 0;
    uint16_t received = 0;
    if (!modbusframe::replyCrcOk(reply, &calc, &received)) {
        qDebug() << "error: crc error! calc:" << calc << ", ack:" << received;
        return false;
    }
    return true;
}

} // namespace

// Ordinary command frames (sensor protocol), up to five attempts.

void receiver::slot_do_cmd_id_modbus_enable(bool &result)
{
    result = false;
    detachParser();
    const QByteArray frame = commandframe::frameU8(commandframe::IdModbusEnable, 0x00);
    exchange::logFrame("receiver::slot_do_cmd_id_modbus_enable", frame, true);
    result = exchange::writeUntilAcked(*this, frame, commandframe::statusAck(commandframe::IdModbusEnable),
                                   exchange::kModbusFrameAttempts);
    attachParser();
}

void receiver::slot_do_cmd_id_modbus_dev_addr_set(unsigned char dev_addr, bool &result)
{
    result = false;
    detachParser();
    const QByteArray frame = commandframe::frameU8(commandframe::IdModbusDevAddr, dev_addr);
    exchange::logFrame("receiver::slot_do_cmd_id_modbus_dev_addr_set", frame, true);
    result = exchange::writeUntilAcked(*this, frame, commandframe::statusAck(commandframe::IdModbusDevAddr),
                                   exchange::kModbusFrameAttempts);
    attachParser();
}

// Modbus RTU, signal-driven (worker's thread).

void receiver::slot_do_cmd_id_mb_baudrate_config(unsigned char dev_addr, unsigned int baudrate,
                                                 bool &result)
{
    result = false;
    detachParser();
    const QByteArray high = modbusframe::writeRequest(dev_addr, modbusframe::RegBaudHigh, uint16_t(baudrate >> 16));
    const QByteArray low = modbusframe::writeRequest(dev_addr, modbusframe::RegBaudLow, uint16_t(baudrate & 0xFFFF));
    exchange::logFrame("receiver::slot_do_cmd_id_mb_baudrate_config", high, true);
    exchange::logFrame("receiver::slot_do_cmd_id_mb_baudrate_config", low, true);
    // The low half is only sent once the high half has been taken.
    if (modbusWrite(*this, high))
        result = modbusWrite(*this, low);
    attachParser();
}

void receiver::slot_do_cmd_id_mb_dev_addr_config(unsigned char dev_addr, unsigned char mb_dev_addr,
                                                 bool &result)
{
    result = false;
    detachParser();
    result = modbusWriteLogged(*this, modbusframe::writeRequest(dev_addr, modbusframe::RegDevAddr, mb_dev_addr),
                               "receiver::slot_do_cmd_id_mb_dev_addr_config");
    attachParser();
}

void receiver::slot_do_cmd_id_mb_get_dist(unsigned char dev_addr, unsigned short &dist, bool &result)
{
    result = false;
    detachParser();
    QByteArray reply;
    if (modbusRead(serialPort, dev_addr, modbusframe::RegDistance, 1, protocolTiming().replyWaitMs,
                   "receiver::slot_do_cmd_id_mb_get_dist", reply)) {
        dist = modbusframe::decodeDistance(reply);
        qDebug() << "dist: " << dist;
        result = true;
    }
    attachParser();
}

void receiver::slot_do_cmd_id_mb_modbus_disable(unsigned char dev_addr, bool &result)
{
    result = false;
    detachParser();
    result = modbusWriteLogged(*this, modbusframe::writeRequest(dev_addr, modbusframe::RegModbusOff, 0x0001),
                               "receiver::slot_do_cmd_id_mb_modbus_disable");
    attachParser();
}

void receiver::slot_do_cmd_id_mb_save_config(unsigned char dev_addr, bool &result)
{
    result = false;
    detachParser();
    result = modbusWriteLogged(*this, modbusframe::writeRequest(dev_addr, modbusframe::RegSaveConfig, 0x0000),
                               "receiver::slot_do_cmd_id_mb_save_config");
    attachParser();
}

// Wrappers of the signal-driven operations (window's thread, blocking).

bool receiver::send_cmd_id_mb_baudrate_config(unsigned char dev_addr, unsigned int baudrate)
{
    bool result = false;
    emit signal_mb_baudrage_set(dev_addr, baudrate, result);
    return result;
}

bool receiver::send_cmd_id_mb_dev_addr_config(unsigned char dev_addr, unsigned char mb_dev_addr)
{
    bool result = false;
    emit signal_mb_dev_addr_set(dev_addr, mb_dev_addr, result);
    return result;
}

bool receiver::send_cmd_id_mb_get_dist(unsigned char dev_addr, unsigned short &dist)
{
    bool result = false;
    emit signal_mb_get_dist(dev_addr, dist, result);
    return result;
}

bool receiver::send_cmd_id_mb_modbus_disable(unsigned char dev_addr)
{
    bool result = false;
    emit signal_mb_modbus_disable(dev_addr, result);
    return result;
}

bool receiver::send_cmd_id_mb_save_config(unsigned char dev_addr)
{
    bool result = false;
    emit signal_mb_save_config(dev_addr, result);
    return result;
}

bool receiver::send_cmd_id_modbus_enable()
{
    bool result = false;
    emit signal_modbus_enable(result);
    return result;
}

bool receiver::send_cmd_id_modbus_dev_addr_set(unsigned char addr)
{
    bool result = false;
    emit signal_modbus_dev_addr_set(addr, result);
    return result;
}

// Plain methods called directly by the window; the exchange runs in the
// worker's thread all the same.

bool receiver::send_cmd_id_modbus_get_version(unsigned char dev_addr, QString &version)
{
    bool result = false;
    runInWorkerThread([&]() {
        detachParser();
        QByteArray reply;
        if (modbusRead(serialPort, dev_addr, modbusframe::RegVersion, 2, protocolTiming().replyWaitMs,
                       "receiver::send_cmd_id_modbus_get_version", reply)) {
            version = modbusframe::decodeVersion(reply);
            qDebug() << "verion: " << version;
            result = true;
        }
        attachParser();
    });
    return result;
}

bool receiver::send_cmd_id_modbus_reboot(unsigned char dev_addr)
{
    bool result = false;
    runInWorkerThread([&]() {
        detachParser();
        result = modbusWriteLogged(*this, modbusframe::writeRequest(dev_addr, modbusframe::RegPower, 0x0001),
                                   "receiver::send_cmd_id_modbus_reboot");
        attachParser();
    });
    return result;
}

bool receiver::send_cmd_id_modbus_set_fps(unsigned char dev_addr, int fps)
{
    bool result = false;
    runInWorkerThread([&]() {
        detachParser();
        result = modbusWriteLogged(*this,
                                   modbusframe::writeRequest(dev_addr, modbusframe::RegFrameRate, uint16_t(fps & 0xFFFF)),
                                   "receiver::send_cmd_id_modbus_set_fps");
        attachParser();
    });
    return result;
}

bool receiver::send_cmd_id_modbus_shutdown(unsigned char dev_addr)
{
    bool result = false;
    runInWorkerThread([&]() {
        detachParser();
        result = modbusWriteLogged(*this, modbusframe::writeRequest(dev_addr, modbusframe::RegPower, 0x0000),
                                   "receiver::send_cmd_id_modbus_shutdown");
        attachParser();
    });
    return result;
}

unsigned short receiver::calc_crc16(const unsigned char *data, int n)
{
    if (!data || n <= 0)
        return 0xFFFF;   // the CRC of no bytes
    return modbusframe::crc16(data, std::size_t(n));
}
