// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef NAMED_WIDGET_H
#define NAMED_WIDGET_H

// Widgets made in code carry the object name that the tests, the style sheets
// and the saved window state find them by; this makes the two one step.

#include <QLatin1String>
#include <QWidget>

#include <utility>

// A new W(args...) called `objectName`.
template <typename W, typename... Args>
W *namedWidget(const char *objectName, Args &&...args)
{
    auto *widget = new W(std::forward<Args>(args)...);
    widget->setObjectName(QLatin1String(objectName));
    return widget;
}

#endif // NAMED_WIDGET_H
