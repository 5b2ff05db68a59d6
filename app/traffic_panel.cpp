#include "traffic_panel.h"

#include "named_widget.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

TrafficPanel::TrafficPanel(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("trafficPanel"));
    view = namedWidget<QPlainTextEdit>("plainTextEdit_traffic", this);
    view->setReadOnly(true);
    view->setLineWrapMode(QPlainTextEdit::NoWrap);
    // The oldest lines go once 1,000 are kept.
    view->setMaximumBlockCount(kKeptEntries);
    view->setFont(QFont(QStringLiteral("monospace")));
    copyAllButton = namedWidget<QPushButton>("pushButton_traffic_copy_all", this);
    clearButton = namedWidget<QPushButton>("pushButton_traffic_clear", this);
    connect(copyAllButton, &QPushButton::clicked, this, &TrafficPanel::copyAll);
    connect(clearButton, &QPushButton::clicked, this, &TrafficPanel::clear);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(copyAllButton);
    buttons->addWidget(clearButton);
    buttons->addStretch(1);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view);
    layout->addLayout(buttons);
    retranslate();
}

QString TrafficPanel::hex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

QString TrafficPanel::lineOf(const TrafficEntry &e)
{
    QString outcome;
    if (e.ok)
        outcome = tr("成功");
    else if (e.received.isEmpty())
        outcome = tr("无应答");
    else
        outcome = tr("应答不符");
    QString line = e.time.toString(QStringLiteral("HH:mm:ss.zzz")) + QStringLiteral("  ") + e.name;
    if (e.frames > 0)
        line += QStringLiteral("  ") + QString::number(e.frames) + QLatin1Char(' ') + tr("帧");
    line += QStringLiteral("  ") + tr("发送") + QStringLiteral(": ") + hex(e.sent);
    line += QStringLiteral("  ") + tr("接收") + QStringLiteral(": ") + hex(e.received);
    line += QStringLiteral("  ") + outcome;
    return line;
}

void TrafficPanel::add(const TrafficEntry &entry)
{
    view->appendPlainText(lineOf(entry));
}

QString TrafficPanel::text() const
{
    return view->toPlainText();
}

int TrafficPanel::entryCount() const
{
    return view->document()->isEmpty() ? 0 : view->document()->blockCount();
}

void TrafficPanel::copyAll()
{
    QApplication::clipboard()->setText(view->toPlainText());
}

void TrafficPanel::clear()
{
    view->clear();
}

void TrafficPanel::retranslate()
{
    copyAllButton->setText(tr("全部复制"));
    clearButton->setText(tr("清空"));
}
