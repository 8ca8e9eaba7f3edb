// `quillsnap-cli history`: reads the stored history (decrypting it with the
// key from the user's secret store) and lists, searches or exports it. It
// only reads: no key is made, nothing is migrated or written.
#include "CliCommand.h"
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

QString oneLine(const HistoryItem& item)
{
    QString preview = Graphemes::preview(item.text, 50);
    for (QChar& c : preview) {
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QLatin1Char('\t')) {
            c = QLatin1Char(' ');
        }
    }
    return item.timestamp.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) +
           QStringLiteral("  ") + preview;
}

class HistoryCommand : public CliCommand
{
public:
    QString name() const override { return QStringLiteral("history"); }
    QString summary() const override
    {
        return QStringLiteral("List, search or export the stored captures");
    }
    QString help() const override
    {
        return QStringLiteral(
            "Usage: quillsnap-cli history list\n"
            "       quillsnap-cli history search TEXT\n"
            "       quillsnap-cli history export [--format json|markdown]\n\n"
            "list    one capture per line, newest first: its time and first 50 characters\n"
            "search  the captures whose text contains TEXT (ignoring case), same form\n"
            "export  every capture in full, as JSON (default) or Markdown\n");
    }

    int run(const QStringList& args, CliContext& ctx) override
    {
        if (args.isEmpty()) {
            ctx.err << help();
            return 2;
        }
        if (wantsHelp(args)) {
            ctx.out << help();
            return 0;
        }
        const QString sub = args.first();
        const QStringList rest = args.mid(1);
        if (sub == QLatin1String("list")) {
            if (!rest.isEmpty()) {
                return badArgument(ctx, rest.first());
            }
            return print(ctx, QString());
        }
        if (sub == QLatin1String("search")) {
            if (rest.size() != 1) {
                ctx.err << "quillsnap-cli history search: expected one TEXT argument\n";
                return 2;
            }
            return print(ctx, rest.first());
        }
        if (sub == QLatin1String("export")) {
            QString format = QStringLiteral("json");
            for (qsizetype i = 0; i < rest.size(); ++i) {
                if (rest.at(i) == QLatin1String("--format") && i + 1 < rest.size()) {
                    format = rest.at(++i);
                } else if (rest.at(i).startsWith(QLatin1String("--format="))) {
                    format = rest.at(i).mid(9);
                } else {
                    return badArgument(ctx, rest.at(i));
                }
            }
            if (format != QLatin1String("json") && format != QLatin1String("markdown")) {
                ctx.err << "quillsnap-cli history export: unknown format '" << format
                        << "' (use json or markdown)\n";
                return 2;
            }
            return exportAll(ctx, format);
        }
        ctx.err << "quillsnap-cli history: unknown subcommand '" << sub << "'\n" << help();
        return 2;
    }

private:
    static int badArgument(CliContext& ctx, const QString& arg)
    {
        ctx.err << "quillsnap-cli history: unexpected argument '" << arg << "'\n";
        return 2;
    }

    static bool load(CliContext& ctx, LoadedHistory& history)
    {
        history = loadStoredHistory();
        if (!history.error.isEmpty()) {
            ctx.err << "quillsnap-cli history: " << history.error << "\n";
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
                ctx.out << oneLine(item) << "\n";
            }
        }
        return 0;
    }

    static int exportAll(CliContext& ctx, const QString& format)
    {
        LoadedHistory history;
        if (!load(ctx, history)) {
            return 1;
        }
        if (format == QLatin1String("json")) {
            ctx.out << QString::fromUtf8(QJsonDocument(HistoryItem::encodeList(history.items))
                                             .toJson(QJsonDocument::Indented));
            return 0;
        }
        ctx.out << "# quillsnap history\n";
        for (const HistoryItem& item : history.items) {
            ctx.out << "\n## " << item.timestamp.toLocalTime().toString(Qt::ISODate) << " · "
                    << item.deviceName << "\n\n"
                    << item.text << "\n";
        }
        return 0;
    }
};

HistoryCommand historyCommand;
const CliCommand::Registration registerHistory(&historyCommand);

} // namespace
