// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef SIM_IMPL_H
#define SIM_IMPL_H

// Inner state of the simulated sensor, shared by the files that implement it
// (pty and thread, measurement stream, command protocol, Modbus, upgrade).
// Everything below `m` is guarded by it; the thread holds it while it works and
// releases it only while it sleeps in poll().

#include "simsensor.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <random>
#include <utility>

namespace sim {

using Clock = std::chrono::steady_clock;

// Bytes that may wait to be written before new stream frames are dropped,
// about 0.6 s of the fastest stream: a host that reads, however slowly on a
// busy machine, gets every frame, as from an adapter's driver buffer. A
// reader that takes nothing at all is another matter (see flushOut): a real
// sensor's UART does not queue, it transmits into the void when nobody reads.
constexpr size_t kMaxBacklog = 65536;
// Distances kept for sentDistances(): hours of a fast stream would otherwise
// fill the memory of a soak run.
constexpr size_t kMaxSentLog = 4000000;
// An incomplete request that sees no new byte this long is dropped byte by byte.
constexpr auto kRxIdleLimit = std::chrono::milliseconds(100);

// What kind of answer a frame is, so that the test modes know what to bend.
enum class AnswerKind { Echo, Status, Reply, Modbus, UpgradeAck };

struct Scheduled {
    Clock::time_point due;
    Bytes bytes;
};

// Result of trying to cut one request out of the receive buffer.
enum class Parse { Consumed, NeedMore, Invalid };

struct SimSensor::Impl {
    mutable std::mutex m;

    // The simulator's time. Normally the steady clock; a test may stop it and
    // move it by hand (useManualClock/advanceClock), so that pacing, delays
    // and idle limits play out exactly and at once. Every pass of the thread
    // counts `passes` and notifies `passDone`, so callers can wait for the
    // thread to have acted on what they changed.
    bool manualClock = false;
    mutable Clock::time_point manualNow{};
    // A stopped clock may also step on by this much at every reading, as a
    // running clock does between two readings in one pass.
    Clock::duration manualStep{0};
    uint64_t passes = 0;
    std::condition_variable passDone;
    Clock::time_point clock() const
    {
        if (!manualClock)
            return Clock::now();
        manualNow += manualStep;
        return manualNow;
    }
    bool waitForPass(int timeoutMs, const std::function<bool()> &done, bool needNewPass);

    // pty and thread
    int master = -1;
    int slave = -1;
    int wakeRead = -1;
    int wakeWrite = -1;
    std::string dev;
    std::string link;
    std::string lastLink;          // the link name replug() makes again
    std::thread thread;
    std::atomic<bool> quit{false};
    std::atomic<bool> isRunning{false};

    // outgoing bytes, in line order; `outPos` bytes of `out` are already written
    Bytes out;
    size_t outPos = 0;
    // Bytes ever put into `out`, and ever taken from it (written or dropped):
    // the positions of queued stream frames are counted on these.
    uint64_t queuedTotal = 0;
    uint64_t takenTotal = 0;
    // Good stream frames in `out` that have not reached the line yet, with
    // their bytes [start, end) on the counts above. A frame counts as sent
    // (framesSent, the logs) once its last byte is written.
    struct QueuedFrame {
        uint64_t start;
        uint64_t end;
        uint16_t cm;
        bool binary;   // a 9-byte frame; else a text line (only logged)
        uint64_t number;   // framesMade when it was made
    };
    std::deque<QueuedFrame> queuedFrames;
    // The reader took nothing while the line was full for kStallLimit: new
    // stream frames are dropped (counted) until it reads again.
    bool notReading = false;
    std::vector<Scheduled> scheduled;
    Clock::time_point stalledSince{};
    bool stalled = false;
    int queuedAfterWrite = 0;   // the line's queue when the last pass had written

    // measurement stream
    int rate = 100;
    bool paused = false;
    bool outputEnabled = true;     // output mode: 1 continuous, 0 trigger
    int outputFormat = 1;          // 0 ASCII text lines, anything else binary
    int fixedCm = -1;
    double vibrationHz = 0.0;      // a sine added to the distance; 0 Hz or 0 cm: none
    double vibrationCm = 0.0;
    int countingCm = -1;           // next distance of the counting profile; -1 off
    int spikeEvery = 0;            // every n-th frame a spike; 0 off
    int spikeCm = 0;
    uint64_t spikeCount = 0;       // frames made since the spikes were set
    bool frameLogOn = false;
    std::vector<uint16_t> frameLog;
    // Good frames made so far, sent or dropped; each one's number in the
    // frame log beside its distance.
    uint64_t framesMade = 0;
    std::vector<uint64_t> frameNumbers;
    // Good frames made but never put on the line (backlog full, nobody
    // reading, line gone), counted always and logged with the frame log.
    uint64_t framesDropped = 0;
    std::vector<uint16_t> dropLog;
    StreamFaults faults;
    uint64_t framesSent = 0;
    uint64_t badFramesSent = 0;
    uint64_t strayBytesSent = 0;
    std::vector<uint16_t> sentLog;
    int lineBaud = 0;              // 0: whatever the host sets
    Clock::time_point epoch{};     // start of the current pacing period
    uint64_t framesSinceEpoch = 0;
    Clock::time_point startTime{};
    // Time this process stalled past a quarter second (frames never made):
    // the sensor's own clock did not stop, so its signal goes on from the
    // last frame made instead of jumping over the stall.
    double stalledSeconds = 0.0;
    Bytes splitQueue;              // stream bytes waiting to go out in pieces
    size_t splitStep = 0;
    Clock::time_point nextPiece{};
    std::mt19937 rng{84};
    bool streamInModbus = false;
    bool streamDuringUpgrade = true;

    // command protocol
    Bytes rx;
    Clock::time_point lastRx{};
    Bytes receivedBytes;
    AnswerMode mode = AnswerMode::Normal;
    int lateMs = 1500;
    int splitPauseMs = 300;
    uint8_t version[3] = {3, 0, 2};
    std::string fullVersion = "ZN84 SIM V2.0.3";
    uint32_t baudRate = 115200;
    bool checksumEnabled = true;

    // Modbus
    bool mbEnabled = false;
    uint8_t mbAddr = 1;
    bool mbRegistersSet = false;
    uint16_t mbDistance = 0;
    uint8_t mbVersion[4] = {1, 2, 0, 3};
    bool mbBadCrc = false;
    uint32_t mbBaudHigh = 0;
    uint32_t mbBaudLow = 0;

    // firmware transfer
    bool upgActive = false;
    int upgNextIndex = 0;
    int upgFrames = 0;
    uint16_t upgAnnounced = 0;
    int upgPayload = 0;
    Bytes upgData;
    bool upgError = false;
    int upgStopAckAt = -1;
    bool upgWrongAck = false;
    bool upgAckLast = true;
    // faults struck at an exact frame, and the waiters for frames
    int upgFaultAt = -1;
    UpgradeFault upgFault = UpgradeFault::None;
    bool vanishing = false;        // the device goes once the current frame is handled
    mutable std::condition_variable upgFrameArrived;

    // test reports and request-driven actions (sim_requests.cpp)
    int requestsTaken = 0;
    mutable std::condition_variable requestTaken;
    bool unplugArmed = false;      // vanish when the next request is taken
    bool holdAnswers = false;
    std::vector<std::pair<Bytes, AnswerKind>> heldAnswers;
    int mbReplyAddr = -1;
    uint64_t bytesWritten = 0;

    // --- thread and line (sim_line.cpp) ---
    void run();
    void wake();
    void enqueue(const Bytes &bytes);
    void schedule(int delayMs, const Bytes &bytes);
    void flushOut(Clock::time_point now);
    void releaseDue(Clock::time_point now);
    void readFromLine(Clock::time_point now);
    // Bytes leave `out`: `count` written to the line, or all that wait dropped.
    void taken(size_t count);
    void dropWaiting();
    // Drops the queued stream frames that have not begun to leave, keeping
    // answers and a frame already partly written.
    void dropQueuedFrames();
    void frameSent(uint16_t cm, uint64_t number, bool binary = true);
    void frameDropped(uint16_t cm);
    int pollTimeoutMs(Clock::time_point now) const;
    void resetSession();
    void vanish();

    // --- stream (sim_stream.cpp) ---
    bool streaming() const;
    bool hostRateMatches() const;
    void restartPacing(Clock::time_point now);
    void produceStream(Clock::time_point now);
    uint16_t distanceAt(double seconds) const;
    uint16_t currentDistance(Clock::time_point now) const;
    Bytes measurementFrame(uint16_t cm, bool good) const;
    static Bytes textLine(uint16_t cm);

    // --- command protocol (sim_commands.cpp) ---
    void processRx(Clock::time_point now);
    Parse parseCommand(size_t &used);
    void handleCommand(const Bytes &frame);
    void answer(Bytes bytes, AnswerKind kind);

    // --- Modbus (sim_modbus.cpp) ---
    Parse parseModbus(size_t &used);
    void handleModbus(const Bytes &req);

    // --- firmware transfer (sim_upgrade.cpp) ---
    void handleUpgrade(const Bytes &frame);
    Bytes reassembledImage() const;

    // --- request-driven actions (sim_requests.cpp) ---
    // Called by every request handler first: counts the request, lets held
    // answers go and arms the vanishing. False: handle nothing, the device
    // is going.
    bool takeRequest();
    // The answer as the answer mode bends it, written now.
    void answerNow(Bytes bytes, AnswerKind kind);
};

// Low byte of the sum of all bytes, as the sensor's frames use it.
uint8_t sum8(const uint8_t *data, size_t n);
// Appends the additive checksum of everything in `frame`.
void appendSum(Bytes &frame);
// CRC-16/MODBUS, bit by bit (independent of the viewer's table version).
uint16_t crc16Modbus(const uint8_t *data, size_t n);

} // namespace sim

#endif // SIM_IMPL_H
