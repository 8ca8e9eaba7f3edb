#include "ImageFilesCommand.h"

#include "capture/ImageFile.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <fcntl.h>
#include <unistd.h>

namespace {

const QString jsonOption = QStringLiteral("json");

// libpng reports a broken file on standard error itself, past Qt's message
// handler: while a file is decoded, standard error leads nowhere.
class QuietStandardError
{
public:
    QuietStandardError() : m_saved(::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0))
    {
        const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (m_saved >= 0 && null >= 0) {
            ::dup2(null, STDERR_FILENO);
        }
        if (null >= 0) {
            ::close(null);
        }
    }
    ~QuietStandardError()
    {
        if (m_saved >= 0) {
            ::dup2(m_saved, STDERR_FILENO);
            ::close(m_saved);
        }
    }
    QuietStandardError(const QuietStandardError&) = delete;
    QuietStandardError& operator=(const QuietStandardError&) = delete;

private:
    int m_saved;
};

Expected<QImage, ImageFile::Error> readQuietly(const QByteArray& path)
{
    const QuietStandardError quiet;
    return ImageFile::read(path);
}

} // namespace

QString ImageFilesCommand::synopsis() const
{
    return name() + QStringLiteral(" [--json] <file>...");
}

void ImageFilesCommand::configure(QCommandLineParser& parser) const
{
    parser.setApplicationDescription(
        description() + QStringLiteral("\n\n") +
        tr("Exit status: 0 when every file gave a result, 1 when a file gave none, 2 when a "
           "file could not be read."));
    parser.addOption(QCommandLineOption(
        jsonOption, tr("Print one JSON object per file and line: file, text, and ms, the time "
                       "taken")));
    parser.addPositionalArgument(QStringLiteral("<file>"), tr("Image file to read"),
                                 QStringLiteral("<file>..."));
}

int ImageFilesCommand::run(const QCommandLineParser& parser, CliContext& ctx)
{
    const QStringList files = parser.positionalArguments();
    if (files.isEmpty()) {
        return ctx.usageError(tr("no file given"));
    }
    const bool json = parser.isSet(jsonOption);
    // Text from images may carry control characters (a QR code can hold
    // anything): shown on a terminal, they are made harmless.
    const bool terminal = ctx.out.isTerminal();
    prepare();
    int status = 0;
    for (const QString& file : files) {
        const QByteArray path = CliArguments::bytes(file);
        const QString name = QFile::decodeName(path);
        const auto image = readQuietly(path);
        Outcome outcome;
        if (!image) {
            outcome.status = Outcome::Status::failed;
            outcome.failure =
                tr("cannot read %1: %2")
                    .arg(CliOutput::printable(name, false), ImageFile::describe(image.error()));
        } else {
            outcome = process(*image);
            if (outcome.status == Outcome::Status::text && outcome.text.isEmpty()) {
                outcome.status = Outcome::Status::noText;
            }
        }

        switch (outcome.status) {
        case Outcome::Status::text:
            break;
        case Outcome::Status::noText:
            ctx.err << noResultMessage(CliOutput::printable(name, false)) << u'\n';
            status = std::max(status, 1);
            break;
        case Outcome::Status::failed:
            ctx.error(outcome.failure);
            status = 2;
            break;
        }
        if (json) {
            const QJsonObject line{{QStringLiteral("file"), name},
                                   {QStringLiteral("text"), outcome.text},
                                   {QStringLiteral("ms"), outcome.ms}};
            ctx.out << QString::fromUtf8(QJsonDocument(line).toJson(QJsonDocument::Compact))
                    << u'\n';
        } else if (outcome.status == Outcome::Status::text) {
            ctx.out << (terminal ? CliOutput::printable(outcome.text, true) : outcome.text)
                    << u'\n';
        }
        ctx.err.flush();
        // Output that cannot be written ends the run: the rest would be lost too.
        if (!ctx.out.flush()) {
            break;
        }
    }
    return status;
}
