#pragma once

#include "history/SecretStore.h"

#include <QJsonObject>

// Secrets in one private file, for sessions without a Secret Service:
// $XDG_DATA_HOME/quillsnap/secrets.json, mode 0600 in a 0700 directory,
// replaced atomically on every change. The values are base64 in a JSON
// object keyed by service, then account. The file is protected by its mode
// only, not encrypted: it is as safe as the user's home directory.
//
// A file that cannot be read or parsed is never taken for an empty store:
// reads report Unavailable. A write sets the damaged file aside under a
// timestamped name before it starts a fresh one, so nothing is destroyed.
class FileSecretStore : public SecretStore
{
public:
    explicit FileSecretStore(QString path = defaultPath());

    // $XDG_DATA_HOME/quillsnap/secrets.json
    static QString defaultPath();

    Lookup read(const QString& service, const QString& account) override;
    Status write(const QString& service, const QString& account, const QByteArray& secret) override;
    Status remove(const QString& service, const QString& account) override;
    QString displayName() const override;

    QString path() const { return m_path; }

private:
    enum class Load { Ok, Missing, Unreadable, Corrupt };
    Load load(QJsonObject& secrets) const;
    bool save(const QJsonObject& secrets) const;
    bool setAsideDamagedFile() const;

    QString m_path;
};
