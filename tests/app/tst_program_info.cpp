// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// --help and --version: which arguments ask for them, what they print, and that the program
// answers them without a display.
#include <QFile>
#include <QProcess>
#include <QTest>

#include "presentation/app_info.h"
#include "presentation/cmdline.h"

class TstProgramInfo : public QObject {
    Q_OBJECT
private slots:
    void requests_data();
    void requests();
    void helpAndManualListEverySwitch();
    void programAnswersWithoutDisplay_data();
    void programAnswersWithoutDisplay();
};

void TstProgramInfo::requests_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("request");
    QTest::addColumn<QString>("port");   // what the window would take as the port
    const int none = int(InfoRequest::None), help = int(InfoRequest::Help), version = int(InfoRequest::Version);

    QTest::newRow("nothing") << QStringList{} << none << QString();
    QTest::newRow("--help") << QStringList{"--help"} << help << QString();
    QTest::newRow("-h") << QStringList{"-h"} << help << QString();
    QTest::newRow("/? and case") << QStringList{"/?"} << help << QString();
    QTest::newRow("-HELP") << QStringList{"-HELP"} << help << QString();
    QTest::newRow("--version") << QStringList{"--version"} << version << QString();
    QTest::newRow("-v") << QStringList{"-v"} << version << QString();
    QTest::newRow("/Version") << QStringList{"/Version"} << version << QString();
    QTest::newRow("after other switches") << QStringList{"-german", "COM5", "-v"} << version << QString("COM5");
    QTest::newRow("first one wins") << QStringList{"--version", "--help"} << version << QString();
    // Neither switch nor port changes its meaning.
    QTest::newRow("ports stay ports") << QStringList{"h", "help", "/dev/v"} << none << QString("/dev/v");
    QTest::newRow("other switches") << QStringList{"-simulator", "-debug", "-x", "---help"} << none << QString();
    QTest::newRow("lone dash") << QStringList{"-"} << none << QString("-");
}

void TstProgramInfo::requests()
{
    QFETCH(QStringList, args);
    QFETCH(int, request);
    QCOMPARE(int(FindInfoRequest(args)), request);
    QTEST(ParseCommandLine(args).portName, "port");
}

void TstProgramInfo::helpAndManualListEverySwitch()
{
    const QString help = HelpText();
    QFile manual(qEnvironmentVariable("AQ_SOURCE_DIR") + QStringLiteral("/data/man/aqualumora.1.in"));
    QVERIFY2(manual.open(QIODevice::ReadOnly), qPrintable(manual.fileName()));
    const QString page = QString::fromUtf8(manual.readAll());
    for (const char *name : {"english", "german", "expert", "rc433", "debug", "simulator"}) {
        const QString sw = QString::fromLatin1(name);
        // Each is a switch the window knows ...
        const CommandLine cmd = ParseCommandLine({u'-' + sw});
        QVERIFY2(cmd.expert || cmd.rc433 || cmd.debug || cmd.simulator || cmd.language >= 0, name);
        // ... and is listed in both places.
        QVERIFY2(help.contains(QStringLiteral("  -") + sw + u' '), name);
        QVERIFY2(page.contains(QStringLiteral(".B \\-") + sw + u'\n'), name);
    }
    for (const char *sw : {"-h, --help", "-v, --version"})
        QVERIFY2(help.contains(QString::fromLatin1(sw)), sw);
    QVERIFY(page.contains(QStringLiteral(".BR \\-h \", \" \\-\\-help")));
    QVERIFY(page.contains(QStringLiteral(".BR \\-v \", \" \\-\\-version")));
}

void TstProgramInfo::programAnswersWithoutDisplay_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("start");
    const QString version = QStringLiteral("aqualumora %1\n").arg(QString::fromLatin1(AppInfo::Version));
    QTest::newRow("--version") << QStringList{"--version"} << version;
    QTest::newRow("-v with a port") << QStringList{"ttyUSB0", "-v"} << version;
    QTest::newRow("--help") << QStringList{"--help"} << QStringLiteral("Usage: aqualumora [switch...] [port]\n");
    QTest::newRow("-h") << QStringList{"-h"} << QStringLiteral("Usage: aqualumora");
}

void TstProgramInfo::programAnswersWithoutDisplay()
{
    QFETCH(QStringList, args);
    QFETCH(QString, start);
    // The X11 platform without a display: opening a window would end the program with an error.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    QProcess program;
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(AQ_PROGRAM), args);
    QVERIFY(program.waitForFinished(30000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    const QString out = QString::fromLocal8Bit(program.readAllStandardOutput());
    QVERIFY2(out.startsWith(start), qPrintable(out));
    QCOMPARE(program.readAllStandardError(), QByteArray());
}

QTEST_GUILESS_MAIN(TstProgramInfo)
#include "tst_program_info.moc"
