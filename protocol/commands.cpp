// SPDX-License-Identifier: GPL-3.0-or-later
// The sensor's configuration command set: one slot per command (run in the
// worker's thread), each an entry of the command table, and the wrappers the
// window calls (blocking).

#include "receiver.h"

#include <cstring>

using namespace commandtable;

void receiver::slot_do_cmd_id_soft_reset(bool &result) { result = runCommand(SoftReset); }
void receiver::slot_do_cmd_id_restore_default(bool &result) { result = runCommand(RestoreDefault); }
void receiver::slot_do_cmd_id_save_settings(bool &result) { result = runCommand(SaveSettings); }
void receiver::slot_do_cmd_id_frame_rate(unsigned int fps, bool &result) { result = runCommand(FrameRate, fps); }
void receiver::slot_do_cmd_id_sample_freq(unsigned int freq, bool &result) { result = runCommand(SampleFreq, freq); }
void receiver::slot_do_cmd_id_baud_rate(unsigned int baudrate, bool &result) { result = runCommand(BaudRate, baudrate); }
void receiver::slot_do_cmd_id_can_baudrate(unsigned int value, bool &result) { result = runCommand(CanBaudrate, value); }
void receiver::slot_do_cmd_id_can_rcv_id(unsigned int value, bool &result) { result = runCommand(CanRcvId, value); }
void receiver::slot_do_cmd_id_can_snd_id(unsigned int value, bool &result) { result = runCommand(CanSndId, value); }
void receiver::slot_do_cmd_id_Custom_choise(unsigned char custom, bool &result) { result = runCommand(CustomChoise, custom); }
void receiver::slot_do_cmd_id_dac_map_type(unsigned char type, bool &result) { result = runCommand(DacMapType, type); }
void receiver::slot_do_cmd_id_near_io_value(unsigned char value, bool &result) { result = runCommand(NearIoValue, value); }
void receiver::slot_do_cmd_id_offset_config(unsigned short value, bool &result) { result = runCommand(Offset, value); }
void receiver::slot_do_cmd_id_output_en(unsigned char is_enabled, bool &result) { result = runCommand(OutputEn, is_enabled); }
void receiver::slot_do_cmd_id_output_format(unsigned char format, bool &result) { result = runCommand(OutputFormat, format); }
void receiver::slot_do_cmd_id_trans_type_config(unsigned char trans, bool &result) { result = runCommand(TransType, trans); }

void receiver::slot_do_cmd_id_can_frame_type_config(unsigned char type, bool &result)
{
    result = runCommand(CanFrameType, type);
}

void receiver::slot_do_cmd_id_frame_checksum_en(unsigned char is_enabled, bool &result)
{
    result = runCommand(FrameChecksumEn, is_enabled);
}

void receiver::slot_do_cmd_id_fog_feature_enable(unsigned char enable, bool &result)
{
    result = runCommand(FogFeature, enable);
}

void receiver::slot_do_cmd_id_gain_adjust_enable(unsigned char enable, bool &result)
{
    result = runCommand(GainAdjust, enable);
}

void receiver::slot_do_cmd_id_io_delay(unsigned short value1, unsigned short value2, bool &result)
{
    result = runCommand(IoDelay, value1, value2);
}

void receiver::slot_do_cmd_id_dist_io_threshold(unsigned short value1, unsigned short value2, bool &result)
{
    result = runCommand(DistIoThreshold, value1, value2);
}

// Queries: written once, the reply cut out of whatever the sensor sends. The
// outputs are written only when a reply was found.

void receiver::slot_do_cmd_id_version(unsigned char *ba_version, bool &result)
{
    const QByteArray reply = runQuery(Version);
    result = !reply.isEmpty();
    if (result)
        queryreply::decodeVersion(reply, ba_version);
}

void receiver::slot_do_cmd_id_full_version(unsigned char *ba_version, bool &result)
{
    const QByteArray reply = runQuery(FullVersion);
    result = !reply.isEmpty();
    if (result)
        queryreply::decodeFullVersion(reply, ba_version);
}

void receiver::slot_do_cmd_id_sample_trig(unsigned short &dist, bool &result)
{
    const QByteArray reply = runQuery(SampleTrig);
    result = !reply.isEmpty();
    if (result)
        dist = queryreply::decodeTrigger(reply);
}

// Wrappers (window's thread): each emits its signal, which runs the slot in
// the worker's thread, and returns the flag.

bool receiver::send_cmd_id_soft_reset() { return resultOf(&receiver::signalReset); }
bool receiver::send_cmd_id_restore_default() { return resultOf(&receiver::signalRestoreFactory); }
bool receiver::send_cmd_id_save_settings() { return resultOf(&receiver::signalSaveSetting); }
bool receiver::send_cmd_id_sample_trig(unsigned short &dist) { return resultOf(&receiver::signalSampleTrig, dist); }
bool receiver::send_cmd_id_frame_rate(unsigned short fps) { return resultOf(&receiver::signalFrameRate, fps); }
bool receiver::send_cmd_id_output_format(unsigned char format) { return resultOf(&receiver::signalOutputFormat, format); }
bool receiver::send_cmd_id_baud_rate(unsigned int baudrate) { return resultOf(&receiver::signalBaudrate, baudrate); }
bool receiver::send_cmd_id_output_en(unsigned char enabled) { return resultOf(&receiver::signalOutputEnabled, enabled); }
bool receiver::send_cmd_id_trans_type_config(unsigned char type) { return resultOf(&receiver::signalTransType, type); }
bool receiver::send_cmd_id_dac_map_type(unsigned char type) { return resultOf(&receiver::signalMapTypeSet, type); }
bool receiver::send_cmd_id_can_snd_id(unsigned int id) { return resultOf(&receiver::signalCanSndId, id); }
bool receiver::send_cmd_id_can_rcv_id(unsigned int id) { return resultOf(&receiver::signalCanRcvId, id); }
bool receiver::send_cmd_id_near_io_value(unsigned char value) { return resultOf(&receiver::signalIOValue, value); }
bool receiver::send_cmd_id_offset_config(unsigned short offset) { return resultOf(&receiver::signalOffset, offset); }

bool receiver::send_cmd_id_frame_checksum_en(unsigned char enabled)
{
    return resultOf(&receiver::signalChecksumEnabled, enabled);
}

bool receiver::send_cmd_id_fog_feature_enable(unsigned char enabled)
{
    return resultOf(&receiver::signalFogFeatureEnabled, enabled);
}

bool receiver::send_cmd_id_gain_adjust_enable(unsigned char enable)
{
    return resultOf(&receiver::signalGainAdjustEnabled, enable);
}

bool receiver::send_cmd_id_can_baudrate(unsigned int baudrate)
{
    return resultOf(&receiver::signalCanBaudrate, baudrate);
}

bool receiver::send_cmd_id_can_frame_type_config(unsigned char type)
{
    return resultOf(&receiver::signalCANFrameType, type);
}

bool receiver::send_cmd_id_io_delay(unsigned short value1, unsigned short value2)
{
    return resultOf(&receiver::signalIODelay, value1, value2);
}

bool receiver::send_cmd_id_dist_io_threshold(unsigned short value1, unsigned short value2)
{
    return resultOf(&receiver::signalIOThreshold, value1, value2);
}

QString receiver::send_cmd_id_version(bool &result)
{
    // Stays 0.0.0 when the query fails; the caller only uses it on success.
    unsigned char version[3] = {0, 0, 0};
    result = resultOf(&receiver::signalVersion, version);
    return queryreply::versionText(version);
}

QString receiver::send_cmd_id_full_version(bool &result)
{
    // 26 text bytes are written at most, so the text always ends in zeros.
    unsigned char version[queryreply::kFullVersionLength];
    std::memset(version, 0, sizeof(version));
    result = resultOf(&receiver::signalFullVersion, version);
    return queryreply::fullVersionText(version, int(sizeof(version)));
}
