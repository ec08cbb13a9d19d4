// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Byte layouts of the records exchanged with the controller. The same bytes are the
// data part of the wire frames and the contents of the device image, so every record
// is a plain, packed, trivially copyable struct whose multi-byte fields are stored
// little-endian regardless of the host.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <type_traits>

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>

// ---------------------------------------------------------------------------
// Little-endian field types (alignment 1, no padding)

struct le16 {
    uint8_t b[2];
    constexpr operator uint16_t() const { return uint16_t(b[0] | (b[1] << 8)); }
    constexpr le16 &operator=(uint16_t v)
    {
        b[0] = uint8_t(v);
        b[1] = uint8_t(v >> 8);
        return *this;
    }
};

struct lei16 {
    uint8_t b[2];
    constexpr operator int16_t() const { return int16_t(uint16_t(b[0] | (b[1] << 8))); }
    constexpr lei16 &operator=(int16_t v)
    {
        b[0] = uint8_t(uint16_t(v));
        b[1] = uint8_t(uint16_t(v) >> 8);
        return *this;
    }
};

struct le32 {
    uint8_t b[4];
    constexpr operator uint32_t() const
    {
        return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
    }
    constexpr le32 &operator=(uint32_t v)
    {
        b[0] = uint8_t(v);
        b[1] = uint8_t(v >> 8);
        b[2] = uint8_t(v >> 16);
        b[3] = uint8_t(v >> 24);
        return *this;
    }
};

static_assert(sizeof(le16) == 2 && alignof(le16) == 1);
static_assert(sizeof(lei16) == 2 && alignof(lei16) == 1);
static_assert(sizeof(le32) == 4 && alignof(le32) == 1);

// ---------------------------------------------------------------------------
// Sizes and special values

inline constexpr std::size_t InfoSize = 50;
inline constexpr std::size_t ConfigSize = 31;
inline constexpr std::size_t ExpertSize = 44;
inline constexpr std::size_t ExpertWeatherSize = 69;
inline constexpr std::size_t ChartSize = 80;
inline constexpr std::size_t ScheduleLineSize = 17;
inline constexpr std::size_t DeviceIdSize = 2;
inline constexpr std::size_t BootInfoSize = 6;
// Schedule frames carry the line index in front of the line.
inline constexpr std::size_t ScheduleFrameSize = 1 + ScheduleLineSize;

inline constexpr int ChannelCount = 12;
inline constexpr int ChartSampleCount = 40;
inline constexpr int RC5KeyCount = 8;

// 0x7FFF in a signed 16-bit sensor field (and in a chart sample): no value.
inline constexpr int16_t NoValue16 = 0x7FFF;

// Markers in an Info write that tell the controller to leave a group unchanged.
inline constexpr uint8_t NoChangeMinute = 0xFF;
inline constexpr uint16_t NoChangeLevel = 0xFFFF;
inline constexpr uint8_t NoChangeActiveLine = 0xFF;

// Level scale of channels and moonlight: 4096 = 100 %.
inline constexpr int LevelFull = 4096;

inline constexpr uint8_t ExpectedFirmwareVersion = 5;

// Device types answered to the identification.
inline constexpr uint8_t DeviceTypeBootloader = 0;
inline constexpr uint8_t DeviceTypeThisProduct = 1;
inline constexpr uint8_t DeviceTypeNone = 0xFF;

// Names of the models, index = device type div 2.
inline constexpr std::array<const char *, 5> ModelNames = {
    "Aqualumora 1.x", "Terralumora 1.x", "Aqualumora 2.x", "Terralumora 2.x", "Minilumora 1.x"};

// Model name of a device type, or nullptr when type div 2 is beyond the table.
constexpr const char *modelNameForType(uint8_t type)
{
    return type / 2u < ModelNames.size() ? ModelNames[type / 2u] : nullptr;
}
// The model name, or the type in decimal for types without a name.
QString hardwareName(uint8_t type);

// Bits of Config.Flag
inline constexpr uint8_t FlagBigStep = 0x01;
inline constexpr uint8_t FlagDisplay20x4 = 0x02;
inline constexpr uint8_t FlagFahrenheit = 0x04;
inline constexpr uint8_t Flag12Hour = 0x08;

// Bits of Info.StateFlags
inline constexpr uint8_t StateCloud = 0x01;
inline constexpr uint8_t StateStorm = 0x02;
inline constexpr uint8_t StateCooler = 0x04;
inline constexpr uint8_t StateHeater = 0x08;
inline constexpr uint8_t StateJmpTimer = 0x20;
// Bit of Info.StateFlags2
inline constexpr uint8_t State2Saving = 0x10;

// Bits of Info.ErrorFlags
inline constexpr uint8_t ErrorOvertemperature = 0x01;
inline constexpr uint8_t ErrorUndervoltage = 0x02;
inline constexpr uint8_t ErrorQuartz = 0x04;
inline constexpr uint8_t ErrorCRC = 0x08;
inline constexpr uint8_t ErrorRAMFull = 0x10;
inline constexpr uint8_t ErrorRTC = 0x40;
inline constexpr uint8_t ErrorPWM = 0x80;

// Bits of ScheduleLine.Switch (bits 0..4 belong to the controller and are carried as they are)
inline constexpr uint8_t SwitchBacklight = 0x20;
inline constexpr uint8_t SwitchClouds = 0x40;
inline constexpr uint8_t SwitchStorms = 0x80;

// Operating modes (Config.Mode)
enum : uint8_t { ModeManual = 0, ModeAuto = 1, ModeGeo = 2, ModeRGBDemo = 3, ModeFlash = 4 };

// Sources of the chart samples (Expert.ChartMode)
enum : uint8_t { ChartWaterTemp = 0, ChartBoardTemp = 1, ChartInputVoltage = 2, ChartSlaveTemp = 3 };

// Order of the remote-control keys in Expert.RC5Code
enum : uint8_t { RC5Up, RC5Down, RC5Left, RC5Right, RC5Previous, RC5Next, RC5Settings, RC5Step };

// ---------------------------------------------------------------------------
// Records

struct InfoRecord {
    uint8_t LineCount;
    uint8_t StateFlags;
    uint8_t ErrorFlags;
    uint8_t StateFlags2;
    int8_t ActiveLine;
    uint8_t Centisecond;
    uint8_t Second;
    uint8_t Minute;
    uint8_t Hour;
    uint8_t Day;
    uint8_t Month;
    int8_t Year; // year - 2000
    uint8_t Reserved12; // the "Now" action writes 0 here
    uint8_t Reserved13[4];
    le16 Level[12]; // 0..4096
    uint8_t Reserved41;
    lei16 WaterTemp; // 0.1 degC
    uint8_t Reserved44[2];
    lei16 InputVoltage; // 0.01 V
    lei16 SlaveTemp; // 0.1 degC
};

struct ConfigRecord {
    uint8_t Mode;
    uint8_t Flag;
    uint8_t FanLow;
    uint8_t FanHigh;
    uint8_t LCDBLMin;
    uint8_t LCDBLMax;
    uint8_t TimeLapse;
    uint8_t ColorName[12];
    le16 CloudP;
    le16 CloudD;
    le16 StormP;
    le16 StormD;
    lei16 Lat; // 0.1 deg, north positive
    lei16 Lon; // 0.1 deg, east positive
};

struct ScheduleLine {
    uint8_t Hour;
    uint8_t Minute;
    lei16 Alt; // round(sin(altitude) * 10000)
    uint8_t Color16[12]; // percent
    uint8_t Switch;
};

struct ExpertRecord {
    uint8_t FanMode;
    uint8_t ChartMode;
    uint8_t PWMPrescaler;
    uint8_t TWIBitrate;
    uint8_t RandomInit;
    uint8_t FanOff;
    uint8_t LCDBLNight;
    uint8_t ChartScale;
    int8_t TempOffset;
    int8_t BalanceSumRamp;
    lei16 TempWaterLow;
    lei16 TempWaterHigh;
    lei16 CloudTempWater;
    le16 ChartInterval;
    int8_t StandardMonth;
    int8_t StandardDay;
    int8_t StandardHour;
    int8_t StandardDayOfWeek;
    int8_t DaylightMonth;
    int8_t DaylightDay;
    int8_t DaylightHour;
    int8_t DaylightDayOfWeek;
    lei16 Bias; // minutes, local = UTC + Bias
    le16 RC5Code[8]; // Up, Down, Left, Right, Previous, Next, Settings, Step
};

struct ExpertWeatherRecord {
    le16 CloudStep;
    le16 StormStep;
    le16 LightningP;
    uint8_t CloudAlpha;
    uint8_t StormAlpha;
    uint8_t BalanceSum;
    le16 MoonColor16[12]; // 0..4096
    uint8_t Balance[12];
    uint8_t LightningMask[12];
    uint8_t WeatherDelay[12]; // 0.1 s; 255 = no weather on this channel
};

struct ChartRecord {
    lei16 Sample[40]; // newest first, NoValue16 = no sample
};

struct DeviceId {
    uint8_t DeviceType;
    uint8_t FirmwareVersion;
};

struct BootInfo {
    le16 PageSize; // flash page size in bytes
    le32 FlashSize; // flash size in bytes
};

// ---------------------------------------------------------------------------
// Layout checks

template <class R>
inline constexpr bool IsRecord = std::is_same_v<R, InfoRecord> || std::is_same_v<R, ConfigRecord>
    || std::is_same_v<R, ScheduleLine> || std::is_same_v<R, ExpertRecord>
    || std::is_same_v<R, ExpertWeatherRecord> || std::is_same_v<R, ChartRecord>
    || std::is_same_v<R, DeviceId> || std::is_same_v<R, BootInfo>;

#define AQ_CHECK_RECORD(R, size)                                                                  \
    static_assert(sizeof(R) == (size));                                                           \
    static_assert(alignof(R) == 1);                                                               \
    static_assert(std::is_trivially_copyable_v<R> && std::is_standard_layout_v<R>)

AQ_CHECK_RECORD(InfoRecord, InfoSize);
AQ_CHECK_RECORD(ConfigRecord, ConfigSize);
AQ_CHECK_RECORD(ScheduleLine, ScheduleLineSize);
AQ_CHECK_RECORD(ExpertRecord, ExpertSize);
AQ_CHECK_RECORD(ExpertWeatherRecord, ExpertWeatherSize);
AQ_CHECK_RECORD(ChartRecord, ChartSize);
AQ_CHECK_RECORD(DeviceId, DeviceIdSize);
AQ_CHECK_RECORD(BootInfo, BootInfoSize);
#undef AQ_CHECK_RECORD

static_assert(offsetof(InfoRecord, LineCount) == 0);
static_assert(offsetof(InfoRecord, StateFlags) == 1);
static_assert(offsetof(InfoRecord, ErrorFlags) == 2);
static_assert(offsetof(InfoRecord, StateFlags2) == 3);
static_assert(offsetof(InfoRecord, ActiveLine) == 4);
static_assert(offsetof(InfoRecord, Centisecond) == 5);
static_assert(offsetof(InfoRecord, Second) == 6);
static_assert(offsetof(InfoRecord, Minute) == 7);
static_assert(offsetof(InfoRecord, Hour) == 8);
static_assert(offsetof(InfoRecord, Day) == 9);
static_assert(offsetof(InfoRecord, Month) == 10);
static_assert(offsetof(InfoRecord, Year) == 11);
static_assert(offsetof(InfoRecord, Reserved12) == 12);
static_assert(offsetof(InfoRecord, Reserved13) == 13);
static_assert(offsetof(InfoRecord, Level) == 17);
static_assert(offsetof(InfoRecord, Reserved41) == 41);
static_assert(offsetof(InfoRecord, WaterTemp) == 42);
static_assert(offsetof(InfoRecord, Reserved44) == 44);
static_assert(offsetof(InfoRecord, InputVoltage) == 46);
static_assert(offsetof(InfoRecord, SlaveTemp) == 48);

static_assert(offsetof(ConfigRecord, Mode) == 0);
static_assert(offsetof(ConfigRecord, Flag) == 1);
static_assert(offsetof(ConfigRecord, FanLow) == 2);
static_assert(offsetof(ConfigRecord, FanHigh) == 3);
static_assert(offsetof(ConfigRecord, LCDBLMin) == 4);
static_assert(offsetof(ConfigRecord, LCDBLMax) == 5);
static_assert(offsetof(ConfigRecord, TimeLapse) == 6);
static_assert(offsetof(ConfigRecord, ColorName) == 7);
static_assert(offsetof(ConfigRecord, CloudP) == 19);
static_assert(offsetof(ConfigRecord, CloudD) == 21);
static_assert(offsetof(ConfigRecord, StormP) == 23);
static_assert(offsetof(ConfigRecord, StormD) == 25);
static_assert(offsetof(ConfigRecord, Lat) == 27);
static_assert(offsetof(ConfigRecord, Lon) == 29);

static_assert(offsetof(ScheduleLine, Hour) == 0);
static_assert(offsetof(ScheduleLine, Minute) == 1);
static_assert(offsetof(ScheduleLine, Alt) == 2);
static_assert(offsetof(ScheduleLine, Color16) == 4);
static_assert(offsetof(ScheduleLine, Switch) == 16);

static_assert(offsetof(ExpertRecord, FanMode) == 0);
static_assert(offsetof(ExpertRecord, ChartMode) == 1);
static_assert(offsetof(ExpertRecord, PWMPrescaler) == 2);
static_assert(offsetof(ExpertRecord, TWIBitrate) == 3);
static_assert(offsetof(ExpertRecord, RandomInit) == 4);
static_assert(offsetof(ExpertRecord, FanOff) == 5);
static_assert(offsetof(ExpertRecord, LCDBLNight) == 6);
static_assert(offsetof(ExpertRecord, ChartScale) == 7);
static_assert(offsetof(ExpertRecord, TempOffset) == 8);
static_assert(offsetof(ExpertRecord, BalanceSumRamp) == 9);
static_assert(offsetof(ExpertRecord, TempWaterLow) == 10);
static_assert(offsetof(ExpertRecord, TempWaterHigh) == 12);
static_assert(offsetof(ExpertRecord, CloudTempWater) == 14);
static_assert(offsetof(ExpertRecord, ChartInterval) == 16);
static_assert(offsetof(ExpertRecord, StandardMonth) == 18);
static_assert(offsetof(ExpertRecord, StandardDay) == 19);
static_assert(offsetof(ExpertRecord, StandardHour) == 20);
static_assert(offsetof(ExpertRecord, StandardDayOfWeek) == 21);
static_assert(offsetof(ExpertRecord, DaylightMonth) == 22);
static_assert(offsetof(ExpertRecord, DaylightDay) == 23);
static_assert(offsetof(ExpertRecord, DaylightHour) == 24);
static_assert(offsetof(ExpertRecord, DaylightDayOfWeek) == 25);
static_assert(offsetof(ExpertRecord, Bias) == 26);
static_assert(offsetof(ExpertRecord, RC5Code) == 28);

static_assert(offsetof(ExpertWeatherRecord, CloudStep) == 0);
static_assert(offsetof(ExpertWeatherRecord, StormStep) == 2);
static_assert(offsetof(ExpertWeatherRecord, LightningP) == 4);
static_assert(offsetof(ExpertWeatherRecord, CloudAlpha) == 6);
static_assert(offsetof(ExpertWeatherRecord, StormAlpha) == 7);
static_assert(offsetof(ExpertWeatherRecord, BalanceSum) == 8);
static_assert(offsetof(ExpertWeatherRecord, MoonColor16) == 9);
static_assert(offsetof(ExpertWeatherRecord, Balance) == 33);
static_assert(offsetof(ExpertWeatherRecord, LightningMask) == 45);
static_assert(offsetof(ExpertWeatherRecord, WeatherDelay) == 57);

static_assert(offsetof(ChartRecord, Sample) == 0);
static_assert(offsetof(DeviceId, DeviceType) == 0);
static_assert(offsetof(DeviceId, FirmwareVersion) == 1);
static_assert(offsetof(BootInfo, PageSize) == 0);
static_assert(offsetof(BootInfo, FlashSize) == 2);

// ---------------------------------------------------------------------------
// Raw byte views

template <class R>
    requires IsRecord<R>
std::span<uint8_t, sizeof(R)> recordBytes(R &rec)
{
    return std::span<uint8_t, sizeof(R)>(reinterpret_cast<uint8_t *>(&rec), sizeof(R));
}

template <class R>
    requires IsRecord<R>
std::span<const uint8_t, sizeof(R)> recordBytes(const R &rec)
{
    return std::span<const uint8_t, sizeof(R)>(reinterpret_cast<const uint8_t *>(&rec), sizeof(R));
}

// ---------------------------------------------------------------------------
// Field access by key (INI files, simulated controller)

struct FieldDesc {
    std::string_view key;
    uint16_t offset;
    uint8_t width; // bytes: 1, 2 or 4
    bool isSigned;
};

// Value of a field, sign- or zero-extended.
int32_t readField(const uint8_t *record, const FieldDesc &field);
// Stores the low 8, 16 or 32 bits of value (plain truncation, like an integer cast).
void writeField(uint8_t *record, const FieldDesc &field, int64_t value);
// Field with the given key (ASCII letter case ignored, as in INI files), or nullptr.
const FieldDesc *findField(std::span<const FieldDesc> table, std::string_view key);

#define AQ_U8(k, o) FieldDesc{k, o, 1, false}
#define AQ_I8(k, o) FieldDesc{k, o, 1, true}
#define AQ_U16(k, o) FieldDesc{k, o, 2, false}
#define AQ_I16(k, o) FieldDesc{k, o, 2, true}
// Twelve like fields named prefix0 .. prefix11, w bytes each from offset o.
#define AQ_X12(M, k, o, w)                                                                        \
    M(k "0", (o)), M(k "1", (o) + 1 * (w)), M(k "2", (o) + 2 * (w)), M(k "3", (o) + 3 * (w)),     \
        M(k "4", (o) + 4 * (w)), M(k "5", (o) + 5 * (w)), M(k "6", (o) + 6 * (w)),                \
        M(k "7", (o) + 7 * (w)), M(k "8", (o) + 8 * (w)), M(k "9", (o) + 9 * (w)),                \
        M(k "10", (o) + 10 * (w)), M(k "11", (o) + 11 * (w))

inline constexpr FieldDesc InfoFields[] = {
    AQ_U8("LineCount", 0),  AQ_U8("StateFlags", 1), AQ_U8("ErrorFlags", 2),
    AQ_U8("StateFlags2", 3), AQ_I8("ActiveLine", 4), AQ_U8("Centisecond", 5),
    AQ_U8("Second", 6),     AQ_U8("Minute", 7),     AQ_U8("Hour", 8),
    AQ_U8("Day", 9),        AQ_U8("Month", 10),     AQ_I8("Year", 11),
    AQ_X12(AQ_U16, "Level", 17, 2),
    AQ_I16("WaterTemp", 42), AQ_I16("InputVoltage", 46), AQ_I16("SlaveTemp", 48),
};

inline constexpr FieldDesc ConfigFields[] = {
    AQ_U8("Mode", 0),      AQ_U8("Flag", 1),      AQ_U8("FanLow", 2),   AQ_U8("FanHigh", 3),
    AQ_U8("LCDBLMin", 4),  AQ_U8("LCDBLMax", 5),  AQ_U8("TimeLapse", 6),
    AQ_X12(AQ_U8, "ColorName", 7, 1),
    AQ_U16("CloudP", 19),  AQ_U16("CloudD", 21),  AQ_U16("StormP", 23), AQ_U16("StormD", 25),
    AQ_I16("Lat", 27),     AQ_I16("Lon", 29),
};

inline constexpr FieldDesc ScheduleLineFields[] = {
    AQ_U8("Hour", 0), AQ_U8("Minute", 1), AQ_I16("Alt", 2),
    AQ_X12(AQ_U8, "Color16", 4, 1),
    AQ_U8("Switch", 16),
};

inline constexpr FieldDesc ExpertFields[] = {
    AQ_U8("FanMode", 0),           AQ_U8("ChartMode", 1),          AQ_U8("PWMPrescaler", 2),
    AQ_U8("TWIBitrate", 3),        AQ_U8("RandomInit", 4),         AQ_U8("FanOff", 5),
    AQ_U8("LCDBLNight", 6),        AQ_U8("ChartScale", 7),         AQ_I8("TempOffset", 8),
    AQ_I8("BalanceSumRamp", 9),    AQ_I16("TempWaterLow", 10),     AQ_I16("TempWaterHigh", 12),
    AQ_I16("CloudTempWater", 14),  AQ_U16("ChartInterval", 16),
    AQ_I8("StandardMonth", 18),    AQ_I8("StandardDay", 19),       AQ_I8("StandardHour", 20),
    AQ_I8("StandardDayOfWeek", 21), AQ_I8("DaylightMonth", 22),    AQ_I8("DaylightDay", 23),
    AQ_I8("DaylightHour", 24),     AQ_I8("DaylightDayOfWeek", 25), AQ_I16("Bias", 26),
    AQ_U16("Up", 28),              AQ_U16("Down", 30),             AQ_U16("Left", 32),
    AQ_U16("Right", 34),           AQ_U16("Previous", 36),         AQ_U16("Next", 38),
    AQ_U16("Settings", 40),        AQ_U16("Step", 42),
};

inline constexpr FieldDesc ExpertWeatherFields[] = {
    AQ_U16("CloudStep", 0), AQ_U16("StormStep", 2), AQ_U16("LightningP", 4),
    AQ_U8("CloudAlpha", 6), AQ_U8("StormAlpha", 7), AQ_U8("BalanceSum", 8),
    AQ_X12(AQ_U16, "MoonColor16", 9, 2),
    AQ_X12(AQ_U8, "Balance", 33, 1),
    AQ_X12(AQ_U8, "LightningMask", 45, 1),
    AQ_X12(AQ_U8, "WeatherDelay", 57, 1),
};

#undef AQ_U8
#undef AQ_I8
#undef AQ_U16
#undef AQ_I16
#undef AQ_X12

// Field table of a record type (empty for records without keys).
template <class R>
    requires IsRecord<R>
constexpr std::span<const FieldDesc> fieldTable()
{
    if constexpr (std::is_same_v<R, InfoRecord>)
        return InfoFields;
    else if constexpr (std::is_same_v<R, ConfigRecord>)
        return ConfigFields;
    else if constexpr (std::is_same_v<R, ScheduleLine>)
        return ScheduleLineFields;
    else if constexpr (std::is_same_v<R, ExpertRecord>)
        return ExpertFields;
    else if constexpr (std::is_same_v<R, ExpertWeatherRecord>)
        return ExpertWeatherFields;
    else
        return {};
}

// ---------------------------------------------------------------------------
// Small helpers shared by several pages

// Year of the controller's clock; Year is signed, so 0xFF is 1999.
constexpr int controllerYear(const InfoRecord &info) { return 2000 + info.Year; }
// Date and time of the controller's clock; invalid when the fields are out of range.
QDate controllerDate(const InfoRecord &info);
QTime controllerTime(const InfoRecord &info);
// What "Now" writes into the information record from a local date and time: date, the byte
// after Year (0), hour, minute, second and centiseconds. Centiseconds are the rounded
// milliseconds / 10, limited to 99 (995 ms and more would otherwise give 100).
void SetInfoClock(InfoRecord &info, const QDateTime &now);
// Seconds the controller's clock (a local time) is ahead of now; nullopt when its fields
// are out of range.
std::optional<qint64> ControllerClockOffset(const InfoRecord &info, const QDateTime &now);

constexpr bool hasValue(int16_t sensorValue) { return sensorValue != NoValue16; }
constexpr bool isFahrenheit(const ConfigRecord &config) { return (config.Flag & FlagFahrenheit) != 0; }

// A temperature in tenths of a degree Celsius as shown to the user: one decimal and
// "°C", or converted to Fahrenheit with "°F". Decimal separator of the default locale.
QString temperatureText(int tenthsCelsius, bool fahrenheit);
