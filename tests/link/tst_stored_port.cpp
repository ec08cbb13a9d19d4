// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include "link/ports.h"

// Which ports are remembered: never a pseudo-terminal, whose number the system gives to
// the next terminal once its creator is gone, and never the built-in simulator.
class TstStoredPort : public QObject {
    Q_OBJECT
private slots:
    void init() { ForgetPort(); }
    void cleanup() { ForgetPort(); }
    void rememberable_data();
    void rememberable();
    void linksAreFollowed();
    void registeredSimulatorIsNotRemembered();
};

void TstStoredPort::rememberable_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<bool>("stored");
    QTest::newRow("USB adapter") << "ttyUSB0 (FT232R USB UART)" << true;
    QTest::newRow("Bluetooth") << "rfcomm0 (Bluetooth serial)" << true;
    QTest::newRow("typed device path") << "/dev/ttyACM1" << true;
    QTest::newRow("Windows name") << "COM7 (\\Device\\BthModem0)" << true;
    QTest::newRow("built-in simulator") << "/dev/pts/4 (Simulated controller)" << false;
    QTest::newRow("pseudo-terminal") << "/dev/pts/12" << false;
    QTest::newRow("pseudo-terminal with text") << "/dev/pts/0 (something)" << false;
    QTest::newRow("terminal multiplexer") << "/dev/ptmx" << false;
    QTest::newRow("empty") << "" << false;
}

void TstStoredPort::rememberable()
{
    QFETCH(QString, entry);
    QFETCH(bool, stored);
    QCOMPARE(IsRememberablePort(entry), stored);

    QStringList log;
    SavePort(entry, [&log](const QString &t) { log << t; });
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Aqualumora"));
    QCOMPARE(settings.contains("Port"), stored);
    QCOMPARE(log, stored ? QStringList{QStringLiteral("Written to registry: ") + entry} : QStringList());

    // Stored by an earlier version all the same: read back as no port.
    settings.setValue("Port", entry);
    settings.sync();
    QString port = QStringLiteral("before");
    QVERIFY(LoadPort(port, [](const QString &) {}));
    QCOMPARE(port, stored ? entry : QString());
}

void TstStoredPort::linksAreFollowed()
{
    QTemporaryDir dir;
    const QString toTerminal = dir.filePath(QStringLiteral("aqualumora-sim"));
    QVERIFY(QFile::link(QStringLiteral("/dev/ptmx"), toTerminal));
    QVERIFY(!IsRememberablePort(toTerminal));
    // A link to an ordinary device (here a file standing in for one) is fine.
    const QString device = dir.filePath(QStringLiteral("ttyUSB9"));
    QFile file(device);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    const QString toDevice = dir.filePath(QStringLiteral("lamp"));
    QVERIFY(QFile::link(device, toDevice));
    QVERIFY(IsRememberablePort(toDevice + QStringLiteral(" (USB)")));
}

void TstStoredPort::registeredSimulatorIsNotRemembered()
{
    // A simulated port under any name, while it is registered.
    const QString path = QStringLiteral("/tmp/aq-sim-port");
    RegisterSimulatedPort(path);
    QVERIFY(!IsRememberablePort(path));
    UnregisterSimulatedPort(path);
    QVERIFY(IsRememberablePort(path));
}

QTEST_GUILESS_MAIN(TstStoredPort)
#include "tst_stored_port.moc"
