// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include <QAction>
#include <QLineEdit>
#include <QCalendarWidget>
#include <QDateEdit>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTimeZone>

#include <time.h>

#include <cmath>

#include "widgets/widgets.h"
#include "pages/geo_page.h"
#include "pages/modes.h"
#include "presentation/localization.h"
#include "fake_page_host.h"
#include "geo/geo_view.h"
#include "geo/world_map.h"
#include "link/device_model.h"
#include "link/ports.h"
#include "widgets/image_view.h"
#include "sim_fixture.h"

// The Geo page on a stand-in for the window, with the mode commands for the menu's "set time
// and date". The map at the window's sizes, the first drawing, the simulated controller, the
// page after a lost connection and the pictures need the window.
class TstGeoPage : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void mapClick_data();
    void mapClick();
    void scaledMapClick_data();
    void scaledMapClick();
    void mouseMoveOnlyShowsPosition();
    void typedCoordinates_data();
    void typedCoordinates();
    void timeSlider();
    void typedTime_data();
    void typedTime();
    void datePickedInCalendar();
    void refreshSkipsFocusedControls();
    void nowButtonAndMenu();
    void viewFollowsPageAndInfo();
    void againstSimulatedController();
    void disconnectedPageSaysSo();
    void pictures();

private:
    // The page alone, in the language of the program.
    void start(bool german)
    {
        LoadLanguageTable(german ? LanguageGerman : LanguageEnglish);
        host = std::make_unique<FakePageHost>(QStringList{"tsMessages", "tsChannels", "tsChannelsGL", "tsSchedule",
                                                          "tsConfig", "tsGeo"});
        // Both belong to the host's window.
        geoPage = new GeoPage(*host, host->model);
        modes = new ModeCommands(*host, host->model);
        // Not connected, as a window starts.
        geoPage->applyEnabling(EnableState());
        modes->applyEnabling(EnableState());
        host->window()->resize(1009, 680);
        host->window()->show();
        host->window()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(host->window()));
    }
    void openWindow(const char *language)
    {
        host.reset();
        w = makeWindow({language});
        w->show();
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
    }
    QWidget *sheet(const char *name) { return w ? w->page(name) : host->page(QString::fromLatin1(name)); }
    QWidget *current() { return w ? w->pc->currentWidget() : host->currentPage(); }
    // As a user's click on the tab: the page catches up with what it missed.
    void selectPage(const char *name)
    {
        if (w) {
            w->SelectPage(w->page(name));
            return;
        }
        host->selectPage(sheet(name));
        if (sheet(name) == sheet("tsGeo"))
            geoPage->pageShown(sheet(name), RefreshInfo | RefreshConfig | RefreshChannelNames);
    }
    void showInfo() { w ? w->ShowInfo() : geoPage->refresh(RefreshInfo); }
    void showConfig() { w ? w->ShowConfig() : geoPage->refresh(RefreshConfig | RefreshChannelNames); }
    void activate(QWidget *control)
    {
        selectPage("tsGeo");
        control->setFocus();
        QCoreApplication::processEvents();
        QVERIFY(control->hasFocus());
        model().replaceRequests(0);
    }
    // The map exactly as large as the reference map, at which every place has its pinned pixel.
    void referenceMap()
    {
        geo()->imgGeo->setFixedSize(ReferenceMapSize);
        (w ? static_cast<QWidget *>(w.get()) : host->window())->resize(1400, 900);
        QCoreApplication::processEvents();
        QCOMPARE(geo()->imgGeo->image().size() / geo()->imgGeo->image().devicePixelRatio(), ReferenceMapSize);
    }
    // The drawn map's pixel that covers the centre of a pixel of the reference map.
    QPoint shownPixel(QPoint reference)
    {
        const QSize size = geo()->imgGeo->image().size();
        return QPoint(int(std::floor((reference.x() + 0.5) * size.width() / geomap::Width)),
                      int(std::floor((reference.y() + 0.5) * size.height() / geomap::Height)));
    }
    void mouseAt(QEvent::Type type, QPoint reference)
    {
        QCoreApplication::processEvents();   // the page's layout after the page change
        ImageView *view = geo()->imgGeo;
        const QPointF at = view->positionOfImagePixel(shownPixel(reference));
        QMouseEvent event(type, at, view->mapToGlobal(at), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(view, &event);
    }
    void clickMap(QPoint reference)
    {
        mouseAt(QEvent::MouseButtonPress, reference);
        mouseAt(QEvent::MouseButtonRelease, reference);
    }
    GeoPage *geo() { return w ? w->geo : geoPage; }
    DeviceModel &model() { return w ? w->model() : host->model; }
    // The image as loaded: what a case writes here is a starting state or a read, not an edit.
    DeviceImage &image() { return model().imageForLoading(); }
    std::unique_ptr<FakePageHost> host;
    GeoPage *geoPage = nullptr;
    ModeCommands *modes = nullptr;
    std::unique_ptr<TfrmLumora> w;
};

void TstGeoPage::initTestCase()
{
    qputenv("TZ", "UTC");
    tzset();
}

void TstGeoPage::init()
{
    // The simulator test remembers its port; no other window may connect to it.
    ForgetPort();
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    start(false);
}

void TstGeoPage::cleanup()
{
    w.reset();
    host.reset();
    ForgetPort();
}

void TstGeoPage::mapClick_data()
{
    QTest::addColumn<QPoint>("pixel");
    QTest::addColumn<int>("lat");
    QTest::addColumn<int>("lon");
    QTest::addColumn<QString>("latText");
    QTest::addColumn<QString>("lonText");
    QTest::newRow("top left corner") << QPoint(0, 0) << 900 << -1800 << "90" << "-180";
    QTest::newRow("centre") << QPoint(500, 250) << 0 << 0 << "0" << "0";
    QTest::newRow("last pixel") << QPoint(999, 499) << -896 << 1796 << "-89.6" << "179.6";
    QTest::newRow("central Europe") << QPoint(528, 111) << 500 << 101 << "50" << "10.1";
}

void TstGeoPage::mapClick()
{
    QFETCH(QPoint, pixel);
    QFETCH(int, lat);
    QFETCH(int, lon);
    selectPage("tsGeo");
    referenceMap();
    model().replaceRequests(0);
    clickMap(pixel);
    QCOMPARE(int(image().Config.Lat), lat);
    QCOMPARE(int(image().Config.Lon), lon);
    QTEST(geo()->edtLat->text(), "latText");
    QTEST(geo()->edtLon->text(), "lonText");
    QCOMPARE(model().pendingRequests(), SetConfig);
    const QPoint marker = MapPixelForPlace(lat * 0.1, lon * 0.1);
    QCOMPARE(geo()->imgGeo->image().pixel(marker), geomap::MarkerColour);
}

void TstGeoPage::scaledMapClick_data()
{
    QTest::addColumn<QSize>("window");
    QTest::addColumn<QPoint>("reference");
    const QList<QPoint> pixels = {QPoint(0, 0), QPoint(500, 250), QPoint(999, 499), QPoint(528, 111), QPoint(304, 344)};
    for (const QSize window : {QSize(TfrmLumora::DesignWidth, TfrmLumora::DesignHeight), QSize(1920, 1080),
                               QSize(767, 531)})
        for (const QPoint pixel : pixels)
            QTest::addRow("%dx%d at %d,%d", window.width(), window.height(), pixel.x(), pixel.y()) << window << pixel;
}

void TstGeoPage::scaledMapClick()
{
    openWindow("-english");
    // At any window size and scale the map fills its part of the page, and a click picks the
    // place it picks on the reference map, within a pixel.
    QFETCH(QSize, window);
    QFETCH(QPoint, reference);
    w->resize(window);
    w->SelectPage(w->page("tsGeo"));
    QCoreApplication::processEvents();
    ImageView *view = geo()->imgGeo;
    const QImage &shown = view->image();
    QCOMPARE(shown.devicePixelRatio(), view->devicePixelRatioF());
    QCOMPARE(shown.size(), MapSizeWithin(view->pixelSize()));

    model().replaceRequests(0);
    clickMap(reference);
    QCOMPARE(model().pendingRequests(), SetConfig);
    const GeoPlace expected = PlaceForMapPixel(reference.x(), reference.y());
    const double lat = int16_t(image().Config.Lat) * 0.1, lon = int16_t(image().Config.Lon) * 0.1;
    QVERIFY2(std::abs(lat - expected.latitude) <= 180.0 / std::min(shown.height(), geomap::Height) + 0.05,
             qPrintable(QString::number(lat)));
    QVERIFY2(std::abs(lon - expected.longitude) <= 360.0 / std::min(shown.width(), geomap::Width) + 0.05,
             qPrintable(QString::number(lon)));

    // The marker sits where the click was: the stored place (tenths of a degree) may move
    // it by the pixels a twentieth of a degree spans.
    const QPoint clicked = shownPixel(reference);
    const QPoint marker = MapPixelForPlace(lat, lon, shown.size());
    const int slack = 1 + int(std::ceil(0.05 * std::max(shown.width() / 360.0, shown.height() / 180.0)));
    QVERIFY2(std::abs(marker.x() - clicked.x()) <= slack && std::abs(marker.y() - clicked.y()) <= slack,
             qPrintable(QStringLiteral("marker %1,%2 click %3,%4").arg(marker.x()).arg(marker.y()).arg(clicked.x()).arg(clicked.y())));
    const QPoint inside(std::min(marker.x(), shown.width() - 1), std::min(marker.y(), shown.height() - 1));
    QCOMPARE(shown.pixel(inside), geomap::MarkerColour);
}

void TstGeoPage::mouseMoveOnlyShowsPosition()
{
    selectPage("tsGeo");
    referenceMap();
    const ConfigRecord &config = image().Config;
    const QByteArray before(reinterpret_cast<const char *>(&config), sizeof config);
    model().replaceRequests(0);
    mouseAt(QEvent::MouseMove, QPoint(523, 118));
    QTRY_COMPARE(host->status[0], QStringLiteral("Mouse position: Latitude: 47.5°, Longitude: 8.3°"));
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(&config), sizeof config), before);
    QCOMPARE(model().pendingRequests(), 0u);
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(geo()->imgGeo, &leave);
    QCOMPARE(host->status[0], QString());
}

void TstGeoPage::typedCoordinates_data()
{
    QTest::addColumn<bool>("german");
    QTest::addColumn<bool>("latitude");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("stored");   // -9999: unchanged and nothing sent
    QTest::newRow("decimal comma") << true << true << "47,5" << 475;
    QTest::newRow("longitude, decimal point") << false << false << "-122.4" << -1224;
    QTest::newRow("letters") << false << true << "north" << -9999;
    QTest::newRow("point in German") << true << false << ".5" << -9999;
    QTest::newRow("latitude limited to the pole") << false << true << "123" << 900;
    QTest::newRow("beyond 16 bits, limited") << false << false << "-99999" << -1800;
}

void TstGeoPage::typedCoordinates()
{
    QFETCH(bool, german);
    QFETCH(bool, latitude);
    QFETCH(QString, typed);
    QFETCH(int, stored);
    if (german) {
        cleanup();
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        start(true);
    }
    LabeledEdit *edit = latitude ? geo()->edtLat : geo()->edtLon;
    activate(edit->edit());
    const int before = latitude ? int16_t(image().Config.Lat) : int16_t(image().Config.Lon);
    edit->edit()->clear();
    model().replaceRequests(0);
    QTest::keyClicks(edit->edit(), typed);
    const int now = latitude ? int16_t(image().Config.Lat) : int16_t(image().Config.Lon);
    if (stored == -9999) {
        QCOMPARE(now, before);
        QCOMPARE(model().pendingRequests(), 0u);
    } else {
        QCOMPARE(now, stored);
        QCOMPARE(model().pendingRequests(), SetConfig);
        QCOMPARE(edit->text(), typed);   // the edit keeps what was typed
    }
}

void TstGeoPage::timeSlider()
{
    QSlider *slider = geo()->trbTime;
    activate(slider);
    QTest::keyClick(slider, Qt::Key_End);
    QCOMPARE(slider->value(), 1439);
    QCOMPARE(int(image().Info.Hour), 23);
    QCOMPARE(int(image().Info.Minute), 59);
    QCOMPARE(geo()->edtTime->text(), QStringLiteral("23:59"));
    QCOMPARE(model().pendingRequests(), SetInfoTime);
    model().replaceRequests(0);
    QTest::keyClick(slider, Qt::Key_PageDown);   // one hour back
    QCOMPARE(int(image().Info.Hour), 22);
    QCOMPARE(int(image().Info.Minute), 59);
    QCOMPARE(model().pendingRequests(), SetInfoTime);
    // Moving to the stored time sends nothing.
    model().replaceRequests(0);
    image().Info.Hour = 10;
    image().Info.Minute = 0;
    slider->setValue(600);
    QCOMPARE(model().pendingRequests(), 0u);
}

void TstGeoPage::typedTime_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("position");
    QTest::newRow("7:5") << "7:5" << true << 425;
    QTest::newRow("23:59") << "23:59" << true << 1439;
    QTest::newRow("hour 24") << "24:00" << false << 0;
    QTest::newRow("no colon") << "0730" << false << 0;
    QTest::newRow("letters") << "ab:cd" << false << 0;
}

void TstGeoPage::typedTime()
{
    QFETCH(QString, typed);
    QFETCH(bool, valid);
    image().Info.Hour = 12;
    image().Info.Minute = 34;
    showInfo();
    QLineEdit *edit = geo()->edtTime->edit();
    activate(edit);
    edit->clear();
    model().replaceRequests(0);
    QTest::keyClicks(edit, typed);
    if (!valid) {
        QCOMPARE(int(image().Info.Hour), 12);
        QCOMPARE(int(image().Info.Minute), 34);
        QCOMPARE(geo()->trbTime->value(), 12 * 60 + 34);
        QCOMPARE(model().pendingRequests(), 0u);
        return;
    }
    QFETCH(int, position);
    QCOMPARE(geo()->trbTime->value(), position);
    QCOMPARE(image().Info.Hour * 60 + image().Info.Minute, position);
    QCOMPARE(model().pendingRequests(), SetInfoTime);
    QCOMPARE(edit->text(), typed);
}

void TstGeoPage::datePickedInCalendar()
{
    SetInfoClock(image().Info, QDateTime(QDate(2024, 3, 20), QTime(12, 0)));
    showInfo();
    QDateEdit *dtp = geo()->dtp;
    activate(dtp);
    // The arrow at the right end opens the calendar.
    QTest::mouseClick(dtp, Qt::LeftButton, {}, QPoint(dtp->width() - 6, dtp->height() / 2));
    QCalendarWidget *calendar = dtp->calendarWidget();
    QTRY_VERIFY(calendar->isVisible());
    QWidget *table = calendar->focusWidget() ? calendar->focusWidget() : calendar;
    QTest::keyClick(table, Qt::Key_Down);     // a week later
    QTest::keyClick(table, Qt::Key_Return);
    QTRY_COMPARE(dtp->date(), QDate(2024, 3, 27));
    QCOMPARE(int(image().Info.Day), 27);
    QVERIFY(model().isRequestPending(SetInfoTime));
}

void TstGeoPage::refreshSkipsFocusedControls()
{
    auto shown = [this] {
        return QStringList{geo()->edtTime->text(), QString::number(geo()->trbTime->value()),
                           geo()->dtp->date().toString(Qt::ISODate), geo()->edtLat->text(), geo()->edtLon->text()};
    };
    auto refresh = [this](const QDateTime &clock, int lat, int lon) {
        SetInfoClock(image().Info, clock);
        image().Config.Lat = int16_t(lat);
        image().Config.Lon = int16_t(lon);
        showInfo();
        showConfig();
    };
    const QDateTime first(QDate(2024, 5, 6), QTime(7, 8)), second(QDate(2024, 5, 9), QTime(21, 30));
    const QStringList firstShown{"07:08", "428", "2024-05-06", "-33.9", "151.2"};
    const QStringList secondShown{"21:30", "1290", "2024-05-09", "10", "20"};
    QWidget *controls[] = {geo()->edtTime->edit(), geo()->trbTime, geo()->dtp, geo()->edtLat->edit(),
                           geo()->edtLon->edit()};
    for (int focused = -1; focused < 5; ++focused) {
        activate(focused < 0 ? static_cast<QWidget *>(geo()->btnNow) : controls[focused]);
        refresh(first, -339, 1512);
        if (focused < 0)
            QCOMPARE(shown(), firstShown);
        geo()->btnNow->setFocus();
        refresh(first, -339, 1512);
        activate(focused < 0 ? static_cast<QWidget *>(geo()->btnNow) : controls[focused]);
        refresh(second, 100, 200);
        QStringList expected = secondShown;
        if (focused >= 0)
            expected[focused] = firstShown[focused];
        QCOMPARE(shown(), expected);
        QCOMPARE(model().pendingRequests(), 0u);
    }
    // A clock without a valid date leaves the picker as it is.
    geo()->btnNow->setFocus();
    image().Info.Month = 13;
    showInfo();
    QCOMPARE(geo()->dtp->date(), QDate(2024, 5, 9));
}

void TstGeoPage::nowButtonAndMenu()
{
    image().Config.TimeLapse = 10;
    SetInfoClock(image().Info, QDateTime(QDate(2021, 1, 2), QTime(3, 4)));
    selectPage("tsGeo");
    model().replaceRequests(0);
    const QDateTime before = QDateTime::currentDateTime();
    QTest::mouseClick(geo()->btnNow, Qt::LeftButton);
    const QDateTime clock(controllerDate(image().Info), controllerTime(image().Info));
    QVERIFY(clock.secsTo(before) <= 1 && before.secsTo(clock) <= 2);
    QCOMPARE(int(image().Config.TimeLapse), 1);
    QCOMPARE(model().pendingRequests(), SetInfoTime | SetConfig);
    QCOMPARE(geo()->edtTime->text(), ClockText(image().Info.Hour, image().Info.Minute));
    QCOMPARE(geo()->trbTime->value(), image().Info.Hour * 60 + image().Info.Minute);
    QCOMPARE(geo()->dtp->date(), controllerDate(image().Info));
    QVERIFY(geo()->lblGeo->text().startsWith(QStringLiteral("Sun: ")));

    // "Set current time and date" from the menu: the Geo page, then "Now".
    selectPage("tsMessages");
    SetInfoClock(image().Info, QDateTime(QDate(2021, 1, 2), QTime(3, 4)));
    model().replaceRequests(0);
    host->action("mnuSetTimeDate")->setEnabled(true);
    const QDate dayBefore = QDate::currentDate();
    host->action("mnuSetTimeDate")->trigger();
    const QDate dayAfter = QDate::currentDate();
    QCOMPARE(current(), sheet("tsGeo"));
    QVERIFY(controllerDate(image().Info) == dayBefore || controllerDate(image().Info) == dayAfter);
    QVERIFY(model().isRequestPending(SetInfoTime));
}

void TstGeoPage::viewFollowsPageAndInfo()
{
    openWindow("-english");
    // The map is drawn when the page is first shown, never on the way to the first window.
    QVERIFY(geo()->imgGeo->image().isNull());
    w->SelectPage(w->page("tsMessages"));
    image().Config.Lat = int16_t(0);
    image().Config.Lon = int16_t(0);
    SetInfoClock(image().Info, QDateTime(QDate(2024, 3, 20), QTime(12, 0)));
    // Not the active page: ShowInfo leaves the view alone.
    const QString oldText = geo()->lblGeo->text();
    w->ShowInfo();
    QCOMPARE(geo()->lblGeo->text(), oldText);
    // Becoming active redraws it from the image.
    w->SelectPage(w->page("tsGeo"));
    referenceMap();
    QCOMPARE(geo()->imgGeo->image().pixel(500, 250), geomap::MarkerColour);
    const QString noon = geo()->lblGeo->text();
    QCOMPARE(noon, ComputeGeoView(image().Config, image().Info).text);
    QVERIFY(noon.contains(u'\n'));
    QVERIFY(!geo()->imgMoon->image().isNull());
    // New information while active: the view follows the controller's clock.
    image().Info.Hour = 18;
    w->ShowInfo();
    QVERIFY(geo()->lblGeo->text() != noon);
    QCOMPARE(geo()->lblGeo->text(), ComputeGeoView(image().Config, image().Info).text);
    // A double click on the moon opens the configuration page.
    QTest::mouseDClick(geo()->imgMoon, Qt::LeftButton);
    QCOMPARE(w->pc->currentWidget(), w->page("tsConfig"));
}

void TstGeoPage::againstSimulatedController()
{
    cleanup();
    w = makeConnectedWindow();
    QVERIFY(w);
    SimulatedController &controller = sim(w.get());
    QVERIFY(geo()->lblGeoOffline->isHidden());
    QCOMPARE(geo()->edtLat->text(), CoordinateText(int16_t(controller.config().Lat)));
    QCOMPARE(geo()->edtLon->text(), CoordinateText(int16_t(controller.config().Lon)));

    // A place picked on the map, a typed time and "Now" reach the controller.
    w->SelectPage(w->page("tsGeo"));
    referenceMap();
    clickMap(QPoint(250, 125));
    QTRY_COMPARE_WITH_TIMEOUT(int(int16_t(controller.config().Lat)), 450, 5000);
    QCOMPARE(int(int16_t(controller.config().Lon)), -900);
    QLineEdit *time = geo()->edtTime->edit();
    activate(time);
    time->clear();
    // Half a day away from the controller's clock, which runs with this computer's: the hour
    // typed is never the one the controller already has, whatever the time of day.
    const int hour = (controller.deviceTime().time().hour() + 12) % 24;
    QTest::keyClicks(time, QStringLiteral("%1:5").arg(hour));
    QTRY_VERIFY_WITH_TIMEOUT(controller.deviceTime().time().hour() == hour, 5000);
    QVERIFY(qAbs(controller.deviceTime().time().minute() - 5) <= 1);
    QTest::mouseClick(geo()->btnNow, Qt::LeftButton);
    const QDateTime now = QDateTime::currentDateTime();
    const QDateTime wallClock(now.date(), now.time(), QTimeZone::utc());
    QTRY_VERIFY_WITH_TIMEOUT(qAbs(controller.deviceTime().secsTo(wallClock)) <= 2, 5000);
    // The polled clock comes back into the page's controls (at midnight it may be a day on).
    geo()->btnNow->setFocus();
    QTRY_VERIFY_WITH_TIMEOUT(geo()->dtp->date() == now.date() || geo()->dtp->date() == now.date().addDays(1), 5000);
}

void TstGeoPage::disconnectedPageSaysSo()
{
    openWindow("-english");
    // Not connected: a place picked here is shown, and the page says plainly that it does
    // not reach any controller.
    w->SelectPage(w->page("tsGeo"));
    QVERIFY(geo()->lblGeoOffline->isVisible());
    QCOMPARE(geo()->lblGeoOffline->text(),
             QStringLiteral("Not connected: place, date and time chosen here are only shown and do not change the "
                            "controller."));
    QVERIFY(geo()->lblGeoOffline->geometry().bottom() < geo()->imgGeo->geometry().top());
    referenceMap();
    clickMap(QPoint(250, 125));
    QCOMPARE(int(int16_t(image().Config.Lat)), 450);
    QCOMPARE(geo()->edtLat->text(), QStringLiteral("45"));
    w->SetConnected(true);
    QVERIFY(geo()->lblGeoOffline->isHidden());
    w->SetConnected(false);   // the window turns to the Messages page
    QVERIFY(!geo()->lblGeoOffline->isHidden());

    cleanup();
    w = makeWindow({"-german"});
    w->show();
    w->SelectPage(w->page("tsGeo"));
    QVERIFY(geo()->lblGeoOffline->text().startsWith(QStringLiteral("Nicht verbunden:")));
}

void TstGeoPage::pictures()
{
    for (bool german : {false, true}) {
        cleanup();
        QLocale::setDefault(german ? QLocale(QLocale::German, QLocale::Germany)
                                   : QLocale(QLocale::English, QLocale::UnitedStates));
        w = makeWindow({german ? "-german" : "-english"});
        SetInfoClock(image().Info, QDateTime(QDate(2024, 3, 20), QTime(16, 0)));
        if (german) {   // far east, near the map's edge
            image().Config.Lat = int16_t(-339);
            image().Config.Lon = int16_t(1512);
        }
        w->show();
        w->ShowInfo();
        w->ShowConfig();
        w->SelectPage(w->page("tsGeo"));
        const QString suffix = german ? QStringLiteral("_de") : QStringLiteral("_en");
        const QString scale = w->devicePixelRatioF() > 1 ? QStringLiteral("_2x") : QString();
        savePicture(w.get(), QSize(TfrmLumora::DesignWidth, TfrmLumora::DesignHeight), "geo_design" + suffix + scale);
        savePicture(w.get(), QSize(1920, 1080), "geo_1920" + suffix + scale);
        w->resize(767, 531);
        w->SelectPage(w->page("tsMessages"));
        w->SelectPage(w->page("tsGeo"));
        savePicture(w.get(), QSize(767, 531), "geo_small" + suffix + scale);
        const QImage &shown = geo()->imgGeo->image();
        const QPoint marker = MapPixelForPlace(int16_t(image().Config.Lat) * 0.1, int16_t(image().Config.Lon) * 0.1, shown.size());
        QVERIFY(shown.rect().contains(marker));
        QCOMPARE(shown.pixel(marker), geomap::MarkerColour);
        QVERIFY(geo()->lblGeo->isVisible());
        QVERIFY(geo()->imgMoon->isVisible());
        QVERIFY(geo()->trbTime->width() >= 100);
    }
}

QTEST_MAIN(TstGeoPage)
#include "tst_geo_page.moc"
