// SPDX-License-Identifier: GPL-3.0-or-later
// Command-line parsing: options may stand before or after the subcommand;
// an operand that looks like a negative number ("set offset -10") is an
// operand, not an option; "--" ends the options.

#include "cli.h"

#include <QRegularExpression>

#include <cmath>

namespace cli {

namespace {

struct OptionDef
{
    const char *longName;
    char shortName;     // 0: none
    bool takesValue;
};

constexpr OptionDef kOptions[] = {
    {"port", 'p', true},
    {"baud", 'b', true},
    {"address", 0, true},
    {"timeout", 0, true},
    {"count", 0, true},
    {"duration", 0, true},
    {"samples", 0, true},
    {"limits", 0, true},
    {"hysteresis", 0, true},
    {"zero", 0, true},
    {"filter", 0, true},
    {"window", 0, true},
    {"trigger", 0, true},
    {"pre", 0, true},
    {"post", 0, true},
    {"output", 'o', true},
    {"json", 0, false},
    {"csv", 0, false},
    {"can", 0, false},
    {"verbose", 'v', false},
    {"help", 'h', false},
    {"version", 0, false},
    {"broker", 0, true},
    {"topic", 0, true},
    {"qos", 0, true},
    {"client-id", 0, true},
    {"username", 0, true},
    {"password-file", 0, true},
    {"cafile", 0, true},
    {"batch-ms", 0, true},
    {"allow-commands", 0, false},
};

const OptionDef *byLong(const QString &name)
{
    for (const OptionDef &o : kOptions) {
        if (name == QLatin1String(o.longName))
            return &o;
    }
    return nullptr;
}

const OptionDef *byShort(QChar c)
{
    for (const OptionDef &o : kOptions) {
        if (o.shortName && c == QLatin1Char(o.shortName))
            return &o;
    }
    return nullptr;
}

bool looksLikeNumber(const QString &arg)
{
    static const QRegularExpression negative(QStringLiteral("^-[0-9]"));
    return negative.match(arg).hasMatch();
}

// Whole decimal numbers only.
bool toInteger(const QString &text, qint64 min, qint64 max, qint64 &value)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,15}$"));
    if (!digits.match(text).hasMatch())
        return false;
    value = text.toLongLong();
    return value >= min && value <= max;
}

bool toSeconds(const QString &text, double &value)
{
    static const QRegularExpression decimal(QStringLiteral("^[0-9]{1,9}(\\.[0-9]{1,6})?$"));
    if (!decimal.match(text).hasMatch())
        return false;
    value = text.toDouble();
    return value > 0 && std::isfinite(value);
}

bool setValue(const OptionDef &option, const QString &value, Options &o, QString &why)
{
    const QString name = QLatin1String(option.longName);
    auto bad = [&](const QString &what) {
        why = QStringLiteral("--%1: \"%2\" is not %3").arg(name, value, what);
        return false;
    };
    qint64 n = 0;
    if (name == QLatin1String("port")) {
        if (value.isEmpty())
            return bad(QStringLiteral("a port name"));
        o.port = value;
    } else if (name == QLatin1String("baud")) {
        if (!toInteger(value, 1, 0x7FFFFFFF, n))
            return bad(QStringLiteral("a baud rate (1..2147483647)"));
        o.baud = int(n);
        o.baudGiven = true;
    } else if (name == QLatin1String("address")) {
        if (!toInteger(value, 1, 247, n))
            return bad(QStringLiteral("a Modbus address (1..247)"));
        o.address = int(n);
    } else if (name == QLatin1String("timeout")) {
        if (!toSeconds(value, o.timeoutS))
            return bad(QStringLiteral("a positive number of seconds"));
    } else if (name == QLatin1String("count")) {
        if (!toInteger(value, 1, qint64(1) << 50, n))
            return bad(QStringLiteral("a positive whole number"));
        o.count = n;
    } else if (name == QLatin1String("samples")) {
        if (!toInteger(value, 1, qint64(1) << 40, n))
            return bad(QStringLiteral("a positive whole number"));
        o.samples = n;
    } else if (name == QLatin1String("window")) {
        o.window = value;
    } else if (name == QLatin1String("trigger")) {
        o.trigger = value;
    } else if (name == QLatin1String("pre") || name == QLatin1String("post")) {
        if (!toInteger(value, 0, qint64(1) << 30, n))
            return bad(QStringLiteral("a whole number of samples"));
        (name == QLatin1String("pre") ? o.pre : o.post) = n;
    } else if (name == QLatin1String("output")) {
        if (value.isEmpty())
            return bad(QStringLiteral("a file name"));
        o.outputFile = value;
    } else if (name == QLatin1String("duration")) {
        if (!toSeconds(value, o.durationS))
            return bad(QStringLiteral("a positive number of seconds"));
    } else if (name == QLatin1String("qos")) {
        if (!toInteger(value, 0, 1, n))
            return bad(QStringLiteral("0 or 1"));
        o.qos = int(n);
    } else if (name == QLatin1String("batch-ms")) {
        if (!toInteger(value, 10, 10000, n))
            return bad(QStringLiteral("a number of milliseconds (10..10000)"));
        o.batchMs = int(n);
    } else if (name == QLatin1String("client-id")) {
        if (value.isEmpty() || value.toUtf8().size() > 65535)
            return bad(QStringLiteral("a client id"));
        o.clientId = value;
    } else if (name == QLatin1String("broker")) {
        o.broker = value;
    } else if (name == QLatin1String("topic")) {
        o.topic = value;
    } else if (name == QLatin1String("username")) {
        if (value.isEmpty())
            return bad(QStringLiteral("a user name"));
        o.username = value;
    } else if (name == QLatin1String("password-file")) {
        o.passwordFile = value;
    } else if (name == QLatin1String("cafile")) {
        o.caFile = value;
    } else if (name == QLatin1String("limits")) {
        o.limits = value;       // measure checks the pair
    } else if (name == QLatin1String("hysteresis")) {
        o.hysteresis = value;
    } else if (name == QLatin1String("zero")) {
        o.zero = value;
    } else if (name == QLatin1String("filter")) {
        o.filter = value;
    }
    return true;
}

void setFlag(const OptionDef &option, Options &o)
{
    const QString name = QLatin1String(option.longName);
    if (name == QLatin1String("json"))
        o.json = true;
    else if (name == QLatin1String("csv"))
        o.csv = true;
    else if (name == QLatin1String("can"))
        o.can = true;
    else if (name == QLatin1String("verbose"))
        o.verbose = true;
    else if (name == QLatin1String("help"))
        o.help = true;
    else if (name == QLatin1String("version"))
        o.version = true;
    else if (name == QLatin1String("allow-commands"))
        o.allowCommands = true;
}

} // namespace

bool parseOptions(const QStringList &argv, Options &o, QString &why)
{
    o = Options();
    o.port = qEnvironmentVariable("ZN84_PORT");
    QStringList operands;
    bool optionsEnded = false;
    for (int i = 0; i < argv.size(); ++i) {
        const QString arg = argv.at(i);
        if (optionsEnded || !arg.startsWith(QLatin1Char('-')) || arg == QLatin1String("-")
            || looksLikeNumber(arg)) {
            operands << arg;
            continue;
        }
        if (arg == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        const OptionDef *option = nullptr;
        QString value;
        bool inlineValue = false;
        if (arg.startsWith(QLatin1String("--"))) {
            const int eq = arg.indexOf(QLatin1Char('='));
            const QString name = arg.mid(2, eq < 0 ? -1 : eq - 2);
            option = byLong(name);
            if (eq >= 0) {
                value = arg.mid(eq + 1);
                inlineValue = true;
            }
        } else if (arg.size() >= 2) {
            option = byShort(arg.at(1));
            if (option && arg.size() > 2) {
                // -p/dev/ttyUSB0, -b9600
                value = arg.mid(2);
                inlineValue = true;
            }
        }
        if (!option) {
            why = QStringLiteral("unknown option %1").arg(arg);
            return false;
        }
        if (inlineValue && !option->takesValue) {
            why = QStringLiteral("option --%1 takes no value").arg(QLatin1String(option->longName));
            return false;
        }
        if (option->takesValue && !inlineValue) {
            if (i + 1 >= argv.size()) {
                why = QStringLiteral("option --%1 needs a value").arg(QLatin1String(option->longName));
                return false;
            }
            value = argv.at(++i);
        }
        o.given << QLatin1String(option->longName);
        if (option->takesValue) {
            if (!setValue(*option, value, o, why))
                return false;
        } else {
            setFlag(*option, o);
        }
    }
    if (!operands.isEmpty())
        o.command = operands.takeFirst();
    o.args = operands;
    // "zn84ctl help [COMMAND]" is "zn84ctl [COMMAND] --help".
    if (o.command == QLatin1String("help")) {
        o.help = true;
        o.command = o.args.isEmpty() ? QString() : o.args.takeFirst();
    }
    return true;
}

} // namespace cli
