#pragma once

#include <QString>

// Why an operation of the sync database failed. The numbers of the two
// "already there" outcomes follow the cloud database this design mirrors, so
// that callers can treat either as "the record is present".
struct CloudError
{
    enum class Code {
        networkFailure = 4,         // no connection, no answer in time, TLS failure
        notAuthenticated = 9,       // the server refused the user name or password
        serverRecordChanged = 14,   // a record of that name exists already
        serverRejectedRequest = 15, // any other error answer of the server
        batchRequestFailed = 22,    // part of a batch failed because another part did
        badRecord = 100,            // a stored record that cannot be opened or read
        wrongPassphrase = 101,      // the passphrase does not open the key check
        notConfigured = 102,        // settings or secrets missing or invalid
        incompatibleFormat = 103,   // written by a newer version, or not ours
        storageFailure = 104,       // the local folder cannot be read or written
    };

    Code code = Code::serverRejectedRequest;
    QString message; // a complete sentence for the user

    // The record is there already: counted as saved.
    bool isAlreadyPresent() const
    {
        return code == Code::serverRecordChanged || code == Code::batchRequestFailed;
    }
};
