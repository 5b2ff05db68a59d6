// SPDX-License-Identifier: GPL-3.0-or-later
// Keyboard shortcuts for the actions an operator repeats all day: connect or
// disconnect, pause, clear, record, back to live and a marker. Each presses its button,
// so that a shortcut does exactly what the click does and nothing while the
// button is disabled (pause, clear and record before a connection).

#include "mainwindow.h"
#include "ui_mainwindow.h"

#include <QAbstractButton>
#include <QPushButton>
#include <QShortcut>
#include <QToolButton>

namespace {

struct ShortcutSpec
{
    const char *objectName;   // the shortcut's, for tests and tools
    const char *keys;         // portable text of the key sequence
};

// In the order of the buttons below.
constexpr ShortcutSpec kShortcuts[] = {
    {"connectShortcut", "Ctrl+O"},
    {"suspendShortcut", "Ctrl+P"},
    {"chartClearShortcut", "Ctrl+L"},
    {"saveShortcut", "Ctrl+R"},
    {"liveViewShortcut", "Ctrl+G"},
    {"markerShortcut", "M"},
};

} // namespace

QVector<QAbstractButton *> MainWindow::shortcutButtons() const
{
    return {ui->connectButton, ui->suspendButton, ui->chartClearButton, ui->saveButton,
            findChild<QPushButton *>(QStringLiteral("liveViewButton")),
            findChild<QToolButton *>(QStringLiteral("markerButton"))};
}

// QShortcut objects rather than the buttons' own shortcut: a button's text
// sets its shortcut anew (to the text's mnemonic, here none), and these
// buttons change their texts (connect/disconnect, pause/resume, record/stop)
// and are captioned again on a language switch. The shortcuts live beside
// the tab chain, which they leave as it is.
void MainWindow::setUpShortcuts()
{
    const QVector<QAbstractButton *> buttons = shortcutButtons();
    for (int i = 0; i < buttons.size(); ++i) {
        auto *shortcut = new QShortcut(QKeySequence(QLatin1String(kShortcuts[i].keys)), this);
        shortcut->setObjectName(QLatin1String(kShortcuts[i].objectName));
        shortcut->setContext(Qt::WindowShortcut);
        QAbstractButton *button = buttons.at(i);
        connect(shortcut, &QShortcut::activated, button, [button] {
            if (button->isEnabled() && button->isVisible())
                button->click();
        });
    }
    retranslateShortcuts();
}

// Each button's tooltip names what it does and its shortcut, in the
// interface's language, the keys as the desktop writes them.
void MainWindow::retranslateShortcuts()
{
    const QString what[] = {tr("连接或断开串口"), tr("暂停或恢复显示"), tr("清除曲线"),
                            tr("开始或停止录制"), tr("缩放后回到实时曲线"),
                            tr("在最新读数处加标记")};
    const QVector<QAbstractButton *> buttons = shortcutButtons();
    for (int i = 0; i < buttons.size(); ++i) {
        const QKeySequence keys(QLatin1String(kShortcuts[i].keys));
        buttons.at(i)->setToolTip(QStringLiteral("%1 (%2)").arg(what[i], keys.toString(QKeySequence::NativeText)));
    }
}
