// SPDX-License-Identifier: GPL-3.0-or-later
// zn84ctl: the sensor's protocol from a script, with exit codes and
// machine-readable output. See cli.h and zn84ctl(1).

#include "cli.h"
#include "zn84_version.h"

#include <QCoreApplication>
#include <QLoggingCategory>

#include <cstdio>

using namespace cli;

namespace {

void printText(const QString &text, FILE *stream)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

int dispatch(const Options &o, Output &out)
{
    const QString &c = o.command;
    if (c == QLatin1String("ports"))
        return runPorts(o, out);
    if (c == QLatin1String("find"))
        return runFind(o, out);
    if (c == QLatin1String("info"))
        return runInfo(o, out);
    if (c == QLatin1String("get"))
        return runGet(o, out);
    if (c == QLatin1String("set") || c == QLatin1String("reset") || c == QLatin1String("factory-restore")
        || c == QLatin1String("save"))
        return runSet(o, out);
    if (c == QLatin1String("modbus"))
        return runModbus(o, out);
    if (c == QLatin1String("stream") || c == QLatin1String("record"))
        return runStream(o, out);
    if (c == QLatin1String("upgrade"))
        return runUpgrade(o, out);
    if (c == QLatin1String("publish"))
        return runPublish(o, out);
    if (c == QLatin1String("measure"))
        return runMeasure(o, out);
    if (c == QLatin1String("spectrum"))
        return runSpectrum(o, out);
    if (c == QLatin1String("capture"))
        return runCapture(o, out);
    return out.fail(c, ExitUsage, QStringLiteral("unknown command \"%1\"").arg(c));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zn84ctl"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ZN84_VERSION));

    Options o;
    QString why;
    const bool parsed = parseOptions(QCoreApplication::arguments().mid(1), o, why);
    Output out(parsed && o.json);
    if (!parsed) {
        Output::message(why + QStringLiteral(" (zn84ctl --help)"));
        return ExitUsage;
    }
    // The worker logs every frame; a script wants its results only.
    if (!o.verbose)
        QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));

    // Before the command checks: "zn84ctl set --version" answers too.
    if (o.version) {
        std::printf("zn84ctl %s\n", ZN84_VERSION);
        return ExitOk;
    }
    if (o.command.isEmpty()) {
        printText(topLevelHelp(), o.help ? stdout : stderr);
        return o.help ? ExitOk : ExitUsage;
    }
    if (!isCommand(o.command))
        return out.fail(o.command, ExitUsage,
                        QStringLiteral("unknown command \"%1\" (zn84ctl --help)").arg(o.command));
    if (o.help) {
        printText(commandHelp(o.command), stdout);
        return ExitOk;
    }
    const QStringList accepted = optionsOf(o.command);
    for (const QString &option : o.given) {
        if (!accepted.contains(option))
            return out.fail(o.command, ExitUsage,
                            QStringLiteral("option --%1 does not apply to %2").arg(option, o.command));
    }
    if (o.csv && o.json)
        return out.fail(o.command, ExitUsage, QStringLiteral("--csv and --json exclude each other"));
    return dispatch(o, out);
}
