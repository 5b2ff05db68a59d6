#include "thread_handoff.h"

#if defined(__SANITIZE_THREAD__)
#define ZN84_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define ZN84_TSAN 1
#endif
#endif

#ifdef ZN84_TSAN

#include <QCoreApplication>
#include <QEvent>
#include <QAtomicPointer>
#include <QObject>

#include <mutex>

extern "C" void __tsan_acquire(void *addr);
extern "C" void __tsan_release(void *addr);

// QtCore's hook for observing signal emissions, exported by the library (the
// layout is that of Qt 5's own declaration).
struct QSignalSpyCallbackSet
{
    typedef void (*BeginCallback)(QObject *caller, int signal_or_method_index, void **argv);
    typedef void (*EndCallback)(QObject *caller, int signal_or_method_index);
    BeginCallback signal_begin_callback, slot_begin_callback;
    EndCallback signal_end_callback, slot_end_callback;
};
void qt_register_signal_spy_callbacks(QSignalSpyCallbackSet *callback_set);
extern QBasicAtomicPointer<QSignalSpyCallbackSet> qt_signal_spy_callback_set;

namespace {

// One token for every hand-over: coarse, but it only adds orderings that Qt's
// locks really provide.
char token;

// Called by the emitting thread after the arguments are in place and before
// any queued copy is posted; the end runs after a blocking call has returned.
void signalBegin(QObject *, int, void **) { __tsan_release(&token); }
void signalEnd(QObject *, int) { __tsan_acquire(&token); }

// Queued calls delivered to objects of the main thread.
class MetaCallFilter : public QObject
{
public:
    using QObject::QObject;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::MetaCall)
            __tsan_acquire(&token);
        return false;
    }
};

} // namespace

namespace handoff {

void install()
{
    static std::once_flag once;
    static QSignalSpyCallbackSet callbacks = {signalBegin, nullptr, signalEnd, nullptr};
    if (!QCoreApplication::instance())
        return;
    // Qt Test clears the hooks at the end of every test run: register again
    // whenever they are not ours.
    if (qt_signal_spy_callback_set.loadAcquire() != &callbacks)
        qt_register_signal_spy_callbacks(&callbacks);
    std::call_once(once, [] {
        QCoreApplication::instance()->installEventFilter(new MetaCallFilter(QCoreApplication::instance()));
    });
}

void release() { __tsan_release(&token); }
void acquire() { __tsan_acquire(&token); }

} // namespace handoff

#else

namespace handoff {
void install() {}
void release() {}
void acquire() {}
} // namespace handoff

#endif
