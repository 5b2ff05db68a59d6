// SPDX-License-Identifier: GPL-3.0-or-later
#include "judge_options.h"

#include "measurement_judge.h"

#include <QRegularExpression>

#include <cmath>

namespace cli {

namespace {

// A decimal number of metres, optionally signed.
bool toMetres(const QString &text, double &value)
{
    static const QRegularExpression decimal(QStringLiteral("^-?[0-9]{1,6}(\\.[0-9]{1,9})?$"));
    if (!decimal.match(text).hasMatch())
        return false;
    value = text.toDouble();
    return std::isfinite(value);
}

bool parseLimits(const QString &text, JudgeLimits &limits, QString &why)
{
    const int colon = text.indexOf(QLatin1Char(':'));
    if (colon < 0 || !toMetres(text.left(colon), limits.low) || !toMetres(text.mid(colon + 1), limits.high)) {
        why = QStringLiteral("--limits: \"%1\" is not LOW:HIGH in metres").arg(text);
        return false;
    }
    if (!(limits.low < limits.high)) {
        why = QStringLiteral("--limits: LOW (%1) is not below HIGH (%2)").arg(text.left(colon), text.mid(colon + 1));
        return false;
    }
    limits.on = true;
    return true;
}

bool parseFilter(const QString &text, FilterSettings &filter, QString &why)
{
    static const QRegularExpression form(QStringLiteral("^(avg|median):([0-9]{1,3})$"));
    const QRegularExpressionMatch m = form.match(text);
    if (m.hasMatch()) {
        filter.kind = m.captured(1) == QLatin1String("avg") ? FilterSettings::Average : FilterSettings::Median;
        filter.length = m.captured(2).toInt();
        if (filter.valid())
            return true;
    }
    why = QStringLiteral("--filter: \"%1\" is not avg:N (N 1..%2) or median:N (N 1..%3, odd)")
              .arg(text)
              .arg(FilterSettings::kMaxAverage)
              .arg(FilterSettings::kMaxMedian);
    return false;
}

} // namespace

bool setUpJudge(const Options &o, MeasurementJudge &judge, QString &why)
{
    JudgeLimits limits;
    if (!o.limits.isNull() && !parseLimits(o.limits, limits, why))
        return false;
    if (!o.hysteresis.isNull()) {
        if (!limits.on) {
            why = QStringLiteral("--hysteresis needs --limits");
            return false;
        }
        if (!toMetres(o.hysteresis, limits.hysteresis) || limits.hysteresis < 0) {
            why = QStringLiteral("--hysteresis: \"%1\" is not a distance of 0 m or more").arg(o.hysteresis);
            return false;
        }
    }
    double zero = 0;
    if (!o.zero.isNull() && !toMetres(o.zero, zero)) {
        why = QStringLiteral("--zero: \"%1\" is not a distance in metres").arg(o.zero);
        return false;
    }
    FilterSettings filter;
    if (!o.filter.isNull() && !parseFilter(o.filter, filter, why))
        return false;

    judge.setLimits(limits);
    judge.setFilter(filter);
    judge.setFilterFeedsJudgement(true);
    if (!o.zero.isNull()) {
        ZeroReference reference;
        reference.restore(ZeroReference::Zero, zero, 0);
        judge.setReference(reference);
    }
    return true;
}

} // namespace cli
