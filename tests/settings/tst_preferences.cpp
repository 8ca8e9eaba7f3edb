#include "TestEnvironment.h"
#include "settings/PreferenceKeys.h"
#include "settings/Preferences.h"

#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <memory>

class TestPreferences : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void readersApplyTheirOwnDefaults();
    void storedValuesAreReadBack();
    void iniText_data();
    void iniText();
    void damagedFileIsLeftAlone_data();
    void damagedFileIsLeftAlone();

private:
    void writeFile(const QByteArray& content);
    std::unique_ptr<TestEnvironment> m_env;
    QString m_path;
};

void TestPreferences::init()
{
    m_env = std::make_unique<TestEnvironment>();
    m_path = m_env->configHome() + QStringLiteral("/q/quillsnap.conf");
}

void TestPreferences::writeFile(const QByteArray& content)
{
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    QFile file(m_path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

void TestPreferences::readersApplyTheirOwnDefaults()
{
    const Preferences p(m_path);
    // Requests go to the model the menu shows as chosen.
    QCOMPARE(p.geminiModelForMenu(), QStringLiteral("gemini-2.5-flash"));
    QCOMPARE(p.geminiModelForClient(), QStringLiteral("gemini-2.5-flash"));
    QCOMPARE(p.openaiModelForRequest(), QStringLiteral("gpt-4o"));
    QCOMPARE(p.openaiBaseURL(), QString());
    QCOMPARE(p.showMenuBarIcon(), true);
    QCOMPARE(p.autoDeleteAfterDays(), 30);
    QVERIFY(p.loadProblem().isEmpty());
    // Reading never writes.
    QVERIFY(!QFileInfo::exists(m_path));
}

void TestPreferences::storedValuesAreReadBack()
{
    const QDateTime when =
        QDateTime::fromString(QStringLiteral("2026-01-02T03:04:05.678Z"), Qt::ISODateWithMs);
    {
        Preferences p(m_path);
        p.setValue(PreferenceKeys::geminiModel, QStringLiteral("gemini-2.0-flash-exp"));
        p.setValue(PreferenceKeys::openaiCustomModel, QStringLiteral(" llava:13b "));
        p.setValue(PreferenceKeys::showMenuBarIcon, false);
        p.setValue(PreferenceKeys::lastSyncDate, when);
        p.setValue(PreferenceKeys::hotkeyKeyCode, qint64(4294967296LL));
        p.setValue(PreferenceKeys::hotkeyModifiers, qint64(4294967295LL));
    }
    Preferences reread(m_path);
    QCOMPARE(reread.geminiModelForClient(), QStringLiteral("gemini-2.0-flash-exp"));
    QCOMPARE(reread.openaiModelForRequest(), QStringLiteral("llava:13b"));
    QCOMPARE(reread.showMenuBarIcon(), false);
    QCOMPARE(reread.lastSyncDate(), std::optional<QDateTime>(when));
    // Legacy key codes must fit 32 bits.
    QCOMPARE(reread.uint32Value(PreferenceKeys::hotkeyKeyCode), std::nullopt);
    QCOMPARE(reread.uint32Value(PreferenceKeys::hotkeyModifiers), 4294967295U);
    reread.remove(PreferenceKeys::showMenuBarIcon);
    QCOMPARE(reread.showMenuBarIcon(), true);
}

void TestPreferences::iniText_data()
{
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<bool>("asBool");
    QTest::addColumn<std::optional<quint32>>("asUInt32");
    QTest::newRow("true") << QByteArray("TRUE") << true << std::optional<quint32>();
    QTest::newRow("false") << QByteArray("false") << false << std::optional<quint32>();
    QTest::newRow("1") << QByteArray("1") << true << std::optional<quint32>(1);
    QTest::newRow("0") << QByteArray("0") << false << std::optional<quint32>(0);
    QTest::newRow("negative") << QByteArray("-1") << true << std::optional<quint32>();
    QTest::newRow("garbage") << QByteArray("maybe") << false << std::optional<quint32>();
}

void TestPreferences::iniText()
{
    QFETCH(QByteArray, raw);
    QFETCH(bool, asBool);
    QFETCH(std::optional<quint32>, asUInt32);
    writeFile("[General]\naiEnhancedOCREnabled=" + raw + "\nhotkeyKeyCode=" + raw + "\n");
    const Preferences p(m_path);
    QCOMPARE(p.aiEnhancedOCREnabled(), asBool);
    QCOMPARE(p.uint32Value(PreferenceKeys::hotkeyKeyCode), asUInt32);
}

void TestPreferences::damagedFileIsLeftAlone_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("unterminated section")
        << QByteArray("[General\nhotkeyKeyCode=28\nhotkeyModifiers=768\n[Other]\nkeep=1\n");
    QTest::newRow("binary garbage")
        << QByteArray("\x01\x02[\xff\xfe\nhotkeyKeyCode=28\nhotkeyModifiers=768\n\0\0", 38);
}

void TestPreferences::damagedFileIsLeftAlone()
{
    QFETCH(QByteArray, content);
    writeFile(content);
    {
        Preferences p(m_path);
        QVERIFY(!p.loadProblem().isEmpty());
        // Defaults, not what a lenient parser made of the damage.
        QVERIFY(!p.contains(PreferenceKeys::hotkeyKeyCode));
        // A change lives in memory for this run.
        p.setValue(PreferenceKeys::hotkeySequence, QStringLiteral("{}"));
        QCOMPARE(p.stringValue(PreferenceKeys::hotkeySequence), QStringLiteral("{}"));
        p.sync();
    }
    QFile file(m_path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), content);
}

QTEST_GUILESS_MAIN(TestPreferences)
#include "tst_preferences.moc"
