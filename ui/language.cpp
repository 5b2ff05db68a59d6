// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow.h"
#include "judge_panel.h"
#include "signal_panel.h"
#include "ui_mainwindow.h"

#include "chart_markers.h"
#include "chart_panel.h"
#include "link_panel.h"
#include "log_ui.h"
#include "remote_panel.h"
#include "zn84_version.h"

#include <QCoreApplication>
#include <QLabel>
#include <QStyle>
#include <QTabBar>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>
#include <QValueAxis>

// The built-in copies of the translation files live in a static library, so
// their resource must be registered explicitly.
static void registerTranslationResources()
{
    static const bool registered = [] {
        Q_INIT_RESOURCE(translations);
        return true;
    }();
    Q_UNUSED(registered);
}

void MainWindow::on_radioButton_chinese_toggled(bool checked)
{
    // Switching languages unchecks the other button; that notification is ignored.
    if (!checked)
        return;
    switchLanguage(QStringLiteral("language_CH.qm"), QStringLiteral("qtbase_zh_CN"));
}

void MainWindow::on_radioButton_english_toggled(bool checked)
{
    if (!checked)
        return;
    switchLanguage(QStringLiteral("language.qm"), QString());
}

// Where this Qt keeps its own translations (on Debian those of
// qttranslations5-l10n or qt6-translations-l10n).
static QString qtTranslationsPath()
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    return QLibraryInfo::path(QLibraryInfo::TranslationsPath);
#else
    return QLibraryInfo::location(QLibraryInfo::TranslationsPath);
#endif
}

// Loads a translation file into the one translator and re-captions the window.
// The file is taken from the working directory (".\name" on Windows), then
// from where an installation puts it beside the program, and otherwise from
// the copy built into the program, so that a viewer started from anywhere
// gets its texts and command lists. `qtCatalog` names Qt's own translation
// for the language (empty: Qt's English source texts).
bool MainWindow::switchLanguage(const QString &fileName, const QString &qtCatalog)
{
    // Non-null empty strings: load exactly this name, without the loader's
    // fallbacks (which could pick "language.qm" for a missing "language_CH.qm").
    const QString none = QStringLiteral("");
    registerTranslationResources();
    const QDir installed(QCoreApplication::applicationDirPath() + QLatin1Char('/')
                         + QStringLiteral(ZN84_TRANSLATIONS_FROM_BIN));
    const bool loaded =
            translator->load(QDir::current().absoluteFilePath(fileName), none, none, none)
            || translator->load(installed.absoluteFilePath(fileName), none, none, none)
            || translator->load(QStringLiteral(":/i18n/") + fileName, none, none, none);
    if (!loaded)
        return false;
    // Installed once, at the front of the application's translators.
    QCoreApplication::removeTranslator(translator);
    QCoreApplication::installTranslator(translator);
    // The dialogs Qt builds itself (choosing a file, the Yes and No of a
    // question) speak the interface's language too. Without the system's Qt
    // translations they stay in English; the window's own texts do not
    // depend on them.
    if (!qtTranslator)
        qtTranslator = new QTranslator(this);
    QCoreApplication::removeTranslator(qtTranslator);
    if (!qtCatalog.isEmpty()) {
        if (qtTranslator->load(qtCatalog, qtTranslationsPath()))
            QCoreApplication::installTranslator(qtTranslator);
        else
            qCDebug(lcUi) << "MainWindow: no Qt translation" << qtCatalog << "in" << qtTranslationsPath();
    }
    ui->retranslateUi(this);
    refreshLanguageTexts();
    if (linkPanel)
        linkPanel->retranslate();
    if (judgePanel)
        judgePanel->retranslate();
    if (signalPanel)
        signalPanel->retranslate();
    if (auto *remote = findChild<RemotePanel *>())
        remote->retranslate();
    return true;
}

// The command lists, the re-worded captions, the window title and the axis
// titles. The lists of choices come from the settings table with their wire
// values as item data, so a choice means the same in either language.
void MainWindow::refreshLanguageTexts()
{
    fillChoiceCombos();
    // The serial baud rates are typed numbers with a few offered.
    const auto fill = [](QComboBox *box, const QStringList &items) {
        box->clear();
        box->addItems(items);
        box->setEditable(true);
    };
    fill(ui->comboBox_seri_baud, {QString(), "4800", "9600", "115200", "460800", "921600", "1000000"});
    fill(ui->comboBox_seri_baud_2, {"9600", "115200", "460800"});

    ui->groupBox_seri_port->setTitle(tr("串口"));
    ui->label_portname->setText(tr("串口号"));
    ui->label_baudrate->setText(tr("波特率"));
    ui->connectButton->setText(tr("连接"));
    ui->groupBox_display->setTitle(tr("显示"));
    ui->label_Distance->setText(tr("距离:"));
    ui->label_freq->setText(tr("帧率:"));
    ui->groupBox_ctrl->setTitle(tr("控制"));
    ui->saveButton->setText(tr("录制"));
    ui->suspendButton->setText(tr("暂停"));
    ui->chartClearButton->setText(tr("清空图像"));
    ui->label_tim_range->setText(tr("时间范围:"));
    ui->label_distnum->setText(tr("测距数量:"));
    ui->groupBox_upgrade->setTitle(tr("升级"));
    ui->pushButton_browse->setText(tr("浏览"));
    ui->pushButton_upgrade->setText(tr("升级"));
    ui->pushButton_upgrade_cancel->setText(tr("取消"));
    ui->groupBox_langune->setTitle(tr("语言"));
    ui->radioButton_upgrade_can->setText(tr("CAN口"));
    ui->radioButton_upgrade_serial->setText(tr("串口"));
    ui->pushButton_version->setText(tr("读版本号"));
    ui->pushButton_full_version->setText(tr("读全版本号"));
    ui->pushButton_reset->setText(tr("复位"));
    ui->pushButton_trans->setText(tr("设置传输方式"));
    ui->pushButton_fps->setText(tr("设置帧率"));
    ui->pushButton_save_config->setText(tr("保存配置"));
    ui->pushButton_trig->setText(tr("单次触发"));
    ui->pushButton_output_format->setText(tr("设置输出格式"));
    ui->pushButton_baudrate->setText(tr("设置串口波特率"));
    ui->pushButton_output_enable->setText(tr("设置输出模式"));
    ui->pushButton_checksum->setText(tr("设置校验和"));
    ui->pushButton_fog_feature->setText(tr("设置雨雾算法"));
    ui->pushButton_gain_adjust->setText(tr("设置自动增益"));
    ui->pushButton_can_type->setText(tr("设置CAN帧类型"));
    ui->pushButton_can_baudrate->setText(tr("设置CAN波特率"));
    ui->pushButton_can_rcv_id->setText(tr("设置CAN接收ID"));
    ui->pushButton_can_snd_id->setText(tr("设置CAN发送ID"));
    ui->pushButton_ofs_config->setText(tr("设置测距偏移"));
    ui->pushButton_IO_level->setText(tr("设置IO电平"));
    ui->pushButton_IO_delay->setText(tr("设置触发延时"));
    ui->pushButton_dist_threshold->setText(tr("设置触发阈值"));
    ui->pushButton_recover_factory->setText(tr("恢复出厂设置"));
    ui->lineEdit_IO_delay_far->setPlaceholderText(tr("远"));
    ui->lineEdit_IO_delay_near->setPlaceholderText(tr("近"));
    ui->lineEdit_dist_threshold->setPlaceholderText(tr("阈值"));
    ui->lineEdit_dist_buffer->setPlaceholderText(tr("缓冲"));
    ui->pushButton_modbus_enable->setText(tr("使能modbus"));
    ui->label_modbus_dev_addr->setText(tr("设备地址"));

    // The form's text step put its own value in the field: it shows the
    // range in use.
    ui->timeRangeEdit->setText(QString::number(timeRange));
    // The readout's tooltip in the new language.
    ui->distLabel->setToolTip(QString());
    showReadoutStale(ui->distLabel->property("stale").toBool());
    // The form's text step put its own tooltip on the port chooser.
    showPortToolTip();
    // The last status message, composed again in the new language.
    statusLine->retranslate();
    fitCommandTabs();
    fitTopStrip();
    setWindowTitle(tr("ZN84 Viewer") + QStringLiteral(" V" ZN84_VERSION));
    axisX->setTitleText(tr("时间") + "(s)");
    axisY->setTitleText(tr("距离") + "(m)");
    chartPanel->retranslate();
    chartMarkers->retranslate();
    retranslateShortcuts();
}

// The command tabs take the width their captions and pages need in this
// language and no more; the chart takes the rest. Without a bound the tab
// widget took its preferred width, more than the chart got in English.
void MainWindow::fitCommandTabs()
{
    QTabWidget *tabs = ui->tabWidget_cmd;
    tabs->setMaximumWidth(QWIDGETSIZE_MAX);
    tabs->ensurePolished();
    const int captions = tabs->tabBar()->sizeHint().width() + 2 * tabs->style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
    tabs->setMaximumWidth(qMax(tabs->minimumSizeHint().width(), captions));
}

// The strip along the top keeps its width whether connected or not and
// whatever the readouts show: the connect button is as wide as its wider
// caption, each readout as wide as its widest value (655.35 m, the most 16
// bits of centimetres carry; 11111 frames a second, the line's limit).
// Otherwise connecting pushed the window past 1024 px in English.
void MainWindow::fitTopStrip()
{
    QPushButton *button = ui->connectButton;
    const QString shown = button->text();
    int widest = 0;
    for (const QString &caption : {tr("连接"), tr("断开")}) {
        button->setText(caption);
        widest = qMax(widest, button->sizeHint().width());
    }
    button->setText(shown);
    button->setMinimumWidth(widest);
    // As wide as a label of the readout's font needs for its widest value
    // (the advance of the digits alone is a pixel short with Qt 6).
    const auto widthFor = [](const QLabel *readout, const QString &widest) {
        QLabel sample(widest);
        sample.setFont(readout->font());
        return sample.sizeHint().width();
    };
    ui->distLabel->setMinimumWidth(widthFor(ui->distLabel, QStringLiteral("655.35")));
    ui->freqLabel->setMinimumWidth(widthFor(ui->freqLabel, QStringLiteral("11111")));
}
