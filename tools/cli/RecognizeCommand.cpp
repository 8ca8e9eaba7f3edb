#include "ImageFilesCommand.h"

#include "capture/OCRService.h"
#include "capture/RecognitionLanguages.h"
#include "capture/TextProcessingService.h"
#include "common/AppPaths.h"
#include "history/AsyncSecretStore.h"
#include "history/KeychainService.h"
#include "platform/SecretStoreFactory.h"
#include "settings/PreferenceKeys.h"
#include "settings/Preferences.h"

#include <QElapsedTimer>
#include <QEventLoop>

#include <memory>

namespace {

const QString onDeviceOption = QStringLiteral("on-device");
const QString providerOption = QStringLiteral("provider");
const QString languagesOption = QStringLiteral("languages");

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
        return name() +
               QStringLiteral(" [--json] [--on-device | --provider <name>] [--languages <names>] "
                              "<file>...");
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
        parser.addOption(QCommandLineOption(
            languagesOption,
            tr("Read these languages, Tesseract names joined by \"+\" (for example eng+deu), "
               "instead of those chosen in the settings; see quillsnap-cli languages"),
            tr("names")));
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
        const auto languages = chooseLanguages(parser);
        if (!languages) {
            return ctx.usageError(languages.error());
        }
        OCRService::shared().setRecognitionLanguages(*languages,
                                                     {RecognitionLanguages::userDataDirectory()});
        const int status = ImageFilesCommand::run(parser, ctx);
        // The service lives on until the application goes; these go now.
        OCRService::shared().setRoutingServices(nullptr, nullptr);
        m_keychain.reset();
        m_secrets.reset();
        m_preferences.reset();
        return status;
    }

    // The languages of --languages, all installed, or the settings' choice.
    static Expected<QStringList, QString> chooseLanguages(const QCommandLineParser& parser)
    {
        const QStringList installed = RecognitionLanguages::installed();
        if (!parser.isSet(languagesOption)) {
            const Preferences preferences(AppPaths::configDir() +
                                          QStringLiteral("/quillsnap.conf"));
            return RecognitionLanguages::effective(
                preferences.stringValue(PreferenceKeys::recognitionLanguages), installed);
        }
        const QString given = CliArguments::text(parser.value(languagesOption));
        QStringList languages;
        for (const QString& name : given.split(u'+')) {
            if (!RecognitionLanguages::isValidName(name)) {
                return unexpected(tr("'%1' is not a language name such as eng or chi_sim")
                                      .arg(CliOutput::printable(name, false)));
            }
            if (!installed.contains(name)) {
                return unexpected(
                    tr("the language %1 is not installed (quillsnap-cli languages lists them)")
                        .arg(name));
            }
            languages << name;
        }
        return languages;
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
