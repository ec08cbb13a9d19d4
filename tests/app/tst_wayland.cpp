// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The built program on a Wayland desktop: a headless compositor of its own, the program on
// the simulated controller. It downloads, keeps the position an X11 session stored (a
// Wayland window cannot place itself, so it must neither move nor overwrite it) and ends
// cleanly on a termination signal.
#include <QDir>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

#include "program_env.h"

class TstWayland : public QObject
{
    Q_OBJECT
private slots:
    void downloadsAndEndsCleanly();
};

void TstWayland::downloadsAndEndsCleanly()
{
    const QString weston = QStandardPaths::findExecutable(QStringLiteral("weston"));
    if (weston.isEmpty())
        QSKIP("weston is not installed");
    QTemporaryDir home;
    QVERIFY(home.isValid());
    QFile::setPermissions(home.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QProcessEnvironment env = privateProgramEnvironment(home.path());
    const QString socket = QStringLiteral("aq-wayland-%1").arg(::getpid());

    QProcess compositor;
    compositor.setProcessEnvironment(env);
    compositor.setProcessChannelMode(QProcess::MergedChannels);
    compositor.start(weston, {QStringLiteral("--backend=headless-backend.so"), QStringLiteral("--socket=") + socket,
                              QStringLiteral("--idle-time=0")});
    const QString socketPath = QDir(home.path()).filePath(socket);
    const bool up = compositor.waitForStarted(10000) && [&] {
        for (int i = 0; i < 100 && compositor.state() == QProcess::Running; ++i) {
            if (QFile::exists(socketPath))
                return true;
            QTest::qWait(100);
        }
        return false;
    }();
    if (!up) {
        compositor.kill();
        compositor.waitForFinished(5000);
        QSKIP(qPrintable(QStringLiteral("weston does not start here: ") + QString::fromLocal8Bit(compositor.readAll())));
    }

    // Where an earlier session on X11 left the window.
    const QString placement = QDir(home.path()).filePath(QStringLiteral("config/Aqualumora/Window.conf"));
    {
        QSettings stored(placement, QSettings::IniFormat);
        stored.setValue(QStringLiteral("x"), 345);
        stored.setValue(QStringLiteral("y"), 234);
        stored.setValue(QStringLiteral("width"), 1000);
        stored.setValue(QStringLiteral("height"), 700);
    }

    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
    env.insert(QStringLiteral("WAYLAND_DISPLAY"), socket);
    QProcess program;
    program.setProcessEnvironment(env);
    program.setStandardOutputFile(QProcess::nullDevice());
    program.start(QStringLiteral(AQ_PROGRAM), {QStringLiteral("-simulator"), QStringLiteral("-english")});
    QVERIFY(program.waitForStarted(10000));
    QString output;
    const auto downloaded = [&] {
        output += QString::fromLocal8Bit(program.readAllStandardError());
        const qsizetype chart = output.indexOf(QStringLiteral("Downloading chart..."));
        return chart >= 0 && output.indexOf(QStringLiteral("Done."), chart) > chart;
    };
    QTRY_VERIFY2_WITH_TIMEOUT(downloaded() || program.state() != QProcess::Running, qPrintable(output), 60000);
    QVERIFY2(downloaded(), qPrintable(output));
    QVERIFY2(output.contains(QStringLiteral("Connected to Aqualumora")), qPrintable(output));

    program.terminate();
    QVERIFY(program.waitForFinished(20000));
    output += QString::fromLocal8Bit(program.readAllStandardError());
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QVERIFY2(program.exitCode() == 0, qPrintable(output));
    QVERIFY2(output.contains(QStringLiteral("Disconnected from")), qPrintable(output));
    // No complaint from the platform plugin (an X11 fallback or a missing plugin would say so).
    QVERIFY2(!output.contains(QStringLiteral("qt.qpa")), qPrintable(output));

    const QSettings kept(placement, QSettings::IniFormat);
    QCOMPARE(kept.value(QStringLiteral("x")).toInt(), 345);
    QCOMPARE(kept.value(QStringLiteral("y")).toInt(), 234);
    QVERIFY(kept.contains(QStringLiteral("maximized")));   // the closing window saved its state

    compositor.terminate();
    compositor.waitForFinished(10000);
}

QTEST_GUILESS_MAIN(TstWayland)
#include "tst_wayland.moc"
