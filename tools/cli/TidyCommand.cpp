#include "CliCommand.h"

#include "capture/TextCleanup.h"
#include "capture/TextProcessingService.h"
#include "capture/UnicodeText.h"

#include <QStringDecoder>

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {

// Cleans recognised text read from standard input the way on-device
// recognition does, and turns price lists and column text into a table.
class TidyCommand : public CliCommand
{
    Q_DECLARE_TR_FUNCTIONS(TidyCommand)

public:
    QString name() const override { return QStringLiteral("tidy"); }
    QString summary() const override
    {
        return tr("Clean up recognised text read from standard input");
    }
    QString synopsis() const override { return QStringLiteral("tidy"); }
    void configure(QCommandLineParser& parser) const override
    {
        parser.setApplicationDescription(
            tr("Read UTF-8 text from standard input, remove stray interface glyphs, join words "
               "broken at line ends, rebuild paragraphs and, when the text looks like a price "
               "list or columns, turn it into a Markdown table. Print the result on standard "
               "output."));
    }

    int run(const QCommandLineParser& parser, CliContext& ctx) override
    {
        if (!parser.positionalArguments().isEmpty()) {
            return ctx.unexpectedArgument(parser.positionalArguments().first());
        }
        // The text is read and cleaned line by line, and the result written
        // in pieces: only the cleaned text is ever held in full.
        TextCleanup::LineCleaner cleaner;
        if (const int error = readLines(STDIN_FILENO, cleaner)) {
            ctx.error(tr("cannot read standard input: %1")
                          .arg(QString::fromLocal8Bit(std::strerror(error))));
            return 1;
        }
        const QString& text = cleaner.finish();
        TextProcessingService::writeFinalText(
            text, cleaner.separatesParagraphs() ? QStringView(u"\n\n") : QStringView(u"\n"),
            [&ctx](QStringView piece) { ctx.out << piece; });
        ctx.out << u'\n';
        return 0;
    }

private:
    // Feeds the lines of fd to cleaner; returns 0, or errno when reading failed.
    static int readLines(int fd, TextCleanup::LineCleaner& cleaner)
    {
        QStringDecoder decoder(QStringDecoder::Utf8);
        QString pending;
        char chunk[65536];
        for (;;) {
            const ssize_t n = ::read(fd, chunk, sizeof chunk);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0) {
                return errno;
            }
            // What is pending holds no line break: look at the new part only.
            const qsizetype scanFrom = pending.size();
            pending += decoder.decode(QByteArrayView(chunk, n));
            qsizetype start = 0;
            for (qsizetype i = scanFrom; i < pending.size(); ++i) {
                if (UnicodeText::isNewline(pending.at(i).unicode())) {
                    cleaner.addLine(pending.sliced(start, i - start));
                    start = i + 1;
                }
            }
            pending.remove(0, start);
            if (n == 0) {
                cleaner.addLine(std::move(pending));
                return 0;
            }
        }
    }
};

TidyCommand command;
const CliCommand::Registration registration(&command);

} // namespace
