// SPDX-License-Identifier: GPL-3.0-or-later
// info, get, set (and reset, factory-restore, save), modbus: every value is
// checked against the shared settings table before the port is opened, then
// one blocking worker call per result.

#include "cli.h"

#include "receiver.h"
#include "record_format.h"
#include "settings_table.h"

#include <QJsonArray>

using namespace settingstable;

namespace cli {

namespace {

QJsonArray wireArray(const Setting &s, const Values &v)
{
    QJsonArray wire;
    if (s.kind == Kind::Choice || s.numberCount >= 1)
        wire.append(double(v.first));
    if (s.kind == Kind::Numbers && s.numberCount == 2)
        wire.append(double(v.second));
    return wire;
}

// One reading: text or a distance, printed as a result.
int readOne(const Reading &r, Session &session, const Options &o, Output &out, const QString &command)
{
    QString text;
    uint16_t cm = 0;
    QJsonObject result;
    result.insert(QStringLiteral("command"), command);
    result.insert(QStringLiteral("reading"), QLatin1String(r.name));
    if (r.group == Group::Modbus)
        result.insert(QStringLiteral("address"), o.address);
    if (!r.read(*session.worker(), uint8_t(o.address), text, cm))
        return out.fail(command, ExitNoAnswer,
                        QStringLiteral("%1: no valid answer from the sensor").arg(QLatin1String(r.name)), result);
    if (r.kind == ReadingKind::DistanceCm) {
        result.insert(QStringLiteral("distance_cm"), cm);
        result.insert(QStringLiteral("distance_m"), cm / 100.0);
        text = recordformat::metresText(cm);
    } else {
        result.insert(QStringLiteral("value"), text);
    }
    result.insert(QStringLiteral("ok"), true);
    if (out.json())
        out.object(result);
    else
        out.line(text);
    return ExitOk;
}

// Checks the values, opens the port and applies one setting.
int applyOne(const Setting &s, const QStringList &args, const Options &o, Output &out, const QString &command)
{
    QJsonObject result;
    result.insert(QStringLiteral("command"), command);
    result.insert(QStringLiteral("setting"), QLatin1String(s.name));
    result.insert(QStringLiteral("args"), QJsonArray::fromStringList(args));
    if (s.group == Group::Modbus)
        result.insert(QStringLiteral("address"), o.address);

    Values values;
    QString why;
    if (!parseValues(s, args, values, why))
        return out.fail(command, ExitUsage, why, result);
    result.insert(QStringLiteral("wire"), wireArray(s, values));

    Session session;
    if (const int code = openOrFail(session, o, out, command))
        return code;
    const QString what = args.isEmpty() ? QLatin1String(s.name)
                                        : QStringLiteral("%1 %2").arg(QLatin1String(s.name), args.join(QLatin1Char(' ')));
    if (!s.apply(*session.worker(), uint8_t(o.address), values))
        return out.fail(command, ExitNoAnswer, QStringLiteral("%1: not acknowledged by the sensor").arg(what), result);
    result.insert(QStringLiteral("ok"), true);
    if (out.json())
        out.object(result);
    else
        out.line(QStringLiteral("%1: ok").arg(what));
    return ExitOk;
}

} // namespace

int runInfo(const Options &o, Output &out)
{
    const QString command = QStringLiteral("info");
    if (!o.args.isEmpty())
        return out.fail(command, ExitUsage, QStringLiteral("info takes no operand"));
    Session session;
    if (const int code = openOrFail(session, o, out, command))
        return code;
    QJsonObject result;
    result.insert(QStringLiteral("command"), command);
    QString version;
    QString fullVersion;
    uint16_t unused = 0;
    const Reading *v = findReading(Group::Sensor, QStringLiteral("version"));
    const Reading *fv = findReading(Group::Sensor, QStringLiteral("full-version"));
    if (!v->read(*session.worker(), 0, version, unused))
        return out.fail(command, ExitNoAnswer, QStringLiteral("version: no valid answer from the sensor"), result);
    result.insert(QStringLiteral("version"), version);
    if (!fv->read(*session.worker(), 0, fullVersion, unused))
        return out.fail(command, ExitNoAnswer, QStringLiteral("full version: no valid answer from the sensor"),
                        result);
    result.insert(QStringLiteral("full_version"), fullVersion);
    result.insert(QStringLiteral("ok"), true);
    if (out.json()) {
        out.object(result);
    } else {
        out.line(QStringLiteral("version: %1").arg(version));
        out.line(QStringLiteral("full version: %1").arg(fullVersion));
    }
    return ExitOk;
}

int runGet(const Options &o, Output &out)
{
    const QString command = QStringLiteral("get");
    const QStringList names = readingNames(Group::Sensor);
    if (o.args.size() != 1)
        return out.fail(command, ExitUsage,
                        QStringLiteral("get takes one name: %1").arg(names.join(QStringLiteral(", "))));
    const Reading *r = findReading(Group::Sensor, o.args.at(0));
    if (!r)
        return out.fail(command, ExitUsage,
                        QStringLiteral("unknown reading \"%1\" (one of %2)")
                            .arg(o.args.at(0), names.join(QStringLiteral(", "))));
    Session session;
    if (const int code = openOrFail(session, o, out, command))
        return code;
    return readOne(*r, session, o, out, command);
}

int runSet(const Options &o, Output &out)
{
    // reset, factory-restore and save are settings without a value.
    if (o.command != QLatin1String("set")) {
        const Setting *s = findSetting(Group::Sensor, o.command);
        return applyOne(*s, o.args, o, out, o.command);
    }
    const QString command = QStringLiteral("set");
    const QStringList names = settingNames(Group::Sensor);
    if (o.args.isEmpty())
        return out.fail(command, ExitUsage,
                        QStringLiteral("set takes a setting and its values; settings: %1")
                            .arg(names.join(QStringLiteral(", "))));
    const Setting *s = findSetting(Group::Sensor, o.args.at(0));
    if (!s)
        return out.fail(command, ExitUsage,
                        QStringLiteral("unknown setting \"%1\" (one of %2)")
                            .arg(o.args.at(0), names.join(QStringLiteral(", "))));
    return applyOne(*s, o.args.mid(1), o, out, command);
}

int runModbus(const Options &o, Output &out)
{
    const QString command = QStringLiteral("modbus");
    const QStringList names = readingNames(Group::Modbus) + settingNames(Group::Modbus);
    if (o.args.isEmpty())
        return out.fail(command, ExitUsage,
                        QStringLiteral("modbus takes an operation: %1").arg(names.join(QStringLiteral(", "))));
    const QString name = o.args.at(0);
    if (const Reading *r = findReading(Group::Modbus, name)) {
        if (o.args.size() != 1)
            return out.fail(command, ExitUsage, QStringLiteral("modbus %1 takes no value").arg(name));
        Session session;
        if (const int code = openOrFail(session, o, out, command))
            return code;
        return readOne(*r, session, o, out, command);
    }
    if (const Setting *s = findSetting(Group::Modbus, name))
        return applyOne(*s, o.args.mid(1), o, out, command);
    return out.fail(command, ExitUsage,
                    QStringLiteral("unknown Modbus operation \"%1\" (one of %2)")
                        .arg(name, names.join(QStringLiteral(", "))));
}

} // namespace cli
