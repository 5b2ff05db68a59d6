// SPDX-License-Identifier: GPL-3.0-or-later
// The help texts and which options each subcommand accepts.

#include "cli.h"

#include "settings_table.h"

#include <QRegularExpression>

using namespace settingstable;

namespace cli {

namespace {

struct CommandSpec
{
    const char *name;
    const char *synopsis;
    const char *summary;
    QStringList options;   // besides --json, --verbose and --help
};

const QList<CommandSpec> &commands()
{
    static const QList<CommandSpec> list = {
        {"ports", "ports", "lists the serial ports (and running simulated sensors)", {}},
        {"find", "find [-p PORT] [-b BAUD] [--timeout S]",
         "listens for a streaming sensor on the ports (writes nothing)",
         {"port", "baud", "timeout"}},
        {"info", "info -p PORT", "reads the firmware version and the full version", {"port", "baud"}},
        {"get", "get -p PORT NAME", "reads a value: version, full-version, distance", {"port", "baud"}},
        {"set", "set -p PORT NAME VALUE...", "changes a setting (see zn84ctl set --help)", {"port", "baud"}},
        {"reset", "reset -p PORT", "restarts the sensor", {"port", "baud"}},
        {"factory-restore", "factory-restore -p PORT", "restores the factory settings", {"port", "baud"}},
        {"save", "save -p PORT", "stores the settings in the sensor", {"port", "baud"}},
        {"stream", "stream -p PORT [--count N | --duration S] [--csv] [--timeout S]",
         "prints distances in metres, one per line", {"port", "baud", "count", "duration", "timeout", "csv"}},
        {"record", "record -p PORT FILE [--count N | --duration S] [--timeout S]",
         "writes distances in the viewer's record format", {"port", "baud", "count", "duration", "timeout"}},
        {"measure",
         "measure -p PORT --samples N [--limits LOW:HIGH] [--hysteresis H] [--zero M]\n"
         "                       [--filter avg:N|median:N] [--timeout S]",
         "judges N distances against a tolerance",
         {"port", "baud", "samples", "limits", "hysteresis", "zero", "filter", "timeout"}},
        {"spectrum", "spectrum -p PORT --samples N [--window W] [--csv] [--timeout S]",
         "the amplitude spectrum of N consecutive distances", {"port", "baud", "samples", "window", "timeout", "csv"}},
        {"capture", "capture -p PORT --trigger EDGE:LEVEL --pre N --post M [--timeout S] -o FILE",
         "writes the distances around the first crossing of a level",
         {"port", "baud", "trigger", "pre", "post", "timeout", "output"}},
        {"upgrade", "upgrade -p PORT [--can] IMAGE", "writes new firmware into the sensor", {"port", "baud", "can"}},
        {"publish",
         "publish -p PORT --broker mqtt://HOST[:PORT]|mqtts://HOST[:PORT] --topic PREFIX\n"
         "       [--qos 0|1] [--client-id ID] [--username U --password-file F] [--cafile CA]\n"
         "       [--batch-ms 100] [--allow-commands] [--timeout S]\n"
         "       [--limits LOW:HIGH [--hysteresis H] [--zero M] [--filter avg:N|median:N]]",
         "publishes every distance to an MQTT broker (see zn84ctl publish --help)",
         {"port", "baud", "timeout", "broker", "topic", "qos", "client-id", "username", "password-file", "cafile",
          "batch-ms", "allow-commands", "limits", "hysteresis", "zero", "filter"}},
        {"modbus", "modbus -p PORT [--address N] OPERATION [VALUE]",
         "Modbus RTU operations (see zn84ctl modbus --help)", {"port", "baud", "address"}},
    };
    return list;
}

const CommandSpec *specOf(const QString &name)
{
    for (const CommandSpec &c : commands()) {
        if (name == QLatin1String(c.name))
            return &c;
    }
    return nullptr;
}

const char *kCommonOptions =
    "Options:\n"
    "  -p, --port PORT    serial port: a name from 'zn84ctl ports' or a device path\n"
    "                     (default: $ZN84_PORT)\n"
    "  -b, --baud BAUD    baud rate of the port (default 115200)\n"
    "  --address N        Modbus device address, 1..247 (default 1)\n"
    "  --json             one JSON object per result, one per line\n"
    "  --timeout S        stream, record, measure, spectrum: how long to wait for the\n"
    "                     first distance and for each next one (default 5 s);\n"
    "                     capture: how long to wait for the trigger; find: how\n"
    "                     long to listen at each port and baud rate (default 1 s).\n"
    "                     Acknowledgements wait for the protocol's own bounds.\n"
    "  --broker, --topic, --qos, --client-id, --username, --password-file,\n"
    "  --cafile, --batch-ms, --allow-commands: publish (see zn84ctl publish --help)\n"
    "  -v, --verbose      the worker's log on standard error\n"
    "  -h, --help         help (also: zn84ctl COMMAND --help)\n"
    "  --version          the program's version\n";

const char *kExitCodes =
    "Exit codes:\n"
    "  0    success\n"
    "  1    usage error or invalid value (nothing was sent)\n"
    "  2    the port cannot be opened (missing, not permitted, busy)\n"
    "  3    the sensor did not answer, or answered wrongly\n"
    "  4    firmware transfer refused or failed\n"
    "  5    measure: some sample outside the limits\n"
    "  6    capture: no trigger within --timeout\n"
    "  7    publish: the broker refused the connection (credentials, not authorised)\n"
    "  130  stream, record, spectrum, capture, upgrade, find, publish: interrupted\n"
    "       (SIGINT or SIGTERM); the\n"
    "       port is released and one result printed (other commands end at once)\n";

QString settingsList(Group group)
{
    QString text;
    for (const Setting *s = settingsBegin(); s != settingsEnd(); ++s) {
        if (s->group != group)
            continue;
        const QString head = QStringLiteral("  %1 %2").arg(QLatin1String(s->name), synopsis(*s));
        // A long synopsis gets a line of its own.
        text += head.size() > 36 ? head + QLatin1Char('\n') + QString(37, QLatin1Char(' '))
                                 : head.leftJustified(36) + QLatin1Char(' ');
        text += QLatin1String(s->summary) + QLatin1Char('\n');
        for (int i = 0; i < s->numberCount; ++i)
            text += QStringLiteral("%1%2: %3\n")
                        .arg(QString(38, QLatin1Char(' ')), QLatin1String(s->numbers[i].name), rangeText(s->numbers[i]));
    }
    return text;
}

QString readingsList(Group group)
{
    QString text;
    for (const Reading *r = readingsBegin(); r != readingsEnd(); ++r) {
        if (r->group == group)
            text += QStringLiteral("  %1").arg(QLatin1String(r->name)).leftJustified(36) + QLatin1Char(' ')
                    + QLatin1String(r->summary) + QLatin1Char('\n');
    }
    return text;
}

} // namespace

bool isCommand(const QString &command)
{
    return specOf(command) != nullptr;
}

QStringList optionsOf(const QString &command)
{
    const CommandSpec *c = specOf(command);
    QStringList options = {QStringLiteral("json"), QStringLiteral("verbose"), QStringLiteral("help")};
    if (c)
        options += c->options;
    return options;
}

QString topLevelHelp()
{
    QString text = QStringLiteral(
        "Usage: zn84ctl COMMAND [OPTIONS] [OPERANDS]\n"
        "The laser rangefinder's protocol from the command line.\n\nCommands:\n");
    for (const CommandSpec &c : commands())
        text += QStringLiteral("  %1").arg(QLatin1String(c.name)).leftJustified(18) + QLatin1String(c.summary)
                + QLatin1Char('\n');
    text += QLatin1Char('\n') + QLatin1String(kCommonOptions) + QLatin1Char('\n') + QLatin1String(kExitCodes);
    text += QStringLiteral("\nEvery value is checked before anything is sent. See zn84ctl(1).\n");
    return text;
}

QString commandHelp(const QString &command)
{
    const CommandSpec *c = specOf(command);
    if (!c)
        return QString();
    // The pointer to this very help is left out of it.
    QString summary = QLatin1String(c->summary);
    summary.remove(QRegularExpression(QStringLiteral(" \\(see zn84ctl .*\\)$")));
    QString text = QStringLiteral("Usage: zn84ctl %1\n%2.\n").arg(QLatin1String(c->synopsis), summary);
    const QString name = QLatin1String(c->name);
    if (name == QLatin1String("set")) {
        text += QStringLiteral("\nSettings (numbers in decimal; CAN ids also 0x hex):\n") + settingsList(Group::Sensor);
        text += QStringLiteral("\nExample: zn84ctl set -p /dev/ttyUSB0 output-format binary\n");
    } else if (name == QLatin1String("get")) {
        text += QStringLiteral("\nNames:\n") + readingsList(Group::Sensor)
                + QStringLiteral("A distance is printed in metres. The trigger waits up to 22 s.\n");
    } else if (name == QLatin1String("modbus")) {
        text += QStringLiteral("\nOperations (Modbus RTU to --address, except enable and preset-address,\n"
                               "which go in the sensor's own protocol):\n")
                + readingsList(Group::Modbus) + settingsList(Group::Modbus);
    } else if (name == QLatin1String("stream")) {
        text += QStringLiteral(
            "\nThe sensor streams in its binary output format (set output-format binary).\n"
            "Until --count distances, --duration seconds, or Ctrl-C (exit 130). One distance\n"
            "in metres per line, as the viewer records them; --csv: a header, then the time\n"
            "since the port opened at which the reading arrived (s) and the distance.\n"
            "--json: {\"distance_m\", \"time_s\"} per reading, then one result object.\n"
            "No distance within --duration, or fewer than --count, is a failure (exit 3).\n");
    } else if (name == QLatin1String("record")) {
        text += QStringLiteral(
            "\nWrites one distance in metres per line to FILE (never overwriting it), or to\n"
            "a new <yyyyMMdd_HHmmss>.txt in FILE when it is a directory or ends in '/'.\n"
            "Stops like stream; the file holds every distance taken until then.\n");
    } else if (name == QLatin1String("measure")) {
        text += QStringLiteral(
            "\nReads N consecutive distances and prints, in metres: samples, min, max, p2p,\n"
            "mean, std (the samples' standard deviation); with --limits also ok, above,\n"
            "below (samples within, greater than HIGH, less than LOW), violations (entries\n"
            "into a violation, which lasts until the value is back inside by the\n"
            "hysteresis H, default 0), cp = (HIGH - LOW) / (6 std) and\n"
            "cpk = min(HIGH - mean, mean - LOW) / (3 std) (n/a, null in JSON, without\n"
            "spread). --zero M: values relative to M metres (limits too); --filter: a\n"
            "moving average (N 1..256) or median (N 1..21, odd) before the judgement.\n"
            "Exit 0 when every sample is within the limits (or none are given), 5 when\n"
            "some sample is outside them; LOW not below HIGH or a bad value: exit 1.\n");
    } else if (name == QLatin1String("spectrum")) {
        text += QStringLiteral(
            "\nReads N consecutive distances (N a power of two, 1024 to 65536; the first\n"
            "quarter second after the port opens is skipped: it holds what waited on the\n"
            "line), removes their mean, applies the window (none, hann (default),\n"
            "blackman-harris, flat-top) and transforms. Amplitudes are in metres peak,\n"
            "corrected for the window (flat-top reads a sine's amplitude best). The\n"
            "frequencies use the frame rate measured over those distances (host times).\n"
            "Prints the rate, the bin width and the five largest peaks (Hz, metres);\n"
            "--json: {\"rate\", \"bin_hz\", \"peaks\": [{\"hz\", \"amplitude_m\"}]};\n"
            "--csv: hz,amplitude_m for every bin from 0 Hz to half the rate.\n");
    } else if (name == QLatin1String("capture")) {
        text += QStringLiteral(
            "\nWaits for the first distance that crosses LEVEL (metres) once N distances\n"
            "came before it: rising (the previous one below LEVEL, this one at or above\n"
            "it), falling (above, then at or below) or either. Writes N + 1 + M rows\n"
            "index,time_s,distance_m after a header to FILE (never overwriting it):\n"
            "index -N to M, consecutive, the trigger at 0, time from the trigger. N and\n"
            "M up to 111110 each (10 s at 11111 frames/s). No trigger within --timeout\n"
            "seconds: exit 6; without --timeout it waits until interrupted (exit 130).\n");
    } else if (name == QLatin1String("upgrade")) {
        text += QStringLiteral(
            "\nFrames of 255 bytes on a serial link, --can: 8-byte frames. An empty,\n"
            "missing, unreadable or too large image is refused (exit 4) before the port\n"
            "is opened. Progress on standard error; Ctrl-C stops the transfer (exit 130).\n");
    } else if (name == QLatin1String("find")) {
        text += QStringLiteral(
            "\nPrints PORT BAUD for every port where measurement frames arrive; exit 3\n"
            "when none is found. -p and -b narrow the search to one port or rate.\n");
    } else if (name == QLatin1String("publish")) {
        text += QStringLiteral(
            "\nA gateway between one sensor and a message broker. Topics under PREFIX:\n"
            "  PREFIX/distance   {\"seq\", \"t\", \"rate\", \"m\": [metres]} about every --batch-ms;\n"
            "                    seq numbers the first sample since the start, t is its\n"
            "                    Unix time (s), a gap in seq is a loss\n"
            "  PREFIX/status     retained: online; offline on a stop and as the last will\n"
            "  PREFIX/health     line-health counters, queued, dropped, resent, every 5 s\n"
            "  PREFIX/state      with --limits: retained {\"t\", \"state\"} at each change of\n"
            "                    the tolerance state (ok, above, below, none), every\n"
            "                    sample judged as by zn84ctl measure\n"
            "  PREFIX/set/NAME   with --allow-commands: a setting as zn84ctl set takes it,\n"
            "                    the values in the message (\"binary\", \"100 200\"); the\n"
            "                    answer on PREFIX/reply. Without it every such message is\n"
            "                    answered as refused and nothing reaches the sensor.\n"
            "Reconnects by itself. With --qos 1 (the default) what the broker did not\n"
            "acknowledge is kept (two minutes at the line's top rate; beyond that the\n"
            "oldest go and are counted as dropped) and sent in order when it is back.\n"
            "--password-file: the password on the file's first line. mqtts:// checks the\n"
            "broker against --cafile (default: the system's certificates).\n"
            "Runs until Ctrl-C or SIGTERM (exit 130, \"offline\" published), a silent\n"
            "sensor (--timeout, default 5 s; exit 3) or a refusal by the broker (exit 7).\n");
    } else if (name == QLatin1String("ports")) {
        text += QStringLiteral("\nPrints NAME DESCRIPTION; simulated sensors after the system's ports.\n");
    }
    text += QLatin1Char('\n') + QLatin1String(kCommonOptions) + QLatin1Char('\n') + QLatin1String(kExitCodes);
    return text;
}

} // namespace cli
