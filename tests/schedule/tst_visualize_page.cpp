// The Visualization page in the window: dragging points, "Lock times", mode Geo, the
// channel choice by list and wheel, the refusal during a download, redrawing on ShowInfo.

#include <QCheckBox>
#include <QComboBox>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>

#include "link/device_image.h"
#include "schedule/visualize_page.h"
#include "window_fixture.h"

namespace {

void FillSchedule(const QList<std::array<int, 4>> &rows) // hour, minute, degrees, level of every channel
{
    const std::size_t n = std::size_t(rows.size());
    Schedule.assign(n, ScheduleLine{});
    ScheduleDirty.assign(n, 0);
    CurvePoints.assign(n, QPoint());
    Info.LineCount = uint8_t(n);
    for (std::size_t k = 0; k < n; ++k) {
        const auto &r = rows[qsizetype(k)];
        Schedule[k].Hour = uint8_t(r[0]);
        Schedule[k].Minute = uint8_t(r[1]);
        Schedule[k].Alt = curves::StoredAltitude(r[2]);
        for (int c = 0; c < 12; ++c)
            Schedule[k].Color16[c] = uint8_t(std::clamp(r[3] - 6 * c, 0, 100));
    }
}

void SetTenLines()
{
    FillSchedule({{0, 0, -18, 0}, {6, 30, -6, 20}, {7, 30, 0, 40}, {9, 0, 15, 70}, {12, 0, 45, 100},
                 {14, 0, 55, 100}, {17, 0, 30, 90}, {19, 30, 5, 55}, {21, 0, -8, 25}, {24, 0, -20, 0}});
    const uint8_t colours[12] = {8, 7, 4, 11, 5, 2, 3, 12, 14, 15, 9, 6};
    std::copy(std::begin(colours), std::end(colours), Config.ColorName);
}

} // namespace

class TstVisualizePage : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void dragBeyondMargins_data();
    void dragBeyondMargins();
    void lockTimesAndGeoChangeOnlyTheLevel_data();
    void lockTimesAndGeoChangeOnlyTheLevel();
    void pressBesidePointsOrDuringDownload();
    void geoLinesOnTheSunsPath();
    void channelList();
    void wheel_data();
    void wheel();
    void showInfoRedrawsOnlyWhenInFront();
    void shorterTablesStayInBounds();
    void pictures_data();
    void pictures();

private:
    void connectIn(int mode)
    {
        Config.Mode = uint8_t(mode);
        w->SetConnected(true);
        w->ShowConfig();
        setRequestFlags(0);
        w->SelectPage(w->page("tsVisualize"));
        w->FillScheduleGrid();
        QCoreApplication::processEvents();
    }
    QPoint pointOf(int line, int channel)
    {
        const curves::CurvePoint &p = page()->points()[std::size_t(line)];
        return QPoint(int(std::lround(p.x)), int(std::lround(p.y[std::size_t(channel)])));
    }
    void wheelOn(QWidget *target, int delta)
    {
        const QPointF pos(target->width() / 2.0, target->height() / 2.0);
        QWheelEvent event(pos, target->mapToGlobal(pos), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &event);
    }
    VisualizePage *page() { return w->visualize; }
    QWidget *img() { return page()->img; }

    std::unique_ptr<TfrmLumora> w;
};

void TstVisualizePage::init()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    resetDeviceImage();
    w = makeWindow({"-english"});
    w->resize(1009, 700);
    w->show();
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
}

void TstVisualizePage::cleanup() { w.reset(); }

void TstVisualizePage::dragBeyondMargins_data()
{
    QTest::addColumn<int>("dx"); // pointer offset from the point, in units of the image size
    QTest::addColumn<int>("dy");
    QTest::addColumn<int>("minutes");
    QTest::addColumn<int>("level");
    QTest::newRow("beyond the right margin") << 1 << 0 << 1440 << -1;
    QTest::newRow("beyond the left margin") << -1 << 0 << 0 << -1;
    QTest::newRow("above the top") << 0 << -1 << -1 << 100;
    QTest::newRow("below the bottom") << 0 << 1 << -1 << 0;
}

void TstVisualizePage::dragBeyondMargins()
{
    QFETCH(int, dx);
    QFETCH(int, dy);
    QFETCH(int, minutes);
    QFETCH(int, level);
    SetTenLines();
    connectIn(ModeAuto);
    w->VisualChannel = 2;
    page()->DrawLightCurves();
    const ScheduleLine before = Schedule[5];
    const QPoint grab = pointOf(5, 2);
    QTest::mousePress(img(), Qt::LeftButton, {}, grab + QPoint(3, -3));
    QCOMPARE(w->DragLine, 5);
    QVERIFY(page()->tmrVisualize->isActive());
    QCOMPARE(page()->tmrVisualize->interval(), 25);
    const QPoint target = grab + QPoint(dx * img()->width(), dy * img()->height());
    QTest::mouseMove(img(), target);
    // The pointer sits on whole pixels, so only the clamped value is compared exactly.
    if (minutes >= 0)
        QCOMPARE(Schedule[5].Hour * 60 + Schedule[5].Minute, minutes);
    QCOMPARE(int(Schedule[5].Color16[2]), level >= 0 ? level : int(before.Color16[2]));
    QCOMPARE(int(Schedule[5].Color16[1]), int(before.Color16[1]));
    // Nothing is sent before the release.
    QCOMPARE(int(ScheduleDirty[5]), 0);
    QVERIFY(!isRequestPending(SetSchedule));
    QTest::mouseRelease(img(), Qt::LeftButton, {}, target);
    QCOMPARE(w->DragLine, -1);
    QVERIFY(!page()->tmrVisualize->isActive());
    QCOMPARE(int(ScheduleDirty[5]), 1);
    QCOMPARE(std::count(ScheduleDirty.begin(), ScheduleDirty.end(), 1), 1);
    QVERIFY(isRequestPending(SetSchedule));
}

void TstVisualizePage::lockTimesAndGeoChangeOnlyTheLevel_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("locked");
    QTest::addColumn<bool>("timeMoves");
    QTest::newRow("auto") << int(ModeAuto) << false << true;
    QTest::newRow("auto, times locked") << int(ModeAuto) << true << false;
    QTest::newRow("geo") << int(ModeGeo) << false << false;
}

void TstVisualizePage::lockTimesAndGeoChangeOnlyTheLevel()
{
    QFETCH(int, mode);
    QFETCH(bool, locked);
    QFETCH(bool, timeMoves);
    SetTenLines();
    connectIn(mode);
    QCOMPARE(page()->cbxTimeLock->isHidden(), mode == ModeGeo);
    page()->cbxTimeLock->setChecked(locked);
    const ScheduleLine before = Schedule[3];
    const QPoint grab = pointOf(3, 0);
    QTest::mousePress(img(), Qt::LeftButton, {}, grab);
    QCOMPARE(w->DragLine, 3);
    QTest::mouseMove(img(), grab + QPoint(60, -40));
    QTest::mouseRelease(img(), Qt::LeftButton, {}, grab + QPoint(60, -40));
    QVERIFY(Schedule[3].Color16[0] > before.Color16[0]);
    QCOMPARE(Schedule[3].Hour != before.Hour || Schedule[3].Minute != before.Minute, timeMoves);
    QCOMPARE(int(Schedule[3].Alt), int(before.Alt));
}

void TstVisualizePage::pressBesidePointsOrDuringDownload()
{
    SetTenLines();
    connectIn(ModeAuto);
    // Beside every point: the timer runs until the release, nothing is dragged.
    QTest::mousePress(img(), Qt::LeftButton, {}, QPoint(img()->width() / 2, 8));
    QCOMPARE(w->DragLine, -1);
    QVERIFY(page()->tmrVisualize->isActive());
    QTest::mouseMove(img(), QPoint(img()->width() / 2, 200));
    QTest::mouseRelease(img(), Qt::LeftButton, {}, QPoint(img()->width() / 2, 200));
    QVERIFY(!page()->tmrVisualize->isActive());
    QCOMPARE(pendingRequests(), 0u);

    // While a schedule download is pending a press is ignored altogether.
    const ScheduleLine before = Schedule[4];
    setRequestFlags(GetSchedule);
    const QPoint grab = pointOf(4, 0);
    QTest::mousePress(img(), Qt::LeftButton, {}, grab);
    QCOMPARE(w->DragLine, -1);
    QVERIFY(!page()->tmrVisualize->isActive());
    QTest::mouseMove(img(), grab + QPoint(0, 100));
    QTest::mouseRelease(img(), Qt::LeftButton, {}, grab + QPoint(0, 100));
    QVERIFY(std::memcmp(&before, &Schedule[4], sizeof before) == 0);
    QCOMPARE(pendingRequests(), GetSchedule);

    // A download that starts during a drag stops the moving; the release still marks the line.
    setRequestFlags(0);
    QTest::mousePress(img(), Qt::LeftButton, {}, grab);
    QCOMPARE(w->DragLine, 4);
    setRequestFlags(GetSchedule);
    QTest::mouseMove(img(), grab + QPoint(0, 100));
    QCOMPARE(int(Schedule[4].Color16[0]), int(before.Color16[0]));
    QTest::mouseRelease(img(), Qt::LeftButton, {}, grab + QPoint(0, 100));
    QCOMPARE(int(ScheduleDirty[4]), 1);
}

void TstVisualizePage::geoLinesOnTheSunsPath()
{
    FillSchedule({{0, 0, -10, 0}, {0, 0, 0, 10}, {0, 0, 20, 40}, {0, 0, 40, 90}, {0, 0, 20, 60}, {0, 0, 0, 20},
                 {0, 0, -10, 0}});
    connectIn(ModeGeo);
    const curves::ChartGeometry g = curves::GeometryOf(page()->img->image());
    const double expected[7] = {80, 90, 110, 230, 250, 270, 280};
    for (int k = 0; k < 7; ++k)
        QVERIFY(std::abs(page()->points()[std::size_t(k)].x - g.pathX(expected[k])) < 0.05);
    // The image's own table keeps the edited channel's points.
    QCOMPARE(CurvePoints[3], pointOf(3, 0));
}

void TstVisualizePage::channelList()
{
    SetTenLines();
    connectIn(ModeAuto);
    auto *list = page()->cmbVisualize;
    QCOMPARE(list->count(), 12);
    QCOMPARE(list->itemText(2), QString("C: Blue"));
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Down);
    QCOMPARE(w->VisualChannel, 1);
    // Only the chosen channel's points can be grabbed: channel A's point of line 4 lies
    // 6 % above channel B's.
    QTest::mousePress(img(), Qt::LeftButton, {}, pointOf(4, 0));
    QCOMPARE(w->DragLine, -1);
    QTest::mouseRelease(img(), Qt::LeftButton, {}, pointOf(4, 0));
    QTest::mousePress(img(), Qt::LeftButton, {}, pointOf(4, 1));
    QCOMPARE(w->DragLine, 4);
    QTest::mouseRelease(img(), Qt::LeftButton, {}, pointOf(4, 1));
}

void TstVisualizePage::wheel_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("delta");
    QTest::addColumn<bool>("dragging");
    QTest::addColumn<int>("result");
    QTest::newRow("towards the user: next") << 3 << -120 << false << 4;
    QTest::newRow("away: previous") << 3 << 120 << false << 2;
    QTest::newRow("never above L") << 11 << -120 << false << 11;
    QTest::newRow("never below A") << 0 << 120 << false << 0;
    QTest::newRow("not while dragging") << 3 << -120 << true << 3;
}

void TstVisualizePage::wheel()
{
    QFETCH(int, start);
    QFETCH(int, delta);
    QFETCH(bool, dragging);
    SetTenLines();
    connectIn(ModeAuto);
    w->VisualChannel = start;
    page()->VisualChannelChanged();
    const qint64 drawn = page()->img->image().cacheKey();
    if (dragging) {
        QTest::mousePress(img(), Qt::LeftButton, {}, pointOf(2, start));
        QCOMPARE(w->DragLine, 2);
    }
    wheelOn(page()->lblVisualize, delta);
    QTEST(w->VisualChannel, "result");
    QTEST(page()->cmbVisualize->currentIndex(), "result");
    if (dragging)
        QTest::mouseRelease(img(), Qt::LeftButton, {}, pointOf(2, start));
    else
        QVERIFY(page()->img->image().cacheKey() != drawn); // redrawn for the channel
    // On another page the wheel is left alone.
    w->SelectPage(w->page("tsChannels"));
    const int before = w->VisualChannel;
    wheelOn(w->page("tsChannels"), -120);
    QCOMPARE(w->VisualChannel, before);
}

void TstVisualizePage::showInfoRedrawsOnlyWhenInFront()
{
    SetTenLines();
    connectIn(ModeAuto);
    Info.Hour = 6;
    Info.Minute = 30;
    w->ShowInfo();
    const QImage &image = page()->img->image();
    const curves::ChartGeometry g = curves::GeometryOf(image);
    const int x = int(std::lround(g.minutesX(6 * 60 + 30)));
    QCOMPARE(image.pixel(x, 5), 0xFFC0C0C0u);
    const qint64 key = image.cacheKey();
    w->SelectPage(w->page("tsChannels"));
    w->ShowInfo();
    QCOMPARE(page()->img->image().cacheKey(), key);
    w->SelectPage(w->page("tsVisualize"));
    w->ShowInfo();
    QVERIFY(page()->img->image().cacheKey() != key);
}

void TstVisualizePage::shorterTablesStayInBounds()
{
    SetTenLines();
    CurvePoints.resize(4); // the image's table shorter than the schedule
    connectIn(ModeAuto);
    QCOMPARE(page()->points().size(), std::size_t(10));
    QCOMPARE(CurvePoints.size(), std::size_t(4));
    QCOMPARE(CurvePoints[3], pointOf(3, 0));

    const QPoint grab = pointOf(8, 0);
    QTest::mousePress(img(), Qt::LeftButton, {}, grab);
    QCOMPARE(w->DragLine, 8);
    // The schedule shrinks under the drag (a new Info arrived).
    Schedule.resize(3);
    ScheduleDirty.resize(3);
    QTest::mouseMove(img(), grab + QPoint(10, 10));
    QTest::qWait(60); // timer ticks redraw the shorter schedule
    QCOMPARE(page()->points().size(), std::size_t(3));
    QTest::mouseRelease(img(), Qt::LeftButton, {}, grab + QPoint(10, 10));
    QCOMPARE(w->DragLine, -1);
    QVERIFY(!isRequestPending(SetSchedule));
    // A press where line 8 used to be finds nothing.
    QTest::mousePress(img(), Qt::LeftButton, {}, grab);
    QCOMPARE(w->DragLine, -1);
    QTest::mouseRelease(img(), Qt::LeftButton, {}, grab);
}

void TstVisualizePage::pictures_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QSize>("size");
    QTest::newRow("time-english") << "-english" << int(ModeAuto) << QSize(1009, 700);
    QTest::newRow("geo-english") << "-english" << int(ModeGeo) << QSize(1009, 700);
    QTest::newRow("time-german") << "-german" << int(ModeAuto) << QSize(1009, 700);
    QTest::newRow("geo-german-small") << "-german" << int(ModeGeo) << QSize(767, 580);
}

void TstVisualizePage::pictures()
{
    QFETCH(QString, language);
    QFETCH(int, mode);
    QFETCH(QSize, size);
    w = makeWindow({language});
    w->resize(size);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    SetTenLines();
    Info.Year = 25;
    Info.Month = 6;
    Info.Day = 21;
    Info.Hour = 10;
    Info.Minute = 15;
    Config.Lat = 501;
    Config.Lon = 85;
    connectIn(mode);
    w->VisualChannel = 2;
    page()->VisualChannelChanged();
    // A point held mid-drag shows its label.
    QTest::mousePress(img(), Qt::LeftButton, {}, pointOf(6, 2));
    QTest::mouseMove(img(), pointOf(6, 2) + QPoint(0, 30));
    page()->DrawLightCurves();
    savePicture(w.get(), size, "visualization-" + QString(QTest::currentDataTag()));
    QTest::mouseRelease(img(), Qt::LeftButton, {}, pointOf(6, 2));
}

QTEST_MAIN(TstVisualizePage)
#include "tst_visualize_page.moc"
