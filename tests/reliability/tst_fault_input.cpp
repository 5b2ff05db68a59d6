// Operator input at the limits: very long texts in every line edit, and
// numbers that do not fit 32 bits. The handlers must come back, must never put
// a malformed frame on the line, and must refuse a number that does not fit
// (the warning box, nothing sent), never send some value wrapped from its
// digits.

#include "fault_fixture.h"
#include "command_frame.h"
#include "modbus_frame.h"

#include <QLineEdit>

#include <iterator>

using fault::FaultWindow;

namespace {

constexpr qint64 kBoundMs = 4000 + 3000;   // an acknowledged command, plus margin

QString T(const char *source)
{
    return QCoreApplication::translate("MainWindow", source);
}

// Every byte the viewer wrote is part of a well-formed command frame or
// Modbus request, one after the other.
bool wellFormed(const QByteArray &bytes, QString *why)
{
    int i = 0;
    while (i < bytes.size()) {
        const uint8_t first = uint8_t(bytes[i]);
        if (first == commandframe::kHeader && i + 1 < bytes.size()) {
            const int len = uint8_t(bytes[i + 1]);
            if (len >= 4 && i + len <= bytes.size() && commandframe::isValidFrame(bytes.mid(i, len))) {
                i += len;
                continue;
            }
        }
        if (i + 8 <= bytes.size() && modbusframe::replyCrcOk(bytes.mid(i, 8))) {
            i += 8;
            continue;
        }
        *why = QStringLiteral("malformed at %1: %2").arg(i).arg(QString::fromLatin1(bytes.mid(i, 16).toHex()));
        return false;
    }
    return true;
}

struct Field {
    const char *edit;
    const char *button;   // nullptr: the edit acts on editingFinished
    const char *partner;  // a second edit the button reads, filled with a good value
};

const Field kFields[] = {
    {"lineEdit_can_snd_id", "pushButton_can_snd_id", nullptr},
    {"lineEdit_can_rcv_id", "pushButton_can_rcv_id", nullptr},
    {"lineEdit_ofs_config", "pushButton_ofs_config", nullptr},
    {"lineEdit_IO_delay_near", "pushButton_IO_delay", "lineEdit_IO_delay_far"},
    {"lineEdit_IO_delay_far", "pushButton_IO_delay", "lineEdit_IO_delay_near"},
    {"lineEdit_dist_threshold", "pushButton_dist_threshold", "lineEdit_dist_buffer"},
    {"lineEdit_dist_buffer", "pushButton_dist_threshold", "lineEdit_dist_threshold"},
    {"lineEdit_mb_fps", "pushButton_mb_set_fps", nullptr},
    {"timeRangeEdit", nullptr, nullptr},
    {"lineEdit_image_full_path", "pushButton_upgrade", nullptr},
};

} // namespace

class tst_fault_input : public QObject
{
    Q_OBJECT

private:
    FaultWindow fw;

    QLineEdit *edit(const char *name) const { return fw.window->findChild<QLineEdit *>(QLatin1String(name)); }

    // Fills the field, runs its handler and returns the warning boxes shown.
    QStringList enter(const Field &field, const QString &text, qint64 *took)
    {
        fw.sensor.clearReceived();
        fw.ui()->statusBar->showMessage(QStringLiteral("before"), 0);
        if (field.partner)
            edit(field.partner)->setText(QStringLiteral("100"));
        QLineEdit *e = edit(field.edit);
        e->setText(text);
        ModalCatcher catcher;
        QElapsedTimer t;
        t.start();
        if (field.button)
            fw.button(QLatin1String(field.button))->click();
        else
            emit e->editingFinished();
        *took = t.elapsed();
        QTest::qWait(50);   // a box opened at the very end is caught too
        return catcher.texts;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(fw.open(100));
        fw.sensor.setModbusEnabled(true);
        fw.sensor.setStreamInModbus(true);
    }
    void cleanupTestCase() { fw.close(); }

    void longTexts_data();
    void longTexts();
    void numbersBeyond32Bits_data();
    void numbersBeyond32Bits();
};

void tst_fault_input::longTexts_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("text");

    const QString digits(40000, QLatin1Char('9'));
    const QString letters(40000, QLatin1Char('a'));
    QString mixed;
    for (int i = 0; i < 8000; ++i)
        mixed += QString::fromUtf8("测-\xF0\x9F\x98\x80 ");   // CJK, sign, emoji, space
    for (int f = 0; f < int(std::size(kFields)); ++f) {
        const QByteArray name = kFields[f].edit;
        QTest::newRow((name + " digits").constData()) << f << digits;
        QTest::newRow((name + " negative digits").constData()) << f << (QLatin1Char('-') + digits);
        QTest::newRow((name + " letters").constData()) << f << letters;
        QTest::newRow((name + " mixed").constData()) << f << mixed;
    }
}

void tst_fault_input::longTexts()
{
    QFETCH(int, field);
    QFETCH(QString, text);
    const Field &fd = kFields[field];

    qint64 took = 0;
    const QStringList boxes = enter(fd, text, &took);
    QVERIFY2(took < kBoundMs, qPrintable(QStringLiteral("handler took %1 ms").arg(took)));
    // The field keeps at most its maximum length; nothing overflowed.
    QVERIFY(edit(fd.edit)->text().size() <= edit(fd.edit)->maxLength());

    if (QLatin1String(fd.edit) == QLatin1String("lineEdit_image_full_path")) {
        // No such file: one failure, with its reason, and nothing sent.
        QTRY_VERIFY_WITH_TIMEOUT(fw.status().startsWith(T("升级失败！")), 5000);
        QVERIFY(fw.status().size() > T("升级失败！").size());
        QCOMPARE(fw.sensor.upgradeFramesReceived(), 0);
    }
    QString why;
    QVERIFY2(wellFormed(fw.received(), &why), qPrintable(why));
    // The handler said something: a warning box or a status text.
    QVERIFY(!boxes.isEmpty() || fw.status() != QLatin1String("before")
            || QLatin1String(fd.edit) == QLatin1String("timeRangeEdit"));
    QVERIFY(fw.streamFlows(fw.batches->batches.size()));
}

void tst_fault_input::numbersBeyond32Bits_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("text");

    const char *numbers[] = {"4294967296", "99999999999", "-2147483649", "18446744073709551616"};
    for (int f = 0; f < int(std::size(kFields)); ++f) {
        if (QLatin1String(kFields[f].edit) == QLatin1String("lineEdit_image_full_path"))
            continue;
        for (const char *n : numbers)
            QTest::newRow((QByteArray(kFields[f].edit) + ' ' + n).constData()) << f << QString::fromLatin1(n);
    }
}

void tst_fault_input::numbersBeyond32Bits()
{
    QFETCH(int, field);
    QFETCH(QString, text);
    const Field &fd = kFields[field];

    qint64 took = 0;
    const QStringList boxes = enter(fd, text, &took);
    QVERIFY2(took < kBoundMs, qPrintable(QStringLiteral("handler took %1 ms").arg(took)));

    QString why;
    QVERIFY2(wellFormed(fw.received(), &why), qPrintable(why));
    QVERIFY2(!boxes.isEmpty() || fw.status() != QLatin1String("before"), "handled without a word");
    const QByteArray sent = fw.received();

    // The time window checks its number: one box, and nothing else happens.
    if (!fd.button) {
        QCOMPARE(boxes.size(), 1);
        QVERIFY(sent.isEmpty());
        return;
    }
    // Refused: nothing sent; the sampling rate says its range in the status
    // bar, every other field shows the illegal-input box.
    QCOMPARE(sent.toHex(' '), QByteArray());
    if (QLatin1String(fd.edit) == QLatin1String("lineEdit_mb_fps")) {
        QVERIFY(boxes.isEmpty());
        QCOMPARE(fw.status(), T("采样率设置错误！有效值区间为1~10000！"));
    } else {
        QCOMPARE(boxes, QStringList{T("警告：非法输入!")});
    }
}

QTEST_MAIN(tst_fault_input)
#include "tst_fault_input.moc"
