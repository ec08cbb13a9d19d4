// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "presentation/log_categories.h"
#include "presentation/log_text.h"

#include <QDateTime>

#include <cstdio>
#include <cstring>

Q_LOGGING_CATEGORY(lcApp, "aqualumora.app", QtInfoMsg)
Q_LOGGING_CATEGORY(lcLink, "aqualumora.link", QtInfoMsg)
Q_LOGGING_CATEGORY(lcLinkTrace, "aqualumora.link.trace", QtInfoMsg)
Q_LOGGING_CATEGORY(lcBluetooth, "aqualumora.bluetooth", QtInfoMsg)
Q_LOGGING_CATEGORY(lcHistory, "aqualumora.history", QtInfoMsg)
Q_LOGGING_CATEGORY(lcFiles, "aqualumora.files", QtInfoMsg)
Q_LOGGING_CATEGORY(lcFirmware, "aqualumora.firmware", QtInfoMsg)
Q_LOGGING_CATEGORY(lcMqtt, "aqualumora.mqtt", QtInfoMsg)

namespace {

QtMessageHandler previousHandler = nullptr;

bool ours(const QMessageLogContext &context)
{
    return context.category && std::strncmp(context.category, "aqualumora.", 11) == 0;
}

void handler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (!ours(context)) {
        if (previousHandler)
            previousHandler(type, context, message);
        return;
    }
    // Written with its length: the line is never cut at a byte the C string functions
    // would stop at.
    const QByteArray bytes = message.toLocal8Bit() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

} // namespace

void InstallLogOutput()
{
    static const bool installed = [] {
        previousHandler = qInstallMessageHandler(handler);
        return true;
    }();
    (void)installed;
}

void WriteLogLine(const QLoggingCategory &category, QtMsgType type, const QString &line)
{
    InstallLogOutput();
    if (!category.isEnabled(type))
        return;
    // QMessageLogger rather than the qC* macros: the type is a parameter here.
    QMessageLogger logger(nullptr, 0, nullptr, category.categoryName());
    switch (type) {
    case QtDebugMsg: logger.debug("%s", qUtf8Printable(line)); break;
    case QtWarningMsg: logger.warning("%s", qUtf8Printable(line)); break;
    case QtCriticalMsg: logger.critical("%s", qUtf8Printable(line)); break;
    default: logger.info("%s", qUtf8Printable(line)); break;
    }
}

bool LinkTraceOn() { return lcLinkTrace().isDebugEnabled(); }

void SetLinkTrace(bool on) { const_cast<QLoggingCategory &>(lcLinkTrace()).setEnabled(QtDebugMsg, on); }

void LogMessage(const QLoggingCategory &category, const QString &text, QtMsgType type)
{
    for (const QString &line : LogLines(text, QDateTime::currentDateTime()))
        WriteLogLine(category, type, line);
}
