// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/edit_history.h"

#include "presentation/localization.h"
#include "presentation/number_format.h"
#include "schedule/light_curves.h"

#include <QDateTime>
#include <QStringList>
#include <QUndoCommand>

#include <algorithm>
#include <cstddef>
#include <map>
#include <optional>
#include <set>

namespace {

// The two-byte fields of each region: a change of one of their bytes is kept as a change of
// both, so that restoring or comparing never mixes the halves of two values.
template <std::size_t N>
constexpr bool inWide(std::size_t offset, std::size_t first, std::size_t &start)
{
    if (offset >= first && offset < first + 2 * N) {
        start = first + (offset - first) / 2 * 2;
        return true;
    }
    return false;
}

std::size_t fieldStart(EditRegion region, std::size_t offset)
{
    std::size_t s = offset;
    switch (region) {
    case EditRegion::Info:
        if (inWide<12>(offset, offsetof(InfoRecord, Level), s))
            return s;
        break;
    case EditRegion::Config:
        if (inWide<6>(offset, offsetof(ConfigRecord, CloudP), s))
            return s;
        break;
    case EditRegion::Expert:
        if (inWide<4>(offset, offsetof(ExpertRecord, TempWaterLow), s) ||
            inWide<1>(offset, offsetof(ExpertRecord, Bias), s) || inWide<8>(offset, offsetof(ExpertRecord, RC5Code), s))
            return s;
        break;
    case EditRegion::ExpertWeather:
        if (inWide<3>(offset, offsetof(ExpertWeatherRecord, CloudStep), s) ||
            inWide<12>(offset, offsetof(ExpertWeatherRecord, MoonColor16), s))
            return s;
        break;
    case EditRegion::Line:
        if (inWide<1>(offset, offsetof(ScheduleLine, Alt), s))
            return s;
        break;
    }
    return offset;
}

bool isWide(EditRegion region, std::size_t offset)
{
    const std::size_t s = fieldStart(region, offset);
    return s != offset || fieldStart(region, offset + 1) == offset;
}

using ByteKey = std::tuple<EditRegion, int, uint16_t>;

// The key of the other half of a two-byte field, none for a one-byte one.
std::optional<ByteKey> partnerOf(const EditedByte &b)
{
    if (!isWide(b.region, b.offset))
        return std::nullopt;
    const std::size_t start = fieldStart(b.region, b.offset);
    return ByteKey{b.region, b.line, uint16_t(start == b.offset ? start + 1 : start)};
}

std::optional<QDateTime> clockOf(const InfoRecord &info)
{
    const QDate date = controllerDate(info);
    const QTime time = controllerTime(info);
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return QDateTime(date, time);
}

// What a step is about, for joining the next edit to it: the line, the channel level, the
// clock, the active line, or the record.
using Field = std::pair<EditRegion, int>;
enum : int { ActiveLineField = 100, ClockField = 101, OtherInfoField = 102 };

Field fieldOf(const EditedByte &b)
{
    if (b.region == EditRegion::Line)
        return {b.region, b.line};
    if (b.region == EditRegion::Info) {
        if (b.offset >= InfoLevelFirst && b.offset < InfoLevelEnd)
            return {b.region, int(b.offset - InfoLevelFirst) / 2};
        return {b.region, b.offset == offsetof(InfoRecord, ActiveLine) ? ActiveLineField : OtherInfoField};
    }
    return {b.region, 0};
}

QString hhmm(int hour, int minute)
{
    return QStringLiteral("%1:%2").arg(hour, 2, 10, QLatin1Char('0')).arg(minute, 2, 10, QLatin1Char('0'));
}

} // namespace

// One step: the bytes it changed, from their value before the first edit to their value
// after the last, and the clock's shift.
class ImageEditCommand : public QUndoCommand
{
public:
    ImageEditCommand(EditHistory &history, QString name)
        : m_history(history), m_generation(history.generation()), m_name(std::move(name))
    {
    }

    void add(const EditSnapshot &before, const DeviceImage &after, uint32_t raised)
    {
        m_alsoRaise |= raised & GetChart;
        diff(EditRegion::Info, 0, before, after);
        diff(EditRegion::Config, 0, before, after);
        diff(EditRegion::Expert, 0, before, after);
        diff(EditRegion::ExpertWeather, 0, before, after);
        const std::size_t lines = std::min(before.Schedule.size(), after.Schedule.size());
        for (std::size_t i = 0; i < lines; ++i)
            diff(EditRegion::Line, int(i), before, after);
        const auto c0 = clockOf(before.Info);
        const auto c1 = clockOf(after.Info);
        if (c0 && c1 && *c0 != *c1) {
            if (!m_clockBefore)
                m_clockBefore = c0;
            m_clockAfter = c1;
            m_fields.insert({EditRegion::Info, ClockField});
        }
        prune();
        setText(describe(m_bytes, clockShift() != 0));
    }

    bool empty() const { return m_bytes.empty() && clockShift() == 0; }
    qint64 clockShift() const { return m_clockBefore && m_clockAfter ? m_clockBefore->msecsTo(*m_clockAfter) : 0; }

    int id() const override { return 1; }

    bool mergeWith(const QUndoCommand *command) override
    {
        const auto *other = static_cast<const ImageEditCommand *>(command);
        if (other->m_generation != m_generation || !m_name.isEmpty() || !other->m_name.isEmpty())
            return false;
        if (!std::includes(m_fields.begin(), m_fields.end(), other->m_fields.begin(), other->m_fields.end()))
            return false;
        for (const auto &[key, b] : other->m_bytes) {
            auto [it, inserted] = m_bytes.try_emplace(key, b);
            if (!inserted)
                it->second.after = b.after;
        }
        if (other->m_clockAfter) {
            if (!m_clockBefore)
                m_clockBefore = other->m_clockBefore;
            m_clockAfter = other->m_clockAfter;
        }
        m_alsoRaise |= other->m_alsoRaise;
        prune();
        setText(describe(m_bytes, clockShift() != 0));
        // A step the user typed back to where it began is no step.
        setObsolete(empty());
        return true;
    }

    void undo() override { apply(true); }
    void redo() override
    {
        // Pushed after the edit was made: the first redo has nothing to do.
        if (m_done) {
            m_done = false;
            return;
        }
        apply(false);
    }
    void markDone() { m_done = true; }

    // What the controller changed since the step was made (back) or undone (!back).
    QString conflicts(bool back) const
    {
        const DeviceImage &now = m_history.model().image();
        std::map<ByteKey, EditedByte> changed;
        bool lost = false;
        for (const auto &[key, b] : m_bytes) {
            const std::span<const uint8_t> region = EditRegionBytes(now, b.region, b.line);
            if (b.offset >= region.size()) {
                lost = true;
                continue;
            }
            if (region[b.offset] != (back ? b.after : b.before)) {
                // The value now is what stands on the controller: describe that.
                EditedByte shown = b;
                shown.before = back ? b.after : b.before;
                shown.after = region[b.offset];
                changed.emplace(key, shown);
            }
        }
        if (changed.empty() && !lost)
            return {};
        // Both halves of a wide field, for naming it whole.
        for (auto &[key, b] : m_bytes) {
            const auto partner = partnerOf(b);
            if (changed.count(key) == 0 && partner && changed.count(*partner) != 0)
                changed.emplace(key, b);
        }
        QString what = describe(changed, false);
        if (lost)
            what = what.isEmpty() ? Translate(QStringLiteral("UndoScheduleLength")) : what;
        return what;
    }

private:
    void diff(EditRegion region, int line, const EditSnapshot &before, const DeviceImage &after)
    {
        const std::span<const uint8_t> b0 = EditRegionBytes(before, region, line);
        const std::span<const uint8_t> b1 = EditRegionBytes(after, region, line);
        for (std::size_t i = 0; i < b0.size() && i < b1.size(); ++i) {
            if (b0[i] == b1[i] || (region == EditRegion::Info && IsInfoClockByte(i)))
                continue;
            const std::size_t start = fieldStart(region, i);
            const std::size_t end = isWide(region, i) ? start + 2 : start + 1;
            for (std::size_t k = start; k < end && k < b0.size(); ++k) {
                const EditedByte e{region, line, uint16_t(k), b0[k], b1[k]};
                auto [it, inserted] = m_bytes.try_emplace(e.key(), e);
                if (!inserted)
                    it->second.after = e.after;
                m_fields.insert(fieldOf(e));
            }
        }
    }

    // Drops the fields that ended where they began.
    void prune()
    {
        for (auto it = m_bytes.begin(); it != m_bytes.end();) {
            const EditedByte &b = it->second;
            bool same = b.before == b.after;
            if (const auto partner = partnerOf(b); same && partner) {
                const auto p = m_bytes.find(*partner);
                same = p == m_bytes.end() || p->second.before == p->second.after;
            }
            it = same ? m_bytes.erase(it) : std::next(it);
        }
    }

    void apply(bool back)
    {
        std::vector<EditedByte> bytes;
        bytes.reserve(m_bytes.size());
        for (const auto &[key, b] : m_bytes)
            bytes.push_back(b);
        std::optional<QDateTime> clock;
        if (const qint64 shift = clockShift()) {
            // The clock has run on since: it moves back (or forward again) by the step's
            // shift, from where it is now.
            const auto now = clockOf(m_history.model().image().Info);
            clock = now ? now->addMSecs(back ? -shift : shift) : (back ? m_clockBefore : m_clockAfter);
        }
        m_history.model().restoreEdited(bytes, back, clock, m_alsoRaise);
    }

    QString describe(const std::map<ByteKey, EditedByte> &bytes, bool clock) const
    {
        if (!m_name.isEmpty())
            return m_name;
        std::set<int> lines;
        std::set<int> levels;
        std::set<EditRegion> records;
        bool activeLine = false;
        bool position = true;
        bool colours = true;
        for (const auto &[key, b] : bytes) {
            switch (b.region) {
            case EditRegion::Line: lines.insert(b.line); break;
            case EditRegion::Info:
                if (b.offset >= InfoLevelFirst && b.offset < InfoLevelEnd)
                    levels.insert(int(b.offset - InfoLevelFirst) / 2);
                else
                    activeLine = true;
                break;
            case EditRegion::Config: {
                const bool lat = b.offset >= offsetof(ConfigRecord, Lat) && b.offset < offsetof(ConfigRecord, Lon) + 2;
                const bool colour = b.offset >= offsetof(ConfigRecord, ColorName) &&
                                    b.offset < offsetof(ConfigRecord, ColorName) + sizeof(ConfigRecord::ColorName);
                position = position && lat;
                colours = colours && colour;
                records.insert(b.region);
                break;
            }
            default:
                records.insert(b.region);
                position = colours = false;
                break;
            }
        }
        QStringList parts;
        if (clock)
            parts << Translate(QStringLiteral("UndoClock"));
        if (lines.size() == 1)
            parts << describeLine(*lines.begin(), bytes);
        else if (!lines.empty())
            parts << TranslateFmt(QStringLiteral("UndoLines"),
                                  {QString::number(*lines.begin()), QString::number(*lines.rbegin())});
        if (levels.size() == 1)
            parts << TranslateFmt(QStringLiteral("UndoChannelLevel"), {ChannelLetter(*levels.begin())});
        else if (!levels.empty())
            parts << Translate(QStringLiteral("UndoLevels"));
        if (activeLine)
            parts << Translate(QStringLiteral("UndoActiveLine"));
        if (!records.empty()) {
            if (position && records.size() == 1)
                parts << Translate(QStringLiteral("UndoPosition"));
            else if (colours && records.size() == 1)
                parts << Translate(QStringLiteral("UndoChannelNames"));
            else if (const QString context = m_history.contextName(); !context.isEmpty())
                parts << context;
            else
                parts << Translate(QStringLiteral("UndoSettings"));
        }
        return parts.join(QStringLiteral(", "));
    }

    // "Line 3 time 07:00 → 09:45" when only the time changed, "Line 3 channel B level
    // 40 → 55" when only one level, else "Line 3".
    QString describeLine(int line, const std::map<ByteKey, EditedByte> &bytes) const
    {
        // Bytes the step left alone are as the line holds them now.
        const auto &schedule = m_history.model().image().Schedule;
        ScheduleLine before = std::size_t(line) < schedule.size() ? schedule[std::size_t(line)] : ScheduleLine{};
        ScheduleLine after = before;
        std::set<std::size_t> offsets;
        for (const auto &[key, b] : bytes) {
            if (b.region != EditRegion::Line || b.line != line)
                continue;
            reinterpret_cast<uint8_t *>(&before)[b.offset] = b.before;
            reinterpret_cast<uint8_t *>(&after)[b.offset] = b.after;
            offsets.insert(b.offset);
        }
        const QString number = QString::number(line);
        const bool timeOnly = std::all_of(offsets.begin(), offsets.end(), [](std::size_t o) {
            return o == offsetof(ScheduleLine, Hour) || o == offsetof(ScheduleLine, Minute);
        });
        const bool altOnly = std::all_of(offsets.begin(), offsets.end(), [](std::size_t o) {
            return o >= offsetof(ScheduleLine, Alt) && o < offsetof(ScheduleLine, Alt) + 2;
        });
        if (timeOnly)
            return TranslateFmt(QStringLiteral("UndoLineTime"),
                                {number, hhmm(before.Hour, before.Minute), hhmm(after.Hour, after.Minute)});
        if (altOnly) {
            const auto deg = [](int16_t alt) {
                return FormatUpTo(curves::AltitudeDegrees(alt).value_or(0.0), 2) + QChar(0xB0);
            };
            return TranslateFmt(QStringLiteral("UndoLineAltitude"), {number, deg(before.Alt), deg(after.Alt)});
        }
        if (offsets.size() == 1 && *offsets.begin() >= offsetof(ScheduleLine, Color16) &&
            *offsets.begin() < offsetof(ScheduleLine, Color16) + sizeof(ScheduleLine::Color16)) {
            const int channel = int(*offsets.begin() - offsetof(ScheduleLine, Color16));
            return TranslateFmt(QStringLiteral("UndoLineLevel"),
                                {number, ChannelLetter(channel), QString::number(before.Color16[channel]),
                                 QString::number(after.Color16[channel])});
        }
        return TranslateFmt(QStringLiteral("UndoLine"), {number});
    }

    EditHistory &m_history;
    int m_generation;
    QString m_name;
    std::map<ByteKey, EditedByte> m_bytes;
    std::set<Field> m_fields;
    std::optional<QDateTime> m_clockBefore;
    std::optional<QDateTime> m_clockAfter;
    uint32_t m_alsoRaise = 0;
    bool m_done = false;
};

EditHistory::EditHistory(DeviceModel &model, QObject *parent) : QObject(parent), m_model(model)
{
    m_stack.setUndoLimit(500);
    m_model.setEditRecorder(this);
}

EditHistory::~EditHistory()
{
    m_model.setEditRecorder(nullptr);
    delete m_group;
}

void EditHistory::clear()
{
    m_stack.clear();
    seal();
}

void EditHistory::recordEdit(const EditSnapshot &before, const DeviceImage &after, uint32_t raised)
{
    // A control that follows the restored value while an undo runs is no new step (it
    // would drop the steps to redo).
    if (m_applying)
        return;
    if (m_group) {
        m_group->add(before, after, raised);
        return;
    }
    auto *command = new ImageEditCommand(*this, QString());
    command->add(before, after, raised);
    if (command->empty()) {
        delete command;
        return;
    }
    command->markDone();
    m_stack.push(command);
}

void EditHistory::beginStep(const QString &name)
{
    if (m_groupDepth++ == 0) {
        seal();
        m_group = new ImageEditCommand(*this, name);
    }
}

void EditHistory::endStep()
{
    if (m_groupDepth == 0 || --m_groupDepth > 0)
        return;
    ImageEditCommand *command = std::exchange(m_group, nullptr);
    if (command->empty()) {
        delete command;
        return;
    }
    command->markDone();
    m_stack.push(command);
    seal();
}

bool EditHistory::undo() { return step(true); }
bool EditHistory::redo() { return step(false); }

bool EditHistory::step(bool back)
{
    const int index = m_stack.index() - (back ? 1 : 0);
    if (index < 0 || index >= m_stack.count())
        return false;
    const auto *command = static_cast<const ImageEditCommand *>(m_stack.command(index));
    if (const QString changed = command->conflicts(back); !changed.isEmpty()) {
        const QString question =
            TranslateFmt(back ? QStringLiteral("UndoConflict") : QStringLiteral("RedoConflict"), {changed});
        if (!m_confirm || !m_confirm(question, back))
            return false;
    }
    const QString text = command->text();
    m_applying = true;
    if (back)
        m_stack.undo();
    else
        m_stack.redo();
    m_applying = false;
    // The next edit is a new step, never joined to the one taken back.
    seal();
    emit applied(TranslateFmt(back ? QStringLiteral("UndoneLog") : QStringLiteral("RedoneLog"), {text}));
    return true;
}
