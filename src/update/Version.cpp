#include "update/Version.h"

#include <QList>
#include <QStringView>

namespace {

struct Part
{
    bool number = false;
    QStringView text; // digits without leading zeros, or letters
};

bool isSeparator(QChar c)
{
    return c == u'.' || c == u'-' || c == u'+' || c == u'_' || c == u'~';
}

QList<Part> split(const QString& version)
{
    QList<Part> parts;
    qsizetype i = 0;
    const qsizetype n = version.size();
    while (i < n) {
        const QChar c = version.at(i);
        if (isSeparator(c) || c.isSpace()) {
            ++i;
            continue;
        }
        const bool digit = c.isDigit();
        qsizetype end = i;
        while (end < n && !isSeparator(version.at(end)) && !version.at(end).isSpace() &&
               version.at(end).isDigit() == digit) {
            ++end;
        }
        QStringView text = QStringView(version).mid(i, end - i);
        if (digit) {
            while (text.size() > 1 && text.front() == u'0') {
                text = text.mid(1);
            }
        }
        parts.append({digit, text});
        i = end;
    }
    return parts;
}

bool isZero(const Part& p)
{
    return p.number && p.text == u"0";
}

// Numbers of any length, without leading zeros: the longer one is larger.
int compareNumbers(QStringView a, QStringView b)
{
    if (a.size() != b.size()) {
        return a.size() < b.size() ? -1 : 1;
    }
    return a.compare(b);
}

} // namespace

bool Version::isValid(const QString& version)
{
    if (version.isEmpty() || !version.front().isDigit()) {
        return false;
    }
    for (const QChar c : version) {
        const bool ascii = c.unicode() < 128;
        if (!ascii || !(c.isLetterOrNumber() || isSeparator(c))) {
            return false;
        }
    }
    return true;
}

int Version::compare(const QString& a, const QString& b)
{
    const QList<Part> pa = split(a);
    const QList<Part> pb = split(b);
    const qsizetype common = std::min(pa.size(), pb.size());
    for (qsizetype i = 0; i < common; ++i) {
        const Part& x = pa.at(i);
        const Part& y = pb.at(i);
        if (x.number != y.number) {
            // 2.0.1 against 2.0rc1: a release number beats a pre-release tag.
            return x.number ? 1 : -1;
        }
        const int c =
            x.number ? compareNumbers(x.text, y.text) : x.text.compare(y.text, Qt::CaseInsensitive);
        if (c != 0) {
            return c < 0 ? -1 : 1;
        }
    }
    // One runs on: more numbers make it newer unless they are all zero; a tag
    // makes it a pre-release of the shorter one.
    const QList<Part>& longer = pa.size() > pb.size() ? pa : pb;
    const int sign = pa.size() > pb.size() ? 1 : -1;
    for (qsizetype i = common; i < longer.size(); ++i) {
        const Part& p = longer.at(i);
        if (!p.number) {
            return -sign;
        }
        if (!isZero(p)) {
            return sign;
        }
    }
    return 0;
}
