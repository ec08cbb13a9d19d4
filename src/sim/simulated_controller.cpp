// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/simulated_controller.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <numbers>

#include "sim/sim_hex.h"
#include "sim/sim_model.h"

namespace {

using Lock = std::lock_guard<std::mutex>;

template <class R>
std::span<const uint8_t> bytesOf(const R &record)
{
    return recordBytes(record);
}

template <class R>
R recordFrom(const uint8_t *data)
{
    R record;
    std::memcpy(&record, data, sizeof record);
    return record;
}

QString codeKey(uint8_t code)
{
    return QString::asprintf("%02X", code);
}

qint64 floorDiv(qint64 a, qint64 b)
{
    const qint64 q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

bool runsSchedule(uint8_t mode)
{
    return mode == ModeAuto || mode == ModeGeo;
}

} // namespace

SimulatedController::SimulatedController(TimeSource timeSource, const QDateTime &startTime)
    : m_timeSource(std::move(timeSource))
{
    if (!m_timeSource) {
        m_timeSource = [] {
            using namespace std::chrono;
            return qint64(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
        };
    }
    const QDateTime start = startTime.isValid() ? startTime : QDateTime::currentDateTime();
    m_anchorWall = QDateTime(start.date(), start.time(), Qt::UTC);
    m_anchorMono = now();
    m_lapse = 1;
    m_flash = QByteArray(qsizetype(DefaultFlashSize), char(0xFF));
    restoreFactoryState();
}

// ---------------------------------------------------------------------------
// Time

qint64 SimulatedController::now() const
{
    return m_timeSource();
}

QDateTime SimulatedController::wallAt(qint64 nowMs) const
{
    return m_anchorWall.addMSecs((nowMs - m_anchorMono) * m_lapse);
}

void SimulatedController::reanchor(qint64 nowMs, const QDateTime &wall, int lapse)
{
    m_anchorWall = QDateTime(wall.date(), wall.time(), Qt::UTC);
    m_anchorMono = nowMs;
    m_lapse = lapse;
}

QDateTime SimulatedController::deviceTime() const
{
    Lock lock(m_mutex);
    return wallAt(now());
}

void SimulatedController::setDeviceTime(const QDateTime &wallClock)
{
    Lock lock(m_mutex);
    reanchor(now(), wallClock, m_lapse);
}

// ---------------------------------------------------------------------------
// Records

void SimulatedController::applyConfig(const ConfigRecord &config)
{
    if (config.TimeLapse != m_lapse) {
        const qint64 t = now();
        reanchor(t, wallAt(t), config.TimeLapse);
    }
    m_config = config;
    if (!runsSchedule(config.Mode))
        m_cloud = m_storm = false;
}

InfoRecord SimulatedController::currentInfo(qint64 nowMs) const
{
    InfoRecord info = m_info;
    const QDateTime wall = wallAt(nowMs);
    const QDate date = wall.date();
    const QTime time = wall.time();
    info.LineCount = uint8_t(m_schedule.size());
    info.Centisecond = uint8_t(time.msec() / 10);
    info.Second = uint8_t(time.second());
    info.Minute = uint8_t(time.minute());
    info.Hour = uint8_t(time.hour());
    info.Day = uint8_t(date.day());
    info.Month = uint8_t(date.month());
    info.Year = int8_t(uint8_t(date.year() - 2000));

    sim::Levels levels{};
    const uint8_t mode = m_config.Mode;
    if (runsSchedule(mode)) {
        sim::ScheduleState state;
        if (mode == ModeAuto) {
            state = sim::levelsByTime(m_schedule, time.msecsSinceStartOfDay() / 60000.0);
        } else {
            const int offset = sim::utcOffsetMinutes(m_expert, wall);
            const QDateTime utc = wall.addSecs(-qint64(offset) * 60);
            const sim::SunAltitude sun =
                sim::sunAltitude(utc, int16_t(m_config.Lat) / 10.0, int16_t(m_config.Lon) / 10.0);
            state = sim::levelsBySun(m_schedule, sun.degrees, sun.east);
        }
        for (int c = 0; c < ChannelCount; ++c) {
            double v = state.levels[size_t(c)] * std::min<int>(m_weather.Balance[c], 100) / 100.0;
            if (m_weather.WeatherDelay[c] != 255) {
                if (m_storm)
                    v = v * std::min<int>(m_weather.StormAlpha, 100) / 100.0;
                else if (m_cloud)
                    v = v * std::min<int>(m_weather.CloudAlpha, 100) / 100.0;
            }
            levels[size_t(c)] = uint16_t(std::lround(v));
        }
        info.ActiveLine = int8_t(state.activeLine);
    } else if (mode == ModeRGBDemo) {
        // Colours chase each other around the channels, one round in 20 seconds.
        const double phase = time.msecsSinceStartOfDay() / 20000.0;
        for (int c = 0; c < ChannelCount; ++c) {
            const double s = std::sin(2 * std::numbers::pi * (phase + c / double(ChannelCount)));
            levels[size_t(c)] = uint16_t(std::lround(LevelFull * (0.5 + 0.5 * s)));
        }
    } else if (mode == ModeFlash) {
        const bool on = time.msecsSinceStartOfDay() % 2000 < 100;
        levels.fill(on ? LevelFull : 0);
    } else {
        std::copy(std::begin(m_manualLevels), std::end(m_manualLevels), levels.begin());
    }
    for (int c = 0; c < ChannelCount; ++c)
        info.Level[c] = levels[size_t(c)];

    uint8_t state = m_info.StateFlags & uint8_t(~(StateCloud | StateStorm));
    if (runsSchedule(mode)) {
        if (m_cloud)
            state |= StateCloud;
        if (m_storm)
            state |= StateStorm;
    }
    info.StateFlags = state;
    info.StateFlags2 = uint8_t(m_info.StateFlags2 & ~State2Saving)
        | (m_savingUntil >= 0 && nowMs < m_savingUntil ? State2Saving : 0);

    info.WaterTemp = sim::waterTemperatureAt(m_info.WaterTemp, wall);
    const int16_t boardBase = int16_t(m_info.Reserved44[0] | m_info.Reserved44[1] << 8);
    const int16_t board = sim::boardTemperatureAt(boardBase, wall);
    info.Reserved44[0] = uint8_t(uint16_t(board));
    info.Reserved44[1] = uint8_t(uint16_t(board) >> 8);
    info.InputVoltage = sim::inputVoltageAt(m_info.InputVoltage, wall);
    info.SlaveTemp = sim::slaveTemperatureAt(m_info.SlaveTemp, wall);
    return info;
}

ChartRecord SimulatedController::currentChart(qint64 nowMs) const
{
    if (m_chart)
        return *m_chart;
    ChartRecord chart;
    const qint64 intervalMs = qint64(std::max<int>(m_expert.ChartInterval, 1)) * 60000;
    const QDateTime wall = wallAt(nowMs);
    const qint64 newest = floorDiv(wall.toMSecsSinceEpoch(), intervalMs) * intervalMs;
    const int16_t boardBase = int16_t(m_info.Reserved44[0] | m_info.Reserved44[1] << 8);
    for (int k = 0; k < ChartSampleCount; ++k) {
        const QDateTime at = QDateTime::fromMSecsSinceEpoch(newest - k * intervalMs, Qt::UTC);
        int16_t v = NoValue16;
        switch (m_expert.ChartMode) {
        case ChartWaterTemp: v = sim::waterTemperatureAt(m_info.WaterTemp, at); break;
        case ChartBoardTemp: v = sim::boardTemperatureAt(boardBase, at); break;
        case ChartInputVoltage: v = sim::inputVoltageAt(m_info.InputVoltage, at); break;
        case ChartSlaveTemp: v = sim::slaveTemperatureAt(m_info.SlaveTemp, at); break;
        default: break;
        }
        chart.Sample[k] = v;
    }
    return chart;
}

InfoRecord SimulatedController::info() const
{
    Lock lock(m_mutex);
    return currentInfo(now());
}

void SimulatedController::setInfo(const InfoRecord &info)
{
    Lock lock(m_mutex);
    m_info = info;
    for (int c = 0; c < ChannelCount; ++c)
        m_manualLevels[c] = std::min<uint16_t>(info.Level[c], LevelFull);
}

ConfigRecord SimulatedController::config() const
{
    Lock lock(m_mutex);
    return m_config;
}

void SimulatedController::setConfig(const ConfigRecord &config)
{
    Lock lock(m_mutex);
    applyConfig(config);
}

ExpertRecord SimulatedController::expert() const
{
    Lock lock(m_mutex);
    return m_expert;
}

void SimulatedController::setExpert(const ExpertRecord &expert)
{
    Lock lock(m_mutex);
    m_expert = expert;
}

ExpertWeatherRecord SimulatedController::expertWeather() const
{
    Lock lock(m_mutex);
    return m_weather;
}

void SimulatedController::setExpertWeather(const ExpertWeatherRecord &weather)
{
    Lock lock(m_mutex);
    m_weather = weather;
}

ChartRecord SimulatedController::chart() const
{
    Lock lock(m_mutex);
    return currentChart(now());
}

void SimulatedController::setChart(const ChartRecord &chart)
{
    Lock lock(m_mutex);
    m_chart = chart;
}

void SimulatedController::clearChart()
{
    Lock lock(m_mutex);
    m_chart.reset();
}

std::vector<ScheduleLine> SimulatedController::schedule() const
{
    Lock lock(m_mutex);
    return m_schedule;
}

void SimulatedController::setSchedule(const std::vector<ScheduleLine> &lines)
{
    Lock lock(m_mutex);
    m_schedule.assign(lines.begin(), lines.begin() + std::min<size_t>(lines.size(), 255));
    m_scheduleCursor = 0;
}

void SimulatedController::restoreFactoryState()
{
    Lock lock(m_mutex);
    m_info = sim::defaultInfo();
    applyConfig(sim::defaultConfig());
    m_expert = sim::defaultExpert();
    m_weather = sim::defaultExpertWeather();
    m_schedule = sim::defaultSchedule();
    m_chart.reset();
    std::fill(std::begin(m_manualLevels), std::end(m_manualLevels), uint16_t(0));
    m_cloud = m_storm = false;
    m_scheduleCursor = 0;
    m_stored = Stored{m_config, m_expert, m_weather, m_schedule};
}

void SimulatedController::loseSettings()
{
    Lock lock(m_mutex);
    applyConfig(sim::defaultConfig());
    m_expert = sim::defaultExpert();
    m_weather = sim::defaultExpertWeather();
    for (auto &level : m_weather.MoonColor16)
        level = 0;
    ScheduleLine empty;
    std::memset(&empty, 0, sizeof empty);
    m_schedule.assign(1, empty);
    m_scheduleCursor = 0;
    m_stored = Stored{m_config, m_expert, m_weather, m_schedule};
}

// ---------------------------------------------------------------------------
// Saving, bootloader

int SimulatedController::saveCount() const
{
    Lock lock(m_mutex);
    return m_saveCount;
}

bool SimulatedController::isSaving() const
{
    Lock lock(m_mutex);
    return m_savingUntil >= 0 && now() < m_savingUntil;
}

bool SimulatedController::inBootloader() const
{
    Lock lock(m_mutex);
    return m_bootloader;
}

void SimulatedController::setInBootloader(bool bootloader)
{
    Lock lock(m_mutex);
    m_bootloader = bootloader;
    m_flashedThisSession = false;
    m_scheduleCursor = 0;
}

BootInfo SimulatedController::bootInfo() const
{
    Lock lock(m_mutex);
    BootInfo boot;
    boot.PageSize = m_pageSize;
    boot.FlashSize = uint32_t(m_flash.size());
    return boot;
}

void SimulatedController::setBootInfo(uint16_t pageSize, uint32_t flashSize)
{
    Lock lock(m_mutex);
    m_pageSize = pageSize;
    // The image is held in memory; no controller of this family has more than 64 KiB.
    m_flash = QByteArray(qsizetype(std::min<uint32_t>(flashSize, 65536)), char(0xFF));
}

QByteArray SimulatedController::flashImage() const
{
    Lock lock(m_mutex);
    return m_flash;
}

void SimulatedController::restartFirmware()
{
    // RAM settings are lost with the restart; a new firmware starts from its defaults.
    m_bootloader = false;
    if (m_flashedThisSession) {
        applyConfig(sim::defaultConfig());
        m_expert = sim::defaultExpert();
        m_weather = sim::defaultExpertWeather();
        m_schedule = sim::defaultSchedule();
        m_stored = Stored{m_config, m_expert, m_weather, m_schedule};
    } else {
        applyConfig(m_stored.config);
        m_expert = m_stored.expert;
        m_weather = m_stored.weather;
        m_schedule = m_stored.schedule;
    }
    m_flashedThisSession = false;
    m_cloud = m_storm = false;
    m_savingUntil = -1;
    m_scheduleCursor = 0;
}

// ---------------------------------------------------------------------------
// History

int SimulatedController::commandCount(const QString &key) const
{
    Lock lock(m_mutex);
    const auto it = m_counts.find(key);
    return it == m_counts.end() ? 0 : it->second;
}

std::map<QString, int> SimulatedController::commandCounts() const
{
    Lock lock(m_mutex);
    return m_counts;
}

int SimulatedController::rejectedCount() const
{
    Lock lock(m_mutex);
    return m_rejected;
}

QList<SimFrame> SimulatedController::frames() const
{
    Lock lock(m_mutex);
    return m_frames;
}

void SimulatedController::clearHistory()
{
    Lock lock(m_mutex);
    m_counts.clear();
    m_rejected = 0;
    m_frames.clear();
}

void SimulatedController::count(const QString &key)
{
    ++m_counts[key];
}

void SimulatedController::log(SimFrame frame)
{
    m_frames.append(std::move(frame));
    if (m_frames.size() > MaxLoggedFrames)
        m_frames.removeFirst();
}

// ---------------------------------------------------------------------------
// Faults

void SimulatedController::setFault(SimFault fault, int count)
{
    Lock lock(m_mutex);
    m_fault = count == 0 ? SimFault::None : fault;
    m_faultCount = count;
}

void SimulatedController::clearFault()
{
    setFault(SimFault::None);
}

SimFault SimulatedController::fault() const
{
    Lock lock(m_mutex);
    return m_fault;
}

void SimulatedController::setRefusedWrites(const QStringList &codes)
{
    Lock lock(m_mutex);
    m_refusedWrites = codes;
}

void SimulatedController::setWriteAdjuster(WriteAdjuster adjuster)
{
    Lock lock(m_mutex);
    m_adjustWrite = std::move(adjuster);
}

void SimulatedController::setIdentity(int deviceType, int firmwareVersion)
{
    Lock lock(m_mutex);
    m_identityType = deviceType;
    m_identityVersion = firmwareVersion;
}

void SimulatedController::failNextBlockWrites(int n)
{
    Lock lock(m_mutex);
    m_failBlocks = std::max(n, 0);
}

void SimulatedController::setThrottle(bool realLineSpeed)
{
    Lock lock(m_mutex);
    m_throttle = realLineSpeed;
}

bool SimulatedController::throttle() const
{
    Lock lock(m_mutex);
    return m_throttle;
}

void SimulatedController::setLatencyMs(int ms)
{
    Lock lock(m_mutex);
    m_latencyMs = std::max(ms, 0);
}

int SimulatedController::latencyMs() const
{
    Lock lock(m_mutex);
    return m_latencyMs;
}

void SimulatedController::setAnswerLineEnd(char lineEnd)
{
    Lock lock(m_mutex);
    m_lineEnd = lineEnd;
}

void SimulatedController::setAckByte(char ack)
{
    Lock lock(m_mutex);
    m_ackByte = ack;
}

bool SimulatedController::takeFault(SimFault kind)
{
    if (m_fault != kind || kind == SimFault::None)
        return false;
    if (m_faultCount > 0 && --m_faultCount == 0)
        m_fault = SimFault::None;
    return true;
}

void SimulatedController::applyFault(Answer &answer, SimFrame &frame)
{
    if (answer.kind == Answer::Ack) {
        if (takeFault(SimFault::NoAck)) {
            answer.bytes.clear();
            frame.note = QStringLiteral("acknowledgement dropped (injected)");
            frame.faultInjected = true;
        }
        return;
    }
    if (answer.kind != Answer::Read)
        return;
    QByteArray &b = answer.bytes; // echo, at least one data pair, line end
    const SimFault kind = m_fault;
    switch (kind) {
    case SimFault::ShortAnswer:
    case SimFault::LongAnswer:
    case SimFault::TrailingJunk:
    case SimFault::GarbledAnswer:
    case SimFault::WrongEcho:
        takeFault(kind);
        break;
    default:
        return;
    }
    frame.faultInjected = true;
    switch (kind) {
    case SimFault::ShortAnswer:
        b.chop(1);
        frame.note = QStringLiteral("answer one character short (injected)");
        break;
    case SimFault::LongAnswer:
        b.insert(b.size() - 1, "00");
        frame.note = QStringLiteral("answer two characters long (injected)");
        break;
    case SimFault::TrailingJunk:
        b.append("FF").append(m_lineEnd);
        frame.note = QStringLiteral("junk after the answer (injected)");
        break;
    case SimFault::GarbledAnswer:
        b[2] = 'G';
        b[3] = '1';
        frame.note = QStringLiteral("answer garbled (injected)");
        break;
    case SimFault::WrongEcho: {
        const char c = b[1];
        b[1] = (c >= '0' && c <= '9') ? char('0' + (c - '0' + 1) % 10) : char(c | 0x20);
        frame.note = QStringLiteral("wrong echo (injected)");
        break;
    }
    default:
        break;
    }
}

// ---------------------------------------------------------------------------
// Frames

void SimulatedController::resetInput()
{
    Lock lock(m_mutex);
    m_line.clear();
    m_lineOverflow = false;
}

QByteArray SimulatedController::feed(QByteArrayView received)
{
    Lock lock(m_mutex);
    QByteArray out;
    for (char c : received) {
        if (c == '\n') {
            out += processLine();
            m_line.clear();
            m_lineOverflow = false;
        } else if (m_line.size() >= MaxLineLength) {
            m_lineOverflow = true; // keep the start for the log, drop the rest
        } else {
            m_line.append(c);
        }
    }
    return out;
}

QByteArray SimulatedController::processLine()
{
    SimFrame frame;
    frame.timeMs = now();
    frame.text = m_line;
    frame.bootloader = m_bootloader;

    const auto reject = [&](const QString &why) {
        frame.note = why;
        ++m_rejected;
        log(std::move(frame));
        return QByteArray();
    };
    if (m_lineOverflow)
        return reject(QStringLiteral("line too long"));
    if (takeFault(SimFault::Silence)) {
        frame.note = QStringLiteral("lost (injected silence)");
        frame.faultInjected = true;
        log(std::move(frame));
        return {};
    }
    if (m_line.size() < 2)
        return reject(QStringLiteral("no command code"));
    const auto bytes = sim::hexDecodeStrict(m_line);
    if (!bytes)
        return reject(QStringLiteral("not a sequence of upper-case hexadecimal digit pairs"));

    const uint8_t code = (*bytes)[0];
    std::vector<uint8_t> data(bytes->begin() + 1, bytes->end());
    if (!m_bootloader && m_refusedWrites.contains(QString::fromLatin1(m_line.left(2)))) {
        frame.note = QStringLiteral("write refused (injected)");
        frame.faultInjected = true;
        log(std::move(frame));
        return {};
    }
    if (!m_bootloader && code < 0x80 && m_adjustWrite)
        m_adjustWrite(code, data);
    Answer answer = m_bootloader ? serveBootloader(code, data, frame) : serveFirmware(code, data, frame);
    if (!frame.accepted && !frame.faultInjected)
        ++m_rejected;
    applyFault(answer, frame);
    frame.answer = answer.bytes;
    log(std::move(frame));
    return answer.bytes;
}

SimulatedController::Answer SimulatedController::readAnswer(uint8_t code, const uint8_t *data,
                                                            size_t size) const
{
    Answer answer;
    answer.kind = Answer::Read;
    answer.bytes = codeKey(code).toLatin1();
    answer.bytes += sim::hexEncode(std::span<const uint8_t>(data, size));
    answer.bytes += m_lineEnd;
    return answer;
}

SimulatedController::Answer SimulatedController::ack() const
{
    Answer answer;
    answer.kind = Answer::Ack;
    answer.bytes = QByteArray(1, m_ackByte);
    return answer;
}

SimulatedController::Answer SimulatedController::serveFirmware(uint8_t code,
                                                               const std::vector<uint8_t> &data,
                                                               SimFrame &frame)
{
    const auto lengthIs = [&](size_t n) {
        if (data.size() == n)
            return true;
        frame.note = QStringLiteral("%1 data bytes, expected %2").arg(data.size()).arg(n);
        return false;
    };
    const auto served = [&](const QString &key) {
        frame.accepted = true;
        count(key);
    };
    // The schedule is read line after line by repeated "83"; anything else starts over.
    if (code != 0x83)
        m_scheduleCursor = 0;

    const qint64 t = frame.timeMs;
    switch (code) {
    case 0x80: {
        if (!lengthIs(0))
            return {};
        served(codeKey(code));
        DeviceId id;
        id.DeviceType = m_identityType >= 0 ? uint8_t(m_identityType) : FirmwareType;
        id.FirmwareVersion = m_identityVersion >= 0 ? uint8_t(m_identityVersion) : FirmwareVersion;
        return readAnswer(code, &id.DeviceType, sizeof id);
    }
    case 0x81: {
        if (!lengthIs(0))
            return {};
        served(codeKey(code));
        const InfoRecord info = currentInfo(t);
        return readAnswer(code, bytesOf(info).data(), sizeof info);
    }
    case 0x82:
        if (!lengthIs(0))
            return {};
        served(codeKey(code));
        return readAnswer(code, bytesOf(m_config).data(), sizeof m_config);
    case 0x83: {
        if (!lengthIs(0))
            return {};
        served(codeKey(code));
        uint8_t out[ScheduleFrameSize] = {};
        if (m_schedule.empty()) {
            out[0] = 0xFF; // no line to give: an index the PC drops
        } else {
            if (m_scheduleCursor >= int(m_schedule.size()))
                m_scheduleCursor = 0;
            out[0] = uint8_t(m_scheduleCursor);
            std::memcpy(out + 1, &m_schedule[size_t(m_scheduleCursor)], ScheduleLineSize);
            m_scheduleCursor = (m_scheduleCursor + 1) % int(m_schedule.size());
        }
        return readAnswer(code, out, sizeof out);
    }
    case 0x85:
        if (!lengthIs(0))
            return {};
        served(codeKey(code));
        return readAnswer(code, bytesOf(m_expert).data(), sizeof m_expert);
    case 0x86:
        if (!lengthIs(0))
            return {};
        served(codeKey(code));
        return readAnswer(code, bytesOf(m_weather).data(), sizeof m_weather);
    case 0x87: {
        if (!lengthIs(0))
            return {};
        served(codeKey(code));
        const ChartRecord chart = currentChart(t);
        return readAnswer(code, bytesOf(chart).data(), sizeof chart);
    }
    case 0x01: {
        if (!lengthIs(InfoSize))
            return {};
        writeInfo(recordFrom<InfoRecord>(data.data()), frame);
        if (!frame.note.isEmpty())
            return {};
        served(codeKey(code));
        return ack();
    }
    case 0x02:
        if (!lengthIs(ConfigSize))
            return {};
        applyConfig(recordFrom<ConfigRecord>(data.data()));
        served(codeKey(code));
        return ack();
    case 0x03: {
        if (!lengthIs(ScheduleFrameSize))
            return {};
        const size_t index = data[0];
        if (index >= m_schedule.size()) {
            // Not acknowledged: a write that did not take effect must not look as if it had.
            frame.note = QStringLiteral("line index %1 beyond the last line (%2 lines)")
                             .arg(index)
                             .arg(m_schedule.size());
            return {};
        }
        m_schedule[index] = recordFrom<ScheduleLine>(data.data() + 1);
        served(codeKey(code));
        return ack();
    }
    case 0x05:
        if (!lengthIs(ExpertSize))
            return {};
        m_expert = recordFrom<ExpertRecord>(data.data());
        served(codeKey(code));
        return ack();
    case 0x06:
        if (!lengthIs(ExpertWeatherSize))
            return {};
        m_weather = recordFrom<ExpertWeatherRecord>(data.data());
        served(codeKey(code));
        return ack();
    case 0x7F: {
        if (!lengthIs(1))
            return {};
        const uint8_t sub = data[0];
        const QString key = QStringLiteral("7F") + codeKey(sub);
        switch (sub) {
        case 0x00: // restart into the bootloader; nothing is answered
            served(key);
            m_bootloader = true;
            m_flashedThisSession = false;
            m_savingUntil = -1;
            return {};
        case 0x01:
            served(key);
            m_stored = Stored{m_config, m_expert, m_weather, m_schedule};
            ++m_saveCount;
            m_savingUntil = t + SavingDurationMs;
            return ack();
        case 0x02:
        case 0x03:
            served(key);
            if (runsSchedule(m_config.Mode)) {
                bool &event = sub == 0x02 ? m_cloud : m_storm;
                event = !event;
            }
            return ack();
        default:
            frame.note = QStringLiteral("unknown sub-command %1").arg(codeKey(sub));
            return {};
        }
    }
    default:
        frame.note = QStringLiteral("unknown command %1").arg(codeKey(code));
        return {};
    }
}

void SimulatedController::writeInfo(const InfoRecord &sent, SimFrame &frame)
{
    // Each group is checked before anything is applied, so a write either takes effect
    // as a whole or not at all (and is then not acknowledged).
    const bool setClock = sent.Minute != NoChangeMinute;
    const bool setLine = uint8_t(sent.ActiveLine) != NoChangeActiveLine;
    QDateTime clock;
    if (setClock) {
        const QDate date(2000 + sent.Year, sent.Month, sent.Day);
        const QTime time(sent.Hour, sent.Minute, sent.Second, sent.Centisecond * 10);
        if (sent.Centisecond > 99 || !date.isValid() || !time.isValid()) {
            frame.note = QStringLiteral("invalid date or time %1-%2-%3 %4:%5:%6.%7")
                             .arg(2000 + sent.Year)
                             .arg(sent.Month)
                             .arg(sent.Day)
                             .arg(sent.Hour)
                             .arg(sent.Minute)
                             .arg(sent.Second)
                             .arg(sent.Centisecond);
            return;
        }
        clock = QDateTime(date, time, Qt::UTC);
    }
    if (setLine && uint8_t(sent.ActiveLine) >= m_schedule.size()) {
        frame.note = QStringLiteral("active line %1 beyond the last line (%2 lines)")
                         .arg(uint8_t(sent.ActiveLine))
                         .arg(m_schedule.size());
        return;
    }
    for (int c = 0; c < ChannelCount; ++c) {
        const uint16_t level = sent.Level[c];
        if (level != NoChangeLevel)
            m_manualLevels[c] = std::min<uint16_t>(level, LevelFull);
    }
    if (setClock) {
        reanchor(frame.timeMs, clock, m_lapse);
        m_info.Reserved12 = sent.Reserved12;
    }
    if (setLine)
        m_info.ActiveLine = sent.ActiveLine;
}

SimulatedController::Answer SimulatedController::serveBootloader(uint8_t code,
                                                                 const std::vector<uint8_t> &data,
                                                                 SimFrame &frame)
{
    const auto lengthIs = [&](size_t n) {
        if (data.size() == n)
            return true;
        frame.note = QStringLiteral("%1 data bytes, expected %2").arg(data.size()).arg(n);
        return false;
    };
    const auto served = [&](const char *key) {
        frame.accepted = true;
        count(QString::fromLatin1(key));
    };
    switch (code) {
    case 0x80: {
        if (!lengthIs(0))
            return {};
        served("BL80");
        const DeviceId id{DeviceTypeBootloader, BootloaderVersion};
        return readAnswer(code, &id.DeviceType, sizeof id);
    }
    case 0x81: {
        if (!lengthIs(0))
            return {};
        served("BL81");
        BootInfo boot;
        boot.PageSize = m_pageSize;
        boot.FlashSize = uint32_t(m_flash.size());
        return readAnswer(code, bytesOf(boot).data(), sizeof boot);
    }
    case 0x02: {
        if (!lengthIs(2 + BlockSize))
            return {};
        const uint32_t address = uint32_t(data[0] | data[1] << 8);
        const uint32_t flashSize = uint32_t(m_flash.size());
        const uint32_t usable = flashSize > BootloaderReserve ? flashSize - BootloaderReserve : 0;
        if (m_failBlocks > 0) {
            --m_failBlocks;
            frame.note = QStringLiteral("block write failed (injected)");
            frame.faultInjected = true;
            return {};
        }
        if (address % BlockSize != 0) {
            frame.note = QStringLiteral("block address 0x%1 not a multiple of %2")
                             .arg(address, 4, 16, QLatin1Char('0'))
                             .arg(BlockSize);
            return {};
        }
        if (address + BlockSize > usable) {
            frame.note = QStringLiteral("block at 0x%1 beyond the firmware area (%2 bytes)")
                             .arg(address, 4, 16, QLatin1Char('0'))
                             .arg(usable);
            return {};
        }
        std::memcpy(m_flash.data() + address, data.data() + 2, BlockSize);
        m_flashedThisSession = true;
        served("BL02");
        return ack();
    }
    case 0x01: {
        if (!lengthIs(6))
            return {};
        served("BL01");
        const Answer answer = ack();
        restartFirmware();
        return answer;
    }
    default:
        frame.note = QStringLiteral("unknown bootloader command %1").arg(codeKey(code));
        return {};
    }
}
