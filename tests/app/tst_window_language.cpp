// SPDX-License-Identifier: GPL-3.0-or-later
// Switching the interface between Chinese and English: the twelve command
// lists, the captions, the title and axis titles, and where the translation
// files are found.

#include "link_panel.h"
#include "mainwindow.h"
#include "modalcatcher.h"
#include "mycombobox.h"
#include "receiver.h"
#include "simsensor.h"
#include "setting_widgets.h"
#include "settings_table.h"
#include "windowprobe.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGraphicsScene>
#include <QGraphicsTextItem>
#include <QScreen>
#include <QStyleOptionComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QSignalSpy>
#include <QTest>
#include <QXmlStreamReader>

namespace {

bool hasCjk(const QString &text)
{
    for (const QChar c : text) {
        const ushort u = c.unicode();
        if ((u >= 0x2E80 && u <= 0x9FFF) || (u >= 0x3000 && u <= 0x303F) || (u >= 0xFF00 && u <= 0xFFEF))
            return true;
    }
    return false;
}

QStringList items(const QComboBox *box)
{
    QStringList list;
    for (int i = 0; i < box->count(); ++i)
        list << box->itemText(i);
    return list;
}

// Item lists as written in the source: a leading '~' marks an item that
// passes through the translator.
struct ListSpec { const char *box; QStringList source; bool editable; };
const ListSpec lists[] = {
    {"comboBox_lidar_trans", {"", "~串口", "CAN"}, false},
    {"comboBox_output_format", {"", "ASCII", "BIN", "PIX", "IO", "RS485", "4-20mA"}, false},
    {"comboBox_output_enable", {"", "~触发模式", "~连续模式"}, false},
    {"comboBox_checksum", {"", "~不使能", "~使能"}, false},
    {"comboBox_seri_baud", {"", "4800", "9600", "115200", "460800", "921600", "1000000"}, true},
    {"comboBox_seri_baud_2", {"9600", "115200", "460800"}, true},
    {"comboBox_gain_adjust", {"", "~不使能", "~使能"}, false},
    {"comboBox_can_baudrate", {"", "1000000", "500k", "250k", "125k"}, false},
    {"comboBox_can_type", {"", "~标准帧", "~扩展帧"}, false},
    {"comboBox_fog_feature", {"", "~不使能", "~使能"}, false},
    {"comboBox_io_level", {"", "~高电平", "~低电平"}, false},
    {"comboBox_dac_map", {"", "~正向", "~反向"}, false},
};

} // namespace

class tst_window_language : public QObject
{
    Q_OBJECT

private:
    MainWindow *window = nullptr;
    Ui::MainWindow *ui() const { return WindowProbe(*window).ui(); }
    WindowProbe probe() const { return WindowProbe(*window); }
    QStringList untranslatedTexts() const;

    void addListRows()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QStringList>("source");
        QTest::addColumn<bool>("editable");
        for (const ListSpec &l : lists)
            QTest::newRow(l.box) << l.box << l.source << l.editable;
    }
    static QStringList expectedItems(const QStringList &source, bool translated)
    {
        QStringList out;
        for (const QString &s : source) {
            if (!s.startsWith('~'))
                out << s;
            else if (translated)
                out << QCoreApplication::translate("MainWindow", s.mid(1).toUtf8().constData());
            else
                out << s.mid(1);
        }
        return out;
    }

    QString startDir;

private slots:
    void initTestCase() { startDir = QDir::currentPath(); }
    void init()
    {
        window = new MainWindow;
        window->show();
    }
    void cleanup()
    {
        delete window;
        window = nullptr;
        QDir::setCurrent(startDir);
    }

    void chineseListsAtStart_data() { addListRows(); }
    void chineseListsAtStart();
    void englishLists_data() { addListRows(); }
    void englishLists();
    void englishCaptions_data();
    void englishCaptions();
    void noChineseLeftInEnglish();
    void backToChinese();
    void switchResetsInputsButNotState();
    void checkingTheCheckedButtonDoesNothing();
    void translationsFromResourcesElsewhere();
    void workingDirectoryFilesComeFirst();
    void translationFilesAreClean_data();
    void translationFilesAreClean();
    void statusTextsReadRight_data();
    void statusTextsReadRight();
    void nothingCutShort_data();
    void nothingCutShort();
    void inputTooltipsGiveRange_data();
    void inputTooltipsGiveRange();
    void qtOwnTextsFollowLanguage_data();
    void qtOwnTextsFollowLanguage();
    void signalViewsKeepTheirChoices_data();
    void signalViewsKeepTheirChoices();
};

void tst_window_language::chineseListsAtStart()
{
    QFETCH(QString, box);
    QFETCH(QStringList, source);
    QFETCH(bool, editable);
    auto *combo = window->findChild<QComboBox *>(box);
    QVERIFY(combo);
    QCOMPARE(items(combo), expectedItems(source, false));
    QCOMPARE(combo->currentIndex(), 0);
    QCOMPARE(combo->isEditable(), editable);
}

// The handlers compare a choice with the same source text through tr(), so
// each translated item must be exactly what the translator gives now.
void tst_window_language::englishLists()
{
    QFETCH(QString, box);
    QFETCH(QStringList, source);
    QFETCH(bool, editable);
    auto *combo = window->findChild<QComboBox *>(box);
    combo->setCurrentIndex(combo->count() - 1);
    ui()->radioButton_english->setChecked(true);
    const QStringList english = items(combo);
    QCOMPARE(english, expectedItems(source, true));
    for (const QString &item : english)
        QVERIFY2(!hasCjk(item), qPrintable(item));
    QCOMPARE(combo->currentIndex(), 0);
    QCOMPARE(combo->isEditable(), editable);
}

void tst_window_language::englishCaptions_data()
{
    QTest::addColumn<QString>("widget");
    QTest::addColumn<QString>("english");
    QTest::newRow("connect") << "connectButton" << "Connect";
    QTest::newRow("record") << "saveButton" << "Record";
    QTest::newRow("pause") << "suspendButton" << "Pause";
    QTest::newRow("reset (re-worded)") << "pushButton_reset" << "Reset";
    QTest::newRow("save configuration (re-worded)") << "pushButton_save_config" << "Save configuration";
    QTest::newRow("serial port box (re-worded)") << "groupBox_seri_port" << "Serial port";
    QTest::newRow("frame rate") << "pushButton_fps" << "Set frame rate";
    QTest::newRow("english") << "radioButton_english" << "English";
    QTest::newRow("modbus group stays") << "groupBox_modbus_2" << "modbus";
    QTest::newRow("serial group stays") << "groupBox" << "serial";
    QTest::newRow("unit stays") << "label_Hz" << "Hz";
}

void tst_window_language::englishCaptions()
{
    QFETCH(QString, widget);
    QFETCH(QString, english);
    ui()->radioButton_english->setChecked(true);
    QWidget *w = window->findChild<QWidget *>(widget);
    QVERIFY(w);
    if (auto *box = qobject_cast<QGroupBox *>(w))
        QCOMPARE(box->title(), english);
    else if (auto *button = qobject_cast<QAbstractButton *>(w))
        QCOMPARE(button->text(), english);
    else
        QCOMPARE(qobject_cast<QLabel *>(w)->text(), english);
    QCOMPARE(window->windowTitle(), QString("ZN84 Viewer V3.0.3"));
    QCOMPARE(probe().axisX()->titleText(), QString("Time(s)"));
    QCOMPARE(probe().axisY()->titleText(), QString("Distance(m)"));
    QCOMPARE(ui()->tabWidget_cmd->tabText(0), QString("Serial control"));
}

QStringList tst_window_language::untranslatedTexts() const
{
    QStringList found;
    auto check = [&found](const QObject *o, const QString &what, const QString &text) {
        if (hasCjk(text))
            found << o->objectName() + " " + what + ": " + text;
    };
    check(window, "title", window->windowTitle());
    for (QWidget *w : window->findChildren<QWidget *>()) {
        check(w, "tooltip", w->toolTip());
        check(w, "window title", w->windowTitle());
        if (auto *l = qobject_cast<QLabel *>(w))
            check(w, "text", l->text());
        if (auto *b = qobject_cast<QAbstractButton *>(w))
            check(w, "text", b->text());
        if (auto *g = qobject_cast<QGroupBox *>(w))
            check(w, "title", g->title());
        if (auto *e = qobject_cast<QLineEdit *>(w)) {
            check(w, "text", e->text());
            check(w, "placeholder", e->placeholderText());
        }
        if (auto *c = qobject_cast<QComboBox *>(w)) {
            for (const QString &item : items(c))
                check(w, "item", item);
            check(w, "current text", c->currentText());
        }
        if (auto *t = qobject_cast<QTabWidget *>(w)) {
            for (int i = 0; i < t->count(); ++i)
                check(w, "tab", t->tabText(i));
        }
    }
    check(probe().axisX(), "axis", probe().axisX()->titleText());
    check(probe().axisY(), "axis", probe().axisY()->titleText());
    check(ui()->statusBar, "message", ui()->statusBar->currentMessage());
    return found;
}

void tst_window_language::noChineseLeftInEnglish()
{
    QVERIFY(!untranslatedTexts().isEmpty());   // the check does see Chinese
    ui()->radioButton_english->setChecked(true);
    QVERIFY(ui()->radioButton_english->isChecked());
    QVERIFY(!ui()->radioButton_chinese->isChecked());
    const QStringList left = untranslatedTexts();
    QVERIFY2(left.isEmpty(), qPrintable(left.join("\n")));
}

void tst_window_language::backToChinese()
{
    ui()->radioButton_english->setChecked(true);
    ui()->radioButton_chinese->setChecked(true);
    QVERIFY(!ui()->radioButton_english->isChecked());
    QCOMPARE(ui()->connectButton->text(), QString("连接"));
    QCOMPARE(ui()->pushButton_reset->text(), QString("复位"));
    QCOMPARE(ui()->tabWidget_cmd->tabText(1), QString("CAN控制"));
    QCOMPARE(items(ui()->comboBox_output_enable), QStringList({"", "触发模式", "连续模式"}));
    QCOMPARE(items(ui()->comboBox_dac_map), QStringList({"", "正向", "反向"}));
    QCOMPARE(window->windowTitle(), QString("ZN84 Viewer V3.0.3"));
}

// A switch re-runs the form's text step: typed inputs go back to the form's
// values and the buttons show their idle captions, but the window's state stays.
void tst_window_language::switchResetsInputsButNotState()
{
    ui()->groupBox_ctrl->setEnabled(true);
    ui()->timeRangeEdit->setText("55");
    QTest::keyClick(ui()->timeRangeEdit, Qt::Key_Return);
    QCOMPARE(probe().timeRange(), 55);
    ui()->suspendButton->click();
    QCOMPARE(ui()->suspendButton->text(), QString("恢复"));
    ui()->lineEdit_mb_fps->setText("123");
    ui()->lineEdit_image_full_path->setText("/tmp/image.bin");
    ui()->comboBox_seri_baud_2->setCurrentIndex(2);
    ui()->distLabel->setText("4.5");

    ui()->radioButton_english->setChecked(true);
    // The time-range field shows the range in use, not the form's 10.
    QCOMPARE(ui()->timeRangeEdit->text(), QString("55"));
    QCOMPARE(ui()->lineEdit_mb_fps->text(), QString("10000"));
    QCOMPARE(ui()->lineEdit_image_full_path->text(), QString());
    QCOMPARE(ui()->distLabel->text(), QString("0"));
    QCOMPARE(ui()->comboBox_seri_baud_2->currentText(), QString("9600"));
    QCOMPARE(ui()->suspendButton->text(), QString("Pause"));
    QVERIFY(probe().suspended());
    QCOMPARE(probe().timeRange(), 55);
}

void tst_window_language::checkingTheCheckedButtonDoesNothing()
{
    ui()->timeRangeEdit->setText("77");
    ui()->comboBox_checksum->setCurrentIndex(2);
    ui()->radioButton_chinese->setChecked(true);
    QCOMPARE(ui()->timeRangeEdit->text(), QString("77"));
    QCOMPARE(ui()->comboBox_checksum->currentIndex(), 2);
}

// Started from a directory without translation files, the window still gets
// its command lists and its English, from the copies built into the program.
void tst_window_language::translationsFromResourcesElsewhere()
{
    delete window;
    window = nullptr;
    QTemporaryDir elsewhere;
    QVERIFY(QDir::setCurrent(elsewhere.path()));
    window = new MainWindow;
    QCOMPARE(items(ui()->comboBox_can_type), QStringList({"", "标准帧", "扩展帧"}));
    QCOMPARE(window->windowTitle(), QString("ZN84 Viewer V3.0.3"));
    ui()->radioButton_english->setChecked(true);
    QCOMPARE(ui()->connectButton->text(), QString("Connect"));
    QVERIFY(untranslatedTexts().isEmpty());
}

// A file in the working directory wins over the built-in copy: here the
// "English" file is really the Chinese one.
void tst_window_language::workingDirectoryFilesComeFirst()
{
    delete window;
    window = nullptr;
    QTemporaryDir elsewhere;
    QVERIFY(QFile::exists("language_CH.qm"));
    QVERIFY(QFile::copy("language_CH.qm", elsewhere.filePath("language.qm")));
    QVERIFY(QDir::setCurrent(elsewhere.path()));
    window = new MainWindow;
    ui()->radioButton_english->setChecked(true);
    QCOMPARE(ui()->connectButton->text(), QString("连接"));
    QCOMPARE(items(ui()->comboBox_io_level), QStringList({"", "高电平", "低电平"}));
}

// Every text of both translation files, read from the source tree: finished,
// not empty, and without blanks at either end (the program puts the blanks
// between the pieces of a status text itself). The Chinese file gives each
// source text back as it is, apart from such blanks.
void tst_window_language::translationFilesAreClean_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("identity");
    QTest::newRow("English") << "language.ts" << false;
    QTest::newRow("Chinese") << "language_CH.ts" << true;
}

void tst_window_language::translationFilesAreClean()
{
    QFETCH(QString, file);
    QFETCH(bool, identity);
    QFile ts(QStringLiteral(ZN84_SOURCE_DIR "/ui/") + file);
    QVERIFY2(ts.open(QIODevice::ReadOnly), qPrintable(ts.fileName()));
    QXmlStreamReader xml(&ts);
    QStringList problems;
    int messages = 0;
    QString source;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("source")) {
            source = xml.readElementText();
        } else if (xml.name() == QLatin1String("translation")) {
            ++messages;
            const QString type = xml.attributes().value(QLatin1String("type")).toString();
            const QString text = xml.readElementText();
            const QString where = QStringLiteral("\"%1\" -> \"%2\"").arg(source, text);
            if (!type.isEmpty())
                problems << QStringLiteral("%1 (type=\"%2\")").arg(where, type);
            if (text.isEmpty())
                problems << where + QStringLiteral(" (empty)");
            else if (text != text.trimmed())
                problems << where + QStringLiteral(" (blank at an end)");
            if (identity && text != source.trimmed())
                problems << where + QStringLiteral(" (not the source text)");
        }
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    QVERIFY2(messages > 100, qPrintable(QString::number(messages)));
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
}

// Status texts are put together from a prefix, sometimes a value, and the
// outcome: in English with one blank between the words and none at the
// ends, in Chinese run together exactly as before. With no port open every
// command fails at once, which shows the failure texts; connecting to a
// simulated sensor shows the connection text. A language switch shows the
// last message again in the new language (not possible while connected).
void tst_window_language::statusTextsReadRight_data()
{
    QTest::addColumn<bool>("english");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("other");   // after a switch to the other language
    const struct { const char *action; const char *english; const char *chinese; } rows[] = {
        {"fog", "failed!", "失败！"},
        {"save", "Save configuration failed!", "保存配置失败！"},
        {"baud", "Configure baud rate 115200 failed!", "配置波特率115200失败！"},
        {"trigger", "Trigger measurement failed", "获取dist失败"},
        {"mb dist", "Read distance failed!", "获取距离失败！"},
        {"mb version", "Read version failed!", "获取版本号失败！"},
        {"mb baud", "Set serial baud rate 115200 failed!", "设置串口波特率115200失败！"},
        {"mb address", "Configure Modbus address 3 failed!", "配置modbus地址3失败！"},
        {"mb sample rate", "Invalid sampling rate! The valid range is 1 to 10000!",
         "采样率设置错误！有效值区间为1~10000！"},
        {"connect", "Connected %1 115200", "连接成功 %1 115200"},
        {"no port", "Connection failed! No port chosen", "连接失败!未选择串口"},
        {"disconnect", "Disconnected", "断开成功"},
        {"empty image", "Upgrade failed! file is empty", "升级失败！文件为空"},
    };
    for (const auto &r : rows) {
        const QString en = QString::fromUtf8(r.english);
        const QString zh = QString::fromUtf8(r.chinese);
        QTest::addRow("English %s", r.action) << true << r.action << en << zh;
        QTest::addRow("Chinese %s", r.action) << false << r.action << zh << en;
    }
}

void tst_window_language::statusTextsReadRight()
{
    QFETCH(bool, english);
    QFETCH(QString, action);
    QFETCH(QString, expected);
    QFETCH(QString, other);
    if (english)
        ui()->radioButton_english->setChecked(true);
    // No box, but where the status text is a refusal also shown in a box.
    const auto invoke = [this](const char *slot, const QStringList &boxes = QStringList()) {
        ModalCatcher catcher;
        QVERIFY(QMetaObject::invokeMethod(window, slot));
        QVERIFY2(catcher.texts == boxes, qPrintable(catcher.texts.join(QLatin1Char('|'))));
    };
    sim::SimSensor sensor;
    if (action == QLatin1String("fog")) {
        ui()->comboBox_fog_feature->setCurrentIndex(2);
        invoke("on_pushButton_fog_feature_clicked");
    } else if (action == QLatin1String("save")) {
        invoke("on_pushButton_save_config_clicked");
    } else if (action == QLatin1String("baud")) {
        ui()->comboBox_seri_baud->setCurrentIndex(3);
        invoke("on_pushButton_baudrate_clicked");
    } else if (action == QLatin1String("trigger")) {
        invoke("on_pushButton_trig_clicked");
    } else if (action == QLatin1String("mb dist")) {
        invoke("on_pushButton_mb_read_dist_once_clicked");
    } else if (action == QLatin1String("mb version")) {
        invoke("on_pushButton_mb_get_version_clicked");
    } else if (action == QLatin1String("mb baud")) {
        ui()->comboBox_seri_baud_2->setCurrentIndex(1);
        invoke("on_pushButton_mb_baudrate_config_clicked");
    } else if (action == QLatin1String("mb address")) {
        ui()->spinBox_mb_dev_addr_2->setValue(3);
        invoke("on_pushButton_mb_addr_config_clicked");
    } else if (action == QLatin1String("mb sample rate")) {
        ui()->lineEdit_mb_fps->setText("0");
        invoke("on_pushButton_mb_set_fps_clicked");
    } else if (action == QLatin1String("connect")) {
        QVERIFY(sensor.start(10));
        const QString device = QString::fromStdString(sensor.devicePath());
        QVERIFY(probe().connectTo(device));
        expected = expected.arg(device);
    } else if (action == QLatin1String("no port")) {
        ui()->connectButton->click();
    } else if (action == QLatin1String("disconnect")) {
        QVERIFY(sensor.start(10));
        QVERIFY(probe().connectTo(QString::fromStdString(sensor.devicePath())));
        ui()->connectButton->click();
        QVERIFY(!probe().worker()->isPortOpen());
    } else if (action == QLatin1String("empty image")) {
        QTemporaryDir dir;
        QFile image(dir.filePath("empty.bin"));
        QVERIFY(image.open(QIODevice::WriteOnly));
        image.close();
        ui()->lineEdit_image_full_path->setText(image.fileName());
        invoke("on_pushButton_upgrade_clicked", QStringList{expected});
    }
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(ui()->statusBar->currentMessage(), expected);
    if (action == QLatin1String("connect")) {
        // Connected, the language cannot change.
        QVERIFY(!ui()->groupBox_langune->isEnabled());
    } else {
        (english ? ui()->radioButton_chinese : ui()->radioButton_english)->setChecked(true);
        QCOMPARE(ui()->statusBar->currentMessage(), other);
        (english ? ui()->radioButton_english : ui()->radioButton_chinese)->setChecked(true);
        QCOMPARE(ui()->statusBar->currentMessage(), expected);
    }
    probe().disconnectAndStop();
}

// The window on a 1024 x 600 panel, and at its minimum size, in either
// language: every text is shown whole. Each label, button, group box, combo
// box and tab on every page has at least the size its text asks for (its
// size hint); Qt would cut it short otherwise. The port chooser holds a
// simulated sensor's entry, the longest there is, and shows its name whole;
// connected, the button shows its other caption. The readouts and the link's
// counters show their widest values once the window has its size (as they
// would after running a while): a text that grows must not need a size the
// window no longer gives. With the command traffic panel open the window
// still fits the panel, the traffic panel lies on the screen, and no label of
// the chart is cut to "…".
void tst_window_language::nothingCutShort_data()
{
    QTest::addColumn<bool>("english");
    QTest::addColumn<bool>("minimum");
    QTest::addColumn<bool>("connected");
    QTest::addColumn<bool>("traffic");
    for (const bool english : {false, true}) {
        const char *language = english ? "English" : "Chinese";
        QTest::addRow("%s, 1024 x 600", language) << english << false << false << false;
        QTest::addRow("%s, minimum size", language) << english << true << false << false;
        QTest::addRow("%s, 1024 x 600, connected", language) << english << false << true << false;
        QTest::addRow("%s, minimum size, connected", language) << english << true << true << false;
        QTest::addRow("%s, 1024 x 600, traffic panel", language) << english << false << false << true;
        QTest::addRow("%s, 1024 x 600, connected, traffic panel", language) << english << false << true << true;
    }
}

void tst_window_language::nothingCutShort()
{
    QFETCH(bool, english);
    QFETCH(bool, minimum);
    QFETCH(bool, connected);
    QFETCH(bool, traffic);
    sim::SimSensor sensor;
    QVERIFY(sensor.start(100));
    sensor.setDistanceCm(65535);
    ui()->serialComboBox->showPopup();
    const int entry = ui()->serialComboBox->findData(QString::fromStdString(sensor.linkPath()));
    ui()->serialComboBox->hidePopup();
    QVERIFY(entry >= 0);
    ui()->serialComboBox->setCurrentIndex(entry);
    if (english)
        ui()->radioButton_english->setChecked(true);
    // The status bar's longest message.
    ui()->connectButton->click();
    receiver *worker = probe().worker();
    if (connected) {
        QVERIFY(worker->isPortOpen());
        QTRY_COMPARE(ui()->distLabel->text(), QString("655.35"));
        QTRY_VERIFY(ui()->freqLabel->text().toInt() > 0);
    } else {
        ui()->connectButton->click();
        QVERIFY(!worker->isPortOpen());
    }
    // From here on the test alone writes the readouts and the counters: the
    // window's refresh and the worker's once-a-second counts stop (the
    // worker's go on after a close), and what they sent before is taken now.
    probe().updateTimer()->stop();
    worker->runInWorkerThread([worker] { worker->freqTimer->stop(); });
    QCoreApplication::sendPostedEvents();
    if (traffic) {
        window->findChild<QAbstractButton *>("pushButton_show_traffic")->click();
        QTRY_VERIFY(window->findChild<QWidget *>("dockWidget_traffic")->isVisible());
    }

    window->resize(1024, 600);
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QApplication::processEvents();
    const QSize least = window->minimumSizeHint();
    QVERIFY2(least.width() <= 1024 && least.height() <= 600,
             qPrintable(QStringLiteral("minimum %1 x %2").arg(least.width()).arg(least.height())));
    if (minimum)
        window->resize(least);
    QTRY_COMPARE(window->size(), minimum ? least : QSize(1024, 600));

    // The widest values: 655.35 m (16 bits of centimetres), 11111 frames a
    // second (the line's limit), counts of 9,999,999 and an upgrade at 100 %.
    ui()->distLabel->setText(QStringLiteral("655.35"));
    ui()->freqLabel->setText(QStringLiteral("11111"));
    ui()->progressBar->setValue(100);
    LineHealth widest;
    widest.goodFrames = widest.badChecksums = widest.strayBytes = widest.resyncs = LinkPanel::kWidestExactCount;
    emit worker->signalLineHealth(widest);
    emit worker->signalReconnected(int(LinkPanel::kWidestExactCount), 0);
    const QString widestCount = LinkPanel::countText(LinkPanel::kWidestExactCount);
    for (const char *counter : {"label_good_frames", "label_bad_checksums", "label_stray_bytes", "label_resyncs",
                                "label_reconnect_count"})
        QTRY_COMPARE(window->findChild<QLabel *>(counter)->text(), widestCount);
    QCOMPARE(window->size(), minimum ? least : QSize(1024, 600));

    QStringList cut;
    const auto check = [&cut](const QWidget *w, const QSize &hint, const QString &what) {
        if (w->width() < hint.width() || w->height() < hint.height())
            cut << QStringLiteral("%1 \"%2\": %3 x %4 < %5 x %6").arg(w->objectName(), what).arg(w->width())
                       .arg(w->height()).arg(hint.width()).arg(hint.height());
    };
    QTabWidget *tabs = ui()->tabWidget_cmd;
    for (int page = 0; page < tabs->count(); ++page) {
        tabs->setCurrentIndex(page);
        window->layout()->activate();
        QApplication::processEvents();
        for (QWidget *w : window->findChildren<QWidget *>()) {
            if (!w->isVisible() || w->objectName().isEmpty() || w->objectName().startsWith(QLatin1String("qt_")))
                continue;
            // A label that wraps needs the height its lines take at its width.
            if (auto *label = qobject_cast<QLabel *>(w))
                check(w, label->wordWrap() ? QSize(0, label->heightForWidth(label->width())) : label->sizeHint(),
                      label->text());
            else if (auto *button = qobject_cast<QAbstractButton *>(w))
                check(w, button->sizeHint(), button->text());
            else if (auto *box = qobject_cast<QGroupBox *>(w))
                check(w, box->minimumSizeHint(), box->title());
            else if (auto *combo = qobject_cast<QComboBox *>(w))
                check(w, combo->minimumSizeHint(), combo->currentText());
            else if (auto *bar = qobject_cast<QProgressBar *>(w))
                check(w, QSize(bar->fontMetrics().horizontalAdvance(bar->text()), bar->minimumSizeHint().height()),
                      bar->text());
        }
        // The tabs side by side at their full width: none cut short, no
        // scroll buttons.
        QTabBar *bar = tabs->tabBar();
        if (bar->width() < bar->sizeHint().width())
            cut << QStringLiteral("tabs: %1 < %2").arg(bar->width()).arg(bar->sizeHint().width());
    }
    // The port chooser's text field holds the simulated sensor's whole name.
    myCombobox *ports = ui()->serialComboBox;
    QStyleOptionComboBox option;
    option.initFrom(ports);
    option.editable = ports->isEditable();
    option.currentText = ports->currentText();
    const QRect field = ports->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField,
                                                       ports);
    const QString name = QFileInfo(ports->currentData().toString()).fileName();
    if (field.width() < ports->fontMetrics().horizontalAdvance(name))
        cut << QStringLiteral("serialComboBox \"%1\": %2 < %3").arg(name).arg(field.width())
                   .arg(ports->fontMetrics().horizontalAdvance(name));
    // No label of the chart's axes is elided.
    for (QGraphicsItem *item : probe().chartView()->scene()->items()) {
        auto *text = dynamic_cast<QGraphicsTextItem *>(item);
        if (text && text->isVisible()
            && (text->toPlainText().contains(QChar(0x2026)) || text->toPlainText().contains(QLatin1String("..."))))
            cut << QStringLiteral("chart label \"%1\"").arg(text->toPlainText());
    }
    if (traffic) {
        // On the screen, whether docked or floating.
        auto *dock = window->findChild<QWidget *>("dockWidget_traffic");
        const QRect screen = window->screen()->availableGeometry();
        const QRect onScreen(dock->mapToGlobal(QPoint(0, 0)), dock->size());
        if (!screen.contains(onScreen))
            cut << QStringLiteral("dockWidget_traffic off the screen: %1,%2 %3 x %4")
                       .arg(onScreen.x()).arg(onScreen.y()).arg(onScreen.width()).arg(onScreen.height());
        for (const char *button : {"pushButton_traffic_copy_all", "pushButton_traffic_clear"}) {
            auto *b = window->findChild<QAbstractButton *>(button);
            const QRect r(b->mapToGlobal(QPoint(0, 0)), b->size());
            if (!b->isVisible() || !screen.contains(r))
                cut << QStringLiteral("%1 not on the screen").arg(button);
        }
    }
    cut.removeDuplicates();
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QLatin1Char('\n'))));
    // The chart takes the larger share of the width.
    QVERIFY(probe().chartView()->width() > tabs->width());
    probe().disconnectAndStop();
}

// Every field a number is typed into says in its tooltip what the number is
// and which range is accepted, in either language: for the command fields
// the range the command carries (the one the input check uses), for the
// spin boxes their own, for the others the window's.
void tst_window_language::inputTooltipsGiveRange_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("low");
    QTest::addColumn<QString>("high");
    using namespace settingstable;
    QStringList seen;
    for (const Setting *s = settingsBegin(); s != settingsEnd(); ++s) {
        for (int i = 0; i < s->numberCount; ++i) {
            const Number &n = s->numbers[i];
            const char *control = settingwidgets::widgetsOf(*s)->fields[i];
            if (seen.contains(QLatin1String(control)))
                continue;
            seen << QLatin1String(control);
            const QString high = n.hex ? QStringLiteral("0x") + QString::number(n.max, 16).toUpper()
                                       : QString::number(n.max);
            QTest::newRow(control) << QString::fromLatin1(control) << QString::number(n.min) << high;
        }
    }
    QTest::newRow("timeRangeEdit") << "timeRangeEdit" << "1" << "3600";
    QTest::newRow("baudrateComboBox") << "baudrateComboBox" << "1" << "2147483647";
    for (const char *spin : {"spinBox_dist_num", "spinBox_mb_dev_addr"})
        QTest::newRow(spin) << spin << QString() << QString();
}

void tst_window_language::inputTooltipsGiveRange()
{
    QFETCH(QString, field);
    QFETCH(QString, low);
    QFETCH(QString, high);
    QWidget *w = window->findChild<QWidget *>(field);
    QVERIFY(w);
    if (auto *spin = qobject_cast<QSpinBox *>(w)) {
        // A spin box's tooltip says its own range.
        if (!low.isEmpty()) {
            QCOMPARE(QString::number(spin->minimum()), low);
            QCOMPARE(QString::number(spin->maximum()), high);
        }
        low = QString::number(spin->minimum());
        high = QString::number(spin->maximum());
    }
    QVERIFY2(w->toolTip().endsWith(low + QStringLiteral("~") + high), qPrintable(w->toolTip()));
    ui()->radioButton_english->setChecked(true);
    QVERIFY2(w->toolTip().endsWith(low + QStringLiteral(" to ") + high), qPrintable(w->toolTip()));
    QVERIFY(!hasCjk(w->toolTip()));
}

// The dialogs Qt builds itself (choosing a file, a question's Yes and No)
// and the chart's axis titles speak the interface's language, also after
// switching back and forth.
void tst_window_language::qtOwnTextsFollowLanguage_data()
{
    QTest::addColumn<QStringList>("switches");
    QTest::addColumn<bool>("english");
    QTest::addColumn<QString>("timeAxis");
    QTest::addColumn<QString>("distanceAxis");
    QTest::newRow("Chinese at start") << QStringList() << false << "时间(s)" << "距离(m)";
    QTest::newRow("English") << QStringList{"en"} << true << "Time(s)" << "Distance(m)";
    QTest::newRow("English, then Chinese") << QStringList{"en", "zh"} << false << "时间(s)" << "距离(m)";
}

void tst_window_language::qtOwnTextsFollowLanguage()
{
    QFETCH(QStringList, switches);
    QFETCH(bool, english);
    QFETCH(QString, timeAxis);
    QFETCH(QString, distanceAxis);
    for (const QString &language : switches)
        (language == QLatin1String("en") ? ui()->radioButton_english : ui()->radioButton_chinese)->setChecked(true);

    QMessageBox question(QMessageBox::Question, window->windowTitle(), QStringLiteral("?"),
                         QMessageBox::Yes | QMessageBox::No);
    QFileDialog save(window, QStringLiteral("save"));
    save.setOption(QFileDialog::DontUseNativeDialog);
    save.setAcceptMode(QFileDialog::AcceptSave);
    QFileDialog open(window, QStringLiteral("open"));
    open.setOption(QFileDialog::DontUseNativeDialog);
    const QStringList texts = {
        question.button(QMessageBox::Yes)->text(), question.button(QMessageBox::No)->text(),
        save.labelText(QFileDialog::LookIn), save.labelText(QFileDialog::FileName),
        save.labelText(QFileDialog::FileType), save.labelText(QFileDialog::Accept),
        save.labelText(QFileDialog::Reject), open.labelText(QFileDialog::Accept)};
    for (const QString &text : texts) {
        QVERIFY(!text.isEmpty());
        QVERIFY2(hasCjk(text) != english, qPrintable(texts.join(QLatin1Char('|'))));
    }
    QCOMPARE(probe().axisX()->titleText(), timeAxis);
    QCOMPARE(probe().axisY()->titleText(), distanceAxis);
}

void tst_window_language::signalViewsKeepTheirChoices_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("items");
    QTest::newRow("spectrum window") << "comboBox_spectrum_window" << 4;
    QTest::newRow("spectrum scale") << "comboBox_spectrum_scale" << 2;
    QTest::newRow("spectrum source") << "comboBox_spectrum_source" << 2;
    QTest::newRow("histogram source") << "comboBox_histogram_source" << 2;
    QTest::newRow("capture edge") << "comboBox_capture_edge" << 3;
    QTest::newRow("capture mode") << "comboBox_capture_mode" << 3;
}

// Unlike the command lists, the analysis views' choices are the operator's
// way of looking: a new language renames them and changes none, and no view
// hears of a change it would act on (a spectrum started afresh, say).
void tst_window_language::signalViewsKeepTheirChoices()
{
    QFETCH(QString, box);
    QFETCH(int, items);
    auto *combo = window->findChild<QComboBox *>(box);
    QVERIFY(combo);
    QCOMPARE(combo->count(), items);
    combo->setCurrentIndex(items - 1);
    const QString chinese = combo->currentText();
    QSignalSpy changes(combo, QOverload<int>::of(&QComboBox::currentIndexChanged));
    ui()->radioButton_english->setChecked(true);
    QCOMPARE(combo->count(), items);
    QCOMPARE(combo->currentIndex(), items - 1);
    QVERIFY2(combo->currentText() != chinese && !hasCjk(combo->currentText()), qPrintable(combo->currentText()));
    QCOMPARE(changes.count(), 0);
    ui()->radioButton_chinese->setChecked(true);
    QCOMPARE(combo->currentText(), chinese);
    QCOMPARE(changes.count(), 0);
}

QTEST_MAIN(tst_window_language)
#include "tst_window_language.moc"
