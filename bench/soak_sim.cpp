// SPDX-License-Identifier: GPL-3.0-or-later
// Simulated sensor for the soak: the same simulator as zn84-sim, but with a
// stream that starts paused and is switched by signals, so that the frames
// sent can be counted exactly against the lines of a record file.
//
//   SIGUSR1  start the stream (counting from here)
//   SIGUSR2  pause the stream, then send the end markers and print the count
//   SIGINT / SIGTERM  stop
//
// End markers: after the pause, kMarkers frames with the distance 65535 cm
// (recorded as 655.35, a value the moving target never reaches) push the last
// real frames through the viewer's parser, which keeps the newest frame until
// two more bytes arrive and sends a batch only above its threshold.

#include "simsensor.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr int kMarkers = 1100; // above the largest batch threshold (1000)

sim::Bytes markerFrames()
{
    sim::Bytes out;
    for (int i = 0; i < kMarkers; ++i) {
        const uint8_t f[8] = {0x59, 0x59, 0xFF, 0xFF, 0, 0, 0, 0};
        unsigned sum = 0;
        for (uint8_t b : f)
            sum += b;
        out.insert(out.end(), f, f + 8);
        out.push_back(static_cast<uint8_t>(sum & 0xFF));
    }
    return out;
}

} // namespace

int main(int argc, char **argv)
{
    long rate = 11111;
    if (argc == 3 && std::strcmp(argv[1], "--rate") == 0) {
        char *end = nullptr;
        rate = std::strtol(argv[2], &end, 10);
        if (*end != '\0' || rate < 1 || rate > 11111) {
            std::fprintf(stderr, "%s: rate must be 1..11111\n", argv[0]);
            return 2;
        }
    } else if (argc != 1) {
        std::fprintf(stderr, "usage: %s [--rate N]\n", argv[0]);
        return 2;
    }

    sigset_t sigs;
    sigemptyset(&sigs);
    for (int s : {SIGINT, SIGTERM, SIGUSR1, SIGUSR2})
        sigaddset(&sigs, s);
    pthread_sigmask(SIG_BLOCK, &sigs, nullptr);

    sim::SimSensor sensor;
    sensor.pauseStream(true);
    if (!sensor.start(static_cast<int>(rate))) {
        std::fprintf(stderr, "%s: cannot create a pseudo-terminal: %s\n", argv[0], std::strerror(errno));
        return 1;
    }
    std::printf("device: %s\nrate: %ld frames/s\n", sensor.devicePath().c_str(), rate);
    std::fflush(stdout);

    uint64_t startCount = 0;
    for (;;) {
        int sig = 0;
        sigwait(&sigs, &sig);
        if (sig == SIGUSR1) {
            startCount = sensor.framesSent();
            sensor.pauseStream(false);
            std::printf("streaming\n");
        } else if (sig == SIGUSR2) {
            sensor.pauseStream(true);
            const uint64_t sent = sensor.framesSent() - startCount;
            sensor.writeRaw(markerFrames());
            std::printf("sent: %llu\nmarkers: %d\n", static_cast<unsigned long long>(sent), kMarkers);
        } else {
            break;
        }
        std::fflush(stdout);
    }
    sensor.stop();
    return 0;
}
