// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef REMOTE_PANEL_H
#define REMOTE_PANEL_H

// The window's side of the plant's broker, a small part of the status bar:
// a "远程" button whose menu publishes the connected sensor's stream to a
// broker, or shows a sensor of the plant through its broker in the window's
// chart (read-only: the sensor's commands stay disabled while it is shown),
// and a label with the state (connected, queued, dropped or missed).
//
// The broker's settings are those of `zn84ctl publish` and are remembered;
// the password is read from a file and only that file's path is stored.
// The window's own commands to the broker (PREFIX/set/...) are not offered
// here: the command line's gateway does that.

#include "mqtt_publisher.h"

#include <QDialog>
#include <QPointer>
#include <QVector>
#include <QWidget>

#include <cstdint>

class BatchStream;
class ChartModel;
class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QSpinBox;
class QTimer;
class QToolButton;
class StatusLine;

namespace plant {
class MqttViewer;
}

// The broker's settings, as `zn84ctl publish` takes them.
class RemoteDialog : public QDialog
{
    Q_OBJECT

public:
    enum class Mode { Publish, View };
    RemoteDialog(Mode mode, QWidget *parent);

    // The options the fields give; false with the reason shown in the dialog.
    bool readOptions(plant::PublisherOptions &o, QString &why) const;
    void load();
    void save() const;
    Mode mode() const { return kind; }

    void accept() override;

private:
    void retranslate();
    void changeEvent(QEvent *event) override;

    Mode kind;
    QLineEdit *broker, *topic, *clientId, *username, *passwordFile, *caFile;
    QComboBox *qos;
    QSpinBox *batchMs;
    QLabel *error;
    QList<QLabel *> captions;
};

class RemotePanel : public QWidget
{
    Q_OBJECT

public:
    // `stream` is the window's batch stream (published from); `chart` the
    // chart model (a gap in a remote stream moves its clock on);
    // `commands` are the widgets that talk to a connected sensor (disabled
    // while a remote one is shown; while the first of them is enabled a
    // sensor is connected here and no remote one can be shown).
    RemotePanel(BatchStream *stream, ChartModel &chart, const QList<QWidget *> &commands, StatusLine *status,
                QWidget *parent);
    ~RemotePanel() override;

    // The dialog now open (tests fill it as the operator would).
    RemoteDialog *dialog() const { return openDialog; }
    QAction *publishAction() const { return publishAct; }
    QAction *viewAction() const { return viewAct; }
    plant::MqttPublisher *publisher() const { return pub; }
    plant::MqttViewer *viewer() const { return view; }
    bool isViewing() const { return view != nullptr; }
    QString stateText() const;

    // The texts in the language now installed (the window calls it at once
    // when the language changes).
    void retranslate();

    void startPublishing(const plant::PublisherOptions &o);
    void stopPublishing();
    // The judge's new state, published while publishing (PREFIX/state).
    void publishState(const QByteArray &state);
    bool startViewing(const plant::PublisherOptions &o, QString &why);
    void stopViewing();

signals:
    // A remote stream begins (the live display starts afresh) and its
    // samples, as the worker's batches would come.
    void remoteStarted();
    void remoteSamples(QVector<uint16_t> cm, int rate);

private:
    void openSettings(RemoteDialog::Mode mode);
    void accepted();
    void showState();
    void changeEvent(QEvent *event) override;

    BatchStream *stream;
    ChartModel &chart;
    QList<QWidget *> commands;
    QVector<bool> commandsWereEnabled;
    StatusLine *status;
    QToolButton *button;
    QMenu *menu;
    QAction *publishAct, *viewAct;
    QLabel *state;
    QPointer<RemoteDialog> openDialog;
    plant::MqttPublisher *pub = nullptr;
    plant::MqttViewer *view = nullptr;
    QTimer *refresh;
    int statusMessage = 0;
    int remoteRate = 0;   // the remote stream's newest frame rate
};

#endif // REMOTE_PANEL_H
