// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "pages/history_view.h"

#include "presentation/localization.h"
#include "widgets/accessible_summary.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <cmath>

HistoryCanvas::HistoryCanvas(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("imgHistory"));
    setMouseTracking(true);
    setCursor(Qt::CrossCursor);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void HistoryCanvas::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), m_image.isNull() ? palette().base().color() : QColor(m_image.pixel(0, 0)));
    if (!m_image.isNull())
        p.drawImage(QPoint(0, 0), m_image);
    if (hoverX >= 0) {
        QColor line = palette().text().color();
        line.setAlpha(90);
        p.setPen(line);
        p.drawLine(QPointF(hoverX, 0), QPointF(hoverX, height()));
    }
}

void HistoryCanvas::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    emit resized();
}

void HistoryCanvas::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    // A theme change: the chart is drawn anew in its colours, as after a resize.
    if (event->type() == QEvent::PaletteChange)
        emit resized();
}

void HistoryCanvas::wheelEvent(QWheelEvent *event)
{
    const double steps = event->angleDelta().y() / 120.0;
    if (steps != 0)
        emit zoom(event->position().x(), std::pow(0.8, steps));
    event->accept();
}

void HistoryCanvas::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        m_dragX = event->position().x();
        setCursor(Qt::ClosedHandCursor);
    }
}

void HistoryCanvas::mouseMoveEvent(QMouseEvent *event)
{
    const double x = event->position().x();
    if (m_dragX >= 0 && (event->buttons() & Qt::LeftButton)) {
        emit pan(x - m_dragX);
        m_dragX = x;
    }
    hoverX = x;
    emit hover(x);
    update();
}

void HistoryCanvas::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        m_dragX = -1;
        setCursor(Qt::CrossCursor);
    }
}

void HistoryCanvas::leaveEvent(QEvent *event)
{
    hoverX = -1;
    emit hover(-1);
    update();
    QWidget::leaveEvent(event);
}

// ---------------------------------------------------------------------------

HistoryView::HistoryView(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("tsHistory"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 0);
    auto *bar = new QHBoxLayout;
    auto *group = new QButtonGroup(this);
    const char *names[4] = {"btnHistoryDay", "btnHistoryWeek", "btnHistoryMonth", "btnHistoryYear"};
    for (int i = 0; i < 4; ++i) {
        m_spans[i] = new QPushButton(this);
        m_spans[i]->setObjectName(QString::fromLatin1(names[i]));
        m_spans[i]->setCheckable(true);
        group->addButton(m_spans[i], i);
        bar->addWidget(m_spans[i]);
        connect(m_spans[i], &QPushButton::clicked, this, [this, i] { showSpan(Span(i)); });
    }
    m_spans[Day]->setChecked(true);
    bar->addStretch(1);
    btnAlerts = new QPushButton(this);
    btnAlerts->setObjectName(QStringLiteral("btnHistoryAlerts"));
    btnExport = new QPushButton(this);
    btnExport->setObjectName(QStringLiteral("btnHistoryExport"));
    bar->addWidget(btnAlerts);
    bar->addWidget(btnExport);
    layout->addLayout(bar);
    // The series on a row of their own, so that the page stays as narrow as the window's least width.
    auto *seriesBar = new QHBoxLayout;
    const char *series[HistorySeriesCount] = {"cbxHistoryWater", "cbxHistorySlave", "cbxHistoryVoltage"};
    for (int s = 0; s < HistorySeriesCount; ++s) {
        m_series[s] = new QCheckBox(this);
        m_series[s]->setObjectName(QString::fromLatin1(series[s]));
        m_series[s]->setChecked(true);
        seriesBar->addWidget(m_series[s]);
        connect(m_series[s], &QCheckBox::toggled, this, [this] { reload(); });
    }
    seriesBar->addStretch(1);
    layout->addLayout(seriesBar);

    m_canvas = new HistoryCanvas(this);
    layout->addWidget(m_canvas, 1);
    m_point = new QLabel(this);
    m_point->setObjectName(QStringLiteral("lblHistoryPoint"));
    m_point->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_point);

    connect(m_canvas, &HistoryCanvas::resized, this, [this] { reload(); });
    connect(m_canvas, &HistoryCanvas::zoom, this, &HistoryView::zoomAt);
    connect(m_canvas, &HistoryCanvas::pan, this, &HistoryView::panBy);
    connect(m_canvas, &HistoryCanvas::hover, this, &HistoryView::updatePoint);
    retranslate();
    showSpan(Day);

    // The clock goes on while nothing is recorded: a window that ends now follows it.
    auto *follow = new QTimer(this);
    follow->start(60'000);
    connect(follow, &QTimer::timeout, this, [this] {
        if (m_followNow || m_spanCap > 0)
            reload();
    });
}

void HistoryView::retranslate()
{
    const char *spans[4] = {"HistoryDay", "HistoryWeek", "HistoryMonth", "HistoryYear"};
    for (int i = 0; i < 4; ++i)
        m_spans[i]->setText(Translate(QString::fromLatin1(spans[i])));
    m_input.seriesNames[HistoryWater] = QStringLiteral("Thermavis");
    m_input.seriesNames[HistorySlave] = QStringLiteral("Slave");
    m_input.seriesNames[HistoryVoltage] = Translate(QStringLiteral("InputVoltage"));
    for (int s = 0; s < HistorySeriesCount; ++s) {
        m_series[s]->setText(m_input.seriesNames[s]);
        // The chart page's source buttons show the same words.
        m_series[s]->setAccessibleName(TranslateFmt(QStringLiteral("AccHistoryShow"), {m_input.seriesNames[s]}));
    }
    m_input.noData = Translate(QStringLiteral("HistoryNoData"));
    btnExport->setText(Translate(QStringLiteral("HistoryExportButton")));
    btnAlerts->setText(Translate(QStringLiteral("HistoryAlertsButton")));
}

void HistoryView::setSource(const QString &path, std::function<QString()> controller)
{
    m_path = path;
    m_controllerOf = std::move(controller);
    m_store.reset();
}

qint64 HistoryView::nowMinute() const
{
    const qint64 ms = Clock ? Clock() : QDateTime::currentMSecsSinceEpoch();
    return ms / 60000 + 1;
}

void HistoryView::showSpan(Span span)
{
    m_spans[span]->setChecked(true);
    m_spanCap = SpanMinutes[span];
    reload();
}

void HistoryView::setWindow(double fromMinute, double toMinute)
{
    readExtent();
    const HistoryWindow w = HistoryClampWindow(fromMinute, toMinute, double(nowMinute()), m_extent);
    m_from = w.from;
    m_to = w.to;
    m_followNow = w.followNow;
    m_spanCap = 0;
    reload();
}

void HistoryView::readExtent()
{
    if (!m_store && !m_path.isEmpty()) {
        auto store = std::make_unique<HistoryStore>();
        if (store->openForReading(m_path))
            m_store = std::move(store);
    }
    m_controller = m_controllerOf ? m_controllerOf() : QString();
    if (m_controller.isEmpty() && m_store) {
        const QStringList known = m_store->controllers();
        if (!known.isEmpty())
            m_controller = known.first();
    }
    qint64 first = 0, last = 0;
    m_extent = {};
    if (m_store && !m_controller.isEmpty() && m_store->recordedSpan(m_controller, first, last))
        m_extent = {true, double(first), double(last + 1)};
}

void HistoryView::zoomAt(double x, double factor)
{
    const HistoryChartGeometry g = HistoryGeometry(m_canvas->size(), m_from, m_to);
    const double at = std::clamp(g.minuteAt(x), m_from, m_to);
    // From a few minutes to five years.
    const double span = std::clamp((m_to - m_from) * factor, HistoryMinSpan, 5 * 366 * 1440.0);
    const double ratio = (at - m_from) / (m_to - m_from);
    setWindow(at - ratio * span, at - ratio * span + span);
}

void HistoryView::panBy(double pixels)
{
    const HistoryChartGeometry g = HistoryGeometry(m_canvas->size(), m_from, m_to);
    const double minutes = pixels / g.plot.width() * (m_to - m_from);
    setWindow(m_from - minutes, m_to - minutes);
}

void HistoryView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    retranslate();
    reload();
}

void HistoryView::reload(bool force)
{
    if (!force && !isVisible())
        return;
    readExtent();
    // A span button's view takes in what was recorded since; a window that ends now moves on.
    HistoryWindow window{m_from, m_to, m_followNow};
    const double now = double(nowMinute());
    if (m_spanCap > 0)
        window = HistoryFitSpan(m_spanCap, now, m_extent);
    else if (m_followNow)
        window = HistoryClampWindow(now - (m_to - m_from), now, now, m_extent);
    m_from = window.from;
    m_to = window.to;
    m_followNow = window.followNow;
    const HistoryChartGeometry g = HistoryGeometry(m_canvas->size(), m_from, m_to);
    m_input.from = m_from;
    m_input.to = m_to;
    m_input.fahrenheit = Fahrenheit && Fahrenheit();
    m_input.colours = ChartColoursFor(m_canvas->palette().color(QPalette::Active, QPalette::Base).rgb(),
                                      m_canvas->palette().color(QPalette::Active, QPalette::Text).rgb());
    for (int s = 0; s < HistorySeriesCount; ++s)
        m_input.show[s] = m_series[s]->isChecked();
    m_input.bucketMinutes = HistoryBucketMinutes(m_to - m_from, g.plot.width());
    m_input.buckets.clear();
    if (m_store && !m_controller.isEmpty())
        m_input.buckets = m_store->buckets(m_controller, qint64(std::floor(m_from)), qint64(std::ceil(m_to)),
                                           m_input.bucketMinutes);
    QFont font = m_canvas->font();
    font.setPointSize(8);
    m_canvas->setImage(DrawHistoryChart(m_input, m_canvas->size(), m_canvas->devicePixelRatioF(), font));
    const auto at = [](double minute) {
        return HistoryTimeText(QDateTime::fromSecsSinceEpoch(qint64(minute) * 60, Qt::LocalTime));
    };
    SetAccessibleSummary(m_canvas, Translate(QStringLiteral("AccHistoryName")),
                         TranslateFmt(QStringLiteral("AccHistorySummary"), {m_controller, at(m_from), at(m_to)}));
    updatePoint(m_canvas->hoverX);
}

void HistoryView::updatePoint(double x)
{
    if (x < 0) {
        m_point->setText(m_controller);
        return;
    }
    const HistoryChartGeometry g = HistoryGeometry(m_canvas->size(), m_from, m_to);
    const double minute = g.minuteAt(x);
    const int i = HistoryBucketAt(m_input.buckets, m_input.bucketMinutes, minute);
    if (i < 0) {
        const QDateTime at = QDateTime::fromSecsSinceEpoch(qint64(g.minuteAt(x)) * 60, Qt::LocalTime);
        m_point->setText(HistoryTimeText(at));
        return;
    }
    m_point->setText(HistoryPointText(m_input.buckets[size_t(i)], m_input));
}
