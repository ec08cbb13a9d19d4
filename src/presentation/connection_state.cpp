// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "presentation/connection_state.h"

#include "presentation/localization.h"

ConnectionState ConnectionState::notConnected(const QString &port) { return {Phase::NotConnected, port, 0}; }

ConnectionState ConnectionState::connecting(const QString &port, int attempt)
{
    return {Phase::Connecting, port, qMax(1, attempt)};
}

ConnectionState ConnectionState::connected(const QString &port) { return {Phase::Connected, port, 0}; }

ConnectionState ConnectionState::lost(const QString &port, int attempt) { return {Phase::Lost, port, qMax(1, attempt)}; }

QString ConnectionState::text() const
{
    switch (m_phase) {
    case Phase::NotConnected: return Translate(QStringLiteral("NotConnected"));
    case Phase::Connecting:
        // The first attempt in the words everybody knows; a count only once it is news.
        return m_attempt <= 1 ? TranslateFmt(QStringLiteral("ConnectingTo"), {m_port})
                              : TranslateFmt(QStringLiteral("ConnectingAttempt"), {m_port, QString::number(m_attempt)});
    case Phase::Connected: return TranslateFmt(QStringLiteral("ConnectedTo"), {m_port});
    case Phase::Lost: return TranslateFmt(QStringLiteral("NoControllerAnswers"), {m_port});
    }
    return {};
}

QString ConnectionState::statusLine() const
{
    switch (m_phase) {
    case Phase::NotConnected:
        return m_port.isEmpty() ? QString() : TranslateFmt(QStringLiteral("DisconnectedFrom"), {m_port});
    case Phase::Lost: return Translate(QStringLiteral("ConnectionError"));
    case Phase::Connecting:
    case Phase::Connected: return text();
    }
    return {};
}
