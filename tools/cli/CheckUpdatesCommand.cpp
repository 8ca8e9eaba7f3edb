// `quillsnap-cli check-updates`: reads the update feed named by the preference
// SUFeedURL (the project's feed by default) and says whether a newer version
// is out. It only reads: nothing is downloaded, skipped or remembered.
#include "CliCommand.h"
#include "common/AppPaths.h"
#include "settings/Preferences.h"
#include "update/UpdateChecker.h"
#include "update/UpdateConfig.h"

#include <QEventLoop>
#include <QNetworkAccessManager>

namespace {

class CheckUpdatesCommand : public CliCommand
{
    Q_DECLARE_TR_FUNCTIONS(CheckUpdatesCommand)

public:
    QString name() const override { return QStringLiteral("check-updates"); }
    QString summary() const override { return tr("Say whether a newer version is out"); }
    QString synopsis() const override { return name(); }
    void configure(QCommandLineParser& parser) const override
    {
        parser.setApplicationDescription(
            tr("Read the update feed (the preference SUFeedURL in "
               "$XDG_CONFIG_HOME/quillsnap/quillsnap.conf, else the project's feed) and print "
               "\"quillsnap X is available (you have Y): LINK\" or \"quillsnap Y is up to "
               "date.\". Nothing is downloaded. Exits with 1 when the feed cannot be read or "
               "understood."));
    }
    int run(const QCommandLineParser& parser, CliContext& ctx) override
    {
        if (!parser.positionalArguments().isEmpty()) {
            return ctx.unexpectedArgument(parser.positionalArguments().first());
        }
        const Preferences prefs(AppPaths::configDir() + QStringLiteral("/quillsnap.conf"));
        QNetworkAccessManager network;
        const UpdateChecker::Versions versions{UpdateConfig::currentVersion(),
                                               UpdateConfig::systemVersion()};
        UpdateChecker checker(network, versions);
        UpdateCheckOutcome outcome;
        QEventLoop loop;
        checker.check(QUrl(prefs.updateFeedURL(), QUrl::StrictMode), [&](UpdateCheckOutcome o) {
            outcome = std::move(o);
            loop.quit();
        });
        loop.exec();
        switch (outcome.kind) {
        case UpdateCheckOutcome::Kind::available:
            // The feed's texts are printed as text, never as terminal controls.
            ctx.out << tr("quillsnap %1 is available (you have %2): %3")
                           .arg(CliOutput::printable(outcome.item.displayVersion(), false),
                                versions.current,
                                QString::fromLatin1(outcome.item.downloadLink().toEncoded()))
                    << u'\n';
            return 0;
        case UpdateCheckOutcome::Kind::upToDate:
            ctx.out << tr("quillsnap %1 is up to date.").arg(versions.current) << u'\n';
            return 0;
        case UpdateCheckOutcome::Kind::failed:
            break;
        }
        ctx.error(CliOutput::printable(outcome.error, false));
        return 1;
    }
};

CheckUpdatesCommand checkUpdatesCommand;
const CliCommand::Registration registerCheckUpdates(&checkUpdatesCommand);

} // namespace
