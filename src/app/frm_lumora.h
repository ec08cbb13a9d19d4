// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QLabel>
#include <QLocale>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QPointer>
#include <QStatusBar>
#include <QStringList>
#include <QTabWidget>

#include "presentation/cmdline.h"
#include "presentation/connection_state.h"
#include "presentation/download_gate.h"
#include "presentation/download_progress.h"
#include "presentation/log_categories.h"
#include "presentation/unsaved_settings.h"
#include "app/log_memo.h"
#include "files/backup_history.h"
#include "pages/enable_rules.h"
#include "link/device_model.h"
#include "link/thd_com.h"
#include "pages/page.h"
#include "schedule/schedule_edit.h"

#include <functional>
#include <memory>
#include <vector>

class QAction;
class QFrame;
class BackupCommands;
class QMessageBox;
class QMenu;
class QPushButton;
class QProgressBar;
class QTimer;
class TaskbarIndicator;
class ChannelsPage;
class IniCommands;
class EditCommands;
class ChartPage;
class ModeCommands;
class BluetoothSetup;
class SettingsPages;
class FirmwareCommands;
class ScheduleGrid;
class VisualizePage;
class GeoPage;
class TthdCom;
class WindowLinkHost;
class WindowPageHost;
class SerialPortWatcher;
class PowerWatcher;
class SimulatorPort;

// Which switch or menu item shows a page that is hidden at start.
enum class ShownBy { Start, Expert, Rc433, Never };

// The main window: every page, menu and control of the program, for the one controller
// whose model it holds. Its parts change the model through the model's edits; the link
// thread reaches the model through blocking hand-overs to this window's thread.
class TfrmLumora : public QMainWindow {
    Q_OBJECT
public:
    // Creation runs the whole start-up sequence (FormCreate); arguments exclude the
    // program name.
    explicit TfrmLumora(const QStringList &arguments, QWidget *parent = nullptr);
    ~TfrmLumora() override;

    // The controller's state the window shows and edits.
    DeviceModel &model() { return *m_model; }
    const DeviceImage &device() const { return m_model->image(); }

    // Window state shared by several parts of the window.
    QString PortName;
    bool DebugMessages = false;
    QString ProgramFolder;
    // The channel the light curves edit, the line dragged there, the column copied.
    ScheduleEdit Edit;
    int LanguageNumber = 0;

    // Message log and status bar. Every line also goes to standard error, through the
    // category of the subsystem that logs it.
    void AddLog(const QString &text, const QLoggingCategory &category = lcApp(), QtMsgType type = QtInfoMsg);
    // AddLog as a callable for plain code that reports lines (port list, registry).
    std::function<void(const QString &)> LogSink() { return [this](const QString &line) { AddLog(line); }; }
    void SetStatusText(const QString &text, const QLoggingCategory &category = lcApp());

    // Connection state: enables or disables every device-dependent control.
    void SetConnected(bool connected);
    bool IsConnected() const { return m_connected; }
    // Runs every part's enabling rules when the state they depend on changed (force: anyway).
    void UpdateEnabling(bool force);

    void SelectPage(QWidget *page);
    void SetTaskbarProgress(qint64 done, qint64 total);
    QString ProgramFileInfo(const QString &path) const;
    void OpenUrl(const QString &url);
    // Help → About: shows the box (window-modal, not waited for) and returns it.
    QMessageBox *ShowAbout();

    // Refreshes from the device image. Each reaches the part of the current page at once
    // and the others when their page is next shown.
    void ShowInfo();
    void ShowConfig();
    void ShowChannelNames();
    void FillScheduleGrid();
    // After a user's command or an import changed the records named (Refresh bits): every
    // part at once, the enabling, ShowInfo's status line.
    void RefreshFromImage(unsigned what);
    // What follows a read of ExpertWeather, the last record of a download (and an import
    // of the settings): the first complete one leaves the message log for the page of the
    // current mode, and the port is remembered.
    void ExpertWeatherArrived();

    // "Now": the controller's clock := this computer's, in real time again.
    void btnNowClick();
    // "Realtime": time-lapse factor 1.
    void btnRealtimeClick();

    // Modal Yes/No question (warning icon, No is the default); tests replace it.
    std::function<bool(const QString &text, const QString &caption)> ConfirmYesNo;
    // The box ConfirmYesNo shows; the caller owns it.
    static QMessageBox *CreateConfirmBox(QWidget *parent, const QString &text, const QString &caption);

    // Link control (connecting, disconnecting, the reconnect by double click).
    bool LinkRunning() const;
    void StartLink(const QString &portEntry);
    // reason: what the backup copy taken before the link stops is marked with.
    void StopLink(BackupReason reason = BackupReason::Disconnect);
    void memDblClick();
    // What a double click on the log runs (memDblClick); tests replace it.
    std::function<void()> LogDoubleClick;
    void mnuConnectionClick();
    // Bluetooth installation and removal runs of the controller.
    void mnuDiscoverClick();
    void mnuRemoveClick();
    void ConnectToEntry(const QString &entry);
    // A new serial port appeared / the system suspends or resumes.
    void SerialPortArrived(const QString &entry);
    void PowerEvent(int code);
    // Remembers PortName after a complete download (queued: see the definition).
    void RememberPort();
    // The backup of the connected device's image, written before every disconnect, and its
    // dated copy in the backup history.
    void WriteBackupFile(const QString &portEntry, BackupReason reason = BackupReason::Disconnect);
    std::function<void(const QString &path)> BackupFileWriter;
    // What this connection's download has filled in the image. A backup or an export is
    // written only from an image that is whole (ImageComplete) and of the port at hand.
    DownloadGate Download;
    // The download's progress in the status bar (and on the launcher's bar).
    DownloadProgress Progress;
    QProgressBar *pbDownload = nullptr;
    void DownloadStep(DownloadProgress::Record record);
    void ScheduleLineRead(int done, int count);

    // Settings sent to the controller since its last "Save settings permanently": the
    // controller forgets them at power-off. Shown in the status bar; said once in the log
    // when the program disconnects or closes with such changes.
    bool UnsavedChanges() const { return m_unsaved.shown(); }
    void RecordSent(uint32_t bit);
    void SettingsSaved();
    QLabel *lblUnsaved = nullptr;
    bool ImageComplete() const;
    TthdCom *Link() const { return m_link.get(); }
    // The built-in simulated controller of the switch "simulator", or null.
    SimulatorPort *Simulator() const { return m_simulator.get(); }
    QStringList PortList;

    // Refreshes after a read.
    void ShowExpert();
    void ShowExpertWeather();
    void DrawSensorChart();
    QString ChooseFirmwareFile();

    QTabWidget *pc = nullptr;
    TLogMemo *mem = nullptr;
    QStatusBar *sb = nullptr;
    QLabel *sbPanel[3] = {nullptr, nullptr, nullptr};
    QLabel *lblBoard = nullptr;
    TaskbarIndicator *taskbar = nullptr;
    // The connection state in words beside the coloured indicator.
    QLabel *lblConnection = nullptr;
    // The line on the Messages page that leads a first-time user to Connection → Connect to.
    QPushButton *btnConnectHint = nullptr;
    // The connection as the user is told it: the words beside the indicator, the line on the
    // Messages page, the indicator's colour and Disconnect's enabling all follow this one
    // value. ShowConnection sets it and puts statusLine (when given) into panel 0 and the log.
    const ConnectionState &Connection() const { return m_connection; }
    void ShowConnection(const ConnectionState &state, const QString &statusLine = {});
    // A link thread's report of its state; only the current link's counts, and not once the
    // window has told it to stop.
    void LinkStateChanged(quint64 link, const ConnectionState &state, const QString &statusLine);
    // Waits and time-outs of the link threads the window starts; tests shorten them.
    LinkTimings Timings;
    // Opens Connection → Connect to, as if the user had opened it in the menu bar.
    void OpenConnectMenu();
    // How long (ms) a finished transfer's "Done." stays in status panel 0.
    int DoneStatusMs = 5000;

    // The parts of the window that own pages and commands (for tests; the window itself
    // reaches them through the list of parts).
    ChannelsPage *channels = nullptr;
    IniCommands *iniCommands = nullptr;
    EditCommands *edits = nullptr;
    ChartPage *chart = nullptr;
    ModeCommands *modes = nullptr;
    BluetoothSetup *bluetooth = nullptr;
    SettingsPages *settings = nullptr;
    FirmwareCommands *firmware = nullptr;
    ScheduleGrid *schedule = nullptr;
    VisualizePage *visualize = nullptr;
    GeoPage *geo = nullptr;
    BackupCommands *backups = nullptr;
    // Above the pages: the offer to restore a controller that has lost its settings.
    QFrame *barRestore = nullptr;

    // Pages by object name (tsChannels … tsMessages).
    QWidget *page(const QString &name) const;
    QAction *action(const QString &name) const;

    // Takes a menu item out of its menus; its shortcut still works while it is enabled.
    static void HideMenuItem(QAction *item);
    // Whether the item is shown in a menu.
    static bool IsMenuItemShown(const QAction *item);

    static constexpr int DesignWidth = 1009;
    static constexpr int DesignHeight = 655;
    static constexpr int MinimumPageWidth = 767;
    static constexpr int MinimumPageHeight = 531;
    static constexpr int HealthImageHeight = 153;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    void pcChange();
    void mnuOptionsClick();
    void mnuFileClick();
    void mnuDebugClick();
    void mnuHealthClick();
    void mnuShowExpertClick();
    void mnuDisconnectClick();

private:
    void buildPages();
    void buildMenus();
    void buildStatusBar();
    QAction *addItem(QMenu *menu, const char *name, const QKeySequence &shortcut = {});
    bool formMouseWheel(int delta);
    // Expert options and White balance together.
    void setExpertPagesVisible(bool visible);
    void setPagesVisible(ShownBy shownBy, bool visible);
    void setWindowCaption(const QString &tail);
    void runStartup(const QStringList &arguments);
    void updateConnectionText();
    // A link runs and has not been told to stop.
    bool linkActive() const;
    void showProgress();
    void reportUnsavedChanges();

    void startSimulator();
    void reapFinishedLinks();
    // Every change of the model reaches the parts: a read as a refresh of the shown part, a
    // command or an import as one of every part; a control's own edit is shown already.
    void modelChanged(const DeviceChange &change);

    // The parts in tab order, each with the refreshes it missed while none of its sheets
    // was the current page.
    struct Part {
        Page *page;
        QList<QWidget *> sheets;
        unsigned missed = 0;
    };
    void addPart(Page *page);
    bool partShown(const Part &part) const;
    // everyPart: also the parts not in view (a command's change, not a read).
    void refreshParts(unsigned what, bool everyPart = false);
    void showRecords(unsigned what, bool everyPart);
    // ShowInfo's own steps: status panel 1, the device status line, the window caption.
    void showStatusLine();
    std::vector<Part> m_parts;
    EnableState m_enabling;
    bool m_enablingApplied = false;
    std::unique_ptr<WindowPageHost> m_pageHost;
    EnableRules m_shellRules{{"mnuHealth", Enable::Connected}, {"mnuLoadReef", Enable::Connected}};

    // Made first and destroyed last, as the window's last child: the link host and threads
    // use it until they are gone, and widgets being torn down (a cell editor closing) still
    // read it.
    DeviceModel *m_model = new DeviceModel;
    std::unique_ptr<WindowLinkHost> m_linkHost;
    std::unique_ptr<TthdCom> m_link;
    std::vector<std::unique_ptr<TthdCom>> m_stoppingLinks;   // told to stop, not yet finished
    SerialPortWatcher *m_portWatcher = nullptr;
    PowerWatcher *m_powerWatcher = nullptr;
    std::unique_ptr<SimulatorPort> m_simulator;
    bool m_connected = false;
    ConnectionState m_connection;
    QString m_connectionLine;   // the status line that announced m_connection
    QString m_connectHintText;   // the Messages page's line while not connected
    bool m_linkStopped = false;   // the current link was told to stop
    QTimer *m_statusClear = nullptr;
    UnsavedSettings m_unsaved;
    QLocale m_previousLocale;   // the default before this window chose German formats
    bool m_localeChanged = false;
    bool m_shownOnce = false;
    QWidget *m_previousPage = nullptr;
};

// The one window of the program, for code that must reach it (log sink, exception
// handler). Null before creation and after destruction.
TfrmLumora *MainWindow();
