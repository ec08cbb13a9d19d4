// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The BlueZ stack against python3-dbusmock's bluez5 template on a private bus.
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <cerrno>
#include <cstring>

#include "bluetooth/bluez_api.h"
#include "bluetooth/thd_discover.h"
#include "link/bluetooth_transport.h"

namespace {

const QString Controller = QStringLiteral("00:11:22:33:44:55");
const QString Phone = QStringLiteral("AA:BB:CC:DD:EE:FF");
const QString ControllerPath = QStringLiteral("/org/bluez/hci0/dev_00_11_22_33_44_55");
const QString MockInterface = QStringLiteral("org.freedesktop.DBus.Mock");
const QString BluezMockInterface = QStringLiteral("org.bluez.Mock");

class LogHost : public DiscoverHost
{
public:
    ~LogHost() override { detachLink(); }
    void addLog(const QString &text) override { lines << text; }
    QStringList lines;
};

} // namespace

class TstBluezApi : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void installationPairsTheController();
    void removalRemovesTheController();
    void refusedSerialPortUnpairsAgain();
    void searchStartFailures_data();
    void searchStartFailures();
    void agentAnswersOnlyThePairingDevice_data();
    void agentAnswersOnlyThePairingDevice();

private:
    bool startMock();
    void stopMock();
    QDBusMessage mockCall(const QString &path, const QString &interface, const QString &method,
                          const QVariantList &args = {});
    void addAdapterAndDevices(bool controllerPaired);
    // The controller's Pair also reads its services; with serialPort they include the
    // Serial Port service.
    void pairReadsServices(bool serialPort);
    QStringList run(bool install, BluezApi::Options options);
    BluezApi::Options options();
    QStringList calledMethods(const QString &path);
    QVariantMap deviceProperties(const QString &path);

    QProcess m_daemon;
    QProcess m_mock;
    QString m_address;
    QString m_skip;
    int m_connections = 0;
};

void TstBluezApi::initTestCase()
{
    const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (daemon.isEmpty()) {
        m_skip = QStringLiteral("dbus-daemon is not installed (tools/bootstrap.sh installs it)");
        return;
    }
    QProcess probe;
    probe.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QStringLiteral("import dbusmock")});
    if (!probe.waitForFinished(10000) || probe.exitStatus() != QProcess::NormalExit || probe.exitCode() != 0) {
        m_skip = QStringLiteral("python3-dbusmock is not installed (tools/bootstrap.sh installs it)");
        return;
    }
    m_daemon.start(daemon, {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address")});
    QVERIFY(m_daemon.waitForStarted(5000));
    while (!m_daemon.canReadLine())
        QVERIFY(m_daemon.waitForReadyRead(5000));
    m_address = QString::fromLocal8Bit(m_daemon.readLine()).trimmed();
    QVERIFY(!m_address.isEmpty());
    // The port list asks the system bus; this one stands in for it.
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", m_address.toLocal8Bit());
}

void TstBluezApi::init()
{
    if (!m_skip.isEmpty())
        QSKIP(qPrintable(m_skip));
    QVERIFY(startMock());
}

void TstBluezApi::cleanup() { stopMock(); }

void TstBluezApi::cleanupTestCase()
{
    if (m_daemon.state() != QProcess::NotRunning) {
        m_daemon.terminate();
        m_daemon.waitForFinished(5000);
    }
}

bool TstBluezApi::startMock()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), m_address);
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_address);
    m_mock.setProcessEnvironment(env);
    m_mock.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_mock.setStandardOutputFile(QProcess::nullDevice());
    m_mock.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-m"), QStringLiteral("dbusmock"), QStringLiteral("--template"), QStringLiteral("bluez5")});
    if (!m_mock.waitForStarted(5000))
        return false;
    QDBusConnection bus = QDBusConnection::connectToBus(m_address, QStringLiteral("probe%1").arg(m_connections++));
    bool up = false;
    for (int i = 0; i < 500 && !up && m_mock.state() == QProcess::Running; ++i) {
        up = bus.interface()->isServiceRegistered(QStringLiteral("org.bluez"));
        if (!up)
            QTest::qWait(20);
    }
    QDBusConnection::disconnectFromBus(bus.name());
    return up;
}

void TstBluezApi::stopMock()
{
    if (m_mock.state() != QProcess::NotRunning) {
        m_mock.terminate();
        if (!m_mock.waitForFinished(5000))
            m_mock.kill();
        m_mock.waitForFinished(5000);
    }
}

QDBusMessage TstBluezApi::mockCall(const QString &path, const QString &interface, const QString &method,
                                   const QVariantList &args)
{
    QDBusConnection bus = QDBusConnection::connectToBus(m_address, QStringLiteral("test%1").arg(m_connections++));
    QDBusMessage message = QDBusMessage::createMethodCall(QStringLiteral("org.bluez"), path, interface, method);
    message.setArguments(args);
    const QDBusMessage reply = bus.call(message, QDBus::Block, 10000);
    QDBusConnection::disconnectFromBus(bus.name());
    return reply;
}

void TstBluezApi::addAdapterAndDevices(bool controllerPaired)
{
    QCOMPARE(mockCall("/", BluezMockInterface, "AddAdapter", {"hci0", "host"}).type(), QDBusMessage::ReplyMessage);
    QCOMPARE(mockCall("/", BluezMockInterface, "AddDevice", {"hci0", Controller, "Aqualumora"}).type(),
             QDBusMessage::ReplyMessage);
    QCOMPARE(mockCall("/", BluezMockInterface, "AddDevice", {"hci0", Phone, "Phone"}).type(), QDBusMessage::ReplyMessage);
    if (controllerPaired)
        QCOMPARE(mockCall("/", BluezMockInterface, "PairDevice", {"hci0", Controller, 0}).type(),
                 QDBusMessage::ReplyMessage);
}

void TstBluezApi::pairReadsServices(bool serialPort)
{
    const QString uuid = serialPort ? QStringLiteral("00001101-0000-1000-8000-00805f9b34fb")
                                    : QStringLiteral("0000110a-0000-1000-8000-00805f9b34fb");
    const QString code = QStringLiteral("import dbus\n"
                                        "self.PairDevice('hci0', '%1', 0)\n"
                                        "self.props['org.bluez.Device1']['UUIDs'] = "
                                        "dbus.Array(['%2'], signature='s', variant_level=1)\n")
                             .arg(Controller, uuid);
    QCOMPARE(mockCall(ControllerPath, MockInterface, "AddMethod", {"org.bluez.Device1", "Pair", "", "", code}).type(),
             QDBusMessage::ReplyMessage);
}

BluezApi::Options TstBluezApi::options()
{
    BluezApi::Options o;
    o.busAddress = m_address;
    o.inquiryUnitMs = 1;
    return o;
}

QStringList TstBluezApi::run(bool install, BluezApi::Options options)
{
    LogHost host;
    auto api = std::make_shared<BluezApi>(std::move(options));
    auto thread = TthdDiscover::Create(install, api, &host, {}, [](int) {});
    for (int i = 0; i < 2000 && !thread->Finished(); ++i)
        QTest::qWait(5);
    if (!thread->Finished())
        qWarning("run did not finish");
    thread.reset();
    return host.lines;
}

QStringList TstBluezApi::calledMethods(const QString &path)
{
    const QDBusMessage reply = mockCall(path, MockInterface, QStringLiteral("GetCalls"));
    QStringList methods;
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return methods;
    const QDBusArgument calls = reply.arguments().first().value<QDBusArgument>();
    calls.beginArray();
    while (!calls.atEnd()) {
        calls.beginStructure();
        qulonglong when = 0;
        QString method;
        calls >> when >> method;
        QDBusVariant ignored;
        calls.beginArray();
        while (!calls.atEnd())
            calls >> ignored;
        calls.endArray();
        calls.endStructure();
        methods << method;
    }
    calls.endArray();
    return methods;
}

QVariantMap TstBluezApi::deviceProperties(const QString &path)
{
    const QDBusMessage reply = mockCall(path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("GetAll"),
                                        {QStringLiteral("org.bluez.Device1")});
    if (reply.type() != QDBusMessage::ReplyMessage)
        return {};
    return qdbus_cast<QVariantMap>(reply.arguments().first().value<QDBusArgument>());
}

void TstBluezApi::installationPairsTheController()
{
    addAdapterAndDevices(false);
    pairReadsServices(true);
    const QStringList lines = run(true, options());
    const QStringList expected{
        "Scanning for devices...",
        "Detected " + Controller + ":",
        "\"Aqualumora\"",
        "Adding \"Aqualumora\" to the system...",
        "Installing serial port...",
        "Installation started. A new serial port should appear in a few seconds.",
        "Detected " + Phone + ":",
        "\"Phone\"",
        "Scan finished. If the device could not be found, try again or use\nthe control panel for manual detection. "
        "The pairing code is always 7391",
    };
    QCOMPARE(lines.join(u'|'), expected.join(u'|'));
    const QVariantMap props = deviceProperties(ControllerPath);
    QVERIFY(props.value("Paired").toBool());
    QVERIFY(props.value("Trusted").toBool());
    const QStringList adapterCalls = calledMethods(QStringLiteral("/org/bluez/hci0"));
    QVERIFY(adapterCalls.contains("StartDiscovery"));
    QVERIFY(adapterCalls.indexOf("StopDiscovery") > adapterCalls.indexOf("StartDiscovery"));
    // Paired, trusted and offering the service: the controller is a port now.
    QCOMPARE(BluetoothPortEntries(), QStringList{Controller + " (Aqualumora, Bluetooth)"});
}

void TstBluezApi::removalRemovesTheController()
{
    addAdapterAndDevices(true);
    const QStringList lines = run(false, options());
    const QStringList expected{
        "Listing installed devices...",
        Controller + ", \"Aqualumora\"",
        "Uninstalling \"Aqualumora\"...",
        "Uninstall successfull.",
        Phone + ", \"Phone\", not installed",
        "Scan finished. If the device could not be uninstalled, try again or use\nthe control panal to uninstall "
        "manually. The device needs to be disconnected.",
    };
    QCOMPARE(lines, expected);
    QVERIFY(deviceProperties(ControllerPath).isEmpty());   // gone from the bus
    QVERIFY(!deviceProperties(QStringLiteral("/org/bluez/hci0/dev_AA_BB_CC_DD_EE_FF")).isEmpty());
    QVERIFY(!calledMethods(QStringLiteral("/org/bluez/hci0")).contains("StartDiscovery"));
}

void TstBluezApi::refusedSerialPortUnpairsAgain()
{
    // Paired, but the device offers no serial-port service.
    addAdapterAndDevices(false);
    pairReadsServices(false);
    const QStringList lines = run(true, options());
    const QString refused = QStringLiteral("Windows error %1: \"%2\".")
                                .arg(EPROTONOSUPPORT)
                                .arg(QString::fromLocal8Bit(strerror(EPROTONOSUPPORT)));
    const int first = int(lines.indexOf("Installing serial port..."));
    QVERIFY(first > 0);
    QCOMPARE(lines.mid(first + 1, 8), (QStringList{refused, refused, refused, refused, refused,
                                                   "Uninstalling \"Aqualumora\"...", "Uninstall successfull.",
                                                   "Switch off power supply, then try again, possibly restart Windows."}));
    QVERIFY(deviceProperties(ControllerPath).isEmpty());
}

void TstBluezApi::searchStartFailures_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("error");
    QTest::newRow("no adapter") << "none" << QStringLiteral("Windows error %1: \"%2\".").arg(ENODEV).arg(strerror(ENODEV));
    QTest::newRow("no BlueZ") << "stop" << "Windows error org.freedesktop.DBus.Error.ServiceUnknown: ";
    QTest::newRow("no system bus") << "nobus" << "Windows error org.freedesktop.DBus.Error.";
    QTest::newRow("radio refuses") << "refuse" << "Windows error org.bluez.Error.NotReady: \"Resource Not Ready\".";
}

void TstBluezApi::searchStartFailures()
{
    QFETCH(QString, setup);
    QFETCH(QString, error);
    if (setup == "stop")
        stopMock();
    if (setup == "refuse") {
        QCOMPARE(mockCall("/", BluezMockInterface, "AddAdapter", {"hci0", "host"}).type(), QDBusMessage::ReplyMessage);
        QCOMPARE(mockCall("/org/bluez/hci0", MockInterface, "AddMethod",
                          {"org.bluez.Adapter1", "StartDiscovery", "", "",
                           "raise dbus.exceptions.DBusException('Resource Not Ready', name='org.bluez.Error.NotReady')"})
                     .type(),
                 QDBusMessage::ReplyMessage);
    }
    BluezApi::Options o = options();
    if (setup == "nobus")
        o.busAddress = QStringLiteral("unix:path=/nonexistent/aqualumora-test-bus");
    const QStringList lines = run(true, o);
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines[0], "Scanning for devices...");
    QVERIFY2(lines[1].startsWith(error), qPrintable(lines[1]));
    QCOMPARE(lines[2], "Is Bluetooth available and active?");
    QVERIFY(lines[3].startsWith("Scan finished."));
}

void TstBluezApi::agentAnswersOnlyThePairingDevice_data()
{
    // Who asks for the code while the pairing runs: BlueZ itself (the owner of org.bluez),
    // or another process on the bus, which must learn nothing.
    QTest::addColumn<QString>("asker");
    QTest::addColumn<bool>("pairs");
    QTest::newRow("bluez") << "self.connection" << true;
    QTest::newRow("stranger") << "dbus.bus.BusConnection(os.environ['DBUS_SYSTEM_BUS_ADDRESS'])" << false;
}

void TstBluezApi::agentAnswersOnlyThePairingDevice()
{
    QFETCH(QString, asker);
    QFETCH(bool, pairs);
    addAdapterAndDevices(false);
    BluezApi api(options());
    // The template pairs without asking; this Pair asks the caller's agent for the code
    // as BlueZ does for a device with a fixed code, and pairs only when it matches.
    const QString code = QStringLiteral(
                             "import dbus, os\n"
                             "agent = dbus.Interface(%5.get_object('%1', '%2', introspect=False), "
                             "'org.bluez.Agent1')\n"
                             "pin = agent.RequestPinCode(dbus.ObjectPath('%3'))\n"
                             "if pin != '7391':\n"
                             "    raise dbus.exceptions.DBusException('Wrong code ' + pin, "
                             "name='org.bluez.Error.AuthenticationFailed')\n"
                             "self.PairDevice('hci0', '%4', 0)\n")
                             .arg(api.agentService(), BluezApi::agentPath(), ControllerPath, Controller, asker);
    QCOMPARE(mockCall(ControllerPath, MockInterface, "AddMethod", {"org.bluez.Device1", "Pair", "", "", code}).type(),
             QDBusMessage::ReplyMessage);

    BluetoothDeviceInfo info;
    QVERIFY(ParseBluetoothAddress(Controller, info.address));
    const BluetoothResult paired = api.authenticateDevice(info, QStringLiteral("7391"));
    QVERIFY2(paired.ok() == pairs, qPrintable(paired.code + u' ' + paired.text));
    QCOMPARE(deviceProperties(ControllerPath).value("Paired").toBool(), pairs);
    if (!pairs)
        QVERIFY2(paired.text.contains(QStringLiteral("Only BlueZ")), qPrintable(paired.text));

    // Outside a pairing of its own the agent answers nobody.
    QDBusConnection bus = QDBusConnection::connectToBus(m_address, QStringLiteral("stranger"));
    QDBusMessage ask = QDBusMessage::createMethodCall(api.agentService(), BluezApi::agentPath(),
                                                      QStringLiteral("org.bluez.Agent1"), QStringLiteral("RequestPinCode"));
    ask.setArguments({QVariant::fromValue(QDBusObjectPath(ControllerPath))});
    const QDBusMessage answer = bus.call(ask, QDBus::Block, 5000);
    QDBusConnection::disconnectFromBus(bus.name());
    QCOMPARE(answer.type(), QDBusMessage::ErrorMessage);
    QCOMPARE(answer.errorName(), QStringLiteral("org.freedesktop.DBus.Error.AccessDenied"));
}

QTEST_GUILESS_MAIN(TstBluezApi)
#include "tst_bluez_api.moc"
