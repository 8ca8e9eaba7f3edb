#include "history/AsyncSecretStore.h"
#include "history/KeychainService.h"

#include "MemorySecretStore.h"

#include <QTest>

using namespace std::chrono_literals;
using namespace Qt::StringLiterals;
using KeyStatus = KeychainService::KeyStatus;

namespace {
const QString openai = KeychainService::openAIKeyAccount;
const QString gemini = KeychainService::geminiKeyAccount;
const QString ocrspace = KeychainService::ocrSpaceKeyAccount;
} // namespace

class TestKeychainService : public QObject
{
    Q_OBJECT

private slots:
    // Each key exactly as typed, in its own account, replaced by the next;
    // an empty key is a key, not an absent one. (The stores keep bytes as
    // given: tst_secretservicestore, tst_filesecretstore.)
    void keysAreStoredExactly_data()
    {
        QTest::addColumn<QString>("key");
        QTest::newRow("spaces kept") << u"  sk-abc \r\n"_s;
        QTest::newRow("non-ASCII") << u"ключ-🔑-é"_s;
        QTest::newRow("leading BOM") << QString(QChar(0xFEFF)) + u"sk"_s;
        QTest::newRow("empty") << u""_s;
    }
    void keysAreStoredExactly()
    {
        QFETCH(QString, key);
        MemorySecretStore s;
        QVERIFY(KeychainService::saveKeyNow(s, u"ocr"_s, ocrspace));
        QVERIFY(KeychainService::saveKeyNow(s, u"old"_s, gemini));
        QVERIFY(KeychainService::saveKeyNow(s, key, gemini));
        const auto lookup = KeychainService::readKeyNow(s, gemini);
        QVERIFY(lookup.status == KeyStatus::Found && !lookup.key.isNull());
        QCOMPARE(lookup.key, key);
        QCOMPARE(s.read(QString(KeychainService::service), gemini).secret, key.toUtf8());
        QVERIFY(KeychainService::deleteKeyNow(s, gemini));
        QVERIFY(KeychainService::deleteKeyNow(s, gemini)); // nothing left is success too
        QCOMPARE(KeychainService::readKeyNow(s, gemini).status, KeyStatus::Missing);
        QCOMPARE(KeychainService::readKeyNow(s, ocrspace).key, u"ocr"_s);
    }

    void refusedAndUnreadableKeys()
    {
        MemorySecretStore s;
        QVERIFY(KeychainService::saveKeyNow(s, u"good"_s, openai));
        // A lone surrogate cannot be stored as UTF-8: refused, the old key stays.
        QVERIFY(!KeychainService::saveKeyNow(s, u"sk-"_s + QChar(0xD800), openai));
        QCOMPARE(KeychainService::readKeyNow(s, openai).key, u"good"_s);
        // A locked store is not a missing key, and a failed save keeps the old one.
        s.unavailable = true;
        QCOMPARE(KeychainService::readKeyNow(s, openai).status, KeyStatus::Unavailable);
        QVERIFY(!KeychainService::saveKeyNow(s, u"new"_s, openai));
        QVERIFY(!KeychainService::deleteKeyNow(s, openai));
        s.unavailable = false;
        QCOMPARE(KeychainService::readKeyNow(s, openai).key, u"good"_s);
        // Bytes that are not UTF-8 read as undecodable, never as altered text.
        s.set(QString(KeychainService::service), gemini, QByteArray("sk-\xff\xfe", 5));
        QCOMPARE(KeychainService::readKeyNow(s, gemini).status, KeyStatus::Undecodable);
    }

    void answersArriveOnTheMainThreadOrNotAtAll()
    {
        auto memory = std::make_shared<MemorySecretStore>();
        AsyncSecretStore secrets(memory, 300ms);
        KeychainService keychain(secrets);
        QCOMPARE(keychain.storeName(), u"memory"_s);
        QThread* main = QThread::currentThread();
        std::optional<bool> saved;
        keychain.saveKey(u"k"_s, openai, &keychain, [&](bool ok) {
            QCOMPARE(QThread::currentThread(), main);
            saved = ok;
        });
        QTRY_COMPARE(saved, std::optional(true));
        // Calls run in the order they were made, whichever thread starts first.
        int answered = 0;
        for (int i = 0; i < 20; ++i) {
            keychain.saveKey(QString::number(i), gemini, &keychain, [&](bool) { ++answered; });
        }
        QTRY_COMPARE(answered, 20);
        QCOMPARE(KeychainService::readKeyNow(*memory, gemini).key, u"19"_s);

        // A keyring that never answers counts as unavailable, in time.
        memory->hang();
        std::optional<KeyStatus> status;
        keychain.readKey(openai, &keychain, [&](const auto& lookup) { status = lookup.status; });
        QTRY_COMPARE(status, std::optional(KeyStatus::Unavailable));

        // A caller that is gone is not called.
        auto context = std::make_unique<QObject>();
        bool called = false;
        keychain.readKey(openai, context.get(), [&](const auto&) { called = true; });
        context.reset();
        memory->release();
        QTest::qWait(400);
        QVERIFY(!called);
    }
};

QTEST_GUILESS_MAIN(TestKeychainService)
#include "tst_keychainservice.moc"
