// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// What the window shows the desktop: its icon, the launcher progress, and a suspend that
// waits for the backup. The system and the session bus are one private bus here.
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDir>
#include <QIcon>
#include <QTest>

#include <algorithm>

#include "presentation/app_info.h"
#include "app/taskbar_indicator.h"
#include "link/ports.h"
#include "logind_mock.h"
#include "sim_fixture.h"

class TstDesktopIntegration : public QObject
{
    Q_OBJECT
public slots:
    void launcherUpdate(const QDBusMessage &message) { m_updates << message; }

private slots:
    void initTestCase();
    void init() { ForgetPort(); }
    void cleanup() { m_mock.stopLogind(); }

    void windowHasTheProgramsIcon();
    void launcherProgressNamesTheDesktopEntry();
    void suspendWritesTheBackupUnderTheLock();

private:
    LogindMock m_mock;
    QString m_skip;
    bool m_sessionBusOurs = false;
    QList<QDBusMessage> m_updates;
};

void TstDesktopIntegration::initTestCase()
{
    m_skip = m_mock.startBus();
    if (!m_skip.isEmpty())
        return;
    // Qt connects its default buses on first use, so they can still be pointed at ours.
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", m_mock.address().toLocal8Bit());
    m_sessionBusOurs = !QDBusConnection(QStringLiteral("qt_default_session_bus")).isConnected();
    if (m_sessionBusOurs)
        qputenv("DBUS_SESSION_BUS_ADDRESS", m_mock.address().toLocal8Bit());
}

void TstDesktopIntegration::windowHasTheProgramsIcon()
{
    auto w = makeWindow({QStringLiteral("-english")});
    const QIcon icon = w->windowIcon();
    QVERIFY(!icon.isNull());
    QVERIFY(icon.availableSizes().contains(QSize(256, 256)));
    // A picture, not a blank square: transparent corners, the tank opaque.
    const QImage image = icon.pixmap(QSize(256, 256)).toImage();
    QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
    QCOMPARE(qAlpha(image.pixel(128, 160)), 255);
}

void TstDesktopIntegration::launcherProgressNamesTheDesktopEntry()
{
    if (!m_skip.isEmpty())
        QSKIP(qPrintable(m_skip));
    if (!m_sessionBusOurs)
        QSKIP("the session bus was connected before the test could choose it");
    QDBusConnection listener = m_mock.connection(QStringLiteral("launcher"));
    QVERIFY(listener.connect(QString(), QString(), QStringLiteral("com.canonical.Unity.LauncherEntry"),
                             QStringLiteral("Update"), this, SLOT(launcherUpdate(QDBusMessage))));
    auto w = makeWindow({QStringLiteral("-english")});
    auto *indicator = w->findChild<TaskbarIndicator *>();
    QVERIFY(indicator);
    indicator->setProgress(1, 4);
    // Updates of the window's start may still arrive; the one of the transfer comes too.
    const auto progressOf = [](const QDBusMessage &update) {
        return qdbus_cast<QVariantMap>(update.arguments().value(1)).value(QStringLiteral("progress")).toDouble();
    };
    QTRY_VERIFY(std::any_of(m_updates.cbegin(), m_updates.cend(),
                            [&](const QDBusMessage &update) { return progressOf(update) == 0.25; }));
    const QString entry = QStringLiteral("application://%1.desktop").arg(QString::fromLatin1(AppInfo::AppId));
    for (const QDBusMessage &update : std::as_const(m_updates))
        QCOMPARE(update.arguments().value(0).toString(), entry);
}

void TstDesktopIntegration::suspendWritesTheBackupUnderTheLock()
{
    if (!m_skip.isEmpty())
        QSKIP(qPrintable(m_skip));
    QVERIFY(m_mock.startLogind());
    auto w = makeConnectedWindow();
    QVERIFY(w);
    auto *watcher = w->findChild<PowerWatcher *>();
    QVERIFY(watcher);
    QTRY_VERIFY(watcher->holdsSleepLock());
    QCOMPARE(m_mock.inhibitors().size(), 1);

    QDir folder(w->ProgramFolder);
    for (const QString &old : folder.entryList({QStringLiteral("Backup_*.ini")}))
        QVERIFY(folder.remove(old));
    // The window's handler runs first; this one runs after it and before the lock goes.
    QStringList backups;
    int locksMeanwhile = -1;
    bool linkTold = false;
    connect(watcher, &PowerWatcher::suspending, this, [&] {
        backups = folder.entryList({QStringLiteral("Backup_*.ini")});
        locksMeanwhile = m_mock.inhibitors().size();
        linkTold = w->mem->toPlainText().contains(QStringLiteral("System is  standby"));
    });
    QVERIFY(m_mock.prepareForSleep(true));
    QTRY_COMPARE(locksMeanwhile, 1);
    QCOMPARE(backups.size(), 1);
    QVERIFY(linkTold);
    QVERIFY(QFileInfo(folder.filePath(backups.first())).size() > 0);
    // Released once the backup is written: the system goes on.
    QTRY_COMPARE(m_mock.inhibitors(), QStringList());
    QTRY_VERIFY_WITH_TIMEOUT(!w->LinkRunning(), 10000);

    // The resume takes a new lock and connects again.
    QVERIFY(m_mock.prepareForSleep(false));
    QTRY_VERIFY(watcher->holdsSleepLock());
    QTRY_VERIFY(w->mem->toPlainText().contains(QStringLiteral("System is awaking from standby")));
    QTRY_VERIFY_WITH_TIMEOUT(w->IsConnected(), 10000);
}

QTEST_MAIN(TstDesktopIntegration)
#include "tst_desktop_integration.moc"
