// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include <QContextMenuEvent>
#include <QSignalSpy>
#include <QTest>

#include <cmath>

#include "widgets/image_view.h"

class TstImageView : public QObject {
    Q_OBJECT
private slots:
    void placesImageOnScreenPixels_data();
    void placesImageOnScreenPixels();
    void drawsInPlaceAtItsSize();
    void mouseAndContextMenu();
};

void TstImageView::placesImageOnScreenPixels_data()
{
    QTest::addColumn<QSize>("view");
    QTest::addColumn<QSize>("image");
    QTest::addColumn<double>("ratio");
    QTest::addColumn<QPointF>("corner");
    QTest::newRow("same size") << QSize(200, 100) << QSize(200, 100) << 1.0 << QPointF(0, 0);
    QTest::newRow("centred, odd rest rounds down") << QSize(205, 100) << QSize(200, 50) << 1.0 << QPointF(2, 25);
    QTest::newRow("2x image in a 1x view") << QSize(200, 100) << QSize(200, 100) << 2.0 << QPointF(50, 25);
}

void TstImageView::placesImageOnScreenPixels()
{
    QFETCH(QSize, view);
    QFETCH(QSize, image);
    QFETCH(double, ratio);
    ImageView v(QStringLiteral("img"));
    v.resize(view);
    QImage picture(image, QImage::Format_ARGB32_Premultiplied);
    picture.setDevicePixelRatio(ratio);
    v.setImage(picture);
    QTEST(v.imageRect().topLeft(), "corner");
    QCOMPARE(v.imageRect().size(), QSizeF(image) / ratio);
    // Widget positions and image pixels convert both ways, the image's ratio included.
    for (const QPoint pixel : {QPoint(0, 0), QPoint(image.width() - 1, image.height() - 1), QPoint(17, 9)}) {
        const QPointF at = v.imagePixelAt(v.positionOfImagePixel(pixel));
        QCOMPARE(QPoint(int(std::floor(at.x())), int(std::floor(at.y()))), pixel);
    }
}

void TstImageView::drawsInPlaceAtItsSize()
{
    ImageView v(QStringLiteral("img"));
    v.resize(300, 120);
    QSignalSpy drawing(&v, &ImageView::needsDrawing);
    v.show();
    QVERIFY(QTest::qWaitForWindowExposed(&v));
    QVERIFY(drawing.count() >= 1);
    QImage &image = v.prepareImage();
    QCOMPARE(image.size(), v.pixelSize());
    QCOMPARE(image.deviceIndependentSize(), QSizeF(300, 120));
    const qint64 key = image.cacheKey();
    QCOMPARE(v.prepareImage().cacheKey(), key);   // the same size: the same image
    drawing.clear();
    v.resize(310, 120);
    QCOMPARE(drawing.count(), 1);
    QCOMPARE(v.prepareImage().deviceIndependentSize(), QSizeF(310, 120));
}

void TstImageView::mouseAndContextMenu()
{
    QWidget parent;
    ImageView *v = new ImageView(QStringLiteral("img"), &parent);
    v->resize(100, 100);
    parent.show();
    QSignalSpy pressed(v, &ImageView::pressed);
    QSignalSpy released(v, &ImageView::released);
    QSignalSpy doubled(v, &ImageView::doubleClicked);
    QTest::mouseClick(v, Qt::RightButton, {}, QPoint(10, 20));
    QCOMPARE(pressed.count(), 1);
    QCOMPARE(pressed.at(0).at(0).toPointF(), QPointF(10, 20));
    QCOMPARE(released.at(0).at(1).value<Qt::MouseButton>(), Qt::RightButton);
    // Double clicks count as presses unless asked for.
    QTest::mouseDClick(v, Qt::LeftButton, {}, QPoint(5, 5));
    QCOMPARE(doubled.count(), 0);
    v->setReportsDoubleClicks(true);
    QTest::mouseDClick(v, Qt::LeftButton, {}, QPoint(5, 5));
    QCOMPARE(doubled.count(), 1);

    // Without a receiver the context menu request goes on to the parent.
    QContextMenuEvent request(QContextMenuEvent::Mouse, QPoint(3, 3), v->mapToGlobal(QPoint(3, 3)));
    QCoreApplication::sendEvent(v, &request);
    QVERIFY(!request.isAccepted());
    QSignalSpy menu(v, &ImageView::contextMenuRequested);
    QContextMenuEvent again(QContextMenuEvent::Mouse, QPoint(3, 3), v->mapToGlobal(QPoint(3, 3)));
    QCoreApplication::sendEvent(v, &again);
    QVERIFY(again.isAccepted());
    QCOMPARE(menu.count(), 1);
}

QTEST_MAIN(TstImageView)
#include "tst_image_view.moc"
