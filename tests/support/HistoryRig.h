#pragma once

#include "common/Clock.h"
#include "history/AsyncSecretStore.h"
#include "history/EncryptionService.h"
#include "history/HistoryService.h"

#include "MemorySecretStore.h"

#include <QTemporaryDir>
#include <QTest>

#include <memory>

// One user's history: a data directory, a keyring that outlives "processes"
// (each start() is a new start of the application) and a clock standing at a
// fixed instant.
struct HistoryRig
{
    QTemporaryDir dir;
    std::shared_ptr<MemorySecretStore> keyring = std::make_shared<MemorySecretStore>();
    AsyncSecretStore secrets{keyring, std::chrono::milliseconds(1500)};
    ManualClock clock{QDateTime(QDate(2026, 4, 10), QTime(12, 0), Qt::LocalTime)};
    std::unique_ptr<EncryptionService> encryption;
    std::unique_ptr<HistoryService> history;

    QString dataDir() const { return dir.filePath(QStringLiteral("data")); }
    QString path(QLatin1StringView key) const { return dataDir() + QLatin1Char('/') + key; }

    // A fresh start; returns once the stored history has been read or the
    // key has been found missing.
    HistoryService& start()
    {
        history.reset();
        encryption = std::make_unique<EncryptionService>(secrets);
        history = std::make_unique<HistoryService>(dataDir(), *encryption, clock);
        settle();
        return *history;
    }

    // Waits until the list is written, or the key is found missing.
    void settle()
    {
        (void)QTest::qWaitFor(
            [this] {
                const auto storage = history->storage();
                return storage == HistoryService::Storage::waitingForKey ||
                       storage == HistoryService::Storage::writeFailed ||
                       (storage == HistoryService::Storage::saved && !history->hasUnsavedChanges());
            },
            5000);
    }

    HistoryItem item(const QString& text, qint64 minutesAgo = 0) const
    {
        return HistoryItem::create(text, clock.now().addSecs(-60 * minutesAgo),
                                   QStringLiteral("test"));
    }

    // What the capture workflow does with a new capture.
    void capture(const QString& text)
    {
        history->insert(0, item(text));
        history->cleanupOldItems();
        history->saveHistory();
        settle();
    }

    QByteArray key() const
    {
        return keyring->secret(QString(EncryptionService::keychainService),
                               QString(EncryptionService::keychainAccount));
    }
    // Writes an encrypted entry under the keyring's key (made if missing).
    void writeEncrypted(const QList<HistoryItem>& items,
                        QLatin1StringView name = HistoryService::encryptedStorageKey)
    {
        if (key().isEmpty()) {
            QVERIFY(EncryptionService::loadKey(*keyring, true));
        }
        write(name, *EncryptionService::seal(key(), *HistoryItem::encodeListJson(items)));
    }
    void write(QLatin1StringView name, const QByteArray& data)
    {
        QDir().mkpath(dataDir());
        QFile file(path(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(data);
    }
    std::optional<QByteArray> read(QLatin1StringView name) const
    {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? std::optional(file.readAll()) : std::nullopt;
    }
    std::optional<QList<HistoryItem>> readEncrypted(const QString& file = {}) const
    {
        QFile f(file.isEmpty() ? path(HistoryService::encryptedStorageKey) : file);
        // An absent file opens as an empty block, which never decrypts.
        const auto plaintext = EncryptionService::open(
            key(), f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray());
        return plaintext ? HistoryItem::decodeListJson(*plaintext) : std::nullopt;
    }
};

inline QStringList texts(const QList<HistoryItem>& items)
{
    QStringList out;
    for (const HistoryItem& item : items) {
        out.append(item.text);
    }
    return out;
}
