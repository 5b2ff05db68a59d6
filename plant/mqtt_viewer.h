// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZN84_MQTT_VIEWER_H
#define ZN84_MQTT_VIEWER_H

// Watches a sensor of the plant through its broker: subscribes to
// PREFIX/distance (and PREFIX/status) and hands every distance message on as
// a run of centimetres, in the order the broker delivers them.
//
// A message's seq is the number of its first sample since the publisher's
// stream began. Samples the viewer expected and never saw (a seq beyond the
// next expected one) are counted as missed; a message that repeats samples
// already seen (QoS 1 delivers at least once, a publisher resends after a
// lost connection) gives only its new samples, so nothing is shown twice.
//
// libmosquitto runs its own network thread here; every callback only posts
// the message to the viewer's thread, where the counting and the signals
// happen.

#include "mqtt_publisher.h"

#include <QObject>
#include <QString>
#include <QVector>

#include <cstdint>

namespace plant {

// One distance message read: false with the reason when it is not one.
struct DistanceMessage
{
    quint64 seq = 0;
    qint64 unixUs = 0;
    int rate = 0;
    QVector<uint16_t> cm;
};
bool parseDistanceJson(const QByteArray &json, DistanceMessage &out, QString &why);

class MqttViewer : public QObject
{
    Q_OBJECT

public:
    explicit MqttViewer(const PublisherOptions &options, QObject *parent = nullptr);
    ~MqttViewer() override;

    // Connects (in the background); false with the reason when the client
    // could not even be set up (bad CA file, no memory).
    bool start(QString &why);
    void stop();

    bool isConnected() const { return connectedNow; }
    quint64 samples() const { return seen; }       // samples handed on
    quint64 missed() const { return lost; }        // samples skipped by a gap in seq
    quint64 badMessages() const { return bad; }    // messages that were no distance message
    const QString &remoteStatus() const { return status; }   // "online", "offline" or empty

signals:
    void connected();
    void disconnected(const QString &why);
    // The new samples of one message, first = the seq of cm[0].
    void samplesArrived(quint64 first, const QVector<uint16_t> &cm, int rate);
    // A gap in seq: `count` samples before `first` never arrived.
    void gap(quint64 first, quint64 count);
    void remoteStatusChanged(const QString &status);

private:
    void onMessage(const QByteArray &topic, const QByteArray &payload);
    void onConnect(int rc);
    void onDisconnect(int rc);

    PublisherOptions opts;
    QByteArray topicDistance, topicStatus;
    struct mosquitto *client = nullptr;
    bool running = false;
    bool connectedNow = false;
    bool haveNext = false;
    quint64 next = 0;
    quint64 seen = 0;
    quint64 lost = 0;
    quint64 bad = 0;
    QString status;
};

} // namespace plant

#endif // ZN84_MQTT_VIEWER_H
