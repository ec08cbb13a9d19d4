// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/home_automation_dialog.h"

#include "app/frm_lumora.h"
#include "mqtt/mqtt_client.h"
#include "presentation/localization.h"
#include "presentation/log_categories.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSysInfo>
#include <QTimer>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

HomeAutomationDialog::HomeAutomationDialog(QWidget *parent, const MqttSettings &settings)
    : QDialog(parent), m_settings(settings)
{
    setObjectName(QStringLiteral("dlgHomeAutomation"));
    setWindowTitle(Translate(QStringLiteral("HomeAutomationCaption")));
    auto *layout = new QVBoxLayout(this);

    chkEnabled = new QCheckBox(Translate(QStringLiteral("HomeAutomationEnabled")), this);
    chkEnabled->setObjectName(QStringLiteral("chkEnabled"));
    chkEnabled->setChecked(settings.enabled);
    layout->addWidget(chkEnabled);

    m_fields = new QWidget(this);
    auto *form = new QFormLayout(m_fields);
    form->setContentsMargins(0, 0, 0, 0);
    auto edit = [this](const char *name, const QString &text) {
        auto *e = new QLineEdit(text, m_fields);
        e->setObjectName(QString::fromLatin1(name));
        return e;
    };
    edtBroker = edit("edtBroker", MqttBrokerUrl(settings));
    edtBroker->setPlaceholderText(QStringLiteral("mqtt://homeassistant.local:1883"));
    edtUser = edit("edtUser", settings.user);
    edtPassword = edit("edtPassword", settings.password);
    edtPassword->setEchoMode(QLineEdit::Password);
    edtCaFile = edit("edtCaFile", settings.caFile);
    edtCaFile->setPlaceholderText(Translate(QStringLiteral("HomeAutomationCaFileNone")));
    btnCaFile = new QToolButton(m_fields);
    btnCaFile->setObjectName(QStringLiteral("btnCaFile"));
    btnCaFile->setText(QStringLiteral("..."));
    btnCaFile->setToolTip(Translate(QStringLiteral("HomeAutomationCaFileCaption")));
    auto *caRow = new QHBoxLayout;
    caRow->addWidget(edtCaFile, 1);
    caRow->addWidget(btnCaFile);
    edtTopicPrefix = edit("edtTopicPrefix", settings.topicPrefix);
    form->addRow(Translate(QStringLiteral("HomeAutomationBroker")), edtBroker);
    form->addRow(Translate(QStringLiteral("HomeAutomationUser")), edtUser);
    form->addRow(Translate(QStringLiteral("HomeAutomationPassword")), edtPassword);
    form->addRow(Translate(QStringLiteral("HomeAutomationCaFile")), caRow);
    form->addRow(Translate(QStringLiteral("HomeAutomationTopicPrefix")), edtTopicPrefix);
    chkReadOnly = new QCheckBox(Translate(QStringLiteral("HomeAutomationReadOnly")), m_fields);
    chkReadOnly->setObjectName(QStringLiteral("chkReadOnly"));
    chkReadOnly->setChecked(settings.readOnly);
    form->addRow(chkReadOnly);
    layout->addWidget(m_fields);

    m_messageRow = new QWidget(this);
    auto *messageLayout = new QHBoxLayout(m_messageRow);
    messageLayout->setContentsMargins(0, 0, 0, 0);
    m_messageIcon = new QLabel(m_messageRow);
    m_messageIcon->setAlignment(Qt::AlignTop);
    lblMessage = new QLabel(m_messageRow);
    lblMessage->setObjectName(QStringLiteral("lblMessage"));
    lblMessage->setWordWrap(true);
    lblMessage->setTextInteractionFlags(Qt::TextSelectableByMouse);
    messageLayout->addWidget(m_messageIcon);
    messageLayout->addWidget(lblMessage, 1);
    m_messageRow->hide();
    layout->addWidget(m_messageRow);

    auto *note = new QLabel(Translate(QStringLiteral("HomeAutomationNote")), this);
    note->setObjectName(QStringLiteral("lblNote"));
    note->setWordWrap(true);
    note->setForegroundRole(QPalette::PlaceholderText);
    layout->addWidget(note);

    // The test stands apart from the buttons that close the dialog.
    auto *bottom = new QHBoxLayout;
    btnTest = new QPushButton(Translate(QStringLiteral("HomeAutomationTest")), this);
    btnTest->setObjectName(QStringLiteral("btnTest"));
    btnTest->setAutoDefault(false);
    connect(btnTest, &QPushButton::clicked, this, &HomeAutomationDialog::testConnection);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    bottom->addWidget(btnTest);
    bottom->addStretch(1);
    bottom->addWidget(buttons);
    layout->addLayout(bottom);
    connect(buttons, &QDialogButtonBox::accepted, this, &HomeAutomationDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto showEnabled = [this] { m_fields->setEnabled(chkEnabled->isChecked()); };
    connect(chkEnabled, &QCheckBox::toggled, this, showEnabled);
    showEnabled();
    connect(edtBroker, &QLineEdit::editingFinished, this, &HomeAutomationDialog::brokerEdited);
    // A message about the fields no longer holds once they are edited.
    for (QLineEdit *field : {edtBroker, edtUser, edtPassword, edtCaFile, edtTopicPrefix})
        connect(field, &QLineEdit::textEdited, this, [this] { showMessage(QString(), false); });
    ChooseCaFile = [this](const QString &current) {
        const QString folder = current.isEmpty() ? QStringLiteral("/etc/ssl/certs") : QFileInfo(current).path();
        return QFileDialog::getOpenFileName(this, Translate(QStringLiteral("HomeAutomationCaFileCaption")), folder,
                                            Translate(QStringLiteral("HomeAutomationCaFileFilter")));
    };
    connect(btnCaFile, &QToolButton::clicked, this, [this] {
        const QString file = ChooseCaFile ? ChooseCaFile(edtCaFile->text().trimmed()) : QString();
        if (!file.isEmpty())
            edtCaFile->setText(file);
    });
    setMinimumWidth(480);
}

// A login typed into the address moves to its fields, so that the password is not shown.
void HomeAutomationDialog::brokerEdited()
{
    MqttSettings parsed;
    if (!ParseMqttUrl(edtBroker->text(), parsed, nullptr) || parsed.user.isEmpty())
        return;
    edtUser->setText(parsed.user);
    if (!parsed.password.isEmpty())
        edtPassword->setText(parsed.password);
    edtBroker->setText(MqttBrokerUrl(parsed));
}

bool HomeAutomationDialog::edited(MqttSettings &settings, QString *error) const
{
    auto fail = [error](const QString &text) {
        if (error)
            *error = text;
        return false;
    };
    MqttSettings s = m_settings;
    s.enabled = chkEnabled->isChecked();
    const QString url = edtBroker->text().trimmed();
    if (url.isEmpty()) {
        if (s.enabled)
            return fail(Translate(QStringLiteral("HomeAutomationNoBroker")));
        s.host.clear();
        s.port = MqttDefaultPort;
        s.tls = false;
    } else if (!ParseMqttUrl(url, s, error)) {
        return false;
    }
    // A login written into the address counts over the fields.
    if (s.user.isEmpty()) {
        s.user = edtUser->text().trimmed();
        s.password = edtPassword->text();
    } else if (s.password.isEmpty()) {
        s.password = edtPassword->text();
    }
    if (s.user.isEmpty() && !s.password.isEmpty())
        return fail(Translate(QStringLiteral("MqttUrlNoUser")));
    s.caFile = edtCaFile->text().trimmed();
    if (s.enabled && s.tls && !s.caFile.isEmpty()) {
        QFile ca(s.caFile);
        if (!ca.open(QIODevice::ReadOnly))
            return fail(TranslateFmt(QStringLiteral("MqttCaUnreadable"), {s.caFile, ca.errorString()}));
    }
    s.topicPrefix = edtTopicPrefix->text().trimmed();
    if (!ValidTopicPrefix(s.topicPrefix))
        return fail(Translate(QStringLiteral("HomeAutomationTopicInvalid")));
    s.readOnly = chkReadOnly->isChecked();
    settings = s;
    return true;
}

void HomeAutomationDialog::showMessage(const QString &text, bool warning)
{
    if (text.isEmpty() && m_messageRow->isHidden())
        return;
    const int iconSize = style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, this);
    const auto icon = warning ? QStyle::SP_MessageBoxWarning : QStyle::SP_MessageBoxInformation;
    m_messageIcon->setPixmap(style()->standardIcon(icon, nullptr, this).pixmap(iconSize));
    lblMessage->setText(text);
    m_messageRow->setVisible(!text.isEmpty());
    adjustSize();
}

void HomeAutomationDialog::testConnection()
{
    MqttSettings s;
    QString error;
    if (!edited(s, &error)) {
        showMessage(error, true);
        return;
    }
    delete m_test;
    auto *client = m_test = new MqttClient(this);
    const QString broker = MqttBrokerForLog(s);
    connect(client, &MqttClient::connected, this, [this, client, broker] {
        testEnded(client, TranslateFmt(QStringLiteral("HomeAutomationTestOk"), {broker}), false);
    });
    connect(client, &MqttClient::disconnected, this, [this, client, broker](const QString &reason) {
        testEnded(client, TranslateFmt(QStringLiteral("HomeAutomationTestFailed"), {broker, reason}), true);
    });
    QTimer::singleShot(TestSeconds * 1000, client, [this, client, broker] {
        testEnded(client, TranslateFmt(QStringLiteral("HomeAutomationTestNoAnswer"), {broker}), true);
    });
    // An id of its own, so that the window's or the service's connection stays as it is.
    const QString id = QStringLiteral("aqualumora-%1-%2-test")
                           .arg(QSysInfo::machineHostName())
                           .arg(QCoreApplication::applicationPid());
    if (!client->start(s, id, &error))
        return testEnded(client, error, true);
    btnTest->setEnabled(false);
    showMessage(TranslateFmt(QStringLiteral("HomeAutomationTesting"), {broker}), false);
}

void HomeAutomationDialog::testEnded(MqttClient *client, const QString &text, bool warning)
{
    // Only the first outcome of the test still running counts. Called from the client's own
    // signals, it goes once they have returned.
    if (client != m_test)
        return;
    m_test->deleteLater();
    m_test = nullptr;
    btnTest->setEnabled(true);
    showMessage(text, warning);
}

void HomeAutomationDialog::accept()
{
    MqttSettings s;
    QString error;
    if (!edited(s, &error)) {
        showMessage(error, true);
        return;
    }
    if (!SaveMqttSettings(s, &error)) {
        showMessage(error, true);
        if (Report)
            Report(error, true);
        return;
    }
    if (Report)
        Report(TranslateFmt(QStringLiteral("HomeAutomationSaved"), {MqttSettingsPath()}), false);
    QDialog::accept();
}

HomeAutomationCommand::HomeAutomationCommand(TfrmLumora *window) : QObject(window), w(window)
{
    setObjectName(QStringLiteral("homeAutomation"));
    mnuHomeAutomation = new QAction(this);
    mnuHomeAutomation->setObjectName(QStringLiteral("mnuHomeAutomation"));
    QAction *firmware = w->action(QStringLiteral("mnuFirmwareUpdate"));
    QAction *fileMenu = w->action(QStringLiteral("mnuFile"));
    if (QMenu *file = fileMenu ? fileMenu->menu() : nullptr) {
        // The sensor history's items stand right before the firmware update.
        file->insertAction(firmware, mnuHomeAutomation);
        file->insertSeparator(firmware);
        connect(file, &QMenu::aboutToShow, this, &HomeAutomationCommand::retranslate);
    }
    connect(mnuHomeAutomation, &QAction::triggered, this, &HomeAutomationCommand::mnuHomeAutomationClick);
    RunDialog = [](HomeAutomationDialog &dialog) { dialog.exec(); };
    retranslate();
}

void HomeAutomationCommand::retranslate() { mnuHomeAutomation->setText(Translate(QStringLiteral("mnuHomeAutomation"))); }

void HomeAutomationCommand::mnuHomeAutomationClick()
{
    HomeAutomationDialog dialog(w, LoadMqttSettings());
    dialog.Report = [this](const QString &text, bool failed) {
        w->AddLog(text, lcMqtt(), failed ? QtWarningMsg : QtInfoMsg);
    };
    if (RunDialog)
        RunDialog(dialog);
}

HomeAutomationCommand *InstallHomeAutomation(TfrmLumora *window) { return new HomeAutomationCommand(window); }
