// SPDX-License-Identifier: GPL-3.0-or-later
#include "record_format.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iterator>

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

QString metresText(uint16_t centimetres)
{
    QByteArray text;
    appendMetres(text, centimetres);
    return QString::fromLatin1(text);
}

void appendPlainLines(QByteArray &out, const QVector<uint16_t> &centimetres)
{
    out.reserve(out.size() + centimetres.size() * 7);
    for (const uint16_t d : centimetres) {
        appendMetres(out, d);
        out.append('\n');
    }
}

namespace {

const CsvColumn kCsvColumns[] = {
    {"time_s", [](QByteArray &out, const CsvFrame &f) { appendSeconds(out, f.seconds); }},
    {"distance_m", [](QByteArray &out, const CsvFrame &f) { appendMetres(out, f.cm); }},
    {"marker", [](QByteArray &out, const CsvFrame &f) { out.append(f.marker); }},
    {"sample", [](QByteArray &out, const CsvFrame &f) {
         if (f.numbered)
             out.append(QByteArray::number(f.sample));
     }},
    {"host_us_since_", [](QByteArray &out, const CsvFrame &f) {
         if (f.numbered)
             out.append(QByteArray::number(f.hostUs));
     }},
    {"filtered_m", [](QByteArray &out, const CsvFrame &f) {
         // Micrometres: a filter's mean falls between whole centimetres.
         if (f.judged)
             out.append(QByteArray::number(f.filteredM, 'f', 6));
     }},
    {"state", [](QByteArray &out, const CsvFrame &f) { out.append(f.state); }},
};

// One line per frame: the columns in their order. The frames of a batch
// differ in their distance, number and time only.
template <typename FrameAt>
void appendCsvFrames(QByteArray &out, int count, int rate, CsvClock &clock, FrameAt frameAt)
{
    if (rate > 0 && rate != clock.rate) {
        clock.segmentStart = clock.now();
        clock.frames = 0;
        clock.rate = rate;
    }
    out.reserve(out.size() + count * 20);
    for (int i = 0; i < count; ++i) {
        if (rate > 0)
            ++clock.frames;
        CsvFrame frame = frameAt(i);
        frame.seconds = clock.now();
        for (const CsvColumn *c = csvColumnsBegin(); c != csvColumnsEnd(); ++c) {
            if (c != csvColumnsBegin())
                out.append(',');
            c->append(out, frame);
        }
        out.append('\n');
    }
}

} // namespace

const CsvColumn *csvColumnsBegin() { return std::begin(kCsvColumns); }
const CsvColumn *csvColumnsEnd() { return std::end(kCsvColumns); }

QByteArray csvPointsHeader()
{
    return QByteArray("time_s,distance_m");
}

bool isCsvRecording(const QByteArray &data)
{
    return data.startsWith(csvPointsHeader());
}

void appendCsvField(QByteArray &out, const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    if (!utf8.contains(',') && !utf8.contains('"') && !utf8.contains('\n') && !utf8.contains('\r')) {
        out.append(utf8);
        return;
    }
    out.append('"');
    for (const char c : utf8) {
        if (c == '"')
            out.append('"');
        out.append(c);
    }
    out.append('"');
}

bool parseCsvField(const char *begin, const char *end, QString &text, const char **fieldEnd)
{
    while (end > begin && end[-1] == '\r')
        --end;
    if (begin == end || *begin != '"') {
        const char *comma = static_cast<const char *>(std::memchr(begin, ',', size_t(end - begin)));
        const char *stop = comma ? comma : end;
        text = QString::fromUtf8(begin, int(stop - begin));
        *fieldEnd = stop;
        return true;
    }
    QByteArray field;
    const char *p = begin + 1;
    for (;;) {
        if (p >= end)
            return false;
        if (*p == '"') {
            if (p + 1 < end && p[1] == '"') {
                field.append('"');
                p += 2;
                continue;
            }
            ++p;
            break;
        }
        field.append(*p++);
    }
    if (p != end && *p != ',')
        return false;
    text = QString::fromUtf8(field);
    *fieldEnd = p;
    return true;
}

QString markersPath(const QString &recording)
{
    return recording + QStringLiteral(".markers");
}

QByteArray markersHeader()
{
    return QByteArray("line,sample,host_time_s,label\n");
}

void appendMarkerLine(QByteArray &out, qint64 line, quint64 sample, qint64 hostUs, const QString &label)
{
    out.append(QByteArray::number(line));
    out.append(',');
    out.append(QByteArray::number(sample));
    out.append(',');
    appendSeconds(out, double(hostUs) / 1e6);
    out.append(',');
    appendCsvField(out, label);
    out.append('\n');
}

QVector<ReplayMarker> readMarkers(const QByteArray &data, int rate)
{
    QVector<ReplayMarker> markers;
    if (rate <= 0)
        return markers;
    const QList<QByteArray> lines = data.split('\n');
    for (int i = 1; i < lines.size(); ++i) {
        const QByteArray &l = lines.at(i);
        const int comma = l.indexOf(',');
        bool ok = false;
        const qint64 line = l.left(comma).toLongLong(&ok);
        // The label after the third comma (it may hold commas of its own).
        const int second = comma < 0 ? -1 : l.indexOf(',', comma + 1);
        const int third = second < 0 ? -1 : l.indexOf(',', second + 1);
        if (!ok || line < 1 || third < 0)
            continue;
        ReplayMarker m;
        const char *fieldEnd = nullptr;
        if (!parseCsvField(l.constData() + third + 1, l.constData() + l.size(), m.label, &fieldEnd))
            continue;
        m.seconds = double(line) / rate;
        markers.append(m);
    }
    return markers;
}

QByteArray csvHeader(const QDateTime &start)
{
    QByteArray header;
    for (const CsvColumn *c = csvColumnsBegin(); c != csvColumnsEnd(); ++c) {
        if (c != csvColumnsBegin())
            header.append(',');
        header.append(c->header);
        // The column whose name ends in "_since_" names the start.
        if (QByteArray(c->header).endsWith("_since_"))
            header.append(start.isValid()
                              ? start.toOffsetFromUtc(start.offsetFromUtc()).toString(Qt::ISODateWithMs).toLatin1()
                              : QByteArray("unknown"));
    }
    header.append('\n');
    return header;
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
    appendCsvFrames(out, centimetres.size(), rate, clock, [&centimetres](int i) {
        CsvFrame f;
        f.cm = centimetres.at(i);
        return f;
    });
}

void appendCsvLines(QByteArray &out, const MeasurementBatch &batch, CsvClock &clock,
                    const QVector<SampleMarker> &markers, const SampleAnnotator *annotator)
{
    int next = 0;
    appendCsvFrames(out, batch.size(), int(batch.rate), clock, [&batch, &markers, &next, annotator](int i) {
        CsvFrame f;
        f.cm = batch.cm.at(i);
        f.numbered = true;
        f.sample = batch.first + quint64(i);
        f.hostUs = batch.timeUs(i);
        if (annotator)
            f.judged = annotator->annotate(f.sample, f.filteredM, f.state);
        // Two markers on one frame share its field.
        QString labels;
        for (; next < markers.size() && markers.at(next).sample <= f.sample; ++next)
            if (markers.at(next).sample == f.sample)
                labels += (labels.isEmpty() ? QString() : QStringLiteral("; ")) + markers.at(next).label;
        if (!labels.isEmpty())
            appendCsvField(f.marker, labels);
        return f;
    });
}

bool parseMetres(const char *begin, const char *end, uint16_t &centimetres)
{
    while (end > begin && (end[-1] == '\r' || end[-1] == ' '))
        --end;
    unsigned whole = 0;
    int digits = 0;
    const char *p = begin;
    for (; p < end && *p >= '0' && *p <= '9'; ++p) {
        whole = whole * 10 + unsigned(*p - '0');
        if (++digits > 3)
            return false;
    }
    if (digits == 0)
        return false;
    unsigned cents = 0;
    if (p < end && *p == '.') {
        ++p;
        int decimals = 0;
        for (; p < end && *p >= '0' && *p <= '9'; ++p) {
            if (++decimals > 2)
                return false;
            cents = cents * 10 + unsigned(*p - '0');
        }
        if (decimals == 0)
            return false;
        if (decimals == 1)
            cents *= 10;
    }
    if (p != end)
        return false;
    const unsigned value = whole * 100 + cents;
    if (value > 65535)
        return false;
    centimetres = uint16_t(value);
    return true;
}

// Seconds as the CSV recorder writes them: digits, '.', digits.
static bool parseSeconds(const char *begin, const char *end, double &seconds)
{
    qint64 whole = 0, fraction = 0, scale = 1;
    const char *p = begin;
    int digits = 0;
    for (; p < end && *p >= '0' && *p <= '9' && digits < 12; ++p, ++digits)
        whole = whole * 10 + (*p - '0');
    if (digits == 0)
        return false;
    if (p < end && *p == '.') {
        ++p;
        int decimals = 0;
        for (; p < end && *p >= '0' && *p <= '9' && decimals < 9; ++p, ++decimals) {
            fraction = fraction * 10 + (*p - '0');
            scale *= 10;
        }
        if (decimals == 0)
            return false;
    }
    if (p != end)
        return false;
    seconds = double(whole) + double(fraction) / double(scale);
    return true;
}

Replay readRecording(const QByteArray &data, int rate)
{
    Replay r;
    r.csv = isCsvRecording(data);
    const char *p = data.constData();
    const char *end = p + data.size();
    int lineNumber = 0;
    if (r.csv) {
        p = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p)));
        p = p ? p + 1 : end;
        lineNumber = 1;
    }
    const auto bad = [&r](int line) {
        ++r.badLines;
        if (r.firstBadLine == 0)
            r.firstBadLine = line;
    };
    // Plain text: every b-th line, as the live chart plots the stream.
    const int step = r.csv ? 1 : std::max(1, rate >= 100 ? rate / 100 : 1);
    QVector<QPointF> all;
    while (p < end) {
        const char *eol = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p)));
        const char *lineEnd = eol ? eol : end;
        ++lineNumber;
        ++r.lines;
        uint16_t cm = 0;
        if (r.csv) {
            // time,distance[,marker]
            const char *comma = static_cast<const char *>(std::memchr(p, ',', size_t(lineEnd - p)));
            const char *second = comma ? static_cast<const char *>(std::memchr(comma + 1, ',', size_t(lineEnd - comma - 1)))
                                       : nullptr;
            double t = 0;
            QString label;
            const char *fieldEnd = nullptr;
            if (comma && parseSeconds(p, comma, t) && parseMetres(comma + 1, second ? second : lineEnd, cm)
                && (!second || parseCsvField(second + 1, lineEnd, label, &fieldEnd))) {
                all.append(QPointF(t, cm / 100.0));
                if (!label.isEmpty())
                    r.markers.append({t, label});
            } else {
                bad(lineNumber);
            }
        } else if (parseMetres(p, lineEnd, cm)) {
            if (r.lines % step == 0 && rate > 0)
                all.append(QPointF(double(r.lines) / rate, cm / 100.0));
        } else {
            bad(lineNumber);
        }
        p = eol ? eol + 1 : end;
    }
    // CSV at a high rate: every b-th reading at the rate its times show.
    if (r.csv && all.size() > 1 && all.last().x() > all.first().x()) {
        const double csvRate = (all.size() - 1) / (all.last().x() - all.first().x());
        const int b = csvRate >= 100 ? int(std::lround(csvRate)) / 100 : 1;
        if (b > 1) {
            QVector<QPointF> kept;
            kept.reserve(all.size() / b + 1);
            for (int i = b - 1; i < all.size(); i += b)
                kept.append(all.at(i));
            all = kept;
        }
    }
    r.points = all;
    return r;
}

int estimateRate(const QString &fileName, const QDateTime &lastWritten, int lines)
{
    const QString stamp = QFileInfo(fileName).completeBaseName().left(15);
    const QDateTime start = QDateTime::fromString(stamp, QStringLiteral("yyyyMMdd_HHmmss"));
    if (!start.isValid() || !lastWritten.isValid() || lines <= 0)
        return 0;
    const qint64 ms = start.msecsTo(lastWritten);
    if (ms < 1000)
        return 0;
    return int(std::llround(lines * 1000.0 / double(ms)));
}

} // namespace recordformat
