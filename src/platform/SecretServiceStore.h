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
// The calls block the calling thread (normally the main thread) for at most
// the time limit.
class SecretServiceStore : public SecretStore
{
public:
    static constexpr std::chrono::milliseconds defaultTimeLimit{5000};

    explicit SecretServiceStore(std::chrono::milliseconds timeLimit = defaultTimeLimit);

    Lookup read(const QString& service, const QString& account) override;
    Status write(const QString& service, const QString& account, const QByteArray& secret) override;
    Status remove(const QString& service, const QString& account) override;
    QString displayName() const override;

    enum class Availability {
        Present,      // a provider answered
        Absent,       // no session bus, or nobody provides org.freedesktop.secrets
        Unresponsive, // something owns the name but did not answer in time or failed
    };
    // One cheap search that never prompts and never loads a secret.
    static Availability probe(std::chrono::milliseconds timeLimit);

private:
    std::chrono::milliseconds m_timeLimit;
};
