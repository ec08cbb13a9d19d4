// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/fd_io.h"

#include "link/serial_port.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cerrno>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// How often a waiting read looks at the stop check. Data that arrives ends the wait at
// once; this only bounds how long a stop request can go unnoticed.
constexpr int StopPollMs = 20;

// Waits up to ms for the descriptor; returns poll's revents (0 on time-out). When poll
// itself fails, error is its errno.
short waitFor(int fd, short events, int ms, int &error)
{
    pollfd p{fd, events, 0};
    for (;;) {
        const int r = ::poll(&p, 1, ms);
        if (r >= 0) {
            error = 0;
            return r == 0 ? 0 : p.revents;
        }
        if (errno != EINTR) {
            error = errno;
            return 0;
        }
    }
}

bool wouldBlock(int error) { return error == EAGAIN || error == EWOULDBLOCK; }

} // namespace

qint64 FdWrite(const FdStream &stream, const char *data, qint64 size, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    qint64 done = 0;
    while (done < size) {
        const size_t left = size_t(size - done);
        const ssize_t n = stream.socket ? ::send(stream.fd, data + done, left, MSG_NOSIGNAL)
                                        : ::write(stream.fd, data + done, left);
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && !wouldBlock(errno))
            throw SerialError::fromErrno("WriteFile function failed", errno);
        const qint64 remaining = timeoutMs - timer.elapsed();
        if (remaining <= 0)
            break;  // a stalled write is not reported here: the missing answer shows it
        int error = 0;
        const short events = waitFor(stream.fd, POLLOUT, int(remaining), error);
        if (error != 0)
            throw SerialError::fromErrno("Unable to get async status", error);
        if (events & POLLNVAL)
            throw SerialError::fromErrno("WriteFile function failed", EBADF);
        if (events & (POLLERR | POLLHUP))
            throw SerialError::fromErrno("WriteFile function failed", stream.hangUpError);
    }
    return done;
}

qint64 FdRead(const FdStream &stream, char *buf, qint64 got, qint64 count, int timeoutMs,
              const std::function<bool()> &stop, bool &interrupted)
{
    interrupted = false;
    QElapsedTimer timer;
    timer.start();
    // Readiness is asked first: a raw terminal with nothing queued reads as 0 bytes, which
    // only after a ready report means end of file.
    while (got < count) {
        const qint64 remaining = timeoutMs - timer.elapsed();
        if (remaining <= 0)
            break;
        if (stop && stop()) {
            interrupted = true;
            break;
        }
        int error = 0;
        const short events = waitFor(stream.fd, POLLIN, int(std::min<qint64>(remaining, StopPollMs)), error);
        if (error != 0)
            throw SerialError::fromErrno("Unable to get async status", error);
        if (events == 0)
            continue;
        if (events & POLLNVAL)
            throw SerialError::fromErrno("ReadFile function failed", EBADF);
        const size_t left = size_t(count - got);
        const ssize_t n = stream.socket ? ::recv(stream.fd, buf + got, left, MSG_DONTWAIT)
                                        : ::read(stream.fd, buf + got, left);
        if (n > 0) {
            got += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && !wouldBlock(errno))
            throw SerialError::fromErrno("ReadFile function failed", errno);
        // Reported ready, yet nothing to read: the far side has gone (a terminal whose
        // hardware went away, a socket closed by the device reads as end of file).
        throw SerialError::fromErrno("ReadFile function failed", stream.hangUpError);
    }
    return got;
}
