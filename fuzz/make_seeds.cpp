// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the seed corpus of the fuzz targets into <folder>/<target>/: answers of the
// simulated controller in the input formats of fuzz_answer and fuzz_copyin, a backup INI of
// the image those answers fill, both language tables and two firmware files. The controller
// runs on a fixed clock, so the same sources always write the same files.
//   make_seeds fuzz/corpus
#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTime>

#include <cstdint>
#include <cstdio>
#include <vector>

#include "files/settings_file.h"
#include "link/device_model.h"
#include "link/firmware.h"
#include "link/protocol.h"
#include "sim/simulated_controller.h"

namespace {

QDir root;
int failures = 0;

void save(const char *target, const char *name, const QByteArray &bytes)
{
    root.mkpath(QString::fromLatin1(target));
    QFile f(root.filePath(QString::fromLatin1(target) + u'/' + QString::fromLatin1(name)));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "make_seeds: cannot write %s\n", qPrintable(f.fileName()));
        ++failures;
    }
}

// One read exchange with the controller: the answer exactly as it arrives.
QByteArray ask(SimulatedController &sim, const char *code) { return sim.feed(QByteArray(code) + '\n'); }

// fuzz_answer's input: data byte count + 2, the expected code, the answer.
QByteArray answerInput(const char *code, int n, const QByteArray &answer)
{
    return char(uint8_t(n + 2)) + QByteArray(code, 2) + answer;
}

// fuzz_copyin's record step: the selector and the data bytes the link decodes from the answer.
QByteArray recordStep(uint8_t selector, const char *code, int n, const QByteArray &answer)
{
    LinkFrame frame{};
    if (DecodeAnswer(answer, code, n, frame).status != AnswerStatus::Ok) {
        std::fprintf(stderr, "make_seeds: the simulated controller's \"%s\" answer does not decode\n", code);
        ++failures;
    }
    return char(selector) + QByteArray(reinterpret_cast<const char *>(frame.data() + FrameDataOffset), n);
}

struct Download
{
    QByteArray info, config, expert, weather, chart;
    std::vector<QByteArray> lines;
};

Download download(SimulatedController &sim)
{
    Download d{ask(sim, "81"), ask(sim, "82"), ask(sim, "85"), ask(sim, "86"), ask(sim, "87"), {}};
    for (size_t i = 0; i < sim.schedule().size(); ++i)
        d.lines.push_back(ask(sim, "83"));
    return d;
}

// The records in the order of a full download, the schedule lines after Info gave their count.
QByteArray copyInSteps(const Download &d)
{
    QByteArray steps = recordStep(0, "81", InfoSize, d.info) + recordStep(1, "82", ConfigSize, d.config) +
                       recordStep(2, "85", ExpertSize, d.expert) +
                       recordStep(3, "86", ExpertWeatherSize, d.weather) + recordStep(4, "87", ChartSize, d.chart);
    for (const QByteArray &line : d.lines)
        steps += recordStep(5, "83", ScheduleFrameSize, line);
    return steps;
}

QByteArray pageStep(uint8_t page) { return QByteArray("\x08") + char(page); }

void appendLe32(QByteArray &out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.append(char(uint8_t(v >> (8 * i))));
}

// fuzz_firmware's input: the page size choice, then the firmware file.
QByteArray firmwareInput(uint8_t pageChoice, int32_t start, int32_t end)
{
    std::vector<uint8_t> data;
    for (int32_t a = start; a <= end; ++a)
        data.push_back(uint8_t(a * 37 + (a >> 8)));
    QByteArray out(1, char(pageChoice));
    appendLe32(out, uint32_t(start));
    appendLe32(out, uint32_t(end));
    out.append(reinterpret_cast<const char *>(data.data()), qsizetype(data.size()));
    appendLe32(out, FirmwareChecksum(start, end, data));
    return out;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds <corpus folder>\n");
        return 2;
    }
    root = QDir(QString::fromLocal8Bit(argv[1]));
    qint64 clock = 0;
    SimulatedController sim([&clock] { return clock; }, QDateTime(QDate(2026, 6, 21), QTime(14, 5, 30)));

    const Download first = download(sim);
    save("fuzz_answer", "device", answerInput("80", DeviceIdSize, ask(sim, "80")));
    save("fuzz_answer", "info", answerInput("81", InfoSize, first.info));
    save("fuzz_answer", "config", answerInput("82", ConfigSize, first.config));
    save("fuzz_answer", "schedule_line", answerInput("83", ScheduleFrameSize, first.lines.at(3)));
    save("fuzz_answer", "expert", answerInput("85", ExpertSize, first.expert));
    save("fuzz_answer", "expert_weather", answerInput("86", ExpertWeatherSize, first.weather));
    save("fuzz_answer", "chart", answerInput("87", ChartSize, first.chart));

    // A full download, then a look at every page of the window.
    QByteArray pages;
    for (uint8_t p = 0; p < 16; ++p)
        pages += pageStep(p);
    save("fuzz_copyin", "download", copyInSteps(first) + pageStep(3));
    // Info as raw text for the decoder, then the pages.
    save("fuzz_copyin", "info_pages", QByteArray("\x06") + char(uint8_t(first.info.size())) + first.info + pages);
    // Records that arrive while their writes are pending are discarded; then they come in.
    save("fuzz_copyin", "writes_pending",
         QByteArray("\x07\x0F") + copyInSteps(first).left(1 + InfoSize + 1 + ConfigSize + 1 + ExpertSize) +
             QByteArray("\x07\x8F") + recordStep(1, "82", ConfigSize, first.config) + pageStep(1));

    // Later the same day in the sun-path mode, the chart from the board temperature, and a
    // lost schedule line: the image shrinks and grows again.
    ConfigRecord config = sim.config();
    config.Mode = ModeGeo;
    sim.setConfig(config);
    ExpertRecord expert = sim.expert();
    expert.ChartMode = ChartBoardTemp;
    sim.setExpert(expert);
    std::vector<ScheduleLine> lines = sim.schedule();
    lines.pop_back();
    sim.setSchedule(lines);
    clock += 5 * 3600 * 1000;
    const Download later = download(sim);
    save("fuzz_copyin", "sun_mode_download", copyInSteps(later) + pageStep(4) + copyInSteps(first).left(1 + InfoSize));

    // The backup the program writes of the image after a download.
    DeviceModel model;
    model.setStartupValues();
    LinkFrame frame{};
    const auto decoded = [&frame](const QByteArray &answer, const char *code, size_t n) {
        DecodeAnswer(answer, code, int(n), frame);
        return std::span<const uint8_t>(frame.data() + FrameDataOffset, n);
    };
    model.copyIn(GetInfo, decoded(first.info, "81", InfoSize));
    model.copyIn(GetConfig, decoded(first.config, "82", ConfigSize));
    model.copyIn(GetExpert, decoded(first.expert, "85", ExpertSize));
    model.copyIn(GetExpertWeather, decoded(first.weather, "86", ExpertWeatherSize));
    for (const QByteArray &line : first.lines)
        model.copyInScheduleLine(decoded(line, "83", ScheduleFrameSize));
    root.mkpath(QStringLiteral("fuzz_ini"));
    if (!WriteBackupFile(root.filePath(QStringLiteral("fuzz_ini/")), QStringLiteral("/dev/pts/3 (Simulated controller)"),
                         model.image())) {
        std::fprintf(stderr, "make_seeds: the backup was not written\n");
        ++failures;
    }

    for (const char *table : {"english.ini", "german.ini"}) {
        QFile f(QStringLiteral(AQ_SOURCE_DIR "/assets/lang/") + QString::fromLatin1(table));
        if (!f.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "make_seeds: cannot read %s\n", qPrintable(f.fileName()));
            ++failures;
        }
        save("fuzz_ini", table, f.readAll());
    }

    // Page sizes 128 and 64 (see fuzz_firmware's table).
    save("fuzz_firmware", "low_256", firmwareInput(4, 0x0000, 0x00FF));
    save("fuzz_firmware", "mid_1000", firmwareInput(2, 0x1234, 0x161B));

    sim.setInBootloader(true);
    save("fuzz_answer", "boot_info", answerInput("81", BootInfoSize, ask(sim, "81")));
    return failures == 0 ? 0 : 1;
}
