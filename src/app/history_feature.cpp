// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/history_feature.h"

#include "app/frm_lumora.h"
#include "presentation/localization.h"
#include "history/desktop_notifier.h"
#include "history/sensor_watch.h"
#include "link/device_model.h"
#include "pages/history_view.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileDialog>
#include <QFormLayout>
#include <QLayout>
#include <QMenu>
#include <QPushButton>
#include <QSaveFile>
#include <QSettings>
#include <QTabWidget>

#include <cmath>

namespace {

double toShown(int tenths, bool f) { return f ? tenths * 9.0 / 50.0 + 32.0 : tenths / 10.0; }
int fromShown(double value, bool f) { return int(std::lround(f ? (value - 32.0) / 9.0 * 50.0 : value * 10.0)); }

} // namespace

HistoryFeature::HistoryFeature(TfrmLumora *window, const QString &path) : QObject(window), w(window)
{
    setObjectName(QStringLiteral("history"));
    m_watch = new SensorWatch(path, [this](const QString &text) { w->AddLog(text, lcHistory()); }, this);
    m_watch->Clock = [this] { return Clock ? Clock() : QDateTime::currentMSecsSinceEpoch(); };
    // Every Info read from the controller is recorded and checked, after the window shows it.
    connect(&window->model(), &DeviceModel::changed, this, [this](const DeviceChange &change) {
        if (change.origin == DeviceChange::Origin::Controller && (change.parts & PartInfo))
            infoRead();
    });

    // The Chart page: the controller's chart and the history, one tab each.
    QWidget *page = w->page(QStringLiteral("tsTemp"));
    QWidget *chart = page ? page->findChild<QWidget *>(QStringLiteral("imgTemp")) : nullptr;
    view = new HistoryView(page);
    view->setSource(path, [this] { return currentController(); });
    view->Fahrenheit = [this] { return isFahrenheit(w->device().Config); };
    view->Clock = [this] { return Clock ? Clock() : QDateTime::currentMSecsSinceEpoch(); };
    if (page && chart && page->layout()) {
        tabs = new QTabWidget(page);
        tabs->setObjectName(QStringLiteral("tabChartHistory"));
        tabs->setTabPosition(QTabWidget::South);
        tabs->setDocumentMode(true);
        // The layout item that held the chart is handed back to the caller.
        delete page->layout()->replaceWidget(chart, tabs);
        tabs->addTab(chart, QString());
        tabs->addTab(view, QString());
    }
    connect(m_watch, &SensorWatch::fileChanged, view, [this] { view->reload(); });
    // New minutes: a view that ends now takes them in.
    connect(m_watch, &SensorWatch::rowsWritten, view, [this] { view->reload(); });
    connect(view->btnExport, &QPushButton::clicked, this, &HistoryFeature::mnuHistoryExportClick);
    connect(view->btnAlerts, &QPushButton::clicked, this, &HistoryFeature::mnuHistoryAlertsClick);

    // File menu: after the INI export.
    QAction *firmware = w->action(QStringLiteral("mnuFirmwareUpdate"));
    QMenu *file = nullptr;
    if (QAction *fileMenu = w->action(QStringLiteral("mnuFile")))
        file = fileMenu->menu();
    mnuHistoryExport = new QAction(this);
    mnuHistoryExport->setObjectName(QStringLiteral("mnuHistoryExport"));
    mnuHistoryAlerts = new QAction(this);
    mnuHistoryAlerts->setObjectName(QStringLiteral("mnuHistoryAlerts"));
    if (file) {
        file->insertAction(firmware, mnuHistoryExport);
        file->insertAction(firmware, mnuHistoryAlerts);
        connect(file, &QMenu::aboutToShow, this, &HistoryFeature::retranslate);
    }
    connect(mnuHistoryExport, &QAction::triggered, this, &HistoryFeature::mnuHistoryExportClick);
    connect(mnuHistoryAlerts, &QAction::triggered, this, &HistoryFeature::mnuHistoryAlertsClick);
    retranslate();

    ChooseExportFile = [this](const QString &suggested) {
        return QFileDialog::getSaveFileName(w, Translate(QStringLiteral("HistoryExportCaption")), suggested,
                                            QStringLiteral("CSV (*.csv)"));
    };
    ChooseExportSpan = [this](QString &controller, qint64 &from, qint64 &to) {
        QDialog dialog(w);
        dialog.setWindowTitle(Translate(QStringLiteral("HistoryExportCaption")));
        auto *form = new QFormLayout(&dialog);
        auto *which = new QComboBox(&dialog);
        HistoryStore store;
        if (store.openForReading(recorder()->path()))
            which->addItems(store.controllers());
        which->setCurrentText(controller);
        auto *start = new QDateTimeEdit(&dialog);
        auto *end = new QDateTimeEdit(&dialog);
        for (QDateTimeEdit *edit : {start, end}) {
            edit->setCalendarPopup(true);
            edit->setDisplayFormat(QLocale().dateTimeFormat(QLocale::ShortFormat));
        }
        const auto spanOf = [&] {
            qint64 first = 0, last = 0;
            if (!store.recordedSpan(which->currentText(), first, last))
                first = last = QDateTime::currentSecsSinceEpoch() / 60;
            start->setDateTime(QDateTime::fromSecsSinceEpoch(first * 60));
            end->setDateTime(QDateTime::fromSecsSinceEpoch((last + 1) * 60));
        };
        spanOf();
        connect(which, &QComboBox::currentTextChanged, &dialog, spanOf);
        form->addRow(Translate(QStringLiteral("HistoryController")), which);
        form->addRow(Translate(QStringLiteral("HistoryFrom")), start);
        form->addRow(Translate(QStringLiteral("HistoryTo")), end);
        auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
        connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
        form->addRow(buttons);
        if (dialog.exec() != QDialog::Accepted || which->currentText().isEmpty())
            return false;
        controller = which->currentText();
        from = start->dateTime().toSecsSinceEpoch() / 60;
        to = end->dateTime().toSecsSinceEpoch() / 60;
        return true;
    };
}

// The writer finishes (and may still report) while the window is whole.
HistoryFeature::~HistoryFeature() { delete m_watch; }

HistoryFeature *HistoryFeature::of(const TfrmLumora *window)
{
    return window ? window->findChild<HistoryFeature *>(QStringLiteral("history"), Qt::FindDirectChildrenOnly) : nullptr;
}

void HistoryFeature::retranslate()
{
    mnuHistoryExport->setText(Translate(QStringLiteral("mnuHistoryExport")));
    mnuHistoryAlerts->setText(Translate(QStringLiteral("mnuHistoryAlerts")));
    if (tabs) {
        tabs->setTabText(0, Translate(QStringLiteral("ControllerChartTab")));
        tabs->setTabText(1, Translate(QStringLiteral("HistoryTab")));
    }
    view->retranslate();
}

QString HistoryFeature::currentController() const
{
    if (w->IsConnected() && !w->PortName.isEmpty())
        return HistoryControllerKey(w->PortName);
    return recorder()->lastController();
}

void HistoryFeature::infoRead() { m_watch->infoRead(w->PortName, w->device()); }

void HistoryFeature::setAlertRange(const AlertRange &range) { m_watch->setAlertRange(range); }

AlertRange HistoryFeature::alertRange() const { return m_watch->alertRange(); }

HistoryRecorder *HistoryFeature::recorder() const { return m_watch->recorder(); }

DesktopNotifier *HistoryFeature::notifier() const { return m_watch->notifier(); }

void HistoryFeature::setNotifier(DesktopNotifier *notifier) { m_watch->setNotifier(notifier); }

bool HistoryFeature::exportCsv(const QString &file, const QString &controller, qint64 fromMinute, qint64 toMinute)
{
    // Whatever is queued belongs in the file too.
    recorder()->finishMinute();
    recorder()->flush();
    HistoryStore store;
    std::vector<HistoryRow> rows;
    if (store.openForReading(recorder()->path()))
        rows = store.rows(controller, fromMinute, toMinute);
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly) || !WriteHistoryCsv(out, rows) || !out.commit()) {
        w->AddLog(TranslateFmt(QStringLiteral("HistoryExportFailed"), {file, out.errorString()}), lcHistory());
        return false;
    }
    w->AddLog(TranslateFmt(QStringLiteral("HistoryExported"), {QString::number(rows.size()), file}), lcHistory());
    return true;
}

void HistoryFeature::mnuHistoryExportClick()
{
    QString controller = currentController();
    qint64 from = 0, to = 0;
    if (!ChooseExportSpan || !ChooseExportSpan(controller, from, to))
        return;
    QString name = QStringLiteral("History_") + controller.section(u' ', 0, 0) + QStringLiteral(".csv");
    for (QChar &c : name)
        if (!(c.isLetterOrNumber() || c == u'.' || c == u'_' || c == u'-'))
            c = u'_';
    const QString file = ChooseExportFile ? ChooseExportFile(w->ProgramFolder + name) : QString();
    if (!file.isEmpty())
        exportCsv(file, controller, from, to);
}

void HistoryFeature::mnuHistoryAlertsClick()
{
    const bool f = isFahrenheit(w->device().Config);
    const QString unit = f ? QStringLiteral("°F") : QStringLiteral("°C");
    QDialog dialog(w);
    dialog.setObjectName(QStringLiteral("dlgHistoryAlerts"));
    dialog.setWindowTitle(Translate(QStringLiteral("HistoryAlertsCaption")));
    auto *form = new QFormLayout(&dialog);
    auto *enabled = new QCheckBox(Translate(QStringLiteral("HistoryAlertEnabled")), &dialog);
    auto *low = new QDoubleSpinBox(&dialog);
    auto *high = new QDoubleSpinBox(&dialog);
    const AlertRange range = alertRange();
    enabled->setChecked(range.enabled);
    for (QDoubleSpinBox *box : {low, high}) {
        box->setDecimals(1);
        box->setSingleStep(0.5);
        box->setRange(f ? 14.0 : -10.0, f ? 140.0 : 60.0);
        box->setSuffix(u' ' + unit);
    }
    low->setValue(toShown(range.low, f));
    high->setValue(toShown(range.high, f));
    form->addRow(enabled);
    form->addRow(Translate(QStringLiteral("HistoryAlertLow")), low);
    form->addRow(Translate(QStringLiteral("HistoryAlertHigh")), high);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    form->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted)
        return;
    setAlertRange({enabled->isChecked(), fromShown(low->value(), f), fromShown(high->value(), f)});
}

HistoryFeature *InstallHistory(TfrmLumora *window, const QString &path)
{
    return new HistoryFeature(window, path.isEmpty() ? HistoryStore::defaultPath() : path);
}

