#include "CaseTable.h"
#include "SyncHome.h"
#include "views/SegmentedControl.h"
#include "views/SyncSettingsView.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

using namespace Qt::StringLiterals;

class TestSyncSettings : public QObject
{
    Q_OBJECT

    QTemporaryDir m_folder;
    std::unique_ptr<SyncHome> m_home;
    std::unique_ptr<SyncSettingsView> m_view;

    QLineEdit* field(const QString& name) const
    {
        const auto all = m_view->findChildren<QLineEdit*>();
        return *std::find_if(all.begin(), all.end(),
                             [&](QLineEdit* e) { return e->accessibleName() == name; });
    }
    // Types into a field as a user does, then presses Return.
    void type(const QString& name, const QString& text)
    {
        QVERIFY(field(name)->isVisible());
        field(name)->selectAll();
        QTest::keyClicks(field(name), text.isEmpty() ? u"\b"_s : text);
        QTest::keyClick(field(name), Qt::Key_Return);
    }

private slots:
    void init()
    {
        m_home = std::make_unique<SyncHome>(u"alpha"_s, u"folder"_s, m_folder.path(), "old");
        m_view =
            std::make_unique<SyncSettingsView>(*m_home->sync, m_home->preferences, m_home->secrets);
        m_view->show();
        QTRY_COMPARE(field(u"Passphrase"_s)->text(), u"old"_s); // read from the keyring
    }

    void fields_data()
    {
        // field→method→typed→preference or keyring account→stored→reason shown
        rows({u"Server Address→webdav→http://[::1]:8/q→syncWebDAVURL→http://[::1]:8/q→",
              u"Server Address→webdav→http://example.com/q→syncWebDAVURL→→Not saved: the WebDAV "
              u"address must start with https://",
              u"User Name→webdav→  anna →syncWebDAVUser→anna→", u"Folder→folder→→syncFolder→→",
              u"Folder→folder→~/Sync/q/→syncFolder→~/Sync/q→",
              u"Folder→folder→Sync→syncFolder→@→Not saved: the sync folder \"Sync\" is not an",
              u"Password→webdav→ p w →webdav-password→ p w →", u"Passphrase→folder→→passphrase→→",
              u"Passphrase→folder→new→passphrase→old→Not saved: memory is locked"});
    }
    void fields()
    {
        const QStringList f = ::fields();
        m_home->preferences.setValue(PreferenceKeys::syncBackend, f[1]);
        QCOMPARE(field(u"Server Address"_s)->isVisible(), f[1] == u"webdav");
        m_home->keyring->unavailable = f[5].contains(u"locked");
        type(f[0], f[2]);
        const auto stored = [&] {
            return f[0].startsWith(u"Pass")
                       ? QString::fromUtf8(m_home->keyring->secret(
                             QString(SyncConfiguration::keychainService), f[3]))
                       : m_home->preferences.value(QLatin1String(f[3].toLatin1())).toString();
        };
        QTRY_COMPARE(stored(), f[4] == u"@" ? m_folder.path()
                                            : QString(f[4]).replace(u'~', QDir::homePath()));
        QTRY_COMPARE(field(f[0])->accessibleDescription().startsWith(u"Not"), !f[5].isEmpty());
        QVERIFY(f[5].isEmpty() || field(f[0])->accessibleDescription().startsWith(f[5]));
    }

    void testConnection()
    {
        const auto check = [this](const QString& expected) {
            m_view->testButton()->click();
            QVERIFY(!m_view->testButton()->isEnabled()); // until the answer
            QTRY_VERIFY(m_view->testResult()->text().startsWith(expected));
        };
        check(u"Connection works."_s);
        type(u"Passphrase"_s, u"another"_s);
        check(u"The sync passphrase does not match the one used on your other machines."_s);
        m_view->enableSwitch()->click(); // the reason shows under the switch too
        QTRY_VERIFY(m_view->enableSwitch()->accessibleDescription().contains(u"does not match"));
        m_view->methodPicker()->button(0)->click();
        type(u"Server Address"_s, u"http://127.0.0.1:1/dav"_s);
        check(u"Cannot reach 127.0.0.1"_s);
    }
};

QTEST_MAIN(TestSyncSettings)
#include "tst_syncsettings.moc"
