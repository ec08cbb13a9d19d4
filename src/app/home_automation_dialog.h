// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// File → "Home automation...": the MQTT connection's settings (broker, login, CA certificate,
// topic prefix, read-only), kept in their own file for the background service and the window.

#include "mqtt/mqtt_settings.h"

#include <QDialog>
#include <QObject>

#include <functional>

class MqttClient;
class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class TfrmLumora;

class HomeAutomationDialog : public QDialog {
    Q_OBJECT
public:
    HomeAutomationDialog(QWidget *parent, const MqttSettings &settings);

    // The settings the fields hold, with the values the dialog does not show as it got them;
    // false with the reason when they cannot be used.
    bool edited(MqttSettings &settings, QString *error) const;
    // OK: checks and saves the settings; when that fails, says why and stays open.
    void accept() override;
    // "Test connection": connects with the fields' settings in the background and says whether
    // the broker took them (or why not), without saving.
    void testConnection();

    // Told the outcome of OK (the window's log).
    std::function<void(const QString &text, bool failed)> Report;
    // Asks for the CA certificate; tests answer without a dialog. Empty: cancelled.
    std::function<QString(const QString &current)> ChooseCaFile;

    QCheckBox *chkEnabled = nullptr;
    QLineEdit *edtBroker = nullptr;
    QLineEdit *edtUser = nullptr;
    QLineEdit *edtPassword = nullptr;
    QLineEdit *edtCaFile = nullptr;
    QToolButton *btnCaFile = nullptr;
    QLineEdit *edtTopicPrefix = nullptr;
    QCheckBox *chkReadOnly = nullptr;
    QPushButton *btnTest = nullptr;
    QLabel *lblMessage = nullptr;   // a refusal, or the test's outcome

    // Seconds the test waits for the broker's answer.
    static constexpr int TestSeconds = 10;

private:
    void showMessage(const QString &text, bool warning);
    void testEnded(MqttClient *client, const QString &text, bool warning);
    void brokerEdited();

    MqttSettings m_settings;
    QWidget *m_messageRow = nullptr;
    QLabel *m_messageIcon = nullptr;
    QWidget *m_fields = nullptr;
    MqttClient *m_test = nullptr;
};

// The File menu's item and what it does.
class HomeAutomationCommand : public QObject {
    Q_OBJECT
public:
    explicit HomeAutomationCommand(TfrmLumora *window);
    void mnuHomeAutomationClick();

    QAction *mnuHomeAutomation = nullptr;
    // Shows the dialog until it is closed (exec); tests drive it themselves.
    std::function<void(HomeAutomationDialog &dialog)> RunDialog;

private:
    void retranslate();
    TfrmLumora *w;
};

// Adds the item to the File menu after the sensor history's items: call once the window's
// menus and its history exist.
HomeAutomationCommand *InstallHomeAutomation(TfrmLumora *window);
