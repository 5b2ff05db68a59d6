#include "record_format.h"

#include <cmath>

namespace recordformat {

void appendMetres(QByteArray &out, uint16_t centimetres)
{
    char buf[8];
    int n = 0;
    const unsigned whole = centimetres / 100u;
    const unsigned cents = centimetres % 100u;
    if (whole >= 100)
        buf[n++] = char('0' + whole / 100);
    if (whole >= 10)
        buf[n++] = char('0' + whole / 10 % 10);
    buf[n++] = char('0' + whole % 10);
    if (cents != 0) {
        buf[n++] = '.';
        buf[n++] = char('0' + cents / 10);
        if (cents % 10 != 0)
            buf[n++] = char('0' + cents % 10);
    }
    out.append(buf, n);
}

void appendPlainLines(QByteArray &out, const QVector<uint16_t> &centimetres)
{
    out.reserve(out.size() + centimetres.size() * 7);
    for (const uint16_t d : centimetres) {
        appendMetres(out, d);
        out.append('\n');
    }
}

QByteArray csvHeader()
{
    return QByteArrayLiteral("time_s,distance_m\n");
}

// Not printf: the application sets the C library's locale from the
// environment, and some locales write a decimal comma.
void appendSeconds(QByteArray &out, double seconds)
{
    qint64 micro = qint64(std::llround(seconds * 1e6));
    if (micro < 0) {
        out.append('-');
        micro = -micro;
    }
    out.append(QByteArray::number(micro / 1000000));
    char frac[8] = {'.', '0', '0', '0', '0', '0', '0', 0};
    qint64 f = micro % 1000000;
    for (int i = 6; i >= 1; --i, f /= 10)
        frac[i] = char('0' + f % 10);
    out.append(frac, 7);
}

void appendCsvLines(QByteArray &out, const QVector<uint16_t> &centimetres, int rate, CsvClock &clock)
{
    if (rate > 0 && rate != clock.rate) {
        clock.segmentStart = clock.now();
        clock.frames = 0;
        clock.rate = rate;
    }
    out.reserve(out.size() + centimetres.size() * 20);
    for (const uint16_t d : centimetres) {
        if (rate > 0)
            ++clock.frames;
        appendSeconds(out, clock.now());
        out.append(',');
        appendMetres(out, d);
        out.append('\n');
    }
}

} // namespace recordformat
