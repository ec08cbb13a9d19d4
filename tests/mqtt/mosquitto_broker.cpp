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

sockaddr_in loopback(int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(uint16_t(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// A port nobody listens on now: the kernel's pick for a socket bound to port 0.
int freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = loopback(0);
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0
        && ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

bool accepts(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in address = loopback(port);
    const bool ok = ::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

bool run(const QString &program, const QStringList &arguments, const QString &folder)
{
    QProcess process;
    process.setWorkingDirectory(folder);
    process.start(program, arguments);
    return process.waitForFinished(20000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

} // namespace

bool MosquittoBroker::fail(const QString &why)
{
    m_error = why + QStringLiteral("\n") + QString::fromLocal8Bit(m_process.readAll());
    return false;
}

bool MosquittoBroker::makeCertificates()
{
    if (QFile::exists(caFile()))
        return true;
    const QString folder = m_dir.path();
    QFile ext(m_dir.filePath(QStringLiteral("server.ext")));
    if (!ext.open(QIODevice::WriteOnly) || ext.write("subjectAltName=IP:127.0.0.1,DNS:localhost\n") < 0)
        return false;
    ext.close();
    const QStringList ec = {QStringLiteral("-newkey"), QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                            QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes")};
    return run(QStringLiteral("openssl"),
               QStringList{QStringLiteral("req"), QStringLiteral("-x509")} + ec
                   + QStringList{"-keyout", "ca.key", "-out", "ca.pem", "-days", "2", "-subj", "/CN=Test CA"},
               folder)
           && run(QStringLiteral("openssl"),
                  QStringList{QStringLiteral("req")} + ec
                      + QStringList{"-keyout", "server.key", "-out", "server.csr", "-subj", "/CN=127.0.0.1"},
                  folder)
           && run(QStringLiteral("openssl"),
                  {"x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key", "-CAcreateserial",
                   "-out", "server.pem", "-days", "2", "-extfile", "server.ext"},
                  folder);
}

bool MosquittoBroker::start(const Options &options)
{
    stop();
    m_options = options;
    if (!QFile::exists(Mosquitto))
        return fail(Mosquitto + QStringLiteral(" is missing: run tools/bootstrap.sh (packages mosquitto, libmosquitto-dev)"));
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
        const QString file = m_dir.filePath(QStringLiteral("passwords"));
        QFile::remove(file);
        if (!run(QStringLiteral("mosquitto_passwd"), {"-c", "-b", file, options.user, options.password}, m_dir.path()))
            return fail(QStringLiteral("mosquitto_passwd failed"));
        config += "allow_anonymous false\npassword_file " + QFile::encodeName(file) + '\n';
    }
    if (options.tls) {
        if (!makeCertificates())
            return fail(QStringLiteral("openssl could not make the test certificates"));
        config += "cafile " + QFile::encodeName(caFile()) + "\ncertfile "
                  + QFile::encodeName(m_dir.filePath(QStringLiteral("server.pem"))) + "\nkeyfile "
                  + QFile::encodeName(m_dir.filePath(QStringLiteral("server.key"))) + '\n';
    }
    QFile conf(m_dir.filePath(QStringLiteral("mosquitto.conf")));
    if (!conf.open(QIODevice::WriteOnly) || conf.write(config) != config.size())
        return fail(QStringLiteral("cannot write the configuration"));
    conf.close();

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
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(2000);
    }
}

MqttSettings MosquittoBroker::settings() const
{
    MqttSettings s;
    s.enabled = true;
    s.host = QStringLiteral("127.0.0.1");
    s.port = m_port;
    s.tls = m_options.tls;
    if (s.tls)
        s.caFile = caFile();
    return s;
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
    const QDeadlineTimer deadline(timeoutMs);
    while (m_unread.value(topic).isEmpty() && !deadline.hasExpired())
        QTest::qWait(10);
    if (m_unread.value(topic).isEmpty())
        return std::nullopt;
    return m_unread[topic].takeFirst();
}

bool TestSubscriber::publish(const QString &topic, const QByteArray &payload, bool retain)
{
    return client.publish(topic, payload, retain);
}
