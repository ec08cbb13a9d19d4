// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The two desktop themes the window is tried in: Qt's Fusion style with its own light
// palette, and with a dark palette such as a dark desktop theme hands to Qt programs.
#include <QApplication>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>

inline QPalette darkDesktopPalette()
{
    QPalette p;
    const QColor window(0x31, 0x36, 0x3b), base(0x23, 0x26, 0x29), text(0xef, 0xf0, 0xf1);
    const QColor faint(0x6e, 0x71, 0x75), highlight(0x3d, 0xae, 0xe9);
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        const bool off = group == QPalette::Disabled;
        p.setColor(group, QPalette::Window, window);
        p.setColor(group, QPalette::WindowText, off ? faint : text);
        p.setColor(group, QPalette::Base, off ? window : base);
        p.setColor(group, QPalette::AlternateBase, window);
        p.setColor(group, QPalette::Text, off ? faint : text);
        p.setColor(group, QPalette::PlaceholderText, faint);
        p.setColor(group, QPalette::Button, window);
        p.setColor(group, QPalette::ButtonText, off ? faint : text);
        p.setColor(group, QPalette::BrightText, QColor(0xff, 0xff, 0xff));
        p.setColor(group, QPalette::Light, QColor(0x4a, 0x50, 0x57));
        p.setColor(group, QPalette::Midlight, QColor(0x3e, 0x43, 0x49));
        p.setColor(group, QPalette::Mid, QColor(0x25, 0x28, 0x2b));
        p.setColor(group, QPalette::Dark, QColor(0x18, 0x1a, 0x1c));
        p.setColor(group, QPalette::Shadow, QColor(0x10, 0x10, 0x10));
        p.setColor(group, QPalette::Highlight, off ? window : highlight);
        p.setColor(group, QPalette::HighlightedText, off ? faint : QColor(0x00, 0x00, 0x00));
        p.setColor(group, QPalette::Link, QColor(0x1d, 0x99, 0xf3));
        p.setColor(group, QPalette::LinkVisited, QColor(0x9b, 0x59, 0xb6));
        p.setColor(group, QPalette::ToolTipBase, window);
        p.setColor(group, QPalette::ToolTipText, text);
    }
    return p;
}

// Fusion with the light or the dark palette, for the whole application.
inline void useTheme(bool dark)
{
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setPalette(dark ? darkDesktopPalette() : QApplication::style()->standardPalette());
}
