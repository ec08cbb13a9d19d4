// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QTest>

#include <cstring>

#include "app/ini_commands.h"
#include "files/ini_file.h"
#include "files/settings_file.h"
#include "link/device_model.h"
#include "link/ports.h"
#include "sim_fixture.h"
#include "window_fixture.h"

namespace {

void writeText(const QString &path, const QByteArray &text)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(text);
}

IniFile loadIni(const QString &path)
{
    IniFile ini;
    IniFile::load(path, &ini);
    return ini;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// What a complete download of the connected controller reports to the window.
void completeDownload(TfrmLumora *w)
{
    for (DownloadGate::Record r : {DownloadGate::Config, DownloadGate::Info, DownloadGate::Expert})
        w->Download.recordRead(r, true);
    w->Download.scheduleRead(true, w->device().Schedule.size());
    w->Download.recordRead(DownloadGate::ExpertWeather, true);
}

// A simulated controller of the test's own, answering slowly enough that every step of
// the download can be caught; its config carries a mark to tell its backup by.
struct SlowController {
    explicit SlowController(uint8_t fanLow)
    {
        ConfigRecord config = port.controller().config();
        config.FanLow = fanLow;
        port.controller().setConfig(config);
        port.controller().setLatencyMs(40);
        ok = port.start();
    }
    QString path() const { return port.slavePath(); }
    SimulatorPort port;
    bool ok = false;
};

// The moments of a download, as the request word shows them.
bool reached(TfrmLumora *w, int moment)
{
    const uint32_t pending = w->model().pendingRequests();
    switch (moment) {
    case 0: return true;   // at once, still connecting
    case 1: return w->IsConnected();   // identified, nothing read yet
    case 2: return w->IsConnected() && !(pending & GetExpert) && (pending & GetSchedule);   // lines coming in
    case 3: return w->IsConnected() && !(pending & GetSchedule) && (pending & GetExpertWeather);   // all but the last
    default: return w->ImageComplete();
    }
}

// Waits in small steps, so that short moments are not stepped over.
bool waitUntilReached(TfrmLumora *w, int moment)
{
    for (int waited = 0; waited < 10000; waited += 5) {
        if (reached(w, moment))
            return true;
        QTest::qWait(5);
    }
    return false;
}

} // namespace

class TstIniCommands : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void dialogsAndCancel_data();
    void dialogsAndCancel();
    void exportWritesTheImage();
    void configImportStoresRefreshesAndSends();
    void scheduleImportMarksEveryLine();
    void scheduleImportRefusedDuringDownload();
    void backupOnlyWithDeviceData();
    void exportOnlyFromACompleteDownload();
    void exportReportsAFailedWrite();
    void closingDuringDownload_data();
    void closingDuringDownload();
    void switchingPortsDuringDownload_data();
    void switchingPortsDuringDownload();
    void closingBacksUpTheController();
    void configImportReachesTheController();

private:
    void trigger(const char *item) { w->action(QString::fromLatin1(item))->trigger(); }
    // The dialog answers `answer` and remembers what it was asked.
    void answerDialog(const QString &answer)
    {
        m_asked = 0;
        w->iniCommands->ChooseFile = [this, answer](const IniCommands::FileDialogRequest &request) {
            ++m_asked;
            m_request = request;
            return answer;
        };
    }
    QString path(const QString &name) const { return w->ProgramFolder + name; }
    // The window's image: a starting state to load, and what the window holds.
    DeviceImage &loaded() { return w->model().imageForLoading(); }
    const DeviceImage &image() const { return w->device(); }
    uint32_t pending() const { return w->model().pendingRequests(); }

    std::unique_ptr<TfrmLumora> w;
    IniCommands::FileDialogRequest m_request;
    int m_asked = 0;
};

void TstIniCommands::init()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    // A window connected to the simulator remembers its port; later windows must not
    // try to reach it again.
    ForgetPort();
}

void TstIniCommands::cleanup()
{
    w.reset();
    QDir folder(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Aqualumora"));
    for (const QString &name : folder.entryList({QStringLiteral("*.ini")}, QDir::Files))
        folder.remove(name);
}

void TstIniCommands::dialogsAndCancel_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<bool>("save");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<uint>("requests");   // after cancelling
    QTest::newRow("export") << "mnuScheduleConfigExport" << true << "Export schedule and configuration to..."
                            << "-english" << "Aqualumora 1.x.5 configuration (*.ini)" << uint(Refresh);
    QTest::newRow("configuration") << "mnuConfigImport" << false << "Import configuration from..." << "-english"
                                   << "Aqualumora 1.x.5 configuration (*.ini)" << 0u;
    QTest::newRow("schedule") << "mnuScheduleImport" << false << "Zeitplan importieren von..." << "-german"
                              << "Aqualumora 1.x.5 - Konfiguration (*.ini)" << 0u;
}

void TstIniCommands::dialogsAndCancel()
{
    QFETCH(QString, item);
    QFETCH(bool, save);
    QFETCH(QString, title);
    QFETCH(QString, language);
    QFETCH(QString, filter);
    QFETCH(uint, requests);
    w = makeWindow({language});
    w->SetConnected(true);
    loaded().resizeSchedule(2);
    w->model().replaceRequests(0);
    answerDialog(QString());
    trigger(item.toLatin1().constData());
    QCOMPARE(m_asked, 1);
    QCOMPARE(m_request.save, save);
    QCOMPARE(m_request.title, title);
    QCOMPARE(m_request.filter, filter);
    QCOMPARE(m_request.defaultSuffix, QStringLiteral("ini"));
    QCOMPARE(m_request.folder, w->ProgramFolder);
    QVERIFY(!w->ProgramFolder.isEmpty());
    // Cancelled: nothing written, nothing marked, only the export's re-reads requested.
    QCOMPARE(pending(), requests);
    QCOMPARE(image().ScheduleDirty, std::vector<uint8_t>(2, 0));
    QVERIFY(QDir(w->ProgramFolder).entryList({QStringLiteral("*.ini")}, QDir::Files).isEmpty());
}

void TstIniCommands::exportWritesTheImage()
{
    w = makeWindow({"-english"});
    w->SetConnected(true);
    loaded().resizeSchedule(2);
    completeDownload(w.get());
    loaded().Config.Lat = -337;
    loaded().Schedule[1].Hour = 23;
    const QString file = path(QStringLiteral("export.ini"));
    writeText(file, "[Tank]\r\nLitres=240\r\n");
    w->model().replaceRequests(0);
    answerDialog(file);
    trigger("mnuScheduleConfigExport");
    QCOMPARE(pending(), Refresh);
    const IniFile ini = loadIni(file);
    QCOMPARE(ini.integer(QStringLiteral("Config"), QStringLiteral("Lat")), std::optional<int64_t>(-337));
    QCOMPARE(ini.integer(QStringLiteral("1"), QStringLiteral("Hour")), std::optional<int64_t>(23));
    QCOMPARE(ini.integer(QStringLiteral("Tank"), QStringLiteral("Litres")), std::optional<int64_t>(240));
    QVERIFY(w->mem->toPlainText().endsWith(QStringLiteral("] Schedule and configuration written to ") + file));
}

void TstIniCommands::configImportStoresRefreshesAndSends()
{
    w = makeWindow({"-english"});
    w->show();
    w->SetConnected(true);
    loaded().resizeSchedule(1);
    loaded().Schedule[0].Hour = 5;
    const QString file = path(QStringLiteral("config.ini"));
    writeText(file, "[Config]\nMode=1\nFanLow=300\nChartInterval=15\n[Names]\nColorName0=3\n"
                    "[Weather]\nCloudStep=0x4D2\n[RC5]\nStep=$1001\n[0]\nHour=9\n");
    w->model().replaceRequests(0);
    answerDialog(file);
    trigger("mnuConfigImport");
    QCOMPARE(image().Config.Mode, ModeAuto);
    QCOMPARE(image().Config.FanLow, 44);
    QCOMPARE(int(image().Expert.ChartInterval), 15);
    QCOMPARE(int(image().ExpertWeather.CloudStep), 1234);
    QCOMPARE(int(image().Expert.RC5Code[RC5Step]), 0x1001);
    QCOMPARE(image().Schedule[0].Hour, 5);   // schedule sections are not read
    QCOMPARE(pending(), ImportConfig);
    // The pages show the imported values.
    showPageOf(w.get(), w->findChild<QComboBox *>(QStringLiteral("cmbName0")));
    QCOMPARE(w->findChild<QComboBox *>(QStringLiteral("cmbName0"))->currentIndex(), 3);
    QVERIFY(w->mem->toPlainText().endsWith(QStringLiteral("] Configuration read from ") + file));
    // A file that cannot be read changes nothing, yet refreshes and sends as well.
    w->model().replaceRequests(0);
    answerDialog(path(QStringLiteral("vanished.ini")));
    trigger("mnuConfigImport");
    QCOMPARE(image().Config.FanLow, 44);
    QVERIFY(w->mem->toPlainText().endsWith(QStringLiteral("] Could not read ") + path(QStringLiteral("vanished.ini")) +
                                           QStringLiteral("; nothing was imported from it.")));
    QCOMPARE(pending(), ImportConfig);
}

void TstIniCommands::scheduleImportMarksEveryLine()
{
    w = makeWindow({"-english"});
    w->SetConnected(true);
    loaded().Info.LineCount = 3;
    loaded().resizeSchedule(3);
    w->Edit.curvePoints.resize(3);
    for (int i = 0; i < 3; ++i)
        loaded().Schedule[i].Minute = uint8_t(10 * i);
    const QString file = path(QStringLiteral("schedule.ini"));
    writeText(file, "[Config]\nMode=4\n[0]\nHour=0x0C\nMinute=300\n[3]\nHour=1\n");
    w->model().replaceRequests(0);
    answerDialog(file);
    trigger("mnuScheduleImport");
    QCOMPARE(image().Schedule.size(), std::size_t(3));
    QCOMPARE(image().Schedule[0].Hour, 12);
    QCOMPARE(image().Schedule[0].Minute, 44);
    QCOMPARE(image().Schedule[1].Minute, 10);
    QCOMPARE(image().Schedule[2].Minute, 20);
    QCOMPARE(image().Config.Mode, 0);
    QCOMPARE(image().ScheduleDirty, std::vector<uint8_t>(3, 1));
    QCOMPARE(pending(), SetSchedule);
    QVERIFY(w->mem->toPlainText().endsWith(QStringLiteral("] Schedule read from ") + file));
}

void TstIniCommands::scheduleImportRefusedDuringDownload()
{
    w = makeWindow({"-english"});
    w->SetConnected(true);
    loaded().resizeSchedule(1);
    const QString file = path(QStringLiteral("schedule.ini"));
    writeText(file, "[0]\nHour=7\n");
    w->model().replaceRequests(GetSchedule);
    answerDialog(file);
    trigger("mnuScheduleImport");
    QCOMPARE(m_asked, 0);
    QCOMPARE(image().Schedule[0].Hour, 0);
    QCOMPARE(pending(), GetSchedule);
}

void TstIniCommands::backupOnlyWithDeviceData()
{
    w = makeWindow({"-english"});
    loaded().resizeSchedule(1);
    loaded().Config.FanLow = 66;
    const QString entry = QStringLiteral("COM7 (Bluetooth)");
    const QString file = path(QStringLiteral("Backup_COM7.ini"));
    w->WriteBackupFile(entry);
    QVERIFY(!QFile::exists(file));   // not connected
    w->PortName = entry;
    w->SetConnected(true);
    w->WriteBackupFile(entry);
    QVERIFY(!QFile::exists(file));   // connected, nothing read yet
    // Everything but one record read, or one read dropped for a pending write: not yet.
    w->Download.recordRead(DownloadGate::Config, true);
    w->Download.recordRead(DownloadGate::Info, true);
    w->Download.recordRead(DownloadGate::Expert, false);
    w->Download.scheduleRead(true, image().Schedule.size());
    w->Download.recordRead(DownloadGate::ExpertWeather, true);
    w->WriteBackupFile(entry);
    QVERIFY(!QFile::exists(file));
    // A schedule download cut short later leaves the one read before as it was.
    w->Download.recordRead(DownloadGate::Expert, true);
    w->Download.scheduleRead(false, image().Schedule.size());
    QVERIFY(w->ImageComplete());
    // The schedule grew (a later Info of another length): no longer whole.
    loaded().resizeSchedule(2);
    QVERIFY(!w->ImageComplete());
    loaded().resizeSchedule(1);
    w->WriteBackupFile(entry);
    QCOMPARE(loadIni(file).integer(QStringLiteral("Config"), QStringLiteral("FanLow")), std::optional<int64_t>(66));
    // The image is of COM7's controller, never of another port's.
    w->WriteBackupFile(QStringLiteral("/dev/pts/3"));
    QVERIFY(!QFile::exists(path(QStringLiteral("Backup_pts_3.ini"))));
    // The connection ends: nothing counts any more, not even after a new identification.
    QFile::remove(file);
    w->SetConnected(false);
    w->WriteBackupFile(entry);
    QVERIFY(!QFile::exists(file));
    w->SetConnected(true);
    w->WriteBackupFile(entry);
    QVERIFY(!QFile::exists(file));
    // A schedule read before this connection's Info (dropped for a pending write) counts
    // only when that Info gives it the length it was read with.
    w->Download.scheduleRead(true, image().Schedule.size());
    for (DownloadGate::Record r : {DownloadGate::Config, DownloadGate::Expert, DownloadGate::ExpertWeather})
        w->Download.recordRead(r, true);
    QVERIFY(!w->ImageComplete());
    w->Download.recordRead(DownloadGate::Info, false);
    QVERIFY(!w->ImageComplete());
    loaded().resizeSchedule(3);   // the Info says three lines
    w->Download.recordRead(DownloadGate::Info, true);
    QVERIFY(!w->ImageComplete());
    loaded().resizeSchedule(1);
    QVERIFY(w->ImageComplete());
}

void TstIniCommands::exportOnlyFromACompleteDownload()
{
    w = makeWindow({"-english"});
    w->SetConnected(true);
    loaded().resizeSchedule(2);
    const QString file = path(QStringLiteral("early.ini"));
    writeText(file, "[Tank]\r\nLitres=240\r\n");
    answerDialog(file);
    trigger("mnuScheduleConfigExport");
    QCOMPARE(m_asked, 1);
    QCOMPARE(readAll(file), QByteArray("[Tank]\r\nLitres=240\r\n"));
    QVERIFY(w->mem->toPlainText().contains(
        QStringLiteral("Nothing was exported: the controller's data have not all been read yet.")));
    completeDownload(w.get());
    trigger("mnuScheduleConfigExport");
    QVERIFY(loadIni(file).hasSection(QStringLiteral("Config")));
}

void TstIniCommands::exportReportsAFailedWrite()
{
    w = makeWindow({"-english"});
    w->SetConnected(true);
    loaded().resizeSchedule(1);
    completeDownload(w.get());
    const QString file = path(QStringLiteral("missing-folder/export.ini"));
    answerDialog(file);
    trigger("mnuScheduleConfigExport");
    QVERIFY(w->mem->toPlainText().contains(QStringLiteral("Could not write ") + file +
                                           QStringLiteral(". The file was left as it was.")));
}

void TstIniCommands::closingDuringDownload_data()
{
    QTest::addColumn<int>("moment");
    QTest::newRow("connecting") << 0;
    QTest::newRow("identified") << 1;
    QTest::newRow("reading the schedule") << 2;
    QTest::newRow("all but the last record") << 3;
    QTest::newRow("downloaded") << 4;
}

void TstIniCommands::closingDuringDownload()
{
    QFETCH(int, moment);
    SlowController controller(uint8_t(70 + moment));
    QVERIFY(controller.ok);
    const QString port = controller.path();
    // A good backup of this port from an earlier day.
    w = makeWindow({"-english", port});
    const QString file = path(QStringLiteral("Backup_") + SafePortName(port) + QStringLiteral(".ini"));
    const QByteArray good = "[Config]\r\nMode=1\r\nFanLow=12\r\nPWMPrescaler=9\r\n";
    writeText(file, good);

    QVERIFY(waitUntilReached(w.get(), moment));
    w->close();
    w.reset();
    if (moment < 4) {
        QCOMPARE(readAll(file), good);
    } else {
        const IniFile ini = loadIni(file);
        QCOMPARE(ini.integer(QStringLiteral("Config"), QStringLiteral("FanLow")), std::optional<int64_t>(70 + moment));
        QCOMPARE(ini.integer(QStringLiteral("Config"), QStringLiteral("PWMPrescaler")),
                 std::optional<int64_t>(controller.port.controller().expert().PWMPrescaler));
    }
}

void TstIniCommands::switchingPortsDuringDownload_data() { closingDuringDownload_data(); }

void TstIniCommands::switchingPortsDuringDownload()
{
    QFETCH(int, moment);
    SlowController first(31);
    SlowController second(32);
    QVERIFY(first.ok && second.ok);
    w = makeWindow({"-english", first.path()});
    const QString firstFile = path(QStringLiteral("Backup_") + SafePortName(first.path()) + QStringLiteral(".ini"));
    const QString secondFile = path(QStringLiteral("Backup_") + SafePortName(second.path()) + QStringLiteral(".ini"));
    const QByteArray good = "[Config]\r\nFanLow=12\r\n";
    writeText(firstFile, good);
    writeText(secondFile, good);

    QVERIFY(waitUntilReached(w.get(), moment));
    QTRY_VERIFY(w->LinkRunning());
    // The first port's backup is written only from its whole image; that image never passes
    // for the second controller's, however soon the window closes after the switch.
    w->ConnectToEntry(second.path());
    w->close();
    w.reset();
    if (moment < 4)
        QCOMPARE(readAll(firstFile), good);
    else
        QCOMPARE(loadIni(firstFile).integer(QStringLiteral("Config"), QStringLiteral("FanLow")),
                 std::optional<int64_t>(31));
    QCOMPARE(readAll(secondFile), good);
}


void TstIniCommands::closingBacksUpTheController()
{
    w = makeConnectedWindow();
    QVERIFY(w);
    ConfigRecord config = sim(w.get()).config();
    const QString port = w->PortName.section(u' ', 0, 0);
    QVERIFY(port.startsWith(QStringLiteral("/dev/")));
    const QString file = path(QStringLiteral("Backup_") + SafePortName(port) + QStringLiteral(".ini"));
    QVERIFY(!QFile::exists(file));
    w->close();
    QVERIFY(QFile::exists(file));
    const IniFile ini = loadIni(file);
    QCOMPARE(ini.integer(QStringLiteral("Config"), QStringLiteral("Lat")), std::optional<int64_t>(config.Lat));
    QCOMPARE(ini.integer(QStringLiteral("Config"), QStringLiteral("FanHigh")), std::optional<int64_t>(config.FanHigh));
    QCOMPARE(ini.integer(QStringLiteral("Weather"), QStringLiteral("CloudStep")),
             std::optional<int64_t>(sim(w.get()).expertWeather().CloudStep));
    QCOMPARE(ini.integer(QStringLiteral("RC5"), QStringLiteral("Up")),
             std::optional<int64_t>(sim(w.get()).expert().RC5Code[RC5Up]));
    const std::vector<ScheduleLine> lines = sim(w.get()).schedule();
    QVERIFY(!lines.empty());
    const QString last = QString::number(lines.size() - 1);
    QCOMPARE(ini.integer(last, QStringLiteral("Minute")), std::optional<int64_t>(lines.back().Minute));
    QVERIFY(!ini.hasSection(QString::number(lines.size())));
}

void TstIniCommands::configImportReachesTheController()
{
    w = makeConnectedWindow();
    QVERIFY(w);
    // An exported file, edited by hand.
    const QString file = path(QStringLiteral("edited.ini"));
    QVERIFY(WriteSettingsFile(file, w->device()));
    IniFile ini = loadIni(file);
    const uint8_t fanLow = uint8_t(sim(w.get()).config().FanLow + 17);
    const uint16_t interval = uint16_t(sim(w.get()).expert().ChartInterval + 5);
    const uint16_t cloudStep = uint16_t(sim(w.get()).expertWeather().CloudStep + 100);
    ini.setInteger(QStringLiteral("Config"), QStringLiteral("FanLow"), fanLow);
    ini.setInteger(QStringLiteral("Config"), QStringLiteral("ChartInterval"), interval);
    ini.setInteger(QStringLiteral("Weather"), QStringLiteral("CloudStep"), cloudStep);
    QVERIFY(ini.save(file));

    SimulatedController &controller = sim(w.get());
    const int configs = controller.commandCount(QStringLiteral("02"));
    const int experts = controller.commandCount(QStringLiteral("05"));
    const int weathers = controller.commandCount(QStringLiteral("06"));
    answerDialog(file);
    trigger("mnuConfigImport");
    QVERIFY(waitForIdleLink(w.get()));
    QTRY_COMPARE_WITH_TIMEOUT(controller.commandCount(QStringLiteral("06")), weathers + 1, 5000);
    QCOMPARE(controller.commandCount(QStringLiteral("02")), configs + 1);
    QCOMPARE(controller.commandCount(QStringLiteral("05")), experts + 1);
    QCOMPARE(int(controller.config().FanLow), int(fanLow));
    QCOMPARE(int(controller.expert().ChartInterval), int(interval));
    QCOMPARE(int(controller.expertWeather().CloudStep), int(cloudStep));
}

QTEST_MAIN(TstIniCommands)
#include "tst_ini_commands.moc"
