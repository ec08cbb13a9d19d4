// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/backup_commands.h"

#include <QAction>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

#include "app/frm_lumora.h"
#include "app/ini_commands.h"
#include "app/restore_dialog.h"
#include "app/window_page_host.h"
#include "files/restore_check.h"
#include "files/settings_file.h"
#include "link/records.h"
#include "link/thd_com.h"
#include "presentation/app_info.h"
#include "presentation/localization.h"

namespace {

// The records a restore of these sections sends, as the parts that read them back.
unsigned partsWritten(unsigned sections)
{
    unsigned parts = 0;
    if (sections & RestoreSettings)
        parts |= PartConfig | PartExpert | PartExpertWeather;
    if (sections & RestoreSchedule)
        parts |= PartSchedule;
    return parts;
}

QString portOf(const QString &portEntry) { return portEntry.section(u' ', 0, 0); }

} // namespace

BackupCommands::BackupCommands(TfrmLumora *window, const QString &root)
    : QObject(window), Page(window->model()), w(window), m_history(root), m_writer(QString(), &m_history, [this](const QString &text) { logLine(text); })
{
    setObjectName(QStringLiteral("backups"));
    ChooseCopy = [this](const QList<BackupCopy> &copies) {
        CopyListDialog dialog(w, copies);
        return dialog.exec() == QDialog::Accepted ? dialog.chosenPath() : QString();
    };
    ChooseSections = [this](const RestorePreview &preview) -> std::optional<unsigned> {
        PreviewDialog dialog(w, preview, false);
        if (dialog.exec() != QDialog::Accepted)
            return std::nullopt;
        return dialog.chosenSections();
    };
    ShowComparison = [this](const RestorePreview &preview) {
        PreviewDialog dialog(w, preview, true);
        dialog.exec();
    };

    auto on = [this](const char *item, void (BackupCommands::*handler)()) {
        if (QAction *action = w->action(QString::fromLatin1(item)))
            connect(action, &QAction::triggered, this, handler);
    };
    on("mnuBackupNow", &BackupCommands::mnuBackupNowClick);
    on("mnuRestoreBackup", &BackupCommands::mnuRestoreBackupClick);
    on("mnuCompareBackup", &BackupCommands::mnuCompareBackupClick);

    // The bar above the pages: a notice, never a dialog; the pages stay usable under it.
    bar = w->barRestore;
    if (bar) {
        auto *layout = new QHBoxLayout(bar);
        layout->setContentsMargins(8, 4, 8, 4);
        lblBar = new QLabel(bar);
        lblBar->setObjectName(QStringLiteral("lblRestoreOffer"));
        lblBar->setWordWrap(true);
        lblBar->setTextFormat(Qt::PlainText);
        btnBarRestore = new QPushButton(bar);
        btnBarRestore->setObjectName(QStringLiteral("btnBarRestore"));
        btnBarDismiss = new QPushButton(bar);
        btnBarDismiss->setObjectName(QStringLiteral("btnBarDismiss"));
        layout->addWidget(lblBar, 1);
        layout->addWidget(btnBarRestore);
        layout->addWidget(btnBarDismiss);
        connect(btnBarRestore, &QPushButton::clicked, this, [this] { restoreFrom(m_offered); });
        connect(btnBarDismiss, &QPushButton::clicked, this, [this] {
            // Not offered again for this controller while the program runs.
            m_dismissed.insert(BackupHistory::controllerFolderName(w->Download.port()));
            hideOffer();
        });
        bar->setVisible(false);
    }

    connect(&w->model(), &DeviceModel::changed, this, [this](const DeviceChange &change) {
        if (change.origin != DeviceChange::Origin::Controller)
            return;
        const bool complete = w->IsConnected() && w->ImageComplete();
        const bool completed = complete && !m_complete;
        m_complete = complete;
        if (m_check)
            readBack(change);
        if (completed)
            downloadCompleted();
    });
}

void BackupCommands::applyEnabling(const EnableState &state)
{
    WindowPageHost host(w);
    m_rules.apply(host, {}, state);
    if (state.connected)
        return;
    // What the bar offers and what a restore waits for belong to the controller that was.
    m_complete = false;
    hideOffer();
    if (m_check) {
        m_check.reset();
        logLine(Translate(QStringLiteral("RestoreCheckAbandoned")));
    }
}

void BackupCommands::logLine(const QString &text) const { w->AddLog(text, lcFiles()); }

ControllerFirmware BackupCommands::connectedFirmware() const
{
    ControllerFirmware firmware;
    if (const TthdCom *link = w->Link()) {
        if (link->DeviceType() != DeviceTypeNone)
            firmware.deviceType = link->DeviceType();
        if (link->FirmwareVersion() != DeviceTypeNone)
            firmware.version = link->FirmwareVersion();
    }
    return firmware;
}

IniFile BackupCommands::currentState() const
{
    IniFile state;
    WriteImageToIni(state, w->device());
    return state;
}

void BackupCommands::storeAutomatic(const QString &portEntry, BackupReason reason)
{
    m_writer.storeCopy(portEntry, w->device(), reason, connectedFirmware());
}

bool BackupCommands::storeCopy(BackupReason reason)
{
    if (!w->IsConnected() || !w->ImageComplete() || w->Download.port().isEmpty()) {
        logLine(TranslateFmt(QStringLiteral("BackupNotReady"), {BackupReasonText(reason)}));
        return false;
    }
    const StoreResult result = m_writer.storeCopy(w->Download.port(), w->device(), reason, connectedFirmware());
    switch (result.outcome) {
    case StoreResult::Stored:
        logLine(TranslateFmt(QStringLiteral("BackupStored"), {BackupReasonText(reason), result.path}));
        return true;
    case StoreResult::Identical:
        logLine(TranslateFmt(QStringLiteral("BackupIdentical"), {BackupReasonText(reason), result.path}));
        return true;
    case StoreResult::Failed:
        return false;
    }
    return false;
}

void BackupCommands::mnuBackupNowClick() { storeCopy(BackupReason::ByHand); }

void BackupCommands::downloadCompleted()
{
    const QString port = w->Download.port();
    if (m_dismissed.contains(BackupHistory::controllerFolderName(port)))
        return;
    const IniFile state = currentState();
    const std::optional<BackupCopy> copy = m_history.copyToOfferAfterLoss(port, state, {connectedFirmware(), &state});
    if (!copy) {
        hideOffer();
        return;
    }
    logLine(TranslateFmt(QStringLiteral("LostSettingsNoticed"),
                         {portOf(port), QString::number(copy->differences), TakenText(copy->taken), copy->path}));
    offer(*copy);
}

void BackupCommands::offer(const BackupCopy &copy)
{
    m_offered = copy.path;
    if (!bar)
        return;
    retranslate();
    lblBar->setText(TranslateFmt(QStringLiteral("LostSettingsBar"), {TakenText(copy.taken), QString::number(copy.differences)}));
    lblBar->setToolTip(copy.path);
    bar->setVisible(true);
}

void BackupCommands::hideOffer()
{
    m_offered.clear();
    if (bar)
        bar->setVisible(false);
}

void BackupCommands::retranslate()
{
    if (btnBarRestore)
        btnBarRestore->setText(Translate(QStringLiteral("BarRestore")));
    if (btnBarDismiss)
        btnBarDismiss->setText(Translate(QStringLiteral("BarDismiss")));
}

RestorePreview BackupCommands::previewOf(const QString &path, const IniFile &state,
                                         const std::optional<BackupCopy> &copy) const
{
    RestorePreview preview;
    preview.path = path;
    preview.copy = copy;
    preview.comparison = CompareStates(currentState(), state);
    preview.differing = DifferingSections(preview.comparison);
    preview.firmwareDiffers = copy && copy->firmwareDiffers;
    preview.controllerLines = int(w->device().Schedule.size());
    preview.backupLines = ScheduleLinesIn(state);
    return preview;
}

void BackupCommands::mnuRestoreBackupClick()
{
    const bool complete = w->IsConnected() && w->ImageComplete();
    const IniFile state = complete ? currentState() : IniFile();
    ListContext context;
    if (w->IsConnected())
        context.connected = connectedFirmware();
    if (complete)
        context.connectedState = &state;
    const QString path = ChooseCopy ? ChooseCopy(m_history.allCopies(context)) : QString();
    if (!path.isEmpty())
        restoreFrom(path);
}

bool BackupCommands::restoreFrom(const QString &path)
{
    if (path.isEmpty())
        return false;
    // A restore into an image that is not the controller's whole state would send the rest
    // of it (start-up values, another controller's) along.
    if (!w->IsConnected() || !w->ImageComplete() || model().scheduleDownloading()) {
        logLine(Translate(QStringLiteral("RestoreNotReady")));
        return false;
    }
    const IniFile now = currentState();
    std::optional<BackupCopy> copy;
    for (const BackupCopy &listed : m_history.allCopies({connectedFirmware(), &now}))
        if (listed.path == path)
            copy = listed;
    const std::optional<IniFile> backup = m_history.readCopy(path);
    if (!copy || !backup) {
        logLine(TranslateFmt(QStringLiteral("RestoreUnreadable"),
                             {path, CopyConditionText(copy ? copy->condition : CopyCondition::Inaccessible)}));
        return false;
    }
    const RestorePreview preview = previewOf(path, *backup, copy);
    if (preview.differing == 0) {
        logLine(TranslateFmt(QStringLiteral("RestoreNothingDiffers"), {path}));
        hideOffer();
        return false;
    }
    const std::optional<unsigned> chosen = ChooseSections ? ChooseSections(preview) : std::nullopt;
    const unsigned sections = chosen.value_or(0) & preview.differing;
    if (!sections)
        return false;
    // The dialog was open for a while: the connection may have ended or moved meanwhile.
    if (!w->IsConnected() || !w->ImageComplete() || model().scheduleDownloading()) {
        logLine(Translate(QStringLiteral("RestoreNotReady")));
        return false;
    }
    storeCopy(BackupReason::BeforeRestore);

    // The import's own path: the records are read from the chosen sections only, so the
    // others keep the controller's values, and then sent whole.
    const IniFile subset = RestoreSubset(*backup, sections);
    const DeviceModel::EditStep step(model(), Translate(QStringLiteral("UndoRestore")));
    if (sections & RestoreSettings) {
        model().importSettings([&subset](DeviceImage &image) { ReadSettingsFromIni(subset, image); });
        w->ShowInfo();
        if (QWidget *grid = w->findChild<QWidget *>(QStringLiteral("sgSchedule")))
            grid->update();
    }
    if (sections & RestoreSchedule) {
        model().importSchedule([&subset](DeviceImage &image) { ReadScheduleFromIni(subset, image); });
        if (preview.backupLines > preview.controllerLines)
            logLine(TranslateFmt(QStringLiteral("RestoreLinesNotWritten"),
                                 {QString::number(preview.backupLines), QString::number(preview.controllerLines)}));
    }
    const StateComparison written = CompareSections(now, currentState(), sections);
    logLine(TranslateFmt(QStringLiteral("RestoreWritten"), {path, QString::number(written.count())}));
    m_check = Check{currentState(), sections, partsWritten(sections)};
    // Everything is read back once the writes are through (a read waits for its write).
    model().request(Refresh);
    hideOffer();
    return true;
}

void BackupCommands::readBack(const DeviceChange &change)
{
    unsigned arrived = change.parts & m_check->waiting & (PartConfig | PartExpert | PartExpertWeather);
    // The schedule counts once every line was sent and a whole download followed.
    if ((change.parts & PartSchedule) && !model().isRequestPending(SetSchedule) && w->ImageComplete())
        arrived |= PartSchedule & m_check->waiting;
    m_check->waiting &= ~arrived;
    if (m_check->waiting == 0)
        finishCheck();
}

void BackupCommands::finishCheck()
{
    const Check check = std::move(*m_check);
    m_check.reset();
    const StateComparison result = CompareSections(currentState(), check.wanted, check.sections);
    if (result.count() == 0) {
        logLine(TranslateFmt(QStringLiteral("RestoreChecked"), {QString::number(result.compared)}));
        return;
    }
    QStringList lines{TranslateFmt(QStringLiteral("RestoreRefused"),
                                   {QString::number(result.count()), QString::number(result.compared)})};
    for (const StateDifference &d : result.differences)
        lines << TranslateFmt(QStringLiteral("RestoreRefusedValue"), {d.section, d.key, ValueText(d.backup), ValueText(d.now)});
    w->AddLog(lines.join(u'\n'), lcFiles(), QtWarningMsg);
}

void BackupCommands::mnuCompareBackupClick()
{
    if (!w->IsConnected() || !w->ImageComplete()) {
        logLine(Translate(QStringLiteral("CompareNotReady")));
        return;
    }
    IniCommands::FileDialogRequest request;
    request.title = Translate(QStringLiteral("CompareFileTitle"));
    request.folder = w->ProgramFolder;
    request.filter = TranslateFmt(QStringLiteral("LumoraConfig"), {QString::fromLatin1(AppInfo::Title)}) +
                     QStringLiteral(" (*.ini)");
    request.defaultSuffix = QStringLiteral("ini");
    const QString path = w->iniCommands && w->iniCommands->ChooseFile ? w->iniCommands->ChooseFile(request) : QString();
    if (path.isEmpty())
        return;
    IniFile state;
    if (IniFile::load(path, &state) != IniFile::LoadResult::Loaded) {
        logLine(TranslateFmt(QStringLiteral("CompareUnreadable"), {path}));
        return;
    }
    const RestorePreview preview = previewOf(path, state, std::nullopt);
    logLine(TranslateFmt(QStringLiteral("CompareResult"),
                         {path, QString::number(preview.comparison.count()), QString::number(preview.comparison.compared)}));
    if (ShowComparison)
        ShowComparison(preview);
}
