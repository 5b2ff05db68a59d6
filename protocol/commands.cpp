// The sensor's configuration command set: one slot per command (run in the
// worker's thread) and the wrappers the window calls (blocking).

#include "receiver.h"
#include "command_frame.h"
#include "query_reply.h"

#include <cstring>

void receiver::slot_do_cmd_id_soft_reset(bool &result)
{
    result = false;
    const QByteArray frame = commandframe::buildFrame(commandframe::IdSoftReset);
    runCommandExchange(frame, commandframe::statusAck(commandframe::IdSoftReset),
                       "receiver::slot_do_cmd_id_soft_reset", result);
}

void receiver::slot_do_cmd_id_frame_rate(unsigned int fps, bool &result)
{
    result = false;
    // The frame-rate command writes no frame message to the log.
    const QByteArray frame = commandframe::frameU16(commandframe::IdFrameRate, uint16_t(fps & 0xFFFF));
    runCommandExchange(frame, frame, nullptr, result);
}

void receiver::slot_do_cmd_id_sample_freq(unsigned int freq, bool &result)
{
    result = false;
    const QByteArray frame = commandframe::frameU16(commandframe::IdFrameRate, uint16_t(freq & 0xFFFF));
    runCommandExchange(frame, frame,
                       "receiver::slot_do_cmd_id_sample_freq", result);
}

void receiver::slot_do_cmd_id_save_settings(bool &result)
{
    result = false;
    const QByteArray frame = commandframe::buildFrame(commandframe::IdSaveSettings);
    runCommandExchange(frame, commandframe::statusAck(commandframe::IdSaveSettings),
                       "receiver::slot_do_cmd_id_save_settings", result);
}

void receiver::slot_do_cmd_id_baud_rate(unsigned int baudrate, bool &result)
{
    result = false;
    const QByteArray frame = commandframe::frameU32(commandframe::IdBaudRate, baudrate);
    runCommandExchange(frame, frame,
                       "receiver::slot_do_cmd_id_baud_rate", result);
}

void receiver::slot_do_cmd_id_can_baudrate(unsigned int value, bool &result)
{
    result = false;
    const QByteArray frame = commandframe::frameU32(commandframe::IdCanBaudrate, value);
    runCommandExchange(frame, commandframe::statusAck(commandframe::IdCanBaudrate),
                       "receiver::slot_do_cmd_id_can_baudrate", result);
}

void receiver::slot_do_cmd_id_can_frame_type_config(unsigned char type, bool &result)
{
    result = false;
    const QByteArray frame = commandframe::frameU8(commandframe::IdCanFrameType, type);
    runCommandExchange(frame, commandframe::statusAck(commandframe::IdCanFrameType),
                       "receiver::slot_do_cmd_id_can_frame_type_config", result);
}

void receiver::slot_do_cmd_id_can_rcv_id(unsigned int value, bool &result)
{
    result = false;
    const QByteArray frame = commandframe::frameU32(commandframe::IdCanRcvId, value);
    runCommandExchange(frame, commandframe::statusAck(commandframe::IdCanRcvId),
                       "receiver::slot_do_cmd_id_can_rcv_id", result);
}

void receiver::slot_do_cmd_id_can_snd_id(unsigned int value, bool &result)
{
    result = false;
    const QByteArray frame = commandframe::frameU32(commandframe::IdCanSndId, value);
    runCommandExchange(frame, commandframe::statusAck(commandframe::IdCanSndId),
                       "receiver::slot_do_cmd_id_can_snd_id", result);
}

void receiver::slot_do_cmd_id_frame_checksum_en(unsigned char is_enabled, bool &result)
{
    result = false;
    const QByteArray frame = commandframe::frameU8(commandframe::IdFrameChecksumEn, is_enabled);
    runCommandExchange(frame, frame,
                       "receiver::slot_do_cmd_id_frame_checksum_en", result);
}

void receiver::slot_do_cmd_id_Custom_choise(unsigned char custom, bool &result)
{
    result = false;
    const QByteArray frame = commandframe::frameU8(commandframe::IdCustomChoise, custom);
    runCommandExchange(frame, commandframe::statusAck(commandframe::IdCustomChoise),
                       "receiver::slot_do_cmd_id_Custom_choise", result);
}

void receiver::slot_do_cmd_id_fog_feature_enable(unsigned char enable, bool &result)
{
    result = false;
    const QByteArray frame = commandframe::frameU8(commandframe::IdFogFeature, enable);
    runCommandExchange(frame, commandframe::statusAck(commandframe::IdFogFeature),
                       "receiver::slot_do_cmd_id_fog_feature_enable", result);
}

void receiver::slot_do_cmd_id_dac_map_type(unsigned char type, bool &result)
{
    result = false;
    const QByteArray frame = commandframe::frameU8(commandframe::IdDacMapType, type);
    runCommandExchange(frame, commandframe::statusAck(commandframe::IdDacMapType),
                       "receiver::slot_do_cmd_id_dac_map_type", result);
}

void receiver::slot_do_cmd_id_gain_adjust_enable(unsigned char enable, bool &result)
{
    result = false;
    const QByteArray frame = commandframe::frameU8(commandframe::IdGainAdjust, enable);
    runCommandExchange(frame, commandframe::statusAck(commandframe::IdGainAdjust),
                       "receiver::slot_do_cmd_id_gain_adjust_enable", result);
}

void receiver::slot_do_cmd_id_io_delay(unsigned short value1, unsigned short value2, bool &result)
{
    result = false;
    const QByteArray frame = commandframe::frameU16Pair(commandframe::IdIoDelay, value1, value2);
    runCommandExchange(frame, commandframe::statusAck(commandframe::IdIoDelay),
                       "receiver::slot_do_cmd_id_io_delay", result);
}

void receiver::slot_do_cmd_id_dist_io_threshold(unsigned short value1, unsigned short value2, bool &result)
{
    result = false;
    const QByteArray frame = commandframe::frameU16Pair(commandframe::IdDistIoThreshold, value1, value2);
    runCommandExchange(frame, commandframe::statusAck(commandframe::IdDistIoThreshold),
                       "receiver::slot_do_cmd_id_dist_io_threshold", result);
}

void receiver::slot_do_cmd_id_near_io_value(unsigned char value, bool &result)
{
    result = false;
    const QByteArray frame = commandframe::frameU8(commandframe::IdNearIoValue, value);
    runCommandExchange(frame, commandframe::statusAck(commandframe::IdNearIoValue),
                       "receiver::slot_do_cmd_id_near_io_value", result);
}

void receiver::slot_do_cmd_id_offset_config(unsigned short value, bool &result)
{
    result = false;
    const QByteArray frame = commandframe::frameU16(commandframe::IdOffset, value);
    runCommandExchange(frame, commandframe::statusAck(commandframe::IdOffset),
                       "receiver::slot_do_cmd_id_offset_config", result);
}

void receiver::slot_do_cmd_id_output_en(unsigned char is_enabled, bool &result)
{
    result = false;
    const QByteArray frame = commandframe::frameU8(commandframe::IdOutputEn, is_enabled);
    runCommandExchange(frame, frame,
                       "receiver::slot_do_cmd_id_output_en", result);
}

void receiver::slot_do_cmd_id_output_format(unsigned char format, bool &result)
{
    result = false;
    const QByteArray frame = commandframe::frameU8(commandframe::IdOutputFormat, format);
    runCommandExchange(frame, frame,
                       "receiver::slot_do_cmd_id_output_format", result);
}

void receiver::slot_do_cmd_id_restore_default(bool &result)
{
    result = false;
    const QByteArray frame = commandframe::buildFrame(commandframe::IdRestoreDefault);
    runCommandExchange(frame, commandframe::statusAck(commandframe::IdRestoreDefault),
                       "receiver::slot_do_cmd_id_restore_default", result);
}

void receiver::slot_do_cmd_id_trans_type_config(unsigned char trans, bool &result)
{
    result = false;
    const QByteArray frame = commandframe::frameU8(commandframe::IdTransType, trans);
    runCommandExchange(frame, commandframe::statusAck(commandframe::IdTransType),
                       "receiver::slot_do_cmd_id_trans_type_config", result);
}

// Queries: written once, the reply cut out of whatever the sensor sends.

void receiver::slot_do_cmd_id_version(unsigned char *ba_version, bool &result)
{
    result = false;
    const QByteArray reply = runQueryExchange(commandframe::buildFrame(commandframe::IdVersion), queryreply::versionHeader(),
                                              queryreply::kVersionLength, queryreply::kVersionPasses,
                                              protocolTiming().replyWaitMs,
                                              "receiver::slot_do_cmd_id_version");
    if (reply.isEmpty())
        return;
    queryreply::decodeVersion(reply, ba_version);
    result = true;
}

void receiver::slot_do_cmd_id_full_version(unsigned char *ba_version, bool &result)
{
    result = false;
    const QByteArray reply = runQueryExchange(commandframe::buildFrame(commandframe::IdFullVersion), queryreply::fullVersionHeader(),
                                              queryreply::kFullVersionLength, queryreply::kFullVersionPasses,
                                              protocolTiming().replyWaitMs,
                                              "receiver::slot_do_cmd_id_full_version");
    if (reply.isEmpty())
        return;
    queryreply::decodeFullVersion(reply, ba_version);
    result = true;
}

void receiver::slot_do_cmd_id_sample_trig(unsigned short &dist, bool &result)
{
    result = false;
    const QByteArray reply = runQueryExchange(commandframe::buildFrame(commandframe::IdSampleTrig), queryreply::triggerHeader(),
                                              queryreply::kTriggerLength, queryreply::kTriggerPasses,
                                              protocolTiming().triggerWaitMs,
                                              "receiver::slot_do_cmd_id_sample_trig");
    if (reply.isEmpty())
        return;
    dist = queryreply::decodeTrigger(reply);
    result = true;
}

// Wrappers (window's thread): each emits its signal, whose blocking queued
// connection runs the slot in the worker's thread, and returns the flag.

bool receiver::send_cmd_id_soft_reset()
{
    bool result = false;
    emit signalReset(result);
    return result;
}

bool receiver::send_cmd_id_restore_default()
{
    bool result = false;
    emit signalRestoreFactory(result);
    return result;
}

bool receiver::send_cmd_id_save_settings()
{
    bool result = false;
    emit signalSaveSetting(result);
    return result;
}

QString receiver::send_cmd_id_version(bool &result)
{
    // Stays 0.0.0 when the query fails; the caller only uses it on success.
    unsigned char version[3] = { 0, 0, 0 };
    result = false;
    emit signalVersion(version, result);
    return queryreply::versionText(version);
}

QString receiver::send_cmd_id_full_version(bool &result)
{
    // 26 text bytes are written at most, so the text always ends in zeros.
    unsigned char version[queryreply::kFullVersionLength];
    std::memset(version, 0, sizeof(version));
    result = false;
    emit signalFullVersion(version, result);
    return queryreply::fullVersionText(version, int(sizeof(version)));
}

bool receiver::send_cmd_id_sample_trig(unsigned short &dist)
{
    bool result = false;
    emit signalSampleTrig(dist, result);
    return result;
}

bool receiver::send_cmd_id_frame_rate(unsigned short fps)
{
    bool result = false;
    emit signalFrameRate(fps, result);
    return result;
}

bool receiver::send_cmd_id_output_format(unsigned char format)
{
    bool result = false;
    emit signalOutputFormat(format, result);
    return result;
}

bool receiver::send_cmd_id_baud_rate(unsigned int baudrate)
{
    bool result = false;
    emit signalBaudrate(baudrate, result);
    return result;
}

bool receiver::send_cmd_id_output_en(unsigned char enabled)
{
    bool result = false;
    emit signalOutputEnabled(enabled, result);
    return result;
}

bool receiver::send_cmd_id_frame_checksum_en(unsigned char enabled)
{
    bool result = false;
    emit signalChecksumEnabled(enabled, result);
    return result;
}

bool receiver::send_cmd_id_trans_type_config(unsigned char type)
{
    bool result = false;
    emit signalTransType(type, result);
    return result;
}

bool receiver::send_cmd_id_fog_feature_enable(unsigned char enabled)
{
    bool result = false;
    emit signalFogFeatureEnabled(enabled, result);
    return result;
}

bool receiver::send_cmd_id_dac_map_type(unsigned char type)
{
    bool result = false;
    emit signalMapTypeSet(type, result);
    return result;
}

bool receiver::send_cmd_id_gain_adjust_enable(unsigned char enable)
{
    bool result = false;
    emit signalGainAdjustEnabled(enable, result);
    return result;
}

bool receiver::send_cmd_id_can_snd_id(unsigned int id)
{
    bool result = false;
    emit signalCanSndId(id, result);
    return result;
}

bool receiver::send_cmd_id_can_rcv_id(unsigned int id)
{
    bool result = false;
    emit signalCanRcvId(id, result);
    return result;
}

bool receiver::send_cmd_id_can_baudrate(unsigned int baudrate)
{
    bool result = false;
    emit signalCanBaudrate(baudrate, result);
    return result;
}

bool receiver::send_cmd_id_can_frame_type_config(unsigned char type)
{
    bool result = false;
    emit signalCANFrameType(type, result);
    return result;
}

bool receiver::send_cmd_id_near_io_value(unsigned char value)
{
    bool result = false;
    emit signalIOValue(value, result);
    return result;
}

bool receiver::send_cmd_id_io_delay(unsigned short value1, unsigned short value2)
{
    bool result = false;
    emit signalIODelay(value1, value2, result);
    return result;
}

bool receiver::send_cmd_id_dist_io_threshold(unsigned short value1, unsigned short value2)
{
    bool result = false;
    emit signalIOThreshold(value1, value2, result);
    return result;
}

bool receiver::send_cmd_id_offset_config(unsigned short offset)
{
    bool result = false;
    emit signalOffset(offset, result);
    return result;
}
