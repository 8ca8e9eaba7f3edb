#include "BarcodeImage.h"
#include "CaseTable.h"
#include "RecordingHttpServer.h"
#include "TestEnvironment.h"
#include "capture/TextCleanup.h"
#include "capture/TextProcessingService.h"
#include "history/FileSecretStore.h"
#include "history/HistoryItem.h"
#include "history/KeychainService.h"
#include "settings/PreferenceKeys.h"
#include "settings/Preferences.h"

#include <QBuffer>
#include <QDeadlineTimer>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

struct Run
{
    int status = -1; // -1: crashed or hung
    QByteArray out;
    QByteArray err;
    long maxRssKb = 0;
};

QByteArray readAll(const char* path)
{
    QFile file(QString::fromLatin1(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// quillsnap-cli with arguments in the system's bytes (file names need not be
// UTF-8; a test writes them as Latin-1), standard input from a file, output
// to a file ("" captures it), and at most fileLimit bytes in any file.
Run cli(const QString& args, const char* in = "/dev/null", const char* out = "",
        rlim_t fileLimit = RLIM_INFINITY)
{
    QByteArrayList storage{QUILLSNAP_CLI_PATH};
    for (const QString& arg : args.split(u' ', Qt::SkipEmptyParts)) {
        storage.append(arg.toLatin1());
    }
    std::vector<char*> argv;
    for (QByteArray& arg : storage) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    const char* outFile = *out ? out : "cli.out";
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(::open(in, O_RDONLY), 0);
        ::dup2(::open(outFile, O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
        ::dup2(::open("cli.err", O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
        const rlimit limit{fileLimit, fileLimit};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ::signal(SIGXFSZ, SIG_IGN); // writes beyond the limit fail with EFBIG
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    const QDeadlineTimer deadline(60'000);
    pid_t done = 0;
    while ((done = ::wait4(pid, &status, WNOHANG, &usage)) == 0 && !deadline.hasExpired()) {
        QTest::qWait(5); // serves a loopback server of the test meanwhile
    }
    if (done == 0) { // hung
        ::kill(pid, SIGKILL);
        ::wait4(pid, &status, 0, &usage);
        return {};
    }
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, *out ? QByteArray() : readAll(outFile),
            readAll("cli.err"), usage.ru_maxrss};
}

bool writeFile(const char* path, const QByteArray& data)
{
    const int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const bool ok = fd >= 0 && ::write(fd, data.constData(), size_t(data.size())) == data.size();
    return ::close(fd) == 0 && ok;
}

bool writePng(const char* path, const QImage& image)
{
    QByteArray data;
    QBuffer buffer(&data);
    return buffer.open(QIODevice::WriteOnly) && image.save(&buffer, "png") && writeFile(path, data);
}

// Text of the kind recognition gives: words, hyphenated line ends, non-ASCII
// characters, all kinds of line breaks and paragraphs.
QByteArray prose(qsizetype size)
{
    const QByteArrayList words =
        QByteArray("screen text résumé окно 🙂 hyph- The end.\n \r\n \u2028 window\n\n")
            .split(' ');
    QByteArray text;
    for (quint32 i = 0; text.size() < size; i = i * 1103515245u + 12345u) {
        text += words.at((i >> 16) % words.size()) + ' ';
    }
    return text;
}

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

private:
    TestEnvironment m_env;
    QTemporaryDir m_dir;
    HistoryItem m_item;

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid() && QDir::setCurrent(m_dir.path()));
        qputenv("TZ", "UTC");
        const QImage qr = BarcodeImage::qr(L"hello");
        QVERIFY(writePng("qr.png", qr) && writePng("x\xff.png", qr)); // not UTF-8
        QVERIFY(writeFile("cut.png", readAll("qr.png").left(100)) && writeFile("text.png", "text"));
        QVERIFY(writePng("locked.png", qr) && ::chmod("locked.png", 0) == 0);
        QVERIFY(writePng(
            "two.png", BarcodeImage::row({BarcodeImage::qr(L"left"), BarcodeImage::qr(L"right")})));
        QVERIFY(writePng("padded.png", BarcodeImage::qr(L"  padded  ")));
        QVERIFY(writePng("blank.png", BarcodeImage::whiteCanvas(300, 120)));
        // Beyond 40 megapixels; and 36 in colour, which Qt's own allocation
        // limit (128 MB) would refuse.
        QVERIFY(writePng("huge.png", BarcodeImage::whiteCanvas(6400, 6400)));
        QImage big(6000, 6000, QImage::Format_RGB32);
        big.fill(Qt::white);
        QVERIFY(writePng("big.png", big));
        QVERIFY(::mkfifo("fifo.png", 0600) == 0 && ::mkdir("dir.png", 0700) == 0);

        m_item = HistoryItem::create(u"Hi\x1b]0;owned\x07 there\r\nline\u009b2"_s,
                                     QDateTime::fromSecsSinceEpoch(978307200), u"pc\x1b[2J"_s);
        QVERIFY(QDir().mkpath(m_env.dataHome() + u"/quillsnap"_s));
        QFile history(m_env.dataHome() + u"/quillsnap/captureHistory"_s);
        QVERIFY(history.open(QIODevice::WriteOnly) &&
                history.write(*HistoryItem::encodeListJson({m_item})) > 0);
    }

    void cleanupTestCase()
    {
        ::unlink("x\xff.png"); // QDir would remove it by another name
    }

    // Each cause named, no library's messages (libpng) mixed in; "ms" of
    // --json is set to 0. Columns: arguments, status, output, errors ("C "
    // stands for "cannot read", "N " for "no code in").
    void imageFiles_data()
    {
        // clang-format off
        rows({u"scan-file qr.png two.png→0→hello\nleft\nright\n→",
                 u"scan-file padded.png→0→padded\n→", u"scan-file x\u00FF.png→0→hello\n→",
                 u"scan-file -- qr.png→0→hello\n→", u"scan-file big.png→1→→N big.png\n",
                 u"scan-file qr.png blank.png→1→hello\n→N blank.png\n",
                 u"scan-file --json two.png blank.png→1→"
                 u"{\"file\":\"two.png\",\"ms\":0,\"text\":\"left\\nright\"}\n"
                 u"{\"file\":\"blank.png\",\"ms\":0,\"text\":\"\"}\n→N blank.png\n",
                 u"recognize --json blank.png→1→{\"file\":\"blank.png\",\"ms\":0,\"text\":\"\"}\n"
                 u"→No text was detected in blank.png\n",
                 u"scan-file cut.png blank.png→2→→C cut.png: damaged image\nN blank.png\n",
                 u"scan-file missing.png→2→→C missing.png: no such file\n",
                 u"scan-file fifo.png→2→→C fifo.png: not a regular file\n",
                 u"scan-file dir.png→2→→C dir.png: not a regular file\n",
                 u"scan-file text.png→2→→C text.png: not an image\n",
                 u"scan-file locked.png→2→→C locked.png: permission denied\n",
                 u"recognize huge.png→2→→quillsnap-cli recognize: cannot read huge.png: image too "
                 u"large (the limit is 40 megapixels and 16384 pixels a side)\n"});
        // clang-format on
    }

    void imageFiles()
    {
        const QStringList f = fields();
        if (f[0].contains(u"locked"_s) && ::access("locked.png", R_OK) == 0) {
            QSKIP("running as a user who may read anything");
        }
        const Run run = cli(f[0]);
        QCOMPARE(QString::number(run.status), f[1]);
        QCOMPARE(
            QString::fromUtf8(run.out).replace(QRegularExpression(u"\"ms\":\\d+"_s), u"\"ms\":0"_s),
            f[2]);
        QCOMPARE(QString::fromUtf8(run.err),
                 QString(f[3])
                     .replace(u"C "_s, u"quillsnap-cli scan-file: cannot read "_s)
                     .replace(u"N "_s, u"No QR code or barcode was detected in "_s));
    }

    // Refused before any work, naming the command and what is wrong.
    // Columns: arguments, part of the message.
    void usageErrors_data()
    {
        rows({u"bogus→: unknown command 'bogus'", u"--fast→: unknown option '--fast'",
              u"scan-file→ scan-file: no file given", u"capture now→ unexpected argument 'now'",
              u"capture --region 1,2,3→'1,2,3' is not a region",
              u"scan --region 1,2,0,4→ the width and height must be at least 1",
              u"history→ no subcommand given", u"history export --format xml→ unknown format",
              u"history export --format→ missing value after '--format'",
              u"recognize --on-device --provider gemini blank.png→ exclude each other",
              u"recognize --languages eng+jpn blank.png→ the language jpn is not installed",
              u"languages all→ unexpected argument 'all'"});
    }

    void usageErrors()
    {
        const QStringList f = fields();
        const Run run = cli(f[0]);
        QCOMPARE(run.status, 2);
        QCOMPARE(run.out, QByteArray());
        const QString first = QString::fromUtf8(run.err.split('\n').first());
        QVERIFY2(first.startsWith(u"quillsnap-cli"_s) && first.contains(f[1]), qPrintable(first));
    }

    // recognize routes as a capture does: the switch, the provider and its
    // key, the cache across the files of one run, the device's reading
    // (none, for a blank page) when the provider fails; the options override.
    // Columns: options, switch, provider, key ("-": none), answer, status,
    // requests.
    void recognizeRouting_data()
    {
        rows({u"→on→openai→k→cloud→0→1", u"→on→ocrspace→k→cloud→0→2", u"→on→openai→-→cloud→1→0",
              u"--provider gemini→off→openai→k→cloud→0→1", u"--on-device→on→openai→k→cloud→1→0",
              u"→on→openai→k→500→1→2"});
    }
    void recognizeRouting()
    {
        const QStringList f = fields();
        RecordingHttpServer server;
        server.reply = f[4] == u"500"
                           ? RecordingHttpServer::Reply{500, "<html>oops</html>"}
                           : RecordingHttpServer::Reply{200, RecordingHttpServer::answering(f[4])};
        const QString conf = m_env.configHome() + u"/quillsnap/quillsnap.conf"_s;
        QFile::remove(conf);
        Preferences prefs(conf);
        prefs.setValue(PreferenceKeys::aiEnhancedOCREnabled, f[1] == u"on");
        prefs.setValue(PreferenceKeys::aiProvider, f[2]);
        for (const auto base : {PreferenceKeys::openaiBaseURL, PreferenceKeys::geminiBaseURL,
                                PreferenceKeys::ocrSpaceBaseURL}) {
            prefs.setValue(base, server.baseURL());
        }
        prefs.sync();
        // The keys go to the private file: the session's keyring is shared
        // with other tests, so the tool is kept off the bus.
        const QByteArray bus = qgetenv("DBUS_SESSION_BUS_ADDRESS");
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent");
        FileSecretStore keys;
        for (const char16_t* p : {u"openai", u"gemini", u"ocrspace"}) {
            const QString account = KeychainService::accountForProvider(QStringView(p));
            QVERIFY(f[3] == u"-" ? KeychainService::deleteKeyNow(keys, account)
                                 : KeychainService::saveKeyNow(keys, f[3], account));
        }
        const Run run = cli(u"recognize "_s + f[0] + u" blank.png blank.png"_s);
        qputenv("DBUS_SESSION_BUS_ADDRESS", bus);
        QCOMPARE(QString::number(run.status), f[5]);
        QCOMPARE(run.out, run.status == 0 ? "cloud\ncloud\n" : "");
        QCOMPARE(run.err, run.status == 0
                              ? ""
                              : QByteArray("No text was detected in blank.png\n").repeated(2));
        QCOMPARE(QString::number(server.requests.size()), f[6]);
    }

    // The languages captures read: the settings' choice, or --languages for
    // one run (French text keeps its accents only with French).
    void languages()
    {
        QVERIFY(QDir().mkpath(m_env.configHome() + u"/quillsnap"_s));
        QFile conf(m_env.configHome() + u"/quillsnap/quillsnap.conf"_s);
        QVERIFY(conf.open(QIODevice::WriteOnly) && conf.write("recognitionLanguages=fra+eng\n"));
        conf.close();
        QCOMPARE(cli(u"languages --used"_s).out, "fra+eng\n");
        QVERIFY(cli(u"languages"_s).out.contains("* fra          French\n  ita"));
        QVERIFY(conf.remove());
        QCOMPARE(QProcess::execute(u"convert"_s,
                                   QString(u"-size 760x90 xc:white -font DejaVu-Sans "
                                           "-pointsize 26 -annotate +20+55"_s)
                                           .split(u' ') +
                                       QStringList{u"Les élèves étudient"_s, u"french.png"_s}),
                 0);
        QCOMPARE(cli(u"recognize --languages fra french.png"_s).out,
                 u"Les élèves étudient\n"_s.toUtf8());
    }

    // Control characters of stored text would act on a terminal; JSON keeps
    // the text exact (escaped).
    // Columns: arguments, output ("json": the stored item exported as JSON).
    void history_data()
    {
        rows({u"history list→2001-01-01 00:00:00  Hi\uFFFD]0;owned\uFFFD there  line\uFFFD2\n",
              u"history search THERE→2001-01-01 00:00:00  Hi\uFFFD]0;owned\uFFFD there  "
              u"line\uFFFD2\n",
              u"history search x→", u"history export→json",
              u"history export --format markdown→# quillsnap history\n\n## 2001-01-01T00:00:00 · "
              u"pc\uFFFD[2J\n\nHi\uFFFD]0;owned\uFFFD there\nline\uFFFD2\n"});
    }

    void history()
    {
        const QStringList f = fields();
        const Run run = cli(f[0]);
        QCOMPARE(run.status, 0);
        const QByteArray json = QJsonDocument(HistoryItem::encodeList({m_item})).toJson();
        QCOMPARE(QString::fromUtf8(run.out), f[1] == u"json" ? QString::fromUtf8(json) : f[1]);
    }

    // A failed write is a message and a failure, never a short file and 0:
    // to /dev/full, or beyond a limit on the file's size.
    // Columns: arguments, the limit (empty: to /dev/full), status.
    void writeErrors_data()
    {
        rows({u"--help→→1", u"tidy→→1", u"scan-file qr.png two.png→→2", u"history list→→1",
              u"history export→→1", u"history export --format markdown→→1", u"tidy→65536→1",
              u"history export→100→1"});
    }

    void writeErrors()
    {
        const QStringList f = fields();
        const QString& fileLimit = f[1];
        QVERIFY(writeFile("in.txt", prose(300'000)));
        const Run run = cli(f[0], "in.txt", fileLimit.isEmpty() ? "/dev/full" : "out.txt",
                            fileLimit.isEmpty() ? RLIM_INFINITY : fileLimit.toULong());
        QCOMPARE(QString::number(run.status), f[2]);
        QVERIFY2(run.err.endsWith(fileLimit.isEmpty()
                                      ? ": cannot write the output: No space left on device\n"
                                      : ": cannot write the output: File too large\n"),
                 run.err.constData());
    }

    // The command reads and writes in pieces; it prints what the capture's
    // clean-up and table rule give, also across the pieces' boundaries.
    void tidy_data()
    {
        QTest::addColumn<QByteArray>("in");
        QTest::newRow("paragraphs") << QByteArray("recog-\nnition goes on and on and on and on and "
                                                  "on and on and on.\nThe next one.\n");
        QTest::newRow("prices") << QByteArray("• Coffee\n$3.50\nTea\n$2.00\nCake\n$4.25");
        QTest::newRow("columns") << QByteArray(
            "Name  Price\nApple  1.00\nPear  2.00\nPlum  0.50\n");
        QTest::newRow("BOM, CRLF, bad UTF-8") << QByteArray("\xEF\xBB\xBF"
                                                            "caf\xE9\r\ntwo\xFF\r\n");
        QTest::newRow("a megabyte") << prose(1'000'000);
        QTest::newRow("one long line") << prose(300'000).replace('\n', ' ').replace('\r', ' ');
    }

    void tidy()
    {
        QFETCH(QByteArray, in);
        QVERIFY(writeFile("in.txt", in));
        const Run run = cli(u"tidy"_s, "in.txt");
        QCOMPARE(run.status, 0);
        const QString text = QString::fromUtf8(in).remove(QRegularExpression(u"^\uFEFF"_s));
        const QString cleaned = TextCleanup::cleanRecognizedText(text);
        QVERIFY(run.out == TextProcessingService::finalText(cleaned).toUtf8() + '\n');
    }

    // Below four times the input, as the kernel counts it.
    void tidyMemory()
    {
#if defined(__SANITIZE_ADDRESS__)
        QSKIP("AddressSanitizer keeps freed memory in quarantine");
#endif
        const QByteArray text = prose(40'000'000);
        QVERIFY(writeFile("in.txt", text));
        const Run run = cli(u"tidy"_s, "in.txt", "/dev/null");
        QCOMPARE(run.status, 0);
        QVERIFY2(run.maxRssKb * 1024 < 4 * text.size(),
                 QByteArray::number(run.maxRssKb).constData());
    }

    // A runtime directory the command cannot use is named as the reason,
    // not "not running".
    void runtimeDirectory()
    {
        QCOMPARE(cli(u"capture"_s).err,
                 "quillsnap-cli capture: quillsnap is not running; start it first\n");
        const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
        QVERIFY(::mkdir("run", 0700) == 0 && writeFile("run/quillsnap", ""));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_dir.filePath(u"run"_s)));
        const Run run = cli(u"scan"_s);
        qputenv("XDG_RUNTIME_DIR", runtime);
        QCOMPARE(run.status, 1);
        QCOMPARE(QString::fromUtf8(run.err),
                 u"quillsnap-cli scan: cannot reach quillsnap: %1 is not a directory\n"_s.arg(
                     m_dir.filePath(u"run/quillsnap"_s)));
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
