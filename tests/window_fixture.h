// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Helpers for tests that build the main window.
#include <QDir>
#include <QImage>
#include <QPixmap>
#include <QStandardPaths>
#include <QTest>

#include <memory>

#include "app/frm_lumora.h"
#include "app/window_link_host.h"
#include "link/device_model.h"

inline std::unique_ptr<TfrmLumora> makeWindow(const QStringList &args)
{
    return std::make_unique<TfrmLumora>(args);
}

// The window's link host, driven by a test as the link thread drives it after a read.
class TestLinkHost : public WindowLinkHost {
public:
    explicit TestLinkHost(TfrmLumora *w) : WindowLinkHost(w, w->model()) {}

    // The answer to a read of the record of readBit has arrived: the report, then, when it
    // was copied in (the test has put it in the image), the model's change for it.
    void read(uint32_t readBit, bool copied = true)
    {
        recordRead(readBit, copied);
        if (copied)
            model().publish({DeviceChange::Origin::Controller, DeviceModel::partOfRead(readBit), {}});
    }
    // The schedule download has ended: the report, then the table's change with every line.
    void scheduleRead(bool complete)
    {
        scheduleDownloaded(complete);
        QList<int> lines;
        for (int i = 0; i < int(model().image().Schedule.size()); ++i)
            lines.append(i);
        model().publish({DeviceChange::Origin::Controller, PartSchedule, lines});
    }
};

// Brings the page that holds the control to the front, as a user looks at it: a page not in
// view catches up with the refreshes when it is shown.
inline void showPageOf(TfrmLumora *w, QWidget *control)
{
    for (QWidget *p = control; p; p = p->parentWidget()) {
        if (w->pc->indexOf(p) >= 0) {
            w->SelectPage(p);
            return;
        }
    }
}

// Saves a picture of a widget at the given size when AQ_PICTURE_DIR is set, so that the
// look of a page can be checked by eye.
inline void savePicture(QWidget *widget, const QSize &size, const QString &name)
{
    const QString dir = qEnvironmentVariable("AQ_PICTURE_DIR");
    widget->resize(size);
    widget->show();
    QCoreApplication::processEvents();
    const QPixmap picture = widget->grab();
    QVERIFY(!picture.isNull());
    if (!dir.isEmpty()) {
        QDir().mkpath(dir);
        picture.save(dir + u'/' + name + QStringLiteral(".png"));
    }
}
