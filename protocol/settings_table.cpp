// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings_table.h"

#include <QCoreApplication>

namespace settingstable {

namespace {

// The row of `group` called `name` in [begin, end), or null.
template <typename Row>
const Row *rowNamed(const Row *begin, const Row *end, Group group, const QString &name)
{
    for (const Row *row = begin; row != end; ++row) {
        if (row->group == group && name == QLatin1String(row->name))
            return row;
    }
    return nullptr;
}

// The names of the rows of `group` in [begin, end), in table order.
template <typename Row>
QStringList rowNames(const Row *begin, const Row *end, Group group)
{
    QStringList names;
    for (const Row *row = begin; row != end; ++row) {
        if (row->group == group)
            names << QLatin1String(row->name);
    }
    return names;
}

} // namespace

const Setting *findSetting(Group group, const QString &name)
{
    return rowNamed(settingsBegin(), settingsEnd(), group, name);
}

const Reading *findReading(Group group, const QString &name)
{
    return rowNamed(readingsBegin(), readingsEnd(), group, name);
}

QStringList settingNames(Group group)
{
    return rowNames(settingsBegin(), settingsEnd(), group);
}

QStringList readingNames(Group group)
{
    return rowNames(readingsBegin(), readingsEnd(), group);
}

const Choice *choiceNamed(const Setting &s, const QString &name)
{
    for (int i = 0; i < s.choiceCount; ++i) {
        if (name.compare(QLatin1String(s.choices[i].name), Qt::CaseInsensitive) == 0)
            return &s.choices[i];
    }
    return nullptr;
}

const Choice *choiceWithWire(const Setting &s, uint32_t wire)
{
    for (int i = 0; i < s.choiceCount; ++i) {
        if (s.choices[i].wire == wire)
            return &s.choices[i];
    }
    return nullptr;
}

const Choice *choiceWithItem(const Setting &s, const QString &sourceItem)
{
    for (int i = 0; i < s.choiceCount; ++i) {
        if (sourceItem == QString::fromUtf8(s.choices[i].item))
            return &s.choices[i];
    }
    return nullptr;
}

QStringList choiceNames(const Setting &s)
{
    QStringList names;
    for (int i = 0; i < s.choiceCount; ++i)
        names << QLatin1String(s.choices[i].name);
    return names;
}

bool parseNumber(const Number &n, const QString &text, int64_t &value, QString &why)
{
    const QString range = rangeText(n);
    auto refuse = [&](const QString &reason) {
        why = QStringLiteral("%1 \"%2\": %3").arg(QLatin1String(n.name), text, reason);
        return false;
    };
    if (text.isEmpty())
        return refuse(QStringLiteral("empty"));

    // Digits only (and one leading '-'): toLongLong alone would also take
    // blanks around the number.
    int pos = 0;
    bool negative = false;
    int base = 10;
    if (text.at(0) == QLatin1Char('-')) {
        negative = true;
        pos = 1;
    } else if (n.hex && text.size() > 2 && text.at(0) == QLatin1Char('0')
               && (text.at(1) == QLatin1Char('x') || text.at(1) == QLatin1Char('X'))) {
        base = 16;
        pos = 2;
    }
    if (pos >= text.size())
        return refuse(QStringLiteral("not a number"));
    for (int i = pos; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const bool digit = c >= QLatin1Char('0') && c <= QLatin1Char('9');
        const bool hexDigit = (c >= QLatin1Char('a') && c <= QLatin1Char('f'))
                || (c >= QLatin1Char('A') && c <= QLatin1Char('F'));
        if (!digit && !(base == 16 && hexDigit))
            return refuse(n.hex ? QStringLiteral("not a decimal or 0x hexadecimal number")
                                : QStringLiteral("not a decimal number"));
    }
    // More digits than any range needs: out of range without overflowing.
    const QString digits = text.mid(pos);
    bool ok = false;
    const qulonglong magnitude = digits.size() > 18 ? 0 : digits.toULongLong(&ok, base);
    if (!ok)
        return refuse(QStringLiteral("outside %1").arg(range));
    const int64_t v = negative ? -int64_t(magnitude) : int64_t(magnitude);
    if (v < n.min || v > n.max)
        return refuse(QStringLiteral("outside %1").arg(range));
    value = v;
    return true;
}

uint32_t wireOf(const Number &n, int64_t value)
{
    const uint64_t mask = n.bits >= 32 ? 0xFFFFFFFFULL : ((uint64_t(1) << n.bits) - 1);
    return uint32_t(uint64_t(value) & mask);
}

bool parseValues(const Setting &s, const QStringList &args, Values &values, QString &why)
{
    values = Values();
    const int expected = s.kind == Kind::Action ? 0 : s.kind == Kind::Choice ? 1 : s.numberCount;
    if (args.size() != expected) {
        why = expected == 0 ? QStringLiteral("%1 takes no value").arg(QLatin1String(s.name))
                            : QStringLiteral("%1 takes %2 (%3)")
                                  .arg(QLatin1String(s.name),
                                       expected == 1 ? QStringLiteral("one value") : QStringLiteral("two values"),
                                       synopsis(s));
        return false;
    }
    if (s.kind == Kind::Choice) {
        const Choice *c = choiceNamed(s, args.at(0));
        if (!c) {
            why = QStringLiteral("%1: unknown value \"%2\" (one of %3)")
                      .arg(QLatin1String(s.name), args.at(0), choiceNames(s).join(QStringLiteral(", ")));
            return false;
        }
        values.first = c->wire;
        return true;
    }
    for (int i = 0; i < expected; ++i) {
        int64_t v = 0;
        QString reason;
        if (!parseNumber(s.numbers[i], args.at(i), v, reason)) {
            why = QStringLiteral("%1: %2").arg(QLatin1String(s.name), reason);
            return false;
        }
        (i == 0 ? values.first : values.second) = wireOf(s.numbers[i], v);
    }
    return true;
}

QString itemText(const Choice &c)
{
    return c.translatedItem ? QCoreApplication::translate("MainWindow", c.item) : QString::fromUtf8(c.item);
}

const char *statusPrefix(const Setting &s, const Values &values)
{
    if (s.kind == Kind::Choice) {
        const Choice *c = choiceWithWire(s, values.first);
        return c ? c->status : "";
    }
    return s.status;
}

QString synopsis(const Setting &s)
{
    switch (s.kind) {
    case Kind::Action:
        return QString();
    case Kind::Choice:
        return choiceNames(s).join(QLatin1Char('|'));
    case Kind::Numbers:
        break;
    }
    QStringList parts;
    for (int i = 0; i < s.numberCount; ++i)
        parts << QLatin1String(s.numbers[i].name);
    return parts.join(QLatin1Char(' '));
}

QString rangeText(const Number &n)
{
    if (n.hex)
        return QStringLiteral("%1..%2 (or 0x%3..0x%4)")
            .arg(n.min).arg(n.max)
            .arg(QString::number(qulonglong(n.min), 16).toUpper(), QString::number(qulonglong(n.max), 16).toUpper());
    return QStringLiteral("%1..%2").arg(n.min).arg(n.max);
}

} // namespace settingstable
