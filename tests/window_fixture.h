#pragma once
// Helpers for tests that build the main window.
#include <QDir>
#include <QImage>
#include <QPixmap>
#include <QStandardPaths>
#include <QTest>

#include <memory>

#include "app/frm_lumora.h"

inline std::unique_ptr<TfrmLumora> makeWindow(const QStringList &args)
{
    return std::make_unique<TfrmLumora>(args);
}

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
