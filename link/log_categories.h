// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef LOG_CATEGORIES_H
#define LOG_CATEGORIES_H

// Logging categories of the sensor link, one per subsystem. Debug messages are
// on by default (they are the worker's log); QT_LOGGING_RULES turns any of them
// off, e.g. QT_LOGGING_RULES="zn84.modbus.debug=false".

#include <QLoggingCategory>

// A category as the qCDebug macro takes it, for code that logs on behalf of
// several subsystems.
using LogCategory = const QLoggingCategory &(*)();

Q_DECLARE_LOGGING_CATEGORY(lcLink)       // "zn84.link": port, measurement stream
Q_DECLARE_LOGGING_CATEGORY(lcProtocol)   // "zn84.protocol": command frames and answers
Q_DECLARE_LOGGING_CATEGORY(lcModbus)     // "zn84.modbus": Modbus RTU
Q_DECLARE_LOGGING_CATEGORY(lcUpgrade)    // "zn84.upgrade": firmware transfer

#endif // LOG_CATEGORIES_H
