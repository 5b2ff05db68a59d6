// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef SETTINGS_TABLE_H
#define SETTINGS_TABLE_H

// The operator's settings of the sensor, described once for every front end:
// the command-line tool reads a setting by its English name, the window by
// the item texts and status prefixes it shows. Each entry says what values it
// takes (named choices with their wire values, or one or two numbers with the
// range their command can carry), how the window labels the outcome, and
// which worker call carries it. Values are checked here, before anything is
// sent. No widgets, nor their names: which widget shows a setting is the
// window's business (app/setting_widgets.h).
//
// For the window: a combo box is filled with itemText(choice) and carries
// choice.wire as its item data; a handler finds its setting by its button,
// takes the wire value from currentData() (or parseValues() over the line
// edits), calls apply() and shows tr(statusPrefix(...)) with the outcome. The
// item texts and prefixes are the window's source texts, translated in the
// context "MainWindow" (language*.ts already hold them).

#include <QString>
#include <QStringList>
#include <cstdint>

class receiver;

namespace settingstable {

// Where a setting lives: the sensor's settings (its own command protocol)
// or the Modbus page (Modbus RTU, plus the two frames of the sensor's own
// protocol that switch Modbus on and set its address).
enum class Group { Sensor, Modbus };

enum class Kind {
    Action,    // no value: reset, save, ...
    Choice,    // one named value out of a list
    Numbers,   // one or two numbers
};

// What the window appends to the status prefix.
enum class StatusValue { None, Text, Number };

struct Choice
{
    const char *name;        // command-line value, e.g. "binary"
    const char *item;        // the window's item text (source text)
    bool translatedItem;     // the window shows tr(item); otherwise item as it is
    uint32_t wire;           // the value the command carries
    const char *status;      // the window's status prefix for this choice (source text)
};

struct Number
{
    const char *name;        // placeholder in the help, e.g. "NEAR"
    int64_t min;             // accepted range; a negative value goes out in
    int64_t max;             // two's complement of `bits`
    int bits;                // width on the wire: 8, 16 or 32
    bool hex;                // "0x..." accepted as well as decimal
};

// The values of one setting as they go on the wire (cut to their width).
struct Values
{
    uint32_t first = 0;
    uint32_t second = 0;
};

// A worker call (blocking, from the worker's owner thread). `address` is the
// Modbus device address; calls of the sensor's own protocol ignore it.
using Apply = bool (*)(receiver &worker, uint8_t address, const Values &values);

struct Setting
{
    const char *name;          // command-line name, e.g. "frame-rate"
    Group group;
    Kind kind;
    const char *summary;       // one English line for the help
    const char *status;        // the window's status prefix (Action, Numbers)
    StatusValue statusValue;   // what the window appends to the prefix
    const Choice *choices;
    int choiceCount;
    Number numbers[2];
    int numberCount;
    Apply apply;
};

// A value that is read rather than set.
enum class ReadingKind { Text, DistanceCm };

struct Reading
{
    const char *name;          // command-line name, e.g. "version"
    Group group;
    ReadingKind kind;
    const char *summary;
    const char *status;        // the window's status prefix (source text)
    // Blocking worker call; fills `text` (Text) or `cm` (DistanceCm).
    bool (*read)(receiver &worker, uint8_t address, QString &text, uint16_t &cm);
};

// Every setting and reading, in the window's order.
const Setting *settingsBegin();
const Setting *settingsEnd();
const Reading *readingsBegin();
const Reading *readingsEnd();

// By command-line name within a group (exact, lower case); null when unknown.
const Setting *findSetting(Group group, const QString &name);
const Reading *findReading(Group group, const QString &name);
QStringList settingNames(Group group);
QStringList readingNames(Group group);

// A choice by command-line name (case does not matter), by wire value or by
// the window's source item text; null when there is none.
const Choice *choiceNamed(const Setting &s, const QString &name);
const Choice *choiceWithWire(const Setting &s, uint32_t wire);
const Choice *choiceWithItem(const Setting &s, const QString &sourceItem);
QStringList choiceNames(const Setting &s);

// Reads one number: decimal (a leading '-' only where the range has
// negatives), or 0x followed by hex digits where the number allows it; no
// blanks, no '+', within [min, max]. False with the reason otherwise.
bool parseNumber(const Number &n, const QString &text, int64_t &value, QString &why);
// The wire form of a number already in range (two's complement of its width).
uint32_t wireOf(const Number &n, int64_t value);

// Checks the command-line arguments of a setting (none, a choice name, or
// one or two numbers) and gives the wire values; false with the reason,
// phrased for the operator, otherwise.
bool parseValues(const Setting &s, const QStringList &args, Values &values, QString &why);

// The window's source texts: the item text of a choice as it shows it
// (translated in the context "MainWindow" where the window translates it),
// and the status prefix of an outcome (source text, to be translated).
QString itemText(const Choice &c);
const char *statusPrefix(const Setting &s, const Values &values);

// The argument synopsis for the help: "FPS", "NEAR FAR", "ascii|binary|...".
QString synopsis(const Setting &s);
// The accepted range of a number in words, e.g. "0..65535" or "0..0xFFFFFFFF".
QString rangeText(const Number &n);

} // namespace settingstable

#endif // SETTINGS_TABLE_H
