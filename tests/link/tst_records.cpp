#include "link/records.h"

#include <QLocale>
#include <QSet>
#include <QTest>

#include <cstring>

namespace {

struct TableInfo {
    std::span<const FieldDesc> fields;
    std::size_t size;
    QList<int> unkeyedBytes; // bytes the table deliberately leaves out
};

TableInfo tableByName(const QByteArray &name)
{
    if (name == "Info")
        return {InfoFields, InfoSize, {12, 13, 14, 15, 16, 41, 44, 45}};
    if (name == "Config")
        return {ConfigFields, ConfigSize, {}};
    if (name == "ScheduleLine")
        return {ScheduleLineFields, ScheduleLineSize, {}};
    if (name == "Expert")
        return {ExpertFields, ExpertSize, {}};
    return {ExpertWeatherFields, ExpertWeatherSize, {}};
}

} // namespace

class TestRecords : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void littleEndian16_data();
    void littleEndian16();
    void littleEndian32_data();
    void littleEndian32();
    void assignmentStoresLeastSignificantByteFirst();

    void fieldTablesCoverRecords_data();
    void fieldTablesCoverRecords();
    void keysMatchMembers_data();
    void keysMatchMembers();
    void writeFieldTruncates_data();
    void writeFieldTruncates();
    void findFieldIgnoresCaseOnly();

    void controllerYear_data();
    void controllerYear();
    void controllerDateAndTime();
    void temperatureText_data();
    void temperatureText();
    void hardwareName_data();
    void hardwareName();
};

void TestRecords::littleEndian16_data()
{
    QTest::addColumn<int>("lo");
    QTest::addColumn<int>("hi");
    QTest::addColumn<int>("asUnsigned");
    QTest::addColumn<int>("asSigned");
    QTest::newRow("zero") << 0x00 << 0x00 << 0 << 0;
    QTest::newRow("one") << 0x01 << 0x00 << 1 << 1;
    QTest::newRow("high byte only") << 0x00 << 0x01 << 256 << 256;
    QTest::newRow("0x1234") << 0x34 << 0x12 << 0x1234 << 0x1234;
    QTest::newRow("no value") << 0xFF << 0x7F << 0x7FFF << 32767;
    QTest::newRow("sign bit") << 0x00 << 0x80 << 0x8000 << -32768;
    QTest::newRow("minus one") << 0xFF << 0xFF << 0xFFFF << -1;
    QTest::newRow("minus 123") << 0x85 << 0xFF << 0xFF85 << -123;
}

void TestRecords::littleEndian16()
{
    QFETCH(int, lo);
    QFETCH(int, hi);
    QFETCH(int, asUnsigned);
    QFETCH(int, asSigned);

    // Through the record types, at an odd offset, on a byte buffer.
    uint8_t bytes[ConfigSize] = {};
    bytes[19] = uint8_t(lo); // CloudP, unsigned
    bytes[20] = uint8_t(hi);
    bytes[27] = uint8_t(lo); // Lat, signed
    bytes[28] = uint8_t(hi);
    ConfigRecord config;
    std::memcpy(&config, bytes, sizeof bytes);
    QCOMPARE(int(config.CloudP), asUnsigned);
    QCOMPARE(int(config.Lat), asSigned);

    // Through the field table.
    QCOMPARE(readField(bytes, *findField(ConfigFields, "CloudP")), asUnsigned);
    QCOMPARE(readField(bytes, *findField(ConfigFields, "Lat")), asSigned);

    // Writing back gives the same bytes.
    ConfigRecord out{};
    out.CloudP = uint16_t(asUnsigned);
    out.Lat = int16_t(asSigned);
    QCOMPARE(recordBytes(out)[19], uint8_t(lo));
    QCOMPARE(recordBytes(out)[20], uint8_t(hi));
    QCOMPARE(recordBytes(out)[27], uint8_t(lo));
    QCOMPARE(recordBytes(out)[28], uint8_t(hi));
}

void TestRecords::littleEndian32_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<uint>("value");
    QTest::newRow("zero") << QByteArray("\x00\x00\x00\x00", 4) << 0u;
    QTest::newRow("0x12345678") << QByteArray("\x78\x56\x34\x12", 4) << 0x12345678u;
    QTest::newRow("256 KiB") << QByteArray("\x00\x00\x04\x00", 4) << 0x40000u;
    QTest::newRow("all ones") << QByteArray("\xFF\xFF\xFF\xFF", 4) << 0xFFFFFFFFu;
    QTest::newRow("top byte") << QByteArray("\x00\x00\x00\x80", 4) << 0x80000000u;
}

void TestRecords::littleEndian32()
{
    QFETCH(QByteArray, bytes);
    QFETCH(uint, value);

    BootInfo boot{};
    std::memcpy(recordBytes(boot).data() + 2, bytes.constData(), 4);
    QCOMPARE(uint32_t(boot.FlashSize), uint32_t(value));

    BootInfo out{};
    out.FlashSize = value;
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(recordBytes(out).data()) + 2, 4), bytes);
}

void TestRecords::assignmentStoresLeastSignificantByteFirst()
{
    InfoRecord info{};
    info.Level[0] = 4096;
    info.Level[11] = NoChangeLevel;
    info.WaterTemp = int16_t(-5);
    info.SlaveTemp = NoValue16;
    const auto b = recordBytes(info);
    QCOMPARE(b.size(), InfoSize);
    QCOMPARE(b[17], uint8_t(0x00));
    QCOMPARE(b[18], uint8_t(0x10));
    QCOMPARE(b[39], uint8_t(0xFF));
    QCOMPARE(b[40], uint8_t(0xFF));
    QCOMPARE(b[41], uint8_t(0)); // the byte after the levels stays untouched
    QCOMPARE(b[42], uint8_t(0xFB));
    QCOMPARE(b[43], uint8_t(0xFF));
    QCOMPARE(b[48], uint8_t(0xFF));
    QCOMPARE(b[49], uint8_t(0x7F));
}

void TestRecords::fieldTablesCoverRecords_data()
{
    QTest::addColumn<QByteArray>("table");
    QTest::addColumn<int>("keyCount");
    QTest::newRow("Info") << QByteArray("Info") << 27;
    QTest::newRow("Config") << QByteArray("Config") << 25;
    QTest::newRow("ScheduleLine") << QByteArray("ScheduleLine") << 16;
    QTest::newRow("Expert") << QByteArray("Expert") << 31;
    QTest::newRow("ExpertWeather") << QByteArray("ExpertWeather") << 54;
}

void TestRecords::fieldTablesCoverRecords()
{
    QFETCH(QByteArray, table);
    QFETCH(int, keyCount);
    const TableInfo t = tableByName(table);
    QCOMPARE(int(t.fields.size()), keyCount);

    QList<int> owner(int(t.size), -1);
    QSet<QString> keys;
    int previousEnd = 0;
    for (int i = 0; i < int(t.fields.size()); ++i) {
        const FieldDesc &f = t.fields[i];
        const QString key = QString::fromLatin1(f.key.data(), qsizetype(f.key.size()));
        QVERIFY2(f.width == 1 || f.width == 2, qPrintable(key));
        QVERIFY2(std::size_t(f.offset) + f.width <= t.size, qPrintable(key));
        QVERIFY2(int(f.offset) >= previousEnd, qPrintable(key + " is out of table order"));
        previousEnd = f.offset + f.width;
        QVERIFY2(!keys.contains(key.toLower()), qPrintable(key + " appears twice"));
        keys.insert(key.toLower());
        for (int b = f.offset; b < f.offset + f.width; ++b) {
            QVERIFY2(owner[b] < 0, qPrintable(key + " overlaps another field"));
            owner[b] = i;
        }
        QCOMPARE(findField(t.fields, f.key), &f);
    }
    QList<int> uncovered;
    for (int b = 0; b < int(t.size); ++b)
        if (owner[b] < 0)
            uncovered << b;
    QCOMPARE(uncovered, t.unkeyedBytes);
}

void TestRecords::keysMatchMembers_data()
{
    QTest::addColumn<QByteArray>("table");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("width");
    QTest::addColumn<bool>("isSigned");

    auto row = [](const char *table, const char *key, std::size_t offset, std::size_t width,
                  bool isSigned) {
        QTest::newRow(qPrintable(QStringLiteral("%1.%2").arg(table, key)))
            << QByteArray(table) << QByteArray(key) << int(offset) << int(width) << isSigned;
    };
    row("Info", "LineCount", offsetof(InfoRecord, LineCount), 1, false);
    row("Info", "ActiveLine", offsetof(InfoRecord, ActiveLine), 1, true);
    row("Info", "Year", offsetof(InfoRecord, Year), 1, true);
    row("Info", "Level0", offsetof(InfoRecord, Level), sizeof(le16), false);
    row("Info", "Level11", offsetof(InfoRecord, Level) + 11 * sizeof(le16), sizeof(le16), false);
    row("Info", "WaterTemp", offsetof(InfoRecord, WaterTemp), sizeof(lei16), true);
    row("Info", "InputVoltage", offsetof(InfoRecord, InputVoltage), sizeof(lei16), true);
    row("Info", "SlaveTemp", offsetof(InfoRecord, SlaveTemp), sizeof(lei16), true);
    row("Config", "TimeLapse", offsetof(ConfigRecord, TimeLapse), 1, false);
    row("Config", "ColorName0", offsetof(ConfigRecord, ColorName), 1, false);
    row("Config", "ColorName11", offsetof(ConfigRecord, ColorName) + 11, 1, false);
    row("Config", "CloudP", offsetof(ConfigRecord, CloudP), 2, false);
    row("Config", "StormD", offsetof(ConfigRecord, StormD), 2, false);
    row("Config", "Lat", offsetof(ConfigRecord, Lat), 2, true);
    row("Config", "Lon", offsetof(ConfigRecord, Lon), 2, true);
    row("ScheduleLine", "Alt", offsetof(ScheduleLine, Alt), 2, true);
    row("ScheduleLine", "Color160", offsetof(ScheduleLine, Color16), 1, false);
    row("ScheduleLine", "Color1611", offsetof(ScheduleLine, Color16) + 11, 1, false);
    row("ScheduleLine", "Switch", offsetof(ScheduleLine, Switch), 1, false);
    row("Expert", "ChartScale", offsetof(ExpertRecord, ChartScale), 1, false);
    row("Expert", "TempOffset", offsetof(ExpertRecord, TempOffset), 1, true);
    row("Expert", "BalanceSumRamp", offsetof(ExpertRecord, BalanceSumRamp), 1, true);
    row("Expert", "TempWaterLow", offsetof(ExpertRecord, TempWaterLow), 2, true);
    row("Expert", "ChartInterval", offsetof(ExpertRecord, ChartInterval), 2, false);
    row("Expert", "StandardMonth", offsetof(ExpertRecord, StandardMonth), 1, true);
    row("Expert", "DaylightDayOfWeek", offsetof(ExpertRecord, DaylightDayOfWeek), 1, true);
    row("Expert", "Bias", offsetof(ExpertRecord, Bias), 2, true);
    row("Expert", "Up", offsetof(ExpertRecord, RC5Code) + 2 * RC5Up, 2, false);
    row("Expert", "Previous", offsetof(ExpertRecord, RC5Code) + 2 * RC5Previous, 2, false);
    row("Expert", "Step", offsetof(ExpertRecord, RC5Code) + 2 * RC5Step, 2, false);
    row("ExpertWeather", "LightningP", offsetof(ExpertWeatherRecord, LightningP), 2, false);
    row("ExpertWeather", "BalanceSum", offsetof(ExpertWeatherRecord, BalanceSum), 1, false);
    row("ExpertWeather", "MoonColor160", offsetof(ExpertWeatherRecord, MoonColor16), 2, false);
    row("ExpertWeather", "MoonColor1611", offsetof(ExpertWeatherRecord, MoonColor16) + 22, 2, false);
    row("ExpertWeather", "Balance0", offsetof(ExpertWeatherRecord, Balance), 1, false);
    row("ExpertWeather", "LightningMask11", offsetof(ExpertWeatherRecord, LightningMask) + 11, 1, false);
    row("ExpertWeather", "WeatherDelay0", offsetof(ExpertWeatherRecord, WeatherDelay), 1, false);
    row("ExpertWeather", "WeatherDelay11", offsetof(ExpertWeatherRecord, WeatherDelay) + 11, 1, false);
}

void TestRecords::keysMatchMembers()
{
    QFETCH(QByteArray, table);
    QFETCH(QByteArray, key);
    QFETCH(int, offset);
    QFETCH(int, width);
    QFETCH(bool, isSigned);
    const FieldDesc *f = findField(tableByName(table).fields, key.toStdString());
    QVERIFY(f);
    QCOMPARE(int(f->offset), offset);
    QCOMPARE(int(f->width), width);
    QCOMPARE(f->isSigned, isSigned);
}

void TestRecords::writeFieldTruncates_data()
{
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<qlonglong>("written");
    QTest::addColumn<int>("readBack");
    // Config keys of each width and sign
    QTest::newRow("300 in uint8") << QByteArray("FanLow") << 300LL << 44;
    QTest::newRow("-1 in uint8") << QByteArray("FanLow") << -1LL << 255;
    QTest::newRow("255 in uint8") << QByteArray("FanLow") << 255LL << 255;
    QTest::newRow("70000 in uint16") << QByteArray("CloudP") << 70000LL << 4464;
    QTest::newRow("-1 in uint16") << QByteArray("CloudD") << -1LL << 0xFFFF;
    QTest::newRow("-900 in int16") << QByteArray("Lat") << -900LL << -900;
    QTest::newRow("40000 in int16") << QByteArray("Lon") << 40000LL << 40000 - 65536;
    QTest::newRow("0x1FFFF in int16") << QByteArray("Lon") << 0x1FFFFLL << -1;
}

void TestRecords::writeFieldTruncates()
{
    QFETCH(QByteArray, key);
    QFETCH(qlonglong, written);
    QFETCH(int, readBack);
    ConfigRecord config;
    std::memset(&config, 0xAA, sizeof config);
    const FieldDesc *f = findField(ConfigFields, key.toStdString());
    QVERIFY(f);
    writeField(recordBytes(config).data(), *f, written);
    QCOMPARE(readField(recordBytes(config).data(), *f), readBack);
    // Only the field's own bytes change.
    for (std::size_t b = 0; b < ConfigSize; ++b)
        if (b < std::size_t(f->offset) || b >= std::size_t(f->offset) + f->width)
            QCOMPARE(recordBytes(config)[b], uint8_t(0xAA));
}

void TestRecords::findFieldIgnoresCaseOnly()
{
    QCOMPARE(findField(ConfigFields, "lcdblmax"), findField(ConfigFields, "LCDBLMax"));
    QVERIFY(findField(ConfigFields, "LCDBLMax"));
    QVERIFY(!findField(ConfigFields, "ColorName12"));
    QVERIFY(!findField(ConfigFields, "ColorName"));
    QVERIFY(!findField(ConfigFields, ""));
    QVERIFY(!findField(ConfigFields, "Mode "));
    // "Color1" is a prefix of the schedule keys, not a key
    QVERIFY(!findField(ScheduleLineFields, "Color1"));
    QCOMPARE(findField(ScheduleLineFields, "Color161")->offset, uint16_t(5));
    QCOMPARE(findField(ScheduleLineFields, "Color1610")->offset, uint16_t(14));
}

void TestRecords::controllerYear_data()
{
    QTest::addColumn<int>("byte");
    QTest::addColumn<int>("year");
    QTest::newRow("0xFF") << 0xFF << 1999;
    QTest::newRow("0x19") << 0x19 << 2025;
    QTest::newRow("0x00") << 0x00 << 2000;
    QTest::newRow("0x7F") << 0x7F << 2127;
    QTest::newRow("0x80") << 0x80 << 1872;
}

void TestRecords::controllerYear()
{
    QFETCH(int, byte);
    QFETCH(int, year);
    uint8_t bytes[InfoSize] = {};
    bytes[11] = uint8_t(byte);
    bytes[10] = 3;
    bytes[9] = 14;
    InfoRecord info;
    std::memcpy(&info, bytes, sizeof bytes);
    QCOMPARE(::controllerYear(info), year);
    QCOMPARE(controllerDate(info), QDate(year, 3, 14));
}

void TestRecords::controllerDateAndTime()
{
    InfoRecord info{};
    info.Year = 24;
    info.Month = 2;
    info.Day = 29;
    info.Hour = 23;
    info.Minute = 59;
    info.Second = 58;
    info.Centisecond = 99;
    QCOMPARE(controllerDate(info), QDate(2024, 2, 29));
    QCOMPARE(controllerTime(info), QTime(23, 59, 58, 990));

    // Garbage in the clock fields gives invalid values, not a crash.
    info.Year = 25;
    QVERIFY(!controllerDate(info).isValid());
    info.Month = 0;
    QVERIFY(!controllerDate(info).isValid());
    info.Minute = NoChangeMinute;
    QVERIFY(!controllerTime(info).isValid());
}

void TestRecords::temperatureText_data()
{
    QTest::addColumn<int>("tenths");
    QTest::addColumn<bool>("fahrenheit");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("text");
    const QString en = QStringLiteral("en_US");
    QTest::newRow("25.3 C") << 253 << false << en << QString::fromUtf8("25.3°C");
    QTest::newRow("25.3 C in F") << 253 << true << en << QString::fromUtf8("77.5°F");
    QTest::newRow("whole degrees keep a decimal") << 250 << false << en << QString::fromUtf8("25.0°C");
    QTest::newRow("freezing in F") << 0 << true << en << QString::fromUtf8("32.0°F");
    QTest::newRow("below zero") << -55 << false << en << QString::fromUtf8("-5.5°C");
    QTest::newRow("-40 is -40") << -400 << true << en << QString::fromUtf8("-40.0°F");
    QTest::newRow("just below 0 F shows no sign") << -178 << true << en << QString::fromUtf8("0.0°F");
    QTest::newRow("just above 0 F") << -177 << true << en << QString::fromUtf8("0.1°F");
    QTest::newRow("German separator") << 253 << false << QStringLiteral("de_DE")
                                      << QString::fromUtf8("25,3°C");
    QTest::newRow("German separator F") << 253 << true << QStringLiteral("de_DE")
                                        << QString::fromUtf8("77,5°F");
}

void TestRecords::temperatureText()
{
    QFETCH(int, tenths);
    QFETCH(bool, fahrenheit);
    QFETCH(QString, locale);
    QFETCH(QString, text);
    QLocale::setDefault(QLocale(locale));
    QCOMPARE(::temperatureText(tenths, fahrenheit), text);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

void TestRecords::hardwareName_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("name");
    QTest::newRow("bootloader") << 0 << QStringLiteral("Aqualumora 1.x");
    QTest::newRow("this product") << 1 << QStringLiteral("Aqualumora 1.x");
    QTest::newRow("3") << 3 << QStringLiteral("Terralumora 1.x");
    QTest::newRow("5") << 5 << QStringLiteral("Aqualumora 2.x");
    QTest::newRow("6") << 6 << QStringLiteral("Terralumora 2.x");
    QTest::newRow("9") << 9 << QStringLiteral("Minilumora 1.x");
    QTest::newRow("10") << 10 << QStringLiteral("10");
    QTest::newRow("12") << 12 << QStringLiteral("12");
    QTest::newRow("255") << 255 << QStringLiteral("255");
}

void TestRecords::hardwareName()
{
    QFETCH(int, type);
    QFETCH(QString, name);
    QCOMPARE(::hardwareName(uint8_t(type)), name);
}

QTEST_GUILESS_MAIN(TestRecords)
#include "tst_records.moc"
