// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Every page of the window at the minimum size, the design size and 1920 × 1080, in the
// light and the dark theme, in English and German, saved as pictures for the eye (into
// AQ_PICTURE_DIR, else the build's pictures folder), with the checks a picture makes easy
// to forget: every page's tab in view and no page that needs more room than it gets.
#include <QApplication>
#include <QDir>
#include <QLayout>
#include <QTabBar>
#include <QTest>

#include "app/frm_lumora.h"
#include "link/device_model.h"
#include "link/ports.h"
#include "theme_palettes.h"
#include "window_fixture.h"

class TstPictures : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        m_dir = qEnvironmentVariable("AQ_PICTURE_DIR", QStringLiteral(AQ_PICTURES_DIR));
        QVERIFY(QDir().mkpath(m_dir));
        m_palette = QApplication::palette();
    }
    void cleanupTestCase() { QApplication::setPalette(m_palette); }

    void everyPage_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<bool>("dark");
        QTest::addColumn<QSize>("size");   // empty: the window's minimum
        for (const char *language : {"english", "german"})
            for (bool dark : {false, true})
                for (const QSize &size : {QSize(), QSize(TfrmLumora::DesignWidth, TfrmLumora::DesignHeight),
                                          QSize(1920, 1080)})
                    QTest::addRow("%s_%s_%s", language, dark ? "dark" : "light",
                                  size.isEmpty() ? "minimum" : qPrintable(QStringLiteral("%1x%2").arg(size.width()).arg(size.height())))
                        << QString::fromLatin1(language) << dark << size;
    }
    void everyPage()
    {
        QFETCH(QString, language);
        QFETCH(bool, dark);
        QFETCH(QSize, size);
        ForgetPort();
        useTheme(dark);
        auto w = makeWindow({QStringLiteral("-expert"), QStringLiteral("-rc433"), u'-' + language});
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        w->resize(size.isEmpty() ? w->minimumSizeHint() : size);
        connectWithSchedule(w.get());
        QTabBar *bar = w->pc->tabBar();
        const QString prefix = QString::fromLatin1(QTest::currentDataTag());
        for (int index = 0; index < w->pc->count(); ++index) {
            if (!w->pc->isTabVisible(index))
                continue;
            QWidget *page = w->pc->widget(index);
            w->pc->setCurrentIndex(index);
            QCoreApplication::processEvents();
            const QString name = prefix + u'_' + page->objectName();
            QVERIFY2(w->grab().save(m_dir + u'/' + name + QStringLiteral(".png")), qPrintable(name));
            QVERIFY2(bar->rect().contains(bar->tabRect(index)), qPrintable(name + QStringLiteral(": tab out of view")));
            QVERIFY2(page->width() <= w->width(), qPrintable(name));
            // The page gets at least the room its layout asks for: nothing squeezed or cut.
            const QSize wanted = page->layout() ? page->layout()->minimumSize() : QSize();
            QVERIFY2(wanted.width() <= page->width() && wanted.height() <= page->height(),
                     qPrintable(QStringLiteral("%1 needs %2x%3, has %4x%5")
                                    .arg(name)
                                    .arg(wanted.width())
                                    .arg(wanted.height())
                                    .arg(page->width())
                                    .arg(page->height())));
        }
    }

private:
    // A connected controller with a schedule and named channels, so that the pages show
    // what a user sees.
    static void connectWithSchedule(TfrmLumora *w)
    {
        TestLinkHost host(w);
        DeviceImage &image = w->model().imageForLoading();
        const uint8_t colours[12] = {8, 7, 4, 11, 5, 2, 3, 12, 14, 15, 9, 10};
        for (int i = 0; i < 12; ++i) {
            image.Config.ColorName[i] = colours[i];
            image.Info.Level[i] = uint16_t(i * 340);
        }
        image.Config.Mode = 1;
        image.Info.LineCount = 8;
        image.resizeSchedule(8);
        for (int line = 0; line < 8; ++line) {
            ScheduleLine &s = image.Schedule[line];
            s.Hour = uint8_t(line * 3);
            s.Minute = uint8_t(line * 7 % 60);
            for (int i = 0; i < 12; ++i)
                s.Color16[i] = uint8_t((line * 13 + i * 7) % 101);
            s.Switch = uint8_t(line % 2 ? 0xE0 : 0x20);
        }
        w->PortName = QStringLiteral("rfcomm0 (Aqualumora)");
        host.setConnected(true);
        host.read(GetConfig);
        host.read(GetInfo);
        host.read(GetExpert);
        host.read(GetExpertWeather);
        w->FillScheduleGrid();
        QCoreApplication::processEvents();
    }

    QString m_dir;
    QPalette m_palette;
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    TstPictures test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_pictures.moc"
