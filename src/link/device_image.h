#pragma once
// The device image: the program's copy of the controller's state, and the request word
// through which the window and the link thread keep it in step with the controller.
//
// Threads. The records, Schedule, ScheduleDirty and CurvePoints belong to the UI thread:
// window handlers edit them, and the copy routines below (which the link thread has run on
// the UI thread while it waits) fill and read them. The only exception is Info.LineCount,
// which the link thread reads when a schedule download starts. RequestFlags is shared;
// every access goes through DeviceLock, and every routine here holds the lock for a few
// instructions only, never across I/O or a hand-over.
//
// Waking the link thread. Every routine that raises a bit (or replaces the word by a
// nonzero value) wakes RequestRaised while it holds DeviceLock. The link thread, after a
// pass in which nothing was due, calls waitForRequest(20) instead of sleeping 20 ms: the
// call tests the word and waits under the same lock, so a bit raised at any moment is never
// missed, and it returns at once when a bit is raised. wakeRequestWaiters() releases a
// waiting link thread without raising anything (for a stop request).

#include "link/records.h"

#include <QMutex>
#include <QPoint>
#include <QWaitCondition>

#include <cstdint>
#include <initializer_list>
#include <span>
#include <vector>

// ---------------------------------------------------------------------------
// Request bits: each names one transfer

inline constexpr uint32_t GetInfo = 0x1;
inline constexpr uint32_t SetInfoTime = 0x2;
inline constexpr uint32_t SetInfoLevels = 0x4;
inline constexpr uint32_t SetInfoActiveLine = 0x8;
inline constexpr uint32_t GetConfig = 0x10;
inline constexpr uint32_t SetConfig = 0x20;
inline constexpr uint32_t GetSchedule = 0x40;
inline constexpr uint32_t SetSchedule = 0x80;
inline constexpr uint32_t GetExpert = 0x100;
inline constexpr uint32_t SetExpert = 0x200;
inline constexpr uint32_t GetExpertWeather = 0x400;
inline constexpr uint32_t SetExpertWeather = 0x800;
inline constexpr uint32_t GetChart = 0x1000;
inline constexpr uint32_t FirmwareUpdate = 0x2000;
inline constexpr uint32_t SaveEEPROM = 0x4000;
inline constexpr uint32_t ToggleCloud = 0x8000;
inline constexpr uint32_t ToggleStorm = 0x10000;

inline constexpr uint32_t SetInfoAny = SetInfoTime | SetInfoLevels | SetInfoActiveLine;
inline constexpr uint32_t AllRequestBits = 0x1FFFF;

// Combined values
inline constexpr uint32_t FullDownload = 0x1551; // after identifying this product and firmware
inline constexpr uint32_t Poll = 0x11; // the link thread's periodic poll
inline constexpr uint32_t Refresh = 0x551; // "Refresh" and the export
inline constexpr uint32_t ImportConfig = 0xA20; // "Import configuration..."
inline constexpr uint32_t ColumnPaste = 0xA0; // column paste and swap in the schedule grid
inline constexpr uint32_t ChartSource = 0x1200; // choosing the chart source

static_assert(FullDownload == (GetInfo | GetConfig | GetSchedule | GetExpert | GetExpertWeather | GetChart));
static_assert(Refresh == (FullDownload & ~GetChart));
static_assert(ImportConfig == (SetConfig | SetExpert | SetExpertWeather));
static_assert(ColumnPaste == (SetConfig | SetSchedule));
static_assert(ChartSource == (SetExpert | GetChart));

// ---------------------------------------------------------------------------
// The image (zero at start; see setStartupValues)

extern InfoRecord Info;
extern ConfigRecord Config;
extern ExpertRecord Expert;
extern ExpertWeatherRecord ExpertWeather;
extern ChartRecord Chart;
// Always as long as Info.LineCount after a copied Info; the three tables share one length.
extern std::vector<ScheduleLine> Schedule;
// Nonzero: the line was changed in the window and has not been sent yet.
extern std::vector<uint8_t> ScheduleDirty;
// Drawn positions of the schedule lines in the light-curve chart.
extern std::vector<QPoint> CurvePoints;

extern uint32_t RequestFlags; // only under DeviceLock
extern QMutex DeviceLock;
extern QWaitCondition RequestRaised; // used with DeviceLock

// Start-up values set before any connection: position 50.1 N 8.5 E, empty chart.
inline constexpr int16_t StartupLat = 501;
inline constexpr int16_t StartupLon = 85;
void setStartupValues();

// Everything back to zero, the tables empty and no request pending (for tests).
void resetDeviceImage();

// ---------------------------------------------------------------------------
// Window side (UI thread)

// ORs bits into RequestFlags. Raising a bit that is already set changes nothing.
void raiseRequest(uint32_t bits);
// Marks the given schedule lines changed and raises SetSchedule (plus alsoRaise) in one
// locked section. Indices outside Schedule are ignored; with no valid index SetSchedule is
// not raised (alsoRaise still is).
void markScheduleLinesChanged(std::span<const int> lines, uint32_t alsoRaise = 0);
void markScheduleLinesChanged(std::initializer_list<int> lines, uint32_t alsoRaise = 0);
// Every line of Schedule, e.g. after an import.
void markAllScheduleLinesChanged(uint32_t alsoRaise = 0);

// Replaces the whole word: the window's RGB demo and Flash modes (SetConfig only), the link
// thread's reset (0) and full download. The ScheduleDirty marks are left as they are.
void setRequestFlags(uint32_t word);

// The word as it is now, e.g. to see whether GetSchedule is pending.
uint32_t pendingRequests();
bool isRequestPending(uint32_t bit);

// ---------------------------------------------------------------------------
// Link side

// Whether the bit is due in this pass: set, and for a read no write of the same record
// pending (GetInfo waits for all three Info writes).
bool shouldServe(uint32_t bit);

// The one bit a pass of the link thread serves for this request word, or 0 when nothing is
// due. The order: SetConfig, GetConfig, the three Info writes (time, levels, active line),
// GetInfo, SetExpert, GetExpert, SetSchedule, GetSchedule, GetChart, SetExpertWeather,
// GetExpertWeather, SaveEEPROM, ToggleCloud, ToggleStorm, FirmwareUpdate. A read waits while
// a write of its record is set. Write bits in held (a refused write waiting for its next
// attempt) are skipped and do not hold back their reads: the read's answer is still
// discarded at copy-in while the write bit is set, but the poll goes out.
// Taking everything from one reading of the word means that a word replaced by the window
// in the middle of a pass can never make the pass send something nobody asked for.
uint32_t nextDueRequest(uint32_t word, uint32_t held = 0);

// A new connection (or another device answering) starts clean: the word becomes 0 and every
// ScheduleDirty mark is cleared, so nothing edited for the previous connection is written
// over what the next full download brings. UI thread (the marks belong to it).
void resetRequestsForNewConnection();
// Clears bits (the "7F" commands before sending, GetSchedule and FirmwareUpdate at the end
// of their procedures).
void clearRequests(uint32_t bits);

// Waits up to timeoutMs for a request bit to be raised; returns at once when one is set.
// Bits in ignore (held writes) neither end the wait nor count as set.
// Returns whether a request bit is set.
bool waitForRequest(int timeoutMs, uint32_t ignore = 0);
// Releases a thread waiting in waitForRequest.
void wakeRequestWaiters();

// Copy-out before a write (UI thread, while the link thread waits): clears the bit and
// copies the record into the data part of the frame buffer. False, with nothing changed,
// when data is too short for the record.
// copyOutInfo clears only the given variant bit (SetInfoTime, SetInfoLevels or
// SetInfoActiveLine) and copies all 50 bytes; see applyNoChangeMarkers.
bool copyOutInfo(uint32_t variantBit, std::span<uint8_t> data);
bool copyOutConfig(std::span<uint8_t> data);
bool copyOutExpert(std::span<uint8_t> data);
bool copyOutExpertWeather(std::span<uint8_t> data);

// Copy-out for SetSchedule: takes the first changed line below Info.LineCount, clears its
// mark and writes its index into data[0] and the line into data[1..17]. When no line is
// changed it clears SetSchedule and returns false: nothing is to be sent in this pass.
bool copyOutScheduleLine(std::span<uint8_t> data);

// Overwrites the fields of an Info write that the variant does not set with their no-change
// markers: the time variant keeps the clock, the level variant the 12 levels, the
// active-line variant ActiveLine.
void applyNoChangeMarkers(std::span<uint8_t> data, uint32_t variantBit);

// Copy-in after a successful read (UI thread, while the link thread waits): clears the get
// bit, then copies the data into the image unless a write of the record is pending.
// Returns true when the record was copied; false when it was discarded (or data is too
// short, which leaves the bit raised as for a failed read).
// A copied Info resizes Schedule, ScheduleDirty and CurvePoints to its LineCount.
bool copyInInfo(std::span<const uint8_t> data);
bool copyInConfig(std::span<const uint8_t> data);
bool copyInExpert(std::span<const uint8_t> data);
bool copyInExpertWeather(std::span<const uint8_t> data);
bool copyInChart(std::span<const uint8_t> data);

// Copy-in of one "83" answer: data[0] is the line index (signed), data[1..17] the line.
// Returns true when the line was stored. The answer is dropped when the index is outside
// Schedule, and when that line is marked changed in the window: the user's edit is kept
// and SetSchedule is raised so that it reaches the controller after the download.
// A dropped answer is not a failed exchange.
bool copyInScheduleLine(std::span<const uint8_t> data);
