// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef SETTING_WIDGETS_H
#define SETTING_WIDGETS_H

// Which of the window's widgets show a setting or a reading of the shared
// settings table (protocol/settings_table.h): the combo box of a choice or
// the fields of its numbers, and the button that sends it. The table itself
// knows no widgets; this is the window's side of it.

#include "settings_table.h"

#include <QString>

namespace settingwidgets {

struct SettingWidgets
{
    settingstable::Group group;
    const char *setting;      // the table's name within the group
    const char *fields[2];    // the combo box of a choice, or the field of each number
    const char *button;
};

struct ReadingWidgets
{
    settingstable::Group group;
    const char *reading;
    const char *button;
};

// The widgets of a setting or a reading; null when the window has none.
const SettingWidgets *widgetsOf(const settingstable::Setting &s);
const ReadingWidgets *widgetsOf(const settingstable::Reading &r);
// The setting or the reading a button sends; null when it sends none.
const settingstable::Setting *settingOfButton(const QString &button);
const settingstable::Reading *readingOfButton(const QString &button);

} // namespace settingwidgets

#endif // SETTING_WIDGETS_H
