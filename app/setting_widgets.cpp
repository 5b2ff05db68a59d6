// SPDX-License-Identifier: GPL-3.0-or-later
#include "setting_widgets.h"

using settingstable::Group;

namespace settingwidgets {

namespace {

const SettingWidgets kSettings[] = {
    {Group::Sensor, "frame-rate", {"comboBox_fps_set"}, "pushButton_fps"},
    {Group::Sensor, "interface", {"comboBox_lidar_trans"}, "pushButton_trans"},
    {Group::Sensor, "output-format", {"comboBox_output_format"}, "pushButton_output_format"},
    {Group::Sensor, "baud-rate", {"comboBox_seri_baud"}, "pushButton_baudrate"},
    {Group::Sensor, "output-mode", {"comboBox_output_enable"}, "pushButton_output_enable"},
    {Group::Sensor, "checksum", {"comboBox_checksum"}, "pushButton_checksum"},
    {Group::Sensor, "fog-filter", {"comboBox_fog_feature"}, "pushButton_fog_feature"},
    {Group::Sensor, "dac-map", {"comboBox_dac_map"}, "pushButton_dac_map"},
    {Group::Sensor, "save", {}, "pushButton_save_config"},
    {Group::Sensor, "reset", {}, "pushButton_reset"},
    {Group::Sensor, "factory-restore", {}, "pushButton_recover_factory"},
    {Group::Sensor, "auto-gain", {"comboBox_gain_adjust"}, "pushButton_gain_adjust"},
    {Group::Sensor, "can-frame-type", {"comboBox_can_type"}, "pushButton_can_type"},
    {Group::Sensor, "can-baud-rate", {"comboBox_can_baudrate"}, "pushButton_can_baudrate"},
    {Group::Sensor, "can-receive-id", {"lineEdit_can_rcv_id"}, "pushButton_can_rcv_id"},
    {Group::Sensor, "can-send-id", {"lineEdit_can_snd_id"}, "pushButton_can_snd_id"},
    {Group::Sensor, "offset", {"lineEdit_ofs_config"}, "pushButton_ofs_config"},
    {Group::Sensor, "near-io-level", {"comboBox_io_level"}, "pushButton_IO_level"},
    {Group::Sensor, "io-delay", {"lineEdit_IO_delay_near", "lineEdit_IO_delay_far"}, "pushButton_IO_delay"},
    {Group::Sensor, "io-threshold", {"lineEdit_dist_threshold", "lineEdit_dist_buffer"},
     "pushButton_dist_threshold"},
    {Group::Modbus, "frame-rate", {"lineEdit_mb_fps"}, "pushButton_mb_set_fps"},
    {Group::Modbus, "baud-rate", {"comboBox_seri_baud_2"}, "pushButton_mb_baudrate_config"},
    {Group::Modbus, "address", {"spinBox_mb_dev_addr_2"}, "pushButton_mb_addr_config"},
    {Group::Modbus, "save", {}, "pushButton_mb_save_config"},
    {Group::Modbus, "reboot", {}, "pushButton_mb_reboot"},
    {Group::Modbus, "shutdown", {}, "pushButton_mb_shutdown"},
    {Group::Modbus, "disable", {}, "pushButton_modbus_disable"},
    {Group::Modbus, "enable", {}, "pushButton_modbus_enable"},
    {Group::Modbus, "preset-address", {"spinBox_mb_dev_addr_3"}, "pushButton_mb_addr"},
};

const ReadingWidgets kReadings[] = {
    {Group::Sensor, "version", "pushButton_version"},
    {Group::Sensor, "full-version", "pushButton_full_version"},
    {Group::Sensor, "distance", "pushButton_trig"},
    {Group::Modbus, "distance", "pushButton_mb_read_dist_once"},
    {Group::Modbus, "version", "pushButton_mb_get_version"},
};

template <typename Row, typename Entry, std::size_t N>
const Row *rowOf(const Row (&rows)[N], const Entry &e, const char *Row::*name)
{
    for (const Row &row : rows) {
        if (row.group == e.group && qstrcmp(row.*name, e.name) == 0)
            return &row;
    }
    return nullptr;
}

} // namespace

const SettingWidgets *widgetsOf(const settingstable::Setting &s)
{
    return rowOf(kSettings, s, &SettingWidgets::setting);
}

const ReadingWidgets *widgetsOf(const settingstable::Reading &r)
{
    return rowOf(kReadings, r, &ReadingWidgets::reading);
}

const settingstable::Setting *settingOfButton(const QString &button)
{
    for (const SettingWidgets &row : kSettings) {
        if (button == QLatin1String(row.button))
            return settingstable::findSetting(row.group, QLatin1String(row.setting));
    }
    return nullptr;
}

const settingstable::Reading *readingOfButton(const QString &button)
{
    for (const ReadingWidgets &row : kReadings) {
        if (button == QLatin1String(row.button))
            return settingstable::findReading(row.group, QLatin1String(row.reading));
    }
    return nullptr;
}

} // namespace settingwidgets
