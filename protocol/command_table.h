// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef COMMAND_TABLE_H
#define COMMAND_TABLE_H

// Every exchange the worker runs with the sensor, described once: how the
// request is built, what answers it, how often it is tried, how long each
// wait may take and the tag of its frame message in the log. The worker's
// slots are one line each into the exchanges that read these entries; the
// command-line tool and the tests read the same entries. Pure data and byte
// logic, no port.

#include "command_frame.h"
#include "modbus_frame.h"
#include "query_reply.h"

#include <QByteArray>
#include <cstdint>

namespace commandtable {

// The values a command frame carries after its id, least significant byte first.
enum class Payload { None, U8, U16, U32, U16Pair };

// What the sensor sends back: the 5-byte status acknowledgement (5A 05 id 00
// sum), or the exact frame it was sent.
enum class Answer { StatusAck, Echo };

// A command frame of the sensor's own protocol, acknowledged.
struct Command
{
    uint8_t id;
    Payload payload;
    Answer answer;
    int attempts;          // writes, each followed by two acknowledgement waits
    const char *logTag;    // frame message tag; null: the frame is not logged
};

// The frame of `c` with its values (each cut to the payload's width).
QByteArray frameOf(const Command &c, uint32_t first = 0, uint32_t second = 0);
// The bytes that acknowledge `frame`.
QByteArray answerOf(const Command &c, const QByteArray &frame);

using namespace commandframe;

inline constexpr Command SoftReset{IdSoftReset, Payload::None, Answer::StatusAck, 2,
                                   "receiver::slot_do_cmd_id_soft_reset"};
inline constexpr Command RestoreDefault{IdRestoreDefault, Payload::None, Answer::StatusAck, 2,
                                        "receiver::slot_do_cmd_id_restore_default"};
inline constexpr Command SaveSettings{IdSaveSettings, Payload::None, Answer::StatusAck, 2,
                                      "receiver::slot_do_cmd_id_save_settings"};
// The frame-rate command writes no frame message to the log.
inline constexpr Command FrameRate{IdFrameRate, Payload::U16, Answer::Echo, 2, nullptr};
inline constexpr Command SampleFreq{IdFrameRate, Payload::U16, Answer::Echo, 2,
                                    "receiver::slot_do_cmd_id_sample_freq"};
inline constexpr Command OutputFormat{IdOutputFormat, Payload::U8, Answer::Echo, 2,
                                      "receiver::slot_do_cmd_id_output_format"};
inline constexpr Command BaudRate{IdBaudRate, Payload::U32, Answer::Echo, 2,
                                  "receiver::slot_do_cmd_id_baud_rate"};
inline constexpr Command OutputEn{IdOutputEn, Payload::U8, Answer::Echo, 2,
                                  "receiver::slot_do_cmd_id_output_en"};
inline constexpr Command FrameChecksumEn{IdFrameChecksumEn, Payload::U8, Answer::Echo, 2,
                                         "receiver::slot_do_cmd_id_frame_checksum_en"};
inline constexpr Command TransType{IdTransType, Payload::U8, Answer::StatusAck, 2,
                                   "receiver::slot_do_cmd_id_trans_type_config"};
inline constexpr Command GainAdjust{IdGainAdjust, Payload::U8, Answer::StatusAck, 2,
                                    "receiver::slot_do_cmd_id_gain_adjust_enable"};
inline constexpr Command CanSndId{IdCanSndId, Payload::U32, Answer::StatusAck, 2,
                                  "receiver::slot_do_cmd_id_can_snd_id"};
inline constexpr Command CanRcvId{IdCanRcvId, Payload::U32, Answer::StatusAck, 2,
                                  "receiver::slot_do_cmd_id_can_rcv_id"};
inline constexpr Command CanBaudrate{IdCanBaudrate, Payload::U32, Answer::StatusAck, 2,
                                     "receiver::slot_do_cmd_id_can_baudrate"};
inline constexpr Command CustomChoise{IdCustomChoise, Payload::U8, Answer::StatusAck, 2,
                                      "receiver::slot_do_cmd_id_Custom_choise"};
inline constexpr Command CanFrameType{IdCanFrameType, Payload::U8, Answer::StatusAck, 2,
                                      "receiver::slot_do_cmd_id_can_frame_type_config"};
inline constexpr Command NearIoValue{IdNearIoValue, Payload::U8, Answer::StatusAck, 2,
                                     "receiver::slot_do_cmd_id_near_io_value"};
inline constexpr Command IoDelay{IdIoDelay, Payload::U16Pair, Answer::StatusAck, 2,
                                 "receiver::slot_do_cmd_id_io_delay"};
inline constexpr Command DistIoThreshold{IdDistIoThreshold, Payload::U16Pair, Answer::StatusAck, 2,
                                         "receiver::slot_do_cmd_id_dist_io_threshold"};
inline constexpr Command FogFeature{IdFogFeature, Payload::U8, Answer::StatusAck, 2,
                                    "receiver::slot_do_cmd_id_fog_feature_enable"};
inline constexpr Command Offset{IdOffset, Payload::U16, Answer::StatusAck, 2,
                                "receiver::slot_do_cmd_id_offset_config"};
inline constexpr Command DacMapType{IdDacMapType, Payload::U8, Answer::StatusAck, 2,
                                    "receiver::slot_do_cmd_id_dac_map_type"};
// The two frames that switch the sensor's Modbus side are tried five times.
inline constexpr Command ModbusEnable{IdModbusEnable, Payload::U8, Answer::StatusAck, 5,
                                      "receiver::slot_do_cmd_id_modbus_enable"};
inline constexpr Command ModbusDevAddr{IdModbusDevAddr, Payload::U8, Answer::StatusAck, 5,
                                       "receiver::slot_do_cmd_id_modbus_dev_addr_set"};

// How long each wait for a reply may take (ProtocolTiming).
enum class ReplyWait { Reply, Trigger };

// A query: written once; the reply is cut out of whatever arrives at a fixed
// length from the first occurrence of its header.
struct Query
{
    uint8_t id;
    QByteArray (*header)();
    int replyLength;
    int passes;           // examination passes after the first wait
    ReplyWait wait;
    const char *logTag;
};

QByteArray frameOf(const Query &q);

inline constexpr Query Version{IdVersion, queryreply::versionHeader, queryreply::kVersionLength,
                               queryreply::kVersionPasses, ReplyWait::Reply,
                               "receiver::slot_do_cmd_id_version"};
inline constexpr Query FullVersion{IdFullVersion, queryreply::fullVersionHeader, queryreply::kFullVersionLength,
                                   queryreply::kFullVersionPasses, ReplyWait::Reply,
                                   "receiver::slot_do_cmd_id_full_version"};
// The reply to a triggered measurement has the layout of a measurement frame.
inline constexpr Query SampleTrig{IdSampleTrig, queryreply::triggerHeader, queryreply::kTriggerLength,
                                  queryreply::kTriggerPasses, ReplyWait::Trigger,
                                  "receiver::slot_do_cmd_id_sample_trig"};

// A Modbus RTU write of one holding register, answered by its exact echo and
// tried twice. `fixedValue` is what the operation always writes; -1 when the
// caller gives the value.
struct ModbusWrite
{
    uint16_t reg;
    int fixedValue;
    const char *logTag;
};

inline constexpr ModbusWrite MbDevAddr{modbusframe::RegDevAddr, -1,
                                       "receiver::slot_do_cmd_id_mb_dev_addr_config"};
inline constexpr ModbusWrite MbModbusOff{modbusframe::RegModbusOff, 1,
                                         "receiver::slot_do_cmd_id_mb_modbus_disable"};
inline constexpr ModbusWrite MbSaveConfig{modbusframe::RegSaveConfig, 0,
                                          "receiver::slot_do_cmd_id_mb_save_config"};
inline constexpr ModbusWrite MbReboot{modbusframe::RegPower, 1, "receiver::send_cmd_id_modbus_reboot"};
inline constexpr ModbusWrite MbShutdown{modbusframe::RegPower, 0, "receiver::send_cmd_id_modbus_shutdown"};
inline constexpr ModbusWrite MbFrameRate{modbusframe::RegFrameRate, -1, "receiver::send_cmd_id_modbus_set_fps"};
// The baud rate goes in two writes, the high half first; the low half is only
// sent once the high half has been taken.
inline constexpr ModbusWrite MbBaudHigh{modbusframe::RegBaudHigh, -1,
                                        "receiver::slot_do_cmd_id_mb_baudrate_config"};
inline constexpr ModbusWrite MbBaudLow{modbusframe::RegBaudLow, -1,
                                       "receiver::slot_do_cmd_id_mb_baudrate_config"};

// A Modbus RTU read of `count` holding registers, written once; the reply must
// come from the addressed device, with the announced length and a good CRC.
struct ModbusRead
{
    uint16_t reg;
    uint16_t count;
    const char *logTag;
};

inline constexpr ModbusRead MbDistance{modbusframe::RegDistance, 1, "receiver::slot_do_cmd_id_mb_get_dist"};
inline constexpr ModbusRead MbVersion{modbusframe::RegVersion, 2, "receiver::send_cmd_id_modbus_get_version"};

// The request of a write to device `devAddr`.
QByteArray requestOf(const ModbusWrite &w, uint8_t devAddr, uint16_t value = 0);

} // namespace commandtable

#endif // COMMAND_TABLE_H
