// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMainWindow>
#include <QPointF>
#include <QString>
#include <QTextStream>
#include <QVector>
#include <cstdint>
#include <functional>

#include "chart_model.h"
#include "receiver.h"
#include "batch_stream.h"
#include "record_format.h"

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

class CurveItem;
class GridItem;
class QAbstractButton;
class QCheckBox;
class QDoubleSpinBox;
class QGraphicsEllipseItem;
class QLabel;
class QPushButton;
class QThread;
class QTimer;
class QTranslator;
class QWheelEvent;
class LinkPanel;
class SignalPanel;

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
    bool isRecording() const { return recording; }
    QString recordFileName() const { return recordFile.fileName(); }
    QString recordFolder() const { return dataPath; }
    unsigned int upgradeFrameLength() const { return upgrade_frame_length; }
    unsigned int upgradePayloadLength() const { return upgrade_payload_length; }

    // The chart's time range in seconds, as the operator sets it in the
    // time-range field; false (nothing changed) when it is refused.
    bool setTimeRange(int seconds);

    // The clock record files are named after (the wall clock by default).
    void setRecordClock(std::function<QDateTime()> clock) { recordClock = std::move(clock); }

    // What tests and tools driving the window replace: the steady clock the
    // chart's refresh decision reads (milliseconds); the dialogs of the chart
    // tools: where to save an export, which recording to replay and the line
    // rate of a plain one (suggested from its name and last write). An empty
    // name or a rate of 0 cancels.
    std::function<qint64()> chartClock;
    std::function<QString(const QString &caption, const QString &filter)> chooseSaveFile;
    std::function<QString(const QString &caption, const QString &filter)> chooseOpenFile;
    std::function<int(int suggested)> askReplayRate;

    // The chart tools: a zoom that holds (until "back to live"), statistics
    // of what is on screen, the replay of a recording, the record format.
    bool isZoomed() const { return zoomed; }
    void zoomTo(double min, double max);
    ChartStats visibleStats() const;
    bool openRecording(const QString &path);
    recordformat::Format recordingFormat() const { return recordFormat; }
    // Draws the curve's points (curve_item.h).
    const CurveItem *chartCurve() const { return curveItem; }

protected:
    void closeEvent(QCloseEvent *event) override;
    // The chart's mouse: wheel zoom and pan of the time axis, the value
    // under the cursor.
    bool eventFilter(QObject *watched, QEvent *event) override;


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
    void on_pushButton_upgrade_cancel_clicked();
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
    void showUpgrading(bool running);
    bool imageRefused(const QString &path, receiver::UpgradeFailure &reason) const;
    QString upgradeFailureText(receiver::UpgradeFailure reason, unsigned int frame) const;
    // A failure found before anything was sent (the file, a closed port).
    static bool isUpgradeRefusal(receiver::UpgradeFailure reason);
    void setUpgradeFrameLength(unsigned int frame, unsigned int payload);
    void refreshLanguageTexts();
    void fitCommandTabs();
    void fitTopStrip();
    bool switchLanguage(const QString &fileName, const QString &qtCatalog);
    QString selectImageFile();
    // `why`: the box's informative line (which field, what was typed, what it takes).
    void showWarning(const QString &text, const QString &why = QString());
    // A status text is kept as the way to compose it, so that a language
    // switch can show the last one again in the new language.
    using StatusText = std::function<QString()>;
    void showStatus(StatusText compose);
    void showOutcome(StatusText prefix, bool ok);
    static QString joinStatus(const QString &head, const QString &tail);

    // Parts of the constructor (mainwindow.cpp).
    void setUpWorker();
    void setUpChart();
    void fillChoiceLists();

    // Live display (live_display.cpp). Tests reach the marked ones through
    // the meta-object (QMetaObject::invokeMethod).
    Q_INVOKABLE void resetLiveDisplay();
    Q_INVOKABLE int chartRefreshInterval() const;
    Q_INVOKABLE bool chartRefreshPending() const;
    void scheduleChartRefresh();
    Q_INVOKABLE void refreshChart();
    // Forgets when the chart was last refreshed, as after a quiet spell.
    Q_INVOKABLE void forgetChartRefresh() { lastChartRefresh = -1; }
    void cancelChartRefresh();
    void showCurve(const QVector<QPointF> &points, double range);
    void drawCurve(const QVector<QPointF> &points, double range);
    void setUpChartTools();
    void setUpGrid();
    double plotWidth() const;
    void setAxis(QValueAxis *axis, double min, double max);
    void updateGrid();
    void fitChartHeight();
    void showReadoutStale(bool stale);
    void chartPlotAreaChanged();
    double alignedAxisStart(double start, double range, double width, int count) const;
    void applyYAxis(double dataMax);
    void applyShownYAxis(double dataMax);

    // Chart tools (chart_tools.cpp): a zoom that holds, the vertical range,
    // the value under the cursor, statistics of what is on screen, export.
    void setUpChartControls();
    void createChartControls();
    void connectChartControls();
    void setUpChartDialogs();
    void retranslateChartControls();
    // Keyboard shortcuts of the main actions (shortcuts.cpp).
    void setUpShortcuts();
    void retranslateShortcuts();
    QVector<QAbstractButton *> shortcutButtons() const;
    void chartXRangeChanged(double min, double max);
    void showZoomedChart(bool force);
    void backToLive();
    void yRangeChanged();
    void updateHover();
    void hideHover();
    void chartWheel(QWheelEvent *wheel);
    void updateStatistics();
    bool exportChartImage(const QString &path);
    bool exportVisibleCsv(const QString &path);
    void exportImageClicked();
    void exportCsvClicked();
    void exportWith(const char *title, const QString &filter, const QString &suffix,
                    bool (MainWindow::*write)(const QString &));
    void openRecordingClicked();
    void leaveRecording();
    void showLiveWindow();

    // Recording (recording.cpp)
    bool openRecordFile(const QString &stamp);
    void writeRecordLines(const QVector<uint16_t> &dist, int freq);

    friend class LinkPanel;   // the link's panel (app/link_panel.cpp) drives the connection

    LinkPanel *linkPanel = nullptr;
    // Every batch, numbered and timed, for the parts that analyse the raw
    // stream (spectrum, histogram, capture), and those parts.
    BatchStream batchStream;
    SignalPanel *signalPanel = nullptr;

    Ui::MainWindow *ui;
    QString serialSelected;
    receiver *worker;
    QThread *workerThread;
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
    QDir dataDir;
    QFile recordFile;
    QTextStream recordStream;
    QString dataPath;
    // The time a record file is named after (the wall clock; tests set it).
    std::function<QDateTime()> recordClock = [] { return QDateTime::currentDateTime(); };
    bool recording;
    // The record file's format (the operator's choice; plain by default) and
    // the time of a CSV recording.
    recordformat::Format recordFormat = recordformat::Format::Plain;
    recordformat::CsvClock recordCsvClock;
    int timeRange;
    unsigned int upgrade_frame_length;
    unsigned int upgrade_payload_length;
    bool upgradeRunning = false;
    // Why the transfer under way failed, once the worker said so.
    bool upgradeFailed = false;
    receiver::UpgradeFailure upgradeFailureReason = receiver::UpgradeFailure::Cancelled;
    unsigned int upgradeFailureFrame = 0;
    StatusText lastStatus;    // how the status bar's message was composed
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

    QTimer *chartRefreshTimer;
    // Milliseconds on a steady clock (tests set it), and when the chart last
    // took a picture (-1: not since a quiet spell).
    qint64 lastChartRefresh = -1;
    quint64 shownRevision;    // the model's revision the live chart shows
    CurveItem *curveItem = nullptr;  // draws the series' points (curve_item.h)
    GridItem *gridItem = nullptr;    // draws the axes' grid (grid_item.h)

    // The operator's zoom: the time range shown instead of the live window
    // (kept while data arrives, until "back to live").
    bool zoomed = false;
    double zoomMin = 0;
    double zoomMax = 10;
    // What the zoomed picture shows (first and last point drawn, how many,
    // the axes), so that a batch outside the range costs no picture.
    struct ZoomKey {
        double first = 0, last = 0, yTop = 0, width = 0, min = 0, max = 0;
        int count = -1;
        bool operator==(const ZoomKey &o) const
        {
            return first == o.first && last == o.last && yTop == o.yTop && width == o.width && min == o.min
                    && max == o.max && count == o.count;
        }
    } zoomShown;
    // The live axes when the picture was frozen, to go back to from a zoom.
    double frozenAxisMin = 0;
    double frozenAxisMax = 10;
    // The replayed recording's status text (empty when none is shown).
    StatusText replayStatus;
    bool settingAxes = false;          // the window itself sets the axes
    bool panning = false;
    QPoint panFrom;
    double panMin = 0, panMax = 0;
    QPoint hoverPos;                   // the cursor over the plot (viewport pixels)
    bool hovering = false;
    // The chart tools' widgets (chart_tools.cpp).
    QPushButton *liveViewButton = nullptr, *exportImageButton = nullptr, *exportCsvButton = nullptr,
                *openRecordingButton = nullptr;
    QCheckBox *autoScaleBox = nullptr, *recordCsvBox = nullptr;
    QLabel *yMinLabel = nullptr, *yMaxLabel = nullptr, *hoverLabel = nullptr, *statsLabel = nullptr;
    QDoubleSpinBox *yMinSpin = nullptr, *yMaxSpin = nullptr;
    QGraphicsEllipseItem *hoverMark = nullptr;
};

#endif // MAINWINDOW_H
