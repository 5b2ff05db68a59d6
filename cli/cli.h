// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZN84CTL_CLI_H
#define ZN84CTL_CLI_H

// zn84ctl: the sensor's protocol from a script. The worker (`receiver`) runs in
// a thread of its own, started and stopped by the viewer's WorkerSession; the
// subcommands call its blocking wrappers from the main thread and take its
// distance batches and transfer reports through connectAcrossThreads.

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QFile>
#include <QTextStream>

#include "worker_session.h"

namespace cli {

// The exit codes (also in the help and the manual page).
enum Exit : int {
    ExitOk = 0,
    ExitUsage = 1,          // usage or invalid value: nothing was sent
    ExitPort = 2,           // the port cannot be opened
    ExitNoAnswer = 3,       // the sensor did not answer, or answered wrongly
    ExitTransfer = 4,       // firmware transfer refused or failed
    ExitOutOfTolerance = 5, // measure: some sample outside the limits
    ExitNoTrigger = 6,      // capture: no trigger within --timeout
    ExitBroker = 7,         // publish: the broker refused the connection for good
    ExitInterrupted = 130,  // SIGINT or SIGTERM
};

struct Options
{
    QString command;          // the subcommand
    QStringList args;         // its operands
    QString port;             // -p/--port (or $ZN84_PORT)
    int baud = 115200;        // -b/--baud
    bool baudGiven = false;
    int address = 1;          // --address (Modbus)
    bool json = false;
    bool help = false;
    bool version = false;     // --version
    bool verbose = false;
    double timeoutS = -1;     // --timeout; -1 when not given
    qint64 count = -1;        // --count
    double durationS = -1;    // --duration
    bool csv = false;
    qint64 samples = -1;      // --samples (measure, spectrum)
    QString limits;           // --limits LOW:HIGH, checked by measure
    QString hysteresis;       // --hysteresis H
    QString zero;             // --zero M
    QString filter;           // --filter avg:N|median:N
    bool can = false;
    // publish
    QString broker;           // --broker mqtt://HOST[:PORT] or mqtts://...
    QString topic;            // --topic PREFIX
    int qos = 1;
    QString clientId;
    QString username;
    QString passwordFile;
    QString caFile;
    int batchMs = 100;
    bool allowCommands = false;
    QString window;           // --window (spectrum)
    QString trigger;          // --trigger (capture)
    qint64 pre = -1;          // --pre (capture)
    qint64 post = -1;         // --post (capture)
    QString outputFile;       // -o/--output (capture)
    QStringList given;        // the long names of the options given, for the per-command check
};

// Parses argv (without the program name). False with the reason on a usage
// error; help requests parse fine with `help` set.
bool parseOptions(const QStringList &argv, Options &options, QString &why);

// Standard output (text lines or one compact JSON object per result) and
// messages on standard error.
class Output
{
public:
    explicit Output(bool json);

    bool json() const { return jsonMode; }
    QTextStream &text() { return out; }       // buffered; flush() writes it
    void flush() { out.flush(); }
    void line(const QString &text);           // one text line, written at once
    void object(const QJsonObject &object);   // one compact JSON line, written at once
    static void message(const QString &text); // "zn84ctl: text" on standard error

    // A failure: the message on standard error and, in JSON mode, an object
    // {"command", "ok": false, "exit", "error", ...extra} on standard output.
    int fail(const QString &command, int code, const QString &why, QJsonObject extra = QJsonObject());

private:
    bool jsonMode;
    QFile stdoutFile;
    QTextStream out;
};

// The worker and its thread (session/worker_session.h); the port closed and
// the thread stopped on destruction.
using Session = WorkerSession;

// Opens the port of `options` for `command`; on failure prints the result
// and returns the exit code (ExitPort), otherwise ExitOk.
int openOrFail(Session &session, const Options &options, Output &output, const QString &command);

// Subcommands; each returns its exit code.
int runPorts(const Options &o, Output &out);
int runFind(const Options &o, Output &out);
int runInfo(const Options &o, Output &out);
int runGet(const Options &o, Output &out);
int runSet(const Options &o, Output &out);           // also reset, factory-restore, save
int runModbus(const Options &o, Output &out);
int runStream(const Options &o, Output &out);        // stream and record
int runUpgrade(const Options &o, Output &out);
int runPublish(const Options &o, Output &out);
int runMeasure(const Options &o, Output &out);
int runSpectrum(const Options &o, Output &out);
int runCapture(const Options &o, Output &out);

// Help texts.
QString topLevelHelp();
// Empty for an unknown command.
QString commandHelp(const QString &command);
// The options a command accepts (long names).
QStringList optionsOf(const QString &command);
bool isCommand(const QString &command);

} // namespace cli

#endif // ZN84CTL_CLI_H
