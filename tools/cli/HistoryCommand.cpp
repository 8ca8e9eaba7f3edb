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
    QString summary() const override { return tr("List, search or export the stored captures"); }
    QString synopsis() const override
    {
        return QStringLiteral("history list\n"
                              "       quillsnap-cli history search <text>\n"
                              "       quillsnap-cli history export [--format json|markdown]");
    }
    void configure(QCommandLineParser& parser) const override
    {
        parser.setApplicationDescription(
            tr("Read the captures quillsnap keeps. Nothing is changed or written."));
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
