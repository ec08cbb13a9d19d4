// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The port watcher: which entries count as new, the device notices with no timer running, the
// comparison where notices cannot be had, and the simulated ports that announce themselves.
#include "link/ports.h"

#include <QSignalSpy>
#include <QTest>

Q_DECLARE_METATYPE(SerialPortWatcher::Source)

class tst_PortWatcher : public QObject
{
    Q_OBJECT
private slots:
    void newEntries_data();
    void newEntries();
    void sourceInUse();
    void reportsSimulatedArrivals_data();
    void reportsSimulatedArrivals();
};

void tst_PortWatcher::newEntries_data()
{
    QTest::addColumn<QStringList>("known");
    QTest::addColumn<QStringList>("now");
    QTest::addColumn<QStringList>("arrived");
    const QString a = QStringLiteral("ttyUSB0 (FT232R USB UART)");
    const QString b = QStringLiteral("rfcomm0 (/dev/rfcomm0)");
    const QString c = QStringLiteral("/dev/pts/7 (Simulated controller)");
    QTest::newRow("nothing before, nothing now") << QStringList{} << QStringList{} << QStringList{};
    QTest::newRow("unchanged") << QStringList{a, b} << QStringList{a, b} << QStringList{};
    QTest::newRow("one added, in the list's order") << QStringList{a} << QStringList{b, a, c} << QStringList{b, c};
    QTest::newRow("removed is no arrival") << QStringList{a, b} << QStringList{a} << QStringList{};
    QTest::newRow("order changed only") << QStringList{a, b} << QStringList{b, a} << QStringList{};
    QTest::newRow("listed twice, reported once") << QStringList{} << QStringList{a, a} << QStringList{a};
    QTest::newRow("same port, other description")
        << QStringList{a} << QStringList{QStringLiteral("ttyUSB0 (/dev/ttyUSB0)")}
        << QStringList{QStringLiteral("ttyUSB0 (/dev/ttyUSB0)")};
}

void tst_PortWatcher::newEntries()
{
    QFETCH(QStringList, known);
    QFETCH(QStringList, now);
    QFETCH(QStringList, arrived);
    QCOMPARE(SerialPortWatcher::newEntries(QSet<QString>(known.begin(), known.end()), now), arrived);
}

void tst_PortWatcher::sourceInUse()
{
    SerialPortWatcher comparing(nullptr, 1000, SerialPortWatcher::Source::Comparison);
    QVERIFY(!comparing.isComparing());
    comparing.start();
    QVERIFY(comparing.isComparing());
    QVERIFY(!comparing.usesDeviceNotices());
    comparing.stop();
    QVERIFY(!comparing.isComparing());

    // With a udev monitor nothing runs periodically; without one the comparison does.
    SerialPortWatcher automatic;
    automatic.start();
    QCOMPARE(automatic.isComparing(), !automatic.usesDeviceNotices());
    qInfo("device notices %s", automatic.usesDeviceNotices() ? "in use" : "not available: comparing");
    automatic.stop();
    QVERIFY(!automatic.isComparing());
    QVERIFY(!automatic.usesDeviceNotices());
}

void tst_PortWatcher::reportsSimulatedArrivals_data()
{
    QTest::addColumn<SerialPortWatcher::Source>("source");
    QTest::newRow("automatic") << SerialPortWatcher::Source::Automatic;
    QTest::newRow("comparison") << SerialPortWatcher::Source::Comparison;
}

void tst_PortWatcher::reportsSimulatedArrivals()
{
    QFETCH(SerialPortWatcher::Source, source);
    const QString path = QStringLiteral("/dev/pts/956");
    const QString entry = path + QStringLiteral(" (Simulated controller)");
    SerialPortWatcher watcher(nullptr, 20, source);
    QSignalSpy spy(&watcher, &SerialPortWatcher::serialPortArrived);
    watcher.start();
    QTest::qWait(60);
    QCOMPARE(spy.count(), 0);  // what was there at the start is not new
    RegisterSimulatedPort(path);
    QVERIFY(spy.wait(2000));
    QCOMPARE(spy.takeFirst().at(0).toString(), entry);
    QTest::qWait(60);
    QCOMPARE(spy.count(), 0);  // reported once
    UnregisterSimulatedPort(path);
    QTest::qWait(60);
    QCOMPARE(spy.count(), 0);  // leaving is no arrival
    RegisterSimulatedPort(path);
    QVERIFY(spy.wait(2000));   // coming back is one
    QCOMPARE(spy.takeFirst().at(0).toString(), entry);
    UnregisterSimulatedPort(path);

    watcher.stop();
    RegisterSimulatedPort(path);
    QTest::qWait(60);
    QCOMPARE(spy.count(), 0);  // stopped: silent
    UnregisterSimulatedPort(path);

    // A watcher destroyed right after a wake-up was queued for it is not called.
    {
        SerialPortWatcher gone(nullptr, 20, source);
        gone.start();
        RegisterSimulatedPort(path);
    }
    QTest::qWait(20);
    UnregisterSimulatedPort(path);
}

QTEST_GUILESS_MAIN(tst_PortWatcher)
#include "tst_port_watcher.moc"
