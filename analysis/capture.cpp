// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture.h"


namespace analysis {

bool writeCaptureCsv(const Capture &capture, QIODevice &out)
{
    QByteArray text = "index,time_s,distance_m\n";
    text.reserve(capture.size() * 28 + 32);
    for (int i = 0; i < capture.size(); ++i) {
        text += QByteArray::number(i - capture.pre) + ',';
        text += QByteArray::number(capture.seconds(i), 'f', 6) + ',';
        text += QByteArray::number(capture.cm.at(i) / 100.0, 'f', 2) + '\n';
    }
    return out.write(text) == text.size();
}

TriggeredCapture::TriggeredCapture(QObject *parent) : QObject(parent)
{
    qRegisterMetaType<analysis::Capture>();
}

bool TriggeredCapture::setSettings(const CaptureSettings &settings)
{
    if (settings.pre < 0 || settings.post < 0 || settings.pre > kMaxSide || settings.post > kMaxSide
        || settings.autoAfter < 0)
        return false;
    if (settings.edge == TriggerEdge::Leave && !settings.outside)
        return false;
    cfg = settings;
    if (st != State::Idle)
        arm();
    return true;
}

void TriggeredCapture::setState(State s)
{
    if (s != st) {
        st = s;
        emit stateChanged();
    }
}

void TriggeredCapture::arm()
{
    ringCm.fill(0, cfg.pre + 1);
    ringUs.fill(0, cfg.pre + 1);
    seen = 0;
    sinceFull = 0;
    haveExpected = false;
    current = Capture();
    triggerCount = 0;
    setState(State::Filling);
}

void TriggeredCapture::disarm()
{
    current = Capture();
    setState(State::Idle);
}

void TriggeredCapture::add(const MeasurementBatch &batch)
{
    if (st == State::Idle)
        return;
    for (int i = 0; i < batch.size() && st != State::Idle; ++i)
        take(batch.first + quint64(i), batch.timeUs(i), batch.cm.at(i));
}

bool TriggeredCapture::fires(uint16_t previous, uint16_t cm) const
{
    const double before = previous / 100.0, now = cm / 100.0;
    const double level = cfg.levelM;
    const bool rising = before < level && now >= level;
    const bool falling = before > level && now <= level;
    switch (cfg.edge) {
    case TriggerEdge::Rising:
        return rising;
    case TriggerEdge::Falling:
        return falling;
    case TriggerEdge::Either:
        return rising || falling;
    case TriggerEdge::Leave:
        return !cfg.outside(before) && cfg.outside(now);
    }
    return false;
}

void TriggeredCapture::start(quint64 number, bool forced)
{
    // The pre samples and this one, oldest first, out of the ring.
    const int span = cfg.pre + 1;
    current = Capture();
    current.pre = cfg.pre;
    current.forced = forced;
    current.firstNumber = number - quint64(cfg.pre);
    current.cm.reserve(span + cfg.post);
    current.us.reserve(span + cfg.post);
    for (int k = 0; k < span; ++k) {
        const int at = int((number - quint64(cfg.pre) + quint64(k)) % quint64(span));
        current.cm.append(ringCm[at]);
        current.us.append(ringUs[at]);
    }
    if (!forced) {
        ++triggerCount;
        emit triggered(number);
    }
    sinceFull = 0;
}

void TriggeredCapture::take(quint64 number, qint64 us, uint16_t cm)
{
    if (haveExpected && number != expected) {
        // A hole in the stream: neither a pre part nor a capture spans it.
        seen = 0;
        sinceFull = 0;
        current = Capture();
        setState(State::Filling);
    }
    haveExpected = true;
    expected = number + 1;

    if (st == State::Collecting) {
        current.cm.append(cm);
        current.us.append(us);
        if (current.size() == cfg.pre + 1 + cfg.post) {
            lastCapture = current;
            current = Capture();
            // The samples just taken may serve as the next pre part.
            setState(cfg.mode == CaptureMode::Single ? State::Idle : State::Armed);
            emit captured(lastCapture);
        }
        // Collected samples still go into the ring for the next pre part.
    }

    const int span = cfg.pre + 1;
    const int at = int(number % quint64(span));
    const uint16_t previous = ringCm[int((number + quint64(span) - 1) % quint64(span))];
    const bool hadPrevious = seen > 0;
    ringCm[at] = cm;
    ringUs[at] = us;
    ++seen;
    if (st == State::Collecting || st == State::Idle)
        return;

    // This sample may trigger once `pre` samples came before it.
    const bool full = seen > quint64(cfg.pre);
    if (!full)
        return;
    setState(State::Armed);
    const bool trigger = hadPrevious && fires(previous, cm);
    const quint64 autoAfter = cfg.autoAfter > 0 ? quint64(cfg.autoAfter) : quint64(cfg.pre + 1 + cfg.post);
    const bool force = !trigger && cfg.mode == CaptureMode::Auto && ++sinceFull >= autoAfter;
    if (!trigger && !force)
        return;
    start(number, force);
    if (cfg.post == 0) {
        lastCapture = current;
        current = Capture();
        setState(cfg.mode == CaptureMode::Single ? State::Idle : State::Armed);
        emit captured(lastCapture);
    } else {
        setState(State::Collecting);
    }
}

} // namespace analysis
