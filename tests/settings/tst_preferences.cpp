#include "CaseTable.h"
#include "TestEnvironment.h"
#include "settings/PreferenceKeys.h"
#include "settings/Preferences.h"

#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

class TestPreferences : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<TestEnvironment> m_env;
    QString m_path;

    void writeFile(const QByteArray& content)
    {
        QDir().mkpath(QFileInfo(m_path).absolutePath());
        QFile file(m_path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

private slots:
    void init()
    {
        m_env = std::make_unique<TestEnvironment>();
        m_path = m_env->configHome() + u"/q/quillsnap.conf"_s;
    }

    void storedValuesAreReadBack()
    {
        const QDateTime when =
            QDateTime::fromString(u"2026-01-02T03:04:05.678Z"_s, Qt::ISODateWithMs);
        {
            Preferences p(m_path);
            QVERIFY(p.loadProblem().isEmpty());
            QVERIFY(!QFileInfo::exists(m_path)); // reading never writes
            p.setValue(PreferenceKeys::openaiCustomModel, u" llava:13b "_s);
            p.setValue(PreferenceKeys::showMenuBarIcon, false);
            p.setValue(PreferenceKeys::lastSyncDate, when);
            p.setValue(PreferenceKeys::hotkeyKeyCode, qint64(4294967296LL));
            p.setValue(PreferenceKeys::hotkeyModifiers, qint64(4294967295LL));
        }
        Preferences reread(m_path);
        QCOMPARE(reread.openaiModelForRequest(), u"llava:13b"_s);
        QCOMPARE(reread.lastSyncDate(), std::optional<QDateTime>(when));
        // Legacy key codes must fit 32 bits.
        QCOMPARE(reread.uint32Value(PreferenceKeys::hotkeyKeyCode), std::nullopt);
        QCOMPARE(reread.uint32Value(PreferenceKeys::hotkeyModifiers), 4294967295U);
        // A removed value reads as its default again.
        QVERIFY(!reread.showMenuBarIcon());
        reread.remove(PreferenceKeys::showMenuBarIcon);
        QVERIFY(reread.showMenuBarIcon());
    }

    // Columns: the text in the file, read as a switch, as a key code ("-": none).
    void iniText_data()
    {
        QTest::addColumn<QString>("raw");
        QTest::addColumn<QString>("asBool");
        QTest::addColumn<QString>("asUInt32");
        addRows({u"TRUE→true→-", u"false→false→-", u"1→true→1", u"0→false→0", u"-1→true→-",
                 u"maybe→false→-"});
    }

    void iniText()
    {
        QFETCH(QString, raw);
        writeFile("[General]\naiEnhancedOCREnabled=" + raw.toUtf8() +
                  "\nhotkeyKeyCode=" + raw.toUtf8() + "\n");
        const Preferences p(m_path);
        const auto code = p.uint32Value(PreferenceKeys::hotkeyKeyCode);
        QTEST(QVariant(p.aiEnhancedOCREnabled()).toString(), "asBool");
        QTEST(code ? QString::number(*code) : u"-"_s, "asUInt32");
    }

    void damagedFileIsLeftAlone_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("unterminated section")
            << QByteArray("[General\nhotkeyKeyCode=28\nhotkeyModifiers=768\n[Other]\nkeep=1\n");
        QTest::newRow("binary garbage")
            << QByteArray("\x01\x02[\xff\xfe\nhotkeyKeyCode=28\nhotkeyModifiers=768\n\0\0", 38);
    }

    void damagedFileIsLeftAlone()
    {
        QFETCH(QByteArray, content);
        writeFile(content);
        {
            Preferences p(m_path);
            QVERIFY(!p.loadProblem().isEmpty());
            // Defaults, not what a lenient parser made of the damage.
            QVERIFY(!p.contains(PreferenceKeys::hotkeyKeyCode));
            // A change lives in memory for this run.
            p.setValue(PreferenceKeys::hotkeySequence, u"{}"_s);
            QCOMPARE(p.stringValue(PreferenceKeys::hotkeySequence), u"{}"_s);
            p.sync();
        }
        QFile file(m_path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), content);
    }
};

QTEST_GUILESS_MAIN(TestPreferences)
#include "tst_preferences.moc"
