// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>

// The Help → About box's texts: the program and its version, the licences, and where the
// world map's data come from (in the loaded language; the licence notice the map data's
// packaging asks to be reproduced stays in its own English words).
QString AboutCaption();
// Rich text for the box's main text.
QString AboutText();
// The ISC notice of the map data's TopoJSON packaging, verbatim.
QString MapDataLicenceNotice();
