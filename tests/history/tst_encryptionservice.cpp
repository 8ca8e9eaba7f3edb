#include "history/EncryptionService.h"

#include "MemorySecretStore.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTest>

Q_DECLARE_METATYPE(EncryptionError)

namespace {

const QString service = QStringLiteral("com.quillsnap.encryption");
const QString account = QStringLiteral("master-key");

QByteArray randomBytes(qsizetype n)
{
    QByteArray bytes(n, Qt::Uninitialized);
    for (char& c : bytes) {
        c = char(QRandomGenerator::global()->bounded(256));
    }
    return bytes;
}

// Runs python3 with the cryptography package; empty result when unavailable.
std::optional<QByteArray> runPython(const QString& script, const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral("python3"), QStringList{QStringLiteral("-c"), script} + args);
    if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        return std::nullopt;
    }
    return p.readAllStandardOutput().trimmed();
}

} // namespace

class TestEncryptionService : public QObject
{
    Q_OBJECT
private slots:
    void roundTrip_data();
    void roundTrip();
    void twoEncryptionsDiffer();
    void malformedBlocksFail_data();
    void malformedBlocksFail();
    void flippingAnyByteFails();
    void otherKeyFails();
    void keyIsCreatedOnceAndStored();
    void storedKeyIsFoundAfterRestart();
    void unavailableStoreNeverCreatesKey();
    void wrongLengthStoredKey_data();
    void wrongLengthStoredKey();
    void refusedWriteFailsAndRetries();
    void interoperatesWithIndependentAesGcm();
};

void TestEncryptionService::roundTrip_data()
{
    QTest::addColumn<QByteArray>("plaintext");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("one byte") << QByteArray("x");
    QTest::newRow("json") << QByteArray(R"([{"text":"Grüße"}])");
    QTest::newRow("1 MiB") << randomBytes(1 << 20);
}

void TestEncryptionService::roundTrip()
{
    QFETCH(QByteArray, plaintext);
    MemorySecretStore store;
    EncryptionService enc(store);
    const auto block = enc.encrypt(plaintext);
    QVERIFY(block);
    QCOMPARE(block->size(), plaintext.size() + 28);
    // Short plaintexts turn up in random bytes by chance; long ones must not.
    if (plaintext.size() >= 16) {
        QVERIFY(!block->contains(plaintext));
    }
    const auto back = enc.decrypt(*block);
    QVERIFY(back);
    QCOMPARE(*back, plaintext);
}

void TestEncryptionService::twoEncryptionsDiffer()
{
    MemorySecretStore store;
    EncryptionService enc(store);
    const QByteArray text("same plaintext");
    const auto a = enc.encrypt(text);
    const auto b = enc.encrypt(text);
    QVERIFY(a && b);
    QVERIFY(*a != *b);
    QVERIFY(a->left(12) != b->left(12)); // fresh nonce
    QCOMPARE(*enc.decrypt(*a), text);
    QCOMPARE(*enc.decrypt(*b), text);
}

void TestEncryptionService::malformedBlocksFail_data()
{
    QTest::addColumn<int>("edit"); // 0: keep n bytes, 1: drop first, 2: drop last, 3: append
    QTest::addColumn<int>("n");
    QTest::newRow("empty") << 0 << 0;
    QTest::newRow("nonce only") << 0 << 12;
    QTest::newRow("27 bytes") << 0 << 27;
    QTest::newRow("truncated") << 0 << 40;
    QTest::newRow("first byte gone") << 1 << 0;
    QTest::newRow("last byte gone") << 2 << 0;
    QTest::newRow("byte appended") << 3 << 0;
}

void TestEncryptionService::malformedBlocksFail()
{
    QFETCH(int, edit);
    QFETCH(int, n);
    MemorySecretStore store;
    EncryptionService enc(store);
    QByteArray block = *enc.encrypt(QByteArray("a history of some length"));
    QVERIFY(enc.decrypt(block));
    switch (edit) {
    case 0:
        block.truncate(n);
        break;
    case 1:
        block.remove(0, 1);
        break;
    case 2:
        block.chop(1);
        break;
    default:
        block.append('\0');
    }
    const auto result = enc.decrypt(block);
    QVERIFY(!result);
    QCOMPARE(result.error(), EncryptionError::decryptionFailed);
}

void TestEncryptionService::flippingAnyByteFails()
{
    MemorySecretStore store;
    EncryptionService enc(store);
    const QByteArray empty = *enc.encrypt(QByteArray());
    QCOMPARE(empty.size(), 28);
    const QByteArray block = *enc.encrypt(QByteArray("secret"));
    for (const QByteArray& original : {empty, block}) {
        for (qsizetype i = 0; i < original.size(); ++i) {
            for (const char mask : {char(0x01), char(0x80)}) {
                QByteArray tampered = original;
                tampered[i] = char(tampered[i] ^ mask);
                const auto result = enc.decrypt(tampered);
                QVERIFY2(!result, qPrintable(QStringLiteral("byte %1 accepted").arg(i)));
                QCOMPARE(result.error(), EncryptionError::decryptionFailed);
            }
        }
    }
}

void TestEncryptionService::otherKeyFails()
{
    MemorySecretStore storeA;
    MemorySecretStore storeB;
    EncryptionService a(storeA);
    EncryptionService b(storeB);
    const auto block = a.encrypt(QByteArray("mine"));
    const auto result = b.decrypt(*block);
    QVERIFY(!result);
    QCOMPARE(result.error(), EncryptionError::decryptionFailed);
}

void TestEncryptionService::keyIsCreatedOnceAndStored()
{
    MemorySecretStore store;
    EncryptionService enc(store);
    QVERIFY(enc.encrypt(QByteArray("a")));
    QCOMPARE(store.writes, 1);
    QCOMPARE(store.itemCount(), 1);
    const QByteArray key = store.secret(service, account);
    QCOMPARE(key.size(), 32);
    QVERIFY(key != QByteArray(32, '\0'));
    const int reads = store.reads;
    QVERIFY(enc.encrypt(QByteArray("b")));
    QVERIFY(enc.decrypt(*enc.encrypt(QByteArray("c"))));
    QCOMPARE(store.reads, reads); // cached: the store is not asked again
    QCOMPARE(store.writes, 1);
    QCOMPARE(enc.getOrCreateKey()->toByteArray(), key);
}

void TestEncryptionService::storedKeyIsFoundAfterRestart()
{
    MemorySecretStore store;
    QByteArray block;
    {
        EncryptionService first(store);
        block = *first.encrypt(QByteArray("kept"));
    }
    EncryptionService second(store);
    const auto back = second.decrypt(block);
    QVERIFY(back);
    QCOMPARE(*back, QByteArray("kept"));
    QCOMPARE(store.writes, 1);
}

void TestEncryptionService::unavailableStoreNeverCreatesKey()
{
    MemorySecretStore store;
    const QByteArray key = randomBytes(32);
    store.set(service, account, key);
    store.unavailable = true;
    EncryptionService enc(store);
    for (int i = 0; i < 3; ++i) {
        const auto e = enc.encrypt(QByteArray("x"));
        QVERIFY(!e);
        QCOMPARE(e.error(), EncryptionError::keyRetrievalFailed);
        const auto d = enc.decrypt(QByteArray(40, 'x'));
        QVERIFY(!d);
        QCOMPARE(d.error(), EncryptionError::keyRetrievalFailed);
    }
    QCOMPARE(store.writes, 0);
    QCOMPARE(store.secret(service, account), key);

    // Once the store answers again, the next call loads the stored key.
    store.unavailable = false;
    QVERIFY(enc.encrypt(QByteArray("x")));
    QCOMPARE(enc.getOrCreateKey()->toByteArray(), key);
    QCOMPARE(store.writes, 0);
}

void TestEncryptionService::wrongLengthStoredKey_data()
{
    QTest::addColumn<int>("length");
    QTest::newRow("empty") << 0;
    QTest::newRow("16") << 16;
    QTest::newRow("31") << 31;
    QTest::newRow("33") << 33;
    QTest::newRow("64") << 64;
}

void TestEncryptionService::wrongLengthStoredKey()
{
    QFETCH(int, length);
    MemorySecretStore store;
    const QByteArray stored = randomBytes(length);
    store.set(service, account, stored);
    EncryptionService enc(store);
    const auto e = enc.encrypt(QByteArray("x"));
    QVERIFY(!e);
    QCOMPARE(e.error(), EncryptionError::keyRetrievalFailed);
    QCOMPARE(store.writes, 0);
    QCOMPARE(store.secret(service, account), stored);
}

void TestEncryptionService::refusedWriteFailsAndRetries()
{
    // The store reads "none" but refuses to store: no key is used, none cached.
    class RefusingStore : public MemorySecretStore
    {
    public:
        bool refuse = true;
        Status write(const QString& s, const QString& a, const QByteArray& secret) override
        {
            if (refuse) {
                ++writes;
                return Status::Unavailable;
            }
            return MemorySecretStore::write(s, a, secret);
        }
    } store;
    EncryptionService enc(store);
    const auto e = enc.encrypt(QByteArray("x"));
    QVERIFY(!e);
    QCOMPARE(e.error(), EncryptionError::keyGenerationFailed);
    QCOMPARE(enc.decrypt(QByteArray(28, 'x')).error(), EncryptionError::keyGenerationFailed);
    store.refuse = false;
    QVERIFY(enc.encrypt(QByteArray("x")));
    QCOMPARE(store.secret(service, account).size(), 32);
}

void TestEncryptionService::interoperatesWithIndependentAesGcm()
{
    if (QStandardPaths::findExecutable(QStringLiteral("python3")).isEmpty()) {
        QSKIP("python3 is not installed");
    }
    if (!runPython(QStringLiteral("import cryptography.hazmat.primitives.ciphers.aead"), {})) {
        QSKIP("the python3 cryptography package is not installed");
    }
    MemorySecretStore store;
    EncryptionService enc(store);
    const QByteArray plaintext =
        QStringLiteral("[{\"text\":\"Grüße, \U0001F44D\"}] ").repeated(50).toUtf8();
    const QByteArray ours = *enc.encrypt(plaintext);
    const QByteArray keyHex = store.secret(service, account).toHex();

    const auto decrypted =
        runPython(QStringLiteral("import sys\n"
                                 "from cryptography.hazmat.primitives.ciphers.aead import AESGCM\n"
                                 "k = bytes.fromhex(sys.argv[1]); b = bytes.fromhex(sys.argv[2])\n"
                                 "print(AESGCM(k).decrypt(b[:12], b[12:], None).hex())"),
                  {QString::fromLatin1(keyHex), QString::fromLatin1(ours.toHex())});
    QVERIFY(decrypted);
    QCOMPARE(QByteArray::fromHex(*decrypted), plaintext);

    const auto theirs = runPython(
        QStringLiteral("import os, sys\n"
                       "from cryptography.hazmat.primitives.ciphers.aead import AESGCM\n"
                       "k = bytes.fromhex(sys.argv[1]); n = os.urandom(12)\n"
                       "print((n + AESGCM(k).encrypt(n, bytes.fromhex(sys.argv[2]), None)).hex())"),
        {QString::fromLatin1(keyHex), QString::fromLatin1(plaintext.toHex())});
    QVERIFY(theirs);
    const QByteArray block = QByteArray::fromHex(*theirs);
    QCOMPARE(block.size(), plaintext.size() + 28);
    const auto back = enc.decrypt(block);
    QVERIFY(back);
    QCOMPARE(*back, plaintext);
}

QTEST_GUILESS_MAIN(TestEncryptionService)
#include "tst_encryptionservice.moc"
