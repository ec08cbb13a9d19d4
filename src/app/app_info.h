#pragma once
#include <QString>

// Fixed identity of the program and its maker.
namespace AppInfo {
inline constexpr const char *Title = "Aqualumora 1.x.5";
inline constexpr const char *MakerName = "Lumora";
inline constexpr const char *MakerUrl = "https://www.lumora.example/";
inline constexpr const char *OrganizationName = "Aqualumora";
// Separator of composed status texts: blank, bullet, blank.
inline const QString Separator = QStringLiteral(" \u2022 ");
} // namespace AppInfo
