#include "history/FileSecretStore.h"
#include "history/KeychainService.h"
#include "views/APIKeyDialog.h"

#include "TestEnvironment.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <memory>

namespace {

// The private-file store, made to refuse writes of one account and counting
// the writes that reach it.
class FailingStore : public SecretStore
{
public:
    explicit FailingStore(SecretStore& inner) : m_inner(inner) {}

    Lookup read(const QString& service, const QString& account) override
    {
        if (unavailable) {
            return {Status::Unavailable, {}};
        }
        return m_inner.read(service, account);
    }
    Status write(const QString& service, const QString& account, const QByteArray& secret) override
    {
        writes << account;
        if (unavailable || account == failAccount) {
            return Status::Unavailable;
        }
        return m_inner.write(service, account, secret);
    }
    Status remove(const QString& service, const QString& account) override
    {
        removes << account;
        return m_inner.remove(service, account);
    }
    QString displayName() const override { return name.isEmpty() ? m_inner.displayName() : name; }

    QString failAccount;
    QString name;
    bool unavailable = false;
    QStringList writes;
    QStringList removes;

private:
    SecretStore& m_inner;
};

struct Alert
{
    QString title;
    QString message;
    bool dialogVisible = false;
};

const QString openAI = KeychainService::openAIKeyAccount;
const QString gemini = KeychainService::geminiKeyAccount;
const QString ocrSpace = KeychainService::ocrSpaceKeyAccount;

} // namespace

class TestAPIKeyDialog : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void prefilledFromStoredKeys();
    void unreadableStoreLeavesFieldsEmpty();
    void save_data();
    void save();
    void nothingIsSavedWithoutSave_data();
    void nothingIsSavedWithoutSave();
    void returnSaves();
    void texts_data();
    void texts();

private:
    APIKeyDialog& makeDialog();
    void store(const QString& account, const QString& key);
    std::optional<QString> stored(const QString& account);

    std::unique_ptr<TestEnvironment> m_env;
    std::unique_ptr<FileSecretStore> m_file;
    std::unique_ptr<FailingStore> m_store;
    std::unique_ptr<KeychainService> m_keychain;
    std::unique_ptr<APIKeyDialog> m_dialog;
    QList<Alert> m_alerts;
};

void TestAPIKeyDialog::init()
{
    m_env = std::make_unique<TestEnvironment>();
    m_file = std::make_unique<FileSecretStore>(m_env->dataHome() +
                                               QStringLiteral("/quillsnap/secrets.json"));
    m_store = std::make_unique<FailingStore>(*m_file);
    m_keychain = std::make_unique<KeychainService>(*m_store);
    m_alerts.clear();
}

void TestAPIKeyDialog::cleanup()
{
    m_dialog.reset();
    m_keychain.reset();
    m_store.reset();
    m_file.reset();
    m_env.reset();
}

APIKeyDialog& TestAPIKeyDialog::makeDialog()
{
    m_dialog = std::make_unique<APIKeyDialog>(
        *m_keychain, [this](const QString& title, const QString& message) {
            m_alerts.append({title, message, m_dialog && m_dialog->isVisible()});
        });
    return *m_dialog;
}

void TestAPIKeyDialog::store(const QString& account, const QString& key)
{
    QVERIFY(KeychainService(*m_file).saveKey(key, account));
}

std::optional<QString> TestAPIKeyDialog::stored(const QString& account)
{
    return KeychainService(*m_file).readKey(account);
}

void TestAPIKeyDialog::prefilledFromStoredKeys()
{
    store(openAI, QStringLiteral("sk-proj-stored"));
    store(ocrSpace, QStringLiteral(" K8 spaced "));
    APIKeyDialog& dialog = makeDialog();
    QCOMPARE(dialog.openAIField()->text(), QStringLiteral("sk-proj-stored"));
    QCOMPARE(dialog.geminiField()->text(), QString());
    // Shown exactly as stored; only saving trims.
    QCOMPARE(dialog.ocrSpaceField()->text(), QStringLiteral(" K8 spaced "));
    QVERIFY(m_store->writes.isEmpty());
}

void TestAPIKeyDialog::unreadableStoreLeavesFieldsEmpty()
{
    store(openAI, QStringLiteral("sk-proj-stored"));
    m_store->unavailable = true;
    APIKeyDialog& dialog = makeDialog();
    for (const QLineEdit* field :
         {dialog.openAIField(), dialog.geminiField(), dialog.ocrSpaceField()}) {
        QVERIFY(field->text().isEmpty());
    }
}

void TestAPIKeyDialog::save_data()
{
    QTest::addColumn<QStringList>("fields");   // OpenAI, Gemini, OCR.space
    QTest::addColumn<QString>("failAccount");  // the account whose write is refused
    QTest::addColumn<QStringList>("expected"); // stored afterwards; "-" for none
    QTest::addColumn<QStringList>("writes");   // accounts written, in order
    QTest::addColumn<QString>("message");      // "" for the success alert

    // Stored before each row: OpenAI "old-openai", Gemini "old-gemini", no OCR.space key.
    const QString none = QStringLiteral("-");
    const QStringList old{QStringLiteral("old-openai"), QStringLiteral("old-gemini"), none};

    QTest::newRow("all three saved in order")
        << QStringList{QStringLiteral("sk-a"), QStringLiteral("AIza-b"), QStringLiteral("K8c")}
        << QString()
        << QStringList{QStringLiteral("sk-a"), QStringLiteral("AIza-b"), QStringLiteral("K8c")}
        << QStringList{openAI, gemini, ocrSpace} << QString();
    QTest::newRow("cleared fields keep stored keys")
        << QStringList{QString(), QString(), QString()} << QString() << old << QStringList{}
        << QString();
    QTest::newRow("blank field keeps stored key")
        << QStringList{QStringLiteral(" \t\r\n"), QStringLiteral("AIza-b"), QString()} << QString()
        << QStringList{QStringLiteral("old-openai"), QStringLiteral("AIza-b"), none}
        << QStringList{gemini} << QString();
    QTest::newRow("trailing space trimmed")
        << QStringList{QStringLiteral("sk-a "), QStringLiteral("\n AIza-b\n"), QString()}
        << QString() << QStringList{QStringLiteral("sk-a"), QStringLiteral("AIza-b"), none}
        << QStringList{openAI, gemini} << QString();
    QTest::newRow("unicode spaces and line separators trimmed")
        << QStringList{QString(), QString(), QStringLiteral("\u00a0K8c\u2028\u3000")} << QString()
        << QStringList{QStringLiteral("old-openai"), QStringLiteral("old-gemini"),
                       QStringLiteral("K8c")}
        << QStringList{ocrSpace} << QString();
    QTest::newRow("inner space kept")
        << QStringList{QStringLiteral(" sk a "), QString(), QString()} << QString()
        << QStringList{QStringLiteral("sk a"), QStringLiteral("old-gemini"), none}
        << QStringList{openAI} << QString();
    QTest::newRow("OpenAI fails: nothing after it saved")
        << QStringList{QStringLiteral("sk-a"), QStringLiteral("AIza-b"), QStringLiteral("K8c")}
        << openAI << old << QStringList{openAI} << QStringLiteral("Failed to save OpenAI API key.");
    QTest::newRow("Gemini fails: OCR.space not saved")
        << QStringList{QStringLiteral("sk-a"), QStringLiteral("AIza-b"), QStringLiteral("K8c")}
        << gemini << QStringList{QStringLiteral("sk-a"), QStringLiteral("old-gemini"), none}
        << QStringList{openAI, gemini} << QStringLiteral("Failed to save Gemini API key.");
    QTest::newRow("OCR.space fails")
        << QStringList{QString(), QString(), QStringLiteral("K8c")} << ocrSpace << old
        << QStringList{ocrSpace} << QStringLiteral("Failed to save OCR.space API key.");
    QTest::newRow("empty field of a failing store counts as done")
        << QStringList{QStringLiteral("sk-a"), QString(), QStringLiteral("K8c")} << gemini
        << QStringList{QStringLiteral("sk-a"), QStringLiteral("old-gemini"), QStringLiteral("K8c")}
        << QStringList{openAI, ocrSpace} << QString();
    // A lone surrogate cannot be stored as UTF-8: the keychain refuses it.
    QTest::newRow("key that is not valid Unicode")
        << QStringList{QStringLiteral("sk-a"), QString(QChar(0xd800)), QStringLiteral("K8c")}
        << QString() << QStringList{QStringLiteral("sk-a"), QStringLiteral("old-gemini"), none}
        << QStringList{openAI} << QStringLiteral("Failed to save Gemini API key.");
}

void TestAPIKeyDialog::save()
{
    QFETCH(QStringList, fields);
    QFETCH(QString, failAccount);
    QFETCH(QStringList, expected);
    QFETCH(QStringList, writes);
    QFETCH(QString, message);

    store(openAI, QStringLiteral("old-openai"));
    store(gemini, QStringLiteral("old-gemini"));
    m_store->failAccount = failAccount;

    APIKeyDialog& dialog = makeDialog();
    dialog.present();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    dialog.openAIField()->setText(fields[0]);
    dialog.geminiField()->setText(fields[1]);
    dialog.ocrSpaceField()->setText(fields[2]);
    QTest::mouseClick(dialog.saveButton(), Qt::LeftButton);

    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(m_alerts.size(), 1);
    // The alert follows the dialog rather than stacking on it.
    QVERIFY(!m_alerts[0].dialogVisible);
    if (message.isEmpty()) {
        QCOMPARE(m_alerts[0].title, QStringLiteral("Success"));
        QCOMPARE(m_alerts[0].message, QStringLiteral("API keys saved successfully!"));
    } else {
        QCOMPARE(m_alerts[0].title, QStringLiteral("Error"));
        QCOMPARE(m_alerts[0].message, message);
    }
    // The writes that reached the store, in order; nothing is removed.
    QCOMPARE(m_store->writes, writes);
    QVERIFY(m_store->removes.isEmpty());
    const QString accounts[] = {openAI, gemini, ocrSpace};
    for (int i = 0; i < 3; ++i) {
        const std::optional<QString> key = stored(accounts[i]);
        QCOMPARE(key.value_or(QStringLiteral("-")), expected[i]);
    }
}

void TestAPIKeyDialog::nothingIsSavedWithoutSave_data()
{
    QTest::addColumn<int>("how");
    QTest::newRow("Cancel") << 0;
    QTest::newRow("Escape") << 1;
    QTest::newRow("window closed") << 2;
}

void TestAPIKeyDialog::nothingIsSavedWithoutSave()
{
    QFETCH(int, how);
    store(openAI, QStringLiteral("old-openai"));
    APIKeyDialog& dialog = makeDialog();
    dialog.present();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    dialog.openAIField()->setText(QStringLiteral("sk-new"));
    dialog.geminiField()->setText(QStringLiteral("AIza-new"));
    dialog.openAIField()->setFocus();

    switch (how) {
    case 0:
        QTest::mouseClick(dialog.cancelButton(), Qt::LeftButton);
        break;
    case 1:
        QTest::keyClick(dialog.openAIField(), Qt::Key_Escape);
        break;
    default:
        dialog.close();
        break;
    }

    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QVERIFY(m_alerts.isEmpty());
    QVERIFY(m_store->writes.isEmpty());
    QCOMPARE(stored(openAI), QStringLiteral("old-openai"));
    QCOMPARE(stored(gemini), std::nullopt);
}

void TestAPIKeyDialog::returnSaves()
{
    APIKeyDialog& dialog = makeDialog();
    dialog.present();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    dialog.geminiField()->setText(QStringLiteral("AIza-new "));
    dialog.geminiField()->setFocus();
    QTest::keyClick(dialog.geminiField(), Qt::Key_Return);

    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(m_alerts.size(), 1);
    QCOMPARE(m_alerts[0].title, QStringLiteral("Success"));
    QCOMPARE(stored(gemini), QStringLiteral("AIza-new"));
}

void TestAPIKeyDialog::texts_data()
{
    QTest::addColumn<QString>("storeName");
    QTest::addColumn<QString>("message");
    QTest::newRow("Secret Service")
        << QStringLiteral("your desktop keyring (Secret Service)")
        << QStringLiteral("Configure your AI provider API keys.\n"
                          "Keys are stored securely in your desktop keyring (Secret Service).");
    QTest::newRow("private file") << QString() << QString(); // filled in from the store
}

void TestAPIKeyDialog::texts()
{
    QFETCH(QString, storeName);
    QFETCH(QString, message);
    m_store->name = storeName;
    if (message.isEmpty()) {
        message = QStringLiteral("Configure your AI provider API keys.\n"
                                 "Keys are stored securely in a private file (") +
                  m_file->path() + QStringLiteral(").");
    }

    APIKeyDialog& dialog = makeDialog();
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Configure API Keys"));
    QStringList labels;
    for (const QLabel* label : dialog.findChildren<QLabel*>()) {
        if (!label->text().isEmpty()) {
            labels << label->text();
        }
    }
    QCOMPARE(labels,
             (QStringList{QStringLiteral("Configure API Keys"), message,
                          QStringLiteral("OpenAI API Key:"), QStringLiteral("Gemini API Key:"),
                          QStringLiteral("OCR.space API Key:")}));

    const QList<QPair<QLineEdit*, QString>> fields{
        {dialog.openAIField(), QStringLiteral("sk-proj-...")},
        {dialog.geminiField(), QStringLiteral("AIza...")},
        {dialog.ocrSpaceField(), QStringLiteral("K8...")}};
    for (const auto& [field, placeholder] : fields) {
        QCOMPARE(field->placeholderText(), placeholder);
        QCOMPARE(field->echoMode(), QLineEdit::Normal);
        QVERIFY(field->hasFrame());
        QCOMPARE(field->width(), 340);
    }
    QCOMPARE(dialog.saveButton()->text(), QStringLiteral("Save"));
    QCOMPARE(dialog.cancelButton()->text(), QStringLiteral("Cancel"));
    QVERIFY(dialog.saveButton()->isDefault());
    QVERIFY(!dialog.cancelButton()->isDefault());
}

QTEST_MAIN(TestAPIKeyDialog)
#include "tst_apikeydialog.moc"
