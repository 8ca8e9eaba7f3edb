#include "CaseTable.h"
#include "MemorySecretStore.h"
#include "history/AsyncSecretStore.h"
#include "history/KeychainService.h"
#include "views/APIKeyDialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

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

const QStringList accounts{KeychainService::openAIKeyAccount, KeychainService::geminiKeyAccount,
                           KeychainService::ocrSpaceKeyAccount};

} // namespace

class TestAPIKeyDialog : public QObject
{
    Q_OBJECT

    std::shared_ptr<FailingStore> m_store;
    std::unique_ptr<AsyncSecretStore> m_secrets;
    std::unique_ptr<KeychainService> m_keychain;
    std::unique_ptr<APIKeyDialog> m_dialog;
    QStringList m_alerts; // "title|message"

    APIKeyDialog& open()
    {
        m_dialog = std::make_unique<APIKeyDialog>(
            *m_keychain, [this](const QString& title, const QString& message) {
                // The alert follows the dialog rather than stacking on it.
                QVERIFY(!m_dialog->isVisible());
                m_alerts << title + u'|' + message;
            });
        m_dialog->present();
        [this] { QVERIFY(QTest::qWaitForWindowActive(m_dialog.get())); }();
        // The stored keys arrive from the keyring; until then nothing can be
        // typed over or saved.
        [this] { QTRY_VERIFY(m_dialog->saveButton()->isEnabled()); }();
        m_store->written.clear();
        return *m_dialog;
    }
    QString stored()
    {
        QStringList keys;
        for (const QString& account : accounts) {
            const auto lookup = KeychainService::readKeyNow(*m_store, account);
            keys << (lookup.found() ? lookup.key : u"-"_s);
        }
        return keys.join(u'|');
    }

private slots:
    void init()
    {
        m_store = std::make_shared<FailingStore>();
        m_secrets = std::make_unique<AsyncSecretStore>(m_store);
        m_keychain = std::make_unique<KeychainService>(*m_secrets);
        m_alerts.clear();
    }
    void cleanup() { m_dialog.reset(); }

    void opening()
    {
        KeychainService::saveKeyNow(*m_store, u"sk-proj-stored"_s, accounts[0]);
        KeychainService::saveKeyNow(*m_store, u" K8 spaced "_s,
                                    accounts[2]); // shown as stored; only saving trims
        APIKeyDialog& dialog = open();
        QCOMPARE(dialog.openAIField()->text() + u'|' + dialog.geminiField()->text() + u'|' +
                     dialog.ocrSpaceField()->text(),
                 u"sk-proj-stored|| K8 spaced "_s);
        QTRY_VERIFY(dialog.openAIField()->hasFocus());
        // The message names the store that really holds the keys.
        QVERIFY(dialog.findChildren<QLabel*>().at(2)->text().endsWith(u"in the test keyring."));
        m_store->unavailable = true; // an unreadable store leaves the fields empty
        QVERIFY(open().openAIField()->text().isEmpty());
    }

    // Stored before each row: "old-openai|old-gemini|-". Fields and stored
    // keys as "OpenAI|Gemini|OCR.space", "-" where none is stored; the
    // refusing account and those written as their digits in that order; the
    // provider named in the failure.
    void save_data()
    {
        rows({u"a|b|c→→a|b|c→012→", u"||→→old-openai|old-gemini|-→→", // cleared: kept
              u" \t\r\n|b|→→old-openai|b|-→1→",                       // blank keeps the stored key
              u" s a |\n b\n|\u00a0c\u2028\u3000→→s a|b|c→012→",      // trimmed, inner kept
              u"a|b|c→0→old-openai|old-gemini|-→0→OpenAI",            // nothing after a refusal
              u"a|b|c→1→a|old-gemini|-→01→Gemini", u"||c→2→old-openai|old-gemini|-→2→OCR.space",
              u"a||c→1→a|old-gemini|c→02→", // an empty field of a refusing account is done
              // A lone surrogate cannot be stored as UTF-8: the keychain refuses it.
              u"a|\xd800|c→→a|old-gemini|-→0→Gemini"});
    }
    void save()
    {
        const QStringList c = fields();
        KeychainService::saveKeyNow(*m_store, u"old-openai"_s, accounts[0]);
        KeychainService::saveKeyNow(*m_store, u"old-gemini"_s, accounts[1]);
        m_store->failAccount = c[1].isEmpty() ? QString() : accounts[c[1].toInt()];
        APIKeyDialog& dialog = open();
        const QStringList typed = c[0].split(u'|');
        dialog.openAIField()->setText(typed[0]);
        dialog.geminiField()->setText(typed[1]);
        dialog.ocrSpaceField()->setText(typed[2]);
        QTest::mouseClick(dialog.saveButton(), Qt::LeftButton);
        QTRY_COMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(m_alerts,
                 QStringList{c[4].isEmpty() ? u"Success|API keys saved successfully!"_s
                                            : u"Error|Failed to save %1 API key."_s.arg(c[4])});
        QStringList written;
        for (const QChar digit : c[3]) {
            written << accounts[digit.digitValue()];
        }
        QCOMPARE(m_store->written, written);
        QCOMPARE(stored(), c[2]);
    }

    void closing_data()
    {
        QTest::addColumn<int>("how");
        QTest::addColumn<bool>("saved");
        QTest::newRow("Cancel") << 0 << false;
        QTest::newRow("Escape") << 1 << false;
        QTest::newRow("window closed") << 2 << false;
        QTest::newRow("Return in a field saves") << 3 << true;
    }
    void closing()
    {
        QFETCH(int, how);
        QFETCH(bool, saved);
        APIKeyDialog& dialog = open();
        dialog.geminiField()->setText(u"AIza-new "_s);
        dialog.geminiField()->setFocus();
        if (how == 0) {
            QTest::mouseClick(dialog.cancelButton(), Qt::LeftButton);
        } else if (how == 2) {
            dialog.close();
        } else {
            QTest::keyClick(dialog.geminiField(), how == 1 ? Qt::Key_Escape : Qt::Key_Return);
        }
        QTRY_VERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(saved ? QDialog::Accepted : QDialog::Rejected));
        QCOMPARE(m_alerts.size(), int(saved));
        QCOMPARE(stored(), saved ? u"-|AIza-new|-"_s : u"-|-|-"_s);
    }
};

QTEST_MAIN(TestAPIKeyDialog)
#include "tst_apikeydialog.moc"
