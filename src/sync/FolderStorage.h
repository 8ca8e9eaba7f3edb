#pragma once

#include "sync/SyncStorage.h"

#include <chrono>

// The sync database in a local folder that Syncthing, Nextcloud, Dropbox or
// a network mount keeps in step with other machines. The disk is touched on
// worker threads only; a folder that does not answer within the time limit
// (a hung network mount) fails the call.
//
// Files are written under a hidden temporary name in the same folder, synced
// to disk, then renamed into place without replacing an existing file, so a
// sync tool never carries half a record and two machines writing at once
// never overwrite each other. Temporary names start with "." and end in
// ".tmp"; readers skip them.
class FolderStorage : public SyncStorage
{
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds defaultTimeLimit{30000};
    // A larger file is not one of ours.
    static constexpr qint64 maxFileSize = 64 * 1024 * 1024;

    explicit FolderStorage(QString root, QObject* parent = nullptr);

    void setTimeLimit(std::chrono::milliseconds limit) { m_timeLimit = limit; }

    QString location() const override { return m_root; }
    void prepare(const QString& folder, Callback<void> done) override;
    void list(const QString& folder, Callback<QList<Entry>> done) override;
    void readAll(const QStringList& paths, Callback<QList<Result<Content>>> done) override;
    void create(const QString& path, const QByteArray& data, Callback<void> done) override;

private:
    template <typename T> void run(std::function<Result<T>()> job, Callback<T> done);

    QString m_root;
    std::chrono::milliseconds m_timeLimit = defaultTimeLimit;
};
