// SPDX-License-Identifier: GPL-3.0-or-later
// Firmware upgrade panel: the file dialog, the empty-path warning, the link
// choice and its frame length, progress and result display, and a real
// transfer to the simulated sensor started from the panel.

#include "tabfixture.h"

#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QTemporaryDir>

namespace {

// Answers the file dialogs that open while it lives: records how the first
// was set up, then either picks `pick` (a name in the dialog's directory) or
// cancels. A message box the dialog raises (a refused pick) is noted and
// closed, and the answer repeated, so a test can never hang on a dialog.
class DialogAnswer : public QObject
{
public:
    explicit DialogAnswer(const QString &pick = QString()) : pick(pick)
    {
        connect(&timer, &QTimer::timeout, this, [this] { poll(); });
        timer.start(20);
    }

    bool seen = false;
    QString title;
    QFileDialog::FileMode fileMode = QFileDialog::AnyFile;
    QFileDialog::ViewMode viewMode = QFileDialog::List;
    QString directory;
    bool hasParent = true;
    QStringList complaints; // texts of message boxes raised by the dialog

private:
    void poll()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            complaints << box->text();
            box->done(QMessageBox::Ok);
            return;
        }
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        if (!dialog || !dialog->isVisible())
            return;
        if (!seen) {
            seen = true;
            title = dialog->windowTitle();
            fileMode = dialog->fileMode();
            viewMode = dialog->viewMode();
            directory = dialog->directory().absolutePath();
            hasParent = dialog->parentWidget() != nullptr;
        }
        if (pick.isEmpty() || ++attempts > 20) {
            dialog->reject();
        } else {
            dialog->selectFile(pick);
            // selectFile leaves the name field alone while it has the focus.
            if (auto *nameEdit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
                nameEdit->setText(pick);
            static_cast<QDialog *>(dialog)->accept(); // public in QDialog
        }
    }

    QString pick;
    int attempts = 0;
    QTimer timer;
};

QByteArray upgradeFrame(int length, int index, const QByteArray &payload)
{
    QByteArray frame(length, '\0');
    frame[0] = char(0x5A);
    frame[1] = char(length);
    frame[2] = char(0x49);
    frame[3] = char(index & 0xFF);
    frame[4] = char((index >> 8) & 0xFF);
    for (int i = 0; i < payload.size(); ++i)
        frame[5 + i] = payload[i];
    unsigned sum = 0;
    for (int i = 0; i < length - 1; ++i)
        sum += static_cast<unsigned char>(frame[i]);
    frame[length - 1] = char(sum & 0xFF);
    return frame;
}

} // namespace

class TstUpgradePanel : public QObject
{
    Q_OBJECT
public:
    explicit TstUpgradePanel(Lang lang) : lang(lang) {}

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void browseCancelEmptiesPath();
    void browsePicksFile();
    void emptyPathWarnsOnly();
    void progress_data();
    void progress();
    void result_data();
    void result();
    void linkChoice();
    void windowKeepsProtocolBounds();
    void imageRefused_data();
    void imageRefused();
    void confirmationNoSendsNothing_data();
    void confirmationNoSendsNothing();
    void transferOverCan();
    void transferOverSerial();
    void cancelStopsTransfer();

private:
    QString writeImage(const QString &name, const QByteArray &content);
    void startUpgrade(const QString &path);
    void expectIdle();

    Lang lang;
    ConnectedWindow cw;
    QTemporaryDir tempDir;
};

void TstUpgradePanel::initTestCase()
{
    qInfo() << "interface language:" << (lang == Lang::English ? "English" : "Chinese");
    QVERIFY(tempDir.isValid());
    QVERIFY(cw.open(lang));
    cw.quiet();
    QVERIFY(cw.ui()->groupBox_upgrade->isEnabled());
}

void TstUpgradePanel::cleanupTestCase()
{
    cw.close();
}

void TstUpgradePanel::init()
{
    cw.sensor.clearReceived();
    cw.ui()->statusBar->showMessage(QStringLiteral("before"));
}

QString TstUpgradePanel::writeImage(const QString &name, const QByteArray &content)
{
    const QString path = tempDir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        return QString();
    return path;
}

// Starts a transfer as the operator does: the question is asked, and
// answered yes; while it runs only the cancel button is offered.
void TstUpgradePanel::startUpgrade(const QString &path)
{
    cw.ui()->lineEdit_image_full_path->setText(path);
    ModalCatcher catcher;
    catcher.answer = QMessageBox::Yes;
    cw.ui()->pushButton_upgrade->click();
    QCOMPARE(catcher.texts, QStringList{T("确定升级固件吗？升级过程中请勿断开连接。")});
    cw.checkLanguage(catcher.texts.first());
    QCOMPARE(cw.status(), T("正在升级..."));
    for (QWidget *page : {cw.ui()->tab, cw.ui()->tab_2, cw.ui()->tab_3})
        QVERIFY(!page->isEnabled());
    QVERIFY(!cw.ui()->connectButton->isEnabled());
    QVERIFY(!cw.ui()->pushButton_upgrade->isEnabled());
    QVERIFY(!cw.ui()->pushButton_browse->isEnabled());
    QVERIFY(cw.button(QStringLiteral("pushButton_upgrade_cancel"))->isEnabled());
}

// No transfer: everything offered again, the cancel button not.
void TstUpgradePanel::expectIdle()
{
    for (QWidget *page : {cw.ui()->tab, cw.ui()->tab_2, cw.ui()->tab_3})
        QVERIFY(page->isEnabled());
    QVERIFY(cw.ui()->connectButton->isEnabled());
    QVERIFY(cw.ui()->pushButton_upgrade->isEnabled());
    QVERIFY(cw.ui()->pushButton_browse->isEnabled());
    QVERIFY(!cw.button(QStringLiteral("pushButton_upgrade_cancel"))->isEnabled());
}

void TstUpgradePanel::browseCancelEmptiesPath()
{
    cw.ui()->lineEdit_image_full_path->setText(QStringLiteral("/some/old/image.bin"));
    DialogAnswer answer;
    cw.ui()->pushButton_browse->click();
    QVERIFY(answer.seen);
    QCOMPARE(cw.ui()->lineEdit_image_full_path->text(), QString());

    QCOMPARE(answer.title, T("打开文件"));
    QCOMPARE(answer.fileMode, QFileDialog::ExistingFile);
    QCOMPARE(answer.viewMode, QFileDialog::Detail);
    QCOMPARE(answer.directory, QDir::current().absolutePath());
    QVERIFY(!answer.hasParent);
    if (lang == Lang::English)
        QVERIFY(!hasCjk(answer.title));
}

void TstUpgradePanel::browsePicksFile()
{
    // The dialog opens on the working directory; pick a file there.
    const QString name = QStringLiteral("tst_upgrade_panel_pick.bin");
    QFile file(name);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(10, 'x'));
    file.close();

    cw.ui()->lineEdit_image_full_path->clear();
    DialogAnswer answer(name);
    cw.ui()->pushButton_browse->click();
    QFile::remove(name);
    QVERIFY(answer.seen);
    QCOMPARE(answer.complaints, QStringList());
    QCOMPARE(QFileInfo(cw.ui()->lineEdit_image_full_path->text()).absoluteFilePath(),
             QDir::current().absoluteFilePath(name));
}

void TstUpgradePanel::emptyPathWarnsOnly()
{
    cw.ui()->lineEdit_image_full_path->clear();
    cw.ui()->progressBar->setValue(42);
    const int framesBefore = cw.sensor.upgradeFramesReceived();

    ModalCatcher catcher;
    cw.ui()->pushButton_upgrade->click();
    QCOMPARE(catcher.texts, QStringList{T("警告：文件路径不能为空！")});
    if (lang == Lang::English)
        QVERIFY(!hasCjk(catcher.texts.first()));
    QCOMPARE(cw.ui()->progressBar->value(), 42);
    // Refused like every other upgrade refusal: the box and the status text.
    QCOMPARE(cw.status(), S(T("升级失败！"), T("未选择固件文件")));
    cw.checkLanguage(cw.status());
    // The worker runs its queue in order: a transfer wrongly queued by the
    // click would reach the wire before this blocking command does.
    QVERIFY(cw.worker()->send_cmd_id_save_settings());
    QCOMPARE(cw.received().toHex(' '), hexBytes("5A 04 11 6F").toHex(' '));
    QCOMPARE(cw.sensor.upgradeFramesReceived(), framesBefore);
}

void TstUpgradePanel::progress_data()
{
    QTest::addColumn<float>("value");
    QTest::addColumn<int>("shown");
    QTest::newRow("1/3") << float(1.0 / 3.0) << 33;
    QTest::newRow("2/3") << float(2.0 / 3.0) << 66;
    QTest::newRow("1") << 1.0f << 100;
    QTest::newRow("1/25") << float(1.0 / 25.0) << 4;
    QTest::newRow("999/1000") << float(999.0 / 1000.0) << 99;
}

void TstUpgradePanel::progress()
{
    QFETCH(float, value);
    QFETCH(int, shown);
    cw.ui()->progressBar->reset();
    // Through the worker's signal and the window's connection.
    emit cw.worker()->sigUpdateProcessbar(value);
    QTRY_COMPARE(cw.ui()->progressBar->value(), shown);
}

void TstUpgradePanel::result_data()
{
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("status");
    QTest::addColumn<int>("failure");   // -1: no reason given
    QTest::newRow("success") << true << T("升级成功！") << -1;
    QTest::newRow("failure") << false << T("升级失败！") << -1;
    QTest::newRow("failure at frame 7") << false << S(T("升级失败！"), TU("第%1帧无应答").arg(7))
                                        << int(receiver::UpgradeFailure::NoAcknowledgement);
    QTest::newRow("port lost") << false << S(T("升级失败！"), TU("串口断开"))
                               << int(receiver::UpgradeFailure::PortLost);
    // Refused by the worker before anything was sent: told with a box too.
    QTest::newRow("file unreadable") << false << S(T("升级失败！"), TU("文件无法读取"))
                                     << int(receiver::UpgradeFailure::FileUnreadable);
    QTest::newRow("port closed") << false << S(T("升级失败！"), TU("串口未打开"))
                                 << int(receiver::UpgradeFailure::PortClosed);
}

void TstUpgradePanel::result()
{
    QFETCH(bool, ok);
    QFETCH(QString, status);
    QFETCH(int, failure);
    const bool refusal = failure == int(receiver::UpgradeFailure::FileUnreadable)
                         || failure == int(receiver::UpgradeFailure::PortClosed);
    ModalCatcher catcher;
    if (failure >= 0)
        emit cw.worker()->signalUpgradeFailed(receiver::UpgradeFailure(failure), 7);
    emit cw.worker()->signalUpgradeResult(ok);
    QTRY_COMPARE(cw.status(), status);
    // The box opens in the same slot, after the status text.
    QTRY_COMPARE(catcher.texts, refusal ? QStringList{status} : QStringList());
    if (lang == Lang::English)
        QVERIFY(!hasCjk(cw.status()));
}

void TstUpgradePanel::linkChoice()
{
    WindowProbe probe = cw.probe();
    QVERIFY(cw.ui()->radioButton_upgrade_serial->isChecked());
    QCOMPARE(probe.frameLength(), 255u);
    QCOMPARE(probe.payloadLength(), 249u);

    cw.ui()->radioButton_upgrade_can->click();
    QVERIFY(!cw.ui()->radioButton_upgrade_serial->isChecked());
    QCOMPARE(probe.frameLength(), 8u);
    QCOMPARE(probe.payloadLength(), 2u);

    cw.ui()->radioButton_upgrade_serial->click();
    QCOMPARE(probe.frameLength(), 255u);
    QCOMPARE(probe.payloadLength(), 249u);
}

void TstUpgradePanel::windowKeepsProtocolBounds()
{
    // The window's worker waits for a frame's acknowledgement the protocol's
    // own three seconds, in steps of one second (a close during a transfer
    // is seen within one step); tests may shorten them, the viewer never does.
    const ProtocolTiming timing = cw.worker()->protocolTiming();
    QVERIFY(timing == ProtocolTiming());
    QCOMPARE(timing.upgradeAckBoundMs, 3000);
    QCOMPARE(timing.upgradeWaitStepMs, 1000);
}

// What cannot be sent is refused at once, with the reason, before the
// question: nothing reaches the sensor.
void TstUpgradePanel::imageRefused_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("can");
    QTest::addColumn<QString>("reason");
    QTest::newRow("no path") << "none" << false << T("未选择固件文件");
    QTest::newRow("missing") << "missing" << false << TU("文件不存在或不是普通文件");
    QTest::newRow("directory") << "directory" << false << TU("文件不存在或不是普通文件");
    QTest::newRow("empty") << "empty" << false << TU("文件为空");
    QTest::newRow("empty, CAN") << "empty" << true << TU("文件为空");
    QTest::newRow("too large for CAN frames") << "large" << true << TU("文件过大");
}

void TstUpgradePanel::imageRefused()
{
    QFETCH(QString, kind);
    QFETCH(bool, can);
    QFETCH(QString, reason);
    QString path = tempDir.filePath(QStringLiteral("no-such-image.bin"));
    if (kind == QLatin1String("none"))
        path = QString();
    else if (kind == QLatin1String("directory"))
        path = tempDir.path();
    else if (kind == QLatin1String("empty"))
        path = writeImage(QStringLiteral("empty.bin"), QByteArray());
    else if (kind == QLatin1String("large"))   // 65536 frames of 2 bytes: one more than the index numbers
        path = writeImage(QStringLiteral("large.bin"), QByteArray(131071, 'x'));
    QVERIFY(!path.isEmpty() || kind == QLatin1String("none"));
    (can ? cw.ui()->radioButton_upgrade_can : cw.ui()->radioButton_upgrade_serial)->click();
    cw.ui()->lineEdit_image_full_path->setText(path);
    const int framesBefore = cw.sensor.upgradeFramesReceived();

    ModalCatcher catcher;
    catcher.answer = QMessageBox::Yes;
    cw.ui()->pushButton_upgrade->click();
    cw.ui()->radioButton_upgrade_serial->click();
    // Every refusal alike: a box with the reason (the file's path beneath),
    // and the status text.
    QCOMPARE(cw.status(), S(T("升级失败！"), reason));
    if (path.isEmpty()) {
        QCOMPARE(catcher.texts, QStringList{T("警告：文件路径不能为空！")});
    } else {
        QCOMPARE(catcher.texts, QStringList{S(T("升级失败！"), reason)});
        QCOMPARE(catcher.informative, QStringList{path});
    }
    cw.checkLanguage(cw.status());
    expectIdle();
    // Queued behind anything the click could have started.
    QVERIFY(cw.worker()->send_cmd_id_save_settings());
    QCOMPARE(cw.received().toHex(' '), hexBytes("5A 04 11 6F").toHex(' '));
    QCOMPARE(cw.sensor.upgradeFramesReceived(), framesBefore);
}

// Answered no, or with Return on the default (which is No), the question
// leaves everything as it was.
void TstUpgradePanel::confirmationNoSendsNothing_data()
{
    QTest::addColumn<bool>("returnKey");
    QTest::newRow("No") << false;
    QTest::newRow("Return") << true;
}

void TstUpgradePanel::confirmationNoSendsNothing()
{
    QFETCH(bool, returnKey);
    const QString path = writeImage(QStringLiteral("no.bin"), QByteArray(100, 'n'));
    cw.ui()->lineEdit_image_full_path->setText(path);
    const int framesBefore = cw.sensor.upgradeFramesReceived();
    ModalCatcher catcher;
    catcher.answer = QMessageBox::No;
    catcher.takeDefault = returnKey;
    cw.ui()->pushButton_upgrade->click();
    QCOMPARE(catcher.texts, QStringList{T("确定升级固件吗？升级过程中请勿断开连接。")});
    QCOMPARE(catcher.defaults, QList<QMessageBox::StandardButton>{QMessageBox::No});
    QCOMPARE(cw.status(), QStringLiteral("before"));
    expectIdle();
    QVERIFY(cw.worker()->send_cmd_id_save_settings());
    QCOMPARE(cw.received().toHex(' '), hexBytes("5A 04 11 6F").toHex(' '));
    QCOMPARE(cw.sensor.upgradeFramesReceived(), framesBefore);
}

// The cancel button stops a transfer that waits for an acknowledgement
// within one wait step: one failure that says so, and the window is free.
void TstUpgradePanel::cancelStopsTransfer()
{
    const QString path = writeImage(QStringLiteral("cancel.bin"), QByteArray(249 * 10, 'c'));
    cw.sensor.setUpgradeFault(3, sim::UpgradeFault::StopAck);
    startUpgrade(path);
    // Frame 3 is in (the header counts as one) and will never be acknowledged.
    QVERIFY(cw.sensor.waitForUpgradeFrames(4, 10000));
    cw.button(QStringLiteral("pushButton_upgrade_cancel"))->click();
    QTRY_COMPARE_WITH_TIMEOUT(cw.status(), S(T("升级失败！"), TU("已取消")), 15000);
    cw.checkLanguage(cw.status());
    cw.sensor.setUpgradeFault(-1, sim::UpgradeFault::None);
    QCOMPARE(cw.sensor.upgradeFramesReceived(), 4);
    expectIdle();
}

void TstUpgradePanel::transferOverCan()
{
    // 20 bytes at 2 per frame: header and ten data frames, no filler anywhere,
    // so every byte on the wire is known.
    QByteArray image;
    for (int i = 0; i < 20; ++i)
        image.append(char(0x30 + i * 7));
    const QString path = writeImage(QStringLiteral("can.bin"), image);
    QVERIFY(!path.isEmpty());

    cw.ui()->radioButton_upgrade_can->click();
    cw.ui()->progressBar->setValue(50);
    startUpgrade(path);
    QVERIFY(cw.ui()->progressBar->value() < 0); // reset: no value shown yet

    QTRY_COMPARE_WITH_TIMEOUT(cw.status(), T("升级成功！"), 30000);
    expectIdle();
    QCOMPARE(cw.ui()->progressBar->value(), 100);

    QByteArray expected = upgradeFrame(8, 0, QByteArray::fromHex("1400"));
    for (int i = 1; i <= 10; ++i)
        expected += upgradeFrame(8, i, image.mid((i - 1) * 2, 2));
    QCOMPARE(cw.received().toHex(' '), expected.toHex(' '));
    QCOMPARE(toByteArray(cw.sensor.upgradeImage()), image);

    cw.ui()->radioButton_upgrade_serial->click();
}

void TstUpgradePanel::transferOverSerial()
{
    // Two full data frames of 249 bytes after the header.
    QByteArray image;
    for (int i = 0; i < 498; ++i)
        image.append(char(i * 31 + 5));
    const QString path = writeImage(QStringLiteral("serial.bin"), image);
    QVERIFY(!path.isEmpty());

    QVERIFY(cw.ui()->radioButton_upgrade_serial->isChecked());
    startUpgrade(path);
    QTRY_COMPARE_WITH_TIMEOUT(cw.status(), T("升级成功！"), 30000);
    expectIdle();
    QCOMPARE(cw.ui()->progressBar->value(), 100);

    const QByteArray wire = cw.received();
    QCOMPARE(wire.size(), 3 * 255);
    for (int i = 0; i < 3; ++i) {
        const QByteArray frame = wire.mid(i * 255, 255);
        QCOMPARE(frame.left(5).toHex(' '), upgradeFrame(255, i, {}).left(5).toHex(' '));
    }
    QCOMPARE(wire.mid(255 + 5, 249), image.left(249));
    QCOMPARE(wire.mid(2 * 255 + 5, 249), image.mid(249));
    QCOMPARE(toByteArray(cw.sensor.upgradeImage()), image);
}

TAB_TEST_MAIN(TstUpgradePanel)

#include "tst_upgrade_panel.moc"
