// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Runs of TthdDiscover against the scripted Bluetooth stack, with every log line, wait
// and call in one trace.
#include <QCoreApplication>
#include <QTest>

#include "bluetooth/fake_bluetooth_api.h"
#include "bluetooth/thd_discover.h"

// Writes what the run hands to the window into the stack's trace.
class RecordingHost : public DiscoverHost
{
public:
    explicit RecordingHost(FakeBluetoothApi *api) : m_api(api) {}
    ~RecordingHost() override { detachLink(); }
    void addLog(const QString &text) override { m_api->record(QStringLiteral("log: ") + text); }
    void bringToFront() override { ++fronts; }
    int fronts = 0;

private:
    FakeBluetoothApi *m_api;
};

inline QString logEvent(const QString &text) { return QStringLiteral("log: ") + text; }
inline const QString WaitEvent = QStringLiteral("wait 2000");

inline DiscoverSleeper recordingSleeper(const std::shared_ptr<FakeBluetoothApi> &api)
{
    return [api](int ms) { api->record(QStringLiteral("wait %1").arg(ms)); };
}

// Starts a run and waits (with the event loop turning) until it has finished.
inline bool runToEnd(const std::shared_ptr<FakeBluetoothApi> &api, RecordingHost &host, bool install)
{
    auto run = TthdDiscover::Create(install, api, &host, {}, recordingSleeper(api));
    for (int i = 0; i < 2000 && !run->Finished(); ++i)
        QTest::qWait(5);
    const bool finished = run->Finished();
    run.reset();
    QCoreApplication::processEvents();   // the posted requests to show the window
    return finished;
}

// Only the log lines and the waits of a trace, in order.
inline QStringList logAndWaits(const QStringList &trace)
{
    QStringList events;
    for (const QString &event : trace) {
        if (event.startsWith(QStringLiteral("log: ")) || event.startsWith(QStringLiteral("wait ")))
            events << event;
    }
    return events;
}

inline QStringList repeated(const QStringList &events, int times)
{
    QStringList all;
    for (int i = 0; i < times; ++i)
        all << events;
    return all;
}
