// SPDX-License-Identifier: GPL-3.0-or-later
#include "mqtt_publisher.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QUrl>

#include <mosquitto.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <cstdio>
#include <mutex>

Q_LOGGING_CATEGORY(lcPlant, "zn84.plant", QtDebugMsg)

namespace plant {

namespace {

void initLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

qint64 unixNowUs()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
}

// A distance in centimetres as metres, the shortest way: 123 -> 1.23,
// 120 -> 1.2, 100 -> 1, 5 -> 0.05.
char *putMetres(char *p, uint16_t cm)
{
    const unsigned whole = cm / 100u;
    const unsigned frac = cm % 100u;
    p += std::sprintf(p, "%u", whole);
    if (frac) {
        *p++ = '.';
        *p++ = char('0' + frac / 10);
        if (frac % 10)
            *p++ = char('0' + frac % 10);
    }
    return p;
}

QString connackText(int rc)
{
    return QString::fromUtf8(mosquitto_connack_string(rc));
}

} // namespace

bool parseBrokerUrl(const QString &url, PublisherOptions &o, QString &why)
{
    const QUrl u(url, QUrl::StrictMode);
    const QString scheme = u.scheme().toLower();
    if (!u.isValid() || (scheme != QLatin1String("mqtt") && scheme != QLatin1String("mqtts")) || u.host().isEmpty()
        || !u.userInfo().isEmpty() || (!u.path().isEmpty() && u.path() != QLatin1String("/")) || u.hasQuery()
        || u.hasFragment()) {
        why = QStringLiteral("--broker: \"%1\" is not mqtt://HOST[:PORT] or mqtts://HOST[:PORT]").arg(url);
        return false;
    }
    o.tls = scheme == QLatin1String("mqtts");
    o.host = u.host();
    o.port = u.port(o.tls ? 8883 : 1883);
    if (o.port < 1 || o.port > 65535) {
        why = QStringLiteral("--broker: port %1 is not 1..65535").arg(o.port);
        return false;
    }
    return true;
}

bool checkTopicPrefix(const QString &prefix, QString &why)
{
    const QByteArray bytes = prefix.toUtf8();
    if (prefix.isEmpty() || prefix.startsWith(QLatin1Char('/')) || prefix.endsWith(QLatin1Char('/'))
        || prefix.contains(QLatin1Char('+')) || prefix.contains(QLatin1Char('#'))
        || mosquitto_pub_topic_check(bytes.constData()) != MOSQ_ERR_SUCCESS || bytes.size() > 60000) {
        why = QStringLiteral("--topic: \"%1\" is no topic prefix (not empty, no + or #, no leading or trailing /)")
                  .arg(prefix);
        return false;
    }
    return true;
}

QByteArray distanceJson(quint64 seq, qint64 unixUs, double rate, const uint16_t *cm, int count)
{
    QByteArray out;
    // Each distance takes at most "655.35," (7 bytes).
    constexpr int kHead = 128;
    out.resize(kHead + count * 7);
    char *p = out.data();
    const qint64 seconds = unixUs / 1000000;
    const qint64 micros = unixUs % 1000000;
    p += std::snprintf(p, kHead - 8, "{\"seq\":%llu,\"t\":%lld.%06lld,\"rate\":%.10g",
                       static_cast<unsigned long long>(seq), static_cast<long long>(seconds),
                       static_cast<long long>(micros), rate);
    std::memcpy(p, ",\"m\":[", 6);
    p += 6;
    for (int i = 0; i < count; ++i) {
        if (i)
            *p++ = ',';
        p = putMetres(p, cm[i]);
    }
    *p++ = ']';
    *p++ = '}';
    out.resize(int(p - out.data()));
    return out;
}

MqttPublisher::MqttPublisher(const PublisherOptions &options, QObject *parent) : QObject(parent), opts(options)
{
    initLibrary();
    const QByteArray prefix = opts.prefix.toUtf8();
    topicDistance = prefix + "/distance";
    topicStatus = prefix + "/status";
    topicHealth = prefix + "/health";
    topicReply = prefix + "/reply";
    topicState = prefix + "/state";
    topicSet = prefix + "/set/";
    misc.setInterval(100);
    connect(&misc, &QTimer::timeout, this, [this] {
        if (!client)
            return;
        int rc = mosquitto_loop_misc(client);
        // OpenSSL may hold decrypted bytes the socket no longer signals.
        if (rc == MOSQ_ERR_SUCCESS && opts.tls)
            rc = mosquitto_loop_read(client, 1);
        afterLoop(rc, "misc");
    });
    reconnect.setSingleShot(true);
    connect(&reconnect, &QTimer::timeout, this, &MqttPublisher::connectNow);
    health.setInterval(opts.healthMs);
    connect(&health, &QTimer::timeout, this, &MqttPublisher::publishHealth);
    flushTimer.setSingleShot(true);
    flushTimer.setInterval(opts.batchMs);
    connect(&flushTimer, &QTimer::timeout, this, &MqttPublisher::flushPending);
}

MqttPublisher::~MqttPublisher()
{
    dropConnection(QString(), false);
}

void MqttPublisher::start()
{
    if (started)
        return;
    started = true;
    health.start();
    connectNow();
}

void MqttPublisher::connectNow()
{
    if (client || refusedForGood || !started)
        return;
    const QByteArray id = opts.clientId.toUtf8();
    client = mosquitto_new(id.isEmpty() ? nullptr : id.constData(), true, this);
    if (!client) {
        qCWarning(lcPlant) << "cannot create an MQTT client";
        reconnect.start(retryMs);
        return;
    }
    mosquitto_int_option(client, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_connect_callback_set(client, &MqttPublisher::cbConnect);
    mosquitto_disconnect_callback_set(client, &MqttPublisher::cbDisconnect);
    mosquitto_publish_callback_set(client, &MqttPublisher::cbPublish);
    mosquitto_message_callback_set(client, &MqttPublisher::cbMessage);
    static const char offline[] = "offline";
    mosquitto_will_set(client, topicStatus.constData(), int(sizeof offline - 1), offline, 1, true);
    if (!opts.username.isEmpty()) {
        const QByteArray user = opts.username.toUtf8();
        const QByteArray password = opts.password.toUtf8();
        mosquitto_username_pw_set(client, user.constData(), password.isEmpty() ? nullptr : password.constData());
    }
    if (opts.tls) {
        const QByteArray ca = QFileInfo(opts.caFile).absoluteFilePath().toUtf8();
        const int rc = opts.caFile.isEmpty() ? mosquitto_tls_set(client, nullptr, "/etc/ssl/certs", nullptr, nullptr, nullptr)
                                             : mosquitto_tls_set(client, ca.constData(), nullptr, nullptr, nullptr, nullptr);
        if (rc != MOSQ_ERR_SUCCESS) {
            const QString why = QStringLiteral("TLS: %1").arg(QString::fromUtf8(mosquitto_strerror(rc)));
            dropConnection(why, false);
            refusedForGood = true;
            emit refused(why);
            return;
        }
    }
    const QByteArray host = opts.host.toUtf8();
    const int rc = mosquitto_connect_async(client, host.constData(), opts.port, opts.keepAliveS);
    if (rc != MOSQ_ERR_SUCCESS) {
        dropConnection(rc == MOSQ_ERR_ERRNO ? QString::fromLocal8Bit(std::strerror(errno))
                                            : QString::fromUtf8(mosquitto_strerror(rc)));
        return;
    }
    const int fd = mosquitto_socket(client);
    if (fd < 0) {
        dropConnection(QStringLiteral("no socket"));
        return;
    }
    readNotifier.reset(new QSocketNotifier(fd, QSocketNotifier::Read));
    writeNotifier.reset(new QSocketNotifier(fd, QSocketNotifier::Write));
    connect(readNotifier.get(), &QSocketNotifier::activated, this, [this] {
        if (client)
            afterLoop(mosquitto_loop_read(client, 16), "read");
    });
    connect(writeNotifier.get(), &QSocketNotifier::activated, this, [this] {
        if (client)
            afterLoop(mosquitto_loop_write(client, 16), "write");
    });
    misc.start();
    updateWriteNotifier();
}

// Runs after every call into libmosquitto's loop: callbacks only note what
// happened, the connection is torn down here, outside the library.
void MqttPublisher::afterLoop(int rc, const char *step)
{
    if (!client)
        return;
    if (connectionLost) {
        dropConnection(lostWhy);
        return;
    }
    if (rc != MOSQ_ERR_SUCCESS) {
        const QString why = rc == MOSQ_ERR_ERRNO ? QString::fromLocal8Bit(std::strerror(errno))
                                                 : QString::fromUtf8(mosquitto_strerror(rc));
        qCDebug(lcPlant) << "connection ended in" << step << ":" << why;
        dropConnection(why);
        return;
    }
    pump();
    updateWriteNotifier();
}

void MqttPublisher::updateWriteNotifier()
{
    if (client && writeNotifier)
        writeNotifier->setEnabled(mosquitto_want_write(client));
}

void MqttPublisher::dropConnection(const QString &why, bool retry)
{
    const bool was = connectedNow;
    connectedNow = false;
    connectionLost = false;
    misc.stop();
    readNotifier.reset();
    writeNotifier.reset();
    if (client) {
        mosquitto_destroy(client);
        client = nullptr;
    }
    // What the broker never acknowledged goes out again first, in order.
    if (!inFlight.empty()) {
        count.resentMessages += inFlight.size();
        if (opts.qos == 0) {
            for (const Message &m : inFlight) {
                if (m.samples) {
                    count.droppedSamples += m.samples;
                    ++count.droppedMessages;
                    count.queuedSamples -= m.samples;
                }
            }
            count.resentMessages -= inFlight.size();
        } else {
            for (auto it = inFlight.rbegin(); it != inFlight.rend(); ++it)
                queue.push_front(*it);
        }
        inFlight.clear();
    }
    if (was) {
        qCDebug(lcPlant) << "broker connection lost:" << why;
        emit disconnected(why);
    } else if (!why.isEmpty()) {
        qCDebug(lcPlant) << "no broker connection:" << why;
        emit disconnected(why);
    }
    if (retry && started && !stopping && !refusedForGood) {
        reconnect.start(retryMs);
        retryMs = qMin(retryMs * 2, 2000);
    }
}

void MqttPublisher::onConnack(int rc)
{
    if (rc != 0) {
        // Refused by the broker: wrong credentials or not authorised do not
        // get better by trying again; an unavailable server does.
        const QString why = connackText(rc);
        if (rc == 3) {
            connectionLost = true;
            lostWhy = why;
            return;
        }
        refusedForGood = true;
        connectionLost = true;
        lostWhy = why;
        qCWarning(lcPlant) << "the broker refused the connection:" << why;
        QTimer::singleShot(0, this, [this, why] { emit refused(why); });
        return;
    }
    connectedNow = true;
    retryMs = 500;
    ++count.connects;
    static const char online[] = "online";
    mosquitto_publish(client, nullptr, topicStatus.constData(), int(sizeof online - 1), online, 1, true);
    if (opts.subscribeCommands) {
        const QByteArray pattern = topicSet + "+";
        mosquitto_subscribe(client, nullptr, pattern.constData(), 1);
    }
    qCDebug(lcPlant) << "connected to" << opts.host << opts.port;
    QTimer::singleShot(0, this, [this] {
        if (connectedNow)
            emit connected();
    });
}

void MqttPublisher::onPublished(int mid)
{
    for (auto it = inFlight.begin(); it != inFlight.end(); ++it) {
        if (it->mid != mid)
            continue;
        if (it->samples) {
            ++count.deliveredMessages;
            count.deliveredSamples += it->samples;
            count.queuedSamples -= it->samples;
        }
        inFlight.erase(it);
        return;
    }
}

void MqttPublisher::onMessage(const QByteArray &topic, const QByteArray &payload)
{
    if (!topic.startsWith(topicSet))
        return;
    const QString setting = QString::fromUtf8(topic.mid(topicSet.size()));
    QTimer::singleShot(0, this, [this, setting, payload] { emit command(setting, payload); });
}

void MqttPublisher::pump()
{
    if (!client || !connectedNow)
        return;
    while (!queue.empty() && int(inFlight.size()) < opts.window) {
        // In flight before the call: at QoS 0 the library reports the message
        // written (onPublished) from inside mosquitto_publish. The message id
        // is set before anything is sent, and a deque's elements stay where
        // they are when others are added.
        inFlight.push_back(std::move(queue.front()));
        queue.pop_front();
        Message &m = inFlight.back();
        const int qos = m.samples ? opts.qos : 1;
        const QByteArray topic = m.topic;
        const QByteArray payload = m.payload;
        const bool retain = m.retain;
        const int rc = mosquitto_publish(client, &m.mid, topic.constData(), payload.size(), payload.constData(), qos,
                                         retain);
        if (rc != MOSQ_ERR_SUCCESS) {
            connectionLost = true;
            lostWhy = QString::fromUtf8(mosquitto_strerror(rc));
            return;
        }
    }
}

void MqttPublisher::enqueue(Message m)
{
    if (m.samples) {
        if (opts.qos == 0 && !connectedNow) {
            // At most once: nothing is kept for a broker that is away.
            count.droppedSamples += m.samples;
            ++count.droppedMessages;
            return;
        }
        count.queuedSamples += m.samples;
        // Over the bound: the oldest waiting distances go first, so that the
        // newest reach the broker when it is back.
        while (count.queuedSamples > quint64(opts.maxQueuedSamples)) {
            auto it = queue.begin();
            while (it != queue.end() && !it->samples)
                ++it;
            if (it == queue.end())
                break;
            count.droppedSamples += it->samples;
            ++count.droppedMessages;
            count.queuedSamples -= it->samples;
            queue.erase(it);
        }
    }
    queue.push_back(std::move(m));
    if (client && connectedNow) {
        pump();
        if (connectionLost)
            dropConnection(lostWhy);
        else
            updateWriteNotifier();
    }
}

void MqttPublisher::take(const MeasurementBatch &b)
{
    if (b.isEmpty() || stopping)
        return;
    // A new stream, or samples missing before this batch: what is pending
    // goes out as it is, so that every message holds consecutive samples.
    if (haveExpected && b.first != expectedNext) {
        flushPending();
        if (b.first < expectedNext)
            epochUs = 0;
    }
    if (epochUs == 0)
        epochUs = unixNowUs() - b.lastUs;
    if (pending.isEmpty()) {
        pendingFirst = b.first;
        pendingFirstUs = b.firstUs;
        flushTimer.start();
    }
    pending += b.cm;
    if (b.rate > 0)
        pendingRate = b.rate;
    count.samples += quint64(b.size());
    expectedNext = b.end();
    haveExpected = true;
    if (b.lastUs - pendingFirstUs >= qint64(opts.batchMs) * 1000)
        flushPending();
}

void MqttPublisher::flushPending()
{
    flushTimer.stop();
    if (pending.isEmpty())
        return;
    Message m;
    m.topic = topicDistance;
    m.payload = distanceJson(pendingFirst, epochUs + pendingFirstUs, pendingRate, pending.constData(), pending.size());
    m.samples = quint64(pending.size());
    ++count.messages;
    pending.clear();
    enqueue(std::move(m));
}

void MqttPublisher::setLineHealth(const LineHealth &h)
{
    line = h;
    haveLine = true;
}

void MqttPublisher::publishHealth()
{
    if (!connectedNow)
        return;
    char buf[512];
    int n = std::snprintf(buf, sizeof buf,
                          "{\"t\":%.6f,\"samples\":%llu,\"messages\":%llu,\"delivered\":%llu,\"queued\":%llu,"
                          "\"dropped\":%llu,\"resent\":%llu,\"connects\":%llu",
                          unixNowUs() / 1e6, static_cast<unsigned long long>(count.samples),
                          static_cast<unsigned long long>(count.messages),
                          static_cast<unsigned long long>(count.deliveredSamples),
                          static_cast<unsigned long long>(count.queuedSamples),
                          static_cast<unsigned long long>(count.droppedSamples),
                          static_cast<unsigned long long>(count.resentMessages),
                          static_cast<unsigned long long>(count.connects));
    if (haveLine)
        n += std::snprintf(buf + n, sizeof buf - size_t(n),
                           ",\"good_frames\":%llu,\"bad_checksums\":%llu,\"stray_bytes\":%llu,\"resyncs\":%llu",
                           static_cast<unsigned long long>(line.goodFrames),
                           static_cast<unsigned long long>(line.badChecksums),
                           static_cast<unsigned long long>(line.strayBytes),
                           static_cast<unsigned long long>(line.resyncs));
    n += std::snprintf(buf + n, sizeof buf - size_t(n), "}");
    Message m;
    m.topic = topicHealth;
    m.payload = QByteArray(buf, n);
    enqueue(std::move(m));
}

void MqttPublisher::publishState(const QByteArray &state)
{
    // The samples that led to the change go first.
    flushPending();
    Message m;
    m.topic = topicState;
    m.payload = QByteArray("{\"t\":") + QByteArray::number(unixNowUs() / 1e6, 'f', 6) + ",\"state\":\"" + state
                + "\"}";
    m.retain = true;
    enqueue(std::move(m));
}

void MqttPublisher::reply(const QByteArray &json)
{
    Message m;
    m.topic = topicReply;
    m.payload = json;
    enqueue(std::move(m));
}

bool MqttPublisher::stop(int timeoutMs)
{
    if (!started)
        return true;
    flushPending();
    stopping = true;
    health.stop();
    reconnect.stop();
    if (client && connectedNow) {
        Message m;
        m.topic = topicStatus;
        m.payload = "offline";
        m.retain = true;
        queue.push_back(std::move(m));
        pump();
        updateWriteNotifier();
        QElapsedTimer waited;
        waited.start();
        // Our own loop: the acknowledgements arrive through the notifiers.
        QEventLoop loop;
        QTimer tick;
        connect(&tick, &QTimer::timeout, &loop, [&] {
            if (!client || !connectedNow || (queue.empty() && inFlight.empty()) || waited.elapsed() >= timeoutMs)
                loop.quit();
        });
        tick.start(5);
        loop.exec();
        if (client && connectedNow) {
            mosquitto_disconnect(client);
            mosquitto_loop_write(client, 1);
        }
    }
    const bool complete = queue.empty() && inFlight.empty();
    // A clean end, not a loss: nobody is told of a disconnection.
    connectedNow = false;
    dropConnection(QString(), false);
    started = false;
    return complete && count.queuedSamples == 0;
}

PublisherCounters MqttPublisher::counters() const
{
    return count;
}

void MqttPublisher::cbConnect(struct mosquitto *, void *self, int rc)
{
    static_cast<MqttPublisher *>(self)->onConnack(rc);
}

void MqttPublisher::cbDisconnect(struct mosquitto *, void *self, int rc)
{
    auto *p = static_cast<MqttPublisher *>(self);
    p->connectionLost = true;
    p->lostWhy = QString::fromUtf8(mosquitto_strerror(rc));
}

void MqttPublisher::cbPublish(struct mosquitto *, void *self, int mid)
{
    static_cast<MqttPublisher *>(self)->onPublished(mid);
}

void MqttPublisher::cbMessage(struct mosquitto *, void *self, const struct mosquitto_message *msg)
{
    static_cast<MqttPublisher *>(self)->onMessage(
        QByteArray(msg->topic), QByteArray(static_cast<const char *>(msg->payload), msg->payloadlen));
}

} // namespace plant
