// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A simulated controller: the device side of the serial protocol as a byte-stream
// state machine. Feed it what the PC sent, send back what it returns. It keeps the
// controller's records, schedule, clock, saving flag, weather triggers and bootloader
// with its flash image, and it can be told to misbehave in the ways a real line does.
//
// No threads of its own. Every public function takes one internal lock, so a test may
// read, change or break the controller at any time while a SimulatorPort drives it.

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include "link/records.h"

// One line received from the PC, as the controller saw it.
struct SimFrame {
    qint64 timeMs = 0; // time source value when the line feed arrived
    QByteArray text; // the line without its line feed
    bool bootloader = false; // received while the bootloader was running
    bool accepted = false; // understood and served (an injected fault may still spoil the answer)
    bool faultInjected = false; // an injected fault lost the frame or altered its answer
    QByteArray answer; // the bytes sent back, after any injected fault
    QString note; // why the frame was rejected or which fault touched it; empty otherwise
};

// Ways to misbehave. Each applies to the frames it can affect: the answer faults to
// read answers, NoAck to write acknowledgements, Silence to every frame.
enum class SimFault {
    None,
    Silence, // the frame is lost: not served, nothing sent back
    ShortAnswer, // the read answer lacks its final line-end character
    LongAnswer, // one more digit pair before the line end
    TrailingJunk, // a correct answer followed by a stray digit pair and line end
    GarbledAnswer, // the first data pair replaced by the non-hexadecimal "G1"
    WrongEcho, // the echoed code differs in its second digit ("81" comes back as "82")
    NoAck, // the write is served but its acknowledgement byte is lost
};

class SimulatedController
{
public:
    // Monotonic milliseconds. Everything time-dependent (clock, saving flag, levels,
    // sensors) is derived from it, so a test that passes its own source is deterministic.
    using TimeSource = std::function<qint64()>;

    // A default time source is the system's steady clock. startTime is the controller's
    // wall-clock time at construction (date and time as shown, no time zone); when
    // invalid, the PC's local time is used.
    explicit SimulatedController(TimeSource timeSource = {}, const QDateTime &startTime = {});

    SimulatedController(const SimulatedController &) = delete;
    SimulatedController &operator=(const SimulatedController &) = delete;

    // Received bytes in, bytes to send out. Lines end with a line feed; a line may arrive
    // in pieces and several lines in one piece.
    QByteArray feed(QByteArrayView received);
    // Forget a partly received line (the line went down).
    void resetInput();

    // ---- Records. The getters return what an "81", "82", ... read would carry now.
    InfoRecord info() const;
    // Takes the flags, error flags, reserved bytes, active line, sensor values (the base of
    // their small simulated variation) and the levels used in mode Manual. The clock, the
    // line count and the computed levels stay the controller's own.
    void setInfo(const InfoRecord &info);
    ConfigRecord config() const;
    void setConfig(const ConfigRecord &config);
    ExpertRecord expert() const;
    void setExpert(const ExpertRecord &expert);
    ExpertWeatherRecord expertWeather() const;
    void setExpertWeather(const ExpertWeatherRecord &weather);
    // Without a chart set here, the chart is recorded from the sensor that the expert
    // setting "ChartMode" chooses, one sample every "ChartInterval" minutes.
    ChartRecord chart() const;
    void setChart(const ChartRecord &chart);
    void clearChart(); // back to the recorded chart
    std::vector<ScheduleLine> schedule() const;
    void setSchedule(const std::vector<ScheduleLine> &lines); // at most 255 lines are kept
    // Factory settings, schedule and sensors; the clock, flash image, counters and log stay.
    void restoreFactoryState();
    // A controller that has lost its settings (an erased EEPROM): the factory records with
    // no moonlight and a schedule of one line at 00:00 with every level zero, stored so.
    void loseSettings();

    // ---- Clock. It runs at the "TimeLapse" factor of the configuration (0 stops it).
    // Date and time as the controller shows them, held as Qt::UTC (no zone conversion).
    QDateTime deviceTime() const;
    void setDeviceTime(const QDateTime &wallClock);

    // ---- Permanent storage ("7F" 01).
    int saveCount() const;
    bool isSaving() const; // StateFlags2 bit 4 is set for SavingDurationMs after a save
    static constexpr qint64 SavingDurationMs = 1000;

    // ---- Bootloader
    bool inBootloader() const;
    // Switch between bootloader and firmware at once, as with the jumper at power-up.
    void setInBootloader(bool bootloader);
    BootInfo bootInfo() const;
    // Flash geometry reported by "GetBootInfo"; a new size erases the flash image.
    void setBootInfo(uint16_t pageSize, uint32_t flashSize);
    QByteArray flashImage() const; // erased bytes are 0xFF
    // The bootloader keeps its own area at the top of the flash free of block writes.
    static constexpr uint32_t BootloaderReserve = 1024;
    static constexpr int BlockSize = 64;

    // ---- What arrived. Counters are kept per served command: the code as sent ("80",
    // "81", ..., "01", "02", ...), "7F" with its sub-command ("7F01", "7F02", "7F03",
    // "7F00"), and "BL" in front for the bootloader's commands ("BL80", "BL81", "BL02",
    // "BL01").
    int commandCount(const QString &key) const;
    std::map<QString, int> commandCounts() const;
    int rejectedCount() const; // frames not understood or not acceptable
    QList<SimFrame> frames() const; // the most recent MaxLoggedFrames frames, oldest first
    void clearHistory(); // counters and frame log
    static constexpr int MaxLoggedFrames = 2000;

    // ---- Fault injection; thread-safe, effective for the next frame.
    // count < 0: until cleared; otherwise for the next count frames it applies to.
    void setFault(SimFault fault, int count = -1);
    void clearFault();
    SimFault fault() const;
    // Writes with these codes ("01", "02", "03", "05", "06") are refused every time until
    // cleared with an empty list: not served and not acknowledged, as by a controller that
    // rejects what they carry. The frames are logged; the command counters skip them.
    void setRefusedWrites(const QStringList &codes);
    // Called with the code and the data of every write the controller accepts, before it
    // takes the data; may change them, as firmware does that clamps or ignores a value. The
    // write is acknowledged as usual. An empty function (the default) changes nothing. It
    // runs under the controller's lock and must not call the controller.
    using WriteAdjuster = std::function<void(uint8_t code, std::vector<uint8_t> &data)>;
    void setWriteAdjuster(WriteAdjuster adjuster);
    // Answer the identification with another type and/or version (-1 = the real one).
    // Applies while the firmware runs; the bootloader always answers type 0.
    void setIdentity(int deviceType, int firmwareVersion);
    // The next n block writes to the bootloader fail: not written, not acknowledged.
    void failNextBlockWrites(int n);
    // Pacing of the answers by a SimulatorPort: at the real line speed (11520 bytes per
    // second) and after a fixed latency per answer. The controller itself answers at once.
    void setThrottle(bool realLineSpeed);
    bool throttle() const;
    void setLatencyMs(int ms);
    int latencyMs() const;
    static constexpr int LineBytesPerSecond = 11520;

    // Character that ends every read answer: carriage return by default, line feed allowed.
    void setAnswerLineEnd(char lineEnd);
    // Value of the acknowledgement byte of a write.
    void setAckByte(char ack);

    static constexpr uint8_t FirmwareType = DeviceTypeThisProduct;
    static constexpr uint8_t FirmwareVersion = ExpectedFirmwareVersion;
    static constexpr uint8_t BootloaderVersion = 1;
    static constexpr uint16_t DefaultPageSize = 128;
    static constexpr uint32_t DefaultFlashSize = 32768;

private:
    struct Answer {
        enum Kind { None, Read, Ack } kind = None;
        QByteArray bytes;
    };
    struct Stored { // the settings as saved permanently
        ConfigRecord config;
        ExpertRecord expert;
        ExpertWeatherRecord weather;
        std::vector<ScheduleLine> schedule;
    };

    qint64 now() const;
    QDateTime wallAt(qint64 nowMs) const;
    void reanchor(qint64 nowMs, const QDateTime &wall, int lapse);
    void applyConfig(const ConfigRecord &config);
    InfoRecord currentInfo(qint64 nowMs) const;
    ChartRecord currentChart(qint64 nowMs) const;

    QByteArray processLine();
    Answer serveFirmware(uint8_t code, const std::vector<uint8_t> &data, SimFrame &frame);
    Answer serveBootloader(uint8_t code, const std::vector<uint8_t> &data, SimFrame &frame);
    Answer readAnswer(uint8_t code, const uint8_t *data, size_t size) const;
    Answer ack() const;
    void writeInfo(const InfoRecord &sent, SimFrame &frame);
    void restartFirmware();
    bool takeFault(SimFault kind);
    void applyFault(Answer &answer, SimFrame &frame);
    void count(const QString &key);
    void log(SimFrame frame);

    mutable std::mutex m_mutex;
    TimeSource m_timeSource;

    // Clock: wall = anchorWall + (now - anchorMono) * lapse.
    QDateTime m_anchorWall;
    qint64 m_anchorMono = 0;
    int m_lapse = 1;

    InfoRecord m_info;
    ConfigRecord m_config;
    ExpertRecord m_expert;
    ExpertWeatherRecord m_weather;
    std::optional<ChartRecord> m_chart;
    std::vector<ScheduleLine> m_schedule;
    uint16_t m_manualLevels[ChannelCount] = {};
    int m_scheduleCursor = 0; // next line a "83" answers
    bool m_cloud = false;
    bool m_storm = false;
    Stored m_stored;
    int m_saveCount = 0;
    qint64 m_savingUntil = -1;

    bool m_bootloader = false;
    bool m_flashedThisSession = false;
    uint16_t m_pageSize = DefaultPageSize;
    QByteArray m_flash;

    QByteArray m_line;
    bool m_lineOverflow = false;
    static constexpr qsizetype MaxLineLength = 256;

    std::map<QString, int> m_counts;
    int m_rejected = 0;
    QList<SimFrame> m_frames;

    SimFault m_fault = SimFault::None;
    int m_faultCount = -1;
    QStringList m_refusedWrites;
    WriteAdjuster m_adjustWrite;
    int m_identityType = -1;
    int m_identityVersion = -1;
    int m_failBlocks = 0;
    bool m_throttle = false;
    int m_latencyMs = 0;
    char m_lineEnd = '\r';
    char m_ackByte = '*';
};
