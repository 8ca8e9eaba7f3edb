#pragma once

#include "common/Expected.h"
#include "sync/CloudError.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// Where the sealed files of the sync database live: a WebDAV collection or a
// local folder that a sync tool keeps in step. Paths are relative to the
// root ("quillsnap-sync.json", "records/NAME.qsr"). Every call answers
// exactly once, on the main thread, and never blocks it; nothing is called
// once the storage is gone.
class SyncStorage : public QObject
{
    Q_OBJECT
public:
    template <typename T> using Result = Expected<T, CloudError>;
    template <typename T> using Callback = std::function<void(Result<T>)>;

    struct Entry
    {
        QString name;
        qint64 size = -1;
    };
    // The content of a file, or nullopt when there is none.
    using Content = std::optional<QByteArray>;

    using QObject::QObject;

    // The server address or folder, for messages.
    virtual QString location() const = 0;
    // Creates the root and the given folder in it where they are missing;
    // the root's parent must exist.
    virtual void prepare(const QString& folder, Callback<void> done) = 0;
    // The files (not folders) directly in folder; empty when it is missing.
    virtual void list(const QString& folder, Callback<QList<Entry>> done) = 0;
    // The contents of each path, in order. The outer result fails only when
    // the storage cannot be reached at all; a file that cannot be read
    // fails on its own.
    virtual void readAll(const QStringList& paths, Callback<QList<Result<Content>>> done) = 0;
    // Writes a new file whole (readers never see part of it). Fails with
    // serverRecordChanged when the path exists, where the storage can tell.
    virtual void create(const QString& path, const QByteArray& data, Callback<void> done) = 0;

    // Requests made so far (HTTP requests, or file operations).
    int requestCount() const { return m_requests; }

protected:
    void countRequest(int n = 1) { m_requests += n; }

private:
    int m_requests = 0;
};
