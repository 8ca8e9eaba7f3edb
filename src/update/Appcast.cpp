#include "update/Appcast.h"

#include "update/Version.h"

#include <QCoreApplication>
#include <QXmlStreamReader>

namespace {

const QString sparkleNamespace =
    QStringLiteral("http://www.andymatuschak.org/xml-namespaces/sparkle");

QString tr(const char* text)
{
    return QCoreApplication::translate("Appcast", text);
}

bool isSparkle(const QXmlStreamReader& xml)
{
    return xml.namespaceUri() == sparkleNamespace;
}

QUrl webUrl(const QString& text)
{
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    return url.isValid() && !url.isRelative() ? url : QUrl();
}

void readEnclosure(const QXmlStreamReader& xml, AppcastItem& item)
{
    const QXmlStreamAttributes attributes = xml.attributes();
    item.enclosureUrl = webUrl(attributes.value(QLatin1String("url")).toString());
    item.enclosureType = attributes.value(QLatin1String("type")).toString();
    bool ok = false;
    const qint64 length = attributes.value(QLatin1String("length")).toLongLong(&ok);
    item.enclosureLength = ok && length > 0 ? length : -1;
    item.edSignature =
        attributes.value(sparkleNamespace, QLatin1String("edSignature")).toLatin1().trimmed();
    // Older feeds carry the versions on the enclosure instead of the item.
    if (item.version.isEmpty()) {
        item.version =
            attributes.value(sparkleNamespace, QLatin1String("version")).toString().trimmed();
    }
    if (item.shortVersionString.isEmpty()) {
        item.shortVersionString =
            attributes.value(sparkleNamespace, QLatin1String("shortVersionString"))
                .toString()
                .trimmed();
    }
}

void readItem(QXmlStreamReader& xml, AppcastItem& item)
{
    while (xml.readNextStartElement()) {
        // A copy: reading the element text moves the reader on.
        const QString name = xml.name().toString();
        if (xml.namespaceUri().isEmpty()) {
            if (name == u"enclosure") {
                readEnclosure(xml, item);
                xml.skipCurrentElement();
            } else if (name == u"title") {
                item.title = xml.readElementText().trimmed();
            } else if (name == u"description") {
                item.description = xml.readElementText().trimmed();
            } else if (name == u"link") {
                item.infoLink = webUrl(xml.readElementText());
            } else {
                xml.skipCurrentElement();
            }
        } else if (isSparkle(xml)) {
            const QString text = xml.readElementText(QXmlStreamReader::SkipChildElements).trimmed();
            if (name == u"version") {
                item.version = text;
            } else if (name == u"shortVersionString") {
                item.shortVersionString = text;
            } else if (name == u"releaseNotesLink") {
                item.releaseNotesLink = webUrl(text);
            } else if (name == u"minimumSystemVersion") {
                item.minimumSystemVersion = text;
            }
        } else {
            xml.skipCurrentElement();
        }
    }
}

} // namespace

Expected<Appcast, Appcast::Error> Appcast::parse(const QByteArray& data)
{
    QXmlStreamReader xml(data);
    Appcast appcast;
    bool sawChannel = false;
    if (!xml.readNextStartElement() || xml.name() != u"rss") {
        if (xml.hasError()) {
            return unexpected(Error{tr("the feed is not well-formed XML (line %1: %2)")
                                        .arg(xml.lineNumber())
                                        .arg(xml.errorString())});
        }
        return unexpected(Error{tr("the feed is not an RSS document")});
    }
    while (xml.readNextStartElement()) {
        if (xml.name() != u"channel") {
            xml.skipCurrentElement();
            continue;
        }
        sawChannel = true;
        while (xml.readNextStartElement()) {
            if (xml.name() != u"item") {
                xml.skipCurrentElement();
                continue;
            }
            AppcastItem item;
            readItem(xml, item);
            if (Version::isValid(item.version)) {
                appcast.items.append(std::move(item));
            } else {
                ++appcast.skippedItems;
            }
        }
    }
    // Reading on to the end also catches damage after the last item.
    while (!xml.atEnd()) {
        xml.readNext();
    }
    if (xml.hasError()) {
        return unexpected(Error{tr("the feed is not well-formed XML (line %1: %2)")
                                    .arg(xml.lineNumber())
                                    .arg(xml.errorString())});
    }
    if (!sawChannel) {
        return unexpected(Error{tr("the feed has no channel")});
    }
    return appcast;
}

const AppcastItem* Appcast::newest(const QString& systemVersion) const
{
    const AppcastItem* best = nullptr;
    // A system that names no version (a rolling release) is not held back.
    const bool knownSystem = Version::isValid(systemVersion);
    for (const AppcastItem& item : items) {
        if (knownSystem && !item.minimumSystemVersion.isEmpty() &&
            Version::compare(item.minimumSystemVersion, systemVersion) > 0) {
            continue;
        }
        if (!best || Version::compare(item.version, best->version) > 0) {
            best = &item;
        }
    }
    return best;
}
