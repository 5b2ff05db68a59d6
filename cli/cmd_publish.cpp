// SPDX-License-Identifier: GPL-3.0-or-later
// publish: a gateway from one sensor to an MQTT broker. Every batch of the
// stream goes to the publisher (plant/mqtt_publisher.h), which keeps what the
// broker has not acknowledged; settings arrive through the broker only with
// --allow-commands and go through the same table and checks as "set".

#include "cli.h"
#include "judge_options.h"
#include "sample_run.h"

#include "cross_thread.h"
#include "measurement_judge.h"
#include "mqtt_publisher.h"
#include "receiver.h"
#include "settings_table.h"

#include <QFile>
#include <QFileInfo>
#include <QSysInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>

#include <unistd.h>

using namespace settingstable;

namespace cli {

namespace {

constexpr double kDefaultSilenceS = 5.0;
// How long a stop waits for the broker to acknowledge what is still queued.
constexpr int kStopFlushMs = 5000;

QJsonArray wireOf(const Setting &s, const Values &v)
{
    QJsonArray wire;
    if (s.kind == Kind::Choice || s.numberCount >= 1)
        wire.append(double(v.first));
    if (s.kind == Kind::Numbers && s.numberCount == 2)
        wire.append(double(v.second));
    return wire;
}

QByteArray compact(const QJsonObject &o)
{
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

// One setting that came through the broker, answered like "zn84ctl set
// --json" answers it: the same names, checks, texts and exit codes.
QByteArray applyRemote(receiver *worker, bool allowed, const QString &name, const QByteArray &payload)
{
    const QString command = QStringLiteral("set");
    const QStringList args =
        QString::fromUtf8(payload).split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    QJsonObject result;
    result.insert(QStringLiteral("command"), command);
    result.insert(QStringLiteral("setting"), name);
    result.insert(QStringLiteral("args"), QJsonArray::fromStringList(args));
    auto fail = [&](int code, const QString &why) {
        result.insert(QStringLiteral("ok"), false);
        result.insert(QStringLiteral("exit"), code);
        result.insert(QStringLiteral("error"), why);
        return compact(result);
    };
    if (!allowed)
        return fail(ExitUsage, QStringLiteral("commands through the broker are off (publish --allow-commands)"));
    const Setting *s = findSetting(Group::Sensor, name);
    if (!s)
        return fail(ExitUsage, QStringLiteral("unknown setting \"%1\" (one of %2)")
                                   .arg(name, settingNames(Group::Sensor).join(QStringLiteral(", "))));
    Values values;
    QString why;
    if (!parseValues(*s, args, values, why))
        return fail(ExitUsage, why);
    result.insert(QStringLiteral("wire"), wireOf(*s, values));
    if (!worker || !s->apply(*worker, 1, values)) {
        const QString what = args.isEmpty() ? name : QStringLiteral("%1 %2").arg(name, args.join(QLatin1Char(' ')));
        return fail(ExitNoAnswer, QStringLiteral("%1: not acknowledged by the sensor").arg(what));
    }
    result.insert(QStringLiteral("ok"), true);
    return compact(result);
}

} // namespace

int runPublish(const Options &o, Output &out)
{
    const QString command = QStringLiteral("publish");
    if (!o.args.isEmpty())
        return out.fail(command, ExitUsage, QStringLiteral("publish takes no operand"));
    if (o.port.isEmpty())
        return out.fail(command, ExitUsage, QStringLiteral("no port given (-p PORT or $ZN84_PORT)"));
    if (o.broker.isEmpty())
        return out.fail(command, ExitUsage, QStringLiteral("no broker given (--broker mqtt://HOST[:PORT])"));
    if (o.topic.isEmpty())
        return out.fail(command, ExitUsage, QStringLiteral("no topic prefix given (--topic PREFIX)"));

    plant::PublisherOptions po;
    QString why;
    if (!plant::parseBrokerUrl(o.broker, po, why) || !plant::checkTopicPrefix(o.topic, why))
        return out.fail(command, ExitUsage, why);
    po.prefix = o.topic;
    po.qos = o.qos;
    po.batchMs = o.batchMs;
    // Every message on PREFIX/set/ is answered, refused when commands are
    // off, so that whoever sent it learns why nothing happened.
    po.subscribeCommands = true;
    po.clientId = o.clientId.isEmpty()
                      ? QStringLiteral("zn84ctl-%1-%2").arg(QSysInfo::machineHostName()).arg(::getpid())
                      : o.clientId;
    if (!o.passwordFile.isEmpty() && o.username.isEmpty())
        return out.fail(command, ExitUsage, QStringLiteral("--password-file needs --username"));
    po.username = o.username;
    if (!o.passwordFile.isEmpty()) {
        // The password never stands on the command line, where every user
        // of the machine can read it.
        QFile f(o.passwordFile);
        if (!f.open(QIODevice::ReadOnly))
            return out.fail(command, ExitUsage,
                            QStringLiteral("--password-file: %1: %2").arg(o.passwordFile, f.errorString()));
        QByteArray first = f.readLine(65536);
        while (first.endsWith('\n') || first.endsWith('\r'))
            first.chop(1);
        po.password = QString::fromUtf8(first);
    }
    if (!o.caFile.isEmpty()) {
        if (!po.tls)
            return out.fail(command, ExitUsage, QStringLiteral("--cafile needs an mqtts:// broker"));
        const QFileInfo ca(o.caFile);
        if (!ca.isFile() || !ca.isReadable())
            return out.fail(command, ExitUsage, QStringLiteral("--cafile: %1 is no readable file").arg(o.caFile));
        po.caFile = o.caFile;
    }

    // With limits the gateway judges every sample as the window does and
    // tells each change of the tolerance state on PREFIX/state.
    MeasurementJudge judge;
    if (!setUpJudge(o, judge, why))
        return out.fail(command, ExitUsage, why);
    const bool judging = judge.limits().on;
    if (!judging && (!o.zero.isNull() || !o.filter.isNull()))
        return out.fail(command, ExitUsage, QStringLiteral("--zero and --filter need --limits here"));

    // Installed before the client starts: its first report (a refused
    // handshake) may come at once, and a stop sent on it is a stop.
    StopSignals stops;
    plant::MqttPublisher publisher(po);
    QString refusal;
    QObject::connect(&publisher, &plant::MqttPublisher::refused, &publisher,
                     [&refusal](const QString &text) { refusal = text; });
    QString lastProblem;
    QObject::connect(&publisher, &plant::MqttPublisher::connected, &publisher, [&] {
        lastProblem.clear();
        Output::message(QStringLiteral("connected to %1:%2").arg(po.host).arg(po.port));
    });
    QObject::connect(&publisher, &plant::MqttPublisher::disconnected, &publisher, [&](const QString &text) {
        // Once per cause: a broker that stays away is not reported each retry.
        if (text != lastProblem)
            Output::message(QStringLiteral("broker %1:%2: %3").arg(po.host).arg(po.port).arg(text));
        lastProblem = text;
    });
    quint64 stateChanges = 0;
    QObject::connect(&judge, &MeasurementJudge::transition, &publisher, [&](quint64, JudgeState state) {
        ++stateChanges;
        publisher.publishState(judgeStateName(state));
    });
    receiver *sensor = nullptr;
    QObject::connect(&publisher, &plant::MqttPublisher::command, &publisher,
                     [&](const QString &setting, const QByteArray &payload) {
                         publisher.reply(applyRemote(sensor, o.allowCommands, setting, payload));
                     });
    publisher.start();

    const double silenceS = o.timeoutS > 0 ? o.timeoutS : kDefaultSilenceS;
    const SampleRunResult run = runSamples(
        o, out, silenceS, 0, ExitOk,
        [&](const MeasurementBatch &b) {
            if (judging)
                judge.take(b);
            publisher.take(b);
            return !refusal.isEmpty();
        },
        [&](receiver *worker) {
            sensor = worker;
            connectAcrossThreads(worker, &receiver::signalLineHealth, &publisher,
                                 &plant::MqttPublisher::setLineHealth);
        },
        &stops);
    sensor = nullptr;
    if (run.code == ExitPort)
        return run.code;
    const bool complete = publisher.stop(kStopFlushMs);
    const plant::PublisherCounters c = publisher.counters();

    QJsonObject result;
    result.insert(QStringLiteral("command"), command);
    result.insert(QStringLiteral("samples"), double(c.samples));
    result.insert(QStringLiteral("messages"), double(c.messages));
    result.insert(QStringLiteral("delivered"), double(c.deliveredSamples));
    result.insert(QStringLiteral("dropped"), double(c.droppedSamples));
    result.insert(QStringLiteral("undelivered"), double(c.samples - c.deliveredSamples - c.droppedSamples));
    result.insert(QStringLiteral("resent"), double(c.resentMessages));
    result.insert(QStringLiteral("seconds"), run.seconds);
    if (judging)
        result.insert(QStringLiteral("state_changes"), double(stateChanges));
    if (!refusal.isEmpty())
        return out.fail(command, ExitBroker, QStringLiteral("the broker refused the connection: %1").arg(refusal),
                        result);
    if (run.code != ExitOk && run.code != ExitInterrupted)
        return out.fail(command, run.code, run.why, result);
    // An interruption is how a gateway stops: the result is complete when
    // the broker was reached and has every sample.
    result.insert(QStringLiteral("connects"), double(c.connects));
    result.insert(QStringLiteral("ok"), complete && c.droppedSamples == 0 && c.connects > 0);
    result.insert(QStringLiteral("exit"), run.code);
    if (out.json())
        out.object(result);
    else
        out.line(QStringLiteral("%1 samples in %2 messages published to %3 under %4; %5 delivered, %6 dropped, %7 "
                                "undelivered")
                     .arg(c.samples)
                     .arg(c.messages)
                     .arg(o.broker, o.topic)
                     .arg(c.deliveredSamples)
                     .arg(c.droppedSamples)
                     .arg(c.samples - c.deliveredSamples - c.droppedSamples));
    return run.code;
}

} // namespace cli
