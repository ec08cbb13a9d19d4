// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The suspend lock against python3-dbusmock's logind template on a private bus.
#include <QSignalSpy>
#include <QTest>

#include "link/ports.h"
#include "link/sleep_inhibitor.h"
#include "logind_mock.h"

namespace {
const QString OurLock = QStringLiteral("sleep|Aqualumora|Saving the lamp controller's backup and closing its port|delay");
}

class TstPowerWatcher : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void lockHeldFromStart();
    void suspendWaitsForTheHandlers();
    void lockGoesWithTheWatcher();
    void releaseBeforeTheAnswer();
    void withoutLogind();
    void withoutBus();

private:
    LogindMock m_mock;
    QString m_skip;
    int m_connections = 0;
    QDBusConnection bus() { return m_mock.connection(QStringLiteral("watcher%1").arg(m_connections++)); }
};

void TstPowerWatcher::initTestCase() { m_skip = m_mock.startBus(); }

void TstPowerWatcher::init()
{
    if (!m_skip.isEmpty())
        QSKIP(qPrintable(m_skip));
    QVERIFY(m_mock.startLogind());
}

void TstPowerWatcher::cleanup() { m_mock.stopLogind(); }

void TstPowerWatcher::lockHeldFromStart()
{
    PowerWatcher watcher(bus());
    QVERIFY(watcher.isListening());
    QTRY_VERIFY(watcher.holdsSleepLock());
    QCOMPARE(m_mock.inhibitors(), QStringList{OurLock});
}

void TstPowerWatcher::suspendWaitsForTheHandlers()
{
    PowerWatcher watcher(bus());
    QTRY_VERIFY(watcher.holdsSleepLock());
    QStringList seen;   // what the handlers saw, in order
    connect(&watcher, &PowerWatcher::powerEvent, this, [&](int code) {
        if (code == PowerWatcher::SuspendEvent)
            seen << QStringLiteral("suspend event locks %1").arg(m_mock.inhibitors().size());
        else
            seen << QStringLiteral("event %1").arg(code);
    });
    connect(&watcher, &PowerWatcher::suspending, this, [&] {
        seen << QStringLiteral("suspending locks %1").arg(m_mock.inhibitors().size());
    });
    connect(&watcher, &PowerWatcher::resumed, this, [&] { seen << QStringLiteral("resumed"); });

    // Two rounds: the lock taken after a resume serves the next suspend.
    for (int round = 0; round < 2; ++round) {
        seen.clear();
        QVERIFY(m_mock.prepareForSleep(true));
        QTRY_COMPARE(seen.size(), 2);
        QCOMPARE(seen, (QStringList{QStringLiteral("suspend event locks 1"), QStringLiteral("suspending locks 1")}));
        // Released once the handlers are done, so the system can go on.
        QVERIFY(!watcher.holdsSleepLock());
        QTRY_COMPARE(m_mock.inhibitors(), QStringList());

        QVERIFY(m_mock.prepareForSleep(false));
        QTRY_COMPARE(seen.size(), 4);
        QCOMPARE(seen.at(2), QStringLiteral("event %1").arg(PowerWatcher::ResumeEvent));
        QCOMPARE(seen.at(3), QStringLiteral("resumed"));
        QTRY_VERIFY(watcher.holdsSleepLock());
        QCOMPARE(m_mock.inhibitors(), QStringList{OurLock});
    }
}

void TstPowerWatcher::lockGoesWithTheWatcher()
{
    {
        PowerWatcher watcher(bus());
        QTRY_VERIFY(watcher.holdsSleepLock());
    }
    QTRY_COMPARE(m_mock.inhibitors(), QStringList());
}

void TstPowerWatcher::releaseBeforeTheAnswer()
{
    SleepInhibitor inhibitor(bus());
    QSignalSpy held(&inhibitor, &SleepInhibitor::heldChanged);
    inhibitor.acquire();
    inhibitor.acquire();   // one request at a time
    inhibitor.release();   // before the answer can have come
    QTest::qWait(300);
    QCOMPARE(held.count(), 0);
    QVERIFY(!inhibitor.isHeld());
    QTRY_COMPARE(m_mock.inhibitors(), QStringList());

    // Asked for again while the first answer is still on its way: the lock is kept.
    inhibitor.acquire();
    inhibitor.release();
    inhibitor.acquire();
    QTRY_VERIFY(inhibitor.isHeld());
    QCOMPARE(m_mock.inhibitors(), QStringList{OurLock});
    inhibitor.release();
    QCOMPARE(held.count(), 2);
    QTRY_COMPARE(m_mock.inhibitors(), QStringList());
}

void TstPowerWatcher::withoutLogind()
{
    m_mock.stopLogind();
    SleepInhibitor inhibitor(bus());
    inhibitor.acquire();
    QTRY_VERIFY(!inhibitor.lastError().isEmpty());
    QVERIFY(!inhibitor.isHeld());
    inhibitor.release();   // nothing to release: no harm
}

void TstPowerWatcher::withoutBus()
{
    PowerWatcher watcher(QDBusConnection(QStringLiteral("no such connection")));
    QVERIFY(!watcher.isListening());
    QVERIFY(!watcher.holdsSleepLock());
}

QTEST_GUILESS_MAIN(TstPowerWatcher)
#include "tst_power_watcher.moc"
