#pragma once

#include "common/Expected.h"
#include "sync/CloudError.h"
#include "sync/CloudRecord.h"

#include <QObject>

#include <functional>
#include <memory>

// A query over every record, sorted by "timestamp". skipName leaves records
// out by name before anything of them is fetched: a record the caller
// already has is never downloaded.
struct CloudQuery
{
    bool ascending = false;
    std::function<bool(const QString& recordName)> skipName;
};

// Where the next page of a query starts; null before the first page and
// after the last.
struct CloudCursor
{
    std::shared_ptr<const void> state; // the database's own
    qsizetype offset = 0;

    explicit operator bool() const { return bool(state); }
};

// The user's private record database, as the sync algorithm relies on it:
// records saved one at a time by name (a name that exists already fails with
// serverRecordChanged), a query of all records sorted by time and read in
// pages through a cursor, and errors per record as well as per operation.
// Every call answers exactly once, on the main thread.
class CloudDatabase : public QObject
{
    Q_OBJECT
public:
    template <typename T> using Result = Expected<T, CloudError>;

    using QObject::QObject;

    // The server or folder, for messages.
    virtual QString location() const = 0;
    // The database can be reached and the passphrase opens it (a database
    // that does not exist yet is set up with it). Nothing else works before.
    virtual void checkAccount(std::function<void(Result<void>)> done) = 0;
    // Saves a new record; answers with the name it was saved under.
    virtual void saveRecord(const CloudRecord& record,
                            std::function<void(Result<QString>)> done) = 0;
    // One page of at most limit records: recordMatched once per record (or
    // per record that could not be read), then queryResult once with the
    // cursor of the next page (null at the end) or the error that ended the
    // query.
    virtual void fetchPage(const CloudQuery& query, const CloudCursor& cursor, int limit,
                           std::function<void(Result<CloudRecord>)> recordMatched,
                           std::function<void(Result<CloudCursor>)> queryResult) = 0;
    // Requests made so far.
    virtual int requestCount() const = 0;
};
