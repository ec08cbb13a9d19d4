#include "link/serial_port.h"

#include <QElapsedTimer>
#include <QSerialPort>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

// How often a waiting read looks at the stop check. Data that arrives ends the wait at
// once; this only bounds how long a stop request can go unnoticed.
constexpr int StopPollMs = 20;

QString systemMessage(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

} // namespace

SerialError::SerialError(const QString &text)
    : std::runtime_error(text.toStdString()), m_text(text)
{
}

SerialError SerialError::withCode(const char *fixedPart, int code, const QString &message)
{
    return SerialError(QStringLiteral("%1 (Error: %2, \"%3\")")
                           .arg(QLatin1String(fixedPart))
                           .arg(code)
                           .arg(message));
}

TSerialPort::TSerialPort() = default;

TSerialPort::~TSerialPort()
{
    close();
}

void TSerialPort::setName(const QString &name)
{
    m_name = name;
}

bool TSerialPort::isOpen() const
{
    return m_port && m_port->isOpen();
}

void TSerialPort::fail(const char *fixedPart)
{
    // QSerialPort keeps only its own error enumeration; the system code is errno as left
    // by the failing call. Use it only when it really produced the message shown, so that
    // code and text never disagree.
    const int saved = errno;
    QString message = m_port ? m_port->errorString() : QString();
    int code = m_port ? int(m_port->error()) : 0;
    if (saved != 0 && (message.isEmpty() || message == systemMessage(saved)))
        code = saved;
    if (message.isEmpty())
        message = systemMessage(saved);
    if (m_port)
        m_port->clearError();
    throw SerialError::withCode(fixedPart, code, message);
}

void TSerialPort::open()
{
    if (isOpen())
        return;
    if (!m_port)
        m_port = std::make_unique<QSerialPort>();
    m_port->setPortName(m_name);
    // Qt's own buffer stands in for the driver's receive queue.
    m_port->setReadBufferSize(QueueSize);
    errno = 0;
    if (!m_port->open(QIODevice::ReadWrite))
        fail("Unable to open com port");

    errno = 0;
    if (!m_port->setBaudRate(QSerialPort::Baud115200) || !m_port->setDataBits(QSerialPort::Data8)
        || !m_port->setParity(QSerialPort::NoParity) || !m_port->setStopBits(QSerialPort::OneStop)
        || !m_port->setFlowControl(QSerialPort::NoFlowControl)) {
        try {
            fail("SetCommState function failed");
        } catch (...) {
            m_port->close();
            throw;
        }
    }
    // Pseudo-terminals and many virtual ports have no modem lines; refusing to drive
    // them inactive is not an error.
    m_port->setDataTerminalReady(false);
    m_port->setRequestToSend(false);
    m_port->clearError();
}

void TSerialPort::close()
{
    if (!isOpen())
        return;
    m_port->clear(QSerialPort::AllDirections);
    m_port->close();
    m_port->clearError();
}

void TSerialPort::clearBuffers()
{
    if (!isOpen())
        throw SerialError(QStringLiteral("Port Not Open"));
    errno = 0;
    if (!m_port->clear(QSerialPort::AllDirections))
        fail("PurgeComm function failed");
    // Whatever Qt had already fetched from the driver is thrown away as well.
    m_port->readAll();
}

qint64 TSerialPort::write(const QByteArray &data)
{
    if (!isOpen())
        throw SerialError(QStringLiteral("Port Not Open"));
    errno = 0;
    if (m_port->write(data) != data.size())
        fail("WriteFile function failed");
    QElapsedTimer timer;
    timer.start();
    while (m_port->bytesToWrite() > 0) {
        const qint64 remaining = m_writeTimeoutMs - timer.elapsed();
        if (remaining <= 0)
            break;
        errno = 0;
        if (!m_port->waitForBytesWritten(int(remaining))) {
            const auto error = m_port->error();
            if (error != QSerialPort::TimeoutError && error != QSerialPort::NoError)
                fail("WriteFile function failed");
            m_port->clearError();
            break;
        }
    }
    // A stalled write is not reported here: the missing answer shows it.
    return data.size() - m_port->bytesToWrite();
}

qint64 TSerialPort::read(char *buf, qint64 count)
{
    m_interrupted = false;
    if (!isOpen())
        throw SerialError(QStringLiteral("Port Not Open"));
    if (count <= 0)
        return 0;
    QElapsedTimer timer;
    timer.start();
    qint64 got = 0;
    for (;;) {
        const qint64 n = m_port->read(buf + got, count - got);
        if (n < 0)
            fail("ReadFile function failed");
        got += n;
        if (got >= count)
            break;
        const qint64 remaining = m_readTimeoutMs - timer.elapsed();
        if (remaining <= 0)
            break;
        if (stopRequested()) {
            m_interrupted = true;
            break;
        }
        errno = 0;
        if (!m_port->waitForReadyRead(int(std::min<qint64>(remaining, StopPollMs)))) {
            const auto error = m_port->error();
            if (error != QSerialPort::TimeoutError && error != QSerialPort::NoError)
                fail("ReadFile function failed");
            m_port->clearError();
        }
    }
    return got;
}
