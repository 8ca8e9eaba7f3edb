#pragma once

#include <QByteArray>
#include <QString>

// A per-user store of small secrets, addressed by a service and an account
// name. Implementations: the freedesktop Secret Service and a private file.
//
// "Unavailable" (locked, timed out, no answer) is kept apart from "NotFound"
// (the store answered that no such item exists): callers must never treat the
// first as the second, or a locked keyring would look like a missing key.
class SecretStore
{
public:
    enum class Status { Ok, NotFound, Unavailable };

    struct Lookup
    {
        Status status = Status::Unavailable;
        QByteArray secret; // set when status is Ok
    };

    virtual ~SecretStore() = default;

    virtual Lookup read(const QString& service, const QString& account) = 0;
    // Replaces any earlier secret of that service and account.
    virtual Status write(const QString& service, const QString& account, const QByteArray& secret) = 0;
    // Ok when no item of that service and account remains (also when there was none).
    virtual Status remove(const QString& service, const QString& account) = 0;

    // Human-readable name of the backing store, for the settings window.
    virtual QString displayName() const = 0;
};
