// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Legible text on coloured fields: the contrast arithmetic, and every tinted or coloured
// field of the real window in a light and a dark theme, enabled and disabled.
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QLineEdit>
#include <QSet>
#include <QTableWidget>
#include <QTest>

#include "presentation/contrast.h"
#include "app/frm_lumora.h"
#include "app/history_feature.h"
#include "pages/history_view.h"
#include "presentation/localization.h"
#include "link/device_model.h"
#include "widgets/tint.h"
#include "link/ports.h"
#include "schedule/health.h"
#include "schedule/light_curves.h"
#include "schedule/sensor_chart.h"
#include "widgets/image_view.h"
#include "widgets/indicator_style.h"
#include "pages/schedule_grid.h"
#include "theme_palettes.h"
#include "window_fixture.h"

using namespace contrast;

class TstContrast : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        ForgetPort();
    }

    void ratio_data()
    {
        QTest::addColumn<QRgb>("a");
        QTest::addColumn<QRgb>("b");
        QTest::addColumn<double>("expected");
        QTest::newRow("black on white") << qRgb(0, 0, 0) << qRgb(255, 255, 255) << 21.0;
        QTest::newRow("same colour") << qRgb(120, 30, 200) << qRgb(120, 30, 200) << 1.0;
        QTest::newRow("order does not matter") << qRgb(255, 255, 255) << qRgb(0, 0, 0) << 21.0;
        // The lightest grey that passes on white, and the Fusion disabled text of old.
        QTest::newRow("#767676 on white") << qRgb(0x76, 0x76, 0x76) << qRgb(255, 255, 255) << 4.54;
        QTest::newRow("grey on blue tint") << qRgb(0xbe, 0xbe, 0xbe) << qRgb(0x80, 0x80, 0xff) << 1.75;
        QTest::newRow("pure red on white") << qRgb(255, 0, 0) << qRgb(255, 255, 255) << 4.0;
    }
    void ratio()
    {
        QFETCH(QRgb, a);
        QFETCH(QRgb, b);
        QFETCH(double, expected);
        QVERIFY2(qAbs(Ratio(a, b) - expected) < 0.01, qPrintable(QString::number(Ratio(a, b))));
    }

    // Over a spread of backgrounds and wanted text colours: enabled text reaches the
    // minimum, keeps a wanted colour that already does, and disabled text is fainter than
    // the enabled one yet still reaches the minimum.
    void chosenTextReachesMinimum()
    {
        const QRgb wanted[] = {qRgb(0, 0, 0), qRgb(255, 255, 255), qRgb(0xef, 0xf0, 0xf1), qRgb(255, 0, 0),
                               qRgb(0x6e, 0x71, 0x75), qRgb(0x3d, 0xae, 0xe9)};
        for (int r = 0; r <= 255; r += 51)
            for (int g = 0; g <= 255; g += 51)
                for (int b = 0; b <= 255; b += 51) {
                    const QRgb background = qRgb(r, g, b);
                    for (const QRgb text : wanted) {
                        const QRgb enabled = TextOn(background, text);
                        const QRgb accent = LegibleOn(background, text);
                        const QRgb disabled = DisabledOn(background, text);
                        const QByteArray where = QColor(background).name().toLatin1() + " / " +
                                                 QColor(text).name().toLatin1();
                        QVERIFY2(Ratio(background, enabled) >= MinimumRatio, where);
                        QVERIFY2(Ratio(background, accent) >= MinimumRatio, where);
                        QVERIFY2(Ratio(background, disabled) >= MinimumRatio, where);
                        QVERIFY2(Ratio(background, disabled) <= Ratio(background, enabled), where);
                        if (Ratio(background, text) >= MinimumRatio) {
                            QCOMPARE(enabled, text);
                            QCOMPARE(accent, text);
                        }
                    }
                }
        // Disabled text is visibly fainter where there is room for it.
        QVERIFY(Ratio(qRgb(255, 255, 255), DisabledOn(qRgb(255, 255, 255), qRgb(0, 0, 0))) < 6);
        // An accent keeps its hue: the alarm red on a light window stays red, only darker.
        const QRgb red = LegibleOn(qRgb(0xef, 0xef, 0xef), qRgb(255, 0, 0));
        QVERIFY(qRed(red) > 150 && qGreen(red) == 0 && qBlue(red) == 0);
    }

    // Every field of the real window that carries a colour of its own (the channel tints on
    // the level, delay, moon, white balance and lightning-mask fields, the status line, the
    // schedule's cells): the text colour it is drawn with against the background it is
    // drawn on, in every colour a channel can take, in both themes, enabled and disabled.
    void windowFields_data()
    {
        QTest::addColumn<bool>("dark");
        QTest::newRow("light") << false;
        QTest::newRow("dark") << true;
    }
    void windowFields()
    {
        QFETCH(bool, dark);
        const QPalette before = QApplication::palette();
        useTheme(dark);
        auto w = makeWindow({QStringLiteral("-expert"), QStringLiteral("-rc433"), QStringLiteral("-english")});
        w->resize(1009, 680);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        TestLinkHost host(w.get());
        DeviceImage &image = w->model().imageForLoading();
        image.resizeSchedule(3);
        image.Info.LineCount = 3;
        image.Info.ErrorFlags = 0x01;   // an alarm: the status line turns red
        host.setConnected(true);
        host.read(GetInfo);

        int checked = 0;
        for (int offset : {0, 4, 8, 12}) {   // every colour on some channel
            for (int i = 0; i < 12; ++i)
                image.Config.ColorName[i] = uint8_t((i + offset) % ColorCount);
            for (int mode : {0, 1}) {   // Manual: level fields enabled; Auto: disabled
                image.Config.Mode = uint8_t(mode);
                host.read(GetConfig);
                host.setConnected(true);
                // Each page in front once, so that its fields are drawn.
                QSet<QString> tinted;
                for (int page = 0; page < w->pc->count(); ++page) {
                    if (!w->pc->isTabVisible(page))
                        continue;
                    w->pc->setCurrentIndex(page);
                    QCoreApplication::processEvents();
                    checked += checkWidgets(w.get(), tinted) + checkIndicators(w->pc->widget(page));
                    if (QTest::currentTestFailed())
                        return;
                }
                // The level, delay, moon, white balance and lightning-mask fields, all twelve.
                QVERIFY2(tinted.size() >= 5 * 12, qPrintable(QString::number(tinted.size())));
            }
            w->FillScheduleGrid();
            checked += checkGrid(w.get(), true);
            host.setConnected(false);
            checked += checkGrid(w.get(), false);
            host.setConnected(true);
        }
        QVERIFY(checked > 1000);
        w.reset();
        QApplication::setPalette(before);
    }

    // A theme changed while the program runs: every tinted field takes text colours chosen
    // against the new theme, as if it had been tinted under it.
    void tintsFollowThemeChange_data()
    {
        QTest::addColumn<bool>("toDark");
        QTest::newRow("light to dark") << true;
        QTest::newRow("dark to light") << false;
    }
    void tintsFollowThemeChange()
    {
        QFETCH(bool, toDark);
        const QPalette before = QApplication::palette();
        useTheme(!toDark);
        auto w = makeWindow({QStringLiteral("-english")});
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        TestLinkHost host(w.get());
        DeviceImage &image = w->model().imageForLoading();
        for (int i = 0; i < 12; ++i)
            image.Config.ColorName[i] = uint8_t(i % ColorCount);
        host.setConnected(true);
        host.read(GetConfig);
        for (int page = 0; page < w->pc->count(); ++page) {   // each page tints its fields when shown
            w->pc->setCurrentIndex(page);
            QCoreApplication::processEvents();
        }
        // A theme whose text is not pure black or white, so that the text chosen on a tint
        // depends on it.
        useTheme(toDark);
        QPalette theme = QApplication::palette();
        for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
            theme.setColor(group, QPalette::Text, toDark ? QColor(0xd8, 0xd8, 0xd0) : QColor(0x30, 0x30, 0x38));
        QApplication::setPalette(theme);
        QCoreApplication::processEvents();
        int tinted = 0;
        for (QWidget *field : w->findChildren<QWidget *>()) {
            const QColor tint = field->property("aqualumoraTint").value<QColor>();
            if (!tint.isValid())
                continue;
            QPalette expected = field->palette();
            SetLegibleColours(expected, QApplication::palette(field), QPalette::Base, QPalette::Text, tint);
            for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Disabled})
                QVERIFY2(field->palette().color(group, QPalette::Text) == expected.color(group, QPalette::Text),
                         qPrintable(field->objectName()));
            ++tinted;
        }
        QVERIFY2(tinted >= 12, qPrintable(QString::number(tinted)));
        w.reset();
        QApplication::setPalette(before);
    }

    // The charts follow the theme: the controller's own colours on white, then on the dark field
    // colour with labels and curves (the newest value is text in its colour) readable.
    void darkChart()
    {
        const QPalette before = QApplication::palette();
        useTheme(false);
        auto w = makeWindow({QStringLiteral("-english")});
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        TestLinkHost host(w.get());
        DeviceImage &image = w->model().imageForLoading();
        for (int n = 0; n < ChartSampleCount; ++n)
            image.Chart.Sample[n] = int16_t(250 + n % 10 * 3);
        image.Expert.ChartInterval = 5;
        host.setConnected(true);
        host.read(GetChart);
        w->SelectPage(w->page(QStringLiteral("tsTemp")));
        auto *chart = w->findChild<ImageView *>(QStringLiteral("imgTemp"));
        QTRY_COMPARE(mostCommon(chart->image()), qRgb(255, 255, 255));
        QCOMPARE(ChartColoursFor(qRgb(255, 255, 255), qRgb(0, 0, 0)), ChartColours{});
        useTheme(true);
        const QPalette dark = QApplication::palette();
        QTRY_COMPARE(mostCommon(chart->image()), dark.color(QPalette::Base).rgb());
        const ChartColours c = ChartColoursFor(dark.color(QPalette::Base).rgb(), dark.color(QPalette::Text).rgb());
        for (const QRgb text : {c.label, c.line[ChartWaterTemp], c.line[ChartInputVoltage], c.line[ChartSlaveTemp]})
            require(c.background, text);
        require(c.band, c.label);
        savePicture(w.get(), QSize(1009, 680), QStringLiteral("dark_chart"));
        // The history beside it, too.
        HistoryFeature::of(w.get())->tabs->setCurrentIndex(1);
        QTRY_COMPARE(mostCommon(HistoryFeature::of(w.get())->view->canvas()->image()), c.background);
        w.reset();
        QApplication::setPalette(before);
    }

private:
    static QRgb mostCommon(const QImage &image)
    {
        QHash<QRgb, int> count;
        for (int y = 0; y < image.height(); y += 2)
            for (int x = 0; x < image.width(); x += 2)
                ++count[image.pixel(x, y) | 0xFF000000];
        return std::max_element(count.cbegin(), count.cend()).key();
    }

    // Check boxes and radio buttons: the strongest pixel of the indicator's left edge (a box's
    // side, a circle's leftmost point) stands out from the window as graphics must.
    static int checkIndicators(QWidget *page)
    {
        int count = 0;
        for (QAbstractButton *b : page->findChildren<QAbstractButton *>()) {
            const bool radio = qobject_cast<QRadioButton *>(b);
            if (!b->isVisible() || (!radio && !qobject_cast<QCheckBox *>(b)))
                continue;
            QStyleOptionButton option;
            option.initFrom(b);
            const QRect r = b->style()->subElementRect(radio ? QStyle::SE_RadioButtonIndicator : QStyle::SE_CheckBoxIndicator, &option, b);
            const QImage picture = b->grab().toImage();
            const QRgb window = b->palette().color(b->isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::Window).rgb();
            double best = 1;
            for (int i = 0; i < 9; ++i)
                best = std::max(best, Ratio(window, picture.pixel(QPoint(r.left() + i % 3, r.center().y() - 1 + i / 3) * picture.devicePixelRatio())));
            if (best < IndicatorMinimumRatio)
                fail(QStringLiteral("%1: indicator outline %2:1").arg(b->objectName()).arg(best, 0, 'f', 2));
            ++count;
        }
        return count;
    }

    static void fail(const QString &message) { QTest::qFail(qPrintable(message), __FILE__, __LINE__); }

    static void require(QRgb background, QRgb text, const QString &what = QStringLiteral("chart"))
    {
        const double ratio = Ratio(background, text);
        if (ratio < MinimumRatio)
            fail(QStringLiteral("%1: %2 on %3 is %4:1")
                     .arg(what, QColor(text).name(), QColor(background).name())
                     .arg(ratio, 0, 'f', 2));
    }

    // Widgets whose palette differs from the theme's in the colours they draw their text with.
    static int checkWidgets(TfrmLumora *w, QSet<QString> &tinted)
    {
        int count = 0;
        const QList<QWidget *> widgets = w->findChildren<QWidget *>();
        for (QWidget *widget : widgets) {
            if (!widget->testAttribute(Qt::WA_SetPalette))
                continue;
            const QPalette theme = QApplication::palette(widget);
            const QPalette own = widget->palette();
            const QPalette::ColorRole bg = widget->backgroundRole();
            const QPalette::ColorRole fg = widget->foregroundRole();
            bool coloured = false;
            for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Disabled})
                coloured = coloured || own.color(group, bg) != theme.color(group, bg) ||
                           own.color(group, fg) != theme.color(group, fg);
            if (!coloured || !widget->isVisible())
                continue;
            // The background actually drawn: a tinted line edit's middle right, where no text is.
            if (auto *edit = qobject_cast<QLineEdit *>(widget); edit && edit->width() > 20) {
                tinted.insert(edit->parentWidget()->objectName());
                const QImage picture = edit->grab().toImage();
                const int inset = 6 * int(picture.devicePixelRatio());
                const bool textRight = edit->alignment() & Qt::AlignRight;
                const QColor drawn =
                    picture.pixelColor(textRight ? inset : picture.width() - inset, picture.height() / 2);
                const QPalette::ColorGroup group = edit->isEnabled() ? QPalette::Active : QPalette::Disabled;
                if (drawn.rgb() != own.color(group, bg).rgb()) {
                    fail(edit->objectName() + QStringLiteral(" draws ") + drawn.name() + QStringLiteral(", not ") +
                         own.color(group, bg).name());
                    return count;
                }
            }
            const QString name = widget->objectName().isEmpty() ? QString::fromLatin1(widget->metaObject()->className())
                                                                 : widget->objectName();
            for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
                require(own.color(group, bg).rgb(), own.color(group, fg).rgb(),
                        name + (group == QPalette::Disabled ? QStringLiteral(" (disabled)") : QString()));
                if (QTest::currentTestFailed())
                    return count;
                ++count;
            }
        }
        return count;
    }

    static int checkGrid(TfrmLumora *w, bool enabled)
    {
        auto *grid = w->findChild<QTableWidget *>(QStringLiteral("sgSchedule"));
        if (!grid)
            return 0;
        int count = 0;
        for (int row = 0; row < grid->rowCount(); ++row)
            for (int column = 0; column < grid->columnCount(); ++column) {
                if (column == ScheduleGrid::TimeColumn)
                    continue;
                const QTableWidgetItem *item = grid->item(row, column);
                const bool off = item && item->text() == Translate(QStringLiteral("OFF"));
                const bool isLevel = column >= ScheduleGrid::FirstLevelColumn && column < ScheduleGrid::FirstSwitchColumn;
                const int colour = isLevel ? w->device().Config.ColorName[column - ScheduleGrid::FirstLevelColumn] : 0;
                for (bool active : {false, true}) {
                    const CellColours cell = ScheduleCellColours(column, colour, active, off, grid->palette(), enabled);
                    require(cell.background.rgb(), cell.text.rgb(),
                            QStringLiteral("schedule cell %1,%2%3").arg(column).arg(row).arg(enabled ? "" : " (disabled)"));
                    if (QTest::currentTestFailed())
                        return count;
                    ++count;
                }
            }
        const CellColours order = OutOfOrderCellColours(grid->palette(), enabled);
        require(order.background.rgb(), order.text.rgb(), QStringLiteral("schedule time out of order"));
        require(grid->palette().color(QPalette::Window).rgb(), OutOfOrderTextColour(grid->palette()).rgb(),
                QStringLiteral("lines out of order"));
        return count;
    }
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    TstContrast test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_contrast.moc"
