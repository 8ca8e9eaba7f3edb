#pragma once

#include "CliCommand.h"

// `quillsnap-cli history import FILE` ("-": standard input): adds the
// records of a file written by `history export --format json`, by id.
int runHistoryImport(const QString& file, CliContext& ctx);
