// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/accessible_summary.h"

#include <QWidget>

void SetAccessibleSummary(QWidget *view, const QString &name, const QString &summary)
{
    if (!view)
        return;
    // Both setters send NameChanged / DescriptionChanged themselves, and only on a change.
    view->setAccessibleName(name);
    view->setAccessibleDescription(summary);
}
