// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef TABLE_SLOTS_H
#define TABLE_SLOTS_H

// The command buttons' slots (on_<button>_clicked, bound by the form by name)
// all do the same: run the entry of the settings table that names the
// button (MainWindow::runTableButton). These macros define them, up to four
// to a line, so that a page lists its buttons instead of repeating a body.

#define ZN84_BUTTON_HANDLER(b) void MainWindow::on_##b##_clicked() { runTableButton(ui->b); }
#define ZN84_BUTTON_HANDLERS2(a, b) ZN84_BUTTON_HANDLER(a) ZN84_BUTTON_HANDLER(b)
#define ZN84_BUTTON_HANDLERS3(a, b, c) ZN84_BUTTON_HANDLERS2(a, b) ZN84_BUTTON_HANDLER(c)
#define ZN84_BUTTON_HANDLERS4(a, b, c, d) ZN84_BUTTON_HANDLERS2(a, b) ZN84_BUTTON_HANDLERS2(c, d)

#endif // TABLE_SLOTS_H
