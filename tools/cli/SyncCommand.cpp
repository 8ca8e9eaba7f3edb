// `quillsnap-cli sync`: one sync run, by the running application or, when
// none runs, here under the history's lock.
#include "CliCommand.h"
#include "LocalHistory.h"
#include "common/AppPaths.h"
#include "common/Clock.h"
#include "settings/Preferences.h"
#include "sync/CloudSyncService.h"

namespace {

class SyncCommand : public CliCommand
{
    Q_DECLARE_TR_FUNCTIONS(SyncCommand)

public:
    QString name() const override { return QStringLiteral("sync"); }
    QString summary() const override { return tr("Sync the history with your other machines"); }
    QString synopsis() const override { return QStringLiteral("sync"); }
    void configure(QCommandLineParser& parser) const override
    {
        parser.setApplicationDescription(
            tr("Run one sync of the capture history with the WebDAV server or synced folder "
               "set up in quillsnap's settings, and print what moved. The running quillsnap "
               "does it when there is one."));
    }

    int run(const QCommandLineParser& parser, CliContext& ctx) override
    {
        if (!parser.positionalArguments().isEmpty()) {
            return ctx.unexpectedArgument(parser.positionalArguments().first());
        }
        // A run uploads one record after another: give it time.
        if (const auto answer = askRunningApp(name(), {}, std::chrono::minutes(30))) {
            if (!*answer) {
                ctx.error(answer->error());
                return 1;
            }
            const QStringList counts = answer->value().split(u' ');
            return report(ctx, counts.value(0).toInt(), counts.value(1).toInt());
        }
        Preferences preferences(AppPaths::configDir() + QStringLiteral("/quillsnap.conf"));
        if (!preferences.iCloudSyncEnabled()) {
            ctx.error(tr("sync is turned off; turn on \"Enable Sync\" in the history window"));
            return 1;
        }
        LocalHistory local;
        const auto history = local.open(std::chrono::seconds(10));
        if (!history) {
            ctx.error(history.error());
            return 1;
        }
        CloudSyncService sync(
            preferences, local.secrets(), [&history]() -> HistoryService& { return **history; },
            AppPaths::dataDir(), Clock::system());
        std::optional<CloudSyncService::RunResult> result;
        sync.performSync([&result](CloudSyncService::RunResult r) { result = std::move(r); });
        // Each request to the server has its own time limit; the run ends.
        runEventsUntil([&result] { return result.has_value(); }, std::chrono::hours(24));
        if (!result || !*result) {
            ctx.error(result ? result->error() : tr("the sync did not end"));
            return 1;
        }
        if (const auto saved = local.waitUntilSaved(std::chrono::seconds(30)); !saved) {
            ctx.error(saved.error());
            return 1;
        }
        return report(ctx, (*result)->uploaded, (*result)->downloaded);
    }

private:
    static int report(CliContext& ctx, int uploaded, int downloaded)
    {
        ctx.out << tr("uploaded %1, downloaded %2").arg(uploaded).arg(downloaded) << u'\n';
        return 0;
    }
};

SyncCommand syncCommand;
const CliCommand::Registration registerSync(&syncCommand);

} // namespace
