// SPDX-License-Identifier: GPL-3.0-or-later
#include "mqtt_viewer.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QtMath>

#include <mosquitto.h>

#include <cmath>
#include <mutex>

namespace plant {

bool parseDistanceJson(const QByteArray &json, DistanceMessage &out, QString &why)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (!doc.isObject()) {
        why = error.error != QJsonParseError::NoError ? error.errorString() : QStringLiteral("not a JSON object");
        return false;
    }
    const QJsonObject o = doc.object();
    const QJsonValue seq = o.value(QLatin1String("seq"));
    const QJsonValue m = o.value(QLatin1String("m"));
    if (!seq.isDouble() || seq.toDouble() < 0 || !m.isArray()) {
        why = QStringLiteral("no seq or m");
        return false;
    }
    out.seq = quint64(seq.toDouble());
    out.unixUs = qint64(std::llround(o.value(QLatin1String("t")).toDouble() * 1e6));
    out.rate = int(std::lround(o.value(QLatin1String("rate")).toDouble()));
    const QJsonArray metres = m.toArray();
    out.cm.clear();
    out.cm.reserve(metres.size());
    for (const QJsonValue &v : metres) {
        const double cm = v.toDouble(-1) * 100.0;
        if (!v.isDouble() || cm < 0 || cm > 65535.0) {
            why = QStringLiteral("a distance out of range");
            return false;
        }
        out.cm.append(uint16_t(std::lround(cm)));
    }
    return true;
}

MqttViewer::MqttViewer(const PublisherOptions &options, QObject *parent)
    : QObject(parent),
      opts(options),
      topicDistance((options.prefix + QStringLiteral("/distance")).toUtf8()),
      topicStatus((options.prefix + QStringLiteral("/status")).toUtf8())
{
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

MqttViewer::~MqttViewer()
{
    stop();
}

bool MqttViewer::start(QString &why)
{
    if (client)
        return true;
    const QByteArray id = opts.clientId.toUtf8();
    client = mosquitto_new(id.isEmpty() ? nullptr : id.constData(), true, this);
    if (!client) {
        why = QStringLiteral("cannot create an MQTT client");
        return false;
    }
    mosquitto_int_option(client, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_reconnect_delay_set(client, 1, 5, true);
    // The callbacks run in libmosquitto's thread: they only post to ours.
    // The viewer outlives them (stop() joins that thread before it goes).
    mosquitto_connect_callback_set(client, [](struct mosquitto *, void *self, int rc) {
        auto *v = static_cast<MqttViewer *>(self);
        QMetaObject::invokeMethod(v, [v, rc] { v->onConnect(rc); }, Qt::QueuedConnection);
    });
    mosquitto_disconnect_callback_set(client, [](struct mosquitto *, void *self, int rc) {
        auto *v = static_cast<MqttViewer *>(self);
        QMetaObject::invokeMethod(v, [v, rc] { v->onDisconnect(rc); }, Qt::QueuedConnection);
    });
    mosquitto_message_callback_set(client, [](struct mosquitto *, void *self, const struct mosquitto_message *msg) {
        auto *v = static_cast<MqttViewer *>(self);
        const QByteArray topic(msg->topic);
        const QByteArray payload(static_cast<const char *>(msg->payload), msg->payloadlen);
        QMetaObject::invokeMethod(v, [v, topic, payload] { v->onMessage(topic, payload); }, Qt::QueuedConnection);
    });
    if (!opts.username.isEmpty()) {
        const QByteArray user = opts.username.toUtf8();
        const QByteArray password = opts.password.toUtf8();
        mosquitto_username_pw_set(client, user.constData(), password.isEmpty() ? nullptr : password.constData());
    }
    int rc = MOSQ_ERR_SUCCESS;
    if (opts.tls) {
        const QByteArray ca = QFileInfo(opts.caFile).absoluteFilePath().toUtf8();
        rc = opts.caFile.isEmpty() ? mosquitto_tls_set(client, nullptr, "/etc/ssl/certs", nullptr, nullptr, nullptr)
                                   : mosquitto_tls_set(client, ca.constData(), nullptr, nullptr, nullptr, nullptr);
    }
    const QByteArray host = opts.host.toUtf8();
    if (rc == MOSQ_ERR_SUCCESS)
        rc = mosquitto_connect_async(client, host.constData(), opts.port, opts.keepAliveS);
    if (rc == MOSQ_ERR_SUCCESS)
        rc = mosquitto_loop_start(client);
    if (rc != MOSQ_ERR_SUCCESS) {
        why = QString::fromUtf8(mosquitto_strerror(rc));
        mosquitto_destroy(client);
        client = nullptr;
        return false;
    }
    running = true;
    return true;
}

void MqttViewer::stop()
{
    if (!client)
        return;
    mosquitto_disconnect(client);
    mosquitto_loop_stop(client, false);
    mosquitto_destroy(client);
    client = nullptr;
    running = false;
    if (connectedNow) {
        connectedNow = false;
        emit disconnected(QString());
    }
}

void MqttViewer::onConnect(int rc)
{
    if (!client)
        return;
    if (rc != 0) {
        emit disconnected(QString::fromUtf8(mosquitto_connack_string(rc)));
        return;
    }
    mosquitto_subscribe(client, nullptr, topicDistance.constData(), opts.qos);
    mosquitto_subscribe(client, nullptr, topicStatus.constData(), 1);
    connectedNow = true;
    emit connected();
}

void MqttViewer::onDisconnect(int rc)
{
    if (!client || !connectedNow)
        return;
    connectedNow = false;
    emit disconnected(rc == 0 ? QString() : QString::fromUtf8(mosquitto_strerror(rc)));
}

void MqttViewer::onMessage(const QByteArray &topic, const QByteArray &payload)
{
    if (!client)
        return;
    if (topic == topicStatus) {
        status = QString::fromUtf8(payload);
        emit remoteStatusChanged(status);
        return;
    }
    if (topic != topicDistance)
        return;
    DistanceMessage m;
    QString why;
    if (!parseDistanceJson(payload, m, why)) {
        ++bad;
        qCWarning(lcPlant) << "not a distance message on" << topic << ":" << why;
        return;
    }
    const quint64 end = m.seq + quint64(m.cm.size());
    if (haveNext && end <= next)
        return;   // everything in it was shown already
    int skip = 0;
    if (haveNext && m.seq < next) {
        skip = int(next - m.seq);
    } else if (haveNext && m.seq > next) {
        lost += m.seq - next;
        emit gap(m.seq, m.seq - next);
    }
    haveNext = true;
    next = end;
    QVector<uint16_t> fresh = skip > 0 ? m.cm.mid(skip) : m.cm;
    seen += quint64(fresh.size());
    emit samplesArrived(m.seq + quint64(skip), fresh, m.rate);
}

} // namespace plant
