// SPDX-License-Identifier: GPL-3.0-or-later
// The main window as built at start-up: the widget tree of the form, the
// values the constructor sets, the slots bound by name, the worker thread and
// an orderly shut-down.

#include "mainwindow.h"
#include "modalcatcher.h"
#include "receiver.h"
#include "windowprobe.h"
#include "simsensor.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QBoxLayout>
#include <QComboBox>
#include <QChart>
#include <QFileInfo>
#include <QGridLayout>
#include <QLegend>
#include <QMetaMethod>
#include <QProgressBar>
#include <QSpinBox>
#include <QStatusBar>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QValueAxis>

#include <functional>

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
                                              "fontSizes", "spinBoxRanges", "initialState"};
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
    void tabOrderFollowsReading();
    void initialState_data();
    void initialState();
    void initialLists();
    void chartAtStart();
    void slotsAreBound();
    void baudRateFollowsTheBox_data();
    void baudRateFollowsTheBox();
    void connectWithoutPortFails();
    void portChooserKeepsSelection();
    void closeStopsWorker();
};

// Object name, class, parent widget, layout, row, column, row span, column
// span. In a box layout the row is the position and the rest 0, 1, 1.
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
        // The strip along the top, left to right.
        {"groupBox_seri_port", "QGroupBox", "centralWidget", "topStripLayout", 0, 0, 1, 1},
        {"groupBox_ctrl", "QGroupBox", "centralWidget", "topStripLayout", 1, 0, 1, 1},
        {"groupBox_display", "QGroupBox", "centralWidget", "topStripLayout", 2, 0, 1, 1},
        {"groupBox_langune", "QGroupBox", "centralWidget", "topStripLayout", 4, 0, 1, 1},
        // Below it the chart (left, see windowAndForm) and the command tabs.
        {"tabWidget_cmd", "QTabWidget", "centralWidget", "gridLayout_5", 1, 1, 3, 1},
        {"groupBox_upgrade", "QGroupBox", "tab_upgrade", "gridLayout_14", 0, 0, 1, 1},
        {"label_portname", "QLabel", "groupBox_seri_port", "gridLayout_2", 0, 0, 1, 1},
        {"serialComboBox", "myCombobox", "groupBox_seri_port", "gridLayout_2", 0, 1, 1, 2},
        {"label_baudrate", "QLabel", "groupBox_seri_port", "gridLayout_2", 1, 0, 1, 1},
        {"baudrateComboBox", "QComboBox", "groupBox_seri_port", "gridLayout_2", 1, 1, 1, 1},
        {"connectButton", "QPushButton", "groupBox_seri_port", "gridLayout_2", 1, 2, 1, 1},
        {"label_Distance", "QLabel", "groupBox_display", "gridLayout_3", 0, 0, 1, 1},
        {"distLabel", "QLabel", "groupBox_display", "gridLayout_3", 0, 1, 1, 1},
        {"label_m", "QLabel", "groupBox_display", "gridLayout_3", 0, 2, 1, 1},
        {"label_freq", "QLabel", "groupBox_display", "gridLayout_3", 1, 0, 1, 1},
        {"freqLabel", "QLabel", "groupBox_display", "gridLayout_3", 1, 1, 1, 1},
        {"label_Hz", "QLabel", "groupBox_display", "gridLayout_3", 1, 2, 1, 1},
        {"radioButton_chinese", "QRadioButton", "groupBox_langune", "gridLayout_7", 0, 0, 1, 1},
        {"radioButton_english", "QRadioButton", "groupBox_langune", "gridLayout_7", 1, 0, 1, 1},
        {"saveButton", "QPushButton", "groupBox_ctrl", "gridLayout", 0, 0, 1, 1},
        {"suspendButton", "QPushButton", "groupBox_ctrl", "gridLayout", 0, 1, 1, 2},
        {"chartClearButton", "QPushButton", "groupBox_ctrl", "gridLayout", 0, 3, 1, 2},
        {"label_tim_range", "QLabel", "groupBox_ctrl", "gridLayout", 1, 0, 1, 1},
        {"timeRangeEdit", "QLineEdit", "groupBox_ctrl", "gridLayout", 1, 1, 1, 1},
        {"label_s", "QLabel", "groupBox_ctrl", "gridLayout", 1, 2, 1, 1},
        {"label_distnum", "QLabel", "groupBox_ctrl", "gridLayout", 1, 3, 1, 1},
        {"spinBox_dist_num", "QSpinBox", "groupBox_ctrl", "gridLayout", 1, 4, 1, 1},
        {"radioButton_upgrade_serial", "QRadioButton", "groupBox_upgrade", "gridLayout_4", 0, 0, 1, 1},
        {"radioButton_upgrade_can", "QRadioButton", "groupBox_upgrade", "gridLayout_4", 0, 1, 1, 1},
        {"lineEdit_image_full_path", "QLineEdit", "groupBox_upgrade", "gridLayout_4", 1, 0, 1, 2},
        {"pushButton_browse", "QPushButton", "groupBox_upgrade", "gridLayout_4", 2, 0, 1, 1},
        {"pushButton_upgrade", "QPushButton", "groupBox_upgrade", "gridLayout_4", 2, 1, 1, 1},
        {"progressBar", "QProgressBar", "groupBox_upgrade", "gridLayout_4", 3, 0, 1, 1},
        {"pushButton_upgrade_cancel", "QPushButton", "groupBox_upgrade", "gridLayout_4", 3, 1, 1, 1},
        {"groupBox_cmd1", "QGroupBox", "tab", "gridLayout_10", 0, 0, 1, 1},
        {"groupBox_cmd2", "QGroupBox", "tab_2", "gridLayout_8", 0, 0, 1, 1},
        {"groupBox", "QGroupBox", "tab_3", "gridLayout_12", 0, 0, 1, 1},
        {"groupBox_modbus_2", "QGroupBox", "tab_3", "gridLayout_12", 1, 0, 1, 1},
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
        {"comboBox_gain_adjust", "QComboBox", "groupBox_cmd2", "gridLayout_9", 0, 0, 1, 2},
        {"pushButton_gain_adjust", "QPushButton", "groupBox_cmd2", "gridLayout_9", 0, 2, 1, 1},
        {"comboBox_can_type", "QComboBox", "groupBox_cmd2", "gridLayout_9", 1, 0, 1, 2},
        {"pushButton_can_type", "QPushButton", "groupBox_cmd2", "gridLayout_9", 1, 2, 1, 1},
        {"comboBox_can_baudrate", "QComboBox", "groupBox_cmd2", "gridLayout_9", 2, 0, 1, 2},
        {"pushButton_can_baudrate", "QPushButton", "groupBox_cmd2", "gridLayout_9", 2, 2, 1, 1},
        {"lineEdit_can_rcv_id", "QLineEdit", "groupBox_cmd2", "gridLayout_9", 3, 0, 1, 2},
        {"pushButton_can_rcv_id", "QPushButton", "groupBox_cmd2", "gridLayout_9", 3, 2, 1, 1},
        {"lineEdit_can_snd_id", "QLineEdit", "groupBox_cmd2", "gridLayout_9", 4, 0, 1, 2},
        {"pushButton_can_snd_id", "QPushButton", "groupBox_cmd2", "gridLayout_9", 4, 2, 1, 1},
        {"lineEdit_ofs_config", "QLineEdit", "groupBox_cmd2", "gridLayout_9", 5, 0, 1, 2},
        {"pushButton_ofs_config", "QPushButton", "groupBox_cmd2", "gridLayout_9", 5, 2, 1, 1},
        {"comboBox_io_level", "QComboBox", "groupBox_cmd2", "gridLayout_9", 6, 0, 1, 2},
        {"pushButton_IO_level", "QPushButton", "groupBox_cmd2", "gridLayout_9", 6, 2, 1, 1},
        {"lineEdit_IO_delay_near", "QLineEdit", "groupBox_cmd2", "gridLayout_9", 7, 0, 1, 1},
        {"lineEdit_IO_delay_far", "QLineEdit", "groupBox_cmd2", "gridLayout_9", 7, 1, 1, 1},
        {"pushButton_IO_delay", "QPushButton", "groupBox_cmd2", "gridLayout_9", 7, 2, 1, 1},
        {"lineEdit_dist_threshold", "QLineEdit", "groupBox_cmd2", "gridLayout_9", 8, 0, 1, 1},
        {"lineEdit_dist_buffer", "QLineEdit", "groupBox_cmd2", "gridLayout_9", 8, 1, 1, 1},
        {"pushButton_dist_threshold", "QPushButton", "groupBox_cmd2", "gridLayout_9", 8, 2, 1, 1},
        {"pushButton_recover_factory", "QPushButton", "groupBox_cmd2", "gridLayout_9", 9, 0, 1, 2},
        {"pushButton_reset", "QPushButton", "groupBox_cmd2", "gridLayout_9", 9, 2, 1, 1},
        {"pushButton_modbus_enable", "QPushButton", "groupBox", "gridLayout_13", 0, 0, 1, 2},
        {"spinBox_mb_dev_addr_3", "QSpinBox", "groupBox", "gridLayout_13", 1, 0, 1, 1},
        {"pushButton_mb_addr", "QPushButton", "groupBox", "gridLayout_13", 1, 1, 1, 1},
        {"label_modbus_dev_addr", "QLabel", "groupBox_modbus_2", "gridLayout_11", 0, 0, 1, 1},
        {"spinBox_mb_dev_addr", "QSpinBox", "groupBox_modbus_2", "gridLayout_11", 0, 1, 1, 1},
        {"comboBox_seri_baud_2", "QComboBox", "groupBox_modbus_2", "gridLayout_11", 1, 0, 1, 1},
        {"pushButton_mb_baudrate_config", "QPushButton", "groupBox_modbus_2", "gridLayout_11", 1, 1, 1, 1},
        {"spinBox_mb_dev_addr_2", "QSpinBox", "groupBox_modbus_2", "gridLayout_11", 2, 0, 1, 1},
        {"pushButton_mb_addr_config", "QPushButton", "groupBox_modbus_2", "gridLayout_11", 2, 1, 1, 1},
        {"lineEdit_mb_fps", "QLineEdit", "groupBox_modbus_2", "gridLayout_11", 3, 0, 1, 1},
        {"pushButton_mb_set_fps", "QPushButton", "groupBox_modbus_2", "gridLayout_11", 3, 1, 1, 1},
        {"pushButton_mb_read_dist_once", "QPushButton", "groupBox_modbus_2", "gridLayout_11", 4, 0, 1, 1},
        {"pushButton_mb_get_version", "QPushButton", "groupBox_modbus_2", "gridLayout_11", 4, 1, 1, 1},
        {"pushButton_mb_save_config", "QPushButton", "groupBox_modbus_2", "gridLayout_11", 5, 0, 1, 1},
        {"pushButton_mb_reboot", "QPushButton", "groupBox_modbus_2", "gridLayout_11", 5, 1, 1, 1},
        {"pushButton_mb_shutdown", "QPushButton", "groupBox_modbus_2", "gridLayout_11", 6, 0, 1, 1},
        {"pushButton_modbus_disable", "QPushButton", "groupBox_modbus_2", "gridLayout_11", 6, 1, 1, 1},
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

    auto *box = window->findChild<QLayout *>(layout);
    QVERIFY2(box, qPrintable(layout));
    QCOMPARE(box->parentWidget(), w->parentWidget());
    const int index = box->indexOf(w);
    QVERIFY(index >= 0);
    int r = index, c = 0, rs = 1, cs = 1;
    if (auto *grid = qobject_cast<QGridLayout *>(box))
        grid->getItemPosition(index, &r, &c, &rs, &cs);
    else
        QVERIFY2(qobject_cast<QBoxLayout *>(box), qPrintable(layout));
    QCOMPARE(r, row);
    QCOMPARE(c, col);
    QCOMPARE(rs, rowSpan);
    QCOMPARE(cs, colSpan);
    QCOMPARE(box->itemAt(index)->alignment(), Qt::Alignment());
}

// The widget children of each box are created in reading order: along a row
// from left to right, rows from the top (the form's tab order follows it,
// see tabOrderFollowsReading).
void tst_window_spine::creationOrder_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QStringList>("children");
    QTest::newRow("groupBox_seri_port") << "groupBox_seri_port"
        << QStringList{"label_portname", "serialComboBox", "label_baudrate", "baudrateComboBox", "connectButton"};
    QTest::newRow("groupBox_ctrl") << "groupBox_ctrl"
        << QStringList{"saveButton", "suspendButton", "chartClearButton", "label_tim_range", "timeRangeEdit",
                       "label_s", "label_distnum", "spinBox_dist_num"};
    QTest::newRow("groupBox_cmd2") << "groupBox_cmd2"
        << QStringList{"comboBox_gain_adjust", "pushButton_gain_adjust", "comboBox_can_type", "pushButton_can_type",
                       "comboBox_can_baudrate", "pushButton_can_baudrate", "lineEdit_can_rcv_id",
                       "pushButton_can_rcv_id", "lineEdit_can_snd_id", "pushButton_can_snd_id",
                       "lineEdit_ofs_config", "pushButton_ofs_config", "comboBox_io_level", "pushButton_IO_level",
                       "lineEdit_IO_delay_near", "lineEdit_IO_delay_far", "pushButton_IO_delay",
                       "lineEdit_dist_threshold", "lineEdit_dist_buffer", "pushButton_dist_threshold",
                       "pushButton_recover_factory", "pushButton_reset"};
    QTest::newRow("groupBox_modbus_2") << "groupBox_modbus_2"
        << QStringList{"label_modbus_dev_addr", "spinBox_mb_dev_addr", "comboBox_seri_baud_2",
                       "pushButton_mb_baudrate_config", "spinBox_mb_dev_addr_2", "pushButton_mb_addr_config",
                       "lineEdit_mb_fps", "pushButton_mb_set_fps", "pushButton_mb_read_dist_once",
                       "pushButton_mb_get_version", "pushButton_mb_save_config", "pushButton_mb_reboot",
                       "pushButton_mb_shutdown", "pushButton_modbus_disable"};
    QTest::newRow("groupBox_upgrade") << "groupBox_upgrade"
        << QStringList{"radioButton_upgrade_serial", "radioButton_upgrade_can", "lineEdit_image_full_path",
                       "pushButton_browse", "pushButton_upgrade", "progressBar", "pushButton_upgrade_cancel"};
    QTest::newRow("centralWidget") << "centralWidget"
        << QStringList{"groupBox_seri_port", "groupBox_ctrl", "groupBox_display", "groupBox_langune",
                       "tabWidget_cmd", "chartView", "groupBox_link", "chartToolPanel"};
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

// No box, field or button has a fixed width or height: fixed widths cut
// the English labels short ("Disable Modbu"). The layouts size every widget
// from its contents; the window's minimum size follows (windowAndForm). The
// command tabs are bounded by what they need, see windowAndForm.
void tst_window_spine::sizeLimits_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("minimum");
    QTest::addColumn<QSize>("maximum");
    const int M = QWIDGETSIZE_MAX;
    for (const char *n : {"groupBox_seri_port", "groupBox_langune", "groupBox_display", "groupBox_ctrl",
                          "groupBox_upgrade", "timeRangeEdit", "groupBox_cmd1", "groupBox_cmd2",
                          "groupBox_modbus_2", "pushButton_mb_reboot", "pushButton_mb_shutdown",
                          "pushButton_modbus_disable", "pushButton_mb_get_version", "pushButton_mb_read_dist_once",
                          "lineEdit_mb_fps", "pushButton_mb_save_config"})
        QTest::newRow(n) << n << QSize(0, 0) << QSize(M, M);
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
    // The form's size is a 1024 x 600 panel, and the window fits one.
    QCOMPARE(window->size(), QSize(1024, 600));
    QVERIFY2(window->minimumSizeHint().width() <= 1024 && window->minimumSizeHint().height() <= 600,
             qPrintable(QStringLiteral("%1 x %2").arg(window->minimumSizeHint().width())
                            .arg(window->minimumSizeHint().height())));
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
    QCOMPARE(grid5->contentsMargins(), QMargins(6, 6, 6, 6));
    // The chart's column and row take what is left over.
    QCOMPARE(grid5->columnStretch(0), 1);
    QCOMPARE(grid5->columnStretch(1), 0);
    QCOMPARE(grid5->rowStretch(0), 0);
    QCOMPARE(grid5->rowStretch(1), 1);
    for (const char *name : {"gridLayout", "gridLayout_2", "gridLayout_3", "gridLayout_4", "gridLayout_6",
                             "gridLayout_7", "gridLayout_8", "gridLayout_9", "gridLayout_10", "gridLayout_11",
                             "gridLayout_12", "gridLayout_13", "gridLayout_14"}) {
        auto *g = window->findChild<QGridLayout *>(name);
        QVERIFY2(g, name);
        QCOMPARE(g->spacing(), 6);
        QCOMPARE(g->contentsMargins(), QMargins(6, 6, 6, 6));
    }
    // The strip along the top: its boxes, a spacer, the language box.
    auto *strip = window->findChild<QHBoxLayout *>("topStripLayout");
    QVERIFY(strip);
    QCOMPARE(strip->count(), 5);
    QVERIFY(strip->itemAt(3)->spacerItem());
    int r, c, rs, cs;
    grid5->getItemPosition(grid5->indexOf(strip), &r, &c, &rs, &cs);
    QCOMPARE(QList<int>({r, c, rs, cs}), QList<int>({0, 0, 1, 2}));

    // The chart view sits alone in the display layout, below the strip on
    // the left, and takes the larger share of the width.
    auto *display = window->findChild<QVBoxLayout *>("dispalyLayout");
    QVBoxLayout *layout = display;
    QVERIFY(layout);
    QCOMPARE(layout->spacing(), 6);
    QCOMPARE(layout->count(), 1);
    QCOMPARE(layout->itemAt(0)->widget(), static_cast<QWidget *>(probe().chartView()));
    grid5->getItemPosition(grid5->indexOf(layout), &r, &c, &rs, &cs);
    QCOMPARE(QList<int>({r, c, rs, cs}), QList<int>({1, 0, 1, 1}));
    QVERIFY(QTest::qWaitForWindowExposed(window));
    // The command tabs are no wider than their captions or pages need.
    QTabWidget *tabs = ui()->tabWidget_cmd;
    QCOMPARE(tabs->maximumWidth(), qMax(tabs->minimumSizeHint().width(),
                                        tabs->tabBar()->sizeHint().width()
                                            + 2 * tabs->style()->pixelMetric(QStyle::PM_DefaultFrameWidth)));
    QVERIFY2(probe().chartView()->width() > ui()->tabWidget_cmd->width(),
             qPrintable(QStringLiteral("chart %1, tabs %2").arg(probe().chartView()->width())
                            .arg(ui()->tabWidget_cmd->width())));

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
    QCOMPARE(QList<int>({r, c, rs, cs}), QList<int>({2, 0, 1, 1}));
    QCOMPARE(spacer->sizePolicy().verticalPolicy(), QSizePolicy::Expanding);
}

void tst_window_spine::tabPages()
{
    auto *tabs = child<QTabWidget>("tabWidget_cmd");
    QCOMPARE(tabs->count(), 4);
    QCOMPARE(tabs->widget(0)->objectName(), QString("tab"));
    QCOMPARE(tabs->widget(1)->objectName(), QString("tab_2"));
    QCOMPARE(tabs->widget(2)->objectName(), QString("tab_3"));
    QCOMPARE(tabs->widget(3)->objectName(), QString("tab_upgrade"));
    QCOMPARE(tabs->tabText(0), QString("串口控制"));
    QCOMPARE(tabs->tabText(1), QString("CAN控制"));
    QCOMPARE(tabs->tabText(2), QString("Modbus控制"));
    QCOMPARE(tabs->tabText(3), QString("固件升级"));
    // The Modbus page is the one shown at start.
    QCOMPARE(tabs->currentIndex(), 2);
    QCOMPARE(child<QGroupBox>("groupBox")->title(), QString("serial"));
    QCOMPARE(child<QGroupBox>("groupBox_modbus_2")->title(), QString("modbus"));
    QCOMPARE(child<QGroupBox>("groupBox_cmd1")->title(), QString());
    QCOMPARE(child<QGroupBox>("groupBox_cmd2")->title(), QString());
}

// Tab moves through the window as it is read: the top strip from left to
// right, then the command tabs, each page row by row, each row from left to
// right.
void tst_window_spine::tabOrderFollowsReading()
{
    const QStringList reading = {
        "serialComboBox", "baudrateComboBox", "connectButton", "saveButton", "suspendButton", "chartClearButton",
        "timeRangeEdit", "spinBox_dist_num", "radioButton_chinese", "radioButton_english", "tabWidget_cmd",
        "pushButton_version", "pushButton_full_version", "pushButton_save_config", "pushButton_trig",
        "comboBox_fps_set", "pushButton_fps", "comboBox_lidar_trans", "pushButton_trans", "comboBox_output_format",
        "pushButton_output_format", "comboBox_seri_baud", "pushButton_baudrate", "comboBox_output_enable",
        "pushButton_output_enable", "comboBox_checksum", "pushButton_checksum", "comboBox_fog_feature",
        "pushButton_fog_feature", "comboBox_dac_map", "pushButton_dac_map",
        "comboBox_gain_adjust", "pushButton_gain_adjust", "comboBox_can_type", "pushButton_can_type",
        "comboBox_can_baudrate", "pushButton_can_baudrate", "lineEdit_can_rcv_id", "pushButton_can_rcv_id",
        "lineEdit_can_snd_id", "pushButton_can_snd_id", "lineEdit_ofs_config", "pushButton_ofs_config",
        "comboBox_io_level", "pushButton_IO_level", "lineEdit_IO_delay_near", "lineEdit_IO_delay_far",
        "pushButton_IO_delay", "lineEdit_dist_threshold", "lineEdit_dist_buffer", "pushButton_dist_threshold",
        "pushButton_recover_factory", "pushButton_reset",
        "pushButton_modbus_enable", "spinBox_mb_dev_addr_3", "pushButton_mb_addr", "spinBox_mb_dev_addr",
        "comboBox_seri_baud_2", "pushButton_mb_baudrate_config", "spinBox_mb_dev_addr_2",
        "pushButton_mb_addr_config", "lineEdit_mb_fps", "pushButton_mb_set_fps", "pushButton_mb_read_dist_once",
        "pushButton_mb_get_version", "pushButton_mb_save_config", "pushButton_mb_reboot", "pushButton_mb_shutdown",
        "pushButton_modbus_disable",
        "radioButton_upgrade_serial", "radioButton_upgrade_can", "lineEdit_image_full_path", "pushButton_browse",
        "pushButton_upgrade", "pushButton_upgrade_cancel"};

    // The focus chain, with the inner widgets of the boxes left out.
    QStringList chain;
    QWidget *first = ui()->serialComboBox;
    QWidget *w = first;
    do {
        if (reading.contains(w->objectName()) && !chain.contains(w->objectName()))
            chain << w->objectName();
        w = w->nextInFocusChain();
    } while (w && w != first);
    QCOMPARE(chain, reading);

    // And that order is where they stand: within a box, the next one is on
    // the same row further right, or on a lower row.
    for (int page = 0; page < ui()->tabWidget_cmd->count(); ++page) {
        ui()->tabWidget_cmd->setCurrentIndex(page);
        QApplication::processEvents();
        for (int i = 1; i < reading.size(); ++i) {
            QWidget *a = child(reading.at(i - 1));
            QWidget *b = child(reading.at(i));
            if (a->parentWidget() != b->parentWidget() || !a->isVisible() || !b->isVisible())
                continue;
            const QRect ra(a->mapTo(window, QPoint(0, 0)), a->size());
            const QRect rb(b->mapTo(window, QPoint(0, 0)), b->size());
            const bool sameRow = qAbs(ra.center().y() - rb.center().y()) < ra.height() / 2;
            const bool readsOn = sameRow ? rb.left() > ra.left() : rb.top() >= ra.bottom();
            QVERIFY2(readsOn, qPrintable(reading.at(i - 1) + " -> " + reading.at(i)));
        }
    }
}

// The whole state after construction, before the operator does anything:
// which boxes are locked until a port is open, the pages and buttons shown,
// the ranges and starting values, the lists in the combo boxes, and the
// window's own state behind them. One row per value; "." names the window's
// state (read through its getters), any other name a widget, read through a
// Qt property or, marked by a leading '@', a view of it: its items, its
// current page's object name, its status message.
void tst_window_spine::initialState_data()
{
    QTest::addColumn<QString>("object");
    QTest::addColumn<QString>("what");
    QTest::addColumn<QVariant>("expected");
    const auto row = [](const char *object, const char *what, const QVariant &expected) {
        QTest::addRow("%s %s", object, what) << QString::fromLatin1(object) << QString::fromLatin1(what)
                                             << expected;
    };
    // Locked until a port is open; the port, the rate and the language free.
    row("groupBox_upgrade", "enabled", false);
    row("groupBox_ctrl", "enabled", false);
    row("tabWidget_cmd", "enabled", false);
    row("groupBox_langune", "enabled", true);
    row("groupBox_seri_port", "enabled", true);
    row("serialComboBox", "enabled", true);
    row("baudrateComboBox", "enabled", true);
    row("connectButton", "enabled", true);
    // The Modbus page shows in the (locked) command tabs.
    row("tabWidget_cmd", "currentIndex", 2);
    row("tabWidget_cmd", "@page", QStringLiteral("tab_3"));
    // Checked buttons.
    row("radioButton_chinese", "checked", true);
    row("radioButton_english", "checked", false);
    row("radioButton_upgrade_serial", "checked", true);
    row("radioButton_upgrade_can", "checked", false);
    row("checkBox_auto_reconnect", "checked", true);
    row("pushButton_show_traffic", "checked", false);
    row("dockWidget_traffic", "visible", false);
    // Ranges and starting values.
    row("progressBar", "minimum", 0);
    row("progressBar", "maximum", 100);
    row("progressBar", "value", 0);
    row("spinBox_dist_num", "minimum", 1);
    row("spinBox_dist_num", "maximum", 1000);
    row("spinBox_dist_num", "value", 10);
    row("spinBox_mb_dev_addr", "minimum", 0);
    row("spinBox_mb_dev_addr", "maximum", 247);
    row("spinBox_mb_dev_addr", "value", 1);
    row("timeRangeEdit", "text", QStringLiteral("10"));
    row("lineEdit_mb_fps", "text", QStringLiteral("10000"));
    row("lineEdit_image_full_path", "text", QString());
    row("distLabel", "text", QStringLiteral("0"));
    row("freqLabel", "text", QStringLiteral("0"));
    // Captions the language step sets, some re-worded from the form.
    row("connectButton", "text", QStringLiteral("连接"));
    row("groupBox_seri_port", "title", QStringLiteral("串口"));
    row("pushButton_reset", "text", QStringLiteral("复位"));
    row("pushButton_save_config", "text", QStringLiteral("保存配置"));
    row("MainWindow", "windowTitle", QStringLiteral("ZN84 Viewer V3.0.3"));
    row("statusBar", "@message", QString());
    // Combo boxes: the port list is filled only when first opened; the
    // rates offered; the command lists in Chinese, each on its first item.
    row("serialComboBox", "@items", QStringList());
    row("baudrateComboBox", "@items", QStringList{"9600", "115200", "460800", "921600", "1000000"});
    row("baudrateComboBox", "currentText", QStringLiteral("115200"));
    row("baudrateComboBox", "editable", true);
    row("comboBox_fps_set", "@items", QStringList{"1", "5", "10", "100", "200", "500", "1000", "5000", "10000"});
    row("comboBox_fps_set", "currentText", QStringLiteral("1"));
    row("comboBox_fps_set", "editable", true);
    row("comboBox_lidar_trans", "@items", QStringList{"", "串口", "CAN"});
    row("comboBox_output_format", "@items", QStringList{"", "ASCII", "BIN", "PIX", "IO", "RS485", "4-20mA"});
    row("comboBox_output_enable", "@items", QStringList{"", "触发模式", "连续模式"});
    row("comboBox_checksum", "@items", QStringList{"", "不使能", "使能"});
    row("comboBox_seri_baud", "@items", QStringList{"", "4800", "9600", "115200", "460800", "921600", "1000000"});
    row("comboBox_seri_baud", "editable", true);
    row("comboBox_seri_baud_2", "@items", QStringList{"9600", "115200", "460800"});
    row("comboBox_seri_baud_2", "currentText", QStringLiteral("9600"));
    row("comboBox_gain_adjust", "@items", QStringList{"", "不使能", "使能"});
    row("comboBox_can_baudrate", "@items", QStringList{"", "1000000", "500k", "250k", "125k"});
    row("comboBox_can_type", "@items", QStringList{"", "标准帧", "扩展帧"});
    row("comboBox_fog_feature", "@items", QStringList{"", "不使能", "使能"});
    row("comboBox_io_level", "@items", QStringList{"", "高电平", "低电平"});
    row("comboBox_dac_map", "@items", QStringList{"", "正向", "反向"});
    row("comboBox_dac_map", "currentIndex", 0);
    // The window's state behind the widgets.
    row(".", "baudRate", 115200);
    row(".", "serialSelected", QString());
    row(".", "timeRange", 10);
    row(".", "recording", false);
    row(".", "suspended", false);
    row(".", "latestRate", 0);
    row(".", "rateHistory", QStringLiteral("0 0 0 0 0 0 0 0 0 0"));
    row(".", "frameLength", 255u);
    row(".", "payloadLength", 249u);
    row(".", "distNum", 10);
    row(".", "portOpen", false);
    row(".", "workerThreadRunning", true);
    row(".", "workerInItsThread", true);
    row(".", "updateTimerInterval", 200);
    row(".", "timeCursor", 0.0);
    row(".", "axisX", QStringLiteral("0-10"));
    row(".", "axisY", QStringLiteral("0-350"));
}

void tst_window_spine::initialState()
{
    QFETCH(QString, object);
    QFETCH(QString, what);
    QFETCH(QVariant, expected);
    WindowProbe p = probe();
    QVariant actual;
    if (object == QLatin1String(".")) {
        const auto range = [](const QValueAxis *axis) {
            return QStringLiteral("%1-%2").arg(axis->min()).arg(axis->max());
        };
        const QHash<QString, std::function<QVariant()>> state = {
            {"baudRate", [&] { return QVariant(p.baudRate()); }},
            {"serialSelected", [&] { return QVariant(p.serialSelected()); }},
            {"timeRange", [&] { return QVariant(int(p.timeRange())); }},
            {"recording", [&] { return QVariant(p.recording()); }},
            {"suspended", [&] { return QVariant(p.suspended()); }},
            {"latestRate", [&] { return QVariant(p.latestRate()); }},
            {"rateHistory", [&] {
                 QStringList rates;
                 for (unsigned int rate : p.rateHistory())
                     rates << QString::number(rate);
                 return QVariant(rates.join(QLatin1Char(' ')));
             }},
            {"frameLength", [&] { return QVariant(p.frameLength()); }},
            {"payloadLength", [&] { return QVariant(p.payloadLength()); }},
            {"distNum", [&] { return QVariant(p.worker()->getDistNum()); }},
            {"portOpen", [&] { return QVariant(p.worker()->isPortOpen()); }},
            {"workerThreadRunning", [&] { return QVariant(p.workerThread()->isRunning()); }},
            {"workerInItsThread", [&] { return QVariant(p.worker()->thread() == p.workerThread()
                                                         && p.workerThread() != QThread::currentThread()); }},
            {"updateTimerInterval",
             [&] { return QVariant(p.updateTimer()->isActive() ? p.updateTimer()->interval() : -1); }},
            {"timeCursor", [&] { return QVariant(p.timeCursor()); }},
            {"axisX", [&] { return QVariant(range(p.axisX())); }},
            {"axisY", [&] { return QVariant(range(p.axisY())); }},
        };
        QVERIFY2(state.contains(what), qPrintable(what));
        actual = state.value(what)();
    } else {
        QObject *o = object == QLatin1String("MainWindow") ? static_cast<QObject *>(window) : child<QObject>(object);
        QVERIFY2(o, qPrintable(object));
        if (what == QLatin1String("@items")) {
            auto *combo = qobject_cast<QComboBox *>(o);
            QVERIFY(combo);
            QStringList items;
            for (int i = 0; i < combo->count(); ++i)
                items << combo->itemText(i);
            actual = items;
        } else if (what == QLatin1String("@page")) {
            actual = qobject_cast<QTabWidget *>(o)->currentWidget()->objectName();
        } else if (what == QLatin1String("@message")) {
            actual = qobject_cast<QStatusBar *>(o)->currentMessage();
        } else if (what == QLatin1String("visible")) {
            // Whether the operator sees it (the window is shown).
            actual = qobject_cast<QWidget *>(o)->isVisible();
        } else {
            actual = o->property(what.toLatin1().constData());
            QVERIFY2(actual.isValid(), qPrintable(what));
        }
    }
    QCOMPARE(actual, expected);
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
    QCOMPARE(p.axisX()->titleText(), QString("时间(s)"));
    QCOMPARE(p.axisY()->min(), 0.0);
    QCOMPARE(p.axisY()->max(), 350.0);
    QCOMPARE(p.axisY()->titleText(), QString("距离(m)"));
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
    QCOMPARE(bound, 48);
    // The upgrade's cancel button belongs to the upgrade controls' part
    // (tst_upgrade_panel cancels a transfer with it).
    QVERIFY(window->findChild<QObject *>(QStringLiteral("upgradeControls")));
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
    QCOMPARE(ui()->statusBar->currentMessage(), QString("连接失败!未选择串口"));
    QCOMPARE(ui()->connectButton->text(), QString("连接"));
    QVERIFY(!probe().worker()->isPortOpen());
    QVERIFY(!ui()->groupBox_ctrl->isEnabled());
    QVERIFY(!ui()->tabWidget_cmd->isEnabled());
    QVERIFY(ui()->groupBox_langune->isEnabled());
    QVERIFY(ui()->serialComboBox->isEnabled());
}

// Opening the port list rebuilds it: the chosen port stays chosen (also
// when the list is closed with Esc); an entry shows a short name and the
// port's description, its tooltip the full path.
void tst_window_spine::portChooserKeepsSelection()
{
    sim::SimSensor first;
    sim::SimSensor second;
    QVERIFY(first.start(100));
    QVERIFY(second.start(100));
    myCombobox *box = ui()->serialComboBox;
    box->showPopup();
    const int a = box->findData(QString::fromStdString(first.linkPath()));
    const int b = box->findData(QString::fromStdString(second.linkPath()));
    QVERIFY(a >= 0 && b >= 0);
    const int later = qMax(a, b);
    const QString chosen = box->itemData(later).toString();
    box->setCurrentIndex(later);
    box->hidePopup();
    QCOMPARE(probe().serialSelected(), chosen);
    QCOMPARE(box->itemData(later, Qt::ToolTipRole).toString(), chosen);
    QCOMPARE(box->toolTip(), chosen);
    QCOMPARE(box->itemText(later), QFileInfo(chosen).fileName() + QStringLiteral(" (simulated sensor)"));

    box->showPopup();
    QTRY_VERIFY(box->view()->isVisible());
    QTest::keyClick(box->view(), Qt::Key_Escape);
    QTRY_VERIFY(!box->view()->isVisible());
    QCOMPARE(box->currentData().toString(), chosen);
    QCOMPARE(probe().serialSelected(), chosen);

    // Gone from the system: the first port is chosen instead.
    (later == a ? first : second).stop();
    box->showPopup();
    box->hidePopup();
    QCOMPARE(box->findData(chosen), -1);
    QCOMPARE(probe().serialSelected(), box->itemData(0).toString());
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
