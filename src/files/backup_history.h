// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A history of the controller's settings: every automatic or hand-made backup becomes a
// copy of its own, never overwritten, so that one connection to a controller that has lost
// its settings cannot destroy the last good state (unlike the single Backup_<port>.ini).
//
// Layout: <root>/<controller>/<taken>.ini, where <controller> is the port entry made safe
// as a file name (controllerFolderName) and <taken> the local date and time of the copy,
// "2026-12-08_23-10-05.ini"; a second copy in the same second is "..._02.ini", then "_03"
// and so on, names that sort after the first one and in the order they were taken.
//
// A copy is the state as WriteImageToIni writes it (the settings sections Config, Weather,
// Names, RC5, TimeZone and one numbered section per schedule line) after a first section
// [Backup] that the imports do not read:
//   Product   always BackupProduct; a file without it (or with another) is not ours
//   Reason    why it was taken (BackupReasonKey)
//   Taken     ISO 8601 local date and time with its UTC offset
//   Port      the port entry it was taken from
//   Program   the program's version
//   Device    the controller's device type as it identified itself
//   Firmware  the controller's firmware version
//   Lines     the number of schedule line sections that follow, and
//   Values    the number of settings and schedule line keys in them: a copy holding fewer
//             was cut off (or had keys deleted by hand) and is not restored
// The metadata come first so that a copy cut off anywhere still says what it was.
//
// Everything here works on IniFile contents, not on the device image, and is widget-free.
// One BackupHistory is meant for one thread (it caches parsed copies); separate objects on
// one root do not disturb each other beyond what they see on the disk.

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class IniFile;
struct BackupStateValues;   // the compared values of a state, private to the history

inline constexpr const char *BackupProduct = "Aqualumora 1.x";
inline constexpr const char *BackupMetadataSection = "Backup";

enum class BackupReason {
    Disconnect,
    Closing,
    PortChange,
    BeforeFirmwareUpdate,
    BeforeImport,
    BeforeRestore,
    ByHand,
    Unknown,   // only in listings: a Reason value this program does not know
};
// The stable English key written to the file ("Disconnect", "BeforeFirmwareUpdate", ...).
QString BackupReasonKey(BackupReason reason);
// The reason of a key, matched without regard to letter case; Unknown for any other text.
BackupReason BackupReasonFromKey(QStringView key);

// What the controller said of itself when identified; -1 for not known.
struct ControllerFirmware {
    int deviceType = -1;
    int version = -1;
    friend bool operator==(const ControllerFirmware &, const ControllerFirmware &) = default;
};

// ---------------------------------------------------------------------------------------
// Comparing two states

// One value that differs; an absent value is nullopt. Values compare as the imports read
// them: case-insensitive names, "0x0C" equal to "12", a non-integer value counts as absent.
struct StateDifference {
    QString section;
    QString key;
    std::optional<int64_t> now;      // in the controller's state
    std::optional<int64_t> backup;   // in the copy
};

struct StateComparison {
    QList<StateDifference> differences;   // settings in SettingsKeys() order, then line by line
    int compared = 0;   // values looked at: every settings key and each line key of every
                        // schedule line present in either state
    int count() const { return int(differences.size()); }
};

// Compares the known settings keys (SettingsKeys()) and, for the schedule lines present in
// either state, the schedule line keys (ScheduleLineKeys()); nothing else in the files.
StateComparison CompareStates(const IniFile &now, const IniFile &backup);

// Whether a controller whose complete download gave `download` looks as if it has lost the
// settings that `backup` holds. Both must hold:
//  - more than half of the compared values differ (CompareStates), and
//  - the backup holds more: more schedule lines than the download, or more channel levels
//    that are not zero (the schedule lines' Color16x and the Weather section's MoonColor16x
//    taken together).
// A controller the user has merely edited keeps most of its values; one back from a
// factory reset or a failed update has few lines and zero levels.
bool LooksLikeLostSettings(const IniFile &download, const IniFile &backup);

// ---------------------------------------------------------------------------------------
// The history

// Whether a copy in the history can be read back; anything but Readable is never offered
// for a restore (readCopy refuses it).
enum class CopyCondition {
    Readable,
    Damaged,       // not an INI file: binary bytes, text lines that are neither sections nor keys
    Foreign,       // no [Backup] section, or one written for another product
    Truncated,     // empty, a settings section missing, or cut off (see Lines and Values above)
    Oversized,     // larger than the imports read (IniFile::MaxFileSize)
    Inaccessible,  // could not be opened or read
};

struct BackupCopy {
    QString path;
    QString controller;   // the controller's folder name (controllerFolderName of its port)
    QString port;         // the port entry recorded in the copy; empty when not known
    QDateTime taken;      // with the offset it was recorded with; invalid when not known
    BackupReason reason = BackupReason::Unknown;
    QString program;
    ControllerFirmware firmware;
    CopyCondition condition = CopyCondition::Inaccessible;
    // The connected controller has another device type or firmware version (only when the
    // listing was given the connected firmware; a copy without these values differs).
    bool firmwareDiffers = false;
    // Values differing from the connected controller's state (only when the listing was
    // given that state and the copy is readable); else -1.
    int differences = -1;
    int scheduleLines = 0;

    bool restorable() const { return condition == CopyCondition::Readable; }
};

// Why a copy could not be stored; a caller that logs once per cause can key on this.
enum class StoreFailure {
    None,
    NoSpace,       // ENOSPC, EDQUOT
    NotWritable,   // EROFS, EACCES, EPERM: read-only file system or no permission
    Other,         // anything else; see errorText
};

struct StoreResult {
    enum Outcome { Stored, Identical, Failed };
    Outcome outcome = Failed;
    QString path;            // Stored: the new copy; Identical: the copy it equals
    StoreFailure failure = StoreFailure::None;
    int error = 0;           // errno of the failure, 0 when it is not a system error
    QString errorText;       // the system's text of the error, or what went wrong
    QStringList removed;     // copies the retention removed after storing
};

// What the copy records besides the state.
struct BackupInfo {
    BackupReason reason = BackupReason::ByHand;
    QString program;               // the program's version
    ControllerFirmware firmware;   // of the controller the state was downloaded from
};

// For listings: what the restore list compares each copy with.
struct ListContext {
    std::optional<ControllerFirmware> connected;   // sets BackupCopy::firmwareDiffers
    const IniFile *connectedState = nullptr;       // sets BackupCopy::differences
};

// The steps of storing a copy, for failure injection in tests.
enum class StoreStep { CreateFolder, CreateTemporary, Write, Sync, Publish };

class BackupHistory {
public:
    // $XDG_DATA_HOME/Aqualumora/backups (the generic data location).
    static QString defaultRoot();
    // SafePortName of the port entry; a name of dots only ("." or "..") would name the
    // root or its parent and has its dots turned into "_". Empty when there is no port.
    static QString controllerFolderName(const QString &portEntry);

    explicit BackupHistory(QString root);
    ~BackupHistory();
    BackupHistory(const BackupHistory &) = delete;
    BackupHistory &operator=(const BackupHistory &) = delete;

    QString root() const { return m_root; }
    // root/controllerFolderName(portEntry); empty when there is no port.
    QString controllerFolder(const QString &portEntry) const;

    // Stores state as a new copy for that port, unless it equals the newest readable copy of
    // that controller in every compared value (CompareStates): then nothing is written and
    // the result is Identical. A Stored copy is followed by the retention (applyRetention).
    // A failure leaves every older copy as it was and nothing half-written under a name that
    // a listing shows. `now` names the copy and is its Taken time; its time zone (or the
    // local one) decides the local date and time.
    StoreResult store(const QString &portEntry, const IniFile &state, const BackupInfo &info,
                      const QDateTime &now = QDateTime::currentDateTime());

    // Every copy of every controller, or of the one port, newest first (copies whose time is
    // not known last). Lists each regular file ending in ".ini" in a controller folder,
    // whatever else its name holds; files starting with "." (temporaries) are passed over.
    QList<BackupCopy> allCopies(const ListContext &context = {}) const;
    QList<BackupCopy> copies(const QString &portEntry, const ListContext &context = {}) const;

    // The state of a copy for a restore; nullopt unless the file is (still) Readable.
    std::optional<IniFile> readCopy(const QString &path) const;

    // The copy to offer when the controller of that port looks as if it has lost its
    // settings: the newest readable copy that is not identical to the download, tested with
    // LooksLikeLostSettings. Copies identical to the download are passed over when the
    // program took them by itself (Disconnect, Closing, PortChange, BeforeFirmwareUpdate),
    // because it may have stored the lost state before anyone looked; one the user made or
    // that preceded an import or a restore (ByHand, BeforeImport, BeforeRestore) says the
    // state is wanted, and nothing is offered.
    std::optional<BackupCopy> copyToOfferAfterLoss(const QString &portEntry, const IniFile &download,
                                                   const ListContext &context = {}) const;

    // Removes copies of that controller that the retention no longer keeps, and returns
    // their paths. Kept are:
    //  - every copy taken at or after the same local clock time 30 days before now;
    //  - of older copies, the newest of each calendar month (local time);
    //  - the 10 newest copies, whatever their age.
    // Only readable copies with the history's own names are ever removed: unreadable and
    // foreign files and files with other names stay. A copy's age is its Taken time (its
    // name when Taken is missing), never the file system's time; local means the time zone
    // of `now`.
    QStringList applyRetention(const QString &portEntry, const QDateTime &now = QDateTime::currentDateTime());

    // Tests: called before each step of a store with that step; a non-zero errno value
    // makes the step fail as if the system had returned it (Write fails after half the
    // bytes, as a disk that fills up would).
    void setFaultInjector(std::function<int(StoreStep)> injector) { m_inject = std::move(injector); }

    static constexpr int KeepDays = 30;
    static constexpr int KeepNewest = 10;

private:
    struct Cache;
    QList<BackupCopy> listFolder(const QString &folderName, const ListContext &context,
                                 const BackupStateValues *connectedState) const;

    QString m_root;
    std::unique_ptr<Cache> m_cache;
    std::function<int(StoreStep)> m_inject;
};
