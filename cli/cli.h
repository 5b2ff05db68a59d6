// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZN84CTL_CLI_H
#define ZN84CTL_CLI_H

// zn84ctl: the sensor's protocol from a script. The worker (`receiver`) runs in
// a thread of its own as in the viewer; the subcommands call its blocking
// wrappers from the main thread and take its distance batches and transfer
// reports through connectAcrossThreads.

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QFile>
#include <QTextStream>

#include <mutex>

class QThread;
class receiver;

namespace cli {

// The exit codes (also in the help and the manual page).
enum Exit : int {
    ExitOk = 0,
    ExitUsage = 1,          // usage or invalid value: nothing was sent
    ExitPort = 2,           // the port cannot be opened
    ExitNoAnswer = 3,       // the sensor did not answer, or answered wrongly
    ExitTransfer = 4,       // firmware transfer refused or failed
    ExitNoTrigger = 6,      // capture: no trigger within --timeout
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
    bool can = false;
    qint64 samples = -1;      // --samples (spectrum)
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

// The worker and its thread; the port closed and the thread stopped on
// destruction.
class Session
{
public:
    Session();
    ~Session();
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    receiver *worker() const { return w; }

    // Opens the port. On failure: the reason in words (missing, not
    // permitted, busy, ...) and QSerialPort's error name.
    bool open(const QString &port, int baud, QString &reason, QString &errorName);
    void close();

private:
    QThread *thread;
    receiver *w;
    std::mutex errorMutex;
    int openError = 0;        // the last QSerialPort error other than NotOpenError
    QString openErrorText;
};

// Opens the port of `options` for `command`; on failure prints the result
// and returns the exit code (ExitPort), otherwise ExitOk.
int openOrFail(Session &session, const Options &options, Output &output, const QString &command);

// The number format of the record file: a distance in cm as metres the way
// QTextStream writes d / 100.0.
QString metres(uint16_t cm);

// Subcommands; each returns its exit code.
int runPorts(const Options &o, Output &out);
int runFind(const Options &o, Output &out);
int runInfo(const Options &o, Output &out);
int runGet(const Options &o, Output &out);
int runSet(const Options &o, Output &out);           // also reset, factory-restore, save
int runModbus(const Options &o, Output &out);
int runStream(const Options &o, Output &out);        // stream and record
int runUpgrade(const Options &o, Output &out);
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
