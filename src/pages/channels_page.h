// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include "pages/enable_rules.h"
#include "pages/page.h"

class PageHost;

// The two channel pages (A-F and G-L): per channel a name label, a colour-name list, a
// level slider, a percent edit and OFF/ON buttons; plus the "all channels" and step-size
// commands.
class ChannelsPage : public QObject, public Page {
    Q_OBJECT
public:
    ChannelsPage(PageHost &host, DeviceModel &model);

    QList<QWidget *> sheets() const override { return m_sheets; }
    void applyEnabling(const EnableState &state) override;

    // The sixteen colour names in every channel's list (after the language is loaded).
    void fillColourLists();

    void trbAChange(int channel);
    void edtAChange(int channel);
    void btnOffAClick(int channel);
    void btnOnAClick(int channel);
    void cmbNameAChange(int channel);
    void mnuAllOffClick() { setAll(0); }
    void mnuAll20Click() { setAll(819); }
    void mnuAllOnClick() { setAll(4096); }
    void mnuStepBigClick();

protected:
    // Controls follow Info.Level, except the focused one.
    void showInfo() override;
    // Colour lists and edit tints.
    void showChannelNames() override;

private:
    void buildPage(QWidget *page, int firstChannel);
    // Slider and edit show the level (the model is told by the caller).
    void showLevel(int channel, int level);
    void setAll(int level);
    // The page's control of that name. The refreshes run with every poll of the
    // controller, and a search of the pages for each of their ~100 controls costs more than
    // the rest of the refresh: each is looked up once.
    template <class T> T *control(const QString &name);

    PageHost &w;
    QList<QWidget *> m_sheets;
    QHash<QString, QPointer<QObject>> m_controls;
    EnableRules m_rules{
        {"mnuAllOff", Enable::Connected}, {"mnuAll20", Enable::Connected}, {"mnuAllOn", Enable::Connected},
        {"mnuStepBig", Enable::Connected}, {"lblName#", Enable::Connected}, {"cmbName#", Enable::Connected},
        {"trb#", Enable::Manual}, {"edt#", Enable::Manual}, {"btnOff#", Enable::Manual}, {"btnOn#", Enable::Manual},
    };
};
