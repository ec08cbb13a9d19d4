// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ini_commands.h"

#include <QAction>
#include <QFileDialog>

#include "presentation/app_info.h"
#include "app/backup_commands.h"
#include "app/frm_lumora.h"
#include "app/window_page_host.h"
#include "presentation/localization.h"
#include "files/ini_file.h"
#include "files/settings_file.h"
#include "link/device_model.h"

IniCommands::IniCommands(TfrmLumora *window)
    : QObject(window), Page(window->model()), w(window),
      m_backupWriter(QString(), nullptr, [window](const QString &text) { window->AddLog(text, lcFiles()); })
{
    ChooseFile = [this](const FileDialogRequest &request) {
        QFileDialog dialog(w, request.title, request.folder, request.filter);
        dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
        dialog.setDefaultSuffix(request.defaultSuffix);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return QString();
        return dialog.selectedFiles().constFirst();
    };

    auto on = [this](const char *item, void (IniCommands::*handler)()) {
        if (QAction *action = w->action(QString::fromLatin1(item)))
            connect(action, &QAction::triggered, this, handler);
    };
    on("mnuScheduleConfigExport", &IniCommands::mnuScheduleConfigExportClick);
    on("mnuConfigImport", &IniCommands::mnuConfigImportClick);
    on("mnuScheduleImport", &IniCommands::mnuScheduleImportClick);
}

IniCommands::FileDialogRequest IniCommands::dialogRequest(bool save, const char *titleKey) const
{
    FileDialogRequest request;
    request.save = save;
    request.title = Translate(QString::fromLatin1(titleKey));
    request.folder = w->ProgramFolder;
    request.filter = TranslateFmt(QStringLiteral("LumoraConfig"), {QString::fromLatin1(AppInfo::Title)}) +
                     QStringLiteral(" (*.ini)");
    request.defaultSuffix = QStringLiteral("ini");
    return request;
}

void IniCommands::logRead(IniFile::LoadResult result, const QString &fileName, const char *readKey) const
{
    w->AddLog(TranslateFmt(QString::fromLatin1(result == IniFile::LoadResult::Loaded ? readKey : "ImportUnreadable"),
                           {fileName}), lcFiles());
}

void IniCommands::mnuScheduleConfigExportClick()
{
    // The link thread re-reads the records while the dialog is open, so the file gets the
    // controller's present state.
    w->model().request(Refresh);
    const QString fileName = ChooseFile(dialogRequest(true, "ExportScheduleConfig"));
    if (fileName.isEmpty())
        return;
    // The download runs on while the dialog is open; a file written before it is whole
    // would hold zeros and the values of an earlier controller.
    if (!w->ImageComplete()) {
        w->AddLog(Translate(QStringLiteral("ExportNotReady")), lcFiles());
        return;
    }
    if (WriteSettingsFileChecked(fileName, w->device(), OversizedFile::Keep) != SettingsWriteResult::Written)
        w->AddLog(TranslateFmt(QStringLiteral("ExportFailed"), {fileName}), lcFiles());
    else
        w->AddLog(TranslateFmt(QStringLiteral("ExportWritten"), {fileName}), lcFiles());
}

void IniCommands::mnuConfigImportClick()
{
    const QString fileName = ChooseFile(dialogRequest(false, "ImportConfig"));
    if (fileName.isEmpty())
        return;
    // The state the import replaces stays in the history.
    if (w->backups)
        w->backups->storeCopy(BackupReason::BeforeImport);
    IniFile ini;
    // An unreadable file reads as an empty one.
    logRead(IniFile::load(fileName, &ini), fileName, "ConfigImported");
    // Every part shows the new settings; all three records are sent.
    const DeviceModel::EditStep step(w->model(), Translate(QStringLiteral("UndoImport")));
    w->model().importSettings([&ini](DeviceImage &image) { ReadSettingsFromIni(ini, image); });
    w->ShowInfo();
    w->ExpertWeatherArrived();
    // The grid's colours follow the channel colour names.
    if (QWidget *grid = w->findChild<QWidget *>(QStringLiteral("sgSchedule")))
        grid->update();
}

void IniCommands::mnuScheduleImportClick()
{
    // The lines on their way from the controller would overwrite the imported ones.
    if (w->model().scheduleDownloading())
        return;
    const QString fileName = ChooseFile(dialogRequest(false, "ImportSchedule"));
    if (fileName.isEmpty())
        return;
    if (w->backups)
        w->backups->storeCopy(BackupReason::BeforeImport);
    IniFile ini;
    logRead(IniFile::load(fileName, &ini), fileName, "ScheduleImported");
    const DeviceModel::EditStep step(w->model(), Translate(QStringLiteral("UndoImport")));
    w->model().importSchedule([&ini](DeviceImage &image) { ReadScheduleFromIni(ini, image); });
}

void IniCommands::WriteBackupFile(const QString &port)
{
    m_backupWriter.setFolder(w->ProgramFolder);
    m_backupWriter.writeFile(port, w->device());
}

void IniCommands::applyEnabling(const EnableState &state)
{
    WindowPageHost host(w);
    m_rules.apply(host, {}, state);
}
