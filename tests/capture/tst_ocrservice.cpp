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

// -1 stands for success in the test tables.
int errorCode(const OCRResult& result)
{
    return result ? -1 : int(result.error());
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

    // A stand-in for the region picker: records its arguments (count first),
    // copies source to the path it is given, runs extra, exits with code.
    QString installTool(const QString& source, int exitCode, const QString& extra = {})
    {
        static int serial = 0;
        const QString path = workFile(QStringLiteral("tool%1.sh").arg(++serial));
        QFile script(path);
        if (!script.open(QIODevice::WriteOnly)) {
            return {};
        }
        QString body =
            QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" >> '%1'\n").arg(m_argsFile);
        if (!source.isEmpty()) {
            body += QStringLiteral("cp '%1' \"$2\"\n").arg(source);
        }
        body += extra + QStringLiteral("\nexit %1\n").arg(exitCode);
        script.write(body.toUtf8());
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        m_service->setScreenshotToolPath(path);
        return path;
    }

    // Every invocation of the tool so far, one argument list each.
    QList<QStringList> toolInvocations() const
    {
        QFile file(m_argsFile);
        QList<QStringList> calls;
        if (!file.open(QIODevice::ReadOnly)) {
            return calls;
        }
        QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
        while (!lines.isEmpty() && !lines.first().isEmpty()) {
            const int count = lines.takeFirst().toInt();
            calls.append(lines.mid(0, count));
            lines = lines.mid(count);
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
        m_argsFile = workFile(QStringLiteral("args.txt"));

        QImage page(320, 80, QImage::Format_RGB32);
        page.fill(Qt::white);
        QVERIFY(page.save(workFile(QStringLiteral("page.png"))));
        QVERIFY(BarcodeImage::qr(L"hello").save(workFile(QStringLiteral("qr.png"))));
        QVERIFY(BarcodeImage::row({BarcodeImage::qr(L"left"), BarcodeImage::qr(L"right")})
                    .save(workFile(QStringLiteral("two.png"))));
        QVERIFY(BarcodeImage::encode(ZXing::BarcodeFormat::QRCode,
                                     std::wstring{L'\x01', L'\x02', L'\xfe', L'\x03'}, 240, 240,
                                     ZXing::CharacterSet::BINARY)
                    .save(workFile(QStringLiteral("binary.png"))));
        QFile garbage(workFile(QStringLiteral("garbage.png")));
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
    // by the time the completion runs.
    void captureAndRecognize_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("extra");
        QTest::addColumn<QStringList>("recognized"); // {"!"}: the engine fails
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("beeps");

        const QString page = QStringLiteral("page.png");
        const QStringList hello{QStringLiteral("Hello world")};
        const int ok = -1;
        const int shot = int(OCRError::screenshotFailed);
        // clang-format off
        QTest::newRow("text") << page << 0 << QString() << hello << ok << QStringLiteral("Hello world") << 0;
        QTest::newRow("no observations") << page << 0 << QString() << QStringList() << int(OCRError::noTextDetected) << QString() << 0;
        QTest::newRow("engine fails") << page << 0 << QString() << QStringList{QStringLiteral("!")} << int(OCRError::ocrFailed) << QString() << 0;
        QTest::newRow("clean-up empties the text") << page << 0 << QString() << QStringList{QStringLiteral("-----")} << ok << QString() << 0;
        QTest::newRow("cancelled: no file") << QString() << 0 << QString() << hello << shot << QString() << 1;
        QTest::newRow("tool fails after writing") << page << 1 << QString() << hello << shot << QString() << 1;
        QTest::newRow("tool crashes") << QString() << 0 << QStringLiteral("kill -SEGV $$") << hello << shot << QString() << 1;
        QTest::newRow("not an image") << QStringLiteral("garbage.png") << 0 << QString() << hello << int(OCRError::imageLoadFailed) << QString() << 0;
        QTest::newRow("desktop refused") << QString() << 3 << QString() << hello << int(OCRError::permissionDenied) << QString() << 0;
        QTest::newRow("refused after writing") << page << 3 << QString() << hello << int(OCRError::permissionDenied) << QString() << 0;
        // clang-format on
    }

    void captureAndRecognize()
    {
        QFETCH(QString, source);
        QFETCH(int, exitCode);
        QFETCH(QString, extra);
        QFETCH(QStringList, recognized);
        QFETCH(int, error);
        QFETCH(QString, text);
        QFETCH(int, beeps);

        if (recognized == QStringList{QStringLiteral("!")}) {
            m_recognizer->setResult(unexpected(TextRecognizer::Error::recognitionFailed));
        } else {
            m_recognizer->setResult(ScriptedTextRecognizer::lines(recognized));
        }
        installTool(source.isEmpty() ? QString() : workFile(source), exitCode, extra);
        const Outcome outcome = run([this](auto c) { m_service->captureAndRecognize(c); });

        checkDelivery(outcome);
        QCOMPARE(errorCode(*outcome.result), error);
        if (error == -1) {
            QCOMPARE(outcome.result->value(), text);
        }
        QCOMPARE(m_beeper.count, beeps);
        QVERIFY(!outcome.fileExistedAtCompletion);
        QVERIFY(captureFiles().isEmpty());
    }

    void captureAndScan_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("text");

        const int none = int(OCRError::noTextDetected);
        // clang-format off
        QTest::newRow("one QR") << QStringLiteral("qr.png") << 0 << -1 << QStringLiteral("hello");
        QTest::newRow("two codes") << QStringLiteral("two.png") << 0 << -1 << QStringLiteral("left\nright");
        QTest::newRow("no code") << QStringLiteral("page.png") << 0 << none << QString();
        QTest::newRow("code without text") << QStringLiteral("binary.png") << 0 << none << QString();
        QTest::newRow("not an image") << QStringLiteral("garbage.png") << 0 << int(OCRError::imageLoadFailed) << QString();
        QTest::newRow("tool fails after writing") << QStringLiteral("qr.png") << 2 << int(OCRError::screenshotFailed) << QString();
        // clang-format on
    }

    void captureAndScan()
    {
        QFETCH(QString, source);
        QFETCH(int, exitCode);
        QFETCH(int, error);
        QFETCH(QString, text);

        installTool(source.isEmpty() ? QString() : workFile(source), exitCode);
        const Outcome outcome = run([this](auto c) { m_service->captureAndScan(c); });

        checkDelivery(outcome);
        QCOMPARE(errorCode(*outcome.result), error);
        if (error == -1) {
            QCOMPARE(outcome.result->value(), text);
        }
        QVERIFY(!outcome.fileExistedAtCompletion);
        QVERIFY(captureFiles().isEmpty());
        QCOMPARE(m_recognizer->calls(), 0);
    }

    void captureFilesAreFreshAndPrivate()
    {
        m_recognizer->setResult(ScriptedTextRecognizer::lines({QStringLiteral("x y")}));
        installTool(workFile(QStringLiteral("page.png")), 0, QStringLiteral("sleep 0.2"));
        // Two captures at once: two tool processes, two files.
        int done = 0;
        m_service->captureAndRecognize([&done](OCRResult) { ++done; });
        m_service->captureAndRecognize([&done](OCRResult) { ++done; });
        QTRY_COMPARE_WITH_TIMEOUT(done, 2, 10'000);

        const QList<QStringList> calls = toolInvocations();
        QCOMPARE(calls.size(), 2);
        const QRegularExpression name(QStringLiteral(
            "^screenshot_[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\.png$"));
        for (const QStringList& args : calls) {
            QCOMPARE(args.size(), 2);
            QCOMPARE(args.at(0), QStringLiteral("-i"));
            const QFileInfo file(args.at(1));
            QCOMPARE(file.absolutePath(), AppPaths::privateTempDir());
            QVERIFY2(name.match(file.fileName()).hasMatch(), qPrintable(file.fileName()));
        }
        QVERIFY(calls.at(0).at(1) != calls.at(1).at(1));
        QCOMPARE(QFileInfo(AppPaths::privateTempDir()).permissions() & 0x0077,
                 QFile::Permissions());
        // A region is captured at once, without the picker.
        m_service->captureAndScan([&done](OCRResult) { ++done; }, QRect(10, -20, 300, 40));
        QTRY_COMPARE_WITH_TIMEOUT(done, 3, 10'000);
        const QStringList region = toolInvocations().value(2);
        QCOMPARE(region.size(), 4);
        QCOMPARE(region.at(0), QStringLiteral("-x"));
        QCOMPARE(region.mid(2),
                 (QStringList{QStringLiteral("-R"), QStringLiteral("10,-20,300,40")}));
        QVERIFY(captureFiles().isEmpty());
    }

    void toolThatCannotStart()
    {
        m_service->setScreenshotToolPath(workFile(QStringLiteral("no-such-tool")));
        const Outcome outcome = run([this](auto c) { m_service->captureAndRecognize(c); });
        checkDelivery(outcome);
        QCOMPARE(errorCode(*outcome.result), int(OCRError::screenshotFailed));
        QCOMPARE(m_beeper.count, 0);
        QVERIFY(captureFiles().isEmpty());
    }

    void recognitionIsSerializedOnOneWorker()
    {
        m_recognizer->setResult(ScriptedTextRecognizer::lines({QStringLiteral("Total 42")}));
        m_recognizer->setDelay(40);
        QImage image(64, 32, QImage::Format_RGB32);
        image.fill(Qt::white);
        QStringList order;
        bool warmOnMainThread = false;
        m_service->warmUp([&] {
            order.append(QStringLiteral("warm"));
            warmOnMainThread = QThread::currentThread() == QCoreApplication::instance()->thread();
        });
        QList<Outcome> outcomes(4);
        for (int i = 0; i < 4; ++i) {
            m_service->recognizeOnDevice(image, [&, i](OCRResult result) {
                ++outcomes[i].calls;
                outcomes[i].onMainThread =
                    QThread::currentThread() == QCoreApplication::instance()->thread();
                outcomes[i].result = std::move(result);
                order.append(QString::number(i));
            });
        }
        QTRY_COMPARE_WITH_TIMEOUT(order.size(), 5, 10'000);
        QTest::qWait(50);
        QCOMPARE(order,
                 (QStringList{QStringLiteral("warm"), QStringLiteral("0"), QStringLiteral("1"),
                              QStringLiteral("2"), QStringLiteral("3")}));
        QVERIFY(warmOnMainThread);
        for (const Outcome& outcome : outcomes) {
            QCOMPARE(outcome.calls, 1);
            QVERIFY(outcome.onMainThread);
            QCOMPARE(outcome.result->value(), QStringLiteral("Total 42"));
        }
        QCOMPARE(m_recognizer->calls(), 5);
        QCOMPARE(m_recognizer->maxConcurrentCalls(), 1);
        QCOMPARE(m_recognizer->threads().size(), 1);
        QVERIFY(!m_recognizer->threads().contains(QCoreApplication::instance()->thread()));
    }

    void readingOrderAndCleanupApply()
    {
        // Bottom line first, as an engine may report them.
        QList<TextObservation> lines{{{0.05, 0.2, 0.5, 0.05}, {QStringLiteral("Second line.")}},
                                     {{0.05, 0.7, 0.5, 0.05}, {QStringLiteral("• First line.")}}};
        m_recognizer->setResult(lines);
        QImage image(64, 32, QImage::Format_RGB32);
        image.fill(Qt::white);
        const Outcome outcome = run([&](auto c) { m_service->recognizeOnDevice(image, c); });
        checkDelivery(outcome);
        QCOMPARE(outcome.result->value(), QStringLiteral("First line.\n\nSecond line."));
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
              u"on→openai→k→ \\n →error 3→1→yes", u"on→gemini→k→ \\n →error 3→1→yes",
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
        QImage image(96, 40, QImage::Format_RGB32);
        image.fill(Qt::white);
        for (int i = 0; i < 2; ++i) {
            log.clear();
            const Outcome got = run([&](OCRService::Completion c) {
                m_service->recognizeImage(image, [&log, c](OCRResult r) {
                    log << u"done"_s;
                    c(std::move(r));
                });
            });
            checkDelivery(got);
            QCOMPARE(*got.result ? got.result->value() : u"error %1"_s.arg(errorCode(*got.result)),
                     f[4]);
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

    void destroyedServiceDropsPendingCompletions()
    {
        m_recognizer->setDelay(150);
        QImage image(64, 32, QImage::Format_RGB32);
        image.fill(Qt::white);
        int calls = 0;
        m_service->recognizeOnDevice(image, [&calls](OCRResult) { ++calls; });
        QTest::qWait(20);
        m_service.reset(); // waits for the worker, then drops its outcome
        QTest::qWait(100);
        QCOMPARE(calls, 0);
        QCOMPARE(m_recognizer->calls(), 1);
    }

    void destroyedServiceClosesThePicker()
    {
        installTool(workFile(QStringLiteral("page.png")), 0, QStringLiteral("exec sleep 30"));
        int calls = 0;
        m_service->captureAndRecognize([&calls](OCRResult) { ++calls; });
        QTest::qWait(100);
        QTest::failOnWarning(QRegularExpression(QStringLiteral("QProcess")));
        QElapsedTimer timer;
        timer.start();
        m_service.reset();
        QVERIFY(timer.elapsed() < 5000);
        QTest::qWait(100);
        QCOMPARE(calls, 0);
        QCOMPARE(m_beeper.count, 0);
    }

    void probe()
    {
        const QString probeFile =
            AppPaths::privateTempDir() + QStringLiteral("/quillsnap_temp.png");
        installTool(workFile(QStringLiteral("page.png")), 0);
        QList<bool> answers;
        const auto probe = [&] {
            m_service->probeScreenRecordingPermission([&](bool allowed) { answers << allowed; });
        };
        probe();
        QVERIFY(answers.isEmpty()); // the caller does not wait
        QTRY_COMPARE(answers, QList<bool>{true});
        QCOMPARE(toolInvocations(), (QList<QStringList>{{QStringLiteral("-x"), probeFile}}));
        QVERIFY(!QFileInfo::exists(probeFile));
        // Refused by the desktop, and a tool that hangs: both answer false.
        installTool(workFile(QStringLiteral("page.png")), 3);
        probe();
        installTool(workFile(QStringLiteral("page.png")), 0, QStringLiteral("exec sleep 30"));
        m_service->setProbeTimeout(500);
        probe();
        QTRY_COMPARE_WITH_TIMEOUT(answers, (QList<bool>{true, false, false}), 5000);
        QVERIFY(!QFileInfo::exists(probeFile));
        QCOMPARE(m_beeper.count, 0);
    }

    void cleanStaleCaptures()
    {
        const QString dir = AppPaths::privateTempDir();
        const QString capture =
            QStringLiteral("screenshot_0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0.png");
        const QString foreign = QStringLiteral("screenshot_notes.png");
        for (const QString& name : {capture, foreign, QStringLiteral("quillsnap_temp.png")}) {
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
