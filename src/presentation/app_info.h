// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>

#include "app/build_info.h"

// Fixed identity of the program and its maker.
namespace AppInfo {
inline constexpr const char *Title = "Aqualumora 1.x.5";
inline constexpr const char *MakerName = "Lumora";
inline constexpr const char *MakerUrl = "https://www.lumora.example/";
inline constexpr const char *OrganizationName = "Aqualumora";
// The version of the program (from the build), e.g. "1.5".
inline constexpr const char *Version = AQ_VERSION;
// Reverse-DNS id from the maker's web address: it names the desktop entry, the icon and
// the AppStream metainfo, and the launcher entry the progress is published for.
inline constexpr const char *AppId = AQ_APP_ID;
// Separator of composed status texts: blank, bullet, blank.
inline const QString Separator = QStringLiteral(" \u2022 ");
} // namespace AppInfo
