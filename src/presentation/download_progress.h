// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>

// How far the download of the controller's whole state has come, for the status bar:
// one step per record (Config, Info, Expert, Chart, ExpertWeather) and one per schedule
// line. A record counts once, however often the poll reads it again meanwhile. The
// download ends with ExpertWeather, the last record it reads, or with the connection.
class DownloadProgress {
public:
    enum Record { Info = 0x1, Config = 0x2, Expert = 0x4, Chart = 0x8, ExpertWeather = 0x10 };
    static constexpr int RecordCount = 5;

    // The controller was identified; its download starts.
    void start();
    // The connection ended, or the download is over.
    void stop();
    void recordRead(Record record);
    // Schedule line done of count has been read.
    void scheduleLineRead(int done, int count);

    bool active() const { return m_active; }
    int done() const;
    int total() const;
    // "Downloading schedule line 3 of 40" while lines come in, else "Downloading from the
    // controller: 2 of 45" (translated).
    QString text() const;

private:
    bool m_active = false;
    unsigned m_records = 0;
    int m_linesDone = 0;
    int m_lineCount = 0;
    bool m_inSchedule = false;
};
