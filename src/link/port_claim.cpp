// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/port_claim.h"

#include "files/settings_file.h"
#include "presentation/localization.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray readProcFile(qint64 pid, const char *name)
{
    QFile file(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(name)));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.read(8192);
}

} // namespace

PortHolder DescribeProcess(qint64 pid)
{
    PortHolder holder;
    holder.pid = pid;
    if (pid <= 0)
        return holder;
    QStringList words;
    for (const QByteArray &word : readProcFile(pid, "cmdline").split('\0'))
        if (!word.isEmpty())
            words << QString::fromLocal8Bit(word);
    if (!words.isEmpty()) {
        words[0] = QFileInfo(words[0]).fileName();
        holder.program = words.mid(0, 4).join(u' ');
    } else {
        holder.program = QString::fromLocal8Bit(readProcFile(pid, "comm")).trimmed();
    }
    // "0::/user.slice/user-1000.slice/user@1000.service/app.slice/aqualumora@ttyUSB0.service"
    for (const QByteArray &line : readProcFile(pid, "cgroup").split('\n')) {
        const QString path = QString::fromLocal8Bit(line.mid(line.lastIndexOf(':') + 1));
        const QStringList parts = path.split(u'/', Qt::SkipEmptyParts);
        for (auto it = parts.rbegin(); it != parts.rend(); ++it) {
            if (it->endsWith(QLatin1String(".service")) && !it->startsWith(QLatin1String("user@"))) {
                holder.unit = *it;
                holder.userUnit = path.contains(QLatin1String("/user@"));
                break;
            }
        }
        if (!holder.unit.isEmpty())
            break;
    }
    return holder;
}

QString PortBusyText(const QString &port, const PortHolder &holder)
{
    QString who = holder.program.isEmpty() ? Translate(QStringLiteral("PortHolderUnknown")) : holder.program;
    if (holder.pid > 0)
        who += QStringLiteral(" (%1)").arg(TranslateFmt(QStringLiteral("PortHolderProcess"), {QString::number(holder.pid)}));
    QString stop;
    // A terminal session or a desktop's launcher also puts a process into a unit of its own
    // (session scopes and app-….service units); only a unit of ours is stopped with systemctl.
    if (!holder.unit.isEmpty() && holder.unit.startsWith(QLatin1String("aqualumora")))
        stop = QStringLiteral("systemctl %1stop %2").arg(holder.userUnit ? QStringLiteral("--user ") : QString(), holder.unit);
    else if (holder.pid > 0)
        stop = QStringLiteral("kill %1").arg(holder.pid);
    if (stop.isEmpty())
        return TranslateFmt(QStringLiteral("PortInUse"), {port, who});
    return TranslateFmt(QStringLiteral("PortInUseStop"), {port, who, stop});
}

HolderKind HolderKindOf(const QString &program)
{
    const QString name = QFileInfo(program.section(u' ', 0, 0)).fileName();
    if (name == u"aqualumora")
        return HolderKind::ThisProgram;
    if (name == u"ModemManager")
        return HolderKind::ModemManager;
    if (name == u"brltty")
        return HolderKind::Brltty;
    return HolderKind::OtherProgram;
}

UsbIds UsbIdsOf(const QString &devicePath, const QString &sysRoot)
{
    // /sys/class/tty/<name>/device is the USB interface (ttyACM) or a port below it (ttyUSB);
    // the USB device with the ids is the first folder above that has them.
    const QString device =
        QFileInfo(sysRoot + QStringLiteral("/class/tty/") + QFileInfo(devicePath).fileName() + QStringLiteral("/device"))
            .canonicalFilePath();
    if (device.isEmpty())
        return {};
    QDir dir(device);
    for (int up = 0; up < 4 && dir.cdUp(); ++up) {
        QFile vendor(dir.filePath(QStringLiteral("idVendor")));
        QFile product(dir.filePath(QStringLiteral("idProduct")));
        if (vendor.open(QIODevice::ReadOnly) && product.open(QIODevice::ReadOnly))
            return {QString::fromLatin1(vendor.read(16)).trimmed(), QString::fromLatin1(product.read(16)).trimmed()};
    }
    return {};
}

std::optional<HolderKind> PortTakingService(const QString &procRoot)
{
    const QStringList entries = QDir(procRoot).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool ok = false;
        entry.toLongLong(&ok);
        if (!ok)
            continue;
        QFile comm(procRoot + u'/' + entry + QStringLiteral("/comm"));
        if (!comm.open(QIODevice::ReadOnly))
            continue;
        const HolderKind kind = HolderKindOf(QString::fromLocal8Bit(comm.read(64)).trimmed());
        if (kind == HolderKind::ModemManager || kind == HolderKind::Brltty)
            return kind;
    }
    return std::nullopt;
}

QString PortHolderRemedy(HolderKind kind, const QString &port, const UsbIds &ids)
{
    switch (kind) {
    case HolderKind::ThisProgram:
        return TranslateFmt(QStringLiteral("PortHolderInstance"), {port});
    case HolderKind::ModemManager:
        if (!ids.vendor.isEmpty() && !ids.product.isEmpty())
            return TranslateFmt(QStringLiteral("PortHolderModemManagerUsb"), {port, ids.vendor, ids.product});
        return TranslateFmt(QStringLiteral("PortHolderModemManager"), {port});
    case HolderKind::Brltty:
        return TranslateFmt(QStringLiteral("PortHolderBrltty"), {port});
    case HolderKind::OtherProgram:
        break;
    }
    return TranslateFmt(QStringLiteral("PortHolderOther"), {port});
}

QString PortClaim::folder()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty())
        return runtime + QStringLiteral("/aqualumora");
    return QDir::tempPath() + QStringLiteral("/aqualumora-%1").arg(::getuid());
}

std::optional<PortHolder> PortClaim::acquire(const QString &port)
{
    if (m_fd >= 0 && m_port == port)
        return std::nullopt;
    release();
    const QString dir = folder();
    const QByteArray dirPath = QFile::encodeName(dir);
    if (::mkdir(dirPath.constData(), 0700) != 0 && errno != EEXIST)
        return std::nullopt;
    const QByteArray path = QFile::encodeName(dir + u'/' + SafePortName(port) + QStringLiteral(".lock"));
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return std::nullopt;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        char buffer[32] = {};
        const ssize_t got = ::pread(fd, buffer, sizeof buffer - 1, 0);
        ::close(fd);
        const qint64 pid = got > 0 ? QByteArray(buffer, int(got)).trimmed().toLongLong() : 0;
        return DescribeProcess(pid);
    }
    const QByteArray pid = QByteArray::number(qint64(::getpid())) + '\n';
    if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, pid.constData(), size_t(pid.size()), 0) != pid.size()) {
        // Held all the same: the holder's pid is only missing from the message.
    }
    m_fd = fd;
    m_port = port;
    return std::nullopt;
}

void PortClaim::release()
{
    if (m_fd < 0)
        return;
    // Emptied first, so a reader never finds the pid of a process that let go.
    [[maybe_unused]] const int truncated = ::ftruncate(m_fd, 0);
    ::close(m_fd);
    m_fd = -1;
    m_port.clear();
}

std::vector<qint64> ProcessesHolding(const QString &devicePath)
{
    std::vector<qint64> pids;
    const QString target = QFileInfo(devicePath).canonicalFilePath();
    if (target.isEmpty())
        return pids;
    const qint64 self = ::getpid();
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool ok = false;
        const qint64 pid = entry.toLongLong(&ok);
        if (!ok || pid == self)
            continue;
        const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
        for (const QFileInfo &fd : fds.entryInfoList(QDir::Files | QDir::System | QDir::NoDotAndDotDot)) {
            if (fd.symLinkTarget() == target) {
                pids.push_back(pid);
                break;
            }
        }
    }
    return pids;
}
