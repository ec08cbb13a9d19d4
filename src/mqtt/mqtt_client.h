// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A connection to an MQTT broker (libmosquitto, MQTT 3.1.1) that never makes a thread of the
// program wait for the network: connecting, reconnecting and all socket work happen on a
// network thread of its own; the owner hears of it through queued signals.
//
// After a lost connection, or while the broker is not there yet, the client tries again by
// itself, with a pause that doubles from 1 s up to 60 s and starts at 1 s again after a
// connection that worked. It keeps trying whatever the failure (refused login, TLS error,
// unknown host): the broker's side may be fixed at any time.
//
// No text the client makes (errors, reasons) ever holds the password.

#include "mqtt/mqtt_settings.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

class MqttClient : public QObject {
    Q_OBJECT
public:
    // Incoming payloads larger than this are dropped unseen.
    static constexpr int MaxIncomingPayload = 64 * 1024;
    // Seconds between the keep-alive pings: a dead connection is noticed within 1.5 times this.
    static constexpr int KeepAliveSeconds = 30;

    explicit MqttClient(QObject *parent = nullptr);
    // Says goodbye to the broker (no last will) and ends the network thread. Waits for it about
    // a second at most: a thread still stuck in a name lookup then ends on its own later.
    ~MqttClient() override;

    // The last will the broker publishes (QoS 1) when this client vanishes without a goodbye;
    // set before start(). An empty topic: none.
    void setWill(const QString &topic, const QByteArray &payload, bool retain);

    // Starts connecting in the background; a running connection is stopped first. The client
    // id is clientId, or "aqualumora-<host name>-<pid>" when empty. TLS when settings.tls,
    // checked against settings.caFile or the system's CAs (/etc/ssl/certs), and the broker's
    // name; user and password when a user is given. False with a reason only for settings
    // that can never work (no host, a CA file that cannot be read, a password without a user,
    // a will topic the broker would refuse, ...); then nothing runs.
    bool start(const MqttSettings &settings, const QString &clientId, QString *error);
    // Ends the connection with a goodbye, as the destructor does. No signal of the old
    // connection arrives after it.
    void stop();

    // Connected, and every remembered subscription acknowledged. Any thread.
    bool isConnected() const;
    // Queues a message. Any thread; never waits. False (nothing queued) when not connected or
    // the topic is not one to publish to (empty, "+" or "#").
    bool publish(const QString &topic, const QByteArray &payload, bool retain, int qos = 1);
    // Remembered, and renewed after every (re)connect before connected() is emitted. A filter
    // given again only changes its QoS. Owner's thread.
    void subscribe(const QString &filter, int qos = 1);

signals:
    // Every successful (re)connect, once the subscriptions are acknowledged.
    void connected();
    // Once per lost connection, or per streak of failed attempts (the first one's reason).
    void disconnected(const QString &reason);
    // retained: the broker kept it from earlier and hands it over at the subscription.
    void messageReceived(const QString &topic, const QByteArray &payload, bool retained);

private:
    struct Session;
    static void run(std::shared_ptr<Session> session);
    std::shared_ptr<Session> session() const;

    // Owner's thread: the session being run, and what a new one starts with. publish() reads
    // the pointer from any thread, under the lock.
    mutable std::mutex m_lock;
    std::shared_ptr<Session> m_session;
    std::thread m_thread;
    quint64 m_generation = 0;
    std::vector<std::pair<QString, int>> m_subscriptions;
    QString m_willTopic;
    QByteArray m_willPayload;
    bool m_willRetain = false;
};
