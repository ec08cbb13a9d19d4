// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The environment for running the built program (or the simulator) as a child process with
// its own home: settings, data and runtime folders all inside home, offscreen, so a test
// never sees the user's files and works for an unprivileged user who owns home.
#include <QDir>
#include <QProcessEnvironment>

inline QProcessEnvironment privateProgramEnvironment(const QString &home)
{
    const QDir dir(home);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), dir.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home);
    return env;
}
