// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/request_word.h"

#include <QDeadlineTimer>
#include <QMutexLocker>

#include <iterator>

namespace {

struct Step
{
    uint32_t bit;
    uint32_t blockedBy;  // the writes that hold this read back
};

// The serving order and the read-after-write rule, in one table.
constexpr Step Order[] = {
    {SetConfig, 0},         {GetConfig, SetConfig},
    {SetInfoTime, 0},       {SetInfoLevels, 0},
    {SetInfoActiveLine, 0}, {GetInfo, SetInfoAny},
    {SetExpert, 0},         {GetExpert, SetExpert},
    {SetSchedule, 0},       {GetSchedule, SetSchedule},
    {GetChart, 0},          {SetExpertWeather, 0},
    {GetExpertWeather, SetExpertWeather},
    {SaveEEPROM, 0},        {ToggleCloud, 0},
    {ToggleStorm, 0},       {FirmwareUpdate, 0},
};
static_assert(std::size(Order) == 17);

} // namespace

uint32_t WritesBlockingRead(uint32_t readBit)
{
    for (const Step &s : Order)
        if (s.bit == readBit)
            return s.blockedBy;
    return 0;
}

uint32_t nextDueRequest(uint32_t word, uint32_t held)
{
    // Held writes neither run nor hold back their reads.
    const uint32_t w = word & AllRequestBits;
    const uint32_t writes = w & ~held;
    for (const Step &s : Order) {
        if ((w & s.bit) == 0 || (held & s.bit) != 0)
            continue;
        if ((writes & s.blockedBy) == 0)
            return s.bit;
    }
    return 0;
}

void RequestWord::orLocked(uint32_t bits)
{
    bits &= AllRequestBits;
    if (bits == 0)
        return;
    m_word |= bits;
    m_raised.wakeAll();
}

void RequestWord::raise(uint32_t bits)
{
    QMutexLocker lock(&m_mutex);
    orLocked(bits);
}

void RequestWord::clear(uint32_t bits)
{
    QMutexLocker lock(&m_mutex);
    m_word &= ~bits;
}

void RequestWord::replace(uint32_t word)
{
    QMutexLocker lock(&m_mutex);
    m_word = word & AllRequestBits;
    if (m_word != 0)
        m_raised.wakeAll();
}

uint32_t RequestWord::pending() const
{
    QMutexLocker lock(&m_mutex);
    return m_word;
}

bool RequestWord::isPending(uint32_t bits) const
{
    QMutexLocker lock(&m_mutex);
    return (m_word & bits) != 0;
}

bool RequestWord::takeRead(uint32_t readBit)
{
    const uint32_t blockedBy = WritesBlockingRead(readBit);
    QMutexLocker lock(&m_mutex);
    m_word &= ~readBit;
    return (m_word & blockedBy) == 0;
}

bool RequestWord::waitForRequest(int timeoutMs, uint32_t ignore)
{
    const uint32_t counted = AllRequestBits & ~ignore;
    QMutexLocker lock(&m_mutex);
    if ((m_word & counted) == 0 && timeoutMs > 0)
        m_raised.wait(&m_mutex, QDeadlineTimer(timeoutMs));
    return (m_word & counted) != 0;
}

void RequestWord::wake()
{
    QMutexLocker lock(&m_mutex);
    m_raised.wakeAll();
}
