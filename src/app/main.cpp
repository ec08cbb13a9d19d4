#include "app/application.h"
#include "app/app_info.h"
#include "app/frm_lumora.h"

int main(int argc, char **argv)
{
    QCoreApplication::setOrganizationName(QString::fromLatin1(AppInfo::OrganizationName));
    QCoreApplication::setApplicationName(QStringLiteral("Aqualumora"));
    TApplication app(argc, argv);
    app.closeWindowsOnTerminationSignals();

    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    TfrmLumora window(arguments);
    TApplication::setExceptionSink([&window](const QString &text) { window.AddLog(text); });
    window.show();
    const int result = app.exec();
    TApplication::setExceptionSink({});
    return result;
}
