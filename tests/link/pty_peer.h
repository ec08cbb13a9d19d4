// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A scripted serial peer on a pseudo-terminal: the test's side of the line. The code under
// test opens slavePath(); every line it sends (up to a line feed) is passed to the script,
// whose result is written back.

#include <QByteArray>
#include <QMutex>
#include <QString>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

class PtyPeer
{
public:
    using Script = std::function<QByteArray(const QByteArray &line)>;

    explicit PtyPeer(Script script = {}) : m_script(std::move(script))
    {
        m_master = posix_openpt(O_RDWR | O_NOCTTY);
        if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0)
            return;
        m_path = QString::fromLocal8Bit(ptsname(m_master));
        // Holding the slave open keeps the master readable while the code under test has
        // the port closed; raw, so nothing is echoed back.
        m_slave = ::open(ptsname(m_master), O_RDWR | O_NOCTTY);
        termios t{};
        tcgetattr(m_slave, &t);
        cfmakeraw(&t);
        tcsetattr(m_slave, TCSANOW, &t);
        m_thread = std::thread([this] { loop(); });
    }

    ~PtyPeer() { vanish(); }

    bool ok() const { return m_master >= 0 && !m_path.isEmpty(); }
    QString slavePath() const { return m_path; }
    int slaveFd() const { return m_slave; }

    // Everything received so far, raw.
    QByteArray received() const
    {
        QMutexLocker lock(&m_mutex);
        return m_received;
    }
    // Unsolicited bytes, as a late answer would leave them.
    void send(const QByteArray &bytes) { writeAll(bytes); }

    // The device disappears: both ends of the pseudo-terminal are closed.
    void vanish()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        if (m_slave >= 0)
            ::close(m_slave);
        if (m_master >= 0)
            ::close(m_master);
        m_slave = m_master = -1;
    }

private:
    void writeAll(const QByteArray &bytes)
    {
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
            if (n < 0) {
                if (errno == EINTR || errno == EAGAIN)
                    continue;
                return;
            }
            done += n;
        }
    }

    void loop()
    {
        QByteArray line;
        while (!m_stop) {
            pollfd p{m_master, POLLIN, 0};
            if (::poll(&p, 1, 10) <= 0 || !(p.revents & POLLIN))
                continue;
            char buf[512];
            const ssize_t n = ::read(m_master, buf, sizeof buf);
            if (n <= 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                continue;
            }
            for (ssize_t i = 0; i < n; ++i) {
                QByteArray reply;
                {
                    QMutexLocker lock(&m_mutex);
                    m_received.append(buf[i]);
                    if (buf[i] != '\n') {
                        line.append(buf[i]);
                        continue;
                    }
                    if (m_script)
                        reply = m_script(line);
                    line.clear();
                }
                writeAll(reply);
            }
        }
    }

    int m_master = -1;
    int m_slave = -1;
    QString m_path;
    mutable QMutex m_mutex;
    Script m_script;
    QByteArray m_received;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};
