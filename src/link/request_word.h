// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The request word of one controller: which transfers are due. Edits raise bits on the UI
// thread; the link thread of that controller picks one bit per pass, serves it and clears
// it. Every access holds the word's own lock for a few instructions, never across I/O or a
// hand-over.
//
// Waking the link thread. Every call that raises a bit (or replaces the word by a nonzero
// value) wakes a waiter while it holds the lock. The link thread, after a pass in which
// nothing was due, calls waitForRequest instead of sleeping: the call tests the word and
// waits under the same lock, so a bit raised at any moment is never missed, and it returns
// at once when one is raised. wake() releases a waiting thread without raising anything
// (for a stop request).

#include "link/device_image.h"

#include <QMutex>
#include <QWaitCondition>

#include <cstdint>

// The writes whose pending bit holds back this read (its answer would overwrite an edit
// that has not reached the controller yet): GetInfo waits for all three Info writes. 0 for
// a write or a command. The one rule table behind this and nextDueRequest.
uint32_t WritesBlockingRead(uint32_t readBit);

// The one bit a pass of the link thread serves for this request word, or 0 when nothing is
// due. The order: SetConfig, GetConfig, the three Info writes (time, levels, active line),
// GetInfo, SetExpert, GetExpert, SetSchedule, GetSchedule, GetChart, SetExpertWeather,
// GetExpertWeather, SaveEEPROM, ToggleCloud, ToggleStorm, FirmwareUpdate. A read waits while
// a write of its record is set. Write bits in held (a refused write waiting for its next
// attempt) are skipped and do not hold back their reads: the read's answer is still
// discarded at copy-in while the write bit is set, but the poll goes out.
// Taking everything from one reading of the word means that a word replaced by an edit in
// the middle of a pass can never make the pass send something nobody asked for.
uint32_t nextDueRequest(uint32_t word, uint32_t held = 0);

class RequestWord
{
public:
    // ORs bits in. Raising a bit that is already set changes nothing.
    void raise(uint32_t bits);
    void clear(uint32_t bits);
    // Replaces the whole word: the RGB demo and Flash modes (SetConfig only), the link
    // thread's reset (0) and its full download.
    void replace(uint32_t word);

    uint32_t pending() const;
    bool isPending(uint32_t bits) const;
    // nextDueRequest of the word as it is now.
    uint32_t nextDue(uint32_t held = 0) const { return nextDueRequest(pending(), held); }

    // A read's answer has arrived: clears readBit and tells, in the same locked step,
    // whether the answer may be copied in (no write that blocks it is pending).
    bool takeRead(uint32_t readBit);

    // Waits up to timeoutMs for a request bit to be raised; returns at once when one is
    // set. Bits in ignore (held writes) neither end the wait nor count as set. Returns
    // whether a counted bit is set.
    bool waitForRequest(int timeoutMs, uint32_t ignore = 0);
    // Releases a thread waiting in waitForRequest.
    void wake();

private:
    void orLocked(uint32_t bits);

    mutable QMutex m_mutex;
    QWaitCondition m_raised;
    uint32_t m_word = 0;
};
