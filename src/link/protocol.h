// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>

class LinkTransport;

// The link thread's frame buffer: byte 0 unused, byte 1 the echoed command code of a read
// answer, bytes 2.. the data bytes of a read answer or of a write request.
using LinkFrame = std::array<std::uint8_t, 134>;
inline constexpr int FrameDataOffset = 2;
inline constexpr int MaxFrameData = 132;

// One wire command: its two-character code, the name written to the trace and its
// number of data bytes.
struct LinkCommand
{
    const char *code;
    const char *traceName;
    int dataBytes;
};

namespace LinkCommands {
inline constexpr LinkCommand GetDevice{"80", "GetDevice", 2};
inline constexpr LinkCommand GetInfo{"81", "GetInfo", 50};
inline constexpr LinkCommand SetInfo{"01", "SetInfo", 50};
inline constexpr LinkCommand GetConfig{"82", "GetConfig", 31};
inline constexpr LinkCommand SetConfig{"02", "SetConfig", 31};
inline constexpr LinkCommand GetSchedule{"83", "GetSchedule", 18};
inline constexpr LinkCommand SetSchedule{"03", "SetSchedule", 18};
inline constexpr LinkCommand GetExpert{"85", "GetExpert", 44};
inline constexpr LinkCommand SetExpert{"05", "SetExpert", 44};
inline constexpr LinkCommand GetExpertWeather{"86", "GetExpertWeather", 69};
inline constexpr LinkCommand SetExpertWeather{"06", "SetExpertWeather", 69};
inline constexpr LinkCommand GetChart{"87", "GetChart", 80};
inline constexpr LinkCommand SaveEEPROM{"7F", "SaveEEPROM", 1};
inline constexpr LinkCommand ToggleCloud{"7F", "ToggleCloud", 1};
inline constexpr LinkCommand ToggleStorm{"7F", "ToggleStorm", 1};
inline constexpr LinkCommand GetBootInfo{"81", "GetBootInfo", 6};
// Bootloader writes (firmware transfer).
inline constexpr LinkCommand BootRestart{"01", "BootRestart", 6};
inline constexpr LinkCommand BootWriteBlock{"02", "BootWriteBlock", 66};
} // namespace LinkCommands

// Length in characters of the read answer for n data bytes: echo, 2 digits a byte, line end.
constexpr int AnswerLength(int n) { return 2 * n + 3; }

enum class AnswerStatus {
    Ok,
    NoData,       // nothing arrived
    WrongLength,  // any other count than 2n+3
    WrongEcho,    // the first two characters are not exactly the code
    NoLineEnd,    // the last character is neither CR nor LF
    NotHex,       // a pair is not a hexadecimal number; see AnswerResult::error
};

struct AnswerResult
{
    AnswerStatus status = AnswerStatus::Ok;
    QString error;  // the conversion error text for NotHex, naming the pair
};

// Checks and decodes a read answer for code (two characters) with n data bytes into frame:
// pair 0 (the echo) goes to byte 1, data pair i to byte 1 + i. On a bad pair the bytes
// decoded so far stay in the frame. Never reads or writes outside its arguments, whatever
// the input; n outside 0..MaxFrameData is WrongLength.
AnswerResult DecodeAnswer(QByteArrayView answer, QByteArrayView code, int n, LinkFrame &frame);

// The write request text: code, data bytes 2..n+1 of frame as upper-case hex pairs, line feed.
QByteArray EncodeRequest(QByteArrayView code, const LinkFrame &frame, int n);

// One trace line: OUT: "81" 0 ms. Control characters of the text (the line end
// included) are shown escaped: IN: "800105\r" 12 ms.
QString TraceText(const char *direction, const QByteArray &text, qint64 ms);

// The two exchange routines and the raw bootloader start, on the link thread's port and
// frame buffer. Log lines (error texts, "No data.") go to log, trace lines to trace (or to
// log without one).
class LinkProtocol
{
public:
    using LogFn = std::function<void(const QString &)>;

    LinkProtocol(LinkTransport &port, LinkFrame &frame, LogFn log, LogFn trace = {});

    // Read exchange: request "code\n", answer of 2n+3 characters decoded into the frame.
    // Nothing at all: "No data." is logged and the port closed. A serial-layer failure is
    // logged and closes the port as well, so the caller reconnects instead of retrying a
    // dead port. A read cut short by the stop check fails without a message.
    bool ExchangeGet(const char *code, int n);
    bool ExchangeGet(const LinkCommand &c) { return ExchangeGet(c.code, c.dataBytes); }
    // Write exchange: frame data bytes sent as hex; true when one acknowledgement byte came.
    bool ExchangeSet(const char *code, int n);
    bool ExchangeSet(const LinkCommand &c) { return ExchangeSet(c.code, c.dataBytes); }
    // Discards the buffers, writes "7F00\n" and waits waitMs (ended early by the stop
    // check). No answer is read; the caller identifies the device next. Returns false
    // when the serial layer failed (logged, port closed).
    bool StartBootloader(int waitMs = 500);

    bool traceOn = false;
    // Polled during waits; a true result ends them early.
    std::function<bool()> stopCheck;

private:
    void serialFailed(const QString &text);

    LinkTransport &m_port;
    LinkFrame &m_frame;
    LogFn m_log;
    LogFn m_trace;
};
