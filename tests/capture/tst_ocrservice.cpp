#include "capture/Beeper.h"
#include "capture/OCRCacheService.h"
#include "capture/OCRService.h"
#include "common/AppPaths.h"
#include "history/AsyncSecretStore.h"
#include "history/KeychainService.h"
#include "providers/OpenAIService.h"
#include "settings/PreferenceKeys.h"
#include "settings/Preferences.h"

#include "BarcodeImage.h"
#include "CaseTable.h"
#include "MemorySecretStore.h"
#include "RecordingHttpServer.h"
#include "ScriptedTextRecognizer.h"
#include "TestEnvironment.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

class CountingBeeper : public Beeper
{
public:
    void beep() override { ++count; }
    int count = 0;
};

struct Outcome
{
    int calls = 0;
    bool onMainThread = true;
    bool synchronous = false;
    bool fileExistedAtCompletion = false;
    QString capturePath;
    std::optional<OCRResult> result;
};

// The text, or "!" and the failure's name, as the test tables write them.
QString describe(const OCRResult& result)
{
    static const QStringList names{u"shot"_s, u"load"_s, u"ocr"_s, u"none"_s, u"denied"_s};
    return result ? result.value() : u"!"_s + names.value(int(result.error()));
}

} // namespace

class TestOCRService : public QObject
{
    Q_OBJECT

public:
    TestOCRService() = default;

private:
    TestEnvironment m_env;
    QTemporaryDir m_work;
    QString m_argsFile;
    std::shared_ptr<ScriptedTextRecognizer> m_recognizer;
    std::unique_ptr<OCRService> m_service;
    CountingBeeper m_beeper;

    QString workFile(const QString& name) const { return m_work.filePath(name); }

    // A stand-in for the region picker: records its arguments (a line each
    // call; none has a space), copies source to the path it is given, runs
    // extra, exits with code.
    void installTool(const QString& source, int exitCode, const QString& extra = {})
    {
        static int serial = 0;
        QFile script(workFile(u"tool%1.sh"_s.arg(++serial)));
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write(u"#!/bin/sh\necho \"$*\" >> '%1'\n%2\n%3\nexit %4\n"_s
                         .arg(m_argsFile,
                              source.isEmpty() ? QString() : u"cp '%1' \"$2\""_s.arg(source), extra,
                              QString::number(exitCode))
                         .toUtf8());
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        m_service->setScreenshotToolPath(script.fileName());
    }

    // Every invocation of the tool so far, one argument list each.
    QList<QStringList> toolInvocations() const
    {
        QFile file(m_argsFile);
        QList<QStringList> calls;
        for (const QString& line :
             file.open(QIODevice::ReadOnly)
                 ? QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts)
                 : QStringList()) {
            calls.append(line.split(u' '));
        }
        return calls;
    }

    QString lastCapturePath() const
    {
        const QList<QStringList> calls = toolInvocations();
        return calls.isEmpty() || calls.last().size() < 2 ? QString() : calls.last().at(1);
    }

    QStringList captureFiles() const
    {
        return QDir(AppPaths::privateTempDir())
            .entryList({QStringLiteral("screenshot_*")}, QDir::Files);
    }

    Outcome run(const std::function<void(OCRService::Completion)>& start)
    {
        auto outcome = std::make_shared<Outcome>();
        auto returned = std::make_shared<bool>(false);
        start([this, outcome, returned](OCRResult result) {
            ++outcome->calls;
            outcome->synchronous = !*returned;
            outcome->onMainThread =
                QThread::currentThread() == QCoreApplication::instance()->thread();
            outcome->capturePath = lastCapturePath();
            outcome->fileExistedAtCompletion =
                !outcome->capturePath.isEmpty() && QFileInfo::exists(outcome->capturePath);
            outcome->result = std::move(result);
        });
        *returned = true;
        QDeadlineTimer deadline(15'000);
        while (outcome->calls == 0 && !deadline.hasExpired()) {
            QTest::qWait(5);
        }
        QTest::qWait(100); // a second delivery would arrive here
        return *outcome;
    }

    void checkDelivery(const Outcome& outcome)
    {
        QCOMPARE(outcome.calls, 1);
        QVERIFY(outcome.onMainThread);
        QVERIFY(!outcome.synchronous);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_work.isValid());
        QVERIFY(!AppPaths::privateTempDir().isEmpty());
        QVERIFY(AppPaths::privateTempDir().startsWith(m_env.runtimeDir()));
        m_argsFile = workFile(u"args.txt"_s);
        QVERIFY(BarcodeImage::whiteCanvas(320, 80).save(workFile(u"page.png"_s)));
        QVERIFY(BarcodeImage::qr(L"hello").save(workFile(u"qr.png"_s)));
        QVERIFY(BarcodeImage::row({BarcodeImage::qr(L"left"), BarcodeImage::qr(L"right")})
                    .save(workFile(u"two.png"_s)));
        QVERIFY(BarcodeImage::encode(ZXing::BarcodeFormat::QRCode,
                                     std::wstring{L'\x01', L'\x02', L'\xfe', L'\x03'}, 240, 240,
                                     ZXing::CharacterSet::BINARY)
                    .save(workFile(u"binary.png"_s)));
        QFile garbage(workFile(u"garbage.png"_s));
        QVERIFY(garbage.open(QIODevice::WriteOnly));
        garbage.write("not an image at all");
    }

    void init()
    {
        QFile::remove(m_argsFile);
        for (const QString& name : captureFiles()) {
            QFile::remove(AppPaths::privateTempDir() + QLatin1Char('/') + name);
        }
        m_recognizer = std::make_shared<ScriptedTextRecognizer>();
        m_service = std::make_unique<OCRService>(m_recognizer);
        m_service->setBeeper(&m_beeper);
        m_beeper.count = 0;
    }

    void cleanup() { m_service.reset(); }

    // Whatever the outcome, the capture (part of the user's screen) is gone
    // by the time the completion runs. Columns: recognize or scan, the image
    // the tool writes ("-": no tool at all), its exit code, what else it does,
    // the engine's lines ("!": it fails), outcome, beeps.
    void capture_data()
    {
        rows({u"r→page.png→0→→Hello world→Hello world→0", u"r→page.png→0→→→!none→0",
              u"r→page.png→0→→!→!ocr→0", u"r→page.png→0→→-----→→0", u"r→→0→→x→!shot→1",
              u"r→page.png→1→→x→!shot→1", u"r→→0→kill -SEGV $$→x→!shot→1", u"r→-→0→→x→!shot→0",
              u"r→garbage.png→0→→x→!load→0", u"r→→3→→x→!denied→0", u"r→page.png→3→→x→!denied→0",
              u"s→qr.png→0→→x→hello→0", u"s→two.png→0→→x→left\nright→0", u"s→page.png→0→→x→!none→0",
              u"s→binary.png→0→→x→!none→0", u"s→garbage.png→0→→x→!load→0",
              u"s→qr.png→2→→x→!shot→1"});
    }
    void capture()
    {
        const QStringList f = fields();
        if (f[4] == u"!") {
            m_recognizer->setResult(unexpected(TextRecognizer::Error::recognitionFailed));
        } else {
            m_recognizer->setResult(
                ScriptedTextRecognizer::lines(f[4].isEmpty() ? QStringList() : QStringList{f[4]}));
        }
        installTool(f[1].isEmpty() ? QString() : workFile(f[1]), f[2].toInt(), f[3]);
        if (f[1] == u"-") {
            m_service->setScreenshotToolPath(workFile(u"no-such-tool"_s));
        }
        const Outcome outcome = run([&](auto c) {
            f[0] == u"s" ? m_service->captureAndScan(c) : m_service->captureAndRecognize(c);
        });
        checkDelivery(outcome);
        QCOMPARE(describe(*outcome.result), f[5]);
        QCOMPARE(QString::number(m_beeper.count), f[6]);
        QVERIFY(!outcome.fileExistedAtCompletion);
        QVERIFY(captureFiles().isEmpty());
        QVERIFY(f[0] == u"r" || m_recognizer->calls() == 0);
    }

    void captureFilesAreFreshAndPrivate()
    {
        m_recognizer->setResult(ScriptedTextRecognizer::lines({u"x y"_s}));
        installTool(workFile(u"page.png"_s), 0, u"sleep 0.2"_s);
        // Two captures at once: two tool processes, two files; a region is
        // captured at once, without the picker.
        int done = 0;
        m_service->captureAndRecognize([&done](OCRResult) { ++done; });
        m_service->captureAndRecognize([&done](OCRResult) { ++done; });
        m_service->captureAndScan([&done](OCRResult) { ++done; }, QRect(10, -20, 300, 40));
        QTRY_COMPARE_WITH_TIMEOUT(done, 3, 10'000);
        const QRegularExpression name(
            u"^screenshot_[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\.png$"_s);
        QStringList options, paths;
        for (const QStringList& args : toolInvocations()) {
            QStringList rest = args;
            const QFileInfo file(rest.takeAt(1));
            options << rest.join(u' ');
            QCOMPARE(file.absolutePath(), AppPaths::privateTempDir());
            QVERIFY2(name.match(file.fileName()).hasMatch(), qPrintable(file.fileName()));
            paths << file.fileName();
        }
        options.sort();
        QCOMPARE(options, (QStringList{u"-i"_s, u"-i"_s, u"-x -R 10,-20,300,40"_s}));
        QCOMPARE(QSet<QString>(paths.begin(), paths.end()).size(), 3);
        QCOMPARE(QFileInfo(AppPaths::privateTempDir()).permissions() & 0x0077,
                 QFile::Permissions());
        QVERIFY(captureFiles().isEmpty());
    }

    void recognitionIsSerializedOnOneWorker()
    {
        m_recognizer->setResult(ScriptedTextRecognizer::lines({u"Total 42"_s}));
        m_recognizer->setDelay(40);
        const QImage image = BarcodeImage::whiteCanvas(64, 32);
        const auto onMain = [] {
            return QThread::currentThread() == QCoreApplication::instance()->thread();
        };
        QStringList order;
        m_service->warmUp([&] { order << u"warm"_s + (onMain() ? u""_s : u" off main"_s); });
        for (int i = 0; i < 4; ++i) {
            m_service->recognizeOnDevice(image, [&, i](OCRResult r) {
                order << QString::number(i) + (onMain() ? u" "_s : u" off main "_s) + describe(r);
            });
        }
        QTRY_COMPARE_WITH_TIMEOUT(order.size(), 5, 10'000);
        QTest::qWait(50); // a second delivery would arrive here
        QCOMPARE(order, (QStringList{u"warm"_s, u"0 Total 42"_s, u"1 Total 42"_s, u"2 Total 42"_s,
                                     u"3 Total 42"_s}));
        QCOMPARE(m_recognizer->calls(), 5);
        QCOMPARE(m_recognizer->maxConcurrentCalls(), 1);
        QCOMPARE(m_recognizer->threads().size(), 1);
        QVERIFY(!m_recognizer->threads().contains(QCoreApplication::instance()->thread()));
    }

    // Who reads the image, by the switch, the provider, its key ("-": no
    // item, "?": the keyring does not answer) and the answer ("500": an error
    // page, "silent": none); each image is read twice, the second time maybe
    // from the cache. Columns: switch, provider, key, answer, outcome (twice),
    // requests, loading toast.
    void routing_data()
    {
        rows({u"off→openai→k→cloud→device→0→no", u"on→gemini→-→cloud→device→0→no",
              u"on→openai→?→cloud→device→0→no", u"on→mistral→k→cloud→device→0→no",
              u"on→openai→→cloud→device→0→yes", u"on→gemini→→cloud→device→0→yes",
              u"on→openai→k→cloud→cloud→1→yes", u"on→gemini→k→cloud→cloud→1→yes",
              u"on→ocrspace→k→cloud→cloud→2→yes", u"on→ocrspace→→cloud→cloud→2→yes",
              u"on→openai→k→500→device→2→yes", u"on→gemini→k→500→device→2→yes",
              u"on→ocrspace→k→500→device→2→yes", u"on→openai→k→silent→device→2→yes",
              u"on→openai→k→ \\n →!none→1→yes", u"on→gemini→k→ \\n →!none→1→yes",
              u"on→ocrspace→k→ \\n →device→2→yes", u"on→openai→k→insecure→device→0→yes"});
    }
    void routing()
    {
        const QStringList f = fields();
        m_recognizer->setResult(ScriptedTextRecognizer::lines({u"device"_s}));
        RecordingHttpServer server;
        server.reply = {f[3] == u"500" ? 500 : 200,
                        f[3] == u"500" ? "<html>oops</html>" : RecordingHttpServer::answering(f[3]),
                        0, f[3] == u"silent"};
        Preferences prefs(workFile(u"routing.conf"_s));
        prefs.setValue(PreferenceKeys::aiEnhancedOCREnabled, f[0] == u"on");
        prefs.setValue(PreferenceKeys::aiProvider, f[1]);
        for (const auto base : {PreferenceKeys::openaiBaseURL, PreferenceKeys::geminiBaseURL,
                                PreferenceKeys::ocrSpaceBaseURL}) {
            prefs.setValue(base, f[3] == u"insecure" ? u"http://192.0.2.1"_s : server.baseURL());
        }
        auto secrets = std::make_shared<MemorySecretStore>();
        secrets->unavailable = f[2] == u"?";
        if (f[2] != u"-") {
            secrets->set(QString(KeychainService::service),
                         QString(KeychainService::accountForProvider(f[1])), f[2].toUtf8());
        }
        AsyncSecretStore store(secrets);
        KeychainService keychain(store);
        OCRCacheService cache;
        m_service->setRoutingServices(&prefs, &keychain);
        m_service->setCache(&cache);
        m_service->openAI().setTimeout(std::chrono::milliseconds(300));
        QStringList log;
        connect(m_service.get(), &OCRService::providerRequestStarted, this, [&] { log << u"+"_s; });
        connect(m_service.get(), &OCRService::providerRequestEnded, this, [&] { log << u"-"_s; });
        const QImage image = BarcodeImage::whiteCanvas(96, 40);
        for (int i = 0; i < 2; ++i) {
            log.clear();
            const Outcome got = run([&](OCRService::Completion c) {
                m_service->recognizeImage(image, [&log, c](OCRResult r) {
                    log << u"done"_s;
                    c(std::move(r));
                });
            });
            checkDelivery(got);
            QCOMPARE(describe(*got.result), f[4]);
            // The toast is withdrawn before the outcome arrives, also on a cache hit.
            QCOMPARE(log.join(u' '), f[6] == u"yes" ? u"+ - done"_s : u"done"_s);
        }
        const auto sent = server.requests;
        QCOMPARE(QString::number(sent.size()), f[5]);
        // The device reads the image as it was captured.
        QVERIFY(m_recognizer->imageSizes().count(image.size()) ==
                m_recognizer->imageSizes().size());
        // Gemini asks the model the menu shows; an empty OCR.space key goes out as it is.
        QVERIFY(f[1] != u"gemini" || sent.isEmpty() ||
                sent[0].target.startsWith("/v1beta/models/gemini-2.5-flash:"));
        if (f[3] == u"silent") { // a service destroyed while a provider works drops it all
            int calls = 0;
            m_service->recognizeImage(image, [&calls](OCRResult) { ++calls; });
            QTest::qWait(100);
            m_service.reset();
            QTest::qWait(400);
            QCOMPARE(calls, 0);
        }
        QVERIFY(f[1] != u"ocrspace" || (sent[0].headers.contains("apikey") &&
                                        sent[0].headers.value("apikey") == f[2].toUtf8()));
    }

    // A service destroyed while the worker reads waits for it, then drops
    // its outcome; a picker still open is closed at once, without a word.
    void destroyedServiceDropsPendingWork()
    {
        m_recognizer->setDelay(500); // still reading when the service goes
        installTool(workFile(u"page.png"_s), 0, u"exec sleep 30"_s);
        int calls = 0;
        m_service->recognizeOnDevice(BarcodeImage::whiteCanvas(64, 32),
                                     [&](OCRResult) { ++calls; });
        m_service->captureAndRecognize([&calls](OCRResult) { ++calls; });
        QTest::qWait(100);
        QTest::failOnWarning(QRegularExpression(u"QProcess"_s));
        QElapsedTimer timer;
        timer.start();
        m_service.reset();
        QVERIFY(timer.elapsed() < 5000);
        QTest::qWait(100);
        QCOMPARE(calls, 0);
        QCOMPARE(m_recognizer->calls(), 1);
        QCOMPARE(m_beeper.count, 0);
    }

    void probe()
    {
        const QString probeFile = AppPaths::privateTempDir() + u"/quillsnap_temp.png"_s;
        installTool(workFile(u"page.png"_s), 0);
        QList<bool> answers;
        const auto probe = [&] {
            m_service->probeScreenRecordingPermission([&](bool allowed) { answers << allowed; });
        };
        probe();
        QVERIFY(answers.isEmpty()); // the caller does not wait
        QTRY_COMPARE(answers, QList<bool>{true});
        QCOMPARE(toolInvocations(), (QList<QStringList>{{u"-x"_s, probeFile}}));
        QVERIFY(!QFileInfo::exists(probeFile));
        // Refused by the desktop, and a tool that hangs: both answer false.
        installTool(workFile(u"page.png"_s), 3);
        probe();
        installTool(workFile(u"page.png"_s), 0, u"exec sleep 30"_s);
        m_service->setProbeTimeout(500);
        probe();
        QTRY_COMPARE_WITH_TIMEOUT(answers, (QList<bool>{true, false, false}), 5000);
        QVERIFY(!QFileInfo::exists(probeFile));
        QCOMPARE(m_beeper.count, 0);
    }

    void cleanStaleCaptures()
    {
        const QString dir = AppPaths::privateTempDir();
        const QString capture = u"screenshot_0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0.png"_s;
        const QString foreign = u"screenshot_notes.png"_s;
        for (const QString& name : {capture, foreign, u"quillsnap_temp.png"_s}) {
            QFile file(dir + QLatin1Char('/') + name);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        m_service->cleanStaleCaptures();
        QCOMPARE(QDir(dir).entryList(QDir::Files), QStringList{foreign});
        QFile::remove(dir + QLatin1Char('/') + foreign);
    }
};

QTEST_GUILESS_MAIN(TestOCRService)
#include "tst_ocrservice.moc"
