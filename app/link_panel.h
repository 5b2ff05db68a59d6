// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef LINK_PANEL_H
#define LINK_PANEL_H

// The link's own corner of the window, beside the readouts: the reconnect
// switch and counter, the line-health counters (with a warning when more than
// 1 % of the frames fail their checksum), the "find the sensor" action and
// the switch of the command-traffic view. Built in code, in one place, so the
// form stays as it is.

#include "find_dialog.h"
#include "line_health_policy.h"
#include "port_access.h"
#include "traffic_entry.h"

#include <QGroupBox>
#include <QPointer>

class QCheckBox;
class QDockWidget;
class QLabel;
class QMainWindow;
class QPushButton;
class PortConnector;
class StatusLine;
class TrafficPanel;
class receiver;

class LinkPanel : public QGroupBox
{
    Q_OBJECT

public:
    // Docks the traffic view under `window`'s panels and connects to the
    // worker (before any port opens); the window places the panel itself.
    // The find dialog connects through `connector`; a reconnect is said on
    // `status`.
    LinkPanel(QMainWindow *window, receiver *worker, PortConnector *connector, StatusLine *status);

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

    // The text of a counter showing `count`.
    static QString countText(quint64 count) { return LineHealthPolicy::countText(count); }
    static constexpr quint64 kWidestExactCount = LineHealthPolicy::kWidestExactCount;

    // Shown values (tests read them).
    int shownReconnects() const { return policy.reconnects(); }
    LineHealth shownHealth() const { return policy.health(); }

signals:
    // The device came back after `seconds` away: the chart's time runs on
    // across the gap.
    void deviceBackAfter(double seconds);

private:
    void createWidgets();
    void layOut();
    void connectSignals();
    void onDeviceLost(bool waiting, qint64 atMs);
    void onReconnected(int count, qint64 atMs);
    void onReconnectStopped();
    void onLineHealth(LineHealth health);
    void onTraffic(TrafficEntry entry);
    void showCounts();
    void fitCounters();
    void showTrafficPanel(bool show);
    // Lines of traffic the floating panel shows at least.
    static constexpr int kTrafficRows = 8;
    void showPresence();

    QMainWindow *window;
    receiver *worker;
    PortConnector *connector;
    StatusLine *status;
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
    LineHealthPolicy policy;
};

#endif // LINK_PANEL_H
