#pragma once

#include "common/Expected.h"

#include <QString>

// Whether the application starts when the user logs in. The answer is the
// system's (what the session will do at the next login), never a stored
// choice, so that the settings window shows what really happens.
class LoginItem
{
public:
    virtual ~LoginItem() = default;
    virtual bool isEnabled() const = 0;
    // On failure the reason, as part of a sentence ("… cannot be written:
    // Permission denied"); the state is then as it was.
    virtual Expected<void, QString> setEnabled(bool enabled) = 0;
};
