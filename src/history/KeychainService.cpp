#include "history/KeychainService.h"

#include "history/AsyncSecretStore.h"

#include <QStringDecoder>
#include <QStringEncoder>

KeychainService::KeychainService(AsyncSecretStore& secrets, QObject* parent)
    : QObject(parent), m_secrets(secrets)
{
}

QLatin1StringView KeychainService::accountForProvider(QStringView provider)
{
    if (provider == u"openai") {
        return openAIKeyAccount;
    }
    if (provider == u"gemini") {
        return geminiKeyAccount;
    }
    if (provider == u"ocrspace") {
        return ocrSpaceKeyAccount;
    }
    return {};
}

bool KeychainService::saveKeyNow(SecretStore& store, const QString& key, const QString& account)
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
    return store.write(QString(service), account, bytes) == SecretStore::Status::Ok;
}

KeychainService::KeyLookup KeychainService::readKeyNow(SecretStore& store, const QString& account)
{
    const SecretStore::Lookup lookup = store.read(QString(service), account);
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

bool KeychainService::deleteKeyNow(SecretStore& store, const QString& account)
{
    return store.remove(QString(service), account) == SecretStore::Status::Ok;
}

void KeychainService::saveKey(const QString& key, const QString& account, QObject* context,
                              std::function<void(bool)> done)
{
    m_secrets.call<bool>(
        context, [key, account](SecretStore& store) { return saveKeyNow(store, key, account); },
        false, std::move(done));
}

void KeychainService::readKey(const QString& account, QObject* context,
                              std::function<void(KeyLookup)> done)
{
    m_secrets.call<KeyLookup>(
        context, [account](SecretStore& store) { return readKeyNow(store, account); },
        KeyLookup{KeyStatus::Unavailable, {}}, std::move(done));
}

void KeychainService::deleteKey(const QString& account, QObject* context,
                                std::function<void(bool)> done)
{
    m_secrets.call<bool>(
        context, [account](SecretStore& store) { return deleteKeyNow(store, account); }, false,
        std::move(done));
}

QString KeychainService::storeName() const
{
    return m_secrets.displayName();
}
