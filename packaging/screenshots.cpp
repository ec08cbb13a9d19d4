// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures of the running program for the AppStream metadata: the window at its design size,
// connected to the built-in simulated controller (-simulator) and with the whole state read,
// one picture of each page named on the command line.
//   aqualumora-screenshots <folder> <page>=<file>...   e.g. tsChannels=channels
// Run offscreen (QT_QPA_PLATFORM=offscreen) with HOME and the XDG folders pointed at a scratch
// folder: the window remembers its port and writes backups there, as it does for a user.
#include "app/application.h"
#include "app/frm_lumora.h"
#include "presentation/app_info.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QTabWidget>
#include <QThread>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication::setOrganizationName(QString::fromLatin1(AppInfo::OrganizationName));
    QCoreApplication::setApplicationName(QStringLiteral("Aqualumora"));
    TApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    if (arguments.size() < 2) {
        std::fputs("usage: aqualumora-screenshots <folder> <page>=<file>...\n", stderr);
        return 2;
    }
    const QString folder = arguments.takeFirst();
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "aqualumora-screenshots: cannot make %s\n", qPrintable(folder));
        return 1;
    }

    TfrmLumora window({QStringLiteral("-simulator"), QStringLiteral("-english")});
    window.resize(TfrmLumora::DesignWidth, TfrmLumora::DesignHeight);
    window.show();
    // Connecting and the full download take a few seconds at the simulator's line speed.
    QDeadlineTimer deadline(60000);
    while (!(window.IsConnected() && window.ImageComplete()) && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(10);
    }
    if (!window.ImageComplete()) {
        std::fputs("aqualumora-screenshots: the simulated controller was not read within 60 s\n", stderr);
        return 1;
    }

    int result = 0;
    for (const QString &argument : std::as_const(arguments)) {
        const QString name = argument.section(u'=', 0, 0);
        const QString file = folder + u'/' + argument.section(u'=', 1) + QStringLiteral(".png");
        QWidget *page = window.page(name);
        if (!page) {
            std::fprintf(stderr, "aqualumora-screenshots: no page %s\n", qPrintable(name));
            result = 1;
            continue;
        }
        window.SelectPage(page);
        // The page catches up with the model when it is shown; let the paint follow.
        QDeadlineTimer settle(300);
        while (!settle.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        if (!window.grab().save(file)) {
            std::fprintf(stderr, "aqualumora-screenshots: cannot write %s\n", qPrintable(file));
            result = 1;
        }
    }
    window.close();
    QCoreApplication::processEvents();
    return result;
}
