#pragma once

#include <QList>
#include <QString>

#include <algorithm>

// Levenshtein distance in UTF-16 code units: insertions, deletions and
// substitutions each cost one. Used to score recognised text.
inline qsizetype levenshtein(const QString& a, const QString& b)
{
    QList<qsizetype> row(b.size() + 1);
    for (qsizetype j = 0; j <= b.size(); ++j) {
        row[j] = j;
    }
    for (qsizetype i = 1; i <= a.size(); ++i) {
        qsizetype diagonal = row[0];
        row[0] = i;
        for (qsizetype j = 1; j <= b.size(); ++j) {
            const qsizetype up = row[j];
            row[j] =
                std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = up;
        }
    }
    return row[b.size()];
}
