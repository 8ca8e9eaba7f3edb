#pragma once

#include <QByteArray>

#include <openssl/evp.h>

#include <memory>

// A fresh Ed25519 key pair made through OpenSSL for one test run, standing in
// for the key that signs real releases.
class TestSigningKey
{
public:
    TestSigningKey()
    {
        const std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> ctx(
            EVP_PKEY_CTX_new_id(EVP_PKEY_ED25519, nullptr), EVP_PKEY_CTX_free);
        EVP_PKEY* key = nullptr;
        if (EVP_PKEY_keygen_init(ctx.get()) == 1 && EVP_PKEY_keygen(ctx.get(), &key) == 1) {
            m_key.reset(key);
        }
    }
    // Base64 of the raw public key, as the program is built with it.
    QByteArray publicKey() const
    {
        QByteArray raw(32, '\0');
        size_t size = 32;
        EVP_PKEY_get_raw_public_key(m_key.get(), reinterpret_cast<uchar*>(raw.data()), &size);
        return raw.toBase64();
    }
    // Base64 of the signature of data, as a feed's sparkle:edSignature.
    QByteArray sign(const QByteArray& data) const
    {
        const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> ctx(EVP_MD_CTX_new(),
                                                                          EVP_MD_CTX_free);
        QByteArray signature(64, '\0');
        size_t size = 64;
        EVP_DigestSignInit(ctx.get(), nullptr, nullptr, nullptr, m_key.get());
        EVP_DigestSign(ctx.get(), reinterpret_cast<uchar*>(signature.data()), &size,
                       reinterpret_cast<const uchar*>(data.constData()), size_t(data.size()));
        return signature.toBase64();
    }

private:
    std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> m_key{nullptr, EVP_PKEY_free};
};
