#pragma once

#include <QString>

// User-perceived characters (extended grapheme clusters): a letter with its
// combining marks, a flag or an emoji sequence counts as one.
namespace Graphemes {

qsizetype count(const QString& text);
// The first n user-perceived characters of text (all of it when shorter).
QString left(const QString& text, qsizetype n);
// The first n characters followed by "..." when text has more than n.
QString preview(const QString& text, qsizetype n);

} // namespace Graphemes
