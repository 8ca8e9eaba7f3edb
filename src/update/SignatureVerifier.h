#pragma once

#include <QByteArray>
#include <QByteArrayView>

// Checks the Ed25519 signature of a downloaded package against the public key
// that signs this program's releases.
class SignatureVerifier
{
public:
    enum class Result {
        valid,
        noKey,     // the program was built without a (usable) public key
        missing,   // the release carries no signature
        malformed, // not base64 of a 64-byte signature
        mismatch,  // the bytes are not what was signed
    };

    // publicKeyBase64: the 32-byte raw Ed25519 public key, base64.
    explicit SignatureVerifier(const QByteArray& publicKeyBase64);

    Result verify(QByteArrayView data, const QByteArray& signatureBase64) const;

private:
    QByteArray m_publicKey; // raw, 32 bytes when usable
};
