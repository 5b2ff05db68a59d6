// SPDX-License-Identifier: GPL-3.0-or-later
// The entries of the settings table: every configuration command the window
// and the command line offer, with its names, values, ranges and texts.

#include "settings_table.h"

#include "receiver.h"

#include <QCoreApplication>

#include <iterator>

namespace settingstable {

namespace {

// QT_TRANSLATE_NOOP marks the window's texts for lupdate in their context.
#define WINDOW_TEXT(text) QT_TRANSLATE_NOOP("MainWindow", text)

constexpr int64_t kU16 = 0xFFFF;
constexpr int64_t kU32 = 0xFFFFFFFFLL;
constexpr Number kNoNumber{nullptr, 0, 0, 0, false};

// The window's item lists, in its order.
constexpr Choice kInterfaces[] = {
    {"serial", WINDOW_TEXT("串口"), true, 1, WINDOW_TEXT("配置串口")},
    {"can", "CAN", false, 2, WINDOW_TEXT("配置CAN口")},
};
// Values 3 and 4 are no output formats of this sensor and are never sent.
constexpr Choice kOutputFormats[] = {
    {"ascii", "ASCII", false, 0, WINDOW_TEXT("配置ASCII码格式")},
    {"binary", "BIN", false, 1, WINDOW_TEXT("配置二进制格式")},
    {"pix", "PIX", false, 2, WINDOW_TEXT("配置PIX")},
    {"io", "IO", false, 5, WINDOW_TEXT("配置IO输出")},
    {"rs485", "RS485", false, 6, WINDOW_TEXT("配置RS485")},
    {"4-20ma", "4-20mA", false, 7, WINDOW_TEXT("配置4-20mA")},
};
constexpr Choice kOutputModes[] = {
    {"trigger", WINDOW_TEXT("触发模式"), true, 0, WINDOW_TEXT("配置触发模式")},
    {"continuous", WINDOW_TEXT("连续模式"), true, 1, WINDOW_TEXT("配置连续模式")},
};
constexpr Choice kChecksum[] = {
    {"disabled", WINDOW_TEXT("不使能"), true, 0, WINDOW_TEXT("配置校验和不使能")},
    {"enabled", WINDOW_TEXT("使能"), true, 1, WINDOW_TEXT("配置校验和使能")},
};
// The sensor's flag is a "disable" bit: enabling the algorithm sends 0. The
// window shows no prefix for it.
constexpr Choice kFogFilter[] = {
    {"disabled", WINDOW_TEXT("不使能"), true, 1, ""},
    {"enabled", WINDOW_TEXT("使能"), true, 0, ""},
};
constexpr Choice kDacMap[] = {
    {"forward", WINDOW_TEXT("正向"), true, 0, WINDOW_TEXT("配置正向映射")},
    {"reverse", WINDOW_TEXT("反向"), true, 1, WINDOW_TEXT("配置反向映射")},
};
// Also a "disable" bit: enabling the gain control sends 0.
constexpr Choice kAutoGain[] = {
    {"disabled", WINDOW_TEXT("不使能"), true, 1, WINDOW_TEXT("配置自动增益不使能")},
    {"enabled", WINDOW_TEXT("使能"), true, 0, WINDOW_TEXT("配置自动增益使能")},
};
constexpr Choice kCanFrameTypes[] = {
    {"standard", WINDOW_TEXT("标准帧"), true, 0, WINDOW_TEXT("配置CAN标准帧")},
    {"extended", WINDOW_TEXT("扩展帧"), true, 1, WINDOW_TEXT("配置CAN扩展帧")},
};
constexpr Choice kCanBaudRates[] = {
    {"1m", "1000000", false, 1000000, WINDOW_TEXT("配置CAN波特率1M")},
    {"500k", "500k", false, 500000, WINDOW_TEXT("配置CAN波特率500K")},
    {"250k", "250k", false, 250000, WINDOW_TEXT("配置CAN波特率250K")},
    {"125k", "125k", false, 125000, WINDOW_TEXT("配置CAN波特率125K")},
};
constexpr Choice kNearIoLevels[] = {
    {"high", WINDOW_TEXT("高电平"), true, 1, WINDOW_TEXT("配置IO近距离高电平")},
    {"low", WINDOW_TEXT("低电平"), true, 0, WINDOW_TEXT("配置IO近距离低电平")},
};

template <std::size_t N> constexpr int count(const Choice (&)[N]) { return int(N); }

uint8_t u8(uint32_t v) { return uint8_t(v); }
uint16_t u16(uint32_t v) { return uint16_t(v); }

// Settings of a choice, of numbers and actions.
Setting choice(const char *name, Group group, const char *summary, const Choice *choices, int n, Apply apply)
{
    return {name, group, Kind::Choice, summary, "", StatusValue::None, choices, n, {kNoNumber, kNoNumber}, 0, apply};
}

Setting numbers(const char *name, Group group, const char *summary, const char *status, StatusValue sv,
                Number first, Number second, int n, Apply apply)
{
    return {name, group, Kind::Numbers, summary, status, sv, nullptr, 0, {first, second}, n, apply};
}

Setting action(const char *name, Group group, const char *summary, const char *status, Apply apply)
{
    return {name, group, Kind::Action, summary, status, StatusValue::None, nullptr, 0, {kNoNumber, kNoNumber}, 0,
            apply};
}

const Setting kSettings[] = {
    // The sensor's settings page.
    numbers("frame-rate", Group::Sensor, "measurement frames per second", WINDOW_TEXT("设置帧率"),
            StatusValue::None, {"FPS", 0, kU16, 16, false}, kNoNumber, 1,
            [](receiver &w, uint8_t, const Values &v) { return w.send_cmd_id_frame_rate(u16(v.first)); }),
    choice("interface", Group::Sensor, "the interface the sensor talks on", kInterfaces, count(kInterfaces),
           [](receiver &w, uint8_t, const Values &v) { return w.send_cmd_id_trans_type_config(u8(v.first)); }),
    choice("output-format", Group::Sensor, "what the sensor outputs", kOutputFormats, count(kOutputFormats),
           [](receiver &w, uint8_t, const Values &v) { return w.send_cmd_id_output_format(u8(v.first)); }),
    numbers("baud-rate", Group::Sensor, "the sensor's serial baud rate", WINDOW_TEXT("配置波特率"),
            StatusValue::Text, {"BAUD", 1, kU32, 32, false}, kNoNumber, 1,
            [](receiver &w, uint8_t, const Values &v) { return w.send_cmd_id_baud_rate(v.first); }),
    choice("output-mode", Group::Sensor, "continuous stream or one distance per trigger", kOutputModes,
           count(kOutputModes),
           [](receiver &w, uint8_t, const Values &v) { return w.send_cmd_id_output_en(u8(v.first)); }),
    choice("checksum", Group::Sensor, "checksum of the command frames", kChecksum, count(kChecksum),
           [](receiver &w, uint8_t, const Values &v) { return w.send_cmd_id_frame_checksum_en(u8(v.first)); }),
    choice("fog-filter", Group::Sensor, "the rain and fog algorithm", kFogFilter, count(kFogFilter),
           [](receiver &w, uint8_t, const Values &v) { return w.send_cmd_id_fog_feature_enable(u8(v.first)); }),
    choice("dac-map", Group::Sensor, "direction of the analogue output's mapping", kDacMap, count(kDacMap),
           [](receiver &w, uint8_t, const Values &v) { return w.send_cmd_id_dac_map_type(u8(v.first)); }),
    action("save", Group::Sensor, "stores the settings in the sensor", WINDOW_TEXT("保存配置"),
           [](receiver &w, uint8_t, const Values &) { return w.send_cmd_id_save_settings(); }),
    // The CAN and IO page.
    action("reset", Group::Sensor, "restarts the sensor", WINDOW_TEXT("复位"),
           [](receiver &w, uint8_t, const Values &) { return w.send_cmd_id_soft_reset(); }),
    action("factory-restore", Group::Sensor, "restores the factory settings", WINDOW_TEXT("恢复出厂设置"),
           [](receiver &w, uint8_t, const Values &) { return w.send_cmd_id_restore_default(); }),
    choice("auto-gain", Group::Sensor, "automatic gain control", kAutoGain, count(kAutoGain),
           [](receiver &w, uint8_t, const Values &v) { return w.send_cmd_id_gain_adjust_enable(u8(v.first)); }),
    choice("can-frame-type", Group::Sensor, "CAN frame format", kCanFrameTypes, count(kCanFrameTypes),
           [](receiver &w, uint8_t, const Values &v) { return w.send_cmd_id_can_frame_type_config(u8(v.first)); }),
    choice("can-baud-rate", Group::Sensor, "CAN bit rate", kCanBaudRates, count(kCanBaudRates),
           [](receiver &w, uint8_t, const Values &v) { return w.send_cmd_id_can_baudrate(v.first); }),
    numbers("can-receive-id", Group::Sensor, "CAN id the sensor listens to", WINDOW_TEXT("配置CAN接收ID"),
            StatusValue::None, {"ID", 0, kU32, 32, true}, kNoNumber, 1,
            [](receiver &w, uint8_t, const Values &v) { return w.send_cmd_id_can_rcv_id(v.first); }),
    numbers("can-send-id", Group::Sensor, "CAN id the sensor sends with", WINDOW_TEXT("配置CAN发送ID"),
            StatusValue::None, {"ID", 0, kU32, 32, true}, kNoNumber, 1,
            [](receiver &w, uint8_t, const Values &v) { return w.send_cmd_id_can_snd_id(v.first); }),
    numbers("offset", Group::Sensor, "distance offset in cm (negative allowed)", WINDOW_TEXT("配置offset"),
            StatusValue::None, {"CM", -32768, 32767, 16, false}, kNoNumber, 1,
            [](receiver &w, uint8_t, const Values &v) { return w.send_cmd_id_offset_config(u16(v.first)); }),
    choice("near-io-level", Group::Sensor, "IO output level when the target is near", kNearIoLevels,
           count(kNearIoLevels),
           [](receiver &w, uint8_t, const Values &v) { return w.send_cmd_id_near_io_value(u8(v.first)); }),
    numbers("io-delay", Group::Sensor, "IO switching delays, near then far", WINDOW_TEXT("配置IO delay"),
            StatusValue::None, {"NEAR", 0, kU16, 16, false},
            {"FAR", 0, kU16, 16, false}, 2,
            [](receiver &w, uint8_t, const Values &v) {
                return w.send_cmd_id_io_delay(u16(v.first), u16(v.second));
            }),
    numbers("io-threshold", Group::Sensor, "IO switching distance and its hysteresis, in cm",
            WINDOW_TEXT("配置IO dist阈值"), StatusValue::None,
            {"THRESHOLD", 0, kU16, 16, false},
            {"BUFFER", 0, kU16, 16, false}, 2,
            [](receiver &w, uint8_t, const Values &v) {
                return w.send_cmd_id_dist_io_threshold(u16(v.first), u16(v.second));
            }),

    // The Modbus page: Modbus RTU to the device at `address`...
    numbers("frame-rate", Group::Modbus, "measurement frames per second", WINDOW_TEXT("设置采样频率"),
            StatusValue::None, {"FPS", 1, 10000, 16, false}, kNoNumber, 1,
            [](receiver &w, uint8_t a, const Values &v) { return w.send_cmd_id_modbus_set_fps(a, int(v.first)); }),
    numbers("baud-rate", Group::Modbus, "the sensor's serial baud rate", WINDOW_TEXT("设置串口波特率"),
            StatusValue::Number, {"BAUD", 1, kU32, 32, false}, kNoNumber, 1,
            [](receiver &w, uint8_t a, const Values &v) { return w.send_cmd_id_mb_baudrate_config(a, v.first); }),
    numbers("address", Group::Modbus, "gives the device a new Modbus address", WINDOW_TEXT("配置modbus地址"),
            StatusValue::Number, {"NEW", 1, 247, 8, false}, kNoNumber, 1,
            [](receiver &w, uint8_t a, const Values &v) { return w.send_cmd_id_mb_dev_addr_config(a, u8(v.first)); }),
    action("save", Group::Modbus, "stores the settings in the sensor", WINDOW_TEXT("保存配置"),
           [](receiver &w, uint8_t a, const Values &) { return w.send_cmd_id_mb_save_config(a); }),
    action("reboot", Group::Modbus, "restarts the sensor", WINDOW_TEXT("重启雷达"),
           [](receiver &w, uint8_t a, const Values &) { return w.send_cmd_id_modbus_reboot(a); }),
    action("shutdown", Group::Modbus, "shuts the sensor down", WINDOW_TEXT("关闭雷达"),
           [](receiver &w, uint8_t a, const Values &) { return w.send_cmd_id_modbus_shutdown(a); }),
    action("disable", Group::Modbus, "switches Modbus off (back to the sensor's own protocol)",
           WINDOW_TEXT("关闭modbus协议"),
           [](receiver &w, uint8_t a, const Values &) { return w.send_cmd_id_mb_modbus_disable(a); }),
    // ... and the two frames of the sensor's own protocol that prepare it.
    action("enable", Group::Modbus, "switches Modbus on (sent in the sensor's own protocol)",
           WINDOW_TEXT("使能modbus协议"),
           [](receiver &w, uint8_t, const Values &) { return w.send_cmd_id_modbus_enable(); }),
    numbers("preset-address", Group::Modbus, "the Modbus address, sent in the sensor's own protocol",
            WINDOW_TEXT("设置modbus地址"), StatusValue::None, {"ADDRESS", 1, 247, 8, false},
            kNoNumber, 1,
            [](receiver &w, uint8_t, const Values &v) { return w.send_cmd_id_modbus_dev_addr_set(u8(v.first)); }),
};

const Reading kReadings[] = {
    {"version", Group::Sensor, ReadingKind::Text, "firmware version", WINDOW_TEXT("版本号获取失败"),
     [](receiver &w, uint8_t, QString &text, uint16_t &) {
         bool ok = false;
         text = w.send_cmd_id_version(ok);
         return ok;
     }},
    {"full-version", Group::Sensor, ReadingKind::Text, "full version text", WINDOW_TEXT("新版本号获取失败"),
     [](receiver &w, uint8_t, QString &text, uint16_t &) {
         bool ok = false;
         // As the window shows it: runs of blanks and line ends as one space.
         text = w.send_cmd_id_full_version(ok).simplified();
         return ok;
     }},
    {"distance", Group::Sensor, ReadingKind::DistanceCm, "one triggered measurement", WINDOW_TEXT("获取dist"),
     [](receiver &w, uint8_t, QString &, uint16_t &cm) {
         unsigned short d = 0;
         const bool ok = w.send_cmd_id_sample_trig(d);
         cm = d;
         return ok;
     }},
    {"distance", Group::Modbus, ReadingKind::DistanceCm, "one distance over Modbus", WINDOW_TEXT("获取距离"),
     [](receiver &w, uint8_t a, QString &, uint16_t &cm) {
         unsigned short d = 0;
         const bool ok = w.send_cmd_id_mb_get_dist(a, d);
         cm = d;
         return ok;
     }},
    {"version", Group::Modbus, ReadingKind::Text, "firmware version over Modbus", WINDOW_TEXT("获取版本号"),
     [](receiver &w, uint8_t a, QString &text, uint16_t &) { return w.send_cmd_id_modbus_get_version(a, text); }},
};

#undef WINDOW_TEXT

} // namespace

const Setting *settingsBegin() { return std::begin(kSettings); }
const Setting *settingsEnd() { return std::end(kSettings); }
const Reading *readingsBegin() { return std::begin(kReadings); }
const Reading *readingsEnd() { return std::end(kReadings); }

} // namespace settingstable
