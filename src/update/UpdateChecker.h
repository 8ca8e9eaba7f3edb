#pragma once

#include "update/Appcast.h"

#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>

class QNetworkAccessManager;

// What one look at the feed found.
struct UpdateCheckOutcome
{
    enum class Kind { upToDate, available, failed };
    Kind kind = Kind::failed;
    AppcastItem item; // the newer release, when available
    QString error;    // a sentence for users, when failed
};

// Reads the update feed and compares its newest release with this program.
class UpdateChecker : public QObject
{
    Q_OBJECT
public:
    struct Versions
    {
        QString current; // this program's version
        QString system;  // the operating system's, for minimum system versions
    };

    static constexpr qint64 maxFeedBytes = 4 * 1024 * 1024;

    UpdateChecker(QNetworkAccessManager& network, Versions versions, QObject* parent = nullptr);

    const Versions& versions() const { return m_versions; }

    // `done` runs once on this object's thread, after check() has returned.
    void check(const QUrl& feedUrl, std::function<void(UpdateCheckOutcome)> done);

    // The outcome of a feed's text, without the network.
    UpdateCheckOutcome evaluate(const QByteArray& feed) const;

private:
    QNetworkAccessManager& m_network;
    Versions m_versions;
};
