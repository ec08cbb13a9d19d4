#include "app/cmdline.h"

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
