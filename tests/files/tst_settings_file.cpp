// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <sys/stat.h>
#include <functional>

#include "files/ini_file.h"
#include "files/settings_file.h"
#include "link/device_image.h"

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

template <class R>
void randomise(R &record, QRandomGenerator &random)
{
    for (uint8_t &b : recordBytes(record))
        b = uint8_t(random.bounded(256));
}

// Where each key lives, written down from the record layouts rather than taken from the
// program's own table, so that two keys swapped (or a wrong offset, width or sign) show.
struct KeyPlace {
    const char *section;   // "0" stands for every schedule line section
    QString key;
    char record;   // C Config, E Expert, W ExpertWeather, S schedule line
    int offset;
    int width;
    bool isSigned;
};

std::vector<KeyPlace> keyPlaces()
{
    std::vector<KeyPlace> k = {
        {"Config", "Mode", 'C', 0, 1, false},          {"Config", "Flag", 'C', 1, 1, false},
        {"Config", "FanLow", 'C', 2, 1, false},        {"Config", "FanHigh", 'C', 3, 1, false},
        {"Config", "FanOff", 'E', 5, 1, false},        {"Config", "FanMode", 'E', 0, 1, false},
        {"Config", "TempWaterLow", 'E', 10, 2, true},  {"Config", "TempWaterHigh", 'E', 12, 2, true},
        {"Config", "LCDBLMin", 'C', 4, 1, false},      {"Config", "LCDBLMax", 'C', 5, 1, false},
        {"Config", "TimeLapse", 'C', 6, 1, false},     {"Config", "Lat", 'C', 27, 2, true},
        {"Config", "Lon", 'C', 29, 2, true},           {"Config", "ChartMode", 'E', 1, 1, false},
        {"Config", "ChartInterval", 'E', 16, 2, false}, {"Config", "ChartScale", 'E', 7, 1, false},
        {"Config", "PWMPrescaler", 'E', 2, 1, false},  {"Config", "TWIBitrate", 'E', 3, 1, false},
        {"Config", "RandomInit", 'E', 4, 1, false},    {"Config", "LCDBLNight", 'E', 6, 1, false},
        {"Config", "TempOffset", 'E', 8, 1, true},     {"Config", "CloudTempWater", 'E', 14, 2, true},
        {"Config", "BalanceSumRamp", 'E', 9, 1, true},
        {"Weather", "CloudP", 'C', 19, 2, false},      {"Weather", "CloudD", 'C', 21, 2, false},
        {"Weather", "StormP", 'C', 23, 2, false},      {"Weather", "StormD", 'C', 25, 2, false},
        {"Weather", "CloudStep", 'W', 0, 2, false},    {"Weather", "StormStep", 'W', 2, 2, false},
        {"Weather", "CloudAlpha", 'W', 6, 1, false},   {"Weather", "StormAlpha", 'W', 7, 1, false},
        {"Weather", "LightningP", 'W', 4, 2, false},
    };
    for (int i = 0; i < 12; ++i) {
        const QString n = QString::number(i);
        k.push_back({"Weather", "Balance" + n, 'W', 33 + i, 1, false});
        k.push_back({"Weather", "MoonColor16" + n, 'W', 9 + 2 * i, 2, true});
        k.push_back({"Weather", "WeatherDelay" + n, 'W', 57 + i, 1, false});
        k.push_back({"Weather", "LightningMask" + n, 'W', 45 + i, 1, false});
    }
    k.push_back({"Weather", "BalanceSum", 'W', 8, 1, false});
    for (int i = 0; i < 12; ++i)
        k.push_back({"Names", "ColorName" + QString::number(i), 'C', 7 + i, 1, false});
    const char *rc5[] = {"Up", "Down", "Left", "Right", "Previous", "Next", "Settings", "Step"};
    for (int i = 0; i < 8; ++i)
        k.push_back({"RC5", QString::fromLatin1(rc5[i]), 'E', 28 + 2 * i, 2, false});
    const char *zone[] = {"StandardMonth", "StandardDay", "StandardHour", "StandardDayOfWeek",
                          "DaylightMonth", "DaylightDay", "DaylightHour", "DaylightDayOfWeek"};
    for (int i = 0; i < 8; ++i)
        k.push_back({"TimeZone", QString::fromLatin1(zone[i]), 'E', 18 + i, 1, true});
    k.push_back({"TimeZone", "Bias", 'E', 26, 2, true});
    k.push_back({"0", "Hour", 'S', 0, 1, true});
    k.push_back({"0", "Minute", 'S', 1, 1, true});
    k.push_back({"0", "Alt", 'S', 2, 2, true});
    for (int i = 0; i < 12; ++i)
        k.push_back({"0", "Color16" + QString::number(i), 'S', 4 + i, 1, false});
    k.push_back({"0", "Switch", 'S', 16, 1, false});
    return k;
}

std::span<uint8_t> bytesOf(DeviceImage &image, char record)
{
    switch (record) {
    case 'C': return recordBytes(image.Config);
    case 'E': return recordBytes(image.Expert);
    case 'W': return recordBytes(image.ExpertWeather);
    default: return recordBytes(image.Schedule[0]);
    }
}

// The field's value read from the bytes as the table says.
int64_t fieldValue(std::span<const uint8_t> bytes, const KeyPlace &k)
{
    const unsigned raw = k.width == 1 ? bytes[k.offset] : unsigned(bytes[k.offset] | bytes[k.offset + 1] << 8);
    if (!k.isSigned)
        return raw;
    return k.width == 1 ? int64_t(int8_t(raw)) : int64_t(int16_t(raw));
}

} // namespace

class TstSettingsFile : public QObject {
    Q_OBJECT
private slots:
    void init();
    void newFileLayout();
    void exportKeepsForeignSections();
    void importedValues_data();
    void importedValues();
    void roundTripOfRandomImages();
    void pythonReadsTheExport();
    void backupNames_data();
    void backupNames();
    void unreadableTargetIsNotReplaced();
    void keyTable_data();
    void keyTable();
    void keyTableOrder();
    void writtenFilesStayImportable();

private:
    QTemporaryDir m_dir;
    DeviceImage image;
};

void TstSettingsFile::init()
{
    image = DeviceImage{};
}

void TstSettingsFile::newFileLayout()
{
    image.resizeSchedule(3);
    image.Expert.TempOffset = -5;
    image.ExpertWeather.MoonColor16[0] = 0xFFFF;   // written as a signed 16-bit value
    image.Expert.RC5Code[7] = 0xF00D;
    IniFile ini;
    WriteImageToIni(ini, image);
    QCOMPARE(ini.value(QStringLiteral("Config"), QStringLiteral("TempOffset")), QStringLiteral("-5"));
    QCOMPARE(ini.value(QStringLiteral("Weather"), QStringLiteral("MoonColor160")), QStringLiteral("-1"));
    QCOMPARE(ini.value(QStringLiteral("RC5"), QStringLiteral("Step")), QStringLiteral("61453"));
    QCOMPARE(ini.sectionNames(),
             QStringList({"Config", "Weather", "Names", "RC5", "TimeZone", "0", "1", "2"}));
    QCOMPARE(ini.keys(QStringLiteral("Config")),
             QStringList({"Mode", "Flag", "FanLow", "FanHigh", "FanOff", "FanMode", "TempWaterLow",
                          "TempWaterHigh", "LCDBLMin", "LCDBLMax", "TimeLapse", "Lat", "Lon", "ChartMode",
                          "ChartInterval", "ChartScale", "PWMPrescaler", "TWIBitrate", "RandomInit", "LCDBLNight",
                          "TempOffset", "CloudTempWater", "BalanceSumRamp"}));
    const QStringList weather = ini.keys(QStringLiteral("Weather"));
    QCOMPARE(weather.size(), 9 + 4 * 12 + 1);
    QCOMPARE(weather.mid(8, 6), QStringList({"LightningP", "Balance0", "MoonColor160", "WeatherDelay0",
                                             "LightningMask0", "Balance1"}));
    QCOMPARE(weather.constLast(), QStringLiteral("BalanceSum"));
    QCOMPARE(ini.keys(QStringLiteral("RC5")).constLast(), QStringLiteral("Step"));
    QCOMPARE(ini.keys(QStringLiteral("TimeZone")).constLast(), QStringLiteral("Bias"));
    const QStringList line = ini.keys(QStringLiteral("2"));
    QCOMPARE(line.size(), 16);
    QCOMPARE(line.mid(0, 4), QStringList({"Hour", "Minute", "Alt", "Color160"}));
    QCOMPARE(line.mid(13), QStringList({"Color1610", "Color1611", "Switch"}));
}

void TstSettingsFile::exportKeepsForeignSections()
{
    const QString path = m_dir.filePath(QStringLiteral("keep.ini"));
    writeAll(path, "; my notes\r\n[Aquarium]\r\nVolume=240\r\n[Config]\r\nMode=4\r\nMyOwn=1\r\n[99]\r\nHour=1\r\n");
    image.resizeSchedule(1);
    image.Config.Mode = 1;
    QVERIFY(WriteSettingsFile(path, image));
    IniFile ini;
    QCOMPARE(IniFile::load(path, &ini), IniFile::LoadResult::Loaded);
    QCOMPARE(ini.integer(QStringLiteral("Aquarium"), QStringLiteral("Volume")), std::optional<int64_t>(240));
    QCOMPARE(ini.integer(QStringLiteral("Config"), QStringLiteral("MyOwn")), std::optional<int64_t>(1));
    QCOMPARE(ini.integer(QStringLiteral("Config"), QStringLiteral("Mode")), std::optional<int64_t>(1));
    QCOMPARE(ini.integer(QStringLiteral("99"), QStringLiteral("Hour")), std::optional<int64_t>(1));
    QVERIFY(readAll(path).startsWith("; my notes\r\n[Aquarium]\r\n"));
}

void TstSettingsFile::importedValues_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<std::function<int(const DeviceImage &)>>("field");
    QTest::addColumn<int>("expected");
    using F = std::function<int(const DeviceImage &)>;
    // Every field starts at 7 (see importedValues).
    QTest::newRow("hex hour") << QByteArray("[0]\nHour=0x0C") << F([](auto &d) { return int(d.Schedule[0].Hour); }) << 12;
    QTest::newRow("dollar hex") << QByteArray("[0]\nminute=$1E") << F([](auto &d) { return int(d.Schedule[0].Minute); }) << 30;
    QTest::newRow("300 in 8 bits") << QByteArray("[Config]\nFanLow=300") << F([](auto &d) { return int(d.Config.FanLow); }) << 44;
    QTest::newRow("70000 in 16 bits") << QByteArray("[Weather]\nCloudP=70000")
                                      << F([](auto &d) { return int(d.Config.CloudP); }) << 4464;
    QTest::newRow("32-bit hex in signed 16") << QByteArray("[TimeZone]\nBias=0xFFFFFFFF")
                                             << F([](auto &d) { return int(d.Expert.Bias); }) << -1;
    QTest::newRow("not a number keeps") << QByteArray("[Config]\nFanHigh=fast")
                                        << F([](auto &d) { return int(d.Config.FanHigh); }) << 7;
    QTest::newRow("far out of range keeps") << QByteArray("[RC5]\nUp=123456789012345678901234567890")
                                            << F([](auto &d) { return int(d.Expert.RC5Code[0]); }) << 7;
    QTest::newRow("missing keeps") << QByteArray("[Weather]\n") << F([](auto &d) { return int(d.ExpertWeather.BalanceSum); }) << 7;
    QTest::newRow("binary garbage keeps") << QByteArray("\0\xff[\x01]=\n\x80\x81", 8)
                                          << F([](auto &d) { return int(d.Config.Mode); }) << 7;
    QTest::newRow("any letter case") << QByteArray("[weather]\nmooncolor1611=4096")
                                     << F([](auto &d) { return int(d.ExpertWeather.MoonColor16[11]); }) << 4096;
}

void TstSettingsFile::importedValues()
{
    QFETCH(QByteArray, file);
    QFETCH(std::function<int(const DeviceImage &)>, field);
    QFETCH(int, expected);
    image.resizeSchedule(1);
    std::memset(&image.Config, 7, sizeof image.Config);
    std::memset(&image.Expert, 7, sizeof image.Expert);
    std::memset(&image.ExpertWeather, 7, sizeof image.ExpertWeather);
    std::memset(&image.Schedule[0], 7, sizeof(ScheduleLine));
    // LE fields filled with 7s read as 0x0707; keep the single-byte expectation meaningful.
    image.Config.CloudP = 7;
    image.Expert.Bias = 7;
    image.Expert.RC5Code[0] = 7;
    image.ExpertWeather.MoonColor16[11] = 7;
    const IniFile ini = IniFile::parse(file);
    ReadSettingsFromIni(ini, image);
    ReadScheduleFromIni(ini, image);
    QCOMPARE(field(image), expected);
}

void TstSettingsFile::roundTripOfRandomImages()
{
    for (quint32 seed = 1; seed <= 25; ++seed) {
        QRandomGenerator random(seed);
        image = DeviceImage{};
        randomise(image.Config, random);
        randomise(image.Expert, random);
        randomise(image.ExpertWeather, random);
        image.resizeSchedule(random.bounded(seed == 1 ? 1 : 40));
        for (ScheduleLine &line : image.Schedule)
            randomise(line, random);
        const ConfigRecord config = image.Config;
        const ExpertRecord expert = image.Expert;
        const ExpertWeatherRecord weather = image.ExpertWeather;
        const std::vector<ScheduleLine> lines = image.Schedule;

        const QString path = m_dir.filePath(QStringLiteral("round%1.ini").arg(seed));
        QVERIFY(WriteSettingsFile(path, image));
        image = DeviceImage{};
        image.resizeSchedule(lines.size());
        IniFile ini;
        QCOMPARE(IniFile::load(path, &ini), IniFile::LoadResult::Loaded);
        ReadSettingsFromIni(ini, image);
        ReadScheduleFromIni(ini, image);
        QVERIFY2(std::memcmp(&image.Config, &config, sizeof config) == 0, qPrintable(QString::number(seed)));
        QVERIFY2(std::memcmp(&image.Expert, &expert, sizeof expert) == 0, qPrintable(QString::number(seed)));
        QVERIFY2(std::memcmp(&image.ExpertWeather, &weather, sizeof weather) == 0, qPrintable(QString::number(seed)));
        QVERIFY2(lines.empty() ||
                     std::memcmp(image.Schedule.data(), lines.data(), lines.size() * sizeof(ScheduleLine)) == 0,
                 qPrintable(QString::number(seed)));
    }
}

void TstSettingsFile::pythonReadsTheExport()
{
    const QString python = QStringLiteral("/usr/bin/python3");
    if (!QFile::exists(python))
        QSKIP("/usr/bin/python3 is not installed");
    QRandomGenerator random(77);
    randomise(image.Config, random);
    randomise(image.Expert, random);
    randomise(image.ExpertWeather, random);
    image.resizeSchedule(5);
    for (ScheduleLine &line : image.Schedule)
        randomise(line, random);
    const QString path = m_dir.filePath(QStringLiteral("python.ini"));
    QVERIFY(WriteSettingsFile(path, image));

    const char *script = "import configparser, sys\n"
                         "p = configparser.ConfigParser(interpolation=None)\n"
                         "p.optionxform = str\n"
                         "p.read(sys.argv[1], encoding='cp1252')\n"
                         "for s in p.sections():\n"
                         "    print('[' + s + ']')\n"
                         "    for k, v in p.items(s):\n"
                         "        print(k + '=' + v)\n";
    QProcess process;
    process.start(python, {QStringLiteral("-c"), QString::fromLatin1(script), path});
    QVERIFY(process.waitForFinished(20000));
    QCOMPARE(process.exitCode(), 0);

    QString expected;
    IniFile ini;
    IniFile::load(path, &ini);
    QStringList sections = ini.sectionNames();
    QCOMPARE(sections.size(), 5 + 5);
    for (const QString &section : sections) {
        expected += u'[' + section + QStringLiteral("]\n");
        for (const QString &key : ini.keys(section))
            expected += key + u'=' + *ini.value(section, key) + u'\n';
    }
    QCOMPARE(QString::fromLatin1(process.readAllStandardOutput()), expected);
}

void TstSettingsFile::backupNames_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("file");
    QTest::newRow("COM port with text") << "COM7 (\\Device\\BthModem0)" << "Backup_COM7.ini";
    QTest::newRow("pseudo-terminal") << "/dev/pts/3 (Simulated controller)" << "Backup_pts_3.ini";
    QTest::newRow("port name") << "ttyUSB0 (FT232R USB UART)" << "Backup_ttyUSB0.ini";
    QTest::newRow("nested device path") << "/dev/serial/by-id/usb-FTDI:1.0" << "Backup_serial_by-id_usb-FTDI_1.0.ini";
    QTest::newRow("no climbing out") << "../../etc/x" << "Backup_.._.._etc_x.ini";
    QTest::newRow("non-ASCII") << QStringLiteral("Gerät\u20AC") << "Backup_Ger_t_.ini";
    QTest::newRow("leading blank") << " COM5" << "";
    QTest::newRow("empty") << "" << "";
}

void TstSettingsFile::backupNames()
{
    QFETCH(QString, entry);
    QFETCH(QString, file);
    const QString path = BackupFilePath(QStringLiteral("/data"), entry);
    QCOMPARE(path, file.isEmpty() ? QString() : QStringLiteral("/data/") + file);
}

void TstSettingsFile::unreadableTargetIsNotReplaced()
{
    const QString path = m_dir.filePath(QStringLiteral("huge.ini"));
    QFile big(path);
    QVERIFY(big.open(QIODevice::WriteOnly));
    QVERIFY(big.resize(IniFile::MaxFileSize + 10));
    big.close();
    QVERIFY(!WriteSettingsFile(path, image));
    QCOMPARE(QFileInfo(path).size(), IniFile::MaxFileSize + 10);
    // A pipe is neither read (that would block) nor replaced.
    const QString pipe = m_dir.filePath(QStringLiteral("pipe.ini"));
    QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    QVERIFY(!WriteSettingsFile(pipe, image));
    QVERIFY(!QFileInfo(pipe).isFile());
}

void TstSettingsFile::keyTable_data()
{
    QTest::addColumn<int>("index");
    const std::vector<KeyPlace> places = keyPlaces();
    for (std::size_t i = 0; i < places.size(); ++i)
        QTest::addRow("%s/%s", places[i].section, qPrintable(places[i].key)) << int(i);
}

void TstSettingsFile::keyTable()
{
    QFETCH(int, index);
    const KeyPlace k = keyPlaces()[std::size_t(index)];
    image.resizeSchedule(1);
    // Every byte of a record different and with its top bit set, so that a wrong offset, a
    // wrong width or a wrong sign each give another number.
    for (char record : {'C', 'E', 'W', 'S'}) {
        std::span<uint8_t> bytes = bytesOf(image, record);
        for (std::size_t j = 0; j < bytes.size(); ++j)
            bytes[j] = uint8_t(0x80 | ((7 * j + 13 * std::size_t(record - 'A')) & 0x7F));
    }
    const QString section = QString::fromLatin1(k.section);
    IniFile written;
    WriteImageToIni(written, image);
    QCOMPARE(written.integer(section, k.key), std::optional<int64_t>(fieldValue(bytesOf(image, k.record), k)));

    // Read back: a value that fills the field's width lands on exactly its bytes and no others.
    std::vector<uint8_t> before[4];
    for (int r = 0; r < 4; ++r) {
        const std::span<uint8_t> bytes = bytesOf(image, "CEWS"[r]);
        before[r].assign(bytes.begin(), bytes.end());
    }
    const int64_t value = k.width == 1 ? (k.isSigned ? -77 : 0xA5) : (k.isSigned ? -12345 : 0xBEEF);
    IniFile file;
    file.setInteger(section, k.key, value);
    ReadSettingsFromIni(file, image);
    ReadScheduleFromIni(file, image);
    for (int r = 0; r < 4; ++r) {
        const char record = "CEWS"[r];
        const std::span<uint8_t> bytes = bytesOf(image, record);
        for (int j = 0; j < int(bytes.size()); ++j) {
            const bool mine = record == k.record && j >= k.offset && j < k.offset + k.width;
            const uint8_t expected = mine ? uint8_t(uint64_t(value) >> (8 * (j - k.offset))) : before[r][std::size_t(j)];
            if (bytes[std::size_t(j)] != expected)
                QFAIL(qPrintable(QStringLiteral("record %1, byte %2: %3, expected %4")
                                     .arg(record).arg(j).arg(bytes[std::size_t(j)]).arg(expected)));
        }
    }
}

void TstSettingsFile::keyTableOrder()
{
    // The program's table names the same keys, in the order they are written.
    QStringList expected, actual;
    for (const KeyPlace &k : keyPlaces())
        expected << QString::fromLatin1(k.section) + u'/' + k.key;
    for (const IniKey &k : SettingsKeys())
        actual << QString::fromLatin1(k.section) + u'/' + k.key;
    for (const IniKey &k : ScheduleLineKeys())
        actual << QStringLiteral("0/") + k.key;
    QCOMPARE(actual, expected);
}

void TstSettingsFile::writtenFilesStayImportable()
{
    image.resizeSchedule(20);
    // A file just under the size limit, mostly foreign text, without the program's keys.
    const QString path = m_dir.filePath(QStringLiteral("Backup_rfcomm0.ini"));
    QByteArray big = "[Notes]\r\n";
    for (int i = 0; big.size() < IniFile::MaxFileSize - 200; ++i)
        big += "Line" + QByteArray::number(i) + "=" + QByteArray(60, 'n') + "\r\n";
    writeAll(path, big);
    const QString export_ = m_dir.filePath(QStringLiteral("export.ini"));
    writeAll(export_, big);

    // An export into it would grow it past what the import reads: refused, file untouched.
    QCOMPARE(WriteSettingsFileChecked(export_, image, OversizedFile::Keep), SettingsWriteResult::TooLarge);
    QCOMPARE(readAll(export_), big);

    // The backup is started afresh instead: it holds the image and can be read back.
    image.Config.FanLow = 91;
    QVERIFY(WriteBackupFile(m_dir.path(), QStringLiteral("rfcomm0 (Bluetooth)"), image));
    QVERIFY(QFileInfo(path).size() <= IniFile::MaxFileSize);
    IniFile ini;
    QCOMPARE(IniFile::load(path, &ini), IniFile::LoadResult::Loaded);
    QCOMPARE(ini.integer(QStringLiteral("Config"), QStringLiteral("FanLow")), std::optional<int64_t>(91));
    QVERIFY(ini.hasSection(QStringLiteral("19")));
    QVERIFY(!ini.hasSection(QStringLiteral("Notes")));

    // A backup already beyond the limit (written by hand) is replaced the same way.
    QFile huge(path);
    QVERIFY(huge.resize(IniFile::MaxFileSize + 1));
    QVERIFY(WriteBackupFile(m_dir.path(), QStringLiteral("rfcomm0"), image));
    QCOMPARE(IniFile::load(path, &ini), IniFile::LoadResult::Loaded);

    // A file with room to spare keeps its foreign text.
    writeAll(export_, "[Notes]\r\nA=1\r\n");
    QCOMPARE(WriteSettingsFileChecked(export_, image, OversizedFile::Keep), SettingsWriteResult::Written);
    QCOMPARE(IniFile::load(export_, &ini), IniFile::LoadResult::Loaded);
    QCOMPARE(ini.integer(QStringLiteral("Notes"), QStringLiteral("A")), std::optional<int64_t>(1));
}

QTEST_GUILESS_MAIN(TstSettingsFile)
#include "tst_settings_file.moc"
