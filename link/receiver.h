// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef RECEIVER_H
#define RECEIVER_H

// The worker that owns the serial port to the sensor. It lives in a thread of
// its own; the window reaches it only through the public methods below, each of
// which emits one of the worker's signals. Every command signal runs its slot
// in the worker's thread while the emitter waits, so the calling thread reads
// the result flag the slot has written.

#include "command_table.h"
#include "measurement_parser.h"
#include "port_access.h"
#include "protocol_timing.h"
#include "traffic_entry.h"

#include <QByteArray>
#include <QDebug>
#include <QMetaObject>
#include <QObject>
#include <QString>
#include <QThread>
#include <QVector>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>

class QSerialPort;
class QTimer;

class receiver : public QObject
{
    Q_OBJECT

public:
    explicit receiver(QObject *parent = nullptr);
    ~receiver() override;

    QSerialPort *serialPort;
    QTimer *freqTimer;

    // Port lifecycle (GUI thread).
    bool openPort(QString portName, int baudRate);
    bool closePort();
    bool isPortOpen();

    // Why the last openPort() failed (any thread; None after a success).
    OpenFailure lastOpenFailure() const { return openFailure.load(); }

    // When the device vanishes while connected the port is closed and, with
    // auto-reconnect on (the default), the worker checks once a second
    // whether the same port is back and opens it again at the same rate.
    // closePort() or another openPort() ends the waiting. Any thread.
    void setAutoReconnect(bool on);
    bool autoReconnect() const { return reconnectEnabled.load(); }
    bool isWaitingForDevice() const { return waitingForDevice.load(); }
    // Reopenings since the operator's last openPort().
    int reconnectCount() const { return reconnects.load(); }
    // The line's health since the operator's last openPort() (blocking; runs
    // in the worker's thread).
    LineHealth lineHealth();

    // Batch threshold written by the GUI thread, read by the parser.
    void setDistNum(int n) { distNum.store(n, std::memory_order_relaxed); }
    int getDistNum() const { return distNum.load(std::memory_order_relaxed); }

    // Configuration command wrappers (GUI thread, blocking).
    bool send_cmd_id_soft_reset();
    bool send_cmd_id_restore_default();
    bool send_cmd_id_save_settings();
    QString send_cmd_id_version(bool &result);
    QString send_cmd_id_full_version(bool &result);
    bool send_cmd_id_sample_trig(unsigned short &dist);
    bool send_cmd_id_frame_rate(unsigned short fps);
    bool send_cmd_id_output_format(unsigned char format);
    bool send_cmd_id_baud_rate(unsigned int baudrate);
    bool send_cmd_id_output_en(unsigned char enabled);
    bool send_cmd_id_frame_checksum_en(unsigned char enabled);
    bool send_cmd_id_trans_type_config(unsigned char type);
    bool send_cmd_id_fog_feature_enable(unsigned char enabled);
    bool send_cmd_id_dac_map_type(unsigned char type);
    bool send_cmd_id_gain_adjust_enable(unsigned char enable);
    bool send_cmd_id_can_snd_id(unsigned int id);
    bool send_cmd_id_can_rcv_id(unsigned int id);
    bool send_cmd_id_can_baudrate(unsigned int baudrate);
    bool send_cmd_id_can_frame_type_config(unsigned char type);
    bool send_cmd_id_near_io_value(unsigned char value);
    bool send_cmd_id_io_delay(unsigned short value1, unsigned short value2);
    bool send_cmd_id_dist_io_threshold(unsigned short value1, unsigned short value2);
    bool send_cmd_id_offset_config(unsigned short offset);

    // Modbus (GUI thread, blocking).
    bool send_cmd_id_mb_baudrate_config(unsigned char dev_addr, unsigned int baudrate);
    bool send_cmd_id_mb_dev_addr_config(unsigned char dev_addr, unsigned char mb_dev_addr);
    bool send_cmd_id_mb_get_dist(unsigned char dev_addr, unsigned short &dist);
    bool send_cmd_id_mb_modbus_disable(unsigned char dev_addr);
    bool send_cmd_id_mb_save_config(unsigned char dev_addr);
    bool send_cmd_id_modbus_enable();
    bool send_cmd_id_modbus_dev_addr_set(unsigned char addr);
    bool send_cmd_id_modbus_get_version(unsigned char dev_addr, QString &version);
    bool send_cmd_id_modbus_reboot(unsigned char dev_addr);
    bool send_cmd_id_modbus_set_fps(unsigned char dev_addr, int fps);
    bool send_cmd_id_modbus_shutdown(unsigned char dev_addr);

    // Bounds of the exchanges (any thread). The viewer runs with the
    // protocol's own; tests may shorten them.
    ProtocolTiming protocolTiming() const;
    void setProtocolTiming(const ProtocolTiming &timing);

    // Runs `fn` in the worker's thread and waits for it; runs it at once when
    // called there, and not at all when the thread does not run (nobody would
    // run it and the caller would wait forever).
    template <typename Fn> void runInWorkerThread(Fn fn);

    // Now on the monotonic clock, in milliseconds, the same in every thread.
    static qint64 steadyMs();

    // CRC-16/MODBUS of the first n bytes; the low byte is sent first.
    static unsigned short calc_crc16(const unsigned char *data, int n);

    // Firmware transfer: returns at once, the transfer runs queued in the
    // worker's thread and reports through sigUpdateProcessbar/signalUpgradeResult.
    void upgrade(QString fullpath, unsigned int upgrade_frame_length);
    // Asks the firmware transfer in progress, and those already queued behind
    // it, to stop (any thread; returns at once). The transfer sees the request
    // between frames and within one wait step (ProtocolTiming::upgradeWaitStepMs),
    // reattaches the parser and reports one failure; a queued one reports its
    // failure without sending a byte. Transfers started later run as usual.
    void cancelUpgrade();

    // Why a firmware transfer failed: signalUpgradeFailed says it just before
    // signalUpgradeResult(false).
    enum class UpgradeFailure {
        FileMissing,        // no such file, or not a regular file
        FileUnreadable,     // it cannot be opened or read
        FileEmpty,          // nothing to send
        FileTooLarge,       // more frames than the frame index can number
        PortClosed,         // no port open at the start
        NoAcknowledgement,  // frame `frame` was not acknowledged within its bound
        PortLost,           // the port failed (unplugged) during the transfer
        Cancelled,          // cancelUpgrade()
    };
    Q_ENUM(UpgradeFailure)

signals:
    void signalRun();
    void signalOpen(QString _serialSelected, int _baudRate, bool &_result);
    void signalDistance(QVector<uint16_t> _dist, int _freq);
    void signalClose(bool &_result);
    void signalReset(bool &_result);
    void signalSampleTrig(unsigned short &_dist, bool &_result);
    void signalOutputFormat(uchar _format, bool &_result);
    void signalBaudrate(uint _baudrate, bool &_result);
    void signalOutputEnabled(uchar _enabled, bool &_result);
    void signalChecksumEnabled(uchar _enabled, bool &_result);
    void signalRestoreFactory(bool &_result);
    void signalSaveSetting(bool &_result);
    void signalTransType(uchar _type, bool &_result);
    void signalUpgrade(const QString fullpath, uint upgrade_frame_length);
    void signalGainAdjustEnabled(uchar _enabled, bool &_result);
    void signalCanSndId(uint _id, bool &_result);
    void signalCanRcvId(uint _id, bool &_result);
    void signalCanBaudrate(uint _baudrate, bool &_result);
    void signalVersion(unsigned char *_version, bool &_result);
    void signalFullVersion(unsigned char *_version, bool &_result);
    void signalFrameRate(uint _fps, bool &_result);
    void signalCustom(uchar _custom, bool &_result);
    void signalCANFrameType(uchar _type, bool &_result);
    void signalIOThreshold(ushort _v1, ushort _v2, bool &_result);
    void signalIOValue(uchar _v, bool &_result);
    void signalIODelay(ushort _v1, ushort _v2, bool &_result);
    void signalFogFeatureEnabled(uchar _enabled, bool &_result);
    void signalOffset(ushort _ofs, bool &_result);
    void sigUpdateProcessbar(float);
    void signalUpgradeResult(bool);
    // `frame`: the frame the transfer stopped at (0, the header, for a
    // failure before any frame).
    void signalUpgradeFailed(receiver::UpgradeFailure reason, uint frame);
    void signalMapTypeSet(uchar _enabled, bool &_result);
    void signal_mb_baudrage_set(uchar dev_addr, uint baudrate, bool &result);
    void signal_mb_dev_addr_set(uchar dev_addr, uchar mb_dev_addr, bool &result);
    void signal_mb_get_dist(uchar dev_addr, unsigned short &dist, bool &result);
    void signal_mb_modbus_disable(uchar dev_addr, bool &result);
    void signal_mb_save_config(uchar dev_addr, bool &result);
    void signal_modbus_enable(bool &result);
    void signal_modbus_dev_addr_set(uchar dev_addr, bool &result);
    // The device has gone (the port is closed by now; every distance parsed
    // before went out in a last signalDistance first). `waiting`: the worker
    // waits for it to come back. `atMs`: when the worker found it gone, on
    // the steady clock (steadyMs()), so that the time away is the worker's,
    // however late a busy receiver takes the news.
    void signalDeviceLost(bool waiting, qint64 atMs);
    // The port is open again after a loss; `count` reopenings so far; `atMs`
    // as above.
    void signalReconnected(int count, qint64 atMs);
    // The waiting for a lost device ended without it (closePort, openPort,
    // or auto-reconnect turned off).
    void signalReconnectStopped();
    // The line's health: once a second while connected, and at a connect.
    void signalLineHealth(LineHealth health);
    // One command exchange, once it is over.
    void signalTraffic(TrafficEntry entry);
    // Carries a runInWorkerThread call to the worker's thread.
    void signalWorkerCall(QPrivateSignal);

public slots:
    void slotOpen(QString _serialSelected, int _baudRate, bool &_result);
    void slotClose(bool &_result);
    void slotReceiver();
    void slotCalcFreq();

    void slot_do_cmd_id_soft_reset(bool &result);
    void slot_do_cmd_id_version(unsigned char *ba_version, bool &result);
    void slot_do_cmd_id_full_version(unsigned char *ba_version, bool &result);
    void slot_do_cmd_id_frame_rate(unsigned int fps, bool &result);
    void slot_do_cmd_id_sample_freq(unsigned int freq, bool &result);
    void slot_do_cmd_id_save_settings(bool &result);
    void slot_do_cmd_id_baud_rate(unsigned int baudrate, bool &result);
    void slot_do_cmd_id_can_baudrate(unsigned int value, bool &result);
    void slot_do_cmd_id_can_frame_type_config(unsigned char type, bool &result);
    void slot_do_cmd_id_can_rcv_id(unsigned int value, bool &result);
    void slot_do_cmd_id_can_snd_id(unsigned int value, bool &result);
    void slot_do_cmd_id_frame_checksum_en(unsigned char is_enabled, bool &result);
    void slot_do_cmd_id_Custom_choise(unsigned char custom, bool &result);
    void slot_do_cmd_id_fog_feature_enable(unsigned char enable, bool &result);
    void slot_do_cmd_id_dac_map_type(unsigned char type, bool &result);
    void slot_do_cmd_id_gain_adjust_enable(unsigned char enable, bool &result);
    void slot_do_cmd_id_io_delay(unsigned short value1, unsigned short value2, bool &result);
    void slot_do_cmd_id_dist_io_threshold(unsigned short value1, unsigned short value2, bool &result);
    void slot_do_cmd_id_near_io_value(unsigned char value, bool &result);
    void slot_do_cmd_id_offset_config(unsigned short value, bool &result);
    void slot_do_cmd_id_output_en(unsigned char is_enabled, bool &result);
    void slot_do_cmd_id_output_format(unsigned char format, bool &result);
    void slot_do_cmd_id_restore_default(bool &result);
    void slot_do_cmd_id_sample_trig(unsigned short &dist, bool &result);
    void slot_do_cmd_id_trans_type_config(unsigned char trans, bool &result);
    void slot_do_cmd_id_upgrade(const QString fullpath, unsigned int upgrade_frame_length);

    void slot_do_cmd_id_modbus_enable(bool &result);
    void slot_do_cmd_id_modbus_dev_addr_set(unsigned char dev_addr, bool &result);
    void slot_do_cmd_id_mb_baudrate_config(unsigned char dev_addr, unsigned int baudrate, bool &result);
    void slot_do_cmd_id_mb_dev_addr_config(unsigned char dev_addr, unsigned char mb_dev_addr, bool &result);
    void slot_do_cmd_id_mb_get_dist(unsigned char dev_addr, unsigned short &dist, bool &result);
    void slot_do_cmd_id_mb_modbus_disable(unsigned char dev_addr, bool &result);
    void slot_do_cmd_id_mb_save_config(unsigned char dev_addr, bool &result);

public:
    // Waits for the exact acknowledgement bytes, over every chunk that
    // arrives within two waits of ProtocolTiming::ackWaitMs.
    bool read_ack(QByteArray ack);

    // The measurement parser's state (worker's thread only), for tests and
    // diagnostics.
    struct StreamState
    {
        int bufferedBytes;      // received bytes not yet consumed
        int pendingDistances;   // parsed since the last batch
        int pendingCapacity;    // room reserved for them
        int frameCount;         // good frames since the last rate tick
        int frameRate;          // frames in the last full rate period
    };
    StreamState streamState() const;

private:
    // Detaches the measurement parser from the port for the life of a scope,
    // so that an exchange has the incoming bytes to itself, and attaches it
    // again on every way out. Scopes nest: the outermost one attaches.
    class ParserDetached
    {
    public:
        explicit ParserDetached(receiver &worker) : worker(worker)
        {
            if (worker.parserDetachDepth++ == 0)
                worker.detachParser();
        }
        ~ParserDetached()
        {
            if (--worker.parserDetachDepth == 0)
                worker.attachParser();
        }
        ParserDetached(const ParserDetached &) = delete;
        ParserDetached &operator=(const ParserDetached &) = delete;

    private:
        receiver &worker;
    };
    void detachParser();
    void attachParser();

    // The exchanges of the table's entries (protocol/exchange.cpp): a command
    // written until acknowledged; a query written once, its reply cut out of
    // what arrives (empty on failure).
    bool runCommand(const commandtable::Command &command, uint32_t first = 0, uint32_t second = 0);
    QByteArray runQuery(const commandtable::Query &query);
    bool writeUntilAcked(const QByteArray &request, const QByteArray &ack, int attempts);
    // Modbus RTU (protocol/modbus.cpp): a write acknowledged by its echo, a
    // read whose reply must carry the device's address and a good CRC.
    bool runModbusWrite(const QByteArray &request, const char *tag);
    QByteArray runModbusRead(const commandtable::ModbusRead &read, uint8_t devAddr);
    // Firmware transfer (protocol/upgrade.cpp): the image in frames of L bytes.
    // On failure `failure` and `frame` say why and where.
    bool transferImage(const QByteArray &image, unsigned L, UpgradeFailure &failure, unsigned &frame);
    void reportUpgradeFailure(UpgradeFailure failure, unsigned frame);

    // A wrapper's body: emits `signal` with the arguments and a result flag
    // and returns the flag the slot wrote.
    template <typename... SignalArgs, typename... Args>
    bool resultOf(void (receiver::*signal)(SignalArgs...), Args &&...args)
    {
        bool result = false;
        (this->*signal)(std::forward<Args>(args)..., result);
        return result;
    }
    // The body of a plain method: runs `fn` in the worker's thread, returns its result.
    template <typename Fn> bool resultInWorker(Fn fn)
    {
        bool result = false;
        runInWorkerThread([&] { result = fn(); });
        return result;
    }

    // Connects a command signal to its slot: emitted in any thread, the slot
    // runs in the worker's thread and the emitter waits for it, so the
    // arguments and result flags on the emitter's stack are the slot's own.
    template <typename... SignalArgs, typename... SlotArgs>
    void bindBlocking(void (receiver::*signal)(SignalArgs...), void (receiver::*slot)(SlotArgs...))
    {
        connect(this, signal, this, [this, slot](SignalArgs... args) {
            runInWorkerThread([&] { (this->*slot)(args...); });
        }, Qt::DirectConnection);
    }
    void bindBlockingSignals();
    void runPendingCall();
    // Counts failed reads and confirms a lost device after a burst of them.
    void watchForLostDevice();

    // Port opening shared by slotOpen and the reconnect (worker's thread).
    bool openSerial(const QString &name, int baudRate);
    // After an error report: confirm the device is gone before giving it up.
    void checkPortLost();
    void deviceLost();
    void tryReconnect();
    void stopWaiting();
    // Hands the distances parsed so far to the window.
    void flushDistances();
    // The traffic view's record of an exchange (worker's thread).
    // `kind`, `id` and the values name the exchange for the panel (TrafficEntry).
    void recordTraffic(const char *tag, TrafficKind kind, uint16_t id, const QByteArray &sent, bool ok,
                       int valueCount = 0, uint32_t first = 0, uint32_t second = 0, int frames = 0);

    std::atomic<int> distNum;
    std::atomic<bool> portOpen;
    int parserDetachDepth = 0;   // worker's thread only
    // The call runInWorkerThread hands over. Qt passes a blocking queued call
    // to the other thread under locks of its own; these state the hand-over
    // in this code too (the caller's writes before the call, the call's
    // writes before the caller reads on), where tools such as
    // ThreadSanitizer can check it.
    std::mutex callerMutex;                   // one call in flight
    std::mutex callMutex;                     // guards the two below
    std::function<void()> *pendingCall = nullptr;
    bool pendingCallDone = false;
    mutable std::mutex timingMutex;
    ProtocolTiming timing;
    // Raised by cancelUpgrade(), lowered again once the worker has worked
    // through what was queued at that moment.
    std::atomic<bool> upgradeCancel{false};

    std::atomic<OpenFailure> openFailure{OpenFailure::None};
    std::atomic<bool> reconnectEnabled{true};
    std::atomic<bool> waitingForDevice{false};
    std::atomic<int> reconnects{0};
    // Worker's thread only: the port to reopen, the once-a-second check, and
    // what the exchange in progress has written and read (for the traffic view).
    QString openedName;
    int openedBaud = 0;
    QTimer *reconnectTimer = nullptr;
    QByteArray trafficSent;
    QByteArray trafficReceived;

    // Parser state; touched only in the worker's thread.
    LineHealth health;
    QByteArray rxBuffer;
    QByteArray frameHeader;
    QVector<uint16_t> distBuffer;
    int frameCount;
    int frameRate;
};

// runInWorkerThread, the one way into the worker's thread that waits.
#include "receiver_calls.h"

#endif // RECEIVER_H
