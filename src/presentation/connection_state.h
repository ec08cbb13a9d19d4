// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>

// The link to the controller as the user is told it. The link thread reports every change of
// it, and the window shows the one value in the status bar, on the Messages page and in the
// log, so those never tell different stories.
class ConnectionState {
public:
    enum class Phase {
        NotConnected,   // no link, or the link was told to stop
        Connecting,     // opening the port, or waiting for the controller's first answer
        Connected,      // the controller answered
        Lost,           // nothing answers on the port (any more); another attempt follows
    };

    ConnectionState() = default;
    static ConnectionState notConnected(const QString &port = {});
    // attempt counts from 1: each open of the port and each new try to reach the controller.
    static ConnectionState connecting(const QString &port, int attempt);
    static ConnectionState connected(const QString &port);
    static ConnectionState lost(const QString &port, int attempt);

    Phase phase() const { return m_phase; }
    // The port part of the entry ("ttyUSB0"); empty when not connected and no link ended.
    const QString &port() const { return m_port; }
    int attempt() const { return m_attempt; }

    // The state in words, as the status bar and the Messages page show it.
    QString text() const;
    // The status line (panel 0 and log) that announces a change into this state; a link that
    // identified the controller announces it with the controller's name instead.
    QString statusLine() const;

    bool operator==(const ConnectionState &) const = default;

private:
    ConnectionState(Phase phase, const QString &port, int attempt) : m_phase(phase), m_port(port), m_attempt(attempt) {}
    Phase m_phase = Phase::NotConnected;
    QString m_port;
    int m_attempt = 0;
};
