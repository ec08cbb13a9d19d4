// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include <QApplication>
#include <QAction>
#include <QLabel>
#include <QTest>

#include "widgets/widgets.h"
#include "presentation/settings_convert.h"
#include "sim_fixture.h"

// The settings pages against the simulated controller: what the download shows and what
// typing sends.
class TstSettingsSim : public QObject {
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void cleanup();
    void downloadFillsPages();
    void typedValuesReachController();

private:
    // Read as the user sees it, with its page in front.
    LabeledEdit *edit(const char *name)
    {
        auto *control = w->findChild<LabeledEdit *>(QString::fromLatin1(name));
        showPageOf(w.get(), control);
        return control;
    }
    void typeInto(const char *name, const char *page, const QString &text)
    {
        w->SelectPage(w->page(QString::fromLatin1(page)));
        LabeledEdit *e = edit(name);
        e->edit()->setFocus();
        e->edit()->selectAll();
        QTest::keyClicks(e->edit(), text);
    }
    std::unique_ptr<TfrmLumora> w;
};

void TstSettingsSim::cleanup() { w.reset(); }

void TstSettingsSim::downloadFillsPages()
{
    w = makeConnectedWindow({"-english", "-expert"});
    QVERIFY(w);
    SimulatedController &controller = sim(w.get());
    // The first complete download leaves the message log.
    QVERIFY(w->pc->currentWidget() != w->page("tsMessages"));
    const ExpertWeatherRecord weather = controller.expertWeather();
    const ExpertRecord expert = controller.expert();
    const ConfigRecord config = controller.config();
    QCOMPARE(edit("edtMoon0")->text(), PairText(PairScale::Moon, weather.MoonColor16[0]));
    QCOMPARE(edit("edtWeatherDelay11")->text(), PairText(PairScale::Tenths, weather.WeatherDelay[11]));
    QCOMPARE(edit("edtBalanceSum")->text(), QString::number(weather.BalanceSum));
    QCOMPARE(edit("edtLightningMask3")->text(), QString::number(weather.LightningMask[3]));
    QCOMPARE(edit("edtPWMPrescaler")->text(), QString::number(expert.PWMPrescaler));
    QCOMPARE(edit("edtTimeZoneBias")->text(), QString::number(int(expert.Bias)));
    QCOMPARE(edit("edtLCDBLMax")->text(), PairText(PairScale::PercentOf255, config.LCDBLMax));
    QCOMPARE(edit("edtLCDBLNight")->text(), PairText(PairScale::PercentOf255, expert.LCDBLNight));
    w->SelectPage(w->page("tsWeather"));
    QCOMPARE(w->findChild<QLabel *>("lblCloudRatio")->text().isEmpty(), config.CloudP + config.CloudD == 0);
}

void TstSettingsSim::typedValuesReachController()
{
    w = makeConnectedWindow({"-english", "-expert"});
    QVERIFY(w);
    SimulatedController &controller = sim(w.get());
    typeInto("edtMoon5", "tsMoon", QStringLiteral("37.5"));
    typeInto("edtPWMPrescaler", "tsExpert", QStringLiteral("19"));
    typeInto("edtCloudCount", "tsWeather", QStringLiteral("10"));
    QTRY_COMPARE_WITH_TIMEOUT(int(controller.expertWeather().MoonColor16[5]), 1536, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(int(controller.expert().PWMPrescaler), 19, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(int(controller.config().CloudP), 6, 5000);

    // Read back with nothing focused: the page shows what 6 means.
    w->SelectPage(w->page("tsWeather"));
    if (QWidget *focused = QApplication::focusWidget())
        focused->clearFocus();
    QVERIFY(waitForIdleLink(w.get()));
    w->action("mnuRefresh")->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(w->findChild<LabeledEdit *>("edtCloudCount")->text(), QStringLiteral("9"), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(edit("edtMoon5")->text(), QStringLiteral("37.5"), 5000);
}

QTEST_MAIN(TstSettingsSim)
#include "tst_settings_sim.moc"
