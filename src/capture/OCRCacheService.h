#pragma once

#include "common/Clock.h"

#include <QHash>
#include <QImage>
#include <QMutex>
#include <QString>

#include <list>
#include <optional>

// Remembers for up to an hour the text a cloud provider returned for an image,
// so that capturing the same pixels again needs no request. Memory only; safe
// to use from several threads at once.
class OCRCacheService
{
public:
    static constexpr int countLimit = 50;
    static constexpr qint64 totalCostLimit = 10'485'760; // bytes of UTF-8 text
    static constexpr qint64 maxCacheAge = 3600;          // seconds

    explicit OCRCacheService(const Clock& clock = Clock::system());
    OCRCacheService(const OCRCacheService&) = delete;
    OCRCacheService& operator=(const OCRCacheService&) = delete;

    static OCRCacheService& shared();

    // SHA-256 (64 lower-case hex digits) of the decoded pixels, independent of
    // the image's storage format and row padding; nullopt for a null image.
    static std::optional<QString> cacheKey(const QImage& image);

    std::optional<QString> cachedText(const QImage& image);
    void storeText(const QString& text, const QImage& image);
    // The same with a key computed once beforehand (hashing a large image is
    // the costly part, best done off the main thread).
    std::optional<QString> cachedTextForKey(const QString& key);
    void storeTextForKey(const QString& text, const QString& key);

    int count() const;
    qint64 totalCost() const;

private:
    struct Entry
    {
        QString key;
        QString text;
        QDateTime timestamp;
        qint64 cost = 0;
    };
    using Order = std::list<Entry>; // most recently used first

    void removeLocked(Order::iterator it);

    const Clock& m_clock;
    mutable QMutex m_mutex;
    Order m_order;
    QHash<QString, Order::iterator> m_index;
    qint64 m_totalCost = 0;
};
