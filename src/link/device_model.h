// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One controller's state as the program knows it: the device image, its request word, and
// the one signal through which every view hears what changed. Lives on the UI thread.
//
// Edits. Every change the user makes goes through one of the edits below, which change the
// image, mark what must be sent and raise the request bit in one step, then emit changed.
// The link thread of this controller sees the raised bit and fetches the data through the
// copy-out routines, which it has run on the UI thread in a hand-over while it waits.
//
// Reads. The link thread copies each answer in the same way (copyIn, copyInScheduleLine);
// after the hand-over it asks for publish, and changed is emitted with what was read. An
// answer that arrives while a write of its record is pending is dropped: the edit stays,
// and nothing is published for it.
//
// The model never names a view. Two models (two controllers) share nothing.

#include "link/device_image.h"
#include "link/edit_snapshot.h"
#include "link/request_word.h"

#include <QDateTime>
#include <QList>
#include <QMetaType>
#include <QObject>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <span>

// What a change touched. The colour names are part of Config; they have a bit of their own
// because every page shows them.
enum DevicePart : unsigned {
    PartInfo = 1u << 0,
    PartConfig = 1u << 1,
    PartChannelNames = 1u << 2,
    PartExpert = 1u << 3,
    PartExpertWeather = 1u << 4,
    PartSchedule = 1u << 5,
    PartChart = 1u << 6,
};

struct DeviceChange
{
    enum class Origin {
        Controller,  // read from the controller
        Edit,        // a control's own edit: that control already shows it
        Command,     // a command or an import: every view shows the parts anew
    };
    Origin origin = Origin::Edit;
    unsigned parts = 0;  // DevicePart bits
    // With PartSchedule: the lines concerned, ascending; a download or an import names every
    // line it brought, which may be none.
    QList<int> lines;
};
Q_DECLARE_METATYPE(DeviceChange)

// Hears every edit of the user's (not the controller's reads, not the values an undo
// restores), to keep them as steps that can be taken back.
class EditRecorder
{
public:
    virtual ~EditRecorder() = default;
    // The editable image before the edit, the image after it, and the requests it raised.
    virtual void recordEdit(const EditSnapshot &before, const DeviceImage &after, uint32_t raised) = 0;
    // Edits between these two calls are one step with this name (nested calls count).
    virtual void beginStep(const QString &name) = 0;
    virtual void endStep() = 0;
};

class DeviceModel : public QObject
{
    Q_OBJECT
public:
    using Origin = DeviceChange::Origin;

    explicit DeviceModel(QObject *parent = nullptr);
    ~DeviceModel() override;

    const DeviceImage &image() const { return m_image; }
    // The image for states loaded as a whole where no edit is meant (a test's or a
    // benchmark's starting state): marks nothing, raises nothing, emits nothing.
    DeviceImage &imageForLoading() { return m_image; }

    RequestWord &requests() const { return *m_requests; }
    // Shared with this model's link thread, which may outlive a hand-over.
    std::shared_ptr<RequestWord> sharedRequests() const { return m_requests; }
    uint32_t pendingRequests() const { return m_requests->pending(); }
    bool isRequestPending(uint32_t bits) const { return m_requests->isPending(bits); }
    // Whether the schedule download runs: the grid and the curves take no edit then.
    bool scheduleDownloading() const { return isRequestPending(GetSchedule); }

    // Position 50.1 N 8.5 E and an empty chart, before any connection. Emits nothing.
    void setStartupValues() { m_image.setStartupValues(); }

    // --- edits (UI thread) -------------------------------------------------------------

    // One channel's level (0..LevelFull), sent as the level variant of the Info write.
    void setLevel(int channel, uint16_t level);
    // Every channel's level.
    void setAllLevels(uint16_t level);
    // The line the controller runs now (a click on the grid's first column).
    void setActiveLine(int line);
    // Changes the clock fields of Info; sent as the time variant of the Info write.
    template <class F>
    void editClock(F &&f, Origin origin = Origin::Edit)
    {
        const auto before = beginEdit();
        f(m_image.Info);
        edited(SetInfoTime, PartInfo, origin, before);
    }
    // The controller's clock set to now (a local time of this computer), and running in
    // real time again. The real-time flag changes what several views show: a Command.
    void setClockFromHost(const QDateTime &now);
    // The operating mode as the Options menu switches it, sent at once: RGB demo and Flash
    // take over the lamp, so whatever else was pending is dropped then (the schedule marks
    // stay and go out with the next schedule write). The same mode sends it again.
    void switchMode(int mode, Origin origin = Origin::Edit);
    // One channel's colour name; every view shows names, so this is a Command.
    void setChannelName(int channel, uint8_t colour);
    // A change of Config, Expert or ExpertWeather, sent as one write of that record.
    template <class F>
    void editConfig(F &&f, Origin origin = Origin::Edit, unsigned parts = PartConfig)
    {
        const auto before = beginEdit();
        f(m_image.Config);
        edited(SetConfig, parts, origin, before);
    }
    template <class F>
    void editExpert(F &&f, Origin origin = Origin::Edit)
    {
        const auto before = beginEdit();
        f(m_image.Expert);
        edited(SetExpert, PartExpert, origin, before);
    }
    template <class F>
    void editExpertWeather(F &&f, Origin origin = Origin::Edit)
    {
        const auto before = beginEdit();
        f(m_image.ExpertWeather);
        edited(SetExpertWeather, PartExpertWeather, origin, before);
    }
    // A setting: f changes the image, and the records of the write bits in `writes`
    // (SetConfig, SetExpert, SetExpertWeather; GetChart may come along) are sent.
    // With send false the change stays in the image and goes out with the record's next
    // write (a radio button checked by a refresh).
    template <class F>
    void editSetting(uint32_t writes, F &&f, Origin origin = Origin::Edit, bool send = true)
    {
        // A value set by a refresh is no edit of the user's: it is not recorded.
        const auto before = send ? beginEdit() : std::nullopt;
        f(m_image);
        edited(send ? writes : 0, partsOfWrites(writes), origin, before);
    }
    // One schedule line. send false keeps it from the controller for now (a point being
    // dragged); markScheduleLinesChanged sends it later. Out-of-range lines are ignored.
    template <class F>
    void editScheduleLine(int line, F &&f, bool send = true)
    {
        if (line < 0 || std::size_t(line) >= m_image.Schedule.size())
            return;
        const auto before = beginEdit();
        f(m_image.Schedule[std::size_t(line)]);
        if (send) {
            const int lines[] = {line};
            markLinesChanged(lines, 0, Origin::Edit, before);
        } else {
            record(before, 0);
            emitChange({Origin::Edit, PartSchedule, {line}});
        }
    }
    void setScheduleLine(int line, const ScheduleLine &value)
    {
        editScheduleLine(line, [&value](ScheduleLine &s) { s = value; });
    }
    // Moves line from to the place of line to, the lines between moving up or down by one,
    // and sends every line of that range.
    void moveScheduleLine(int from, int to);
    // Marks lines changed and raises SetSchedule (plus alsoRaise); lines outside the table
    // are ignored, and with none left SetSchedule is not raised (alsoRaise still is).
    void markScheduleLinesChanged(std::span<const int> lines, uint32_t alsoRaise = 0, Origin origin = Origin::Edit)
    {
        markLinesChanged(lines, alsoRaise, origin, std::nullopt);
    }
    void markScheduleLinesChanged(std::initializer_list<int> lines, uint32_t alsoRaise = 0)
    {
        markScheduleLinesChanged(std::span<const int>(lines.begin(), lines.size()), alsoRaise);
    }
    // Every line of the table (plus alsoRaise), e.g. after an import.
    void markAllScheduleLinesChanged(uint32_t alsoRaise = 0, Origin origin = Origin::Edit)
    {
        markAllLinesChanged(alsoRaise, PartSchedule, origin, std::nullopt);
    }
    // A change of the whole table and Config (a column paste or swap in the grid): f edits
    // both, then every line is sent with Config. A Command: names and grid show it anew.
    template <class F>
    void editColumns(F &&f)
    {
        const auto before = beginEdit();
        f(m_image.Config, m_image.Schedule);
        markAllLinesChanged(SetConfig, PartChannelNames | PartSchedule, Origin::Command, before);
    }
    // An import: f replaces Config, Expert and ExpertWeather (and, with schedule, the lines
    // the image has), then all of it is sent (ImportConfig, and every line).
    template <class F>
    void importSettings(F &&f)
    {
        const auto before = beginEdit();
        f(m_image);
        edited(ImportConfig, PartConfig | PartExpert | PartExpertWeather, Origin::Command, before);
    }
    template <class F>
    void importSchedule(F &&f)
    {
        const auto before = beginEdit();
        f(m_image);
        markAllLinesChanged(SetSchedule, PartSchedule, Origin::Command, before);
    }

    // --- undo and redo --------------------------------------------------------------------

    // The recorder that hears the user's edits (none: nothing is recorded).
    void setEditRecorder(EditRecorder *recorder) { m_recorder = recorder; }
    // Every edit made while a scope lives is one step, named name.
    class EditStep
    {
    public:
        EditStep(DeviceModel &model, const QString &name) : m_recorder(model.m_recorder)
        {
            if (m_recorder)
                m_recorder->beginStep(name);
        }
        ~EditStep()
        {
            if (m_recorder)
                m_recorder->endStep();
        }
        EditStep(const EditStep &) = delete;
        EditStep &operator=(const EditStep &) = delete;

    private:
        EditRecorder *m_recorder;
    };
    // Writes back the bytes an undo (toBefore) or a redo restores, and the clock if given,
    // then sends them as an edit would: each changed record or its Info variant, each line.
    // Emitted as a Command (every view shows it anew); not recorded. Bytes of lines the
    // table no longer has are skipped.
    void restoreEdited(std::span<const EditedByte> bytes, bool toBefore, const std::optional<QDateTime> &clock,
                       uint32_t alsoRaise);

    // Raises a transfer that carries no edit (a read, "Save settings permanently", a
    // weather toggle, the firmware update). Emits nothing.
    void request(uint32_t bits) { m_requests->raise(bits); }
    // Replaces the request word (the RGB demo and Flash modes).
    void replaceRequests(uint32_t word) { m_requests->replace(word); }
    // Every view shows these parts anew, though nothing was edited (a mode switch refills
    // the grid). A Command without data.
    void announce(unsigned parts) { emitChange({Origin::Command, parts, {}}); }

    // --- the link thread's side (UI thread, in a hand-over) ------------------------------

    // Copy-out before a write: clears the bit and copies the record into the data part of
    // the frame buffer. False, with nothing changed, when data is too short for the record.
    // copyOutInfo clears only its variant bit and copies all 50 bytes; see
    // applyNoChangeMarkers.
    bool copyOutInfo(uint32_t variantBit, std::span<uint8_t> data);
    bool copyOutConfig(std::span<uint8_t> data);
    bool copyOutExpert(std::span<uint8_t> data);
    bool copyOutExpertWeather(std::span<uint8_t> data);
    // The first changed line below Info.LineCount: clears its mark, writes its index into
    // data[0] and the line into data[1..17]. With no changed line it clears SetSchedule and
    // returns false: nothing is to be sent in this pass.
    bool copyOutScheduleLine(std::span<uint8_t> data);

    // Copy-in after a successful read of the record of readBit (GetInfo, GetConfig,
    // GetExpert, GetExpertWeather, GetChart): clears the bit, then copies the data unless a
    // write of the record is pending. True when the record was copied; false when it was
    // dropped (or data is too short, which leaves the bit raised as for a failed read).
    // A copied Info resizes the schedule tables to its LineCount.
    bool copyIn(uint32_t readBit, std::span<const uint8_t> data);
    // One "83" answer: data[0] is the line index (signed), data[1..17] the line. True when
    // stored. Dropped when the index is outside the table, and when that line is marked
    // changed: the edit is kept, and SetSchedule is raised so that it reaches the
    // controller after the download. A dropped answer is not a failed exchange.
    bool copyInScheduleLine(std::span<const uint8_t> data);
    // The part a read bit fills (PartInfo for GetInfo, ...), 0 for others.
    static unsigned partOfRead(uint32_t readBit);
    // The parts the records of these write bits hold.
    static unsigned partsOfWrites(uint32_t writeBits);

    // Emits changed for what a read brought (origin Controller), after the hand-over.
    void publish(const DeviceChange &change) { emitChange(change); }

    // A new connection (or another device answering) starts clean: the word becomes 0 and
    // every line mark is cleared, so nothing edited for the previous connection is written
    // over what the next full download brings.
    void resetForNewConnection();

signals:
    // After every edit and every read that was copied in: which parts, and from where.
    void changed(const DeviceChange &change);

private:
    // The editable image before an edit, when a recorder listens.
    std::optional<EditSnapshot> beginEdit() const
    {
        return m_recorder ? std::optional(EditSnapshot::of(m_image)) : std::nullopt;
    }
    void record(const std::optional<EditSnapshot> &before, uint32_t raised)
    {
        if (before && m_recorder)
            m_recorder->recordEdit(*before, m_image, raised);
    }
    void edited(uint32_t bits, unsigned parts, Origin origin, const std::optional<EditSnapshot> &before = std::nullopt);
    void markLinesChanged(std::span<const int> lines, uint32_t alsoRaise, Origin origin,
                          const std::optional<EditSnapshot> &before);
    void markAllLinesChanged(uint32_t alsoRaise, unsigned parts, Origin origin, const std::optional<EditSnapshot> &before);
    void emitChange(const DeviceChange &change);

    DeviceImage m_image;
    std::shared_ptr<RequestWord> m_requests;
    EditRecorder *m_recorder = nullptr;
};

// Overwrites the fields of an Info write that the variant does not set with their no-change
// markers: the time variant keeps the clock, the level variant the 12 levels, the
// active-line variant ActiveLine.
void applyNoChangeMarkers(std::span<uint8_t> data, uint32_t variantBit);
