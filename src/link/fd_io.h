// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QtGlobal>

#include <functional>

// Reading and writing the non-blocking descriptor under a transport, with a total
// time-out and a stop check. Failures throw SerialError (link/serial_port.h) with the
// texts the message log shows: "ReadFile function failed (...)", "WriteFile function
// failed (...)", "Unable to get async status (...)" when the wait itself fails.
struct FdStream
{
    int fd = -1;
    // A socket is written with send() so that a vanished far side raises no SIGPIPE.
    bool socket = false;
    // The code a hang-up is reported with: a read that finds end of file, or a wait for
    // room to write that finds the descriptor hung up.
    int hangUpError = 0;
};

// Writes size bytes, waiting at most timeoutMs in all for room. Returns the count written;
// a stalled write comes back short rather than failing (the missing answer shows it).
qint64 FdWrite(const FdStream &stream, const char *data, qint64 size, int timeoutMs);

// Reads into buf from offset got until count bytes are there, timeoutMs has run out in all,
// or stop says so (looked at every few milliseconds; interrupted tells whether it did).
// Returns the new total.
qint64 FdRead(const FdStream &stream, char *buf, qint64 got, qint64 count, int timeoutMs,
              const std::function<bool()> &stop, bool &interrupted);
