#include "capture/OCRCacheService.h"

#include <QCryptographicHash>
#include <QMutexLocker>
#include <QtEndian>

OCRCacheService::OCRCacheService(const Clock& clock) : m_clock(clock) {}

OCRCacheService& OCRCacheService::shared()
{
    static OCRCacheService instance;
    return instance;
}

std::optional<QString> OCRCacheService::cacheKey(const QImage& image)
{
    if (image.isNull()) {
        return std::nullopt;
    }
    // One canonical pixel layout, so that equal pixels hash equally whatever
    // format or row padding the decoder chose.
    const QImage canonical = image.format() == QImage::Format_ARGB32
                                 ? image
                                 : image.convertToFormat(QImage::Format_ARGB32);
    if (canonical.isNull()) {
        return std::nullopt;
    }
    QCryptographicHash hash(QCryptographicHash::Sha256);
    quint32 header[3];
    qToBigEndian(quint32(canonical.width()), &header[0]);
    qToBigEndian(quint32(canonical.height()), &header[1]);
    qToBigEndian(quint32(QImage::Format_ARGB32), &header[2]);
    hash.addData(QByteArrayView(reinterpret_cast<const char*>(header), sizeof(header)));
    const qsizetype rowBytes = qsizetype(canonical.width()) * 4;
    for (int y = 0; y < canonical.height(); ++y) {
        hash.addData(
            QByteArrayView(reinterpret_cast<const char*>(canonical.constScanLine(y)), rowBytes));
    }
    return QString::fromLatin1(hash.result().toHex());
}

std::optional<QString> OCRCacheService::cachedText(const QImage& image)
{
    const std::optional<QString> key = cacheKey(image);
    return key ? cachedTextForKey(*key) : std::nullopt;
}

void OCRCacheService::storeText(const QString& text, const QImage& image)
{
    if (const std::optional<QString> key = cacheKey(image)) {
        storeTextForKey(text, *key);
    }
}

std::optional<QString> OCRCacheService::cachedTextForKey(const QString& key)
{
    QMutexLocker lock(&m_mutex);
    const auto found = m_index.constFind(key);
    if (found == m_index.constEnd()) {
        return std::nullopt;
    }
    const Order::iterator it = found.value();
    // Exactly one hour old is still served; anything older is dropped.
    if (it->timestamp.msecsTo(m_clock.now()) > maxCacheAge * 1000) {
        removeLocked(it);
        return std::nullopt;
    }
    m_order.splice(m_order.begin(), m_order, it);
    return it->text;
}

void OCRCacheService::storeTextForKey(const QString& text, const QString& key)
{
    const qint64 cost = text.toUtf8().size();
    QMutexLocker lock(&m_mutex);
    if (const auto found = m_index.constFind(key); found != m_index.constEnd()) {
        removeLocked(found.value());
    }
    // A text larger than the whole budget would only flush everything else.
    if (cost > totalCostLimit) {
        return;
    }
    m_order.push_front(Entry{key, text, m_clock.now(), cost});
    m_index.insert(key, m_order.begin());
    m_totalCost += cost;
    while (m_order.size() > size_t(countLimit) || m_totalCost > totalCostLimit) {
        removeLocked(std::prev(m_order.end()));
    }
}

int OCRCacheService::count() const
{
    QMutexLocker lock(&m_mutex);
    return int(m_order.size());
}

qint64 OCRCacheService::totalCost() const
{
    QMutexLocker lock(&m_mutex);
    return m_totalCost;
}

void OCRCacheService::removeLocked(Order::iterator it)
{
    m_totalCost -= it->cost;
    m_index.remove(it->key);
    m_order.erase(it);
}
