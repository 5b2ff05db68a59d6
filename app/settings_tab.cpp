// SPDX-License-Identifier: GPL-3.0-or-later
// The sensor settings page. Each button runs its entry of the settings table
// (protocol/settings_table.cpp): the readings show what the sensor answers,
// the settings take their value from the combo box's item data or the typed
// number, checked against the range the command carries (table_commands.cpp).

#include "mainwindow.h"
#include "table_slots.h"
#include "ui_mainwindow.h"

ZN84_BUTTON_HANDLERS4(pushButton_version, pushButton_full_version, pushButton_save_config, pushButton_trig)
ZN84_BUTTON_HANDLERS4(pushButton_fps, pushButton_trans, pushButton_output_format, pushButton_baudrate)
ZN84_BUTTON_HANDLERS4(pushButton_output_enable, pushButton_checksum, pushButton_fog_feature, pushButton_dac_map)
