#pragma once

#include "history/SecretStore.h"

#include <memory>

// The secret store of the process. Which store that is (Secret Service or
// private file) is decided at run time by the platform layer, which this
// library cannot call; the application and quillsnap-cli install it at
// start-up (see SecretStoreFactory) before any service touches a secret.
namespace SharedSecretStore {

// Makes store the one behind get(). Call on the main thread, while no
// secret operation is running.
void install(std::unique_ptr<SecretStore> store);

// A store that forwards to the installed one. Until a store is installed
// every operation reports Unavailable, so that nothing mistakes a missing
// set-up for a missing secret.
SecretStore& get();

} // namespace SharedSecretStore
