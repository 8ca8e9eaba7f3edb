#include "CaseTable.h"
#include "TestEnvironment.h"
#include "history/AsyncSecretStore.h"
#include "history/KeychainService.h"
#include "platform/SecretServiceStore.h"
#include "views/APIKeyConfigView.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>

using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

namespace {

// The session's Secret Service under a service name of this test's own (tests
// running beside it keep their keys), refusing to change one account.
class TestKeyring : public SecretStore
{
public:
    SecretServiceStore real{3s};
    QString refused;

    Lookup read(const QString& service, const QString& account) override
    {
        return real.read(service + u".sheet-test"_s, account);
    }
    Status write(const QString& s, const QString& account, const QByteArray& secret) override
    {
        return account == refused ? Status::Unavailable
                                  : real.write(s + u".sheet-test"_s, account, secret);
    }
    Status remove(const QString& s, const QString& account) override
    {
        return account == refused ? Status::Unavailable
                                  : real.remove(s + u".sheet-test"_s, account);
    }
    QString displayName() const override { return real.displayName(); }
};

const QStringList accounts{KeychainService::openAIKeyAccount, KeychainService::geminiKeyAccount,
                           KeychainService::ocrSpaceKeyAccount};

} // namespace

class TestAPIKeyConfigView : public QObject
{
    Q_OBJECT

    TestEnvironment m_env;
    std::shared_ptr<TestKeyring> m_keyring = std::make_shared<TestKeyring>();
    AsyncSecretStore m_secrets{m_keyring};
    KeychainService m_keychain{m_secrets};

    // Keys as "OpenAI|Gemini|OCR.space", "-" for none.
    QString stored()
    {
        QStringList keys;
        for (const QString& account : accounts) {
            const auto lookup = KeychainService::readKeyNow(*m_keyring, account);
            keys << (lookup.found() ? lookup.key : u"-"_s);
        }
        return keys.join(u'|');
    }

private slots:
    void initTestCase()
    {
        if (m_keyring->real.read(u"com.quillsnap.probe"_s, u"probe"_s).status !=
            SecretStore::Status::NotFound) {
            QSKIP("no Secret Service in this session (run under scripts/test.sh)");
        }
    }

    // Before each row "old-openai|old-gemini|-" is stored; the fields show
    // the keys, masked. While the sheet is open another program stores
    // "later" for OCR.space, whose field showed nothing. Then the fields are
    // typed and the sheet left with a key.
    void save_data()
    {
        // typed, key (R Return, E Escape, C Cancel, X close button), refused (account digit),
        // stored, failure (empty: closed a second after "saved")
        rows({u" a |b\t|c→R→→ a |b\t|c→", u"old-openai|old-gemini|→R→→old-openai|old-gemini|later→",
              u"||→R→→-|-|later→", // emptied fields remove their keys, not the unseen one
              u"a|b|c→R→1→a|old-gemini|later→The Gemini API key could not be saved.",
              u"|old-gemini|c→R→0→old-openai|old-gemini|later→The OpenAI API key could not be "
              u"removed.",
              u"a||c→E→→old-openai|old-gemini|later→", u"a||c→C→→old-openai|old-gemini|later→",
              u"a||c→X→→old-openai|old-gemini|later→"});
    }
    void save()
    {
        const QStringList f = fields();
        const QString &typed = f[0], &key = f[1], &refused = f[2], &stored = f[3], &failure = f[4];
        m_keyring->refused.clear();
        QVERIFY(KeychainService::saveKeyNow(*m_keyring, u"old-openai"_s, accounts[0]) &&
                KeychainService::saveKeyNow(*m_keyring, u"old-gemini"_s, accounts[1]) &&
                KeychainService::deleteKeyNow(*m_keyring, accounts[2]));
        APIKeyConfigView sheet(m_keychain);
        sheet.show();
        QVERIFY(QTest::qWaitForWindowActive(&sheet));
        QTRY_VERIFY(sheet.saveButton()->isEnabled());
        QCOMPARE(sheet.field(APIKeyConfigView::OpenAI)->text() + u'|' +
                     sheet.field(APIKeyConfigView::OCRSpace)->text(),
                 u"old-openai|"_s);
        QCOMPARE(sheet.field(APIKeyConfigView::Gemini)->echoMode(), QLineEdit::Password);
        QVERIFY(sheet.field(APIKeyConfigView::OpenAI)->hasFocus());

        QVERIFY(KeychainService::saveKeyNow(*m_keyring, u"later"_s, accounts[2]));
        m_keyring->refused = refused.isEmpty() ? QString() : accounts[refused.toInt()];
        for (int i = 0; i < 3; ++i) {
            sheet.field(APIKeyConfigView::Provider(i))->setText(typed.split(u'|')[i]);
        }
        QElapsedTimer clock;
        clock.start();
        if (key == u"C" || key == u"X") {
            QTest::mouseClick(key == u"C" ? static_cast<QWidget*>(sheet.cancelButton())
                                          : sheet.closeButton(),
                              Qt::LeftButton);
        } else {
            QTest::keyClick(sheet.field(APIKeyConfigView::OpenAI),
                            key == u"R" ? Qt::Key_Return : Qt::Key_Escape);
        }
        if (!failure.isEmpty()) {
            QTRY_VERIFY(sheet.failureMessage()->isVisible());
            QVERIFY(sheet.failureMessage()->text().startsWith(failure));
            // Stays open on that provider's tab, free to try again.
            QCOMPARE(sheet.tabs()->currentIndex(), refused.toInt());
            QVERIFY(sheet.isVisible() && sheet.saveButton()->isEnabled());
        } else if (key == u"R") {
            QTRY_VERIFY(sheet.successMessage()->isVisible());
            QTRY_VERIFY_WITH_TIMEOUT(!sheet.isVisible(), 3000);
            QVERIFY(clock.elapsed() >= APIKeyConfigView::closeDelayMs);
        } else {
            QVERIFY(!sheet.isVisible() && sheet.result() == QDialog::Rejected);
            QTest::qWait(100);
        }
        QCOMPARE(this->stored(), stored);
    }
};

QTEST_MAIN(TestAPIKeyConfigView)
#include "tst_apikeyconfigview.moc"
