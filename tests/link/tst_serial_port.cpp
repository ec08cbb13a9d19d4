// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/ports.h"
#include "link/serial_port.h"
#include "pty_peer.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

#include <termios.h>

class tst_SerialPort : public QObject
{
    Q_OBJECT

private slots:
    void init() { ForgetPort(); }

    void openFailureCarriesSystemText();
    void closedPortTransfersFail_data();
    void closedPortTransfersFail();
    void lineSettings();
    void readPartialAfterTimeout();
    void readStopsEarlyOnStopCheck();
    void rawBytesKept();
    void openIsExclusive();
    void vanishedDeviceErrorText_data();
    void vanishedDeviceErrorText();

    void portEntryAndSimulatedPorts();
    void registryRoundTrip();
    void loadWithoutStoredValue();

    void watcherReportsArrivals();
    void powerWatcherOnPrivateBus();
};

void tst_SerialPort::openFailureCarriesSystemText()
{
    TSerialPort port;
    port.setName(QStringLiteral("/dev/does-not-exist-aq"));
    try {
        port.open();
        QFAIL("open of a missing device succeeded");
    } catch (const SerialError &e) {
        QCOMPARE(e.text(), QStringLiteral("Unable to open com port (Error: 2, \"No such file or directory\")"));
    }
    QVERIFY(!port.isOpen());
    QCOMPARE(port.name(), QStringLiteral("/dev/does-not-exist-aq"));
}

void tst_SerialPort::closedPortTransfersFail_data()
{
    QTest::addColumn<int>("operation");
    QTest::newRow("clear buffers") << 0;
    QTest::newRow("write") << 1;
    QTest::newRow("read") << 2;
}

void tst_SerialPort::closedPortTransfersFail()
{
    QFETCH(int, operation);
    TSerialPort port;
    char buf[4];
    try {
        if (operation == 0)
            port.clearBuffers();
        else if (operation == 1)
            port.write("80\n");
        else
            port.read(buf, 4);
        QFAIL("transfer on a closed port succeeded");
    } catch (const SerialError &e) {
        QCOMPARE(e.text(), QStringLiteral("Port Not Open"));
    }
}

void tst_SerialPort::lineSettings()
{
    PtyPeer peer;
    QVERIFY(peer.ok());
    TSerialPort port;
    port.setName(peer.slavePath());
    port.open();
    QVERIFY(port.isOpen());

    termios t{};
    QCOMPARE(tcgetattr(peer.slaveFd(), &t), 0);
    QCOMPARE(cfgetispeed(&t), speed_t(B115200));
    QCOMPARE(cfgetospeed(&t), speed_t(B115200));
    QCOMPARE(t.c_cflag & CSIZE, tcflag_t(CS8));
    QVERIFY(!(t.c_cflag & PARENB));
    QVERIFY(!(t.c_cflag & CSTOPB));
    QVERIFY(!(t.c_cflag & CRTSCTS));
    QVERIFY(!(t.c_iflag & (IXON | IXOFF | IXANY)));
    // Raw: no translation of CR or LF, no parity marking, no echo.
    QVERIFY(!(t.c_iflag & (ICRNL | INLCR | IGNCR | PARMRK | INPCK | ISTRIP)));
    QVERIFY(!(t.c_lflag & (ICANON | ECHO)));
    QVERIFY(!(t.c_oflag & OPOST));
}

void tst_SerialPort::readPartialAfterTimeout()
{
    PtyPeer peer([](const QByteArray &) { return QByteArray("abc"); });
    TSerialPort port;
    port.setName(peer.slavePath());
    port.setReadTimeout(150);
    port.open();
    port.write("x\n");
    char buf[8] = {};
    QCOMPARE(port.read(buf, 8), qint64(3));
    QCOMPARE(QByteArray(buf, 3), QByteArray("abc"));
    QCOMPARE(port.read(buf, 8), qint64(0));
}

void tst_SerialPort::readStopsEarlyOnStopCheck()
{
    PtyPeer peer;
    TSerialPort port;
    port.setName(peer.slavePath());
    port.setReadTimeout(60000);
    QElapsedTimer timer;
    timer.start();
    port.setStopCheck([&timer] { return timer.elapsed() > 50; });
    port.open();
    char buf[8];
    QCOMPARE(port.read(buf, 8), qint64(0));
    QVERIFY(port.lastReadInterrupted());
    QVERIFY(timer.elapsed() < 30000);
}

void tst_SerialPort::rawBytesKept()
{
    // Null bytes, XON/XOFF and both line ends must pass untouched in both directions.
    const QByteArray bytes("\x00\x11\x13\r\n\xff\x7f", 7);
    PtyPeer peer([&bytes](const QByteArray &) { return bytes; });
    TSerialPort port;
    port.setName(peer.slavePath());
    port.setReadTimeout(2000);
    port.open();
    port.write(QByteArray("\x00\x11\x13\r\n", 5));
    char buf[16] = {};
    QCOMPARE(port.read(buf, bytes.size()), qint64(bytes.size()));
    QCOMPARE(QByteArray(buf, bytes.size()), bytes);
    QCOMPARE(peer.received(), QByteArray("\x00\x11\x13\r\n", 5));
}

void tst_SerialPort::openIsExclusive()
{
    PtyPeer peer;
    TSerialPort first, second;
    first.setName(peer.slavePath());
    second.setName(peer.slavePath());
    first.open();
    try {
        second.open();
        QFAIL("a port was opened twice");
    } catch (const SerialError &e) {
        // The system's code and text, whichever way the port is kept exclusive.
        QCOMPARE(e.text(), QStringLiteral("Unable to open com port (Error: 16, \"Device or resource busy\")"));
    }
    QVERIFY(!second.isOpen());
    first.close();
    second.open();
    QVERIFY(second.isOpen());
}

void tst_SerialPort::vanishedDeviceErrorText_data()
{
    QTest::addColumn<int>("operation");
    QTest::addColumn<QString>("text");
    QTest::newRow("read") << 0 << QStringLiteral("ReadFile function failed (Error: 5, \"Input/output error\")");
    QTest::newRow("write") << 1 << QStringLiteral("WriteFile function failed (Error: 5, \"Input/output error\")");
}

void tst_SerialPort::vanishedDeviceErrorText()
{
    QFETCH(int, operation);
    PtyPeer peer;
    TSerialPort port;
    port.setName(peer.slavePath());
    port.setReadTimeout(2000);
    port.open();
    peer.vanish();
    char buf[8];
    try {
        if (operation == 0)
            port.read(buf, 8);
        else
            port.write("81\n");
        QFAIL("a transfer on a vanished device succeeded");
    } catch (const SerialError &e) {
        QTEST(e.text(), "text");
    }
}

void tst_SerialPort::portEntryAndSimulatedPorts()
{
    const QString path = QStringLiteral("/dev/pts/977");
    QVERIFY(!AvailablePortEntries().contains(path + QStringLiteral(" (Simulated controller)")));
    RegisterSimulatedPort(path);
    RegisterSimulatedPort(path);
    QStringList list{QStringLiteral("old entry")};
    QStringList log;
    ListPorts(list, [&log](const QString &t) { log << t; });
    QCOMPARE(list.count(path + QStringLiteral(" (Simulated controller)")), 1);
    QCOMPARE(list.last(), path + QStringLiteral(" (Simulated controller)"));
    QCOMPARE(log.first(), QStringLiteral("Listing seral ports..."));
    QCOMPARE(log.mid(1), list);

    UnregisterSimulatedPort(path);
    ListPorts(list, [&log](const QString &t) { log << t; });
    QVERIFY(!list.contains(path + QStringLiteral(" (Simulated controller)")));
}

void tst_SerialPort::registryRoundTrip()
{
    QStringList log;
    auto addLog = [&log](const QString &t) { log << t; };
    const QString entry = QStringLiteral("ttyUSB7 (FT232R USB UART)");
    SavePort(entry, addLog);
    QCOMPARE(log.last(), QStringLiteral("Written to registry: ") + entry);

    QString port;
    QVERIFY(LoadPort(port, addLog));
    QCOMPARE(port, entry);
    QCOMPARE(log.last(), QStringLiteral("Read from registry: ") + entry);

    // The value lives where the platform keeps per-user settings of "Aqualumora".
    QSettings direct(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Aqualumora"));
    QCOMPARE(direct.value("Port").toString(), entry);

    ForgetPort();
    port = QStringLiteral("unchanged");
    log.clear();
    QVERIFY(!LoadPort(port, addLog));
    QCOMPARE(port, QStringLiteral("unchanged"));
    QVERIFY(log.isEmpty());
}

void tst_SerialPort::loadWithoutStoredValue()
{
    // Settings exist but hold no port: the port becomes empty and that is logged.
    {
        QSettings s(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Aqualumora"));
        s.setValue("Other", 1);
    }
    QString port = QStringLiteral("COM3");
    QStringList log;
    QVERIFY(LoadPort(port, [&log](const QString &t) { log << t; }));
    QVERIFY(port.isEmpty());
    QCOMPARE(log, QStringList{QStringLiteral("Read from registry: ")});
    ForgetPort();
    QSettings s(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Aqualumora"));
    QVERIFY(s.allKeys().isEmpty());
}

void tst_SerialPort::watcherReportsArrivals()
{
    const QString path = QStringLiteral("/dev/pts/955");
    SerialPortWatcher watcher(nullptr, 20);
    QSignalSpy spy(&watcher, &SerialPortWatcher::serialPortArrived);
    watcher.start();
    QTest::qWait(60);
    QCOMPARE(spy.count(), 0);  // what was there at the start is not new
    RegisterSimulatedPort(path);
    QVERIFY(spy.wait(2000));
    QCOMPARE(spy.takeFirst().at(0).toString(), path + QStringLiteral(" (Simulated controller)"));
    QTest::qWait(60);
    QCOMPARE(spy.count(), 0);  // reported once
    UnregisterSimulatedPort(path);
    QTest::qWait(60);
    QCOMPARE(spy.count(), 0);  // leaving is no arrival
    watcher.stop();
    RegisterSimulatedPort(path);
    QTest::qWait(60);
    QCOMPARE(spy.count(), 0);
    UnregisterSimulatedPort(path);
}

void tst_SerialPort::powerWatcherOnPrivateBus()
{
    const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (daemon.isEmpty())
        QSKIP("dbus-daemon is not installed");
    QProcess bus;
    bus.start(daemon, {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
    QVERIFY(bus.waitForStarted());
    QVERIFY(bus.waitForReadyRead(5000));
    const QString address = QString::fromLocal8Bit(bus.readLine()).trimmed();
    QVERIFY(!address.isEmpty());

    {
        QDBusConnection listener = QDBusConnection::connectToBus(address, QStringLiteral("aq-listener"));
        QDBusConnection logind = QDBusConnection::connectToBus(address, QStringLiteral("aq-logind"));
        QVERIFY(listener.isConnected() && logind.isConnected());
        QVERIFY(logind.registerService(QStringLiteral("org.freedesktop.login1")));

        PowerWatcher watcher(listener);
        QVERIFY(watcher.isListening());
        QSignalSpy events(&watcher, &PowerWatcher::powerEvent);
        QSignalSpy suspending(&watcher, &PowerWatcher::suspending);
        QSignalSpy resumed(&watcher, &PowerWatcher::resumed);

        for (bool start : {true, false}) {
            QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/login1"),
                                                             QStringLiteral("org.freedesktop.login1.Manager"),
                                                             QStringLiteral("PrepareForSleep"));
            signal << start;
            QVERIFY(logind.send(signal));
            QTRY_COMPARE(events.count(), start ? 1 : 2);
        }
        QCOMPARE(events.at(0).at(0).toInt(), PowerWatcher::SuspendEvent);
        QCOMPARE(events.at(1).at(0).toInt(), PowerWatcher::ResumeEvent);
        QCOMPARE(suspending.count(), 1);
        QCOMPARE(resumed.count(), 1);

        // Someone else sending the same signal is not the login manager.
        QDBusConnection other = QDBusConnection::connectToBus(address, QStringLiteral("aq-other"));
        QDBusMessage fake = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/login1"),
                                                       QStringLiteral("org.freedesktop.login1.Manager"),
                                                       QStringLiteral("PrepareForSleep"));
        fake << true;
        other.send(fake);
        QTest::qWait(200);
        QCOMPARE(events.count(), 2);
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("aq-listener"));
    QDBusConnection::disconnectFromBus(QStringLiteral("aq-logind"));
    QDBusConnection::disconnectFromBus(QStringLiteral("aq-other"));
    bus.kill();
    bus.waitForFinished();
}

QTEST_GUILESS_MAIN(tst_SerialPort)
#include "tst_serial_port.moc"
