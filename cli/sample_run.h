// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZN84CTL_SAMPLE_RUN_H
#define ZN84CTL_SAMPLE_RUN_H

// The loop the measuring subcommands share: open the port, take the worker's
// distance batches as numbered batches of the stream (`BatchStream`) and hand
// each to the command until it says it has enough; a silence, a lost port, a
// stop signal or an overall time limit ends the run with its exit code.

#include "batch_stream.h"
#include "cli.h"
#include "stop_signals.h"

#include <functional>

namespace cli {

struct SampleRunResult
{
    int code = ExitOk;      // ExitOk when the sink said it had enough
    QString why;            // the reason of any other end, in words
    quint64 samples = 0;    // samples handed to the sink
    double seconds = 0;     // from the open to the end
};

// `sink` gets every batch in order and returns true once it has what it
// needs. `silenceS` (> 0) ends the run with ExitNoAnswer when no distance
// came for that long; `limitS` (> 0) ends it with `limitCode` after that long
// in all. Opening failures return ExitPort (the failure already printed by
// openOrFail, `why` empty).
// `opened`, when given, gets the worker once the port is open (e.g. to
// follow the line's health or to send settings from the main thread).
// `stops`, when given, is the command's own stop handling, installed before
// it started anything that prints (a client that reports its first failure
// at once): a SIGTERM sent on that report must not find the default action.
SampleRunResult runSamples(const Options &o, Output &out, double silenceS, double limitS, int limitCode,
                           const std::function<bool(const MeasurementBatch &)> &sink,
                           const std::function<void(receiver *)> &opened = {}, StopSignals *stops = nullptr);

} // namespace cli

#endif // ZN84CTL_SAMPLE_RUN_H
