#include <QTest>

#include <climits>

#include "link/records.h"
#include "pages/settings_convert.h"

class TstSettingsConvert : public QObject {
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void cloudCount_data();
    void cloudCount();
    void cloudSeconds_data();
    void cloudSeconds();
    void stormCount_data();
    void stormCount();
    void stormMinutes_data();
    void stormMinutes();
    void wideIntermediates();
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
    void timeZoneStoredWithinFields();
};

// Typed count -> stored probability -> count shown after the next read (before the slider
// limits it).
void TstSettingsConvert::cloudCount_data()
{
    QTest::addColumn<int>("perDay");
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("shown");
    QTest::newRow("10 a day") << 10 << 6 << 9;
    QTest::newRow("1 a day is none") << 1 << 0 << 0;
    QTest::newRow("none") << 0 << 0 << 0;
    QTest::newRow("slider end") << 3000 << 1820 << 2999;
    QTest::newRow("negative") << -5 << 0 << 0;
}

void TstSettingsConvert::cloudCount()
{
    QFETCH(int, perDay);
    QFETCH(int, stored);
    QCOMPARE(int(CloudPFromCount(perDay)), stored);
    QTEST(int(CloudCountFromP(uint16_t(stored))), "shown");
}

void TstSettingsConvert::cloudSeconds_data()
{
    QTest::addColumn<int>("seconds");
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("shown");
    QTest::newRow("60 s") << 60 << 873 << 60;
    QTest::newRow("900 s, beyond the slider on the way back") << 900 << 58 << 903;
    QTest::newRow("1 s") << 1 << 52428 << 1;
    QTest::newRow("zero ends at once") << 0 << 65535 << 0;
    QTest::newRow("negative ends at once") << -3 << 65535 << 0;
}

void TstSettingsConvert::cloudSeconds()
{
    QFETCH(int, seconds);
    QFETCH(int, stored);
    QCOMPARE(int(CloudDFromSeconds(seconds)), stored);
    QTEST(int(CloudSecondsFromD(uint16_t(stored)).value_or(-1)), "shown");
}

void TstSettingsConvert::stormCount_data()
{
    QTest::addColumn<int>("perWeek");
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("shown");
    QTest::newRow("1000 a week") << 1000 << 1387 << 999;
    QTest::newRow("7 a week") << 7 << 9 << 6;
    QTest::newRow("none") << 0 << 0 << 0;
}

void TstSettingsConvert::stormCount()
{
    QFETCH(int, perWeek);
    QFETCH(int, stored);
    QCOMPARE(int(StormPFromCount(perWeek)), stored);
    QTEST(int(StormCountFromP(uint16_t(stored))), "shown");
}

void TstSettingsConvert::stormMinutes_data()
{
    QTest::addColumn<int>("minutes");
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("shown");
    QTest::newRow("30 min") << 30 << 466 << 30;
    QTest::newRow("200 min") << 200 << 69 << 202;
    QTest::newRow("1 min") << 1 << 13981 << 1;
    QTest::newRow("zero ends at once") << 0 << 65535 << 0;
}

void TstSettingsConvert::stormMinutes()
{
    QFETCH(int, minutes);
    QFETCH(int, stored);
    QCOMPARE(int(StormDFromMinutes(minutes)), stored);
    QTEST(int(StormMinutesFromD(uint16_t(stored)).value_or(-1)), "shown");
}

void TstSettingsConvert::wideIntermediates()
{
    // Products beyond 32 bits on both roads, and no duration for a stored 0.
    QCOMPARE(StormCountFromP(65535), int64_t(47249));
    QCOMPARE(CloudCountFromP(65535), int64_t(107998));
    QCOMPARE(int(StormPFromCount(1'000'000)), 65535);
    QVERIFY(!CloudSecondsFromD(0));
    QVERIFY(!StormMinutesFromD(0));
}

void TstSettingsConvert::ratioText_data()
{
    QTest::addColumn<int>("p");
    QTest::addColumn<int>("d");
    QTest::addColumn<bool>("active");
    QTest::addColumn<QString>("text");
    QTest::newRow("6.4%") << 60 << 873 << false << "Cloud ratio: 6.4%";
    QTest::newRow("no events") << 0 << 0 << false << "";
    QTest::newRow("always") << 5 << 0 << false << "Cloud ratio: 100%";
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
    QTest::newRow("delay beyond the end is limited") << tenths << "30" << 0 << 255 << 255;
    QTest::newRow("delay half tenth to even") << tenths << "0.25" << 0 << 255 << 2;
    QTest::newRow("moon 37.5%") << moon << "37.5" << 0 << 4096 << 1536;
    QTest::newRow("moon 150% is limited") << moon << "150" << 0 << 4096 << 4096;
    QTest::newRow("backlight 50% to even") << percent << "50" << 0 << 255 << 128;
    QTest::newRow("backlight 20%") << percent << "20" << 0 << 255 << 51;
    QTest::newRow("backlight negative") << percent << "-5" << 0 << 255 << 0;
    QTest::newRow("integer within") << integer << "42" << 0 << 100 << 42;
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
    QTest::newRow("backlight full") << int(PairScale::PercentOf255) << 255 << false << "100";
    QTest::newRow("delay 255") << int(PairScale::Tenths) << 255 << false << "25.5";
    QTest::newRow("delay 255 German") << int(PairScale::Tenths) << 255 << true << "25,5";
    QTest::newRow("moon 1") << int(PairScale::Moon) << 1 << false << "0.02";
    QTest::newRow("moon 1536") << int(PairScale::Moon) << 1536 << false << "37.5";
    QTest::newRow("integer") << int(PairScale::Integer) << 5000 << false << "5000";
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
    QTest::addColumn<int>("high");
    QTest::addColumn<int>("mid");
    QTest::addColumn<int>("low");
    QTest::addColumn<int>("result");
    const int high = int(LevelRole::High), mid = int(LevelRole::Mid), low = int(LevelRole::Low);
    QTest::newRow("dim stops at night") << mid << 20 << 200 << 100 << 50 << 50;
    QTest::newRow("dim stops at bright") << mid << 230 << 200 << 100 << 50 << 200;
    QTest::newRow("dim between") << mid << 120 << 200 << 100 << 50 << 120;
    QTest::newRow("bright stops at dim") << high << 90 << 200 << 100 << 50 << 100;
    QTest::newRow("bright goes up freely") << high << 255 << 200 << 100 << 50 << 255;
    QTest::newRow("night stops at dim") << low << 150 << 200 << 100 << 50 << 100;
    QTest::newRow("night goes down freely") << low << 0 << 200 << 100 << 50 << 0;
    // Typed values may have left night above bright; the lower neighbour wins then.
    QTest::newRow("dim with neighbours out of order") << mid << 100 << 40 << 100 << 60 << 60;
}

void TstSettingsConvert::orderedLevels()
{
    QFETCH(int, role);
    QFETCH(int, value);
    QFETCH(int, high);
    QFETCH(int, mid);
    QFETCH(int, low);
    QTEST(OrderedLevel(LevelRole(role), value, high, mid, low), "result");
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
    QTest::newRow("32 F is zero") << "32" << true << 0 << "32.0";
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
    QCOMPARE(TemperatureUnit(fahrenheit), fahrenheit ? QStringLiteral("\u00B0F") : QStringLiteral("\u00B0C"));
}

void TstSettingsConvert::timeZoneTexts_data()
{
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QList<int>>("values"); // empty: refused as a whole
    QTest::newRow("Central Europe") << QStringList{"60", "10", "31", "3", "0", "3", "31", "2", "0"}
                                    << QList<int>{60, 10, 31, 3, 0, 3, 31, 2, 0};
    QTest::newRow("blanks around") << QStringList{" -300 ", "11", "7", "2", "0", "3", "14", "2", "0"}
                                   << QList<int>{-300, 11, 7, 2, 0, 3, 14, 2, 0};
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
    for (int i = 0; i < 9; ++i)
        edits[i] = texts[i];
    const std::optional<ControllerTimeZone> zone = ParseTimeZoneTexts(edits);
    QCOMPARE(bool(zone), !values.isEmpty());
    if (!zone)
        return;
    int parsed[9];
    TimeZoneValues(*zone, parsed);
    QCOMPARE(QList<int>(std::begin(parsed), std::end(parsed)), values);
}

void TstSettingsConvert::timeZoneStoredWithinFields()
{
    ExpertRecord expert{};
    ControllerTimeZone zone;
    zone.bias = -40000;
    zone.standardMonth = 10;
    zone.daylightDay = 300;
    StoreTimeZone(expert, zone);
    QCOMPARE(int(expert.Bias), -32768);
    QCOMPARE(int(expert.StandardMonth), 10);
    QCOMPARE(int(expert.DaylightDay), 127);
    const ControllerTimeZone back = TimeZoneOfExpert(expert);
    QCOMPARE(back.bias, -32768);
    QCOMPARE(back.daylightDay, 127);
}

QTEST_GUILESS_MAIN(TstSettingsConvert)
#include "tst_settings_convert.moc"
