#include "MemorySecretStore.h"
#include "history/KeychainService.h"
#include "views/APIKeyDialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

// A keyring that refuses writes of one account and notes the accounts written.
class FailingStore : public MemorySecretStore
{
public:
    QString failAccount;
    QStringList written;

    Status write(const QString& service, const QString& account, const QByteArray& secret) override
    {
        written << account;
        return account == failAccount ? Status::Unavailable
                                      : MemorySecretStore::write(service, account, secret);
    }
    QString displayName() const override { return u"the test keyring"_s; }
};

const QString openAI = KeychainService::openAIKeyAccount;
const QString gemini = KeychainService::geminiKeyAccount;
const QString ocrSpace = KeychainService::ocrSpaceKeyAccount;

} // namespace

class TestAPIKeyDialog : public QObject
{
    Q_OBJECT

    std::unique_ptr<FailingStore> m_store;
    std::unique_ptr<KeychainService> m_keychain;
    std::unique_ptr<APIKeyDialog> m_dialog;
    QStringList m_alerts; // "title|message", and whether the dialog still showed
    bool m_alertOverDialog = false;

    APIKeyDialog& open()
    {
        m_store->written.clear();
        m_dialog = std::make_unique<APIKeyDialog>(
            *m_keychain, [this](const QString& title, const QString& message) {
                m_alerts << title + u'|' + message;
                m_alertOverDialog = m_dialog->isVisible();
            });
        m_dialog->present();
        [this] { QVERIFY(QTest::qWaitForWindowActive(m_dialog.get())); }();
        return *m_dialog;
    }
    void store(const QString& account, const QString& key)
    {
        QVERIFY(m_keychain->saveKey(key, account));
    }
    QString stored(const QString& account) { return m_keychain->readKey(account).value_or(u"-"_s); }

private slots:
    void init()
    {
        m_store = std::make_unique<FailingStore>();
        m_keychain = std::make_unique<KeychainService>(*m_store);
        m_alerts.clear();
    }
    void cleanup() { m_dialog.reset(); }

    void prefilledFromStoredKeys()
    {
        store(openAI, u"sk-proj-stored"_s);
        store(ocrSpace, u" K8 spaced "_s);
        APIKeyDialog& dialog = open();
        QCOMPARE(dialog.openAIField()->text(), u"sk-proj-stored"_s);
        QCOMPARE(dialog.geminiField()->text(), QString());
        QCOMPARE(dialog.ocrSpaceField()->text(), u" K8 spaced "_s); // only saving trims
        QVERIFY(dialog.openAIField()->hasFocus());
        QVERIFY(m_store->written.isEmpty());
        // The message names the store that really holds the keys.
        QStringList texts;
        for (const QLabel* label : dialog.findChildren<QLabel*>()) {
            texts << label->text();
        }
        QVERIFY(texts.join(u'\n').contains(u"stored securely in the test keyring."));
        // An unreadable store leaves the fields empty.
        m_store->unavailable = true;
        QVERIFY(open().openAIField()->text().isEmpty());
    }

    void save_data()
    {
        QTest::addColumn<QStringList>("fields");   // OpenAI, Gemini, OCR.space
        QTest::addColumn<QString>("failAccount");  // the account whose write is refused
        QTest::addColumn<QStringList>("expected"); // stored afterwards; "-" for none
        QTest::addColumn<QStringList>("written");  // accounts written, in order
        QTest::addColumn<QString>("failure");      // empty for the success alert

        // Stored before each row: OpenAI "old-openai", Gemini "old-gemini", no OCR.space key.
        const QStringList old{u"old-openai"_s, u"old-gemini"_s, u"-"_s};
        const QStringList abc{u"sk-a"_s, u"AIza-b"_s, u"K8c"_s};
        QTest::newRow("all three saved in order")
            << abc << QString() << abc << QStringList{openAI, gemini, ocrSpace} << QString();
        QTest::newRow("cleared fields keep stored keys")
            << QStringList{QString(), QString(), QString()} << QString() << old << QStringList{}
            << QString();
        QTest::newRow("blank field keeps stored key")
            << QStringList{u" \t\r\n"_s, u"AIza-b"_s, QString()} << QString()
            << QStringList{u"old-openai"_s, u"AIza-b"_s, u"-"_s} << QStringList{gemini}
            << QString();
        QTest::newRow("white space trimmed, inner space kept")
            << QStringList{u" sk a "_s, u"\n AIza-b\n"_s, u"\u00a0K8c\u2028\u3000"_s} << QString()
            << QStringList{u"sk a"_s, u"AIza-b"_s, u"K8c"_s}
            << QStringList{openAI, gemini, ocrSpace} << QString();
        QTest::newRow("OpenAI fails: nothing after it saved")
            << abc << openAI << old << QStringList{openAI} << u"OpenAI"_s;
        QTest::newRow("Gemini fails: OCR.space not saved")
            << abc << gemini << QStringList{u"sk-a"_s, u"old-gemini"_s, u"-"_s}
            << QStringList{openAI, gemini} << u"Gemini"_s;
        QTest::newRow("OCR.space fails") << QStringList{QString(), QString(), u"K8c"_s} << ocrSpace
                                         << old << QStringList{ocrSpace} << u"OCR.space"_s;
        QTest::newRow("empty field of a failing account counts as done")
            << QStringList{u"sk-a"_s, QString(), u"K8c"_s} << gemini
            << QStringList{u"sk-a"_s, u"old-gemini"_s, u"K8c"_s} << QStringList{openAI, ocrSpace}
            << QString();
        // A lone surrogate cannot be stored as UTF-8: the keychain refuses it.
        QTest::newRow("key that is not valid Unicode")
            << QStringList{u"sk-a"_s, QString(QChar(0xd800)), u"K8c"_s} << QString()
            << QStringList{u"sk-a"_s, u"old-gemini"_s, u"-"_s} << QStringList{openAI}
            << u"Gemini"_s;
    }
    void save()
    {
        QFETCH(QStringList, fields);
        QFETCH(QString, failAccount);
        QFETCH(QStringList, expected);
        QFETCH(QStringList, written);
        QFETCH(QString, failure);
        store(openAI, u"old-openai"_s);
        store(gemini, u"old-gemini"_s);
        m_store->failAccount = failAccount;
        APIKeyDialog& dialog = open();
        dialog.openAIField()->setText(fields[0]);
        dialog.geminiField()->setText(fields[1]);
        dialog.ocrSpaceField()->setText(fields[2]);
        QTest::mouseClick(dialog.saveButton(), Qt::LeftButton);

        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(m_alerts, QStringList{failure.isEmpty()
                                           ? u"Success|API keys saved successfully!"_s
                                           : u"Error|Failed to save %1 API key."_s.arg(failure)});
        QVERIFY(!m_alertOverDialog); // the alert follows the dialog rather than stacking on it
        QCOMPARE(m_store->written, written);
        QCOMPARE((QStringList{stored(openAI), stored(gemini), stored(ocrSpace)}), expected);
    }

    void nothingIsSavedWithoutSave_data()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("Cancel") << 0;
        QTest::newRow("Escape") << 1;
        QTest::newRow("window closed") << 2;
    }
    void nothingIsSavedWithoutSave()
    {
        QFETCH(int, how);
        APIKeyDialog& dialog = open();
        dialog.openAIField()->setText(u"sk-new"_s);
        if (how == 0) {
            QTest::mouseClick(dialog.cancelButton(), Qt::LeftButton);
        } else if (how == 1) {
            QTest::keyClick(dialog.openAIField(), Qt::Key_Escape);
        } else {
            dialog.close();
        }
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QVERIFY(m_alerts.isEmpty());
        QVERIFY(m_store->written.isEmpty());
    }

    void returnSaves()
    {
        APIKeyDialog& dialog = open();
        dialog.geminiField()->setText(u"AIza-new "_s);
        dialog.geminiField()->setFocus();
        QTest::keyClick(dialog.geminiField(), Qt::Key_Return);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(m_alerts.size(), 1);
        QCOMPARE(stored(gemini), u"AIza-new"_s);
    }
};

QTEST_MAIN(TestAPIKeyDialog)
#include "tst_apikeydialog.moc"
