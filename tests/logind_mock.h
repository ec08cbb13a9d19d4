// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A private D-Bus daemon with python3-dbusmock's logind template on it, standing in for the
// system bus and systemd-logind. Tests that use it skip when either is not installed.
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QTest>

class LogindMock
{
public:
    ~LogindMock()
    {
        stopLogind();
        stop(m_daemon);
    }

    // Starts the bus. Returns why the test has to be skipped, or an empty string.
    QString startBus()
    {
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (daemon.isEmpty())
            return QStringLiteral("dbus-daemon is not installed (tools/bootstrap.sh installs it)");
        QProcess probe;
        probe.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QStringLiteral("import dbusmock")});
        if (!probe.waitForFinished(10000) || probe.exitStatus() != QProcess::NormalExit || probe.exitCode() != 0)
            return QStringLiteral("python3-dbusmock is not installed (tools/bootstrap.sh installs it)");
        m_daemon.start(daemon, {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address")});
        if (!m_daemon.waitForStarted(5000))
            return QStringLiteral("dbus-daemon does not start");
        while (!m_daemon.canReadLine())
            if (!m_daemon.waitForReadyRead(5000))
                return QStringLiteral("dbus-daemon prints no address");
        m_address = QString::fromLocal8Bit(m_daemon.readLine()).trimmed();
        return {};
    }

    QString address() const { return m_address; }
    QDBusConnection connection(const QString &name) { return QDBusConnection::connectToBus(m_address, name); }

    // Starts the logind template and waits until it owns its name.
    bool startLogind()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), m_address);
        m_logind.setProcessEnvironment(env);
        m_logind.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_logind.setStandardOutputFile(QProcess::nullDevice());
        m_logind.start(QStringLiteral("/usr/bin/python3"),
                       {QStringLiteral("-m"), QStringLiteral("dbusmock"), QStringLiteral("--template"), QStringLiteral("logind")});
        if (!m_logind.waitForStarted(5000))
            return false;
        QDBusConnection bus = connection(QStringLiteral("logind-probe"));
        bool up = false;
        for (int i = 0; i < 1000 && !up && m_logind.state() == QProcess::Running; ++i) {
            up = bus.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.login1"));
            if (!up)
                QTest::qWait(20);
        }
        return up;
    }

    void stopLogind() { stop(m_logind); }

    // The locks logind holds, each as "what|who|why|mode".
    QStringList inhibitors()
    {
        const QDBusMessage reply = call(QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("ListInhibitors"));
        QStringList result;
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
            return {QStringLiteral("no answer: ") + reply.errorMessage()};
        const QDBusArgument list = reply.arguments().at(0).value<QDBusArgument>();
        list.beginArray();
        while (!list.atEnd()) {
            QString what, who, why, mode;
            uint uid = 0, pid = 0;
            list.beginStructure();
            list >> what >> who >> why >> mode >> uid >> pid;
            list.endStructure();
            result << QStringList{what, who, why, mode}.join(u'|');
        }
        list.endArray();
        return result;
    }

    // logind's announcement of a suspend (true) or of the resume (false).
    bool prepareForSleep(bool start)
    {
        const QVariantList signalArgs{QVariant::fromValue(QDBusVariant(start))};
        const QDBusMessage reply = call(QStringLiteral("org.freedesktop.DBus.Mock"), QStringLiteral("EmitSignal"),
                                        {QStringLiteral("org.freedesktop.login1.Manager"),
                                         QStringLiteral("PrepareForSleep"), QStringLiteral("b"), signalArgs});
        return reply.type() == QDBusMessage::ReplyMessage;
    }

private:
    QDBusMessage call(const QString &interface, const QString &method, const QVariantList &args = {})
    {
        QDBusConnection bus = connection(QStringLiteral("logind-test"));
        QDBusMessage message = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"), interface, method);
        message.setArguments(args);
        return bus.call(message, QDBus::Block, 10000);
    }

    static void stop(QProcess &process)
    {
        if (process.state() == QProcess::NotRunning)
            return;
        process.terminate();
        if (!process.waitForFinished(5000))
            process.kill();
        process.waitForFinished(5000);
    }

    QProcess m_daemon;
    QProcess m_logind;
    QString m_address;
};
