// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Answer decoding on arbitrary input: the first byte chooses the data byte count (also
// out of range), the next two the expected code, the rest is the answer as received.
#include "link/protocol.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 3)
        return 0;
    const int n = int(data[0]) - 2;
    const char code[2] = {char(data[1]), char(data[2])};
    const QByteArrayView answer(reinterpret_cast<const char *>(data + 3), qsizetype(size - 3));

    LinkFrame frame{};
    const AnswerResult r = DecodeAnswer(answer, QByteArrayView(code, 2), n, frame);
    if (r.status == AnswerStatus::Ok) {
        // A decoded answer re-encodes to the same digits (upper case) after its echo.
        const QByteArray again = EncodeRequest(QByteArrayView(code, 2), frame, n);
        if (again.size() != answer.size() || again.left(2 * n + 2).toUpper() != answer.first(2 * n + 2).toByteArray().toUpper()
            || frame[0] != 0)
            std::abort();
    }
    (void)TraceText("IN", answer.toByteArray(), 0);
    return 0;
}
