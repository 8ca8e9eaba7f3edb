#include "capture/OCRService.h"

#include "capture/BarcodeDetector.h"
#include "capture/Beeper.h"
#include "capture/ImageFile.h"
#include "capture/OCRCacheService.h"
#include "capture/ReadingOrder.h"
#include "capture/TextCleanup.h"
#include "capture/TextRecognizer.h"
#include "common/AppPaths.h"
#include "common/CaptureRegion.h"
#include "history/KeychainService.h"
#include "providers/GeminiService.h"
#include "providers/OCRSpaceService.h"
#include "providers/OpenAIService.h"
#include "settings/PreferenceKeys.h"
#include "settings/Preferences.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTimer>
#include <QUuid>

namespace {

const QString toolName = QStringLiteral("quillsnap-screencapture");
// The picker's status when the desktop would not let it read the screen.
constexpr int toolExitRefused = 3;

OCRResult recognizeWith(TextRecognizer& recognizer, const QImage& image)
{
    const auto observations = recognizer.recognize(image);
    if (!observations) {
        return unexpected(OCRError::ocrFailed);
    }
    const QString joined =
        ReadingOrder::joinObservations(ReadingOrder::orderObservations(*observations));
    if (joined.isEmpty()) {
        return unexpected(OCRError::noTextDetected);
    }
    // Delivered even when the clean-up leaves nothing: the engine did read
    // something, it was only noise.
    return TextCleanup::cleanRecognizedText(joined);
}

// Outcome of a scan.
OCRResult scanOutcome(const Expected<QList<std::optional<QString>>, BarcodeDetector::Error>& found)
{
    if (!found) {
        return unexpected(OCRError::ocrFailed);
    }
    if (found->isEmpty()) {
        return unexpected(OCRError::noTextDetected);
    }
    QStringList payloads;
    for (const std::optional<QString>& payload : *found) {
        if (payload) {
            payloads.append(*payload);
        }
    }
    if (payloads.isEmpty()) {
        return unexpected(OCRError::noTextDetected);
    }
    return payloads.join(QLatin1Char('\n'));
}

void silence(QProcess& process)
{
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
}

} // namespace

OCRService::OCRService(std::shared_ptr<TextRecognizer> recognizer, QObject* parent)
    : QObject(parent), m_recognizer(std::move(recognizer)), m_cache(&OCRCacheService::shared()),
      m_openAI(std::make_unique<OpenAIService>()), m_gemini(std::make_unique<GeminiService>()),
      m_ocrSpace(std::make_unique<OCRSpaceService>()), m_toolPath(defaultScreenshotToolPath())
{
    m_recognitionPool.setMaxThreadCount(1);
    // Keep the engine's thread for the life of the service.
    m_recognitionPool.setExpiryTimeout(-1);
    m_scanPool.setMaxThreadCount(2);
}

OCRService::~OCRService()
{
    // A picker still open has nobody left to report to: close it.
    for (QProcess* picker : findChildren<QProcess*>(Qt::FindDirectChildrenOnly)) {
        picker->disconnect(this);
        picker->kill();
        picker->waitForFinished(1000);
    }
    // Workers post their outcome to this object; let them finish first so
    // that none touches it half-destroyed. Posted outcomes are then dropped.
    m_recognitionPool.waitForDone();
    m_scanPool.waitForDone();
}

QString OCRService::defaultScreenshotToolPath()
{
    if (QCoreApplication::instance()) {
        const QString beside = QCoreApplication::applicationDirPath() + QLatin1Char('/') + toolName;
        if (QFileInfo(beside).isExecutable()) {
            return beside;
        }
    }
    // Where the package installs it: a helper, not a command for PATH.
    const QString installed = QStringLiteral(QUILLSNAP_LIBEXEC_DIR "/") + toolName;
    if (QFileInfo(installed).isExecutable()) {
        return installed;
    }
    const QString found = QStandardPaths::findExecutable(toolName);
    return found.isEmpty() ? toolName : found;
}

void OCRService::deliver(Completion completion, OCRResult result)
{
    // Queued even on the owning thread, so that no completion runs inside the
    // call that started the operation.
    QMetaObject::invokeMethod(
        this,
        [completion = std::move(completion), result = std::move(result)]() mutable {
            completion(std::move(result));
        },
        Qt::QueuedConnection);
}

QString OCRService::newCapturePath() const
{
    const QString dir = AppPaths::privateTempDir();
    if (dir.isEmpty()) {
        return {};
    }
    const QString uuid = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    return dir + QStringLiteral("/screenshot_") + uuid + QStringLiteral(".png");
}

void OCRService::takeInteractiveScreenshot(
    std::function<void(Expected<QString, OCRError>)> completion, std::optional<QRect> region)
{
    using CaptureResult = Expected<QString, OCRError>;
    const QString path = newCapturePath();
    // Shared by both outcomes below; whichever comes first takes it, so the
    // completion runs once.
    auto pending = std::make_shared<std::function<void(CaptureResult)>>(std::move(completion));
    const auto failLater = [this, pending] {
        QMetaObject::invokeMethod(
            this, [pending] { (*pending)(unexpected(OCRError::screenshotFailed)); },
            Qt::QueuedConnection);
    };
    if (path.isEmpty()) {
        failLater();
        return;
    }

    auto* process = new QProcess(this);
    process->setProgram(m_toolPath);
    process->setArguments(region ? QStringList{QStringLiteral("-x"), path, QStringLiteral("-R"),
                                               CaptureRegion::format(*region)}
                                 : QStringList{QStringLiteral("-i"), path});
    silence(*process);
    // The picker ends itself when this process goes, even between fork and
    // its own main().
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QUILLSNAP_PARENT_PID"),
                       QString::number(QCoreApplication::applicationPid()));
    process->setProcessEnvironment(environment);
    auto settled = std::make_shared<bool>(false);

    // The picker could not be started: no beep, the user saw nothing. This
    // may be reported from inside start(), hence the queued delivery.
    connect(process, &QProcess::errorOccurred, this,
            [process, settled, failLater](QProcess::ProcessError error) {
                if (error != QProcess::FailedToStart || *settled) {
                    return;
                }
                *settled = true;
                process->deleteLater();
                failLater();
            });
    // A crash also ends here, with CrashExit.
    connect(process, &QProcess::finished, this,
            [this, process, settled, pending, path](int exitCode, QProcess::ExitStatus status) {
                if (*settled) {
                    return;
                }
                *settled = true;
                process->deleteLater();
                if (status == QProcess::NormalExit && exitCode == 0 && QFileInfo::exists(path)) {
                    (*pending)(path);
                    return;
                }
                // Cancelled (no file) or failed: a file a failing tool wrote
                // may hold part of the screen, so it goes too.
                QFile::remove(path);
                if (status == QProcess::NormalExit && exitCode == toolExitRefused) {
                    // Not the user's cancel: the desktop said no. No beep;
                    // the alert says how to allow it.
                    (*pending)(unexpected(OCRError::permissionDenied));
                    return;
                }
                if (m_beeper) {
                    m_beeper->beep();
                }
                (*pending)(unexpected(OCRError::screenshotFailed));
            });
    process->start();
}

void OCRService::captureAndRecognize(Completion completion, std::optional<QRect> region)
{
    takeInteractiveScreenshot(
        [this, completion = std::move(completion)](Expected<QString, OCRError> shot) mutable {
            if (!shot) {
                completion(unexpected(shot.error()));
                return;
            }
            const QString path = *shot;
            recognizeImage(path, [path, completion = std::move(completion)](OCRResult result) {
                QFile::remove(path);
                completion(std::move(result));
            });
        },
        region);
}

void OCRService::captureAndScan(Completion completion, std::optional<QRect> region)
{
    takeInteractiveScreenshot(
        [this, completion = std::move(completion)](Expected<QString, OCRError> shot) mutable {
            if (!shot) {
                completion(unexpected(shot.error()));
                return;
            }
            // The capture holds whatever was on screen: it goes on every path,
            // found codes or not.
            const auto image = ImageFile::read(*shot);
            QFile::remove(*shot);
            if (!image) {
                deliver(std::move(completion), unexpected(OCRError::imageLoadFailed));
                return;
            }
            detectBarcodes(*image, *shot, std::move(completion));
        },
        region);
}

void OCRService::probeScreenRecordingPermission(std::function<void(bool allowed)> done)
{
    const QString dir = AppPaths::privateTempDir();
    if (dir.isEmpty()) {
        return;
    }
    const QString path = dir + QStringLiteral("/quillsnap_temp.png");
    // Asynchronous: the desktop may show a question the user takes a while
    // to answer, and the window that asked must stay responsive meanwhile.
    auto* process = new QProcess(this);
    process->setProgram(m_toolPath);
    process->setArguments({QStringLiteral("-x"), path});
    silence(*process);
    auto* timeout = new QTimer(process);
    timeout->setSingleShot(true);
    connect(timeout, &QTimer::timeout, process, &QProcess::kill);
    const auto settle = [process, path, done](bool allowed) {
        if (process->property("settled").toBool()) {
            return;
        }
        process->setProperty("settled", true);
        QFile::remove(path);
        process->deleteLater();
        if (done) {
            done(allowed);
        }
    };
    connect(process, &QProcess::finished, this, [settle](int code, QProcess::ExitStatus status) {
        settle(status == QProcess::NormalExit && code == 0);
    });
    connect(process, &QProcess::errorOccurred, this, [settle](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            settle(false);
        }
    });
    timeout->start(m_probeTimeoutMs);
    process->start();
}

void OCRService::cleanStaleCaptures()
{
    const QString dir = AppPaths::privateTempDir();
    if (dir.isEmpty()) {
        return;
    }
    // Only one instance runs per user, and it calls this before its first
    // capture: whatever is left was left by an instance that ended abruptly.
    static const QRegularExpression captureName(
        QStringLiteral("^(screenshot_[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}"
                       "|quillsnap_temp)\\.png$"));
    const QFileInfoList files = QDir(dir).entryInfoList(QDir::Files | QDir::Hidden);
    for (const QFileInfo& info : files) {
        if (captureName.match(info.fileName()).hasMatch()) {
            QFile::remove(info.filePath());
        }
    }
}

void OCRService::setRoutingServices(Preferences* preferences, KeychainService* keychain)
{
    m_preferences = preferences;
    m_keychain = keychain;
}

void OCRService::recognizeImage(const QString& path, Completion completion)
{
    const auto image = ImageFile::read(path);
    if (!image) {
        deliver(std::move(completion), unexpected(OCRError::imageLoadFailed));
        return;
    }
    recognizeImage(*image, std::move(completion));
}

void OCRService::recognizeImage(const QImage& image, Completion completion)
{
    const bool aiEnabled = m_preferences && m_preferences->aiEnhancedOCREnabled();
    route(image, aiEnabled, aiEnabled ? m_preferences->aiProvider() : QString(),
          std::move(completion));
}

void OCRService::recognizeWithProvider(const QImage& image, const QString& provider,
                                       Completion completion)
{
    route(image, true, provider, std::move(completion));
}

void OCRService::route(const QImage& image, bool aiEnabled, const QString& provider,
                       Completion completion)
{
    const QLatin1StringView account = KeychainService::accountForProvider(provider);
    // Nothing waits for the keyring unless a provider may be asked: a locked
    // one that prompts or does not answer must not hold up on-device captures.
    if (!aiEnabled || account.isEmpty() || !m_keychain) {
        recognizeOnDevice(image, std::move(completion));
        return;
    }
    m_keychain->readKey(
        account, this,
        [this, image, provider, completion](const KeychainService::KeyLookup& lookup) {
            // A keyring that cannot be asked, or an item that is not text,
            // leaves no key to send.
            if (!lookup.found()) {
                recognizeOnDevice(image, completion);
                return;
            }
            emit providerRequestStarted();
            Completion ended = [this, completion](OCRResult result) {
                emit providerRequestEnded();
                completion(std::move(result));
            };
            if (provider == ProviderIds::openai) {
                recognizeWithOpenAI(image, lookup.key, std::move(ended));
            } else if (provider == ProviderIds::gemini) {
                recognizeWithGemini(image, lookup.key, std::move(ended));
            } else {
                recognizeWithOCRSpace(image, lookup.key, std::move(ended));
            }
        });
}

void OCRService::recognizeWithOpenAI(const QImage& image, const QString& apiKey,
                                     Completion completion)
{
    recognizeThroughCache(image, ProviderIds::openai, apiKey, std::move(completion));
}

void OCRService::recognizeWithGemini(const QImage& image, const QString& apiKey,
                                     Completion completion)
{
    recognizeThroughCache(image, ProviderIds::gemini, apiKey, std::move(completion));
}

void OCRService::recognizeThroughCache(const QImage& image, const QString& provider,
                                       const QString& apiKey, Completion completion)
{
    // Hashing a full screen takes tens of milliseconds: off the main thread,
    // once, for the lookup and the store.
    m_scanPool.start([this, cache = m_cache, image, provider, apiKey, completion] {
        const std::optional<QString> key = OCRCacheService::cacheKey(image);
        const std::optional<QString> cached = key ? cache->cachedTextForKey(*key) : std::nullopt;
        QMetaObject::invokeMethod(
            this,
            [this, cache, key, cached, image, provider, apiKey, completion] {
                if (cached) {
                    completion(cached->isEmpty() ? OCRResult(unexpected(OCRError::noTextDetected))
                                                 : OCRResult(*cached));
                    return;
                }
                if (apiKey.isEmpty()) {
                    recognizeOnDevice(image, completion);
                    return;
                }
                const auto handle = [this, cache, key, image, completion](const auto& result) {
                    if (result && key) {
                        cache->storeTextForKey(*result, *key);
                    }
                    handleProviderResult(image, result ? std::optional(*result) : std::nullopt,
                                         completion);
                };
                const Preferences* prefs = m_preferences;
                if (provider == ProviderIds::gemini) {
                    m_gemini->recognizeText(image, apiKey,
                                            {prefs ? prefs->geminiBaseURL() : QString(),
                                             prefs ? prefs->geminiModelForClient()
                                                   : QStringLiteral("gemini-2.5-flash")},
                                            handle);
                } else {
                    m_openAI->recognizeText(
                        image, apiKey,
                        {prefs ? prefs->openaiBaseURL() : QString(),
                         prefs ? prefs->openaiModelForRequest() : QStringLiteral("gpt-4o")},
                        handle);
                }
            },
            Qt::QueuedConnection);
    });
}

void OCRService::recognizeWithOCRSpace(const QImage& image, const QString& apiKey,
                                       Completion completion)
{
    m_ocrSpace->recognizeText(
        image, apiKey, m_preferences ? m_preferences->ocrSpaceBaseURL() : QString(),
        [this, image, completion](const OCRSpaceService::Result& result) {
            handleProviderResult(image, result ? std::optional(*result) : std::nullopt, completion);
        });
}

void OCRService::handleProviderResult(const QImage& image, const std::optional<QString>& text,
                                      Completion completion)
{
    if (!text) {
        // Whatever the provider said stays here: the user gets the device's
        // reading instead, with no word about the provider.
        recognizeOnDevice(image, std::move(completion));
        return;
    }
    if (text->isEmpty()) {
        completion(unexpected(OCRError::noTextDetected));
        return;
    }
    completion(*text);
}

void OCRService::recognizeOnDevice(const QImage& image, Completion completion)
{
    if (image.isNull() || !m_recognizer) {
        deliver(std::move(completion), unexpected(OCRError::ocrFailed));
        return;
    }
    m_recognitionPool.start([this, recognizer = m_recognizer, image, completion]() {
        deliver(completion, recognizeWith(*recognizer, image));
    });
}

void OCRService::detectBarcodes(const QImage& image, const QString& path, Completion completion)
{
    m_scanPool.start([this, image, path, completion]() {
        QFile::remove(path);
        deliver(completion, scanOutcome(BarcodeDetector::detect(image)));
    });
}

void OCRService::warmUp(std::function<void()> done)
{
    if (!m_recognizer) {
        return;
    }
    m_recognitionPool.start([this, recognizer = m_recognizer, done]() {
        // A blank page makes the engine load its models and read nothing.
        QImage blank(64, 64, QImage::Format_Grayscale8);
        blank.fill(255);
        (void)recognizer->recognize(blank);
        if (done) {
            QMetaObject::invokeMethod(this, done, Qt::QueuedConnection);
        }
    });
}

void OCRService::setRecognitionLanguages(const QStringList& languages,
                                         const QStringList& extraDirectories)
{
    if (!m_recognizer) {
        return;
    }
    // On the engine's own thread, after the recognitions already queued: a
    // warm engine loads the new languages there, and no capture waits for it
    // on the main thread.
    m_recognitionPool.start([recognizer = m_recognizer, languages, extraDirectories]() {
        recognizer->setLanguages(languages, extraDirectories);
    });
}

QString OCRService::cleanRecognizedText(const QString& text)
{
    return TextCleanup::cleanRecognizedText(text);
}
