// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/frm_lumora.h"
#include "app/edit_commands.h"
#include "app/clock_check.h"
#include "app/history_feature.h"
#include "app/home_automation_dialog.h"

#include <QAbstractButton>
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QPushButton>
#include <QProgressBar>
#include <QKeyEvent>
#include <QScreen>
#include <QShortcut>
#include <QStandardPaths>
#include <QLibraryInfo>
#include <QThread>
#include <QTranslator>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <utility>

#include "presentation/about_text.h"
#include "app/app_icon.h"
#include "presentation/app_info.h"
#include "presentation/contrast.h"
#include "app/load_language.h"
#include "presentation/localization.h"
#include "app/log_memo.h"
#include "presentation/log_text.h"
#include "app/page_tabs.h"
#include "app/taskbar_indicator.h"
#include "app/window_placement.h"
#include "app/window_shortcuts.h"
#include "pages/geo_page.h"
#include "app/window_link_host.h"
#include "app/window_page_host.h"
#include "app/bluetooth_setup.h"
#include "link/link_host.h"
#include "link/ports.h"
#include "link/thd_com.h"
#include "sim/simulator_port.h"
#include "app/ini_commands.h"
#include "app/backup_commands.h"
#include "pages/channels_page.h"
#include "widgets/indicator_style.h"
#include "widgets/input_guard.h"
#include "pages/chart_page.h"
#include "pages/modes.h"
#include "pages/channel_settings_pages.h"
#include "pages/config_page.h"
#include "pages/expert_page.h"
#include "pages/weather_page.h"
#include "pages/settings_pages.h"
#include "app/edit_commands.h"
#include "app/firmware_commands.h"
#include "pages/schedule_grid.h"
#include "pages/visualize_page.h"
#include "schedule/health.h"

#include <QMessageBox>

#include <cstdio>

namespace {

TfrmLumora *g_mainWindow = nullptr;

// One row per page, in tab order: the sheet's object name (the language table's key for
// its caption), the built-in English caption, what shows it, and the factory of the part
// that draws it. A part that draws several sheets is made by the row of its first; the
// rows of the others have none. Parts made here are added in this order, the command sets
// after them.
struct PageRow {
    const char *name;
    const char *caption;
    ShownBy shownBy;
    Page *(*make)(TfrmLumora &w, PageHost &host, DeviceModel &model);
};

// The settings pages are built in one go; each is a part of its own, at its own tab.
SettingsPages *settingsOf(TfrmLumora &w, PageHost &host, DeviceModel &model)
{
    if (!w.settings)
        w.settings = new SettingsPages(host, model);
    return w.settings;
}

constexpr PageRow PageRows[] = {
    {"tsChannels", "Channels A-F", ShownBy::Start,
     [](TfrmLumora &w, PageHost &h, DeviceModel &m) -> Page * { return w.channels = new ChannelsPage(h, m); }},
    {"tsChannelsGL", "Channels G-L", ShownBy::Start, nullptr},
    {"tsSchedule", "Schedule", ShownBy::Start,
     [](TfrmLumora &w, PageHost &h, DeviceModel &m) -> Page * { return w.schedule = new ScheduleGrid(h, m); }},
    {"tsVisualize", "Visualization", ShownBy::Start,
     [](TfrmLumora &w, PageHost &h, DeviceModel &m) -> Page * { return w.visualize = new VisualizePage(h, m); }},
    {"tsGeo", "Geo", ShownBy::Start,
     [](TfrmLumora &w, PageHost &h, DeviceModel &m) -> Page * { return w.geo = new GeoPage(h, m); }},
    {"tsConfig", "Configuration", ShownBy::Start,
     [](TfrmLumora &w, PageHost &h, DeviceModel &m) -> Page * { return settingsOf(w, h, m)->config; }},
    {"tsTemp", "Chart", ShownBy::Start,
     [](TfrmLumora &w, PageHost &h, DeviceModel &m) -> Page * { return w.chart = new ChartPage(h, m); }},
    {"tsWeather", "Weather", ShownBy::Start,
     [](TfrmLumora &w, PageHost &h, DeviceModel &m) -> Page * { return settingsOf(w, h, m)->weather; }},
    {"tsWeatherDelay", "Delays", ShownBy::Start,
     [](TfrmLumora &w, PageHost &h, DeviceModel &m) -> Page * { return settingsOf(w, h, m)->channels; }},
    {"tsMoon", "Moon", ShownBy::Start, nullptr},
    {"tsExpert", "Expert options", ShownBy::Expert,
     [](TfrmLumora &w, PageHost &h, DeviceModel &m) -> Page * { return settingsOf(w, h, m)->expert; }},
    {"tsBalance", "White balance", ShownBy::Expert, nullptr},
    {"tsJMP", "JMP pin", ShownBy::Never, nullptr},
    {"tsRC433", "433 MHz", ShownBy::Rc433, nullptr},
    {"tsMessages", "Messages", ShownBy::Start, nullptr},
};

// Runs an action on each double click of the widget it filters; the click goes on.
class DoubleClickHook : public QObject {
public:
    DoubleClickHook(QObject *parent, std::function<void()> action) : QObject(parent), m_action(std::move(action)) {}

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::MouseButtonDblClick)
            m_action();
        return false;
    }

private:
    std::function<void()> m_action;
};

} // namespace

TfrmLumora *MainWindow() { return g_mainWindow; }

QMessageBox *TfrmLumora::CreateConfirmBox(QWidget *parent, const QString &text, const QString &caption)
{
    auto *box = new QMessageBox(QMessageBox::Warning, caption, text, QMessageBox::Yes | QMessageBox::No, parent);
    box->setDefaultButton(QMessageBox::No);
    // The texts bring their own line breaks; a label wide enough keeps them as written.
    box->setStyleSheet(QStringLiteral("QLabel#qt_msgbox_label { min-width: 36em; }"));
    return box;
}

TfrmLumora::TfrmLumora(const QStringList &arguments, QWidget *parent) : QMainWindow(parent)
{
    g_mainWindow = this;
    setObjectName(QStringLiteral("frmLumora"));
    setWindowTitle(QString::fromLatin1(AppInfo::MakerName) + AppInfo::Separator + AppInfo::Title);
    setWindowIcon(AppIcon());
    UseLegibleIndicators(this);
    buildStatusBar();
    buildPages();
    SetUpPageTabs(this, pc);
    PagesScrollable(this);
    buildMenus();
    m_pageHost = std::make_unique<WindowPageHost>(this);
    PageHost &host = *m_pageHost;
    for (const PageRow &row : PageRows)
        if (row.make)
            addPart(row.make(*this, host, *m_model));
    modes = new ModeCommands(host, *m_model);
    iniCommands = new IniCommands(this);
    addPart(modes);
    addPart(iniCommands);
    backups = new BackupCommands(this);
    addPart(backups);
    BackupFileWriter = [this](const QString &port) { iniCommands->WriteBackupFile(port); };
    bluetooth = new BluetoothSetup(this);
    firmware = new FirmwareCommands(this);
    connect(m_model, &DeviceModel::changed, this, &TfrmLumora::modelChanged);
    // No wheel turn nor stray key changes a control that does not have the focus.
    (new InputGuard(this))->guard(this);
    // Every menu key and page key works whatever control has the focus.
    WindowShortcuts::install(this);
    // The pages and the status bar take the design size; the menu bar comes on top.
    resize(DesignWidth, DesignHeight + menuBar()->sizeHint().height());
    runStartup(arguments);
    // After the language table is loaded: the menu names each step in it.
    edits = new EditCommands(this);
    addPart(edits);
    InstallHistory(this);
    InstallHomeAutomation(this);
    InstallClockCheck(this);
    m_model->setParent(this);
}

TfrmLumora::~TfrmLumora()
{
    // FormDestroy: the link thread gets half a second to finish; it is never waited for longer.
    for (int i = 0; i < 10 && LinkRunning(); ++i)
        QThread::msleep(50);
    // A link thread still running is stopped now; the closing reports it could not hand over
    // while this thread slept ("Disconnected from …") are delivered by its destructor. After
    // that no hand-over reaches the window.
    m_link.reset();
    m_stoppingLinks.clear();
    m_linkHost.reset();
    m_simulator.reset();
    m_parts.clear();
    if (g_mainWindow == this)
        g_mainWindow = nullptr;
    if (m_localeChanged)
        QLocale::setDefault(m_previousLocale);
}

QWidget *TfrmLumora::page(const QString &name) const
{
    return pc ? pc->findChild<QWidget *>(name) : nullptr;
}

QAction *TfrmLumora::action(const QString &name) const { return findChild<QAction *>(name); }

void TfrmLumora::buildPages()
{
    pc = new QTabWidget(this);
    pc->setObjectName(QStringLiteral("pc"));
    pc->setMinimumSize(MinimumPageWidth, MinimumPageHeight);
    pc->setUsesScrollButtons(true);
    for (const PageRow &row : PageRows) {
        auto *sheet = new QWidget(pc);
        sheet->setObjectName(QString::fromLatin1(row.name));
        const int index = pc->addTab(sheet, QString::fromLatin1(row.caption));
        pc->setTabVisible(index, row.shownBy == ShownBy::Start);
    }
    // The 433 MHz page is disabled for good; the switch "rc433" only shows it.
    page(QStringLiteral("tsRC433"))->setEnabled(false);

    // Messages page: the log.
    QWidget *messages = page(QStringLiteral("tsMessages"));
    auto *layout = new QVBoxLayout(messages);
    // Shown only at a start without a port; the first connection hides it for good.
    btnConnectHint = new QPushButton(QStringLiteral("Not connected: click here or choose Connection \u2192 Connect to, "
                                                    "then the controller's serial port."),
                                     messages);
    btnConnectHint->setObjectName(QStringLiteral("btnConnectHint"));
    btnConnectHint->setFlat(true);
    btnConnectHint->setCursor(Qt::PointingHandCursor);
    btnConnectHint->setStyleSheet(QStringLiteral("QPushButton { text-align: left; color: palette(link); "
                                                 "text-decoration: underline; border: none; padding: 2px; }"));
    btnConnectHint->setVisible(false);
    connect(btnConnectHint, &QPushButton::clicked, this, &TfrmLumora::OpenConnectMenu);
    layout->addWidget(btnConnectHint);
    mem = new TLogMemo(messages);
    mem->setObjectName(QStringLiteral("mem"));
    mem->Log = [this](const QString &line) { AddLog(line); };
    // One double click, one reconnect: the window's own filter also sees every event of
    // the application once it is shown, so the log's double click has a filter of its own.
    LogDoubleClick = [this] { memDblClick(); };
    mem->viewport()->installEventFilter(new DoubleClickHook(mem, [this] {
        if (LogDoubleClick)
            LogDoubleClick();
    }));
    layout->addWidget(mem);

    // Configuration page: the device status line sits at the bottom.
    QWidget *config = page(QStringLiteral("tsConfig"));
    auto *configLayout = new QVBoxLayout(config);
    configLayout->addStretch(1);
    // The health image above it: a blank picture in the window colour across the page.
    auto *imgHealth = new QLabel(config);
    imgHealth->setObjectName(QStringLiteral("imgHealth"));
    imgHealth->setFixedHeight(HealthImageHeight);
    imgHealth->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    imgHealth->setScaledContents(true);
    imgHealth->setMinimumWidth(1);   // the picture is scaled to the page; it asks no width of it
    QPixmap blank(DesignWidth, HealthImageHeight);
    blank.fill(imgHealth->palette().color(QPalette::Window));
    imgHealth->setPixmap(blank);
    configLayout->addWidget(imgHealth);
    lblBoard = new QLabel(config);
    lblBoard->setObjectName(QStringLiteral("lblBoard"));
    lblBoard->setAlignment(Qt::AlignCenter);
    configLayout->addWidget(lblBoard);

    // The pages with a bar above them that shows only while it has something to offer.
    auto *pagesArea = new QWidget(this);
    pagesArea->setObjectName(QStringLiteral("pagesArea"));
    auto *pagesLayout = new QVBoxLayout(pagesArea);
    pagesLayout->setContentsMargins(0, 0, 0, 0);
    pagesLayout->setSpacing(0);
    barRestore = new QFrame(pagesArea);
    barRestore->setObjectName(QStringLiteral("barRestore"));
    barRestore->setFrameShape(QFrame::StyledPanel);
    barRestore->setAutoFillBackground(true);
    barRestore->setBackgroundRole(QPalette::ToolTipBase);
    barRestore->setForegroundRole(QPalette::ToolTipText);
    barRestore->setVisible(false);
    pagesLayout->addWidget(barRestore);
    pagesLayout->addWidget(pc, 1);
    setCentralWidget(pagesArea);
    connect(pc, &QTabWidget::currentChanged, this, &TfrmLumora::pcChange);

    ConfirmYesNo = [this](const QString &text, const QString &caption) {
        const std::unique_ptr<QMessageBox> box(CreateConfirmBox(this, text, caption));
        return box->exec() == QMessageBox::Yes;
    };
    m_previousPage = pc->currentWidget();
}

QAction *TfrmLumora::addItem(QMenu *menu, const char *name, const QKeySequence &shortcut)
{
    auto *item = new QAction(QString::fromLatin1(name), this);
    item->setObjectName(QString::fromLatin1(name));
    if (!shortcut.isEmpty()) {
        item->setShortcut(shortcut);
        item->setShortcutContext(Qt::WindowShortcut);
    }
    menu->addAction(item);
    addAction(item);   // shortcuts work while the menu bar is closed
    return item;
}

void TfrmLumora::HideMenuItem(QAction *item)
{
    // Qt disables invisible actions, shortcut included; a hidden menu item must still
    // fire on its shortcut while enabled. So it leaves its menus but stays a visible
    // action of the window.
    if (!item)
        return;
    const QList<QObject *> owners = item->associatedObjects();
    for (QObject *owner : owners) {
        if (auto *menu = qobject_cast<QMenu *>(owner))
            menu->removeAction(item);
    }
}

bool TfrmLumora::IsMenuItemShown(const QAction *item)
{
    if (!item || !item->isVisible())
        return false;
    const QList<QObject *> owners = item->associatedObjects();
    return std::any_of(owners.begin(), owners.end(), [](QObject *o) { return qobject_cast<QMenu *>(o); });
}

void TfrmLumora::buildMenus()
{
    QMenuBar *bar = menuBar();
    auto addMenu = [&](const char *name) {
        QMenu *menu = bar->addMenu(QString::fromLatin1(name));
        menu->menuAction()->setObjectName(QString::fromLatin1(name));
        return menu;
    };
    using QKS = QKeySequence;

    QMenu *connection = addMenu("mnuConnection");
    addItem(connection, "mnuDiscover", QKS(Qt::CTRL | Qt::Key_I));
    addItem(connection, "mnuRemove", QKS(Qt::CTRL | Qt::Key_U));
    QMenu *connectTo = connection->addMenu(QStringLiteral("mnuConnect"));
    connectTo->menuAction()->setObjectName(QStringLiteral("mnuConnect"));
    QAction *disconnect = addItem(connection, "mnuDisconnect", QKS(Qt::CTRL | Qt::Key_D));
    connect(disconnect, &QAction::triggered, this, &TfrmLumora::mnuDisconnectClick);
    connect(connection, &QMenu::aboutToShow, this, &TfrmLumora::mnuConnectionClick);

    QMenu *file = addMenu("mnuFile");
    addItem(file, "mnuScheduleImport", QKS(Qt::CTRL | Qt::Key_T));
    addItem(file, "mnuConfigImport", QKS(Qt::CTRL | Qt::Key_K));
    addItem(file, "mnuScheduleConfigExport", QKS(Qt::CTRL | Qt::Key_E));
    file->addSeparator();
    addItem(file, "mnuBackupNow");
    addItem(file, "mnuRestoreBackup");
    addItem(file, "mnuCompareBackup");
    file->addSeparator();
    addItem(file, "mnuFirmwareUpdate", QKS(Qt::CTRL | Qt::Key_F));
    file->addSeparator();
    QAction *exitItem = addItem(file, "mnuExit", QKS(Qt::ALT | Qt::Key_F4));
    connect(exitItem, &QAction::triggered, this, &QWidget::close);
    connect(file, &QMenu::aboutToShow, this, &TfrmLumora::mnuFileClick);

    QMenu *edit = addMenu("mnuEdit");
    addItem(edit, "mnuUndo", QKS(QKS::Undo));
    addItem(edit, "mnuRedo", QKS(QKS::Redo))->setShortcuts(QKS::Redo);

    QMenu *options = addMenu("mnuOptions");
    auto *modes = new QActionGroup(this);
    const char *modeNames[] = {"mnuModeManual", "mnuModeAuto", "mnuModeGeo", "mnuModeRGBDemo", "mnuModeFlash"};
    const Qt::Key modeKeys[] = {Qt::Key_F1, Qt::Key_F2, Qt::Key_F3, Qt::Key_F4, Qt::Key_F5};
    for (int i = 0; i < 5; ++i) {
        QAction *item = addItem(options, modeNames[i], QKS(Qt::CTRL | modeKeys[i]));
        item->setCheckable(true);
        modes->addAction(item);
    }
    modes->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    options->addSeparator();
    addItem(options, "mnuAllOff", QKS(Qt::CTRL | Qt::Key_0));
    addItem(options, "mnuAll20", QKS(Qt::CTRL | Qt::Key_2));
    addItem(options, "mnuAllOn", QKS(Qt::CTRL | Qt::Key_1));
    options->addSeparator();
    addItem(options, "mnuSetTimeDate", QKS(Qt::CTRL | Qt::Key_C));
    addItem(options, "mnuStepBig", QKS(Qt::Key_F4))->setCheckable(true);
    QAction *showExpert = addItem(options, "mnuShowExpert", QKS(Qt::Key_F6));
    showExpert->setCheckable(true);
    connect(showExpert, &QAction::triggered, this, &TfrmLumora::mnuShowExpertClick);
    QAction *showRC433 = addItem(options, "mnuShowRC433", QKS(Qt::Key_F8));
    showRC433->setCheckable(true);
    showRC433->setEnabled(false);   // for good: the 433 MHz page is shown only by its switch
    options->addSeparator();
    addItem(options, "mnuRefresh", QKS(Qt::Key_F5));
    addItem(options, "mnuSaveEEPROM", QKS(Qt::CTRL | Qt::Key_S));
    addItem(options, "mnuIRLearn", QKS(Qt::CTRL | Qt::Key_R));
    addItem(options, "mnuLoadReef");
    QAction *health = addItem(options, "mnuHealth", QKS(Qt::CTRL | Qt::SHIFT | Qt::ALT | Qt::Key_X));
    HideMenuItem(health);
    connect(health, &QAction::triggered, this, &TfrmLumora::mnuHealthClick);
    QAction *debug = addItem(options, "mnuDebug", QKS(Qt::CTRL | Qt::ALT | Qt::Key_D));
    HideMenuItem(debug);
    connect(debug, &QAction::triggered, this, &TfrmLumora::mnuDebugClick);
    connect(options, &QMenu::aboutToShow, this, &TfrmLumora::mnuOptionsClick);

    QMenu *help = addMenu("mnuHelp");
    struct HelpPage {
        const char *name;
        const char *path;
        QKeySequence key;
    };
    const HelpPage helpPages[] = {
        {"mnuHardware", "doku.php?id=aqualumora1x:hardware", {}},
        {"mnuSoftware", "doku.php?id=aqualumora1x:software", {}},
        {"mnuFAQ", "doku.php?id=aqualumora1x:faq", QKS(Qt::Key_F1)},
    };
    for (const HelpPage &entry : helpPages) {
        QAction *item = addItem(help, entry.name, entry.key);
        const QString url = QString::fromLatin1(AppInfo::MakerUrl) + QString::fromLatin1(entry.path);
        connect(item, &QAction::triggered, this, [this, url] { OpenUrl(url); });
    }
    help->addSeparator();
    QAction *about = addItem(help, "mnuAbout");
    about->setMenuRole(QAction::AboutRole);
    connect(about, &QAction::triggered, this, &TfrmLumora::ShowAbout);
}

QMessageBox *TfrmLumora::ShowAbout()
{
    auto *box = new QMessageBox(this);
    box->setObjectName(QStringLiteral("aboutBox"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowTitle(AboutCaption());
    box->setIconPixmap(AppIcon().pixmap(64, 64));
    box->setTextFormat(Qt::RichText);
    box->setText(AboutText());
    box->setTextInteractionFlags(Qt::TextBrowserInteraction);
    box->setDetailedText(MapDataLicenceNotice());
    box->setStandardButtons(QMessageBox::Ok);
    // Not modal for the whole application: the link goes on and the log keeps growing.
    box->setWindowModality(Qt::WindowModal);
    box->open();
    return box;
}

void TfrmLumora::buildStatusBar()
{
    sb = new QStatusBar(this);
    sb->setObjectName(QStringLiteral("sb"));
    sb->setSizeGripEnabled(true);
    const int widths[3] = {462, 160, 100};
    for (int i = 0; i < 3; ++i) {
        sbPanel[i] = new QLabel(sb);
        sbPanel[i]->setObjectName(QStringLiteral("sbPanel%1").arg(i));
        sbPanel[i]->setFrameShape(QFrame::StyledPanel);
        sbPanel[i]->setFrameShadow(QFrame::Sunken);
        sbPanel[i]->setAlignment(i == 0 ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignCenter);
        sbPanel[i]->setMinimumWidth(i == 0 ? 0 : widths[i]);
        sbPanel[i]->setTextFormat(Qt::PlainText);
    }
    // Panel 0 stretches: it always takes what panels 1 and 2 leave at the right end. Its
    // text asks for no width, so on a narrow window it is cut before the connection's words.
    sbPanel[0]->setSizePolicy(QSizePolicy::Ignored, sbPanel[0]->sizePolicy().verticalPolicy());
    sb->addWidget(sbPanel[0], 1);
    sb->addPermanentWidget(sbPanel[1]);
    sb->addPermanentWidget(sbPanel[2]);
    pbDownload = new QProgressBar(sb);
    pbDownload->setObjectName(QStringLiteral("pbDownload"));
    pbDownload->setTextVisible(true);
    pbDownload->setMaximumHeight(sbPanel[0]->sizeHint().height() + 4);
    pbDownload->setVisible(false);
    // While the download runs the bar takes panel 0's place: its status is the download's.
    sb->addWidget(pbDownload, 1);
    lblUnsaved = new QLabel(sb);
    lblUnsaved->setObjectName(QStringLiteral("lblUnsaved"));
    lblUnsaved->setTextFormat(Qt::PlainText);
    QFont bold = lblUnsaved->font();
    bold.setBold(true);
    lblUnsaved->setFont(bold);
    // Captions come from the language table; these are the built-in English ones.
    lblUnsaved->setText(QStringLiteral("Not saved permanently"));
    lblUnsaved->setToolTip(QStringLiteral("Settings were sent to the controller since the last \"Save settings "
                                          "permanently\". The controller forgets them when it is switched off."));
    lblUnsaved->setVisible(false);
    sb->addPermanentWidget(lblUnsaved);
    lblConnection = new QLabel(sb);
    lblConnection->setObjectName(QStringLiteral("lblConnection"));
    lblConnection->setTextFormat(Qt::PlainText);
    // A long port name or attempt count must not widen the window beyond a small screen:
    // the words may be cut, the tool tip keeps them whole.
    lblConnection->setMinimumWidth(1);
    sb->addPermanentWidget(lblConnection);
    taskbar = new TaskbarIndicator(sb);
    sb->addPermanentWidget(taskbar);
    m_statusClear = new QTimer(this);
    m_statusClear->setSingleShot(true);
    connect(m_statusClear, &QTimer::timeout, this, [this] { sbPanel[0]->clear(); });
    setStatusBar(sb);
}

void TfrmLumora::runStartup(const QStringList &arguments)
{
    // Program folder: the per-user data folder holds backups and is where dialogs start.
    ProgramFolder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (!ProgramFolder.isEmpty())
        ProgramFolder += u'/' + QString::fromLatin1(AppInfo::OrganizationName);
    if (!ProgramFolder.isEmpty()) {
        QDir().mkpath(ProgramFolder);
        if (!ProgramFolder.endsWith(u'/'))
            ProgramFolder += u'/';
        QDir::setCurrent(ProgramFolder);
    }
    mem->Folder = ProgramFolder;

    // The language decides the formats of dates and times as well, from the first log line on.
    const CommandLine cmd = ParseCommandLine(arguments);
    LanguageNumber = ChooseLanguage(cmd.language);
    if (LanguageNumber == LanguageGerman) {
        m_previousLocale = QLocale();
        m_localeChanged = true;
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        // Widgets made so far (date and time fields) take their locale when they are made.
        setLocale(QLocale());
    }

    PortName.clear();
    LoadPort(PortName, LogSink());

    setPagesVisible(ShownBy::Expert, false);
    setPagesVisible(ShownBy::Never, false);
    setPagesVisible(ShownBy::Rc433, false);

    DebugMessages = false;
    for (const QString &line : cmd.logLines)
        AddLog(line);
    if (cmd.expert)
        setPagesVisible(ShownBy::Expert, true);
    if (cmd.rc433)
        setPagesVisible(ShownBy::Rc433, true);
    DebugMessages = cmd.debug;
    SetLinkTrace(DebugMessages);
    if (!cmd.portName.isEmpty())
        PortName = cmd.portName;
    if (cmd.simulator)
        startSimulator();

    LoadLanguage(this, LanguageNumber);
    // The Messages page's line says this while nothing connects, the state's words otherwise.
    m_connectHintText = btnConnectHint->text();
    // Qt's own texts (the Yes/No of the confirmations, the file dialogs) in the same language.
    if (LanguageNumber == LanguageGerman) {
        auto *qtTexts = new QTranslator(this);
        if (qtTexts->load(QLocale(QLocale::German), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            QCoreApplication::installTranslator(qtTexts);
        else
            delete qtTexts;
    }

    QApplication::setApplicationDisplayName(QString());
    AddLog(QString::fromLatin1(AppInfo::Title) + u' ' + Translate(QStringLiteral("Started")));
    const QString programInfo = ProgramFileInfo(QCoreApplication::applicationFilePath());
    if (!programInfo.isEmpty())
        AddLog(programInfo);

    channels->fillColourLists();
    pc->setTabVisible(pc->indexOf(page(QStringLiteral("tsChannelsGL"))), true);

    // Controls that stay hidden in this version of the program.
    for (const char *name : {"rbtJMPServo", "rbtJMPPWM", "lblLanguage", "cmbLanguage", "gbxTemperatureUnit",
                             "gbxTimeFormat", "gbxLCDFormat", "rbtCHMTempBoard", "edtCloudTempBoard"}) {
        if (auto *widget = findChild<QWidget *>(QString::fromLatin1(name)))
            widget->setVisible(false);
    }
    for (const char *name : {"mnuShowRC433", "mnuCHMTempBoard", "mnuLoadReef"})
        HideMenuItem(action(QString::fromLatin1(name)));

    m_model->setStartupValues();
    btnNowClick();

    ShowConfig();
    // ShowConfig waits for the window to be on screen; the channel names are needed
    // before that, in the translated language.
    ShowChannelNames();
    SetConnected(false);

    Edit = ScheduleEdit();

    m_portWatcher = new SerialPortWatcher(this);
    connect(m_portWatcher, &SerialPortWatcher::serialPortArrived, this, &TfrmLumora::SerialPortArrived);
    m_portWatcher->start();
    m_powerWatcher = new PowerWatcher(this);
    connect(m_powerWatcher, &PowerWatcher::powerEvent, this, &TfrmLumora::PowerEvent);

    btnConnectHint->setVisible(PortName.isEmpty());
    if (!PortName.isEmpty())
        StartLink(PortName);
}

void TfrmLumora::setExpertPagesVisible(bool visible) { setPagesVisible(ShownBy::Expert, visible); }

void TfrmLumora::setPagesVisible(ShownBy shownBy, bool visible)
{
    for (const PageRow &row : PageRows)
        if (row.shownBy == shownBy)
            pc->setTabVisible(pc->indexOf(page(QString::fromLatin1(row.name))), visible);
}

void TfrmLumora::AddLog(const QString &text, const QLoggingCategory &category, QtMsgType type)
{
    const QStringList lines = LogLines(text, QDateTime::currentDateTime());
    for (const QString &line : lines) {
        WriteLogLine(category, type, line);
        mem->appendLine(line);
    }
}

void TfrmLumora::SetStatusText(const QString &text, const QLoggingCategory &category)
{
    sbPanel[0]->setText(text);
    // The end of a transfer is news only for a moment; the words beside the indicator say
    // what holds after it. Every other status stays until the next one.
    if (text == Translate(QStringLiteral("Done")))
        m_statusClear->start(DoneStatusMs);
    else
        m_statusClear->stop();
    AddLog(text, category);
}

void TfrmLumora::DownloadStep(DownloadProgress::Record record)
{
    if (!Progress.active())
        return;
    Progress.recordRead(record);
    showProgress();
}

void TfrmLumora::ScheduleLineRead(int done, int count)
{
    SetTaskbarProgress(done, count);
    if (!Progress.active())
        return;
    Progress.scheduleLineRead(done, count);
    showProgress();
}

void TfrmLumora::RecordSent(uint32_t bit)
{
    // The live channel levels and the clock are not settings the controller stores.
    if (bit & (SetConfig | SetSchedule | SetExpert | SetExpertWeather)) {
        m_unsaved.sent(PortName);
        lblUnsaved->setVisible(m_unsaved.shown());
    }
}

void TfrmLumora::SettingsSaved()
{
    m_unsaved.saved(PortName);
    lblUnsaved->setVisible(m_unsaved.shown());
}

void TfrmLumora::reportUnsavedChanges()
{
    // Said once per connection; the marker comes back when this controller is connected again.
    if (m_unsaved.shown())
        AddLog(Translate(QStringLiteral("UnsavedChanges")));
    m_unsaved.disconnected();
    lblUnsaved->setVisible(false);
}

void TfrmLumora::showProgress()
{
    if (!Progress.active()) {
        pbDownload->setVisible(false);
        sbPanel[0]->setVisible(true);
        return;
    }
    sbPanel[0]->setVisible(false);
    pbDownload->setRange(0, Progress.total());
    pbDownload->setValue(Progress.done());
    pbDownload->setFormat(Progress.text());
    pbDownload->setToolTip(Progress.text());
    pbDownload->setVisible(true);
}

void TfrmLumora::ShowConnection(const ConnectionState &state, const QString &statusLine)
{
    // The window's own announcement (StartLink) and the thread's report of the same state
    // are one piece of news.
    const bool news = !(state == m_connection && statusLine == m_connectionLine);
    m_connection = state;
    if (!statusLine.isEmpty() && news) {
        m_connectionLine = statusLine;
        SetStatusText(statusLine, lcLink());
    }
    updateConnectionText();
}

void TfrmLumora::updateConnectionText()
{
    // Green only while the controls are enabled (SetConnected); red once no link tries.
    if (m_connected)
        taskbar->setState(TaskbarIndicator::State::Connected);
    else
        taskbar->setState(m_connection.phase() == ConnectionState::Phase::NotConnected
                              ? TaskbarIndicator::State::NoLink
                              : TaskbarIndicator::State::Connecting);
    const QString text = m_connection.text();
    lblConnection->setText(text);
    // The tool tip names the whole port entry (with its description, if it has one).
    const QString port = PortName.section(u' ', 0, 0);
    const QString tip = m_connection.phase() == ConnectionState::Phase::NotConnected || PortName == port ||
                                port != m_connection.port()
                            ? text
                            : text + u'\n' + PortName;
    lblConnection->setToolTip(tip);
    taskbar->setToolTip(tip);
    // The line on the Messages page says the same, with what the user can do about it.
    if (m_connection.phase() == ConnectionState::Phase::NotConnected) {
        btnConnectHint->setText(m_connectHintText);
    } else {
        QAction *disconnect = action(QStringLiteral("mnuDisconnect"));
        const QString stop = disconnect->text().remove(u'&') + QStringLiteral(" (") +
                             disconnect->shortcut().toString(QKeySequence::NativeText) + u')';
        btnConnectHint->setText(text + u' ' + TranslateFmt(QStringLiteral("ConnectingHint"), {stop}));
    }
    // Disconnect stops any attempt, whenever it is made: not only as the menu last saw it.
    action(QStringLiteral("mnuDisconnect"))->setEnabled(linkActive());
}

void TfrmLumora::OpenConnectMenu()
{
    QAction *connectionItem = action(QStringLiteral("mnuConnection"));
    QMenu *connection = connectionItem ? connectionItem->menu() : nullptr;
    if (!connection)
        return;
    // Opening it from the menu bar runs its refresh (the port list) as a user's click does.
    menuBar()->setActiveAction(connectionItem);
    QAction *connectTo = action(QStringLiteral("mnuConnect"));
    connection->setActiveAction(connectTo);
    if (connectTo->isEnabled()) {
        // The submenu of the highlighted item opens as with the arrow key.
        QKeyEvent right(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
        QCoreApplication::sendEvent(connection, &right);
    }
}

void TfrmLumora::setWindowCaption(const QString &tail)
{
    QString caption = QString::fromLatin1(AppInfo::MakerName) + AppInfo::Separator + AppInfo::Title;
    if (!tail.isNull())
        caption += AppInfo::Separator + tail;
    setWindowTitle(caption);
}

void TfrmLumora::SetConnected(bool connected)
{
    // Each report of a connection starts a new download (the link thread raises it right
    // after), each loss ends what the image was good for.
    if (connected) {
        Download.connected(PortName);
        Progress.start();
        m_unsaved.connected(PortName);
        lblUnsaved->setVisible(m_unsaved.shown());
    } else {
        Download.reset();
        Progress.stop();
        reportUnsavedChanges();
    }
    showProgress();
    SetTaskbarProgress(1, 1);
    if (!connected) {
        QAction *manual = action(QStringLiteral("mnuModeManual"));
        if (!manual || manual->isEnabled())
            SelectPage(page(QStringLiteral("tsMessages")));
        sbPanel[1]->clear();
        sbPanel[2]->clear();
        lblBoard->clear();
        setWindowCaption(QString());
    }
    m_connected = connected;
    if (connected)
        btnConnectHint->setVisible(false);
    updateConnectionText();
    UpdateEnabling(true);
}

void TfrmLumora::UpdateEnabling(bool force)
{
    // Until the first SetConnected the controls keep the state they were built with.
    if (!force && !m_enablingApplied)
        return;
    const EnableState state = CurrentEnableState(device(), m_connected);
    if (!force && state == m_enabling)
        return;
    m_enabling = state;
    m_enablingApplied = true;
    m_shellRules.apply(*m_pageHost, {}, state);
    for (Part &part : m_parts)
        part.page->applyEnabling(state);
}

void TfrmLumora::addPart(Page *page) { m_parts.push_back({page, page->sheets()}); }

bool TfrmLumora::partShown(const Part &part) const
{
    return isVisible() && (part.sheets.isEmpty() || part.sheets.contains(pc->currentWidget()));
}

void TfrmLumora::refreshParts(unsigned what, bool everyPart)
{
    for (Part &part : m_parts) {
        if (everyPart || partShown(part)) {
            part.page->refresh(what);
            part.missed &= ~what;
        } else {
            part.missed |= what;
        }
    }
}

void TfrmLumora::SelectPage(QWidget *target)
{
    if (!target || pc->currentWidget() == target)
        return;
    // Changing the page from code reports the change like a user's click.
    pc->setCurrentWidget(target);
}

void TfrmLumora::pcChange()
{
    QWidget *current = pc->currentWidget();
    if (current == m_previousPage)
        return;
    m_previousPage = current;
    if (!current)
        return;
    for (Part &part : m_parts) {
        if (part.sheets.contains(current)) {
            const unsigned missed = std::exchange(part.missed, 0u);
            part.page->pageShown(current, missed);
        }
    }
}

bool TfrmLumora::formMouseWheel(int delta)
{
    if (pc->currentWidget() != page(QStringLiteral("tsVisualize")) || Edit.dragLine != -1)
        return false;
    Edit.visualChannel = qBound(0, Edit.visualChannel + (delta < 0 ? 1 : -1), 11);
    if (visualize)
        visualize->VisualChannelChanged();
    return true;
}

bool TfrmLumora::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Wheel) {
        auto *wheel = static_cast<QWheelEvent *>(event);
        auto *widget = qobject_cast<QWidget *>(watched);
        if (widget && widget->window() == this && wheel->angleDelta().y() != 0 &&
            formMouseWheel(wheel->angleDelta().y()))
            return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TfrmLumora::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    // What came while the window was hidden reaches the parts now in view.
    for (Part &part : m_parts)
        if (part.missed && partShown(part))
            part.page->refresh(std::exchange(part.missed, 0u));
    if (!m_shownOnce) {
        m_shownOnce = true;
        KeepOnScreenWhenShown(this);
        // Wheel turns anywhere in the window reach the visualization's channel choice.
        qApp->installEventFilter(this);
        SetTaskbarProgress(1, 1);
        updateConnectionText();
    }
}

void TfrmLumora::closeEvent(QCloseEvent *event)
{
    reportUnsavedChanges();
    StopLink(BackupReason::Closing);
    QMainWindow::closeEvent(event);
}

void TfrmLumora::mnuOptionsClick()
{
    const char *modeNames[] = {"mnuModeManual", "mnuModeAuto", "mnuModeGeo", "mnuModeRGBDemo", "mnuModeFlash"};
    for (int i = 0; i < 5; ++i)
        action(QString::fromLatin1(modeNames[i]))->setChecked(device().Config.Mode == i);
    action(QStringLiteral("mnuStepBig"))->setChecked(device().Config.Flag & 0x01);
    action(QStringLiteral("mnuShowExpert"))
        ->setChecked(pc->isTabVisible(pc->indexOf(page(QStringLiteral("tsExpert")))));
    action(QStringLiteral("mnuShowRC433"))
        ->setChecked(pc->isTabVisible(pc->indexOf(page(QStringLiteral("tsRC433")))));
}

void TfrmLumora::mnuFileClick() { action(QStringLiteral("mnuFirmwareUpdate"))->setEnabled(LinkRunning()); }

void TfrmLumora::mnuShowExpertClick()
{
    const bool visible = !pc->isTabVisible(pc->indexOf(page(QStringLiteral("tsExpert"))));
    setExpertPagesVisible(visible);
    if (visible)
        SelectPage(page(QStringLiteral("tsExpert")));
}

void TfrmLumora::mnuHealthClick() { setExpertPagesVisible(true); }

void TfrmLumora::mnuDebugClick()
{
    StopLink();
    DebugMessages = !DebugMessages;
    SetLinkTrace(DebugMessages);
    AddLog(Translate(DebugMessages ? QStringLiteral("DebugMessagesActive") : QStringLiteral("DebugMessagesInactive")));
}

void TfrmLumora::SetTaskbarProgress(qint64 done, qint64 total)
{
    if (taskbar)
        taskbar->setProgress(done, total);
}

QString TfrmLumora::ProgramFileInfo(const QString &path) const
{
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile())
        return QString();
    const QLocale locale;
    return path + u' ' + locale.toString(info.lastModified(), QLocale::ShortFormat) + u' ' +
           QString::number(info.size()) + u' ' + Translate(QStringLiteral("Bytes"));
}

void TfrmLumora::OpenUrl(const QString &url) { QDesktopServices::openUrl(QUrl(url)); }

void TfrmLumora::ShowInfo()
{
    if (!isVisible())
        return;
    showRecords(RefreshInfo, false);
}

void TfrmLumora::showStatusLine()
{
    // Panel 1: the controller's clock as last read.
    const InfoRecord &info = device().Info;
    const QDateTime clock(controllerDate(info), controllerTime(info));
    sbPanel[1]->setText(clock.isValid() ? ShortDateLongTime(clock) : QString());
    const QString status = DeviceStatusLine(PortName.section(u' ', 0, 0), info, device().Config);
    lblBoard->setText(status);
    QPalette palette = lblBoard->palette();
    // The alarm's red, darkened or lightened as far as the theme's window colour needs.
    const QPalette theme = QApplication::palette(lblBoard);
    palette.setColor(QPalette::WindowText,
                     DeviceStatusIsAlarm(info)
                         ? QColor(contrast::LegibleOn(theme.color(QPalette::Window).rgb(), qRgb(255, 0, 0)))
                         : theme.color(QPalette::WindowText));
    lblBoard->setPalette(palette);
    setWindowCaption(status);
}

void TfrmLumora::RefreshFromImage(unsigned what) { showRecords(what, true); }

void TfrmLumora::modelChanged(const DeviceChange &change)
{
    switch (change.origin) {
    case DeviceChange::Origin::Edit:
        return;
    case DeviceChange::Origin::Command:
        RefreshFromImage(change.parts);
        return;
    case DeviceChange::Origin::Controller:
        break;
    }
    // A read brings one record (or the schedule table) at a time.
    if (change.parts & PartConfig)
        ShowConfig();
    if (change.parts & PartExpert)
        ShowExpert();
    if (change.parts & PartExpertWeather)
        ShowExpertWeather();
    if (change.parts & PartSchedule)
        FillScheduleGrid();
    if (change.parts & PartChart)
        DrawSensorChart();
    if (change.parts & PartInfo)
        ShowInfo();
}

void TfrmLumora::showRecords(unsigned what, bool everyPart)
{
    // Every read of Config ends with the channel names.
    if (what & RefreshConfig)
        what |= RefreshChannelNames;
    refreshParts(what, everyPart);
    // The mode, the sensors and the fan mode decide what is enabled.
    UpdateEnabling(false);
    if ((what & RefreshInfo) && isVisible())
        showStatusLine();
}

void TfrmLumora::ShowConfig() { showRecords(RefreshConfig, false); }

void TfrmLumora::ShowChannelNames() { refreshParts(RefreshChannelNames); }

void TfrmLumora::FillScheduleGrid() { refreshParts(RefreshSchedule); }

void TfrmLumora::btnRealtimeClick() { settings->config->btnRealtimeClick(); }

void TfrmLumora::btnNowClick() { geo->btnNowClick(); }

