#ifndef THREAD_HANDOFF_H
#define THREAD_HANDOFF_H

// ThreadSanitizer sees only instrumented code, and Qt's own libraries are not
// instrumented: it misses the locks with which Qt hands a queued call's
// arguments to the receiving thread and lets a blocking queued call wait for
// its result, and then reports the hand-over itself as a data race. These
// hooks state those hand-overs to it. In a build without ThreadSanitizer they
// do nothing.
namespace handoff {

// Registers the hooks for every signal and queued call of the process (again
// when something cleared them); call it in the main thread once the
// application object exists.
void install();
// Before data goes to another thread outside a signal (a posted lambda).
void release();
// After data from another thread arrived outside a signal.
void acquire();

} // namespace handoff

#endif // THREAD_HANDOFF_H
