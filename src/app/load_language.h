// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "presentation/localization.h"

#include <QList>
#include <QString>
#include <QStringList>

class QWidget;

// Loads the language table of ChooseLanguage(language) and applies its [frmLumora]
// captions and hints to the window's components, found by objectName:
//   caption: buttons, check boxes, radio buttons (text), group boxes (title), labels,
//            tab pages (the tab's text), menu items (QAction or QMenu text; the shortcut
//            stays), labelled edits (a widget with a "caption" property: its label),
//            memos (the whole text; for the message log "mem" the text goes above the
//            lines logged so far);
//   hint:    the tool tip of the same kinds and of line edits, combo boxes, tab widgets
//            and sliders (a page's hint is its tab's tool tip).
// Keys naming no component or one of another kind are skipped. Then the derived texts:
// cmbLanguage's two items, the channel captions of channels 11 … 0 from the templates of
// channel 0, the two channel pages from the tsChannels template, the chart-source menu
// items and the label of edtCloudTempWater from the chart-source radio buttons.
// Meant to run once, when the window is built.
void LoadLanguage(QWidget *window, int language);

// The first part of LoadLanguage on its own: applies the given [frmLumora] entries
// (values as stored, with backslash-"n" pairs) and nothing else.
void ApplyCaptions(QWidget *window, const QList<LanguageTable::Entry> &entries);

// The [frmLumora] keys of the current table that LoadLanguage would skip on this window:
// the component is missing, is of a kind the key does not fit, or the key is neither a
// ".Caption" nor a ".Hint" key. Table order.
QStringList UnresolvedLanguageKeys(QWidget *window);
