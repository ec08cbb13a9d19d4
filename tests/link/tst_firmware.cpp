// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Firmware files and the block transfer, against a scripted bootloader.
#include "link/firmware.h"
#include "link/protocol.h"
#include "link/records.h"
#include "tst_firmware_chx.h"

#include <QBuffer>
#include <QtEndian>
#include <QTemporaryDir>
#include <QTest>

#include <climits>
#include <cstring>
#include <vector>

namespace {

struct Sent
{
    QByteArray code;
    QByteArray data;
    bool acked = false;
};

// A bootloader that acknowledges what the script allows, and a user who picks the files
// in `files` one after the other and then cancels.
class ScriptedLink : public FirmwareLink
{
public:
    QStringList files;
    int dialogs = 0;
    QStringList log;     // every log line, status lines included
    QStringList status;  // status lines only
    std::vector<Sent> sent;
    std::vector<std::pair<qint64, qint64>> progress;
    QStringList progressTexts;
    int pauses = 0;
    int progressFinishedCalls = 0;
    bool trace = false;
    // Block writes (by their running number, from 0) that are not acknowledged.
    std::function<bool(int blockWrite)> blockFails = [](int) { return false; };
    // Stop requested once this many block writes have been made (-1 = never).
    int stopAfterBlockWrites = -1;
    // The port goes away with this block write (-1 = never).
    int portLostAtBlockWrite = -1;

    void traceLine(const QString &text) override { log << text; }
    void statusLine(const QString &text) override
    {
        log << text;
        status << text;
    }
    void progressReport(qint64 done, qint64 total, const QString &text) override
    {
        progress.emplace_back(done, total);
        progressTexts << text;
        log << text;
    }
    void progressFinished() override { ++progressFinishedCalls; }
    QString chooseFirmwareFile() override
    {
        ++dialogs;
        return files.isEmpty() ? QString() : files.takeFirst();
    }
    QString fileInfo(const QString &path) override { return QStringLiteral("info ") + path; }
    bool send(const LinkCommand &command, std::span<const uint8_t> data) override
    {
        Sent s{QByteArray(command.code), QByteArray(reinterpret_cast<const char *>(data.data()), qsizetype(data.size()))};
        if (s.code == "02") {
            const int n = m_blockWrites++;
            if (n == portLostAtBlockWrite)
                m_portOpen = false;
            s.acked = m_portOpen && !blockFails(n);
        } else {
            s.acked = m_portOpen;
        }
        sent.push_back(s);
        return s.acked;
    }
    bool portOpen() const override { return m_portOpen; }
    bool terminated() const override { return stopAfterBlockWrites >= 0 && m_blockWrites >= stopAfterBlockWrites; }
    bool traceOn() const override { return trace; }
    void pause(int) override { ++pauses; }

    std::vector<Sent> withCode(const char *code) const
    {
        std::vector<Sent> out;
        for (const Sent &s : sent)
            if (s.code == code)
                out.push_back(s);
        return out;
    }

private:
    int m_blockWrites = 0;
    bool m_portOpen = true;
};

BootInfo bootInfo(uint16_t pageSize, uint32_t flashSize)
{
    BootInfo b;
    b.PageSize = pageSize;
    b.FlashSize = flashSize;
    return b;
}

} // namespace

class tst_Firmware : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void parse_data();
    void parse();
    void readFileUnreadable();
    void blocks_data();
    void blocks();
    void sizeCheck_data();
    void sizeCheck();
    void fileErrorsReopenDialog();
    void blockRetries_data();
    void blockRetries();
    void stopBetweenAttempts();
    void lostPortEndsTransfer();

private:
    QString writeFile(const QString &name, const QByteArray &bytes);
    QTemporaryDir m_dir;
};

void tst_Firmware::init() { QVERIFY(m_dir.isValid()); }

QString tst_Firmware::writeFile(const QString &name, const QByteArray &bytes)
{
    const QString path = m_dir.filePath(name);
    if (!chx::write(path, bytes))
        return QString();
    return path;
}

void tst_Firmware::parse_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("status");   // the one status line expected, or empty
    QTest::addColumn<bool>("imageWritten");  // data bytes landed at their addresses

    QTest::newRow("valid") << chx::file(0x0010, 0x1A38) << true << QString() << true;
    QTest::newRow("bytes after the checksum ignored") << chx::file(0x0100, 0x01FF) + QByteArray(300, 'x') << true
                                                      << QString() << true;
    QTest::newRow("65536 bytes") << chx::file(0, 65536 - 12 - 1) << true << QString() << true;
    QTest::newRow("last address of the image") << chx::file(0xFF00, 0xFFFF) << true << QString() << true;
    QTest::newRow("65537 bytes") << chx::file(0, 65536 - 12) << false << QString() << false;
    QTest::newRow("start = end") << chx::file(0x0200, 0x0200) << false
                                 << QStringLiteral("Error: File does not contain data!") << true;
    QTest::newRow("end before start") << chx::file(0x0200, 0x0100, QByteArray()) << false
                                      << QStringLiteral("Error: File does not contain data!") << false;
    {
        uint32_t sum = 0x10 + 0x1F;
        for (const char c : chx::pattern(0x0010, 0x001F))
            sum += uint8_t(c);
        QTest::newRow("checksum one off") << chx::file(0x0010, 0x001F, 1) << false
                                          << QStringLiteral("Checksum error in file (%1 != %2)!").arg(sum + 1).arg(sum)
                                          << true;
    }
    {
        // Five bytes arrive; the eleven missing ones keep the image's 0xAA and count too.
        uint32_t firstFive = 0x10 + 0x1F + 11 * 0xAA;
        for (const char c : chx::pattern(0x0010, 0x0014))
            firstFive += uint8_t(c);
        QTest::newRow("data cut short") << chx::file(0x0010, 0x001F).left(8 + 5) << false
                                        << QStringLiteral("Checksum error in file (0 != %1)!").arg(firstFive) << false;
    }
    // Nothing read: address 0 holds its old byte 0xAA, which still counts.
    QTest::newRow("empty file") << QByteArray() << false << QStringLiteral("Checksum error in file (0 != 170)!")
                                << false;
    const QString parsing = QStringLiteral("Error while parsing!");
    QTest::newRow("negative start") << chx::file(-16, 15) << false << parsing << false;
    QTest::newRow("end beyond the image") << chx::file(0xFFF0, 0x10000) << false << parsing << false;
    QTest::newRow("widest range") << chx::file(INT_MIN, INT_MAX, QByteArray(16, 'a')) << false << parsing << false;
}

void tst_Firmware::parse()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, ok);
    QFETCH(QString, status);
    QFETCH(bool, imageWritten);

    ScriptedLink link;
    link.trace = true;
    FirmwareImage image;
    image.fill(0xAA);  // bytes the file does not cover keep their value
    QBuffer buffer(&file);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    const FirmwareFileRange range = ParseFirmwareFile(link, buffer, image);

    QCOMPARE(range.ok, ok);
    if (status.isEmpty())
        QVERIFY2(link.status.isEmpty(), qPrintable(link.status.join(u'|')));
    else
        QCOMPARE(link.status, QStringList{status});
    if (status == u"Error while parsing!")
        QCOMPARE(link.log.size(), 2);  // the reason, then the status line

    const int32_t start = file.size() >= 4 ? qFromLittleEndian<int32_t>(file.constData()) : 0;
    const int32_t end = file.size() >= 8 ? qFromLittleEndian<int32_t>(file.constData() + 4) : 0;
    if (ok) {
        QCOMPARE(range.start, start);
        QCOMPARE(range.end, end);
        const uint32_t stored = qFromLittleEndian<uint32_t>(file.constData() + 8 + (end - start + 1));
        QVERIFY(link.log.contains(QStringLiteral("Checksum: ") + QString::number(stored)));
    }
    if (imageWritten) {
        const int available = int(std::min<qint64>(file.size() - 8, qint64(end) - start + 1));
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(image.data()) + start, available), file.mid(8, available));
        if (start > 0)
            QCOMPARE(image[size_t(start - 1)], uint8_t(0xAA));
        if (end < FirmwareMaxAddress)
            QCOMPARE(image[size_t(end + 1)], uint8_t(0xAA));
    } else if (!ok) {
        // Nothing written, or only what a short file held: the untouched pattern stays
        // outside the file's own range in any case.
        QVERIFY(std::count(image.begin(), image.end(), uint8_t(0xAA)) >= FirmwareImageSize - file.size());
    }
}

void tst_Firmware::readFileUnreadable()
{
    ScriptedLink link;
    FirmwareImage image{};
    // A folder cannot be read as a file; a missing file neither.
    for (const QString &path : {m_dir.path(), m_dir.filePath(QStringLiteral("missing.chx"))}) {
        link.log.clear();
        link.status.clear();
        QVERIFY(!ReadFirmwareFile(link, path, image).ok);
        QCOMPARE(link.status, QStringList{QStringLiteral("Error while parsing!")});
        QCOMPARE(link.log.first(), QStringLiteral("info ") + path);
        QVERIFY(link.log.at(1).contains(path));
    }
}

void tst_Firmware::blocks_data()
{
    QTest::addColumn<int>("pageSize");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("end");
    QTest::addColumn<int>("firstBlock");
    QTest::addColumn<int>("blocksEnd");  // exclusive

    QTest::newRow("page 128") << 128 << 0x0010 << 0x1A38 << 0x0000 << 0x1A80;
    // Pages below 128 bytes still round to 128.
    QTest::newRow("page 64") << 64 << 0x0050 << 0x00C0 << 0x0000 << 0x0100;
    QTest::newRow("page 256") << 256 << 0x0150 << 0x0201 << 0x0100 << 0x0300;
    // The block holding the last byte is sent when the end falls on a unit.
    QTest::newRow("end on a unit") << 128 << 0x0000 << 0x0100 << 0x0000 << 0x0180;
    QTest::newRow("end just below a unit") << 128 << 0x0000 << 0x00FF << 0x0000 << 0x0100;
    QTest::newRow("last usable byte") << 128 << 0x7B00 << 31743 << 0x7B00 << 31744;
    QTest::newRow("top of the image") << 128 << 0xFF80 << 0xFFFF << 0xFF80 << 0x10000;
    // An odd page size rounds by division and stops at the end of the image.
    QTest::newRow("odd page size") << 1000 << 0xFC00 << 0xFFFF << 64000 << 0x10000;
}

void tst_Firmware::blocks()
{
    QFETCH(int, pageSize);
    QFETCH(int, start);
    QFETCH(int, end);
    QFETCH(int, firstBlock);
    QFETCH(int, blocksEnd);

    const QByteArray data = chx::pattern(start, end);
    ScriptedLink link;
    link.files << writeFile(QStringLiteral("fw.chx"), chx::file(start, end, data));
    const FirmwareResult result = TransferFirmware(link, bootInfo(uint16_t(pageSize), 131072));
    QCOMPARE(result, FirmwareResult::Updated);
    QCOMPARE(link.dialogs, 1);

    const int total = blocksEnd - firstBlock;
    QVERIFY(link.log.contains(QStringLiteral("Flash size: %1 / %2 bytes").arg(end).arg(131072 - 1024)));
    QVERIFY(link.status.contains(QStringLiteral("Starting firmware update, flashing %1 bytes...").arg(total)));

    // Blocks in address order, each an address and 64 bytes of the image.
    const std::vector<Sent> blocks = link.withCode("02");
    QCOMPARE(int(blocks.size()), total / FirmwareBlockSize);
    QByteArray flashed;
    for (size_t i = 0; i < blocks.size(); ++i) {
        const Sent &b = blocks[i];
        QCOMPARE(b.data.size(), 2 + FirmwareBlockSize);
        const int address = uint8_t(b.data[0]) | uint8_t(b.data[1]) << 8;
        QCOMPARE(address, (firstBlock + int(i) * FirmwareBlockSize) & 0xFFFF);
        flashed += b.data.mid(2);
    }
    // The file's bytes at their place, zero around them.
    QCOMPARE(flashed.mid(start - firstBlock, data.size()), data);
    QCOMPARE(flashed.left(start - firstBlock), QByteArray(start - firstBlock, '\0'));
    QCOMPARE(flashed.mid(end + 1 - firstBlock), QByteArray(blocksEnd - end - 1, '\0'));

    // One progress report per block, counting up to the last block's start.
    QCOMPARE(int(link.progress.size()), int(blocks.size()));
    QCOMPARE(link.progress.front(), std::make_pair(qint64(0), qint64(total)));
    QCOMPARE(link.progress.back(), std::make_pair(qint64(total - FirmwareBlockSize), qint64(total)));
    QCOMPARE(link.progressFinishedCalls, 1);

    // Restart with the last block's address and its first four bytes, then the result.
    QCOMPARE(link.sent.back().code, QByteArray("01"));
    QCOMPARE(link.sent.back().data, blocks.back().data.left(6));
    QCOMPARE(link.log.at(link.log.size() - 2), QStringLiteral("Resetting..."));
    QCOMPARE(link.status.back(), QStringLiteral("Firmware successfully updated. Remove jumper (if set)!"));
}

void tst_Firmware::sizeCheck_data()
{
    QTest::addColumn<int>("end");
    QTest::addColumn<int>("excess");  // 0: the file fits

    // 32768 bytes of flash leave addresses 0 ... 31743 to the firmware.
    QTest::newRow("end 31745") << 31745 << 2;
    QTest::newRow("end 31744") << 31744 << 1;
    QTest::newRow("end 31743") << 31743 << 0;
}

void tst_Firmware::sizeCheck()
{
    QFETCH(int, end);
    QFETCH(int, excess);

    ScriptedLink link;
    link.files << writeFile(QStringLiteral("big.chx"), chx::file(0x7000, end));
    const FirmwareResult result = TransferFirmware(link, bootInfo(128, 32768));
    QVERIFY(link.log.contains(QStringLiteral("Flash size: %1 / 31744 bytes").arg(end)));
    if (excess) {
        QCOMPARE(link.status.first(), QStringLiteral("Error: File is %1 bytes too big!").arg(excess));
        // The dialog came back; cancelling it restarts the controller unchanged.
        QCOMPARE(link.dialogs, 2);
        QCOMPARE(result, FirmwareResult::Cancelled);
        QVERIFY(link.withCode("02").empty());
    } else {
        QCOMPARE(result, FirmwareResult::Updated);
        const Sent last = link.withCode("02").back();
        QCOMPARE(uint8_t(last.data[0]) | uint8_t(last.data[1]) << 8, 31744 - FirmwareBlockSize);
    }
}

void tst_Firmware::fileErrorsReopenDialog()
{
    ScriptedLink link;
    // Rejected files first; the one with the bad checksum fills the image around the good
    // file's range with nonzero bytes, which must not reach the controller.
    link.files << writeFile(QStringLiteral("huge.chx"), chx::file(0, 65536 - 12))
               << writeFile(QStringLiteral("bad.chx"), chx::file(0x0000, 0x0FFF, 5))
               << writeFile(QStringLiteral("empty.chx"), chx::file(0x0300, 0x0300))
               << writeFile(QStringLiteral("good.chx"), chx::file(0x0010, 0x0020));
    QCOMPARE(TransferFirmware(link, bootInfo(128, 32768)), FirmwareResult::Updated);
    QCOMPARE(link.dialogs, 4);
    QCOMPARE(link.status.size(), 4);  // checksum, no data, starting, successful
    QVERIFY(link.status[0].startsWith(QStringLiteral("Checksum error in file (")));
    QCOMPARE(link.status[1], QStringLiteral("Error: File does not contain data!"));

    const std::vector<Sent> blocks = link.withCode("02");
    QCOMPARE(int(blocks.size()), 2);
    const QByteArray flashed = blocks[0].data.mid(2) + blocks[1].data.mid(2);
    QCOMPARE(flashed.left(0x10), QByteArray(0x10, '\0'));
    QCOMPARE(flashed.mid(0x10, 0x11), chx::pattern(0x0010, 0x0020));
    QCOMPARE(flashed.mid(0x21), QByteArray(128 - 0x21, '\0'));
}

void tst_Firmware::blockRetries_data()
{
    QTest::addColumn<int>("failures");  // consecutive failures of the second block

    QTest::newRow("nine failures") << 9;
    QTest::newRow("ten failures") << 10;
    QTest::newRow("eleven failures") << 11;  // the eleventh hits the third block
}

void tst_Firmware::blockRetries()
{
    QFETCH(int, failures);

    ScriptedLink link;
    link.files << writeFile(QStringLiteral("fw.chx"), chx::file(0x0000, 0x00FF));  // four blocks
    link.blockFails = [failures](int n) { return n >= 1 && n < 1 + failures; };
    const FirmwareResult result = TransferFirmware(link, bootInfo(128, 32768));

    const std::vector<Sent> blocks = link.withCode("02");
    auto addressOf = [](const Sent &s) { return uint8_t(s.data[0]) | uint8_t(s.data[1]) << 8; };
    const int secondBlockTries = int(std::count_if(blocks.begin(), blocks.end(),
                                                   [&](const Sent &s) { return addressOf(s) == 0x40; }));
    QCOMPARE(secondBlockTries, std::min(failures + 1, FirmwareBlockAttempts));
    QCOMPARE(link.pauses, failures);  // one wait after every failed attempt
    // Every block gets its turn, whatever happened to the one before it.
    QCOMPARE(addressOf(blocks.back()), 0xC0);
    QCOMPARE(int(link.progress.size()), 4);

    const bool failed = failures >= FirmwareBlockAttempts;
    QCOMPARE(result, failed ? FirmwareResult::Failed : FirmwareResult::Updated);
    QCOMPARE(int(link.log.count(QStringLiteral("Transmission error!"))), failed ? 1 : 0);
    QCOMPARE(link.sent.back().code, QByteArray("01"));
    QCOMPARE(link.status.back(), failed ? QStringLiteral("Firmware update failed!")
                                        : QStringLiteral("Firmware successfully updated. Remove jumper (if set)!"));
}

void tst_Firmware::stopBetweenAttempts()
{
    ScriptedLink link;
    link.files << writeFile(QStringLiteral("fw.chx"), chx::file(0x0000, 0x03FF));
    link.stopAfterBlockWrites = 3;
    link.blockFails = [](int) { return true; };
    QCOMPARE(TransferFirmware(link, bootInfo(128, 32768)), FirmwareResult::Stopped);
    QCOMPARE(int(link.sent.size()), 3);
    QVERIFY(link.withCode("01").empty());
    QVERIFY(!link.log.contains(QStringLiteral("Transmission error!")));
    QVERIFY(!link.status.back().startsWith(QStringLiteral("Firmware")));
}

void tst_Firmware::lostPortEndsTransfer()
{
    ScriptedLink link;
    link.files << writeFile(QStringLiteral("fw.chx"), chx::file(0x0000, 0x03FF));
    link.portLostAtBlockWrite = 2;
    QCOMPARE(TransferFirmware(link, bootInfo(128, 32768)), FirmwareResult::Failed);
    // No retries into a closed port, no further blocks, no restart command.
    QCOMPARE(int(link.sent.size()), 3);
    QCOMPARE(link.pauses, 0);
    QCOMPARE(link.log.count(QStringLiteral("Transmission error!")), 1);
    QCOMPARE(link.status.back(), QStringLiteral("Firmware update failed!"));
    QCOMPARE(link.progressFinishedCalls, 1);
}

QTEST_GUILESS_MAIN(tst_Firmware)
#include "tst_firmware.moc"
