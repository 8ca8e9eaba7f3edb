#pragma once

#include "common/Expected.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QLatin1StringView>

class SecretStore;

enum class EncryptionError {
    encryptionFailed,    // sealing failed
    decryptionFailed,    // block malformed (shorter than 28 bytes) or not authentic
    keyGenerationFailed, // a new key could not be made or stored
    keyRetrievalFailed,  // the store did not answer, or holds an unusable key
};

// Encrypts the stored history as one block with AES-256-GCM under a key kept
// in the user's secret store. Block layout: 12-byte random nonce, ciphertext
// (as long as the plaintext), 16-byte tag; no additional authenticated data.
//
// A new key is made only when the store answers that it holds none. A store
// that does not answer (locked keyring, timeout) fails the call and makes no
// key, so history written under the stored key never becomes unreadable
// because the keyring was locked for a moment; the next call asks again.
class EncryptionService
{
public:
    static constexpr QLatin1StringView keychainService{"com.quillsnap.encryption"};
    static constexpr QLatin1StringView keychainAccount{"master-key"};
    static constexpr qsizetype keySize = 32;
    static constexpr qsizetype nonceSize = 12;
    static constexpr qsizetype tagSize = 16;

    explicit EncryptionService(SecretStore& store);
    ~EncryptionService();
    EncryptionService(const EncryptionService&) = delete;
    EncryptionService& operator=(const EncryptionService&) = delete;

    // The application's instance over the shared secret store (which the
    // application installs at start-up); loads (or makes) the key on first use.
    static EncryptionService& shared();

    Expected<QByteArray, EncryptionError> encrypt(const QByteArray& plaintext);
    Expected<QByteArray, EncryptionError> decrypt(const QByteArray& block);

    // The 32 key bytes, loaded or made once and then cached for the life of
    // the service. The view stays valid as long as the service.
    Expected<QByteArrayView, EncryptionError> getOrCreateKey();

private:
    SecretStore& m_store;
    QByteArray m_cachedKey; // empty until loaded
};
