// SPDX-License-Identifier: GPL-3.0-or-later
// The command pages run on the shared settings table: the combo boxes of
// choices are filled from it (the item text, the wire value as item data), and
// a button finds its entry by its object name, reads the value (the item data,
// or the typed numbers checked against the range their command carries),
// calls the worker and shows the table's status prefix with the outcome. A
// value the command cannot carry is refused before anything is sent.

#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "log_ui.h"
#include "receiver.h"
#include "setting_widgets.h"
#include "settings_table.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QSpinBox>

using namespace settingstable;
using settingwidgets::widgetsOf;

namespace {

// The window's translation of a source text of the table.
QString windowText(const char *source)
{
    return QCoreApplication::translate("MainWindow", source);
}

// A field's text as typed, blanks around it dropped; a spin box's value.
QString fieldText(const QWidget *field)
{
    if (const auto *box = qobject_cast<const QComboBox *>(field))
        return box->currentText().trimmed();
    if (const auto *edit = qobject_cast<const QLineEdit *>(field))
        return edit->text().trimmed();
    if (const auto *spin = qobject_cast<const QSpinBox *>(field))
        return QString::number(spin->value());
    return QString();
}

// The operator's name of each typed field, as the window labels it.
struct FieldLabel
{
    const char *control;
    const char *label;   // source text, context "MainWindow"
};

const FieldLabel kFieldLabels[] = {
    {"comboBox_fps_set", QT_TRANSLATE_NOOP("MainWindow", "测量帧率")},
    {"comboBox_seri_baud", QT_TRANSLATE_NOOP("MainWindow", "波特率")},
    {"lineEdit_can_rcv_id", QT_TRANSLATE_NOOP("MainWindow", "CAN接收ID")},
    {"lineEdit_can_snd_id", QT_TRANSLATE_NOOP("MainWindow", "CAN发送ID")},
    {"lineEdit_ofs_config", QT_TRANSLATE_NOOP("MainWindow", "测距偏移（cm）")},
    {"lineEdit_IO_delay_near", QT_TRANSLATE_NOOP("MainWindow", "近距离IO延时")},
    {"lineEdit_IO_delay_far", QT_TRANSLATE_NOOP("MainWindow", "远距离IO延时")},
    {"lineEdit_dist_threshold", QT_TRANSLATE_NOOP("MainWindow", "IO距离阈值")},
    {"lineEdit_dist_buffer", QT_TRANSLATE_NOOP("MainWindow", "IO距离缓冲")},
    {"comboBox_seri_baud_2", QT_TRANSLATE_NOOP("MainWindow", "串口波特率")},
    {"spinBox_mb_dev_addr_2", QT_TRANSLATE_NOOP("MainWindow", "modbus地址")},
    {"spinBox_mb_dev_addr_3", QT_TRANSLATE_NOOP("MainWindow", "modbus地址")},
};

// A field without a label of its own is named by its command.
QString fieldLabel(const char *control, const char *command)
{
    for (const FieldLabel &f : kFieldLabels) {
        if (control && qstrcmp(control, f.control) == 0)
            return windowText(f.label);
    }
    return windowText(command);
}

// What was typed, cut short where it would not fit a message box.
QString shownInput(const QString &typed)
{
    constexpr int kMost = 24;
    return typed.size() <= kMost ? typed : typed.left(kMost) + QChar(0x2026);
}

} // namespace

// "0~65535"; a field that takes hexadecimal says so and gives its top in hex.
QString MainWindow::acceptedRange(int64_t min, int64_t max, bool hex)
{
    const QString top = hex ? QStringLiteral("0x") + QString::number(max, 16).toUpper() : QString::number(max);
    const QString range = QString::number(min) + QLatin1Char('~') + top;
    return hex ? tr("%1（十进制或0x开头的十六进制）").arg(range) : range;
}

void MainWindow::fillChoiceCombos()
{
    for (const Setting *s = settingsBegin(); s != settingsEnd(); ++s) {
        const auto *widgets = widgetsOf(*s);
        auto *box = s->kind == Kind::Choice && widgets ? findChild<QComboBox *>(QLatin1String(widgets->fields[0]))
                                                       : nullptr;
        if (!box)
            continue;
        box->clear();
        // The first item is "no choice": it carries no value and is refused.
        box->addItem(QString());
        for (int i = 0; i < s->choiceCount; ++i)
            box->addItem(itemText(s->choices[i]), s->choices[i].wire);
    }
}

void MainWindow::runTableButton(const QObject *button)
{
    const QString name = button->objectName();
    if (const Setting *s = settingwidgets::settingOfButton(name))
        return runSetting(*s);
    if (const Reading *r = settingwidgets::readingOfButton(name))
        return runReading(*r);
    qCWarning(lcUi) << "MainWindow: no command for" << name;
}

// Modbus RTU goes to the device address chosen on the Modbus page.
uint8_t MainWindow::modbusAddress() const
{
    return uint8_t(ui->spinBox_mb_dev_addr->value() & 0xFF);
}

void MainWindow::runSetting(const Setting &s)
{
    Values values;
    QString typed;
    if (!readSettingValues(s, values, typed))
        return;
    if (QLatin1String(s.name) == QLatin1String("factory-restore") && !confirm(tr("确定恢复出厂设置吗？")))
        return;
    const bool ok = s.apply(*worker, modbusAddress(), values);
    const Setting *setting = &s;   // the table lives as long as the program
    showOutcome([setting, values, typed] {
        const QString prefix = windowText(statusPrefix(*setting, values));
        if (setting->statusValue == StatusValue::Text)
            return joinStatus(prefix, typed);
        if (setting->statusValue == StatusValue::Number)
            return joinStatus(prefix, QString::number(values.first));
        return prefix;
    }, ok);
}

// The value of a setting as its fields give it; false (and the operator told
// why) when there is none the command can carry. `typed` is the first
// field's text.
bool MainWindow::readSettingValues(const Setting &s, Values &values, QString &typed)
{
    if (s.kind == Kind::Action)
        return true;
    const auto *widgets = widgetsOf(s);
    if (!widgets)
        return false;
    if (s.kind == Kind::Choice) {
        const auto *box = findChild<QComboBox *>(QLatin1String(widgets->fields[0]));
        const QVariant data = box ? box->currentData() : QVariant();
        if (!data.isValid()) {
            showWarning(tr("警告：非法输入!") + (box ? box->currentText() : QString()));
            return false;
        }
        values.first = data.toUInt();
        return true;
    }
    QStringList texts;
    for (int i = 0; i < s.numberCount; ++i)
        texts << fieldText(findChild<QWidget *>(QLatin1String(widgets->fields[i])));
    QString why;
    if (texts.contains(QString()) || !parseValues(s, texts, values, why)) {
        qCDebug(lcUi) << "MainWindow: refused" << s.name << texts << why;
        refuseInput(s, texts);
        return false;
    }
    typed = texts.first();
    return true;
}

// The box keeps its short text; its informative line names the first field
// that is empty or wrong, what was typed there and what the field takes, so
// that the operator can put it right without guessing.
void MainWindow::refuseInput(const Setting &s, const QStringList &texts)
{
    if (s.group == Group::Modbus && QLatin1String(s.name) == QLatin1String("frame-rate")) {
        showStatus([] { return tr("采样率设置错误！有效值区间为1~10000！"); });
        return;
    }
    const bool empty = texts.contains(QString());
    int bad = 0;
    for (int i = 0; i < texts.size() && i < s.numberCount; ++i) {
        int64_t value = 0;
        QString why;
        if (empty ? texts.at(i).isEmpty() : !parseNumber(s.numbers[i], texts.at(i), value, why)) {
            bad = i;
            break;
        }
    }
    const Number &n = s.numbers[bad];
    const auto *widgets = widgetsOf(s);
    const QString field = fieldLabel(widgets ? widgets->fields[bad] : nullptr, s.status);
    const QString range = acceptedRange(n.min, n.max, n.hex);
    if (empty)
        showWarning(tr("警告：输入不能为空!"), tr("%1：未输入，有效范围为 %2").arg(field, range));
    else
        showWarning(tr("警告：非法输入!"), tr("%1：输入“%2”无效，有效范围为 %3").arg(field, shownInput(texts.at(bad)), range));
}

// The sensor's own readings show the answer itself, the Modbus ones the
// outcome followed by the value; a triggered distance becomes the readout's.
void MainWindow::runReading(const Reading &r)
{
    QString text;
    uint16_t cm = 0;
    const bool ok = r.read(*worker, modbusAddress(), text, cm);
    const char *prefix = r.status;
    const bool distance = r.kind == ReadingKind::DistanceCm;
    if (r.group == Group::Sensor) {
        if (distance && ok)
            currentDistance = cm / 100.0;
        if (distance)
            showStatus([prefix, ok] { return joinStatus(windowText(prefix), ok ? tr("成功") : tr("失败")); });
        else
            showStatus([prefix, ok, text] { return ok ? text : windowText(prefix); });
        return;
    }
    if (!ok) {
        showStatus([prefix] { return joinStatus(windowText(prefix), tr("失败！")); });
        return;
    }
    showStatus([prefix, distance, cm, text] {
        const QString head = joinStatus(windowText(prefix), (distance ? tr("成功！dist = ") : tr("成功: ")).trimmed());
        return head + QLatin1Char(' ') + (distance ? QString::number(cm) : text);
    });
}
