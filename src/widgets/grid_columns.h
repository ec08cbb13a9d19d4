// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Column widths of a grid whose headers must stay readable in full. Where the grid has the
// room, every column is at least as wide as the longest word of its header, and the header
// wraps between words. Where it has not (many columns on a small page), the columns narrow
// to their cells' contents and a header that does not fit across is written upwards, whole.
// The columns of a range share whatever width the grid has beyond that.
#include <QObject>

class QTableWidget;

class GridColumnFitter : public QObject {
    Q_OBJECT
public:
    // Columns [firstStretch, endStretch) take the spare width. The widths set before are the
    // ones the columns keep while there is room for them.
    GridColumnFitter(QTableWidget *grid, int firstStretch, int endStretch);

    // Sets the widths and the header's height for the grid's present size and texts.
    void fit();

    // Whether the header of the column is written upwards.
    bool upright(int column) const;
    // The space the header text of the column takes as drawn, across or upwards, and the
    // room its section gives it.
    QSize textSize(int column) const;
    QSize textRoom(int column) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    int margin() const;
    int widestWord(int column) const;
    int widestCell(int column) const;

    QTableWidget *m_grid;
    QWidget *m_viewport;   // kept: the grid cannot be asked for it while it is torn down
    int m_first;
    int m_end;
    QList<int> m_preferred;
    bool m_fitting = false;
};
