#pragma once

#include <QString>

// Release version strings as feeds and packages write them: numbers separated
// by dots, optionally with a pre-release tag ("2.0-rc1", "1.3b2").
namespace Version {

// True for a string that names a version: it starts with a digit and holds
// only letters, digits and the separators . - + _ ~.
bool isValid(const QString& version);

// Negative, zero or positive as a is older than, the same as or newer than b.
// Numbers compare by value (1.10 > 1.9), missing trailing numbers count as
// zero (1.0 == 1.0.0), and a tag after the numbers marks a pre-release
// (2.0-rc1 < 2.0 < 2.0.1). Tags compare alphabetically (alpha < beta < rc).
int compare(const QString& a, const QString& b);

} // namespace Version
