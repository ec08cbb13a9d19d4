// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include <QTest>

#include <climits>

#include "presentation/settings_convert.h"

class TstSettingsConvert : public QObject {
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void events_data();
    void events();
    void ratioText_data();
    void ratioText();
    void typedPairValues_data();
    void typedPairValues();
    void pairTexts_data();
    void pairTexts();
    void orderedLevels_data();
    void orderedLevels();
    void temperatures_data();
    void temperatures();
    void timeZoneTexts_data();
    void timeZoneTexts();
};

enum Event { CloudCount, CloudSeconds, StormCount, StormMinutes };

// A value from the controls -> the stored field -> the value shown after the next read
// (before the slider limits it; -1: nothing to show).
void TstSettingsConvert::events_data()
{
    QTest::addColumn<int>("event");
    QTest::addColumn<int>("entered");
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("shown");
    QTest::newRow("10 clouds a day") << int(CloudCount) << 10 << 6 << 9;
    QTest::newRow("1 cloud a day is none") << int(CloudCount) << 1 << 0 << 0;
    QTest::newRow("3000 clouds a day") << int(CloudCount) << 3000 << 1820 << 2999;
    QTest::newRow("60 s") << int(CloudSeconds) << 60 << 873 << 60;
    QTest::newRow("900 s, 903 on the way back") << int(CloudSeconds) << 900 << 58 << 903;
    QTest::newRow("0 s ends at once") << int(CloudSeconds) << 0 << 65535 << 0;
    QTest::newRow("1000 storms a week, beyond 32 bits") << int(StormCount) << 1000 << 1387 << 999;
    QTest::newRow("storm count beyond 16 bits") << int(StormCount) << 1000000 << 65535 << 47249;
    QTest::newRow("30 min") << int(StormMinutes) << 30 << 466 << 30;
    QTest::newRow("200 min") << int(StormMinutes) << 200 << 69 << 202;
    QTest::newRow("negative minutes end at once") << int(StormMinutes) << -1 << 65535 << 0;
}

void TstSettingsConvert::events()
{
    QFETCH(int, event);
    QFETCH(int, entered);
    QFETCH(int, stored);
    int field = 0;
    int64_t back = -1;
    switch (Event(event)) {
    case CloudCount:
        field = CloudPFromCount(entered);
        back = CloudCountFromP(uint16_t(stored));
        break;
    case CloudSeconds:
        field = CloudDFromSeconds(entered);
        back = CloudSecondsFromD(uint16_t(stored)).value_or(-1);
        break;
    case StormCount:
        field = StormPFromCount(entered);
        back = StormCountFromP(uint16_t(stored));
        break;
    case StormMinutes:
        field = StormDFromMinutes(entered);
        back = StormMinutesFromD(uint16_t(stored)).value_or(-1);
        break;
    }
    QCOMPARE(field, stored);
    QTEST(int(back), "shown");
    // A stored duration of 0 has nothing to show.
    QVERIFY(!CloudSecondsFromD(0) && !StormMinutesFromD(0));
}

void TstSettingsConvert::ratioText_data()
{
    QTest::addColumn<int>("p");
    QTest::addColumn<int>("d");
    QTest::addColumn<bool>("active");
    QTest::addColumn<QString>("text");
    QTest::newRow("6.4%") << 60 << 873 << false << "Cloud ratio: 6.4%";
    QTest::newRow("no events") << 0 << 0 << false << "";
    QTest::newRow("largest fields") << 65535 << 65535 << false << "Cloud ratio: 50%";
    QTest::newRow("active") << 60 << 873 << true << "Cloud currently active \u2022 Cloud ratio: 6.4%";
    QTest::newRow("active without ratio") << 0 << 0 << true << "Cloud currently active";
}

void TstSettingsConvert::ratioText()
{
    QFETCH(int, p);
    QFETCH(int, d);
    QFETCH(bool, active);
    const QString ratio = EventRatioText(QStringLiteral("Cloud ratio"), uint16_t(p), uint16_t(d));
    QTEST(EventLabelText(ratio, QStringLiteral("Cloud currently active"), active), "text");
}

void TstSettingsConvert::typedPairValues_data()
{
    QTest::addColumn<int>("scale");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("min");
    QTest::addColumn<int>("max");
    QTest::addColumn<int>("value"); // -1: not a number, nothing stored
    const int integer = int(PairScale::Integer), percent = int(PairScale::PercentOf255),
              tenths = int(PairScale::Tenths), moon = int(PairScale::Moon);
    QTest::newRow("delay 25.5 is the end") << tenths << "25.5" << 0 << 255 << 255;
    QTest::newRow("delay beyond the end") << tenths << "30" << 0 << 255 << 255;
    QTest::newRow("delay half to even") << tenths << "0.25" << 0 << 255 << 2;
    QTest::newRow("moon 37.5%") << moon << "37.5" << 0 << 4096 << 1536;
    QTest::newRow("moon 150%") << moon << "150" << 0 << 4096 << 4096;
    QTest::newRow("backlight 50% to even") << percent << "50" << 0 << 255 << 128;
    QTest::newRow("backlight negative") << percent << "-5" << 0 << 255 << 0;
    QTest::newRow("integer beyond 8 bits is limited, not wrapped") << integer << "300" << 0 << 250 << 250;
    QTest::newRow("integer below the range") << integer << "0" << 1 << 900 << 1;
    QTest::newRow("integer refuses decimals") << integer << "4.5" << 0 << 100 << -1;
    QTest::newRow("text") << percent << "abc" << 0 << 255 << -1;
    QTest::newRow("empty") << moon << "" << 0 << 4096 << -1;
}

void TstSettingsConvert::typedPairValues()
{
    QFETCH(int, scale);
    QFETCH(QString, typed);
    QFETCH(int, min);
    QFETCH(int, max);
    QTEST(ParsePairText(PairScale(scale), typed, min, max).value_or(-1), "value");
}

void TstSettingsConvert::pairTexts_data()
{
    QTest::addColumn<int>("scale");
    QTest::addColumn<int>("value");
    QTest::addColumn<bool>("german");
    QTest::addColumn<QString>("text");
    QTest::newRow("backlight 128") << int(PairScale::PercentOf255) << 128 << false << "50.2";
    QTest::newRow("delay 255 German") << int(PairScale::Tenths) << 255 << true << "25,5";
    QTest::newRow("moon 1") << int(PairScale::Moon) << 1 << false << "0.02";
    QTest::newRow("moon 1536") << int(PairScale::Moon) << 1536 << false << "37.5";
}

void TstSettingsConvert::pairTexts()
{
    QFETCH(int, scale);
    QFETCH(int, value);
    QFETCH(bool, german);
    const QLocale locale = german ? QLocale(QLocale::German, QLocale::Germany) : QLocale();
    QTEST(PairText(PairScale(scale), value, locale), "text");
}

void TstSettingsConvert::orderedLevels_data()
{
    QTest::addColumn<int>("role");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("result");
    // Neighbours: high 200, mid 100, low 50.
    QTest::newRow("mid stops at low") << int(LevelRole::Mid) << 20 << 50;
    QTest::newRow("mid stops at high") << int(LevelRole::Mid) << 230 << 200;
    QTest::newRow("mid between") << int(LevelRole::Mid) << 120 << 120;
    QTest::newRow("high stops at mid") << int(LevelRole::High) << 90 << 100;
    QTest::newRow("low stops at mid") << int(LevelRole::Low) << 150 << 100;
}

void TstSettingsConvert::orderedLevels()
{
    QFETCH(int, role);
    QFETCH(int, value);
    QTEST(OrderedLevel(LevelRole(role), value, 200, 100, 50), "result");
    // Typed values may have left low above high; the lower neighbour wins then.
    QCOMPARE(OrderedLevel(LevelRole::Mid, 100, 40, 100, 60), 60);
}

void TstSettingsConvert::temperatures_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("fahrenheit");
    QTest::addColumn<int>("stored"); // INT_MIN: not a number
    QTest::addColumn<QString>("shown");
    QTest::newRow("77 F") << "77" << true << 250 << "77.0";
    QTest::newRow("25 C") << "25" << false << 250 << "25.0";
    QTest::newRow("-0.04 C shows no minus") << "-0.04" << false << 0 << "0.0";
    QTest::newRow("-40 F") << "-40" << true << -400 << "-40.0";
    QTest::newRow("beyond 16 bits is limited") << "5000" << false << 32767 << "3276.7";
    QTest::newRow("not a number") << "warm" << false << INT_MIN << "";
}

void TstSettingsConvert::temperatures()
{
    QFETCH(QString, typed);
    QFETCH(bool, fahrenheit);
    QFETCH(int, stored);
    const std::optional<int> tenths = ParseTemperature(typed, fahrenheit);
    QCOMPARE(tenths.value_or(INT_MIN), stored);
    if (tenths)
        QTEST(TemperatureValueText(*tenths, fahrenheit), "shown");
}

void TstSettingsConvert::timeZoneTexts_data()
{
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QList<int>>("values"); // empty: refused as a whole
    QTest::newRow("Central Europe") << QStringList{"60", "10", "31", "3", "0", "3", "31", "2", "0"}
                                    << QList<int>{60, 10, 31, 3, 0, 3, 31, 2, 0};
    QTest::newRow("one empty edit refuses all") << QStringList{"60", "10", "", "3", "0", "3", "31", "2", "0"}
                                                << QList<int>{};
    QTest::newRow("last edit not a number") << QStringList{"60", "10", "31", "3", "0", "3", "31", "2", "x"}
                                            << QList<int>{};
    QTest::newRow("limited to the fields") << QStringList{"99999", "200", "-200", "3", "0", "3", "31", "2", "0"}
                                           << QList<int>{32767, 127, -128, 3, 0, 3, 31, 2, 0};
}

void TstSettingsConvert::timeZoneTexts()
{
    QFETCH(QStringList, texts);
    QFETCH(QList<int>, values);
    QString edits[9];
    std::copy(texts.begin(), texts.end(), edits);
    const std::optional<ControllerTimeZone> zone = ParseTimeZoneTexts(edits);
    QCOMPARE(bool(zone), !values.isEmpty());
    if (!zone)
        return;
    int parsed[9];
    TimeZoneValues(*zone, parsed);
    QCOMPARE(QList<int>(std::begin(parsed), std::end(parsed)), values);
}

QTEST_GUILESS_MAIN(TstSettingsConvert)
#include "tst_settings_convert.moc"
