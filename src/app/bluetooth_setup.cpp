// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/bluetooth_setup.h"

#include <QAction>

#include <exception>

#include "app/frm_lumora.h"
#include "bluetooth/bluez_api.h"
#include "link/ports.h"

// Runs on the UI thread: the run's log lines and its requests to show the window.
class WindowDiscoverHost : public DiscoverHost
{
public:
    explicit WindowDiscoverHost(TfrmLumora *window) : w(window) {}
    ~WindowDiscoverHost() override { detachLink(); }

    void addLog(const QString &text) override
    {
        if (MainWindow() == w)
            w->AddLog(text, lcBluetooth());
    }
    // Pairing may make the system ask the user something; the program should be in view.
    void bringToFront() override
    {
        if (MainWindow() != w)
            return;
        if (w->isMinimized())
            w->showNormal();
        w->raise();
        w->activateWindow();
    }

private:
    TfrmLumora *w;
};

BluetoothSetup::BluetoothSetup(TfrmLumora *window)
    : QObject(window), w(window), m_host(std::make_unique<WindowDiscoverHost>(window))
{
    setObjectName(QStringLiteral("bluetoothSetup"));
    if (QAction *discover = w->action(QStringLiteral("mnuDiscover")))
        connect(discover, &QAction::triggered, w, &TfrmLumora::mnuDiscoverClick);
    if (QAction *remove = w->action(QStringLiteral("mnuRemove")))
        connect(remove, &QAction::triggered, w, &TfrmLumora::mnuRemoveClick);
}

BluetoothSetup::~BluetoothSetup()
{
    // First no line may reach the window any more, then the run is told to stop.
    m_host->detachLink();
    TthdDiscover::abandon(std::move(m_run), StopGraceMs);
}

bool BluetoothSetup::Running() const { return m_run && !m_run->Finished(); }

void BluetoothSetup::EnableMenuItems()
{
    const bool idle = !Running();
    for (const char *name : {"mnuDiscover", "mnuRemove"}) {
        if (QAction *item = w->action(QString::fromLatin1(name)))
            item->setEnabled(idle);
    }
}

void BluetoothSetup::mnuDiscoverClick()
{
    w->SelectPage(w->page(QStringLiteral("tsMessages")));
    if (Running())
        return;
    startRun(true);
}

void BluetoothSetup::mnuRemoveClick()
{
    w->SelectPage(w->page(QStringLiteral("tsMessages")));
    if (Running())
        return;
    w->StopLink();
    w->PortName.clear();
    ForgetPort();
    startRun(false);
}

void BluetoothSetup::startRun(bool installRun)
{
    try {
        m_run.reset();   // the previous run has finished; its thread is gone
        std::shared_ptr<BluetoothApi> api = ApiFactory ? ApiFactory() : std::make_shared<BluezApi>();
        m_run = TthdDiscover::Create(installRun, std::move(api), m_host.get(), Timings, Sleeper);
        connect(m_run.get(), &QThread::finished, this, &BluetoothSetup::EnableMenuItems);
    } catch (const std::exception &e) {
        m_run.reset();
        w->AddLog(QString::fromLocal8Bit(e.what()), lcBluetooth());
    }
    EnableMenuItems();
}

void TfrmLumora::mnuDiscoverClick() { bluetooth->mnuDiscoverClick(); }

void TfrmLumora::mnuRemoveClick() { bluetooth->mnuRemoveClick(); }
