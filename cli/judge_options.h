// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZN84CTL_JUDGE_OPTIONS_H
#define ZN84CTL_JUDGE_OPTIONS_H

// The judge's options (--limits LOW:HIGH, --hysteresis H, --zero M,
// --filter avg:N|median:N), checked and applied the same way by every
// subcommand that judges the stream.

#include "cli.h"

class MeasurementJudge;

namespace cli {

// Applies the options given to `judge` (the filter feeds the judgement);
// false with the reason in words, `judge` untouched, when one is malformed.
bool setUpJudge(const Options &o, MeasurementJudge &judge, QString &why);

} // namespace cli

#endif // ZN84CTL_JUDGE_OPTIONS_H
