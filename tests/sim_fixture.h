// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A main window connected to the built-in simulated controller (switch "simulator"),
// with the whole image downloaded.
#include <QTest>

#include "link/device_model.h"
#include "link/thd_com.h"
#include "sim/simulated_controller.h"
#include "sim/simulator_port.h"
#include "window_fixture.h"

// Starts the window with -simulator and waits for the full download; null on failure
// (the QTRY macros have then recorded the failure).
inline std::unique_ptr<TfrmLumora> makeConnectedWindow(QStringList args = {"-english"}, bool show = true)
{
    args << QStringLiteral("-simulator");
    auto w = makeWindow(args);
    if (show) {
        w->show();
        w->activateWindow();
        if (!QTest::qWaitForWindowActive(w.get()))
            return nullptr;
    }
    if (!w->Simulator())
        return nullptr;
    // The full download ends with the weather record, after which the image is whole.
    const auto downloaded = [&w] {
        return w->IsConnected() && (w->model().pendingRequests() & FullDownload) == 0 && w->ImageComplete();
    };
    for (int i = 0; i < 1000 && !downloaded(); ++i)
        QTest::qWait(10);
    if (!downloaded())
        return nullptr;
    return w;
}

inline SimulatedController &sim(TfrmLumora *w) { return w->Simulator()->controller(); }

// Waits until the link thread has served every pending request bit and one more poll
// round trip has happened, so that what the window raised is on the wire.
inline bool waitForIdleLink(TfrmLumora *w, int timeoutMs = 5000)
{
    for (int waited = 0; waited < timeoutMs; waited += 10) {
        if ((w->model().pendingRequests() & ~(GetInfo | GetConfig)) == 0)
            return true;
        QTest::qWait(10);
    }
    return false;
}
