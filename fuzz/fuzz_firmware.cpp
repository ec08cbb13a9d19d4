// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The firmware file reader on arbitrary files. The first byte picks the page size the
// bootloader would report; the rest is the file. A file that is accepted must lie inside
// the image, carry its checksum, and round to blocks inside the image.
#include "link/firmware.h"

#include <QBuffer>
#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

class SilentLink : public FirmwareLink
{
public:
    void traceLine(const QString &) override {}
    void statusLine(const QString &) override {}
    void progressReport(qint64, qint64, const QString &) override {}
    QString chooseFirmwareFile() override { return QString(); }
    QString fileInfo(const QString &) override { return QString(); }
    bool send(const LinkCommand &, std::span<const uint8_t>) override { return true; }
    bool terminated() const override { return false; }
    bool traceOn() const override { return true; }
    void pause(int) override {}
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    static const uint16_t pageSizes[] = {0, 1, 64, 100, 128, 256, 1000, 1024, 4096, 65535};
    const uint16_t pageSize = pageSizes[data[0] % std::size(pageSizes)];
    QByteArray bytes(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    QBuffer file(&bytes);
    file.open(QIODevice::ReadOnly);

    static FirmwareImage image;
    image.fill(0);
    SilentLink link;
    const FirmwareFileRange r = ParseFirmwareFile(link, file, image);
    if (!r.ok)
        return 0;
    if (bytes.size() > FirmwareImageSize || r.start < 0 || r.end > FirmwareMaxAddress || r.start >= r.end)
        std::abort();
    const qint64 count = qint64(r.end) - r.start + 1;
    const uint32_t sum = FirmwareChecksum(r.start, r.end, std::span<const uint8_t>(image.data() + r.start, size_t(count)));
    uint32_t stored = 0;
    if (bytes.size() >= 8 + count + 4)
        std::memcpy(&stored, bytes.constData() + 8 + count, 4);
    if (sum != stored)
        std::abort();
    const FirmwareBlocks blocks = RoundToPages(r.start, r.end, pageSize);
    if (blocks.begin < 0 || blocks.begin > r.start || blocks.end <= r.end || blocks.end > FirmwareImageSize)
        std::abort();
    if ((pageSize & (pageSize - 1)) == 0 && blocks.total() % FirmwareBlockSize != 0)
        std::abort();
    return 0;
}
