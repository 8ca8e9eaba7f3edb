#pragma once

#include "history/SecretStore.h"
#include "platform/SecretServiceStore.h"

#include <QString>

#include <chrono>
#include <memory>

// Chooses the secret store of this session, once, at start-up, by asking the
// session bus (not the keyring, which may hang) whether anything owns or can
// start org.freedesktop.secrets.
//
// The Secret Service is used whenever something on the session bus provides
// it, even when it is locked or slow to answer: its calls then report
// Unavailable, and nothing is written to the file behind its back. Only when
// no Secret Service exists at all (no session bus, nobody owns or can start
// org.freedesktop.secrets) are secrets kept in the private file.
//
// The choice is made per process and the two stores do not see each other.
// A key saved to the file in a session without Secret Service stays in the
// file; a later session with a Secret Service does not see it (and the other
// way round), so the user enters an API key again there. For the history
// key this means that history encrypted in such a session is not readable
// in the other kind of session; the file is left in place, so nothing is
// lost, and a session of the first kind reads it again.
namespace SecretStoreFactory {

struct Options
{
    // Limit of every later Secret Service call.
    std::chrono::milliseconds callLimit = SecretServiceStore::defaultTimeLimit;
    // The fallback file; empty: FileSecretStore::defaultPath().
    QString filePath;
};

std::shared_ptr<SecretStore> create(const Options& options = {});

} // namespace SecretStoreFactory
