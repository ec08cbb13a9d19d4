// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The automatic backups of one program (the window or the background service): the file
// Backup_<port>.ini that each backup replaces, and the dated copy of the backup history
// beside it. A backup that cannot be written is said in the log once for each cause, until
// one is written again: the user relies on it being there, but a full disk is news once.

#include "files/backup_history.h"

#include <QSet>
#include <QString>

#include <functional>

struct DeviceImage;

class BackupWriter
{
public:
    using LogFn = std::function<void(const QString &)>;
    // folder: where Backup_<port>.ini goes; history: the dated copies (null: this writer
    // writes only the file).
    BackupWriter(QString folder, BackupHistory *history, LogFn log);

    // Backup_<port>.ini from the image; whether it was written.
    bool writeFile(const QString &portEntry, const DeviceImage &image);
    // A dated copy of the image (unless it equals the newest one); a failure is logged.
    StoreResult storeCopy(const QString &portEntry, const DeviceImage &image, BackupReason reason,
                          const ControllerFirmware &firmware);
    // Both, as at a disconnect.
    void writeAutomatic(const QString &portEntry, const DeviceImage &image, BackupReason reason,
                        const ControllerFirmware &firmware);

    void setFolder(const QString &folder) { m_folder = folder; }

private:
    QString m_folder;
    BackupHistory *m_history;
    LogFn m_log;
    bool m_fileFailureSaid = false;
    QSet<int> m_loggedFailures;   // StoreFailure values said since the last good copy
};
