// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/protocol.h"

#include "presentation/localization.h"
#include "presentation/log_text.h"
#include "link/serial_port.h"

#include <QElapsedTimer>
#include <QThread>

#include <algorithm>

namespace {

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

constexpr char UpperHex[] = "0123456789ABCDEF";

// Receive buffer size of one answer; the largest answer is 2 * 132 + 3 characters.
constexpr int ReceiveBufferSize = 512;

} // namespace

AnswerResult DecodeAnswer(QByteArrayView answer, QByteArrayView code, int n, LinkFrame &frame)
{
    if (answer.isEmpty())
        return {AnswerStatus::NoData, {}};
    if (n < 0 || n > MaxFrameData || code.size() != 2 || answer.size() != AnswerLength(n))
        return {AnswerStatus::WrongLength, {}};
    // The echo is compared character by character: "81" must come back as "81".
    if (answer[0] != code[0] || answer[1] != code[1])
        return {AnswerStatus::WrongEcho, {}};
    const char last = answer[answer.size() - 1];
    if (last != '\r' && last != '\n')
        return {AnswerStatus::NoLineEnd, {}};
    for (int i = 0; i <= n; ++i) {
        const char hi = answer[2 * i];
        const char lo = answer[2 * i + 1];
        const int h = hexDigit(hi), l = hexDigit(lo);
        if (h < 0 || l < 0) {
            // The pair came from the wire: whatever it holds is shown, escaped.
            const QString pair = EscapeForLog(answer.sliced(2 * i, 2));
            return {AnswerStatus::NotHex,
                    QStringLiteral("'$") + pair + QStringLiteral("' is not a valid integer value")};
        }
        frame[1 + i] = std::uint8_t(h * 16 + l);
    }
    return {AnswerStatus::Ok, {}};
}

QByteArray EncodeRequest(QByteArrayView code, const LinkFrame &frame, int n)
{
    n = std::clamp(n, 0, MaxFrameData);
    QByteArray text;
    text.reserve(code.size() + 2 * n + 1);
    text.append(code);
    for (int i = 0; i < n; ++i) {
        const std::uint8_t b = frame[FrameDataOffset + i];
        text.append(UpperHex[b >> 4]);
        text.append(UpperHex[b & 0x0F]);
    }
    text.append('\n');
    return text;
}

QString TraceText(const char *direction, const QByteArray &text, qint64 ms)
{
    // Put together piece by piece: the wire text is never read as a format.
    return QLatin1String(direction) + QStringLiteral(": \"") + EscapeForLog(text) + QStringLiteral("\" ") +
           QString::number(ms) + QStringLiteral(" ms");
}

LinkProtocol::LinkProtocol(LinkTransport &port, LinkFrame &frame, LogFn log, LogFn trace)
    : m_port(port), m_frame(frame), m_log(std::move(log)), m_trace(trace ? std::move(trace) : m_log)
{
}

void LinkProtocol::serialFailed(const QString &text)
{
    m_log(text);
    // The port is gone or broken: closing it makes identification give up at once and the
    // thread reconnect after its pause instead of spinning on a dead handle.
    m_port.close();
}

bool LinkProtocol::ExchangeGet(const char *code, int n)
{
    if (n < 0 || n > MaxFrameData)
        return false;
    const QByteArray request = QByteArray(code) + '\n';
    char received[ReceiveBufferSize] = {};
    qint64 count = 0;
    try {
        m_port.clearBuffers();
        QElapsedTimer timer;
        timer.start();
        m_port.write(request);
        if (traceOn)
            m_trace(TraceText("OUT", QByteArray(code), timer.elapsed()));
        timer.restart();
        count = m_port.read(received, AnswerLength(n));
        if (traceOn)
            m_trace(TraceText("IN", QByteArray(received, int(count)), timer.elapsed()));
    } catch (const SerialError &e) {
        serialFailed(e.text());
        return false;
    }
    if (count == 0 && m_port.lastReadInterrupted())
        return false;  // stopping: neither an error nor a lost device
    const AnswerResult result = DecodeAnswer(QByteArrayView(received, count), code, n, m_frame);
    switch (result.status) {
    case AnswerStatus::Ok:
        return true;
    case AnswerStatus::NoData:
        m_log(Translate("NoData"));
        m_port.close();
        return false;
    case AnswerStatus::NotHex:
        m_log(result.error);
        return false;
    default:
        return false;
    }
}

bool LinkProtocol::ExchangeSet(const char *code, int n)
{
    if (n < 0 || n > MaxFrameData)
        return false;
    const QByteArray text = EncodeRequest(code, m_frame, n);
    char ack = 0;
    qint64 count = 0;
    try {
        m_port.clearBuffers();
        QElapsedTimer timer;
        timer.start();
        m_port.write(text);
        if (traceOn)
            m_trace(TraceText("OUT", text, timer.elapsed()));
        timer.restart();
        count = m_port.read(&ack, 1);
        if (traceOn)
            m_trace(TraceText("IN", count == 1 && ack != 0 ? QByteArray(1, ack) : QByteArray(), timer.elapsed()));
    } catch (const SerialError &e) {
        serialFailed(e.text());
        return false;
    }
    return count == 1;
}

bool LinkProtocol::StartBootloader(int waitMs)
{
    try {
        m_port.clearBuffers();
        m_port.write(QByteArrayLiteral("7F00\n"));
    } catch (const SerialError &e) {
        serialFailed(e.text());
        return false;
    }
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < waitMs && !(stopCheck && stopCheck()))
        QThread::msleep(std::min<qint64>(10, waitMs - timer.elapsed()));
    return true;
}
