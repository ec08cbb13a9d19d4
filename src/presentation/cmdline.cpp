// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "presentation/cmdline.h"

#include "mqtt/mqtt_settings.h"
#include "presentation/app_info.h"

#include <QRegularExpression>

QString NormalizePortName(const QString &name)
{
    static const QRegularExpression comPort(QStringLiteral("^com[0-9]+$"),
                                            QRegularExpression::CaseInsensitiveOption);
    // A Bluetooth address is listed in upper case; either case names the same device.
    static const QRegularExpression bluetoothAddress(QStringLiteral("^[0-9a-f]{2}(:[0-9a-f]{2}){5}$"),
                                                     QRegularExpression::CaseInsensitiveOption);
    return comPort.match(name).hasMatch() || bluetoothAddress.match(name).hasMatch() ? name.toUpper() : name;
}

CommandLine ParseCommandLine(const QStringList &arguments)
{
    CommandLine result;
    QStringList unknown;
    for (const QString &arg : arguments) {
        result.logLines << QStringLiteral("Parameter: ") + arg;
        // A device path such as /dev/ttyUSB0 is a port, not a switch: no switch name holds a '/'.
        const bool isDevicePath = arg.startsWith(u'/') && arg.indexOf(u'/', 1) > 0;
        const bool isSwitch = !isDevicePath && arg.size() >= 2 && (arg[0] == u'-' || arg[0] == u'/');
        if (!isSwitch) {
            result.portName = NormalizePortName(arg);
            continue;
        }
        QString name = arg.mid(1);
        if (arg[0] == u'-' && name.startsWith(u'-'))
            name.remove(0, 1);   // --headless as well as -headless
        QString value;
        const qsizetype equals = name.indexOf(u'=');
        if (equals > 0) {
            value = name.mid(equals + 1);
            name.truncate(equals);
        }
        name = name.toLower();
        const auto command = [&](CommandLine::OneShot which, bool needsFile) {
            if (result.oneShot != CommandLine::OneShot::None && result.usageError.isEmpty())
                result.usageError = QStringLiteral("only one of --status, --export, --import, --set-clock and --backup at a time");
            result.oneShot = which;
            if (needsFile && value.isEmpty() && result.usageError.isEmpty())
                result.usageError = QStringLiteral("%1 needs a file: %1=FILE").arg(arg.section(u'=', 0, 0));
            if (!needsFile && equals > 0 && result.usageError.isEmpty())
                result.usageError = QStringLiteral("%1 takes no value").arg(arg.section(u'=', 0, 0));
            result.file = value;
        };
        if (name == u"headless")
            result.headless = true;
        else if (name == u"status")
            command(CommandLine::OneShot::Status, false);
        else if (name == u"export")
            command(CommandLine::OneShot::Export, true);
        else if (name == u"import")
            command(CommandLine::OneShot::Import, true);
        else if (name == u"set-clock")
            command(CommandLine::OneShot::SetClock, false);
        else if (name == u"backup")
            command(CommandLine::OneShot::Backup, false);
        else if (name == u"mqtt") {
            result.mqttUrl = value;
            // The URL may hold the broker's password: the log shows the broker without it.
            MqttSettings broker;
            result.logLines.last() = QStringLiteral("Parameter: ") + arg.section(u'=', 0, 0) + u'=' +
                (ParseMqttUrl(value, broker, nullptr) ? MqttBrokerForLog(broker) : QStringLiteral("?"));
            if (value.isEmpty() && result.usageError.isEmpty())
                result.usageError = QStringLiteral("--mqtt needs the broker: --mqtt=mqtt://host[:port]");
        } else if (name == u"mqtt-read-only")
            result.mqttReadOnly = true;
        else if (name == u"expert")
            result.expert = true;
        else if (name == u"rc433")
            result.rc433 = true;
        else if (name == u"debug")
            result.debug = true;
        else if (name == u"english")
            result.language = 0;
        else if (name == u"german")
            result.language = 1;
        else if (name == u"simulator")
            result.simulator = true;
        else
            unknown << arg;   // the window only logs them
    }
    const bool withoutWindow = result.headless || result.oneShot != CommandLine::OneShot::None;
    if (result.usageError.isEmpty() && withoutWindow) {
        if (result.headless && result.oneShot != CommandLine::OneShot::None)
            result.usageError = QStringLiteral("--headless runs the service; a command such as --status runs on its own");
        else if (!unknown.isEmpty())
            result.usageError = QStringLiteral("unknown switch %1").arg(unknown.first());
        else if (!result.mqttUrl.isEmpty() && !result.headless)
            result.usageError = QStringLiteral("--mqtt is a setting of --headless");
    }
    return result;
}

InfoRequest FindInfoRequest(const QStringList &arguments)
{
    for (const QString &arg : arguments) {
        if (arg.size() < 2 || (arg[0] != u'-' && arg[0] != u'/'))
            continue;
        QString name = arg.mid(1).toLower();
        if (arg[0] == u'-' && name.startsWith(u'-'))
            name.remove(0, 1);
        if (name == u"h" || name == u"help" || name == u"?")
            return InfoRequest::Help;
        if (name == u"v" || name == u"version")
            return InfoRequest::Version;
    }
    return InfoRequest::None;
}

QString HelpText()
{
    return QStringLiteral(
               "Usage: aqualumora [switch...] [port]\n"
               "\n"
               "Control program for the Aqualumora 1.x aquarium-lamp controller.\n"
               "\n"
               "Switches begin with \"-\" or \"/\" and may be written in any letter case:\n"
               "  -english       English texts\n"
               "  -german        German texts (the last of -english and -german wins;\n"
               "                 without either, the system language decides)\n"
               "  -expert        show the pages Expert options and White balance\n"
               "  -rc433         show the 433 MHz page\n"
               "  -debug         extra trace lines of the serial link in the log\n"
               "  -simulator     start the built-in simulated controller and connect to it\n"
               "  -h, --help     print this help and exit\n"
               "  -v, --version  print the version and exit\n"
               "\n"
               "Without the window:\n"
               "  --headless [port]  run as a background service: keeps the connection,\n"
               "                     records the sensor history, raises the alerts and\n"
               "                     writes the backups; SIGTERM ends it, SIGHUP re-reads\n"
               "                     the settings (systemd: aqualumora@<port>.service)\n"
               "  --mqtt=URL         with --headless: the MQTT broker for Home Assistant,\n"
               "                     mqtt://[user[:password]@]host[:port] or mqtts://...\n"
               "  --mqtt-read-only   with --headless: publish the state, accept no command\n"
               "One command for a script, after a complete download of the controller:\n"
               "  --status           its state as JSON on standard output\n"
               "  --export=FILE      its schedule and settings into an INI file\n"
               "  --import=FILE      the schedule and settings of an INI file into it\n"
               "  --set-clock        its clock set from this computer's\n"
               "  --backup           a dated copy into the backup history\n"
               "Exit status: 0 success, 1 failure (one line on standard error), 2 wrong usage.\n"
               "\n"
               "Any other argument is the port to connect to: a port name such as ttyUSB0\n"
               "or COM5, a device path such as /dev/ttyUSB0, or the Bluetooth address of a\n"
               "paired controller (00:11:22:AA:BB:CC). It replaces the port remembered from\n"
               "the last successful connection.\n"
               "\n"
               "Files:\n"
               "  $XDG_CONFIG_HOME/Aqualumora.conf   the remembered port (~/.config)\n"
               "  $XDG_DATA_HOME/Aqualumora/         backups Backup_<port>.ini, start folder\n"
               "                                     of the file dialogs (~/.local/share)\n"
               "  $XDG_CONFIG_HOME/Aqualumora/mqtt.conf  the MQTT broker settings (0600)\n"
               "\n"
               "Software manual: %1doku.php?id=aqualumora1x:software\n")
        .arg(QString::fromLatin1(AppInfo::MakerUrl));
}

QString VersionText()
{
    return QStringLiteral("aqualumora %1\n").arg(QString::fromLatin1(AppInfo::Version));
}
