#include "receiver.h"

void receiver::slot_do_cmd_id_soft_reset(bool &result)
{
    result = false;
}

void receiver::slot_do_cmd_id_version(unsigned char *ba_version, bool &result)
{
    result = false;
}

void receiver::slot_do_cmd_id_full_version(unsigned char *ba_version, bool &result)
{
    result = false;
}

void receiver::slot_do_cmd_id_frame_rate(unsigned int fps, bool &result)
{
    result = false;
}

void receiver::slot_do_cmd_id_sample_freq(unsigned int freq, bool &result)
{
    result = false;
}

void receiver::slot_do_cmd_id_save_settings(bool &result)
{
    result = false;
}

void receiver::slot_do_cmd_id_baud_rate(unsigned int baudrate, bool &result)
{
    result = false;
}

void receiver::slot_do_cmd_id_can_baudrate(unsigned int value, bool &result)
{
    result = false;
}

void receiver::slot_do_cmd_id_can_frame_type_config(unsigned char type, bool &result)
{
    result = false;
}

void receiver::slot_do_cmd_id_can_rcv_id(unsigned int value, bool &result)
{
    result = false;
}

void receiver::slot_do_cmd_id_can_snd_id(unsigned int value, bool &result)
{
    result = false;
}

void receiver::slot_do_cmd_id_frame_checksum_en(unsigned char is_enabled, bool &result)
{
    result = false;
}

void receiver::slot_do_cmd_id_Custom_choise(unsigned char custom, bool &result)
{
    result = false;
}

void receiver::slot_do_cmd_id_fog_feature_enable(unsigned char enable, bool &result)
{
    result = false;
}

void receiver::slot_do_cmd_id_dac_map_type(unsigned char type, bool &result)
{
    result = false;
}

void receiver::slot_do_cmd_id_gain_adjust_enable(unsigned char enable, bool &result)
{
    result = false;
}

void receiver::slot_do_cmd_id_io_delay(unsigned short value1, unsigned short value2, bool &result)
{
    result = false;
}

void receiver::slot_do_cmd_id_dist_io_threshold(unsigned short value1, unsigned short value2, bool &result)
{
    result = false;
}

void receiver::slot_do_cmd_id_near_io_value(unsigned char value, bool &result)
{
    result = false;
}

void receiver::slot_do_cmd_id_offset_config(unsigned short value, bool &result)
{
    result = false;
}

void receiver::slot_do_cmd_id_output_en(unsigned char is_enabled, bool &result)
{
    result = false;
}

void receiver::slot_do_cmd_id_output_format(unsigned char format, bool &result)
{
    result = false;
}

void receiver::slot_do_cmd_id_restore_default(bool &result)
{
    result = false;
}

void receiver::slot_do_cmd_id_sample_trig(unsigned short &dist, bool &result)
{
    result = false;
}

void receiver::slot_do_cmd_id_trans_type_config(unsigned char trans, bool &result)
{
    result = false;
}

bool receiver::send_cmd_id_soft_reset()
{
    return false;
}

bool receiver::send_cmd_id_restore_default()
{
    return false;
}

bool receiver::send_cmd_id_save_settings()
{
    return false;
}

QString receiver::send_cmd_id_version(bool &result)
{
    Q_UNUSED(result);
    result = false;
    return QString();
}

QString receiver::send_cmd_id_full_version(bool &result)
{
    Q_UNUSED(result);
    result = false;
    return QString();
}

bool receiver::send_cmd_id_sample_trig(unsigned short &dist)
{
    Q_UNUSED(dist);
    return false;
}

bool receiver::send_cmd_id_frame_rate(unsigned short fps)
{
    Q_UNUSED(fps);
    return false;
}

bool receiver::send_cmd_id_output_format(unsigned char format)
{
    Q_UNUSED(format);
    return false;
}

bool receiver::send_cmd_id_baud_rate(unsigned int baudrate)
{
    Q_UNUSED(baudrate);
    return false;
}

bool receiver::send_cmd_id_output_en(unsigned char enabled)
{
    Q_UNUSED(enabled);
    return false;
}

bool receiver::send_cmd_id_frame_checksum_en(unsigned char enabled)
{
    Q_UNUSED(enabled);
    return false;
}

bool receiver::send_cmd_id_trans_type_config(unsigned char type)
{
    Q_UNUSED(type);
    return false;
}

bool receiver::send_cmd_id_fog_feature_enable(unsigned char enabled)
{
    Q_UNUSED(enabled);
    return false;
}

bool receiver::send_cmd_id_dac_map_type(unsigned char type)
{
    Q_UNUSED(type);
    return false;
}

bool receiver::send_cmd_id_gain_adjust_enable(unsigned char enable)
{
    Q_UNUSED(enable);
    return false;
}

bool receiver::send_cmd_id_can_snd_id(unsigned int id)
{
    Q_UNUSED(id);
    return false;
}

bool receiver::send_cmd_id_can_rcv_id(unsigned int id)
{
    Q_UNUSED(id);
    return false;
}

bool receiver::send_cmd_id_can_baudrate(unsigned int baudrate)
{
    Q_UNUSED(baudrate);
    return false;
}

bool receiver::send_cmd_id_can_frame_type_config(unsigned char type)
{
    Q_UNUSED(type);
    return false;
}

bool receiver::send_cmd_id_near_io_value(unsigned char value)
{
    Q_UNUSED(value);
    return false;
}

bool receiver::send_cmd_id_io_delay(unsigned short value1, unsigned short value2)
{
    Q_UNUSED(value1);
    Q_UNUSED(value2);
    return false;
}

bool receiver::send_cmd_id_dist_io_threshold(unsigned short value1, unsigned short value2)
{
    Q_UNUSED(value1);
    Q_UNUSED(value2);
    return false;
}

bool receiver::send_cmd_id_offset_config(unsigned short offset)
{
    Q_UNUSED(offset);
    return false;
}
