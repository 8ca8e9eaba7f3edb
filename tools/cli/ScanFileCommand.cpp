#include "ImageFilesCommand.h"

#include "capture/BarcodeDetector.h"

#include <QElapsedTimer>

namespace {

// quillsnap-cli scan-file: the payloads of the QR codes and barcodes in image
// files, as "Scan QR/Barcode" would copy them.
class ScanFileCommand : public ImageFilesCommand
{
    Q_DECLARE_TR_FUNCTIONS(ScanFileCommand)

public:
    QString name() const override { return QStringLiteral("scan-file"); }
    QString summary() const override
    {
        return tr("Print the QR code and barcode payloads of image files");
    }

protected:
    QString description() const override
    {
        return tr("Print the payloads of the QR codes and barcodes in each image, one per line, "
                  "in the order the detector finds them.");
    }

    Outcome process(const QImage& image) override
    {
        QElapsedTimer timer;
        timer.start();
        const auto found = BarcodeDetector::detect(image);
        Outcome outcome;
        outcome.ms = timer.elapsed();
        if (!found) {
            outcome.status = Outcome::Status::failed;
            outcome.failure = tr("barcode detection failed");
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
        return tr("No QR code or barcode was detected in %1").arg(file);
    }
};

ScanFileCommand command;
CliCommand::Registration registration(&command);

} // namespace
