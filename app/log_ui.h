// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef LOG_UI_H
#define LOG_UI_H

// The window's log category, beside the link's (link/log_categories.h).
// Debug messages are on by default; QT_LOGGING_RULES="zn84.ui.debug=false"
// turns them off.

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcUi)   // "zn84.ui": the window

#endif // LOG_UI_H
