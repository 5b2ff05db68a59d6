// SPDX-License-Identifier: GPL-3.0-or-later
// The sensor's own command protocol: frames 5A L id payload cs, answered with
// an echo, a status acknowledgement or a reply, bent by the test answer modes.

#include "sim_impl.h"

namespace sim {

namespace {

bool isEchoCommand(uint8_t id)
{
    return id == 0x03 || id == 0x05 || id == 0x06 || id == 0x07 || id == 0x08;
}

bool isStatusCommand(uint8_t id)
{
    switch (id) {
    case 0x02: case 0x10: case 0x11: case 0x45: case 0x4E: case 0x50: case 0x51:
    case 0x52: case 0x5A: case 0x5D: case 0x61: case 0x62: case 0x63: case 0x64:
    case 0x69: case 0x6F: case 0x70: case 0x71:
        return true;
    default:
        return false;
    }
}

uint32_t payloadValue(const Bytes &frame, size_t bytes)
{
    uint32_t v = 0;
    for (size_t i = 0; i < bytes && 3 + i + 1 < frame.size(); ++i)
        v |= static_cast<uint32_t>(frame[3 + i]) << (8 * i);
    return v;
}
} // namespace

void SimSensor::Impl::processRx(Clock::time_point now)
{
    // Sent at another rate than the UART's, a request arrives as noise.
    if (!rx.empty() && !hostRateMatches()) {
        rx.clear();
        return;
    }
    size_t start = 0;
    // A device that is vanishing takes nothing more from the line.
    while (start < rx.size() && !vanishing) {
        // Work on a view from `start`; erase once at the end.
        if (start > 0) {
            rx.erase(rx.begin(), rx.begin() + static_cast<long>(start));
            start = 0;
        }
        size_t used = 0;
        Parse modbus = Parse::Invalid;
        if (mbEnabled) {
            modbus = parseModbus(used);
            if (modbus == Parse::Consumed) {
                start = used;
                continue;
            }
        }
        const Parse command = parseCommand(used);
        if (command == Parse::Consumed) {
            start = used;
            continue;
        }
        if (command == Parse::NeedMore || modbus == Parse::NeedMore) {
            if (now - lastRx < kRxIdleLimit)
                break;
        }
        start = 1; // not the start of anything this sensor understands
    }
    if (start > 0)
        rx.erase(rx.begin(), rx.begin() + static_cast<long>(start));
}

Parse SimSensor::Impl::parseCommand(size_t &used)
{
    if (rx[0] != 0x5A)
        return Parse::Invalid;
    if (rx.size() < 2)
        return Parse::NeedMore;
    const size_t len = rx[1];
    if (len < 4)
        return Parse::Invalid;
    if (rx.size() < len)
        return Parse::NeedMore;
    if (sum8(rx.data(), len - 1) != rx[len - 1])
        return Parse::Invalid;
    used = len;
    handleCommand(Bytes(rx.begin(), rx.begin() + static_cast<long>(len)));
    return Parse::Consumed;
}

void SimSensor::Impl::handleCommand(const Bytes &frame)
{
    if (!takeRequest())
        return;
    const uint8_t id = frame[2];
    const Clock::time_point now = clock();

    if (id == 0x49) {
        handleUpgrade(frame);
        return;
    }
    if (id == 0x01) {
        Bytes reply = {0x5A, 0x07, 0x01, version[0], version[1], version[2]};
        appendSum(reply);
        answer(reply, AnswerKind::Reply);
        return;
    }
    if (id == 0x14) {
        Bytes reply = {0x5A, 0x1E, 0x14};
        for (size_t i = 0; i < 26; ++i)
            reply.push_back(i < fullVersion.size() ? static_cast<uint8_t>(fullVersion[i]) : 0);
        appendSum(reply);
        answer(reply, AnswerKind::Reply);
        return;
    }
    if (id == 0x04) {
        const uint16_t cm = currentDistance(now);
        answer(outputFormat == 0 ? textLine(cm) : measurementFrame(cm, true), AnswerKind::Reply);
        return;
    }
    if (isEchoCommand(id)) {
        answer(frame, AnswerKind::Echo);
        switch (id) {
        case 0x03:
            rate = std::min<int>(static_cast<int>(payloadValue(frame, 2)), 11111);
            restartPacing(now);
            break;
        case 0x05:
            outputFormat = frame.size() > 4 ? frame[3] : 1;
            break;
        case 0x06:
            baudRate = payloadValue(frame, 4);
            break;
        case 0x07:
            outputEnabled = frame.size() > 4 && frame[3] != 0;
            restartPacing(now);
            break;
        case 0x08:
            checksumEnabled = frame.size() > 4 && frame[3] != 0;
            break;
        default:
            break;
        }
        return;
    }
    if (isStatusCommand(id)) {
        Bytes ack = {0x5A, 0x05, id, 0x00};
        appendSum(ack);
        answer(ack, AnswerKind::Status);
        switch (id) {
        case 0x10: // factory settings
            rate = 100;
            outputFormat = 1;
            outputEnabled = true;
            checksumEnabled = true;
            restartPacing(now);
            break;
        case 0x6F:
            mbEnabled = true;
            break;
        case 0x70:
            if (frame.size() > 4)
                mbAddr = frame[3];
            break;
        default:
            break;
        }
    }
    // Unknown ids get no answer, like a sensor that does not know them.
}

void SimSensor::Impl::answer(Bytes bytes, AnswerKind kind)
{
    if (bytes.empty())
        return;
    if (holdAnswers) {
        heldAnswers.emplace_back(std::move(bytes), kind);
        return;
    }
    answerNow(std::move(bytes), kind);
}

void SimSensor::Impl::answerNow(Bytes bytes, AnswerKind kind)
{
    switch (mode) {
    case AnswerMode::Silent:
        return;
    case AnswerMode::Garbage: {
        // Noise of the same length that can match no acknowledgement or reply.
        std::uniform_int_distribution<int> anyByte(0, 255);
        for (uint8_t &b : bytes) {
            int v;
            do {
                v = anyByte(rng);
            } while (v == 0x59 || v == 0x5A || v == mbAddr);
            b = static_cast<uint8_t>(v);
        }
        enqueue(bytes);
        return;
    }
    case AnswerMode::BadStatus:
        if ((kind == AnswerKind::Status || kind == AnswerKind::UpgradeAck) && bytes.size() == 5) {
            bytes[3] = 0x01;
            bytes[4] = sum8(bytes.data(), 4);
        }
        enqueue(bytes);
        return;
    case AnswerMode::WrongByte:
        if (bytes.size() >= 2)
            bytes[bytes.size() - 2] = static_cast<uint8_t>(bytes[bytes.size() - 2] ^ 0x01);
        else
            bytes[0] = static_cast<uint8_t>(bytes[0] ^ 0x01);
        enqueue(bytes);
        return;
    case AnswerMode::Surrounded: {
        const uint16_t cm = currentDistance(clock());
        const Bytes f = measurementFrame(cm, true);
        Bytes all;
        all.insert(all.end(), f.begin(), f.end());
        all.push_back(0x00);
        all.push_back(0x13);
        all.insert(all.end(), f.begin(), f.end());
        all.insert(all.end(), bytes.begin(), bytes.end());
        all.insert(all.end(), f.begin(), f.end());
        all.insert(all.end(), f.begin(), f.end());
        enqueue(all);
        return;
    }
    case AnswerMode::Split: {
        const size_t half = std::max<size_t>(1, bytes.size() / 2);
        enqueue(Bytes(bytes.begin(), bytes.begin() + static_cast<long>(half)));
        if (half < bytes.size())
            schedule(splitPauseMs, Bytes(bytes.begin() + static_cast<long>(half), bytes.end()));
        return;
    }
    case AnswerMode::Late:
        schedule(lateMs, bytes);
        return;
    case AnswerMode::Normal:
        break;
    }
    enqueue(bytes);
}

} // namespace sim
