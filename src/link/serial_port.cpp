// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/serial_port.h"

#include <QSerialPort>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <termios.h>
#include <unistd.h>

namespace {

QString systemMessage(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

// The system error behind a failed QSerialPort call. Qt keeps only its own enumeration and
// a text; the text is the system's own message for errno whenever a system call failed,
// so errno as the failing call left it is the code when the two agree. Qt's lock-file
// check fails without a system call of its own: another program holds the port, which is
// what EBUSY says. Anything else is mapped to the nearest system code, so that code and
// text always agree and Qt's enumeration never shows.
int systemCodeFor(QSerialPort::SerialPortError error, const QString &qtText, int savedErrno)
{
    if (savedErrno != 0 && qtText == systemMessage(savedErrno))
        return savedErrno;
    if (qtText == QSerialPort::tr("Permission error while locking the device"))
        return EBUSY;
    switch (error) {
    case QSerialPort::DeviceNotFoundError: return ENOENT;
    case QSerialPort::PermissionError: return EACCES;
    case QSerialPort::OpenError: return EBUSY;
    case QSerialPort::UnsupportedOperationError: return EINVAL;
    case QSerialPort::TimeoutError: return ETIMEDOUT;
    case QSerialPort::NotOpenError: return EBADF;
    default: break;
    }
    return savedErrno != 0 ? savedErrno : EIO;
}

} // namespace

SerialError::SerialError(const QString &text)
    : std::runtime_error(text.toStdString()), m_text(text)
{
}

SerialError SerialError::withCode(const char *fixedPart, int code, const QString &message)
{
    // Put together piece by piece: nothing of the system's text is read as a format.
    SerialError error(QLatin1String(fixedPart) + QStringLiteral(" (Error: ") + QString::number(code) +
                      QStringLiteral(", \"") + message + QStringLiteral("\")"));
    error.m_code = code;
    return error;
}

SerialError SerialError::fromErrno(const char *fixedPart, int code)
{
    return withCode(fixedPart, code, systemMessage(code));
}

TSerialPort::TSerialPort() = default;

TSerialPort::~TSerialPort()
{
    close();
}

bool TSerialPort::isOpen() const
{
    return m_port && m_port->isOpen();
}

void TSerialPort::fail(const char *fixedPart)
{
    const int saved = errno;
    const int code = m_port ? systemCodeFor(m_port->error(), m_port->errorString(), saved) : (saved ? saved : EIO);
    if (m_port)
        m_port->clearError();
    throw SerialError::fromErrno(fixedPart, code);
}

void TSerialPort::open()
{
    if (isOpen())
        return;
    if (!m_port)
        m_port = std::make_unique<QSerialPort>();
    m_port->setPortName(m_name);
    // Input is read from the descriptor itself (see read); Qt's buffer stays small.
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
    if (::tcflush(m_port->handle(), TCIOFLUSH) != 0)
        throw SerialError::fromErrno("PurgeComm function failed", errno);
    // Whatever Qt had already fetched from the driver is thrown away as well.
    m_port->readAll();
}

// Input and output go straight to the descriptor, so that a failure carries errno as the
// failing call left it. Qt's own buffers stay empty: the port lives on a thread without an
// event loop, and what Qt may have fetched before is taken first.

qint64 TSerialPort::write(const QByteArray &data)
{
    if (!isOpen())
        throw SerialError(QStringLiteral("Port Not Open"));
    return writeDescriptor({m_port->handle(), false, EIO}, data);
}

qint64 TSerialPort::read(char *buf, qint64 count)
{
    m_interrupted = false;
    if (!isOpen())
        throw SerialError(QStringLiteral("Port Not Open"));
    if (count <= 0)
        return 0;
    qint64 got = 0;
    if (m_port->bytesAvailable() > 0)
        got = std::max<qint64>(0, m_port->read(buf, count));
    // A terminal whose hardware went away reads as end of file.
    return readDescriptor({m_port->handle(), false, EIO}, buf, got, count);
}
