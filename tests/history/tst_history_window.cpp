// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The history end to end: the simulated controller in time lapse gives days of history in
// seconds, checked in the file, the view, the CSV and the alerts against what it reported;
// and in the window, recording from the polls, alerts as log lines and notifications, the
// history tab and the export.
#include <QBuffer>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QLabel>
#include <QMenu>
#include <QSettings>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include "history/desktop_notifier.h"
#include "history/history_alerts.h"
#include "history/history_recorder.h"
#include "history/sensor_watch.h"
#include "link/ports.h"
#include "logind_mock.h"
#include "app/history_feature.h"
#include "pages/history_view.h"
#include "sim_fixture.h"

#include <map>

// Stands in for the desktop's notification service on a private bus.
class NotificationStandIn : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList bodies;
    QList<QPair<uint, int>> urgencyAndExpiry;
    QList<uint> closed;
public slots:
    uint Notify(const QString &, uint, const QString &, const QString &, const QString &body, const QStringList &,
                const QVariantMap &hints, int expire)
    {
        bodies << body;
        urgencyAndExpiry << qMakePair(hints.value(QStringLiteral("urgency")).toUInt(), expire);
        return uint(bodies.size());
    }
    void CloseNotification(uint id) { closed << id; }
};

class TstHistoryWindow : public QObject {
    Q_OBJECT
private slots:
    void timeLapse();
    void window();
    void noNotificationService();
    void alertEndsItsNotification();
    void viewFitsTheData();
};

void TstHistoryWindow::timeLapse()
{
    // Three days and a bit, a reading every 20 s of the controller's clock.
    qint64 ms = 0;
    const QDateTime start(QDate(2026, 6, 1), QTime(0, 0), Qt::LocalTime);
    SimulatedController sim([&ms] { return ms; }, QDateTime(start.date(), start.time(), Qt::UTC));
    InfoRecord base = sim.info();
    base.WaterTemp = 250;
    base.SlaveTemp = NoValue16;
    base.InputVoltage = 1200;
    sim.setInfo(base);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("history.sqlite"));
    const QString key = QStringLiteral("ttyUSB0");
    AlertMonitor alerts;
    alerts.setRange({true, 200, 252});
    QStringList events;
    std::map<qint64, std::vector<InfoRecord>> reported; // by minute
    const qint64 epoch = start.toMSecsSinceEpoch();
    const int days = 3;
    {
        HistoryRecorder recorder(path, {}, [] { return qint64(0); });
        for (; ms < qint64(days) * 86'400'000 + 30'000; ms += 20'000) {
            // An overtemperature flag on the second day, from 10:00 to 10:30.
            const qint64 minuteOfRun = ms / 60'000;
            base.ErrorFlags = (minuteOfRun >= 1440 + 600 && minuteOfRun < 1440 + 630) ? ErrorOvertemperature : 0;
            sim.setInfo(base);
            const InfoRecord info = sim.info();
            recorder.record(key, HistoryReadingFrom(info, 1), epoch + ms);
            reported[(epoch + ms) / 60'000].push_back(info);
            for (const AlertEvent &e : alerts.update(info, false))
                events << (e.start ? u'+' : u'-') + e.key;
        }
    }
    // The last minute is still running: the recorder wrote it when it closed.
    HistoryStore store;
    QVERIFY(store.openForReading(path));
    const std::vector<HistoryRow> rows = store.rows(key, 0, std::numeric_limits<qint64>::max());
    QCOMPARE(rows.size(), reported.size());
    int checked = 0;
    for (const HistoryRow &row : rows) {
        const auto &infos = reported[row.minute];
        QVERIFY(!infos.empty());
        qint64 water = 0, voltage = 0;
        uint8_t flags = 0;
        for (const InfoRecord &i : infos) {
            water += i.WaterTemp;
            voltage += i.InputVoltage;
            flags |= i.ErrorFlags;
        }
        QVERIFY(std::abs(row.water * qint64(infos.size()) - water) <= qint64(infos.size()) / 2);
        QVERIFY(std::abs(row.voltage * qint64(infos.size()) - voltage) <= qint64(infos.size()) / 2);
        QCOMPARE(row.errorFlags, flags);
        QCOMPARE(row.slave, NoValue16);
        QCOMPARE(row.levels[0], uint16_t(infos.back().Level[0]));
        ++checked;
    }
    QCOMPARE(checked, days * 1440 + 1);

    // The simulated water warms up every afternoon past the range: one episode a day, and the
    // flag's own; nothing more however often they were polled.
    QCOMPARE(events.count(QStringLiteral("+AlertWaterHigh")), days);
    QCOMPARE(events.count(QStringLiteral("-AlertWaterBack")), days);
    QCOMPARE(events.count(QStringLiteral("+AlertErrorFlag")), 1);
    QCOMPARE(events.count(QStringLiteral("-AlertErrorFlagEnd")), 1);

    // The CSV has a line per minute, with the reported water temperature.
    QBuffer csv;
    csv.open(QIODevice::WriteOnly);
    QVERIFY(WriteHistoryCsv(csv, rows));
    const QStringList lines = QString::fromUtf8(csv.data()).trimmed().split(u'\n');
    QCOMPARE(lines.size(), int(rows.size()) + 1);
    QCOMPARE(lines[1].section(u',', 1, 1), QString::number(rows[0].water / 10.0, 'f', 1));
    QCOMPARE(QDateTime::fromString(lines.last().section(u',', 0, 0), Qt::ISODate).toMSecsSinceEpoch(),
             rows.back().minute * 60'000);

    // The view: the week ending after the last reading shows the three days, each bucket's
    // mean within what the simulator reported in it.
    HistoryView view;
    view.setSource(path, [&] { return key; });
    view.Clock = [&] { return epoch + ms; };
    view.resize(900, 420);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.showSpan(HistoryView::Week);
    const HistoryChartInput &in = view.input();
    QVERIFY(in.bucketMinutes > 1);
    QVERIFY(!in.buckets.empty());
    int lo = 1000, hi = 0;
    for (const auto &[minute, infos] : reported)
        for (const InfoRecord &i : infos) {
            lo = std::min<int>(lo, i.WaterTemp);
            hi = std::max<int>(hi, i.WaterTemp);
        }
    for (const HistoryBucket &b : in.buckets) {
        QVERIFY(b.water >= lo - 0.5 && b.water <= hi + 0.5);
        QVERIFY(b.waterMin <= b.water && b.water <= b.waterMax);
    }
    // A day's zoom from the minutes, the value under the mouse, a pan back in time.
    view.showSpan(HistoryView::Day);
    QCOMPARE(view.input().bucketMinutes, 2);
    QTest::mouseMove(view.canvas(), QPoint(view.canvas()->width() / 2, 100));
    QTRY_VERIFY(view.pointLabel()->text().contains(QStringLiteral("Thermavis: ")));
    const double from = view.from();
    view.panBy(view.canvas()->width() / 4.0);
    QVERIFY(view.from() < from);
    view.zoomAt(view.canvas()->width() / 2.0, 0.5);
    QVERIFY(view.to() - view.from() < 1440);
    savePicture(&view, QSize(900, 420), QStringLiteral("history_view_day"));
    view.showSpan(HistoryView::Week);
    savePicture(&view, QSize(900, 420), QStringLiteral("history_view_week"));
}

void TstHistoryWindow::window()
{
    LogindMock bus;
    const QString why = bus.startBus();
    std::unique_ptr<NotificationStandIn> standIn;
    QDBusConnection service = bus.connection(QStringLiteral("notifications"));
    if (why.isEmpty()) {
        standIn = std::make_unique<NotificationStandIn>();
        QVERIFY(service.registerObject(QStringLiteral("/org/freedesktop/Notifications"), standIn.get(),
                                       QDBusConnection::ExportAllSlots));
        QVERIFY(service.registerService(QStringLiteral("org.freedesktop.Notifications")));
    }

    auto w = makeConnectedWindow();
    QVERIFY(w);
    HistoryFeature *history = HistoryFeature::of(w.get());
    QVERIFY(history);
    if (standIn)
        history->setNotifier(new DesktopNotifier(bus.connection(QStringLiteral("program")), history));
    // Every poll is half a minute later, so the minutes go by quickly.
    qint64 clock = QDateTime::currentMSecsSinceEpoch();
    history->Clock = [&clock] { return clock += 30'000; };
    QTRY_VERIFY_WITH_TIMEOUT(history->recorder()->rowsWritten() >= 3, 20000);
    const QString key = HistoryControllerKey(w->PortName);
    QCOMPARE(history->currentController(), key);
    HistoryStore store;
    QVERIFY(store.openForReading(HistoryStore::defaultPath()));
    const auto rows = store.rows(key, 0, std::numeric_limits<qint64>::max());
    QVERIFY(rows.size() >= 3);
    // The simulated water drifts by a few tenths over its day; the exact means are checked in timeLapse.
    QVERIFY(std::abs(rows.back().water - sim(w.get()).info().WaterTemp) <= 6);
    QCOMPARE(rows.back().voltage == NoValue16, sim(w.get()).info().InputVoltage == NoValue16);

    // An error flag: one log line and one notification when it appears, one of each when it
    // is gone, however many polls see it.
    InfoRecord info = sim(w.get()).info();
    info.ErrorFlags = ErrorOvertemperature;
    sim(w.get()).setInfo(info);
    const QString started = QStringLiteral("The controller reports: Overtemperature");
    QTRY_VERIFY_WITH_TIMEOUT(w->mem->toPlainText().contains(started), 10000);
    const qint64 polled = history->recorder()->rowsWritten();
    QTRY_VERIFY_WITH_TIMEOUT(history->recorder()->rowsWritten() >= polled + 3, 20000);
    info.ErrorFlags = 0;
    sim(w.get()).setInfo(info);
    const QString ended = QStringLiteral("The controller no longer reports: Overtemperature");
    QTRY_VERIFY_WITH_TIMEOUT(w->mem->toPlainText().contains(ended), 10000);
    QCOMPARE(w->mem->toPlainText().count(started), 1);
    if (standIn)
        QTRY_COMPARE(standIn->bodies, QStringList({started, ended}));

    // The Chart page: the controller's chart and the history, as two tabs.
    auto *tabs = w->findChild<QTabWidget *>(QStringLiteral("tabChartHistory"));
    QVERIFY(tabs);
    QCOMPARE(tabs->tabText(0), QStringLiteral("Controller chart"));
    QCOMPARE(tabs->tabText(1), QStringLiteral("History"));
    QCOMPARE(tabs->widget(0)->objectName(), QStringLiteral("imgTemp"));
    w->SelectPage(w->page(QStringLiteral("tsTemp")));
    tabs->setCurrentIndex(1);
    QTRY_VERIFY(!history->view->input().buckets.empty());
    savePicture(w.get(), w->size(), QStringLiteral("history_page"));

    // File menu: the export of a chosen span.
    QCOMPARE(history->mnuHistoryExport->text(), QStringLiteral("Export sensor history..."));
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("out.csv"));
    history->ChooseExportSpan = [](QString &, qint64 &from, qint64 &to) {
        from = 0;
        to = std::numeric_limits<qint64>::max();
        return true;
    };
    history->ChooseExportFile = [&](const QString &suggested) {
        // "/dev/pts/N" gives a name without the folder separators
        return suggested.endsWith(QStringLiteral(".csv")) && !suggested.section(u'/', -1).contains(u' ') ? file : QString();
    };
    history->mnuHistoryExport->trigger();
    QFile csv(file);
    QVERIFY(csv.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(csv.readAll()).trimmed().split(u'\n');
    QVERIFY(lines.size() >= int(rows.size()) + 1);
    QVERIFY(lines[0].startsWith(QStringLiteral("time,water_temperature_c,")));
    QVERIFY(w->mem->toPlainText().contains(QStringLiteral(" minutes of sensor history exported to ") + file));

    history->setAlertRange({true, 230, 270});
    // The alert range is remembered, and forgetting the port leaves it alone.
    ForgetPort();
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Aqualumora"), QStringLiteral("history"));
    QCOMPARE(settings.value(QStringLiteral("Alerts/High")).toInt(), 270);
    QCOMPARE(settings.value(QStringLiteral("Alerts/Enabled")).toBool(), true);
}

void TstHistoryWindow::noNotificationService()
{
    // Not connected to any bus: nothing is sent and nothing waits.
    DesktopNotifier none(QDBusConnection(QStringLiteral("no-bus")));
    QVERIFY(!none.notify(QStringLiteral("a"), QStringLiteral("b"), true));
    // A bus without the service: the call fails in the background.
    LogindMock bus;
    const QString why = bus.startBus();
    if (!why.isEmpty())
        QSKIP(qPrintable(why));
    DesktopNotifier lonely(bus.connection(QStringLiteral("lonely")));
    QVERIFY(lonely.notify(QStringLiteral("a"), QStringLiteral("b"), false));
    QTRY_COMPARE(lonely.failures(), 1);
}

// An alert stays until it ends (also by a wider range): closed, a short notice says so; switched off, none.
void TstHistoryWindow::alertEndsItsNotification()
{
    LogindMock bus;
    if (const QString why = bus.startBus(); !why.isEmpty())
        QSKIP(qPrintable(why));
    NotificationStandIn standIn;
    QDBusConnection service = bus.connection(QStringLiteral("alert-server"));
    QVERIFY(service.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &standIn,
                                   QDBusConnection::ExportAllSlots));
    QVERIFY(service.registerService(QStringLiteral("org.freedesktop.Notifications")));
    QTemporaryDir dir;
    QStringList log;
    SensorWatch watch(dir.filePath(QStringLiteral("history.sqlite")), [&](const QString &line) { log << line; });
    watch.setNotifier(new DesktopNotifier(bus.connection(QStringLiteral("alert-program")), &watch));
    watch.setAlertRange({true, 240, 280});
    DeviceImage image;
    const auto poll = [&](int water) {
        image.Info.WaterTemp = int16_t(water);
        watch.infoRead(QStringLiteral("ttyUSB0"), image);
    };
    poll(300);
    poll(300);
    poll(250); // back before the server's answer came: closed once its id is known
    QTRY_COMPARE(standIn.closed, QList<uint>({1}));
    poll(300);
    QTRY_COMPARE(watch.notifier()->openAlerts().size(), 1);
    watch.setAlertRange({true, 240, 320});
    poll(330);
    QTRY_COMPARE(watch.notifier()->openAlerts().size(), 1);
    watch.setAlertRange({false, 240, 320});
    QTRY_COMPARE(standIn.closed, QList<uint>({1, 3, 5}));
    QVERIFY(log.contains(QStringLiteral("Water temperature alerts switched off")));
    watch.setAlertRange({true, 240, 320}); // on again with the water outside: at once
    QCOMPARE(standIn.bodies[1], QStringLiteral("Water temperature 25.0°C is back in range (24.0°C to 28.0°C)"));
    QVERIFY(log.contains(standIn.bodies[3]));
    QVERIFY(log.contains(QStringLiteral("Water temperature alerts: allowed range 24.0°C to 32.0°C")));
    // Critical alerts that never expire, short normal notices of their end.
    using Shown = QList<QPair<uint, int>>;
    const QPair<uint, int> alert(2, 0), notice(1, DesktopNotifier::EndNoticeMs);
    QTRY_COMPARE(standIn.urgencyAndExpiry, Shown({alert, notice, alert, notice, alert, alert}));
    QCOMPARE(log.last(), QStringLiteral("Water temperature 33.0°C is above the highest allowed 32.0°C"));
}

// A few minutes fill the Day view, zoom and drag stay on the data, a view ending now follows it.
void TstHistoryWindow::viewFitsTheData()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("history.sqlite")), key = QStringLiteral("ttyUSB0");
    HistoryStore store;
    QCOMPARE(store.openForWriting(path), HistoryStore::OpenResult::Opened);
    qint64 ms = QDateTime(QDate(2026, 6, 1), QTime(12, 0, 30)).toMSecsSinceEpoch();
    const auto record = [&](int minutes) { // up to the running minute
        std::vector<HistoryRow> rows;
        for (qint64 m = ms / 60'000 - minutes; m < ms / 60'000; ++m)
            rows.push_back({m, int16_t(250 + m % 7), NoValue16, 1200});
        QVERIFY(store.write(key, rows));
    };
    record(7);
    HistoryView view;
    view.setSource(path, [&] { return key; });
    view.Clock = [&] { return ms; };
    view.resize(900, 420);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    const auto g = [&] { return HistoryGeometry(view.canvas()->size(), view.from(), view.to()); };
    const auto onData = [&](const char *what) { // no sliver at an edge, no empty time beside the data
        const std::vector<HistoryBucket> &b = view.input().buckets;
        QVERIFY2(!b.empty() && g().x(b.back().minute + 1.0) - g().x(double(b.front().minute)) >= 0.6 * g().plot.width(), what);
    };
    const auto wheel = [&](double x, int steps) {
        QWheelEvent event(QPointF(x, 100), view.canvas()->mapToGlobal(QPointF(x, 100)), QPoint(), QPoint(0, 120 * steps),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(view.canvas(), &event);
    };
    const auto drag = [&](int dx) {
        QTest::mousePress(view.canvas(), Qt::LeftButton, {}, QPoint(450, 100));
        QTest::mouseMove(view.canvas(), QPoint(450 + dx, 100));
        QTest::mouseRelease(view.canvas(), Qt::LeftButton, {}, QPoint(450 + dx, 100));
    };
    view.showSpan(HistoryView::Day);
    onData("day");
    savePicture(&view, QSize(900, 420), QStringLiteral("history_day_fit"));
    wheel(g().plot.left() + 1, -3);
    onData("zoomed out");
    record(60); // an hour, zoomed in at its left edge and dragged far both ways
    view.showSpan(HistoryView::Day);
    wheel(g().plot.left() + 1, 3);
    QVERIFY(view.to() - view.from() < 40);
    for (int dx : {0, 3000, -3000}) {
        drag(dx);
        onData("zoomed in and dragged");
    }
    QVERIFY(view.followsNow()); // dragged to the end, it follows now
    const double width = view.to() - view.from();
    for (bool follows : {true, false}) {
        const double from = view.from();
        ms += 5 * 60'000;
        record(5);
        view.reload();
        QCOMPARE(view.to(), follows ? double(ms / 60'000 + 1) : from + width);
        QCOMPARE(view.to() - view.from(), width);
        drag(view.canvas()->width() / 4); // into the past
        QVERIFY(!view.followsNow());
    }
}

QTEST_MAIN(TstHistoryWindow)
#include "tst_history_window.moc"
