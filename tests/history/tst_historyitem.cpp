#include "history/HistoryItem.h"

#include "CaseTable.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QJsonObject validObject()
{
    return QJsonDocument::fromJson(R"({"id":"0F1E2D3C-4B5A-4968-8776-A5B4C3D2E1F0",
        "text":"hello world","timestamp":786739200.25,"characterCount":11,"wordCount":2,
        "deviceName":"Desk","isSynced":false,"isEncrypted":false})")
        .object();
}

} // namespace

class TestHistoryItem : public QObject
{
    Q_OBJECT

private slots:
    void counts_data()
    {
        // Characters are grapheme clusters (the cases are in tst_graphemes);
        // words are what lies between U+0020 spaces.
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("characters");
        QTest::addColumn<QString>("words");
        addRows(
            {u" one  two →10→2", u"   →3→0", u"a\nb\tc d→7→2", u"a\u00A0b→3→1", u"a \u0301b→3→1"});
    }
    void counts()
    {
        QFETCH(QString, text);
        const HistoryItem item = HistoryItem::create(text);
        QTEST(QString::number(item.characterCount), "characters");
        QTEST(QString::number(item.wordCount), "words");
    }

    void timestampEpoch_data()
    {
        // iso, seconds
        rows({u"2001-01-01T00:00:00.000Z→0", u"1970-01-01T00:00:00.000Z→-978307200",
              u"2001-01-01T01:00:00.250+01:00→0.25", u"2026-12-06T15:30:00.123Z→818263800.123"});
    }
    void timestampEpoch()
    {
        const QStringList f = fields();
        const QString &iso = f[0], &seconds = f[1];
        const QDateTime t = QDateTime::fromString(iso, Qt::ISODateWithMs);
        QVERIFY(t.isValid());
        HistoryItem item = HistoryItem::create(u"x"_s, t, u"d"_s);
        QCOMPARE(item.toJson().value("timestamp"_L1).toDouble(), seconds.toDouble());
        const auto back = HistoryItem::fromJson(item.toJson());
        QVERIFY(back && back->timestamp.toMSecsSinceEpoch() == t.toMSecsSinceEpoch());
    }

    void roundTripKeepsEveryField()
    {
        HistoryItem item = HistoryItem::create(u"Grüße \U0001F44D\nzweite Zeile"_s,
                                               QDateTime::currentDateTime(), u"Büro"_s);
        item.isSynced = item.isEncrypted = true;
        item.cloudRecordID = u"CR-9"_s;
        item.characterCount = 999; // stored counts are kept, never recomputed
        const auto json = HistoryItem::encodeListJson({item});
        // Compact, one line, the id upper-case without braces.
        QVERIFY(json && json->startsWith("[{") && !json->contains('\n'));
        QVERIFY(json->contains(item.id.toString(QUuid::WithoutBraces).toUpper().toUtf8()));
        const auto list = HistoryItem::decodeListJson(*json);
        QVERIFY(list && list->size() == 1);
        QCOMPARE(list->first().id, item.id);
        QCOMPARE(list->first().timestamp, item.timestamp);
        QCOMPARE(list->first().toJson(), item.toJson()); // and every other field

        // Lower-case ids, a null cloudRecordID and unknown keys are accepted.
        QJsonObject o = validObject();
        o.insert("id"_L1, u"0f1e2d3c-4b5a-4968-8776-a5b4c3d2e1f0"_s);
        o.insert("cloudRecordID"_L1, QJsonValue::Null);
        o.insert("futureField"_L1, QJsonArray{1, 2});
        const auto lenient = HistoryItem::fromJson(o);
        QVERIFY(lenient && !lenient->cloudRecordID);
        QCOMPARE(lenient->toJson().value("id"_L1).toString(),
                 u"0F1E2D3C-4B5A-4968-8776-A5B4C3D2E1F0"_s);
        QVERIFY(!lenient->toJson().contains("futureField"_L1));
    }

    void invalidRecordsFail_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("json"); // the value, as JSON; empty: the key is removed
        for (const char* key : {"id", "text", "timestamp", "characterCount", "wordCount",
                                "deviceName", "isSynced", "isEncrypted"}) {
            QTest::addRow("missing %s", key) << QString::fromLatin1(key) << QString();
        }
        addRows({u"id→5", u"id→\"abc\"", u"text→null", u"timestamp→\"2026-01-01\"",
                 u"timestamp→1e300", u"characterCount→\"3\"", u"wordCount→2.5", u"isSynced→1",
                 u"cloudRecordID→42"});
    }
    void invalidRecordsFail()
    {
        QFETCH(QString, key);
        QFETCH(QString, json);
        QJsonObject o = validObject();
        if (json.isEmpty()) {
            o.remove(key);
        } else {
            o.insert(key, QJsonDocument::fromJson("[" + json.toUtf8() + "]")[0]);
        }
        QVERIFY(o != validObject());
        QVERIFY(!HistoryItem::fromJson(o));
    }

    void listFailsAsAWhole()
    {
        QJsonObject bad = validObject();
        bad.remove("isSynced"_L1);
        QVERIFY(HistoryItem::decodeList({validObject(), validObject()}));
        QVERIFY(!HistoryItem::decodeList({validObject(), bad}));
        QVERIFY(!HistoryItem::decodeList({validObject(), 3}));
        for (const char* json : {"{}", "[{\"id\":", ""}) {
            QVERIFY(!HistoryItem::decodeListJson(json));
        }
        const auto empty = HistoryItem::decodeListJson("[]");
        QVERIFY(empty && empty->isEmpty());
    }

    void directEncoderMatchesJsonDocument()
    {
        // The stored list is written without QJsonObject for speed; it must read
        // back exactly as the object form does.
        QList<HistoryItem> items;
        const QDateTime base = QDateTime::fromMSecsSinceEpoch(1765046400123);
        for (const QString& text :
             {QString(), u"quote \" backslash \\ slash /"_s, u"ctl \x01\x1f\x7f\b\f\n\r\t end"_s,
              u"\U0001F44D\U0001F3FD Grüße"_s, u"tab\tonly"_s, u"\u2028\u2029"_s}) {
            items.append(
                HistoryItem::create(text, base.addMSecs(items.size() * 777), u"dev \"1\""_s));
        }
        items[1].cloudRecordID = u"rec \\ \"x\""_s;
        items[1].isSynced = true;
        items[2].isEncrypted = true;
        items[3].characterCount = -5;
        items[4].wordCount = qint64(1) << 60;
        items[5].timestamp = QDateTime::fromMSecsSinceEpoch(978307200000); // reference epoch: 0
        items.append(HistoryItem::create(u"old"_s, QDateTime::fromMSecsSinceEpoch(-1234567890123)));

        const auto ours = HistoryItem::encodeListJson(items);
        QJsonParseError error;
        const QJsonDocument parsed = QJsonDocument::fromJson(ours.value_or(""), &error);
        QCOMPARE(error.error, QJsonParseError::NoError);
        QCOMPARE(parsed,
                 QJsonDocument::fromJson(QJsonDocument(HistoryItem::encodeList(items)).toJson()));
        QVERIFY(HistoryItem::decodeListJson(*ours));

        // A lone surrogate (never valid Unicode) is stored as U+FFFD, which every
        // JSON reader accepts, where QJsonDocument writes an unpaired escape.
        const auto lone =
            HistoryItem::encodeListJson({HistoryItem::create(QChar(0xD800) + u"x"_s)});
        const auto back = HistoryItem::decodeListJson(*lone);
        QVERIFY(back && back->first().text == u"\uFFFDx"_s);
    }

    void prettyHostName_data()
    {
        QTest::addColumn<QString>("machineInfo");
        QTest::addColumn<QString>("expected"); // empty: none
        addRows({u"CHASSIS=laptop\nPRETTY_HOSTNAME=\"Anna's \\\"Mac\\\"\"\n→Anna's \"Mac\"",
                 u"PRETTY_HOSTNAME='Büro PC'→Büro PC", u"ICON_NAME=computer\n→"});
    }
    void prettyHostName()
    {
        QFETCH(QString, machineInfo);
        QTEST(HistoryItem::prettyHostNameFrom(machineInfo.toUtf8()).value_or(QString()),
              "expected");
        QVERIFY(!HistoryItem::defaultDeviceName().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestHistoryItem)
#include "tst_historyitem.moc"
