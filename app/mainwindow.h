// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include <QDateTime>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QPointF>
#include <QString>
#include <QVector>
#include <cstdint>

#include "batch_stream.h"
#include "chart_model.h"
#include "receiver.h"
#include "recorder.h"
#include "status_line.h"

#include <QtCharts/QChartGlobal>

// Qt 5 keeps the chart classes in a namespace of their own, Qt 6 beside
// the rest of Qt.
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
QT_BEGIN_NAMESPACE
#else
QT_CHARTS_BEGIN_NAMESPACE
#endif
class QChartView;
class QChart;
class QLineSeries;
class QValueAxis;
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
QT_END_NAMESPACE
#else
QT_CHARTS_END_NAMESPACE
QT_CHARTS_USE_NAMESPACE
#endif

class BatchStream;
class ChartFiles;
class ChartMarkers;
class ChartPanel;
class QAbstractButton;
class QCheckBox;
class QThread;
class QTimer;
class QTranslator;
class LinkPanel;
class JudgePanel;
class WorkerSession;
class SignalPanel;
class UpgradeControls;

namespace settingstable {
struct Reading;
struct Setting;
struct Values;
}

namespace Ui {
class MainWindow;
}

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Orderly stop: close the port, quit the worker thread and wait for it.
    // Called when the window closes so the process exits without warnings.
    void shutdownWorker();

    // The live chart's state (time window, time cursor, live / suspended /
    // cleared), read-only.
    const ChartModel &chartModel() const { return liveChart; }

    // The window's state, read-only, for tools and tests.
    receiver *linkWorker() const { return worker; }
    QString selectedPort() const { return serialSelected; }
    int selectedBaudRate() const { return baudRate; }
    int timeRangeInUse() const { return timeRange; }
    double shownDistance() const { return currentDistance; }
    int latestFrameRate() const { return latestRate; }
    QVector<unsigned int> recentFrameRates() const { return rateHistory; }
    bool isRecording() const { return recorder->isRecording(); }
    QString recordFileName() const { return recorder->fileName(); }
    QString recordFolder() const { return recorder->folder(); }
    unsigned int upgradeFrameLength() const { return upgrade_frame_length; }
    unsigned int upgradePayloadLength() const { return upgrade_payload_length; }

    // The chart's time range in seconds, as the operator sets it in the
    // time-range field; false (nothing changed) when it is refused.
    bool setTimeRange(int seconds);

    // The record format (the operator's choice beside the chart tools).
    recordformat::Format recordingFormat() const { return recorder->format(); }

protected:
    void closeEvent(QCloseEvent *event) override;

private slots:
    // Connection panel
    void on_serialComboBox_currentIndexChanged(int index);
    void on_baudrateComboBox_currentTextChanged(QString arg1);
    void on_connectButton_clicked();

    // Live chart and readouts
    void on_timeRangeEdit_editingFinished();
    void on_suspendButton_clicked();
    void on_chartClearButton_clicked();
    void slotDisplay(QVector<uint16_t> _dist, int _freq);
    void slotDistUpdate();
    void on_spinBox_dist_num_valueChanged(int arg1);

    // Recording
    void on_saveButton_clicked();

    // Language
    void on_radioButton_chinese_toggled(bool checked);
    void on_radioButton_english_toggled(bool checked);

    // Sensor settings tab
    void on_pushButton_version_clicked();
    void on_pushButton_full_version_clicked();
    void on_pushButton_save_config_clicked();
    void on_pushButton_trig_clicked();
    void on_pushButton_fps_clicked();
    void on_pushButton_trans_clicked();
    void on_pushButton_output_format_clicked();
    void on_pushButton_baudrate_clicked();
    void on_pushButton_output_enable_clicked();
    void on_pushButton_checksum_clicked();
    void on_pushButton_fog_feature_clicked();
    void on_pushButton_dac_map_clicked();

    // CAN and IO tab
    void on_pushButton_reset_clicked();
    void on_pushButton_recover_factory_clicked();
    void on_pushButton_gain_adjust_clicked();
    void on_pushButton_can_type_clicked();
    void on_pushButton_can_baudrate_clicked();
    void on_pushButton_can_rcv_id_clicked();
    void on_pushButton_can_snd_id_clicked();
    void on_pushButton_ofs_config_clicked();
    void on_pushButton_IO_level_clicked();
    void on_pushButton_IO_delay_clicked();
    void on_pushButton_dist_threshold_clicked();

    // Modbus tab
    void on_pushButton_mb_read_dist_once_clicked();
    void on_pushButton_mb_save_config_clicked();
    void on_pushButton_mb_baudrate_config_clicked();
    void on_pushButton_mb_addr_config_clicked();
    void on_pushButton_modbus_disable_clicked();
    void on_pushButton_modbus_enable_clicked();
    void on_pushButton_mb_addr_clicked();
    void on_pushButton_mb_set_fps_clicked();
    void on_pushButton_mb_get_version_clicked();
    void on_pushButton_mb_shutdown_clicked();
    void on_pushButton_mb_reboot_clicked();

    // Firmware upgrade panel
    void on_pushButton_upgrade_clicked();
    void on_pushButton_browse_clicked();
    void on_radioButton_upgrade_serial_toggled(bool checked);
    void on_radioButton_upgrade_can_toggled(bool checked);
    void slotUpdateProcessbar(float value);
    void slotUpgradeFailed(receiver::UpgradeFailure reason, unsigned int frame);
    void slotUpgradeResult(bool result);

private:
    // Command pages on the settings table (table_commands.cpp)
    void fillChoiceCombos();
    void runTableButton(const QObject *button);
    void runSetting(const settingstable::Setting &s);
    bool readSettingValues(const settingstable::Setting &s, settingstable::Values &values, QString &typed);
    void refuseInput(const settingstable::Setting &s, const QStringList &texts);
    // A typed field's accepted values in the operator's words, e.g. "0~65535".
    static QString acceptedRange(int64_t min, int64_t max, bool hex = false);
    void runReading(const settingstable::Reading &r);
    uint8_t modbusAddress() const;

    bool confirm(const QString &question);
    void showConnected(bool connected);
    void showPortToolTip();
    // The operator's last choices (window_settings.cpp).
    void restoreSettings();
    void saveSettings() const;
    void setUpgradeFrameLength(unsigned int frame, unsigned int payload);
    void refreshLanguageTexts();
    void fitCommandTabs();
    void fitTopStrip();
    bool switchLanguage(const QString &fileName, const QString &qtCatalog);
    QString selectImageFile();
    // `why`: the box's informative line (which field, what was typed, what it takes).
    void showWarning(const QString &text, const QString &why = QString());
    // A status text is kept as the way to compose it (status_line.h).
    using StatusText = StatusLine::Compose;
    void showStatus(StatusText compose);
    void showOutcome(StatusText prefix, bool ok);
    static QString joinStatus(const QString &head, const QString &tail) { return StatusLine::join(head, tail); }

    // Parts of the constructor (mainwindow.cpp).
    void setUpWorker();
    void setUpChart();
    void fillChoiceLists();

    // Live display (live_display.cpp). Tests reach the marked one through
    // the meta-object (QMetaObject::invokeMethod).
    Q_INVOKABLE void resetLiveDisplay();
    void showReadoutStale(bool stale);

    // Keyboard shortcuts of the main actions (shortcuts.cpp).
    void setUpShortcuts();
    void retranslateShortcuts();
    QVector<QAbstractButton *> shortcutButtons() const;


    LinkPanel *linkPanel = nullptr;
    StatusLine *statusLine = nullptr;
    JudgePanel *judgePanel = nullptr;   // the judge's dock
    SignalPanel *signalPanel = nullptr;   // the spectrum, histogram and capture docks

    Ui::MainWindow *ui;
    QString serialSelected;
    // The worker's lifecycle (session/worker_session.h); `worker` and
    // `workerThread` are its, not the window's.
    WorkerSession *session = nullptr;
    receiver *worker;
    QThread *workerThread;
    // The numbered batches of the measurement stream; the chart model and the
    // recorder listen to it.
    BatchStream *batches = nullptr;
    Recorder *recorder = nullptr;
    QChartView *chartView;
    QChart *chart;
    QLineSeries *series;
    QValueAxis *axisX;
    QValueAxis *axisY;
    ChartModel liveChart;
    QTimer *updateTimer;
    int baudRate;
    double currentDistance;
    int latestRate;
    int timeRange;
    unsigned int upgrade_frame_length;
    unsigned int upgrade_payload_length;
    UpgradeControls *upgradeControls = nullptr; // refusals, cancel, the lock while a transfer runs
    QTranslator *translator;
    // Qt's own texts (file dialogs, message box buttons) in the interface's
    // language; made on first use.
    QTranslator *qtTranslator = nullptr;
    QVector<unsigned int> rateHistory;
    int rateHistoryPos;

    bool timeRangeBoxOpen;    // a time-range warning is on screen

    // At a fast line the batches come far more often than a screen can show
    // them: the chart takes the newest picture at most once per refresh
    // interval; a batch that comes after a quiet spell is shown at once.
    // Since the last batch with frames; after a second without one the
    // readouts say their value is old.
    QElapsedTimer lastBatchClock;
    static constexpr int kStaleAfterMs = 1000;

    // The chart's display and tools under it (chart_panel.h), the export and
    // replay (chart_files.h), and the record format's switch among them.
    ChartPanel *chartPanel = nullptr;
    ChartFiles *chartFiles = nullptr;
    ChartMarkers *chartMarkers = nullptr;
    QCheckBox *recordCsvBox = nullptr;
};

#endif // MAINWINDOW_H
