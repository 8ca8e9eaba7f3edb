#pragma once

#include "history/SecretStore.h"

#include <QString>

#include <optional>

// The API keys of the three cloud recognition providers, one item per
// provider in the per-user secret store. Keys never go to the preferences or
// to a log. Operations are synchronous and block for at most the store's
// time limit; use them from the main thread.
class KeychainService
{
public:
    static constexpr QLatin1StringView service{"com.quillsnap.apikeys"};
    static constexpr QLatin1StringView openAIKeyAccount{"openai-api-key"};
    static constexpr QLatin1StringView geminiKeyAccount{"gemini-api-key"};
    static constexpr QLatin1StringView ocrSpaceKeyAccount{"ocrspace-api-key"};

    explicit KeychainService(SecretStore& store);

    // Stores key exactly as given (no trimming), replacing an earlier key of
    // that account. False when the key is not valid Unicode or the store
    // failed; an earlier key then stays as it was.
    bool saveKey(const QString& key, const QString& account);
    // The stored key (possibly empty), or absent when there is none, the
    // store is unavailable or the item is not UTF-8 text.
    std::optional<QString> readKey(const QString& account);
    // True when no key of that account remains, also when there was none.
    bool deleteKey(const QString& account);

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
    };
    // For callers that must tell "no key" from "cannot tell right now".
    KeyLookup readKeyStatus(const QString& account);

    // Which store holds the keys, for the settings window.
    QString storeName() const;

private:
    SecretStore& m_store;
};
