// SPDX-License-Identifier: GPL-3.0-or-later
// zn84-sim: runs a simulated sensor on a pseudo-terminal until SIGINT/SIGTERM.

#include "simsensor.h"
#include "zn84_version.h"

#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void usage(const char *argv0)
{
    std::fprintf(stderr,
                 "usage: %s [--rate N] [--distance CM] [--vibration HZ:CM] [--baud N]\n"
                 "       %s --version\n"
                 "  --rate N       measurement frames per second, 1..11111 (default 100)\n"
                 "  --distance CM  fixed distance in centimetres (default: a slowly moving target)\n"
                 "  --vibration HZ:CM  a sine of HZ hertz and CM centimetres (peak) added to the\n"
                 "                 distance, e.g. 37.5:20 (default: none)\n"
                 "  --baud N       the line's baud rate: a host listening at another rate reads\n"
                 "                 noise, as on a real line (default: any rate is heard)\n"
                 "  --version      the program's version\n",
                 argv0, argv0);
}

bool parseInt(const char *text, long min, long max, long &value)
{
    char *end = nullptr;
    errno = 0;
    value = std::strtol(text, &end, 10);
    return errno == 0 && end != text && *end == '\0' && value >= min && value <= max;
}

// "HZ:CM", both positive numbers: the frequency below half the fastest frame
// rate, the amplitude within the sensor's range.
bool parseVibration(const char *text, double &hz, double &cm)
{
    char *end = nullptr;
    errno = 0;
    hz = std::strtod(text, &end);
    if (errno != 0 || end == text || *end != ':')
        return false;
    const char *second = end + 1;
    cm = std::strtod(second, &end);
    return errno == 0 && end != second && *end == '\0' && std::isfinite(hz) && std::isfinite(cm)
           && hz > 0.0 && hz <= 5555.0 && cm > 0.0 && cm <= 32767.0;
}

} // namespace

int main(int argc, char **argv)
{
    long rate = 100;
    long distance = -1;
    long baud = 0;
    double vibrationHz = 0.0;
    double vibrationCm = 0.0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg == "--rate" || arg == "--distance" || arg == "--baud") && i + 1 < argc) {
            long value = 0;
            const long min = arg == "--rate" ? 1 : arg == "--baud" ? 50 : 0;
            const long max = arg == "--rate" ? 11111 : arg == "--baud" ? 4000000 : 65535;
            if (!parseInt(argv[++i], min, max, value)) {
                std::fprintf(stderr, "%s: bad value for %s: %s\n", argv[0], arg.c_str(), argv[i]);
                return 2;
            }
            (arg == "--rate" ? rate : arg == "--baud" ? baud : distance) = value;
        } else if (arg == "--vibration" && i + 1 < argc) {
            if (!parseVibration(argv[++i], vibrationHz, vibrationCm)) {
                std::fprintf(stderr, "%s: bad value for --vibration (HZ:CM, e.g. 37.5:20): %s\n", argv[0], argv[i]);
                return 2;
            }
        } else if (arg == "--version") {
            std::printf("zn84-sim %s\n", ZN84_VERSION);
            return 0;
        } else if (arg == "-h" || arg == "--help") {
            usage(argv[0]);
            return 0;
        } else {
            usage(argv[0]);
            return 2;
        }
    }

    // Block the stop signals before the simulator's thread starts, so that
    // only sigwait below receives them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    sim::SimSensor sensor;
    sensor.setDistanceCm(static_cast<int>(distance));
    sensor.setVibration(vibrationHz, vibrationCm);
    sensor.setLineBaud(static_cast<int>(baud));
    if (!sensor.start(static_cast<int>(rate))) {
        std::fprintf(stderr, "%s: cannot create a pseudo-terminal: %s\n", argv[0], std::strerror(errno));
        return 1;
    }
    if (sensor.linkPath().empty())
        std::fprintf(stderr,
                     "%s: no link: %s is not a folder of this user's that only this user may write;\n"
                     "  the viewer will not list this simulator (open the device path instead)\n",
                     argv[0], sim::simulatorDirectory().c_str());
    std::printf("device: %s\nlink: %s\nrate: %ld frames/s\n", sensor.devicePath().c_str(),
                sensor.linkPath().c_str(), rate);
    std::fflush(stdout);

    int sig = 0;
    sigwait(&stopSignals, &sig);
    sensor.stop();
    return 0;
}
