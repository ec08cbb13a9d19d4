// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/application.h"

#include "service/unix_signals.h"

#include <exception>

namespace {
TApplication::ExceptionSink g_sink;
} // namespace

TApplication::TApplication(int &argc, char **argv) : QApplication(argc, argv) {}

void TApplication::setExceptionSink(ExceptionSink sink) { g_sink = std::move(sink); }

bool TApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &e) {
        if (g_sink)
            g_sink(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        if (g_sink)
            g_sink(QStringLiteral("Unknown exception"));
    }
    return false;
}

void TApplication::closeWindowsOnTerminationSignals()
{
    if (findChild<UnixSignals *>())
        return;
    auto *unixSignals = new UnixSignals(this);
    connect(unixSignals, &UnixSignals::terminate, this, [] { closeAllWindows(); });
}
