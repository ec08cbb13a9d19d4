// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One command for a script: connect, download the whole state, do one thing, end.

#include "presentation/cmdline.h"
#include "files/ini_file.h"
#include "service/link_service.h"

#include <QObject>
#include <QTimer>

#include <cstdio>

class OneShotCommand : public QObject
{
    Q_OBJECT
public:
    // out: where --status writes its JSON.
    OneShotCommand(const CommandLine &cmd, ServiceOptions options, std::FILE *out = stdout, QObject *parent = nullptr);

    void start();
    // 0 done, 1 failed; valid after finished().
    int status() const { return m_status; }
    // The one line said on failure.
    QString failure() const { return m_failure; }

    // How long connecting and the download may take in all.
    static constexpr int TimeoutMs = 60000;

signals:
    void finished(int status);

private:
    void act();
    void fail(const QString &line);
    void succeed();
    void finish(int status, const QString &failure);
    // After the writes have gone out: the written records are read back and compared.
    void awaitWrites(uint32_t reread);
    void checkWritten();

    CommandLine m_cmd;
    LinkService m_service;
    std::FILE *m_out;
    QTimer m_timeout;
    QTimer m_poll;
    int m_status = 1;
    bool m_done = false;
    QString m_failure;
    uint32_t m_reread = 0;
    bool m_rereadRaised = false;
    IniFile m_wanted;
    unsigned m_sections = 0;
};
