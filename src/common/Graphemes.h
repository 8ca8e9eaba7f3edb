#pragma once

#include <QString>

#include <functional>

// User-perceived characters (extended grapheme clusters, by ICU's break
// rules): a letter with its combining marks, a flag or an emoji sequence
// counts as one.
namespace Graphemes {

// Calls visit(start, end) with the UTF-16 range of every cluster, in order.
// False (nothing visited) when the break rules cannot be loaded.
bool forEach(const QString& text, const std::function<void(qsizetype start, qsizetype end)>& visit);

qsizetype count(const QString& text);
// The first n user-perceived characters of text (all of it when shorter).
QString left(const QString& text, qsizetype n);
// The first n characters followed by "..." when text has more than n.
QString preview(const QString& text, qsizetype n);

} // namespace Graphemes
