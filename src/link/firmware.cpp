// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/firmware.h"

#include "presentation/localization.h"
#include "link/protocol.h"
#include "link/records.h"
#include "link/thd_com.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QMutex>
#include <QMutexLocker>
#include <QThread>

#include <algorithm>
#include <cstring>

namespace {

// Reads a little-endian 32-bit value; a short read leaves value as it was.
template <class T>
void readLe32(QIODevice &file, T &value)
{
    uint8_t b[4];
    if (file.read(reinterpret_cast<char *>(b), 4) != 4)
        return;
    value = T(uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24);
}

QString addressText(qint64 value)
{
    return QStringLiteral("0x") + QString::number(value, 16).toUpper().rightJustified(4, u'0');
}

QMutex optionsMutex;
FirmwareTransferOptions transferOptions;

} // namespace

uint32_t FirmwareChecksum(int32_t start, int32_t end, std::span<const uint8_t> data)
{
    uint32_t sum = uint32_t(start) + uint32_t(end);
    for (const uint8_t b : data)
        sum += b;
    return sum;
}

FirmwareFileRange ParseFirmwareFile(FirmwareLink &link, QIODevice &file, FirmwareImage &image, int max)
{
    FirmwareFileRange range;
    if (file.size() > qint64(max) + 1)
        return range;

    readLe32(file, range.start);
    readLe32(file, range.end);
    uint32_t sum = uint32_t(range.start) + uint32_t(range.end);
    if (range.end >= range.start) {
        // The file's addresses index the image directly: a range that leaves it would write
        // outside the image, so it is refused like any unreadable file.
        if (range.start < 0 || range.end > FirmwareMaxAddress) {
            link.traceLine(QStringLiteral("Addresses %1 ... %2 lie outside 0 ... %3")
                               .arg(range.start)
                               .arg(range.end)
                               .arg(FirmwareMaxAddress));
            link.statusLine(Translate(QStringLiteral("ParsingError")));
            return {};
        }
        const qint64 count = qint64(range.end) - range.start + 1;
        uint8_t *data = image.data() + range.start;
        // Bytes missing at the end of a short file keep their value in the image (and
        // still count in the sum), so such a file normally ends in a checksum error.
        const qint64 got = file.read(reinterpret_cast<char *>(data), count);
        if (got < 0) {
            link.traceLine(file.errorString());
            link.statusLine(Translate(QStringLiteral("ParsingError")));
            return {};
        }
        sum += FirmwareChecksum(0, 0, std::span<const uint8_t>(data, size_t(count)));
    }
    uint32_t stored = 0;
    readLe32(file, stored);

    if (stored != sum) {
        link.statusLine(TranslateFmt(QStringLiteral("ChecksumError"),
                                     {QString::number(stored) + QStringLiteral(" != ") + QString::number(sum)}));
        return {};
    }
    if (link.traceOn())
        link.traceLine(QStringLiteral("Checksum: ") + QString::number(sum));
    if (range.start < range.end) {
        range.ok = true;
        return range;
    }
    link.statusLine(Translate(QStringLiteral("NoDataInFile")));
    return {};
}

FirmwareFileRange ReadFirmwareFile(FirmwareLink &link, const QString &fileName, FirmwareImage &image, int max)
{
    const QString info = link.fileInfo(fileName);
    if (!info.isEmpty())
        link.traceLine(info);
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        link.traceLine(QStringLiteral("Cannot open file \"%1\". %2").arg(fileName, file.errorString()));
        link.statusLine(Translate(QStringLiteral("ParsingError")));
        return {};
    }
    return ParseFirmwareFile(link, file, image, max);
}

FirmwareBlocks RoundToPages(int32_t start, int32_t end, uint16_t pageSize)
{
    // Pages are powers of two, for which this is the usual masking; dividing keeps an odd
    // page size reported by a confused bootloader from producing blocks outside the image.
    const qint64 unit = std::max<qint64>(pageSize, MinimumRoundingUnit);
    const qint64 first = std::max<qint64>(start, 0) / unit * unit;
    // end is the last byte, so the block holding it is sent even when end falls on a unit.
    const qint64 last = (std::max<qint64>(end, start) + unit) / unit * unit;
    return {first, std::min<qint64>(last, FirmwareImageSize)};
}

qint64 UsableFlash(uint32_t flashSize) { return qint64(flashSize) - BootloaderReserveBytes; }

qint64 FirmwareExcess(int32_t end, qint64 usable)
{
    // Addresses 0 ... usable - 1 are free for the firmware.
    return std::max<qint64>(0, qint64(end) + 1 - usable);
}

QString BlockProgressText(qint64 address, qint64 blocksEnd, qint64 total)
{
    const double done = total > 0 ? 1.0 - double(blocksEnd - address) / double(total) : 1.0;
    return addressText(address) + QStringLiteral(" (") + QString::number(qRound(done * 100.0)) +
           QStringLiteral(" %)");
}

FirmwareResult TransferFirmware(FirmwareLink &link, const BootInfo &bootInfo, const FirmwareTransferOptions &options)
{
    FirmwareImage image{};
    std::array<uint8_t, 2 + FirmwareBlockSize> block{};
    bool error = false;

    FirmwareBlocks blocks;
    for (;;) {
        const QString fileName = link.chooseFirmwareFile();
        if (link.terminated())
            return FirmwareResult::Stopped;
        if (fileName.isEmpty() || !QFileInfo(fileName).isFile()) {
            link.traceLine(Translate(QStringLiteral("Resetting")));
            link.send(LinkCommands::BootRestart, std::span<const uint8_t>(block.data(), 6));
            return FirmwareResult::Cancelled;
        }
        const uint16_t pageSize = bootInfo.PageSize;
        const qint64 usable = UsableFlash(bootInfo.FlashSize);
        // Each file starts from a blank image: padding around a good file must not carry
        // bytes of one that was just rejected.
        image.fill(0);
        const FirmwareFileRange range = ReadFirmwareFile(link, fileName, image);
        if (!range.ok)
            continue;
        link.traceLine(TranslateFmt(QStringLiteral("FlashSize"),
                                    {QString::number(range.end) + QStringLiteral(" / ") + QString::number(usable)}));
        if (const qint64 excess = FirmwareExcess(range.end, usable); excess > 0) {
            link.statusLine(TranslateFmt(QStringLiteral("FirmwareTooLarge"), {QString::number(excess)}));
            continue;
        }
        blocks = RoundToPages(range.start, range.end, pageSize);
        link.statusLine(TranslateFmt(QStringLiteral("StartingFirmwareUpdate"), {QString::number(blocks.total())}));
        break;
    }

    const qint64 total = blocks.total();
    for (qint64 a = blocks.begin; a < blocks.end; a += FirmwareBlockSize) {
        link.progressReport(total - (blocks.end - a), total, BlockProgressText(a, blocks.end, total));
        block[0] = uint8_t(a);
        block[1] = uint8_t(a >> 8);
        const size_t inImage = size_t(std::min<qint64>(FirmwareBlockSize, FirmwareImageSize - a));
        std::memcpy(block.data() + 2, image.data() + a, inImage);
        std::fill(block.begin() + 2 + inImage, block.end(), uint8_t(0));
        bool sent = false;
        for (int attempt = 0; attempt < FirmwareBlockAttempts && !sent && link.portOpen(); ++attempt) {
            if (link.terminated())
                return FirmwareResult::Stopped;
            sent = link.send(LinkCommands::BootWriteBlock, block);
            if (!sent && link.portOpen())
                link.pause(options.retryWaitMs);
        }
        if (!sent) {
            error = true;
            link.traceLine(Translate(QStringLiteral("TransferError")));
            // Without a port nothing more can be sent, restart command included; the link
            // thread reconnects after this.
            if (!link.portOpen()) {
                link.progressFinished();
                link.statusLine(Translate(QStringLiteral("FirmwareUpdateFailed")));
                return FirmwareResult::Failed;
            }
        }
    }
    link.progressFinished();

    link.traceLine(Translate(QStringLiteral("Resetting")));
    // The bootloader gets the first six bytes of the last block (address and four data bytes).
    link.send(LinkCommands::BootRestart, std::span<const uint8_t>(block.data(), 6));
    link.statusLine(Translate(error ? QStringLiteral("FirmwareUpdateFailed") : QStringLiteral("FirmwareUpdateSuccessful")));
    return error ? FirmwareResult::Failed : FirmwareResult::Updated;
}

// --- on the link thread -------------------------------------------------------------------

ThreadFirmwareLink::ThreadFirmwareLink(TthdCom &thread, FileInfoFn fileInfo)
    : m_thread(thread), m_fileInfo(std::move(fileInfo))
{
}

void ThreadFirmwareLink::traceLine(const QString &text) { m_thread.TraceLine(text); }

void ThreadFirmwareLink::statusLine(const QString &text) { m_thread.StatusLine(text); }

void ThreadFirmwareLink::progressReport(qint64 done, qint64 total, const QString &text)
{
    m_thread.ProgressReport(done, total, text);
}

void ThreadFirmwareLink::progressFinished()
{
    m_thread.Synchronize([](LinkHost &h) { h.setTaskbarProgress(1, 1); });
}

QString ThreadFirmwareLink::chooseFirmwareFile() { return m_thread.ChooseFirmwareFile(); }

QString ThreadFirmwareLink::fileInfo(const QString &path)
{
    return m_fileInfo ? m_fileInfo(m_thread, path) : path;
}

bool ThreadFirmwareLink::send(const LinkCommand &command, std::span<const uint8_t> data)
{
    LinkFrame &frame = m_thread.frameBuffer();
    const size_t n = std::min({data.size(), size_t(command.dataBytes), size_t(MaxFrameData)});
    std::memcpy(frame.data() + FrameDataOffset, data.data(), n);
    return m_thread.protocol().ExchangeSet(command.code, int(n));
}

bool ThreadFirmwareLink::portOpen() const { return m_thread.PortOpen(); }

bool ThreadFirmwareLink::terminated() const { return m_thread.Terminated(); }

bool ThreadFirmwareLink::traceOn() const { return m_thread.TraceOn(); }

void ThreadFirmwareLink::pause(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms && !m_thread.Terminated())
        QThread::msleep(std::min<qint64>(10, ms - timer.elapsed()));
}

void SetFirmwareTransferOptions(const FirmwareTransferOptions &options)
{
    QMutexLocker lock(&optionsMutex);
    transferOptions = options;
}

FirmwareTransferOptions CurrentFirmwareTransferOptions()
{
    QMutexLocker lock(&optionsMutex);
    return transferOptions;
}

void InstallFirmwareTransfer(ThreadFirmwareLink::FileInfoFn fileInfo)
{
    SetFirmwareTransfer([fileInfo = std::move(fileInfo)](TthdCom &thread) {
        ThreadFirmwareLink link(thread, fileInfo);
        TransferFirmware(link, thread.bootInfoRecord(), CurrentFirmwareTransferOptions());
    });
}
