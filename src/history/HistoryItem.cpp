#include "history/HistoryItem.h"

#include "common/Graphemes.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonValue>
#include <QLocale>
#include <QSysInfo>
#include <QTimeZone>

#include <cmath>
#include <memory>

namespace {

// 2001-01-01T00:00:00Z in milliseconds since the Unix epoch.
constexpr qint64 referenceEpochMs = 978307200000LL;
// About ±3 million years: beyond that QDateTime has no representation, and no
// real capture is there.
constexpr double maxReferenceSeconds = 1e14;

const QLatin1StringView keyId{"id"};
const QLatin1StringView keyText{"text"};
const QLatin1StringView keyTimestamp{"timestamp"};
const QLatin1StringView keyCharacterCount{"characterCount"};
const QLatin1StringView keyWordCount{"wordCount"};
const QLatin1StringView keyDeviceName{"deviceName"};
const QLatin1StringView keyIsSynced{"isSynced"};
const QLatin1StringView keyCloudRecordID{"cloudRecordID"};
const QLatin1StringView keyIsEncrypted{"isEncrypted"};

bool isCanonicalUuidText(const QString& s)
{
    if (s.size() != 36) {
        return false;
    }
    for (qsizetype i = 0; i < s.size(); ++i) {
        const char16_t c = s.at(i).unicode();
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (c != u'-') {
                return false;
            }
        } else if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') ||
                     (c >= u'A' && c <= u'F'))) {
            return false;
        }
    }
    return true;
}

std::optional<qint64> integerValue(const QJsonValue& v)
{
    if (!v.isDouble()) {
        return std::nullopt;
    }
    // toInteger() answers its default unless the number is a whole qint64;
    // two different defaults tell that case apart from a real 0 or 1.
    const qint64 a = v.toInteger(0);
    const qint64 b = v.toInteger(1);
    if (a != b) {
        return std::nullopt;
    }
    return a;
}

// text with every unpaired surrogate replaced by U+FFFD (toUtf8() would make
// it a question mark).
QString repairedUtf16(const QString& text)
{
    QString out = text;
    for (qsizetype i = 0; i < out.size(); ++i) {
        if (out.at(i).isHighSurrogate() && i + 1 < out.size() && out.at(i + 1).isLowSurrogate()) {
            ++i;
        } else if (out.at(i).isSurrogate()) {
            out[i] = QChar::ReplacementCharacter;
        }
    }
    return out;
}

// A JSON string literal of text in UTF-8 (lone surrogates become U+FFFD).
void appendJsonString(QByteArray& out, const QString& text)
{
    static const char hex[] = "0123456789abcdef";
    const QByteArray utf8 = text.isValidUtf16() ? text.toUtf8() : repairedUtf16(text).toUtf8();
    out.append('"');
    const char* p = utf8.constData();
    const char* end = p + utf8.size();
    const char* run = p;
    for (; p != end; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        if (c >= 0x20 && c != '"' && c != '\\') {
            continue;
        }
        out.append(run, p - run);
        run = p + 1;
        switch (c) {
        case '"':
            out.append("\\\"");
            break;
        case '\\':
            out.append("\\\\");
            break;
        case '\n':
            out.append("\\n");
            break;
        case '\r':
            out.append("\\r");
            break;
        case '\t':
            out.append("\\t");
            break;
        case '\b':
            out.append("\\b");
            break;
        case '\f':
            out.append("\\f");
            break;
        default: {
            const char escape[] = {'\\', 'u', '0', '0', hex[c >> 4], hex[c & 0xf]};
            out.append(escape, sizeof(escape));
        }
        }
    }
    out.append(run, p - run);
    out.append('"');
}

// Finite numbers only; whole ones without exponent, like QJsonDocument.
void appendJsonNumber(QByteArray& out, double d)
{
    if (d == std::trunc(d) && std::fabs(d) < 9007199254740992.0) {
        out.append(QByteArray::number(qint64(d)));
    } else {
        out.append(QByteArray::number(d, 'g', QLocale::FloatingPointShortest));
    }
}

QString unquoteShellValue(QString value)
{
    if (value.size() >= 2 && value.startsWith(QLatin1Char('\'')) &&
        value.endsWith(QLatin1Char('\''))) {
        return value.mid(1, value.size() - 2);
    }
    if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) &&
        value.endsWith(QLatin1Char('"'))) {
        value = value.mid(1, value.size() - 2);
        QString out;
        out.reserve(value.size());
        for (qsizetype i = 0; i < value.size(); ++i) {
            if (value.at(i) == QLatin1Char('\\') && i + 1 < value.size()) {
                ++i;
            }
            out.append(value.at(i));
        }
        return out;
    }
    return value;
}

} // namespace

HistoryItem HistoryItem::create(const QString& text, const QDateTime& timestamp,
                                const QString& deviceName)
{
    HistoryItem item;
    item.id = QUuid::createUuid();
    item.text = text;
    item.timestamp = timestamp;
    item.characterCount = countCharacters(text);
    item.wordCount = countWords(text);
    item.deviceName = deviceName;
    return item;
}

qint64 HistoryItem::countCharacters(const QString& text)
{
    return Graphemes::count(text);
}

qint64 HistoryItem::countWords(const QString& text)
{
    qint64 words = 0;
    bool inWord = false;
    auto visit = [&](qsizetype start, qsizetype end) {
        const bool separator = end - start == 1 && text.at(start) == QLatin1Char(' ');
        if (!separator && !inWord) {
            ++words;
        }
        inWord = !separator;
    };
    if (!Graphemes::forEach(text, visit)) {
        words = 0;
        inWord = false;
        for (qsizetype i = 0; i < text.size(); ++i) {
            visit(i, i + 1);
        }
    }
    return words;
}

std::optional<QString> HistoryItem::prettyHostNameFrom(const QByteArray& machineInfo)
{
    const QList<QByteArray> lines = machineInfo.split('\n');
    for (const QByteArray& raw : lines) {
        const QByteArray line = raw.trimmed();
        if (!line.startsWith("PRETTY_HOSTNAME=")) {
            continue;
        }
        const QString value = unquoteShellValue(
            QString::fromUtf8(line.mid(qsizetype(sizeof("PRETTY_HOSTNAME=") - 1))).trimmed());
        if (!value.trimmed().isEmpty()) {
            return value;
        }
    }
    return std::nullopt;
}

QString HistoryItem::defaultDeviceName()
{
    QFile file(QStringLiteral("/etc/machine-info"));
    if (file.open(QIODevice::ReadOnly)) {
        if (const auto pretty = prettyHostNameFrom(file.read(64 * 1024))) {
            return *pretty;
        }
    }
    const QString host = QSysInfo::machineHostName();
    return host.isEmpty() ? QStringLiteral("Unknown") : host;
}

QString HistoryItem::idText() const
{
    return id.toString(QUuid::WithoutBraces).toUpper();
}

QString HistoryItem::recordName() const
{
    return cloudRecordID.value_or(idText());
}

double HistoryItem::toReferenceSeconds(const QDateTime& t)
{
    return double(t.toMSecsSinceEpoch() - referenceEpochMs) / 1000.0;
}

std::optional<QDateTime> HistoryItem::fromReferenceSeconds(double seconds)
{
    if (!std::isfinite(seconds) || std::fabs(seconds) > maxReferenceSeconds) {
        return std::nullopt;
    }
    const qint64 ms = qint64(std::llround(seconds * 1000.0)) + referenceEpochMs;
    QDateTime t = QDateTime::fromMSecsSinceEpoch(ms, QTimeZone::utc());
    if (!t.isValid()) {
        return std::nullopt;
    }
    return t;
}

QJsonObject HistoryItem::toJson() const
{
    QJsonObject o;
    o.insert(keyId, idText());
    o.insert(keyText, text);
    o.insert(keyTimestamp, toReferenceSeconds(timestamp));
    o.insert(keyCharacterCount, characterCount);
    o.insert(keyWordCount, wordCount);
    o.insert(keyDeviceName, deviceName);
    o.insert(keyIsSynced, isSynced);
    if (cloudRecordID) {
        o.insert(keyCloudRecordID, *cloudRecordID);
    }
    o.insert(keyIsEncrypted, isEncrypted);
    return o;
}

std::optional<HistoryItem> HistoryItem::fromJson(const QJsonObject& o)
{
    const QJsonValue id = o.value(keyId);
    const QJsonValue text = o.value(keyText);
    const QJsonValue timestamp = o.value(keyTimestamp);
    const QJsonValue deviceName = o.value(keyDeviceName);
    const QJsonValue isSynced = o.value(keyIsSynced);
    const QJsonValue cloudRecordID = o.value(keyCloudRecordID);
    const QJsonValue isEncrypted = o.value(keyIsEncrypted);
    if (!id.isString() || !text.isString() || !timestamp.isDouble() || !deviceName.isString() ||
        !isSynced.isBool() || !isEncrypted.isBool()) {
        return std::nullopt;
    }
    if (!(cloudRecordID.isUndefined() || cloudRecordID.isNull() || cloudRecordID.isString())) {
        return std::nullopt;
    }
    const QString idString = id.toString();
    if (!isCanonicalUuidText(idString)) {
        return std::nullopt;
    }
    const auto characterCount = integerValue(o.value(keyCharacterCount));
    const auto wordCount = integerValue(o.value(keyWordCount));
    const auto instant = fromReferenceSeconds(timestamp.toDouble());
    if (!characterCount || !wordCount || !instant) {
        return std::nullopt;
    }

    HistoryItem item;
    item.id = QUuid::fromString(idString);
    item.text = text.toString();
    item.timestamp = *instant;
    item.characterCount = *characterCount;
    item.wordCount = *wordCount;
    item.deviceName = deviceName.toString();
    item.isSynced = isSynced.toBool();
    if (cloudRecordID.isString()) {
        item.cloudRecordID = cloudRecordID.toString();
    }
    item.isEncrypted = isEncrypted.toBool();
    return item;
}

QJsonArray HistoryItem::encodeList(const QList<HistoryItem>& items)
{
    QJsonArray array;
    for (const HistoryItem& item : items) {
        array.append(item.toJson());
    }
    return array;
}

std::optional<QList<HistoryItem>> HistoryItem::decodeList(const QJsonArray& array)
{
    QList<HistoryItem> items;
    items.reserve(array.size());
    for (const QJsonValue& v : array) {
        if (!v.isObject()) {
            return std::nullopt;
        }
        auto item = fromJson(v.toObject());
        if (!item) {
            return std::nullopt;
        }
        items.append(std::move(*item));
    }
    return items;
}

std::optional<QByteArray> HistoryItem::encodeListJson(const QList<HistoryItem>& items)
{
    // Written directly rather than through QJsonObject: the whole list is
    // encoded on every save, and building the object tree costs several times
    // the encryption. The output is what QJsonDocument writes for encodeList(),
    // keys in declaration order.
    QByteArray out;
    qsizetype estimate = 2;
    for (const HistoryItem& item : items) {
        estimate += 220 + item.text.size() * 2 + item.deviceName.size();
    }
    out.reserve(estimate);
    out.append('[');
    for (const HistoryItem& item : items) {
        if (!item.timestamp.isValid()) {
            return std::nullopt;
        }
        if (out.size() > 1) {
            out.append(',');
        }
        out.append("{\"id\":\"");
        out.append(item.idText().toLatin1());
        out.append("\",\"text\":");
        appendJsonString(out, item.text);
        out.append(",\"timestamp\":");
        appendJsonNumber(out, toReferenceSeconds(item.timestamp));
        out.append(",\"characterCount\":");
        out.append(QByteArray::number(item.characterCount));
        out.append(",\"wordCount\":");
        out.append(QByteArray::number(item.wordCount));
        out.append(",\"deviceName\":");
        appendJsonString(out, item.deviceName);
        out.append(item.isSynced ? ",\"isSynced\":true" : ",\"isSynced\":false");
        if (item.cloudRecordID) {
            out.append(",\"cloudRecordID\":");
            appendJsonString(out, *item.cloudRecordID);
        }
        out.append(item.isEncrypted ? ",\"isEncrypted\":true}" : ",\"isEncrypted\":false}");
    }
    out.append(']');
    return out;
}

std::optional<QList<HistoryItem>> HistoryItem::decodeListJson(const QByteArray& data)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !doc.isArray()) {
        return std::nullopt;
    }
    return decodeList(doc.array());
}
