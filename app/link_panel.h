// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef LINK_PANEL_H
#define LINK_PANEL_H

// The link's own corner of the window, beside the readouts: the reconnect
// switch and counter, the line-health counters (with a warning when more than
// 1 % of the frames fail their checksum), the "find the sensor" action and
// the switch of the command-traffic view. Built in code, in one place, so the
// form stays as it is.

#include "measurement_parser.h"
#include "port_access.h"
#include "traffic_entry.h"
#include "find_dialog.h"

#include <QElapsedTimer>
#include <QGroupBox>
#include <QPointer>

class QDockWidget;

class QCheckBox;
class QLabel;
class QPushButton;
class MainWindow;
class TrafficPanel;

class LinkPanel : public QGroupBox
{
    Q_OBJECT

public:
    // Puts itself beside the readouts and the traffic view under the chart,
    // and connects to the window's worker (before any port opens).
    explicit LinkPanel(MainWindow *window);

    // The status text of a failed connect: the window's "connection failed"
    // text, then the reason when one is known.
    static QString failureText(const QString &failed, OpenFailure why);

    // The operator connected (counters start afresh) or disconnected.
    void connected();
    void disconnected();
    void retranslate();

    TrafficPanel *trafficPanel() const { return traffic; }
    QDockWidget *trafficWindow() const { return trafficDock; }
    FindDialog *findDialog() const { return finder; }
    // Opens the find dialog (made on first use).
    FindDialog *openFindDialog();
    QStringList candidatePorts() const;
    // Connects the window to `port` at `baud`, as the operator would by
    // choosing them and pressing connect (disconnecting first if needed).
    bool connectTo(const QString &port, int baud);

    // The text of a counter showing `count`.
    static QString countText(quint64 count);
    static constexpr quint64 kWidestExactCount = 9'999'999;

    // Shown values (tests read them).
    int shownReconnects() const { return reconnects; }
    LineHealth shownHealth() const { return health; }

private:
    void createWidgets();
    void layOut();
    void connectSignals();
    void onDeviceLost(bool waiting);
    void onReconnected(int count);
    void onReconnectStopped();
    void onLineHealth(LineHealth health);
    void onTraffic(TrafficEntry entry);
    void showCounts();
    void fitCounters();
    void showTrafficPanel(bool show);
    // Lines of traffic the floating panel shows at least.
    static constexpr int kTrafficRows = 8;
    void setState(const QString &text);

    MainWindow *window;
    TrafficPanel *traffic;
    QDockWidget *trafficDock;
    QPointer<FindDialog> finder;
    QCheckBox *autoReconnect;
    QLabel *reconnectCaption;
    QLabel *reconnectValue;
    QLabel *healthCaption[4];
    QLabel *healthValue[4];
    QLabel *poorLine;
    QLabel *state;         // the device lost, waited for, or back
    QPushButton *findButton;
    QPushButton *showTraffic;
    QElapsedTimer lostFor;   // since the device was lost (invalid while present)
    int reconnects = 0;
    bool lostWaiting = false;
    LineHealth health;
};

#endif // LINK_PANEL_H
