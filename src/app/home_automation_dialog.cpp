#include "app/home_automation_dialog.h"

#include "app/frm_lumora.h"
#include "presentation/localization.h"
#include "presentation/log_categories.h"

#include <QAction>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
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

    m_errorRow = new QWidget(this);
    auto *errorLayout = new QHBoxLayout(m_errorRow);
    errorLayout->setContentsMargins(0, 0, 0, 0);
    auto *icon = new QLabel(m_errorRow);
    const int iconSize = style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning, nullptr, this).pixmap(iconSize));
    icon->setAlignment(Qt::AlignTop);
    lblError = new QLabel(m_errorRow);
    lblError->setObjectName(QStringLiteral("lblError"));
    lblError->setWordWrap(true);
    errorLayout->addWidget(icon);
    errorLayout->addWidget(lblError, 1);
    m_errorRow->hide();
    layout->addWidget(m_errorRow);

    auto *note = new QLabel(Translate(QStringLiteral("HomeAutomationNote")), this);
    note->setObjectName(QStringLiteral("lblNote"));
    note->setWordWrap(true);
    note->setForegroundRole(QPalette::PlaceholderText);
    layout->addWidget(note);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &HomeAutomationDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    auto showEnabled = [this] { m_fields->setEnabled(chkEnabled->isChecked()); };
    connect(chkEnabled, &QCheckBox::toggled, this, showEnabled);
    showEnabled();
    connect(edtBroker, &QLineEdit::editingFinished, this, &HomeAutomationDialog::brokerEdited);
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

void HomeAutomationDialog::showError(const QString &text)
{
    lblError->setText(text);
    m_errorRow->setVisible(!text.isEmpty());
    adjustSize();
}

void HomeAutomationDialog::accept()
{
    MqttSettings s;
    QString error;
    if (!edited(s, &error)) {
        showError(error);
        return;
    }
    if (!SaveMqttSettings(s, &error)) {
        showError(error);
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
