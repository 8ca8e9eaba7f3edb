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
#include <QTest>
#include <QToolButton>

using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

namespace {

// The session's Secret Service, under a service name of this test's own (so
// that tests running beside it keep their keys), refusing to write or remove
// the items of one account.
class TestKeyring : public SecretStore
{
public:
    SecretServiceStore real{3s};
    QString refused;

    Lookup read(const QString& service, const QString& account) override
    {
        return real.read(service + u".sheet-test"_s, account);
    }
    Status write(const QString& service, const QString& account, const QByteArray& secret) override
    {
        return account == refused ? Status::Unavailable
                                  : real.write(service + u".sheet-test"_s, account, secret);
    }
    Status remove(const QString& service, const QString& account) override
    {
        return account == refused ? Status::Unavailable
                                  : real.remove(service + u".sheet-test"_s, account);
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
    std::unique_ptr<APIKeyConfigView> m_sheet;
    QList<QUrl> m_opened;

    // Stores keys as "OpenAI|Gemini|OCR.space", "-" for none.
    void store(const QString& keys)
    {
        const QStringList k = keys.split(u'|');
        for (int i = 0; i < 3; ++i) {
            QVERIFY(k[i] == u"-" ? KeychainService::deleteKeyNow(*m_keyring, accounts[i])
                                 : KeychainService::saveKeyNow(*m_keyring, k[i], accounts[i]));
        }
    }
    QString stored()
    {
        QStringList keys;
        for (const QString& account : accounts) {
            const auto lookup = KeychainService::readKeyNow(*m_keyring, account);
            keys << (lookup.found() ? lookup.key : u"-"_s);
        }
        return keys.join(u'|');
    }
    APIKeyConfigView& open()
    {
        m_sheet = std::make_unique<APIKeyConfigView>(m_keychain, nullptr, [this](const QUrl& url) {
            m_opened << url;
            return true;
        });
        m_sheet->show();
        [this] {
            QVERIFY(QTest::qWaitForWindowActive(m_sheet.get()));
            QTRY_VERIFY(m_sheet->saveButton()->isEnabled());
        }();
        return *m_sheet;
    }
    QString fields() const
    {
        QStringList texts;
        for (auto p :
             {APIKeyConfigView::OpenAI, APIKeyConfigView::Gemini, APIKeyConfigView::OCRSpace}) {
            texts << m_sheet->field(p)->text();
        }
        return texts.join(u'|');
    }

private slots:
    void initTestCase()
    {
        if (m_keyring->real.read(u"com.quillsnap.probe"_s, u"probe"_s).status !=
            SecretStore::Status::NotFound) {
            QSKIP("no Secret Service in this session (run under scripts/test.sh)");
        }
    }
    void init() { m_keyring->refused.clear(); }
    void cleanup() { m_sheet.reset(); }

    void opening()
    {
        store(u"sk-stored|-| K8 spaced "_s);
        APIKeyConfigView& sheet = open();
        QCOMPARE(fields(), u"sk-stored|| K8 spaced "_s);
        QCOMPARE(sheet.field(APIKeyConfigView::OpenAI)->echoMode(), QLineEdit::Password);
        QVERIFY(sheet.field(APIKeyConfigView::OpenAI)->hasFocus());
        QStringList tabs, placeholders;
        for (int i = 0; i < 3; ++i) {
            tabs << sheet.tabs()->tabText(i);
            placeholders << sheet.field(APIKeyConfigView::Provider(i))->placeholderText();
            emit sheet.link(APIKeyConfigView::Provider(i))
                ->linkActivated(sheet.link(APIKeyConfigView::Provider(i))->toolTip());
        }
        QCOMPARE(tabs.join(u'|'), u"OpenAI|Google Gemini|OCR.space"_s);
        QCOMPARE(placeholders.join(u'|'), u"sk-...|AIza...|K8..."_s);
        QCOMPARE(m_opened.size(), 3);
        QCOMPARE(m_opened[2].host(), u"ocr.space"_s);
        // The description names the store that really holds the keys.
        bool named = false;
        for (QLabel* label : sheet.findChildren<QLabel*>()) {
            named |=
                label->text().endsWith(u"stored securely in "_s + m_keyring->displayName() + u'.');
        }
        QVERIFY(named);
        // Switching tabs puts the cursor in that tab's field.
        sheet.tabs()->setCurrentIndex(1);
        QVERIFY(sheet.field(APIKeyConfigView::Gemini)->hasFocus());
    }

    void save_data()
    {
        // Before each row: "old-openai|old-gemini|-" stored; while the sheet is
        // open another program stores "later" for OCR.space, whose field
        // showed nothing.
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("refused"); // account digit
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("failure");
        QTest::newRow("typed as is, spaces kept")
            << u" a |b\t|c"_s << QString() << u" a |b\t|c"_s << QString();
        QTest::newRow("unchanged fields") << u"old-openai|old-gemini|"_s << QString()
                                          << u"old-openai|old-gemini|later"_s << QString();
        QTest::newRow("emptied fields remove their keys, not the unseen one")
            << u"||"_s << QString() << u"-|-|later"_s << QString();
        QTest::newRow("Gemini refused: OpenAI saved, OCR.space untouched")
            << u"a|b|c"_s << u"1"_s << u"a|old-gemini|later"_s
            << u"The Gemini API key could not be saved."_s;
        QTest::newRow("removal refused")
            << u"|old-gemini|c"_s << u"0"_s << u"old-openai|old-gemini|later"_s
            << u"The OpenAI API key could not be removed."_s;
    }
    void save()
    {
        QFETCH(QString, typed);
        QFETCH(QString, refused);
        QFETCH(QString, stored);
        QFETCH(QString, failure);
        store(u"old-openai|old-gemini|-"_s);
        APIKeyConfigView& sheet = open();
        QVERIFY(KeychainService::saveKeyNow(*m_keyring, u"later"_s, accounts[2]));
        m_keyring->refused = refused.isEmpty() ? QString() : accounts[refused.toInt()];
        const QStringList texts = typed.split(u'|');
        for (int i = 0; i < 3; ++i) {
            sheet.field(APIKeyConfigView::Provider(i))->setText(texts[i]);
        }
        QElapsedTimer clock;
        clock.start();
        QTest::keyClick(sheet.field(APIKeyConfigView::OpenAI), Qt::Key_Return);
        if (failure.isEmpty()) {
            QTRY_VERIFY(sheet.successMessage()->isVisible());
            QTRY_VERIFY_WITH_TIMEOUT(!sheet.isVisible(), 3000);
            QVERIFY(clock.elapsed() >= APIKeyConfigView::closeDelayMs);
            QCOMPARE(sheet.result(), int(QDialog::Accepted));
        } else {
            QTRY_VERIFY(sheet.failureMessage()->isVisible());
            QVERIFY(sheet.failureMessage()->text().startsWith(failure));
            QCOMPARE(sheet.tabs()->currentIndex(), refused.toInt());
            QVERIFY(sheet.isVisible() && !sheet.successMessage()->isVisible());
            QVERIFY(sheet.saveButton()->isEnabled()); // free to try again
        }
        QCOMPARE(this->stored(), stored);
    }

    void closingStoresNothing_data()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("Cancel") << 0;
        QTest::newRow("Escape") << 1;
        QTest::newRow("close button") << 2;
    }
    void closingStoresNothing()
    {
        QFETCH(int, how);
        store(u"-|old|-"_s);
        APIKeyConfigView& sheet = open();
        sheet.field(APIKeyConfigView::Gemini)->clear();
        sheet.field(APIKeyConfigView::OpenAI)->setText(u"new"_s);
        if (how == 0) {
            QTest::mouseClick(sheet.cancelButton(), Qt::LeftButton);
        } else if (how == 1) {
            QTest::keyClick(sheet.field(APIKeyConfigView::OpenAI), Qt::Key_Escape);
        } else {
            QTest::mouseClick(sheet.closeButton(), Qt::LeftButton);
        }
        QVERIFY(!sheet.isVisible());
        QCOMPARE(sheet.result(), int(QDialog::Rejected));
        QTest::qWait(100);
        QCOMPARE(stored(), u"-|old|-"_s);
    }
};

QTEST_MAIN(TestAPIKeyConfigView)
#include "tst_apikeyconfigview.moc"
