// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The whole Bluetooth road against a BlueZ stand-in on a private bus: installation, the
// port list, connecting by address over the serial-port profile, the user's changes,
// a firmware update, a connection lost and found again, and the program started as
// another, unprivileged user.
#include <QAction>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

#include <pwd.h>
#include <unistd.h>

#include "presentation/localization.h"
#include "app/bluetooth_setup.h"
#include "bluetooth/bluez_api.h"
#include "bluez_stand_in.h"
#include "link/bluetooth_transport.h"
#include "link/device_model.h"
#include "link/firmware.h"
#include "app/firmware_commands.h"
#include "link/ports.h"
#include "program_env.h"
#include "link/thd_com.h"
#include "sim/simulated_controller.h"
#include "sim_fixture.h"
#include "tst_firmware_chx.h"

namespace {

const QString Address = QString::fromLatin1(BluezStandIn::Address);
const QString Entry = Address + QStringLiteral(" (Aqualumora, Bluetooth)");
const QString ConnectedLine = QStringLiteral("Connected to Aqualumora 1.x.5 on ") + Address;

// Records what a link thread hands over.
class RecordingHost : public LinkHost
{
public:
    ~RecordingHost() override { detachLink(); }
    void addLog(const QString &text) override { lines << text; }
    void setStatusText(const QString &text) override { lines << text; }
    QStringList lines;
};

int count(const QString &text, const QString &part) { return int(text.count(part)); }

} // namespace

class TstBluetoothLink : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void installationRunListsTheController();
    void connectedByAddressServesTheUser();
    void refusedConnections_data();
    void refusedConnections();
    void ordinaryUserConnects();

private:
    std::unique_ptr<TfrmLumora> windowWith(const QStringList &args);

    PrivateBus m_bus;
    QString m_skip;
    std::shared_ptr<SimulatedController> m_controller;
    std::unique_ptr<BluezStandIn> m_bluez;
};

void TstBluetoothLink::initTestCase()
{
    if (!m_bus.start(m_skip))
        return;
    // The program's system bus is this one.
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", m_bus.address().toLocal8Bit());
    SetFirmwareTransferOptions({.retryWaitMs = 5});
}

void TstBluetoothLink::init()
{
    if (!m_skip.isEmpty())
        QSKIP(qPrintable(m_skip));
    ForgetPort();
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    m_controller = std::make_shared<SimulatedController>();
    m_bluez = std::make_unique<BluezStandIn>(m_controller);
    QVERIFY(m_bluez->start(m_bus.address()));
}

void TstBluetoothLink::cleanup()
{
    m_bluez.reset();
    m_controller.reset();
}

std::unique_ptr<TfrmLumora> TstBluetoothLink::windowWith(const QStringList &args)
{
    auto w = makeWindow(args);
    // BlueZ on the private bus, without the waits meant for a radio.
    w->bluetooth->ApiFactory = [] {
        BluezApi::Options options;
        options.inquiryUnitMs = 1;
        return std::make_shared<BluezApi>(options);
    };
    w->bluetooth->Sleeper = [](int) {};
    return w;
}

void TstBluetoothLink::installationRunListsTheController()
{
    m_bluez->setDevice(false, true, true);
    auto w = windowWith({"-english"});
    const auto log = [&] { return w->mem->toPlainText(); };

    w->mnuConnectionClick();
    QVERIFY(!w->PortList.contains(Entry));   // not paired yet: no port

    w->mnuDiscoverClick();
    QTRY_VERIFY_WITH_TIMEOUT(!w->bluetooth->Running(), 20000);
    for (const QString &line : {QStringLiteral("Detected ") + Address + u':', QStringLiteral("\"Aqualumora\""),
                                QStringLiteral("Adding \"Aqualumora\" to the system..."),
                                QStringLiteral("Installing serial port..."),
                                QStringLiteral("Installation started. A new serial port should appear in a few seconds.")})
        QVERIFY2(log().contains(line), qPrintable(line));
    QVERIFY(m_bluez->paired());
    QVERIFY(m_bluez->trusted());
    // The search went on while the device was asked for its name and paired, so that
    // BlueZ kept the device it had found.
    const QStringList calls = m_bluez->calls();
    const qsizetype stop = calls.indexOf(QStringLiteral("/org/bluez/hci0 org.bluez.Adapter1.StopDiscovery"));
    const qsizetype pair = calls.indexOf(QString::fromLatin1(BluezStandIn::DevicePath) + QStringLiteral(" org.bluez.Device1.Pair"));
    QVERIFY(calls.indexOf(QStringLiteral("/org/bluez/hci0 org.bluez.Adapter1.StartDiscovery")) >= 0);
    QVERIFY2(pair >= 0 && stop > pair, qPrintable(calls.join(u'\n')));

    // As a serial port that has just come: listed, noticed and connected to.
    QTRY_VERIFY_WITH_TIMEOUT(log().contains(QStringLiteral("New serial port detected: ") + Entry), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(log().contains(ConnectedLine), 10000);
    w->mnuConnectionClick();
    const QList<QAction *> items = w->action(QStringLiteral("mnuConnect"))->menu()->actions();
    const auto item = std::find_if(items.cbegin(), items.cend(), [](QAction *a) { return a->text() == Entry; });
    QVERIFY(item != items.cend());
    QVERIFY((*item)->isChecked());
    QMenu *connectTo = w->action(QStringLiteral("mnuConnect"))->menu();
    savePicture(connectTo, connectTo->sizeHint(), QStringLiteral("connect-to-bluetooth"));

    // The removal run ends the connection first, then unpairs: the port is gone.
    w->mnuRemoveClick();
    QTRY_VERIFY_WITH_TIMEOUT(!w->bluetooth->Running(), 20000);
    QVERIFY2(log().contains(QStringLiteral("Uninstall successfull.")), qPrintable(log()));
    QVERIFY(!m_bluez->paired());
    QVERIFY(BluetoothPortEntries().isEmpty());
    m_bluez->setDevice(true, true, true);

    // The German caption is the program's own.
    LoadLanguageTable(LanguageGerman);
    QCOMPARE(BluetoothPortEntries(), QStringList{Address + QStringLiteral(" (Aqualumora, Bluetooth-Ger\u00e4t)")});
    LoadLanguageTable(LanguageEnglish);
}

void TstBluetoothLink::connectedByAddressServesTheUser()
{
    m_bluez->setDevice(true, true, true);
    // Given on the command line in either letter case.
    auto w = windowWith({"-english", Address.toLower()});
    w->show();
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    const auto log = [&] { return w->mem->toPlainText(); };
    QTRY_VERIFY_WITH_TIMEOUT(log().contains(ConnectedLine), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(log().contains(QStringLiteral("Written to registry: ") + Address), 10000);
    QVERIFY(w->IsConnected());
    QCOMPARE(m_controller->commandCount("86"), 1);   // the whole download, weather last

    // Another process on the bus may not end the link, nor hand the profile a connection.
    QDBusConnection stranger = QDBusConnection::connectToBus(m_bus.address(), QStringLiteral("stranger"));
    for (const QString &method : {QStringLiteral("RequestDisconnection"), QStringLiteral("Release")}) {
        QDBusMessage call = QDBusMessage::createMethodCall(m_bluez->profileOwner(), m_bluez->profilePath(),
                                                           QStringLiteral("org.bluez.Profile1"), method);
        if (method == u"RequestDisconnection")
            call.setArguments({QVariant::fromValue(QDBusObjectPath(QString::fromLatin1(BluezStandIn::DevicePath)))});
        const QDBusMessage answer = stranger.call(call, QDBus::Block, 5000);
        QCOMPARE(answer.errorName(), QStringLiteral("org.freedesktop.DBus.Error.AccessDenied"));
    }
    QDBusConnection::disconnectFromBus(stranger.name());
    QTest::qWait(200);
    QVERIFY(w->IsConnected());
    QCOMPARE(count(log(), ConnectedLine), 1);

    // A slider move reaches the controller.
    w->action("mnuModeManual")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(m_controller->config().Mode == ModeManual, 5000);
    auto *slider = w->findChild<QSlider *>("trb0");
    QTRY_VERIFY_WITH_TIMEOUT(slider->isEnabled(), 5000);
    w->SelectPage(w->page("tsChannels"));
    slider->setFocus();
    slider->setValue(2048);
    QTRY_COMPARE_WITH_TIMEOUT(int(m_controller->info().Level[0]), 2048, 5000);

    // A firmware update through the bootloader, over the same connection.
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("Aqualumora1x5.chx"));
    const QByteArray data = chx::pattern(0x0000, 0x07FF);
    QVERIFY(chx::write(file, chx::file(0x0000, 0x07FF, data)));
    w->firmware->OpenFileDialog = [&](const FirmwareDialogRequest &) { return file; };
    w->ConfirmYesNo = [](const QString &, const QString &) { return true; };
    w->action(QStringLiteral("mnuFirmwareUpdate"))->trigger();
    const QString success = QStringLiteral("Firmware successfully updated. Remove jumper (if set)!");
    QTRY_VERIFY_WITH_TIMEOUT(log().contains(success), 20000);
    QCOMPARE(m_controller->flashImage().left(data.size()), data);
    QTRY_VERIFY_WITH_TIMEOUT(count(log(), ConnectedLine) == 2 && w->IsConnected(), 10000);
    QCOMPARE(m_bluez->connections(), 1);

    // The controller goes out of reach: the lost-device road, then, once it answers
    // connections again, the same road back.
    m_bluez->setConnectable(false);
    m_bluez->dropConnection();
    QTRY_VERIFY_WITH_TIMEOUT(log().contains(QStringLiteral("Connection error or wrong serial port")), 15000);
    QTRY_VERIFY_WITH_TIMEOUT(log().contains(QStringLiteral("Unable to open com port (Error: org.bluez.Error.Failed, "
                                                           "\"br-connection-page-timeout\")")),
                             10000);
    QVERIFY(!w->IsConnected());
    m_bluez->setConnectable(true);
    QTRY_VERIFY_WITH_TIMEOUT(count(log(), ConnectedLine) == 3, 15000);
    QTRY_VERIFY_WITH_TIMEOUT(w->IsConnected(), 10000);
    QCOMPARE(m_bluez->connections(), 2);

    // Disconnecting writes the backup under the address's file-safe name, once this
    // connection's download is whole.
    QTRY_VERIFY_WITH_TIMEOUT(w->ImageComplete(), 10000);
    w->mnuConnectionClick();
    w->action(QStringLiteral("mnuDisconnect"))->trigger();
    QVERIFY(QFileInfo::exists(w->ProgramFolder + QStringLiteral("Backup_00_11_22_AA_BB_CC.ini")));
    QTRY_VERIFY_WITH_TIMEOUT(!w->LinkRunning(), 10000);
}

void TstBluetoothLink::refusedConnections_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("error");
    QTest::newRow("unknown device") << "removed" << QStringLiteral("(Error: 19, \"No such device\")");
    QTest::newRow("no serial-port service") << "no service" << QStringLiteral("(Error: org.bluez.Error.NotAvailable, ");
    QTest::newRow("no BlueZ") << "no bluez" << QStringLiteral("(Error: org.freedesktop.DBus.Error.ServiceUnknown, ");
}

void TstBluetoothLink::refusedConnections()
{
    QFETCH(QString, setup);
    QFETCH(QString, error);
    if (setup == u"no service")
        m_bluez->setDevice(true, false, true);
    if (setup == u"no bluez")
        m_bluez.reset();
    RecordingHost host;
    LinkTimings timings;
    timings.openRetryWaitMs = 10;
    const QString address = setup == u"removed" ? QStringLiteral("00:11:22:33:44:55") : Address;
    auto link = TthdCom::Create(address, false, &host, timings);
    QTRY_VERIFY_WITH_TIMEOUT(link->Finished(), 20000);
    link.reset();
    // The open attempts as for a serial port: five failures, then the end of the link.
    QCOMPARE(host.lines.count(QStringLiteral("Trying again...")), 4);
    const QStringList failures = host.lines.filter(QStringLiteral("Unable to open com port "));
    QCOMPARE(failures.size(), 5);
    QVERIFY2(failures.first().startsWith(QStringLiteral("Unable to open com port ") + error), qPrintable(failures.first()));
    QCOMPARE(host.lines.mid(host.lines.size() - 2),
             (QStringList{QStringLiteral("Error while connecting to ") + address, QStringLiteral("Disconnected from ") + address}));
}

void TstBluetoothLink::ordinaryUserConnects()
{
    // The program itself, as a user without any privilege: nobody, when the test runs
    // as root; the test's own user otherwise.
    m_bluez->setDevice(true, true, true);
    const QString program = QStringLiteral(AQ_PROGRAM_PATH);
    QVERIFY(QFileInfo::exists(program));
    QTemporaryDir home;
    QVERIFY(home.isValid());
    QStringList arguments{Address, QStringLiteral("-english")};
    QString command = program;
    qint64 expectedUid = qint64(::getuid());
    if (::getuid() == 0) {
        const passwd *nobody = ::getpwnam("nobody");
        QVERIFY(nobody);
        expectedUid = nobody->pw_uid;
        QVERIFY(::chown(QFile::encodeName(home.path()).constData(), nobody->pw_uid, nobody->pw_gid) == 0);
        command = QStringLiteral("setpriv");
        arguments = QStringList{QStringLiteral("--reuid=%1").arg(nobody->pw_uid),
                                QStringLiteral("--regid=%1").arg(nobody->pw_gid), QStringLiteral("--clear-groups"),
                                QStringLiteral("--"), program} +
                    arguments;
    }
    QProcessEnvironment env = privateProgramEnvironment(home.path());
    env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), m_bus.address());
    env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    QProcess process;
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(command, arguments);
    QVERIFY2(process.waitForStarted(10000), qPrintable(process.errorString()));
    QString output;
    const auto saw = [&](const QString &text) {
        output += QString::fromLocal8Bit(process.readAllStandardError());
        return output.contains(text);
    };
    QTRY_VERIFY2_WITH_TIMEOUT(saw(QStringLiteral("Written to registry: ") + Address), qPrintable(output), 30000);
    QVERIFY(saw(ConnectedLine));
    QCOMPARE(m_bluez->profileOwnerUid(), expectedUid);
    QCOMPARE(m_controller->commandCount("86"), 1);
    // SIGTERM closes the window in the ordinary way.
    process.terminate();
    QVERIFY(process.waitForFinished(20000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QVERIFY(saw(QStringLiteral("Disconnected from ") + Address));
}

QTEST_MAIN(TstBluetoothLink)
#include "tst_bluetooth_link.moc"
