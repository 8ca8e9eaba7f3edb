#include "history/KeychainService.h"

#include <QStringDecoder>
#include <QStringEncoder>

KeychainService::KeychainService(SecretStore& store) : m_store(store) {}

bool KeychainService::saveKey(const QString& key, const QString& account)
{
    // Strict: a lone surrogate would otherwise be stored as a replacement
    // character, a different key from the one given.
    QStringEncoder encoder(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
    const QByteArray bytes = encoder(key);
    if (encoder.hasError()) {
        return false;
    }
    // The store's write replaces an earlier item of the account itself. No
    // delete comes first: if the write failed after it, the old key would be
    // lost as well.
    return m_store.write(service, account, bytes) == SecretStore::Status::Ok;
}

std::optional<QString> KeychainService::readKey(const QString& account)
{
    KeyLookup lookup = readKeyStatus(account);
    if (lookup.status != KeyStatus::Found) {
        return std::nullopt;
    }
    return std::move(lookup.key);
}

KeychainService::KeyLookup KeychainService::readKeyStatus(const QString& account)
{
    const SecretStore::Lookup lookup = m_store.read(service, account);
    switch (lookup.status) {
    case SecretStore::Status::NotFound:
        return {KeyStatus::Missing, {}};
    case SecretStore::Status::Unavailable:
        return {KeyStatus::Unavailable, {}};
    case SecretStore::Status::Ok:
        break;
    }
    // Exactly the stored text: a leading byte-order mark is kept, and invalid
    // bytes make the item unreadable rather than silently altered.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                     QStringDecoder::Flag::ConvertInitialBom);
    QString key = decoder(lookup.secret);
    if (decoder.hasError()) {
        return {KeyStatus::Undecodable, {}};
    }
    // A null QString would read as "no text" to some callers: keep it empty.
    if (key.isNull()) {
        key = QLatin1StringView("");
    }
    return {KeyStatus::Found, std::move(key)};
}

bool KeychainService::deleteKey(const QString& account)
{
    return m_store.remove(service, account) == SecretStore::Status::Ok;
}

QString KeychainService::storeName() const
{
    return m_store.displayName();
}
