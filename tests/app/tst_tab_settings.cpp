// SPDX-License-Identifier: GPL-3.0-or-later
// Sensor settings page, driven through the window against the simulated
// sensor: the exact frame each choice puts on the wire, the status text it
// produces, the warning boxes for an unmapped choice, in both languages.

#include "setting_widgets.h"
#include "tabfixture.h"

#include <QLineEdit>
#include <QSpinBox>

class TstTabSettings : public QObject
{
    Q_OBJECT
public:
    explicit TstTabSettings(Lang lang) : lang(lang) {}

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void everyEntryHasItsWidgets();
    void choice_data();
    void choice();
    void emptyChoiceWarns_data();
    void emptyChoiceWarns();
    void outputModeWarningAppendsText();
    void frameRate_data();
    void frameRate();
    void baudRate_data();
    void baudRate();
    void saveConfig();
    void version();
    void fullVersion_data();
    void fullVersion();
    void trigger();
    void noAnswer_data();
    void noAnswer();

private:

    Lang lang;
    ConnectedWindow cw;
};

void TstTabSettings::initTestCase()
{
    qInfo() << "interface language:" << (lang == Lang::English ? "English" : "Chinese");
    QVERIFY(cw.open(lang));
    cw.quiet();
    if (lang == Lang::English) {
        QVERIFY(cw.ui()->radioButton_english->isChecked());
        // The item lists were rebuilt from the English file.
        QVERIFY(cw.ui()->comboBox_checksum->itemText(2) != QString::fromUtf8("使能"));
    }
}

void TstTabSettings::cleanupTestCase()
{
    cw.close();
}

void TstTabSettings::init()
{
    cw.sensor.setAnswerMode(sim::AnswerMode::Normal);
    cw.sensor.clearReceived();
    cw.ui()->statusBar->showMessage(QStringLiteral("before"));
}

void TstTabSettings::cleanup()
{
    cw.sensor.setAnswerMode(sim::AnswerMode::Normal);
    cw.sensor.setRate(100);
}

// Every entry of the settings table, of either page, is on the window: its
// button, and the combo box of a choice or a field for each number; every
// button the window maps sends the entry it is mapped to.
void TstTabSettings::everyEntryHasItsWidgets()
{
    using namespace settingstable;
    using namespace settingwidgets;
    for (const Setting *s = settingsBegin(); s != settingsEnd(); ++s) {
        const QString where = QLatin1String(s->name);
        const SettingWidgets *w = widgetsOf(*s);
        QVERIFY2(w, qPrintable(where));
        QVERIFY2(cw.button(QLatin1String(w->button)), qPrintable(where));
        QCOMPARE(settingOfButton(QLatin1String(w->button)), s);
        if (s->kind == Kind::Choice)
            QVERIFY2(cw.combo(QLatin1String(w->fields[0])), qPrintable(where));
        for (int i = 0; i < s->numberCount; ++i) {
            const QString field = QLatin1String(w->fields[i]);
            QVERIFY2(cw.window->findChild<QComboBox *>(field) || cw.window->findChild<QLineEdit *>(field)
                         || cw.window->findChild<QSpinBox *>(field),
                     qPrintable(where + QLatin1Char(' ') + field));
        }
        if (s->kind == Kind::Action)
            QVERIFY2(!w->fields[0], qPrintable(where));
    }
    for (const Reading *r = readingsBegin(); r != readingsEnd(); ++r) {
        const ReadingWidgets *w = widgetsOf(*r);
        QVERIFY2(w, r->name);
        QVERIFY2(cw.button(QLatin1String(w->button)), r->name);
        QCOMPARE(readingOfButton(QLatin1String(w->button)), r);
    }
}

void TstTabSettings::choice_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("combo");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("item");
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QString>("status");

    const QString ok = T("成功！");
    auto row = [&](const char *tag, const char *button, const char *combo, int index,
                   const QString &item, const char *frame, const QString &status) {
        QTest::newRow(tag) << QString::fromLatin1(button) << QString::fromLatin1(combo) << index
                           << item << hexBytes(QString::fromLatin1(frame)) << status;
    };

    // Transport: status acknowledgement, "串口" 1, "CAN" 2.
    row("trans CAN", "pushButton_trans", "comboBox_lidar_trans", 2, QStringLiteral("CAN"),
        "5A 05 45 02 A6", S(T("配置CAN口"), ok));
    row("trans serial", "pushButton_trans", "comboBox_lidar_trans", 1, T("串口"),
        "5A 05 45 01 A5", S(T("配置串口"), ok));

    // Output format: echoed; IO is 5, not 3; BIN last to leave binary frames on.
    row("format ASCII", "pushButton_output_format", "comboBox_output_format", 1,
        QStringLiteral("ASCII"), "5A 05 05 00 64", S(T("配置ASCII码格式"), ok));
    row("format PIX", "pushButton_output_format", "comboBox_output_format", 3,
        QStringLiteral("PIX"), "5A 05 05 02 66", S(T("配置PIX"), ok));
    row("format IO", "pushButton_output_format", "comboBox_output_format", 4,
        QStringLiteral("IO"), "5A 05 05 05 69", S(T("配置IO输出"), ok));
    row("format RS485", "pushButton_output_format", "comboBox_output_format", 5,
        QStringLiteral("RS485"), "5A 05 05 06 6A", S(T("配置RS485"), ok));
    row("format 4-20mA", "pushButton_output_format", "comboBox_output_format", 6,
        QStringLiteral("4-20mA"), "5A 05 05 07 6B", S(T("配置4-20mA"), ok));
    row("format BIN", "pushButton_output_format", "comboBox_output_format", 2,
        QStringLiteral("BIN"), "5A 05 05 01 65", S(T("配置二进制格式"), ok));

    // Output mode: echoed; continuous 1, trigger 0.
    row("mode trigger", "pushButton_output_enable", "comboBox_output_enable", 1, T("触发模式"),
        "5A 05 07 00 66", S(T("配置触发模式"), ok));
    row("mode continuous", "pushButton_output_enable", "comboBox_output_enable", 2,
        T("连续模式"), "5A 05 07 01 67", S(T("配置连续模式"), ok));

    // Checksum: echoed; enabled 1.
    row("checksum off", "pushButton_checksum", "comboBox_checksum", 1, T("不使能"),
        "5A 05 08 00 67", S(T("配置校验和不使能"), ok));
    row("checksum on", "pushButton_checksum", "comboBox_checksum", 2, T("使能"),
        "5A 05 08 01 68", S(T("配置校验和使能"), ok));

    // Rain and fog: enabled sends 0, the reverse of the checksum; no prefix.
    row("fog on", "pushButton_fog_feature", "comboBox_fog_feature", 2, T("使能"),
        "5A 05 64 00 C3", S(ok));
    row("fog off", "pushButton_fog_feature", "comboBox_fog_feature", 1, T("不使能"),
        "5A 05 64 01 C4", S(ok));

    // DAC mapping: forward 0, reverse 1.
    row("dac forward", "pushButton_dac_map", "comboBox_dac_map", 1, T("正向"),
        "5A 05 71 00 D0", S(T("配置正向映射"), ok));
    row("dac reverse", "pushButton_dac_map", "comboBox_dac_map", 2, T("反向"),
        "5A 05 71 01 D1", S(T("配置反向映射"), ok));
}

void TstTabSettings::choice()
{
    QFETCH(QString, button);
    QFETCH(QString, combo);
    QFETCH(int, index);
    QFETCH(QString, item);
    QFETCH(QByteArray, frame);
    QFETCH(QString, status);

    QComboBox *box = cw.combo(combo);
    QVERIFY(box);
    QCOMPARE(box->itemText(index), item);
    box->setCurrentIndex(index);
    cw.clickAndExpect(button, frame, status);
}

void TstTabSettings::emptyChoiceWarns_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("combo");

    QTest::newRow("transport") << "pushButton_trans" << "comboBox_lidar_trans";
    QTest::newRow("output format") << "pushButton_output_format" << "comboBox_output_format";
    QTest::newRow("output mode") << "pushButton_output_enable" << "comboBox_output_enable";
    QTest::newRow("checksum") << "pushButton_checksum" << "comboBox_checksum";
    QTest::newRow("rain and fog") << "pushButton_fog_feature" << "comboBox_fog_feature";
    QTest::newRow("dac mapping") << "pushButton_dac_map" << "comboBox_dac_map";
}

void TstTabSettings::emptyChoiceWarns()
{
    QFETCH(QString, button);
    QFETCH(QString, combo);

    QComboBox *box = cw.combo(combo);
    QVERIFY(box);
    box->setCurrentIndex(0);
    QCOMPARE(box->currentText(), QString());

    ModalCatcher catcher;
    cw.button(button)->click();
    QCOMPARE(catcher.texts, QStringList{T("警告：非法输入!")});
    QCOMPARE(catcher.texts.first().contains(QStringLiteral("!")), true);
    cw.checkLanguage(catcher.texts.first());
    QCOMPARE(cw.received(), QByteArray());
    QCOMPARE(cw.status(), QStringLiteral("before"));
}

void TstTabSettings::outputModeWarningAppendsText()
{
    // An item that maps to no mode (not offered by the list, but the handler
    // must still refuse it) is quoted after the warning.
    QComboBox *box = cw.ui()->comboBox_output_enable;
    box->addItem(QStringLiteral("burst"));
    box->setCurrentIndex(box->count() - 1);

    ModalCatcher catcher;
    cw.ui()->pushButton_output_enable->click();
    box->removeItem(box->count() - 1);

    QCOMPARE(catcher.texts, QStringList{T("警告：非法输入!") + QStringLiteral("burst")});
    QCOMPARE(cw.received(), QByteArray());
    QCOMPARE(cw.status(), QStringLiteral("before"));
}

// A typed number goes out only when its command can carry it: anything
// else is refused with the warning box and nothing is sent.
void TstTabSettings::frameRate_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("frame");   // empty: refused

    const QByteArray refused;
    QTest::newRow("100") << "100" << hexBytes("5A 06 03 64 00 C7");
    QTest::newRow("10") << "10" << hexBytes("5A 06 03 0A 00 6D");
    QTest::newRow("top of 16 bits") << "65535" << hexBytes("5A 06 03 FF FF 61");
    QTest::newRow("blanks around") << " 100 " << hexBytes("5A 06 03 64 00 C7");
    QTest::newRow("not a number refused") << "abc" << refused;
    QTest::newRow("70000 refused") << "70000" << refused;
    QTest::newRow("beyond 32 bits refused") << "99999999999" << refused;
    QTest::newRow("very long text refused") << QString(100000, QLatin1Char('7')) << refused;
    QTest::newRow("negative refused") << "-1" << refused;
    QTest::newRow("fraction refused") << "2.5" << refused;
}

void TstTabSettings::frameRate()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, frame);

    cw.ui()->comboBox_fps_set->lineEdit()->setMaxLength(text.size() + 1);
    cw.ui()->comboBox_fps_set->setEditText(text);
    QCOMPARE(cw.ui()->comboBox_fps_set->currentText(), text);
    if (frame.isEmpty())
        cw.clickAndExpectRefusal(QStringLiteral("pushButton_fps"), {T("警告：非法输入!")}, QStringLiteral("before"));
    else
        cw.clickAndExpect(QStringLiteral("pushButton_fps"), frame, S(T("设置帧率"), T("成功！")));
}

void TstTabSettings::baudRate_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("frame");   // empty: refused
    QTest::addColumn<QString>("box");

    const QString illegal = T("警告：非法输入!");
    QTest::newRow("115200") << "115200" << hexBytes("5A 08 06 00 C2 01 00 2B") << QString();
    QTest::newRow("9600") << "9600" << hexBytes("5A 08 06 80 25 00 00 0D") << QString();
    QTest::newRow("top of 32 bits") << "4294967295" << hexBytes("5A 08 06 FF FF FF FF 64") << QString();
    QTest::newRow("empty item refused") << "" << QByteArray() << T("警告：输入不能为空!");
    QTest::newRow("not a number refused") << "abc" << QByteArray() << illegal;
    QTest::newRow("0 refused") << "0" << QByteArray() << illegal;
    QTest::newRow("-1 refused") << "-1" << QByteArray() << illegal;
    QTest::newRow("beyond 32 bits refused") << "4294967296" << QByteArray() << illegal;
}

void TstTabSettings::baudRate()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, frame);
    QFETCH(QString, box);

    QComboBox *combo = cw.ui()->comboBox_seri_baud;
    combo->setEditText(text); // "" reads as the empty first item does
    QCOMPARE(combo->currentText(), text);
    if (frame.isEmpty()) {
        cw.clickAndExpectRefusal(QStringLiteral("pushButton_baudrate"), {box}, QStringLiteral("before"));
        return;
    }
    // The typed text itself follows the prefix, untranslated.
    cw.clickAndExpect(QStringLiteral("pushButton_baudrate"), frame, S(T("配置波特率"), text, T("成功！")));
}

void TstTabSettings::saveConfig()
{
    cw.clickAndExpect(QStringLiteral("pushButton_save_config"), hexBytes("5A 04 11 6F"),
                   S(T("保存配置"), T("成功！")));
}

void TstTabSettings::version()
{
    // Reply bytes 3, 4, 5 are shown in reverse order.
    cw.sensor.setVersion(3, 0, 2);
    cw.clickAndExpect(QStringLiteral("pushButton_version"), hexBytes("5A 04 01 5F"),
                   QStringLiteral("2.0.3"));
    cw.sensor.clearReceived();
    cw.sensor.setVersion(7, 16, 255);
    cw.clickAndExpect(QStringLiteral("pushButton_version"), hexBytes("5A 04 01 5F"),
                   QStringLiteral("255.16.7"));
}

void TstTabSettings::fullVersion_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");

    QTest::newRow("plain") << "ZN84 3.0.3" << "ZN84 3.0.3";
    QTest::newRow("white space simplified") << "  ZN84 \t\t main\n3.0.3   "
                                            << "ZN84 main 3.0.3";
    QTest::newRow("all 26 bytes") << "ABCDEFGHIJKLMNOPQRSTUVWXYZ" << "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
}

void TstTabSettings::fullVersion()
{
    QFETCH(QString, text);
    QFETCH(QString, shown);

    cw.sensor.setFullVersion(text.toStdString());
    cw.clickAndExpect(QStringLiteral("pushButton_full_version"), hexBytes("5A 04 14 72"), shown);
}

void TstTabSettings::trigger()
{
    cw.sensor.setDistanceCm(1234);
    WindowProbe probe = cw.probe();
    QVERIFY(probe.currentDistance() != 12.34);
    cw.clickAndExpect(QStringLiteral("pushButton_trig"), hexBytes("5A 04 04 62"),
                   S(T("获取dist"), T("成功")));
    QCOMPARE(probe.currentDistance(), 12.34);
    cw.sensor.setDistanceCm(-1);
}

void TstTabSettings::noAnswer_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QByteArray>("written");
    QTest::addColumn<QString>("status");

    // Commands are written once per attempt (two attempts), queries once.
    const QByteArray save = hexBytes("5A 04 11 6F");
    const QByteArray fps = hexBytes("5A 06 03 0A 00 6D");
    QTest::newRow("save") << "pushButton_save_config" << save + save
                          << S(T("保存配置"), T("失败！"));
    QTest::newRow("frame rate") << "pushButton_fps" << fps + fps << S(T("设置帧率"), T("失败！"));
    QTest::newRow("version") << "pushButton_version" << hexBytes("5A 04 01 5F")
                             << T("版本号获取失败");
    QTest::newRow("full version") << "pushButton_full_version" << hexBytes("5A 04 14 72")
                                  << T("新版本号获取失败");
}

void TstTabSettings::noAnswer()
{
    QFETCH(QString, button);
    QFETCH(QByteArray, written);
    QFETCH(QString, status);

    cw.ui()->comboBox_fps_set->setEditText(QStringLiteral("10"));
    cw.sensor.setAnswerMode(sim::AnswerMode::Silent);
    cw.stream();
    cw.clickAndExpect(button, written, status);
    cw.quiet();
}

TAB_TEST_MAIN(TstTabSettings)

#include "tst_tab_settings.moc"
