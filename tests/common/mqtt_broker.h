// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef MQTT_BROKER_H
#define MQTT_BROKER_H

// A Mosquitto broker of the test's own on a free port (configuration,
// password file, certificates and persistence in a scratch directory), and a
// subscriber (libmosquitto with its own thread) that keeps every message
// under a prefix in arrival order. For the plant's tests and the window's.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QProcess>
#include <QString>
#include <QTest>

#include <mosquitto.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <vector>

namespace mqtttest {

constexpr int kLong = 60000;   // bound of every wait on a loaded machine
const QString kPrefix = QStringLiteral("plant/line1");

inline int freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0
        || ::getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len) != 0) {
        if (fd >= 0)
            ::close(fd);
        return -1;
    }
    ::close(fd);
    return ntohs(a.sin_port);
}

inline bool accepts(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(quint16(port));
    const bool ok = fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0;
    if (fd >= 0)
        ::close(fd);
    return ok;
}

// A broker of the test's own: configuration, password file, certificates
// and persistence in the scratch directory.
class Broker
{
public:
    explicit Broker(const QString &dir) : dir(dir) {}
    ~Broker() { kill(); }

    int port = freePort();
    int tlsPort = -1;
    QString extra;   // more configuration lines

    bool start()
    {
        QFile conf(QDir(dir).filePath(QStringLiteral("mosquitto.conf")));
        if (!conf.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return false;
        QByteArray text = "per_listener_settings false\n";
        text += "persistence true\npersistence_location " + QDir(dir).absolutePath().toUtf8() + "/\n";
        // Run as root, the broker would switch to its own user, which cannot
        // read the scratch directory: it stays the test's user.
        if (const passwd *pw = ::getpwuid(::getuid()))
            text += "user " + QByteArray(pw->pw_name) + "\n";
        text += "log_dest stderr\nlog_type error\n";
        text += "listener " + QByteArray::number(port) + " 127.0.0.1\n";
        text += extra.toUtf8();
        if (!extra.contains(QLatin1String("allow_anonymous")))
            text += "allow_anonymous true\n";
        conf.write(text);
        conf.close();
        proc.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        proc.start(QStringLiteral("/usr/sbin/mosquitto"), {QStringLiteral("-c"), conf.fileName()});
        if (!proc.waitForStarted(10000))
            return false;
        return QTest::qWaitFor([this] {
            return proc.state() != QProcess::Running
                   || (accepts(port) && (tlsPort < 0 || accepts(tlsPort)));
        }, kLong) && proc.state() == QProcess::Running;
    }
    // A clean stop: the broker writes its persistent state.
    bool stop()
    {
        proc.terminate();
        return proc.waitForFinished(kLong);
    }
    void signal(int sig) { ::kill(pid_t(proc.processId()), sig); }
    void kill()
    {
        signal(SIGCONT);
        if (proc.state() != QProcess::NotRunning) {
            proc.kill();
            proc.waitForFinished(10000);
        }
    }

private:
    QString dir;
    QProcess proc;
};

struct Received
{
    QByteArray topic;
    QByteArray payload;
};

// The other side: subscribes to PREFIX/# at QoS 1 and keeps every message in
// arrival order.
class Subscriber
{
public:
    explicit Subscriber(const QString &prefix = kPrefix) : prefix(prefix)
    {
        mosquitto_lib_init();
    }
    ~Subscriber()
    {
        if (m) {
            mosquitto_disconnect(m);
            mosquitto_loop_stop(m, false);
            mosquitto_destroy(m);
        }
    }

    bool connect(int port, const QByteArray &id, bool cleanSession = true, const QByteArray &user = QByteArray(),
                 const QByteArray &password = QByteArray())
    {
        m = mosquitto_new(id.constData(), cleanSession, this);
        if (!m)
            return false;
        mosquitto_int_option(m, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
        if (!user.isEmpty())
            mosquitto_username_pw_set(m, user.constData(), password.constData());
        mosquitto_reconnect_delay_set(m, 1, 1, false);
        mosquitto_connect_callback_set(m, [](struct mosquitto *c, void *self, int rc) {
            if (rc == 0) {
                const QString topic = static_cast<Subscriber *>(self)->prefix + QStringLiteral("/#");
                mosquitto_subscribe(c, nullptr, topic.toUtf8().constData(), 1);
            }
        });
        mosquitto_subscribe_callback_set(m, [](struct mosquitto *, void *self, int, int, const int *) {
            static_cast<Subscriber *>(self)->subscribed.store(true);
        });
        mosquitto_message_callback_set(m, [](struct mosquitto *, void *self, const struct mosquitto_message *msg) {
            auto *s = static_cast<Subscriber *>(self);
            std::lock_guard<std::mutex> lock(s->mutex);
            s->all.push_back({QByteArray(msg->topic),
                              QByteArray(static_cast<const char *>(msg->payload), msg->payloadlen)});
        });
        if (mosquitto_connect(m, "127.0.0.1", port, 10) != MOSQ_ERR_SUCCESS || mosquitto_loop_start(m) != MOSQ_ERR_SUCCESS)
            return false;
        return QTest::qWaitFor([this] { return subscribed.load(); }, kLong);
    }

    void publish(const QString &topic, const QByteArray &payload)
    {
        mosquitto_publish(m, nullptr, topic.toUtf8().constData(), payload.size(), payload.constData(), 1, false);
    }
    void publishRetained(const QString &topic, const QByteArray &payload)
    {
        mosquitto_publish(m, nullptr, topic.toUtf8().constData(), payload.size(), payload.constData(), 1, true);
    }

    std::vector<Received> messages() const
    {
        std::lock_guard<std::mutex> lock(mutex);
        return all;
    }
    QList<QByteArray> on(const QString &sub) const
    {
        const QByteArray topic = (prefix + QLatin1Char('/') + sub).toUtf8();
        QList<QByteArray> list;
        for (const Received &r : messages()) {
            if (r.topic == topic)
                list << r.payload;
        }
        return list;
    }
    QByteArray lastStatus() const
    {
        const QList<QByteArray> s = on(QStringLiteral("status"));
        return s.isEmpty() ? QByteArray() : s.last();
    }

    std::atomic<bool> subscribed{false};

private:
    QString prefix;
    struct mosquitto *m = nullptr;
    mutable std::mutex mutex;
    std::vector<Received> all;
};

} // namespace mqtttest

#endif // MQTT_BROKER_H
