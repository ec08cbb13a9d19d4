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
    Expert.TempOffset = -5;
    ExpertWeather.MoonColor16[0] = 0xFFFF;   // written as a signed 16-bit value
    Expert.RC5Code[7] = 0xF00D;
    IniFile ini;
    WriteImageToIni(ini);
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
    QTest::newRow("70000 in 16 bits") << QByteArray("[Weather]\nCloudP=70000")
                                      << F([] { return int(Config.CloudP); }) << 4464;
    QTest::newRow("32-bit hex in signed 16") << QByteArray("[TimeZone]\nBias=0xFFFFFFFF")
                                             << F([] { return int(Expert.Bias); }) << -1;
    QTest::newRow("not a number keeps") << QByteArray("[Config]\nFanHigh=fast")
                                        << F([] { return int(Config.FanHigh); }) << 7;
    QTest::newRow("far out of range keeps") << QByteArray("[RC5]\nUp=123456789012345678901234567890")
                                            << F([] { return int(Expert.RC5Code[0]); }) << 7;
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
    ExpertWeather.MoonColor16[11] = 7;
    const IniFile ini = IniFile::parse(file);
    ReadSettingsFromIni(ini);
    ReadScheduleFromIni(ini);
    QCOMPARE(field(), expected);
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
        QVERIFY2(lines.empty() ||
                     std::memcmp(Schedule.data(), lines.data(), lines.size() * sizeof(ScheduleLine)) == 0,
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

void TstSettingsFile::unreadableTargetIsNotReplaced()
{
    const QString path = m_dir.filePath(QStringLiteral("huge.ini"));
    QFile big(path);
    QVERIFY(big.open(QIODevice::WriteOnly));
    QVERIFY(big.resize(IniFile::MaxFileSize + 10));
    big.close();
    QVERIFY(!WriteSettingsFile(path));
    QCOMPARE(QFileInfo(path).size(), IniFile::MaxFileSize + 10);
    // A pipe is neither read (that would block) nor replaced.
    const QString pipe = m_dir.filePath(QStringLiteral("pipe.ini"));
    QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    QVERIFY(!WriteSettingsFile(pipe));
    QVERIFY(!QFileInfo(pipe).isFile());
}

QTEST_GUILESS_MAIN(TstSettingsFile)
#include "tst_settings_file.moc"
