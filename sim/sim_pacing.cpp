// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim_pacing.h"

#include <limits>

namespace sim {
namespace pacing {

namespace {
// Clock ticks in a second (a nanosecond clock on every platform we build on).
constexpr uint64_t kTicksPerSecond =
    uint64_t(std::chrono::duration_cast<Duration>(std::chrono::seconds(1)).count());
} // namespace

uint64_t framesDue(Duration elapsed, int rate)
{
    if (rate <= 0 || elapsed.count() <= 0)
        return 0;
    // Whole seconds and the rest apart, so that the product cannot overflow
    // however long the stream has run.
    const uint64_t ticks = uint64_t(elapsed.count());
    const uint64_t r = uint64_t(rate);
    return (ticks / kTicksPerSecond) * r + (ticks % kTicksPerSecond) * r / kTicksPerSecond;
}

Duration dueAfter(uint64_t n, int rate)
{
    if (rate <= 0)
        return Duration::max();
    const uint64_t r = uint64_t(rate);
    const uint64_t seconds = n / r;
    const uint64_t maxSeconds = uint64_t(std::numeric_limits<Duration::rep>::max()) / kTicksPerSecond - 1;
    if (seconds > maxSeconds)
        return Duration::max();
    // ceil(rest * 1 s / rate): the first tick at which frame n is due.
    const uint64_t rest = n % r;
    const uint64_t ticks = seconds * kTicksPerSecond + (rest * kTicksPerSecond + r - 1) / r;
    return Duration(Duration::rep(ticks));
}

} // namespace pacing
} // namespace sim
