// SPDX-License-Identifier: GPL-3.0-or-later
// Modbus RTU operations of the worker, and the two ordinary-frame operations
// that switch the sensor's Modbus protocol on and set its address.

#include "receiver.h"
#include "exchange_steps.h"
#include "log_categories.h"

#include <QSerialPort>

using namespace commandtable;

// Write exchange: the request up to twice, the reply is its exact echo.
bool receiver::runModbusWrite(const QByteArray &request, const char *tag)
{
    const ParserDetached detached(*this);
    if (tag)
        exchange::logFrame(tag, request, true, lcModbus);
    const bool ok = writeUntilAcked(request, request, exchange::kModbusWriteAttempts);
    // The baud-rate pair is logged by its caller; it is named here all the same.
    // A write request: address, function, register and value, high bytes first.
    const auto word = [&request](int at) {
        return uint16_t((uint8_t(request.at(at)) << 8) | uint8_t(request.at(at + 1)));
    };
    const bool whole = request.size() >= 6;
    recordTraffic(tag ? tag : MbBaudHigh.logTag, TrafficKind::ModbusWrite, whole ? word(2) : 0, trafficSent, ok,
                  whole ? 1 : 0, whole ? word(4) : 0);
    return ok;
}

// Read exchange: the request once, the reply found by its header (device
// address, function, byte count) and length within three waits and accepted only
// with a matching CRC. Empty when there is none.
QByteArray receiver::runModbusRead(const ModbusRead &read, uint8_t devAddr)
{
    const ParserDetached detached(*this);
    const QByteArray request = modbusframe::readRequest(devAddr, read.reg, read.count);
    exchange::logFrame(read.logTag, request, true, lcModbus);
    exchange::send(serialPort, request, protocolTiming().replyWaitMs);
    trafficReceived.clear();
    const QByteArray reply = exchange::collectReply(
        serialPort, modbusframe::readReplyHeader(devAddr, read.count), modbusframe::readReplyLength(read.count),
        exchange::kModbusReadPasses, protocolTiming().replyWaitMs, lcModbus, &trafficReceived);
    if (reply.isEmpty()) {
        recordTraffic(read.logTag, TrafficKind::ModbusRead, read.reg, request, false);
        return reply;
    }
    uint16_t calc = 0;
    uint16_t received = 0;
    if (!modbusframe::replyCrcOk(reply, &calc, &received)) {
        qCDebug(lcModbus) << "error: crc error! calc:" << calc << ", ack:" << received;
        recordTraffic(read.logTag, TrafficKind::ModbusRead, read.reg, request, false);
        return QByteArray();
    }
    recordTraffic(read.logTag, TrafficKind::ModbusRead, read.reg, request, true);
    return reply;
}

// Ordinary command frames (sensor protocol), up to five attempts.

void receiver::slot_do_cmd_id_modbus_enable(bool &result) { result = runCommand(ModbusEnable, 0x00); }

void receiver::slot_do_cmd_id_modbus_dev_addr_set(unsigned char dev_addr, bool &result)
{
    result = runCommand(ModbusDevAddr, dev_addr);
}

// Modbus RTU, signal-driven (worker's thread).

void receiver::slot_do_cmd_id_mb_baudrate_config(unsigned char dev_addr, unsigned int baudrate,
                                                 bool &result)
{
    const ParserDetached detached(*this);
    const QByteArray high = requestOf(MbBaudHigh, dev_addr, uint16_t(baudrate >> 16));
    const QByteArray low = requestOf(MbBaudLow, dev_addr, uint16_t(baudrate & 0xFFFF));
    // Both frames are logged before either is written.
    exchange::logFrame(MbBaudHigh.logTag, high, true, lcModbus);
    exchange::logFrame(MbBaudLow.logTag, low, true, lcModbus);
    result = runModbusWrite(high, nullptr) && runModbusWrite(low, nullptr);
}

void receiver::slot_do_cmd_id_mb_dev_addr_config(unsigned char dev_addr, unsigned char mb_dev_addr,
                                                 bool &result)
{
    result = runModbusWrite(requestOf(MbDevAddr, dev_addr, mb_dev_addr), MbDevAddr.logTag);
}

void receiver::slot_do_cmd_id_mb_get_dist(unsigned char dev_addr, unsigned short &dist, bool &result)
{
    const QByteArray reply = runModbusRead(MbDistance, dev_addr);
    result = !reply.isEmpty();
    if (result) {
        dist = modbusframe::decodeDistance(reply);
        qCDebug(lcModbus) << "dist: " << dist;
    }
}

void receiver::slot_do_cmd_id_mb_modbus_disable(unsigned char dev_addr, bool &result)
{
    result = runModbusWrite(requestOf(MbModbusOff, dev_addr), MbModbusOff.logTag);
}

void receiver::slot_do_cmd_id_mb_save_config(unsigned char dev_addr, bool &result)
{
    result = runModbusWrite(requestOf(MbSaveConfig, dev_addr), MbSaveConfig.logTag);
}

// Wrappers of the signal-driven operations (window's thread, blocking).

bool receiver::send_cmd_id_mb_modbus_disable(unsigned char dev_addr)
{
    return resultOf(&receiver::signal_mb_modbus_disable, dev_addr);
}

bool receiver::send_cmd_id_mb_save_config(unsigned char dev_addr)
{
    return resultOf(&receiver::signal_mb_save_config, dev_addr);
}

bool receiver::send_cmd_id_mb_get_dist(unsigned char dev_addr, unsigned short &dist)
{
    return resultOf(&receiver::signal_mb_get_dist, dev_addr, dist);
}

bool receiver::send_cmd_id_mb_baudrate_config(unsigned char dev_addr, unsigned int baudrate)
{
    return resultOf(&receiver::signal_mb_baudrage_set, dev_addr, baudrate);
}

bool receiver::send_cmd_id_mb_dev_addr_config(unsigned char dev_addr, unsigned char mb_dev_addr)
{
    return resultOf(&receiver::signal_mb_dev_addr_set, dev_addr, mb_dev_addr);
}

bool receiver::send_cmd_id_modbus_enable() { return resultOf(&receiver::signal_modbus_enable); }

bool receiver::send_cmd_id_modbus_dev_addr_set(unsigned char addr)
{
    return resultOf(&receiver::signal_modbus_dev_addr_set, addr);
}

// Plain methods called directly by the window; the exchange runs in the
// worker's thread all the same.

bool receiver::send_cmd_id_modbus_get_version(unsigned char dev_addr, QString &version)
{
    return resultInWorker([&] {
        const QByteArray reply = runModbusRead(MbVersion, dev_addr);
        if (reply.isEmpty())
            return false;
        version = modbusframe::decodeVersion(reply);
        qCDebug(lcModbus) << "verion: " << version;
        return true;
    });
}

bool receiver::send_cmd_id_modbus_reboot(unsigned char dev_addr)
{
    return resultInWorker([&] { return runModbusWrite(requestOf(MbReboot, dev_addr), MbReboot.logTag); });
}

bool receiver::send_cmd_id_modbus_shutdown(unsigned char dev_addr)
{
    return resultInWorker([&] { return runModbusWrite(requestOf(MbShutdown, dev_addr), MbShutdown.logTag); });
}

bool receiver::send_cmd_id_modbus_set_fps(unsigned char dev_addr, int fps)
{
    return resultInWorker([&] {
        return runModbusWrite(requestOf(MbFrameRate, dev_addr, uint16_t(fps & 0xFFFF)), MbFrameRate.logTag);
    });
}

unsigned short receiver::calc_crc16(const unsigned char *data, int n)
{
    if (!data || n <= 0)
        return 0xFFFF;   // the CRC of no bytes
    return modbusframe::crc16(data, std::size_t(n));
}
