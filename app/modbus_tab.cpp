// SPDX-License-Identifier: GPL-3.0-or-later
// The Modbus page: every button runs its entry of the settings table
// (table_commands.cpp). Modbus RTU operations go to the device address in
// spinBox_mb_dev_addr; "enable" and the preset address are frames of the
// sensor's own protocol.

#include "mainwindow.h"
#include "table_slots.h"
#include "ui_mainwindow.h"

ZN84_BUTTON_HANDLERS4(pushButton_mb_read_dist_once, pushButton_mb_save_config, pushButton_mb_baudrate_config,
                  pushButton_mb_addr_config)
ZN84_BUTTON_HANDLERS4(pushButton_modbus_disable, pushButton_modbus_enable, pushButton_mb_addr, pushButton_mb_set_fps)
ZN84_BUTTON_HANDLERS3(pushButton_mb_get_version, pushButton_mb_shutdown, pushButton_mb_reboot)
