// Cloud routing benchmark. A loopback server answers every request after a
// fixed delay; for a small and a 4K capture it reports, per provider, the time
// the routing adds beyond that delay (cache key, image preparation, the
// transfer on loopback, parsing), with its parts timed alone; and the cost of
// the on-device fallback after a provider failure against a direct on-device
// recognition of the same capture, in the same run.
//   bench_providers [--runs N] [--delay MS] [--no-device]
#include "MemorySecretStore.h"
#include "RecordingHttpServer.h"

#include "capture/OCRCacheService.h"
#include "capture/OCRService.h"
#include "capture/TesseractRecognizer.h"
#include "history/AsyncSecretStore.h"
#include "history/KeychainService.h"
#include "providers/GeminiService.h"
#include "providers/ImagePreparation.h"
#include "providers/OCRSpaceService.h"
#include "providers/OpenAIService.h"
#include "settings/PreferenceKeys.h"
#include "settings/Preferences.h"

#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QPainter>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>

namespace {

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n == 0 ? 0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// A screen of prose in a UI font, as a capture of a document looks.
QImage screen(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(18);
    painter.setFont(font);
    const QString line = QStringLiteral(
        "Invoice 2026-0417 shipped to Berlin on 12 March; total amount due: 1,250.00 EUR. ");
    int n = 0;
    for (int y = 28; y < height - 8; y += 28) {
        painter.drawText(12, y, (line + QString::number(++n) + QLatin1Char(' ') + line));
    }
    return image;
}

template <typename F> double timeMs(F&& f)
{
    QElapsedTimer timer;
    timer.start();
    f();
    return double(timer.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("runs"), QStringLiteral("Runs per figure"),
                      QStringLiteral("n"), QStringLiteral("7")});
    parser.addOption({QStringLiteral("delay"), QStringLiteral("Server delay"), QStringLiteral("ms"),
                      QStringLiteral("50")});
    parser.addOption({QStringLiteral("no-device"), QStringLiteral("Skip the on-device figures")});
    parser.process(app);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const int runs = std::max(1, parser.value(QStringLiteral("runs")).toInt());
    const int delay = parser.value(QStringLiteral("delay")).toInt();

    QTemporaryDir dir;
    // The server works in a thread of its own, so that its reading of the
    // upload is not counted as the client's.
    QThread serverThread;
    QObject serverContext;
    serverContext.moveToThread(&serverThread);
    serverThread.start();
    RecordingHttpServer* server = nullptr;
    const auto onServerThread = [&](std::function<void()> f) {
        QMetaObject::invokeMethod(&serverContext, f, Qt::BlockingQueuedConnection);
    };
    onServerThread([&] { server = new RecordingHttpServer; });
    const auto setReply = [&](RecordingHttpServer::Reply reply) {
        onServerThread([&] { server->reply = reply; });
    };
    const QByteArray answer = RecordingHttpServer::answering(QStringLiteral("Invoice 2026"));
    Preferences prefs(dir.filePath(QStringLiteral("bench.conf")));
    for (const auto key : {PreferenceKeys::openaiBaseURL, PreferenceKeys::geminiBaseURL,
                           PreferenceKeys::ocrSpaceBaseURL}) {
        prefs.setValue(key, server->baseURL());
    }
    auto secrets = std::make_shared<MemorySecretStore>();
    for (const char* provider : {"openai", "gemini", "ocrspace"}) {
        secrets->set(QString(KeychainService::service),
                     QString(KeychainService::accountForProvider(QString::fromLatin1(provider))),
                     "sk-bench");
    }
    AsyncSecretStore store(secrets);
    KeychainService keychain(store);
    OCRService service(std::make_shared<TesseractRecognizer>());
    service.setRoutingServices(&prefs, &keychain);
    {
        QEventLoop loop;
        service.warmUp([&loop] { loop.quit(); });
        loop.exec();
    }

    // One recognition through the routing (or straight on the device), timed
    // from the call to the outcome on the main thread.
    const auto recognize = [&](const QImage& image, const QString& provider) {
        OCRCacheService cache; // every run a first capture
        service.setCache(&cache);
        QEventLoop loop;
        return timeMs([&] {
            const auto done = [&loop](OCRResult) { loop.quit(); };
            if (provider.isEmpty()) {
                service.recognizeOnDevice(image, done);
            } else {
                service.recognizeWithProvider(image, provider, done);
            }
            loop.exec();
        });
    };

    std::printf("server delay %d ms, %d runs per figure, medians\n\n", delay, runs);
    for (const QSize size : {QSize(800, 300), QSize(3840, 2160)}) {
        const QImage image = screen(size.width(), size.height());
        std::printf("%dx%d capture\n", size.width(), size.height());
        QList<double> key, prep, prepFull, body, multipart;
        QByteArray jpeg, jpegFull;
        for (int i = 0; i < runs; ++i) {
            key << timeMs([&] { (void)OCRCacheService::cacheKey(image); });
            prep << timeMs([&] { jpeg = *ImagePreparation::jpeg(image, 2048, 75); });
            prepFull << timeMs([&] { jpegFull = *ImagePreparation::jpeg(image, 0, 90); });
            body << timeMs(
                [&] { (void)OpenAIService::requestBody(jpeg, QStringLiteral("gpt-4o")); });
            multipart << timeMs(
                [&] { (void)OCRSpaceService::multipartBody(jpegFull, QStringLiteral("B")); });
        }
        std::printf("  parts alone: cache key %.1f ms, JPEG 0.75 at 2048 %.1f ms (%lld KiB), "
                    "JPEG 0.9 full size %.1f ms (%lld KiB), JSON body %.1f ms, multipart %.1f ms, "
                    "parse %.3f ms\n",
                    median(key), median(prep), qint64(jpeg.size() / 1024), median(prepFull),
                    qint64(jpegFull.size() / 1024), median(body), median(multipart),
                    timeMs([&] { (void)OpenAIService::parseResponse(answer); }));

        setReply({200, answer, delay});
        for (const char* provider : {"openai", "gemini", "ocrspace"}) {
            QList<double> times;
            for (int i = 0; i < runs; ++i) {
                times << recognize(image, QString::fromLatin1(provider));
            }
            // Qt's HTTP socket keeps Nagle's algorithm on: a run may wait for
            // the server's delayed acknowledgement (up to 40 ms) on upload.
            std::printf(
                "  %-8s routed %.1f ms: %.1f ms beyond the server's delay (best run %.1f)\n",
                provider, median(times), median(times) - delay,
                *std::min_element(times.begin(), times.end()) - delay);
        }

        if (parser.isSet(QStringLiteral("no-device"))) {
            continue;
        }
        // The fallback repeats exactly the direct recognition: its share of a
        // failed route (the route minus a successful one) against a direct run.
        const int deviceRuns = size.width() > 1000 ? std::min(runs, 3) : runs;
        QList<double> direct, failed, succeeded;
        for (int i = 0; i < deviceRuns; ++i) {
            direct << recognize(image, {});
            setReply({500, "<html>Internal Server Error</html>", delay});
            failed << recognize(image, QStringLiteral("openai"));
            setReply({200, answer, delay});
            succeeded << recognize(image, QStringLiteral("openai"));
        }
        const double fallback = median(failed) - median(succeeded);
        std::printf("  on-device direct %.0f ms; after a provider failure %.0f ms "
                    "(route %.0f ms - successful route %.0f ms): ratio %.2f\n\n",
                    median(direct), fallback, median(failed), median(succeeded),
                    fallback / median(direct));
    }
    onServerThread([&] { delete server; });
    serverThread.quit();
    serverThread.wait();
    return 0;
}
