// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated controller behind a real pseudo-terminal, opened with plain POSIX calls.

#include <cerrno>
#include <csignal>
#include <memory>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <QtTest>

#include "link/ports.h"

#include "sim/simulated_controller.h"
#include "sim/simulator_port.h"

namespace {

int openRaw(const QString &path)
{
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    termios tio;
    ::tcgetattr(fd, &tio);
    ::cfmakeraw(&tio);
    ::cfsetispeed(&tio, B115200);
    ::cfsetospeed(&tio, B115200);
    ::tcsetattr(fd, TCSANOW, &tio);
    return fd;
}

// Reads until count bytes have come or the wait is over.
QByteArray readSome(int fd, int count, int timeoutMs = 3000)
{
    QByteArray got;
    QElapsedTimer timer;
    timer.start();
    while (got.size() < count && timer.elapsed() < timeoutMs) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0 || !(p.revents & POLLIN))
            continue;
        char buffer[512];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0)
            got.append(buffer, n);
    }
    return got;
}

QByteArray exchange(int fd, const QByteArray &line, int answerLength)
{
    const QByteArray frame = line + '\n';
    if (::write(fd, frame.constData(), size_t(frame.size())) != frame.size())
        return {};
    return readSome(fd, answerLength);
}

// Whether the other side has gone: a hang-up, or a read that gives end-of-file or EIO.
bool seesHangup(int fd)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 3000) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 20) > 0) {
            if (p.revents & (POLLHUP | POLLERR))
                return true;
            char c;
            const ssize_t n = ::read(fd, &c, 1);
            if (n == 0 || (n < 0 && errno == EIO))
                return true;
        }
    }
    return false;
}

struct Fd {
    int fd = -1;
    ~Fd() { reset(); }
    void reset(int f = -1)
    {
        if (fd >= 0)
            ::close(fd);
        fd = f;
    }
};

} // namespace

class TestSimulatorPort : public QObject
{
    Q_OBJECT

private slots:
    void answersOverTerminal();
    void slaveIsRawForEveryOpener();
    void vanishAndComeBack();
    void linkFollowsTheDevice();
    void linkNeverReplacesAFile();
    void stopWhileClientHoldsSlave();
    void pacedAnswersStayIntact();
    void standaloneExecutable();
    void standaloneRemovesItsLink_data();
    void standaloneRemovesItsLink();
};

void TestSimulatorPort::answersOverTerminal()
{
    SimulatorPort port;
    QVERIFY2(port.start(), qPrintable(port.errorString()));
    QVERIFY(port.slavePath().startsWith(QLatin1String("/dev/")));
    QCOMPARE(port.portPath(), port.slavePath());
    const QString entry = port.slavePath() + QStringLiteral(" (Simulated controller)");
    QVERIFY(AvailablePortEntries().contains(entry));
    Fd client;
    client.fd = openRaw(port.slavePath());
    QVERIFY(client.fd >= 0);
    QCOMPARE(exchange(client.fd, "80", 7), QByteArray("800105\r"));
    const QByteArray info = exchange(client.fd, "81", 103);
    QCOMPARE(info.size(), 103);
    QCOMPARE(info.back(), '\r'); // not turned into a line feed on the way
    QCOMPARE(exchange(client.fd, "7F02", 1), QByteArray("*"));
    QCOMPARE(port.controller().commandCount("7F02"), 1);
    QVERIFY(port.clientConnected());
    client.reset();
    QTRY_VERIFY(!port.clientConnected());
    port.stop();
    QVERIFY(!AvailablePortEntries().contains(entry));
}

void TestSimulatorPort::slaveIsRawForEveryOpener()
{
    SimulatorPort port;
    QVERIFY(port.start());
    for (int round = 0; round < 2; ++round) { // also after a first opener closed it again
        const int fd = ::open(port.slavePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
        QVERIFY(fd >= 0);
        termios tio;
        QCOMPARE(::tcgetattr(fd, &tio), 0);
        ::close(fd);
        QCOMPARE(tio.c_lflag & (ICANON | ECHO | ISIG), tcflag_t(0));
        QCOMPARE(tio.c_iflag & (ICRNL | INLCR | IGNCR | IXON), tcflag_t(0));
        QCOMPARE(tio.c_oflag & OPOST, tcflag_t(0));
        QCOMPARE(::cfgetispeed(&tio), speed_t(B115200));
    }
}

void TestSimulatorPort::vanishAndComeBack()
{
    SimulatorPort port;
    QVERIFY(port.start());
    const QString first = port.slavePath();
    Fd client;
    client.fd = openRaw(first);
    QVERIFY(client.fd >= 0);
    ConfigRecord config = port.controller().config();
    config.FanLow = 9;
    port.controller().setConfig(config);

    port.vanish();
    QVERIFY(!port.isRunning());
    QVERIFY(port.slavePath().isEmpty());
    QVERIFY(port.portPath().isEmpty());
    QVERIFY(seesHangup(client.fd));

    // The old terminal is still held open here, so it comes back under another number.
    const SimulatorPort::Return back = port.comeBack();
    QVERIFY(back.ok);
    QCOMPARE(back.slavePath, port.slavePath());
    QCOMPARE(back.samePath, back.slavePath == first);
    Fd second;
    second.fd = openRaw(back.slavePath);
    QVERIFY(second.fd >= 0);
    QCOMPARE(exchange(second.fd, "80", 7), QByteArray("800105\r"));
    QCOMPARE(int(port.controller().config().FanLow), 9); // the device kept its state

    // Once nobody holds it, a number may be given out again; the report says which.
    client.reset();
    second.reset();
    const QString before = port.slavePath();
    const SimulatorPort::Return again = port.comeBack();
    QVERIFY(again.ok);
    QCOMPARE(again.samePath, again.slavePath == before);
}

void TestSimulatorPort::linkFollowsTheDevice()
{
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("aqualumora"));
    SimulatorPort port;
    port.setLinkPath(link);
    QVERIFY2(port.start(), qPrintable(port.errorString()));
    QCOMPARE(port.portPath(), link);
    QCOMPARE(QFileInfo(link).symLinkTarget(), port.slavePath());
    Fd client;
    client.fd = openRaw(link);
    QCOMPARE(exchange(client.fd, "80", 7), QByteArray("800105\r"));
    port.vanish();
    QVERIFY(!QFileInfo(link).isSymLink());
    QVERIFY(port.comeBack().ok);
    QCOMPARE(QFileInfo(link).symLinkTarget(), port.slavePath());
    port.stop();
    QVERIFY(!QFileInfo(link).isSymLink());
}

void TestSimulatorPort::linkNeverReplacesAFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("precious"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("keep");
    file.close();
    SimulatorPort port;
    port.setLinkPath(path);
    QVERIFY(!port.start());
    QVERIFY(!port.errorString().isEmpty());
    QVERIFY(!port.isRunning());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("keep"));
}

void TestSimulatorPort::stopWhileClientHoldsSlave()
{
    Fd client;
    {
        auto port = std::make_unique<SimulatorPort>();
        QVERIFY(port->start());
        client.fd = openRaw(port->slavePath());
        // Half a frame is in flight when the device goes.
        QCOMPARE(::write(client.fd, "8", 1), ssize_t(1));
        port.reset();
    }
    QVERIFY(seesHangup(client.fd));
}

void TestSimulatorPort::pacedAnswersStayIntact()
{
    auto controller = std::make_shared<SimulatedController>();
    controller->setThrottle(true);
    controller->setLatencyMs(20);
    SimulatorPort port(controller);
    QVERIFY(port.start());
    Fd client;
    client.fd = openRaw(port.slavePath());
    const QByteArray chart = exchange(client.fd, "87", 163);
    QCOMPARE(chart.size(), 163);
    QVERIFY(chart.startsWith("87") && chart.endsWith('\r'));
    // Settable while running.
    controller->setThrottle(false);
    controller->setLatencyMs(0);
    QCOMPARE(exchange(client.fd, "80", 7), QByteArray("800105\r"));
}

void TestSimulatorPort::standaloneExecutable()
{
    QProcess process;
    process.start(QStringLiteral(AQ_SIM_EXECUTABLE), {QStringLiteral("--bootloader")});
    QVERIFY(process.waitForStarted());
    QVERIFY(process.waitForReadyRead(5000));
    const QString path = QString::fromLocal8Bit(process.readLine()).trimmed();
    QVERIFY(path.startsWith(QLatin1Char('/')));
    Fd client;
    client.fd = openRaw(path);
    QVERIFY(client.fd >= 0);
    QCOMPARE(exchange(client.fd, "80", 7), QByteArray("800001\r"));
    process.terminate(); // SIGTERM
    QVERIFY(process.waitForFinished(5000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
    QVERIFY(seesHangup(client.fd));
}

void TestSimulatorPort::standaloneRemovesItsLink_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<QString>("stale");   // what the path holds before the start
    QTest::newRow("SIGTERM") << int(SIGTERM) << QString();
    QTest::newRow("SIGINT") << int(SIGINT) << QString();
    QTest::newRow("SIGTERM, stale link to nothing") << int(SIGTERM) << QStringLiteral("/dev/pts/9999");
    QTest::newRow("SIGINT, stale link to a file") << int(SIGINT) << QStringLiteral("file");
}

void TestSimulatorPort::standaloneRemovesItsLink()
{
    QFETCH(int, signal);
    QFETCH(QString, stale);
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("aqualumora"));
    if (!stale.isEmpty()) {
        // Left behind by a run that was killed outright.
        const QString target = stale == u"file" ? dir.filePath(QStringLiteral("old")) : stale;
        if (stale == u"file") {
            QFile old(target);
            QVERIFY(old.open(QIODevice::WriteOnly));
        }
        QVERIFY(QFile::link(target, link));
    }
    QProcess process;
    process.start(QStringLiteral(AQ_SIM_EXECUTABLE), {QStringLiteral("--link"), link});
    QVERIFY(process.waitForStarted());
    QVERIFY(process.waitForReadyRead(5000));
    const QString printed = QString::fromLocal8Bit(process.readLine()).trimmed();
    QCOMPARE(printed, link);
    const QString device = QFileInfo(link).symLinkTarget();
    QVERIFY(device.startsWith(QStringLiteral("/dev/pts/")));
    {
        Fd client;
        client.fd = openRaw(link);
        QVERIFY(client.fd >= 0);
        QVERIFY(exchange(client.fd, "80", 7).startsWith("8001"));
    }
    QCOMPARE(::kill(pid_t(process.processId()), signal), 0);
    QVERIFY(process.waitForFinished(5000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
    QVERIFY(!QFileInfo(link).isSymLink());
    QVERIFY(!QFileInfo::exists(link));
}

QTEST_GUILESS_MAIN(TestSimulatorPort)
#include "tst_simulatorport.moc"
