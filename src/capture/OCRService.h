#pragma once

#include "capture/OCRError.h"
#include "common/Expected.h"

#include <QImage>
#include <QObject>
#include <QRect>
#include <QString>
#include <QThreadPool>

#include <functional>
#include <memory>
#include <optional>

class Beeper;
class GeminiService;
class KeychainService;
class OCRCacheService;
class OCRSpaceService;
class OpenAIService;
class Preferences;
class TextRecognizer;

using OCRResult = Expected<QString, OCRError>;

// The recognition service: takes an interactive screenshot with the region
// picker, reads its text on the device or through a cloud provider, or
// decodes its barcodes, and hands the outcome to a completion.
//
// Every completion runs exactly once, on the thread that owns the service
// (the main thread), and always from the event loop, never from inside the
// call that started the operation. A completion still pending when the
// service is destroyed is dropped.
class OCRService : public QObject
{
    Q_OBJECT

public:
    using Completion = std::function<void(OCRResult)>;

    // recognizer: the on-device text engine, used by one call at a time.
    explicit OCRService(std::shared_ptr<TextRecognizer> recognizer, QObject* parent = nullptr);
    ~OCRService() override;

    // The application's instance, with the Tesseract engine.
    static OCRService& shared();

    // The region picker; by default quillsnap-screencapture beside the
    // application binary, else where the package installs it, else from PATH.
    void setScreenshotToolPath(const QString& path) { m_toolPath = path; }
    QString screenshotToolPath() const { return m_toolPath; }
    static QString defaultScreenshotToolPath();

    // Played when a screenshot is cancelled; not owned, may be null (silent).
    void setBeeper(Beeper* beeper) { m_beeper = beeper; }

    // Lets the user pick a region; success carries the path of the new PNG
    // file, which the caller then owns.
    // With a region (logical desktop coordinates) that region is captured at
    // once, without the picker. A desktop that refuses the screenshot gives
    // permissionDenied.
    void takeInteractiveScreenshot(std::function<void(Expected<QString, OCRError>)> completion,
                                   std::optional<QRect> region = std::nullopt);
    // Screenshot, then text recognition. The capture file is deleted before
    // the completion runs, whatever the outcome.
    void captureAndRecognize(Completion completion, std::optional<QRect> region = std::nullopt);
    // Screenshot, then barcode detection; success carries the payloads, one
    // per line. The capture file is deleted whatever the outcome.
    void captureAndScan(Completion completion, std::optional<QRect> region = std::nullopt);

    // Runs one silent full-screen capture and deletes it, so that a desktop
    // which guards screen capture asks the user for permission. Returns at
    // once; done (optional) learns whether the capture was allowed. A tool
    // that hangs is ended after the probe timeout (default 2 minutes: the
    // user may be reading the desktop's question).
    void probeScreenRecordingPermission(std::function<void(bool allowed)> done = {});
    void setProbeTimeout(int ms) { m_probeTimeoutMs = ms; }

    // Removes the capture files an earlier run left behind.
    void cleanStaleCaptures();

    // Cloud recognition. With both set, an image goes to the chosen provider
    // when AI-enhanced recognition is on and that provider has a key; any
    // provider failure falls back to the device. Without them every image is
    // read on the device. Not owned; must outlive the service.
    void setRoutingServices(Preferences* preferences, KeychainService* keychain);
    // The recognition cache of the OpenAI and Gemini answers; by default the
    // shared one. Not owned.
    void setCache(OCRCacheService* cache) { m_cache = cache; }
    OpenAIService& openAI() { return *m_openAI; }
    GeminiService& gemini() { return *m_gemini; }
    OCRSpaceService& ocrSpace() { return *m_ocrSpace; }

    // Reads the image file and recognises its text.
    void recognizeImage(const QString& path, Completion completion);
    // Recognises a loaded image, routed by the preferences.
    void recognizeImage(const QImage& image, Completion completion);
    // Routed to provider ("openai", "gemini", "ocrspace") for this call, with
    // AI-enhanced recognition taken as on; another name reads on the device.
    void recognizeWithProvider(const QImage& image, const QString& provider, Completion completion);
    // Recognition with the on-device engine on its worker thread: reading
    // order, joining and clean-up. Success may carry an empty text when the
    // clean-up removed every line.
    void recognizeOnDevice(const QImage& image, Completion completion);
    // Barcode detection on a worker thread. The file at path (the capture it
    // was read from, if any) is deleted first.
    void detectBarcodes(const QImage& image, const QString& path, Completion completion);

    // Loads the engine on its worker thread ahead of the first recognition;
    // done (optional) runs on the service's thread once it is ready.
    void warmUp(std::function<void()> done = {});

    // The languages of on-device recognition (see RecognitionLanguages);
    // a warm engine reloads on its worker thread.
    void setRecognitionLanguages(const QStringList& languages, const QStringList& extraDirectories);

    static QString cleanRecognizedText(const QString& text);

signals:
    // A provider was asked to read an image (the loading toast goes up).
    // Ended follows once per start, just before the outcome is delivered,
    // whatever the outcome and also when the cache answered.
    void providerRequestStarted();
    void providerRequestEnded();

private:
    void deliver(Completion completion, OCRResult result);
    QString newCapturePath() const;
    void route(const QImage& image, bool aiEnabled, const QString& provider, Completion completion);
    // OpenAI and Gemini: the cache first, then the provider.
    void recognizeWithOpenAI(const QImage& image, const QString& apiKey, Completion completion);
    void recognizeWithGemini(const QImage& image, const QString& apiKey, Completion completion);
    void recognizeThroughCache(const QImage& image, const QString& provider, const QString& apiKey,
                               Completion completion);
    void recognizeWithOCRSpace(const QImage& image, const QString& apiKey, Completion completion);
    // The provider's text (nullopt: it failed) becomes the outcome; a
    // failure falls back to the device, silently.
    void handleProviderResult(const QImage& image, const std::optional<QString>& text,
                              Completion completion);

    std::shared_ptr<TextRecognizer> m_recognizer;
    Preferences* m_preferences = nullptr;
    KeychainService* m_keychain = nullptr;
    OCRCacheService* m_cache = nullptr;
    std::unique_ptr<OpenAIService> m_openAI;
    std::unique_ptr<GeminiService> m_gemini;
    std::unique_ptr<OCRSpaceService> m_ocrSpace;
    Beeper* m_beeper = nullptr;
    QString m_toolPath;
    int m_probeTimeoutMs = 120'000;
    // One thread for the engine, which takes one call at a time and stays
    // loaded; barcode scans and cache keys run beside it.
    QThreadPool m_recognitionPool;
    QThreadPool m_scanPool;
};
