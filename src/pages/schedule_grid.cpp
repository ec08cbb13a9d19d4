// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "pages/schedule_grid.h"

#include <QAction>
#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "presentation/contrast.h"
#include "presentation/localization.h"
#include "widgets/grid_columns.h"
#include "widgets/tint.h"
#include "link/device_model.h"
#include "presentation/number_format.h"
#include "pages/page_host.h"
#include "schedule/light_curves.h"
#include "schedule/schedule_edit.h"

namespace {

constexpr int LineColumnWidth = 30;
constexpr int DefaultColumnWidth = 46;
constexpr int SwitchColumnWidth = 50;
constexpr int DefaultRowHeight = 18;
constexpr uint8_t SwitchBits[3] = {SwitchBacklight, SwitchClouds, SwitchStorms};

bool isSwitchColumn(int column) { return column >= ScheduleGrid::FirstSwitchColumn && column < ScheduleGrid::ColumnCount; }
bool isLevelColumn(int column) { return column >= ScheduleGrid::FirstLevelColumn && column < ScheduleGrid::FirstSwitchColumn; }

QString twoDigits(int value) { return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0')); }

const QString DefaultDescription = QStringLiteral(
    "Column \"Time\" is used in mode \"Auto\", column \"Alt\" is used in mode \"Geo\".\n\n"
    "Time and altitude have to be in ascending order.\n00:00 = begin of the day,\n24:00 = end of the day.\n\n"
    "Move line: Click in column \"Pos.\", then drag.\n\n"
    "Permanently store configuration: \"Options / Save settings permanently\".");

// The line the controller reports it is at. The byte is read unsigned: a schedule may have
// up to 255 lines, and 0xFF (none) is never a line index.
int activeLineIndex(const DeviceImage &d) { return uint8_t(d.Info.ActiveLine); }

// Paints the cells (the switch and line-number cells are coloured by their meaning, the
// level cells by their channel's colour) and provides the editors, which store every
// keystroke at once.
class ScheduleCellDelegate : public QStyledItemDelegate {
public:
    ScheduleCellDelegate(ScheduleGrid *grid, QObject *parent) : QStyledItemDelegate(parent), m_grid(grid) {}

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &, const QModelIndex &index) const override
    {
        auto *editor = new QLineEdit(parent);
        editor->setObjectName(QStringLiteral("sgScheduleEditor"));
        editor->setFrame(false);
        // The focus shows as a frame in the highlight colour, in every theme.
        editor->setStyleSheet(QStringLiteral("QLineEdit { border: 2px solid palette(highlight); padding: 0; }"));
        const int column = index.column();
        const int gridRow = index.row() + 1;
        ScheduleGrid *grid = m_grid;
        grid->sgSchedule->setCurrentEditor(editor);
        grid->editorOpened(gridRow);
        // textEdited: only what the user types, never a text set by the program.
        QObject::connect(editor, &QLineEdit::textEdited, editor, [grid, column, gridRow](const QString &text) {
            grid->sgScheduleSetEditText(column, gridRow, text);
        });
        return editor;
    }

    void setEditorData(QWidget *editor, const QModelIndex &index) const override
    {
        auto *line = static_cast<QLineEdit *>(editor);
        const QString text = index.data(Qt::EditRole).toString();
        // The cell follows the editor while typing; writing it back would move the cursor.
        if (line->text() != text)
            line->setText(text);
    }

    // Everything typed has been stored already.
    void setModelData(QWidget *, QAbstractItemModel *, const QModelIndex &) const override {}

    void destroyEditor(QWidget *editor, const QModelIndex &index) const override
    {
        const int column = index.column();
        const int gridRow = index.row() + 1;
        QStyledItemDelegate::destroyEditor(editor, index);
        m_grid->editorClosed(column, gridRow);
    }

    void updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option, const QModelIndex &) const override
    {
        editor->setGeometry(option.rect);
    }

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        const int column = index.column();
        const bool outOfOrder = column == ScheduleGrid::TimeColumn && m_grid->isOutOfOrder(index.row());
        if ((column == ScheduleGrid::TimeColumn && !outOfOrder) ||
            (option.state & (QStyle::State_Selected | QStyle::State_HasFocus))) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        try {
            const QString text = index.data(Qt::DisplayRole).toString();
            const int channel = column - ScheduleGrid::FirstLevelColumn;
            const bool enabled = option.state & QStyle::State_Enabled;
            const auto [background, foreground] =
                outOfOrder ? OutOfOrderCellColours(option.palette, enabled)
                           : ScheduleCellColours(column, isLevelColumn(column) ? m_grid->device().Config.ColorName[channel] : 0,
                                                 index.row() == activeLineIndex(m_grid->device()),
                                                 text == Translate(QStringLiteral("OFF")), option.palette, enabled);
            painter->fillRect(option.rect, background);
            const QRect textRect = option.rect.adjusted(2, 2, 0, 0);
            painter->save();
            painter->setClipRect(textRect);
            QFont font = option.font;
            // Not by its colour alone.
            font.setBold(outOfOrder);
            painter->setFont(font);
            painter->setPen(foreground);
            painter->drawText(textRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
            painter->restore();
        } catch (...) {
            // One cell that cannot be drawn stays as far as it got.
        }
    }

private:
    ScheduleGrid *m_grid;
};

// Draws its text in the warning colour of whatever theme is in use, so that it follows a
// theme change without a palette of its own.
class OrderLabel : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        const QPalette &p = palette();
        QColor colour = OutOfOrderTextColour(p);
        if (!isEnabled())
            colour = QColor(contrast::DisabledOn(p.color(QPalette::Window).rgb(), colour.rgb()));
        painter.setPen(colour);
        painter.drawText(contentsRect(), int(alignment()) | Qt::TextSingleLine, text());
    }
};

// Red mixed into a background, a quarter of the way in a light theme and a third in a dark
// one: pale enough for dark text on white, deep enough to show on a dark base.
QColor reddened(const QColor &background)
{
    const QRgb b = background.rgb();
    const bool dark = contrast::RelativeLuminance(b) < 0.3;
    const double share = dark ? 1.0 / 3 : 0.25;
    const auto mix = [share](int from, int to) { return int(std::lround(from + (to - from) * share)); };
    return QColor(mix(qRed(b), 0xE0), mix(qGreen(b), 0x10), mix(qBlue(b), 0x10));
}

} // namespace

CellColours OutOfOrderCellColours(const QPalette &palette, bool enabled)
{
    const QColor background = reddened(palette.color(QPalette::Active, QPalette::Base));
    const QRgb legible = contrast::TextOn(background.rgb(), palette.color(QPalette::Active, QPalette::Text).rgb());
    return {background, QColor(enabled ? legible : contrast::DisabledOn(background.rgb(), legible))};
}

QColor OutOfOrderTextColour(const QPalette &palette)
{
    return QColor(contrast::LegibleOn(palette.color(QPalette::Active, QPalette::Window).rgb(), qRgb(0xE0, 0x10, 0x10)));
}

CellColours ScheduleCellColours(int column, int colourIndex, bool activeLine, bool off, const QPalette &palette,
                                bool enabled)
{
    QColor background;
    QColor text;
    if (column == 0) {
        background = palette.color(QPalette::Active, activeLine ? QPalette::Highlight : QPalette::Button);
        text = palette.color(QPalette::Active, activeLine ? QPalette::HighlightedText : QPalette::ButtonText);
    } else if (column >= ScheduleGrid::FirstLevelColumn && column < ScheduleGrid::FirstSwitchColumn) {
        background = QColor(QRgb(PaletteFor(colourIndex).pastel));
        text = palette.color(QPalette::Active, QPalette::Text);
    } else {
        background = palette.color(QPalette::Active, off ? QPalette::Button : QPalette::Base);
        text = palette.color(QPalette::Active, off ? QPalette::ButtonText : QPalette::Text);
    }
    // The theme's text where it reads well on the cell (the pastels are light in every
    // theme), and a fainter but legible one while the page is disabled.
    const QRgb legible = contrast::TextOn(background.rgb(), text.rgb());
    return {background, QColor(enabled ? legible : contrast::DisabledOn(background.rgb(), legible))};
}

// ---------------------------------------------------------------------------
// The grid control

ScheduleGridWidget::ScheduleGridWidget(ScheduleGrid *owner, QWidget *parent) : QTableWidget(parent), m_owner(owner)
{
    horizontalHeader()->viewport()->installEventFilter(this);
}

ScheduleGridWidget::~ScheduleGridWidget()
{
    // An editor still open is released by the base classes' destructors; the page must
    // not look at the grid then.
    m_owner->sgSchedule = nullptr;
}

void ScheduleGridWidget::setCurrentEditor(QLineEdit *editor) { m_editor = editor; }

QLineEdit *ScheduleGridWidget::currentEditor() const
{
    return state() == QAbstractItemView::EditingState ? m_editor.data() : nullptr;
}

void ScheduleGridWidget::mousePressEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    const QModelIndex index = indexAt(pos);
    if (!index.isValid()) {
        QTableWidget::mousePressEvent(event);
        return;
    }
    const int column = index.column();
    const int gridRow = index.row() + 1;
    if (event->button() == Qt::LeftButton && isCursorColumn(column))
        QTableWidget::mousePressEvent(event);
    else
        event->accept();
    if (event->button() == Qt::LeftButton && column == 0 && m_owner->hasLine(gridRow)) {
        // What was typed is stored already; an editor left open would stay on its row
        // while the line under it moves away.
        if (m_editor && state() == QAbstractItemView::EditingState)
            closeEditor(m_editor, QAbstractItemDelegate::NoHint);
        m_dragRow = index.row();
        m_dropRow = m_dragRow;
        viewport()->setCursor(Qt::SizeVerCursor);
    }
    m_owner->sgScheduleMouseDown(event->button(), column, gridRow, event->globalPosition().toPoint());
}

int ScheduleGridWidget::rowForDrop(int y) const
{
    const int lastLine = std::min<int>(rowCount(), int(m_owner->device().Schedule.size())) - 1;
    if (lastLine < 0)
        return -1;
    int row = rowAt(y);
    if (row < 0)
        row = y < 0 ? std::max(0, rowAt(0) - 1) : lastLine;
    return std::clamp(row, 0, lastLine);
}

void ScheduleGridWidget::mouseMoveEvent(QMouseEvent *event)
{
    if (m_dragRow < 0) {
        QTableWidget::mouseMoveEvent(event);
        return;
    }
    const int y = int(event->position().y());
    // Dragging past the top or bottom edge scrolls, one line per move.
    if (y < 0)
        verticalScrollBar()->setValue(verticalScrollBar()->value() - 1);
    else if (y >= viewport()->height())
        verticalScrollBar()->setValue(verticalScrollBar()->value() + 1);
    const int row = rowForDrop(y);
    if (row != m_dropRow) {
        m_dropRow = row;
        viewport()->update();
    }
    event->accept();
}

void ScheduleGridWidget::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_dragRow < 0) {
        QTableWidget::mouseReleaseEvent(event);
        return;
    }
    const int from = m_dragRow;
    const int to = m_dropRow;
    m_dragRow = -1;
    m_dropRow = -1;
    viewport()->unsetCursor();
    viewport()->update();
    event->accept();
    if (to >= 0 && to != from)
        m_owner->moveRow(from + 1, to + 1);
}

void ScheduleGridWidget::paintEvent(QPaintEvent *event)
{
    QTableWidget::paintEvent(event);
    if (m_dragRow < 0 || m_dropRow < 0 || m_dropRow == m_dragRow)
        return;
    // Where the moved line will land: above the target row when moving up, below it when
    // moving down.
    const int top = rowViewportPosition(m_dropRow);
    const int y = m_dropRow < m_dragRow ? top : top + rowHeight(m_dropRow) - 1;
    QPainter painter(viewport());
    painter.fillRect(QRect(0, y - 1, viewport()->width(), 3), palette().color(QPalette::Highlight));
}

QModelIndex ScheduleGridWidget::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers)
{
    const int rows = std::min<int>(rowCount(), int(m_owner->device().Schedule.size()));
    if (rows <= 0)
        return QModelIndex();
    const QModelIndex current = currentIndex();
    // Coming into the grid: its first cell.
    if (!current.isValid())
        return model()->index(0, 1);
    int row = current.isValid() ? std::clamp(current.row(), 0, rows - 1) : 0;
    int column = current.isValid() && isKeyColumn(current.column()) ? current.column() : 1;
    // Tab goes over the switches (one key would toggle, the next go on); the arrows reach them.
    constexpr int last = ScheduleGrid::ColumnCount - 1;
    constexpr int lastEdited = ScheduleGrid::FirstSwitchColumn - 1;
    switch (action) {
    // Tab past the last cell and Backtab before the first leave the grid.
    case MoveNext:
        if (column < lastEdited)
            ++column;
        else if (row + 1 < rows)
            ++row, column = 1;
        else
            return QModelIndex();
        break;
    case MovePrevious:
        if (column > lastEdited)
            column = lastEdited;
        else if (column > 1)
            --column;
        else if (row > 0)
            --row, column = lastEdited;
        else
            return QModelIndex();
        break;
    case MoveLeft: column = std::max(1, column - 1); break;
    case MoveRight: column = std::min(last, column + 1); break;
    default: {
        const QModelIndex moved = QTableWidget::moveCursor(action, modifiers);
        if (!moved.isValid())
            return moved;
        row = std::clamp(moved.row(), 0, rows - 1);
        column = std::clamp(moved.column(), 1, last);
        break;
    }
    }
    return model()->index(row, column);
}

bool ScheduleGridWidget::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == horizontalHeader()->viewport() && event->type() == QEvent::MouseButtonPress) {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::RightButton) {
            const int column = horizontalHeader()->logicalIndexAt(mouse->position().toPoint());
            if (column >= 0)
                m_owner->sgScheduleMouseDown(Qt::RightButton, column, 0, mouse->globalPosition().toPoint());
            return true;
        }
    }
    return QTableWidget::eventFilter(watched, event);
}

void ScheduleGridWidget::keyPressEvent(QKeyEvent *event)
{
    const QModelIndex current = currentIndex();
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (state() != EditingState && current.isValid() && event->modifiers() == Qt::NoModifier) {
        const int column = current.column();
        if (isSwitchColumn(column) && (enter || event->key() == Qt::Key_Space)) {
            m_owner->sgScheduleMouseDown(Qt::LeftButton, column, current.row() + 1, QPoint());
            event->accept();
            return;
        }
        if (enter && isCursorColumn(column) && edit(current, EditKeyPressed, event)) {
            event->accept();
            return;
        }
    }
    QTableWidget::keyPressEvent(event);
}

void ScheduleGridWidget::focusInEvent(QFocusEvent *event)
{
    QTableWidget::focusInEvent(event);
    // Tabbed into: the cursor's cell is in edit mode at once, as after a move within.
    const Qt::FocusReason reason = event->reason();
    const QModelIndex current = currentIndex();
    if ((reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason || reason == Qt::ShortcutFocusReason) &&
        state() != EditingState && current.isValid() && isCursorColumn(current.column()))
        edit(current, CurrentChanged, nullptr);
}

void ScheduleGridWidget::closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint)
{
    if (hint == QAbstractItemDelegate::RevertModelCache)
        m_owner->revertEdit();
    const bool next = hint == QAbstractItemDelegate::EditNextItem;
    const bool leaves = (next || hint == QAbstractItemDelegate::EditPreviousItem) &&
                        !moveCursor(next ? MoveNext : MovePrevious, Qt::NoModifier).isValid();
    QTableWidget::closeEditor(editor, hint);
    // Tab in the editor of the last cell (Backtab in the first) goes on to the next control
    // at once, not first back to the grid.
    if (leaves)
        QWidget::focusNextPrevChild(next);
}

void ScheduleGridWidget::showEvent(QShowEvent *event)
{
    // The language table is loaded after the grid is built; the fixed headers are looked
    // up again whenever the grid comes into view.
    m_owner->setFixedHeaders();
    m_owner->showOrder(true);
    QTableWidget::showEvent(event);
}

// ---------------------------------------------------------------------------
// The page

ScheduleGrid::ScheduleGrid(PageHost &host, DeviceModel &model) : QObject(host.window()), Page(model), w(host), m_sheet(host.page(QStringLiteral("tsSchedule")))
{
    QWidget *page = m_sheet;
    auto *layout = new QHBoxLayout(page);
    layout->setContentsMargins(6, 6, 6, 6);

    sgSchedule = new ScheduleGridWidget(this, page);
    sgSchedule->setObjectName(QStringLiteral("sgSchedule"));
    sgSchedule->setColumnCount(ColumnCount);
    sgSchedule->setRowCount(1);
    sgSchedule->setItemDelegate(new ScheduleCellDelegate(this, sgSchedule));
    sgSchedule->setSelectionMode(QAbstractItemView::SingleSelection);
    sgSchedule->setSelectionBehavior(QAbstractItemView::SelectItems);
    // The editor comes with the cursor, as in a spreadsheet that is always in edit mode.
    sgSchedule->setEditTriggers(QAbstractItemView::CurrentChanged | QAbstractItemView::AnyKeyPressed |
                                QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                                QAbstractItemView::EditKeyPressed);
    sgSchedule->setTabKeyNavigation(true);
    sgSchedule->setWordWrap(false);
    sgSchedule->setCornerButtonEnabled(false);
    sgSchedule->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);

    QHeaderView *header = sgSchedule->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setSectionsClickable(false);
    header->setHighlightSections(false);
    header->setDefaultSectionSize(DefaultColumnWidth);
    header->setMinimumSectionSize(16);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    for (int column = 0; column < ColumnCount; ++column) {
        sgSchedule->setHorizontalHeaderItem(column, new QTableWidgetItem);
        const int width = column == 0 ? LineColumnWidth : isSwitchColumn(column) ? SwitchColumnWidth : DefaultColumnWidth;
        sgSchedule->setColumnWidth(column, width);
    }
    for (int channel = 0; channel < ChannelCount; ++channel)
        sgSchedule->horizontalHeaderItem(FirstLevelColumn + channel)->setText(ChannelLetter(channel));
    // Headers wrap between words and never cut a colour name; the channels share the width
    // the page has beyond that.
    new GridColumnFitter(sgSchedule, FirstLevelColumn, FirstSwitchColumn);

    QHeaderView *rows = sgSchedule->verticalHeader();
    rows->setVisible(false);
    // Never lower than the text needs, whatever font the desktop uses.
    const int rowHeight = std::max(DefaultRowHeight, sgSchedule->fontMetrics().height() + 4);
    rows->setMinimumSectionSize(rowHeight);
    rows->setDefaultSectionSize(rowHeight);
    rows->setSectionResizeMode(QHeaderView::Fixed);

    memDescription = new QPlainTextEdit(page);
    memDescription->setObjectName(QStringLiteral("memDescription"));
    memDescription->setReadOnly(true);
    memDescription->setPlainText(DefaultDescription);
    memDescription->setFixedWidth(200);
    memDescription->setFrameShape(QFrame::NoFrame);
    memDescription->setBackgroundVisible(false);
    // Text on the page's own colour, legible also while the page waits for a connection.
    QPalette memoPalette = memDescription->palette();
    SetLegibleColours(memoPalette, QApplication::palette(memDescription), QPalette::Base, QPalette::Text,
                      memoPalette.color(QPalette::Window));
    memDescription->setPalette(memoPalette);

    // Under the grid, its room kept while it is hidden: the grid does not jump while a
    // time being typed is out of order and back again from one key to the next.
    lblScheduleOrder = new OrderLabel(page);
    lblScheduleOrder->setObjectName(QStringLiteral("lblScheduleOrder"));
    QFont orderFont = lblScheduleOrder->font();
    orderFont.setBold(true);
    lblScheduleOrder->setFont(orderFont);
    lblScheduleOrder->setText(QStringLiteral(" "));
    QSizePolicy orderPolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    orderPolicy.setRetainSizeWhenHidden(true);
    lblScheduleOrder->setSizePolicy(orderPolicy);
    lblScheduleOrder->setMinimumHeight(lblScheduleOrder->sizeHint().height());
    lblScheduleOrder->hide();

    auto *gridColumn = new QVBoxLayout;
    gridColumn->setContentsMargins(0, 0, 0, 0);
    gridColumn->addWidget(sgSchedule, 1);
    gridColumn->addWidget(lblScheduleOrder);
    layout->addLayout(gridColumn, 1);
    layout->addWidget(memDescription);
    // Every change of the schedule, whoever made it (typing here, a drag on the light
    // curves, a download, an import), may put lines out of order or back in.
    connect(&model, &DeviceModel::changed, this, [this](const DeviceChange &change) {
        if (change.parts & PartSchedule)
            showOrder();
    });

    pumCol = new QMenu(sgSchedule);
    pumCol->setObjectName(QStringLiteral("pumCol"));
    auto item = [this](const char *name, const char *caption, void (ScheduleGrid::*handler)()) {
        auto *action = pumCol->addAction(QString::fromLatin1(caption));
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, handler);
    };
    item("mnuCopyCol", "Copy content of this column", &ScheduleGrid::mnuCopyColClick);
    item("mnuPasteCol", "Paste into this column", &ScheduleGrid::mnuPasteColClick);
    item("mnuSwapCol", "Swap this and copied column", &ScheduleGrid::mnuSwapColClick);
    connect(pumCol, &QMenu::aboutToShow, this, &ScheduleGrid::pumColPopup);

    setFixedHeaders();
    fillRow(0);
}

void ScheduleGrid::setFixedHeaders()
{
    auto set = [this](int column, const QString &text) {
        QTableWidgetItem *header = sgSchedule->horizontalHeaderItem(column);
        if (!header)
            sgSchedule->setHorizontalHeaderItem(column, header = new QTableWidgetItem);
        if (header->text() != text)
            header->setText(text);
        header->setToolTip(text);
    };
    set(0, Translate(QStringLiteral("Line")));
    set(TimeColumn, Translate(m_geoShown ? QStringLiteral("Altitude") : QStringLiteral("Time")));
    set(14, Translate(QStringLiteral("Display")));
    set(15, Translate(QStringLiteral("Clouds")));
    set(16, Translate(QStringLiteral("Storms")));
    // The channel names are set elsewhere; their full text is a tool tip too, since the
    // columns are narrow.
    for (int column = FirstLevelColumn; column < FirstSwitchColumn; ++column)
        if (QTableWidgetItem *header = sgSchedule->horizontalHeaderItem(column))
            header->setToolTip(header->text());
}

bool ScheduleGrid::hasLine(int gridRow) const
{
    return gridRow >= 1 && gridRow - 1 < int(device().Schedule.size()) && gridRow - 1 < sgSchedule->rowCount();
}

int ScheduleGrid::gridRowCount() const { return sgSchedule->rowCount() + 1; }

QString ScheduleGrid::cellText(int column, int gridRow) const
{
    if (gridRow == 0) {
        const QTableWidgetItem *header = sgSchedule->horizontalHeaderItem(column);
        return header ? header->text() : QString();
    }
    const QTableWidgetItem *cell = sgSchedule->item(gridRow - 1, column);
    return cell ? cell->text() : QString();
}

void ScheduleGrid::setCellText(int column, int gridRow, const QString &text)
{
    if (gridRow <= 0 || gridRow > sgSchedule->rowCount() || column < 0 || column >= ColumnCount)
        return;
    QTableWidgetItem *cell = sgSchedule->item(gridRow - 1, column);
    if (!cell)
        sgSchedule->setItem(gridRow - 1, column, cell = new QTableWidgetItem);
    cell->setText(text);
}

QString ScheduleGrid::cellTextFor(int column, int line) const
{
    const ScheduleLine &s = device().Schedule[std::size_t(line)];
    if (column == 0)
        return QString::number(line);
    if (column == TimeColumn) {
        if (m_geoShown) {
            const std::optional<double> altitude = curves::AltitudeDegrees(s.Alt);
            return altitude ? FormatUpTo(*altitude, 2) : QStringLiteral("0");
        }
        return twoDigits(s.Hour) + QLatin1Char(':') + twoDigits(s.Minute);
    }
    if (isLevelColumn(column))
        return QLocale().toString(int(s.Color16[column - FirstLevelColumn]));
    return Translate((s.Switch & SwitchBits[column - FirstSwitchColumn]) ? QStringLiteral("ON") : QStringLiteral("OFF"));
}

void ScheduleGrid::fillRow(int row)
{
    const bool line = row < int(device().Schedule.size());
    for (int column = 0; column < ColumnCount; ++column) {
        QTableWidgetItem *cell = sgSchedule->item(row, column);
        if (!cell)
            sgSchedule->setItem(row, column, cell = new QTableWidgetItem);
        cell->setText(line ? cellTextFor(column, row) : QString());
        // Only the time and level cells of a real line take an editor; its switches take
        // the keys' cursor too.
        const bool editable = line && ScheduleGridWidget::isCursorColumn(column);
        const Qt::ItemFlags flags = editable ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable
                                    : line && isSwitchColumn(column) ? Qt::ItemIsEnabled | Qt::ItemIsSelectable
                                                                     : Qt::ItemIsEnabled;
        if (cell->flags() != flags)
            cell->setFlags(flags);
    }
}

void ScheduleGrid::FillScheduleGrid()
{
    m_geoShown = device().Config.Mode == ModeGeo;
    setFixedHeaders();
    const int lines = int(device().Schedule.size());
    const int tableRows = std::max(1, lines);
    if (sgSchedule->rowCount() != tableRows)
        sgSchedule->setRowCount(tableRows);
    m_tag = activeLineIndex(device());
    {
        // Thousands of single-cell notices would each cost a repaint request; one
        // repaint of the whole grid follows instead.
        const QSignalBlocker quiet(sgSchedule->model());
        for (int row = 0; row < tableRows; ++row)
            fillRow(row);
    }
    // Also the column's meaning may have changed, and with it the label's words.
    showOrder(true);
    sgSchedule->viewport()->update();
}

void ScheduleGrid::showOrder(bool force)
{
    if (!sgSchedule)
        return;
    std::vector<int> lines = curves::LinesOutOfOrder(device().Schedule, m_geoShown);
    if (lines == m_outOfOrder && !force)
        return;
    const std::vector<int> before = std::exchange(m_outOfOrder, std::move(lines));
    // Only the time cells' marks and tool tips changed.
    const QString hint = Translate(m_geoShown ? QStringLiteral("AltitudeOrderHint") : QStringLiteral("TimeOrderHint"));
    for (int row = 0; row < sgSchedule->rowCount(); ++row) {
        if (QTableWidgetItem *cell = sgSchedule->item(row, TimeColumn)) {
            const QString tip = isOutOfOrder(row) ? hint : QString();
            if (cell->toolTip() != tip)
                cell->setToolTip(tip);
        }
    }
    if (m_outOfOrder.empty()) {
        lblScheduleOrder->hide();
        lblScheduleOrder->setToolTip(QString());
        lblScheduleOrder->setAccessibleName(QString());
    } else {
        // A long list is cut short: the marked cells show the rest.
        constexpr std::size_t Listed = 12;
        QStringList numbers;
        for (std::size_t k = 0; k < std::min(Listed, m_outOfOrder.size()); ++k)
            numbers.append(QString::number(m_outOfOrder[k]));
        if (m_outOfOrder.size() > Listed)
            numbers.append(QStringLiteral("…"));
        const bool one = m_outOfOrder.size() == 1;
        const QString key = m_geoShown ? (one ? QStringLiteral("AltitudeOutOfOrder") : QStringLiteral("AltitudesOutOfOrder"))
                                       : (one ? QStringLiteral("TimeOutOfOrder") : QStringLiteral("TimesOutOfOrder"));
        const QString text = TranslateFmt(key, {numbers.join(QStringLiteral(", "))});
        lblScheduleOrder->setText(text);
        lblScheduleOrder->setToolTip(text);
        lblScheduleOrder->setAccessibleName(text);
        lblScheduleOrder->show();
    }
    if (before != m_outOfOrder)
        sgSchedule->viewport()->update();
}

void ScheduleGrid::StoreScheduleLine(int line)
{
    if (line < 0 || line >= int(device().Schedule.size()) || line >= sgSchedule->rowCount())
        return;
    const int gridRow = line + 1;
    ScheduleLine s = device().Schedule[std::size_t(line)];

    // Column 1 is read as what it shows: a mode changed since the last fill must not turn
    // the time shown into an altitude, or the other way round.
    const QString time = cellText(TimeColumn, gridRow);
    if (m_geoShown) {
        // The cell shows the altitude rounded to 0.01°; read back unchanged it would move
        // the stored sine by a unit now and then, so an untouched altitude is kept as is.
        const std::optional<double> degrees = ParseDecimal(time);
        if (degrees && time != cellTextFor(TimeColumn, line))
            s.Alt = curves::StoredAltitude(*degrees);
    } else {
        long long hour = s.Hour;
        long long minute = s.Minute;
        const qsizetype colon = time.indexOf(QLatin1Char(':'));
        if (colon >= 0) {
            if (const auto h = ParseInteger(time.left(colon)))
                hour = *h;
            if (const auto m = ParseInteger(time.mid(colon + 1)))
                minute = *m;
        } else if (const auto m = ParseInteger(time)) {
            minute = *m;
        }
        hour = std::clamp<long long>(hour, 0, 24);
        minute = std::clamp<long long>(minute, 0, 59);
        if (hour == 24)
            minute = 0; // nothing lies beyond the end of the day
        s.Hour = uint8_t(hour);
        s.Minute = uint8_t(minute);
    }

    for (int channel = 0; channel < ChannelCount; ++channel) {
        if (const std::optional<double> level = ParseDecimal(cellText(FirstLevelColumn + channel, gridRow)))
            s.Color16[channel] = uint8_t(std::clamp<long long>(RoundHalfEven(*level), 0, 100));
    }

    const QString off = Translate(QStringLiteral("OFF"));
    for (int k = 0; k < 3; ++k) {
        if (cellText(FirstSwitchColumn + k, gridRow) == off)
            s.Switch &= uint8_t(~SwitchBits[k]);
        else
            s.Switch |= SwitchBits[k];
    }

    model().setScheduleLine(line, s);
}

void ScheduleGrid::sgScheduleSetEditText(int column, int gridRow, const QString &text)
{
    if (text.isEmpty() || !hasLine(gridRow))
        return;
    {
        // The cell is the editor's model; its own notice would only echo back.
        const QSignalBlocker quiet(sgSchedule->model());
        setCellText(column, gridRow, text);
    }
    StoreScheduleLine(gridRow - 1);
}

void ScheduleGrid::editorClosed(int column, int gridRow)
{
    if (!sgSchedule || !hasLine(gridRow))
        return;
    setCellText(column, gridRow, cellTextFor(column, gridRow - 1));
}

void ScheduleGrid::editorOpened(int gridRow)
{
    m_editedLine = hasLine(gridRow) ? gridRow - 1 : -1;
    if (m_editedLine >= 0)
        m_lineBeforeEdit = device().Schedule[std::size_t(m_editedLine)];
}

void ScheduleGrid::revertEdit()
{
    const int line = m_editedLine;
    m_editedLine = -1;
    if (line < 0 || line >= int(device().Schedule.size()))
        return;
    const ScheduleLine &now = device().Schedule[std::size_t(line)];
    if (std::memcmp(&now, &m_lineBeforeEdit, sizeof now) != 0)
        model().setScheduleLine(line, m_lineBeforeEdit);
}

void ScheduleGrid::showConfig()
{
    // Whoever changed the mode (the menu, an import, the controller or its remote): column
    // 1 must say what the mode means. A pending download refills the grid when it ends.
    if ((device().Config.Mode == ModeGeo) != m_geoShown && !model().scheduleDownloading())
        FillScheduleGrid();
}

void ScheduleGrid::pageShown(QWidget *, unsigned missed)
{
    // Filled anew whenever it comes into view (the light curves edit the same lines), unless
    // a schedule download is pending: its end fills the grid.
    if (model().scheduleDownloading()) {
        refresh(missed & ~RefreshSchedule);
        return;
    }
    refresh(missed & RefreshChannelNames);
    FillScheduleGrid();
}

void ScheduleGrid::showChannelNames()
{
    for (int i = 0; i < ChannelCount && FirstLevelColumn + i < sgSchedule->columnCount(); ++i) {
        QTableWidgetItem *header = sgSchedule->horizontalHeaderItem(FirstLevelColumn + i);
        if (!header)
            sgSchedule->setHorizontalHeaderItem(FirstLevelColumn + i, header = new QTableWidgetItem);
        header->setText(ChannelCaption(i, device().Config.ColorName[i]));
    }
}

void ScheduleGrid::applyEnabling(const EnableState &state) { m_rules.apply(w, {m_sheet}, state); }

void ScheduleGrid::showInfo()
{
    if (m_tag != activeLineIndex(device())) {
        m_tag = activeLineIndex(device());
        sgSchedule->viewport()->update();
    }
}

void ScheduleGrid::sgScheduleMouseDown(Qt::MouseButton button, int column, int gridRow, const QPoint &globalPos)
{
    if (button == Qt::LeftButton) {
        if (gridRow == 0 || !isSwitchColumn(column) || !hasLine(gridRow))
            return;
        const QString on = Translate(QStringLiteral("ON"));
        setCellText(column, gridRow, cellText(column, gridRow) == on ? Translate(QStringLiteral("OFF")) : on);
        StoreScheduleLine(gridRow - 1);
    } else if (button == Qt::RightButton) {
        PopupChannel = column - FirstLevelColumn;
        if (gridRow == 0) {
            if (isLevelColumn(column)) {
                pumColPopup();
                pumCol->popup(globalPos);
            }
        } else if (column == 0 && hasLine(gridRow)) {
            model().setActiveLine(gridRow - 1);
            m_tag = gridRow - 1;
            sgSchedule->viewport()->update();
        }
    }
}

void ScheduleGrid::moveRow(int fromGridRow, int toGridRow)
{
    if (!hasLine(fromGridRow) || !hasLine(toGridRow) || fromGridRow == toGridRow)
        return;
    const int from = fromGridRow - 1;
    const int to = toGridRow - 1;
    const int first = std::min(from, to);
    const int last = std::max(from, to);
    std::vector<QStringList> texts;
    for (int row = first; row <= last; ++row) {
        QStringList cells;
        for (int column = 0; column < ColumnCount; ++column)
            cells.append(cellText(column, row + 1));
        texts.push_back(cells);
    }
    if (from < to)
        std::rotate(texts.begin(), texts.begin() + 1, texts.end());
    else
        std::rotate(texts.rbegin(), texts.rbegin() + 1, texts.rend());
    {
        const QSignalBlocker quiet(sgSchedule->model());
        for (int row = first; row <= last; ++row)
            for (int column = 0; column < ColumnCount; ++column)
                setCellText(column, row + 1, texts[std::size_t(row - first)][column]);
    }
    sgSchedule->viewport()->update();
    sgScheduleRowMoved(fromGridRow, toGridRow);
}

void ScheduleGrid::sgScheduleRowMoved(int from, int to)
{
    const int first = std::min(from, to);
    const int last = std::max(from, to);
    const DeviceModel::EditStep step(
        model(), TranslateFmt(QStringLiteral("UndoMoveLine"), {QString::number(from - 1), QString::number(to - 1)}));
    // The grid shows only one of the time and the altitude. The lines themselves move
    // first, so the field not shown travels with its line instead of staying behind.
    if (hasLine(first) && hasLine(last))
        model().moveScheduleLine(from - 1, to - 1);
    for (int gridRow = first; gridRow <= last; ++gridRow) {
        setCellText(0, gridRow, QString::number(gridRow - 1));
        StoreScheduleLine(gridRow - 1);
    }
}

void ScheduleGrid::pumColPopup()
{
    const bool copied = w.scheduleEdit().copiedChannel != -1;
    pumCol->findChild<QAction *>(QStringLiteral("mnuPasteCol"))->setEnabled(copied);
    pumCol->findChild<QAction *>(QStringLiteral("mnuSwapCol"))->setEnabled(copied);
}

void ScheduleGrid::mnuCopyColClick() { w.scheduleEdit().copiedChannel = PopupChannel; }

namespace {
bool isChannel(int channel) { return channel >= 0 && channel < ChannelCount; }
} // namespace

void ScheduleGrid::mnuPasteColClick()
{
    const int source = w.scheduleEdit().copiedChannel;
    const int target = PopupChannel;
    if (!isChannel(source) || !isChannel(target))
        return;
    const DeviceModel::EditStep step(model(), TranslateFmt(QStringLiteral("UndoPasteColumn"),
                                                           {ChannelLetter(source), ChannelLetter(target)}));
    model().editColumns([source, target](ConfigRecord &config, std::vector<ScheduleLine> &schedule) {
        config.ColorName[target] = config.ColorName[source];
        for (ScheduleLine &line : schedule)
            line.Color16[target] = line.Color16[source];
    });
}

void ScheduleGrid::mnuSwapColClick()
{
    const int source = w.scheduleEdit().copiedChannel;
    const int target = PopupChannel;
    if (!isChannel(source) || !isChannel(target))
        return;
    const DeviceModel::EditStep step(model(), TranslateFmt(QStringLiteral("UndoSwapColumns"),
                                                           {ChannelLetter(source), ChannelLetter(target)}));
    model().editColumns([source, target](ConfigRecord &config, std::vector<ScheduleLine> &schedule) {
        std::swap(config.ColorName[target], config.ColorName[source]);
        for (ScheduleLine &line : schedule)
            std::swap(line.Color16[target], line.Color16[source]);
    });
}

