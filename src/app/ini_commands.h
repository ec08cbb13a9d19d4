// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "files/backup_writer.h"
#include <QObject>
#include <QString>

#include <functional>

#include "files/ini_file.h"
#include "pages/enable_rules.h"
#include "pages/page.h"

class TfrmLumora;

// The File menu's INI commands (export, configuration import, schedule import) and the
// automatic backup the window writes before it disconnects.
class IniCommands : public QObject, public Page {
    Q_OBJECT
public:
    explicit IniCommands(TfrmLumora *window);

    void applyEnabling(const EnableState &state) override;

    struct FileDialogRequest {
        bool save = false;   // save dialog (asks before overwriting), else an open dialog
        QString title;
        QString folder;   // initial folder
        QString filter;   // "Aqualumora 1.x.5 configuration (*.ini)"
        QString defaultSuffix;   // "ini"
    };
    // Shows the file dialog; an empty result means cancelled. Tests replace it.
    std::function<QString(const FileDialogRequest &)> ChooseFile;

    void mnuScheduleConfigExportClick();
    void mnuConfigImportClick();
    void mnuScheduleImportClick();

    // Backup_<port>.ini in the program folder, from the whole image (the window decides
    // when: only while a device with its data is connected). A failure is logged once.
    void WriteBackupFile(const QString &port);

private:
    FileDialogRequest dialogRequest(bool save, const char *titleKey) const;
    // Says in the log which file an import read, or that it could not read it.
    void logRead(IniFile::LoadResult result, const QString &fileName, const char *readKey) const;

    TfrmLumora *w;
    // Backup_<port>.ini only: the window's BackupCommands keep the dated copies.
    BackupWriter m_backupWriter;
    EnableRules m_rules{{"mnuScheduleImport", Enable::Connected}, {"mnuConfigImport", Enable::Connected},
                        {"mnuScheduleConfigExport", Enable::Connected}};
};
