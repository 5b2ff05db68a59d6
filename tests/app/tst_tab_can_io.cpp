// SPDX-License-Identifier: GPL-3.0-or-later
// CAN and IO page, driven through the window against the simulated sensor:
// the frame each choice and each typed number puts on the wire, the status
// texts, and the warning boxes for an empty choice or an empty field.

#include "tabfixture.h"

#include <QLineEdit>
#include <QMessageBox>

class TstTabCanIo : public QObject
{
    Q_OBJECT
public:
    explicit TstTabCanIo(Lang lang) : lang(lang) {}

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void choice_data();
    void choice();
    void emptyChoiceWarns_data();
    void emptyChoiceWarns();
    void fields_data();
    void fields();
    void emptyFieldWarns_data();
    void emptyFieldWarns();
    void actions_data();
    void actions();
    void noAnswer();

private:
    void clearFields();

    Lang lang;
    ConnectedWindow cw;
};

static const char *const kFields[] = {
    "lineEdit_can_rcv_id", "lineEdit_can_snd_id", "lineEdit_ofs_config",
    "lineEdit_IO_delay_near", "lineEdit_IO_delay_far", "lineEdit_dist_threshold",
    "lineEdit_dist_buffer",
};

void TstTabCanIo::initTestCase()
{
    qInfo() << "interface language:" << (lang == Lang::English ? "English" : "Chinese");
    QVERIFY(cw.open(lang));
    cw.quiet();
    if (lang == Lang::English)
        QVERIFY(cw.ui()->comboBox_can_type->itemText(1) != QString::fromUtf8("标准帧"));
}

void TstTabCanIo::cleanupTestCase()
{
    cw.close();
}

void TstTabCanIo::init()
{
    cw.sensor.setAnswerMode(sim::AnswerMode::Normal);
    cw.sensor.clearReceived();
    cw.ui()->statusBar->showMessage(QStringLiteral("before"));
    clearFields();
}

void TstTabCanIo::cleanup()
{
    cw.sensor.setAnswerMode(sim::AnswerMode::Normal);
}

void TstTabCanIo::clearFields()
{
    for (const char *name : kFields)
        cw.window->findChild<QLineEdit *>(QLatin1String(name))->clear();
}

void TstTabCanIo::choice_data()
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

    // Automatic gain: enabled sends 0, disabled 1.
    row("gain on", "pushButton_gain_adjust", "comboBox_gain_adjust", 2, T("使能"),
        "5A 05 4E 00 AD", S(T("配置自动增益使能"), ok));
    row("gain off", "pushButton_gain_adjust", "comboBox_gain_adjust", 1, T("不使能"),
        "5A 05 4E 01 AE", S(T("配置自动增益不使能"), ok));

    // IO level: high 1, low 0.
    row("io high", "pushButton_IO_level", "comboBox_io_level", 1, T("高电平"),
        "5A 05 61 01 C1", S(T("配置IO近距离高电平"), ok));
    row("io low", "pushButton_IO_level", "comboBox_io_level", 2, T("低电平"),
        "5A 05 61 00 C0", S(T("配置IO近距离低电平"), ok));

    // CAN frame type: standard 0, extended 1.
    row("can extended", "pushButton_can_type", "comboBox_can_type", 2, T("扩展帧"),
        "5A 05 5D 01 BD", S(T("配置CAN扩展帧"), ok));
    row("can standard", "pushButton_can_type", "comboBox_can_type", 1, T("标准帧"),
        "5A 05 5D 00 BC", S(T("配置CAN标准帧"), ok));

    // CAN baud rate: plain item texts, never translated.
    row("can 1000000", "pushButton_can_baudrate", "comboBox_can_baudrate", 1,
        QStringLiteral("1000000"), "5A 08 52 40 42 0F 00 45", S(T("配置CAN波特率1M"), ok));
    row("can 500k", "pushButton_can_baudrate", "comboBox_can_baudrate", 2,
        QStringLiteral("500k"), "5A 08 52 20 A1 07 00 7C", S(T("配置CAN波特率500K"), ok));
    row("can 250k", "pushButton_can_baudrate", "comboBox_can_baudrate", 3,
        QStringLiteral("250k"), "5A 08 52 90 D0 03 00 17", S(T("配置CAN波特率250K"), ok));
    row("can 125k", "pushButton_can_baudrate", "comboBox_can_baudrate", 4,
        QStringLiteral("125k"), "5A 08 52 48 E8 01 00 E5", S(T("配置CAN波特率125K"), ok));
}

void TstTabCanIo::choice()
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

void TstTabCanIo::emptyChoiceWarns_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("combo");

    QTest::newRow("gain") << "pushButton_gain_adjust" << "comboBox_gain_adjust";
    QTest::newRow("io level") << "pushButton_IO_level" << "comboBox_io_level";
    QTest::newRow("can type") << "pushButton_can_type" << "comboBox_can_type";
    QTest::newRow("can baud rate") << "pushButton_can_baudrate" << "comboBox_can_baudrate";
}

void TstTabCanIo::emptyChoiceWarns()
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
    cw.checkLanguage(catcher.texts.first());
    QCOMPARE(cw.received(), QByteArray());
    QCOMPARE(cw.status(), QStringLiteral("before"));
}

void TstTabCanIo::fields_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("field1");
    QTest::addColumn<QString>("text1");
    QTest::addColumn<QString>("field2");
    QTest::addColumn<QString>("text2");
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QString>("status");

    const QString ok = T("成功！");
    const QString rcv = S(T("配置CAN接收ID"), ok);
    const QString snd = S(T("配置CAN发送ID"), ok);
    const QString ofs = S(T("配置offset"), ok);
    const QString delay = S(T("配置IO delay"), ok);
    const QString thr = S(T("配置IO dist阈值"), ok);
    const QString longText(100000, QLatin1Char('9'));
    const QString illegal = T("警告：非法输入!");
    const QString empty = T("警告：输入不能为空!");
    auto row = [&](const char *tag, const char *button, const char *f1, const QString &t1,
                   const char *f2, const QString &t2, const char *frame, const QString &status) {
        QTest::newRow(tag) << QString::fromLatin1(button) << QString::fromLatin1(f1) << t1
                           << QString::fromLatin1(f2) << t2
                           << hexBytes(QString::fromLatin1(frame)) << status;
    };

    // Refused: no frame, the warning box instead of a status.
    const char *none = "";
    row("rcv id 2047", "pushButton_can_rcv_id", "lineEdit_can_rcv_id", "2047", "", "",
        "5A 08 51 FF 07 00 00 B9", rcv);
    row("rcv id 0x7FF", "pushButton_can_rcv_id", "lineEdit_can_rcv_id", "0x7FF", "", "",
        "5A 08 51 FF 07 00 00 B9", rcv);
    row("rcv id 0x123", "pushButton_can_rcv_id", "lineEdit_can_rcv_id", "0x123", "", "",
        "5A 08 51 23 01 00 00 D7", rcv);
    row("rcv id hex without 0x refused", "pushButton_can_rcv_id", "lineEdit_can_rcv_id", "7FF", "", "", none,
        illegal);
    row("rcv id beyond 32 bits refused", "pushButton_can_rcv_id", "lineEdit_can_rcv_id",
        "99999999999", "", "", none, illegal);
    row("rcv id very long text refused", "pushButton_can_rcv_id", "lineEdit_can_rcv_id",
        longText, "", "", none, illegal);
    row("snd id 0x1FFFFFFF", "pushButton_can_snd_id", "lineEdit_can_snd_id", "536870911", "", "",
        "5A 08 50 FF FF FF 1F CE", snd);
    row("snd id top of 32 bits", "pushButton_can_snd_id", "lineEdit_can_snd_id", "0xFFFFFFFF", "", "",
        "5A 08 50 FF FF FF FF AE", snd);
    row("snd id -1 refused", "pushButton_can_snd_id", "lineEdit_can_snd_id", "-1", "", "", none, illegal);
    row("snd id blanks only are empty", "pushButton_can_snd_id", "lineEdit_can_snd_id", "   ", "",
        "", none, empty);
    row("offset abc refused", "pushButton_ofs_config", "lineEdit_ofs_config", "abc", "", "", none, illegal);
    row("offset -10", "pushButton_ofs_config", "lineEdit_ofs_config", "-10", "", "",
        "5A 06 69 F6 FF BE", ofs);
    row("offset lowest", "pushButton_ofs_config", "lineEdit_ofs_config", "-32768", "", "",
        "5A 06 69 00 80 49", ofs);
    row("offset highest", "pushButton_ofs_config", "lineEdit_ofs_config", "32767", "", "",
        "5A 06 69 FF 7F 47", ofs);
    row("offset 70000 refused", "pushButton_ofs_config", "lineEdit_ofs_config", "70000", "", "", none,
        illegal);
    row("offset 32768 refused", "pushButton_ofs_config", "lineEdit_ofs_config", "32768", "", "", none,
        illegal);
    row("delay near 100 far 200", "pushButton_IO_delay", "lineEdit_IO_delay_near", "100",
        "lineEdit_IO_delay_far", "200", "5A 08 62 64 00 C8 00 F0", delay);
    row("delay very long texts refused", "pushButton_IO_delay", "lineEdit_IO_delay_near", longText,
        "lineEdit_IO_delay_far", longText, none, illegal);
    row("delay far 65536 refused", "pushButton_IO_delay", "lineEdit_IO_delay_near", "0",
        "lineEdit_IO_delay_far", "65536", none, illegal);
    row("threshold 300 buffer 20", "pushButton_dist_threshold", "lineEdit_dist_threshold", "300",
        "lineEdit_dist_buffer", "20", "5A 08 63 2C 01 14 00 06", thr);
    row("threshold -1 buffer abc refused", "pushButton_dist_threshold", "lineEdit_dist_threshold", "-1",
        "lineEdit_dist_buffer", "abc", none, illegal);
}

void TstTabCanIo::fields()
{
    QFETCH(QString, button);
    QFETCH(QString, field1);
    QFETCH(QString, text1);
    QFETCH(QString, field2);
    QFETCH(QString, text2);
    QFETCH(QByteArray, frame);
    QFETCH(QString, status);

    QLineEdit *edit1 = cw.window->findChild<QLineEdit *>(field1);
    QVERIFY(edit1);
    edit1->setMaxLength(text1.size() + 1); // let the very long texts in whole
    edit1->setText(text1);
    QCOMPARE(edit1->text(), text1);
    if (!field2.isEmpty()) {
        QLineEdit *edit2 = cw.window->findChild<QLineEdit *>(field2);
        QVERIFY(edit2);
        edit2->setMaxLength(text2.size() + 1);
        edit2->setText(text2);
        QCOMPARE(edit2->text(), text2);
    }
    if (frame.isEmpty())
        cw.clickAndExpectRefusal(button, {status}, QStringLiteral("before"));
    else
        cw.clickAndExpect(button, frame, status);
}

void TstTabCanIo::emptyFieldWarns_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("filled"); // the one field given a value, if any

    QTest::newRow("rcv id") << "pushButton_can_rcv_id" << "";
    QTest::newRow("snd id") << "pushButton_can_snd_id" << "";
    QTest::newRow("offset") << "pushButton_ofs_config" << "";
    QTest::newRow("delay none") << "pushButton_IO_delay" << "";
    QTest::newRow("delay near only") << "pushButton_IO_delay" << "lineEdit_IO_delay_near";
    QTest::newRow("delay far only") << "pushButton_IO_delay" << "lineEdit_IO_delay_far";
    QTest::newRow("threshold only") << "pushButton_dist_threshold" << "lineEdit_dist_threshold";
    QTest::newRow("buffer only") << "pushButton_dist_threshold" << "lineEdit_dist_buffer";
}

void TstTabCanIo::emptyFieldWarns()
{
    QFETCH(QString, button);
    QFETCH(QString, filled);

    if (!filled.isEmpty())
        cw.window->findChild<QLineEdit *>(filled)->setText(QStringLiteral("100"));

    ModalCatcher catcher;
    cw.button(button)->click();
    QCOMPARE(catcher.texts, QStringList{T("警告：输入不能为空!")});
    cw.checkLanguage(catcher.texts.first());
    QCOMPARE(cw.received(), QByteArray());
    QCOMPARE(cw.status(), QStringLiteral("before"));
}

// The factory restore asks first (default no); the reset does not.
void TstTabCanIo::actions_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QByteArray>("frame");   // empty: nothing may be sent
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("question");
    QTest::addColumn<bool>("yes");   // false: No, or Return on the default button
    QTest::addColumn<bool>("returnKey");

    const QString restore = T("确定恢复出厂设置吗？");
    QTest::newRow("reset") << "pushButton_reset" << hexBytes("5A 04 02 60") << S(T("复位"), T("成功！")) << QString()
                           << true << false;
    QTest::newRow("factory") << "pushButton_recover_factory" << hexBytes("5A 04 10 6E")
                             << S(T("恢复出厂设置"), T("成功！")) << restore << true << false;
    QTest::newRow("factory, answered no") << "pushButton_recover_factory" << QByteArray()
                                          << QStringLiteral("before") << restore << false << false;
    QTest::newRow("factory, Return pressed") << "pushButton_recover_factory" << QByteArray()
                                             << QStringLiteral("before") << restore << false << true;
}

void TstTabCanIo::actions()
{
    QFETCH(QString, button);
    QFETCH(QByteArray, frame);
    QFETCH(QString, status);
    QFETCH(QString, question);
    QFETCH(bool, yes);
    QFETCH(bool, returnKey);
    if (question.isEmpty()) {
        cw.clickAndExpect(button, frame, status);
        return;
    }
    ModalCatcher catcher;
    catcher.answer = yes ? QMessageBox::Yes : QMessageBox::No;
    catcher.takeDefault = returnKey;
    cw.button(button)->click();
    QCOMPARE(catcher.texts, QStringList{question});
    // A question that cannot be undone defaults to No.
    QCOMPARE(catcher.defaults, QList<QMessageBox::StandardButton>{QMessageBox::No});
    cw.checkLanguage(question);
    QCOMPARE(cw.received().toHex(' '), frame.toHex(' '));
    QCOMPARE(cw.status(), status);
}

void TstTabCanIo::noAnswer()
{
    // A non-zero status byte is no acknowledgement: two attempts, then failure.
    cw.sensor.setAnswerMode(sim::AnswerMode::BadStatus);
    cw.stream();
    cw.ui()->comboBox_can_baudrate->setCurrentIndex(2);
    const QByteArray frame = hexBytes("5A 08 52 20 A1 07 00 7C");
    cw.clickAndExpect(QStringLiteral("pushButton_can_baudrate"), frame + frame,
                   S(T("配置CAN波特率500K"), T("失败！")));
    cw.quiet();
}

TAB_TEST_MAIN(TstTabCanIo)

#include "tst_tab_can_io.moc"
