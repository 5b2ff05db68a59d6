// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef CROSS_THREAD_H
#define CROSS_THREAD_H

// Signals that carry data from the worker's thread to an object of another
// thread (the window, a test). A queued connection would copy the arguments
// and hand them over under Qt's own locks; here the copy goes through an inbox
// guarded by a std::mutex instead, so the order of the sender's writes and the
// receiver's reads is stated in this code, where a checker such as
// ThreadSanitizer sees it (Qt's locks are out of its sight). The slot runs in
// the receiving object's thread, as with a queued connection, and the calls
// keep the order of the emissions.

#include <QObject>

#include <functional>
#include <mutex>
#include <vector>

class CrossThreadInbox : public QObject
{
    Q_OBJECT

public:
    // Lives in the thread of `owner`, as its child.
    explicit CrossThreadInbox(QObject *owner);

    // Any thread: queues `call` to run in the inbox's thread.
    void post(std::function<void()> call);

signals:
    void wake();

private:
    void drain();

    std::mutex mutex;
    std::vector<std::function<void()>> pending;
};

// The inbox of `owner` (made on first use): one per object, so that the calls
// of all its connections keep the order of their emissions.
CrossThreadInbox *inboxOf(QObject *owner);

// Connects `signal` to `slot` through the inbox of the target. The connection
// ends with the target. Connect before the sender starts emitting (for the
// worker: before its port opens).
template <typename Sender, typename... SignalArgs, typename Target, typename... SlotArgs>
QMetaObject::Connection connectAcrossThreads(Sender *sender, void (Sender::*signal)(SignalArgs...),
                                            Target *target, void (Target::*slot)(SlotArgs...))
{
    CrossThreadInbox *inbox = inboxOf(target);
    return QObject::connect(sender, signal, inbox, [inbox, target, slot](SignalArgs... args) {
        inbox->post([=] { (target->*slot)(args...); });
    }, Qt::DirectConnection);
}

#endif // CROSS_THREAD_H
