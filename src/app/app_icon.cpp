// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/app_icon.h"

#include <mutex>

QIcon AppIcon()
{
    // The resource lives in a static library: nothing references it unless asked for.
    static std::once_flag once;
    std::call_once(once, [] { Q_INIT_RESOURCE(icons); });
    return QIcon(QStringLiteral(":/icons/aqualumora.png"));
}
