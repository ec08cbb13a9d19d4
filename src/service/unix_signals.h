// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// SIGINT, SIGTERM and SIGHUP as Qt signals on the thread of the event loop. The handler only
// writes a byte into a socket pair (all a signal handler may safely do); the loop reads it
// and emits. One per process; the handlers stay installed for its lifetime.

#include <QObject>

class UnixSignals : public QObject
{
    Q_OBJECT
public:
    explicit UnixSignals(QObject *parent = nullptr);
    ~UnixSignals() override;
    // False when the socket pair could not be made (the signals then keep their defaults).
    bool isInstalled() const { return m_installed; }

signals:
    void terminate(int signal);   // SIGINT or SIGTERM
    void hangup();                // SIGHUP

private:
    bool m_installed = false;
};
