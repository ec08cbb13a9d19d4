// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "mqtt/mqtt_settings.h"

#include "presentation/localization.h"
#include "presentation/log_text.h"

#include <QByteArray>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>

#include <arpa/inet.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

bool fail(QString *error, const QString &key, const QStringList &args = {})
{
    if (error)
        *error = TranslateFmt(key, args);
    return false;
}

QString percentDecoded(QStringView text) { return QString::fromUtf8(QByteArray::fromPercentEncoding(text.toUtf8())); }

// 1..65535 written in decimal digits only; empty: the scheme's default.
bool parsePort(QStringView text, int defaultPort, int &port)
{
    if (text.isEmpty()) {
        port = defaultPort;
        return true;
    }
    if (text.size() > 5)
        return false;
    for (QChar c : text)
        if (c < u'0' || c > u'9')
            return false;
    port = text.toInt();
    return port >= 1 && port <= 65535;
}

bool isIpv6(const QString &host)
{
    in6_addr address;
    return inet_pton(AF_INET6, host.toUtf8().constData(), &address) == 1;
}

QString systemError(int error)
{
    char buffer[256];
    return QString::fromLocal8Bit(strerror_r(error, buffer, sizeof buffer));
}

// Values a hand-edited file may hold unquoted: "a,b" comes back from QSettings as a list.
QString text(const QVariant &value)
{
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(u',');
    return value.toString();
}

const QString Group = QStringLiteral("MQTT");

} // namespace

bool ParseMqttUrl(const QString &url, MqttSettings &settings, QString *error)
{
    const QString s = url.trimmed();
    const qsizetype schemeEnd = s.indexOf(QStringLiteral("://"));
    const QString scheme = schemeEnd < 0 ? QString() : s.left(schemeEnd).toLower();
    if (scheme != QStringLiteral("mqtt") && scheme != QStringLiteral("mqtts"))
        return fail(error, QStringLiteral("MqttUrlScheme"));
    const bool tls = scheme == QStringLiteral("mqtts");

    const QStringView rest = QStringView(s).mid(schemeEnd + 3);
    qsizetype authorityEnd = rest.size();
    for (QChar c : {u'/', u'?', u'#'}) {
        const qsizetype at = rest.indexOf(c);
        if (at >= 0 && at < authorityEnd)
            authorityEnd = at;
    }
    const QStringView tail = rest.mid(authorityEnd);
    if (!tail.isEmpty() && tail != u"/")
        return fail(error, QStringLiteral("MqttUrlPath"));
    const QStringView authority = rest.left(authorityEnd);

    // The host cannot hold an "@", so the last one ends the user part.
    const qsizetype at = authority.lastIndexOf(u'@');
    QString user, password;
    if (at >= 0) {
        const QStringView userInfo = authority.left(at);
        const qsizetype colon = userInfo.indexOf(u':');
        user = percentDecoded(colon < 0 ? userInfo : userInfo.left(colon));
        if (colon >= 0)
            password = percentDecoded(userInfo.mid(colon + 1));
        if (user.isEmpty() && !password.isEmpty())
            return fail(error, QStringLiteral("MqttUrlNoUser"));
    }

    const QStringView hostPort = authority.mid(at + 1);
    QString host;
    QStringView portText;
    if (hostPort.startsWith(u'[')) {
        const qsizetype close = hostPort.indexOf(u']');
        if (close < 0)
            return fail(error, QStringLiteral("MqttUrlHost"));
        host = hostPort.mid(1, close - 1).toString();
        const QStringView after = hostPort.mid(close + 1);
        if (!after.isEmpty() && !after.startsWith(u':'))
            return fail(error, QStringLiteral("MqttUrlHost"));
        portText = after.mid(1);
        if (!isIpv6(host))
            return fail(error, QStringLiteral("MqttUrlHost"));
    } else {
        const qsizetype colon = hostPort.indexOf(u':');
        host = (colon < 0 ? hostPort : hostPort.left(colon)).toString();
        if (colon >= 0)
            portText = hostPort.mid(colon + 1);
        if (host.isEmpty())
            return fail(error, QStringLiteral("MqttUrlNoHost"));
        // The resolver takes a name in its ASCII form; this also refuses blanks and the like.
        const QByteArray ace = QUrl::toAce(host);
        if (ace.isEmpty())
            return fail(error, QStringLiteral("MqttUrlHost"));
        host = QString::fromLatin1(ace);
    }
    if (host.isEmpty())
        return fail(error, QStringLiteral("MqttUrlNoHost"));
    int port = 0;
    if (!parsePort(portText, tls ? MqttTlsDefaultPort : MqttDefaultPort, port))
        return fail(error, QStringLiteral("MqttUrlPort"));

    settings.host = host;
    settings.port = port;
    settings.tls = tls;
    settings.user = user;
    settings.password = password;
    return true;
}

QString MqttBrokerUrl(const MqttSettings &settings)
{
    if (settings.host.isEmpty())
        return QString();
    const QString host = settings.host.contains(u':') ? u'[' + settings.host + u']' : settings.host;
    return (settings.tls ? QStringLiteral("mqtts://") : QStringLiteral("mqtt://")) + host + u':'
           + QString::number(settings.port);
}

QString MqttBrokerForLog(const MqttSettings &settings)
{
    QString url = MqttBrokerUrl(settings);
    if (url.isEmpty())
        return QString();
    if (!settings.user.isEmpty())
        url.insert(url.indexOf(QStringLiteral("://")) + 3,
                   QString::fromLatin1(QUrl::toPercentEncoding(settings.user)) + u'@');
    return EscapeForLog(url);
}

bool ValidTopicPrefix(const QString &prefix)
{
    return !prefix.isEmpty() && !prefix.startsWith(u'/') && !prefix.endsWith(u'/') && !prefix.contains(u'+')
           && !prefix.contains(u'#') && !prefix.contains(QChar(0));
}

MqttSettings MergeMqttUrl(MqttSettings fromFile, const MqttSettings &fromUrl)
{
    const bool sameHost = fromFile.host.compare(fromUrl.host, Qt::CaseInsensitive) == 0;
    const bool sameUser = fromUrl.user.isEmpty() || fromUrl.user == fromFile.user;
    if (!sameHost || !sameUser) {
        fromFile.user.clear();
        fromFile.password.clear();
    }
    if (!fromUrl.user.isEmpty()) {
        fromFile.user = fromUrl.user;
        if (!fromUrl.password.isEmpty())
            fromFile.password = fromUrl.password;
    }
    fromFile.enabled = true;
    fromFile.host = fromUrl.host;
    fromFile.port = fromUrl.port;
    fromFile.tls = fromUrl.tls;
    return fromFile;
}

QString MqttSettingsPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
           + QStringLiteral("/Aqualumora/mqtt.conf");
}

MqttSettings LoadMqttSettings()
{
    MqttSettings s;
    const QString path = MqttSettingsPath();
    if (!QFileInfo::exists(path))
        return s;
    QSettings ini(path, QSettings::IniFormat);
    ini.beginGroup(Group);
    s.enabled = ini.value(QStringLiteral("Enabled"), s.enabled).toBool();
    s.host = text(ini.value(QStringLiteral("Host"))).trimmed();
    s.tls = ini.value(QStringLiteral("TLS"), s.tls).toBool();
    bool ok = false;
    const int port = ini.value(QStringLiteral("Port")).toInt(&ok);
    s.port = ok && port >= 1 && port <= 65535 ? port : (s.tls ? MqttTlsDefaultPort : MqttDefaultPort);
    s.user = text(ini.value(QStringLiteral("User")));
    s.password = text(ini.value(QStringLiteral("Password")));
    s.caFile = text(ini.value(QStringLiteral("CAFile")));
    const QString prefix = text(ini.value(QStringLiteral("TopicPrefix"))).trimmed();
    if (ValidTopicPrefix(prefix))
        s.topicPrefix = prefix;
    const QString discovery = text(ini.value(QStringLiteral("DiscoveryPrefix"))).trimmed();
    if (ValidTopicPrefix(discovery))
        s.discoveryPrefix = discovery;
    s.readOnly = ini.value(QStringLiteral("ReadOnly"), s.readOnly).toBool();
    return s;
}

bool SaveMqttSettings(const MqttSettings &settings, QString *error)
{
    const QString path = MqttSettingsPath();
    const QString folder = QFileInfo(path).absolutePath();
    const QString failed = QStringLiteral("MqttSettingsWriteFailed");
    if (!QDir().mkpath(folder))
        return fail(error, failed, {path, systemError(errno)});

    // QSettings writes the file in a private folder (0700, beside the file's place), where it
    // is created 0600 before anything goes in; it is then renamed over the old one. So no
    // other user can read it at any moment, and a reader finds the old file or the new one.
    QTemporaryDir staging(folder + QStringLiteral("/.mqtt-XXXXXX"));
    if (!staging.isValid())
        return fail(error, failed, {path, staging.errorString()});
    const QString staged = staging.filePath(QStringLiteral("mqtt.conf"));
    const QByteArray stagedName = QFile::encodeName(staged);
    const int fd = ::open(stagedName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return fail(error, failed, {path, systemError(errno)});
    ::close(fd);
    {
        QSettings ini(staged, QSettings::IniFormat);
        ini.beginGroup(Group);
        ini.setValue(QStringLiteral("Enabled"), settings.enabled);
        ini.setValue(QStringLiteral("Host"), settings.host);
        ini.setValue(QStringLiteral("Port"), settings.port);
        ini.setValue(QStringLiteral("TLS"), settings.tls);
        ini.setValue(QStringLiteral("User"), settings.user);
        ini.setValue(QStringLiteral("Password"), settings.password);
        ini.setValue(QStringLiteral("CAFile"), settings.caFile);
        ini.setValue(QStringLiteral("TopicPrefix"), settings.topicPrefix);
        ini.setValue(QStringLiteral("DiscoveryPrefix"), settings.discoveryPrefix);
        ini.setValue(QStringLiteral("ReadOnly"), settings.readOnly);
        ini.endGroup();
        ini.sync();
        if (ini.status() != QSettings::NoError)
            return fail(error, failed, {path, Translate(QStringLiteral("MqttSettingsNotWritten"))});
    }
    // Whatever QSettings did on its way, the file is the owner's alone, and on the disk, before
    // it takes the old one's place.
    const int written = ::open(stagedName.constData(), O_RDONLY | O_CLOEXEC);
    if (written < 0 || ::fchmod(written, 0600) != 0 || ::fsync(written) != 0) {
        const int e = errno;
        if (written >= 0)
            ::close(written);
        return fail(error, failed, {path, systemError(e)});
    }
    ::close(written);
    if (::rename(stagedName.constData(), QFile::encodeName(path).constData()) != 0)
        return fail(error, failed, {path, systemError(errno)});
    const int dir = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}
