// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef SIM_PACING_H
#define SIM_PACING_H

// The stream's pacing in the clock's own integer time: frame n of a pacing
// period (counted from 1) falls due n / rate seconds after its start. Kept
// apart from the simulator's thread so that tests reach every edge (a clock
// read before the period began, days of streaming, the fastest rate) without
// a line.

#include <chrono>
#include <cstdint>

namespace sim {
namespace pacing {

using Duration = std::chrono::steady_clock::duration;

// Frames due `elapsed` after the start of the period at `rate` frames a
// second: floor(elapsed * rate / 1 s). None before the start (a clock read
// just before a restart) and none at a rate of 0 or less.
uint64_t framesDue(Duration elapsed, int rate);

// How long after the start of the period frame `n` falls due: the shortest
// time for which framesDue() reaches n. Duration::max() when no frame ever
// does (rate 0 or less, or beyond what the clock can count).
Duration dueAfter(uint64_t n, int rate);

} // namespace pacing
} // namespace sim

#endif // SIM_PACING_H
