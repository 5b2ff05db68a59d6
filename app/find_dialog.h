// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef FIND_DIALOG_H
#define FIND_DIALOG_H

// "Find the sensor": listens on the ports at each offered baud rate, off the
// window's thread, and lists where measurement frames arrive; one click
// connects there. It writes to the ports only with "try the version query"
// checked.

#include "port_scanner.h"

#include <QDialog>
#include <QElapsedTimer>

class QCheckBox;
class QLabel;
class PortConnector;
class QPushButton;
class QTableWidget;

class FindDialog : public QDialog
{
    Q_OBJECT

public:
    // `connector` connects the window to a port at a rate and lists the
    // ports to listen on when the operator starts.
    FindDialog(QWidget *parent, PortConnector *connector);
    ~FindDialog() override;

    // Scans `ports` with the dialog's options (tests give the ports).
    bool startScan(const QStringList &ports);
    bool scanning() const;
    // The listening times and rates (the version query follows the dialog's
    // switch).
    void setScanOptions(const ScanOptions &options) { baseOptions = options; }
    QVector<ScanHit> hits() const { return found; }
    // Connects to the hit in `row`.
    bool connectRow(int row);
    qint64 lastScanMs() const { return scanMs; }
    void retranslate();

signals:
    void scanFinished();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void onPortScanned(PortScanResult result);
    void onFinished();
    void fitTable();

    PortConnector *connector;
    PortScanner *scanner;
    QCheckBox *queryVersion;
    QPushButton *startButton;
    QPushButton *connectButton;
    QTableWidget *table;
    QLabel *status;
    ScanOptions baseOptions;
    QVector<ScanHit> found;
    QStringList unreachable;   // ports in use or not permitted
    QElapsedTimer clock;
    qint64 scanMs = 0;
    bool running = false;
};

#endif // FIND_DIALOG_H
