// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/clock_check.h"

#include "app/frm_lumora.h"
#include "link/device_model.h"
#include "link/records.h"
#include "presentation/localization.h"

#include <QAction>
#include <QDateTime>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>

#include <cstdlib>
#include <optional>

namespace {

// A menu item as the user finds it: "Options / Set current time and date".
QString menuPath(const QAction *item)
{
    QStringList path{item->text()};
    for (QObject *o : item->associatedObjects())
        if (auto *menu = qobject_cast<QMenu *>(o); menu && !menu->title().isEmpty()) {
            path.prepend(menu->title());
            break;
        }
    for (QString &part : path)
        part.remove(u'&');
    return path.join(QStringLiteral(" / "));
}

class ClockCheck : public QObject
{
public:
    explicit ClockCheck(TfrmLumora *window) : QObject(window), w(window)
    {
        label = new QLabel(w->sb);
        label->setObjectName(QStringLiteral("lblClockOffset"));
        label->setTextFormat(Qt::PlainText);
        label->setVisible(false);
        w->sb->addPermanentWidget(label);
        connect(&w->model(), &DeviceModel::changed, this, [this](const DeviceChange &change) {
            if (change.origin == DeviceChange::Origin::Controller)
                controllerRead(change);
        });
    }

private:
    void controllerRead(const DeviceChange &change)
    {
        const bool complete = w->IsConnected() && w->ImageComplete();
        const bool completed = complete && !m_complete;
        m_complete = complete;
        if (!complete) {
            label->setVisible(false);
            m_offset.reset();
            return;
        }
        // Measured when the clock was read, so a long download does not show as a late clock.
        if (change.parts & PartInfo)
            m_offset = ControllerClockOffset(w->model().image().Info, QDateTime::currentDateTime());
        if (!m_offset) {
            label->setVisible(false);
            return;
        }
        const QString text = TranslateFmt(QStringLiteral("ClockOffsetStatus"), {ClockOffsetText(*m_offset)});
        label->setText(text);
        label->setToolTip(text);
        label->setVisible(true);
        if (completed && std::llabs(*m_offset) > ClockOffsetWorthSetting) {
            const QAction *set = w->action(QStringLiteral("mnuSetTimeDate"));
            w->AddLog(TranslateFmt(QStringLiteral("ClockOffsetLog"),
                                   {ClockOffsetText(*m_offset), set ? menuPath(set) : QString()}));
        }
    }

    TfrmLumora *w;
    QLabel *label = nullptr;
    bool m_complete = false;
    std::optional<qint64> m_offset;
};

} // namespace

QString ClockOffsetText(qint64 seconds)
{
    const qint64 size = std::llabs(seconds);
    if (size == 0)
        return Translate(QStringLiteral("ClockOnTime"));
    // Whole units, rounded: a clock minutes off is not read to the second.
    QString amount;
    if (size < 100)
        amount = QStringLiteral("%1 s").arg(size);
    else if (size < 100 * 60)
        amount = QStringLiteral("%1 min").arg((size + 30) / 60);
    else if (size < 72 * 3600)
        amount = QStringLiteral("%1 h").arg((size + 1800) / 3600);
    else
        amount = TranslateFmt(QStringLiteral("ClockDays"), {QString::number((size + 43200) / 86400)});
    return TranslateFmt(seconds > 0 ? QStringLiteral("ClockAhead") : QStringLiteral("ClockBehind"), {amount});
}

void InstallClockCheck(TfrmLumora *window) { new ClockCheck(window); }
