#include "TestEnvironment.h"
#include "common/Clock.h"
#include "history/AsyncSecretStore.h"
#include "history/EncryptionService.h"
#include "history/HistoryService.h"
#include "platform/SecretStoreFactory.h"
#include "settings/PreferenceKeys.h"
#include "settings/Preferences.h"
#include "sync/SyncConfiguration.h"

#include "CaseTable.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

struct Run
{
    int status = -1;
    QString out;
    QString err;
};

// quillsnap-cli with no application running: it does the work itself.
Run cli(const QString& args, const QByteArray& input = {})
{
    QProcess process;
    process.start(QStringLiteral(QUILLSNAP_CLI_PATH), args.split(u' ', Qt::SkipEmptyParts));
    process.write(input);
    process.closeWriteChannel();
    const bool ended =
        process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit;
    return {ended ? process.exitCode() : -1, QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

} // namespace

// `history import` and `sync` without the tray application, under the
// history's lock, against the session's keyring.
class TestCliSync : public QObject
{
    Q_OBJECT

private:
    TestEnvironment m_env;
    QTemporaryDir m_dir;
    QString m_dataDir = m_env.dataHome() + u"/quillsnap"_s;
    std::shared_ptr<SecretStore> m_keyring = SecretStoreFactory::create();

    QStringList stored()
    {
        const auto items =
            HistoryService::readStored(m_dataDir, m_keyring, std::chrono::seconds(5));
        QStringList texts;
        for (const HistoryItem& item : items ? *items : QList<HistoryItem>()) {
            texts.append(item.text);
        }
        return texts;
    }
    void write(const QString& name, const QList<HistoryItem>& items)
    {
        QFile file(m_dir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(*HistoryItem::encodeListJson(items)));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(QDir::setCurrent(m_dir.path()));
        const QDateTime now = QDateTime::currentDateTimeUtc();
        QList<HistoryItem> three;
        for (int i = 0; i < 3; ++i) {
            three.append(HistoryItem::create(u"record %1"_s.arg(i), now.addSecs(-60 * i), u"pc"_s));
        }
        write(u"three.json"_s, three);
        write(u"mixed.json"_s, {three.first(), HistoryItem::create(u"fourth"_s, now, u"pc"_s)});
        write(u"old.json"_s, {HistoryItem::create(u"old"_s, now.addDays(-40))});
        QFile junk(u"junk.txt"_s);
        QVERIFY(junk.open(QIODevice::WriteOnly) && junk.write("[{\"id\": 1}]"));
    }

    // Columns: arguments, the file on standard input, status, standard
    // output, or the end of standard error.
    void import_data()
    {
        rows({
            u"history import three.json→→0→added 3, already present 0\n",
            u"history import three.json→→0→added 0, already present 3\n",
            u"history import -→mixed.json→0→added 1, already present 1\n",
            u"history import old.json→→0→added 0, already present 0, left out 1 older than the "
            u"history keeps\n",
            u"history import junk.txt→→1→junk.txt is not a history export (the JSON list that "
            u"'quillsnap-cli history export' writes)\n",
            u"history import none.json→→1→cannot read none.json: no such file\n",
            u"history import→→2→Run 'quillsnap-cli history --help' for usage.\n",
        });
    }

    void import()
    {
        const QStringList f = fields();
        QFile in(f[1].isEmpty() ? u"/dev/null"_s : f[1]);
        const Run run = cli(f[0], in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray());
        QCOMPARE(QString::number(run.status), f[2]);
        QVERIFY2(run.status == 0 ? run.out == f[3] : run.err.endsWith(f[3]), qPrintable(run.err));
    }

    // The tool waits for the application's lock and adds to what it wrote.
    void importWaitsForTheWriter()
    {
        write(u"fifth.json"_s, {HistoryItem::create(u"fifth"_s)});
        AsyncSecretStore secrets(m_keyring);
        EncryptionService encryption(secrets);
        auto history = std::make_unique<HistoryService>(m_dataDir, encryption, Clock::system());
        QTRY_VERIFY(history->isLoaded());
        history->insert(0, HistoryItem::create(u"by the application"_s));
        history->saveHistory();
        QTRY_VERIFY(!history->hasUnsavedChanges());

        QProcess process;
        process.start(QStringLiteral(QUILLSNAP_CLI_PATH),
                      {u"history"_s, u"import"_s, u"fifth.json"_s});
        QVERIFY(!process.waitForFinished(1500));
        history.reset();
        QVERIFY(process.waitForFinished(15000));
        QCOMPARE(process.readAllStandardOutput(), "added 1, already present 0\n");
        QVERIFY(stored().contains(u"by the application"_s));
        QVERIFY(stored().contains(u"fifth"_s));
    }

    void syncWithAFolder()
    {
        QCOMPARE(stored().size(), 6);
        const Run off = cli(u"sync"_s);
        QVERIFY2(off.status == 1 && off.err.contains(u"sync is turned off"_s), qPrintable(off.err));
        {
            Preferences preferences(m_env.configHome() + u"/quillsnap/quillsnap.conf"_s);
            preferences.setValue(PreferenceKeys::iCloudSyncEnabled, true);
            preferences.setValue(PreferenceKeys::syncBackend, u"folder"_s);
            preferences.setValue(PreferenceKeys::syncFolder, m_dir.filePath(u"sync"_s));
        }
        const QString service(SyncConfiguration::keychainService);
        const QString account(SyncConfiguration::passphraseAccount);
        QCOMPARE(m_keyring->write(service, account, "pass"), SecretStore::Status::Ok);
        QCOMPARE(cli(u"sync"_s).out, u"uploaded 6, downloaded 0\n"_s);

        QCOMPARE(m_keyring->write(service, account, "other"), SecretStore::Status::Ok);
        const Run wrong = cli(u"sync"_s);
        QVERIFY2(wrong.status == 1 && wrong.err.contains(u"passphrase does not match"_s),
                 qPrintable(wrong.err));
        QCOMPARE(m_keyring->remove(service, account), SecretStore::Status::Ok);
    }
};

QTEST_GUILESS_MAIN(TestCliSync)
#include "tst_clisync.moc"
