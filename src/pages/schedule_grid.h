// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QTableWidget>

#include <algorithm>
#include <vector>

#include "pages/enable_rules.h"
#include "pages/page.h"

class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class PageHost;
class ScheduleGrid;

// The colours a painted cell of the schedule grid gets (all but the time column and the
// cursor's cell): column 0 marks the controller's active line, the level columns carry their
// channel's pastel (colourIndex), the switch columns tell OFF from ON. The text always reaches
// the readable contrast on the background, enabled or not.
struct CellColours {
    QColor background;
    QColor text;
};
CellColours ScheduleCellColours(int column, int colourIndex, bool activeLine, bool off, const QPalette &palette,
                                bool enabled);
// A time or altitude out of order: a red tint of the cell's own background, in light and in
// dark themes, with readable text.
CellColours OutOfOrderCellColours(const QPalette &palette, bool enabled);
// The colour of the text that names the lines out of order, on the page's background.
QColor OutOfOrderTextColour(const QPalette &palette);

// The grid control of the Schedule page. Its header row is the table's horizontal header;
// every other grid row is a table row, so grid row r (as the user counts them, header
// included) is table row r − 1 and shows schedule line r − 1. Column 0 holds the line
// numbers: a press there starts moving the line, a right click makes it the controller's
// active line. Columns 14–16 are ON/OFF switches that a click toggles; they and column 0
// never take the cursor.
class ScheduleGridWidget : public QTableWidget {
    Q_OBJECT
public:
    ScheduleGridWidget(ScheduleGrid *owner, QWidget *parent);
    ~ScheduleGridWidget() override;

    // The editor of the cell being edited, if one is open.
    QLineEdit *currentEditor() const;
    void setCurrentEditor(QLineEdit *editor);
    // Table row under a moved line while it is being dragged, −1 otherwise.
    int dropRow() const { return m_dropRow; }

    static bool isCursorColumn(int column) { return column >= 1 && column <= 13; }
    // Columns the arrow keys move the cursor to: the edited ones and the switches, which
    // Space or Enter toggles as a click does.
    static bool isKeyColumn(int column) { return column >= 1 && column <= 16; }

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    // Enter opens the cell's editor (F2 and typing do already); on a switch Space or Enter
    // toggles it.
    void keyPressEvent(QKeyEvent *event) override;
    // Escape: the line gets back what it held when the editor opened (each keystroke was
    // stored and sent at once).
    void closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint) override;
    void focusInEvent(QFocusEvent *event) override;

private:
    int rowForDrop(int y) const;

    ScheduleGrid *m_owner;
    QPointer<QLineEdit> m_editor;
    int m_dragRow = -1;
    int m_dropRow = -1;
};

// The Schedule page: the grid sgSchedule with its column pop-up menu pumCol, and the memo
// memDescription beside it. Every edit goes straight into the device image and marks the
// line for upload.
//
// Out-of-range input: a typed value is limited to what its field means before it is
// stored — hours 0 … 24, minutes 0 … 59 and no time after 24:00, levels 0 … 100 %,
// altitudes −90° … 90° — so the one-byte fields never wrap around to an unrelated value.
// When the editor closes, the cell shows what was stored.
//
// Times (altitudes in mode Geo) out of order are taken as typed, but as long as they are,
// their cells are marked and lblScheduleOrder under the grid names their lines.
class ScheduleGrid : public QObject, public Page {
    Q_OBJECT
public:
    ScheduleGrid(PageHost &host, DeviceModel &model);

    QList<QWidget *> sheets() const override { return {m_sheet}; }
    void applyEnabling(const EnableState &state) override;
    void pageShown(QWidget *sheet, unsigned missed) override;

    static constexpr int ColumnCount = 17;
    static constexpr int TimeColumn = 1;
    static constexpr int FirstLevelColumn = 2;
    static constexpr int FirstSwitchColumn = 14;

    // Rebuilds every cell from the schedule.
    void FillScheduleGrid();
    // Parses the cells of the line back into the schedule (each field on its own; a field
    // that does not parse keeps its value), marks the line changed and requests the upload.
    // Lines beyond the schedule are ignored.
    void StoreScheduleLine(int line);
    // Current-line highlight after a read of Info.
    void showInfo() override;
    // After Config changed (read, imported): refills the grid when the mode changed between
    // Geo and the others, unless a schedule download is pending.
    void showConfig() override;
    // The channel columns' headers ("A: Red").
    void showChannelNames() override;
    void showSchedule() override { FillScheduleGrid(); }
    // Whether column 1 shows altitudes (the grid was filled in mode Geo).
    bool showsAltitudes() const { return m_geoShown; }

    // Mouse handling as the grid reports it; gridRow counts the header row as 0.
    void sgScheduleMouseDown(Qt::MouseButton button, int column, int gridRow, const QPoint &globalPos);
    // A line moved by dragging, in grid rows (header row = 0): the cells have already moved.
    void sgScheduleRowMoved(int from, int to);
    // Moves the row's cells as a drag does, then runs sgScheduleRowMoved.
    void moveRow(int fromGridRow, int toGridRow);
    // Typing in an editor: the cell takes the text and the line is stored at once.
    void sgScheduleSetEditText(int column, int gridRow, const QString &text);
    // The cell after its editor closed: what the schedule now holds.
    void editorClosed(int column, int gridRow);
    // An editor opened on the row: its line as it was, for Escape. revertEdit stores that
    // line again (as typing stores it) when the edit changed it.
    void editorOpened(int gridRow);
    void revertEdit();

    void pumColPopup();
    void mnuCopyColClick();
    void mnuPasteColClick();
    void mnuSwapColClick();

    // The channel of the column last right-clicked (column − 2).
    int PopupChannel = -1;
    // Active line the highlight was last drawn for (the grid's tag).
    int tag() const { return m_tag; }

    // Cell text by grid row (header row 0): the headers, or the cells below.
    QString cellText(int column, int gridRow) const;
    void setCellText(int column, int gridRow, const QString &text);
    // Grid rows including the header row: at least 2.
    int gridRowCount() const;

    // The lines at which the light curve runs backwards, ascending.
    const std::vector<int> &linesOutOfOrder() const { return m_outOfOrder; }
    bool isOutOfOrder(int line) const { return std::binary_search(m_outOfOrder.begin(), m_outOfOrder.end(), line); }

    ScheduleGridWidget *sgSchedule = nullptr;
    QLabel *lblScheduleOrder = nullptr;
    QPlainTextEdit *memDescription = nullptr;
    QMenu *pumCol = nullptr;

private:
    friend class ScheduleGridWidget;
    void setFixedHeaders();
    void fillRow(int line);
    QString cellTextFor(int column, int line) const;
    bool hasLine(int gridRow) const;
    // Marks the lines out of order anew, from the schedule as the grid shows it.
    void showOrder(bool force = false);

    PageHost &w;
    QWidget *m_sheet;
    int m_tag = -1;
    bool m_geoShown = false;
    int m_editedLine = -1;
    ScheduleLine m_lineBeforeEdit{};
    std::vector<int> m_outOfOrder;
    EnableRules m_rules{{"tsSchedule", Enable::Connected}, {"memDescription", Enable::Connected}};
};
