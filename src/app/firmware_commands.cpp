// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/firmware_commands.h"

#include "app/backup_commands.h"
#include "app/frm_lumora.h"
#include "presentation/localization.h"
#include "link/device_model.h"
#include "link/firmware.h"
#include "link/link_host.h"
#include "link/records.h"
#include "link/thd_com.h"

#include <QAction>
#include <QFileDialog>

#include <memory>

namespace {

// This product's model name, the first of the table.
const QString ProductName = QString::fromLatin1(ModelNames[0]);
const QString FilePrefix = QStringLiteral("Aqualumora1x");

QString runFileDialog(QWidget *parent, const FirmwareDialogRequest &request)
{
    const std::unique_ptr<QFileDialog> dialog(CreateFirmwareFileDialog(parent, request));
    if (dialog->exec() != QDialog::Accepted)
        return QString();
    return dialog->selectedFiles().value(0);
}

} // namespace

QFileDialog *CreateFirmwareFileDialog(QWidget *parent, const FirmwareDialogRequest &request)
{
    auto *dialog = new QFileDialog(parent, request.title, request.folder, request.filter);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setDefaultSuffix(request.defaultSuffix);
    dialog->selectFile(request.fileName);
    return dialog;
}

FirmwareCommands::FirmwareCommands(TfrmLumora *window) : QObject(window), w(window)
{
    OpenFileDialog = [this](const FirmwareDialogRequest &request) { return runFileDialog(w, request); };
    connect(w->action(QStringLiteral("mnuFirmwareUpdate")), &QAction::triggered, this,
            &FirmwareCommands::mnuFirmwareUpdateClick);

    // The file's log line is the window's own; it is built on the UI thread, where the
    // language table and the locale live.
    InstallFirmwareTransfer([](TthdCom &thread, const QString &path) {
        QString info;
        thread.Synchronize([&](LinkHost &) {
            if (TfrmLumora *window = MainWindow())
                info = window->ProgramFileInfo(path);
        });
        return info;
    });
}

QString FirmwareCommands::DefaultFileName()
{
    return FilePrefix + QString::number(ExpectedFirmwareVersion) + QStringLiteral(".chx");
}

void FirmwareCommands::mnuFirmwareUpdateClick()
{
    // The shortcut still fires after the link has ended; without a link there is nobody
    // to serve the request.
    if (!w->LinkRunning())
        return;
    if (!w->ConfirmYesNo(Translate(QStringLiteral("FlashDlgText")), Translate(QStringLiteral("FlashDlgCaption"))))
        return;
    // A new firmware starts from its defaults: the state before it is kept in the history.
    if (w->backups)
        w->backups->storeCopy(BackupReason::BeforeFirmwareUpdate);
    w->model().request(FirmwareUpdate);
}

FirmwareDialogRequest FirmwareCommands::dialogRequest() const
{
    FirmwareDialogRequest request;
    request.title = TranslateFmt(QStringLiteral("ChooseFirmware"), {ProductName});
    request.folder = w->ProgramFolder;
    request.fileName = w->ProgramFolder + DefaultFileName();
    const QString pattern = FilePrefix + QStringLiteral("*.chx");
    request.filter = TranslateFmt(QStringLiteral("FirmwareFile"), {ProductName}) + QStringLiteral(" (") + pattern + u')';
    request.defaultSuffix = QStringLiteral("chx");
    return request;
}

QString FirmwareCommands::ChooseFirmwareFile()
{
    const QString chosen = OpenFileDialog ? OpenFileDialog(dialogRequest()) : QString();
    if (!chosen.isEmpty())
        w->SelectPage(w->page(QStringLiteral("tsMessages")));
    return chosen;
}
