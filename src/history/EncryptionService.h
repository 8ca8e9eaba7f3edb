#pragma once

#include "common/Expected.h"

#include <QByteArray>
#include <QLatin1StringView>
#include <QObject>

#include <functional>

class AsyncSecretStore;
class SecretStore;

enum class EncryptionError {
    encryptionFailed,    // sealing failed
    decryptionFailed,    // block malformed (shorter than 28 bytes) or not authentic
    keyGenerationFailed, // a new key could not be made or stored
    keyRetrievalFailed,  // no key at hand: the store did not answer, or holds an unusable key
};

// Encrypts the stored history as one block with AES-256-GCM under a key kept
// in the user's secret store. Block layout: 12-byte random nonce, ciphertext
// (as long as the plaintext), 16-byte tag; no additional authenticated data.
//
// The key is fetched without blocking the main thread (requestKey). A new
// key is made only when the store answers that it holds none. A store that
// does not answer (locked keyring, timeout) makes no key, so history written
// under the stored key never becomes unreadable because the keyring was
// locked for a moment; the next request asks again.
class EncryptionService : public QObject
{
    Q_OBJECT
public:
    static constexpr QLatin1StringView keychainService{"com.quillsnap.encryption"};
    static constexpr QLatin1StringView keychainAccount{"master-key"};
    static constexpr qsizetype keySize = 32;
    static constexpr qsizetype nonceSize = 12;
    static constexpr qsizetype tagSize = 16;

    explicit EncryptionService(AsyncSecretStore& secrets, QObject* parent = nullptr);
    ~EncryptionService() override;

    using KeyResult = Expected<void, EncryptionError>;
    // Loads the key, or makes and stores one when the store holds none. done
    // runs on the main thread: at once when the key is at hand, else once the
    // store has answered. Requests made while one is under way share it.
    void requestKey(std::function<void(KeyResult)> done);
    bool hasKey() const { return !m_key.isEmpty(); }

    // Both fail with keyRetrievalFailed until the key has been obtained.
    Expected<QByteArray, EncryptionError> encrypt(const QByteArray& plaintext) const;
    Expected<QByteArray, EncryptionError> decrypt(const QByteArray& block) const;

    // The same with a given key; aad (additional authenticated data) is
    // bound to the block without being stored in it: open fails unless it is
    // given the same bytes.
    static Expected<QByteArray, EncryptionError>
    seal(const QByteArray& key, const QByteArray& plaintext, const QByteArray& aad = {});
    static Expected<QByteArray, EncryptionError>
    open(const QByteArray& key, const QByteArray& block, const QByteArray& aad = {});

    // Blocking, for worker threads and command-line tools: the stored key or,
    // with mayCreate, a new one when the store answers that it holds none.
    static Expected<QByteArray, EncryptionError> loadKey(SecretStore& store, bool mayCreate);

private:
    AsyncSecretStore& m_secrets;
    QByteArray m_key; // empty until obtained; wiped at destruction
    QList<std::function<void(KeyResult)>> m_waiting;
};
