// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Firmware files for the tests: start, end, data, checksum.
#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstdint>

namespace chx {

inline void appendLe32(QByteArray &out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.append(char(uint8_t(v >> (8 * i))));
}

// A deterministic, non-repeating data pattern for addresses start ... end.
inline QByteArray pattern(int32_t start, int32_t end, uint8_t seed = 1)
{
    QByteArray data;
    for (int64_t a = start; a <= end; ++a)
        data.append(char(uint8_t((a * 131 + (a >> 8) * 7 + seed) | 1)));  // never zero
    return data;
}

// The file bytes; checksumDelta is added to the correct checksum.
inline QByteArray file(int32_t start, int32_t end, const QByteArray &data, int64_t checksumDelta = 0)
{
    QByteArray out;
    appendLe32(out, uint32_t(start));
    appendLe32(out, uint32_t(end));
    out.append(data);
    uint32_t sum = uint32_t(start) + uint32_t(end);
    for (const char c : data)
        sum += uint8_t(c);
    appendLe32(out, uint32_t(int64_t(sum) + checksumDelta));
    return out;
}

inline QByteArray file(int32_t start, int32_t end, int64_t checksumDelta = 0)
{
    return file(start, end, pattern(start, end), checksumDelta);
}

inline bool write(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

} // namespace chx
