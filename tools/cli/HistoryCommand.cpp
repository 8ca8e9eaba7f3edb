// `quillsnap-cli history`: reads the stored history (decrypting it with the
// key from the user's secret store) and lists, searches or exports it. It
// only reads: no key is made, nothing is migrated or written.
#include "CliCommand.h"
#include "common/Graphemes.h"
#include "history/EncryptionService.h"
#include "history/HistoryItem.h"
#include "history/SecretStore.h"
#include "platform/SecretStoreFactory.h"
#include "settings/PreferenceKeys.h"
#include "settings/Preferences.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>

namespace {

// Lets the encryption service read the key but never write one: a missing
// key must not be replaced by a new one from a read-only tool.
class ReadOnlySecretStore : public SecretStore
{
public:
    explicit ReadOnlySecretStore(std::unique_ptr<SecretStore> inner) : m_inner(std::move(inner)) {}
    Lookup read(const QString& service, const QString& account) override
    {
        return m_inner->read(service, account);
    }
    Status write(const QString&, const QString&, const QByteArray&) override
    {
        return Status::Unavailable;
    }
    Status remove(const QString&, const QString&) override { return Status::Unavailable; }
    QString displayName() const override { return m_inner->displayName(); }

private:
    std::unique_ptr<SecretStore> m_inner;
};

struct LoadedHistory
{
    QList<HistoryItem> items;
    QString error; // set when the stored history exists but cannot be read
};

LoadedHistory loadStoredHistory()
{
    Preferences& prefs = Preferences::shared();
    LoadedHistory result;
    const auto encrypted = prefs.dataValue(PreferenceKeys::captureHistoryEncrypted);
    if (encrypted) {
        ReadOnlySecretStore store(SecretStoreFactory::create());
        EncryptionService encryption(store);
        const auto plain = encryption.decrypt(*encrypted);
        if (plain) {
            if (auto items = HistoryItem::decodeListJson(*plain)) {
                result.items = std::move(*items);
            } else {
                result.error =
                    QStringLiteral("the stored history is damaged and cannot be decoded");
            }
        } else if (plain.error() == EncryptionError::decryptionFailed) {
            result.error =
                QStringLiteral("the stored history cannot be decrypted with the key in %1")
                    .arg(store.displayName());
        } else {
            result.error = QStringLiteral("the history key cannot be read from %1 (is it locked?)")
                               .arg(store.displayName());
        }
    } else if (const auto plainEntry = prefs.dataValue(PreferenceKeys::captureHistory)) {
        if (auto items = HistoryItem::decodeListJson(*plainEntry)) {
            result.items = std::move(*items);
        } else {
            result.error = QStringLiteral("the stored history is damaged and cannot be decoded");
        }
    }
    std::stable_sort(
        result.items.begin(), result.items.end(),
        [](const HistoryItem& a, const HistoryItem& b) { return a.timestamp > b.timestamp; });
    return result;
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
