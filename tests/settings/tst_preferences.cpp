#include "FileMode.h"
#include "TestEnvironment.h"
#include "common/AppPaths.h"
#include "common/NotificationHub.h"
#include "settings/PreferenceKeys.h"
#include "settings/Preferences.h"

#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>

#include <memory>

class TestPreferences : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void defaultsOfAnEmptyStore();
    void storedValuesWin();
    void iniTextIsReadBack_data();
    void iniTextIsReadBack();
    void uint32Values_data();
    void uint32Values();
    void binaryKeysLiveInPrivateFiles();
    void binaryWriteFailureKeepsOldValue();
    void sharedStoreFollowsXdg();
    void privateTempDirIsPrivate();
    void hubDeliversNameAndObject();

private:
    std::unique_ptr<TestEnvironment> m_env;
    std::unique_ptr<Preferences> m_prefs;
};

void TestPreferences::init()
{
    m_env = std::make_unique<TestEnvironment>();
    m_prefs =
        std::make_unique<Preferences>(m_env->configHome() + QStringLiteral("/q/quillsnap.conf"),
                                      m_env->dataHome() + QStringLiteral("/quillsnap"));
}

void TestPreferences::cleanup()
{
    m_prefs.reset();
    m_env.reset();
}

void TestPreferences::defaultsOfAnEmptyStore()
{
    const Preferences& p = *m_prefs;
    QCOMPARE(p.hasCompletedOnboarding(), false);
    QCOMPARE(p.aiEnhancedOCREnabled(), false);
    QCOMPARE(p.aiProvider(), QStringLiteral("openai"));
    QCOMPARE(p.openaiModel(), QStringLiteral("gpt-4o"));
    // The menu and the Gemini client disagree on purpose.
    QCOMPARE(p.geminiModelForMenu(), QStringLiteral("gemini-2.5-flash"));
    QCOMPARE(p.geminiModelForClient(), QStringLiteral("gemini-1.5-pro"));
    QCOMPARE(p.additiveClipboardEnabled(), false);
    QCOMPARE(p.launchAtLogin(), false);
    QCOMPARE(p.showMenuBarIcon(), true);
    QCOMPARE(p.automaticUpdateChecks(), true);
    QCOMPARE(p.automaticallyUpdate(), false);
    QCOMPARE(p.maxHistoryItems(), 500);
    QCOMPARE(p.autoDeleteAfterDays(), 30);
    QCOMPARE(p.iCloudSyncEnabled(), false);
    QVERIFY(!p.lastSyncDate());
    QVERIFY(!p.stringValue(PreferenceKeys::hotkeySequence));
    QVERIFY(!p.dataValue(PreferenceKeys::captureHistory));
    QVERIFY(!p.contains(PreferenceKeys::captureHistoryEncrypted));
    // Reading never writes.
    QVERIFY(!QFileInfo::exists(p.configFile()));
}

void TestPreferences::storedValuesWin()
{
    m_prefs->setValue(PreferenceKeys::geminiModel, QStringLiteral("gemini-2.0-flash-exp"));
    m_prefs->setValue(PreferenceKeys::showMenuBarIcon, false);
    m_prefs->setValue(PreferenceKeys::autoDeleteAfterDays, 0);
    m_prefs->setValue(PreferenceKeys::aiProvider, QStringLiteral("something-else"));
    const QDateTime when =
        QDateTime::fromString(QStringLiteral("2026-01-02T03:04:05.678Z"), Qt::ISODateWithMs);
    m_prefs->setValue(PreferenceKeys::lastSyncDate, when);
    m_prefs->sync();

    Preferences reread(m_prefs->configFile(), m_prefs->dataDir());
    QCOMPARE(reread.geminiModelForMenu(), QStringLiteral("gemini-2.0-flash-exp"));
    QCOMPARE(reread.geminiModelForClient(), QStringLiteral("gemini-2.0-flash-exp"));
    QCOMPARE(reread.showMenuBarIcon(), false);
    QCOMPARE(reread.autoDeleteAfterDays(), 0);
    QCOMPARE(reread.aiProvider(), QStringLiteral("something-else"));
    QCOMPARE(reread.lastSyncDate(), std::optional<QDateTime>(when));

    reread.remove(PreferenceKeys::showMenuBarIcon);
    QCOMPARE(reread.showMenuBarIcon(), true);
}

void TestPreferences::iniTextIsReadBack_data()
{
    QTest::addColumn<QString>("raw");
    QTest::addColumn<bool>("asBool");
    QTest::newRow("true") << QStringLiteral("true") << true;
    QTest::newRow("TRUE") << QStringLiteral("TRUE") << true;
    QTest::newRow("false") << QStringLiteral("false") << false;
    QTest::newRow("1") << QStringLiteral("1") << true;
    QTest::newRow("0") << QStringLiteral("0") << false;
    QTest::newRow("garbage") << QStringLiteral("maybe") << false;
}

void TestPreferences::iniTextIsReadBack()
{
    QFETCH(QString, raw);
    QFETCH(bool, asBool);
    QDir().mkpath(QFileInfo(m_prefs->configFile()).absolutePath());
    QFile file(m_prefs->configFile());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[General]\naiEnhancedOCREnabled=" + raw.toUtf8() + "\n");
    file.close();
    Preferences reread(m_prefs->configFile(), m_prefs->dataDir());
    QCOMPARE(reread.aiEnhancedOCREnabled(), asBool);
}

void TestPreferences::uint32Values_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<std::optional<quint32>>("expected");
    QTest::newRow("8") << QVariant(8) << std::optional<quint32>(8);
    QTest::newRow("max") << QVariant(qint64(4294967295LL)) << std::optional<quint32>(4294967295U);
    QTest::newRow("too large") << QVariant(qint64(4294967296LL)) << std::optional<quint32>();
    QTest::newRow("negative") << QVariant(-1) << std::optional<quint32>();
    QTest::newRow("text") << QVariant(QStringLiteral("eight")) << std::optional<quint32>();
}

void TestPreferences::uint32Values()
{
    QFETCH(QVariant, stored);
    QFETCH(std::optional<quint32>, expected);
    m_prefs->setValue(PreferenceKeys::hotkeyKeyCode, stored);
    m_prefs->sync();
    Preferences reread(m_prefs->configFile(), m_prefs->dataDir());
    QCOMPARE(reread.uint32Value(PreferenceKeys::hotkeyKeyCode), expected);
}

void TestPreferences::binaryKeysLiveInPrivateFiles()
{
    QSignalSpy changed(m_prefs.get(), &Preferences::changed);
    QByteArray blob(300000, '\0');
    for (int i = 0; i < blob.size(); ++i) {
        blob[i] = char(i * 7);
    }
    QVERIFY(m_prefs->setDataValue(PreferenceKeys::captureHistoryEncrypted, blob));
    QCOMPARE(changed.count(), 1);
    const QString path = m_prefs->dataPath(PreferenceKeys::captureHistoryEncrypted);
    QCOMPARE(path, m_env->dataHome() + QStringLiteral("/quillsnap/captureHistoryEncrypted"));
    QCOMPARE(fileMode(path), 0600);
    QCOMPARE(m_prefs->dataValue(PreferenceKeys::captureHistoryEncrypted),
             std::optional<QByteArray>(blob));
    QVERIFY(m_prefs->contains(PreferenceKeys::captureHistoryEncrypted));
    // The INI file stays small: the blob is not in it.
    m_prefs->sync();
    QVERIFY(QFileInfo(m_prefs->configFile()).size() < 1000);

    QVERIFY(m_prefs->removeDataValue(PreferenceKeys::captureHistoryEncrypted));
    QVERIFY(!QFileInfo::exists(path));
    QVERIFY(m_prefs->removeDataValue(PreferenceKeys::captureHistoryEncrypted));
}

void TestPreferences::binaryWriteFailureKeepsOldValue()
{
    QVERIFY(m_prefs->setDataValue(PreferenceKeys::captureHistory, "old"));
    // A directory where the temporary file would go makes the write fail
    // (also for root): the old value must stay and the call report it.
    Preferences blocked(m_prefs->configFile(), m_prefs->dataPath(PreferenceKeys::captureHistory));
    QVERIFY(!blocked.setDataValue(PreferenceKeys::captureHistory, "new"));
    QCOMPARE(m_prefs->dataValue(PreferenceKeys::captureHistory), std::optional<QByteArray>("old"));
}

void TestPreferences::sharedStoreFollowsXdg()
{
    // The shared store is created once per process, from the environment of
    // the first call: this test owns it.
    Preferences& shared = Preferences::shared();
    QVERIFY(shared.configFile().endsWith(QStringLiteral("/quillsnap/quillsnap.conf")));
    QVERIFY(shared.dataDir().endsWith(QStringLiteral("/quillsnap")));
    QCOMPARE(AppPaths::configDir(), m_env->configHome() + QStringLiteral("/quillsnap"));
}

void TestPreferences::privateTempDirIsPrivate()
{
    const QString dir = AppPaths::privateTempDir();
    QCOMPARE(dir, m_env->runtimeDir() + QStringLiteral("/quillsnap"));
    QCOMPARE(fileMode(dir), 0700);

    // Without a runtime directory, a per-user directory under the temp path.
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    qunsetenv("XDG_RUNTIME_DIR");
    const QString fallback = AppPaths::privateTempDir();
    qputenv("XDG_RUNTIME_DIR", saved);
    QVERIFY(!fallback.isEmpty());
    QVERIFY(fallback.startsWith(QDir::tempPath() + QStringLiteral("/quillsnap-")));
    QCOMPARE(fileMode(fallback), 0700);
}

void TestPreferences::hubDeliversNameAndObject()
{
    NotificationHub hub;
    QSignalSpy spy(&hub, &NotificationHub::posted);
    hub.post(NotificationNames::updateMenuBarVisibility, true);
    hub.post(NotificationNames::showHotkeyRecorder);
    QCOMPARE(spy.count(), 2);
    QCOMPARE(spy.at(0).at(0).toString(), QStringLiteral("UpdateMenuBarVisibility"));
    QCOMPARE(spy.at(0).at(1), QVariant(true));
    QCOMPARE(spy.at(1).at(0).toString(), QStringLiteral("ShowHotkeyRecorder"));
    QVERIFY(!spy.at(1).at(1).isValid());
}

QTEST_GUILESS_MAIN(TestPreferences)
#include "tst_preferences.moc"
