#pragma once

#include "common/Expected.h"

#include <QString>

// Where quillsnap keeps its files, following the XDG base directories.
namespace AppPaths {

// $XDG_CONFIG_HOME/quillsnap
QString configDir();
// $XDG_DATA_HOME/quillsnap
QString dataDir();
// A private (0700) directory for short-lived files such as screenshots:
// $XDG_RUNTIME_DIR/quillsnap, or a per-user directory under the temp path
// when there is no runtime directory. Created on demand; empty on failure.
QString privateTempDir();
// privateTempDir(), or why it cannot be used, naming the directory ("...
// belongs to another user").
Expected<QString, QString> checkedPrivateTempDir();

} // namespace AppPaths
