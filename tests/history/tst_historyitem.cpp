#include "history/HistoryItem.h"

#include <QJsonDocument>
#include <QTest>
#include <QTimeZone>

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

private slots:
    void counts_data()
    {
        // Characters are grapheme clusters (the cases are in tst_graphemes);
        // words are what lies between U+0020 spaces.
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("characters");
        QTest::addColumn<qint64>("words");
        QTest::newRow("runs of spaces") << QStringLiteral(" one  two ") << qint64(10) << qint64(2);
        QTest::newRow("only spaces") << QStringLiteral("   ") << qint64(3) << qint64(0);
        QTest::newRow("line break and tab")
            << QStringLiteral("a\nb\tc d") << qint64(7) << qint64(2);
        QTest::newRow("no-break space") << QStringLiteral("a\u00A0b") << qint64(3) << qint64(1);
        QTest::newRow("space with combining mark")
            << QStringLiteral("a \u0301b") << qint64(3) << qint64(1);
    }

    void counts()
    {
        QFETCH(QString, text);
        QFETCH(qint64, characters);
        QFETCH(qint64, words);
        const HistoryItem item = HistoryItem::create(text);
        QCOMPARE(item.characterCount, characters);
        QCOMPARE(item.wordCount, words);
    }

    void timestampEpoch_data()
    {
        QTest::addColumn<QString>("iso");
        QTest::addColumn<double>("seconds");
        QTest::newRow("epoch") << QStringLiteral("2001-01-01T00:00:00.000Z") << 0.0;
        QTest::newRow("unix epoch") << QStringLiteral("1970-01-01T00:00:00.000Z") << -978307200.0;
        QTest::newRow("other zone") << QStringLiteral("2001-01-01T01:00:00.250+01:00") << 0.25;
        QTest::newRow("millis") << QStringLiteral("2026-12-06T15:30:00.123Z") << 818263800.123;
    }

    void timestampEpoch()
    {
        QFETCH(QString, iso);
        QFETCH(double, seconds);
        const QDateTime t = QDateTime::fromString(iso, Qt::ISODateWithMs);
        QVERIFY(t.isValid());
        HistoryItem item = HistoryItem::create(QStringLiteral("x"), t, QStringLiteral("d"));
        QCOMPARE(item.toJson().value(QLatin1String("timestamp")).toDouble(), seconds);
        const auto back = HistoryItem::fromJson(item.toJson());
        QVERIFY(back);
        QCOMPARE(back->timestamp.toMSecsSinceEpoch(), t.toMSecsSinceEpoch());
    }

    void roundTripKeepsEveryField()
    {
        HistoryItem item =
            HistoryItem::create(QStringLiteral("Grüße \U0001F44D\nzweite Zeile"),
                                QDateTime::currentDateTime(), QStringLiteral("Büro"));
        item.isSynced = true;
        item.cloudRecordID = QStringLiteral("CR-9");
        item.isEncrypted = true;
        item.characterCount = 999; // stored counts are kept, never recomputed
        const auto json = HistoryItem::encodeListJson({item});
        // Compact, one line, the id upper-case without braces.
        QVERIFY(json && json->startsWith("[{") && !json->contains('\n'));
        QVERIFY(json->contains(item.id.toString(QUuid::WithoutBraces).toUpper().toUtf8()));
        const auto list = HistoryItem::decodeListJson(*json);
        QVERIFY(list && list->size() == 1);
        const HistoryItem& back = list->first();
        QCOMPARE(back.id, item.id);
        QCOMPARE(back.timestamp, item.timestamp);
        QCOMPARE(back.characterCount, qint64(999));
        QCOMPARE(back.cloudRecordID, item.cloudRecordID);
        QCOMPARE(back.toJson(), item.toJson()); // and every other field

        // Lower-case ids, a null cloudRecordID and unknown keys are accepted.
        QJsonObject o = validObject();
        o.insert(QLatin1String("id"), QStringLiteral("0f1e2d3c-4b5a-4968-8776-a5b4c3d2e1f0"));
        o.insert(QLatin1String("cloudRecordID"), QJsonValue::Null);
        o.insert(QLatin1String("futureField"), QJsonArray{1, 2});
        const auto lenient = HistoryItem::fromJson(o);
        QVERIFY(lenient && !lenient->cloudRecordID);
        QCOMPARE(lenient->toJson().value(QLatin1String("id")).toString(),
                 QStringLiteral("0F1E2D3C-4B5A-4968-8776-A5B4C3D2E1F0"));
        QVERIFY(!lenient->toJson().contains(QLatin1String("futureField")));
    }

    void invalidRecordsFail_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QJsonValue>("value"); // undefined: remove the key

        const QJsonValue remove(QJsonValue::Undefined);
        for (const char* key : {"id", "text", "timestamp", "characterCount", "wordCount",
                                "deviceName", "isSynced", "isEncrypted"}) {
            QTest::addRow("missing %s", key) << QString::fromLatin1(key) << remove;
        }
        QTest::newRow("id number") << QStringLiteral("id") << QJsonValue(5);
        QTest::newRow("id not uuid") << QStringLiteral("id") << QJsonValue(QStringLiteral("abc"));
        QTest::newRow("text null") << QStringLiteral("text") << QJsonValue(QJsonValue::Null);
        QTest::newRow("timestamp string")
            << QStringLiteral("timestamp") << QJsonValue(QStringLiteral("2026-01-01"));
        QTest::newRow("timestamp huge") << QStringLiteral("timestamp") << QJsonValue(1e300);
        QTest::newRow("count string")
            << QStringLiteral("characterCount") << QJsonValue(QStringLiteral("3"));
        QTest::newRow("count fraction") << QStringLiteral("wordCount") << QJsonValue(2.5);
        QTest::newRow("isSynced number") << QStringLiteral("isSynced") << QJsonValue(1);
        QTest::newRow("cloudRecordID number") << QStringLiteral("cloudRecordID") << QJsonValue(42);
    }

    void invalidRecordsFail()
    {
        QFETCH(QString, key);
        QFETCH(QJsonValue, value);
        QJsonObject o = validObject();
        if (value.isUndefined()) {
            o.remove(key);
        } else {
            o.insert(key, value);
        }
        QVERIFY(!HistoryItem::fromJson(o));
    }

    void listFailsAsAWhole()
    {
        QJsonObject bad = validObject();
        bad.remove(QLatin1String("isSynced"));
        QVERIFY(HistoryItem::decodeList({validObject(), validObject()}));
        QVERIFY(!HistoryItem::decodeList({validObject(), bad}));
        QVERIFY(!HistoryItem::decodeList({validObject(), 3}));
        QVERIFY(!HistoryItem::decodeListJson("{}"));
        QVERIFY(!HistoryItem::decodeListJson("[{\"id\":"));
        QVERIFY(!HistoryItem::decodeListJson(QByteArray()));
        const auto empty = HistoryItem::decodeListJson("[]");
        QVERIFY(empty && empty->isEmpty());
    }

    void directEncoderMatchesJsonDocument()
    {
        // The stored list is written without QJsonObject for speed; it must read
        // back exactly as the object form does.
        QList<HistoryItem> items;
        const QDateTime base = QDateTime::fromMSecsSinceEpoch(1765046400123);
        for (const QString& text : {QString(), QStringLiteral("quote \" backslash \\ slash /"),
                                    QStringLiteral("ctl \x01\x1f\x7f\b\f\n\r\t end"),
                                    QStringLiteral("\U0001F44D\U0001F3FD Grüße"),
                                    QStringLiteral("tab\tonly"), QStringLiteral("\u2028\u2029")}) {
            items.append(HistoryItem::create(text, base.addMSecs(items.size() * 777),
                                             QStringLiteral("dev \"1\"")));
        }
        items[1].cloudRecordID = QStringLiteral("rec \\ \"x\"");
        items[1].isSynced = true;
        items[2].isEncrypted = true;
        items[3].characterCount = -5;
        items[4].wordCount = qint64(1) << 60;
        items[5].timestamp = QDateTime::fromMSecsSinceEpoch(978307200000); // reference epoch: 0
        items.append(HistoryItem::create(QStringLiteral("old"),
                                         QDateTime::fromMSecsSinceEpoch(-1234567890123)));

        const auto ours = HistoryItem::encodeListJson(items);
        QVERIFY(ours);
        QJsonParseError error;
        const QJsonDocument parsed = QJsonDocument::fromJson(*ours, &error);
        QCOMPARE(error.error, QJsonParseError::NoError);
        const QJsonDocument reference =
            QJsonDocument::fromJson(QJsonDocument(HistoryItem::encodeList(items)).toJson());
        QCOMPARE(parsed, reference);
        QVERIFY(HistoryItem::decodeListJson(*ours));

        // A lone surrogate (never valid Unicode) is stored as U+FFFD, which every
        // JSON reader accepts, where QJsonDocument writes an unpaired escape.
        const auto lone = HistoryItem::encodeListJson(
            {HistoryItem::create(QString(QChar(0xD800)) + QLatin1Char('x'))});
        const auto back = HistoryItem::decodeListJson(*lone);
        QVERIFY(back);
        QCOMPARE(back->first().text, QStringLiteral("\uFFFDx"));
    }

    void prettyHostName_data()
    {
        QTest::addColumn<QByteArray>("machineInfo");
        QTest::addColumn<QString>("expected"); // empty: none
        QTest::newRow("double quoted")
            << QByteArray("CHASSIS=laptop\nPRETTY_HOSTNAME=\"Anna's \\\"Mac\\\"\"\n")
            << QStringLiteral("Anna's \"Mac\"");
        QTest::newRow("single quoted")
            << QByteArray("PRETTY_HOSTNAME='Büro PC'") << QStringLiteral("Büro PC");
        QTest::newRow("absent") << QByteArray("ICON_NAME=computer\n") << QString();
    }

    void prettyHostName()
    {
        QFETCH(QByteArray, machineInfo);
        QFETCH(QString, expected);
        QCOMPARE(HistoryItem::prettyHostNameFrom(machineInfo).value_or(QString()), expected);
        QVERIFY(!HistoryItem::defaultDeviceName().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestHistoryItem)
#include "tst_historyitem.moc"
