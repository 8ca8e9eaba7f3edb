#include "views/SyncFooter.h"

#include "SyncHome.h"

#include <QCheckBox>
#include <QLabel>
#include <QTest>

using namespace Qt::StringLiterals;

class TestSyncFooter : public QObject
{
    Q_OBJECT
private slots:
    void followsTheService();
};

void TestSyncFooter::followsTheService()
{
    QTemporaryDir folder;
    SyncHome home(u"alpha"_s, u"folder"_s, folder.path());
    home.setSecret(SyncConfiguration::passphraseAccount, {});
    home.sync->setSuccessDuration(std::chrono::milliseconds(300));
    SyncFooter footer(*home.sync);
    const auto shows = [&footer] { return footer.statusIndicator()->accessibleName(); };
    QVERIFY(!footer.enableSwitch()->isChecked() && shows().isEmpty());
    QCOMPARE(footer.lastSyncLabel()->text(), u"Last sync: Never"_s);

    // The user turns it on without a passphrase: the reason, also as tooltip.
    footer.enableSwitch()->click();
    QVERIFY(home.preferences.iCloudSyncEnabled());
    const QString why = u"Sync is not available: no sync passphrase is set"_s;
    QTRY_COMPARE(shows(), u"Sync failed: "_s + why);
    QCOMPARE(footer.statusIndicator()->toolTip(), why);

    // Turned off elsewhere, and on again with a passphrase: a run, "Synced",
    // then the plain "on" symbol.
    home.sync->setICloudSyncEnabled(false);
    QVERIFY(!footer.enableSwitch()->isChecked());
    home.setSecret(SyncConfiguration::passphraseAccount, "passphrase");
    footer.enableSwitch()->click();
    QTRY_COMPARE(shows(), u"Synced"_s);
    QCOMPARE(footer.lastSyncLabel()->text(), u"Last sync: just now"_s);
    QTRY_COMPARE(shows(), u"Sync is on"_s);
    QCOMPARE(footer.statusIndicator()->toolTip(), QString());
}

QTEST_MAIN(TestSyncFooter)
#include "tst_syncfooter.moc"
