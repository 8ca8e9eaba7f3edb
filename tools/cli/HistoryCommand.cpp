// `quillsnap-cli history`: reads the stored history (decrypting it with the
// key from the user's secret store) and lists, searches or exports it. These
// only read: no key is made, nothing is migrated or written. `import` adds
// records (HistoryImport.cpp).
#include "CliCommand.h"
#include "HistoryImport.h"
#include "common/AppPaths.h"
#include "common/Graphemes.h"
#include "history/AsyncSecretStore.h"
#include "history/HistoryItem.h"
#include "history/HistoryService.h"
#include "platform/SecretStoreFactory.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>

namespace {

struct LoadedHistory
{
    QList<HistoryItem> items;
    QString error; // set when the stored history exists but cannot be read
};

LoadedHistory loadStoredHistory()
{
    using Kind = HistoryService::ReadError::Kind;
    const auto read = HistoryService::readStored(AppPaths::dataDir(), SecretStoreFactory::create(),
                                                 AsyncSecretStore::defaultTimeLimit);
    if (read) {
        return {*read, {}};
    }
    const QString detail = read.error().detail;
    switch (read.error().kind) {
    case Kind::keyUnavailable:
        return {
            {},
            QCoreApplication::translate(
                "HistoryCommand", "the history key cannot be read: %1 is locked or does not answer")
                .arg(detail)};
    case Kind::keyMissing:
        return {{},
                QCoreApplication::translate("HistoryCommand",
                                            "the history key is missing from %1, so the stored "
                                            "history cannot be decrypted")
                    .arg(detail)};
    case Kind::cannotDecrypt:
        return {{},
                QCoreApplication::translate(
                    "HistoryCommand", "the stored history cannot be decrypted with the key in %1")
                    .arg(detail)};
    case Kind::damaged:
        return {{},
                QCoreApplication::translate("HistoryCommand",
                                            "the stored history in %1 is damaged and cannot be "
                                            "decoded")
                    .arg(detail)};
    case Kind::unreadable:
        return {{}, QCoreApplication::translate("HistoryCommand", "cannot read %1").arg(detail)};
    }
    return {};
}

// One line for a terminal: the time and the first 50 characters.
QString oneLine(const HistoryItem& item)
{
    return item.timestamp.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) +
           QStringLiteral("  ") + CliOutput::printable(Graphemes::preview(item.text, 50), false);
}

class HistoryCommand : public CliCommand
{
    Q_DECLARE_TR_FUNCTIONS(HistoryCommand)

public:
    QString name() const override { return QStringLiteral("history"); }
    QString summary() const override
    {
        return tr("List, search, export or import the stored captures");
    }
    QString synopsis() const override
    {
        return QStringLiteral("history list\n"
                              "       quillsnap-cli history search <text>\n"
                              "       quillsnap-cli history export [--format json|markdown]\n"
                              "       quillsnap-cli history import <file>");
    }
    void configure(QCommandLineParser& parser) const override
    {
        parser.setApplicationDescription(
            tr("Read the captures quillsnap keeps (list, search and export change nothing), or "
               "add those of an export (the running quillsnap does it when there is one)."));
        parser.addOption(QCommandLineOption(formatOption,
                                            tr("Export as json (the default) or markdown"),
                                            QStringLiteral("format")));
        parser.addPositionalArgument(
            QStringLiteral("list"),
            tr("List the captures, newest first: time and first 50 characters"));
        parser.addPositionalArgument(
            QStringLiteral("search"),
            tr("List the captures whose text contains <text>, ignoring case"));
        parser.addPositionalArgument(QStringLiteral("export"), tr("Print every capture in full"));
        parser.addPositionalArgument(
            QStringLiteral("import"),
            tr("Add the captures of <file> (written by export --format json; - reads standard "
               "input) that the history does not hold yet"));
    }

    int run(const QCommandLineParser& parser, CliContext& ctx) override
    {
        const QStringList args = parser.positionalArguments();
        if (args.isEmpty()) {
            return ctx.usageError(tr("no subcommand given"));
        }
        const QString sub = args.first();
        const QString format = parser.value(formatOption);
        if (parser.isSet(formatOption) && sub != QLatin1String("export")) {
            return ctx.usageError(tr("--format applies to export only"));
        }
        if (sub == QLatin1String("list") || sub == QLatin1String("search")) {
            const qsizetype expected = sub == QLatin1String("list") ? 1 : 2;
            if (args.size() > expected) {
                return ctx.unexpectedArgument(args.at(expected));
            }
            if (args.size() < expected) {
                return ctx.usageError(tr("search needs the text to look for"));
            }
            return print(ctx, expected == 2 ? CliArguments::text(args.at(1)) : QString());
        }
        if (sub == QLatin1String("import")) {
            if (args.size() > 2) {
                return ctx.unexpectedArgument(args.at(2));
            }
            if (args.size() < 2) {
                return ctx.usageError(tr("import needs the file to read"));
            }
            return runHistoryImport(args.at(1), ctx);
        }
        if (sub == QLatin1String("export")) {
            if (args.size() > 1) {
                return ctx.unexpectedArgument(args.at(1));
            }
            if (parser.isSet(formatOption) && format != QLatin1String("json") &&
                format != QLatin1String("markdown")) {
                return ctx.usageError(
                    tr("unknown format '%1' (use json or markdown)")
                        .arg(CliOutput::printable(CliArguments::text(format), false)));
            }
            return exportAll(ctx, format != QLatin1String("markdown"));
        }
        return ctx.usageError(tr("unknown subcommand '%1'")
                                  .arg(CliOutput::printable(CliArguments::text(sub), false)));
    }

private:
    static inline const QString formatOption = QStringLiteral("format");

    static bool load(CliContext& ctx, LoadedHistory& history)
    {
        history = loadStoredHistory();
        if (!history.error.isEmpty()) {
            ctx.error(history.error);
            return false;
        }
        return true;
    }

    static int print(CliContext& ctx, const QString& needle)
    {
        LoadedHistory history;
        if (!load(ctx, history)) {
            return 1;
        }
        for (const HistoryItem& item : history.items) {
            if (needle.isEmpty() || item.text.contains(needle, Qt::CaseInsensitive)) {
                ctx.out << oneLine(item) << u'\n';
            }
        }
        return 0;
    }

    // JSON keeps every text exactly (its escapes are harmless anywhere);
    // Markdown is read on terminals too, so control characters go.
    static int exportAll(CliContext& ctx, bool json)
    {
        LoadedHistory history;
        if (!load(ctx, history)) {
            return 1;
        }
        if (json) {
            ctx.out << QString::fromUtf8(QJsonDocument(HistoryItem::encodeList(history.items))
                                             .toJson(QJsonDocument::Indented));
            return 0;
        }
        ctx.out << QStringLiteral("# quillsnap history\n");
        for (const HistoryItem& item : history.items) {
            ctx.out << QStringLiteral("\n## ") << item.timestamp.toLocalTime().toString(Qt::ISODate)
                    << QStringLiteral(" · ") << CliOutput::printable(item.deviceName, false)
                    << QStringLiteral("\n\n") << CliOutput::printable(item.text, true) << u'\n';
        }
        return 0;
    }
};

HistoryCommand historyCommand;
const CliCommand::Registration registerHistory(&historyCommand);

} // namespace
