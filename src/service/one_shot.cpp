// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/one_shot.h"

#include "files/ini_file.h"
#include "files/restore_check.h"
#include "files/settings_file.h"
#include "presentation/localization.h"
#include "service/controller_state.h"

#include <QJsonDocument>

namespace {
// The clock a --set-clock leaves may differ from this computer's by the time of one poll.
constexpr qint64 ClockToleranceSeconds = 2;
constexpr uint32_t WriteBits = SetInfoAny | SetConfig | SetSchedule | SetExpert | SetExpertWeather | SaveEEPROM;
} // namespace

OneShotCommand::OneShotCommand(const CommandLine &cmd, ServiceOptions options, std::FILE *out, QObject *parent)
    : QObject(parent), m_cmd(cmd), m_service([&] {
          options.keepTrying = false;
          options.recordHistory = false;
          options.backupOnStop = false;
          return options;
      }()),
      m_out(out)
{
    m_timeout.setSingleShot(true);
    connect(&m_timeout, &QTimer::timeout, this, [this] {
        const QString cause = m_service.failureLine();
        fail(QStringLiteral("no complete answer from the controller within %1 s%2")
                 .arg(TimeoutMs / 1000)
                 .arg(cause.isEmpty() ? QString() : QStringLiteral(" (") + cause + u')'));
    });
    connect(&m_service, &LinkService::downloadComplete, this, [this] {
        if (!m_rereadRaised && m_reread == 0)
            act();
    });
    connect(&m_service, &LinkService::linkEnded, this, [this] { fail(m_service.failureLine()); });
    m_poll.setInterval(20);
    connect(&m_poll, &QTimer::timeout, this, &OneShotCommand::checkWritten);
}

void OneShotCommand::start()
{
    m_timeout.start(TimeoutMs);
    m_service.start();
}

void OneShotCommand::fail(const QString &line)
{
    finish(1, line.isEmpty() ? QStringLiteral("the controller could not be reached") : line);
}

void OneShotCommand::succeed() { finish(0, QString()); }

void OneShotCommand::finish(int status, const QString &failure)
{
    if (m_done)
        return;
    m_done = true;
    m_status = status;
    m_failure = failure;
    m_poll.stop();
    m_timeout.stop();
    m_service.stop();
    emit finished(m_status);
}

void OneShotCommand::act()
{
    DeviceModel &model = m_service.model();
    switch (m_cmd.oneShot) {
    case CommandLine::OneShot::None:
        return succeed();
    case CommandLine::OneShot::Status: {
        const ControllerFacts facts{m_service.portEntry(), m_service.firmware().version};
        const QByteArray json = QJsonDocument(StatusJson(model.image(), facts, QDateTime::currentDateTime())).toJson();
        if (std::fwrite(json.constData(), 1, size_t(json.size()), m_out) != size_t(json.size()) || std::fflush(m_out) != 0)
            return fail(QStringLiteral("standard output could not be written"));
        return succeed();
    }
    case CommandLine::OneShot::Export:
        if (WriteSettingsFileChecked(m_cmd.file, model.image(), OversizedFile::Keep) != SettingsWriteResult::Written)
            return fail(TranslateFmt(QStringLiteral("ExportFailed"), {m_cmd.file}));
        return succeed();
    case CommandLine::OneShot::Backup: {
        const StoreResult result = m_service.storeCopy(BackupReason::ByHand);
        if (result.outcome == StoreResult::Failed)
            return fail(result.errorText.isEmpty() ? QStringLiteral("the backup could not be written") : result.errorText);
        std::fprintf(m_out, "%s\n", qUtf8Printable(result.path));
        std::fflush(m_out);
        return succeed();
    }
    case CommandLine::OneShot::Import: {
        IniFile ini;
        if (IniFile::load(m_cmd.file, &ini) != IniFile::LoadResult::Loaded)
            return fail(TranslateFmt(QStringLiteral("ImportUnreadable"), {m_cmd.file}));
        for (const QString &section : ini.sectionNames())
            m_sections |= RestoreSectionOf(section);
        if (m_sections == 0)
            return fail(QStringLiteral("%1 holds no schedule and no settings").arg(m_cmd.file));
        // The state the import replaces stays in the history.
        m_service.storeCopy(BackupReason::BeforeImport);
        if (m_sections & RestoreSettings)
            model.importSettings([&ini](DeviceImage &image) { ReadSettingsFromIni(ini, image); });
        if (m_sections & RestoreSchedule)
            model.importSchedule([&ini](DeviceImage &image) { ReadScheduleFromIni(ini, image); });
        WriteImageToIni(m_wanted, model.image());
        return awaitWrites(Refresh);
    }
    case CommandLine::OneShot::SetClock:
        model.setClockFromHost(QDateTime::currentDateTime());
        return awaitWrites(GetInfo | GetConfig);
    }
}

void OneShotCommand::awaitWrites(uint32_t reread)
{
    m_reread = reread;
    m_rereadRaised = false;
    m_poll.start();
}

void OneShotCommand::checkWritten()
{
    DeviceModel &model = m_service.model();
    if (!m_service.isConnected())
        return fail(m_service.failureLine());
    if (!m_rereadRaised) {
        // Every write out (a refused one is given up after its attempts), then read back.
        if (model.isRequestPending(WriteBits))
            return;
        model.request(m_reread);
        m_rereadRaised = true;
        return;
    }
    if (model.isRequestPending(m_reread))
        return;
    m_poll.stop();
    if (m_cmd.oneShot == CommandLine::OneShot::SetClock) {
        const std::optional<qint64> offset = ControllerClockOffset(model.image().Info, QDateTime::currentDateTime());
        if (!offset || std::abs(*offset) > ClockToleranceSeconds)
            return fail(QStringLiteral("the controller did not take the clock (it is %1 s off)")
                            .arg(offset ? QString::number(*offset) : QStringLiteral("?")));
        return succeed();
    }
    IniFile now;
    WriteImageToIni(now, model.image());
    const StateComparison result = CompareSections(now, m_wanted, m_sections);
    if (!result.differences.isEmpty()) {
        const StateDifference &first = result.differences.first();
        const auto text = [](const std::optional<int64_t> &v) { return v ? QString::number(*v) : QStringLiteral("-"); };
        return fail(QStringLiteral("the controller did not take %1 value(s), first [%2] %3: wanted %4, got %5")
                        .arg(result.differences.size())
                        .arg(first.section, first.key, text(first.backup), text(first.now)));
    }
    succeed();
}
