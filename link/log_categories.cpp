// SPDX-License-Identifier: GPL-3.0-or-later
#include "log_categories.h"

Q_LOGGING_CATEGORY(lcLink, "zn84.link", QtDebugMsg)
Q_LOGGING_CATEGORY(lcProtocol, "zn84.protocol", QtDebugMsg)
Q_LOGGING_CATEGORY(lcModbus, "zn84.modbus", QtDebugMsg)
Q_LOGGING_CATEGORY(lcUpgrade, "zn84.upgrade", QtDebugMsg)
