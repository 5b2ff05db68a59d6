// The main window as built at start-up: the widget tree of the form, the
// values the constructor sets, the slots bound by name, the worker thread and
// an orderly shut-down.

#include "mainwindow.h"
#include "modalcatcher.h"
#include "receiver.h"
#include "windowprobe.h"

#include <QApplication>
#include <QChart>
#include <QGridLayout>
#include <QLegend>
#include <QMetaMethod>
#include <QProgressBar>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QThread>
#include <QTimer>
#include <QtTest>

class tst_window_spine : public QObject
{
    Q_OBJECT

private:
    MainWindow *window = nullptr;
    QByteArray windowFor;   // the test function the window was made for
    Ui::MainWindow *ui() const { return WindowProbe(*window).ui(); }
    WindowProbe probe() const { return WindowProbe(*window); }
    template <typename T = QWidget> T *child(const QString &name) const
    {
        return window->findChild<T *>(name);
    }

private slots:
    // The tables that only read the form (placement, order, sizes, fonts,
    // ranges) share one window across their rows; every other test gets a
    // fresh one.
    static bool readsOnly(const char *function)
    {
        static const QByteArrayList tables = {"widgetPlacement", "creationOrder", "sizeLimits",
                                              "fontSizes", "spinBoxRanges"};
        return tables.contains(QByteArray(function));
    }
    void init()
    {
        const QByteArray function = QTest::currentTestFunction();
        if (window && readsOnly(function) && function == windowFor)
            return;
        delete window;
        window = new MainWindow;
        window->show();
        windowFor = function;
    }
    void cleanup()
    {
        if (readsOnly(QTest::currentTestFunction()))
            return;
        delete window;
        window = nullptr;
    }
    void cleanupTestCase()
    {
        delete window;
        window = nullptr;
    }

    void widgetPlacement_data();
    void widgetPlacement();
    void creationOrder_data();
    void creationOrder();
    void sizeLimits_data();
    void sizeLimits();
    void fontSizes_data();
    void fontSizes();
    void spinBoxRanges_data();
    void spinBoxRanges();
    void windowAndForm();
    void tabPages();
    void initialState();
    void initialLists();
    void chartAtStart();
    void slotsAreBound();
    void baudRateFollowsTheBox_data();
    void baudRateFollowsTheBox();
    void connectWithoutPortFails();
    void closeStopsWorker();
};

// Object name, class, parent widget, layout, row, column, row span, column span.
void tst_window_spine::widgetPlacement_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("cls");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QString>("layout");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("col");
    QTest::addColumn<int>("rowSpan");
    QTest::addColumn<int>("colSpan");

    struct Row { const char *name, *cls, *parent, *layout; int r, c, rs, cs; };
    const Row rows[] = {
        {"groupBox_seri_port", "QGroupBox", "centralWidget", "gridLayout_5", 0, 0, 2, 1},
        {"groupBox_langune", "QGroupBox", "centralWidget", "gridLayout_5", 0, 1, 1, 1},
        {"groupBox_display", "QGroupBox", "centralWidget", "gridLayout_5", 2, 0, 1, 1},
        {"groupBox_ctrl", "QGroupBox", "centralWidget", "gridLayout_5", 3, 0, 1, 1},
        {"groupBox_upgrade", "QGroupBox", "centralWidget", "gridLayout_5", 4, 0, 1, 1},
        {"tabWidget_cmd", "QTabWidget", "centralWidget", "gridLayout_5", 1, 1, 4, 1},
        {"label_portname", "QLabel", "groupBox_seri_port", "gridLayout_2", 0, 0, 1, 1},
        {"serialComboBox", "myCombobox", "groupBox_seri_port", "gridLayout_2", 0, 1, 1, 1},
        {"label_baudrate", "QLabel", "groupBox_seri_port", "gridLayout_2", 1, 0, 1, 1},
        {"baudrateComboBox", "QComboBox", "groupBox_seri_port", "gridLayout_2", 1, 1, 1, 1},
        {"connectButton", "QPushButton", "groupBox_seri_port", "gridLayout_2", 2, 0, 1, 2},
        {"label_Distance", "QLabel", "groupBox_display", "gridLayout_3", 0, 0, 1, 1},
        {"distLabel", "QLabel", "groupBox_display", "gridLayout_3", 0, 1, 1, 1},
        {"label_m", "QLabel", "groupBox_display", "gridLayout_3", 0, 2, 1, 1},
        {"label_freq", "QLabel", "groupBox_display", "gridLayout_3", 1, 0, 1, 1},
        {"freqLabel", "QLabel", "groupBox_display", "gridLayout_3", 1, 1, 1, 1},
        {"label_Hz", "QLabel", "groupBox_display", "gridLayout_3", 1, 2, 1, 1},
        {"radioButton_chinese", "QRadioButton", "groupBox_langune", "gridLayout_7", 1, 0, 1, 1},
        {"radioButton_english", "QRadioButton", "groupBox_langune", "gridLayout_7", 1, 1, 1, 1},
        {"suspendButton", "QPushButton", "groupBox_ctrl", "gridLayout", 0, 2, 1, 2},
        {"chartClearButton", "QPushButton", "groupBox_ctrl", "gridLayout", 1, 0, 1, 4},
        {"label_tim_range", "QLabel", "groupBox_ctrl", "gridLayout", 2, 0, 1, 2},
        {"timeRangeEdit", "QLineEdit", "groupBox_ctrl", "gridLayout", 2, 2, 1, 1},
        {"label_s", "QLabel", "groupBox_ctrl", "gridLayout", 2, 3, 1, 1},
        {"saveButton", "QPushButton", "groupBox_ctrl", "gridLayout", 0, 0, 1, 2},
        {"label_distnum", "QLabel", "groupBox_ctrl", "gridLayout", 3, 0, 1, 2},
        {"spinBox_dist_num", "QSpinBox", "groupBox_ctrl", "gridLayout", 3, 2, 1, 2},
        {"radioButton_upgrade_serial", "QRadioButton", "groupBox_upgrade", "gridLayout_4", 0, 0, 1, 2},
        {"radioButton_upgrade_can", "QRadioButton", "groupBox_upgrade", "gridLayout_4", 0, 2, 1, 1},
        {"lineEdit_image_full_path", "QLineEdit", "groupBox_upgrade", "gridLayout_4", 1, 0, 1, 3},
        {"pushButton_browse", "QPushButton", "groupBox_upgrade", "gridLayout_4", 2, 0, 1, 1},
        {"pushButton_upgrade", "QPushButton", "groupBox_upgrade", "gridLayout_4", 2, 1, 1, 1},
        {"pushButton_upgrade_cancel", "QPushButton", "groupBox_upgrade", "gridLayout_4", 2, 2, 1, 1},
        {"progressBar", "QProgressBar", "groupBox_upgrade", "gridLayout_4", 3, 0, 1, 3},
        {"groupBox_cmd1", "QGroupBox", "tab", "gridLayout_10", 0, 0, 1, 1},
        {"groupBox_cmd2", "QGroupBox", "tab_2", "gridLayout_8", 0, 0, 1, 1},
        {"groupBox", "QGroupBox", "tab_3", "gridLayout_12", 1, 0, 1, 2},
        {"groupBox_modbus_2", "QGroupBox", "tab_3", "gridLayout_12", 3, 0, 1, 2},
        {"pushButton_version", "QPushButton", "groupBox_cmd1", "gridLayout_6", 0, 0, 1, 1},
        {"pushButton_full_version", "QPushButton", "groupBox_cmd1", "gridLayout_6", 0, 1, 1, 1},
        {"pushButton_save_config", "QPushButton", "groupBox_cmd1", "gridLayout_6", 1, 0, 1, 1},
        {"pushButton_trig", "QPushButton", "groupBox_cmd1", "gridLayout_6", 1, 1, 1, 1},
        {"comboBox_fps_set", "QComboBox", "groupBox_cmd1", "gridLayout_6", 2, 0, 1, 1},
        {"pushButton_fps", "QPushButton", "groupBox_cmd1", "gridLayout_6", 2, 1, 1, 1},
        {"comboBox_lidar_trans", "QComboBox", "groupBox_cmd1", "gridLayout_6", 3, 0, 1, 1},
        {"pushButton_trans", "QPushButton", "groupBox_cmd1", "gridLayout_6", 3, 1, 1, 1},
        {"comboBox_output_format", "QComboBox", "groupBox_cmd1", "gridLayout_6", 4, 0, 1, 1},
        {"pushButton_output_format", "QPushButton", "groupBox_cmd1", "gridLayout_6", 4, 1, 1, 1},
        {"comboBox_seri_baud", "QComboBox", "groupBox_cmd1", "gridLayout_6", 5, 0, 1, 1},
        {"pushButton_baudrate", "QPushButton", "groupBox_cmd1", "gridLayout_6", 5, 1, 1, 1},
        {"comboBox_output_enable", "QComboBox", "groupBox_cmd1", "gridLayout_6", 6, 0, 1, 1},
        {"pushButton_output_enable", "QPushButton", "groupBox_cmd1", "gridLayout_6", 6, 1, 1, 1},
        {"comboBox_checksum", "QComboBox", "groupBox_cmd1", "gridLayout_6", 7, 0, 1, 1},
        {"pushButton_checksum", "QPushButton", "groupBox_cmd1", "gridLayout_6", 7, 1, 1, 1},
        {"comboBox_fog_feature", "QComboBox", "groupBox_cmd1", "gridLayout_6", 8, 0, 1, 1},
        {"pushButton_fog_feature", "QPushButton", "groupBox_cmd1", "gridLayout_6", 8, 1, 1, 1},
        {"comboBox_dac_map", "QComboBox", "groupBox_cmd1", "gridLayout_6", 9, 0, 1, 1},
        {"pushButton_dac_map", "QPushButton", "groupBox_cmd1", "gridLayout_6", 9, 1, 1, 1},
        {"pushButton_can_rcv_id", "QPushButton", "groupBox_cmd2", "gridLayout_9", 5, 2, 1, 1},
        {"pushButton_can_type", "QPushButton", "groupBox_cmd2", "gridLayout_9", 3, 2, 1, 1},
        {"pushButton_can_baudrate", "QPushButton", "groupBox_cmd2", "gridLayout_9", 4, 2, 1, 1},
        {"comboBox_can_baudrate", "QComboBox", "groupBox_cmd2", "gridLayout_9", 4, 0, 1, 2},
        {"lineEdit_can_snd_id", "QLineEdit", "groupBox_cmd2", "gridLayout_9", 6, 0, 1, 2},
        {"pushButton_ofs_config", "QPushButton", "groupBox_cmd2", "gridLayout_9", 7, 2, 1, 1},
        {"lineEdit_can_rcv_id", "QLineEdit", "groupBox_cmd2", "gridLayout_9", 5, 0, 1, 2},
        {"pushButton_can_snd_id", "QPushButton", "groupBox_cmd2", "gridLayout_9", 6, 2, 1, 1},
        {"lineEdit_ofs_config", "QLineEdit", "groupBox_cmd2", "gridLayout_9", 7, 0, 1, 2},
        {"lineEdit_IO_delay_near", "QLineEdit", "groupBox_cmd2", "gridLayout_9", 9, 0, 1, 1},
        {"lineEdit_dist_buffer", "QLineEdit", "groupBox_cmd2", "gridLayout_9", 10, 1, 1, 1},
        {"lineEdit_dist_threshold", "QLineEdit", "groupBox_cmd2", "gridLayout_9", 10, 0, 1, 1},
        {"pushButton_dist_threshold", "QPushButton", "groupBox_cmd2", "gridLayout_9", 10, 2, 1, 1},
        {"lineEdit_IO_delay_far", "QLineEdit", "groupBox_cmd2", "gridLayout_9", 9, 1, 1, 1},
        {"pushButton_IO_level", "QPushButton", "groupBox_cmd2", "gridLayout_9", 1, 2, 1, 1},
        {"pushButton_IO_delay", "QPushButton", "groupBox_cmd2", "gridLayout_9", 9, 2, 1, 1},
        {"comboBox_io_level", "QComboBox", "groupBox_cmd2", "gridLayout_9", 1, 0, 1, 2},
        {"comboBox_can_type", "QComboBox", "groupBox_cmd2", "gridLayout_9", 3, 0, 1, 2},
        {"pushButton_gain_adjust", "QPushButton", "groupBox_cmd2", "gridLayout_9", 0, 2, 1, 1},
        {"comboBox_gain_adjust", "QComboBox", "groupBox_cmd2", "gridLayout_9", 0, 0, 1, 2},
        {"pushButton_reset", "QPushButton", "groupBox_cmd2", "gridLayout_9", 11, 2, 1, 1},
        {"pushButton_recover_factory", "QPushButton", "groupBox_cmd2", "gridLayout_9", 11, 0, 1, 2},
        {"spinBox_mb_dev_addr_3", "QSpinBox", "groupBox", "gridLayout_13", 1, 0, 1, 1},
        {"pushButton_mb_addr", "QPushButton", "groupBox", "gridLayout_13", 1, 1, 1, 1},
        {"pushButton_modbus_enable", "QPushButton", "groupBox", "gridLayout_13", 0, 0, 1, 2},
        {"pushButton_mb_save_config", "QPushButton", "groupBox_modbus_2", "gridLayout_11", 4, 0, 1, 3},
        {"pushButton_mb_reboot", "QPushButton", "groupBox_modbus_2", "gridLayout_11", 6, 2, 1, 1},
        {"pushButton_mb_shutdown", "QPushButton", "groupBox_modbus_2", "gridLayout_11", 6, 1, 1, 1},
        {"pushButton_modbus_disable", "QPushButton", "groupBox_modbus_2", "gridLayout_11", 6, 0, 1, 1},
        {"pushButton_mb_get_version", "QPushButton", "groupBox_modbus_2", "gridLayout_11", 5, 2, 1, 1},
        {"spinBox_mb_dev_addr", "QSpinBox", "groupBox_modbus_2", "gridLayout_11", 0, 1, 1, 1},
        {"label_modbus_dev_addr", "QLabel", "groupBox_modbus_2", "gridLayout_11", 0, 0, 1, 1},
        {"pushButton_mb_read_dist_once", "QPushButton", "groupBox_modbus_2", "gridLayout_11", 5, 0, 1, 1},
        {"comboBox_seri_baud_2", "QComboBox", "groupBox_modbus_2", "gridLayout_11", 1, 0, 1, 1},
        {"spinBox_mb_dev_addr_2", "QSpinBox", "groupBox_modbus_2", "gridLayout_11", 2, 0, 1, 1},
        {"pushButton_mb_baudrate_config", "QPushButton", "groupBox_modbus_2", "gridLayout_11", 1, 1, 1, 2},
        {"pushButton_mb_addr_config", "QPushButton", "groupBox_modbus_2", "gridLayout_11", 2, 1, 1, 2},
        {"lineEdit_mb_fps", "QLineEdit", "groupBox_modbus_2", "gridLayout_11", 3, 0, 1, 1},
        {"pushButton_mb_set_fps", "QPushButton", "groupBox_modbus_2", "gridLayout_11", 3, 1, 1, 2},
    };
    for (const Row &r : rows)
        QTest::newRow(r.name) << r.name << r.cls << r.parent << r.layout << r.r << r.c << r.rs << r.cs;
}

void tst_window_spine::widgetPlacement()
{
    QFETCH(QString, name);
    QFETCH(QString, cls);
    QFETCH(QString, parent);
    QFETCH(QString, layout);
    QFETCH(int, row);
    QFETCH(int, col);
    QFETCH(int, rowSpan);
    QFETCH(int, colSpan);

    QWidget *w = child(name);
    QVERIFY2(w, qPrintable(name));
    QCOMPARE(QString(w->metaObject()->className()), cls);
    QVERIFY(w->parentWidget());
    QCOMPARE(w->parentWidget()->objectName(), parent);

    auto *grid = window->findChild<QGridLayout *>(layout);
    QVERIFY2(grid, qPrintable(layout));
    QCOMPARE(grid->parentWidget(), w->parentWidget());
    const int index = grid->indexOf(w);
    QVERIFY(index >= 0);
    int r = -1, c = -1, rs = -1, cs = -1;
    grid->getItemPosition(index, &r, &c, &rs, &cs);
    QCOMPARE(r, row);
    QCOMPARE(c, col);
    QCOMPARE(rs, rowSpan);
    QCOMPARE(cs, colSpan);
    QCOMPARE(grid->itemAt(index)->alignment(), Qt::Alignment());
}

// Creation order is the keyboard focus order: the widget children of each box
// come in the order of the form's tables.
void tst_window_spine::creationOrder_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QStringList>("children");
    QTest::newRow("groupBox_seri_port") << "groupBox_seri_port"
        << QStringList{"label_portname", "serialComboBox", "label_baudrate", "baudrateComboBox", "connectButton"};
    QTest::newRow("groupBox_ctrl") << "groupBox_ctrl"
        << QStringList{"suspendButton", "chartClearButton", "label_tim_range", "timeRangeEdit", "label_s",
                       "saveButton", "label_distnum", "spinBox_dist_num"};
    QTest::newRow("groupBox_cmd2") << "groupBox_cmd2"
        << QStringList{"pushButton_can_rcv_id", "pushButton_can_type", "pushButton_can_baudrate",
                       "comboBox_can_baudrate", "lineEdit_can_snd_id", "pushButton_ofs_config",
                       "lineEdit_can_rcv_id", "pushButton_can_snd_id", "lineEdit_ofs_config",
                       "lineEdit_IO_delay_near", "lineEdit_dist_buffer", "lineEdit_dist_threshold",
                       "pushButton_dist_threshold", "lineEdit_IO_delay_far", "pushButton_IO_level",
                       "pushButton_IO_delay", "comboBox_io_level", "comboBox_can_type",
                       "pushButton_gain_adjust", "comboBox_gain_adjust", "pushButton_reset",
                       "pushButton_recover_factory"};
    QTest::newRow("groupBox_modbus_2") << "groupBox_modbus_2"
        << QStringList{"pushButton_mb_save_config", "pushButton_mb_reboot", "pushButton_mb_shutdown",
                       "pushButton_modbus_disable", "pushButton_mb_get_version", "spinBox_mb_dev_addr",
                       "label_modbus_dev_addr", "pushButton_mb_read_dist_once", "comboBox_seri_baud_2",
                       "spinBox_mb_dev_addr_2", "pushButton_mb_baudrate_config", "pushButton_mb_addr_config",
                       "lineEdit_mb_fps", "pushButton_mb_set_fps"};
    QTest::newRow("centralWidget") << "centralWidget"
        << QStringList{"groupBox_seri_port", "groupBox_display", "groupBox_langune", "groupBox_ctrl",
                       "groupBox_upgrade", "tabWidget_cmd", "chartView"};
}

void tst_window_spine::creationOrder()
{
    QFETCH(QString, box);
    QFETCH(QStringList, children);
    QWidget *parent = child(box);
    QVERIFY(parent);
    QStringList seen;
    for (QObject *o : parent->children()) {
        if (o->isWidgetType() && !o->objectName().isEmpty() && !o->objectName().startsWith("qt_"))
            seen << o->objectName();
    }
    QCOMPARE(seen, children);
}

void tst_window_spine::sizeLimits_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("minimum");
    QTest::addColumn<QSize>("maximum");
    const int M = QWIDGETSIZE_MAX;
    QTest::newRow("groupBox_seri_port") << "groupBox_seri_port" << QSize(0, 0) << QSize(220, M);
    QTest::newRow("groupBox_langune") << "groupBox_langune" << QSize(0, 60) << QSize(M, 60);
    QTest::newRow("groupBox_display") << "groupBox_display" << QSize(0, 0) << QSize(220, M);
    QTest::newRow("groupBox_ctrl") << "groupBox_ctrl" << QSize(0, 0) << QSize(220, M);
    QTest::newRow("groupBox_upgrade") << "groupBox_upgrade" << QSize(0, 0) << QSize(220, M);
    QTest::newRow("tabWidget_cmd") << "tabWidget_cmd" << QSize(0, 0) << QSize(400, M);
    QTest::newRow("timeRangeEdit") << "timeRangeEdit" << QSize(0, 0) << QSize(80, M);
    QTest::newRow("groupBox_cmd1") << "groupBox_cmd1" << QSize(0, 0) << QSize(400, M);
    QTest::newRow("groupBox_cmd2") << "groupBox_cmd2" << QSize(0, 0) << QSize(400, M);
    QTest::newRow("groupBox_modbus_2") << "groupBox_modbus_2" << QSize(0, 0) << QSize(M, M);
    QTest::newRow("pushButton_mb_reboot") << "pushButton_mb_reboot" << QSize(0, 0) << QSize(110, M);
    QTest::newRow("pushButton_mb_shutdown") << "pushButton_mb_shutdown" << QSize(0, 0) << QSize(110, M);
    QTest::newRow("pushButton_modbus_disable") << "pushButton_modbus_disable" << QSize(0, 0) << QSize(110, M);
    QTest::newRow("pushButton_mb_get_version") << "pushButton_mb_get_version" << QSize(0, 0) << QSize(110, M);
    QTest::newRow("pushButton_mb_read_dist_once") << "pushButton_mb_read_dist_once" << QSize(0, 0) << QSize(110, M);
    QTest::newRow("lineEdit_mb_fps") << "lineEdit_mb_fps" << QSize(0, 0) << QSize(110, M);
    QTest::newRow("pushButton_mb_save_config") << "pushButton_mb_save_config" << QSize(0, 0) << QSize(M, M);
}

void tst_window_spine::sizeLimits()
{
    QFETCH(QString, name);
    QFETCH(QSize, minimum);
    QFETCH(QSize, maximum);
    QWidget *w = child(name);
    QVERIFY(w);
    QCOMPARE(w->minimumSize(), minimum);
    QCOMPARE(w->maximumSize(), maximum);
}

void tst_window_spine::fontSizes_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("pointSize");
    for (const char *n : {"serialComboBox", "baudrateComboBox", "distLabel", "freqLabel", "timeRangeEdit"})
        QTest::newRow(n) << n << 10;
    for (const char *n : {"label_portname", "label_baudrate", "connectButton", "label_Distance", "label_m",
                          "label_freq", "label_Hz", "suspendButton", "chartClearButton", "label_tim_range",
                          "saveButton", "label_s", "label_distnum", "spinBox_dist_num", "groupBox_cmd1",
                          "pushButton_dac_map", "tabWidget_cmd"})
        QTest::newRow(n) << n << 11;
}

void tst_window_spine::fontSizes()
{
    QFETCH(QString, name);
    QFETCH(int, pointSize);
    QWidget *w = child(name);
    QVERIFY(w);
    QCOMPARE(w->font().pointSize(), pointSize);
}

void tst_window_spine::spinBoxRanges_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("minimum");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("value");
    QTest::newRow("spinBox_dist_num") << "spinBox_dist_num" << 1 << 1000 << 10;
    QTest::newRow("spinBox_mb_dev_addr") << "spinBox_mb_dev_addr" << 0 << 247 << 1;
    QTest::newRow("spinBox_mb_dev_addr_2") << "spinBox_mb_dev_addr_2" << 1 << 247 << 1;
    QTest::newRow("spinBox_mb_dev_addr_3") << "spinBox_mb_dev_addr_3" << 1 << 247 << 1;
}

void tst_window_spine::spinBoxRanges()
{
    QFETCH(QString, name);
    QFETCH(int, minimum);
    QFETCH(int, maximum);
    QFETCH(int, value);
    auto *box = child<QSpinBox>(name);
    QVERIFY(box);
    QCOMPARE(box->minimum(), minimum);
    QCOMPARE(box->maximum(), maximum);
    QCOMPARE(box->value(), value);
}

void tst_window_spine::windowAndForm()
{
    QCOMPARE(window->objectName(), QString("MainWindow"));
    // The layout raises the minimum height once shown; the width is the form's.
    QCOMPARE(window->minimumWidth(), 1000);
    QCOMPARE(window->sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);
    QCOMPARE(window->sizePolicy().verticalPolicy(), QSizePolicy::Expanding);
    QCOMPARE(window->font().pointSize(), 11);
    QCOMPARE(window->centralWidget(), child("centralWidget"));
    QCOMPARE(window->centralWidget()->sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);
    QCOMPARE(window->statusBar(), child<QStatusBar>("statusBar"));
    QCOMPARE(window->windowTitle(), QString("ZN84 Viewer V3.0.3"));

    auto *grid5 = window->findChild<QGridLayout *>("gridLayout_5");
    QVERIFY(grid5);
    QCOMPARE(grid5->spacing(), 6);
    QCOMPARE(grid5->contentsMargins(), QMargins(11, 11, 11, 11));
    for (const char *name : {"gridLayout", "gridLayout_2", "gridLayout_3", "gridLayout_4", "gridLayout_6",
                             "gridLayout_7", "gridLayout_8", "gridLayout_9", "gridLayout_10", "gridLayout_11",
                             "gridLayout_12", "gridLayout_13"}) {
        auto *g = window->findChild<QGridLayout *>(name);
        QVERIFY2(g, name);
        QCOMPARE(g->spacing(), 6);
        QCOMPARE(g->contentsMargins(), QMargins(11, 11, 11, 11));
    }

    // The chart view sits alone in the display layout, which spans the right column.
    auto *display = window->findChild<QVBoxLayout *>("dispalyLayout");
    QVBoxLayout *layout = display;
    QVERIFY(layout);
    QCOMPARE(layout->spacing(), 6);
    QCOMPARE(layout->count(), 1);
    QCOMPARE(layout->itemAt(0)->widget(), static_cast<QWidget *>(probe().chartView()));
    int r, c, rs, cs;
    grid5->getItemPosition(grid5->indexOf(layout), &r, &c, &rs, &cs);
    QCOMPARE(QList<int>({r, c, rs, cs}), QList<int>({0, 2, 5, 1}));

    // The Modbus page ends in a spacer that pushes both boxes up.
    auto *grid12 = window->findChild<QGridLayout *>("gridLayout_12");
    QSpacerItem *spacer = nullptr;
    for (int i = 0; i < grid12->count(); ++i) {
        if (grid12->itemAt(i)->spacerItem()) {
            spacer = grid12->itemAt(i)->spacerItem();
            grid12->getItemPosition(i, &r, &c, &rs, &cs);
        }
    }
    QVERIFY(spacer);
    QCOMPARE(QList<int>({r, c, rs, cs}), QList<int>({4, 0, 1, 2}));
    QCOMPARE(spacer->sizeHint(), QSize(20, 40));
    QCOMPARE(spacer->sizePolicy().verticalPolicy(), QSizePolicy::Expanding);
    QCOMPARE(spacer->sizePolicy().horizontalPolicy(), QSizePolicy::Minimum);

    auto *fps = child<QLineEdit>("lineEdit_mb_fps");
    QCOMPARE(fps->sizePolicy().horizontalPolicy(), QSizePolicy::Minimum);
    QCOMPARE(fps->sizePolicy().verticalPolicy(), QSizePolicy::Fixed);
}

void tst_window_spine::tabPages()
{
    auto *tabs = child<QTabWidget>("tabWidget_cmd");
    QCOMPARE(tabs->count(), 3);
    QCOMPARE(tabs->widget(0)->objectName(), QString("tab"));
    QCOMPARE(tabs->widget(1)->objectName(), QString("tab_2"));
    QCOMPARE(tabs->widget(2)->objectName(), QString("tab_3"));
    QCOMPARE(tabs->tabText(0), QString("串口控制"));
    QCOMPARE(tabs->tabText(1), QString("CAN控制"));
    QCOMPARE(tabs->tabText(2), QString("Modbus控制"));
    QCOMPARE(tabs->currentIndex(), 2);
    QCOMPARE(child<QGroupBox>("groupBox")->title(), QString("serial"));
    QCOMPARE(child<QGroupBox>("groupBox_modbus_2")->title(), QString("modbus"));
    QCOMPARE(child<QGroupBox>("groupBox_cmd1")->title(), QString());
    QCOMPARE(child<QGroupBox>("groupBox_cmd2")->title(), QString());
}

void tst_window_spine::initialState()
{
    QCOMPARE(probe().baudRate(), 115200);
    QCOMPARE(probe().serialSelected(), QString());
    QCOMPARE(ui()->serialComboBox->count(), 0);
    QVERIFY(!ui()->groupBox_upgrade->isEnabled());
    QVERIFY(!ui()->groupBox_ctrl->isEnabled());
    QVERIFY(!ui()->tabWidget_cmd->isEnabled());
    QVERIFY(ui()->groupBox_langune->isEnabled());
    QVERIFY(ui()->groupBox_seri_port->isEnabled());
    QVERIFY(ui()->radioButton_chinese->isChecked());
    QVERIFY(!ui()->radioButton_english->isChecked());
    QVERIFY(ui()->radioButton_upgrade_serial->isChecked());
    QCOMPARE(probe().frameLength(), 255u);
    QCOMPARE(probe().payloadLength(), 249u);
    QCOMPARE(ui()->progressBar->minimum(), 0);
    QCOMPARE(ui()->progressBar->maximum(), 100);
    QCOMPARE(ui()->progressBar->value(), 0);
    QCOMPARE(ui()->connectButton->text(), QString("连接"));
    QCOMPARE(ui()->groupBox_seri_port->title(), QString("串口"));
    QCOMPARE(ui()->pushButton_reset->text(), QString("复位"));
    QCOMPARE(ui()->pushButton_save_config->text(), QString("保存配置"));
    QCOMPARE(ui()->timeRangeEdit->text(), QString("10"));
    QCOMPARE(ui()->lineEdit_mb_fps->text(), QString("10000"));
    QCOMPARE(ui()->lineEdit_image_full_path->text(), QString());
    QCOMPARE(ui()->distLabel->text(), QString("0"));
    QCOMPARE(probe().timeRange(), 10);
    QVERIFY(!probe().recording());
    QVERIFY(!probe().suspended());
    QCOMPARE(probe().rateHistory(), QVector<unsigned int>(10, 0));
    QCOMPARE(probe().latestRate(), 0);
    QCOMPARE(probe().worker()->getDistNum(), 10);
    QVERIFY(!probe().worker()->isPortOpen());
    QVERIFY(probe().workerThread()->isRunning());
    QCOMPARE(probe().worker()->thread(), probe().workerThread());
    QVERIFY(probe().updateTimer()->isActive());
    QCOMPARE(probe().updateTimer()->interval(), 200);
    QCOMPARE(ui()->statusBar->currentMessage(), QString());
}

void tst_window_spine::initialLists()
{
    QStringList baud, fps;
    for (int i = 0; i < ui()->baudrateComboBox->count(); ++i)
        baud << ui()->baudrateComboBox->itemText(i);
    for (int i = 0; i < ui()->comboBox_fps_set->count(); ++i)
        fps << ui()->comboBox_fps_set->itemText(i);
    QCOMPARE(baud, QStringList({"9600", "115200", "460800", "921600", "1000000"}));
    QCOMPARE(ui()->baudrateComboBox->currentText(), QString("115200"));
    QVERIFY(ui()->baudrateComboBox->isEditable());
    QCOMPARE(fps, QStringList({"1", "5", "10", "100", "200", "500", "1000", "5000", "10000"}));
    QCOMPARE(ui()->comboBox_fps_set->currentText(), QString("1"));
    QVERIFY(ui()->comboBox_fps_set->isEditable());
}

void tst_window_spine::chartAtStart()
{
    WindowProbe p = probe();
    QCOMPARE(p.axisX()->min(), 0.0);
    QCOMPARE(p.axisX()->max(), 10.0);
    QCOMPARE(p.axisX()->labelFormat(), QString("%g"));
    QCOMPARE(p.axisX()->titleText(), QString("Time(s)"));
    QCOMPARE(p.axisY()->min(), 0.0);
    QCOMPARE(p.axisY()->max(), 350.0);
    QCOMPARE(p.axisY()->titleText(), QString("Distance(m)"));
    QCOMPARE(p.series()->count(), 0);
    QCOMPARE(p.chartView()->rubberBand(), QChartView::RectangleRubberBand);
    QChart *chart = p.chartView()->chart();
    QCOMPARE(chart->series().size(), 1);
    QCOMPARE(chart->series().first(), static_cast<QAbstractSeries *>(p.series()));
    QVERIFY(!chart->legend()->isVisible());
    QCOMPARE(p.series()->attachedAxes().size(), 2);
    QVERIFY(chart->axes(Qt::Horizontal).contains(p.axisX()));
    QVERIFY(chart->axes(Qt::Vertical).contains(p.axisY()));
    // QPainter draws the curve: it holds at most about four points per pixel
    // column, and OpenGL without a GPU costs more (docs/performance.md).
    QVERIFY(!p.series()->useOpenGL());
}

// A slot whose name misspells its widget is silently never called. Every
// on_<object>_<signal> slot must name a child with that signal, and that
// signal must be connected to the slot.
void tst_window_spine::slotsAreBound()
{
    const QMetaObject *mo = window->metaObject();
    const QList<QObject *> children = window->findChildren<QObject *>();
    int bound = 0;
    for (int i = mo->methodOffset(); i < mo->methodCount(); ++i) {
        const QMetaMethod slot = mo->method(i);
        const QByteArray signature = slot.methodSignature();
        if (!signature.startsWith("on_"))
            continue;
        bool found = false;
        for (QObject *co : children) {
            const QByteArray prefix = "on_" + co->objectName().toLatin1() + "_";
            if (co->objectName().isEmpty() || !signature.startsWith(prefix))
                continue;
            const QByteArray signal = signature.mid(prefix.size());
            const int index = co->metaObject()->indexOfSignal(signal);
            if (index < 0)
                continue;
            // Disconnecting succeeds only where the binding exists (this
            // window is thrown away after the test).
            QVERIFY2(QMetaObject::disconnect(co, index, window, i), signature.constData());
            found = true;
        }
        QVERIFY2(found, signature.constData());
        ++bound;
    }
    QCOMPARE(bound, 49);   // the upgrade's cancel button among them
}

void tst_window_spine::baudRateFollowsTheBox_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expected");
    QTest::newRow("listed") << "460800" << 460800;
    QTest::newRow("typed") << "115" << 115;
    QTest::newRow("not a number") << "fast" << 0;
    QTest::newRow("empty") << "" << 0;
}

void tst_window_spine::baudRateFollowsTheBox()
{
    QFETCH(QString, text);
    QFETCH(int, expected);
    ui()->baudrateComboBox->setEditText(text);
    QCOMPARE(probe().baudRate(), expected);
}

// Before the port list was ever opened no port is chosen: connecting fails
// and leaves the panel disconnected.
void tst_window_spine::connectWithoutPortFails()
{
    ui()->connectButton->click();
    QCOMPARE(ui()->statusBar->currentMessage(), QString("连接失败!"));
    QCOMPARE(ui()->connectButton->text(), QString("连接"));
    QVERIFY(!probe().worker()->isPortOpen());
    QVERIFY(!ui()->groupBox_ctrl->isEnabled());
    QVERIFY(!ui()->tabWidget_cmd->isEnabled());
    QVERIFY(ui()->groupBox_langune->isEnabled());
    QVERIFY(ui()->serialComboBox->isEnabled());
}

void tst_window_spine::closeStopsWorker()
{
    QThread *thread = probe().workerThread();
    QVERIFY(thread->isRunning());
    QVERIFY(window->close());
    QVERIFY(thread->isFinished());
}

QTEST_MAIN(tst_window_spine)
#include "tst_window_spine.moc"
