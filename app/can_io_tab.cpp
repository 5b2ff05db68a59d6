// SPDX-License-Identifier: GPL-3.0-or-later
// The CAN and IO page: every button runs its entry of the settings table
// (table_commands.cpp). CAN identifiers take decimal or 0x hexadecimal, the
// offset a negative number (sent in two's complement).

#include "mainwindow.h"
#include "table_slots.h"
#include "ui_mainwindow.h"

ZN84_BUTTON_HANDLERS4(pushButton_reset, pushButton_recover_factory, pushButton_gain_adjust, pushButton_can_type)
ZN84_BUTTON_HANDLERS4(pushButton_can_baudrate, pushButton_can_rcv_id, pushButton_can_snd_id, pushButton_ofs_config)
ZN84_BUTTON_HANDLERS3(pushButton_IO_level, pushButton_IO_delay, pushButton_dist_threshold)
