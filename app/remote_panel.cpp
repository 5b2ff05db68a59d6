// SPDX-License-Identifier: GPL-3.0-or-later
#include "remote_panel.h"

#include "batch_stream.h"
#include "chart_model.h"
#include "mqtt_viewer.h"
#include "status_line.h"

#include <QAction>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QSettings>
#include <QSpinBox>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// The window's settings file (see window_settings.cpp).
QSettings *openWindowSettings()
{
    return new QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("ZN84"),
                         QStringLiteral("zn84-viewer"));
}

const QString kBroker = QStringLiteral("broker/url");
const QString kTopic = QStringLiteral("broker/topic");
const QString kQos = QStringLiteral("broker/qos");
const QString kClientId = QStringLiteral("broker/clientId");
const QString kUsername = QStringLiteral("broker/username");
const QString kPasswordFile = QStringLiteral("broker/passwordFile");
const QString kCaFile = QStringLiteral("broker/caFile");
const QString kBatchMs = QStringLiteral("broker/batchMs");

QLineEdit *lineEdit(const QString &name, QWidget *parent)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(name);
    return e;
}

} // namespace

RemoteDialog::RemoteDialog(Mode mode, QWidget *parent)
    : QDialog(parent),
      kind(mode),
      broker(lineEdit(QStringLiteral("brokerEdit"), this)),
      topic(lineEdit(QStringLiteral("topicEdit"), this)),
      clientId(lineEdit(QStringLiteral("clientIdEdit"), this)),
      username(lineEdit(QStringLiteral("usernameEdit"), this)),
      passwordFile(lineEdit(QStringLiteral("passwordFileEdit"), this)),
      caFile(lineEdit(QStringLiteral("caFileEdit"), this)),
      qos(new QComboBox(this)),
      batchMs(new QSpinBox(this)),
      error(new QLabel(this))
{
    setObjectName(QStringLiteral("remoteDialog"));
    broker->setPlaceholderText(QStringLiteral("mqtt://localhost:1883"));
    topic->setPlaceholderText(QStringLiteral("line1/zn84"));
    qos->setObjectName(QStringLiteral("qosBox"));
    qos->addItems({QStringLiteral("0"), QStringLiteral("1")});
    batchMs->setObjectName(QStringLiteral("batchMsSpin"));
    batchMs->setRange(10, 10000);
    batchMs->setSuffix(QStringLiteral(" ms"));
    batchMs->setEnabled(mode == Mode::Publish);
    error->setObjectName(QStringLiteral("remoteError"));
    error->setWordWrap(true);
    error->setStyleSheet(QStringLiteral("color: #c00000"));

    auto *form = new QFormLayout;
    const QList<QWidget *> fields = {broker, topic, qos, clientId, username, passwordFile, caFile, batchMs};
    for (QWidget *field : fields) {
        auto *caption = new QLabel(this);
        captions << caption;
        form->addRow(caption, field);
    }
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &RemoteDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &RemoteDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(error);
    layout->addWidget(buttons);
    retranslate();
    load();
}

void RemoteDialog::retranslate()
{
    setWindowTitle(kind == Mode::Publish ? tr("发布到代理") : tr("查看远程传感器"));
    const QStringList texts = {tr("代理地址"), tr("主题前缀"), QStringLiteral("QoS"), tr("客户端标识"),
                               tr("用户名"), tr("密码文件"), tr("CA 证书文件"), tr("批次间隔")};
    for (int i = 0; i < captions.size(); ++i)
        captions.at(i)->setText(texts.at(i));
}

void RemoteDialog::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QDialog::changeEvent(event);
}

bool RemoteDialog::readOptions(plant::PublisherOptions &o, QString &why) const
{
    QString detail;
    if (!plant::parseBrokerUrl(broker->text().trimmed(), o, detail)) {
        why = tr("代理地址无效：%1").arg(detail);
        return false;
    }
    o.prefix = topic->text().trimmed();
    if (!plant::checkTopicPrefix(o.prefix, detail)) {
        why = tr("主题前缀无效：%1").arg(detail);
        return false;
    }
    o.qos = qos->currentIndex();
    o.clientId = clientId->text().trimmed();
    o.username = username->text().trimmed();
    o.batchMs = batchMs->value();
    const QString pwFile = passwordFile->text().trimmed();
    if (!pwFile.isEmpty() && o.username.isEmpty()) {
        why = tr("密码文件需要用户名");
        return false;
    }
    if (!pwFile.isEmpty()) {
        // As on the command line: the first line of the file is the password.
        QFile f(pwFile);
        if (!f.open(QIODevice::ReadOnly)) {
            why = tr("无法读取密码文件：%1").arg(f.errorString());
            return false;
        }
        QByteArray first = f.readLine();
        while (first.endsWith('\n') || first.endsWith('\r'))
            first.chop(1);
        o.password = QString::fromUtf8(first);
    }
    const QString ca = caFile->text().trimmed();
    if (!ca.isEmpty()) {
        if (!o.tls) {
            why = tr("CA 证书文件需要 mqtts:// 代理");
            return false;
        }
        if (!QFileInfo(ca).isReadable() || !QFileInfo(ca).isFile()) {
            why = tr("无法读取 CA 证书文件：%1").arg(ca);
            return false;
        }
        o.caFile = ca;
    }
    return true;
}

void RemoteDialog::load()
{
    const QScopedPointer<QSettings> s(openWindowSettings());
    broker->setText(s->value(kBroker, QStringLiteral("mqtt://localhost:1883")).toString());
    topic->setText(s->value(kTopic).toString());
    qos->setCurrentIndex(qBound(0, s->value(kQos, 1).toInt(), 1));
    clientId->setText(s->value(kClientId).toString());
    username->setText(s->value(kUsername).toString());
    passwordFile->setText(s->value(kPasswordFile).toString());
    caFile->setText(s->value(kCaFile).toString());
    batchMs->setValue(s->value(kBatchMs, 100).toInt());
}

// The password's file is remembered, never the password.
void RemoteDialog::save() const
{
    const QScopedPointer<QSettings> s(openWindowSettings());
    s->setValue(kBroker, broker->text().trimmed());
    s->setValue(kTopic, topic->text().trimmed());
    s->setValue(kQos, qos->currentIndex());
    s->setValue(kClientId, clientId->text().trimmed());
    s->setValue(kUsername, username->text().trimmed());
    s->setValue(kPasswordFile, passwordFile->text().trimmed());
    s->setValue(kCaFile, caFile->text().trimmed());
    if (kind == Mode::Publish)
        s->setValue(kBatchMs, batchMs->value());
}

// Bad settings keep the dialog open with the reason; nothing typed is lost.
void RemoteDialog::accept()
{
    plant::PublisherOptions o;
    QString why;
    if (!readOptions(o, why)) {
        error->setText(why);
        return;
    }
    error->clear();
    save();
    QDialog::accept();
}

RemotePanel::RemotePanel(BatchStream *stream, ChartModel &chart, const QList<QWidget *> &commands,
                         StatusLine *status, QWidget *parent)
    : QWidget(parent),
      stream(stream),
      chart(chart),
      commands(commands),
      status(status),
      button(new QToolButton(this)),
      menu(new QMenu(this)),
      publishAct(new QAction(this)),
      viewAct(new QAction(this)),
      state(new QLabel(this)),
      refresh(new QTimer(this))
{
    setObjectName(QStringLiteral("remotePanel"));
    button->setObjectName(QStringLiteral("remoteButton"));
    button->setPopupMode(QToolButton::InstantPopup);
    button->setAutoRaise(true);
    button->setMenu(menu);
    publishAct->setObjectName(QStringLiteral("publishAction"));
    publishAct->setCheckable(true);
    viewAct->setObjectName(QStringLiteral("remoteViewAction"));
    viewAct->setCheckable(true);
    menu->addAction(publishAct);
    menu->addAction(viewAct);
    state->setObjectName(QStringLiteral("remoteStateLabel"));

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    layout->addWidget(state);
    layout->addWidget(button);

    // A click that starts opens the settings first; one that stops stops.
    connect(publishAct, &QAction::triggered, this, [this] {
        if (pub)
            stopPublishing();
        else
            openSettings(RemoteDialog::Mode::Publish);
        publishAct->setChecked(pub != nullptr);
    });
    connect(viewAct, &QAction::triggered, this, [this] {
        if (view)
            stopViewing();
        else
            openSettings(RemoteDialog::Mode::View);
        viewAct->setChecked(view != nullptr);
    });
    refresh->setInterval(500);
    connect(refresh, &QTimer::timeout, this, &RemotePanel::showState);
    retranslate();
}

// The window goes: the publisher says "offline" on its way; neither it nor
// the viewer reports to this panel any more (its labels are going).
RemotePanel::~RemotePanel()
{
    if (view) {
        disconnect(view, nullptr, this, nullptr);
        view->stop();
    }
    if (pub) {
        disconnect(pub, nullptr, this, nullptr);
        pub->stop(1000);
    }
}

void RemotePanel::openSettings(RemoteDialog::Mode mode)
{
    if (openDialog)
        openDialog->close();
    openDialog = new RemoteDialog(mode, window());
    openDialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(openDialog.data(), &QDialog::accepted, this, &RemotePanel::accepted);
    openDialog->open();
}

void RemotePanel::accepted()
{
    if (!openDialog)
        return;
    plant::PublisherOptions o;
    QString why;
    if (!openDialog->readOptions(o, why))
        return;   // cannot happen: the dialog accepted them
    if (openDialog->mode() == RemoteDialog::Mode::Publish) {
        startPublishing(o);
    } else if (!startViewing(o, why)) {
        statusMessage = status->show([why] { return tr("无法查看远程传感器：%1").arg(why); });
    }
}

void RemotePanel::startPublishing(const plant::PublisherOptions &o)
{
    stopPublishing();
    if (view)
        stopViewing();   // the window republishes no other gateway's stream
    pub = new plant::MqttPublisher(o, this);
    pub->setObjectName(QStringLiteral("mqttPublisher"));
    connect(stream, &BatchStream::batch, pub, &plant::MqttPublisher::take);
    connect(pub, &plant::MqttPublisher::connected, this, &RemotePanel::showState);
    connect(pub, &plant::MqttPublisher::disconnected, this, &RemotePanel::showState);
    connect(pub, &plant::MqttPublisher::refused, this, [this](const QString &why) {
        statusMessage = status->show([why] { return tr("代理拒绝连接：%1").arg(why); });
        showState();
    });
    pub->start();
    publishAct->setChecked(true);
    viewAct->setEnabled(false);
    refresh->start();
    showState();
}

void RemotePanel::publishState(const QByteArray &state)
{
    if (pub)
        pub->publishState(state);
}

void RemotePanel::stopPublishing()
{
    if (!pub)
        return;
    pub->stop(2000);
    delete pub;
    pub = nullptr;
    publishAct->setChecked(false);
    viewAct->setEnabled(true);
    if (!view)
        refresh->stop();
    showState();
}

bool RemotePanel::startViewing(const plant::PublisherOptions &o, QString &why)
{
    if (!commands.isEmpty() && commands.first()->isEnabled()) {
        why = tr("请先断开本地传感器");
        return false;
    }
    stopViewing();
    auto *v = new plant::MqttViewer(o, this);
    v->setObjectName(QStringLiteral("mqttViewer"));
    if (!v->start(why)) {
        delete v;
        return false;
    }
    view = v;
    // Read-only: nothing may be sent to a sensor that is not here.
    commandsWereEnabled.clear();
    for (QWidget *w : qAsConst(commands)) {
        commandsWereEnabled << w->isEnabled();
        w->setEnabled(false);
    }
    remoteRate = 0;
    emit remoteStarted();
    connect(view, &plant::MqttViewer::samplesArrived, this,
            [this](quint64, const QVector<uint16_t> &cm, int rate) {
                if (rate > 0)
                    remoteRate = rate;
                emit remoteSamples(cm, rate);
            });
    // The chart's clock goes on over samples that never came, so that the
    // curve keeps its time; the count shows in the state.
    connect(view, &plant::MqttViewer::gap, this, [this](quint64, quint64 count) {
        if (remoteRate > 0)
            chart.skipTime(double(count) / remoteRate);
        showState();
    });
    connect(view, &plant::MqttViewer::connected, this, &RemotePanel::showState);
    connect(view, &plant::MqttViewer::disconnected, this, &RemotePanel::showState);
    connect(view, &plant::MqttViewer::remoteStatusChanged, this, &RemotePanel::showState);
    const QString where = o.prefix;
    statusMessage = status->show([where] { return tr("远程：%1（只读）").arg(where); });
    viewAct->setChecked(true);
    publishAct->setEnabled(false);
    refresh->start();
    showState();
    return true;
}

void RemotePanel::stopViewing()
{
    if (!view)
        return;
    view->stop();
    delete view;
    view = nullptr;
    for (int i = 0; i < commands.size() && i < commandsWereEnabled.size(); ++i)
        commands.at(i)->setEnabled(commandsWereEnabled.at(i));
    status->clear(statusMessage);
    viewAct->setChecked(false);
    publishAct->setEnabled(true);
    if (!pub)
        refresh->stop();
    showState();
}

QString RemotePanel::stateText() const
{
    if (pub) {
        const plant::PublisherCounters c = pub->counters();
        return tr("发布：%1 · 排队 %2 · 丢弃 %3")
                .arg(pub->isConnected() ? tr("已连接") : tr("未连接"))
                .arg(c.queuedSamples)
                .arg(c.droppedSamples);
    }
    if (view) {
        QString text = tr("远程：%1 · 缺失 %2")
                               .arg(view->isConnected() ? tr("已连接") : tr("未连接"))
                               .arg(view->missed());
        if (view->remoteStatus() == QLatin1String("offline"))
            text += QStringLiteral(" · ") + tr("传感器离线");
        return text;
    }
    return QString();
}

void RemotePanel::showState()
{
    state->setText(stateText());
    state->setVisible(pub || view);
}

void RemotePanel::retranslate()
{
    button->setText(tr("远程"));
    publishAct->setText(tr("发布到代理…"));
    viewAct->setText(tr("查看远程传感器…"));
    showState();
}

void RemotePanel::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QWidget::changeEvent(event);
}
