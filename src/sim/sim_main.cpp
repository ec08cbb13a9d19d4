// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// aqualumora-sim: a simulated controller on a pseudo-terminal. Prints the port to open
// on one line and serves it until SIGINT or SIGTERM.

#include <csignal>
#include <cstdio>

#include <pthread.h>

#include <QCommandLineParser>
#include <QCoreApplication>

#include "presentation/app_info.h"
#include "sim/simulated_controller.h"
#include "sim/simulator_port.h"

int main(int argc, char *argv[])
{
    // Block the stop signals before any thread starts, so that only sigwait sees them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("aqualumora-sim"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(AppInfo::Version));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Simulated Aqualumora 1.x controller on a pseudo-terminal. Prints the port path and "
        "runs until interrupted."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption linkOption(QStringLiteral("link"),
                                        QStringLiteral("Keep a symbolic link to the port at <path>."),
                                        QStringLiteral("path"));
    const QCommandLineOption bootloaderOption(QStringLiteral("bootloader"),
                                              QStringLiteral("Start in the bootloader."));
    const QCommandLineOption throttleOption(QStringLiteral("throttle"),
                                            QStringLiteral("Answer at the real line speed."));
    const QCommandLineOption latencyOption(QStringLiteral("latency"),
                                           QStringLiteral("Delay every answer by <ms> milliseconds."),
                                           QStringLiteral("ms"), QStringLiteral("0"));
    parser.addOptions({linkOption, bootloaderOption, throttleOption, latencyOption});
    parser.process(app);

    bool latencyOk = false;
    const int latency = parser.value(latencyOption).toInt(&latencyOk);
    if (!latencyOk || latency < 0) {
        std::fprintf(stderr, "aqualumora-sim: invalid latency '%s'\n",
                     qPrintable(parser.value(latencyOption)));
        return 2;
    }

    SimulatorPort port;
    port.controller().setInBootloader(parser.isSet(bootloaderOption));
    port.controller().setThrottle(parser.isSet(throttleOption));
    port.controller().setLatencyMs(latency);
    if (parser.isSet(linkOption))
        port.setLinkPath(parser.value(linkOption));
    if (!port.start()) {
        std::fprintf(stderr, "aqualumora-sim: %s\n", qPrintable(port.errorString()));
        return 1;
    }
    std::printf("%s\n", qPrintable(port.portPath()));
    std::fflush(stdout);

    int signal = 0;
    sigwait(&stopSignals, &signal);
    port.stop();
    return 0;
}
