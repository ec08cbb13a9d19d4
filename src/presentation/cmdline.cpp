#include "presentation/cmdline.h"

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
    for (const QString &arg : arguments) {
        result.logLines << QStringLiteral("Parameter: ") + arg;
        // A device path such as /dev/ttyUSB0 is a port, not a switch: no switch name holds a '/'.
        const bool isDevicePath = arg.startsWith(u'/') && arg.indexOf(u'/', 1) > 0;
        const bool isSwitch = !isDevicePath && arg.size() >= 2 && (arg[0] == u'-' || arg[0] == u'/');
        if (!isSwitch) {
            result.portName = NormalizePortName(arg);
            continue;
        }
        const QString name = arg.mid(1).toLower();
        if (name == u"expert")
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
        // unknown switches are only logged
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
               "Any other argument is the port to connect to: a port name such as ttyUSB0\n"
               "or COM5, a device path such as /dev/ttyUSB0, or the Bluetooth address of a\n"
               "paired controller (00:11:22:AA:BB:CC). It replaces the port remembered from\n"
               "the last successful connection.\n"
               "\n"
               "Files:\n"
               "  $XDG_CONFIG_HOME/Aqualumora.conf   the remembered port (~/.config)\n"
               "  $XDG_DATA_HOME/Aqualumora/         backups Backup_<port>.ini, start folder\n"
               "                                     of the file dialogs (~/.local/share)\n"
               "\n"
               "Software manual: %1doku.php?id=aqualumora1x:software\n")
        .arg(QString::fromLatin1(AppInfo::MakerUrl));
}

QString VersionText()
{
    return QStringLiteral("aqualumora %1\n").arg(QString::fromLatin1(AppInfo::Version));
}
