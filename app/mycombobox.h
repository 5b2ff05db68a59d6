// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef MYCOMBOBOX_H
#define MYCOMBOBOX_H

#include <QComboBox>

// Port chooser: rebuilds its list from the ports present on the system each
// time it is opened, so that adapters plugged in after start-up show up. An
// entry shows the port's description where the system gives one; its item
// data is the name openPort takes, its tooltip the full path. The chosen port
// stays chosen across a rebuild while it is still there.
class myCombobox : public QComboBox
{
    Q_OBJECT

public:
    explicit myCombobox(QWidget *parent = nullptr);

    void showPopup() override;

    // Rebuilds the list (what opening it does).
    void refreshPorts();
    // Rebuilds the list and makes `name` (a name openPort takes) the current
    // entry, shown as the list shows it; a port the list does not offer gets
    // an entry of the same kind.
    void choosePort(const QString &name);
    // What an entry shows of the port `name`: a path's file name.
    static QString shownName(const QString &name);
    // The port name of the current entry (what openPort takes); empty when
    // none is chosen.
    QString currentPort() const;

    // Port names in list order: the system's serial ports, then any running
    // simulated sensors (full paths of their links).
    static QStringList availablePortNames();
    // The folder where simulated sensors leave their links: $ZN84_SIM_DIR,
    // else $XDG_RUNTIME_DIR/zn84-sim, else <temporary dir>/zn84-sim-<uid>.
    // Listed only while it is the user's own and no one else may write it.
    static QString simulatorDirectory();

    // Wide enough for the longest port name there is, a simulated sensor's.
    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

private:
    int widestNameWidth() const;
    void addPort(const QString &name, const QString &description, const QString &path);
};

#endif // MYCOMBOBOX_H
