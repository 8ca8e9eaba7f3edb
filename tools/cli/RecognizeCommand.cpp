#include "ImageFilesCommand.h"

#include "capture/OCRService.h"
#include "capture/TextProcessingService.h"

#include <QElapsedTimer>
#include <QEventLoop>

namespace {

// quillsnap-cli recognize: the text a capture of each image would put on the
// clipboard, read by the same warm on-device engine.
class RecognizeCommand : public ImageFilesCommand
{
public:
    QString name() const override { return QStringLiteral("recognize"); }
    QString summary() const override
    {
        return QStringLiteral("print the text of image files, as a capture reads it");
    }
    QString help() const override
    {
        return QStringLiteral(
            "Usage: quillsnap-cli recognize [--json] FILE...\n\n"
            "Recognises the text of each image on this machine and prints it as a\n"
            "capture would copy it: cleaned up, tables turned into markdown, trimmed.\n\n"
            "  --json   one JSON object per file and line: file, text, and ms, the\n"
            "           recognition time with the engine already loaded\n\n"
            "Exit status: 0 when every file gave text, 1 when a file had none,\n"
            "2 when a file could not be read or recognised.\n");
    }

protected:
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
                outcome.failure = QStringLiteral("text recognition failed");
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
        return QStringLiteral("No text was detected in ") + file;
    }
};

RecognizeCommand command;
CliCommand::Registration registration(&command);

} // namespace
