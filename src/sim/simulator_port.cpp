// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/simulator_port.h"

#include "link/ports.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include "sim/simulated_controller.h"

namespace {

using Clock = std::chrono::steady_clock;

QString systemError(const char *what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
}

bool setFlags(int fd, int statusFlags)
{
    const int fdFlags = fcntl(fd, F_GETFD);
    const int flags = fcntl(fd, F_GETFL);
    return fdFlags >= 0 && flags >= 0 && fcntl(fd, F_SETFD, fdFlags | FD_CLOEXEC) == 0
        && fcntl(fd, F_SETFL, flags | statusFlags) == 0;
}

void closeFd(int &fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

// Waits up to timeoutMs for the wake pipe; true when woken (that is, asked to stop).
bool waitWake(int wake, int timeoutMs)
{
    pollfd p{wake, POLLIN, 0};
    return ::poll(&p, 1, timeoutMs) > 0;
}

// Waits for the wake pipe until the given time, to the microsecond (poll() would round to
// whole milliseconds, which at line speed is a dozen bytes); true when woken.
bool waitWakeUntil(int wake, Clock::time_point until)
{
    for (;;) {
        const auto left = until - Clock::now();
        if (left <= Clock::duration::zero())
            return false;
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        const timespec ts{time_t(ns / 1000000000), long(ns % 1000000000)};
        pollfd p{wake, POLLIN, 0};
        const int r = ::ppoll(&p, 1, &ts, nullptr);
        if (r > 0)
            return true;
        if (r < 0 && errno != EINTR)
            return false;
    }
}

// When byte count (counted from 1) of a transfer begun at start has fully crossed the line.
Clock::time_point byteDone(Clock::time_point start, qsizetype count)
{
    return start + std::chrono::microseconds(qint64(count) * 1000000 / SimulatedController::LineBytesPerSecond);
}

QString slaveName(int master)
{
#ifdef __linux__
    char name[128];
    if (ptsname_r(master, name, sizeof name) != 0)
        return {};
    return QString::fromLocal8Bit(name);
#else
    // ptsname uses a static buffer.
    static std::mutex guard;
    std::lock_guard<std::mutex> lock(guard);
    const char *name = ptsname(master);
    return name ? QString::fromLocal8Bit(name) : QString();
#endif
}

bool isSymlink(const QByteArray &path)
{
    struct stat st;
    return ::lstat(path.constData(), &st) == 0 && S_ISLNK(st.st_mode);
}

} // namespace

SimulatorPort::SimulatorPort(std::shared_ptr<SimulatedController> controller)
    : m_controller(controller ? std::move(controller) : std::make_shared<SimulatedController>())
{
}

SimulatorPort::~SimulatorPort()
{
    stop();
}

void SimulatorPort::setLinkPath(const QString &path)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_linkPath = path;
}

QString SimulatorPort::linkPath() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_linkPath;
}

QString SimulatorPort::slavePath() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_slavePath;
}

QString SimulatorPort::portPath() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_slavePath.isEmpty())
        return {};
    return m_linkPath.isEmpty() ? m_slavePath : m_linkPath;
}

QString SimulatorPort::errorString() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_error;
}

bool SimulatorPort::clientConnected() const
{
    return m_clientConnected;
}

SimulatedController &SimulatorPort::controller()
{
    return *m_controller;
}

std::shared_ptr<SimulatedController> SimulatorPort::controllerPointer() const
{
    return m_controller;
}

bool SimulatorPort::isRunning() const
{
    return m_thread.joinable();
}

bool SimulatorPort::start()
{
    std::lock_guard<std::mutex> control(m_control);
    if (m_thread.joinable())
        return true;
    if (!openTerminal()) {
        closeTerminal();
        return false;
    }
    m_stop = false;
    m_controller->resetInput();
    m_thread = std::thread(&SimulatorPort::run, this, m_master, m_wakeRead);
    // Listed in the program's port menu while it runs.
    RegisterSimulatedPort(portPath());
    return true;
}

void SimulatorPort::stop()
{
    std::lock_guard<std::mutex> control(m_control);
    if (m_thread.joinable()) {
        UnregisterSimulatedPort(portPath());
        m_stop = true;
        const char byte = 1;
        [[maybe_unused]] ssize_t n = ::write(m_wakeWrite, &byte, 1);
        m_thread.join();
    }
    closeTerminal();
}

void SimulatorPort::vanish()
{
    stop();
}

SimulatorPort::Return SimulatorPort::comeBack()
{
    if (isRunning())
        vanish();
    Return result;
    result.ok = start();
    std::lock_guard<std::mutex> lock(m_mutex);
    result.slavePath = m_slavePath;
    result.samePath = result.ok && m_slavePath == m_previousSlavePath;
    return result;
}

bool SimulatorPort::openTerminal()
{
    const auto fail = [this](const QString &text) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_error = text;
        return false;
    };
#ifdef __linux__
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
#else
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
#endif
    if (m_master < 0)
        return fail(systemError("posix_openpt"));
    if (!setFlags(m_master, O_NONBLOCK))
        return fail(systemError("fcntl"));
    if (::grantpt(m_master) != 0)
        return fail(systemError("grantpt"));
    if (::unlockpt(m_master) != 0)
        return fail(systemError("unlockpt"));
    const QString name = slaveName(m_master);
    if (name.isEmpty())
        return fail(systemError("ptsname"));

    // Raw mode on the slave side, so that nothing is translated (CR to LF, LF to CR LF),
    // echoed or buffered by line. The setting stays with the terminal after this close.
    const QByteArray nameBytes = name.toLocal8Bit();
    const int slave = ::open(nameBytes.constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0)
        return fail(systemError("open slave"));
    termios tio;
    bool rawOk = ::tcgetattr(slave, &tio) == 0;
    if (rawOk) {
        ::cfmakeraw(&tio);
        tio.c_cflag |= CLOCAL | CREAD;
        ::cfsetispeed(&tio, B115200);
        ::cfsetospeed(&tio, B115200);
        rawOk = ::tcsetattr(slave, TCSANOW, &tio) == 0;
    }
    const QString rawError = rawOk ? QString() : systemError("tcsetattr");
    ::close(slave);
    if (!rawOk)
        return fail(rawError);

    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return fail(systemError("pipe"));
    m_wakeRead = pipeFds[0];
    m_wakeWrite = pipeFds[1];
    if (!setFlags(m_wakeRead, O_NONBLOCK) || !setFlags(m_wakeWrite, O_NONBLOCK))
        return fail(systemError("fcntl"));

    const QString link = linkPath();
    if (!link.isEmpty()) {
        const QByteArray linkBytes = link.toLocal8Bit();
        struct stat st;
        if (::lstat(linkBytes.constData(), &st) == 0) {
            if (!S_ISLNK(st.st_mode))
                return fail(QStringLiteral("%1 exists and is not a symbolic link").arg(link));
            ::unlink(linkBytes.constData());
        }
        if (::symlink(nameBytes.constData(), linkBytes.constData()) != 0)
            return fail(systemError("symlink"));
    }

    std::lock_guard<std::mutex> lock(m_mutex);
    m_slavePath = name;
    m_error.clear();
    return true;
}

void SimulatorPort::closeTerminal()
{
    closeFd(m_master);
    closeFd(m_wakeRead);
    closeFd(m_wakeWrite);
    m_clientConnected = false;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_slavePath.isEmpty() && !m_linkPath.isEmpty()) {
        const QByteArray linkBytes = m_linkPath.toLocal8Bit();
        char target[256];
        const ssize_t n = ::readlink(linkBytes.constData(), target, sizeof target - 1);
        // Remove only our own link, never something another run put there since.
        if (n > 0 && isSymlink(linkBytes)
            && QString::fromLocal8Bit(target, int(n)) == m_slavePath)
            ::unlink(linkBytes.constData());
    }
    if (!m_slavePath.isEmpty())
        m_previousSlavePath = m_slavePath;
    m_slavePath.clear();
}

void SimulatorPort::run(int master, int wake)
{
    char buffer[512];
    Clock::time_point lineFreeAt = Clock::now();
    while (!m_stop) {
        pollfd fds[2] = {{master, POLLIN, 0}, {wake, POLLIN, 0}};
        if (::poll(fds, 2, 0) < 0 && errno != EINTR)
            break;
        if (fds[1].revents)
            break; // woken: stop requested
        if (fds[0].revents & POLLNVAL)
            break;
        const bool data = fds[0].revents & POLLIN;
        if (!data && (fds[0].revents & (POLLHUP | POLLERR))) {
            // Nobody holds the slave open. The master cannot wait for an open, so look
            // again shortly.
            if (m_clientConnected.exchange(false))
                m_controller->resetInput();
            if (waitWake(wake, 10))
                break;
            continue;
        }
        m_clientConnected = true;
        if (!data) {
            if (::poll(fds, 2, -1) < 0 && errno != EINTR)
                break;
            continue;
        }
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n <= 0)
            continue; // EAGAIN, or EIO after a hang-up: the next poll tells
        // At the real line speed the request itself takes its time on the wire: the
        // controller sees the last byte only n / 11520 s after the line became free.
        const auto now = Clock::now();
        Clock::time_point received = now;
        if (m_controller->throttle()) {
            if (lineFreeAt < now)
                lineFreeAt = now;
            lineFreeAt = byteDone(lineFreeAt, n);
            received = lineFreeAt;
            if (waitWakeUntil(wake, lineFreeAt))
                break;
        }
        const QByteArray answer = m_controller->feed(QByteArrayView(buffer, n));
        if (!answer.isEmpty()
            && !writePaced(master, wake, answer, m_controller->throttle(),
                           received + std::chrono::milliseconds(m_controller->latencyMs()))
            && m_stop)
            break;
    }
}

bool SimulatorPort::writePaced(int master, int wake, const QByteArray &bytes, bool throttle,
                               Clock::time_point start)
{
    // The times are those of the line, worked out from when the request was complete, not
    // from when this thread got to run: a wake-up that comes late here (on a busy machine)
    // passes on at once what the line would have delivered by then.
    if (waitWakeUntil(wake, start))
        return false;
    auto lastProgress = Clock::now();
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        if (m_stop)
            return false;
        qsizetype allowed = bytes.size();
        const auto now = Clock::now();
        if (throttle) {
            // Byte i has fully arrived (i + 1) / 11520 s after the answer began, as on a
            // real line; a byte is passed on once it is complete.
            const auto us = std::chrono::duration_cast<std::chrono::microseconds>(now - start).count();
            allowed = std::min<qsizetype>(bytes.size(), qsizetype(us * SimulatedController::LineBytesPerSecond / 1000000));
        }
        if (allowed <= sent) {
            // Pass bytes on about once a millisecond, and the last one the moment it is due.
            const auto next = std::min(byteDone(start, sent + 1) + std::chrono::milliseconds(1),
                                       byteDone(start, bytes.size()));
            if (waitWakeUntil(wake, next))
                return false;
            continue;
        }
        const ssize_t n = ::write(master, bytes.constData() + sent, size_t(allowed - sent));
        if (n > 0) {
            sent += n;
            lastProgress = now;
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
            // The other side does not read; give up on this answer after a while, as a
            // line would lose it.
            if (now - lastProgress > std::chrono::seconds(2))
                return false;
            pollfd fds[2] = {{master, POLLOUT, 0}, {wake, POLLIN, 0}};
            ::poll(fds, 2, 100);
            if (fds[1].revents)
                return false;
            continue;
        }
        return false; // EIO: nobody holds the slave open; the answer is lost
    }
    return true;
}
