#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>
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

} // namespace

class TstSettingsFile : public QObject {
    Q_OBJECT
private slots:
    void init();
    void newFileLayout();
    void valuesAsTheFieldHoldsThem_data();
    void valuesAsTheFieldHoldsThem();
    void exportKeepsForeignSections();
    void importedValues_data();
    void importedValues();
    void shortScheduleFileLeavesOtherLines();
    void importsStayInTheirPart();
    void roundTripOfRandomImages();
    void pythonReadsTheExport();
    void backupNames_data();
    void backupNames();
    void backupReplacesEarlierValues();
    void unreadableTargetIsNotReplaced();

private:
    QTemporaryDir m_dir;
};

void TstSettingsFile::init()
{
    resetDeviceImage();
}

void TstSettingsFile::newFileLayout()
{
    Schedule.resize(3);
    IniFile ini;
    WriteImageToIni(ini);
    QCOMPARE(ini.sectionNames(),
             QStringList({"Config", "Weather", "Names", "RC5", "TimeZone", "0", "1", "2"}));
    QCOMPARE(ini.keys(QStringLiteral("Config")),
             QStringList({"Mode", "Flag", "FanLow", "FanHigh", "FanOff", "FanMode", "TempWaterLow",
                          "TempWaterHigh", "LCDBLMin", "LCDBLMax", "TimeLapse", "Lat", "Lon", "ChartMode",
                          "ChartInterval", "ChartScale", "PWMPrescaler", "TWIBitrate", "RandomInit", "LCDBLNight",
                          "TempOffset", "CloudTempWater", "BalanceSumRamp"}));
    const QStringList weather = ini.keys(QStringLiteral("Weather"));
    QCOMPARE(weather.size(), 9 + 4 * 12 + 1);
    QCOMPARE(weather.mid(0, 15),
             QStringList({"CloudP", "CloudD", "StormP", "StormD", "CloudStep", "StormStep", "CloudAlpha",
                          "StormAlpha", "LightningP", "Balance0", "MoonColor160", "WeatherDelay0",
                          "LightningMask0", "Balance1", "MoonColor161"}));
    QCOMPARE(weather.mid(53), QStringList({"Balance11", "MoonColor1611", "WeatherDelay11", "LightningMask11",
                                           "BalanceSum"}));
    QCOMPARE(ini.keys(QStringLiteral("Names")).constLast(), QStringLiteral("ColorName11"));
    QCOMPARE(ini.keys(QStringLiteral("RC5")),
             QStringList({"Up", "Down", "Left", "Right", "Previous", "Next", "Settings", "Step"}));
    QCOMPARE(ini.keys(QStringLiteral("TimeZone")),
             QStringList({"StandardMonth", "StandardDay", "StandardHour", "StandardDayOfWeek", "DaylightMonth",
                          "DaylightDay", "DaylightHour", "DaylightDayOfWeek", "Bias"}));
    const QStringList line = ini.keys(QStringLiteral("2"));
    QCOMPARE(line.size(), 16);
    QCOMPARE(line.mid(0, 4), QStringList({"Hour", "Minute", "Alt", "Color160"}));
    QCOMPARE(line.mid(13), QStringList({"Color1610", "Color1611", "Switch"}));
}

void TstSettingsFile::valuesAsTheFieldHoldsThem_data()
{
    QTest::addColumn<std::function<void()>>("set");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("text");
    using F = std::function<void()>;
    QTest::newRow("signed 8") << F([] { Expert.TempOffset = -5; }) << "Config" << "TempOffset" << "-5";
    QTest::newRow("signed 16") << F([] { Config.Lat = -1234; }) << "Config" << "Lat" << "-1234";
    QTest::newRow("unsigned 16 high") << F([] { Expert.RC5Code[7] = 0xF00D; }) << "RC5" << "Step" << "61453";
    QTest::newRow("unsigned 8 high") << F([] { ExpertWeather.WeatherDelay[11] = 255; }) << "Weather"
                                     << "WeatherDelay11" << "255";
    QTest::newRow("moon colour is written signed") << F([] { ExpertWeather.MoonColor16[3] = 0xFFFF; })
                                                   << "Weather" << "MoonColor163" << "-1";
    QTest::newRow("no scaling") << F([] { Expert.ChartScale = 25; }) << "Config" << "ChartScale" << "25";
    QTest::newRow("time zone bias") << F([] { Expert.Bias = -300; }) << "TimeZone" << "Bias" << "-300";
    QTest::newRow("line altitude") << F([] { Schedule[1].Alt = -2588; }) << "1" << "Alt" << "-2588";
    QTest::newRow("line switch") << F([] { Schedule[1].Switch = 0xE5; }) << "1" << "Switch" << "229";
}

void TstSettingsFile::valuesAsTheFieldHoldsThem()
{
    QFETCH(std::function<void()>, set);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, text);
    Schedule.resize(2);
    set();
    IniFile ini;
    WriteImageToIni(ini);
    QCOMPARE(ini.value(section, key).value_or(QStringLiteral("<absent>")), text);
}

void TstSettingsFile::exportKeepsForeignSections()
{
    const QString path = m_dir.filePath(QStringLiteral("keep.ini"));
    writeAll(path, "; my notes\r\n[Aquarium]\r\nVolume=240\r\n[Config]\r\nMode=4\r\nMyOwn=1\r\n[99]\r\nHour=1\r\n");
    Schedule.resize(1);
    Config.Mode = 1;
    QVERIFY(WriteSettingsFile(path));
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
    QTest::addColumn<std::function<int()>>("field");
    QTest::addColumn<int>("expected");
    using F = std::function<int()>;
    // Every field starts at 7 (see importedValues).
    QTest::newRow("hex hour") << QByteArray("[0]\nHour=0x0C") << F([] { return int(Schedule[0].Hour); }) << 12;
    QTest::newRow("dollar hex") << QByteArray("[0]\nminute=$1E") << F([] { return int(Schedule[0].Minute); }) << 30;
    QTest::newRow("300 in 8 bits") << QByteArray("[Config]\nFanLow=300") << F([] { return int(Config.FanLow); }) << 44;
    QTest::newRow("-1 in unsigned 8") << QByteArray("[Names]\nColorName4=-1")
                                      << F([] { return int(Config.ColorName[4]); }) << 255;
    QTest::newRow("70000 in 16 bits") << QByteArray("[Weather]\nCloudP=70000")
                                      << F([] { return int(Config.CloudP); }) << 4464;
    QTest::newRow("32-bit hex in signed 16") << QByteArray("[TimeZone]\nBias=0xFFFFFFFF")
                                             << F([] { return int(Expert.Bias); }) << -1;
    QTest::newRow("signed 8 from 200") << QByteArray("[Config]\nTempOffset=200")
                                       << F([] { return int(Expert.TempOffset); }) << -56;
    QTest::newRow("not a number keeps") << QByteArray("[Config]\nFanHigh=fast")
                                        << F([] { return int(Config.FanHigh); }) << 7;
    QTest::newRow("decimal keeps") << QByteArray("[Config]\nFanHigh=1.5") << F([] { return int(Config.FanHigh); }) << 7;
    QTest::newRow("far out of range keeps") << QByteArray("[RC5]\nUp=123456789012345678901234567890")
                                            << F([] { return int(Expert.RC5Code[0]); }) << 7;
    QTest::newRow("empty keeps") << QByteArray("[RC5]\nDown=") << F([] { return int(Expert.RC5Code[1]); }) << 7;
    QTest::newRow("missing keeps") << QByteArray("[Weather]\n") << F([] { return int(ExpertWeather.BalanceSum); }) << 7;
    QTest::newRow("binary garbage keeps") << QByteArray("\0\xff[\x01]=\n\x80\x81", 8)
                                          << F([] { return int(Config.Mode); }) << 7;
    QTest::newRow("any letter case") << QByteArray("[weather]\nmooncolor1611=4096")
                                     << F([] { return int(ExpertWeather.MoonColor16[11]); }) << 4096;
}

void TstSettingsFile::importedValues()
{
    QFETCH(QByteArray, file);
    QFETCH(std::function<int()>, field);
    QFETCH(int, expected);
    Schedule.resize(1);
    std::memset(&Config, 7, sizeof Config);
    std::memset(&Expert, 7, sizeof Expert);
    std::memset(&ExpertWeather, 7, sizeof ExpertWeather);
    std::memset(&Schedule[0], 7, sizeof(ScheduleLine));
    // LE fields filled with 7s read as 0x0707; keep the single-byte expectation meaningful.
    Config.CloudP = 7;
    Expert.Bias = 7;
    Expert.RC5Code[0] = 7;
    Expert.RC5Code[1] = 7;
    ExpertWeather.MoonColor16[11] = 7;
    const IniFile ini = IniFile::parse(file);
    ReadSettingsFromIni(ini);
    ReadScheduleFromIni(ini);
    QCOMPARE(field(), expected);
}

void TstSettingsFile::shortScheduleFileLeavesOtherLines()
{
    Schedule.resize(4);
    for (int i = 0; i < 4; ++i)
        Schedule[i].Hour = uint8_t(10 + i);
    ReadScheduleFromIni(IniFile::parse("[0]\nHour=1\n[1]\nHour=2\n[4]\nHour=5\n[200]\nHour=6\n"));
    QCOMPARE(Schedule.size(), std::size_t(4));
    QCOMPARE(Schedule[0].Hour, 1);
    QCOMPARE(Schedule[1].Hour, 2);
    QCOMPARE(Schedule[2].Hour, 12);
    QCOMPARE(Schedule[3].Hour, 13);
}

void TstSettingsFile::importsStayInTheirPart()
{
    Schedule.resize(1);
    const IniFile ini = IniFile::parse("[Config]\nMode=2\n[0]\nHour=5\n");
    ReadSettingsFromIni(ini);
    QCOMPARE(Schedule[0].Hour, 0);
    QCOMPARE(Config.Mode, 2);
    Config.Mode = 0;
    ReadScheduleFromIni(ini);
    QCOMPARE(Schedule[0].Hour, 5);
    QCOMPARE(Config.Mode, 0);
}

void TstSettingsFile::roundTripOfRandomImages()
{
    for (quint32 seed = 1; seed <= 25; ++seed) {
        QRandomGenerator random(seed);
        resetDeviceImage();
        randomise(Config, random);
        randomise(Expert, random);
        randomise(ExpertWeather, random);
        Schedule.resize(random.bounded(seed == 1 ? 1 : 40));
        for (ScheduleLine &line : Schedule)
            randomise(line, random);
        const ConfigRecord config = Config;
        const ExpertRecord expert = Expert;
        const ExpertWeatherRecord weather = ExpertWeather;
        const std::vector<ScheduleLine> lines = Schedule;

        const QString path = m_dir.filePath(QStringLiteral("round%1.ini").arg(seed));
        QVERIFY(WriteSettingsFile(path));
        resetDeviceImage();
        Schedule.resize(lines.size());
        IniFile ini;
        QCOMPARE(IniFile::load(path, &ini), IniFile::LoadResult::Loaded);
        ReadSettingsFromIni(ini);
        ReadScheduleFromIni(ini);
        QVERIFY2(std::memcmp(&Config, &config, sizeof config) == 0, qPrintable(QString::number(seed)));
        QVERIFY2(std::memcmp(&Expert, &expert, sizeof expert) == 0, qPrintable(QString::number(seed)));
        QVERIFY2(std::memcmp(&ExpertWeather, &weather, sizeof weather) == 0, qPrintable(QString::number(seed)));
        QVERIFY2(std::memcmp(Schedule.data(), lines.data(), lines.size() * sizeof(ScheduleLine)) == 0,
                 qPrintable(QString::number(seed)));
    }
}

void TstSettingsFile::pythonReadsTheExport()
{
    const QString python = QStringLiteral("/usr/bin/python3");
    if (!QFile::exists(python))
        QSKIP("/usr/bin/python3 is not installed");
    QRandomGenerator random(77);
    randomise(Config, random);
    randomise(Expert, random);
    randomise(ExpertWeather, random);
    Schedule.resize(5);
    for (ScheduleLine &line : Schedule)
        randomise(line, random);
    const QString path = m_dir.filePath(QStringLiteral("python.ini"));
    QVERIFY(WriteSettingsFile(path));

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

void TstSettingsFile::backupReplacesEarlierValues()
{
    const QString folder = m_dir.filePath(QStringLiteral("backups"));
    QVERIFY(QDir().mkpath(folder));
    Schedule.resize(2);
    Config.FanLow = 10;
    QVERIFY(WriteBackupFile(folder, QStringLiteral("COM7 more text")));
    Config.FanLow = 20;
    QVERIFY(WriteBackupFile(folder, QStringLiteral("COM7")));
    IniFile ini;
    QCOMPARE(IniFile::load(folder + QStringLiteral("/Backup_COM7.ini"), &ini), IniFile::LoadResult::Loaded);
    QCOMPARE(ini.integer(QStringLiteral("Config"), QStringLiteral("FanLow")), std::optional<int64_t>(20));
    QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{QStringLiteral("Backup_COM7.ini")});
    QVERIFY(!WriteBackupFile(folder, QString()));
}

void TstSettingsFile::unreadableTargetIsNotReplaced()
{
    const QString path = m_dir.filePath(QStringLiteral("huge.ini"));
    QFile big(path);
    QVERIFY(big.open(QIODevice::WriteOnly));
    QVERIFY(big.resize(IniFile::MaxFileSize + 10));
    big.close();
    QVERIFY(!WriteSettingsFile(path));
    QCOMPARE(QFileInfo(path).size(), IniFile::MaxFileSize + 10);
}

QTEST_GUILESS_MAIN(TstSettingsFile)
#include "tst_settings_file.moc"
