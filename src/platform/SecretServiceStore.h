#pragma once

#include "history/SecretStore.h"

#include <chrono>

// Secrets in the freedesktop Secret Service (GNOME Keyring, KWallet, KeePassXC)
// through libsecret's synchronous API. Each item carries the string attributes
// "service" and "account", so that
//     secret-tool lookup service com.quillsnap.apikeys account openai-api-key
// finds it; items written by other tools with the same two attributes are
// found and replaced too.
//
// Every operation runs under a time limit: a locked keyring may open an
// unlock prompt nobody answers, and a hung provider never replies. A call
// that runs out of time is cancelled and reports Unavailable, never NotFound.
//
// The calls block the calling thread; the application makes them from worker
// threads (AsyncSecretStore), since the time limit does not bound every wait
// (an unlock prompt holds the call until it is answered).
class SecretServiceStore : public SecretStore
{
public:
    static constexpr std::chrono::milliseconds defaultTimeLimit{5000};

    explicit SecretServiceStore(std::chrono::milliseconds timeLimit = defaultTimeLimit);

    Lookup read(const QString& service, const QString& account) override;
    Status write(const QString& service, const QString& account, const QByteArray& secret) override;
    Status remove(const QString& service, const QString& account) override;
    QString displayName() const override;

private:
    std::chrono::milliseconds m_timeLimit;
};
