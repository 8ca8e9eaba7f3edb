// quillsnap-cli languages: the recognition languages installed on this
// machine, and which of them a capture reads.
#include "CliCommand.h"

#include "capture/RecognitionLanguages.h"
#include "common/AppPaths.h"
#include "settings/PreferenceKeys.h"
#include "settings/Preferences.h"

namespace {

class LanguagesCommand : public CliCommand
{
    Q_DECLARE_TR_FUNCTIONS(LanguagesCommand)

public:
    QString name() const override { return QStringLiteral("languages"); }
    QString summary() const override { return tr("List the installed recognition languages"); }
    QString synopsis() const override { return QStringLiteral("languages [--used]"); }
    void configure(QCommandLineParser& parser) const override
    {
        parser.setApplicationDescription(
            tr("List the languages on-device recognition can read, one per line: a star for "
               "those captures read (chosen in the settings), the Tesseract name, the name in "
               "your language. Installed in %1 and %2.")
                .arg(RecognitionLanguages::dataDirectories().join(tr(" and "))));
        parser.addOption(QCommandLineOption(
            QStringLiteral("used"),
            tr("Print only the languages captures read, joined by \"+\" as recognize "
               "--languages takes them")));
    }
    int run(const QCommandLineParser& parser, CliContext& ctx) override
    {
        if (!parser.positionalArguments().isEmpty()) {
            return ctx.unexpectedArgument(parser.positionalArguments().first());
        }
        const Preferences preferences(AppPaths::configDir() + QStringLiteral("/quillsnap.conf"));
        const QStringList installed = RecognitionLanguages::installed();
        const QStringList used = RecognitionLanguages::effective(
            preferences.stringValue(PreferenceKeys::recognitionLanguages), installed);
        if (parser.isSet(QStringLiteral("used"))) {
            ctx.out << RecognitionLanguages::join(used) << u'\n';
        } else {
            for (const QString& language : installed) {
                ctx.out << (used.contains(language) ? u"* " : u"  ") << language.leftJustified(12)
                        << u' ' << RecognitionLanguages::displayName(language) << u'\n';
            }
        }
        return ctx.out.flush() ? 0 : 1;
    }
};

LanguagesCommand command;
CliCommand::Registration registration(&command);

} // namespace
