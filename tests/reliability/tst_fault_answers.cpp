// SPDX-License-Identifier: GPL-3.0-or-later
// Sensors that answer wrongly: one that answers every command with noise, and
// one that streams on but never answers. Every handler must come back within
// the bound its exchange sets, report failure, and leave the measurement
// parser attached so the stream resumes. No usable answer ever comes here, so
// the window's worker runs with short bounds; the product's own bounds are
// checked at their numbers (productBounds) and, end to end at their real
// value, in tst_command_exchange.

#include "fault_fixture.h"
#include "quick_bounds.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSpinBox>

using fault::FaultWindow;

namespace {

constexpr qint64 kMarginMs = 3000;   // for slow (sanitizer) builds

// Worst cases without a usable answer, under the short bounds.
const ProtocolTiming kQuick = quick::bounds();
const qint64 kCommandMs = quick::commandMs(kQuick);
const qint64 kQueryMs = quick::queryMs(kQuick);
const qint64 kTriggerMs = quick::triggerMs(kQuick);
const qint64 kModbusReadMs = quick::modbusReadMs(kQuick);
const qint64 kModbusWriteMs = quick::modbusWriteMs(kQuick);
const qint64 kModbusBaudMs = quick::modbusBaudMs(kQuick);
const qint64 kModbusFrameMs = quick::modbusFrameMs(kQuick);

// One bound of the protocol, by name.
int boundOf(const ProtocolTiming &t, const QString &name)
{
    if (name == QLatin1String("ackWaitMs"))
        return t.ackWaitMs;
    if (name == QLatin1String("replyWaitMs"))
        return t.replyWaitMs;
    if (name == QLatin1String("triggerWaitMs"))
        return t.triggerWaitMs;
    return -1;
}

QString T(const char *source)
{
    return QCoreApplication::translate("MainWindow", source);
}

// "widget=value": a combo box index (or "text:" and an item's text) or a line
// edit text.
void applySetup(QWidget *window, const QStringList &setup)
{
    for (const QString &item : setup) {
        const int eq = item.indexOf(QLatin1Char('='));
        const QString name = item.left(eq);
        const QString value = item.mid(eq + 1);
        if (auto *combo = window->findChild<QComboBox *>(name)) {
            const int index = value.startsWith(QLatin1String("text:"))
                ? combo->findText(value.mid(5)) : value.toInt();
            QVERIFY2(index >= 0 && index < combo->count(), qPrintable(item));
            combo->setCurrentIndex(index);
        }
        else if (auto *edit = window->findChild<QLineEdit *>(name))
            edit->setText(value);
        else
            QFAIL(qPrintable(QStringLiteral("no widget ") + name));
    }
}

// Every handler that talks to the sensor, with what it needs filled in. The
// choices leave the simulated sensor streaming binary frames.
void addHandlerRows(bool withTrigger)
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QStringList>("setup");
    QTest::addColumn<bool>("modbus");
    QTest::addColumn<qint64>("boundMs");

    auto row = [](const char *button, QStringList setup, bool modbus, qint64 bound) {
        QTest::newRow(button) << QString::fromLatin1(button) << setup << modbus << bound;
    };
    row("pushButton_version", {}, false, kQueryMs);
    row("pushButton_full_version", {}, false, kQueryMs);
    if (withTrigger)
        row("pushButton_trig", {}, false, kTriggerMs);
    row("pushButton_save_config", {}, false, kCommandMs);
    row("pushButton_fps", {"comboBox_fps_set=text:100"}, false, kCommandMs);
    row("pushButton_trans", {"comboBox_lidar_trans=1"}, false, kCommandMs);
    row("pushButton_output_format", {"comboBox_output_format=2"}, false, kCommandMs);
    row("pushButton_baudrate", {"comboBox_seri_baud=1"}, false, kCommandMs);
    row("pushButton_output_enable", {"comboBox_output_enable=2"}, false, kCommandMs);
    row("pushButton_checksum", {"comboBox_checksum=2"}, false, kCommandMs);
    row("pushButton_fog_feature", {"comboBox_fog_feature=1"}, false, kCommandMs);
    row("pushButton_dac_map", {"comboBox_dac_map=1"}, false, kCommandMs);
    row("pushButton_reset", {}, false, kCommandMs);
    row("pushButton_recover_factory", {}, false, kCommandMs);
    row("pushButton_gain_adjust", {"comboBox_gain_adjust=1"}, false, kCommandMs);
    row("pushButton_can_type", {"comboBox_can_type=1"}, false, kCommandMs);
    row("pushButton_can_baudrate", {"comboBox_can_baudrate=1"}, false, kCommandMs);
    row("pushButton_can_rcv_id", {"lineEdit_can_rcv_id=291"}, false, kCommandMs);
    row("pushButton_can_snd_id", {"lineEdit_can_snd_id=292"}, false, kCommandMs);
    row("pushButton_ofs_config", {"lineEdit_ofs_config=-10"}, false, kCommandMs);
    row("pushButton_IO_level", {"comboBox_io_level=1"}, false, kCommandMs);
    row("pushButton_IO_delay", {"lineEdit_IO_delay_near=100", "lineEdit_IO_delay_far=200"}, false, kCommandMs);
    row("pushButton_dist_threshold", {"lineEdit_dist_threshold=300", "lineEdit_dist_buffer=20"}, false, kCommandMs);
    row("pushButton_modbus_enable", {}, false, kModbusFrameMs);
    row("pushButton_mb_addr", {}, true, kModbusFrameMs);
    row("pushButton_mb_read_dist_once", {}, true, kModbusReadMs);
    row("pushButton_mb_get_version", {}, true, kModbusReadMs);
    row("pushButton_mb_save_config", {}, true, kModbusWriteMs);
    row("pushButton_mb_set_fps", {"lineEdit_mb_fps=100"}, true, kModbusWriteMs);
    row("pushButton_mb_baudrate_config", {"comboBox_seri_baud_2=1"}, true, kModbusBaudMs);
    row("pushButton_mb_addr_config", {}, true, kModbusWriteMs);
    row("pushButton_modbus_disable", {}, true, kModbusWriteMs);
    row("pushButton_mb_shutdown", {}, true, kModbusWriteMs);
    row("pushButton_mb_reboot", {}, true, kModbusWriteMs);
}

} // namespace

class tst_fault_answers : public QObject
{
    Q_OBJECT

private:
    FaultWindow fw;
    ProtocolTiming windowTiming;   // what the window's worker started with

    // Puts the sensor into a known state: streaming binary frames at 100 per
    // second, Modbus as the row wants it (still streaming), answering `mode`.
    void prepare(sim::AnswerMode mode, bool modbus, bool streaming)
    {
        fw.sensor.setAnswerMode(sim::AnswerMode::Normal);
        fw.sensor.setOutputFormat(1);
        fw.sensor.setRate(100);
        fw.sensor.setStreamInModbus(true);
        fw.sensor.setModbusEnabled(modbus);
        fw.sensor.setOutputEnabled(streaming);
        fw.sensor.setAnswerMode(mode);
        fw.sensor.clearReceived();
        fw.ui()->statusBar->showMessage(QStringLiteral("before"), 0);
    }

    // Clicks the handler; it must come back within its bound with a failure
    // text, without a warning box, after writing something to the sensor.
    // The factory restore asks first: answered yes, that is the one box.
    void clickExpectingFailure(const QString &button, const QStringList &setup, qint64 boundMs)
    {
        applySetup(fw.window, setup);
        ModalCatcher catcher;
        catcher.answer = QMessageBox::Yes;
        const qint64 took = fw.clickTimed(button);
        QVERIFY(took >= 0);
        const QStringList asked = button == QLatin1String("pushButton_recover_factory")
                ? QStringList{T("确定恢复出厂设置吗？")} : QStringList();
        QVERIFY2(catcher.texts == asked, qPrintable(catcher.texts.join(QLatin1Char('|'))));
        // The handler may give up before the sensor has read the request.
        QTRY_VERIFY2_WITH_TIMEOUT(!fw.received().isEmpty(), "nothing was sent", 5000);
        QVERIFY2(took < boundMs + kMarginMs, qPrintable(QStringLiteral("handler took %1 ms").arg(took)));
        QVERIFY2(fw.status().contains(T("失败")), qPrintable(fw.status()));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(fw.open(100));
        windowTiming = fw.worker()->protocolTiming();
        fw.worker()->setProtocolTiming(kQuick);
        // A batch for every other frame: the stream is seen flowing at once.
        fw.window->findChild<QSpinBox *>(QStringLiteral("spinBox_dist_num"))->setValue(1);
        QCOMPARE(fw.worker()->getDistNum(), 1);
    }
    void cleanupTestCase() { fw.close(); }

    void productBounds_data();
    void productBounds();

    void garbageWhileStreaming_data() { addHandlerRows(false); }
    void garbageWhileStreaming();
    void garbageWithoutStream_data();
    void garbageWithoutStream();
    void silentWhileStreaming_data() { addHandlerRows(false); }
    void silentWhileStreaming();
    void triggerIsAnsweredByTheStream();
};

void tst_fault_answers::productBounds_data()
{
    QTest::addColumn<QString>("bound");
    QTest::addColumn<int>("ms");
    QTest::newRow("acknowledgement wait") << "ackWaitMs" << 1000;
    QTest::newRow("reply wait") << "replyWaitMs" << 2000;
    QTest::newRow("triggered measurement wait") << "triggerWaitMs" << 2000;
}

void tst_fault_answers::productBounds()
{
    // The viewer runs with the protocol's own bounds: a worker as it is
    // made, and the one the window made for itself.
    QFETCH(QString, bound);
    QFETCH(int, ms);
    receiver fresh;
    QCOMPARE(boundOf(fresh.protocolTiming(), bound), ms);
    QCOMPARE(boundOf(windowTiming, bound), ms);
}

void tst_fault_answers::garbageWhileStreaming()
{
    QFETCH(QString, button);
    QFETCH(QStringList, setup);
    QFETCH(bool, modbus);
    QFETCH(qint64, boundMs);

    prepare(sim::AnswerMode::Garbage, modbus, true);
    QVERIFY(fw.streamFlows(fw.batches->batches.size()));
    clickExpectingFailure(button, setup, boundMs);
    QVERIFY2(fw.streamFlows(fw.batches->batches.size()), "the stream did not resume");
}

void tst_fault_answers::garbageWithoutStream_data()
{
    // One of each exchange, with nothing but the noise on the line: these
    // take their full bound.
    QTest::addColumn<QString>("button");
    QTest::addColumn<QStringList>("setup");
    QTest::addColumn<bool>("modbus");
    QTest::addColumn<qint64>("boundMs");
    QTest::newRow("status command") << "pushButton_save_config" << QStringList() << false << kCommandMs;
    QTest::newRow("echo command") << "pushButton_checksum" << QStringList{"comboBox_checksum=2"} << false << kCommandMs;
    QTest::newRow("version") << "pushButton_version" << QStringList() << false << kQueryMs;
    QTest::newRow("trigger") << "pushButton_trig" << QStringList() << false << kTriggerMs;
    QTest::newRow("modbus frame") << "pushButton_modbus_enable" << QStringList() << false << kModbusFrameMs;
    QTest::newRow("modbus read") << "pushButton_mb_read_dist_once" << QStringList() << true << kModbusReadMs;
    QTest::newRow("modbus plain read") << "pushButton_mb_get_version" << QStringList() << true << kModbusReadMs;
    QTest::newRow("modbus write") << "pushButton_mb_save_config" << QStringList() << true << kModbusWriteMs;
}

void tst_fault_answers::garbageWithoutStream()
{
    QFETCH(QString, button);
    QFETCH(QStringList, setup);
    QFETCH(bool, modbus);
    QFETCH(qint64, boundMs);

    prepare(sim::AnswerMode::Garbage, modbus, false);
    QVERIFY2(fw.lineDrained(), "frames still on the way");
    clickExpectingFailure(button, setup, boundMs);

    // The parser is attached again: a stream started now reaches the window.
    const int before = fw.batches->batches.size();
    fw.sensor.setOutputEnabled(true);
    QVERIFY2(fw.streamFlows(before), "the stream did not resume");
}

void tst_fault_answers::silentWhileStreaming()
{
    QFETCH(QString, button);
    QFETCH(QStringList, setup);
    QFETCH(bool, modbus);
    QFETCH(qint64, boundMs);

    prepare(sim::AnswerMode::Silent, modbus, true);
    QVERIFY(fw.streamFlows(fw.batches->batches.size()));
    clickExpectingFailure(button, setup, boundMs);
    QVERIFY2(fw.streamFlows(fw.batches->batches.size()), "the stream did not resume");
}

void tst_fault_answers::triggerIsAnsweredByTheStream()
{
    // A streaming sensor that never answers still "answers" a triggered
    // measurement: the reply has the layout of a measurement frame, and the
    // first one in the stream is taken.
    // The answer is the stream's, not under the test's control: the
    // product's bounds.
    fw.worker()->setProtocolTiming(windowTiming);
    prepare(sim::AnswerMode::Silent, false, true);
    fw.sensor.setDistanceCm(432);
    // Frames of the old distance still on the way are behind us once a
    // batch ends in the new one.
    QTRY_VERIFY_WITH_TIMEOUT(!fw.batches->batches.isEmpty()
                                     && fw.batches->batches.last().dist.last() == 432, 10000);
    const qint64 took = fw.clickTimed(QStringLiteral("pushButton_trig"));
    fw.worker()->setProtocolTiming(kQuick);
    QVERIFY(took >= 0 && took < 11 * windowTiming.triggerWaitMs + kMarginMs);
    QVERIFY2(!fw.status().contains(T("失败")), qPrintable(fw.status()));
    QCOMPARE(fw.probe().currentDistance(), 4.32);
    QVERIFY(fw.streamFlows(fw.batches->batches.size()));
    fw.sensor.setDistanceCm(-1);
}

QTEST_MAIN(tst_fault_answers)
#include "tst_fault_answers.moc"
