// SPDX-License-Identifier: GPL-3.0-or-later
#include "log_ui.h"

Q_LOGGING_CATEGORY(lcUi, "zn84.ui", QtDebugMsg)
