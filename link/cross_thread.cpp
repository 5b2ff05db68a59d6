// SPDX-License-Identifier: GPL-3.0-or-later
#include "cross_thread.h"

CrossThreadInbox::CrossThreadInbox(QObject *owner) : QObject(owner)
{
    connect(this, &CrossThreadInbox::wake, this, &CrossThreadInbox::drain, Qt::QueuedConnection);
}

void CrossThreadInbox::post(std::function<void()> call)
{
    bool wasEmpty = false;
    {
        std::lock_guard<std::mutex> lock(mutex);
        wasEmpty = pending.empty();
        pending.push_back(std::move(call));
    }
    // One wake-up per filling: a drain takes everything queued by then.
    if (wasEmpty)
        emit wake();
}

void CrossThreadInbox::drain()
{
    std::vector<std::function<void()>> calls;
    {
        std::lock_guard<std::mutex> lock(mutex);
        calls.swap(pending);
    }
    for (const auto &call : calls)
        call();
}

CrossThreadInbox *inboxOf(QObject *owner)
{
    auto *inbox = owner->findChild<CrossThreadInbox *>(QString(), Qt::FindDirectChildrenOnly);
    return inbox ? inbox : new CrossThreadInbox(owner);
}
