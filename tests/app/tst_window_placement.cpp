// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Where the window opens: inside the screen's available area at any scale factor, and where
// it was closed, with the page it showed; stored values that would put it off screen do not.
#include <QApplication>
#include <QMenuBar>
#include <QProcess>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

#include "app/frm_lumora.h"
#include "presentation/window_geometry.h"
#include "app/window_placement.h"
#include "link/device_image.h"
#include "link/ports.h"
#include "window_fixture.h"

namespace {

void storePlacement(const QVariantMap &values)
{
    QSettings settings(WindowPlacement::settingsPath(), QSettings::IniFormat);
    settings.clear();
    for (auto it = values.begin(); it != values.end(); ++it)
        settings.setValue(it.key(), it.value());
    settings.sync();
}

// The child process: the program's own start, on the screen and at the scale factor the
// parent chose; says what it sees and whether it fits.
int childRun(int argc, char **argv)
{
    QApplication app(argc, argv);
    TfrmLumora window({QStringLiteral("-expert"), QStringLiteral("-rc433"), QStringLiteral("-german")});
    (new WindowPlacement(&window, window.pc))->restore();
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 2;
    QTest::qWait(50);
    const QRect available = window.screen()->availableGeometry();
    const QRect frame = window.frameGeometry();
    const QRect menu(window.menuBar()->mapToGlobal(QPoint(0, 0)), window.menuBar()->size());
    std::printf("available %d,%d %dx%d frame %d,%d %dx%d menu %d,%d %dx%d\n", available.x(), available.y(),
                available.width(), available.height(), frame.x(), frame.y(), frame.width(), frame.height(), menu.x(),
                menu.y(), menu.width(), menu.height());
    // The picture of the window as it opened, for the eye.
    if (const QString dir = qEnvironmentVariable("AQ_PICTURE_DIR"); !dir.isEmpty())
        window.grab().save(QStringLiteral("%1/opened_%2x%3_at_%4.png")
                               .arg(dir)
                               .arg(window.screen()->geometry().width())
                               .arg(window.screen()->geometry().height())
                               .arg(qEnvironmentVariable("QT_SCALE_FACTOR")));
    // The least window, with a title bar the window manager may add later, fits as well: else
    // the window manager keeps it taller than the screen and the status bar is cut off.
    const QSize least = window.minimumSize().expandedTo(window.minimumSizeHint()) + QSize(16, 48);
    const bool fits = available.contains(frame) && available.contains(menu) && window.menuBar()->isVisible() &&
                      least.width() <= available.width() && least.height() <= available.height();
    return fits ? 0 : 1;
}

} // namespace

class TstWindowPlacement : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        ForgetPort();
        QFile::remove(WindowPlacement::settingsPath());
    }

    void fitFrame_data()
    {
        QTest::addColumn<QRect>("frame");
        QTest::addColumn<QRect>("available");
        QTest::addColumn<QRect>("expected");
        const QRect hd(0, 0, 1920, 1040);   // a 1920 × 1080 screen with a panel at the bottom
        QTest::newRow("inside stays") << QRect(100, 50, 1009, 700) << hd << QRect(100, 50, 1009, 700);
        QTest::newRow("too large") << QRect(-50, -30, 2018, 1400) << hd << hd;
        QTest::newRow("title bar above the screen") << QRect(300, -200, 1009, 700) << hd << QRect(300, 0, 1009, 700);
        QTest::newRow("off to the right and below") << QRect(1800, 900, 1009, 700) << hd << QRect(911, 340, 1009, 700);
        QTest::newRow("off to the left") << QRect(-5000, 10, 800, 600) << hd << QRect(0, 10, 800, 600);
        QTest::newRow("second screen") << QRect(100, 100, 800, 600) << QRect(1920, 0, 1280, 1024)
                                       << QRect(1920, 100, 800, 600);
        QTest::newRow("panel at the top") << QRect(0, 0, 800, 600) << QRect(0, 32, 1366, 736) << QRect(0, 32, 800, 600);
        QTest::newRow("empty frame") << QRect(10, 10, 0, 0) << hd << hd;
        QTest::newRow("far away") << QRect(1 << 20, -(1 << 20), 900, 600) << hd << QRect(1020, 0, 900, 600);
    }
    void fitFrame()
    {
        QFETCH(QRect, frame);
        QFETCH(QRect, available);
        QFETCH(QRect, expected);
        QCOMPARE(FitFrame(frame, available), expected);
        const QRect centred = CentreFrame(frame, available);
        QVERIFY(available.contains(centred));
    }

    // A start at each scale factor on small and common screens, with nothing stored and with
    // a stored place far off the screen: the whole window, title bar and menu, is on it.
    void opensOnScreen_data()
    {
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<QString>("scale");
        QTest::addColumn<bool>("storedOff");
        const QSize screens[] = {{1920, 1080}, {1280, 800}, {1366, 768}, {3840, 2160}};
        for (const QSize &screen : screens)
            for (const char *scale : {"1", "1.5", "2"})
                for (bool stored : {false, true})
                    QTest::addRow("%dx%d at %s%s", screen.width(), screen.height(), scale, stored ? ", stored off" : "")
                        << screen << QString::fromLatin1(scale) << stored;
    }
    void opensOnScreen()
    {
        QFETCH(QSize, screen);
        QFETCH(QString, scale);
        QFETCH(bool, storedOff);
        QTemporaryDir home;
        QVERIFY(home.isValid());
        const QString config = home.filePath(QStringLiteral("screen.json"));
        QFile file(config);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral(R"({"screens":[{"name":"s","x":0,"y":0,"width":%1,"height":%2,)"
                                  R"("logicalDpi":96,"logicalBaseDpi":96,"dpr":1}]})")
                       .arg(screen.width())
                       .arg(screen.height())
                       .toLatin1());
        file.close();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen:configfile=") + config);
        env.insert(QStringLiteral("QT_SCALE_FACTOR"), scale);
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
        if (storedOff) {
            QSettings stored(home.filePath(QStringLiteral("config/Aqualumora/Window.conf")), QSettings::IniFormat);
            stored.setValue(QStringLiteral("x"), 7000);
            stored.setValue(QStringLiteral("y"), -3000);
            stored.setValue(QStringLiteral("width"), 5000);
            stored.setValue(QStringLiteral("height"), 4000);
            stored.sync();
        }
        QProcess child;
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child")});
        QVERIFY(child.waitForFinished(60000));
        const QByteArray said = child.readAllStandardOutput() + child.readAllStandardError();
        QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0, said.constData());
    }

    // Closed at a size, place and page, the window opens so next time.
    void remembered()
    {
        {
            auto w = makeWindow({QStringLiteral("-english")});
            (new WindowPlacement(w.get(), w->pc))->restore();
            w->show();
            QVERIFY(QTest::qWaitForWindowExposed(w.get()));
            w->resize(900, 640);
            w->move(40, 30);
            w->SelectPage(w->page(QStringLiteral("tsMoon")));
            QCoreApplication::processEvents();
            w->close();
        }
        auto w = makeWindow({QStringLiteral("-english")});
        (new WindowPlacement(w.get(), w->pc))->restore();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QTest::qWait(20);
        QCOMPARE(w->size(), QSize(900, 640));
        QCOMPARE(w->pos(), QPoint(40, 30));
        QCOMPARE(w->pc->currentWidget()->objectName(), QStringLiteral("tsMoon"));
    }

    // Stored values that are not numbers, out of any range, or name a page that is not there
    // or not shown: the window opens whole on the screen, on the Messages page.
    void hostileValues_data()
    {
        QTest::addColumn<QVariantMap>("stored");
        QTest::newRow("words") << QVariantMap{{"x", "left"}, {"y", "top"}, {"width", "wide"}, {"height", "tall"},
                                              {"page", "tsNowhere"}};
        QTest::newRow("huge") << QVariantMap{{"x", "2147483647"}, {"y", "2147483647"}, {"width", "2147483647"},
                                             {"height", "2147483647"}, {"page", "tsExpert"}};
        QTest::newRow("negative") << QVariantMap{{"x", "-2147483648"}, {"y", "-50"}, {"width", "-10"},
                                                 {"height", "0"}, {"page", ""}};
        QTest::newRow("tiny") << QVariantMap{{"x", "5"}, {"y", "5"}, {"width", "1"}, {"height", "1"},
                                             {"page", "tsRC433"}};
    }
    void hostileValues()
    {
        QFETCH(QVariantMap, stored);
        storePlacement(stored);
        auto w = makeWindow({QStringLiteral("-english")});
        (new WindowPlacement(w.get(), w->pc))->restore();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QTest::qWait(20);
        QVERIFY(w->screen()->availableGeometry().contains(w->frameGeometry()));
        QVERIFY(w->width() >= w->minimumSizeHint().width() && w->height() >= w->minimumSizeHint().height());
        QCOMPARE(w->pc->currentWidget()->objectName(), QStringLiteral("tsMessages"));
    }
};

int main(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i)
        if (qstrcmp(argv[i], "--child") == 0)
            return childRun(argc, argv);
    QApplication app(argc, argv);
    TstWindowPlacement test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_window_placement.moc"
