#include "link/device_image.h"

#include <QMutexLocker>

#include <algorithm>
#include <cstring>
#include <iterator>

InfoRecord Info{};
ConfigRecord Config{};
ExpertRecord Expert{};
ExpertWeatherRecord ExpertWeather{};
ChartRecord Chart{};
std::vector<ScheduleLine> Schedule;
std::vector<uint8_t> ScheduleDirty;
std::vector<QPoint> CurvePoints;

uint32_t RequestFlags = 0;
QMutex DeviceLock;
QWaitCondition RequestRaised;

namespace {

// Caller holds DeviceLock.
void orBitsLocked(uint32_t bits)
{
    bits &= AllRequestBits;
    if (bits == 0)
        return;
    RequestFlags |= bits;
    RequestRaised.wakeAll();
}

template <class R>
bool copyOutRecord(uint32_t bit, const R &rec, std::span<uint8_t> data)
{
    if (data.size() < sizeof(R))
        return false;
    {
        QMutexLocker lock(&DeviceLock);
        RequestFlags &= ~bit;
    }
    std::memcpy(data.data(), &rec, sizeof(R));
    return true;
}

// Clears the get bit; the record is taken unless one of the pending bits is set.
template <class R>
bool copyInRecord(uint32_t getBit, uint32_t pendingWrites, R &rec, std::span<const uint8_t> data)
{
    if (data.size() < sizeof(R))
        return false;
    {
        QMutexLocker lock(&DeviceLock);
        RequestFlags &= ~getBit;
        if (RequestFlags & pendingWrites)
            return false;
    }
    std::memcpy(&rec, data.data(), sizeof(R));
    return true;
}

} // namespace

void setStartupValues()
{
    Config.Lat = StartupLat;
    Config.Lon = StartupLon;
    for (lei16 &s : Chart.Sample)
        s = NoValue16;
}

void resetDeviceImage()
{
    Info = {};
    Config = {};
    Expert = {};
    ExpertWeather = {};
    Chart = {};
    Schedule.clear();
    ScheduleDirty.clear();
    CurvePoints.clear();
    QMutexLocker lock(&DeviceLock);
    RequestFlags = 0;
}

void raiseRequest(uint32_t bits)
{
    QMutexLocker lock(&DeviceLock);
    orBitsLocked(bits);
}

void markScheduleLinesChanged(std::span<const int> lines, uint32_t alsoRaise)
{
    QMutexLocker lock(&DeviceLock);
    bool any = false;
    for (int i : lines) {
        if (i >= 0 && std::size_t(i) < ScheduleDirty.size()) {
            ScheduleDirty[std::size_t(i)] = 1;
            any = true;
        }
    }
    orBitsLocked((any ? SetSchedule : 0) | alsoRaise);
}

void markScheduleLinesChanged(std::initializer_list<int> lines, uint32_t alsoRaise)
{
    markScheduleLinesChanged(std::span<const int>(lines.begin(), lines.size()), alsoRaise);
}

void markAllScheduleLinesChanged(uint32_t alsoRaise)
{
    QMutexLocker lock(&DeviceLock);
    std::fill(ScheduleDirty.begin(), ScheduleDirty.end(), uint8_t(1));
    orBitsLocked((ScheduleDirty.empty() ? 0 : SetSchedule) | alsoRaise);
}

void setRequestFlags(uint32_t word)
{
    QMutexLocker lock(&DeviceLock);
    RequestFlags = word & AllRequestBits;
    if (RequestFlags != 0)
        RequestRaised.wakeAll();
}

uint32_t pendingRequests()
{
    QMutexLocker lock(&DeviceLock);
    return RequestFlags;
}

bool isRequestPending(uint32_t bit)
{
    QMutexLocker lock(&DeviceLock);
    return (RequestFlags & bit) != 0;
}

bool shouldServe(uint32_t bit)
{
    uint32_t blockedBy = 0;
    switch (bit) {
    case GetInfo:
        blockedBy = SetInfoAny;
        break;
    case GetConfig:
        blockedBy = SetConfig;
        break;
    case GetSchedule:
        blockedBy = SetSchedule;
        break;
    case GetExpert:
        blockedBy = SetExpert;
        break;
    case GetExpertWeather:
        blockedBy = SetExpertWeather;
        break;
    default:
        break;
    }
    QMutexLocker lock(&DeviceLock);
    return (RequestFlags & bit) != 0 && (RequestFlags & blockedBy) == 0;
}

uint32_t nextDueRequest(uint32_t word, uint32_t held)
{
    // Held writes neither run nor hold back their reads.
    const uint32_t w = word & AllRequestBits;
    const uint32_t writes = w & ~held;
    struct Step {
        uint32_t bit;
        uint32_t blockedBy;
    };
    static constexpr Step Order[] = {
        {SetConfig, 0},        {GetConfig, SetConfig},
        {SetInfoTime, 0},      {SetInfoLevels, 0},
        {SetInfoActiveLine, 0}, {GetInfo, SetInfoAny},
        {SetExpert, 0},        {GetExpert, SetExpert},
        {SetSchedule, 0},      {GetSchedule, SetSchedule},
        {GetChart, 0},         {SetExpertWeather, 0},
        {GetExpertWeather, SetExpertWeather},
        {SaveEEPROM, 0},       {ToggleCloud, 0},
        {ToggleStorm, 0},      {FirmwareUpdate, 0},
    };
    static_assert(std::size(Order) == 17);
    for (const Step &s : Order) {
        if ((w & s.bit) == 0 || (held & s.bit) != 0)
            continue;
        if ((writes & s.blockedBy) == 0)
            return s.bit;
    }
    return 0;
}

void resetRequestsForNewConnection()
{
    QMutexLocker lock(&DeviceLock);
    RequestFlags = 0;
    std::fill(ScheduleDirty.begin(), ScheduleDirty.end(), uint8_t(0));
}

void clearRequests(uint32_t bits)
{
    QMutexLocker lock(&DeviceLock);
    RequestFlags &= ~bits;
}

bool waitForRequest(int timeoutMs, uint32_t ignore)
{
    const uint32_t counted = AllRequestBits & ~ignore;
    QMutexLocker lock(&DeviceLock);
    if ((RequestFlags & counted) == 0 && timeoutMs > 0)
        RequestRaised.wait(&DeviceLock, QDeadlineTimer(timeoutMs));
    return (RequestFlags & counted) != 0;
}

void wakeRequestWaiters()
{
    QMutexLocker lock(&DeviceLock);
    RequestRaised.wakeAll();
}

bool copyOutInfo(uint32_t variantBit, std::span<uint8_t> data)
{
    return copyOutRecord(variantBit & SetInfoAny, Info, data);
}

bool copyOutConfig(std::span<uint8_t> data) { return copyOutRecord(SetConfig, Config, data); }
bool copyOutExpert(std::span<uint8_t> data) { return copyOutRecord(SetExpert, Expert, data); }
bool copyOutExpertWeather(std::span<uint8_t> data)
{
    return copyOutRecord(SetExpertWeather, ExpertWeather, data);
}

bool copyOutScheduleLine(std::span<uint8_t> data)
{
    if (data.size() < ScheduleFrameSize)
        return false;
    // Info.LineCount and the tables agree after every copied Info; the bound by the table
    // sizes only matters before the first Info has arrived.
    const std::size_t count = std::min<std::size_t>(
        {std::size_t(Info.LineCount), ScheduleDirty.size(), Schedule.size()});
    QMutexLocker lock(&DeviceLock);
    for (std::size_t i = 0; i < count; ++i) {
        if (ScheduleDirty[i] != 0) {
            ScheduleDirty[i] = 0;
            lock.unlock();
            data[0] = uint8_t(i);
            std::memcpy(data.data() + 1, &Schedule[i], ScheduleLineSize);
            return true;
        }
    }
    RequestFlags &= ~SetSchedule;
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

bool copyInInfo(std::span<const uint8_t> data)
{
    if (!copyInRecord(GetInfo, SetInfoAny, Info, data))
        return false;
    const std::size_t n = Info.LineCount;
    Schedule.resize(n, ScheduleLine{});
    ScheduleDirty.resize(n, 0);
    CurvePoints.resize(n, QPoint());
    return true;
}

bool copyInConfig(std::span<const uint8_t> data)
{
    return copyInRecord(GetConfig, SetConfig, Config, data);
}
bool copyInExpert(std::span<const uint8_t> data)
{
    return copyInRecord(GetExpert, SetExpert, Expert, data);
}
bool copyInExpertWeather(std::span<const uint8_t> data)
{
    return copyInRecord(GetExpertWeather, SetExpertWeather, ExpertWeather, data);
}
bool copyInChart(std::span<const uint8_t> data) { return copyInRecord(GetChart, 0, Chart, data); }

bool copyInScheduleLine(std::span<const uint8_t> data)
{
    if (data.size() < ScheduleFrameSize)
        return false;
    const int index = int8_t(data[0]);
    if (index < 0 || std::size_t(index) >= Schedule.size())
        return false;
    const std::size_t i = std::size_t(index);
    if (i < ScheduleDirty.size() && ScheduleDirty[i] != 0) {
        raiseRequest(SetSchedule);
        return false;
    }
    std::memcpy(&Schedule[i], data.data() + 1, ScheduleLineSize);
    return true;
}
