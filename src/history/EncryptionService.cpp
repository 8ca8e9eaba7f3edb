#include "history/EncryptionService.h"

#include "history/AsyncSecretStore.h"
#include "history/SecretStore.h"

#include <QString>

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <climits>
#include <memory>

namespace {

struct CipherCtxDeleter
{
    void operator()(EVP_CIPHER_CTX* ctx) const { EVP_CIPHER_CTX_free(ctx); }
};
using CipherCtx = std::unique_ptr<EVP_CIPHER_CTX, CipherCtxDeleter>;

void wipe(QByteArray& bytes)
{
    if (!bytes.isEmpty()) {
        OPENSSL_cleanse(bytes.data(), size_t(bytes.size()));
    }
    bytes.clear();
}

// EVP takes int lengths; feed large inputs in pieces.
constexpr qsizetype maxChunk = qsizetype(1) << 30;

// Feeds additional authenticated data: an update call without output.
template <typename Update> bool addAad(EVP_CIPHER_CTX* ctx, const QByteArray& aad, Update update)
{
    const auto* in = reinterpret_cast<const unsigned char*>(aad.constData());
    for (qsizetype offset = 0; offset < aad.size(); offset += maxChunk) {
        int len = 0;
        if (update(ctx, nullptr, &len, in + offset, int(qMin(maxChunk, aad.size() - offset))) !=
            1) {
            return false;
        }
    }
    return true;
}

} // namespace

EncryptionService::EncryptionService(AsyncSecretStore& secrets, QObject* parent)
    : QObject(parent), m_secrets(secrets)
{
}

EncryptionService::~EncryptionService()
{
    wipe(m_key);
}

Expected<QByteArray, EncryptionError> EncryptionService::loadKey(SecretStore& store, bool mayCreate)
{
    const QString service(keychainService);
    const QString account(keychainAccount);
    SecretStore::Lookup lookup = store.read(service, account);
    switch (lookup.status) {
    case SecretStore::Status::Ok:
        if (lookup.secret.size() != keySize) {
            // Not a key of ours: neither use nor replace it.
            wipe(lookup.secret);
            return unexpected(EncryptionError::keyRetrievalFailed);
        }
        return lookup.secret;
    case SecretStore::Status::Unavailable:
        return unexpected(EncryptionError::keyRetrievalFailed);
    case SecretStore::Status::NotFound:
        break;
    }
    if (!mayCreate) {
        return unexpected(EncryptionError::keyRetrievalFailed);
    }
    QByteArray key(keySize, '\0');
    if (RAND_bytes(reinterpret_cast<unsigned char*>(key.data()), int(keySize)) != 1 ||
        store.write(service, account, key) != SecretStore::Status::Ok) {
        wipe(key);
        return unexpected(EncryptionError::keyGenerationFailed);
    }
    return key;
}

void EncryptionService::requestKey(std::function<void(KeyResult)> done)
{
    if (hasKey()) {
        done({});
        return;
    }
    m_waiting.append(std::move(done));
    if (m_waiting.size() > 1) {
        return; // the request under way answers this one too
    }
    using Result = Expected<QByteArray, EncryptionError>;
    m_secrets.call<Result>(
        this, [](SecretStore& store) { return loadKey(store, true); },
        Result(unexpected(EncryptionError::keyRetrievalFailed)),
        [this](Result result) {
            KeyResult outcome;
            if (!result) {
                outcome = unexpected(result.error());
            } else {
                m_key = std::move(result.value());
            }
            const auto waiting = std::exchange(m_waiting, {});
            for (const auto& callback : waiting) {
                callback(outcome);
            }
        });
}

Expected<QByteArray, EncryptionError> EncryptionService::encrypt(const QByteArray& plaintext) const
{
    if (!hasKey()) {
        return unexpected(EncryptionError::keyRetrievalFailed);
    }
    return seal(m_key, plaintext);
}

Expected<QByteArray, EncryptionError> EncryptionService::decrypt(const QByteArray& block) const
{
    if (!hasKey()) {
        return unexpected(EncryptionError::keyRetrievalFailed);
    }
    return open(m_key, block);
}

Expected<QByteArray, EncryptionError>
EncryptionService::seal(const QByteArray& key, const QByteArray& plaintext, const QByteArray& aad)
{
    if (key.size() != keySize) {
        return unexpected(EncryptionError::keyRetrievalFailed);
    }
    const auto fail = [] { return unexpected(EncryptionError::encryptionFailed); };

    QByteArray block(nonceSize + plaintext.size() + tagSize, Qt::Uninitialized);
    auto* out = reinterpret_cast<unsigned char*>(block.data());
    if (RAND_bytes(out, int(nonceSize)) != 1) {
        return fail();
    }
    CipherCtx ctx(EVP_CIPHER_CTX_new());
    if (!ctx || EVP_EncryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr, nullptr, nullptr) != 1 ||
        EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_IVLEN, int(nonceSize), nullptr) != 1 ||
        EVP_EncryptInit_ex(ctx.get(), nullptr, nullptr,
                           reinterpret_cast<const unsigned char*>(key.constData()), out) != 1 ||
        !addAad(ctx.get(), aad, EVP_EncryptUpdate)) {
        return fail();
    }
    const auto* in = reinterpret_cast<const unsigned char*>(plaintext.constData());
    qsizetype written = 0;
    for (qsizetype offset = 0; offset < plaintext.size(); offset += maxChunk) {
        const int chunk = int(qMin(maxChunk, plaintext.size() - offset));
        int len = 0;
        if (EVP_EncryptUpdate(ctx.get(), out + nonceSize + written, &len, in + offset, chunk) !=
            1) {
            return fail();
        }
        written += len;
    }
    int len = 0;
    if (EVP_EncryptFinal_ex(ctx.get(), out + nonceSize + written, &len) != 1) {
        return fail();
    }
    written += len;
    if (written != plaintext.size() ||
        EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_GET_TAG, int(tagSize),
                            out + nonceSize + written) != 1) {
        return fail();
    }
    return block;
}

Expected<QByteArray, EncryptionError>
EncryptionService::open(const QByteArray& key, const QByteArray& block, const QByteArray& aad)
{
    if (key.size() != keySize) {
        return unexpected(EncryptionError::keyRetrievalFailed);
    }
    const auto fail = [] { return unexpected(EncryptionError::decryptionFailed); };
    if (block.size() < nonceSize + tagSize) {
        return fail();
    }
    const auto* in = reinterpret_cast<const unsigned char*>(block.constData());
    const qsizetype cipherSize = block.size() - nonceSize - tagSize;

    CipherCtx ctx(EVP_CIPHER_CTX_new());
    if (!ctx || EVP_DecryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr, nullptr, nullptr) != 1 ||
        EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_IVLEN, int(nonceSize), nullptr) != 1 ||
        EVP_DecryptInit_ex(ctx.get(), nullptr, nullptr,
                           reinterpret_cast<const unsigned char*>(key.constData()), in) != 1 ||
        !addAad(ctx.get(), aad, EVP_DecryptUpdate)) {
        return fail();
    }
    QByteArray plaintext(cipherSize, Qt::Uninitialized);
    auto* out = reinterpret_cast<unsigned char*>(plaintext.data());
    qsizetype written = 0;
    for (qsizetype offset = 0; offset < cipherSize; offset += maxChunk) {
        const int chunk = int(qMin(maxChunk, cipherSize - offset));
        int len = 0;
        if (EVP_DecryptUpdate(ctx.get(), out + written, &len, in + nonceSize + offset, chunk) !=
            1) {
            wipe(plaintext);
            return fail();
        }
        written += len;
    }
    // The tag is set before Final, which checks it.
    auto* tag = const_cast<unsigned char*>(in + nonceSize + cipherSize);
    int len = 0;
    if (EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_TAG, int(tagSize), tag) != 1 ||
        EVP_DecryptFinal_ex(ctx.get(), out + written, &len) != 1 || written + len != cipherSize) {
        // Unauthenticated plaintext never leaves this function.
        wipe(plaintext);
        return fail();
    }
    return plaintext;
}
