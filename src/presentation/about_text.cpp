// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "presentation/about_text.h"

#include <QtGlobal>

#include "presentation/app_info.h"
#include "presentation/localization.h"

namespace {

QString paragraph(const QString &text) { return QStringLiteral("<p>") + text.toHtmlEscaped() + QStringLiteral("</p>"); }

} // namespace

QString AboutCaption() { return TranslateFmt(QStringLiteral("AboutCaption"), {QString::fromLatin1(AppInfo::Title)}); }

QString AboutText()
{
    const QString title = QString::fromLatin1(AppInfo::Title);
    const QString maker = QString::fromLatin1(AppInfo::MakerName);
    const QString url = QString::fromLatin1(AppInfo::MakerUrl);
    QString html = QStringLiteral("<h3>") + title.toHtmlEscaped() + QStringLiteral("</h3>");
    html += paragraph(TranslateFmt(QStringLiteral("AboutVersion"),
                                   {QString::fromLatin1(AppInfo::Version), QString::fromLatin1(qVersion())}));
    html += paragraph(TranslateFmt(QStringLiteral("AboutProgram"), {QStringLiteral("Aqualumora 1.x")}));
    html += QStringLiteral("<p><a href=\"%1\">%2</a></p>").arg(url.toHtmlEscaped(), url.toHtmlEscaped());
    html += paragraph(TranslateFmt(QStringLiteral("AboutProgramLicence"), {maker}));
    html += paragraph(TranslateFmt(QStringLiteral("AboutQtLicence"), {QString::fromLatin1(qVersion())}));
    html += paragraph(Translate(QStringLiteral("AboutMapData")));
    return html;
}

QString MapDataLicenceNotice()
{
    return QStringLiteral(
        "World map: Natural Earth land boundaries, 1:50 million, version 4.1.0 "
        "(public domain, https://www.naturalearthdata.com/about/terms-of-use/), in the TopoJSON "
        "packaging of world-atlas 2.0.2, file land-50m.json.\n\n"
        "Copyright 2013-2019 Michael Bostock\n\n"
        "Permission to use, copy, modify, and/or distribute this software for any purpose with or "
        "without fee is hereby granted, provided that the above copyright notice and this permission "
        "notice appear in all copies.\n\n"
        "THE SOFTWARE IS PROVIDED \"AS IS\" AND THE AUTHOR DISCLAIMS ALL WARRANTIES WITH REGARD TO THIS "
        "SOFTWARE INCLUDING ALL IMPLIED WARRANTIES OF MERCHANTABILITY AND FITNESS. IN NO EVENT SHALL THE "
        "AUTHOR BE LIABLE FOR ANY SPECIAL, DIRECT, INDIRECT, OR CONSEQUENTIAL DAMAGES OR ANY DAMAGES "
        "WHATSOEVER RESULTING FROM LOSS OF USE, DATA OR PROFITS, WHETHER IN AN ACTION OF CONTRACT, "
        "NEGLIGENCE OR OTHER TORTIOUS ACTION, ARISING OUT OF OR IN CONNECTION WITH THE USE OR "
        "PERFORMANCE OF THIS SOFTWARE.");
}
