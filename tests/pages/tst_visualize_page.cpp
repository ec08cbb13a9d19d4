// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The Visualization page: dragging points, "Lock times", mode Geo, the channel choice by
// list and wheel, the refusal during a download, redrawing on ShowInfo. Dragging is tried on
// a stand-in for the window; the wheel (the window filters it), the refresh that waits
// while the page is not in front, and the pictures need the window.

#include <QCheckBox>
#include <QComboBox>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>

#include "link/device_model.h"
#include "pages/visualize_page.h"
#include "widgets/image_view.h"
#include "presentation/localization.h"
#include "fake_page_host.h"
#include "window_fixture.h"

namespace {

// Ten lines of a day; channel c has the line's level − 6c.
void SetTenLines(DeviceImage &image)
{
    const int rows[10][4] = {{0, 0, -18, 0},   {6, 30, -6, 20}, {7, 30, 0, 40},  {9, 0, 15, 70},  {12, 0, 45, 100},
                             {14, 0, 55, 100}, {17, 0, 30, 90}, {19, 30, 5, 55}, {21, 0, -8, 25}, {24, 0, -20, 0}};
    image.resizeSchedule(10);
    image.Info.LineCount = 10;
    for (std::size_t k = 0; k < 10; ++k) {
        ScheduleLine &line = image.Schedule[k];
        line.Hour = uint8_t(rows[k][0]);
        line.Minute = uint8_t(rows[k][1]);
        line.Alt = curves::StoredAltitude(rows[k][2]);
        for (int c = 0; c < 12; ++c)
            line.Color16[c] = uint8_t(std::max(0, rows[k][3] - 6 * c));
    }
    const uint8_t colours[12] = {8, 7, 4, 11, 5, 2, 3, 12, 14, 15, 9, 6};
    std::copy(std::begin(colours), std::end(colours), image.Config.ColorName);
}

} // namespace

class TstVisualizePage : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup()
    {
        w.reset();
        host.reset();
    }
    void lockTimesAndGeoChangeOnlyTheLevel_data();
    void lockTimesAndGeoChangeOnlyTheLevel();
    void dragKeepsWhatDidNotMove_data();
    void dragKeepsWhatDidNotMove();
    void pressDuringDownload();
    void channelChoice_data();
    void channelChoice();
    void showInfoRedrawsOnlyWhenInFront();
    void shorterTablesStayInBounds();
    void pictures_data();
    void pictures();

private:
    // The page alone, connected in that mode, in front.
    void start(int mode, QSize size = QSize(1009, 700))
    {
        LoadLanguageTable(LanguageEnglish);
        host = std::make_unique<FakePageHost>(QStringList{"tsChannels", "tsVisualize"});
        vis = new VisualizePage(*host, host->model);   // belongs to the host's window
        host->window()->resize(size);
        host->window()->show();
        host->window()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(host->window()));
        SetTenLines(host->loaded());
        host->loaded().Config.Mode = uint8_t(mode);
        host->connected = true;
        EnableState state;
        state.connected = true;
        state.mode = mode;
        vis->applyEnabling(state);
        vis->refresh(RefreshConfig | RefreshChannelNames);
        model().replaceRequests(0);
        host->selectPage(host->page("tsVisualize"));
        vis->pageShown(host->page("tsVisualize"), 0);
        vis->refresh(RefreshSchedule);
    }
    void startWindow(int mode, const QString &language = "-english", QSize size = QSize(1009, 700))
    {
        w = makeWindow({language});
        w->resize(size);
        w->show();
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        SetTenLines(w->model().imageForLoading());
        w->model().imageForLoading().Config.Mode = uint8_t(mode);
        w->SetConnected(true);
        w->ShowConfig();
        model().replaceRequests(0);
        w->SelectPage(w->page("tsVisualize"));
        w->FillScheduleGrid();
    }
    QPoint pointOf(int line, int channel)
    {
        const curves::CurvePoint &p = page()->points()[std::size_t(line)];
        return QPoint(int(std::lround(p.x)), int(std::lround(p.y[std::size_t(channel)])));
    }
    void press(QPoint at) { QTest::mousePress(img(), Qt::LeftButton, {}, at); }
    void release(QPoint at) { QTest::mouseRelease(img(), Qt::LeftButton, {}, at); }
    VisualizePage *page() { return w ? w->visualize : vis; }
    ScheduleEdit &edit() { return w ? w->Edit : host->edit; }
    DeviceModel &model() { return w ? w->model() : host->model; }
    const DeviceImage &image() { return model().image(); }
    QWidget *img() { return page()->img; }

    std::unique_ptr<FakePageHost> host;
    VisualizePage *vis = nullptr;
    std::unique_ptr<TfrmLumora> w;
};

void TstVisualizePage::init()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
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
    start(mode);
    QCOMPARE(page()->cbxTimeLock->isHidden(), mode == ModeGeo);
    page()->cbxTimeLock->setChecked(locked);
    const ScheduleLine before = image().Schedule[3];
    press(pointOf(3, 0) + QPoint(3, -3));
    QCOMPARE(edit().dragLine, 3);
    QVERIFY(page()->tmrVisualize->isActive());
    // Far beyond the right and the top margin: 24:00 (unless the time stays) and 100 %.
    const QPoint target = pointOf(3, 0) + QPoint(img()->width(), -img()->height());
    QTest::mouseMove(img(), target);
    const ScheduleLine &moved = image().Schedule[3];
    QCOMPARE(int(moved.Color16[0]), 100);
    QCOMPARE(int(moved.Color16[1]), int(before.Color16[1]));
    QCOMPARE(moved.Hour * 60 + moved.Minute, timeMoves ? 1440 : before.Hour * 60 + before.Minute);
    QCOMPARE(int(moved.Alt), int(before.Alt));
    QVERIFY(!model().isRequestPending(SetSchedule)); // nothing is sent before the release
    release(target);
    QCOMPARE(edit().dragLine, -1);
    QVERIFY(!page()->tmrVisualize->isActive());
    QCOMPARE(image().ScheduleDirty, (std::vector<uint8_t>{0, 0, 0, 1, 0, 0, 0, 0, 0, 0}));
    QVERIFY(model().isRequestPending(SetSchedule));
}

void TstVisualizePage::dragKeepsWhatDidNotMove_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("line");
    QTest::addColumn<QPoint>("by");    // the pointer's way from the press
    QTest::addColumn<int>("wobble");   // across that way all along, inside the dead zone
    // The points lie between pixels: 20 + minutes × plot width / 1440 is rarely whole.
    QTest::newRow("up, 1009") << int(ModeAuto) << QSize(1009, 700) << 2 << QPoint(0, -40) << 0;
    QTest::newRow("down with a wobble, 777") << int(ModeAuto) << QSize(777, 601) << 7 << QPoint(0, 60) << 2;
    QTest::newRow("sideways, 1009") << int(ModeAuto) << QSize(1009, 700) << 3 << QPoint(37, 0) << -2;
    QTest::newRow("Geo sideways, 777") << int(ModeGeo) << QSize(777, 601) << 6 << QPoint(30, 0) << -2;
}

void TstVisualizePage::dragKeepsWhatDidNotMove()
{
    QFETCH(int, mode);
    QFETCH(QSize, size);
    QFETCH(int, line);
    QFETCH(QPoint, by);
    QFETCH(int, wobble);
    start(mode, size);
    const curves::ChartGeometry g = curves::GeometryOf(page()->img->image());
    const ScheduleLine before = image().Schedule[std::size_t(line)];
    const QPoint grab = pointOf(line, 0) + QPoint(4, -3); // a hand rarely hits the middle
    press(grab);
    const QPoint across = by.x() == 0 ? QPoint(wobble, 0) : QPoint(0, wobble);
    for (int step = 1; step <= 4; ++step)
        QTest::mouseMove(img(), grab + by * step / 4 + across);
    release(grab + by + across);
    // The moved value follows the pointer by as far as it went; the other one stays.
    const ScheduleLine &after = image().Schedule[std::size_t(line)];
    const double time = before.Hour * 60 + before.Minute + (mode == ModeGeo ? 0 : by.x() * 1440 / g.plotWidth());
    QVERIFY(std::abs(after.Hour * 60 + after.Minute - time) <= 0.5);
    QVERIFY(std::abs(after.Color16[0] - (before.Color16[0] - by.y() * 100 / g.plotHeight())) <= 0.5);
}

void TstVisualizePage::pressDuringDownload()
{
    start(ModeAuto);
    // While a schedule download is pending a press is ignored altogether.
    const ScheduleLine before = image().Schedule[4];
    const QPoint grab = pointOf(4, 0);
    model().replaceRequests(GetSchedule);
    press(grab);
    QCOMPARE(edit().dragLine, -1);
    QVERIFY(!page()->tmrVisualize->isActive());
    release(grab);

    // A download that starts during a drag stops the moving; the release still marks the line.
    model().replaceRequests(0);
    press(grab);
    QCOMPARE(edit().dragLine, 4);
    model().replaceRequests(GetSchedule);
    QTest::mouseMove(img(), grab + QPoint(0, 100));
    QVERIFY(std::memcmp(&before, &image().Schedule[4], sizeof before) == 0);
    release(grab + QPoint(0, 100));
    QCOMPARE(int(image().ScheduleDirty[4]), 1);
}

void TstVisualizePage::channelChoice_data()
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

void TstVisualizePage::channelChoice()
{
    QFETCH(int, start);
    QFETCH(int, delta);
    QFETCH(bool, dragging);
    startWindow(ModeAuto);
    QCOMPARE(page()->cmbVisualize->itemText(2), QString("C: Blue"));
    auto wheel = [](QWidget *target, int d) {
        const QPointF pos(5, 5);
        QWheelEvent event(pos, target->mapToGlobal(pos), QPoint(), QPoint(0, d), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &event);
    };
    // The list: only its chosen channel's points can be grabbed afterwards.
    page()->cmbVisualize->setFocus();
    page()->cmbVisualize->setCurrentIndex(start == 0 ? 1 : start - 1);
    QTest::keyClick(page()->cmbVisualize, start == 0 ? Qt::Key_Up : Qt::Key_Down);
    QCOMPARE(edit().visualChannel, start);
    press(pointOf(4, start == 0 ? 1 : start - 1)); // 6 % away from the chosen channel's point
    QCOMPARE(edit().dragLine, -1);
    release(pointOf(4, start));

    const qint64 drawn = page()->img->image().cacheKey();
    if (dragging)
        press(pointOf(2, start));
    wheel(page()->lblVisualize, delta);
    QTEST(edit().visualChannel, "result");
    QTEST(page()->cmbVisualize->currentIndex(), "result");
    if (!dragging)
        QVERIFY(page()->img->image().cacheKey() != drawn); // redrawn for the channel
    release(pointOf(2, start));
    // On another page the wheel is left alone.
    w->SelectPage(w->page("tsChannels"));
    const int before = edit().visualChannel;
    wheel(w->page("tsChannels"), -120);
    QCOMPARE(edit().visualChannel, before);
}

void TstVisualizePage::showInfoRedrawsOnlyWhenInFront()
{
    startWindow(ModeAuto);
    w->model().imageForLoading().Info.Hour = 6;
    w->model().imageForLoading().Info.Minute = 30;
    w->ShowInfo();
    const QImage &image = page()->img->image();
    const int x = int(std::lround(curves::GeometryOf(image).minutesX(6 * 60 + 30)));
    QCOMPARE(image.pixel(x, 5), 0xFFC0C0C0u);
    const qint64 key = image.cacheKey();
    w->SelectPage(w->page("tsChannels"));
    w->ShowInfo();
    QCOMPARE(page()->img->image().cacheKey(), key);
}

void TstVisualizePage::shorterTablesStayInBounds()
{
    start(ModeAuto);
    // The drawing of an older, shorter schedule gives way to one point per line, on the
    // curve of the channel edited.
    edit().curvePoints.resize(4);
    for (int channel : {2, 0}) {
        edit().visualChannel = channel;
        page()->DrawLightCurves();
        QCOMPARE(page()->points().size(), std::size_t(10));
        QCOMPARE(edit().curvePoints.size(), std::size_t(10));
        for (int k = 0; k < 10; ++k)
            QCOMPARE(edit().curvePoints[std::size_t(k)], pointOf(k, channel));
    }

    const QPoint grab = pointOf(8, 0);
    press(grab);
    QCOMPARE(edit().dragLine, 8);
    // The schedule shrinks under the drag (a new Info arrived).
    InfoRecord info = image().Info;
    info.LineCount = 3;
    QVERIFY(model().copyIn(GetInfo, recordBytes(info)));
    QTest::mouseMove(img(), grab + QPoint(10, 10));
    QTRY_COMPARE(page()->points().size(), std::size_t(3)); // the timer redraws
    QCOMPARE(edit().curvePoints.size(), std::size_t(3));
    release(grab + QPoint(10, 10));
    QCOMPARE(edit().dragLine, -1);
    QVERIFY(!model().isRequestPending(SetSchedule));
    press(grab); // where line 8 used to be
    QCOMPARE(edit().dragLine, -1);
    release(grab);
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
    QTest::newRow("time-english-1920") << "-english" << int(ModeAuto) << QSize(1920, 1080);
}

void TstVisualizePage::pictures()
{
    QFETCH(QString, language);
    QFETCH(int, mode);
    QFETCH(QSize, size);
    startWindow(mode, language, size);
    InfoRecord &info = w->model().imageForLoading().Info;
    info.Year = 25;
    info.Month = 6;
    info.Day = 21;
    info.Hour = 10;
    info.Minute = 15;
    edit().visualChannel = 2;
    page()->VisualChannelChanged();
    // A point held mid-drag shows its label.
    press(pointOf(6, 2));
    QTest::mouseMove(img(), pointOf(6, 2) + QPoint(0, 30));
    page()->DrawLightCurves();
    const QString scale = w->devicePixelRatioF() > 1 ? QStringLiteral("-2x") : QString();
    savePicture(w.get(), size, "visualization-" + QString(QTest::currentDataTag()) + scale);
    release(pointOf(6, 2));
    // Drawn at the view's own size, pixel for pixel on the screen.
    QCOMPARE(page()->img->image().size(), page()->img->pixelSize());
}

QTEST_MAIN(TstVisualizePage)
#include "tst_visualize_page.moc"
