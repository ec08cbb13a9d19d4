// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Firmware update through the controller's bootloader: the ".chx" firmware file, the
// 64 KiB memory image it is read into, and the block transfer with its messages.
//
// Firmware file, all integers little-endian:
//   start address (int32), end address (int32, inclusive: the last data byte),
//   end - start + 1 data bytes for start ... end, checksum (uint32).
// The checksum is start + end + every data byte, modulo 2^32. Bytes after it are ignored;
// the whole file is at most 65536 bytes.

#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <span>

class QIODevice;
class TthdCom;
struct BootInfo;
struct LinkCommand;

inline constexpr int FirmwareImageSize = 65536;
inline constexpr int FirmwareMaxAddress = FirmwareImageSize - 1;
inline constexpr int FirmwareBlockSize = 64;
inline constexpr int FirmwareBlockAttempts = 10;
inline constexpr int FirmwareRetryWaitMs = 500;
// The bootloader keeps the top of the flash for itself.
inline constexpr int BootloaderReserveBytes = 1024;
// Start and end are rounded to pages, never to less than this.
inline constexpr int MinimumRoundingUnit = 128;

// The memory image, indexed by flash address.
using FirmwareImage = std::array<uint8_t, FirmwareImageSize>;

// What the firmware code needs from the link: the log and status lines, the progress
// report, the file dialog, the bootloader's write exchange and the stop request.
// The link thread's implementation hands everything over to the window.
class FirmwareLink
{
public:
    virtual ~FirmwareLink() = default;

    virtual void traceLine(const QString &text) = 0;   // message log
    virtual void statusLine(const QString &text) = 0;  // status panel 0 and message log
    // Taskbar progress with one log line.
    virtual void progressReport(qint64 done, qint64 total, const QString &text) = 0;
    // Taskbar progress back to its resting state after a transfer.
    virtual void progressFinished() {}
    // The file dialog; empty when cancelled.
    virtual QString chooseFirmwareFile() = 0;
    // Path, date and time, and size of a file for the log; empty when there is nothing to say.
    virtual QString fileInfo(const QString &path) = 0;
    // One write exchange with the bootloader; true when it was acknowledged.
    virtual bool send(const LinkCommand &command, std::span<const uint8_t> data) = 0;
    // False once the serial port has gone (closed after a serial-layer failure): nothing
    // can be sent any more in this transfer.
    virtual bool portOpen() const { return true; }
    virtual bool terminated() const = 0;
    virtual bool traceOn() const = 0;
    // Waits ms or until terminated, whichever comes first.
    virtual void pause(int ms) = 0;
};

struct FirmwareFileRange
{
    bool ok = false;
    int32_t start = 0;
    int32_t end = 0;  // inclusive
};

// Reads a firmware file into image[start ... end] and checks it. Writes the file's
// information line, and on failure the error to the log/status line (a file larger than
// max + 1 bytes fails without a message). Addresses outside the image are refused as a
// parsing error. Bytes the file does not cover are left as they are.
FirmwareFileRange ReadFirmwareFile(FirmwareLink &link, const QString &fileName, FirmwareImage &image,
                                   int max = FirmwareMaxAddress);
// The same on an open device (no information line); the part that parses.
FirmwareFileRange ParseFirmwareFile(FirmwareLink &link, QIODevice &file, FirmwareImage &image,
                                    int max = FirmwareMaxAddress);

// Sum of start, end and the bytes, modulo 2^32: the checksum a file must carry.
uint32_t FirmwareChecksum(int32_t start, int32_t end, std::span<const uint8_t> data);

// The blocks a file occupies: from start rounded down to the rounding unit up to and
// including the block that holds the file's last byte (end rounded up to the unit, as an
// exclusive bound), never beyond the image. The unit is the page size when that is at
// least 128 bytes, else 128.
struct FirmwareBlocks
{
    qint64 begin = 0;  // first block address
    qint64 end = 0;    // exclusive
    qint64 total() const { return end - begin; }
};
FirmwareBlocks RoundToPages(int32_t start, int32_t end, uint16_t pageSize);

// Bytes a firmware may occupy: the flash size less the bootloader's reserve (may be < 0).
qint64 UsableFlash(uint32_t flashSize);
// Bytes by which a file ending at end (inclusive) exceeds the usable flash; 0 when it fits.
qint64 FirmwareExcess(int32_t end, qint64 usable);

// Progress line of the block at address: "0x0C40 (38 %)".
QString BlockProgressText(qint64 address, qint64 blocksEnd, qint64 total);

enum class FirmwareResult {
    Updated,    // every block acknowledged, controller restarted
    Failed,     // some block was not acknowledged ten times (or the port went)
    Cancelled,  // no file chosen: controller restarted unchanged
    Stopped,    // the link was told to stop: ended at once, nothing more sent
};

struct FirmwareTransferOptions
{
    int retryWaitMs = FirmwareRetryWaitMs;  // after a block write that was not acknowledged
};

// The whole procedure on the link thread, once the bootloader has answered GetBootInfo:
// file dialog, checks, blocks, restart command and the final message.
FirmwareResult TransferFirmware(FirmwareLink &link, const BootInfo &bootInfo,
                                const FirmwareTransferOptions &options = {});

// FirmwareLink of a running link thread. fileInfo gives the log line of a file (it runs on
// the link thread and may hand over to the window itself); without it the path is logged.
class ThreadFirmwareLink : public FirmwareLink
{
public:
    using FileInfoFn = std::function<QString(TthdCom &, const QString &)>;
    explicit ThreadFirmwareLink(TthdCom &thread, FileInfoFn fileInfo = {});

    void traceLine(const QString &text) override;
    void statusLine(const QString &text) override;
    void progressReport(qint64 done, qint64 total, const QString &text) override;
    void progressFinished() override;
    QString chooseFirmwareFile() override;
    QString fileInfo(const QString &path) override;
    bool send(const LinkCommand &command, std::span<const uint8_t> data) override;
    bool portOpen() const override;
    bool terminated() const override;
    bool traceOn() const override;
    void pause(int ms) override;

private:
    TthdCom &m_thread;
    FileInfoFn m_fileInfo;
};

// Makes every link thread created from now on run TransferFirmware when the bootloader is
// ready. Options are read when a transfer starts, so tests may shorten the waits later.
void InstallFirmwareTransfer(ThreadFirmwareLink::FileInfoFn fileInfo = {});
void SetFirmwareTransferOptions(const FirmwareTransferOptions &options);
FirmwareTransferOptions CurrentFirmwareTransferOptions();
