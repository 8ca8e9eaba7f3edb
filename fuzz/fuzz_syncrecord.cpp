// Files of the sync database as another machine or the server may leave
// them: the input as a key-check file, and as the plaintext of a record sealed
// under a fixed key. A record that opens converts to a capture only with all
// six fields, and a capture's record converts back to the same capture.
#include "HistoryFuzz.h"

#include "sync/CloudRecord.h"
#include "sync/SyncFormat.h"

#include <QJsonDocument>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QByteArray& key = HistoryFuzz::fixedKey();
    if (const auto check = SyncFormat::parseKeyCheck(input)) {
        FUZZ_CHECK(check->salt.size() == SyncFormat::saltSize);
        (void)SyncFormat::keyOpens(*check, key);
    }

    // The input as a record's content, sealed as a writer seals it.
    const QString name = QStringLiteral("0F1E2D3C-4B5A-4968-8776-A5B4C3D2E1F0");
    const QByteArray header = QByteArray("QSR\x01", 4) + QByteArray(SyncFormat::saltSize, 'S');
    const auto sealed = EncryptionService::seal(key, input, header + name.toUtf8());
    FUZZ_CHECK(sealed);
    const QByteArray file = header + *sealed;
    FUZZ_CHECK(!SyncFormat::openRecord(key, QStringLiteral("other"), file));
    const auto fields = SyncFormat::openRecord(key, name, file);
    FUZZ_CHECK(fields.has_value() == QJsonDocument::fromJson(input).isObject());
    if (!fields) {
        return 0;
    }
    const CloudRecord record{name, *fields};
    const auto item = record.toItem();
    if (!item) {
        return 0;
    }
    FUZZ_CHECK(item->isSynced && item->cloudRecordID == name && !item->isEncrypted);
    const auto back = CloudRecord::fromItem(*item).toItem();
    FUZZ_CHECK(back && HistoryFuzz::sameRecord(*item, *back));
    return 0;
}
