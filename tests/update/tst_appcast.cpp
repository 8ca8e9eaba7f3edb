#include "update/Appcast.h"
#include "update/Version.h"

#include "CaseTable.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QByteArray feed(const QByteArray& items)
{
    return R"(<?xml version="1.0" encoding="utf-8"?>
<rss version="2.0" xmlns:sparkle="http://www.andymatuschak.org/xml-namespaces/sparkle">
  <channel><title>quillsnap</title><link>https://quillsnap.example/appcast.xml</link>
    <description>Most recent changes with links to updates.</description><language>en</language>
)" + items +
           "  </channel>\n</rss>\n";
}

QByteArray item(const QByteArray& version, const QByteArray& extra = {})
{
    return "<item><title>Version " + version +
           "</title><pubDate>Mon, 06 Apr 2026 10:00:00 +0000"
           "</pubDate><sparkle:version>" +
           version + "</sparkle:version>" + extra +
           "<enclosure url=\"https://quillsnap.example/quillsnap_" + version +
           "_amd64.deb\" "
           "length=\"1024\" type=\"application/vnd.debian.binary-package\" "
           "sparkle:edSignature=\"c2ln\"/></item>\n";
}

QByteArray minimumSystem(const char* version)
{
    return "<sparkle:minimumSystemVersion>" + QByteArray(version) +
           "</sparkle:minimumSystemVersion>";
}

} // namespace

class TestAppcast : public QObject
{
    Q_OBJECT
private slots:
    // Newer, equal or older (1, 0, -1), and the other way round.
    void versionOrder_data()
    {
        // a, b, order
        rows({u"1.10→1.9→1", u"2.0→2.0-rc1→1", u"2.0-rc2→2.0-rc1→1", u"2.0-beta3→2.0-rc1→-1",
              u"1.0b1→1.0→-1", u"2.0.1→2.0rc1→1", u"1.0→1.0.0→0", u"1.0.0-rc1→1.0→-1",
              u"1.2.0.1→1.2→1", u"1.010→1.10→0", u"1.0-RC1→1.0-rc1→0",
              u"99999999999999999999.1→9999999999.1→1"});
    }
    void versionOrder()
    {
        const QStringList f = fields();
        const QString &a = f[0], &b = f[1], &order = f[2];
        QCOMPARE(Version::compare(a, b), order.toInt());
        QCOMPARE(Version::compare(b, a), -order.toInt());
    }

    void parse_data()
    {
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<QString>("error"); // part of the message; empty: parses
        QTest::addColumn<int>("items");
        QTest::addColumn<int>("skipped");
        QTest::addColumn<QString>("newest"); // for system 12; empty: none applies

        const QByteArray onEnclosure =
            "<item><enclosure url=\"https://quillsnap.example/q.deb\" sparkle:version=\"3.1\" "
            "sparkle:shortVersionString=\"3.1 (final)\" sparkle:edSignature=\"c2ln\"/></item>";
        // clang-format off
        QTest::newRow("several items, newest not first") << feed(item("1.9") + item("1.10") + item("1.2")) << QString() << 3 << 0 << u"1.10"_s;
        QTest::newRow("release after its candidate") << feed(item("2.0-rc1") + item("2.0")) << QString() << 2 << 0 << u"2.0"_s;
        QTest::newRow("versions on the enclosure") << feed(onEnclosure) << QString() << 1 << 0 << u"3.1"_s;
        QTest::newRow("versions not parseable") << feed(item("latest") + item("1.4") + item("") + item("v2.0") + item("2.0 beta")) << QString() << 1 << 4 << u"1.4"_s;
        QTest::newRow("minimum system version above ours") << feed(item("2.0", minimumSystem("13")) + item("1.5", minimumSystem("11"))) << QString() << 2 << 0 << u"1.5"_s;
        QTest::newRow("minimum system version met") << feed(item("2.0", minimumSystem("12.0"))) << QString() << 1 << 0 << u"2.0"_s;
        QTest::newRow("nothing for this system") << feed(item("2.0", minimumSystem("13"))) << QString() << 1 << 0 << QString();
        QTest::newRow("empty channel") << feed({}) << QString() << 0 << 0 << QString();
        QTest::newRow("broken XML") << feed(item("1.0").replace("</title>", "")) << u"not well-formed"_s << 0 << 0 << QString();
        QTest::newRow("damage after the document") << feed(item("1.0")) + "<rss>" << u"not well-formed"_s << 0 << 0 << QString();
        QTest::newRow("empty document") << QByteArray() << u"not well-formed"_s << 0 << 0 << QString();
        QTest::newRow("a web page") << QByteArray("<html><body>Moved</body></html>") << u"not an RSS"_s << 0 << 0 << QString();
        QTest::newRow("RSS without channel") << QByteArray("<rss version=\"2.0\"></rss>") << u"no channel"_s << 0 << 0 << QString();
        // clang-format on
    }
    void parse()
    {
        QFETCH(QByteArray, xml);
        QFETCH(QString, error);
        QFETCH(int, items);
        QFETCH(int, skipped);
        QFETCH(QString, newest);
        const auto appcast = Appcast::parse(xml);
        QCOMPARE(appcast.hasValue(), error.isEmpty());
        if (!appcast) {
            QVERIFY2(appcast.error().message.contains(error), qPrintable(appcast.error().message));
            return;
        }
        QCOMPARE(appcast->items.size(), items);
        QCOMPARE(appcast->skippedItems, skipped);
        const AppcastItem* found = appcast->newest(u"12"_s);
        QCOMPARE(found ? found->version : QString(), newest);
        // A system without a version number (Debian testing) misses nothing.
        QCOMPARE(appcast->newest(u"unknown"_s) != nullptr, items > 0);
    }

    void itemFields()
    {
        const auto appcast = Appcast::parse(feed(
            item("1.10", "<sparkle:shortVersionString>1.10 \"Heron\"</sparkle:shortVersionString>"
                         "<sparkle:releaseNotesLink>https://quillsnap.example/notes.html"
                         "</sparkle:releaseNotesLink><link>https://quillsnap.example/1.10</link>"
                         "<description><![CDATA[<ul><li>Faster</li></ul>]]></description>")));
        QVERIFY(appcast);
        const AppcastItem& it = appcast->items.first();
        QCOMPARE(
            QStringList({it.displayVersion(), it.releaseNotesLink.toString(),
                         it.infoLink.toString(), it.description, it.enclosureUrl.toString(),
                         QString::number(it.enclosureLength), it.enclosureType,
                         QString::fromLatin1(it.edSignature)})
                .join(u'|'),
            u"1.10 \"Heron\"|https://quillsnap.example/notes.html|https://quillsnap.example/1.10|"
            u"<ul><li>Faster</li></ul>|https://quillsnap.example/quillsnap_1.10_amd64.deb|1024|"
            u"application/vnd.debian.binary-package|c2ln"_s);
    }
};

QTEST_GUILESS_MAIN(TestAppcast)
#include "tst_appcast.moc"
