// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/headless.h"

#include "link/ports.h"
#include "presentation/app_info.h"
#include "presentation/cmdline.h"
#include "presentation/localization.h"
#include "presentation/log_categories.h"
#include "service/link_service.h"
#include "service/one_shot.h"
#include "service/service_bridge.h"
#include "service/unix_signals.h"
#include "sim/simulator_port.h"

#include <QCoreApplication>
#include <QLocale>
#include <QLoggingCategory>
#include <QTimer>

#include <cstdio>

namespace {

// A stop gets this long to write the backups and end the link before the program ends
// anyway; systemd waits longer before it kills.
constexpr int StopLimitMs = 1800;

void usePortFromCommandLine(const CommandLine &cmd, QString &port, std::unique_ptr<SimulatorPort> &simulator)
{
    port.clear();
    LoadPort(port, [](const QString &text) { LogMessage(lcLink(), text); });
    if (!cmd.portName.isEmpty())
        port = cmd.portName;
    if (cmd.simulator)
        port = StartSimulatorFor(simulator);
}

int runService(const CommandLine &cmd, const QString &port)
{
    ServiceOptions options;
    options.portEntry = port;
    options.trace = cmd.debug;
    LinkService service(options);

    ServiceBridge bridge(service, cmd);
    if (!bridge.start())
        return 2;

    UnixSignals unixSignals;
    bool stopping = false;
    const auto stop = [&] {
        if (stopping)
            return;
        stopping = true;
        bridge.stop();
        service.stop(BackupReason::Closing);
        QTimer::singleShot(StopLimitMs, qApp, [] { QCoreApplication::exit(0); });
    };
    QObject::connect(&unixSignals, &UnixSignals::terminate, &service, stop);
    QObject::connect(&unixSignals, &UnixSignals::hangup, &service, [&] {
        LogMessage(lcApp(), Translate(QStringLiteral("SettingsReloaded")));
        service.reloadSettings();
        bridge.reload();
    });
    QObject::connect(&service, &LinkService::stopped, qApp, [] { QCoreApplication::exit(0); });
    service.start();
    return QCoreApplication::exec();
}

int runOneShot(const CommandLine &cmd, const QString &port)
{
    ServiceOptions options;
    options.portEntry = port;
    options.trace = cmd.debug;
    OneShotCommand command(cmd, options);
    UnixSignals unixSignals;
    QObject::connect(&unixSignals, &UnixSignals::terminate, &command, [] { QCoreApplication::exit(1); });
    int status = 1;
    QObject::connect(&command, &OneShotCommand::finished, qApp, [&](int result) {
        status = result;
        if (result != 0)
            std::fprintf(stderr, "aqualumora: %s\n", qUtf8Printable(command.failure()));
        // The link ends in the background; the program does not wait for more than that.
        QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
    });
    command.start();
    QCoreApplication::exec();
    return status;
}

} // namespace

int RunWithoutWindow(const CommandLine &cmd)
{
    if (!cmd.usageError.isEmpty()) {
        std::fprintf(stderr, "aqualumora: %s\nTry \"aqualumora --help\".\n", qUtf8Printable(cmd.usageError));
        return 2;
    }
    const bool oneShot = cmd.oneShot != CommandLine::OneShot::None;
    // A command for a script says nothing on standard error but its one line on failure,
    // unless -debug asks for the whole log.
    if (oneShot && !cmd.debug)
        QLoggingCategory::setFilterRules(QStringLiteral("aqualumora.*.info=false"));
    SetLinkTrace(cmd.debug);
    const int language = LoadLanguageTable(ChooseLanguage(cmd.language));
    if (language == LanguageGerman)
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));

    if (!oneShot) {
        LogMessage(lcApp(), QString::fromLatin1(AppInfo::Title) + u' ' + Translate(QStringLiteral("Started")));
        for (const QString &line : cmd.logLines)
            LogMessage(lcApp(), line);
    }
    std::unique_ptr<SimulatorPort> simulator;
    QString port;
    usePortFromCommandLine(cmd, port, simulator);
    if (port.isEmpty()) {
        std::fprintf(stderr, "aqualumora: no port: name one (aqualumora %s ttyUSB0) or connect once in the window\n",
                     oneShot ? "--status" : "--headless");
        return oneShot ? 1 : 2;
    }
    return oneShot ? runOneShot(cmd, port) : runService(cmd, port);
}
