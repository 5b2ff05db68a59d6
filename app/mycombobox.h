#ifndef MYCOMBOBOX_H
#define MYCOMBOBOX_H

#include <QComboBox>

// Port chooser: rebuilds its list from the ports present on the system each
// time it is opened, so that adapters plugged in after start-up show up.
class myCombobox : public QComboBox
{
    Q_OBJECT

public:
    explicit myCombobox(QWidget *parent = nullptr);

    void showPopup() override;

    // Port names in list order: the system's serial ports, then any running
    // simulated sensors (full paths of their links).
    static QStringList availablePortNames();
};

#endif // MYCOMBOBOX_H
