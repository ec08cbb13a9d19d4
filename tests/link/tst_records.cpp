// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/records.h"

#include <QLocale>
#include <QSet>
#include <QTest>

#include <cstring>

namespace {

struct Table {
    std::span<const FieldDesc> fields;
    std::size_t size;
    QList<int> unkeyedBytes; // bytes the table deliberately leaves out
};

Table tableByName(const QByteArray &name)
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

    void littleEndian16_data()
    {
        QTest::addColumn<int>("lo");
        QTest::addColumn<int>("hi");
        QTest::addColumn<int>("asUnsigned");
        QTest::addColumn<int>("asSigned");
        QTest::newRow("zero") << 0x00 << 0x00 << 0 << 0;
        QTest::newRow("0x1234") << 0x34 << 0x12 << 0x1234 << 0x1234;
        QTest::newRow("no value") << 0xFF << 0x7F << 0x7FFF << 32767;
        QTest::newRow("sign bit") << 0x00 << 0x80 << 0x8000 << -32768;
        QTest::newRow("minus one") << 0xFF << 0xFF << 0xFFFF << -1;
    }

    // Unsigned and signed fields at odd offsets, read through the struct and the table,
    // and written back.
    void littleEndian16()
    {
        QFETCH(int, lo);
        QFETCH(int, hi);
        QFETCH(int, asUnsigned);
        QFETCH(int, asSigned);
        uint8_t bytes[ConfigSize] = {};
        bytes[19] = bytes[27] = uint8_t(lo); // CloudP, Lat
        bytes[20] = bytes[28] = uint8_t(hi);
        ConfigRecord config;
        std::memcpy(&config, bytes, sizeof bytes);
        QCOMPARE(int(config.CloudP), asUnsigned);
        QCOMPARE(int(config.Lat), asSigned);
        QCOMPARE(readField(bytes, *findField(ConfigFields, "CloudP")), asUnsigned);
        QCOMPARE(readField(bytes, *findField(ConfigFields, "Lat")), asSigned);

        ConfigRecord out{};
        out.CloudP = uint16_t(asUnsigned);
        out.Lat = int16_t(asSigned);
        QVERIFY(std::memcmp(&out, bytes, sizeof bytes) == 0);
    }

    void littleEndian32()
    {
        BootInfo boot{};
        const uint8_t bytes[] = {0x00, 0x01, 0x78, 0x56, 0x34, 0x12};
        std::memcpy(&boot, bytes, sizeof bytes);
        QCOMPARE(uint32_t(boot.FlashSize), 0x12345678u);
        QCOMPARE(uint16_t(boot.PageSize), uint16_t(256));
        boot.FlashSize = 0x80000001u;
        QCOMPARE(recordBytes(boot)[2], uint8_t(0x01));
        QCOMPARE(recordBytes(boot)[5], uint8_t(0x80));
    }

    void fieldTables_data()
    {
        QTest::addColumn<QByteArray>("table");
        QTest::addColumn<int>("keyCount");
        QTest::addColumn<QStringList>("signedKeys");
        QTest::newRow("Info") << QByteArray("Info") << 27
                              << QStringList{"ActiveLine", "Year", "WaterTemp", "InputVoltage", "SlaveTemp"};
        QTest::newRow("Config") << QByteArray("Config") << 25 << QStringList{"Lat", "Lon"};
        QTest::newRow("ScheduleLine") << QByteArray("ScheduleLine") << 16 << QStringList{"Alt"};
        QTest::newRow("Expert") << QByteArray("Expert") << 31
                                << QStringList{"TempOffset", "BalanceSumRamp", "TempWaterLow", "TempWaterHigh",
                                               "CloudTempWater", "StandardMonth", "StandardDay", "StandardHour",
                                               "StandardDayOfWeek", "DaylightMonth", "DaylightDay", "DaylightHour",
                                               "DaylightDayOfWeek", "Bias"};
        QTest::newRow("ExpertWeather") << QByteArray("ExpertWeather") << 54 << QStringList{};
    }

    // In record order, unique, no overlap, covering every byte but the unnamed ones, and
    // signed exactly where the record is.
    void fieldTables()
    {
        QFETCH(QByteArray, table);
        QFETCH(int, keyCount);
        QFETCH(QStringList, signedKeys);
        QStringList foundSigned;
        const Table t = tableByName(table);
        QCOMPARE(int(t.fields.size()), keyCount);
        QList<bool> covered(int(t.size), false);
        QSet<QString> keys;
        std::size_t previousEnd = 0;
        for (const FieldDesc &f : t.fields) {
            const QString key = QString::fromLatin1(f.key.data(), qsizetype(f.key.size()));
            QVERIFY2(f.width == 1 || f.width == 2, qPrintable(key));
            QVERIFY2(std::size_t(f.offset) >= previousEnd, qPrintable(key + " overlaps or is out of order"));
            previousEnd = std::size_t(f.offset) + f.width;
            QVERIFY2(previousEnd <= t.size, qPrintable(key));
            QVERIFY2(!keys.contains(key.toLower()), qPrintable(key + " appears twice"));
            keys.insert(key.toLower());
            for (std::size_t b = f.offset; b < previousEnd; ++b)
                covered[qsizetype(b)] = true;
            QCOMPARE(findField(t.fields, f.key), &f);
            if (f.isSigned)
                foundSigned << key;
        }
        QCOMPARE(foundSigned, signedKeys);
        QList<int> uncovered;
        for (int b = 0; b < int(t.size); ++b)
            if (!covered[b])
                uncovered << b;
        QCOMPARE(uncovered, t.unkeyedBytes);
    }

    void keysMatchMembers_data()
    {
        QTest::addColumn<QByteArray>("table");
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<int>("offset");
        QTest::addColumn<int>("width");
        QTest::addColumn<bool>("isSigned");
        auto row = [](const char *table, const char *key, std::size_t offset, std::size_t width,
                      bool isSigned) {
            QTest::newRow(key) << QByteArray(table) << QByteArray(key) << int(offset) << int(width)
                               << isSigned;
        };
        row("Info", "ActiveLine", offsetof(InfoRecord, ActiveLine), 1, true);
        row("Info", "Level11", offsetof(InfoRecord, Level) + 22, 2, false);
        row("Info", "WaterTemp", offsetof(InfoRecord, WaterTemp), 2, true);
        row("Info", "SlaveTemp", offsetof(InfoRecord, SlaveTemp), 2, true);
        row("Config", "ColorName11", offsetof(ConfigRecord, ColorName) + 11, 1, false);
        row("Config", "Lat", offsetof(ConfigRecord, Lat), 2, true);
        row("ScheduleLine", "Alt", offsetof(ScheduleLine, Alt), 2, true);
        row("ScheduleLine", "Color160", offsetof(ScheduleLine, Color16), 1, false);
        row("Expert", "TempOffset", offsetof(ExpertRecord, TempOffset), 1, true);
        row("Expert", "ChartInterval", offsetof(ExpertRecord, ChartInterval), 2, false);
        row("Expert", "Bias", offsetof(ExpertRecord, Bias), 2, true);
        row("Expert", "Step", offsetof(ExpertRecord, RC5Code) + 2 * RC5Step, 2, false);
        row("ExpertWeather", "MoonColor1611", offsetof(ExpertWeatherRecord, MoonColor16) + 22, 2, false);
        row("ExpertWeather", "WeatherDelay0", offsetof(ExpertWeatherRecord, WeatherDelay), 1, false);
    }

    void keysMatchMembers()
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

    void writeFieldTruncates_data()
    {
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<qlonglong>("written");
        QTest::addColumn<int>("readBack");
        QTest::newRow("300 in uint8") << QByteArray("FanLow") << 300LL << 44;
        QTest::newRow("-1 in uint8") << QByteArray("FanLow") << -1LL << 255;
        QTest::newRow("70000 in uint16") << QByteArray("CloudP") << 70000LL << 4464;
        QTest::newRow("-900 in int16") << QByteArray("Lat") << -900LL << -900;
        QTest::newRow("40000 in int16") << QByteArray("Lon") << 40000LL << 40000 - 65536;
    }

    void writeFieldTruncates()
    {
        QFETCH(QByteArray, key);
        QFETCH(qlonglong, written);
        QFETCH(int, readBack);
        ConfigRecord config;
        std::memset(&config, 0xAA, sizeof config);
        const FieldDesc *f = findField(ConfigFields, key.toStdString());
        writeField(recordBytes(config).data(), *f, written);
        QCOMPARE(readField(recordBytes(config).data(), *f), readBack);
        for (std::size_t b = 0; b < ConfigSize; ++b) // neighbours untouched
            if (b < std::size_t(f->offset) || b >= std::size_t(f->offset) + f->width)
                QCOMPARE(recordBytes(config)[b], uint8_t(0xAA));
    }

    void findFieldIgnoresCaseOnly()
    {
        QCOMPARE(findField(ConfigFields, "lcdblmax"), findField(ConfigFields, "LCDBLMax"));
        QVERIFY(findField(ConfigFields, "LCDBLMax"));
        QVERIFY(!findField(ConfigFields, "ColorName12"));
        QVERIFY(!findField(ConfigFields, "Mode "));
        QVERIFY(!findField(ScheduleLineFields, "Color1"));
        QCOMPARE(findField(ScheduleLineFields, "Color1610")->offset, uint16_t(14));
    }

    void controllerDate_data()
    {
        QTest::addColumn<int>("yearByte");
        QTest::addColumn<int>("year");
        QTest::newRow("0xFF") << 0xFF << 1999;
        QTest::newRow("0x19") << 0x19 << 2025;
        QTest::newRow("0x7F") << 0x7F << 2127;
        QTest::newRow("0x80") << 0x80 << 1872;
    }

    void controllerDate()
    {
        QFETCH(int, yearByte);
        QFETCH(int, year);
        InfoRecord info{};
        recordBytes(info)[11] = uint8_t(yearByte);
        info.Month = 2;
        info.Day = 28;
        QCOMPARE(controllerYear(info), year);
        QCOMPARE(::controllerDate(info), QDate(year, 2, 28));
        info.Month = 13; // garbage gives an invalid date, nothing worse
        QVERIFY(!::controllerDate(info).isValid());
    }

    void temperatureText_data()
    {
        QTest::addColumn<int>("tenths");
        QTest::addColumn<bool>("fahrenheit");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("text");
        const QString en = QStringLiteral("en_US");
        QTest::newRow("C") << 253 << false << en << QString::fromUtf8("25.3°C");
        QTest::newRow("F") << 253 << true << en << QString::fromUtf8("77.5°F");
        QTest::newRow("whole degrees") << 250 << false << en << QString::fromUtf8("25.0°C");
        QTest::newRow("below zero") << -55 << false << en << QString::fromUtf8("-5.5°C");
        QTest::newRow("-40") << -400 << true << en << QString::fromUtf8("-40.0°F");
        QTest::newRow("no minus zero") << -178 << true << en << QString::fromUtf8("0.0°F");
        QTest::newRow("German") << 253 << false << QStringLiteral("de_DE") << QString::fromUtf8("25,3°C");
    }

    void temperatureText()
    {
        QFETCH(int, tenths);
        QFETCH(bool, fahrenheit);
        QFETCH(QString, locale);
        QFETCH(QString, text);
        QLocale::setDefault(QLocale(locale));
        const QString shown = ::temperatureText(tenths, fahrenheit);
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QCOMPARE(shown, text);
    }

    void hardwareName_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("name");
        QTest::newRow("this product") << 1 << QStringLiteral("Aqualumora 1.x");
        QTest::newRow("5") << 5 << QStringLiteral("Aqualumora 2.x");
        QTest::newRow("9") << 9 << QStringLiteral("Minilumora 1.x");
        QTest::newRow("12") << 12 << QStringLiteral("12");
        QTest::newRow("255") << 255 << QStringLiteral("255");
    }

    void hardwareName()
    {
        QFETCH(int, type);
        QFETCH(QString, name);
        QCOMPARE(::hardwareName(uint8_t(type)), name);
    }
};

QTEST_GUILESS_MAIN(TestRecords)
#include "tst_records.moc"
