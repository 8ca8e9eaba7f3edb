#pragma once

#include <QByteArray>
#include <QString>

namespace AtomicFile {

// Writes data to path through a temporary file that replaces the target only
// once it is complete, readable and writable by the owner alone (0600). The
// parent directory is created (0700) if missing. Returns false on any failure;
// the previous content of path is then untouched.
bool writePrivate(const QString& path, const QByteArray& data, QString* error = nullptr);

// Creates dir (and its parents) if missing and makes it 0700.
bool ensurePrivateDir(const QString& dir);

} // namespace AtomicFile
