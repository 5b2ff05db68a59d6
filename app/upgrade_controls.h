// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef UPGRADE_CONTROLS_H
#define UPGRADE_CONTROLS_H

// The firmware transfer beyond the form's own handlers: what is refused
// before anything is sent, the cancel button, the rest of the window locked
// while a transfer runs, and why a transfer failed, in words. The window's
// upgrade handlers ask it and tell it; it reaches the worker only to cancel.

#include "receiver.h"

#include <QList>
#include <QObject>

class QAbstractButton;
class QTabWidget;
class QWidget;

class UpgradeControls : public QObject
{
    Q_OBJECT

public:
    struct Widgets
    {
        QTabWidget *commandTabs;
        QList<QWidget *> commandPages; // locked while a transfer runs
        QWidget *connectButton;
        QList<QWidget *> inputs;       // the panel's own: start, file, link
        QAbstractButton *cancelButton;
    };
    UpgradeControls(const Widgets &widgets, receiver *worker, QObject *parent);

    // Whether the image at `path` cannot go over a link of frames of
    // `frameLength` bytes, and why.
    static bool imageRefused(const QString &path, unsigned int frameLength, receiver::UpgradeFailure &reason);
    // A failure (at frame `frame` for a missing acknowledgement) in words.
    static QString failureText(receiver::UpgradeFailure reason, unsigned int frame);
    // A failure found before anything was sent (the file, a closed port).
    static bool isRefusal(receiver::UpgradeFailure reason);

    // A transfer started: only its cancel button is offered.
    void started();
    bool isRunning() const { return running; }
    // The worker said why the transfer under way failed (before its result).
    void failed(receiver::UpgradeFailure reason, unsigned int frame);

    struct Outcome
    {
        bool failureKnown = false;
        receiver::UpgradeFailure reason = receiver::UpgradeFailure::Cancelled;
        unsigned int frame = 0;
        bool refused() const { return failureKnown && isRefusal(reason); }
    };
    // The transfer's result came: the window is unlocked, and what is known
    // of a failure handed over (and forgotten here).
    Outcome finished();

private:
    void lock(bool on);

    Widgets w;
    receiver *worker;
    bool running = false;
    Outcome failure;
};

#endif // UPGRADE_CONTROLS_H
