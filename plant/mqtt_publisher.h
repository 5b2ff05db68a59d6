// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZN84_MQTT_PUBLISHER_H
#define ZN84_MQTT_PUBLISHER_H

// Feeds a plant's message broker (MQTT) from the batch stream: every sample,
// in order, numbered, with its losses counted.
//
//   PREFIX/distance  {"seq", "t", "rate", "m": [metres]} per batch of about
//                    batchMs; seq is the number of the batch's first sample
//                    since the stream began, so a gap in seq is a loss.
//   PREFIX/status    retained "online"; "offline" on a clean stop and, as the
//                    last will, when the process or its network dies.
//   PREFIX/health    the line-health counters and the publisher's own
//                    (queued, dropped, resent, connects) every few seconds.
//   PREFIX/set/NAME  (subscribed only when commands are asked for) handed to
//                    the owner through command(); answers go to PREFIX/reply.
//
// The client's socket is driven from the owner's Qt event loop (socket
// notifiers and a timer around libmosquitto's loop_read/loop_write/loop_misc),
// not by libmosquitto's own thread: every callback then runs in the owner's
// thread, so the queue, the counters and the batches need no lock, and the
// reconnecting is ours. libmosquitto's threaded loop gives up for good when the
// first connect fails (a broker that starts after the gateway) and keeps its
// own unbounded queue, where a bounded one that counts its drops is wanted.
//
// Every connection is a fresh client: messages handed to a client that lost
// its connection before the broker acknowledged them go back to the front of
// our queue and are sent again first (QoS 1 is at least once: a subscriber
// may see such a message twice, never a gap).

#include "measurement_batch.h"
#include "measurement_parser.h"

#include <QByteArray>
#include <QLoggingCategory>
#include <QObject>
#include <QString>
#include <QTimer>

#include <deque>
#include <memory>

Q_DECLARE_LOGGING_CATEGORY(lcPlant)   // "zn84.plant": the broker connection

struct mosquitto;
struct mosquitto_message;
class QSocketNotifier;

namespace plant {

struct PublisherOptions
{
    QString host = QStringLiteral("localhost");
    int port = 1883;
    bool tls = false;
    QString caFile;             // empty with tls: the system's certificate store
    QString prefix;             // topic prefix, e.g. "line1/zn84"
    int qos = 1;
    QString clientId;
    QString username;           // empty: anonymous
    QString password;
    int batchMs = 100;          // one distance message per this many milliseconds of samples
    bool subscribeCommands = false;
    int healthMs = 5000;
    int keepAliveS = 5;
    int window = 20;            // messages handed to the client and not yet acknowledged
    // The queue's bound, in samples: two minutes of the fastest stream
    // (11,111 frames a second). Beyond it the oldest waiting messages go and
    // are counted as dropped.
    qint64 maxQueuedSamples = 120 * 11112;
};

// Reads mqtt://HOST[:PORT] or mqtts://HOST[:PORT] into `o`; false with the
// reason otherwise.
bool parseBrokerUrl(const QString &url, PublisherOptions &o, QString &why);
// A topic prefix: not empty, no wildcard, no leading or trailing '/'.
bool checkTopicPrefix(const QString &prefix, QString &why);

// The distance message of one run of samples (seq = first, t = Unix time of
// the first sample in microseconds).
QByteArray distanceJson(quint64 seq, qint64 unixUs, double rate, const uint16_t *cm, int count);

struct PublisherCounters
{
    quint64 samples = 0;            // taken from the stream
    quint64 messages = 0;           // distance messages formed
    quint64 deliveredMessages = 0;  // acknowledged by the broker (QoS 1) or written (QoS 0)
    quint64 deliveredSamples = 0;
    quint64 droppedSamples = 0;     // never delivered: queue over its bound, or QoS 0 while away
    quint64 droppedMessages = 0;
    quint64 resentMessages = 0;     // handed again after a lost connection
    quint64 queuedSamples = 0;      // waiting or in flight now
    quint64 connects = 0;           // successful connections to the broker
};

class MqttPublisher : public QObject
{
    Q_OBJECT

public:
    explicit MqttPublisher(const PublisherOptions &options, QObject *parent = nullptr);
    ~MqttPublisher() override;

    // Begins connecting (and reconnecting whenever the connection is lost).
    void start();
    // Takes one batch of the stream (connect BatchStream::batch here).
    void take(const MeasurementBatch &batch);
    // The line's health, repeated in each health message.
    void setLineHealth(const LineHealth &health);
    // Publishes an answer on PREFIX/reply (QoS 1, through the same queue).
    void reply(const QByteArray &json);
    // A new tolerance state ("ok", "above", "below", "none") on PREFIX/state,
    // retained, as {"t": Unix seconds, "state": ...}: after the distances
    // taken before it, through the same queue.
    void publishState(const QByteArray &state);
    // Sends what is pending, publishes "offline" and waits up to timeoutMs for
    // the broker to acknowledge everything, then disconnects. True when
    // nothing was left undelivered.
    bool stop(int timeoutMs);

    bool isConnected() const { return connectedNow; }
    PublisherCounters counters() const;
    const PublisherOptions &options() const { return opts; }

signals:
    void connected();
    void disconnected(const QString &why);
    // The broker refused the connection for good (not authorised, bad
    // credentials, protocol); the publisher stops trying.
    void refused(const QString &why);
    // A message on PREFIX/set/NAME; emitted from the event loop, never from
    // inside libmosquitto.
    void command(const QString &setting, const QByteArray &payload);

private:
    struct Message
    {
        QByteArray topic;
        QByteArray payload;
        quint64 samples = 0;    // 0 for messages that are not distances
        bool retain = false;
        int mid = 0;
    };

    void connectNow();
    void dropConnection(const QString &why, bool retry = true);
    void afterLoop(int rc, const char *step);
    void updateWriteNotifier();
    void pump();
    void flushPending();
    void enqueue(Message m);
    void publishHealth();
    void onConnack(int rc);
    void onPublished(int mid);
    void onMessage(const QByteArray &topic, const QByteArray &payload);

    static void cbConnect(struct mosquitto *, void *self, int rc);
    static void cbDisconnect(struct mosquitto *, void *self, int rc);
    static void cbPublish(struct mosquitto *, void *self, int mid);
    static void cbMessage(struct mosquitto *, void *self, const struct mosquitto_message *msg);

    PublisherOptions opts;
    QByteArray topicDistance, topicStatus, topicHealth, topicReply, topicSet, topicState;
    struct mosquitto *client = nullptr;
    std::unique_ptr<QSocketNotifier> readNotifier, writeNotifier;
    QTimer misc;            // keep-alive and TLS reads between socket events
    QTimer reconnect;
    QTimer health;
    QTimer flushTimer;      // sends a partial message when the stream pauses
    bool started = false;
    bool stopping = false;
    bool connectedNow = false;
    bool connectionLost = false;   // set in a callback, handled after the loop call
    QString lostWhy;
    bool refusedForGood = false;
    int retryMs = 500;

    std::deque<Message> queue;      // not yet handed to the client
    std::deque<Message> inFlight;   // handed, not yet acknowledged, in order

    // The distance message being filled.
    QVector<uint16_t> pending;
    quint64 pendingFirst = 0;
    qint64 pendingFirstUs = 0;
    double pendingRate = 0;
    quint64 expectedNext = 0;
    bool haveExpected = false;
    qint64 epochUs = 0;             // Unix time of the stream's host time zero

    LineHealth line;
    bool haveLine = false;
    PublisherCounters count;
};

} // namespace plant

#endif // ZN84_MQTT_PUBLISHER_H
