// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QObject>
#include <QSet>
#include <QString>

#include <functional>
#include <optional>

#include "files/backup_history.h"
#include "files/backup_writer.h"
#include "files/ini_file.h"
#include "pages/enable_rules.h"
#include "pages/page.h"

class QFrame;
class QLabel;
class QPushButton;
class TfrmLumora;

// What a restore or a comparison shows before anything is written.
struct RestorePreview {
    QString path;             // the copy or the file compared with
    std::optional<BackupCopy> copy;   // set for a copy of the history
    StateComparison comparison;       // controller now -> file
    unsigned differing = 0;           // RestoreSection bits with a difference
    bool firmwareDiffers = false;     // the copy was taken from another product or firmware
    int controllerLines = 0;          // the controller's schedule lines
    int backupLines = 0;              // the file's; lines beyond the controller's cannot be written
};

// The history of the controller's settings in the window: a dated copy at every automatic
// backup and before every risky write, the notice of a controller that has lost its
// settings, the restore with its preview and read-back check, and the comparison of any
// file with the controller. The File menu items "Back up now", "Restore from backup..."
// and "Compare with controller..." are its commands.
class BackupCommands : public QObject, public Page {
    Q_OBJECT
public:
    explicit BackupCommands(TfrmLumora *window, const QString &root = BackupHistory::defaultRoot());

    void applyEnabling(const EnableState &state) override;
    BackupHistory &history() { return m_history; }

    // A copy of the connected controller's whole state; logs why none was made when the
    // image is not complete. Returns whether a copy exists now (stored or identical).
    bool storeCopy(BackupReason reason);
    // The copy beside Backup_<port>.ini (the window has checked that the image is whole and
    // the port's); not logged when stored, only when it failed.
    void storeAutomatic(const QString &portEntry, BackupReason reason);
    // The download of this connection has just become complete.
    void downloadCompleted();

    void mnuBackupNowClick();
    void mnuRestoreBackupClick();
    void mnuCompareBackupClick();
    // Shows the preview of that copy (or of any state file) and restores what the user
    // chooses. False when nothing was written.
    bool restoreFrom(const QString &path);

    // The state of the controller as a backup holds it.
    IniFile currentState() const;
    RestorePreview previewOf(const QString &path, const IniFile &state, const std::optional<BackupCopy> &copy) const;

    // Choices; tests replace them. ChooseCopy: the path of the copy to restore, empty for
    // cancel. ChooseSections: the RestoreSection bits to restore, nullopt for cancel.
    // ShowComparison: the read-only list.
    std::function<QString(const QList<BackupCopy> &copies)> ChooseCopy;
    std::function<std::optional<unsigned>(const RestorePreview &preview)> ChooseSections;
    std::function<void(const RestorePreview &preview)> ShowComparison;

    // The bar above the pages that offers a copy after a loss.
    QFrame *bar = nullptr;
    QLabel *lblBar = nullptr;
    QPushButton *btnBarRestore = nullptr;
    QPushButton *btnBarDismiss = nullptr;
    QString OfferedPath() const { return m_offered; }
    // A restore written and waiting for the controller's values read back.
    bool CheckPending() const { return m_check.has_value(); }

private:
    void logLine(const QString &text) const;
    ControllerFirmware connectedFirmware() const;
    void offer(const BackupCopy &copy);
    void hideOffer();
    void readBack(const DeviceChange &change);
    void finishCheck();
    void retranslate();

    TfrmLumora *w;
    BackupHistory m_history;
    BackupWriter m_writer;             // the dated copies (the window writes Backup_<port>.ini)
    QSet<QString> m_dismissed;         // controllers whose offer the user dismissed
    QString m_offered;                 // the copy the bar offers
    bool m_complete = false;           // the download was complete at the last read
    struct Check {
        IniFile wanted;                // the restored state as sent
        unsigned sections = 0;
        unsigned waiting = 0;          // parts not read back yet (DevicePart bits)
    };
    std::optional<Check> m_check;
    EnableRules m_rules{{"mnuBackupNow", Enable::Connected}, {"mnuRestoreBackup", Enable::Connected},
                        {"mnuCompareBackup", Enable::Connected}};
};
