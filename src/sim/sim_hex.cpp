// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/sim_hex.h"

namespace sim {

QByteArray hexEncode(std::span<const uint8_t> bytes)
{
    static constexpr char Digits[] = "0123456789ABCDEF";
    QByteArray text;
    text.resize(qsizetype(bytes.size() * 2));
    char *out = text.data();
    for (uint8_t b : bytes) {
        *out++ = Digits[b >> 4];
        *out++ = Digits[b & 0x0F];
    }
    return text;
}

std::optional<std::vector<uint8_t>> hexDecodeStrict(QByteArrayView text)
{
    if (text.size() % 2 != 0)
        return std::nullopt;
    std::vector<uint8_t> bytes;
    bytes.reserve(size_t(text.size() / 2));
    for (qsizetype i = 0; i < text.size(); i += 2) {
        const int hi = upperHexValue(text[i]);
        const int lo = upperHexValue(text[i + 1]);
        if (hi < 0 || lo < 0)
            return std::nullopt;
        bytes.push_back(uint8_t(hi << 4 | lo));
    }
    return bytes;
}

} // namespace sim
