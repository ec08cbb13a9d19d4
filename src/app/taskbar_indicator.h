// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QWidget>

// The connection state and transfer progress at the right end of the status bar:
// red while no link thread runs, yellow while one runs but is not connected, green
// while connected. Also published to the desktop launcher over the session bus
// (com.canonical.Unity.LauncherEntry); nobody listening is fine.
class TaskbarIndicator : public QWidget {
    Q_OBJECT
public:
    enum class State { NoLink, Connecting, Connected };

    explicit TaskbarIndicator(QWidget *parent = nullptr);

    void setState(State state);
    void setProgress(qint64 done, qint64 total);
    State state() const { return m_state; }
    qint64 done() const { return m_done; }
    qint64 total() const { return m_total; }

    QSize sizeHint() const override { return {64, 14}; }

protected:
    void paintEvent(QPaintEvent *) override;

private:
    void publish();

    State m_state = State::NoLink;
    qint64 m_done = 1;
    qint64 m_total = 1;
};
