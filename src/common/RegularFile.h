#pragma once

#include "common/Expected.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <memory>

// Opens and reads files, but only regular ones: a FIFO, a device or a socket
// where a file is expected would block the reader or never end. The file is
// opened without blocking and checked before anything is read from it.
//
// Paths come in the system's own bytes, as file names arrive in argv and as
// readdir() gives them; they need not be valid UTF-8 (QFile::encodeName of a
// QString path gives them).
namespace RegularFile {

enum class Error { missing, permissionDenied, notRegular, tooLarge, unreadable };

// The open file, read-only, positioned at its start.
Expected<std::unique_ptr<QFile>, Error> open(const QByteArray& nativePath);

// The whole content; tooLarge when the file holds more than maxSize bytes.
Expected<QByteArray, Error> read(const QByteArray& nativePath, qint64 maxSize);
Expected<QByteArray, Error> read(const QString& path, qint64 maxSize);

// What went wrong, in a few words for a message ("no such file").
QString describe(Error error);

} // namespace RegularFile
