#include <QAction>
#include <QCalendarWidget>
#include <QDateEdit>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollArea>
#include <QSlider>
#include <QTest>

#include <time.h>

#include "app/widgets.h"
#include "astro/geo_page.h"
#include "astro/geo_view.h"
#include "astro/world_map.h"
#include "link/device_image.h"
#include "window_fixture.h"

class TstGeoPage : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void controlsAndStartUp();
    void mapClick_data();
    void mapClick();
    void mapPickClamps_data();
    void mapPickClamps();
    void mouseMoveOnlyShowsPosition();
    void typedCoordinates_data();
    void typedCoordinates();
    void unfocusedChangesSendNothing();
    void timeSlider();
    void typedTime_data();
    void typedTime();
    void datePicker();
    void datePickedInCalendar();
    void refreshSkipsFocusedControls();
    void invalidControllerDateKeepsPicker();
    void nowButtonAndMenu();
    void viewFollowsPageAndInfo();
    void moonDoubleClickOpensConfiguration();
    void pictures();

private:
    void activate(QWidget *control)
    {
        w->SelectPage(w->page("tsGeo"));
        control->setFocus();
        QCoreApplication::processEvents();
        QVERIFY(control->hasFocus());
        setRequestFlags(0);
    }
    void clickMap(QPoint pixel)
    {
        QCoreApplication::processEvents();   // the page's layout after the page change
        geo()->scrollGeo->ensureVisible(pixel.x(), pixel.y(), 2, 2);
        QCoreApplication::processEvents();
        if (pixel.isNull()) {
            // QTest takes a null position for the widget's centre.
            QMouseEvent press(QEvent::MouseButtonPress, QPointF(0, 0), geo()->imgGeo->mapToGlobal(QPointF(0, 0)),
                              Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(geo()->imgGeo, &press);
        } else {
            QTest::mouseClick(geo()->imgGeo, Qt::LeftButton, {}, pixel);
        }
    }
    GeoPage *geo() { return w->geo; }
    std::unique_ptr<TfrmLumora> w;
};

void TstGeoPage::initTestCase()
{
    qputenv("TZ", "UTC");
    tzset();
}

void TstGeoPage::init()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    resetDeviceImage();
    w = makeWindow({"-english"});
    w->show();
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
}

void TstGeoPage::cleanup() { w.reset(); }

void TstGeoPage::controlsAndStartUp()
{
    QWidget *page = w->page("tsGeo");
    for (const char *name : {"imgGeo", "lblGeo", "edtLat", "edtLon", "edtTime", "dtp", "btnNow", "trbTime", "imgMoon"})
        QVERIFY2(page->findChild<QWidget *>(QString::fromLatin1(name)), name);
    QCOMPARE(geo()->edtLat->caption(), QStringLiteral("Latitude"));
    QCOMPARE(geo()->edtTime->caption(), QStringLiteral("Time (HH:MM)"));
    QCOMPARE(geo()->btnNow->text(), QStringLiteral("Now"));
    QCOMPARE(geo()->trbTime->maximum(), 1439);
    QCOMPARE(geo()->trbTime->pageStep(), 60);
    QCOMPARE(geo()->trbTime->tickInterval(), 60);
    QCOMPARE(geo()->imgGeo->size(), QSize(1000, 500));
    QCOMPARE(geo()->imgMoon->size(), QSize(60, 60));
    QCOMPARE(geo()->imgGeo->cursor().shape(), Qt::CrossCursor);
    // The start-up "Now" and ShowConfig have filled the page.
    QCOMPARE(geo()->edtLat->text(), QStringLiteral("50.1"));
    QCOMPARE(geo()->edtLon->text(), QStringLiteral("8.5"));
    QCOMPARE(geo()->dtp->date(), QDate::currentDate());
    QCOMPARE(geo()->WorldMap(), BuiltInWorldMap());
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
    QTest::newRow("last pixel, scrolled into view") << QPoint(999, 499) << -896 << 1796 << "-89.6" << "179.6";
    QTest::newRow("central Europe") << QPoint(528, 111) << 500 << 101 << "50" << "10.1";
}

void TstGeoPage::mapClick()
{
    QFETCH(QPoint, pixel);
    QFETCH(int, lat);
    QFETCH(int, lon);
    w->SelectPage(w->page("tsGeo"));
    setRequestFlags(0);
    clickMap(pixel);
    QCOMPARE(int(Config.Lat), lat);
    QCOMPARE(int(Config.Lon), lon);
    QTEST(geo()->edtLat->text(), "latText");
    QTEST(geo()->edtLon->text(), "lonText");
    QCOMPARE(pendingRequests(), SetConfig);
    const QPoint marker = MapPixelForPlace(lat * 0.1, lon * 0.1);
    QCOMPARE(geo()->imgGeo->image().pixel(marker), geomap::MarkerColour);
}

void TstGeoPage::mapPickClamps_data()
{
    QTest::addColumn<QPoint>("pixel");
    QTest::addColumn<int>("lat");
    QTest::addColumn<int>("lon");
    QTest::newRow("bottom right edge") << QPoint(1000, 500) << -900 << 1800;
    QTest::newRow("beyond bottom right") << QPoint(1200, 9999) << -900 << 1800;
    QTest::newRow("beyond top left") << QPoint(-3, -1) << 900 << -1800;
}

void TstGeoPage::mapPickClamps()
{
    QFETCH(QPoint, pixel);
    geo()->imgGeoMouseDown(pixel);
    QTEST(int(Config.Lat), "lat");
    QTEST(int(Config.Lon), "lon");
}

void TstGeoPage::mouseMoveOnlyShowsPosition()
{
    w->SelectPage(w->page("tsGeo"));
    const QByteArray before(reinterpret_cast<const char *>(&Config), sizeof Config);
    setRequestFlags(0);
    QCoreApplication::processEvents();
    geo()->scrollGeo->ensureVisible(0, 0);
    QCoreApplication::processEvents();
    QTest::mouseMove(geo()->imgGeo, QPoint(523, 118));
    QTRY_COMPARE(w->sbPanel[0]->text(), QStringLiteral("Mouse position: Latitude: 47.5°, Longitude: 8.3°"));
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(&Config), sizeof Config), before);
    QCOMPARE(pendingRequests(), 0u);
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(geo()->imgGeo, &leave);
    QCOMPARE(w->sbPanel[0]->text(), QString());
}

void TstGeoPage::typedCoordinates_data()
{
    QTest::addColumn<bool>("german");
    QTest::addColumn<bool>("latitude");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("stored");   // -9999: unchanged and nothing sent
    QTest::newRow("decimal comma") << true << true << "47,5" << 475;
    QTest::newRow("decimal point") << false << true << "-33.9" << -339;
    QTest::newRow("longitude") << false << false << "-122.4" << -1224;
    QTest::newRow("letters") << false << true << "north" << -9999;
    QTest::newRow("point in German") << true << false << ".5" << -9999;
    QTest::newRow("latitude limited to the pole") << false << true << "123" << 900;
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
        resetDeviceImage();
        w = makeWindow({"-german"});
        w->show();
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
    }
    LabeledEdit *edit = latitude ? geo()->edtLat : geo()->edtLon;
    activate(edit->edit());
    const int before = latitude ? int16_t(Config.Lat) : int16_t(Config.Lon);
    edit->edit()->clear();
    setRequestFlags(0);
    QTest::keyClicks(edit->edit(), typed);
    const int now = latitude ? int16_t(Config.Lat) : int16_t(Config.Lon);
    if (stored == -9999) {
        QCOMPARE(now, before);
        QCOMPARE(pendingRequests(), 0u);
    } else {
        QCOMPARE(now, stored);
        QCOMPARE(pendingRequests(), SetConfig);
        QCOMPARE(edit->text(), typed);   // the edit keeps what was typed
    }
}

void TstGeoPage::unfocusedChangesSendNothing()
{
    activate(geo()->btnNow);
    const QByteArray config(reinterpret_cast<const char *>(&Config), sizeof Config);
    const QByteArray info(reinterpret_cast<const char *>(&Info), sizeof Info);
    geo()->edtLat->setText(QStringLiteral("12.5"));
    geo()->edtLon->setText(QStringLiteral("-3"));
    geo()->edtTime->setText(QStringLiteral("04:05"));
    geo()->trbTime->setValue(77);
    geo()->dtp->setDate(QDate(2030, 1, 1));
    QCOMPARE(pendingRequests(), 0u);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(&Config), sizeof Config), config);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(&Info), sizeof Info), info);
}

void TstGeoPage::timeSlider()
{
    QSlider *slider = geo()->trbTime;
    activate(slider);
    QTest::keyClick(slider, Qt::Key_End);
    QCOMPARE(slider->value(), 1439);
    QCOMPARE(int(Info.Hour), 23);
    QCOMPARE(int(Info.Minute), 59);
    QCOMPARE(geo()->edtTime->text(), QStringLiteral("23:59"));
    QCOMPARE(pendingRequests(), SetInfoTime);
    setRequestFlags(0);
    QTest::keyClick(slider, Qt::Key_PageDown);   // one hour back
    QCOMPARE(int(Info.Hour), 22);
    QCOMPARE(int(Info.Minute), 59);
    QCOMPARE(pendingRequests(), SetInfoTime);
    // Moving to the stored time sends nothing.
    setRequestFlags(0);
    Info.Hour = 10;
    Info.Minute = 0;
    slider->setValue(600);
    QCOMPARE(pendingRequests(), 0u);
}

void TstGeoPage::typedTime_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("position");
    QTest::newRow("7:5") << "7:5" << true << 425;
    QTest::newRow("23:59") << "23:59" << true << 1439;
    QTest::newRow("hour 25") << "25:00" << false << 0;
    QTest::newRow("no colon") << "0730" << false << 0;
    QTest::newRow("letters") << "ab:cd" << false << 0;
}

void TstGeoPage::typedTime()
{
    QFETCH(QString, typed);
    QFETCH(bool, valid);
    Info.Hour = 12;
    Info.Minute = 34;
    w->ShowInfo();
    QLineEdit *edit = geo()->edtTime->edit();
    activate(edit);
    edit->clear();
    setRequestFlags(0);
    QTest::keyClicks(edit, typed);
    if (!valid) {
        QCOMPARE(int(Info.Hour), 12);
        QCOMPARE(int(Info.Minute), 34);
        QCOMPARE(geo()->trbTime->value(), 12 * 60 + 34);
        QCOMPARE(pendingRequests(), 0u);
        return;
    }
    QFETCH(int, position);
    QCOMPARE(geo()->trbTime->value(), position);
    QCOMPARE(Info.Hour * 60 + Info.Minute, position);
    QCOMPARE(pendingRequests(), SetInfoTime);
    QCOMPARE(edit->text(), typed);
}

void TstGeoPage::datePicker()
{
    SetInfoClock(Info, QDateTime(QDate(2024, 3, 20), QTime(12, 0)));
    w->ShowInfo();
    QCOMPARE(geo()->dtp->date(), QDate(2024, 3, 20));
    QDateEdit *dtp = geo()->dtp;
    activate(dtp);
    dtp->setCurrentSection(QDateTimeEdit::DaySection);
    QTest::keyClick(dtp, Qt::Key_Up);
    QCOMPARE(dtp->date(), QDate(2024, 3, 21));
    QCOMPARE(int(Info.Day), 21);
    QCOMPARE(int(Info.Month), 3);
    QCOMPARE(int(Info.Year), 24);
    QCOMPARE(pendingRequests(), SetInfoTime);
}

void TstGeoPage::datePickedInCalendar()
{
    SetInfoClock(Info, QDateTime(QDate(2024, 3, 20), QTime(12, 0)));
    w->ShowInfo();
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
    QCOMPARE(int(Info.Day), 27);
    QVERIFY(isRequestPending(SetInfoTime));
}

void TstGeoPage::refreshSkipsFocusedControls()
{
    SetInfoClock(Info, QDateTime(QDate(2024, 5, 6), QTime(7, 8)));
    Config.Lat = int16_t(-339);
    Config.Lon = int16_t(1512);
    setRequestFlags(0);
    w->ShowInfo();
    w->ShowConfig();
    QCOMPARE(geo()->edtTime->text(), QStringLiteral("07:08"));
    QCOMPARE(geo()->trbTime->value(), 428);
    QCOMPARE(geo()->dtp->date(), QDate(2024, 5, 6));
    QCOMPARE(geo()->edtLat->text(), QStringLiteral("-33.9"));
    QCOMPARE(geo()->edtLon->text(), QStringLiteral("151.2"));
    QCOMPARE(pendingRequests() & (SetInfoTime | SetConfig), 0u);

    struct Case {
        QWidget *focus;
        std::function<bool()> untouched;
    };
    const Case cases[] = {
        {geo()->edtTime->edit(), [&] { return geo()->edtTime->text() == u"07:08"; }},
        {geo()->trbTime, [&] { return geo()->trbTime->value() == 428; }},
        {geo()->dtp, [&] { return geo()->dtp->date() == QDate(2024, 5, 6); }},
        {geo()->edtLat->edit(), [&] { return geo()->edtLat->text() == u"-33.9"; }},
        {geo()->edtLon->edit(), [&] { return geo()->edtLon->text() == u"151.2"; }},
    };
    for (const Case &c : cases) {
        activate(c.focus);
        SetInfoClock(Info, QDateTime(QDate(2024, 5, 9), QTime(21, 30)));
        Config.Lat = int16_t(100);
        Config.Lon = int16_t(200);
        w->ShowInfo();
        w->ShowConfig();
        QVERIFY2(c.untouched(), qPrintable(c.focus->objectName()));
        QCOMPARE(pendingRequests(), 0u);
        // Back to the first values for the next control.
        SetInfoClock(Info, QDateTime(QDate(2024, 5, 6), QTime(7, 8)));
        Config.Lat = int16_t(-339);
        Config.Lon = int16_t(1512);
        geo()->btnNow->setFocus();
        w->ShowInfo();
        w->ShowConfig();
    }
}

void TstGeoPage::invalidControllerDateKeepsPicker()
{
    SetInfoClock(Info, QDateTime(QDate(2024, 5, 6), QTime(7, 8)));
    w->ShowInfo();
    Info.Month = 13;
    w->ShowInfo();
    QCOMPARE(geo()->dtp->date(), QDate(2024, 5, 6));
    Info.Month = 2;
    Info.Day = 30;
    w->ShowInfo();
    QCOMPARE(geo()->dtp->date(), QDate(2024, 5, 6));
    // The page shows no sky for a clock that holds no date.
    w->SelectPage(w->page("tsGeo"));
    w->ShowInfo();
    QCOMPARE(geo()->lblGeo->text(), QString());
}

void TstGeoPage::nowButtonAndMenu()
{
    Config.TimeLapse = 10;
    SetInfoClock(Info, QDateTime(QDate(2021, 1, 2), QTime(3, 4)));
    w->SelectPage(w->page("tsGeo"));
    setRequestFlags(0);
    const QDateTime before = QDateTime::currentDateTime();
    QTest::mouseClick(geo()->btnNow, Qt::LeftButton);
    const QDateTime clock(controllerDate(Info), controllerTime(Info));
    QVERIFY(clock.secsTo(before) <= 1 && before.secsTo(clock) <= 2);
    QCOMPARE(int(Config.TimeLapse), 1);
    QCOMPARE(pendingRequests(), SetInfoTime | SetConfig);
    QCOMPARE(geo()->edtTime->text(), ClockText(Info.Hour, Info.Minute));
    QCOMPARE(geo()->trbTime->value(), Info.Hour * 60 + Info.Minute);
    QCOMPARE(geo()->dtp->date(), controllerDate(Info));
    QVERIFY(geo()->lblGeo->text().startsWith(QStringLiteral("Sun: ")));

    // "Set current time and date" from the menu: the Geo page, then "Now".
    w->SelectPage(w->page("tsMessages"));
    SetInfoClock(Info, QDateTime(QDate(2021, 1, 2), QTime(3, 4)));
    setRequestFlags(0);
    w->action("mnuSetTimeDate")->setEnabled(true);
    w->action("mnuSetTimeDate")->trigger();
    QCOMPARE(w->pc->currentWidget(), w->page("tsGeo"));
    QCOMPARE(controllerDate(Info), QDate::currentDate());
    QVERIFY(isRequestPending(SetInfoTime));
}

void TstGeoPage::viewFollowsPageAndInfo()
{
    w->SelectPage(w->page("tsMessages"));
    Config.Lat = int16_t(0);
    Config.Lon = int16_t(0);
    SetInfoClock(Info, QDateTime(QDate(2024, 3, 20), QTime(12, 0)));
    // Not the active page: ShowInfo leaves the view alone.
    const QString oldText = geo()->lblGeo->text();
    w->ShowInfo();
    QCOMPARE(geo()->lblGeo->text(), oldText);
    // Becoming active redraws it from the image.
    w->SelectPage(w->page("tsGeo"));
    QCOMPARE(geo()->imgGeo->image().pixel(500, 250), geomap::MarkerColour);
    const QString noon = geo()->lblGeo->text();
    QCOMPARE(noon, ComputeGeoView(Config, Info).text);
    QVERIFY(noon.contains(u'\n'));
    QVERIFY(!geo()->imgMoon->image().isNull());
    // New information while active: the view follows the controller's clock.
    Info.Hour = 18;
    w->ShowInfo();
    QVERIFY(geo()->lblGeo->text() != noon);
    QCOMPARE(geo()->lblGeo->text(), ComputeGeoView(Config, Info).text);
}

void TstGeoPage::moonDoubleClickOpensConfiguration()
{
    w->SelectPage(w->page("tsGeo"));
    QTest::mouseDClick(geo()->imgMoon, Qt::LeftButton);
    QCOMPARE(w->pc->currentWidget(), w->page("tsConfig"));
}

void TstGeoPage::pictures()
{
    for (bool german : {false, true}) {
        cleanup();
        QLocale::setDefault(german ? QLocale(QLocale::German, QLocale::Germany)
                                   : QLocale(QLocale::English, QLocale::UnitedStates));
        resetDeviceImage();
        w = makeWindow({german ? "-german" : "-english"});
        SetInfoClock(Info, QDateTime(QDate(2024, 3, 20), QTime(16, 0)));
        w->show();
        w->ShowInfo();
        w->ShowConfig();
        w->SelectPage(w->page("tsGeo"));
        const QString suffix = german ? QStringLiteral("_de") : QStringLiteral("_en");
        savePicture(w.get(), QSize(TfrmLumora::DesignWidth, TfrmLumora::DesignHeight), "geo_design" + suffix);
        savePicture(w.get(), QSize(767, 600), "geo_small" + suffix);
        QVERIFY(geo()->lblGeo->isVisible());
        QVERIFY(geo()->imgMoon->isVisible());
        QVERIFY(geo()->trbTime->width() >= 100);
    }
}

QTEST_MAIN(TstGeoPage)
#include "tst_geo_page.moc"
