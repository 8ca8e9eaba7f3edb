#include "capture/OCRCacheService.h"

#include <QMutexLocker>
#include <QtEndian>

#include <openssl/evp.h>

#include <algorithm>
#include <memory>
#include <vector>

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
    // One canonical pixel layout (ARGB32 rows without padding), so that equal
    // pixels hash equally whatever format or row padding the decoder chose.
    // Captures come as RGB32, which differs only in that its alpha byte is
    // unused: it is set row by row instead of converting a copy of a whole
    // screen.
    const bool opaque32 = image.format() == QImage::Format_RGB32;
    const QImage canonical = opaque32 || image.format() == QImage::Format_ARGB32
                                 ? image
                                 : image.convertToFormat(QImage::Format_ARGB32);
    if (canonical.isNull()) {
        return std::nullopt;
    }
    const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(),
                                                                          &EVP_MD_CTX_free);
    quint32 header[3];
    qToBigEndian(quint32(canonical.width()), &header[0]);
    qToBigEndian(quint32(canonical.height()), &header[1]);
    qToBigEndian(quint32(QImage::Format_ARGB32), &header[2]);
    if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1 ||
        EVP_DigestUpdate(context.get(), header, sizeof(header)) != 1) {
        return std::nullopt;
    }
    const int width = canonical.width();
    std::vector<quint32> row(opaque32 ? size_t(width) : 0);
    for (int y = 0; y < canonical.height(); ++y) {
        const auto* pixels = reinterpret_cast<const quint32*>(canonical.constScanLine(y));
        if (opaque32) {
            std::transform(pixels, pixels + width, row.begin(),
                           [](quint32 p) { return p | 0xff000000u; });
            pixels = row.data();
        }
        if (EVP_DigestUpdate(context.get(), pixels, size_t(width) * 4) != 1) {
            return std::nullopt;
        }
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(context.get(), digest, &length) != 1) {
        return std::nullopt;
    }
    return QString::fromLatin1(
        QByteArray::fromRawData(reinterpret_cast<const char*>(digest), int(length)).toHex());
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
