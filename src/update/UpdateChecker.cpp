#include "update/UpdateChecker.h"

#include "update/HttpGet.h"
#include "update/Version.h"

UpdateChecker::UpdateChecker(QNetworkAccessManager& network, Versions versions, QObject* parent)
    : QObject(parent), m_network(network), m_versions(std::move(versions))
{
}

void UpdateChecker::check(const QUrl& feedUrl, std::function<void(UpdateCheckOutcome)> done)
{
    HttpGet::get(m_network, feedUrl, maxFeedBytes, this,
                 [this, feedUrl, done = std::move(done)](Expected<HttpGet::Body, QString> body) {
                     if (!body) {
                         UpdateCheckOutcome failed;
                         failed.error = tr("The update feed %1 cannot be read: %2.")
                                            .arg(feedUrl.toDisplayString(), body.error());
                         done(std::move(failed));
                         return;
                     }
                     UpdateCheckOutcome outcome = evaluate(body->data);
                     if (outcome.kind == UpdateCheckOutcome::Kind::failed) {
                         outcome.error = tr("The update feed %1 cannot be used: %2.")
                                             .arg(feedUrl.toDisplayString(), outcome.error);
                     }
                     done(std::move(outcome));
                 });
}

UpdateCheckOutcome UpdateChecker::evaluate(const QByteArray& feed) const
{
    UpdateCheckOutcome outcome;
    const auto appcast = Appcast::parse(feed);
    if (!appcast) {
        outcome.error = appcast.error().message;
        return outcome;
    }
    if (appcast->items.isEmpty() && appcast->skippedItems > 0) {
        outcome.error = tr("none of its releases names a version that can be read");
        return outcome;
    }
    const AppcastItem* newest = appcast->newest(m_versions.system);
    if (newest && Version::compare(newest->version, m_versions.current) > 0) {
        outcome.kind = UpdateCheckOutcome::Kind::available;
        outcome.item = *newest;
    } else {
        outcome.kind = UpdateCheckOutcome::Kind::upToDate;
    }
    return outcome;
}
