#include "ImageFilesCommand.h"

#include "capture/BarcodeDetector.h"

#include <QElapsedTimer>

namespace {

// quillsnap-cli scan-file: the payloads of the QR codes and barcodes in image
// files, as "Scan QR/Barcode" would copy them.
class ScanFileCommand : public ImageFilesCommand
{
public:
    QString name() const override { return QStringLiteral("scan-file"); }
    QString summary() const override
    {
        return QStringLiteral("print the QR code and barcode payloads of image files");
    }
    QString help() const override
    {
        return QStringLiteral(
            "Usage: quillsnap-cli scan-file [--json] FILE...\n\n"
            "Prints the payloads of the QR codes and barcodes in each image, one per\n"
            "line, in the order the detector finds them.\n\n"
            "  --json   one JSON object per file and line: file, text, ms\n\n"
            "Exit status: 0 when every file held a code, 1 when a file held none,\n"
            "2 when a file could not be read or scanned.\n");
    }

protected:
    Outcome process(const QImage& image) override
    {
        QElapsedTimer timer;
        timer.start();
        const auto found = BarcodeDetector::detect(image);
        Outcome outcome;
        outcome.ms = timer.elapsed();
        if (!found) {
            outcome.status = Outcome::Status::failed;
            outcome.failure = QStringLiteral("barcode detection failed");
            return outcome;
        }
        QStringList payloads;
        for (const std::optional<QString>& payload : *found) {
            if (payload) {
                payloads.append(*payload);
            }
        }
        // The clipboard trims what it is given.
        outcome.text = payloads.join(QLatin1Char('\n')).trimmed();
        outcome.status = Outcome::Status::text;
        return outcome;
    }

    QString noResultMessage(const QString& file) const override
    {
        return QStringLiteral("No QR code or barcode was detected in ") + file;
    }
};

ScanFileCommand command;
CliCommand::Registration registration(&command);

} // namespace
