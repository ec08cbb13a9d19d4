// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include <QAbstractButton>
#include <QAction>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTest>

#include <cmath>

#include "link/device_model.h"
#include "link/ports.h"
#include "pages/chart_page.h"
#include "pages/expert_page.h"
#include "presentation/localization.h"
#include "widgets/image_view.h"
#include "fake_page_host.h"
#include "sim_fixture.h"
#include "window_fixture.h"

// The chart page on a stand-in for the window, with the expert page that shows the same
// source. The hidden board item, the simulated controller end to end and the pictures need
// the window.
class TstChartPage : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void popupItems_data();
    void popupItems();
    void boardSourceNotOffered();
    void choosingASource_data();
    void choosingASource();
    void clicksAndPageChangeReadTheChart();
    void handOverDrawsAtTheImageSize();
    void chartOfTheSimulatedController();
    void pictures_data();
    void pictures();

private:
    // The chart and expert pages alone.
    void start()
    {
        LoadLanguageTable(LanguageEnglish);
        host = std::make_unique<FakePageHost>(QStringList{"tsChannels", "tsTemp", "tsExpert", "tsJMP", "tsRC433"});
        // Both belong to the host's window.
        chart = new ChartPage(*host, host->model);
        expert = new ExpertPage(*host, host->model);
    }
    // What the window does on a change of the connection.
    void setConnected(bool connected)
    {
        host->connected = connected;
        EnableState state;
        state.connected = connected;
        state.sensor = connected && host->image().Info.WaterTemp != NoValue16;
        state.slave = connected && host->image().Info.SlaveTemp != NoValue16;
        chart->applyEnabling(state);
        expert->applyEnabling(state);
    }
    void selectChart()
    {
        QWidget *sheet = host->page(QStringLiteral("tsTemp"));
        host->selectPage(sheet);
        chart->pageShown(sheet, 0);
    }
    QAction *item(const char *name) { return host->window()->findChild<QAction *>(QString::fromLatin1(name)); }
    void openPopup()
    {
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(20, 20), chart->imgTemp->mapToGlobal(QPoint(20, 20)));
        QCoreApplication::sendEvent(chart->imgTemp, &event);
    }
    std::unique_ptr<FakePageHost> host;
    ChartPage *chart = nullptr;
    ExpertPage *expert = nullptr;
    std::unique_ptr<TfrmLumora> w;
    int m_popups = 0;
};

void TstChartPage::init()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    // A window connected to the simulator remembers its port; later windows must not
    // try to reach it again.
    ForgetPort();
}

void TstChartPage::cleanup()
{
    w.reset();
    host.reset();
}

void TstChartPage::popupItems_data()
{
    QTest::addColumn<int>("water");
    QTest::addColumn<int>("slave");
    QTest::addColumn<int>("source");
    QTest::addColumn<QString>("enabled");   // water, voltage, slave: 1 enabled
    QTest::addColumn<QString>("checked");
    QTest::newRow("both sensors, water") << 250 << 300 << 0 << "111" << "100";
    QTest::newRow("no sensor, voltage") << int(NoValue16) << int(NoValue16) << 2 << "010" << "010";
    QTest::newRow("slave only, slave") << int(NoValue16) << 280 << 3 << "011" << "001";
    QTest::newRow("board source checks none shown") << 250 << int(NoValue16) << 1 << "110" << "000";
}

void TstChartPage::popupItems()
{
    QFETCH(int, water);
    QFETCH(int, slave);
    QFETCH(int, source);
    QFETCH(QString, enabled);
    QFETCH(QString, checked);
    start();
    host->window()->show();
    setConnected(true);
    DeviceImage &image = host->loaded();
    image.Info.WaterTemp = int16_t(water);
    image.Info.SlaveTemp = int16_t(slave);
    image.Expert.ChartMode = uint8_t(source);
    m_popups = 0;
    chart->ShowPopup = [this](QMenu *menu, const QPoint &) {
        ++m_popups;
        QCOMPARE(menu->objectName(), QStringLiteral("pumChart"));
    };
    openPopup();
    QCOMPARE(m_popups, 1);
    const char *names[] = {"mnuCHMTempWater", "mnuCHMVoltage", "mnuCHMTempSlave"};
    QString isEnabled, isChecked;
    for (const char *name : names) {
        isEnabled += item(name)->isEnabled() ? u'1' : u'0';
        isChecked += item(name)->isChecked() ? u'1' : u'0';
    }
    QCOMPARE(isEnabled, enabled);
    QCOMPARE(isChecked, checked);
}

void TstChartPage::boardSourceNotOffered()
{
    // The window hides the items this version does not offer.
    w = makeWindow({"-english"});
    QAction *board = w->findChild<QAction *>(QStringLiteral("mnuCHMTempBoard"));
    QVERIFY(board);
    QVERIFY(!TfrmLumora::IsMenuItemShown(board));
}

void TstChartPage::choosingASource_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("source");
    QTest::addColumn<uint>("requests");
    QTest::newRow("water") << "mnuCHMTempWater" << 0 << uint(ChartSource);
    QTest::newRow("voltage") << "mnuCHMVoltage" << 2 << uint(ChartSource);
    QTest::newRow("slave") << "mnuCHMTempSlave" << 3 << uint(ChartSource);
    QTest::newRow("board does nothing") << "mnuCHMTempBoard" << 9 << 0u;
}

void TstChartPage::choosingASource()
{
    QFETCH(QString, name);
    QFETCH(int, source);
    QFETCH(uint, requests);
    start();
    setConnected(true);
    host->loaded().Expert.ChartMode = 9;
    host->model.replaceRequests(0);
    item(name.toLatin1().constData())->trigger();
    QCOMPARE(int(host->image().Expert.ChartMode), source);
    QCOMPARE(host->model.pendingRequests(), requests);
    // The expert page's source buttons follow: the window refreshes it.
    QCOMPARE(host->changes, requests ? QList<unsigned>{RefreshExpert} : QList<unsigned>{});
    for (unsigned what : host->changes)
        expert->refresh(what);
    const char *buttons[] = {"rbtCHMTempWater", "", "rbtCHMVoltage", "rbtCHMTempSlave"};
    if (source < 4 && *buttons[source]) {
        auto *button = host->window()->findChild<QAbstractButton *>(QString::fromLatin1(buttons[source]));
        QVERIFY(button);
        QVERIFY(button->isChecked());
    }
}

void TstChartPage::clicksAndPageChangeReadTheChart()
{
    start();
    host->window()->show();
    setConnected(true);
    DeviceModel &model = host->model;
    model.replaceRequests(0);
    selectChart();
    QCOMPARE(model.pendingRequests(), GetChart);
    model.replaceRequests(0);
    ImageView *image = chart->imgTemp;
    QCOMPARE(image->cursor().shape(), Qt::CrossCursor);
    QTest::mouseClick(image, Qt::RightButton, {}, QPoint(30, 30));
    QCOMPARE(model.pendingRequests(), 0u);
    QTest::mouseClick(image, Qt::LeftButton, {}, QPoint(30, 30));
    QCOMPARE(model.pendingRequests(), GetChart);
    // Without a connection the image takes no clicks.
    setConnected(false);
    model.replaceRequests(0);
    QTest::mouseClick(image, Qt::LeftButton, {}, QPoint(30, 30));
    QCOMPARE(model.pendingRequests(), 0u);
}

void TstChartPage::handOverDrawsAtTheImageSize()
{
    start();
    host->window()->resize(1009, 680);
    host->window()->show();
    selectChart();
    ImageView *image = chart->imgTemp;
    QTRY_VERIFY(!image->image().isNull());
    QCOMPARE(image->image().deviceIndependentSize().toSize(), image->size());
    // A chart read redraws; a resize redraws at the new size.
    for (int n = 0; n < ChartSampleCount; ++n)
        host->loaded().Chart.Sample[n] = int16_t(250 + n);
    host->loaded().Expert.ChartInterval = 10;
    const QImage before = image->image();
    chart->refresh(RefreshChart);
    QVERIFY(image->image() != before);
    QWidget *window = host->window();
    window->resize(window->width() - 100, window->height() - 50);
    QTRY_COMPARE(image->image().deviceIndependentSize().toSize(), image->size());
}

void TstChartPage::chartOfTheSimulatedController()
{
    w = makeConnectedWindow();
    QVERIFY(w);
    SimulatedController &controller = sim(w.get());
    ChartRecord chart;
    for (int n = 0; n < ChartSampleCount; ++n)
        chart.Sample[n] = int16_t(1200 + 5 * n);
    controller.setChart(chart);
    w->SelectPage(w->page(QStringLiteral("tsTemp")));
    QVERIFY(waitForIdleLink(w.get()));
    QCOMPARE(int(w->device().Chart.Sample[39]), 1200 + 5 * 39);
    const QImage first = w->chart->imgTemp->image();
    QVERIFY(!first.isNull());

    const int reads = controller.commandCount(QStringLiteral("87"));
    chart.Sample[0] = NoValue16;
    controller.setChart(chart);
    QTest::mouseClick(w->chart->imgTemp, Qt::LeftButton, {}, QPoint(50, 50));
    QTRY_COMPARE_WITH_TIMEOUT(controller.commandCount(QStringLiteral("87")), reads + 1, 5000);
    QTRY_VERIFY(w->chart->imgTemp->image() != first);
}

void TstChartPage::pictures_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<int>("source");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("size");   // empty: a little above the smallest window
    QTest::newRow("water en") << "-english" << int(ChartWaterTemp) << "chart_water_en" << QSize();
    QTest::newRow("water de, Fahrenheit") << "-german" << int(ChartWaterTemp) << "chart_water_de_f" << QSize();
    QTest::newRow("voltage en") << "-english" << int(ChartInputVoltage) << "chart_voltage_en" << QSize();
    QTest::newRow("slave de") << "-german" << int(ChartSlaveTemp) << "chart_slave_de" << QSize();
    QTest::newRow("empty de") << "-german" << -1 << "chart_empty_de" << QSize();
    QTest::newRow("water en, design size") << "-english" << int(ChartWaterTemp) << "chart_water_en_design"
                                           << QSize(TfrmLumora::DesignWidth, TfrmLumora::DesignHeight);
    QTest::newRow("water en, 1920") << "-english" << int(ChartWaterTemp) << "chart_water_en_1920" << QSize(1920, 1080);
}

void TstChartPage::pictures()
{
    QFETCH(QString, language);
    QFETCH(int, source);
    QFETCH(QString, name);
    if (language == u"-german")
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    w = makeWindow({language});
    w->SetConnected(true);
    DeviceImage &shown = w->model().imageForLoading();
    shown.Info.Hour = 14;
    shown.Info.Minute = 7;
    shown.Info.Second = 0;
    shown.Info.Centisecond = 0;
    shown.Expert.ChartInterval = source == ChartSlaveTemp ? 60 : 10;
    if (name.endsWith(u"_f"))
        shown.Config.Flag |= FlagFahrenheit;
    for (int n = 0; n < ChartSampleCount; ++n) {
        const double wave = std::sin(n / 6.0);
        if (source < 0)
            shown.Chart.Sample[n] = NoValue16;
        else if (source == ChartInputVoltage)
            shown.Chart.Sample[n] = int16_t(1215 + 20 * wave);
        else if (source == ChartSlaveTemp)
            shown.Chart.Sample[n] = int16_t(560 + 60 * wave);
        else
            shown.Chart.Sample[n] = int16_t(251 + 6 * wave);
    }
    if (source >= 0)
        shown.Chart.Sample[17] = NoValue16;   // one lost sample
    shown.Expert.ChartMode = uint8_t(std::max(source, 0));
    w->SelectPage(w->page(QStringLiteral("tsTemp")));
    QFETCH(QSize, size);
    if (size.isEmpty())
        size = QSize(TfrmLumora::MinimumPageWidth + 40, TfrmLumora::MinimumPageHeight + 100);
    if (w->devicePixelRatioF() > 1)
        name += QStringLiteral("_2x");
    w->resize(size);
    w->show();
    QCoreApplication::processEvents();
    w->DrawSensorChart();
    savePicture(w.get(), w->size(), name);
    // Drawn at the chart's own size, pixel for pixel on the screen.
    const QImage &image = w->chart->imgTemp->image();
    QCOMPARE(image.size(), w->chart->imgTemp->pixelSize());
    QCOMPARE(image.devicePixelRatio(), w->chart->imgTemp->devicePixelRatioF());
}

QTEST_MAIN(TstChartPage)
#include "tst_chart_page.moc"
