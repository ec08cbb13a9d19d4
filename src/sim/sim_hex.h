// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Hexadecimal coding of the controller's side of the line. The controller only ever
// writes upper-case digits and, to catch a sloppy PC, only accepts upper-case digits.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include <QByteArray>
#include <QByteArrayView>

namespace sim {

// Two upper-case digits per byte, most significant digit first.
QByteArray hexEncode(std::span<const uint8_t> bytes);

// Value 0..15 of an upper-case hexadecimal digit, or -1.
constexpr int upperHexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The bytes of a text of upper-case digit pairs; nothing when the length is odd or a
// character is not an upper-case hexadecimal digit.
std::optional<std::vector<uint8_t>> hexDecodeStrict(QByteArrayView text);

} // namespace sim
