// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Whatever a controller answers, once it is a well-formed answer, goes into the image and
// onto the pages: copy-in and the window's refresh must never crash, whatever the values
// (line counts, clock fields, colour indices, sensor values, chart samples), and the three
// per-line tables must keep one length.
//
// Input: a sequence of steps, each a selector byte and what it needs:
//   0..5  Info, Config, Expert, ExpertWeather, Chart, one schedule line: the record's data
//         bytes (zero-padded when the input ends), encoded as the controller would and
//         decoded by the link's own decoder;
//   6     raw answer: a length byte, that many characters for the decoder (code "81");
//   7     a byte of write bits to raise or clear (the copy-in discards records then);
//   8     a byte choosing the visible page.
// After every input the visible page is painted.
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTabWidget>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "app/frm_lumora.h"
#include "link/device_model.h"
#include "link/protocol.h"

namespace {

std::unique_ptr<QApplication> app;
std::unique_ptr<TfrmLumora> window;

void check(bool ok)
{
    if (!ok)
        std::abort();
}

struct Input
{
    const uint8_t *data;
    size_t size;
    size_t pos = 0;
    bool done() const { return pos >= size; }
    uint8_t byte() { return pos < size ? data[pos++] : 0; }
};

// The data bytes as the controller sends them, through the link's decoder into a frame.
bool decodeAsAnswer(const char *code, int n, Input &in, LinkFrame &frame)
{
    QByteArray answer(code);
    static constexpr char Hex[] = "0123456789abcdef";
    for (int i = 0; i < n; ++i) {
        const uint8_t b = in.byte();
        answer += Hex[b >> 4];
        answer += Hex[b & 0xF];
    }
    answer += '\r';
    return DecodeAnswer(answer, code, n, frame).status == AnswerStatus::Ok;
}

std::span<const uint8_t> dataOf(const LinkFrame &frame, size_t n) { return {frame.data() + FrameDataOffset, n}; }

} // namespace

// The font libraries keep caches of their own for the life of the process; they are not
// this program's leaks.
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libfontconfig\nleak:libfreetype\n";
}

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QTemporaryDir home;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("XDG_CONFIG_HOME", QDir(home.path()).filePath(QStringLiteral("config")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", QDir(home.path()).filePath(QStringLiteral("data")).toLocal8Bit());
    app = std::make_unique<QApplication>(*argc, *argv);
    // The window makes its data folder the current directory; libFuzzer reads the corpus and
    // writes its findings after this returns, at the paths it was given relative to ours.
    const QString startDir = QDir::currentPath();
    window = std::make_unique<TfrmLumora>(QStringList{QStringLiteral("-english"), QStringLiteral("-expert")});
    QDir::setCurrent(startDir);
    window->model().setStartupValues();
    window->resize(1100, 760);
    window->show();
    window->SetConnected(true);
    // Torn down before Qt's own process-wide objects, which were created after these.
    std::atexit([] {
        window.reset();
        app.reset();
    });
    QApplication::processEvents();
    for (int i = 0; i < window->pc->count(); ++i) {
        window->pc->setCurrentIndex(i);
        window->pc->currentWidget()->grab();
    }
    return 0;
}

// The answer into the model, and on to the window as the link thread hands it over.
void readInto(DeviceModel &model, uint32_t readBit, std::span<const uint8_t> data)
{
    if (model.copyIn(readBit, data))
        model.publish({DeviceChange::Origin::Controller, DeviceModel::partOfRead(readBit), {}});
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    TfrmLumora &w = *window;
    DeviceModel &model = w.model();
    Input in{data, size};
    LinkFrame frame{};
    for (int steps = 0; !in.done() && steps < 64; ++steps) {
        switch (in.byte() % 9) {
        case 0:
            if (decodeAsAnswer("81", int(InfoSize), in, frame))
                readInto(model, GetInfo, dataOf(frame, InfoSize));
            break;
        case 1:
            if (decodeAsAnswer("82", int(ConfigSize), in, frame))
                readInto(model, GetConfig, dataOf(frame, ConfigSize));
            break;
        case 2:
            if (decodeAsAnswer("85", int(ExpertSize), in, frame))
                readInto(model, GetExpert, dataOf(frame, ExpertSize));
            break;
        case 3:
            if (decodeAsAnswer("86", int(ExpertWeatherSize), in, frame))
                readInto(model, GetExpertWeather, dataOf(frame, ExpertWeatherSize));
            break;
        case 4:
            if (decodeAsAnswer("87", int(ChartSize), in, frame))
                readInto(model, GetChart, dataOf(frame, ChartSize));
            break;
        case 5:
            if (decodeAsAnswer("83", int(ScheduleFrameSize), in, frame)) {
                const bool stored = model.copyInScheduleLine(dataOf(frame, ScheduleFrameSize));
                model.publish({DeviceChange::Origin::Controller, PartSchedule,
                               stored ? QList<int>{int(int8_t(frame[FrameDataOffset]))} : QList<int>{}});
            }
            break;
        case 6: {
            const int length = in.byte();
            QByteArray answer;
            for (int i = 0; i < length; ++i)
                answer += char(in.byte());
            if (DecodeAnswer(answer, "81", int(InfoSize), frame).status == AnswerStatus::Ok)
                readInto(model, GetInfo, dataOf(frame, InfoSize));
            break;
        }
        case 7: {
            const uint8_t bits = in.byte();
            const uint32_t writes = (bits & 1 ? SetInfoTime : 0) | (bits & 2 ? SetConfig : 0) |
                                    (bits & 4 ? SetExpert : 0) | (bits & 8 ? SetExpertWeather : 0) |
                                    (bits & 16 ? GetSchedule : 0);
            if (bits & 0x80)
                model.requests().clear(writes);
            else
                model.request(writes);
            break;
        }
        default:
            w.pc->setCurrentIndex(in.byte() % w.pc->count());
            break;
        }
        const DeviceImage &image = model.image();
        check(image.Schedule.size() == image.ScheduleDirty.size());
    }
    QApplication::processEvents();
    check(!w.pc->currentWidget()->grab().isNull());
    return 0;
}
