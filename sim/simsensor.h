// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef SIMSENSOR_H
#define SIMSENSOR_H

// A simulated rangefinder on a pseudo-terminal. It owns the master side, keeps
// one descriptor of the raw slave side open (so a viewer disconnecting never
// makes the master read EIO), streams measurement frames at a chosen rate and
// answers the sensor's command protocol, Modbus RTU and firmware transfer.
// It runs on a std::thread of its own and needs no Qt.

#include "sim_pty.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace sim {

using Bytes = std::vector<uint8_t>;

// How the simulator answers the next commands (tests set these).
enum class AnswerMode {
    Normal,        // answer as a real sensor would
    Silent,        // answer nothing
    Split,         // write the answer in two parts, a short pause between them
    Late,          // write the answer after a delay longer than the first wait
    BadStatus,     // status acknowledgements carry a non-zero status byte
    WrongByte,     // echo / reply with one byte changed
    Garbage,       // answer every command with noise
    Surrounded,    // put measurement frames and stray bytes around the answer
};

// --- Firmware-transfer faults struck by the sensor itself ---
// The sensor applies them the moment the chosen frame arrives, so a test
// knows exactly where a transfer broke off without watching for it.
enum class UpgradeFault {
    None,
    StopAck,   // from this frame on, no frame is acknowledged
    WrongAck,  // from this frame on, every acknowledgement reads 5A 05 49 01
    Vanish,    // on this frame the device disappears, as with unplug()
};
// --- end of firmware-transfer faults ---

struct StreamFaults {
    double badChecksumShare = 0.0; // share of frames sent with a wrong checksum
    double strayByteShare = 0.0;   // share of frames preceded by a stray byte
    bool splitFrames = false;      // write frames in small uneven pieces
};

class SimSensor
{
public:
    SimSensor();
    ~SimSensor();

    // Creates the pty and starts the thread. Returns false on failure.
    bool start(int framesPerSecond = 100);
    void stop();
    bool running() const;

    // Path of the slave device that QSerialPort opens, e.g. /dev/pts/7.
    std::string devicePath() const;
    // A stable, self-describing name (a symlink in the simulator directory)
    // that also points at the slave device; empty until start().
    std::string linkPath() const;

    // Stream control.
    void setRate(int framesPerSecond);  // 0 pauses the stream
    int rate() const;
    void pauseStream(bool paused);
    void setDistanceCm(int cm);         // fixed distance; -1 = moving profile
    // A vibration of the target: a sine of `hz` and `amplitudeCm` (peak)
    // added to the fixed or moving distance at each frame's time, rounded to
    // whole centimetres as the sensor sends them. 0 for either turns it off.
    void setVibration(double hz, double amplitudeCm);
    void setFaults(const StreamFaults &faults);
    uint64_t framesSent() const;        // good measurement frames written so far
    // A distance that counts up by one cm per frame from `startCm` (after
    // 65535 comes 0), so that every frame can be told from its neighbours;
    // -1 goes back to the fixed or moving distance.
    void setCountingDistance(int startCm);
    // Every `everyFrames`-th frame (counted over the whole stream) carries
    // the distance plus `offsetCm`: lone spikes a decimated chart would hide.
    // 0 turns them off.
    void setSpikes(int everyFrames, int offsetCm);
    // Keeps the distance of every good frame put on the line from now on,
    // in line order (a frame counts once its last byte is written); false
    // stops and empties the log and the drop log.
    void setFrameLog(bool on);
    std::vector<uint16_t> frameLog() const;
    // Each logged frame's number among the good frames made, sent or
    // dropped: where two neighbours in the log differ by more than one, the
    // frames between them were dropped.
    std::vector<uint64_t> frameNumbers() const;
    // Good frames made but never put on the line: more than about 0.6 s of
    // the stream waiting for a slow reader, a reader that took nothing for a
    // second while the line was full (the frames then go into the void, as a
    // sensor's do when nobody listens), a line that went away. Counted since
    // the start (or clearSentLog()); their distances, in order, in the drop
    // log while the frame log is on. A frame is in exactly one of the logs.
    uint64_t framesDropped() const;
    std::vector<uint16_t> dropLog() const;
    // Seconds this simulator's own thread stalled beyond a quarter second
    // (on a loaded machine): the frames of that time were never made, the
    // signal went on from the last frame, and a rate measured on the host's
    // clock over that time comes out lower.
    double stalledSeconds() const;
    // Faults injected into the stream so far (StreamFaults): frames sent with
    // a wrong checksum, and stray bytes put before frames.
    uint64_t badFramesSent() const;
    uint64_t strayBytesSent() const;
    // The distances of the good frames written, in order, since the last
    // clearSentLog() (kept for every frame: tests compare recordings with it).
    std::vector<uint16_t> sentDistances() const;
    void clearSentLog();                // also zeroes the three counts above
    // Writes raw bytes to the line now (tests inject exact byte streams).
    void writeRaw(const Bytes &bytes);
    // Output settings as the sensor's commands leave them (also settable).
    int outputFormat() const;           // 0 ASCII text lines, else binary frames
    void setOutputFormat(int format);
    bool outputEnabled() const;         // false: trigger mode, no stream
    void setOutputEnabled(bool on);
    uint32_t baudRate() const;          // last baud rate commanded (no effect on a pty)
    // The rate the sensor's UART really runs at. 0 (the default): the line
    // works at whatever speed the host sets. Otherwise the simulator reads the
    // speed the host configured on its side (the pty's settings) and, when it
    // differs, sends what a receiver at the wrong rate makes of the stream:
    // as many bytes of noise instead of the frames (no 0x59 in it, so no
    // frame can be found in it). Standard POSIX speeds only.
    void setLineBaud(int baud);
    int lineBaud() const;
    // The speed the host side has configured on the line (0 if unknown).
    int hostBaud() const;

    // Command behaviour.
    void setAnswerMode(AnswerMode mode);
    void setLateDelayMs(int ms);                  // for AnswerMode::Late (default 1500)
    void setSplitPauseMs(int ms);                 // for AnswerMode::Split (default 300)
    Bytes received() const;                       // every byte the host wrote
    size_t receivedCount() const;
    void clearReceived();
    void setVersion(uint8_t a, uint8_t b, uint8_t c);        // reply bytes 3,4,5
    void setFullVersion(const std::string &text);            // up to 26 bytes

    // Modbus.
    bool modbusEnabled() const;
    void setModbusEnabled(bool on);
    uint8_t modbusAddress() const;
    void setModbusAddress(uint8_t addr);
    // A Modbus slave speaks only when asked: by default the stream pauses
    // while Modbus is on.
    void setStreamInModbus(bool on);
    void setModbusRegisters(uint16_t distance, const uint8_t version[4]);
    void setModbusBadCrc(bool on);

    // Firmware transfer.
    Bytes upgradeImage() const;          // reassembled image of the last transfer
    int upgradeFramesReceived() const;   // frames (header included) taken so far
    void setUpgradeStopAckAt(int frameIndex);  // -1 = never stop acknowledging
    void setUpgradeWrongAck(bool on);          // answer 5A 05 49 01 ..
    // Whether the frame that completes the announced image is acknowledged
    // too (default true; the host does not wait for that one).
    void setUpgradeAckLastFrame(bool on);
    // True when a frame came out of order or with another length.
    bool upgradeError() const;
    // Whether the stream keeps running during a transfer (default true).
    void setStreamDuringUpgrade(bool on);

    // --- Firmware-transfer faults at an exact frame, and a wait for frames ---
    // Arms `fault` for the transfer frame `frameIndex` (0 is the header). It
    // strikes when that frame arrives, before an acknowledgement would go
    // out. StopAck and WrongAck hold for every later frame too and stay
    // armed across transfers; Vanish strikes once. UpgradeFault::None disarms.
    void setUpgradeFault(int frameIndex, UpgradeFault fault);
    // Blocks until the current transfer has brought `count` frames (header
    // included, counted as upgradeFramesReceived() counts them), or until
    // `timeoutMs` passed. True when they arrived.
    bool waitForUpgradeFrames(int count, int timeoutMs = 5000) const;
    // --- end of firmware-transfer faults ---
    // Time. By default the simulator runs on the steady clock. A test may
    // stop its clock (before or after start()) and move it by hand: the
    // stream, delayed answers, split pieces and idle limits then follow only
    // advanceClock(), which returns once the simulator's thread has acted at
    // the new time (bytes it wrote are then in the pty, in order).
    void useManualClock();
    // Moves a stopped clock on by `us` microseconds in one step (at most a
    // quarter of a second counts for the stream: a longer step is a stall).
    void advanceClock(long long us);
    // A stopped clock that also steps on by `us` at every reading of it, as a
    // running clock moves between two readings of one pass (0: still).
    void setClockStep(long long us);
    // Waits until the simulator's thread has finished a pass that began
    // after this call (so it has read and answered what reached it before).
    // False if the simulator is not running or `timeoutMs` passed.
    bool settle(int timeoutMs = 5000);
    // Waits (on the thread's report, not by polling) until the simulator has
    // taken `count` bytes from the host in all, or `timeoutMs` passes.
    bool waitForReceived(size_t count, int timeoutMs = 5000);

    // Simulates an unplugged adapter: closes both sides of the pty and removes
    // the link (the viewer then sees errors on its port). start() again makes
    // a new device.
    void unplug();
    // The device comes back after an unplug(): a new pty under the same link
    // name (the link is re-pointed), settings kept, streaming at `fps` (the
    // last rate when negative). False when no link was made before or the pty
    // cannot be made.
    bool replug(int framesPerSecond = -1);

    // --- Acting at the moment a request arrives, and what is on the line ---
    // Tests use these instead of timing: the simulator does the thing when
    // the host's request is taken, and reports what still travels.
    //
    // Requests taken so far: command frames and Modbus requests this sensor
    // parsed (addressed to it or not, answered or not).
    int requestsTaken() const;
    // The device vanishes (as unplug()) the moment it takes its next request,
    // before answering it: the cable goes while the host's exchange waits.
    // running() turns false; start() makes a new device as after unplug().
    void unplugOnNextRequest();
    // Every answer is held back until the host's next request arrives and is
    // written just before that request is handled: a late answer, taken by
    // the host's next attempt wherever that falls in time.
    void setAnswersHeldUntilNextRequest(bool on);
    // Modbus replies (reads, echoes, exceptions) carry this slave address
    // instead of the sensor's own, with a CRC made over it; -1 = its own.
    void setModbusReplyAddress(int addr);
    // Bytes on their way to the host: not yet written to the line, or written
    // and not yet read by it. Scheduled (delayed) answers do not count.
    size_t bytesTowardsHost() const;
    // Bytes written to the line so far (stream, answers, raw bytes).
    uint64_t bytesWritten() const;
    // Bytes the host could read right now (on its side of the line).
    size_t bytesUnreadByHost() const;
    // Blocks until `count` requests have been taken; false after `timeoutMs`.
    bool waitForRequests(int count, int timeoutMs) const;

private:
    struct Impl;
    Impl *d;
};


} // namespace sim

#endif // SIMSENSOR_H
