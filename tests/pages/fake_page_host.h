// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A stand-in for the window that page tests build one page on: a widget holding the tab
// sheets by name, menu items made on demand, the controller's model, and a record of what
// the page asked of the window.
#include <QAction>
#include <QStringList>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QWidget>

#include <memory>

#include "link/device_model.h"
#include "pages/page.h"
#include "pages/page_host.h"
#include "schedule/schedule_edit.h"

class FakePageHost : public PageHost {
public:
    // sheets: the object names of the tab sheets the page under test builds on.
    explicit FakePageHost(const QStringList &sheets) : m_window(std::make_unique<QWidget>())
    {
        m_tabs = new QTabWidget(m_window.get());
        auto *layout = new QVBoxLayout(m_window.get());
        layout->addWidget(m_tabs);
        for (const QString &name : sheets) {
            auto *sheet = new QWidget(m_tabs);
            sheet->setObjectName(name);
            m_tabs->addTab(sheet, name);
        }
        // A command's change is what the window refreshes every part for.
        QObject::connect(&model, &DeviceModel::changed, m_window.get(), [this](const DeviceChange &change) {
            if (change.origin == DeviceChange::Origin::Command)
                changes << change.parts;
        });
    }

    QWidget *window() const override { return m_window.get(); }
    QWidget *page(const QString &name) const override { return m_tabs->findChild<QWidget *>(name); }
    QAction *action(const QString &name) const override
    {
        if (auto *found = m_window->findChild<QAction *>(name))
            return found;
        auto *item = new QAction(name, m_window.get());
        item->setObjectName(name);
        return item;
    }
    QWidget *currentPage() const override { return m_tabs->currentWidget(); }
    void selectPage(QWidget *sheet) override
    {
        if (sheet)
            m_tabs->setCurrentWidget(sheet);
        selected << (sheet ? sheet->objectName() : QString());
    }
    void addLog(const QString &text) override { log << text; }
    void setStatusPanel(int panel, const QString &text) override
    {
        if (panel >= 0 && panel < 3)
            status[panel] = text;
    }
    bool isConnected() const override { return connected; }
    bool confirmYesNo(const QString &text, const QString &caption) override
    {
        asked = caption + u'|' + text;
        return answer;
    }
    void enablingChanged() override { ++enablingChanges; }
    ScheduleEdit &scheduleEdit() override { return edit; }

    bool connected = false;
    bool answer = true;
    QString asked;   // the last question, as "caption|text"
    QStringList selected, log;
    QString status[3];
    QList<unsigned> changes;   // the parts of every command's change of the model
    int enablingChanges = 0;
    ScheduleEdit edit;
    DeviceModel model;
    const DeviceImage &image() const { return model.image(); }
    DeviceImage &loaded() { return model.imageForLoading(); }

private:
    std::unique_ptr<QWidget> m_window;
    QTabWidget *m_tabs;
};
