// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include <QTest>

#include <atomic>

#include "presentation/log_text.h"
#include "discover_fixture.h"

using Script = std::function<void(FakeBluetoothApi &)>;
Q_DECLARE_METATYPE(Script)

namespace {

const QString C = QStringLiteral("00:11:22:AA:BB:CC");    // a controller
const QString C2 = QStringLiteral("00:11:22:AA:BB:CD");   // a second controller
const QString P = QStringLiteral("AA:BB:CC:DD:EE:01");    // some phone

const QString Scanning = logEvent(QStringLiteral("Scanning for devices..."));
const QString Completed = logEvent(QStringLiteral(
    "Scan finished. If the device could not be found, try again or use\nthe control panel for manual detection. "
    "The pairing code is always 7391"));
const QString Listing = logEvent(QStringLiteral("Listing installed devices..."));
const QString RemovalCompleted = logEvent(QStringLiteral(
    "Scan finished. If the device could not be uninstalled, try again or use\nthe control panal to uninstall "
    "manually. The device needs to be disconnected."));
const QString NoName = logEvent(QStringLiteral("No name was transmitted. Trying again..."));
const QString Adding = logEvent(QStringLiteral("Adding \"Aqualumora\" to the system..."));
const QString InstallingPort = logEvent(QStringLiteral("Installing serial port..."));
const QString Started =
    logEvent(QStringLiteral("Installation started. A new serial port should appear in a few seconds."));
const QString Uninstalling = logEvent(QStringLiteral("Uninstalling \"Aqualumora\"..."));
const QString Uninstalled = logEvent(QStringLiteral("Uninstall successfull."));
const QString ColdStart =
    logEvent(QStringLiteral("Switch off power supply, then try again, possibly restart Windows."));
const QString InUse = logEvent(QStringLiteral("Device is currently connected. Trying again..."));

const BluetoothResult Refused = BluetoothResult::failure(QStringLiteral("1"), QStringLiteral("Operation not permitted"));
const QString RefusedLine = logEvent(QStringLiteral("Windows error 1: \"Operation not permitted\"."));
const BluetoothResult Gone = BluetoothResult::failure(QStringLiteral("org.freedesktop.DBus.Error.UnknownObject"),
                                                      QStringLiteral("Method \"GetAll\" doesn't exist"));
const QString GoneLine = logEvent(
    QStringLiteral("Windows error org.freedesktop.DBus.Error.UnknownObject: \"Method \"GetAll\" doesn't exist\"."));

QString detected(const QString &address) { return logEvent(QStringLiteral("Detected %1:").arg(address)); }
QList<BluetoothResult> times(const BluetoothResult &result, int n) { return QList<BluetoothResult>(n, result); }

FakeBluetoothApi::Device controller(const QString &address = C, bool paired = false, bool connected = false)
{
    return FakeBluetoothApi::device(address, QStringLiteral("Aqualumora"), paired, connected);
}

} // namespace

class TstThdDiscover : public QObject
{
    Q_OBJECT
private slots:
    void installRun_data();
    void installRun();
    void removalRun_data();
    void removalRun();
    void searchKindAndClosing();
    void pairingCodeAndService();
    void deviceLines_data();
    void deviceLines();
    void closingTheHostEndsAWaitingRun();
    void stackIsReleasedOnTheWorker();
};

void TstThdDiscover::installRun_data()
{
    QTest::addColumn<Script>("script");
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<int>("pairs");
    QTest::addColumn<int>("services");
    QTest::addColumn<int>("removals");
    QTest::addColumn<int>("fronts");

    QTest::newRow("no radio") << Script([](FakeBluetoothApi &api) {
        api.searchResult = BluetoothResult::failure(QStringLiteral("org.bluez.Error.NotReady"),
                                                    QStringLiteral("Resource Not Ready"));
    }) << QStringList{Scanning, logEvent(QStringLiteral("Windows error org.bluez.Error.NotReady: \"Resource Not Ready\".")),
                      logEvent(QStringLiteral("Is Bluetooth available and active?")), Completed}
                              << 0 << 0 << 0 << 0;
    QTest::newRow("no device in range") << Script([](FakeBluetoothApi &) {}) << QStringList{Scanning, Completed} << 0
                                        << 0 << 0 << 0;
    QTest::newRow("name never transmitted") << Script([](FakeBluetoothApi &api) {
        auto d = controller();
        d.nameFromQuery = 0;
        api.devices << d;
    }) << (QStringList{Scanning, detected(C)} + repeated({NoName, WaitEvent}, 10) + QStringList{Completed})
                                            << 0 << 0 << 0 << 0;
    QTest::newRow("name on the third query") << Script([](FakeBluetoothApi &api) {
        auto d = FakeBluetoothApi::device(P, QStringLiteral("Phone"));
        d.nameFromQuery = 3;
        api.devices << d;
    }) << QStringList{Scanning, detected(P), NoName, WaitEvent, NoName, WaitEvent, logEvent(QStringLiteral("\"Phone\"")),
                      Completed}
                                             << 0 << 0 << 0 << 0;
    QTest::newRow("name query fails every time") << Script([](FakeBluetoothApi &api) {
        auto d = controller();
        d.infoResults = times(Gone, 10);
        api.devices << d;
    }) << (QStringList{Scanning, detected(C)} + repeated({GoneLine, WaitEvent}, 10) + QStringList{Completed})
                                                 << 0 << 0 << 0 << 0;
    QTest::newRow("other letter case") << Script([](FakeBluetoothApi &api) {
        api.devices << FakeBluetoothApi::device(C, QStringLiteral("aqualumora"));
    }) << QStringList{Scanning, detected(C), logEvent(QStringLiteral("\"aqualumora\"")), Completed}
                                       << 0 << 0 << 0 << 0;
    QTest::newRow("more characters") << Script([](FakeBluetoothApi &api) {
        api.devices << FakeBluetoothApi::device(C, QStringLiteral("Aqualumora 2"));
    }) << QStringList{Scanning, detected(C), logEvent(QStringLiteral("\"Aqualumora 2\"")), Completed}
                                     << 0 << 0 << 0 << 0;
    QTest::newRow("already paired and connected") << Script([](FakeBluetoothApi &api) {
        api.devices << controller(C, true, true);
    }) << QStringList{Scanning, detected(C), logEvent(QStringLiteral("\"Aqualumora\", installed, connected")), Completed}
                                                  << 0 << 1 << 0 << 1;
    QTest::newRow("already paired, service refused") << Script([](FakeBluetoothApi &api) {
        auto d = controller(C, true);
        d.serviceResults = times(Refused, 5);
        api.devices << d;
    }) << QStringList{Scanning, detected(C), logEvent(QStringLiteral("\"Aqualumora\", installed")), Completed}
                                                     << 0 << 1 << 0 << 1;
    QTest::newRow("new controller") << Script([](FakeBluetoothApi &api) { api.devices << controller(); })
                                    << QStringList{Scanning,       detected(C), logEvent(QStringLiteral("\"Aqualumora\"")),
                                                   Adding,         InstallingPort, Started,
                                                   Completed}
                                    << 1 << 1 << 0 << 2;
    QTest::newRow("pairing refused five times, next device served") << Script([](FakeBluetoothApi &api) {
        auto d = controller();
        d.pairResults = times(Refused, 5);
        api.devices << d << FakeBluetoothApi::device(P, QStringLiteral("Phone"));
    }) << (QStringList{Scanning, detected(C), logEvent(QStringLiteral("\"Aqualumora\"")), Adding} +
           repeated({RefusedLine, WaitEvent}, 5) +
           QStringList{detected(P), logEvent(QStringLiteral("\"Phone\"")), Completed})
                                                                    << 5 << 0 << 0 << 5;
    QTest::newRow("paired on the third attempt") << Script([](FakeBluetoothApi &api) {
        auto d = controller();
        d.pairResults = times(Refused, 2);
        d.serviceResults = times(Refused, 1);
        api.devices << d;
    }) << (QStringList{Scanning, detected(C), logEvent(QStringLiteral("\"Aqualumora\"")), Adding} +
           repeated({RefusedLine, WaitEvent}, 2) + QStringList{InstallingPort, RefusedLine, WaitEvent, Started, Completed})
                                                 << 3 << 2 << 0 << 5;
    QTest::newRow("service refused five times") << Script([](FakeBluetoothApi &api) {
        auto d = controller();
        d.serviceResults = times(Refused, 5);
        api.devices << d;
    }) << (QStringList{Scanning, detected(C), logEvent(QStringLiteral("\"Aqualumora\"")), Adding, InstallingPort} +
           repeated({RefusedLine, WaitEvent}, 5) + QStringList{Uninstalling, Uninstalled, ColdStart, Completed})
                                                << 1 << 5 << 1 << 6;
    QTest::newRow("service and removal refused") << Script([](FakeBluetoothApi &api) {
        auto d = controller();
        d.serviceResults = times(Refused, 5);
        d.removeResults = times(Refused, 5);
        api.devices << d;
    }) << (QStringList{Scanning, detected(C), logEvent(QStringLiteral("\"Aqualumora\"")), Adding, InstallingPort} +
           repeated({RefusedLine, WaitEvent}, 5) + QStringList{Uninstalling} + repeated({RefusedLine, WaitEvent}, 5) +
           QStringList{Completed})
                                                 << 1 << 5 << 5 << 6;
    QTest::newRow("exception while pairing") << Script([](FakeBluetoothApi &api) {
        auto d = controller();
        d.throwOnPair = QStringLiteral("Bluetooth stack failed");
        api.devices << d << FakeBluetoothApi::device(P, QStringLiteral("Phone"));
    }) << QStringList{Scanning, detected(C), logEvent(QStringLiteral("\"Aqualumora\"")), Adding,
                      logEvent(QStringLiteral("Bluetooth stack failed")), detected(P), logEvent(QStringLiteral("\"Phone\"")),
                      Completed}
                                             << 1 << 0 << 0 << 1;
    QTest::newRow("two controllers in search order") << Script([](FakeBluetoothApi &api) {
        api.devices << controller(C) << controller(C2);
    }) << QStringList{Scanning, detected(C),  logEvent(QStringLiteral("\"Aqualumora\"")), Adding, InstallingPort, Started,
                      detected(C2), logEvent(QStringLiteral("\"Aqualumora\"")), Adding, InstallingPort, Started, Completed}
                                                     << 2 << 2 << 0 << 4;
}

void TstThdDiscover::installRun()
{
    QFETCH(Script, script);
    QFETCH(QStringList, events);
    auto api = std::make_shared<FakeBluetoothApi>();
    script(*api);
    RecordingHost host(api.get());
    QVERIFY(runToEnd(api, host, true));
    QCOMPARE(logAndWaits(api->trace()), events);
    QTEST(int(api->traceMatching(QStringLiteral("Authenticate ")).size()), "pairs");
    QTEST(int(api->traceMatching(QStringLiteral("SetServiceState ")).size()), "services");
    QTEST(int(api->traceMatching(QStringLiteral("Remove ")).size()), "removals");
    QTEST(host.fronts, "fronts");
}

void TstThdDiscover::removalRun_data()
{
    QTest::addColumn<Script>("script");
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<int>("queries");
    QTest::addColumn<QStringList>("removed");

    const QString listed = logEvent(C + QStringLiteral(", \"Aqualumora\""));
    const QString listedConnected = logEvent(C + QStringLiteral(", \"Aqualumora\", connected"));

    QTest::newRow("no known devices") << Script([](FakeBluetoothApi &) {}) << QStringList{Listing, RemovalCompleted}
                                      << 0 << QStringList();
    QTest::newRow("Bluetooth unavailable") << Script([](FakeBluetoothApi &api) {
        api.searchResult = BluetoothResult::failure(QStringLiteral("org.freedesktop.DBus.Error.ServiceUnknown"),
                                                    QStringLiteral("The name org.bluez was not provided"));
    }) << QStringList{Listing, logEvent(QStringLiteral("Windows error org.freedesktop.DBus.Error.ServiceUnknown: \"The "
                                                       "name org.bluez was not provided\".")),
                      RemovalCompleted}
                                           << 0 << QStringList();
    QTest::newRow("unpaired controller") << Script([](FakeBluetoothApi &api) { api.devices << controller(); })
                                         << QStringList{Listing, logEvent(C + QStringLiteral(", \"Aqualumora\", not installed")),
                                                        RemovalCompleted}
                                         << 0 << QStringList();
    QTest::newRow("other paired device") << Script([](FakeBluetoothApi &api) {
        api.devices << FakeBluetoothApi::device(P, QStringLiteral("Phone"), true);
    }) << QStringList{Listing, logEvent(P + QStringLiteral(", \"Phone\"")), RemovalCompleted}
                                         << 0 << QStringList();
    QTest::newRow("stays connected") << Script([](FakeBluetoothApi &api) { api.devices << controller(C, true, true); })
                                     << (QStringList{Listing, listedConnected} + repeated({InUse, WaitEvent}, 10) +
                                         QStringList{RemovalCompleted})
                                     << 10 << QStringList();
    QTest::newRow("disconnected") << Script([](FakeBluetoothApi &api) { api.devices << controller(C, true); })
                                  << QStringList{Listing, listed, Uninstalling, Uninstalled, RemovalCompleted} << 10
                                  << QStringList{C};
    QTest::newRow("disconnects during the wait") << Script([](FakeBluetoothApi &api) {
        auto d = controller(C, true, true);
        d.connectedAfterQuery = {true, true, true, false};
        api.devices << d;
    }) << (QStringList{Listing, listedConnected} + repeated({InUse, WaitEvent}, 3) +
           QStringList{Uninstalling, Uninstalled, RemovalCompleted})
                                                 << 10 << QStringList{C};
    QTest::newRow("queries fail") << Script([](FakeBluetoothApi &api) {
        auto d = controller(C, true);
        d.infoResults = times(Gone, 10);
        api.devices << d;
    }) << (QStringList{Listing, listed} + repeated({GoneLine, WaitEvent}, 10) +
           QStringList{Uninstalling, Uninstalled, RemovalCompleted})
                                  << 10 << QStringList{C};
    QTest::newRow("removal refused five times") << Script([](FakeBluetoothApi &api) {
        auto d = controller(C, true);
        d.removeResults = times(Refused, 5);
        api.devices << d;
    }) << (QStringList{Listing, listed, Uninstalling} + repeated({RefusedLine, WaitEvent}, 5) +
           QStringList{RemovalCompleted})
                                                << 10 << QStringList();
}

void TstThdDiscover::removalRun()
{
    QFETCH(Script, script);
    QFETCH(QStringList, events);
    auto api = std::make_shared<FakeBluetoothApi>();
    script(*api);
    RecordingHost host(api.get());
    QVERIFY(runToEnd(api, host, false));
    QCOMPARE(logAndWaits(api->trace()), events);
    QTEST(int(api->traceMatching(QStringLiteral("GetDeviceInfo ")).size()), "queries");
    QTEST(api->removedAddresses(), "removed");
    QCOMPARE(host.fronts, 0);
}

void TstThdDiscover::searchKindAndClosing()
{
    // Installation asks the radios for 5 x 1.28 s; removal lists only known devices.
    // A search that started is closed once; one that failed has nothing to close.
    for (const bool install : {true, false}) {
        for (const bool found : {true, false}) {
            auto api = std::make_shared<FakeBluetoothApi>();
            if (found)
                api->devices << FakeBluetoothApi::device(P, QStringLiteral("Phone"));
            RecordingHost host(api.get());
            QVERIFY(runToEnd(api, host, install));
            QCOMPARE(api->traceMatching(QStringLiteral("FindFirst")),
                     QStringList{install ? QStringLiteral("FindFirst inquiry=1 multiplier=5")
                                         : QStringLiteral("FindFirst inquiry=0 multiplier=0")});
            QCOMPARE(api->traceMatching(QStringLiteral("FindClose")).size(), found ? 1 : 0);
        }
    }
}

void TstThdDiscover::pairingCodeAndService()
{
    auto api = std::make_shared<FakeBluetoothApi>();
    api->devices << controller();
    RecordingHost host(api.get());
    QVERIFY(runToEnd(api, host, true));
    QCOMPARE(api->traceMatching(QStringLiteral("Authenticate ")), QStringList{QStringLiteral("Authenticate ") + C +
                                                                              QStringLiteral(" 7391")});
    QCOMPARE(api->traceMatching(QStringLiteral("SetServiceState ")),
             QStringList{QStringLiteral("SetServiceState ") + C +
                         QStringLiteral(" {00001101-0000-1000-8000-00805F9B34FB} on")});
}

void TstThdDiscover::deviceLines_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QDateTime>("lastUsed");
    QTest::addColumn<bool>("paired");
    QTest::addColumn<bool>("connected");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("listing");

    const QDateTime used(QDate(2026, 12, 7), QTime(18, 3, 11));
    const QString usedText = ShortDateLongTime(used);
    QTest::newRow("used recently") << "Aqualumora" << used << true << false
                                   << "\"Aqualumora\", " + usedText + ", installed"
                                   << C + ", \"Aqualumora\", " + usedText;
    QTest::newRow("used in 2000") << "Aqualumora" << QDateTime(QDate(2000, 12, 31), QTime(23, 0)) << false << true
                                  << "\"Aqualumora\", connected" << C + ", \"Aqualumora\", not installed, connected";
    QTest::newRow("never used") << "Aqualumora" << QDateTime() << true << true << "\"Aqualumora\", installed, connected"
                                << C + ", \"Aqualumora\", connected";
    QTest::newRow("NUL ends the name") << (QStringLiteral("Aqua") + QChar(0) + QStringLiteral("lumora")) << QDateTime() << true << false
                                       << "\"Aqua\", installed" << C + ", \"Aqua\"";
    QTest::newRow("at most 248 characters") << QString(300, u'x') << QDateTime() << true << false
                                            << "\"" + QString(248, u'x') + "\", installed"
                                            << C + ", \"" + QString(248, u'x') + "\"";
    // A line break or separator in a name must not start a log line of its own.
    QTest::newRow("control characters") << "Lamp\nWindows error" << QDateTime() << true << false
                                        << "\"Lamp\\nWindows error\", installed" << C + ", \"Lamp\\nWindows error\"";
    QTest::newRow("line separator") << QStringLiteral("Lamp\u2028Error\u2029") << QDateTime() << true << false
                                    << "\"Lamp\\u2028Error\\u2029\", installed"
                                    << C + ", \"Lamp\\u2028Error\\u2029\"";
}

void TstThdDiscover::deviceLines()
{
    QFETCH(QString, name);
    QFETCH(QDateTime, lastUsed);
    QFETCH(bool, paired);
    QFETCH(bool, connected);
    BluetoothDeviceInfo info;
    QVERIFY(ParseBluetoothAddress(C, info.address));
    info.name = name;
    info.lastUsed = lastUsed;
    info.authenticated = paired;
    info.connected = connected;
    QTEST(TthdDiscover::DescriptionLine(info), "description");
    QTEST(TthdDiscover::ListingLine(info), "listing");
}

void TstThdDiscover::closingTheHostEndsAWaitingRun()
{
    // A nameless device keeps the run in its long waits; the host going away (the window
    // closing) ends the run without another line and without waiting the waits out.
    auto api = std::make_shared<FakeBluetoothApi>();
    auto d = controller();
    d.nameFromQuery = 0;
    api->devices << d;
    auto host = std::make_unique<RecordingHost>(api.get());
    DiscoverTimings timings;
    timings.retryWaitMs = 600000;
    auto run = TthdDiscover::Create(true, api, host.get(), timings);
    QTRY_VERIFY(api->trace().contains(NoName));
    host.reset();
    run.reset();   // returns only once the thread has ended
    QVERIFY(!api->trace().contains(Completed));
    QCOMPARE(api->traceMatching(QStringLiteral("GetDeviceInfo ")).size(), 1);
}

void TstThdDiscover::stackIsReleasedOnTheWorker()
{
    // Letting go of the stack may wait for the system (BlueZ's pairing agent); that wait
    // belongs to the run's thread, never to the window's.
    struct ReleasedApi : FakeBluetoothApi
    {
        std::atomic<QThread *> *releasedOn = nullptr;
        ~ReleasedApi() override { *releasedOn = QThread::currentThread(); }
    };
    std::atomic<QThread *> releasedOn{nullptr};
    auto api = std::make_shared<ReleasedApi>();
    api->releasedOn = &releasedOn;
    api->devices << controller();
    RecordingHost host(api.get());
    auto run = TthdDiscover::Create(true, std::move(api), &host, {}, [](int) {});
    QThread *worker = run.get();
    QTRY_VERIFY(run->Finished());
    QVERIFY(releasedOn.load() != nullptr);
    QVERIFY(releasedOn.load() != QThread::currentThread());
    QCOMPARE(releasedOn.load(), worker);
}

QTEST_GUILESS_MAIN(TstThdDiscover)
#include "tst_thd_discover.moc"
