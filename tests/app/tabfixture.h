// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef TABFIXTURE_H
#define TABFIXTURE_H

// A main window connected to a simulated sensor on a pseudo-terminal, for the
// tests of the command tabs and the upgrade panel. Each test class runs twice
// in one process: once in Chinese and once with the interface switched to
// English, so that every mapping is checked with translated item texts too.

#include "mainwindow.h"
#include "modalcatcher.h"
#include "receiver.h"
#include "ui_mainwindow.h"
#include "simsensor.h"
#include "testutil.h"
#include "windowprobe.h"

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>

#include <atomic>

enum class Lang { Chinese, English };

// The text a window-side tr() gives for `source` with the translator in force.
inline QString T(const char *source)
{
    return QCoreApplication::translate("MainWindow", source);
}

// The same for the upgrade controls' texts (why a transfer failed).
inline QString TU(const char *source)
{
    return QCoreApplication::translate("UpgradeControls", source);
}

// True when the text holds CJK ideographs or full-width punctuation, i.e. a
// piece that was not translated into English.
inline bool hasCjk(const QString &text)
{
    for (const QChar c : text) {
        const ushort u = c.unicode();
        if ((u >= 0x2E80 && u <= 0x9FFF) || (u >= 0xFF00 && u <= 0xFFEF))
            return true;
    }
    return false;
}

// A status text as the operator reads it, from its pieces: in Chinese they
// follow each other directly, in English one blank separates the words.
template <typename... Pieces> QString S(const Pieces &...pieces)
{
    const bool english = !hasCjk(T("成功！"));
    QStringList parts;
    for (const QString &piece : {QString(pieces)...}) {
        if (!piece.trimmed().isEmpty())
            parts << piece.trimmed();
    }
    return parts.join(english ? QStringLiteral(" ") : QString());
}

inline QByteArray toByteArray(const sim::Bytes &bytes)
{
    return QByteArray(reinterpret_cast<const char *>(bytes.data()), int(bytes.size()));
}

class ConnectedWindow
{
public:
    sim::SimSensor sensor;
    MainWindow *window = nullptr;
    Lang lang = Lang::Chinese;
    static constexpr uint16_t kQuietMark = 65432;   // cm; the simulator's stream stays below 40 m
    std::atomic<int> lastDistance{-1};              // newest distance the worker handed on

    // Starts the simulator, builds the window, switches the language while
    // still disconnected, and connects to the simulator.
    bool open(Lang language)
    {
        lang = language;
        if (!sensor.start(100))
            return false;
        window = new MainWindow;
        window->show();
        if (lang == Lang::English)
            ui()->radioButton_english->setChecked(true);
        // Runs in the worker's thread as it hands a batch on (before the
        // port opens, so no batch is missed).
        QObject::connect(worker(), &receiver::signalDistance, [this](const QVector<uint16_t> &dist, int) {
            if (!dist.isEmpty())
                lastDistance.store(dist.last());
        });
        return probe().connectTo(QString::fromStdString(sensor.devicePath()));
    }

    void close()
    {
        if (window) {
            probe().disconnectAndStop();
            delete window;
            window = nullptr;
        }
        sensor.stop();
    }

    // Pauses the measurement stream and lets the bytes already under way reach
    // the parser, so that an answer is the only thing the next exchange reads
    // and every command is written exactly once. Behind the last of them the
    // simulator writes one frame with a distance the stream never has (and
    // two filler bytes); the worker, told to hand on every read at once, has
    // read the line to its end when that distance comes out.
    void quiet()
    {
        sensor.pauseStream(true);
        QVERIFY(sensor.settle());
        worker()->setDistNum(0);
        sim::Bytes mark = {0x59, 0x59, uint8_t(kQuietMark & 0xFF), uint8_t(kQuietMark >> 8), 0, 0, 0, 0};
        unsigned sum = 0;
        for (uint8_t b : mark)
            sum += b;
        mark.push_back(uint8_t(sum & 0xFF));
        // The parser takes a frame once two bytes follow it.
        mark.push_back(0x00);
        mark.push_back(0x00);
        sensor.writeRaw(mark);
        QTRY_COMPARE_WITH_TIMEOUT(lastDistance.load(), int(kQuietMark), 10000);
        lastDistance.store(-1);
        worker()->setDistNum(ui()->spinBox_dist_num->value());
    }
    // With the stream running every wait of an exchange ends at once, so a
    // command that gets no answer fails quickly.
    void stream() { sensor.pauseStream(false); }

    Ui::MainWindow *ui() const { return WindowProbe(*window).ui(); }
    receiver *worker() const { return WindowProbe(*window).worker(); }
    WindowProbe probe() const { return WindowProbe(*window); }
    QString status() const { return ui()->statusBar->currentMessage(); }
    QByteArray received() const { return toByteArray(sensor.received()); }

    QPushButton *button(const QString &name) const
    {
        return window->findChild<QPushButton *>(name);
    }
    QComboBox *combo(const QString &name) const
    {
        return window->findChild<QComboBox *>(name);
    }

    // English texts must really be English, not Chinese source left over.
    void checkLanguage(const QString &shown) const
    {
        if (lang == Lang::English)
            QVERIFY2(!hasCjk(shown), qPrintable(QStringLiteral("untranslated text: ") + shown));
    }

    // Clicks a button that must send exactly `frame` and show `status`,
    // without any warning box.
    void clickAndExpect(const QString &buttonName, const QByteArray &frame, const QString &status)
    {
        QPushButton *b = button(buttonName);
        QVERIFY(b);
        ModalCatcher catcher;
        b->click();
        QVERIFY2(catcher.texts.isEmpty(), qPrintable(catcher.texts.join(QLatin1Char('|'))));
        QCOMPARE(received().toHex(' '), frame.toHex(' '));
        QCOMPARE(this->status(), status);
        checkLanguage(this->status());
    }

    // Clicks a button whose input must be refused: exactly the warning boxes
    // `boxes` (none for a refusal in the status bar), nothing on the wire,
    // and `status` in the status bar afterwards.
    void clickAndExpectRefusal(const QString &buttonName, const QStringList &boxes, const QString &status)
    {
        QPushButton *b = button(buttonName);
        QVERIFY(b);
        ModalCatcher catcher;
        b->click();
        QCOMPARE(catcher.texts, boxes);
        for (const QString &text : boxes)
            checkLanguage(text);
        QCOMPARE(received().toHex(' '), QByteArray());
        QCOMPARE(this->status(), status);
    }
};

// Runs the test class once per interface language.
#define TAB_TEST_MAIN(TestClass)                                                   \
    int main(int argc, char *argv[])                                               \
    {                                                                              \
        QApplication app(argc, argv);                                              \
        app.setQuitOnLastWindowClosed(false);                                      \
        int status = 0;                                                            \
        {                                                                          \
            TestClass chinese(Lang::Chinese);                                      \
            status |= QTest::qExec(&chinese, argc, argv);                          \
        }                                                                          \
        {                                                                          \
            TestClass english(Lang::English);                                      \
            status |= QTest::qExec(&english, argc, argv);                          \
        }                                                                          \
        return status;                                                             \
    }

#endif // TABFIXTURE_H
