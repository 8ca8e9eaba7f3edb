#pragma once

#include "history/SecretStore.h"

#include <QObject>
#include <QString>

#include <functional>

class AsyncSecretStore;

// The API keys of the three cloud recognition providers, one item per
// provider in the per-user secret store. Keys never go to the preferences or
// to a log. Every operation runs off the main thread and answers there, once,
// through its callback; nothing is called once the given context is gone.
class KeychainService : public QObject
{
    Q_OBJECT
public:
    static constexpr QLatin1StringView service{"com.quillsnap.apikeys"};
    static constexpr QLatin1StringView openAIKeyAccount{"openai-api-key"};
    static constexpr QLatin1StringView geminiKeyAccount{"gemini-api-key"};
    static constexpr QLatin1StringView ocrSpaceKeyAccount{"ocrspace-api-key"};

    enum class KeyStatus {
        Found,       // key holds the stored text (possibly empty)
        Missing,     // the store answered that there is no key
        Undecodable, // an item exists but is not UTF-8 text
        Unavailable, // the store could not be asked (locked, timed out, damaged)
    };
    struct KeyLookup
    {
        KeyStatus status = KeyStatus::Unavailable;
        QString key;
        bool found() const { return status == KeyStatus::Found; }
    };

    explicit KeychainService(AsyncSecretStore& secrets, QObject* parent = nullptr);

    // The account of a provider identifier ("openai", "gemini", "ocrspace");
    // empty for any other.
    static QLatin1StringView accountForProvider(QStringView provider);

    // Stores key exactly as given (no trimming), replacing an earlier key of
    // that account. False when the key is not valid Unicode or the store
    // failed; an earlier key then stays as it was.
    void saveKey(const QString& key, const QString& account, QObject* context,
                 std::function<void(bool saved)> done);
    void readKey(const QString& account, QObject* context, std::function<void(KeyLookup)> done);
    // True when no key of that account remains, also when there was none.
    void deleteKey(const QString& account, QObject* context,
                   std::function<void(bool deleted)> done);

    // Which store holds the keys, as part of a sentence.
    QString storeName() const;

    // The same operations, blocking: for worker threads and command-line tools.
    static bool saveKeyNow(SecretStore& store, const QString& key, const QString& account);
    static KeyLookup readKeyNow(SecretStore& store, const QString& account);
    static bool deleteKeyNow(SecretStore& store, const QString& account);

private:
    AsyncSecretStore& m_secrets;
};
