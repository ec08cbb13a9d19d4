// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "pages/geo_page.h"

#include <QBoxLayout>
#include <QCalendarWidget>
#include <QDateEdit>
#include <QEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>

#include <algorithm>
#include <cmath>
#include <exception>

#include "geo/geo_view.h"
#include "geo/world_map.h"
#include "link/device_model.h"
#include "pages/page_host.h"
#include "presentation/localization.h"
#include "presentation/number_format.h"
#include "widgets/accessible_summary.h"
#include "widgets/image_view.h"
#include "widgets/widgets.h"

namespace {
// The clock of the controller holds a two-digit year.
const QDate FirstDate(2000, 1, 1);
const QDate LastDate(2099, 12, 31);
}  // namespace

GeoPage::GeoPage(PageHost &host, DeviceModel &model) : QObject(host.window()), Page(model), w(host), m_sheet(host.page(QStringLiteral("tsGeo")))
{
    buildPage(m_sheet);
    m_sheet->installEventFilter(this);
}

bool GeoPage::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Show && watched == m_sheet) {
        // The page's layout is still pending when it is shown; the map is drawn at its final size.
        if (QLayout *layout = m_sheet->layout())
            layout->activate();
        mapNeedsDrawing();
    }
    return QObject::eventFilter(watched, event);
}

void GeoPage::mapNeedsDrawing()
{
    if (!mapShown()) {
        m_mapStale = true;
        return;
    }
    const QImage &shown = imgGeo->image();
    if (m_mapStale || shown.size() != MapSizeWithin(imgGeo->pixelSize()) ||
        shown.devicePixelRatio() != imgGeo->pixelRatio())
        drawMap();
}

GeoPlace GeoPage::placeAt(QPointF position) const
{
    const QImage &shown = imgGeo->image();
    const QPointF pixel = imgGeo->imagePixelAt(position);
    return PlaceForMapPixel(int(std::floor(pixel.x())), int(std::floor(pixel.y())),
                            shown.isNull() ? ReferenceMapSize : shown.size());
}

void GeoPage::buildPage(QWidget *page)
{
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(6);

    // While no controller is connected nothing chosen here can reach one, and the next
    // connection's download puts the controller's own place and clock on the page; the
    // page says so instead of letting an edit vanish without a word.
    lblGeoOffline = new QLabel(QStringLiteral("Not connected: place, date and time chosen here are only shown and do "
                                              "not change the controller."),
                               page);
    lblGeoOffline->setObjectName(QStringLiteral("lblGeoOffline"));
    lblGeoOffline->setWordWrap(true);
    lblGeoOffline->setMargin(6);
    lblGeoOffline->setFrameShape(QFrame::StyledPanel);
    lblGeoOffline->setAutoFillBackground(true);
    {
        QPalette palette = lblGeoOffline->palette();
        palette.setColor(QPalette::Window, QColor(0xFF, 0xF4, 0xCE));
        palette.setColor(QPalette::WindowText, QColor(0x40, 0x30, 0x00));
        lblGeoOffline->setPalette(palette);
        QFont font = lblGeoOffline->font();
        font.setBold(true);
        lblGeoOffline->setFont(font);
    }
    layout->addWidget(lblGeoOffline);

    imgGeo = new ImageView(QStringLiteral("imgGeo"), page);
    imgGeo->setCursor(Qt::CrossCursor);
    imgGeo->setMouseTracking(true);
    // A click on the map ends typing in the coordinate edits.
    imgGeo->setFocusPolicy(Qt::ClickFocus);
    imgGeo->setMinimumSize(240, 120);
    imgGeo->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    layout->addWidget(imgGeo, 1);

    auto *controls = new QHBoxLayout;
    controls->setSpacing(10);
    auto coordinate = [&](const char *name, const char *caption, const char *hint) {
        auto *edit = new LabeledEdit(QString::fromLatin1(name), page);
        edit->setCaption(QString::fromLatin1(caption));
        edit->setHint(QString::fromLatin1(hint));
        edit->edit()->setFixedWidth(70);
        controls->addWidget(edit, 0, Qt::AlignBottom);
        connect(edit, &LabeledEdit::textChanged, this, &GeoPage::edtLatChange);
        return edit;
    };
    edtLat = coordinate("edtLat", "Latitude", "positive: north, negative: south");
    edtLon = coordinate("edtLon", "Longitude", "positive: east, negative: west");

    dtp = new QDateEdit(page);
    dtp->setObjectName(QStringLiteral("dtp"));
    dtp->setCalendarPopup(true);
    dtp->setDisplayFormat(QLocale().dateFormat(QLocale::LongFormat));
    dtp->setDateRange(FirstDate, LastDate);
    {
        // Wide enough for the longest date of the year in this language, not just today's.
        const QFontMetrics metrics(dtp->font());
        int widest = 0;
        for (int month = 1; month <= 12; ++month)
            for (int day = 22; day <= 28; ++day)   // every weekday with a two-digit day
                widest = std::max(widest, metrics.horizontalAdvance(dtp->locale().toString(
                                              QDate(2028, month, day), dtp->displayFormat())));
        dtp->setMinimumWidth(dtp->sizeHint().width() - metrics.horizontalAdvance(dtp->text()) + widest);
    }
    controls->addWidget(dtp, 0, Qt::AlignBottom);
    connect(dtp, &QDateEdit::dateChanged, this, &GeoPage::dtpChange);

    edtTime = new LabeledEdit(QStringLiteral("edtTime"), page);
    edtTime->setCaption(QStringLiteral("Time (HH:MM)"));
    edtTime->edit()->setFixedWidth(70);
    controls->addWidget(edtTime, 0, Qt::AlignBottom);
    connect(edtTime, &LabeledEdit::textChanged, this, &GeoPage::edtTimeChange);

    btnNow = new QPushButton(QStringLiteral("Now"), page);
    btnNow->setObjectName(QStringLiteral("btnNow"));
    btnNow->setToolTip(QStringLiteral("Set current time and date"));
    controls->addWidget(btnNow, 0, Qt::AlignBottom);
    connect(btnNow, &QPushButton::clicked, this, &GeoPage::btnNowClick);

    trbTime = new QSlider(Qt::Horizontal, page);
    trbTime->setObjectName(QStringLiteral("trbTime"));
    trbTime->setRange(0, 24 * 60 - 1);
    trbTime->setPageStep(60);
    trbTime->setSingleStep(1);
    trbTime->setTickInterval(60);
    trbTime->setTickPosition(QSlider::TicksBelow);
    trbTime->setMinimumWidth(100);
    trbTime->setProperty("accessibleRange", QStringList{QStringLiteral("00:00"), QStringLiteral("23:59")});
    controls->addWidget(trbTime, 1, Qt::AlignBottom);
    connect(trbTime, &QSlider::valueChanged, this, &GeoPage::trbTimeChange);
    layout->addLayout(controls);

    auto *sky = new QHBoxLayout;
    sky->setSpacing(8);
    lblGeo = new QLabel(page);
    lblGeo->setObjectName(QStringLiteral("lblGeo"));
    lblGeo->setTextFormat(Qt::PlainText);
    lblGeo->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    lblGeo->setTextInteractionFlags(Qt::TextSelectableByMouse);
    imgMoon = new ImageView(QStringLiteral("imgMoon"), page);
    imgMoon->setFixedSize(geoview::MoonImageSize, geoview::MoonImageSize);
    imgMoon->setBackground(Qt::transparent);
    imgMoon->setReportsDoubleClicks(true);
    sky->addWidget(lblGeo, 1);
    sky->addWidget(imgMoon);
    layout->addLayout(sky);

    connect(imgGeo, &ImageView::pressed, this, &GeoPage::imgGeoMouseDown);
    connect(imgGeo, &ImageView::moved, this, &GeoPage::imgGeoMouseMove);
    connect(imgGeo, &ImageView::left, this, &GeoPage::imgGeoMouseLeave);
    connect(imgGeo, &ImageView::needsDrawing, this, &GeoPage::mapNeedsDrawing);
    connect(imgMoon, &ImageView::doubleClicked, this, &GeoPage::imgMoonDblClick);
}

bool GeoPage::dtpHasFocus() const
{
    const QCalendarWidget *calendar = dtp->calendarWidget();
    return dtp->hasFocus() || (calendar && calendar->isVisible());
}

const QImage &GeoPage::WorldMap() const { return BuiltInWorldMap(); }

bool GeoPage::mapShown() const
{
    return m_sheet->isVisible() || w.currentPage() == m_sheet;
}

void GeoPage::drawMap()
{
    // Drawn from the land data at the shown size, so that it stays sharp at any scale.
    const QSize size = MapSizeWithin(imgGeo->pixelSize());
    const QImage &shown = imgGeo->image();
    // A new clock moves nothing on the map: the copy of a large map is spared then.
    if (!m_mapStale && shown.size() == size && shown.devicePixelRatio() == imgGeo->pixelRatio() &&
        m_markerLat == int16_t(device().Config.Lat) && m_markerLon == int16_t(device().Config.Lon))
        return;
    QImage map = BuiltInWorldMap(size, imgGeo->pixelRatio());
    m_markerLat = int16_t(device().Config.Lat);
    m_markerLon = int16_t(device().Config.Lon);
    DrawPlaceMarker(map, m_markerLat * 0.1, m_markerLon * 0.1);
    imgGeo->setImage(map);
    m_mapStale = false;
}

void GeoPage::UpdateGeoView()
{
    if (mapShown())
        drawMap();
    else
        m_mapStale = true;

    // A failure shows no values rather than those of another place or time.
    GeoViewResult view;
    try {
        view = ComputeGeoView(device().Config, device().Info);
    } catch (const std::exception &) {
        view = GeoViewResult();
    }
    lblGeo->setText(view.text);
    imgMoon->setImage(MoonPhaseImage(view, imgMoon->pixelRatio()));
    describeView(view.text);
}

void GeoPage::describeView(const QString &skyText)
{
    // The pictures in words: the place marked on the map and the sky text below it.
    const QStringList lines = skyText.split(u'\n');
    SetAccessibleSummary(imgGeo, Translate(QStringLiteral("AccMapName")),
                         TranslateFmt(QStringLiteral("AccMapSummary"),
                                      {CoordinateText(device().Config.Lat), CoordinateText(device().Config.Lon),
                                       lines.join(QStringLiteral(". "))}));
    SetAccessibleSummary(imgMoon, Translate(QStringLiteral("AccMoonName")), lines.value(1));
}

void GeoPage::applyEnabling(const EnableState &state) { lblGeoOffline->setVisible(!state.connected); }

void GeoPage::pageShown(QWidget *, unsigned missed)
{
    m_showing = true;
    refresh(missed);
    m_showing = false;
    UpdateGeoView();
}

void GeoPage::showClock(bool unlessFocused)
{
    if (!unlessFocused || !edtTime->editHasFocus()) {
        const QSignalBlocker quiet(edtTime);
        edtTime->setText(ClockText(device().Info.Hour, device().Info.Minute));
    }
    if (!unlessFocused || !trbTime->hasFocus()) {
        const QSignalBlocker quiet(trbTime);
        trbTime->setValue(device().Info.Hour * 60 + device().Info.Minute);
    }
}

void GeoPage::showDate(const QDate &date)
{
    // A date the picker cannot show leaves it as it is.
    if (!date.isValid() || date < FirstDate || date > LastDate)
        return;
    const QSignalBlocker quiet(dtp);
    dtp->setDate(date);
}

void GeoPage::showInfo()
{
    showClock(true);
    if (!dtpHasFocus())
        showDate(QDate(controllerYear(device().Info), device().Info.Month, device().Info.Day));
    if (!m_showing)
        UpdateGeoView();
}

void GeoPage::showConfig()
{
    for (LabeledEdit *edit : {edtLat, edtLon}) {
        if (edit->editHasFocus())
            continue;
        const QSignalBlocker quiet(edit);
        edit->setText(CoordinateText(edit == edtLat ? int16_t(device().Config.Lat) : int16_t(device().Config.Lon)));
    }
}

void GeoPage::btnNowClick()
{
    const QDateTime now = QDateTime::currentDateTime();
    model().setClockFromHost(now);
    showDate(now.date());
    showClock(false);
    UpdateGeoView();
}

void GeoPage::imgGeoMouseDown(QPointF position)
{
    const GeoPlace place = placeAt(position);
    const auto lat = int16_t(RoundHalfEven(place.latitude * 10));
    const auto lon = int16_t(RoundHalfEven(place.longitude * 10));
    model().editConfig([lat, lon](ConfigRecord &c) {
        c.Lat = lat;
        c.Lon = lon;
    });
    for (LabeledEdit *edit : {edtLat, edtLon}) {
        const QSignalBlocker quiet(edit);
        edit->setText(CoordinateText(edit == edtLat ? lat : lon));
    }
    UpdateGeoView();
}

void GeoPage::imgGeoMouseMove(QPointF position)
{
    const GeoPlace place = placeAt(position);
    w.setStatusPanel(0, MousePositionText(place.latitude, place.longitude));
}

void GeoPage::imgGeoMouseLeave() { w.setStatusPanel(0, QString()); }

void GeoPage::edtLatChange()
{
    if (!edtLat->editHasFocus() && !edtLon->editHasFocus())
        return;
    const std::optional<PlaceTenths> place = ParsePlaceTexts(edtLat->text(), edtLon->text());
    if (!place)
        return;
    model().editConfig([&place](ConfigRecord &c) {
        c.Lat = place->lat;
        c.Lon = place->lon;
    });
    UpdateGeoView();
}

void GeoPage::dtpChange()
{
    if (!dtpHasFocus())
        return;
    const QDate date = dtp->date();
    model().editClock([&date](InfoRecord &info) {
        info.Day = uint8_t(date.day());
        info.Month = uint8_t(date.month());
        info.Year = int8_t(date.year() - 2000);
    });
    UpdateGeoView();
}

void GeoPage::trbTimeChange()
{
    if (!trbTime->hasFocus())
        return;
    const int hour = trbTime->value() / 60;
    const int minute = trbTime->value() % 60;
    if (hour == device().Info.Hour && minute == device().Info.Minute)
        return;
    model().editClock([hour, minute](InfoRecord &info) {
        info.Hour = uint8_t(hour);
        info.Minute = uint8_t(minute);
    });
    if (!edtTime->editHasFocus()) {
        const QSignalBlocker quiet(edtTime);
        edtTime->setText(ClockText(hour, minute));
    }
    UpdateGeoView();
}

void GeoPage::edtTimeChange()
{
    if (!edtTime->editHasFocus())
        return;
    const std::optional<ClockTime> time = ParseClockText(edtTime->text());
    if (!time)
        return;
    {
        const QSignalBlocker quiet(trbTime);
        trbTime->setValue(time->hour * 60 + time->minute);
    }
    model().editClock([&time](InfoRecord &info) {
        info.Hour = uint8_t(time->hour);
        info.Minute = uint8_t(time->minute);
    });
    UpdateGeoView();
}

void GeoPage::imgMoonDblClick() { w.selectPage(w.page(QStringLiteral("tsConfig"))); }
