// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef RECEIVER_CALLS_H
#define RECEIVER_CALLS_H

// The definition of receiver::runInWorkerThread, included at the end of
// receiver.h only (where the class is complete; it includes nothing back):
// the call is handed over through a mailbox of the worker's own, guarded by a
// std::mutex, and run by a blocking queued signal without arguments, so that
// the hand-over is seen by ThreadSanitizer as well as by the program.

#ifndef RECEIVER_H
#error "receiver_calls.h is part of receiver.h: include receiver.h"
#endif

template <typename Fn>
void receiver::runInWorkerThread(Fn fn)
{
    QThread *owner = thread();
    if (QThread::currentThread() == owner) {
        fn();
        return;
    }
    if (!owner || !owner->isRunning()) {
        qDebug() << "receiver::runInWorkerThread" << "worker thread not running";
        return;
    }
    std::function<void()> call(std::ref(fn));
    std::lock_guard<std::mutex> oneAtATime(callerMutex);
    {
        std::lock_guard<std::mutex> lock(callMutex);
        pendingCall = &call;
        pendingCallDone = false;
    }
    emit signalWorkerCall(QPrivateSignal());
    std::lock_guard<std::mutex> lock(callMutex);
    if (!pendingCallDone) {
        // The thread stopped before it took the call.
        pendingCall = nullptr;
        qDebug() << "receiver::runInWorkerThread" << "worker thread not running";
    }
}

#endif // RECEIVER_CALLS_H
