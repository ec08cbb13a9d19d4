// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/grid_columns.h"

#include <QEvent>
#include <QHeaderView>
#include <QPainter>
#include <QProxyStyle>
#include <QRegularExpression>
#include <QStyleFactory>
#include <QStyleOptionHeader>
#include <QTableWidget>
#include <QTimer>

#include <algorithm>
#include <numeric>

namespace {

QString headerText(const QTableWidget *grid, int column)
{
    return grid->model()->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
}

// Draws the label of a header section upwards where the fitter says so.
class UprightHeaderStyle : public QProxyStyle {
public:
    UprightHeaderStyle(QStyle *base, const GridColumnFitter *fitter) : QProxyStyle(base), m_fitter(fitter) {}

    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget) const override
    {
        const auto *header = qstyleoption_cast<const QStyleOptionHeader *>(option);
        if (element != CE_HeaderLabel || !header || header->orientation != Qt::Horizontal ||
            !m_fitter->upright(header->section)) {
            QProxyStyle::drawControl(element, option, painter, widget);
            return;
        }
        painter->save();
        const QRect r = header->rect;
        // Turned a quarter left about the section's bottom left corner: the text reads upwards.
        painter->translate(r.left(), r.bottom() + 1);
        painter->rotate(-90);
        QStyleOptionHeader turned(*header);
        turned.rect = QRect(0, 0, r.height(), r.width());
        turned.textAlignment = Qt::AlignLeft | Qt::AlignVCenter;
        QProxyStyle::drawControl(element, &turned, painter, widget);
        painter->restore();
    }

private:
    const GridColumnFitter *m_fitter;
};

} // namespace

GridColumnFitter::GridColumnFitter(QTableWidget *grid, int firstStretch, int endStretch)
    : QObject(grid), m_grid(grid), m_viewport(grid->viewport()), m_first(firstStretch), m_end(endStretch)
{
    for (int column = 0; column < grid->columnCount(); ++column)
        m_preferred.append(grid->columnWidth(column));
    QHeaderView *header = grid->horizontalHeader();
    header->setDefaultAlignment(Qt::Alignment(header->defaultAlignment() | int(Qt::TextWordWrap)));
    auto *style = new UprightHeaderStyle(QStyleFactory::create(header->style()->name()), this);
    style->setParent(header);
    header->setStyle(style);
    grid->installEventFilter(this);
    m_viewport->installEventFilter(this);
    // Header texts change with the channels' colours and the language, cells with the schedule.
    auto later = [this] { QTimer::singleShot(0, this, &GridColumnFitter::fit); };
    connect(grid->model(), &QAbstractItemModel::headerDataChanged, this, later);
    connect(grid->model(), &QAbstractItemModel::modelReset, this, later);
    connect(grid->model(), &QAbstractItemModel::rowsInserted, this, later);
}

int GridColumnFitter::margin() const
{
    const QHeaderView *header = m_grid->horizontalHeader();
    return 2 * header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header) + 2;
}

int GridColumnFitter::widestWord(int column) const
{
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    const QFontMetrics metrics = m_grid->horizontalHeader()->fontMetrics();
    int widest = 0;
    for (const QString &word : headerText(m_grid, column).split(blanks, Qt::SkipEmptyParts))
        widest = std::max({widest, metrics.horizontalAdvance(word),
                           metrics.boundingRect(QRect(0, 0, 10000, 1000), 0, word).width()});
    return widest;
}

int GridColumnFitter::widestCell(int column) const
{
    const QFontMetrics metrics = m_grid->fontMetrics();
    // Never narrower than a three-digit number, whatever the rows hold now.
    int widest = metrics.horizontalAdvance(QStringLiteral("100"));
    for (int row = 0; row < m_grid->rowCount(); ++row)
        if (const QTableWidgetItem *item = m_grid->item(row, column))
            widest = std::max(widest, metrics.horizontalAdvance(item->text()));
    return widest + 8;   // the cell's inset and the editor's frame
}

bool GridColumnFitter::upright(int column) const
{
    if (column < 0 || column >= m_grid->columnCount())
        return false;
    // The stretching columns are alike: all upright when one of them has to be.
    if (column >= m_first && column < m_end) {
        for (int other = m_first; other < std::min(m_end, m_grid->columnCount()); ++other)
            if (widestWord(other) > m_grid->columnWidth(other) - margin())
                return true;
        return false;
    }
    return widestWord(column) > m_grid->columnWidth(column) - margin();
}

QSize GridColumnFitter::textSize(int column) const
{
    const QFontMetrics metrics = m_grid->horizontalHeader()->fontMetrics();
    const QString text = headerText(m_grid, column);
    if (upright(column))
        return QSize(metrics.height(), metrics.horizontalAdvance(text));
    const int width = std::max(1, m_grid->columnWidth(column) - margin());
    return metrics.boundingRect(QRect(0, 0, width, 10000), Qt::TextWordWrap, text).size();
}

QSize GridColumnFitter::textRoom(int column) const
{
    return QSize(m_grid->columnWidth(column), m_grid->horizontalHeader()->height()) - QSize(margin(), margin());
}

void GridColumnFitter::fit()
{
    if (m_fitting)
        return;
    m_fitting = true;
    const int columns = std::min<int>(m_grid->columnCount(), m_preferred.size());
    // Across: the preferred width and every header word. Compact: the cells' contents and an
    // upright header's line.
    QList<int> across(columns);
    QList<int> compact(columns);
    const int line = m_grid->horizontalHeader()->fontMetrics().height() + margin();
    for (int column = 0; column < columns; ++column) {
        across[column] = std::max(m_preferred[column], widestWord(column) + margin());
        compact[column] = std::max(line, std::min(m_preferred[column], widestCell(column)));
    }
    // The viewport is narrower while the vertical scroll bar shows; its resize fits again.
    const int room = m_grid->viewport()->width();
    auto total = [](const QList<int> &widths) { return std::accumulate(widths.begin(), widths.end(), 0); };
    QList<int> widths = total(across) <= room ? across : compact;
    const int stretching = std::max(0, std::min(m_end, columns) - m_first);
    int spare = room - total(widths);
    if (spare > 0 && stretching > 0) {
        for (int column = m_first; column < m_first + stretching; ++column)
            widths[column] += spare / stretching;
        spare -= spare / stretching * stretching;
        for (int column = m_first; spare > 0 && column < m_first + stretching; ++column, --spare)
            ++widths[column];
    }
    for (int column = 0; column < columns; ++column)
        if (m_grid->columnWidth(column) != widths[column])
            m_grid->setColumnWidth(column, widths[column]);
    int height = m_grid->horizontalHeader()->fontMetrics().height();
    for (int column = 0; column < columns; ++column)
        height = std::max(height, textSize(column).height());
    m_grid->horizontalHeader()->setFixedHeight(height + margin());
    m_fitting = false;
}

bool GridColumnFitter::eventFilter(QObject *watched, QEvent *event)
{
    // Only the object's address is compared: the viewport still sends events while the grid
    // around it is being destroyed, when no call on the grid is allowed any more.
    const QEvent::Type type = event->type();
    if ((type == QEvent::Resize || type == QEvent::Show || type == QEvent::FontChange || type == QEvent::StyleChange) &&
        (watched == m_grid || watched == m_viewport))
        fit();
    return QObject::eventFilter(watched, event);
}
