#pragma once

#include "common/Expected.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

// One release offered by an update feed.
struct AppcastItem
{
    QString title;
    QString version;            // sparkle:version, the one that is compared
    QString shortVersionString; // sparkle:shortVersionString, the one shown; may be empty
    QString minimumSystemVersion;
    QString description; // HTML release notes given inline
    QUrl releaseNotesLink;
    QUrl infoLink;               // <link>: the release's web page
    QUrl enclosureUrl;           // the package
    qint64 enclosureLength = -1; // announced size in bytes; -1 when not given
    QString enclosureType;
    QByteArray edSignature; // base64, as written in the feed

    // The version as users see it.
    QString displayVersion() const
    {
        return shortVersionString.isEmpty() ? version : shortVersionString;
    }
    // Where users get the release: the package, else its web page.
    QUrl downloadLink() const { return enclosureUrl.isValid() ? enclosureUrl : infoLink; }
};

// An update feed: RSS 2.0 with the sparkle namespace, one <item> per release.
struct Appcast
{
    QList<AppcastItem> items; // in feed order
    int skippedItems = 0;     // items without a usable version

    // Why a feed cannot be used.
    struct Error
    {
        QString message;
    };

    static Expected<Appcast, Error> parse(const QByteArray& xml);

    // The newest release that runs on systemVersion (items whose minimum
    // system version is higher are passed over, unless systemVersion is not
    // a version), or null when there is none.
    const AppcastItem* newest(const QString& systemVersion) const;
};
