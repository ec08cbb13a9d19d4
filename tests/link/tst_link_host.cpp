// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The queue between a worker thread and its host: order of waited-for and posted calls,
// the follow-up a caller does not wait for, calls given up, and a host that goes away.
#include "link/link_host.h"

#include <QSemaphore>
#include <QTest>

#include <atomic>
#include <memory>
#include <thread>

namespace {

// Runs body on a worker thread while the UI thread's event loop runs; true when it ended.
bool runWorker(const std::function<void()> &body, int timeoutMs = 5000)
{
    std::atomic<bool> done{false};
    std::thread worker([&] {
        body();
        done = true;
    });
    const bool ended = QTest::qWaitFor([&] { return done.load(); }, timeoutMs);
    worker.join();
    return ended;
}

std::function<void(LinkHost &)> note(QStringList &log, const QString &text)
{
    return [&log, text](LinkHost &) { log << text; };
}

} // namespace

class tst_LinkHost : public QObject
{
    Q_OBJECT

private slots:
    void callsRunInTheOrderHandedIn();
    void followUpRunsAfterTheCallerGoesOn();
    void givenUpCallRunsNeitherPart();
    void queueRunsOnTheHostThreadOnDemand();
    void hostGoneDropsWhatIsQueued();
};

void tst_LinkHost::callsRunInTheOrderHandedIn()
{
    LinkHost host;
    QStringList log;
    QList<bool> results;
    QVERIFY(runWorker([&] {
        const auto gate = host.gate();
        results << PostToHost(gate, note(log, QStringLiteral("posted 1")));
        results << PostToHost(gate, note(log, QStringLiteral("posted 2")));
        results << RunOnHost(gate, note(log, QStringLiteral("waited")), note(log, QStringLiteral("follow-up")));
        results << PostToHost(gate, note(log, QStringLiteral("posted 3")));
        results << RunOnHost(gate, note(log, QStringLiteral("waited 2")));
    }));
    QCOMPARE(results, QList<bool>(5, true));
    QCOMPARE(log, (QStringList{"posted 1", "posted 2", "waited", "follow-up", "posted 3", "waited 2"}));
}

void tst_LinkHost::followUpRunsAfterTheCallerGoesOn()
{
    // The follow-up holds the host until the caller has returned: a caller that waited for
    // it would never return.
    LinkHost host;
    QSemaphore callerReturned;
    std::atomic<bool> followUpSawReturn{false};
    bool copied = false, ok = false;
    QVERIFY(runWorker([&] {
        ok = RunOnHost(
            host.gate(), [&](LinkHost &) { copied = true; },
            [&](LinkHost &) { followUpSawReturn = callerReturned.tryAcquire(1, 5000); });
        callerReturned.release();
    }));
    QVERIFY(ok && copied);
    QTRY_VERIFY(followUpSawReturn.load());
}

void tst_LinkHost::givenUpCallRunsNeitherPart()
{
    LinkHost host;
    QStringList log;
    bool result = true;
    QVERIFY(runWorker([&] {
        const auto gate = host.gate();
        result = RunOnHost(gate, note(log, QStringLiteral("waited")), note(log, QStringLiteral("follow-up")),
                           [] { return true; });
        PostToHost(gate, note(log, QStringLiteral("posted")));
    }));
    QVERIFY(!result);
    QTRY_COMPARE(log, QStringList{QStringLiteral("posted")});
}

void tst_LinkHost::queueRunsOnTheHostThreadOnDemand()
{
    // What a worker posted runs, in order, before whatever the host thread hands in itself,
    // without waiting for the event loop.
    LinkHost host;
    QStringList log;
    std::thread worker([&] {
        PostToHost(host.gate(), note(log, QStringLiteral("posted 1")));
        PostToHost(host.gate(), note(log, QStringLiteral("posted 2")));
    });
    worker.join();
    QVERIFY(log.isEmpty());
    QVERIFY(RunOnHost(host.gate(), note(log, QStringLiteral("direct")), note(log, QStringLiteral("follow-up"))));
    QCOMPARE(log, (QStringList{"posted 1", "posted 2", "direct", "follow-up"}));

    std::thread worker2([&] { PostToHost(host.gate(), note(log, QStringLiteral("posted 3"))); });
    worker2.join();
    RunQueuedOnHost(host.gate());
    QCOMPARE(log.last(), QStringLiteral("posted 3"));
    QTest::qWait(20);  // the posted run of the queue finds nothing left to do
    QCOMPARE(log.size(), 5);
}

void tst_LinkHost::hostGoneDropsWhatIsQueued()
{
    auto host = std::make_unique<LinkHost>();
    const auto gate = host->gate();
    QStringList log;
    std::thread worker([&] { PostToHost(gate, note(log, QStringLiteral("posted"))); });
    worker.join();
    host.reset();
    QTest::qWait(20);
    QVERIFY(log.isEmpty());

    bool posted = true, waited = true;
    QVERIFY(runWorker([&] {
        posted = PostToHost(gate, note(log, QStringLiteral("late")));
        waited = RunOnHost(gate, note(log, QStringLiteral("late")));
    }));
    QVERIFY(!posted && !waited);
    QVERIFY(log.isEmpty());
}

QTEST_GUILESS_MAIN(tst_LinkHost)
#include "tst_link_host.moc"
