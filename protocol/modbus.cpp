#include "receiver.h"

void receiver::slot_do_cmd_id_modbus_enable(bool &result)
{
    result = false;
}

void receiver::slot_do_cmd_id_modbus_dev_addr_set(unsigned char dev_addr, bool &result)
{
    result = false;
}

void receiver::slot_do_cmd_id_mb_baudrate_config(unsigned char dev_addr, unsigned int baudrate, bool &result)
{
    result = false;
}

void receiver::slot_do_cmd_id_mb_dev_addr_config(unsigned char dev_addr, unsigned char mb_dev_addr, bool &result)
{
    result = false;
}

void receiver::slot_do_cmd_id_mb_get_dist(unsigned char dev_addr, unsigned short &dist, bool &result)
{
    result = false;
}

void receiver::slot_do_cmd_id_mb_modbus_disable(unsigned char dev_addr, bool &result)
{
    result = false;
}

void receiver::slot_do_cmd_id_mb_save_config(unsigned char dev_addr, bool &result)
{
    result = false;
}

bool receiver::send_cmd_id_mb_baudrate_config(unsigned char dev_addr, unsigned int baudrate)
{
    Q_UNUSED(dev_addr);
    Q_UNUSED(baudrate);
    return false;
}

bool receiver::send_cmd_id_mb_dev_addr_config(unsigned char dev_addr, unsigned char mb_dev_addr)
{
    Q_UNUSED(dev_addr);
    Q_UNUSED(mb_dev_addr);
    return false;
}

bool receiver::send_cmd_id_mb_get_dist(unsigned char dev_addr, unsigned short &dist)
{
    Q_UNUSED(dev_addr);
    Q_UNUSED(dist);
    return false;
}

bool receiver::send_cmd_id_mb_modbus_disable(unsigned char dev_addr)
{
    Q_UNUSED(dev_addr);
    return false;
}

bool receiver::send_cmd_id_mb_save_config(unsigned char dev_addr)
{
    Q_UNUSED(dev_addr);
    return false;
}

bool receiver::send_cmd_id_modbus_enable()
{
    return false;
}

bool receiver::send_cmd_id_modbus_dev_addr_set(unsigned char addr)
{
    Q_UNUSED(addr);
    return false;
}

bool receiver::send_cmd_id_modbus_get_version(unsigned char dev_addr, QString &version)
{
    Q_UNUSED(dev_addr);
    Q_UNUSED(version);
    return false;
}

bool receiver::send_cmd_id_modbus_reboot(unsigned char dev_addr)
{
    Q_UNUSED(dev_addr);
    return false;
}

bool receiver::send_cmd_id_modbus_set_fps(unsigned char dev_addr, int fps)
{
    Q_UNUSED(dev_addr);
    Q_UNUSED(fps);
    return false;
}

bool receiver::send_cmd_id_modbus_shutdown(unsigned char dev_addr)
{
    Q_UNUSED(dev_addr);
    return false;
}

unsigned short receiver::calc_crc16(const unsigned char *data, int n)
{
    Q_UNUSED(data);
    Q_UNUSED(n);
    return 0;
}
