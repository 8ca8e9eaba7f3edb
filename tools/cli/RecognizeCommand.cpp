#include "ImageFilesCommand.h"

#include "capture/OCRService.h"
#include "capture/TextProcessingService.h"
#include "common/AppPaths.h"
#include "history/AsyncSecretStore.h"
#include "history/KeychainService.h"
#include "platform/SecretStoreFactory.h"
#include "settings/Preferences.h"

#include <QElapsedTimer>
#include <QEventLoop>

#include <memory>

namespace {

const QString onDeviceOption = QStringLiteral("on-device");
const QString providerOption = QStringLiteral("provider");

// quillsnap-cli recognize: the text a capture of each image would put on the
// clipboard, read as a capture reads it: by the chosen cloud provider when
// AI-enhanced recognition is on and it has a key (answers cached for the
// run, the device's reading when it fails), else by the warm on-device engine.
class RecognizeCommand : public ImageFilesCommand
{
    Q_DECLARE_TR_FUNCTIONS(RecognizeCommand)

public:
    QString name() const override { return QStringLiteral("recognize"); }
    QString summary() const override
    {
        return tr("Print the text of image files, as a capture reads it");
    }
    QString synopsis() const override
    {
        return name() + QStringLiteral(" [--json] [--on-device | --provider <name>] <file>...");
    }

    void configure(QCommandLineParser& parser) const override
    {
        ImageFilesCommand::configure(parser);
        parser.addOption(QCommandLineOption(onDeviceOption,
                                            tr("Read on this machine, whatever the settings say")));
        parser.addOption(QCommandLineOption(
            providerOption,
            tr("Ask this provider (openai, gemini or ocrspace) with its stored key, as if "
               "AI-Enhanced OCR were on"),
            tr("name")));
    }

    int run(const QCommandLineParser& parser, CliContext& ctx) override
    {
        m_onDevice = parser.isSet(onDeviceOption);
        m_provider = parser.value(providerOption);
        if (m_onDevice && parser.isSet(providerOption)) {
            return ctx.usageError(tr("--on-device and --provider exclude each other"));
        }
        if (parser.isSet(providerOption) &&
            KeychainService::accountForProvider(m_provider).isEmpty()) {
            return ctx.usageError(tr("unknown provider '%1' (openai, gemini or ocrspace)")
                                      .arg(CliOutput::printable(m_provider, false)));
        }
        const int status = ImageFilesCommand::run(parser, ctx);
        // The service lives on until the application goes; these go now.
        OCRService::shared().setRoutingServices(nullptr, nullptr);
        m_keychain.reset();
        m_secrets.reset();
        m_preferences.reset();
        return status;
    }

protected:
    QString description() const override
    {
        return tr("Recognise the text of each image and print it as a capture would copy it: "
                  "cleaned up, tables turned into Markdown, trimmed. Like a capture, it asks the "
                  "chosen cloud provider when AI-Enhanced OCR is on and that provider has a key, "
                  "and reads on this machine otherwise or when the provider fails. With --json, "
                  "ms is the recognition time (with the on-device engine already loaded).");
    }

    void prepare() override
    {
        OCRService& ocr = OCRService::shared();
        if (!m_onDevice) {
            m_preferences = std::make_unique<Preferences>(AppPaths::configDir() +
                                                          QStringLiteral("/quillsnap.conf"));
            m_secrets = std::make_unique<AsyncSecretStore>(SecretStoreFactory::create());
            m_keychain = std::make_unique<KeychainService>(*m_secrets);
            ocr.setRoutingServices(m_preferences.get(), m_keychain.get());
        }
        // Load the engine first, so that the times are those of a warm
        // engine; a provider's run only starts it, for the fallback.
        if (!m_provider.isEmpty() || (!m_onDevice && m_preferences->aiEnhancedOCREnabled())) {
            ocr.warmUp();
            return;
        }
        QEventLoop loop;
        ocr.warmUp([&loop] { loop.quit(); });
        loop.exec();
    }

    Outcome process(const QImage& image) override
    {
        OCRService& ocr = OCRService::shared();
        std::optional<OCRResult> result;
        QEventLoop loop;
        QElapsedTimer timer;
        timer.start();
        const auto done = [&](OCRResult r) {
            result = std::move(r);
            loop.quit();
        };
        if (m_onDevice) {
            ocr.recognizeOnDevice(image, done);
        } else if (!m_provider.isEmpty()) {
            ocr.recognizeWithProvider(image, m_provider, done);
        } else {
            ocr.recognizeImage(image, done);
        }
        loop.exec();

        Outcome outcome;
        outcome.ms = timer.elapsed();
        if (!*result) {
            if (result->error() == OCRError::noTextDetected) {
                outcome.status = Outcome::Status::noText;
            } else {
                outcome.status = Outcome::Status::failed;
                outcome.failure = tr("text recognition failed");
            }
            return outcome;
        }
        // What the capture workflow does next, and the clipboard's trimming.
        outcome.text = TextProcessingService::finalText(result->value()).trimmed();
        outcome.status = Outcome::Status::text;
        return outcome;
    }

    QString noResultMessage(const QString& file) const override
    {
        return tr("No text was detected in %1").arg(file);
    }

private:
    bool m_onDevice = false;
    QString m_provider;
    std::unique_ptr<Preferences> m_preferences;
    std::unique_ptr<AsyncSecretStore> m_secrets;
    std::unique_ptr<KeychainService> m_keychain;
};

RecognizeCommand command;
CliCommand::Registration registration(&command);

} // namespace
