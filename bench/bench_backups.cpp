// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Times the restore list of the backup history: 1,000 copies in 12 controller folders, each
// with 24 schedule lines, listed newest first with the number of values that differ from
// the connected controller. "First listing" is a new history object that parses every copy;
// "again" is the same object, which reads only the folders and keeps the parsed copies.
// Prints the median of several runs of each.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimeZone>

#include <cstdio>
#include <vector>

#include "bench_common.h"
#include "files/backup_history.h"
#include "files/ini_file.h"
#include "files/settings_file.h"

namespace {

constexpr int Controllers = 12;
constexpr int Copies = 1000;
constexpr int Lines = 24;

IniFile makeState(int seed)
{
    IniFile ini;
    int i = 0;
    for (const IniKey &k : SettingsKeys())
        ini.setInteger(QString::fromLatin1(k.section), k.key, (i++ * 7 + (seed % 5 == 0 ? seed : 0)) % 200);
    for (int line = 0; line < Lines; ++line)
        for (const IniKey &k : ScheduleLineKeys())
            ini.setInteger(QString::number(line), k.key, (line * 3 + i++ + seed) % 100);
    return ini;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString root = dir.filePath(QStringLiteral("backups"));
    {
        BackupHistory history(root);
        // Within the last 30 days, so that the retention keeps every copy.
        const QDateTime start = QDateTime::currentDateTime().addDays(-29);
        for (int i = 0; i < Copies; ++i) {
            const QString port = QStringLiteral("/dev/rfcomm%1").arg(i % Controllers);
            const StoreResult r = history.store(port, makeState(i), {BackupReason::Disconnect, "1.5", {1, 5}},
                                                start.addSecs(i * 2400));
            if (r.outcome != StoreResult::Stored) {
                std::printf("could not store copy %d: %s\n", i, qPrintable(r.errorText));
                return 1;
            }
        }
    }
    const IniFile connected = makeState(7);
    const ListContext context{ControllerFirmware{1, 5}, &connected};

    int listed = 0;
    long long differing = 0;
    const auto list = [&](const BackupHistory &history) {
        QElapsedTimer t;
        t.start();
        const QList<BackupCopy> copies = history.allCopies(context);
        const double ms = double(t.nsecsElapsed()) / 1e6;
        listed = int(copies.size());
        differing = 0;
        for (const BackupCopy &c : copies)
            differing += c.differences;
        return ms;
    };
    std::vector<double> first, again;
    for (int run = 0; run < 9; ++run) {
        BackupHistory history(root);
        first.push_back(list(history));
        again.push_back(list(history));
    }
    std::printf("%d copies in %d folders, %d schedule lines each (%lld differing values in all)\n", listed,
                Controllers, Lines, differing);
    std::printf("restore list, first listing: %8.1f ms (median of %zu)\n", median(first), first.size());
    std::printf("restore list, again:         %8.1f ms (median of %zu)\n", median(again), again.size());
    return listed == Copies ? 0 : 1;
}
