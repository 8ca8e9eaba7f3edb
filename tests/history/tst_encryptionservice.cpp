#include "history/EncryptionService.h"

#include "history/AsyncSecretStore.h"

#include "CaseTable.h"
#include "MemorySecretStore.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString service = u"com.quillsnap.encryption"_s;
const QString account = u"master-key"_s;

QByteArray randomBytes(qsizetype n)
{
    QByteArray bytes(n, Qt::Uninitialized);
    QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(bytes.data()), n / 4);
    return bytes;
}

// Runs python3 with the cryptography package; nullopt when unavailable.
std::optional<QByteArray> runPython(const QString& script, const QStringList& args = {})
{
    QProcess p;
    p.start(u"python3"_s, QStringList{u"-c"_s, script} + args);
    if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        return std::nullopt;
    }
    return p.readAllStandardOutput().trimmed();
}

// Asks service for its key and waits for the answer.
EncryptionService::KeyResult requestKey(EncryptionService& service)
{
    std::optional<EncryptionService::KeyResult> result;
    service.requestKey([&](EncryptionService::KeyResult r) { result = r; });
    [[maybe_unused]] const bool answered = QTest::qWaitFor([&] { return result.has_value(); });
    return result.value_or(unexpected(EncryptionError::encryptionFailed));
}

} // namespace

class TestEncryptionService : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip_data()
    {
        QTest::addColumn<QByteArray>("plaintext");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("json") << QByteArray(R"([{"text":"Grüße"}])");
        QTest::newRow("1 MiB") << randomBytes(1 << 20);
    }

    void roundTrip()
    {
        QFETCH(QByteArray, plaintext);
        const QByteArray key = randomBytes(32);
        const auto block = EncryptionService::seal(key, plaintext);
        QVERIFY(block && block->size() == plaintext.size() + 28);
        QVERIFY(plaintext.size() < 16 || !block->contains(plaintext));
        QCOMPARE(*EncryptionService::open(key, *block), plaintext);
        // A fresh nonce every time.
        QVERIFY(*EncryptionService::seal(key, plaintext) != *block);
    }

    void damagedBlocksFail()
    {
        const QByteArray key = randomBytes(32);
        const QByteArray block = *EncryptionService::seal(key, "secret history");
        QList<QByteArray> damaged{block.left(27), block.mid(1), block.chopped(1), block + 'x', {}};
        for (qsizetype i = 0; i < block.size(); ++i) {
            QByteArray flipped = block;
            flipped[i] = char(flipped[i] ^ 0x01);
            damaged.append(flipped);
        }
        for (const QByteArray& b : damaged) {
            const auto opened = EncryptionService::open(key, b);
            QVERIFY(!opened && opened.error() == EncryptionError::decryptionFailed);
        }
        QVERIFY(!EncryptionService::open(randomBytes(32), block));
    }

    // The key stored before (its size in bytes; "-": none), whether the
    // keyring is locked, and whether a key is had.
    void keyIsMadeOnlyWhenTheStoreHasNone_data()
    {
        // size, locked, ok
        rows({u"-→→yes", u"32→→yes", u"-→yes→", u"31→→", u"33→→"});
    }
    void keyIsMadeOnlyWhenTheStoreHasNone()
    {
        const QStringList f = fields();
        const QString &size = f[0], &locked = f[1], &ok = f[2];
        const QByteArray stored = size == u"-" ? QByteArray() : randomBytes(size.toInt());
        const bool unavailable = !locked.isEmpty(), works = !ok.isEmpty();
        auto store = std::make_shared<MemorySecretStore>();
        if (!stored.isNull()) {
            store->set(service, account, stored);
        }
        store->unavailable = unavailable;
        AsyncSecretStore secrets(store);
        EncryptionService enc(secrets);
        QVERIFY(!enc.encrypt("x")); // no key yet
        QCOMPARE(bool(requestKey(enc)), works);
        QCOMPARE(enc.hasKey(), works);
        // An unusable or unreachable key is never replaced.
        QCOMPARE(store->writes.load(), stored.isNull() && !unavailable ? 1 : 0);
        if (!stored.isNull()) {
            QCOMPARE(store->secret(service, account), stored);
        }
        if (works) {
            const QByteArray key = store->secret(service, account);
            QCOMPARE(key.size(), 32);
            QCOMPARE(*EncryptionService::open(key, *enc.encrypt("x")), QByteArray("x"));
            // Later requests need no store call.
            const int reads = store->reads;
            QVERIFY(requestKey(enc));
            QCOMPARE(store->reads.load(), reads);
        } else {
            store->unavailable = false;
            QCOMPARE(bool(requestKey(enc)), stored.isNull()); // asked again, not cached
        }
    }

    void concurrentRequestsShareOneLookup()
    {
        auto store = std::make_shared<MemorySecretStore>();
        AsyncSecretStore secrets(store, std::chrono::milliseconds(300));
        EncryptionService enc(secrets);
        store->hang();
        int answers = 0;
        for (int i = 0; i < 3; ++i) {
            enc.requestKey([&](EncryptionService::KeyResult r) {
                QVERIFY(!r); // abandoned after the time limit
                ++answers;
            });
        }
        QTRY_COMPARE(answers, 3);
        store->release();
        QVERIFY(requestKey(enc));
        QTRY_COMPARE(store->reads.load(), 2);
    }

    void interoperatesWithIndependentAesGcm()
    {
        if (!runPython(u"import cryptography.hazmat.primitives.ciphers.aead"_s)) {
            QSKIP("python3 with the cryptography package is not installed");
        }
        const QByteArray key = randomBytes(32);
        const QByteArray plaintext = u"[{\"text\":\"Grüße \U0001F44D\"}]"_s.toUtf8();
        const QString prelude =
            u"import os, sys\nfrom cryptography.hazmat.primitives.ciphers.aead import AESGCM\n"
            u"k = bytes.fromhex(sys.argv[1]); b = bytes.fromhex(sys.argv[2])\n"_s;
        const QString hexKey = QString::fromLatin1(key.toHex());
        const auto decrypted = runPython(
            prelude + u"print(AESGCM(k).decrypt(b[:12], b[12:], None).hex())"_s,
            {hexKey, QString::fromLatin1(EncryptionService::seal(key, plaintext)->toHex())});
        QCOMPARE(QByteArray::fromHex(decrypted.value_or("")), plaintext);
        const auto theirs = runPython(
            prelude + u"n = os.urandom(12)\nprint((n + AESGCM(k).encrypt(n, b, None)).hex())"_s,
            {hexKey, QString::fromLatin1(plaintext.toHex())});
        QCOMPARE(*EncryptionService::open(key, QByteArray::fromHex(theirs.value_or(""))),
                 plaintext);
    }
};

QTEST_GUILESS_MAIN(TestEncryptionService)
#include "tst_encryptionservice.moc"
