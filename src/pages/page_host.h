// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
class QAction;
class QString;
class QWidget;
struct ScheduleEdit;

// The window as its pages see it: lookup of sheets and menu items, page selection, the
// log and status bar, the connection state and the one modal question. Pages never see
// the window's class, so each can be built and tested on a small stand-in.
class PageHost {
public:
    virtual ~PageHost() = default;

    // The top-level widget: parent of the parts and of their dialogs.
    virtual QWidget *window() const = 0;
    // A tab sheet by object name (tsChannels … tsMessages), a menu item by object name.
    virtual QWidget *page(const QString &name) const = 0;
    virtual QAction *action(const QString &name) const = 0;
    virtual QWidget *currentPage() const = 0;
    // Makes the sheet the current page; reported like a user's click.
    virtual void selectPage(QWidget *sheet) = 0;

    virtual void addLog(const QString &text) = 0;
    // Status bar panel 0 (transient text), 1 (controller clock) or 2 (mode).
    virtual void setStatusPanel(int panel, const QString &text) = 0;

    virtual bool isConnected() const = 0;
    // Modal Yes/No question with No as the default.
    virtual bool confirmYesNo(const QString &text, const QString &caption) = 0;

    // Something the enabling rules depend on changed (the fan mode chosen by the user).
    virtual void enablingChanged() = 0;

    virtual ScheduleEdit &scheduleEdit() = 0;
};
