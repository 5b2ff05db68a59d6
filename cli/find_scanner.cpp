// The minimal listening scanner behind `zn84ctl find` (see find_scanner.h):
// one worker, opened at each port and baud rate in turn; its distance batches
// are counted, nothing is written.

#include "find_scanner.h"
#include "cli.h"

#include "cross_thread.h"
#include "receiver.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QVector>

namespace cli {

namespace {

class Listener : public QObject
{
public:
    void onDistance(QVector<uint16_t> dist, int)
    {
        if (!counting)
            return;
        frames += dist.size();
        if (frames >= enough && loop)
            loop->quit();
    }

    bool counting = false;
    int frames = 0;
    int enough = 5;
    QEventLoop *loop = nullptr;
};

} // namespace

QList<FoundSensor> scanForSensors(const ScanRequest &request, const ScanHooks &hooks)
{
    QList<FoundSensor> hits;
    Session session;
    receiver *worker = session.worker();
    worker->setDistNum(0);
    Listener listener;
    listener.enough = request.enoughFrames;
    connectAcrossThreads(worker, &receiver::signalDistance, &listener, &Listener::onDistance);

    auto interrupted = [&] { return hooks.interrupted && hooks.interrupted(); };
    for (const QString &port : request.ports) {
        for (const int baud : request.bauds) {
            if (interrupted())
                return hits;
            if (hooks.trying)
                hooks.trying(port, baud);
            QString reason;
            QString name;
            if (!session.open(port, baud, reason, name)) {
                if (hooks.unopenable)
                    hooks.unopenable(port, reason, name);
                break; // the same at every rate
            }
            QEventLoop loop;
            QTimer poll;
            // The stop signal arrives as an event: look for it while listening.
            QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
                if (interrupted())
                    loop.quit();
            });
            poll.start(50);
            QTimer::singleShot(request.listenMs, &loop, &QEventLoop::quit);
            listener.frames = 0;
            listener.counting = true;
            listener.loop = &loop;
            QElapsedTimer clock;
            clock.start();
            loop.exec();
            session.close();
            // Batches handed over before the close still count.
            QCoreApplication::processEvents();
            listener.counting = false;
            listener.loop = nullptr;
            if (listener.frames >= request.enoughFrames) {
                const FoundSensor hit{port, baud, listener.frames, clock.elapsed() / 1000.0};
                hits << hit;
                if (hooks.found)
                    hooks.found(hit);
                break;
            }
        }
    }
    return hits;
}

} // namespace cli
