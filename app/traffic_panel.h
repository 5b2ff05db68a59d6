// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef TRAFFIC_PANEL_H
#define TRAFFIC_PANEL_H

// The command traffic: one line per exchange (time, name, the bytes sent and
// received in hex, the outcome), the last 1,000 kept. Plain text, so that any
// part can be selected and copied; "copy all" takes everything.

#include "traffic_entry.h"

#include <QWidget>

class QPlainTextEdit;
class QPushButton;

class TrafficPanel : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kKeptEntries = 1000;

    explicit TrafficPanel(QWidget *parent = nullptr);

    void add(const TrafficEntry &entry);
    // The line shown for `entry`.
    static QString lineOf(const TrafficEntry &entry);
    // The exchange in the operator's words and language, with its values.
    static QString nameOf(const TrafficEntry &entry);
    static QString hex(const QByteArray &bytes);
    QString text() const;
    int entryCount() const;
    void copyAll();
    void clear();
    void retranslate();

private:
    QPlainTextEdit *view;
    QPushButton *copyAllButton;
    QPushButton *clearButton;
};

#endif // TRAFFIC_PANEL_H
