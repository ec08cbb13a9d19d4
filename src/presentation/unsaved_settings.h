// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Which controllers hold settings that were sent but not saved permanently. A controller
// keeps such settings until it is switched off, whether the program stays connected or
// not, so they are remembered per controller for as long as the program runs and shown
// again when it reconnects to one. The controller reports no identity of its own: it is
// known by its port entry, as the sensor history knows it (port name, Bluetooth address).
#include <QSet>
#include <QString>

class UnsavedSettings
{
public:
    // The link reports a connection to the controller on portEntry, or its loss.
    void connected(const QString &portEntry);
    void disconnected();
    // Settings the controller stores (not the live levels or the clock) went to it.
    void sent(const QString &portEntry);
    // It saved its settings permanently.
    void saved(const QString &portEntry);

    // The controller at hand has unsaved settings and the window is to say so.
    bool shown() const { return m_showing && m_unsaved.contains(m_current); }
    bool unsaved(const QString &portEntry) const;

private:
    QSet<QString> m_unsaved;
    QString m_current;
    bool m_showing = false;
};
