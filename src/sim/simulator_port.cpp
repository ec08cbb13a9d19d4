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
        if (m_controller->throttle()) {
            const auto now = Clock::now();
            if (lineFreeAt < now)
                lineFreeAt = now;
            lineFreeAt += std::chrono::microseconds(qint64(n) * 1000000 / SimulatedController::LineBytesPerSecond);
            bool stopped = false;
            while (!stopped && Clock::now() < lineFreeAt) {
                const auto left = lineFreeAt - Clock::now();
                if (left < std::chrono::milliseconds(2)) {
                    // poll() counts in milliseconds: short requests would come out too slow.
                    std::this_thread::sleep_for(left);
                    break;
                }
                stopped = waitWake(wake, int(std::chrono::duration_cast<std::chrono::milliseconds>(left).count()));
            }
            if (stopped)
                break;
        }
        const QByteArray answer = m_controller->feed(QByteArrayView(buffer, n));
        if (!answer.isEmpty()
            && !writePaced(master, wake, answer, m_controller->throttle(), m_controller->latencyMs())
            && m_stop)
            break;
    }
}

bool SimulatorPort::writePaced(int master, int wake, const QByteArray &bytes, bool throttle,
                               int latencyMs)
{
    if (latencyMs > 0 && waitWake(wake, latencyMs))
        return false;
    const auto start = Clock::now();
    auto lastProgress = start;
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        if (m_stop)
            return false;
        qsizetype allowed = bytes.size();
        const auto now = Clock::now();
        if (throttle) {
            // Byte i leaves i / 11520 s after the first one.
            const auto us = std::chrono::duration_cast<std::chrono::microseconds>(now - start).count();
            allowed = std::min<qsizetype>(
                bytes.size(), qsizetype(us * SimulatedController::LineBytesPerSecond / 1000000) + 1);
        }
        if (allowed <= sent) {
            if (waitWake(wake, 1))
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
