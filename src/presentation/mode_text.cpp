// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "presentation/mode_text.h"

#include "presentation/localization.h"

QString ModeKey(int mode)
{
    static const char *const keys[] = {"ModeManual", "ModeAuto", "ModeGeo", "ModeRGBDemo", "ModeFlash"};
    return mode >= 0 && mode < 5 ? QString::fromLatin1(keys[mode]) : QString();
}

QString ModeStatusText(const ConfigRecord &config, const InfoRecord &info, const QString &previousModeName)
{
    if (info.StateFlags2 & State2Saving)
        return Translate(QStringLiteral("Saving"));
    const QString key = ModeKey(config.Mode);
    QString text = key.isEmpty() ? previousModeName : Translate(key);
    if (config.Mode == ModeAuto || config.Mode == ModeGeo) {
        if (info.StateFlags & StateCloud)
            text += Translate(QStringLiteral("LetterCloud"));
        if (info.StateFlags & StateStorm)
            text += Translate(QStringLiteral("LetterStorm"));
    }
    if (info.StateFlags & StateCooler)
        text += Translate(QStringLiteral("LetterCooler"));
    if (info.StateFlags & StateHeater)
        text += Translate(QStringLiteral("LetterHeater"));
    if (info.StateFlags & StateJmpTimer)
        text += Translate(QStringLiteral("LetterTimer"));
    return text;
}

void ToggleIrPairing(ExpertRecord &expert)
{
    for (le16 &code : expert.RC5Code)
        code = uint16_t(code ^ 0x1000);
}
