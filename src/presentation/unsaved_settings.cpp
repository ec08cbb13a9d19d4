// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "presentation/unsaved_settings.h"

#include "history/history_recorder.h"

void UnsavedSettings::connected(const QString &portEntry)
{
    m_current = HistoryControllerKey(portEntry);
    m_showing = true;
}

void UnsavedSettings::disconnected() { m_showing = false; }

void UnsavedSettings::sent(const QString &portEntry)
{
    m_current = HistoryControllerKey(portEntry);
    m_unsaved.insert(m_current);
    m_showing = true;
}

void UnsavedSettings::saved(const QString &portEntry) { m_unsaved.remove(HistoryControllerKey(portEntry)); }

bool UnsavedSettings::unsaved(const QString &portEntry) const
{
    return m_unsaved.contains(HistoryControllerKey(portEntry));
}
