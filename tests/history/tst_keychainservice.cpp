#include "history/FileSecretStore.h"
#include "history/KeychainService.h"
#include "platform/SecretServiceStore.h"

#include "TestEnvironment.h"

#include <QMap>
#include <QProcess>
#include <QTest>

using namespace std::chrono_literals;
using KeyStatus = KeychainService::KeyStatus;

namespace {

// A store whose failures the test switches on.
class ScriptedStore : public SecretStore
{
public:
    Lookup read(const QString& service, const QString& account) override
    {
        if (unavailable) {
            return {Status::Unavailable, {}};
        }
        const auto it = items.constFind(service + QLatin1Char('/') + account);
        return it == items.constEnd() ? Lookup{Status::NotFound, {}} : Lookup{Status::Ok, *it};
    }
    Status write(const QString& service, const QString& account, const QByteArray& secret) override
    {
        if (unavailable || failWrites) {
            return Status::Unavailable;
        }
        items.insert(service + QLatin1Char('/') + account, secret);
        return Status::Ok;
    }
    Status remove(const QString& service, const QString& account) override
    {
        ++removeCalls;
        if (unavailable) {
            return Status::Unavailable;
        }
        items.remove(service + QLatin1Char('/') + account);
        return Status::Ok;
    }
    QString displayName() const override { return QStringLiteral("scripted"); }

    QMap<QString, QByteArray> items;
    bool unavailable = false;
    bool failWrites = false;
    int removeCalls = 0;
};

const QString accounts[] = {KeychainService::openAIKeyAccount, KeychainService::geminiKeyAccount,
                            KeychainService::ocrSpaceKeyAccount};

} // namespace

class TestKeychainService : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void saveTwiceKeepsOneItemWithSecondKey_data() { stores(); }
    void saveTwiceKeepsOneItemWithSecondKey();
    void missingAndEmptyKeys_data() { stores(); }
    void missingAndEmptyKeys();
    void keyStoredExactly_data();
    void keyStoredExactly();
    void otherAccountsUntouched_data() { stores(); }
    void otherAccountsUntouched();
    void invalidUnicodeIsRefused_data() { stores(); }
    void invalidUnicodeIsRefused();
    void undecodableItemReadsAbsent_data() { stores(); }
    void undecodableItemReadsAbsent();

    void failedSaveKeepsEarlierKey();
    void unavailableStoreIsNotMissingKey();

private:
    void stores();
    SecretStore& store();
    int secretServiceItems(const QString& account);

    TestEnvironment m_env;
    FileSecretStore m_file;
    SecretServiceStore m_secretService{3s};
    bool m_haveService = false;
};

void TestKeychainService::initTestCase()
{
    m_haveService =
        m_secretService.read(QStringLiteral("com.quillsnap.probe"), QStringLiteral("probe"))
            .status == SecretStore::Status::NotFound;
}

void TestKeychainService::init()
{
    for (SecretStore* s : {static_cast<SecretStore*>(&m_file),
                           m_haveService ? static_cast<SecretStore*>(&m_secretService) : nullptr}) {
        if (!s) {
            continue;
        }
        KeychainService keychain(*s);
        for (const QString& account : accounts) {
            QVERIFY(keychain.deleteKey(account));
        }
    }
}

void TestKeychainService::cleanupTestCase()
{
    init();
}

void TestKeychainService::stores()
{
    QTest::addColumn<bool>("secretService");
    QTest::newRow("file") << false;
    QTest::newRow("Secret Service") << true;
}

SecretStore& TestKeychainService::store()
{
    QFETCH(bool, secretService);
    return secretService ? static_cast<SecretStore&>(m_secretService) : m_file;
}

#define SKIP_WITHOUT_SECRET_SERVICE()                                                              \
    do {                                                                                           \
        QFETCH(bool, secretService);                                                               \
        if (secretService && !m_haveService)                                                       \
            QSKIP("no Secret Service on the session bus (run under scripts/test.sh)");             \
    } while (false)

int TestKeychainService::secretServiceItems(const QString& account)
{
    QProcess tool;
    tool.setProcessChannelMode(QProcess::MergedChannels);
    tool.start(QStringLiteral("secret-tool"),
               {QStringLiteral("search"), QStringLiteral("--all"), QStringLiteral("service"),
                KeychainService::service, QStringLiteral("account"), account});
    tool.waitForFinished(10000);
    const QByteArray out = tool.readAll();
    return int(out.count("\n[/") + (out.startsWith("[/") ? 1 : 0));
}

void TestKeychainService::saveTwiceKeepsOneItemWithSecondKey()
{
    SKIP_WITHOUT_SECRET_SERVICE();
    KeychainService keychain(store());
    QVERIFY(keychain.saveKey(QStringLiteral("sk-first"), KeychainService::openAIKeyAccount));
    QVERIFY(keychain.saveKey(QStringLiteral("sk-second"), KeychainService::openAIKeyAccount));
    QCOMPARE(keychain.readKey(KeychainService::openAIKeyAccount), QStringLiteral("sk-second"));
    QFETCH(bool, secretService);
    if (secretService) {
        QCOMPARE(secretServiceItems(KeychainService::openAIKeyAccount), 1);
    }
}

void TestKeychainService::missingAndEmptyKeys()
{
    SKIP_WITHOUT_SECRET_SERVICE();
    KeychainService keychain(store());
    const QString account = KeychainService::ocrSpaceKeyAccount;
    QCOMPARE(keychain.readKey(account), std::nullopt);
    QCOMPARE(keychain.readKeyStatus(account).status, KeyStatus::Missing);
    QVERIFY(keychain.deleteKey(account)); // nothing to delete is success

    QVERIFY(keychain.saveKey(QString(), account));
    const auto empty = keychain.readKey(account);
    QVERIFY(empty.has_value());
    QVERIFY(empty->isEmpty());
    QVERIFY(!empty->isNull());

    QVERIFY(keychain.deleteKey(account));
    QCOMPARE(keychain.readKey(account), std::nullopt);
    QVERIFY(keychain.deleteKey(account));
}

void TestKeychainService::keyStoredExactly_data()
{
    QTest::addColumn<bool>("secretService");
    QTest::addColumn<QString>("key");
    const QList<QPair<const char*, QString>> keys = {
        {"leading and trailing spaces", QStringLiteral("  sk-abc  ")},
        {"tabs and line breaks", QStringLiteral("\tsk-abc\r\n")},
        {"non-ASCII", QStringLiteral("ключ-🔑-é")},
        {"leading byte-order mark", QString(QChar(0xFEFF)) + QStringLiteral("sk")},
        {"embedded NUL", QStringLiteral("sk") + QChar(0) + QStringLiteral("tail")},
        {"long", QString(4096, QLatin1Char('k'))},
    };
    for (bool secretService : {false, true}) {
        for (const auto& [name, key] : keys) {
            QTest::addRow("%s, %s", secretService ? "Secret Service" : "file", name)
                << secretService << key;
        }
    }
}

void TestKeychainService::keyStoredExactly()
{
    SKIP_WITHOUT_SECRET_SERVICE();
    QFETCH(QString, key);
    KeychainService keychain(store());
    QVERIFY(keychain.saveKey(key, KeychainService::geminiKeyAccount));
    QCOMPARE(keychain.readKey(KeychainService::geminiKeyAccount), key);
    QCOMPARE(store().read(KeychainService::service, KeychainService::geminiKeyAccount).secret,
             key.toUtf8());
}

void TestKeychainService::otherAccountsUntouched()
{
    SKIP_WITHOUT_SECRET_SERVICE();
    KeychainService keychain(store());
    QVERIFY(keychain.saveKey(QStringLiteral("gemini"), KeychainService::geminiKeyAccount));
    QVERIFY(keychain.saveKey(QStringLiteral("ocr"), KeychainService::ocrSpaceKeyAccount));
    QVERIFY(keychain.saveKey(QStringLiteral("openai-1"), KeychainService::openAIKeyAccount));
    QVERIFY(keychain.saveKey(QStringLiteral("openai-2"), KeychainService::openAIKeyAccount));
    QCOMPARE(keychain.readKey(KeychainService::geminiKeyAccount), QStringLiteral("gemini"));
    QCOMPARE(keychain.readKey(KeychainService::ocrSpaceKeyAccount), QStringLiteral("ocr"));
    QVERIFY(keychain.deleteKey(KeychainService::openAIKeyAccount));
    QCOMPARE(keychain.readKey(KeychainService::geminiKeyAccount), QStringLiteral("gemini"));
    QCOMPARE(keychain.readKey(KeychainService::ocrSpaceKeyAccount), QStringLiteral("ocr"));
    QCOMPARE(keychain.readKey(KeychainService::openAIKeyAccount), std::nullopt);
}

void TestKeychainService::invalidUnicodeIsRefused()
{
    SKIP_WITHOUT_SECRET_SERVICE();
    KeychainService keychain(store());
    QVERIFY(keychain.saveKey(QStringLiteral("good"), KeychainService::openAIKeyAccount));
    const QString loneSurrogate = QStringLiteral("sk-") + QChar(0xD800) + QStringLiteral("x");
    QVERIFY(!keychain.saveKey(loneSurrogate, KeychainService::openAIKeyAccount));
    QCOMPARE(keychain.readKey(KeychainService::openAIKeyAccount), QStringLiteral("good"));
}

void TestKeychainService::undecodableItemReadsAbsent()
{
    SKIP_WITHOUT_SECRET_SERVICE();
    QCOMPARE(store().write(KeychainService::service, KeychainService::geminiKeyAccount,
                           QByteArray("sk-\xff\xfe", 5)),
             SecretStore::Status::Ok);
    KeychainService keychain(store());
    QCOMPARE(keychain.readKey(KeychainService::geminiKeyAccount), std::nullopt);
    QCOMPARE(keychain.readKeyStatus(KeychainService::geminiKeyAccount).status,
             KeyStatus::Undecodable);
    // It can be replaced and removed like any other key.
    QVERIFY(keychain.saveKey(QStringLiteral("sk-new"), KeychainService::geminiKeyAccount));
    QCOMPARE(keychain.readKey(KeychainService::geminiKeyAccount), QStringLiteral("sk-new"));
}

void TestKeychainService::failedSaveKeepsEarlierKey()
{
    ScriptedStore scripted;
    KeychainService keychain(scripted);
    QVERIFY(keychain.saveKey(QStringLiteral("old"), KeychainService::openAIKeyAccount));
    scripted.failWrites = true;
    QVERIFY(!keychain.saveKey(QStringLiteral("new"), KeychainService::openAIKeyAccount));
    QCOMPARE(keychain.readKey(KeychainService::openAIKeyAccount), QStringLiteral("old"));
    QCOMPARE(scripted.removeCalls, 0);
}

void TestKeychainService::unavailableStoreIsNotMissingKey()
{
    ScriptedStore scripted;
    KeychainService keychain(scripted);
    QVERIFY(keychain.saveKey(QStringLiteral("k"), KeychainService::openAIKeyAccount));
    scripted.unavailable = true;
    QCOMPARE(keychain.readKey(KeychainService::openAIKeyAccount), std::nullopt);
    QCOMPARE(keychain.readKeyStatus(KeychainService::openAIKeyAccount).status,
             KeyStatus::Unavailable);
    QVERIFY(!keychain.deleteKey(KeychainService::openAIKeyAccount));
    QVERIFY(!keychain.saveKey(QStringLiteral("k2"), KeychainService::openAIKeyAccount));
    scripted.unavailable = false;
    QCOMPARE(keychain.readKey(KeychainService::openAIKeyAccount), QStringLiteral("k"));
}

QTEST_GUILESS_MAIN(TestKeychainService)
#include "tst_keychainservice.moc"
