#include "update/SignatureVerifier.h"

#include <openssl/evp.h>

#include <memory>

namespace {
constexpr qsizetype keySize = 32;
constexpr qsizetype signatureSize = 64;

struct KeyFree
{
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct ContextFree
{
    void operator()(EVP_MD_CTX* ctx) const { EVP_MD_CTX_free(ctx); }
};

QByteArray strictBase64(const QByteArray& text)
{
    auto decoded =
        QByteArray::fromBase64Encoding(text.trimmed(), QByteArray::AbortOnBase64DecodingErrors);
    return decoded ? decoded.decoded : QByteArray();
}
} // namespace

SignatureVerifier::SignatureVerifier(const QByteArray& publicKeyBase64)
{
    const QByteArray key = strictBase64(publicKeyBase64);
    if (key.size() == keySize) {
        m_publicKey = key;
    }
}

SignatureVerifier::Result SignatureVerifier::verify(QByteArrayView data,
                                                    const QByteArray& signatureBase64) const
{
    if (m_publicKey.isEmpty()) {
        return Result::noKey;
    }
    if (signatureBase64.trimmed().isEmpty()) {
        return Result::missing;
    }
    const QByteArray signature = strictBase64(signatureBase64);
    if (signature.size() != signatureSize) {
        return Result::malformed;
    }
    const std::unique_ptr<EVP_PKEY, KeyFree> key(EVP_PKEY_new_raw_public_key(
        EVP_PKEY_ED25519, nullptr, reinterpret_cast<const unsigned char*>(m_publicKey.constData()),
        size_t(m_publicKey.size())));
    const std::unique_ptr<EVP_MD_CTX, ContextFree> ctx(EVP_MD_CTX_new());
    if (!key || !ctx) {
        return Result::noKey;
    }
    // Ed25519 signs the message itself (no separate digest): one-shot verify.
    if (EVP_DigestVerifyInit(ctx.get(), nullptr, nullptr, nullptr, key.get()) != 1) {
        return Result::noKey;
    }
    const int ok =
        EVP_DigestVerify(ctx.get(), reinterpret_cast<const unsigned char*>(signature.constData()),
                         size_t(signature.size()),
                         reinterpret_cast<const unsigned char*>(data.data()), size_t(data.size()));
    return ok == 1 ? Result::valid : Result::mismatch;
}
