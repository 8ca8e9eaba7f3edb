#include "capture/LanguageDownloader.h"
#include "capture/RecognitionLanguages.h"
#include "capture/TesseractRecognizer.h"

#include "CaseTable.h"
#include "LoopbackHttpServer.h"

#include <QDir>
#include <QNetworkAccessManager>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QByteArray systemData(const QString& language)
{
    QFile file(TesseractRecognizer::defaultDataDirectory() + u'/' + language + u".traineddata"_s);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void touch(const QString& path, const QByteArray& data = "x")
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(data) == data.size());
}

} // namespace

class TestRecognitionLanguages : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void installedInBothFolders()
    {
        const QString system = m_dir.filePath(u"system"_s), user = m_dir.filePath(u"user"_s);
        for (const QString& f :
             {u"system/eng.traineddata"_s, u"system/osd.traineddata"_s, u"system/deu.traineddata"_s,
              u"system/configs/x"_s, u"user/deu.traineddata"_s, u"user/chi_sim.traineddata"_s,
              u"user/notes.txt"_s, u"user/Bad Name.traineddata"_s}) {
            touch(m_dir.filePath(f));
        }
        QCOMPARE(RecognitionLanguages::installed({system, user, m_dir.filePath(u"none"_s)}),
                 (QStringList{u"chi_sim"_s, u"deu"_s, u"eng"_s}));
    }

    // What loads when: the stored choice as far as installed, else English
    // and the languages of the locale settings.
    void effective_data()
    {
        // stored ("-": absent), environment, loads
        // Installed: chi_tra deu eng fra nor por srp_latn. Japanese is not.
        rows({u"-→LANG=de_DE.UTF-8→eng+deu", u"-→LANG=C.UTF-8→eng",
              u"-→LANGUAGE=fr:de LANG=en_GB.UTF-8→eng+fra+deu",
              u"-→LC_ALL=pt_BR LANG=de_DE→eng+por+deu", u"-→LC_MESSAGES=zh_TW.UTF-8→eng+chi_tra",
              u"-→LANG=sr_RS@latin→eng+srp_latn", u"-→LANG=nb_NO.UTF-8→eng+nor",
              u"-→LANG=ja_JP.UTF-8→eng", u"deu+eng→LANG=fr_FR→deu+eng", u"deu+jpn+../x→→deu",
              u"jpn→LANG=de_DE→eng+deu", u"→LANG=de_DE→eng+deu"});
    }
    void effective()
    {
        const QStringList f = fields();
        const QString &stored = f[0], &environment = f[1], &loads = f[2];
        QProcessEnvironment env;
        for (const QString& pair : environment.split(u' ', Qt::SkipEmptyParts)) {
            env.insert(pair.section(u'=', 0, 0), pair.section(u'=', 1));
        }
        const QStringList installed = u"chi_tra deu eng fra nor por srp_latn"_s.split(u' ');
        QCOMPARE(RecognitionLanguages::join(RecognitionLanguages::effective(
                     stored == u"-" ? std::nullopt : std::optional(stored), installed, env)),
                 loads);
    }

    // deu chi_sim srp_latn jpn_vert kmr xyz, in English and in German.
    void displayNames_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("names");
        addRows(
            {u"en_US→German|Chinese (Simplified)|Serbian (Latin)|Japanese, vertical|Kurdish|xyz",
             u"de_DE→Deutsch|Chinesisch (Vereinfacht)|Serbisch (Lateinisch)|"
             u"Japanisch, vertical|Kurdisch|xyz"});
    }
    void displayNames()
    {
        QFETCH(QString, locale);
        QStringList shown;
        for (const QString& language : u"deu chi_sim srp_latn jpn_vert kmr xyz"_s.split(u' ')) {
            shown << RecognitionLanguages::displayName(language, QLocale(locale));
        }
        QTEST(shown.join(u'|'), "names");
    }

    // The engine reads languages from its own folder and the user's at once,
    // and a warm engine takes a new choice at once, leaving out what is missing.
    void engineLoadsFromBothFolders()
    {
        const QString user = m_dir.filePath(u"engine"_s);
        touch(user + u"/xfr.traineddata"_s, systemData(u"fra"_s));
        TesseractRecognizer recognizer(QString(), {u"eng"_s});
        QVERIFY(recognizer.load());
        recognizer.setLanguages({u"xfr"_s, u"eng"_s, u"klingon"_s}, {user});
        QVERIFY(recognizer.isLoaded());
        QCOMPARE(recognizer.loadedLanguages(), (QStringList{u"xfr"_s, u"eng"_s}));
    }

    // Downloads from a loopback server: only a complete file that Tesseract
    // loads is installed; anything else leaves the folder as it was.
    void download_data()
    {
        // how, error (empty: installed)
        rows({u"complete→", u"truncated→The download was incomplete.",
              u"stalled, then cancelled→The download was cancelled.",
              u"server error→The server answered 500 for", u"not found→The server answered 404 for",
              u"not language data→The downloaded file is not language data Tesseract can read.",
              u"not HTTPS→Languages are downloaded over HTTPS only",
              u"bad name→\"../eng\" is not a language name."});
    }
    void download()
    {
        const QStringList f = fields();
        const QString &how = f[0], &error = f[1];
        const QByteArray data = systemData(u"deu"_s);
        QVERIFY(data.size() > 100'000);
        LoopbackHttpServer server;
        const bool cut = how == u"truncated" || how.startsWith(u"stalled");
        server.route(u"/td/deu.traineddata"_s,
                     {how.startsWith(u"not language") ? QByteArray(50'000, 'x')
                      : cut                           ? data.left(data.size() / 2)
                                                      : data,
                      how.startsWith(u"server") ? 500 : 200,
                      cut ? data.size() - data.size() / 2 : 0, how.startsWith(u"stalled")});
        const QString target = m_dir.filePath(u"download-"_s + QString::number(qHash(how)));
        touch(target + u"/eng.traineddata"_s, "earlier"); // an earlier file stays
        QNetworkAccessManager network;
        LanguageDownloader downloader(network, target);
        std::optional<Expected<QString, QString>> outcome;
        qint64 seen = 0;
        QUrl base = server.url(how == u"not found" ? u"/elsewhere"_s : u"/td"_s);
        if (how == u"not HTTPS") {
            base = QUrl(u"http://example.com/td/"_s);
        }
        downloader.start(
            base, how == u"bad name" ? u"../eng"_s : u"deu"_s,
            [&](qint64 received, qint64) { seen = received; },
            [&](Expected<QString, QString> o) { outcome = std::move(o); });
        if (how.startsWith(u"stalled")) {
            QTRY_VERIFY(seen > 0);
            downloader.cancel();
        }
        QTRY_VERIFY_WITH_TIMEOUT(outcome.has_value(), 20'000);
        QVERIFY(!downloader.isRunning());
        const QString told = *outcome ? outcome->value() : outcome->error();
        QVERIFY2(told.startsWith(error.isEmpty() ? target + u"/deu.traineddata"_s : error),
                 qPrintable(told));
        QFile file(target + u"/deu.traineddata"_s);
        QCOMPARE(file.open(QIODevice::ReadOnly) && file.readAll() == data, error.isEmpty());
        QCOMPARE(seen, error.isEmpty() ? data.size() : seen);
        QCOMPARE(QDir(target).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 error.isEmpty() ? (QStringList{u"deu.traineddata"_s, u"eng.traineddata"_s})
                                 : QStringList{u"eng.traineddata"_s});
    }
};

QTEST_MAIN(TestRecognitionLanguages)
#include "tst_recognitionlanguages.moc"
