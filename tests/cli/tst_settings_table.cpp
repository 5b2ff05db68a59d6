// SPDX-License-Identifier: GPL-3.0-or-later
// The shared settings table: its number checks, and that what it says about
// the window (item texts, status prefixes, widgets) is what the window has.

#include "settings_table.h"

#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QTest>
#include <QXmlStreamReader>

using namespace settingstable;

namespace {

// The finished translations of the context "MainWindow" in a translation
// file, by source text.
QHash<QString, QString> windowTranslations(const QString &relative)
{
    QFile f(QStringLiteral(ZN84_SOURCE_DIR "/") + relative);
    QHash<QString, QString> translations;
    if (!f.open(QIODevice::ReadOnly))
        return translations;
    QXmlStreamReader xml(&f);
    QString context;
    QString source;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (xml.name() == QLatin1String("source")) {
            source = xml.readElementText();
        } else if (xml.name() == QLatin1String("translation") && context == QLatin1String("MainWindow")) {
            const bool unfinished = xml.attributes().value(QLatin1String("type")) == QLatin1String("unfinished");
            const QString text = xml.readElementText();
            if (!unfinished && !text.isEmpty())
                translations.insert(source, text);
        }
    }
    return translations;
}

Number number(int64_t min, int64_t max, int bits, bool hex)
{
    return Number{"N", min, max, bits, hex};
}

} // namespace

class tst_settings_table : public QObject
{
    Q_OBJECT

private slots:
    void numbers_data()
    {
        QTest::addColumn<qlonglong>("min");
        QTest::addColumn<qlonglong>("max");
        QTest::addColumn<int>("bits");
        QTest::addColumn<bool>("hex");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<uint>("wire");

        QTest::newRow("16 bits, top") << 0LL << 65535LL << 16 << false << "65535" << true << 65535u;
        QTest::newRow("16 bits, above") << 0LL << 65535LL << 16 << false << "65536" << false << 0u;
        QTest::newRow("leading zeros") << 0LL << 65535LL << 16 << false << "0010" << true << 10u;
        QTest::newRow("plus sign") << 0LL << 65535LL << 16 << false << "+5" << false << 0u;
        QTest::newRow("blank after") << 0LL << 65535LL << 16 << false << "5 " << false << 0u;
        QTest::newRow("empty") << 0LL << 65535LL << 16 << false << "" << false << 0u;
        QTest::newRow("minus alone") << -10LL << 10LL << 16 << false << "-" << false << 0u;
        QTest::newRow("fraction") << 0LL << 65535LL << 16 << false << "1.5" << false << 0u;
        QTest::newRow("negative where none") << 0LL << 65535LL << 16 << false << "-1" << false << 0u;
        QTest::newRow("negative offset") << -32768LL << 32767LL << 16 << false << "-10" << true << 0xFFF6u;
        QTest::newRow("lowest offset") << -32768LL << 32767LL << 16 << false << "-32768" << true << 0x8000u;
        QTest::newRow("offset above") << -32768LL << 32767LL << 16 << false << "32768" << false << 0u;
        QTest::newRow("hex id") << 0LL << 0xFFFFFFFFLL << 32 << true << "0x7ff" << true << 0x7FFu;
        QTest::newRow("hex id, capital X") << 0LL << 0xFFFFFFFFLL << 32 << true << "0X1FFFFFFF" << true
                                           << 0x1FFFFFFFu;
        QTest::newRow("hex id, top") << 0LL << 0xFFFFFFFFLL << 32 << true << "0xFFFFFFFF" << true << 0xFFFFFFFFu;
        QTest::newRow("hex id, above") << 0LL << 0xFFFFFFFFLL << 32 << true << "0x100000000" << false << 0u;
        QTest::newRow("hex without digits") << 0LL << 0xFFFFFFFFLL << 32 << true << "0x" << false << 0u;
        QTest::newRow("hex where decimal only") << 0LL << 0xFFFFFFFFLL << 32 << false << "0x10" << false << 0u;
        QTest::newRow("decimal id, top") << 0LL << 0xFFFFFFFFLL << 32 << true << "4294967295" << true
                                         << 0xFFFFFFFFu;
        QTest::newRow("decimal id, above") << 0LL << 0xFFFFFFFFLL << 32 << true << "4294967296" << false << 0u;
        QTest::newRow("twenty digits") << 0LL << 0xFFFFFFFFLL << 32 << false << "18446744073709551617" << false
                                       << 0u;
        QTest::newRow("hex digits in decimal") << 0LL << 65535LL << 16 << false << "12ab" << false << 0u;
        QTest::newRow("Arabic-Indic digits") << 0LL << 65535LL << 16 << false << QString::fromUtf8("\u0661\u0662")
                                             << false << 0u;
    }

    void numbers()
    {
        QFETCH(qlonglong, min);
        QFETCH(qlonglong, max);
        QFETCH(int, bits);
        QFETCH(bool, hex);
        QFETCH(QString, text);
        QFETCH(bool, accepted);
        QFETCH(uint, wire);
        const Number n = number(min, max, bits, hex);
        int64_t value = 0;
        QString why;
        QCOMPARE(parseNumber(n, text, value, why), accepted);
        if (accepted)
            QCOMPARE(wireOf(n, value), wire);
        else
            QVERIFY(why.contains(text.isEmpty() ? QStringLiteral("empty") : text));
    }

    // Choices by name (any case), unknown names and the count of values.
    void values_data()
    {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<uint>("first");
        QTest::addColumn<uint>("second");
        QTest::newRow("choice") << "output-format" << QStringList{"rs485"} << true << 6u << 0u;
        QTest::newRow("choice, any case") << "output-format" << QStringList{"4-20MA"} << true << 7u << 0u;
        QTest::newRow("choice by wire value") << "output-format" << QStringList{"1"} << false << 0u << 0u;
        QTest::newRow("choice by the window's text") << "output-format" << QStringList{"BIN"} << false << 0u << 0u;
        QTest::newRow("fog enabled sends 0") << "fog-filter" << QStringList{"enabled"} << true << 0u << 0u;
        QTest::newRow("two numbers") << "io-delay" << QStringList{"10", "20"} << true << 10u << 20u;
        QTest::newRow("second out of range") << "io-delay" << QStringList{"10", "70000"} << false << 0u << 0u;
        QTest::newRow("three numbers") << "io-delay" << QStringList{"1", "2", "3"} << false << 0u << 0u;
        QTest::newRow("action with a value") << "save" << QStringList{"1"} << false << 0u << 0u;
        QTest::newRow("action") << "reset" << QStringList{} << true << 0u << 0u;
    }

    void values()
    {
        QFETCH(QString, setting);
        QFETCH(QStringList, args);
        QFETCH(bool, accepted);
        QFETCH(uint, first);
        QFETCH(uint, second);
        const Setting *s = findSetting(Group::Sensor, setting);
        QVERIFY(s);
        Values v;
        QString why;
        QCOMPARE(parseValues(*s, args, v, why), accepted);
        QCOMPARE(why.isEmpty(), accepted);
        if (accepted) {
            QCOMPARE(v.first, first);
            QCOMPARE(v.second, second);
        }
    }

    // What the table says about the window: every translated text has a
    // finished translation in both of the window's files (the window shows
    // the table's texts through them), every plain item reads the same in
    // either language, and the window finds each choice again by its item
    // text and wire value (its widgets: tst_tab_settings).
    void windowTextsAreTheWindows()
    {
        const QHash<QString, QString> english = windowTranslations(QStringLiteral("ui/language.ts"));
        const QHash<QString, QString> chinese = windowTranslations(QStringLiteral("ui/language_CH.ts"));
        QVERIFY(!english.isEmpty() && !chinese.isEmpty());

        auto translated = [&](const QString &text) {
            return english.contains(text) && chinese.value(text) == text;
        };
        auto plain = [](const QString &text) {
            for (const QChar c : text) {
                if (c.unicode() > 0x7F)
                    return false;
            }
            return !text.isEmpty();
        };
        for (const Setting *s = settingsBegin(); s != settingsEnd(); ++s) {
            const QString where = QLatin1String(s->name);
            if (s->kind != Kind::Choice)
                QVERIFY2(translated(QString::fromUtf8(s->status)), qPrintable(where));
            for (int i = 0; i < s->choiceCount; ++i) {
                const Choice &c = s->choices[i];
                const QString item = QString::fromUtf8(c.item);
                QVERIFY2(c.translatedItem ? translated(item) : plain(item), qPrintable(where + QLatin1Char(' ') + item));
                const QString status = QString::fromUtf8(c.status);
                // Only the rain and fog setting shows the outcome alone.
                QVERIFY2(status.isEmpty() ? where == QLatin1String("fog-filter") : translated(status),
                         qPrintable(where + QLatin1Char(' ') + status));
                QCOMPARE(choiceWithItem(*s, item), &c);
                QCOMPARE(choiceWithWire(*s, c.wire), &c);
                QCOMPARE(QLatin1String(statusPrefix(*s, Values{c.wire, 0})), QLatin1String(c.status));
            }
        }
        for (const Reading *r = readingsBegin(); r != readingsEnd(); ++r) {
            QVERIFY2(translated(QString::fromUtf8(r->status)), r->name);
        }
    }

    // Names are unique within their group, lower case, and the synopsis the
    // help shows matches the values taken.
    void namesAreUnique()
    {
        for (const Group g : {Group::Sensor, Group::Modbus}) {
            QStringList names = settingNames(g) + readingNames(g);
            const int n = names.size();
            names.removeDuplicates();
            QCOMPARE(names.size(), n);
            for (const QString &name : names)
                QCOMPARE(name, name.toLower());
        }
        const Setting *delay = findSetting(Group::Sensor, QStringLiteral("io-delay"));
        QVERIFY(delay);
        QCOMPARE(synopsis(*delay), QStringLiteral("NEAR FAR"));
        QCOMPARE(synopsis(*findSetting(Group::Sensor, QStringLiteral("dac-map"))), QStringLiteral("forward|reverse"));
        QVERIFY(!findSetting(Group::Sensor, QStringLiteral("Frame-Rate")));
    }
};

QTEST_GUILESS_MAIN(tst_settings_table)
#include "tst_settings_table.moc"
