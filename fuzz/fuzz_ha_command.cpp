// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary bytes as a command from the broker: byte 0 picks the topic, byte 1 the
// controller's mode, byte 2 its state flags, byte 3 the last level of the channels; the rest
// is the payload. Reading it must never crash, and must give a command within its ranges,
// or a reason that names the topic and never repeats the payload.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "service/ha_command.h"

namespace {
void check(bool ok)
{
    if (!ok)
        std::abort();
}
const char *const Topics[] = {"channel/a", "channel/l", "channel/m", "channel/", "mode", "clouds",
                              "thunderstorm", "set_clock/press", "fan", ""};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 4)
        return 0;
    const QString what = QString::fromLatin1(Topics[data[0] % std::size(Topics)]);
    DeviceImage image;
    image.setStartupValues();
    image.Config.Mode = data[1];
    image.Info.StateFlags = data[2];
    std::array<uint16_t, ChannelCount> lastLit{};
    lastLit.fill(uint16_t(data[3] * 17));
    const QByteArray payload(reinterpret_cast<const char *>(data + 4), qsizetype(size - 4));

    const HaCommand command = ParseHaCommand(what, payload, image, lastLit);
    switch (command.kind) {
    case HaCommand::Drop:
        check(command.why.startsWith(what) && (payload.size() < 8 || !command.why.toUtf8().contains(payload)));
        break;
    case HaCommand::Level:
        check(command.channel >= 0 && command.channel < ChannelCount && command.level <= LevelFull);
        check(image.Config.Mode == ModeManual);
        break;
    case HaCommand::Mode:
        check(command.mode >= 0 && command.mode <= ModeFlash);
        break;
    case HaCommand::Weather:
        check(command.toggle == 0 || command.toggle == ToggleCloud || command.toggle == ToggleStorm);
        break;
    case HaCommand::SetClock:
        break;
    }
    return 0;
}
