// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "mosquitto_broker.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const QString Mosquitto = QStringLiteral("/usr/sbin/mosquitto");

sockaddr_in loopback(int port) { return {AF_INET, htons(uint16_t(port)), {htonl(INADDR_LOOPBACK)}, {}}; }

// A port nobody listens on now: the kernel's pick for a socket bound to port 0.
int freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = loopback(0);
    socklen_t length = sizeof address;
    // Should either call fail, the port stays 0, which the broker refuses.
    ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

bool accepts(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in address = loopback(port);
    const bool ok = ::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

} // namespace

bool MosquittoBroker::fail(const QString &why)
{
    m_error = why + QStringLiteral("\n") + QString::fromLocal8Bit(m_process.readAll());
    return false;
}

bool MosquittoBroker::makeCertificates()
{
    // A CA, and a server certificate it signed for 127.0.0.1; EC keys, as they are made at once.
    const QString ec = QStringLiteral(" -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2");
    return QFile::exists(caFile())
           || QProcess::execute(QStringLiteral("sh"),
                                {"-c", "cd '" + m_dir.path() + "' && exec 2>/dev/null"
                                       " && openssl req -x509" + ec + " -keyout ca.key -out ca.pem -subj /CN=TestCA"
                                       " && openssl req" + ec + " -keyout server.key -out server.csr -subj /CN=127.0.0.1"
                                       " && echo subjectAltName=IP:127.0.0.1 > server.ext"
                                       " && openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial"
                                       " -days 2 -out server.pem -extfile server.ext"})
                  == 0;
}

bool MosquittoBroker::start(const Options &options)
{
    stop();
    m_options = options;
    if (!QFile::exists(Mosquitto))
        return fail(Mosquitto + QStringLiteral(" is missing: run tools/bootstrap.sh (package mosquitto)"));
    if (!m_dir.isValid())
        return fail(QStringLiteral("no temporary folder"));
    if (!m_port)
        m_port = freePort();

    QByteArray config = "listener " + QByteArray::number(m_port) + " 127.0.0.1\npersistence false\n"
                        "log_dest stderr\nlog_type error\nlog_type warning\n";
    // Run as root, the broker would switch to the user "mosquitto", who cannot read this folder.
    if (const passwd *me = ::getpwuid(::getuid()))
        config += "user " + QByteArray(me->pw_name) + '\n';
    if (options.user.isEmpty()) {
        config += "allow_anonymous true\n";
    } else {
        const QStringList passwd = {"-c", "-b", m_dir.filePath("passwords"), options.user, options.password};
        if (QProcess::execute(QStringLiteral("mosquitto_passwd"), passwd) != 0)
            return fail(QStringLiteral("mosquitto_passwd failed"));
        config += "allow_anonymous false\npassword_file passwords\n";
    }
    if (options.tls) {
        if (!makeCertificates())
            return fail(QStringLiteral("openssl could not make the test certificates"));
        config += "cafile ca.pem\ncertfile server.pem\nkeyfile server.key\n";
    }
    QFile conf(m_dir.filePath(QStringLiteral("mosquitto.conf")));
    if (!conf.open(QIODevice::WriteOnly) || conf.write(config) != config.size())
        return fail(QStringLiteral("cannot write the configuration"));
    conf.close();

    // The broker runs in the folder: the files the configuration names are relative to it.
    m_process.setWorkingDirectory(m_dir.path());
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.start(Mosquitto, {QStringLiteral("-c"), conf.fileName()});
    if (!m_process.waitForStarted(5000))
        return fail(QStringLiteral("mosquitto did not start: ") + m_process.errorString());
    const QDeadlineTimer deadline(10000);
    while (!accepts(m_port)) {
        if (m_process.state() != QProcess::Running || deadline.hasExpired())
            return fail(QStringLiteral("mosquitto does not listen on port %1").arg(m_port));
        QThread::msleep(20);
    }
    return true;
}

void MosquittoBroker::stop()
{
    m_process.terminate();
    if (m_process.state() != QProcess::NotRunning && !m_process.waitForFinished(5000))
        m_process.kill();
    m_process.waitForFinished(2000);
}

MqttSettings MosquittoBroker::settings() const
{
    return {.enabled = true, .host = "127.0.0.1", .port = m_port, .tls = m_options.tls,
            .caFile = m_options.tls ? caFile() : QString()};
}

TestSubscriber::TestSubscriber(const MqttSettings &settings) : m_settings(settings)
{
    QObject::connect(&client, &MqttClient::messageReceived, [this](const QString &topic, const QByteArray &payload) {
        m_unread[topic].append(payload);
    });
}

bool TestSubscriber::collect(const QString &filter, int timeoutMs)
{
    client.subscribe(filter);
    QSignalSpy connected(&client, &MqttClient::connected);
    static int number = 0;
    if (!client.start(m_settings, QStringLiteral("test-subscriber-%1").arg(++number), nullptr))
        return false;
    return connected.wait(timeoutMs);
}

std::optional<QByteArray> TestSubscriber::waitFor(const QString &topic, int timeoutMs)
{
    if (!QTest::qWaitFor([&] { return !m_unread.value(topic).isEmpty(); }, timeoutMs))
        return std::nullopt;
    return m_unread[topic].takeFirst();
}
