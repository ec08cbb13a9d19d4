// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The firmware transfer on a link thread, against the simulated controller's bootloader.
#include "link/device_model.h"
#include "link/firmware.h"
#include "link/thd_com.h"
#include "sim/simulated_controller.h"
#include "sim/simulator_port.h"
#include "tst_firmware_chx.h"

#include <QTemporaryDir>
#include <QTest>

#include <atomic>

namespace {

class TestHost : public LinkHost
{
public:
    QStringList log;  // status texts included
    std::function<QString()> choose = [] { return QString(); };
    int dialogs = 0;
    int progressReports = 0;
    std::function<void()> onProgress;

    void addLog(const QString &t) override { log << t; }
    void setStatusText(const QString &t) override { log << t; }
    void setTaskbarProgress(qint64 done, qint64 total) override
    {
        if (done != total && ++progressReports && onProgress)
            onProgress();
    }
    QString chooseFirmwareFile() override
    {
        ++dialogs;
        return choose();
    }
    bool logged(const QString &text) const { return log.contains(text); }
};

LinkTimings fastTimings()
{
    LinkTimings t;
    t.readTimeoutMs = 250;  // an unacknowledged block costs this much
    t.writeTimeoutMs = 250;
    t.idleSleepMs = 5;
    t.bootloaderWaitMs = 30;
    return t;
}

const QString Success = QStringLiteral("Firmware successfully updated. Remove jumper (if set)!");
const QString Failed = QStringLiteral("Firmware update failed!");

} // namespace

class tst_FirmwareSim : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void update_data();
    void update();
    void cancelledDialogRestarts();
    void stopMidTransfer();

private:
    void startInBootloader();

    QTemporaryDir m_dir;
    QString m_file;
    QByteArray m_data;
    std::unique_ptr<SimulatorPort> m_sim;
    std::unique_ptr<TestHost> m_host;
    std::unique_ptr<TthdCom> m_thread;
};

void tst_FirmwareSim::initTestCase()
{
    QVERIFY(m_dir.isValid());
    InstallFirmwareTransfer();
    SetFirmwareTransferOptions({.retryWaitMs = 5});
    // 0x0000 ... 0x0FFF: 64 blocks.
    m_data = chx::pattern(0x0000, 0x0FFF);
    m_file = m_dir.filePath(QStringLiteral("Aqualumora1x5.chx"));
    QVERIFY(chx::write(m_file, chx::file(0x0000, 0x0FFF, m_data)));
}

void tst_FirmwareSim::init()
{
    m_host = std::make_unique<TestHost>();
    m_sim = std::make_unique<SimulatorPort>();
}

void tst_FirmwareSim::cleanup()
{
    m_thread.reset();
    m_sim.reset();
    m_host.reset();
}

void tst_FirmwareSim::startInBootloader()
{
    // As with the jumper set: the bootloader answers at connection time and the transfer
    // is offered without a request.
    m_sim->controller().setInBootloader(true);
    QVERIFY(m_sim->start());
    m_thread = TthdCom::Create(m_sim->portPath(), false, m_host.get(), fastTimings());
}

void tst_FirmwareSim::update_data()
{
    QTest::addColumn<int>("failingWrites");

    QTest::newRow("every block acknowledged") << 0;
    QTest::newRow("first block fails ten times") << 10;
}

void tst_FirmwareSim::update()
{
    QFETCH(int, failingWrites);

    m_host->choose = [this] { return m_file; };
    m_sim->controller().failNextBlockWrites(failingWrites);
    startInBootloader();
    QTRY_VERIFY_WITH_TIMEOUT(m_host->logged(Success) || m_host->logged(Failed), 10000);
    // The restarted controller runs its firmware again.
    QTRY_VERIFY_WITH_TIMEOUT(m_thread->FirmwareMode(), 10000);
    QTRY_VERIFY(!m_host->model().isRequestPending(FirmwareUpdate));

    const SimulatedController &sim = m_sim->controller();
    QCOMPARE(m_host->dialogs, 1);
    QCOMPARE(m_host->progressReports, 64);
    QCOMPARE(sim.commandCount("BL02"), failingWrites ? 63 : 64);
    QCOMPARE(sim.commandCount("BL01"), 1);
    const QByteArray flash = sim.flashImage();
    if (failingWrites) {
        QVERIFY(m_host->logged(QStringLiteral("Transmission error!")));
        QVERIFY(m_host->logged(Failed));
        QCOMPARE(flash.left(FirmwareBlockSize), QByteArray(FirmwareBlockSize, '\xFF'));
        QCOMPARE(flash.mid(FirmwareBlockSize, m_data.size() - FirmwareBlockSize), m_data.mid(FirmwareBlockSize));
    } else {
        QVERIFY(!m_host->logged(QStringLiteral("Transmission error!")));
        QCOMPARE(flash.left(m_data.size()), m_data);
    }
    QVERIFY(m_host->log.indexOf(QStringLiteral("Connected to Aqualumora 1.x.5 on %1").arg(m_sim->portPath())) >
            m_host->log.indexOf(QStringLiteral("Resetting...")));
}

void tst_FirmwareSim::cancelledDialogRestarts()
{
    startInBootloader();
    QTRY_VERIFY_WITH_TIMEOUT(m_thread->FirmwareMode(), 10000);
    QCOMPARE(m_host->dialogs, 1);
    QVERIFY(m_host->logged(QStringLiteral("Resetting...")));
    const auto frames = m_sim->controller().frames();
    const auto restart = std::find_if(frames.begin(), frames.end(), [](const SimFrame &f) { return f.bootloader && f.text.startsWith("01"); });
    QVERIFY(restart != frames.end());
    QCOMPARE(restart->text, QByteArray("01000000000000"));
    QCOMPARE(m_sim->controller().commandCount("BL02"), 0);
}

void tst_FirmwareSim::stopMidTransfer()
{
    m_host->choose = [this] { return m_file; };
    m_sim->controller().setLatencyMs(5);
    m_host->onProgress = [this] {
        if (m_host->progressReports == 10)
            m_thread->Stop();
    };
    startInBootloader();
    QTRY_VERIFY_WITH_TIMEOUT(m_thread->Finished(), 10000);

    const SimulatedController &sim = m_sim->controller();
    // The block under way completes; nothing follows it, restart command included.
    QCOMPARE(sim.commandCount("BL02"), 9);
    QCOMPARE(sim.commandCount("BL01"), 0);
    QVERIFY(sim.inBootloader());
    QVERIFY(!m_host->logged(Success) && !m_host->logged(Failed));
    // The closing report follows Finished through a hand-over.
    QTRY_COMPARE(m_host->log.last(), QStringLiteral("Disconnected from %1").arg(m_sim->portPath()));
}

QTEST_GUILESS_MAIN(tst_FirmwareSim)
#include "tst_firmware_sim.moc"
