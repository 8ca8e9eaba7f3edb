#pragma once

#include "common/Expected.h"

#include <QByteArray>
#include <QString>

namespace AtomicFile {

// Writes data to path through a temporary file that replaces the target only
// once it is complete, readable and writable by the owner alone (0600). The
// parent directory is created (0700) if missing. On any failure the previous
// content of path is untouched and the error says what went wrong.
Expected<void, QString> writePrivate(const QString& path, const QByteArray& data);

// Creates dir (and its parents) if missing and makes it 0700.
bool ensurePrivateDir(const QString& dir);

} // namespace AtomicFile
