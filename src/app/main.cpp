// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/application.h"
#include "app/app_icon.h"
#include "presentation/app_info.h"
#include "presentation/cmdline.h"
#include "app/frm_lumora.h"
#include "app/window_placement.h"
#include "service/headless.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    // --help and --version answer before the application object exists, so they need no display.
    QStringList rawArguments;
    for (int i = 1; i < argc; ++i)
        rawArguments << QString::fromLocal8Bit(argv[i]);
    if (const InfoRequest request = FindInfoRequest(rawArguments); request != InfoRequest::None) {
        const QString text = request == InfoRequest::Help ? HelpText() : VersionText();
        std::fputs(text.toLocal8Bit().constData(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }

    QCoreApplication::setOrganizationName(QString::fromLatin1(AppInfo::OrganizationName));
    QCoreApplication::setApplicationName(QStringLiteral("Aqualumora"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(AppInfo::Version));

    // The service and the commands for scripts need no display: no GUI application is made.
    const CommandLine cmd = ParseCommandLine(rawArguments);
    if (cmd.headless || cmd.oneShot != CommandLine::OneShot::None || !cmd.usageError.isEmpty()) {
        QCoreApplication core(argc, argv);
        return RunWithoutWindow(cmd);
    }

    // The desktop matches the window to the installed desktop entry (icon, launcher progress).
    QGuiApplication::setDesktopFileName(QString::fromLatin1(AppInfo::AppId));
    TApplication app(argc, argv);
    QApplication::setWindowIcon(AppIcon());
    app.closeWindowsOnTerminationSignals();

    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    TfrmLumora window(arguments);
    TApplication::setExceptionSink([&window](const QString &text) { window.AddLog(text); });
    // Size, position and page as the window was last closed (saved again when it closes).
    (new WindowPlacement(&window, window.pc))->restore();
    window.show();
    const int result = app.exec();
    TApplication::setExceptionSink({});
    return result;
}
