// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "pages/chart_page.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QVBoxLayout>

#include "presentation/localization.h"
#include "link/device_model.h"
#include "pages/page_host.h"
#include "schedule/sensor_chart.h"
#include "widgets/accessible_summary.h"
#include "widgets/image_view.h"

ChartPage::ChartPage(PageHost &host, DeviceModel &model) : QObject(host.window()), Page(model), w(host), m_sheet(host.page(QStringLiteral("tsTemp")))
{
    QWidget *page = m_sheet;
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    imgTemp = new ImageView(QStringLiteral("imgTemp"), page);
    imgTemp->setCursor(Qt::CrossCursor);
    imgTemp->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    imgTemp->setBackground(Qt::white);
    layout->addWidget(imgTemp);

    // The items' captions come from the expert page's source buttons once the language
    // is loaded; these are the built-in ones.
    pumChart = new QMenu(imgTemp);
    pumChart->setObjectName(QStringLiteral("pumChart"));
    const struct {
        const char *name;
        const char *caption;
        void (ChartPage::*handler)();
    } items[4] = {
        {"mnuCHMTempWater", "Water temperature (Thermavis)", &ChartPage::mnuCHMTempWaterClick},
        {"mnuCHMTempBoard", "Board temperature", &ChartPage::mnuCHMTempBoardClick},
        {"mnuCHMVoltage", "Input voltage", &ChartPage::mnuCHMVoltageClick},
        {"mnuCHMTempSlave", "Slave temperature", &ChartPage::mnuCHMTempSlaveClick},
    };
    // One source at a time: the items show radio marks.
    auto *sources = new QActionGroup(pumChart);
    sources->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    for (int i = 0; i < 4; ++i) {
        QAction *item = pumChart->addAction(QString::fromLatin1(items[i].caption));
        item->setObjectName(QString::fromLatin1(items[i].name));
        item->setCheckable(true);
        sources->addAction(item);
        connect(item, &QAction::triggered, this, items[i].handler);
        m_items[i] = item;
    }

    ShowPopup = [](QMenu *menu, const QPoint &at) { menu->exec(at); };
    connect(imgTemp, &ImageView::released, this, [this](QPointF at, Qt::MouseButton button) {
        if (button == Qt::LeftButton && imgTemp->rect().contains(at.toPoint()))
            imgTempClick();
    });
    connect(imgTemp, &ImageView::needsDrawing, this, [this] {
        // A chart drawn for this size is still right: only the chart record redraws it.
        // ... or a theme of other colours.
        const QImage &shown = imgTemp->image();
        if (shown.isNull() || shown.size() != imgTemp->pixelSize() ||
            shown.devicePixelRatio() != imgTemp->pixelRatio() || colours() != m_drawnColours)
            DrawSensorChart();
    });
    connect(imgTemp, &ImageView::contextMenuRequested, this, [this](const QPoint &at) {
        pumChartPopup();
        ShowPopup(pumChart, at);
    });
}

ChartColours ChartPage::colours() const
{
    // The chart is a field like an edit's: drawn on the theme's field colour.
    const QPalette &palette = imgTemp->palette();
    return ChartColoursFor(palette.color(QPalette::Active, QPalette::Base).rgb(),
                           palette.color(QPalette::Active, QPalette::Text).rgb());
}

void ChartPage::DrawSensorChart()
{
    QFont font = imgTemp->font();
    font.setPointSize(8);
    m_drawnColours = colours();
    imgTemp->setBackground(QColor::fromRgba(m_drawnColours.background));
    imgTemp->setImage(DrawSensorChartImage(device().Info, device().Config, device().Expert, device().Chart, imgTemp->size(),
                                           imgTemp->devicePixelRatioF(), font,
                                           Translate(QStringLiteral("ThermavisNotConnected")),
                                           QDateTime::currentDateTime(), m_drawnColours));
    // The source is what the chart menu offers, without its accelerator mark.
    const int source = device().Expert.ChartMode;
    const QString shown = source >= 0 && source < 4 && m_items[source] ? m_items[source]->text().remove(u'&') : QString();
    SetAccessibleSummary(imgTemp, Translate(QStringLiteral("AccChartName")),
                         TranslateFmt(QStringLiteral("AccChartSummary"), {shown}));
}

void ChartPage::imgTempClick() { model().request(GetChart); }

void ChartPage::pumChartPopup()
{
    m_items[ChartWaterTemp]->setEnabled(device().Info.WaterTemp != NoValue16);
    m_items[ChartSlaveTemp]->setEnabled(device().Info.SlaveTemp != NoValue16);
    for (int source = 0; source < 4; ++source)
        m_items[source]->setChecked(device().Expert.ChartMode == source);
}

void ChartPage::chooseSource(int source)
{
    model().editSetting(ChartSource, [source](DeviceImage &d) { d.Expert.ChartMode = uint8_t(source); },
                        DeviceModel::Origin::Command);
}

void ChartPage::pageShown(QWidget *, unsigned missed)
{
    refresh(missed);
    // A fresh chart whenever the page is opened.
    model().request(GetChart);
}

void ChartPage::applyEnabling(const EnableState &state) { m_rules.apply(w, {m_sheet}, state); }
