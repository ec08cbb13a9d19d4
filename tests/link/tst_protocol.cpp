// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/protocol.h"
#include "link/serial_port.h"
#include "pty_peer.h"

#include <QRegularExpression>
#include <QTest>

namespace {

LinkFrame frameWithData(const QByteArray &data)
{
    LinkFrame f{};
    for (int i = 0; i < data.size(); ++i)
        f[FrameDataOffset + i] = uint8_t(data[i]);
    return f;
}

// One open port on a scripted peer, with a protocol whose log is collected.
struct Rig
{
    explicit Rig(PtyPeer::Script script, int readTimeoutMs = 300) : peer(std::move(script))
    {
        port.setName(peer.slavePath());
        port.setReadTimeout(readTimeoutMs);
        port.open();
    }
    PtyPeer peer;
    TSerialPort port;
    LinkFrame frame{};
    QStringList log;
    LinkProtocol protocol{port, frame, [this](const QString &t) { log << t; }};
};

} // namespace

class tst_Protocol : public QObject
{
    Q_OBJECT

private slots:
    void decodeAnswer_data();
    void decodeAnswer();
    void decodeKeepsPairsBeforeBadOne();

    void exchangeGet_data();
    void exchangeGet();
    void exchangeGetTraceLines();
    void traceText_data();
    void traceText();
    void exchangeGetDiscardsStaleInput();
    void exchangeGetOnVanishedPort();
    void exchangeSet_data();
    void exchangeSet();
    void startBootloader();
};

void tst_Protocol::decodeAnswer_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QByteArray>("code");
    QTest::addColumn<int>("n");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("data");

    const int ok = int(AnswerStatus::Ok);
    QTest::newRow("device CR") << QByteArray("800105\r") << QByteArray("80") << 2 << ok << QByteArray("\x01\x05");
    QTest::newRow("ends in blank") << QByteArray("800105 ") << QByteArray("80") << 2
                                   << int(AnswerStatus::NoLineEnd) << QByteArray();
    QTest::newRow("one short") << QByteArray("800105") << QByteArray("80") << 2
                               << int(AnswerStatus::WrongLength) << QByteArray();
    QTest::newRow("empty") << QByteArray() << QByteArray("80") << 2 << int(AnswerStatus::NoData) << QByteArray();
    QTest::newRow("other echo") << QByteArray("810105\r") << QByteArray("80") << 2
                                << int(AnswerStatus::WrongEcho) << QByteArray();
    QTest::newRow("echo in lower case") << QByteArray("7f01\r") << QByteArray("7F") << 1
                                        << int(AnswerStatus::WrongEcho) << QByteArray();
    QTest::newRow("lower-case data") << QByteArray("7Fab\r") << QByteArray("7F") << 1 << ok << QByteArray("\xab");
    QTest::newRow("G1") << QByteArray("80G105\r") << QByteArray("80") << 2 << int(AnswerStatus::NotHex)
                        << QByteArray();
    QTest::newRow("null byte in data") << QByteArray("80\x00" "105\r", 7) << QByteArray("80") << 2
                                       << int(AnswerStatus::NotHex) << QByteArray();
    QTest::newRow("n too large") << QByteArray(267, '0') << QByteArray("80") << 133
                                 << int(AnswerStatus::WrongLength) << QByteArray();

    QByteArray largest = "87" + QByteArray(MaxFrameData * 2, 'f') + '\r';
    QTest::newRow("largest") << largest << QByteArray("87") << MaxFrameData << ok
                             << QByteArray(MaxFrameData, '\xff');
}

void tst_Protocol::decodeAnswer()
{
    QFETCH(QByteArray, answer);
    QFETCH(QByteArray, code);
    QFETCH(int, n);
    QFETCH(int, status);
    QFETCH(QByteArray, data);

    LinkFrame frame{};
    const AnswerResult r = DecodeAnswer(answer, code, n, frame);
    QCOMPARE(int(r.status), status);
    if (r.status == AnswerStatus::Ok) {
        QCOMPARE(frame[1], uint8_t(code.toInt(nullptr, 16)));
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(frame.data() + 2), n), data);
    }
    if (r.status == AnswerStatus::NotHex)
        QVERIFY(r.error.contains(QStringLiteral("is not a valid integer value")));
}

void tst_Protocol::decodeKeepsPairsBeforeBadOne()
{
    LinkFrame frame{};
    frame.fill(0xEE);
    const AnswerResult r = DecodeAnswer("810102G1\r", "81", 3, frame);
    QCOMPARE(int(r.status), int(AnswerStatus::NotHex));
    QCOMPARE(r.error, QStringLiteral("'$G1' is not a valid integer value"));
    QCOMPARE(frame[1], uint8_t(0x81));
    QCOMPARE(frame[2], uint8_t(0x01));
    QCOMPARE(frame[3], uint8_t(0x02));
    QCOMPARE(frame[4], uint8_t(0xEE));  // never reached
}

void tst_Protocol::exchangeGet_data()
{
    QTest::addColumn<QByteArray>("code");
    QTest::addColumn<int>("n");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<bool>("result");
    QTest::addColumn<QStringList>("log");
    QTest::addColumn<bool>("portOpen");

    const QStringList none;
    QTest::newRow("device") << QByteArray("80") << 2 << QByteArray("800105\r") << true << none << true;
    QTest::newRow("one short") << QByteArray("80") << 2 << QByteArray("800105") << false << none << true;
    QTest::newRow("silence") << QByteArray("80") << 2 << QByteArray() << false
                             << QStringList{QStringLiteral("No data.")} << false;
    QTest::newRow("G1") << QByteArray("80") << 2 << QByteArray("80G105\r") << false
                        << QStringList{QStringLiteral("'$G1' is not a valid integer value")} << true;
    // The read stops at the expected count; the rest is discarded by the next purge.
    QTest::newRow("long answer passes") << QByteArray("80") << 2 << QByteArray("800105\r77\r") << true << none
                                        << true;
    QTest::newRow("echo case") << QByteArray("8A") << 1 << QByteArray("8a01\r") << false << none << true;
    // Bytes from the wire never cut or break the line that names them.
    QTest::newRow("null byte") << QByteArray("80") << 2 << QByteArray("80\x00" "105\r", 7) << false
                               << QStringList{QStringLiteral("'$\\x001' is not a valid integer value")} << true;
    QTest::newRow("line feed") << QByteArray("80") << 2 << QByteArray("80\n1\x85" "5\r", 7) << false
                               << QStringList{QStringLiteral("'$\\n1' is not a valid integer value")} << true;
}

void tst_Protocol::exchangeGet()
{
    QFETCH(QByteArray, code);
    QFETCH(int, n);
    QFETCH(QByteArray, answer);
    QFETCH(bool, result);
    QFETCH(QStringList, log);
    QFETCH(bool, portOpen);

    Rig rig([&](const QByteArray &line) { return line == code ? answer : QByteArray(); });
    QCOMPARE(rig.protocol.ExchangeGet(code.constData(), n), result);
    QCOMPARE(rig.log, log);
    QCOMPARE(rig.port.isOpen(), portOpen);
    QCOMPARE(rig.peer.received(), code + '\n');
    if (code == "80" && result) {
        QCOMPARE(rig.frame[1], uint8_t(0x80));
        QCOMPARE(rig.frame[2], uint8_t(1));
        QCOMPARE(rig.frame[3], uint8_t(5));
    }
}

void tst_Protocol::exchangeGetTraceLines()
{
    const QByteArray info = "81" + QByteArray(100, 'a') + '\r';
    Rig rig([&](const QByteArray &) { return info; });
    rig.protocol.traceOn = true;
    QVERIFY(rig.protocol.ExchangeGet("81", 50));
    QCOMPARE(rig.log.size(), 2);
    QVERIFY2(QRegularExpression(QStringLiteral("^OUT: \"81\" \\d+ ms$")).match(rig.log[0]).hasMatch(),
             qPrintable(rig.log[0]));
    QVERIFY(rig.log[1].startsWith(QStringLiteral("IN: \"") + QString::fromLatin1(info.chopped(1)) +
                                  QStringLiteral("\\r\"")));
    QVERIFY(rig.log[1].endsWith(QStringLiteral(" ms")));
    for (int i = 0; i < 50; ++i)
        QCOMPARE(rig.frame[2 + i], uint8_t(0xAA));
}

void tst_Protocol::traceText_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("line");
    QTest::newRow("answer") << QByteArray("800105\r") << QStringLiteral("IN: \"800105\\r\" 7 ms");
    // Placeholders in an answer stay as they came.
    QTest::newRow("placeholders") << QByteArray("80%1%2") << QStringLiteral("IN: \"80%1%2\" 7 ms");
    QTest::newRow("null and C1") << QByteArray("8\x00\x9b" "1", 4) << QStringLiteral("IN: \"8\\x00\\x9B1\" 7 ms");
    QTest::newRow("Latin-1") << QByteArray("\xe4\x7f") << QStringLiteral("IN: \"\u00e4\\x7F\" 7 ms");
}

void tst_Protocol::traceText()
{
    QFETCH(QByteArray, text);
    QTEST(TraceText("IN", text, 7), "line");
}

void tst_Protocol::exchangeGetDiscardsStaleInput()
{
    Rig rig([](const QByteArray &) { return QByteArray("800105\r"); });
    rig.peer.send("80FFFF\r");  // a late answer of an earlier request
    QTest::qWait(50);
    QVERIFY(rig.protocol.ExchangeGet("80", 2));
    QCOMPARE(rig.frame[2], uint8_t(1));
}

void tst_Protocol::exchangeGetOnVanishedPort()
{
    Rig rig([](const QByteArray &) { return QByteArray(); });
    rig.peer.vanish();
    QVERIFY(!rig.protocol.ExchangeGet("81", 50));
    QCOMPARE(rig.log.size(), 1);
    QVERIFY2(rig.log[0].contains(QStringLiteral("function failed (Error: ")), qPrintable(rig.log[0]));
    // Closed, so that the caller reconnects instead of retrying a dead port.
    QVERIFY(!rig.port.isOpen());
    QVERIFY(!rig.protocol.ExchangeSet("01", 50));
    QCOMPARE(rig.log.last(), QStringLiteral("Port Not Open"));
}

void tst_Protocol::exchangeSet_data()
{
    QTest::addColumn<QByteArray>("ack");
    QTest::addColumn<bool>("result");
    QTest::addColumn<QString>("inTrace");
    QTest::newRow("star") << QByteArray("*") << true << QStringLiteral("IN: \"*\"");
    QTest::newRow("zero byte") << QByteArray(1, '\0') << true << QStringLiteral("IN: \"\"");
    QTest::newRow("none") << QByteArray() << false << QStringLiteral("IN: \"\"");
}

void tst_Protocol::exchangeSet()
{
    QFETCH(QByteArray, ack);
    QFETCH(bool, result);
    QFETCH(QString, inTrace);

    Rig rig([&](const QByteArray &) { return ack; });
    rig.protocol.traceOn = true;
    QByteArray data;
    for (int i = 0; i < 31; ++i)
        data.append(char(i * 9));
    rig.frame = frameWithData(data);
    rig.frame[FrameDataOffset + 31] = 0x77;  // beyond n: must not be sent
    QCOMPARE(rig.protocol.ExchangeSet("02", 31), result);

    const QByteArray expected = "02" + data.toHex().toUpper() + '\n';
    QCOMPARE(rig.peer.received(), expected);
    QCOMPARE(rig.log.size(), 2);
    QVERIFY(rig.log[0].startsWith(QStringLiteral("OUT: \"") + QString::fromLatin1(expected.chopped(1)) +
                                  QStringLiteral("\\n\"")));
    QVERIFY2(rig.log[1].startsWith(inTrace + u' '), qPrintable(rig.log[1]));
    QVERIFY(rig.port.isOpen());  // a missing acknowledgement does not close the port
}

void tst_Protocol::startBootloader()
{
    Rig rig([](const QByteArray &) { return QByteArray("ignored"); });
    QVERIFY(rig.protocol.StartBootloader(20));
    QTRY_COMPARE(rig.peer.received(), QByteArray("7F00\n"));
    QVERIFY(rig.log.isEmpty());
}

QTEST_GUILESS_MAIN(tst_Protocol)
#include "tst_protocol.moc"
