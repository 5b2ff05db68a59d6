// SPDX-License-Identifier: GPL-3.0-or-later
// Modbus page, driven through the window against the simulated sensor with
// its Modbus protocol switched on: the requests each button writes, the
// status texts (values included), and the sampling-rate range check.

#include "tabfixture.h"

#include <QLineEdit>
#include <QSpinBox>

class TstTabModbus : public QObject
{
    Q_OBJECT
public:
    explicit TstTabModbus(Lang lang) : lang(lang) {}

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void enableModbus();
    void operations_data();
    void operations();
    void sampleRateOutOfRange_data();
    void sampleRateOutOfRange();
    void noAnswer_data();
    void noAnswer();

private:
    void resetInputs();

    Lang lang;
    ConnectedWindow cw;
};

static const uint8_t kVersionRegisters[4] = {1, 2, 3, 4};

void TstTabModbus::initTestCase()
{
    qInfo() << "interface language:" << (lang == Lang::English ? "English" : "Chinese");
    QVERIFY(cw.open(lang));
    cw.quiet();
    cw.sensor.setModbusAddress(1);
    cw.sensor.setModbusRegisters(291, kVersionRegisters);
}

void TstTabModbus::cleanupTestCase()
{
    cw.close();
}

void TstTabModbus::init()
{
    cw.sensor.setAnswerMode(sim::AnswerMode::Normal);
    cw.sensor.setModbusAddress(1);
    if (!cw.sensor.modbusEnabled())
        QVERIFY(cw.worker()->send_cmd_id_modbus_enable());
    cw.sensor.clearReceived();
    resetInputs();
    cw.ui()->statusBar->showMessage(QStringLiteral("before"));
}

void TstTabModbus::cleanup()
{
    cw.sensor.setAnswerMode(sim::AnswerMode::Normal);
    cw.sensor.setModbusAddress(1);
    cw.sensor.setRate(100);
}

void TstTabModbus::resetInputs()
{
    cw.ui()->spinBox_mb_dev_addr->setValue(1);
    cw.ui()->spinBox_mb_dev_addr_2->setValue(0);
    cw.ui()->spinBox_mb_dev_addr_3->setValue(0);
    cw.ui()->comboBox_seri_baud_2->setCurrentIndex(0);
    cw.ui()->lineEdit_mb_fps->setText(QStringLiteral("10000"));
}

void TstTabModbus::enableModbus()
{
    // The address spin boxes play no part in switching Modbus on.
    cw.ui()->spinBox_mb_dev_addr->setValue(247);
    cw.ui()->spinBox_mb_dev_addr_3->setValue(0);
    cw.ui()->pushButton_modbus_enable->click();
    QCOMPARE(cw.received().toHex(' '), hexBytes("5A 05 6F 00 CE").toHex(' '));
    QCOMPARE(cw.status(), S(T("使能modbus协议"), T("成功！")));
    cw.checkLanguage(cw.status());
    QVERIFY(cw.sensor.modbusEnabled());
}

void TstTabModbus::operations_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("newAddress");   // spinBox_mb_dev_addr_2
    QTest::addColumn<int>("frameAddress"); // spinBox_mb_dev_addr_3
    QTest::addColumn<QString>("baudText");
    QTest::addColumn<QString>("fpsText");
    QTest::addColumn<QByteArray>("written");
    QTest::addColumn<QString>("status");

    const QString ok = T("成功！");
    auto row = [&](const char *tag, const char *button, const char *written,
                   const QString &status, int newAddress = 0, int frameAddress = 0,
                   const QString &baud = QStringLiteral("9600"),
                   const QString &fps = QStringLiteral("10000")) {
        QTest::newRow(tag) << QString::fromLatin1(button) << newAddress << frameAddress << baud
                           << fps << hexBytes(QString::fromLatin1(written)) << status;
    };

    row("read distance 291", "pushButton_mb_read_dist_once", "01 03 00 00 00 01 84 0A",
        S(T("获取距离"), T("成功！dist = ")) + QStringLiteral(" 291"));
    row("read version 2.3.4", "pushButton_mb_get_version", "01 03 00 06 00 02 24 0A",
        S(T("获取版本号"), T("成功: ")) + QStringLiteral(" 2.3.4"));
    row("save", "pushButton_mb_save_config", "01 06 00 80 00 00 88 22", S(T("保存配置"), ok));
    row("reboot", "pushButton_mb_reboot", "01 06 00 81 00 01 18 22", S(T("重启雷达"), ok));
    row("sample rate 100", "pushButton_mb_set_fps", "01 06 00 86 00 64 69 C8",
        S(T("设置采样频率"), ok), 0, 0, QStringLiteral("9600"), QStringLiteral("100"));
    row("sample rate 1", "pushButton_mb_set_fps", "01 06 00 86 00 01 A9 E3",
        S(T("设置采样频率"), ok), 0, 0, QStringLiteral("9600"), QStringLiteral("1"));
    row("sample rate 10000", "pushButton_mb_set_fps", "01 06 00 86 27 10 72 1F",
        S(T("设置采样频率"), ok), 0, 0, QStringLiteral("9600"), QStringLiteral("10000"));
    row("baud 115200", "pushButton_mb_baudrate_config",
        "01 06 00 83 00 01 B9 E2 01 06 00 84 C2 00 98 83",
        S(T("设置串口波特率"), QStringLiteral("115200"), ok), 0, 0, QStringLiteral("115200"));
    row("baud 9600", "pushButton_mb_baudrate_config",
        "01 06 00 83 00 00 78 22 01 06 00 84 25 80 D2 D3",
        S(T("设置串口波特率"), QStringLiteral("9600"), ok));
    // Refused (nothing written, the warning box instead of a status).
    row("baud abc refused", "pushButton_mb_baudrate_config", "", T("警告：非法输入!"), 0, 0,
        QStringLiteral("abc"));
    row("baud -5 refused", "pushButton_mb_baudrate_config", "", T("警告：非法输入!"), 0, 0, QStringLiteral("-5"));
    row("baud empty refused", "pushButton_mb_baudrate_config", "", T("警告：输入不能为空!"), 0, 0, QString());
    row("baud top of 32 bits", "pushButton_mb_baudrate_config",
        "01 06 00 83 FF FF 79 92 01 06 00 84 FF FF C8 53",
        S(T("设置串口波特率"), QStringLiteral("4294967295"), ok), 0, 0, QStringLiteral("4294967295"));
    row("new address 2", "pushButton_mb_addr_config", "01 06 00 85 00 02 19 E2",
        S(T("配置modbus地址"), QStringLiteral("2"), ok), 2);
    row("address by command frame", "pushButton_mb_addr", "5A 05 70 02 D1",
        S(T("设置modbus地址"), ok), 0, 2);
    row("shut down", "pushButton_mb_shutdown", "01 06 00 81 00 00 D9 E2", S(T("关闭雷达"), ok));
    row("modbus off", "pushButton_modbus_disable", "01 06 00 82 00 01 E8 22",
        S(T("关闭modbus协议"), ok));
}

void TstTabModbus::operations()
{
    QFETCH(QString, button);
    QFETCH(int, newAddress);
    QFETCH(int, frameAddress);
    QFETCH(QString, baudText);
    QFETCH(QString, fpsText);
    QFETCH(QByteArray, written);
    QFETCH(QString, status);

    cw.ui()->spinBox_mb_dev_addr_2->setValue(newAddress);
    cw.ui()->spinBox_mb_dev_addr_3->setValue(frameAddress);
    cw.ui()->comboBox_seri_baud_2->setEditText(baudText);
    cw.ui()->lineEdit_mb_fps->setText(fpsText);

    if (written.isEmpty()) {
        cw.clickAndExpectRefusal(button, {status}, QStringLiteral("before"));
        return;
    }
    ModalCatcher catcher;
    cw.button(button)->click();
    QVERIFY(catcher.texts.isEmpty());
    QCOMPARE(cw.received().toHex(' '), written.toHex(' '));
    QCOMPARE(cw.status(), status);
    cw.checkLanguage(cw.status());
}

void TstTabModbus::sampleRateOutOfRange_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << "0";
    QTest::newRow("10001") << "10001";
    QTest::newRow("-5") << "-5";
    QTest::newRow("abc") << "abc";
    QTest::newRow("empty") << "";
    QTest::newRow("beyond 32 bits") << "99999999999";
    QTest::newRow("very long") << QString(30000, QLatin1Char('5'));
}

void TstTabModbus::sampleRateOutOfRange()
{
    QFETCH(QString, text);
    cw.ui()->lineEdit_mb_fps->setMaxLength(text.size() + 1);
    cw.ui()->lineEdit_mb_fps->setText(text);
    QCOMPARE(cw.ui()->lineEdit_mb_fps->text(), text);

    ModalCatcher catcher;
    cw.ui()->pushButton_mb_set_fps->click();
    QVERIFY(catcher.texts.isEmpty());
    QCOMPARE(cw.status(), T("采样率设置错误！有效值区间为1~10000！"));
    cw.checkLanguage(cw.status());
    QCOMPARE(cw.received(), QByteArray());
}

void TstTabModbus::noAnswer_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QByteArray>("written");
    QTest::addColumn<QString>("status");

    // No device answers at address 5: a write is tried twice, a read once.
    const QByteArray addr = hexBytes("05 06 00 85 00 07 D8 65");
    QTest::newRow("new address, failure still names it")
        << "pushButton_mb_addr_config" << addr + addr
        << S(T("配置modbus地址"), QStringLiteral("7"), T("失败！"));
    QTest::newRow("read distance") << "pushButton_mb_read_dist_once"
                                   << hexBytes("05 03 00 00 00 01 85 8E")
                                   << S(T("获取距离"), T("失败！"));
}

void TstTabModbus::noAnswer()
{
    QFETCH(QString, button);
    QFETCH(QByteArray, written);
    QFETCH(QString, status);

    cw.ui()->spinBox_mb_dev_addr->setValue(5);
    cw.ui()->spinBox_mb_dev_addr_2->setValue(7);
    // Measurement frames on the line end every wait at once: a quick failure.
    cw.sensor.setStreamInModbus(true);
    cw.stream();
    cw.button(button)->click();
    cw.sensor.setStreamInModbus(false);
    cw.quiet();
    QCOMPARE(cw.received().toHex(' '), written.toHex(' '));
    QCOMPARE(cw.status(), status);
    cw.checkLanguage(cw.status());
}

TAB_TEST_MAIN(TstTabModbus)

#include "tst_tab_modbus.moc"
