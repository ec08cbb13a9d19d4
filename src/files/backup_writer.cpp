// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/backup_writer.h"

#include "files/ini_file.h"
#include "files/settings_file.h"
#include "presentation/app_info.h"
#include "presentation/localization.h"

BackupWriter::BackupWriter(QString folder, BackupHistory *history, LogFn log)
    : m_folder(std::move(folder)), m_history(history), m_log(std::move(log))
{
}

bool BackupWriter::writeFile(const QString &portEntry, const DeviceImage &image)
{
    const bool written = WriteBackupFile(m_folder, portEntry, image);
    if (!written && !m_fileFailureSaid)
        m_log(TranslateFmt(QStringLiteral("BackupFileFailed"), {BackupFilePath(m_folder, portEntry)}));
    m_fileFailureSaid = !written;
    return written;
}

StoreResult BackupWriter::storeCopy(const QString &portEntry, const DeviceImage &image, BackupReason reason,
                                    const ControllerFirmware &firmware)
{
    if (!m_history)
        return {StoreResult::Failed, QString(), StoreFailure::Other, 0, QStringLiteral("no backup history"), {}};
    IniFile state;
    WriteImageToIni(state, image);
    const StoreResult result = m_history->store(portEntry, state, {reason, QString::fromLatin1(AppInfo::Version), firmware});
    if (result.outcome != StoreResult::Failed) {
        m_loggedFailures.clear();   // a later failure is news again
        return result;
    }
    if (m_loggedFailures.contains(int(result.failure)))
        return result;
    m_loggedFailures.insert(int(result.failure));
    switch (result.failure) {
    case StoreFailure::NoSpace:
        m_log(TranslateFmt(QStringLiteral("BackupNoSpace"), {m_history->root()}));
        break;
    case StoreFailure::NotWritable:
        m_log(TranslateFmt(QStringLiteral("BackupNotWritable"), {m_history->root()}));
        break;
    case StoreFailure::None:
    case StoreFailure::Other:
        m_log(TranslateFmt(QStringLiteral("BackupWriteFailed"), {result.errorText}));
        break;
    }
    return result;
}

void BackupWriter::writeAutomatic(const QString &portEntry, const DeviceImage &image, BackupReason reason,
                                  const ControllerFirmware &firmware)
{
    writeFile(portEntry, image);
    storeCopy(portEntry, image, reason, firmware);
}
