#pragma once

#include "FuzzCheck.h"

#include "history/EncryptionService.h"
#include "history/HistoryItem.h"

#include <numeric>

namespace HistoryFuzz {

// The key of every history fuzz target, 00 01 .. 1f (the seed blocks are
// sealed under it).
inline const QByteArray& fixedKey()
{
    static const QByteArray key = [] {
        QByteArray bytes(EncryptionService::keySize, Qt::Uninitialized);
        std::iota(bytes.begin(), bytes.end(), char(0));
        return bytes;
    }();
    return key;
}

inline bool sameRecord(const HistoryItem& a, const HistoryItem& b)
{
    return a.id == b.id && a.text == b.text && a.timestamp == b.timestamp &&
           a.characterCount == b.characterCount && a.wordCount == b.wordCount &&
           a.deviceName == b.deviceName && a.isSynced == b.isSynced &&
           a.cloudRecordID == b.cloudRecordID && a.isEncrypted == b.isEncrypted;
}

// Decodes a stored list and, when it is one, checks that writing it and
// reading it again keeps every record as it was.
inline void decodeAndRoundTrip(const QByteArray& json)
{
    const std::optional<QList<HistoryItem>> items = HistoryItem::decodeListJson(json);
    if (!items) {
        return;
    }
    for (const HistoryItem& item : *items) {
        FUZZ_CHECK(item.timestamp.isValid());
    }
    const std::optional<QByteArray> written = HistoryItem::encodeListJson(*items);
    FUZZ_CHECK(written);
    const std::optional<QList<HistoryItem>> again = HistoryItem::decodeListJson(*written);
    FUZZ_CHECK(again && again->size() == items->size());
    for (qsizetype i = 0; i < items->size(); ++i) {
        const HistoryItem& item = items->at(i);
        // Text that is not valid Unicode (a lone surrogate escaped in JSON) is
        // written with U+FFFD in its place.
        if (item.text.isValidUtf16() && item.deviceName.isValidUtf16() &&
            (!item.cloudRecordID || item.cloudRecordID->isValidUtf16())) {
            FUZZ_CHECK(sameRecord(item, again->at(i)));
        } else {
            FUZZ_CHECK(item.id == again->at(i).id && item.timestamp == again->at(i).timestamp);
        }
    }
}

} // namespace HistoryFuzz
