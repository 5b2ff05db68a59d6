// SPDX-License-Identifier: GPL-3.0-or-later
// The operator's choices remembered between runs: the port, its baud rate,
// the language, the chart's time range, the batch size and the window's
// size, written when the window is closed and read by the next window. A
// missing, broken or unusable settings file gives the window's defaults.
// Every test has a settings folder of its own.

#include "mainwindow.h"
#include "receiver.h"
#include "simsensor.h"
#include "windowprobe.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class tst_window_settings : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> folder;
    std::unique_ptr<MainWindow> window;

    Ui::MainWindow *ui() const { return WindowProbe(*window).ui(); }
    WindowProbe probe() const { return WindowProbe(*window); }
    QString settingsFile() const { return folder->filePath(QStringLiteral("ZN84/zn84-viewer.ini")); }
    void newWindow()
    {
        window.reset(new MainWindow);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }
    void expectDefaults();

private slots:
    void init()
    {
        folder.reset(new QTemporaryDir);
        QVERIFY(folder->isValid());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder->path());
    }
    void cleanup()
    {
        window.reset();
        folder.reset();
    }

    void defaultsWithoutFile();
    void choicesComeBack();
    void nothingWrittenUntilClosed();
    void unusableFile_data();
    void unusableFile();
};

void tst_window_settings::expectDefaults()
{
    QVERIFY(ui()->radioButton_chinese->isChecked());
    QCOMPARE(ui()->connectButton->text(), QString("连接"));
    QCOMPARE(window->selectedBaudRate(), 115200);
    QCOMPARE(ui()->baudrateComboBox->currentText(), QString("115200"));
    QCOMPARE(window->selectedPort(), QString());
    QCOMPARE(window->timeRangeInUse(), 10);
    QCOMPARE(ui()->timeRangeEdit->text(), QString("10"));
    QCOMPARE(ui()->spinBox_dist_num->value(), 10);
    QCOMPARE(window->linkWorker()->getDistNum(), 10);
    QCOMPARE(window->size(), QSize(1024, 600));
}

void tst_window_settings::defaultsWithoutFile()
{
    QVERIFY(!QFile::exists(settingsFile()));
    newWindow();
    expectDefaults();
}

void tst_window_settings::choicesComeBack()
{
    sim::SimSensor sensor;
    QVERIFY(sensor.start(100));
    const QString port = QString::fromStdString(sensor.linkPath());

    newWindow();
    myCombobox *box = ui()->serialComboBox;
    box->showPopup();
    const int index = box->findData(port);
    QVERIFY(index >= 0);
    box->setCurrentIndex(index);
    box->hidePopup();
    ui()->baudrateComboBox->setCurrentText("460800");
    ui()->radioButton_english->setChecked(true);
    ui()->groupBox_ctrl->setEnabled(true);
    ui()->timeRangeEdit->setText("42");
    QTest::keyClick(ui()->timeRangeEdit, Qt::Key_Return);
    QCOMPARE(window->timeRangeInUse(), 42);
    ui()->spinBox_dist_num->setValue(50);
    // Another size than the default (1024 x 600), within what the window
    // needs in either language.
    window->resize(1024, 580);
    QTRY_COMPARE(window->size(), QSize(1024, 580));
    QVERIFY(window->close());
    QVERIFY(QFile::exists(settingsFile()));

    newWindow();
    QCOMPARE(window->selectedPort(), port);
    QCOMPARE(ui()->serialComboBox->currentData().toString(), port);
    QCOMPARE(ui()->serialComboBox->toolTip(), port);
    QCOMPARE(window->selectedBaudRate(), 460800);
    QVERIFY(ui()->radioButton_english->isChecked());
    QCOMPARE(ui()->connectButton->text(), QString("Connect"));
    QCOMPARE(window->timeRangeInUse(), 42);
    QCOMPARE(ui()->timeRangeEdit->text(), QString("42"));
    QCOMPARE(ui()->spinBox_dist_num->value(), 50);
    QCOMPARE(window->linkWorker()->getDistNum(), 50);
    QCOMPARE(window->size(), QSize(1024, 580));

    // The remembered port connects as chosen.
    ui()->connectButton->click();
    QVERIFY(window->linkWorker()->isPortOpen());
    QVERIFY(window->close());

    // A port that is gone is not chosen again.
    sensor.stop();
    newWindow();
    QCOMPARE(window->selectedPort(), QString());
    QCOMPARE(ui()->serialComboBox->currentIndex(), -1);
    QCOMPARE(window->selectedBaudRate(), 460800);
}

// A window that goes without being closed (a crash, a test) writes nothing.
void tst_window_settings::nothingWrittenUntilClosed()
{
    newWindow();
    ui()->radioButton_english->setChecked(true);
    window.reset();
    QVERIFY(!QFile::exists(settingsFile()));
    newWindow();
    expectDefaults();
}

void tst_window_settings::unusableFile_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("empty") << QByteArray();
    static const char garbage[] = "\xff\xfe\x00\x01[[[\n=\n\x80\x81\x82";
    QTest::newRow("binary garbage") << QByteArray(garbage, int(sizeof garbage) - 1);
    QTest::newRow("text that is no INI file") << QByteArray("<?xml version=\"1.0\"?><settings/>\n");
    QTest::newRow("values out of range")
        << QByteArray("[connection]\nport=/dev/zn84-no-such-port\nbaudRate=0\n"
                      "[window]\nlanguage=fr\ngeometry=@ByteArray(garbage)\n"
                      "[chart]\ntimeRange=0\nbatchSize=5000\n");
    QTest::newRow("values that are no numbers")
        << QByteArray("[connection]\nbaudRate=abc\n[chart]\ntimeRange=ten\nbatchSize=-\n");
    QTest::newRow("negative and huge")
        << QByteArray("[connection]\nbaudRate=-9600\n[chart]\ntimeRange=-5\nbatchSize=99999999999999\n");
}

void tst_window_settings::unusableFile()
{
    QFETCH(QByteArray, content);
    QVERIFY(QDir(folder->path()).mkpath(QStringLiteral("ZN84")));
    QFile file(settingsFile());
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(content), qint64(content.size()));
    file.close();
    newWindow();
    expectDefaults();
}

QTEST_MAIN(tst_window_settings)
#include "tst_window_settings.moc"
