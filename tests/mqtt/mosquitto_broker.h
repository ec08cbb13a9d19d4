// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A real mosquitto broker for tests (/usr/sbin/mosquitto, from tools/bootstrap.sh), on a free
// loopback port with its own configuration in a temporary folder, and a synchronous test
// client on MqttClient: QVERIFY2(broker.start({}), qPrintable(broker.error())); then
// TestSubscriber sub(broker.settings()); sub.collect("aq/#"); sub.waitFor("aq/state").
// A test that needs the broker fails when mosquitto is missing.

#include "mqtt/mqtt_client.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <optional>

class MosquittoBroker {
public:
    struct Options {
        QString user;       // with a password: a password file, no anonymous clients
        QString password;
        bool tls = false;   // a TLS listener with a CA and server certificate made for it
    };

    ~MosquittoBroker() { stop(); }

    // Starts the broker (the first time on a free port, later on the same one) and waits until
    // it accepts connections; false with error() otherwise.
    bool start(const Options &options);
    bool start() { return start(m_options); }
    void stop();
    bool restart() { stop(); return start(); }

    int port() const { return m_port; }
    bool running() const { return m_process.state() == QProcess::Running; }
    // Host, port, TLS and CA file for a client of this broker; no user.
    MqttSettings settings() const;
    QString caFile() const { return m_dir.filePath(QStringLiteral("ca.pem")); }
    // Why start() failed, with what the broker wrote.
    QString error() const { return m_error; }

private:
    bool fail(const QString &why);
    bool makeCertificates();

    QTemporaryDir m_dir;
    Options m_options;
    QProcess m_process;
    int m_port = 0;
    QString m_error;
};

// A client that remembers what arrives, for tests that wait for it.
class TestSubscriber {
public:
    explicit TestSubscriber(const MqttSettings &settings);

    // Subscribes to filter and (re)connects; true once connected with every filter
    // acknowledged.
    bool collect(const QString &filter, int timeoutMs = 5000);
    // The next payload on topic not returned before (a retained one counts), waiting for it.
    std::optional<QByteArray> waitFor(const QString &topic, int timeoutMs = 5000);

    MqttClient client;

private:
    MqttSettings m_settings;
    QHash<QString, QList<QByteArray>> m_unread;
};
