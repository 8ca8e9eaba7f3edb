#include "ImageFilesCommand.h"

#include "capture/OCRService.h"
#include "capture/RecognitionLanguages.h"
#include "capture/TextProcessingService.h"
#include "common/AppPaths.h"
#include "settings/PreferenceKeys.h"
#include "settings/Preferences.h"

#include <QElapsedTimer>
#include <QEventLoop>

namespace {

// quillsnap-cli recognize: the text a capture of each image would put on the
// clipboard, read by the same warm on-device engine.
class RecognizeCommand : public ImageFilesCommand
{
    Q_DECLARE_TR_FUNCTIONS(RecognizeCommand)

public:
    QString name() const override { return QStringLiteral("recognize"); }
    QString summary() const override
    {
        return tr("Print the text of image files, as a capture reads it");
    }

protected:
    QString description() const override
    {
        return tr("Recognise the text of each image on this machine and print it as a capture "
                  "would copy it: cleaned up, tables turned into Markdown, trimmed. With --json, "
                  "ms is the recognition time with the engine already loaded.");
    }

    QString synopsis() const override
    {
        return QStringLiteral("recognize [--json] [--languages <names>] <file>...");
    }

    void configure(QCommandLineParser& parser) const override
    {
        ImageFilesCommand::configure(parser);
        parser.addOption(QCommandLineOption(
            QStringLiteral("languages"),
            tr("Read these languages, Tesseract names joined by \"+\" (for example eng+deu), "
               "instead of those chosen in the settings; see quillsnap-cli languages"),
            QStringLiteral("names")));
    }

    int run(const QCommandLineParser& parser, CliContext& ctx) override
    {
        const auto languages = chooseLanguages(parser);
        if (!languages) {
            return ctx.usageError(languages.error());
        }
        OCRService::shared().setRecognitionLanguages(*languages,
                                                     {RecognitionLanguages::userDataDirectory()});
        return ImageFilesCommand::run(parser, ctx);
    }

    // The languages of --languages, all installed, or the settings' choice.
    static Expected<QStringList, QString> chooseLanguages(const QCommandLineParser& parser)
    {
        const QStringList installed = RecognitionLanguages::installed();
        if (!parser.isSet(QStringLiteral("languages"))) {
            const Preferences preferences(AppPaths::configDir() +
                                          QStringLiteral("/quillsnap.conf"));
            return RecognitionLanguages::effective(
                preferences.stringValue(PreferenceKeys::recognitionLanguages), installed);
        }
        const QString given = CliArguments::text(parser.value(QStringLiteral("languages")));
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

    void prepare() override
    {
        // Load the engine first, so that the times are those of a warm engine.
        QEventLoop loop;
        OCRService::shared().warmUp([&loop] { loop.quit(); });
        loop.exec();
    }

    Outcome process(const QImage& image) override
    {
        std::optional<OCRResult> result;
        QEventLoop loop;
        QElapsedTimer timer;
        timer.start();
        OCRService::shared().recognizeOnDevice(image, [&](OCRResult r) {
            result = std::move(r);
            loop.quit();
        });
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
};

RecognizeCommand command;
CliCommand::Registration registration(&command);

} // namespace
