// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// A serial port the user may not open: after the open attempts, the program names the
// group that would let the user in. The program runs as nobody against a simulated
// controller's terminal that only root and the group dialout may use, so this needs
// root to set up (as CI has).
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "link/transport.h"
#include "program_env.h"
#include "sim/simulator_port.h"

class TstPortAccess : public QObject
{
    Q_OBJECT
private slots:
    void remedyAfterTheOpenAttempts();
    void noRemedyWhereNoneHelps();
};

void TstPortAccess::remedyAfterTheOpenAttempts()
{
    if (::getuid() != 0)
        QSKIP("needs root to make a port that another user may not open");
    const passwd *nobody = ::getpwnam("nobody");
    const group *dialout = ::getgrnam("dialout");
    if (!nobody || !dialout)
        QSKIP("no user nobody or group dialout on this system");
    SimulatorPort port;
    QVERIFY(port.start());
    const QString path = port.slavePath();
    const QByteArray device = QFile::encodeName(path);
    QVERIFY(::chown(device.constData(), 0, dialout->gr_gid) == 0);
    QVERIFY(::chmod(device.constData(), 0660) == 0);

    QTemporaryDir home;
    QVERIFY(::chown(QFile::encodeName(home.path()).constData(), nobody->pw_uid, nobody->pw_gid) == 0);
    QProcessEnvironment env = privateProgramEnvironment(home.path());
    QProcess process;
    process.setProcessEnvironment(env);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(QStringLiteral("setpriv"),
                  {QStringLiteral("--reuid=%1").arg(nobody->pw_uid), QStringLiteral("--regid=%1").arg(nobody->pw_gid),
                   QStringLiteral("--clear-groups"), QStringLiteral("--"), QStringLiteral(AQ_PROGRAM_PATH), path,
                   QStringLiteral("-english")});
    QVERIFY(process.waitForStarted(10000));
    QString output;
    const auto saw = [&](const QString &text) {
        output += QString::fromLocal8Bit(process.readAllStandardError());
        return output.contains(text);
    };
    const QString remedy = path + QStringLiteral(" may only be opened by members of the group \"dialout\". Add your user "
                                                 "to it (sudo adduser nobody dialout), then log out and log in again.");
    QTRY_VERIFY2_WITH_TIMEOUT(saw(remedy), qPrintable(output), 30000);
    // After the five refusals and the closing line of the attempts.
    QCOMPARE(int(output.count(QStringLiteral("Unable to open com port"))), 5);
    QVERIFY(output.indexOf(QStringLiteral("Error while connecting to ") + path) < output.indexOf(remedy));
    process.terminate();
    QVERIFY(process.waitForFinished(20000));
}

void TstPortAccess::noRemedyWhereNoneHelps()
{
    // A port that is missing, or that its group may not use either, has no remedy to name.
    QCOMPARE(PortAccessRemedy(QStringLiteral("/nonexistent/ttyUSB9")), QString());
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("port"));
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    QVERIFY(::chmod(QFile::encodeName(file).constData(), 0600) == 0);
    QCOMPARE(PortAccessRemedy(file), QString());   // the owner may open it
}

QTEST_GUILESS_MAIN(TstPortAccess)
#include "tst_port_access.moc"
