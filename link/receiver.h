#ifndef RECEIVER_H
#define RECEIVER_H

// The worker that owns the serial port to the sensor. It lives in a thread of
// its own; the window reaches it only through the public methods below, each of
// which emits one of the worker's signals. The command signals are connected to
// the worker's own slots with Qt::BlockingQueuedConnection, so the calling
// thread waits until the slot has written the result flag.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QVector>
#include <atomic>
#include <cstdint>

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

    // CRC-16/MODBUS of the first n bytes; the low byte is sent first.
    static unsigned short calc_crc16(const unsigned char *data, int n);

    // Firmware transfer: returns at once, the transfer runs queued in the
    // worker's thread and reports through sigUpdateProcessbar/signalUpgradeResult.
    void upgrade(QString fullpath, unsigned int upgrade_frame_length);

protected:
    // Queued calls arrive here; ThreadSanitizer builds mark the hand-over.
    bool event(QEvent *e) override;

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
    void signalMapTypeSet(uchar _enabled, bool &_result);
    void signal_mb_baudrage_set(uchar dev_addr, uint baudrate, bool &result);
    void signal_mb_dev_addr_set(uchar dev_addr, uchar mb_dev_addr, bool &result);
    void signal_mb_get_dist(uchar dev_addr, unsigned short &dist, bool &result);
    void signal_mb_modbus_disable(uchar dev_addr, bool &result);
    void signal_mb_save_config(uchar dev_addr, bool &result);
    void signal_modbus_enable(bool &result);
    void signal_modbus_dev_addr_set(uchar dev_addr, bool &result);

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
    // Waits for the exact acknowledgement bytes (two waits of 1000 ms).
    bool read_ack(QByteArray ack);

private:
    // Command exchange (protocol/exchange.cpp): detach the parser, write the
    // frame up to twice and wait for `ack` each time, reattach the parser.
    void runCommandExchange(const QByteArray &frame, const QByteArray &ack,
                            const char *tag, bool &result);
    // Query exchange: write once, collect up to `passes` chunks and cut out a
    // reply of `replyLength` bytes starting at `header`. Empty on failure.
    QByteArray runQueryExchange(const QByteArray &frame, const QByteArray &header,
                                int replyLength, int passes, const char *tag);
    void detachParser();
    void attachParser();
    // Runs `fn` in the worker's thread and waits for it (used by the plain
    // Modbus methods that the window calls directly).
    template <typename Fn> void runInWorkerThread(Fn fn);

    std::atomic<int> distNum;
    std::atomic<bool> portOpen;

public:
    // Parser state; touched only in the worker's thread.
    QByteArray rxBuffer;
    QByteArray frameHeader;
    QVector<uint16_t> distBuffer;
    int frameCount;
    int frameRate;
};

#endif // RECEIVER_H
