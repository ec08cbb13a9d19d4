// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The health view on the Configuration page: the blank health image above the status line.
#include <QLabel>
#include <QTest>

#include "link/device_model.h"
#include "window_fixture.h"

class TstHealthView : public QObject {
    Q_OBJECT
private slots:
    void imageAboveTheStatusLine_data();
    void imageAboveTheStatusLine();
};

void TstHealthView::imageAboveTheStatusLine_data()
{
    QTest::addColumn<QString>("language");
    QTest::newRow("english") << "-english";
    QTest::newRow("german") << "-german";
}

void TstHealthView::imageAboveTheStatusLine()
{
    QFETCH(QString, language);
    auto w = makeWindow({language});
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    w->SelectPage(w->page(QStringLiteral("tsConfig")));
    InfoRecord &info = w->model().imageForLoading().Info;
    info.WaterTemp = 253;
    info.InputVoltage = 1205;
    info.SlaveTemp = NoValue16;
    w->SetConnected(true);
    TestLinkHost(w.get()).read(GetInfo);
    QCoreApplication::processEvents();

    auto *image = w->findChild<QLabel *>(QStringLiteral("imgHealth"));
    QVERIFY(image);
    QCOMPARE(image->parentWidget(), w->page(QStringLiteral("tsConfig")));
    QVERIFY(image->isVisible());
    QCOMPARE(image->height(), 153);
    // Full width, right above the status line, which stays at the bottom.
    QVERIFY(image->width() >= image->parentWidget()->width() - 40);
    QVERIFY(image->geometry().bottom() < w->lblBoard->geometry().top());
    QVERIFY(w->lblBoard->geometry().top() - image->geometry().bottom() < 20);
    // Blank, in the window colour, whatever happens to the window.
    const QColor window = image->palette().color(QPalette::Window);
    const QImage shown = image->grab().toImage();
    QCOMPARE(shown.pixelColor(shown.width() / 2, shown.height() / 2), window);
    w->resize(1200, 800);
    QCoreApplication::processEvents();
    QCOMPARE(image->height(), 153);
    QVERIFY(!image->pixmap().isNull());
    savePicture(w.get(), QSize(1009, 680), QStringLiteral("health_view") + language);
}

QTEST_MAIN(TstHealthView)
#include "tst_health_view.moc"
