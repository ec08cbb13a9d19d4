// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// A serial port the user may not open: after the open attempts, the program names the
// group that would let the user in. The program runs as nobody against a simulated
// controller's terminal that only root and the group dialout may use, so this needs
// root to set up (as CI has).
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "link/port_claim.h"
#include "link/transport.h"
#include "program_env.h"
#include "sim/simulator_port.h"

class TstPortAccess : public QObject
{
    Q_OBJECT
private slots:
    void remedyAfterTheOpenAttempts();
    void noRemedyWhereNoneHelps();
    void holderKindAndRemedy_data();
    void holderKindAndRemedy();
    void usbIdsFromSysfs_data();
    void usbIdsFromSysfs();
    void portTakingService_data();
    void portTakingService();
};

namespace {
// Writes text into root/path, making the folders on the way.
void plant(const QString &root, const QString &path, const QByteArray &text)
{
    const QString file = root + u'/' + path;
    QDir().mkpath(QFileInfo(file).path());
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(text);
}
} // namespace

void TstPortAccess::remedyAfterTheOpenAttempts()
{
    if (::getuid() != 0)
        QSKIP("needs root to make a port that another user may not open");
    const passwd *nobody = ::getpwnam("nobody");
    const group *dialout = ::getgrnam("dialout");
    if (!nobody || !dialout)
        QSKIP("no user nobody or group dialout on this system");
    SimulatorPort port;
    QVERIFY(port.start());
    const QString path = port.slavePath();
    const QByteArray device = QFile::encodeName(path);
    QVERIFY(::chown(device.constData(), 0, dialout->gr_gid) == 0);
    QVERIFY(::chmod(device.constData(), 0660) == 0);

    QTemporaryDir home;
    QVERIFY(::chown(QFile::encodeName(home.path()).constData(), nobody->pw_uid, nobody->pw_gid) == 0);
    QProcessEnvironment env = privateProgramEnvironment(home.path());
    QProcess process;
    process.setProcessEnvironment(env);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(QStringLiteral("setpriv"),
                  {QStringLiteral("--reuid=%1").arg(nobody->pw_uid), QStringLiteral("--regid=%1").arg(nobody->pw_gid),
                   QStringLiteral("--clear-groups"), QStringLiteral("--"), QStringLiteral(AQ_PROGRAM_PATH), path,
                   QStringLiteral("-english")});
    QVERIFY(process.waitForStarted(10000));
    QString output;
    const auto saw = [&](const QString &text) {
        output += QString::fromLocal8Bit(process.readAllStandardError());
        return output.contains(text);
    };
    const QString remedy = path + QStringLiteral(" may only be opened by members of the group \"dialout\". Add your user "
                                                 "to it (sudo adduser nobody dialout), then log out and log in again.");
    QTRY_VERIFY2_WITH_TIMEOUT(saw(remedy), qPrintable(output), 30000);
    // After the five refusals and the closing line of the attempts.
    QCOMPARE(int(output.count(QStringLiteral("Unable to open com port"))), 5);
    QVERIFY(output.indexOf(QStringLiteral("Error while connecting to ") + path) < output.indexOf(remedy));
    process.terminate();
    QVERIFY(process.waitForFinished(20000));
}

void TstPortAccess::noRemedyWhereNoneHelps()
{
    // A port that is missing, or that its group may not use either, has no remedy to name.
    QCOMPARE(PortAccessRemedy(QStringLiteral("/nonexistent/ttyUSB9")), QString());
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("port"));
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    QVERIFY(::chmod(QFile::encodeName(file).constData(), 0600) == 0);
    QCOMPARE(PortAccessRemedy(file), QString());   // the owner may open it
}

void TstPortAccess::holderKindAndRemedy_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("vendor");
    QTest::addColumn<QStringList>("remedy");   // what the remedy line must say
    QTest::newRow("window") << "aqualumora -simulator" << int(HolderKind::ThisProgram) << ""
                            << QStringList{"another instance of this program", "ttyUSB0"};
    QTest::newRow("service") << "/usr/bin/aqualumora --headless ttyUSB0" << int(HolderKind::ThisProgram) << ""
                             << QStringList{"another instance"};
    QTest::newRow("usb adapter probed") << "/usr/sbin/ModemManager" << int(HolderKind::ModemManager) << "1a2b"
                                        << QStringList{"ModemManager", R"(ATTRS{idVendor}=="1a2b", ATTRS{idProduct}=="3c4d")",
                                                       R"(ENV{ID_MM_DEVICE_IGNORE}="1")", "udevadm control --reload"};
    QTest::newRow("bluetooth port probed") << "ModemManager" << int(HolderKind::ModemManager) << ""
                                           << QStringList{"70-aqualumora.rules", "systemctl stop ModemManager"};
    QTest::newRow("braille driver") << "brltty -E" << int(HolderKind::Brltty) << "1a2b"
                                    << QStringList{"sudo apt remove brltty"};
    QTest::newRow("terminal program") << "minicom -D /dev/ttyUSB0" << int(HolderKind::OtherProgram) << ""
                                      << QStringList{"another program", "ttyUSB0"};
    QTest::newRow("unknown") << "" << int(HolderKind::OtherProgram) << "" << QStringList{"another program"};
}

void TstPortAccess::holderKindAndRemedy()
{
    QFETCH(QString, program);
    QFETCH(int, kind);
    QFETCH(QString, vendor);
    QFETCH(QStringList, remedy);
    QCOMPARE(int(HolderKindOf(program)), kind);
    const UsbIds ids{vendor, vendor.isEmpty() ? QString() : QStringLiteral("3c4d")};
    const QString text = PortHolderRemedy(HolderKind(kind), QStringLiteral("ttyUSB0"), ids);
    for (const QString &part : remedy)
        QVERIFY2(text.contains(part), qPrintable(text));
    QVERIFY2(!text.contains(u'%'), qPrintable(text));   // every argument was filled in
}

void TstPortAccess::usbIdsFromSysfs_data()
{
    QTest::addColumn<QString>("device");   // where class/tty/<name>/device leads, below devices/
    QTest::addColumn<QString>("idsAt");    // the folder with idVendor and idProduct
    QTest::addColumn<QString>("vendor");
    // An ACM modem's tty hangs at the interface, a USB serial port's one below it.
    QTest::newRow("ttyACM0") << "usb1/1-1/1-1:1.0" << "usb1/1-1" << "1a2b";
    QTest::newRow("ttyUSB0") << "usb1/1-2/1-2:1.0/ttyUSB0" << "usb1/1-2" << "1a2b";
    QTest::newRow("rfcomm0") << "" << "" << "";   // virtual: no device at all
    QTest::newRow("ttyS0") << "platform/serial8250/ttyS0" << "" << "";
}

void TstPortAccess::usbIdsFromSysfs()
{
    QFETCH(QString, device);
    QFETCH(QString, idsAt);
    QFETCH(QString, vendor);
    QTemporaryDir sys;
    const QString name = QString::fromLatin1(QTest::currentDataTag());
    QDir().mkpath(sys.filePath(QStringLiteral("class/tty/") + name));
    if (!device.isEmpty()) {
        QDir().mkpath(sys.filePath(QStringLiteral("devices/") + device));
        QVERIFY(QFile::link(sys.filePath(QStringLiteral("devices/") + device),
                            sys.filePath(QStringLiteral("class/tty/%1/device").arg(name))));
    }
    if (!idsAt.isEmpty()) {
        plant(sys.path(), QStringLiteral("devices/%1/idVendor").arg(idsAt), vendor.toLatin1() + '\n');
        plant(sys.path(), QStringLiteral("devices/%1/idProduct").arg(idsAt), "3c4d\n");
    }
    const UsbIds ids = UsbIdsOf(QStringLiteral("/dev/") + name, sys.path());
    QCOMPARE(ids.vendor, vendor);
    QCOMPARE(ids.product, vendor.isEmpty() ? QString() : QStringLiteral("3c4d"));
}

void TstPortAccess::portTakingService_data()
{
    QTest::addColumn<QStringList>("processes");   // comm names of pids 1, 2, ...
    QTest::addColumn<int>("found");               // -1: none
    QTest::newRow("desktop only") << QStringList{"systemd", "bash", "minicom"} << -1;
    QTest::newRow("modem manager") << QStringList{"systemd", "ModemManager", "bash"} << int(HolderKind::ModemManager);
    QTest::newRow("braille driver") << QStringList{"systemd", "brltty"} << int(HolderKind::Brltty);
    QTest::newRow("another instance is no service") << QStringList{"aqualumora"} << -1;
}

void TstPortAccess::portTakingService()
{
    QFETCH(QStringList, processes);
    QFETCH(int, found);
    QTemporaryDir proc;
    plant(proc.path(), QStringLiteral("self/comm"), "ModemManager\n");   // not a pid: not looked at
    for (int i = 0; i < processes.size(); ++i)
        plant(proc.path(), QStringLiteral("%1/comm").arg(i + 1), processes[i].toLatin1() + '\n');
    const std::optional<HolderKind> service = PortTakingService(proc.path());
    QCOMPARE(service ? int(*service) : -1, found);
}

QTEST_GUILESS_MAIN(TstPortAccess)
#include "tst_port_access.moc"
