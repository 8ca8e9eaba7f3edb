#include "CliCommand.h"

#include "capture/TextCleanup.h"
#include "capture/TextProcessingService.h"

namespace {

// Cleans recognised text read from standard input the way on-device
// recognition does, and turns price lists and column text into a table.
class TidyCommand : public CliCommand
{
public:
    QString name() const override { return QStringLiteral("tidy"); }
    QString summary() const override
    {
        return QStringLiteral("Clean up recognised text read from standard input");
    }
    QString help() const override
    {
        return QStringLiteral(
            "Usage: quillsnap-cli tidy [--help]\n"
            "\n"
            "Reads UTF-8 text from standard input, removes stray interface glyphs,\n"
            "joins words broken at line ends, rebuilds paragraphs and, when the text\n"
            "looks like a price list or columns, turns it into a markdown table.\n"
            "Prints the result on standard output.\n");
    }

    int run(const QStringList& args, CliContext& ctx) override
    {
        if (wantsHelp(args)) {
            ctx.out << help();
            return 0;
        }
        if (!args.isEmpty()) {
            const QString& arg = args.first();
            ctx.err << "quillsnap-cli tidy: "
                    << (arg.startsWith(u'-') ? "unknown option '" : "unexpected argument '") << arg
                    << "'\n";
            ctx.err << "Run 'quillsnap-cli tidy --help' for usage.\n";
            return 2;
        }
        ctx.out << TextProcessingService::finalText(
                       TextCleanup::cleanRecognizedText(ctx.in.readAll()))
                << '\n';
        return 0;
    }
};

TidyCommand command;
const CliCommand::Registration registration(&command);

} // namespace
