// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The schedule grid's headers: the channel letter and the whole colour name in every column
// at the design size and at 1920 × 1080, in both languages and with every colour; at a
// large size the columns fill the page.
#include <QApplication>
#include <QHeaderView>
#include <QScrollBar>
#include <QTableWidget>
#include <QTest>

#include "app/frm_lumora.h"
#include "widgets/grid_columns.h"
#include "presentation/localization.h"
#include "link/device_model.h"
#include "link/ports.h"
#include "window_fixture.h"

class TstGridColumns : public QObject {
    Q_OBJECT
private slots:
    void headersFit_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QSize>("size");
        for (const char *language : {"-english", "-german"})
            for (const QSize &size : {QSize(TfrmLumora::DesignWidth, TfrmLumora::DesignHeight), QSize(1920, 1080)})
                QTest::addRow("%s %dx%d", language + 1, size.width(), size.height())
                    << QString::fromLatin1(language) << size;
    }
    void headersFit()
    {
        QFETCH(QString, language);
        QFETCH(QSize, size);
        ForgetPort();
        auto w = makeWindow({QStringLiteral("-expert"), QStringLiteral("-rc433"), language});
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        w->resize(size);
        TestLinkHost host(w.get());
        DeviceImage &image = w->model().imageForLoading();
        image.Info.LineCount = 40;   // enough lines for the vertical scroll bar
        image.resizeSchedule(40);
        host.setConnected(true);
        w->SelectPage(w->page(QStringLiteral("tsSchedule")));
        auto *grid = w->findChild<QTableWidget *>(QStringLiteral("sgSchedule"));
        auto *fitter = grid->findChild<GridColumnFitter *>();
        QVERIFY(grid && fitter);
        for (int offset : {0, 4, 8, 12}) {   // every colour on some channel
            for (int i = 0; i < 12; ++i)
                image.Config.ColorName[i] = uint8_t((i + offset) % ColorCount);
            host.read(GetConfig);
            w->FillScheduleGrid();
            QCoreApplication::processEvents();
            QCoreApplication::processEvents();
            for (int column = 0; column < grid->columnCount(); ++column) {
                const QString text = grid->horizontalHeaderItem(column)->text();
                if (column >= 2 && column < 14) {
                    const int channel = column - 2;
                    QCOMPARE(text, ChannelLetter(channel) + QStringLiteral(": ") +
                                       ColorName(image.Config.ColorName[channel]));
                }
                const QSize drawn = fitter->textSize(column);
                const QSize room = fitter->textRoom(column);
                QVERIFY2(drawn.width() <= room.width() && drawn.height() <= room.height(),
                         qPrintable(QStringLiteral("%1: %2x%3 in %4x%5")
                                        .arg(text)
                                        .arg(drawn.width())
                                        .arg(drawn.height())
                                        .arg(room.width())
                                        .arg(room.height())));
            }
            // All columns in view, no horizontal scrolling; at 1920 × 1080 they fill the page
            // and every header is written across.
            int total = 0;
            for (int column = 0; column < grid->columnCount(); ++column)
                total += grid->columnWidth(column);
            QVERIFY2(total <= grid->viewport()->width(), qPrintable(QString::number(total)));
            QVERIFY(!grid->horizontalScrollBar()->isVisible());
            if (size.width() >= 1920) {
                QCOMPARE(total, grid->viewport()->width());
                for (int column = 0; column < grid->columnCount(); ++column)
                    QVERIFY(!fitter->upright(column));
            }
        }
        host.setConnected(false);
    }
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    TstGridColumns test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_grid_columns.moc"
