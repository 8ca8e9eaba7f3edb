#include "common/Graphemes.h"

#include <QTextBoundaryFinder>

namespace Graphemes {

qsizetype count(const QString& text)
{
    if (text.isEmpty()) {
        return 0;
    }
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype n = 0;
    while (finder.toNextBoundary() != -1) {
        ++n;
    }
    return n;
}

QString left(const QString& text, qsizetype n)
{
    if (n <= 0) {
        return {};
    }
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype seen = 0;
    qsizetype pos = 0;
    while (seen < n && (pos = finder.toNextBoundary()) != -1) {
        ++seen;
    }
    return pos == -1 ? text : text.left(pos);
}

QString preview(const QString& text, qsizetype n)
{
    const QString head = left(text, n);
    return head.size() < text.size() ? head + QStringLiteral("...") : head;
}

} // namespace Graphemes
