// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/device_model.h"

#include "presentation/localization.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

void DeviceImage::setStartupValues()
{
    Config.Lat = StartupLat;
    Config.Lon = StartupLon;
    for (lei16 &s : Chart.Sample)
        s = NoValue16;
}

void DeviceImage::resizeSchedule(std::size_t n)
{
    Schedule.resize(n, ScheduleLine{});
    ScheduleDirty.resize(n, 0);
}

namespace {

template <class R>
bool copyOutRecord(RequestWord &requests, uint32_t bit, const R &rec, std::span<uint8_t> data)
{
    if (data.size() < sizeof(R))
        return false;
    requests.clear(bit);
    std::memcpy(data.data(), &rec, sizeof(R));
    return true;
}

template <class R>
bool copyInRecord(RequestWord &requests, uint32_t readBit, R &rec, std::span<const uint8_t> data)
{
    if (data.size() < sizeof(R) || !requests.takeRead(readBit))
        return false;
    std::memcpy(&rec, data.data(), sizeof(R));
    return true;
}

} // namespace

DeviceModel::DeviceModel(QObject *parent) : QObject(parent), m_requests(std::make_shared<RequestWord>())
{
    qRegisterMetaType<DeviceChange>();
}

DeviceModel::~DeviceModel() = default;

void DeviceModel::emitChange(const DeviceChange &change)
{
    if (change.parts != 0)
        emit changed(change);
}

void DeviceModel::edited(uint32_t bits, unsigned parts, Origin origin, const std::optional<EditSnapshot> &before)
{
    m_requests->raise(bits);
    record(before, bits);
    emitChange({origin, parts, {}});
}

void DeviceModel::setLevel(int channel, uint16_t level)
{
    if (channel < 0 || channel >= ChannelCount)
        return;
    const auto before = beginEdit();
    m_image.Info.Level[channel] = level;
    edited(SetInfoLevels, PartInfo, Origin::Edit, before);
}

void DeviceModel::setAllLevels(uint16_t level)
{
    const auto before = beginEdit();
    for (auto &l : m_image.Info.Level)
        l = level;
    edited(SetInfoLevels, PartInfo, Origin::Edit, before);
}

void DeviceModel::setActiveLine(int line)
{
    const auto before = beginEdit();
    m_image.Info.ActiveLine = int8_t(uint8_t(line));
    edited(SetInfoActiveLine, PartInfo, Origin::Edit, before);
}

void DeviceModel::setClockFromHost(const QDateTime &now)
{
    // Real time and the clock: one step to take back.
    const EditStep step(*this, Translate(QStringLiteral("UndoClock")));
    editConfig([](ConfigRecord &c) { c.TimeLapse = 1; }, Origin::Command);
    editClock([&now](InfoRecord &info) { SetInfoClock(info, now); });
}

void DeviceModel::switchMode(int mode, Origin origin)
{
    if (m_image.Config.Mode != mode) {
        editSetting(SetConfig, [mode](DeviceImage &d) { d.Config.Mode = uint8_t(mode); }, origin, false);
        // The grid's columns depend on the mode.
        if (!scheduleDownloading())
            announce(PartSchedule);
    }
    if (mode == ModeRGBDemo || mode == ModeFlash)
        replaceRequests(SetConfig);
    else
        request(SetConfig);
}

void DeviceModel::setChannelName(int channel, uint8_t colour)
{
    if (channel < 0 || channel >= ChannelCount)
        return;
    const auto before = beginEdit();
    m_image.Config.ColorName[channel] = colour;
    edited(SetConfig, PartChannelNames, Origin::Command, before);
}

void DeviceModel::markLinesChanged(std::span<const int> lines, uint32_t alsoRaise, Origin origin,
                                   const std::optional<EditSnapshot> &before)
{
    QList<int> marked;
    for (int i : lines) {
        if (i >= 0 && std::size_t(i) < m_image.ScheduleDirty.size()) {
            m_image.ScheduleDirty[std::size_t(i)] = 1;
            marked.append(i);
        }
    }
    std::sort(marked.begin(), marked.end());
    marked.erase(std::unique(marked.begin(), marked.end()), marked.end());
    const uint32_t raised = (marked.isEmpty() ? 0 : SetSchedule) | alsoRaise;
    m_requests->raise(raised);
    record(before, raised);
    emitChange({origin, marked.isEmpty() ? 0u : unsigned(PartSchedule), marked});
}

void DeviceModel::moveScheduleLine(int from, int to)
{
    const int count = int(m_image.Schedule.size());
    if (from < 0 || to < 0 || from >= count || to >= count || from == to)
        return;
    const auto before = beginEdit();
    const int first = std::min(from, to);
    const int last = std::max(from, to);
    const auto begin = m_image.Schedule.begin() + first;
    const auto end = m_image.Schedule.begin() + last + 1;
    if (from < to)
        std::rotate(begin, begin + 1, end);
    else
        std::rotate(begin, end - 1, end);
    std::vector<int> lines;
    for (int i = first; i <= last; ++i)
        lines.push_back(i);
    markLinesChanged(lines, 0, Origin::Edit, before);
}

void DeviceModel::markAllLinesChanged(uint32_t alsoRaise, unsigned parts, Origin origin,
                                      const std::optional<EditSnapshot> &before)
{
    std::fill(m_image.ScheduleDirty.begin(), m_image.ScheduleDirty.end(), uint8_t(1));
    const uint32_t raised = (m_image.ScheduleDirty.empty() ? 0 : SetSchedule) | alsoRaise;
    m_requests->raise(raised);
    record(before, raised);
    QList<int> lines;
    lines.reserve(qsizetype(m_image.Schedule.size()));
    for (std::size_t i = 0; i < m_image.Schedule.size(); ++i)
        lines.append(int(i));
    emitChange({origin, parts, lines});
}

bool DeviceModel::copyOutInfo(uint32_t variantBit, std::span<uint8_t> data)
{
    return copyOutRecord(*m_requests, variantBit & SetInfoAny, m_image.Info, data);
}

bool DeviceModel::copyOutConfig(std::span<uint8_t> data)
{
    return copyOutRecord(*m_requests, SetConfig, m_image.Config, data);
}

bool DeviceModel::copyOutExpert(std::span<uint8_t> data)
{
    return copyOutRecord(*m_requests, SetExpert, m_image.Expert, data);
}

bool DeviceModel::copyOutExpertWeather(std::span<uint8_t> data)
{
    return copyOutRecord(*m_requests, SetExpertWeather, m_image.ExpertWeather, data);
}

bool DeviceModel::copyOutScheduleLine(std::span<uint8_t> data)
{
    if (data.size() < ScheduleFrameSize)
        return false;
    // Info.LineCount and the tables agree after every copied Info; the bound by the table
    // sizes only matters before the first Info has arrived.
    const std::size_t count = std::min<std::size_t>(
        {std::size_t(m_image.Info.LineCount), m_image.ScheduleDirty.size(), m_image.Schedule.size()});
    for (std::size_t i = 0; i < count; ++i) {
        if (m_image.ScheduleDirty[i] != 0) {
            m_image.ScheduleDirty[i] = 0;
            data[0] = uint8_t(i);
            std::memcpy(data.data() + 1, &m_image.Schedule[i], ScheduleLineSize);
            return true;
        }
    }
    m_requests->clear(SetSchedule);
    return false;
}

void applyNoChangeMarkers(std::span<uint8_t> data, uint32_t variantBit)
{
    if (data.size() < InfoSize)
        return;
    if (variantBit != SetInfoTime)
        data[offsetof(InfoRecord, Minute)] = NoChangeMinute;
    if (variantBit != SetInfoLevels)
        std::memset(data.data() + offsetof(InfoRecord, Level), 0xFF, sizeof(InfoRecord::Level));
    if (variantBit != SetInfoActiveLine)
        data[offsetof(InfoRecord, ActiveLine)] = NoChangeActiveLine;
}

unsigned DeviceModel::partOfRead(uint32_t readBit)
{
    switch (readBit) {
    case GetInfo: return PartInfo;
    case GetConfig: return PartConfig;
    case GetExpert: return PartExpert;
    case GetExpertWeather: return PartExpertWeather;
    case GetChart: return PartChart;
    case GetSchedule: return PartSchedule;
    default: return 0;
    }
}

unsigned DeviceModel::partsOfWrites(uint32_t writeBits)
{
    unsigned parts = 0;
    if (writeBits & SetInfoAny)
        parts |= PartInfo;
    if (writeBits & SetConfig)
        parts |= PartConfig;
    if (writeBits & SetExpert)
        parts |= PartExpert;
    if (writeBits & SetExpertWeather)
        parts |= PartExpertWeather;
    if (writeBits & SetSchedule)
        parts |= PartSchedule;
    return parts;
}

bool DeviceModel::copyIn(uint32_t readBit, std::span<const uint8_t> data)
{
    RequestWord &r = *m_requests;
    switch (readBit) {
    case GetInfo:
        if (!copyInRecord(r, GetInfo, m_image.Info, data))
            return false;
        m_image.resizeSchedule(m_image.Info.LineCount);
        return true;
    case GetConfig: return copyInRecord(r, GetConfig, m_image.Config, data);
    case GetExpert: return copyInRecord(r, GetExpert, m_image.Expert, data);
    case GetExpertWeather: return copyInRecord(r, GetExpertWeather, m_image.ExpertWeather, data);
    case GetChart: return copyInRecord(r, GetChart, m_image.Chart, data);
    default: return false;
    }
}

bool DeviceModel::copyInScheduleLine(std::span<const uint8_t> data)
{
    if (data.size() < ScheduleFrameSize)
        return false;
    const int index = int8_t(data[0]);
    if (index < 0 || std::size_t(index) >= m_image.Schedule.size())
        return false;
    const std::size_t i = std::size_t(index);
    if (i < m_image.ScheduleDirty.size() && m_image.ScheduleDirty[i] != 0) {
        m_requests->raise(SetSchedule);
        return false;
    }
    std::memcpy(&m_image.Schedule[i], data.data() + 1, ScheduleLineSize);
    return true;
}

void DeviceModel::resetForNewConnection()
{
    m_requests->replace(0);
    std::fill(m_image.ScheduleDirty.begin(), m_image.ScheduleDirty.end(), uint8_t(0));
}

void DeviceModel::restoreEdited(std::span<const EditedByte> bytes, bool toBefore, const std::optional<QDateTime> &clock,
                                uint32_t alsoRaise)
{
    uint32_t raise = alsoRaise;
    unsigned parts = 0;
    QList<int> lines;
    for (const EditedByte &b : bytes) {
        const std::span<uint8_t> region = EditRegionBytes(m_image, b.region, b.line);
        if (b.offset >= region.size())
            continue;
        region[b.offset] = toBefore ? b.before : b.after;
        switch (b.region) {
        case EditRegion::Info:
            parts |= PartInfo;
            if (b.offset >= InfoLevelFirst && b.offset < InfoLevelEnd)
                raise |= SetInfoLevels;
            else if (b.offset == offsetof(InfoRecord, ActiveLine))
                raise |= SetInfoActiveLine;
            else if (IsInfoClockByte(b.offset))
                raise |= SetInfoTime;
            break;
        case EditRegion::Config:
            raise |= SetConfig;
            parts |= PartConfig;
            if (b.offset >= offsetof(ConfigRecord, ColorName) &&
                b.offset < offsetof(ConfigRecord, ColorName) + sizeof(ConfigRecord::ColorName))
                parts |= PartChannelNames;
            break;
        case EditRegion::Expert:
            raise |= SetExpert;
            parts |= PartExpert;
            break;
        case EditRegion::ExpertWeather:
            raise |= SetExpertWeather;
            parts |= PartExpertWeather;
            break;
        case EditRegion::Line:
            m_image.ScheduleDirty[std::size_t(b.line)] = 1;
            raise |= SetSchedule;
            parts |= PartSchedule;
            if (!lines.contains(b.line))
                lines.append(b.line);
            break;
        }
    }
    if (clock && clock->isValid()) {
        SetInfoClock(m_image.Info, *clock);
        raise |= SetInfoTime;
        parts |= PartInfo;
    }
    std::sort(lines.begin(), lines.end());
    m_requests->raise(raise);
    emitChange({Origin::Command, parts, lines});
}
