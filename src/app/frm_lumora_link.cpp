// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The window's side of the serial link: the port menu, starting and stopping the link
// thread, the notices of new ports and of suspend/resume, and the hand-overs the link
// thread makes to the window.
#include "app/frm_lumora.h"
#include "app/window_link_host.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>

#include "presentation/localization.h"
#include "app/backup_commands.h"
#include "app/bluetooth_setup.h"
#include "app/firmware_commands.h"
#include "link/link_host.h"
#include "link/ports.h"
#include "link/thd_com.h"
#include "sim/simulator_port.h"

bool TfrmLumora::LinkRunning() const { return m_link && !m_link->Finished(); }

bool TfrmLumora::linkActive() const { return LinkRunning() && !m_linkStopped; }

void TfrmLumora::LinkStateChanged(quint64 link, const ConnectionState &state, const QString &statusLine)
{
    // A link told to stop has been shown as stopped already, and one that was replaced
    // speaks for a connection nobody asked for any more; their late words would contradict
    // what the window shows.
    if (!m_link || m_link->Serial() != link || m_linkStopped)
        return;
    ShowConnection(state, statusLine);
}

void TfrmLumora::reapFinishedLinks()
{
    std::erase_if(m_stoppingLinks, [](const std::unique_ptr<TthdCom> &link) { return link->Finished(); });
}

void TfrmLumora::StartLink(const QString &portEntry)
{
    if (!m_linkHost)
        m_linkHost = std::make_unique<WindowLinkHost>(this, *m_model);
    reapFinishedLinks();
    // A thread that was told to stop (suspend, then resume at once) may still be ending:
    // it finishes on its own while the new one starts.
    if (m_link) {
        if (!m_link->Finished()) {
            m_link->Terminate();
            m_stoppingLinks.push_back(std::move(m_link));
        } else {
            m_link.reset();
        }
    }
    // Whatever the image holds now belongs to no connection of the new thread.
    Download.reset();
    m_link = TthdCom::Create(portEntry, DebugMessages, m_linkHost.get(), Timings);
    m_linkStopped = false;
    TthdCom *started = m_link.get();
    connect(started, &QThread::finished, this, [this, started] {
        // Its last report may have been given up (the window closing): the state ends here.
        if (m_link.get() == started && m_connection.phase() != ConnectionState::Phase::NotConnected)
            ShowConnection(ConnectionState::notConnected(m_connection.port()));
        if (!m_connected)
            SetConnected(false);   // the taskbar turns red: no link thread any more
    });
    // Said here, before the thread's own first words (which then repeat nothing), so that the
    // window never shows a link without its state.
    const ConnectionState first = ConnectionState::connecting(TthdCom::PortFromEntry(portEntry), 1);
    ShowConnection(first, first.statusLine());
    if (!m_connected)
        SetConnected(false);
}

void TfrmLumora::StopLink(BackupReason reason)
{
    WriteBackupFile(PortName, reason);
    if (!m_link)
        return;
    const bool wasActive = linkActive();
    m_link->Terminate();
    m_linkStopped = true;
    // Stopped at once, between two attempts as during one: the thread's closing words
    // would come only when its exchange under way has given up.
    if (wasActive) {
        const ConnectionState stopped = ConnectionState::notConnected(m_link->PortName());
        ShowConnection(stopped, stopped.statusLine());
    }
}

bool TfrmLumora::ImageComplete() const { return Download.complete(device().Schedule.size()); }

void TfrmLumora::WriteBackupFile(const QString &portEntry, BackupReason reason)
{
    // Only with the whole state of the controller on that port at hand: a backup written
    // from a download still under way, or from the image of an earlier connection, would
    // replace a good backup with wrong values. The old file then stays as it is.
    if (!ImageComplete() || Download.port() != portEntry)
        return;
    const QString port = portEntry.section(u' ', 0, 0);
    if (port.isEmpty())
        return;
    if (BackupFileWriter)
        BackupFileWriter(port);
    // Beside the file that each backup replaces, a dated copy that stays.
    if (backups)
        backups->storeAutomatic(portEntry, reason);
}

void TfrmLumora::RememberPort()
{
    // Writing the settings file takes longer than the whole refresh; this runs inside a
    // hand-over, so the write waits for the event loop and the link thread goes on. By then
    // the user may have disconnected or chosen another port: only the port still in use is
    // remembered.
    QMetaObject::invokeMethod(
        this,
        [this, port = PortName] {
            if (PortName == port)
                SavePort(port, LogSink());
        },
        Qt::QueuedConnection);
}

void TfrmLumora::mnuConnectionClick()
{
    if (!LinkRunning())
        PortName.clear();
    ListPorts(PortList, LogSink());
    QAction *connectItem = action(QStringLiteral("mnuConnect"));
    QMenu *submenu = connectItem->menu();
    submenu->clear();
    // One port at a time: the items show radio marks.
    delete submenu->findChild<QActionGroup *>(QStringLiteral("portGroup"));
    auto *portGroup = new QActionGroup(submenu);
    portGroup->setObjectName(QStringLiteral("portGroup"));
    portGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    for (const QString &entry : std::as_const(PortList)) {
        QAction *item = submenu->addAction(entry);
        item->setCheckable(true);
        portGroup->addAction(item);
        item->setChecked(entry == PortName);
        connect(item, &QAction::triggered, this, [this, entry] { ConnectToEntry(entry); });
    }
    connectItem->setEnabled(!PortList.isEmpty());
    action(QStringLiteral("mnuDisconnect"))->setEnabled(linkActive());
    bluetooth->EnableMenuItems();
}

void TfrmLumora::ConnectToEntry(const QString &entry)
{
    if (entry == PortName)
        return;
    WriteBackupFile(PortName, BackupReason::PortChange);
    PortName = entry;
    // The image is the old port's controller's until the new one has been read.
    Download.reset();
    if (!LinkRunning())
        StartLink(PortName);
    else
        m_link->SwitchPort(PortName, DebugMessages);
}

void TfrmLumora::mnuDisconnectClick()
{
    StopLink();
    PortName.clear();
    ForgetPort();
}

void TfrmLumora::memDblClick()
{
    if (LinkRunning())
        return;
    ListPorts(PortList, LogSink());
    PortName.clear();
    LoadPort(PortName, LogSink());
    if (PortList.contains(PortName)) {
        StartLink(PortName);
        return;
    }
    if (PortList.isEmpty())
        return;
    PortName = PortList.last();
    AddLog(QStringLiteral("Most recently added: ") + PortName);
    StartLink(PortName);
}

void TfrmLumora::SerialPortArrived(const QString &entry)
{
    if (DebugMessages) {
        AddLog(QStringLiteral("WMDeviceChange %1 0").arg(SerialPortWatcher::DeviceArrivalEvent));
        AddLog(QStringLiteral("dbch_devicetype %1").arg(SerialPortWatcher::DeviceTypePort));
    }
    Q_UNUSED(entry);
    if (LinkRunning())
        return;
    ListPorts(PortList, LogSink());
    if (PortList.isEmpty())
        return;
    PortName = PortList.last();
    AddLog(QStringLiteral("New serial port detected: ") + PortName);
    StartLink(PortName);
}

void TfrmLumora::PowerEvent(int code)
{
    if (DebugMessages)
        AddLog(QStringLiteral("WMPowerBroadcast ") + QString::number(code));
    switch (code) {
    case 0: case 1: case 4:
        AddLog(Translate(QStringLiteral("SystemSuspending")));
        StopLink();
        break;
    case 6: case 8: case 18:
        AddLog(Translate(QStringLiteral("SystemResuming")));
        if (!PortName.isEmpty())
            StartLink(PortName);
        break;
    default:
        break;
    }
}

void TfrmLumora::startSimulator()
{
    m_simulator = std::make_unique<SimulatorPort>();
    if (!m_simulator->start()) {
        AddLog(m_simulator->errorString());
        m_simulator.reset();
        return;
    }
    PortName = SimulatedPortEntry(m_simulator->portPath());
}

void TfrmLumora::ShowExpert() { showRecords(RefreshExpert, false); }

void TfrmLumora::ExpertWeatherArrived()
{
    if (pc->currentWidget() == page(QStringLiteral("tsMessages"))) {
        const int mode = device().Config.Mode;
        const char *target = mode == ModeAuto  ? "tsSchedule"
                             : mode == ModeGeo ? "tsGeo"
                                               : "tsChannels";
        SelectPage(page(QString::fromLatin1(target)));
    }
    RememberPort();
}

void TfrmLumora::ShowExpertWeather()
{
    try {
        showRecords(RefreshExpertWeather, false);
    } catch (...) {
        // A refresh that fails leaves the controls as they were; the next read tries again.
    }
}

void TfrmLumora::DrawSensorChart() { refreshParts(RefreshChart); }

QString TfrmLumora::ChooseFirmwareFile()
{
    return firmware ? firmware->ChooseFirmwareFile() : QString();
}
