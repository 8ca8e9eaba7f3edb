// GLib first: gio uses "signals" as an identifier, which Qt defines as a macro.
#include <libsecret/secret.h>

#include "platform/SecretServiceStore.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QStringDecoder>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

Q_LOGGING_CATEGORY(lcSecretService, "quillsnap.secrets.service")

namespace {

const SecretSchema* schema()
{
    // DONT_MATCH_NAME: lookups and deletions also find items that other tools
    // (secret-tool, older versions) stored with the same two attributes.
    static const SecretSchema s = {"com.quillsnap.Secret",
                                   SECRET_SCHEMA_DONT_MATCH_NAME,
                                   {{"service", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                    {"account", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                    {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING}}};
    return &s;
}

struct GErrorFree
{
    void operator()(GError* e) const { g_error_free(e); }
};
using ErrorPtr = std::unique_ptr<GError, GErrorFree>;

struct ValueUnref
{
    void operator()(SecretValue* v) const { secret_value_unref(v); }
};
using ValuePtr = std::unique_ptr<SecretValue, ValueUnref>;

struct ObjectListFree
{
    void operator()(GList* l) const { g_list_free_full(l, g_object_unref); }
};
using ObjectListPtr = std::unique_ptr<GList, ObjectListFree>;

struct HashTableUnref
{
    void operator()(GHashTable* t) const { g_hash_table_unref(t); }
};

// Cancels a GCancellable when the time limit passes. libsecret's synchronous
// calls spin a private main loop of their own, so the watchdog lives on a
// thread of its own; g_cancellable_cancel() may be called from any thread.
class Deadline
{
public:
    explicit Deadline(std::chrono::milliseconds limit) : m_cancellable(g_cancellable_new())
    {
        m_watchdog = std::thread([this, limit] {
            std::unique_lock lock(m_mutex);
            if (!m_cv.wait_for(lock, limit, [this] { return m_finished; })) {
                m_expired = true;
                g_cancellable_cancel(m_cancellable);
            }
        });
    }

    ~Deadline()
    {
        {
            std::lock_guard lock(m_mutex);
            m_finished = true;
        }
        m_cv.notify_one();
        m_watchdog.join();
        g_object_unref(m_cancellable);
    }

    Deadline(const Deadline&) = delete;
    Deadline& operator=(const Deadline&) = delete;

    GCancellable* cancellable() const { return m_cancellable; }
    bool expired()
    {
        std::lock_guard lock(m_mutex);
        return m_expired;
    }

private:
    GCancellable* m_cancellable;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_finished = false;
    bool m_expired = false;
    std::thread m_watchdog;
};

// The attribute table of one item. The values point into the byte arrays
// held here, so the table lives exactly as long as they do.
class Attributes
{
public:
    explicit Attributes(const QString& service)
        : m_service(service.toUtf8()), m_table(g_hash_table_new(g_str_hash, g_str_equal))
    {
        g_hash_table_insert(m_table.get(), const_cast<char*>("service"),
                            const_cast<char*>(m_service.constData()));
    }
    // An empty account is an attribute like any other, not a wildcard.
    Attributes(const QString& service, const QString& account) : Attributes(service)
    {
        m_account = account.toUtf8();
        g_hash_table_insert(m_table.get(), const_cast<char*>("account"),
                            const_cast<char*>(m_account.constData()));
    }
    GHashTable* table() const { return m_table.get(); }

private:
    QByteArray m_service;
    QByteArray m_account;
    std::unique_ptr<GHashTable, HashTableUnref> m_table;
};

void logFailure(const char* operation, const GError* error, Deadline& deadline)
{
    // Only the operation and libsecret's message: never a secret.
    if (deadline.expired()) {
        qCWarning(lcSecretService, "%s: Secret Service did not answer in time", operation);
    } else {
        qCWarning(lcSecretService, "%s: %s", operation, error ? error->message : "failed");
    }
}

bool isUtf8Text(const QByteArray& bytes)
{
    if (bytes.contains('\0')) {
        return false;
    }
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder(bytes);
    return !decoder.hasError();
}

// Items matching the attributes, locked ones included; nothing is unlocked
// and no secret is transferred.
ObjectListPtr search(const Attributes& attributes, Deadline& deadline, ErrorPtr& error)
{
    GError* raw = nullptr;
    GList* items = secret_password_searchv_sync(schema(), attributes.table(), SECRET_SEARCH_ALL,
                                                deadline.cancellable(), &raw);
    error.reset(raw);
    return ObjectListPtr(items);
}

} // namespace

SecretServiceStore::SecretServiceStore(std::chrono::milliseconds timeLimit) : m_timeLimit(timeLimit)
{
}

SecretStore::Lookup SecretServiceStore::read(const QString& service, const QString& account)
{
    Deadline deadline(m_timeLimit);
    const Attributes attributes(service, account);
    GError* raw = nullptr;
    ValuePtr value(secret_password_lookupv_binary_sync(schema(), attributes.table(),
                                                       deadline.cancellable(), &raw));
    ErrorPtr error(raw);
    if (error) {
        logFailure("read", error.get(), deadline);
        return {Status::Unavailable, {}};
    }
    if (value) {
        gsize length = 0;
        const gchar* data = secret_value_get(value.get(), &length);
        return {Status::Ok, QByteArray(data, qsizetype(length))};
    }
    // libsecret answers "no value" without an error also when the item
    // exists but stays locked (unlock prompt dismissed). Tell the two apart,
    // or a locked keyring would look like a missing key.
    const ObjectListPtr items = search(attributes, deadline, error);
    if (error) {
        logFailure("read", error.get(), deadline);
        return {Status::Unavailable, {}};
    }
    if (items) {
        qCWarning(lcSecretService, "read: the item exists but is locked");
        return {Status::Unavailable, {}};
    }
    return {Status::NotFound, {}};
}

SecretStore::Status SecretServiceStore::write(const QString& service, const QString& account,
                                              const QByteArray& secret)
{
    Deadline deadline(m_timeLimit);
    const Attributes attributes(service, account);
    // The API keys are text; the history key is raw bytes. The content type
    // only describes the value to other tools: the bytes round-trip either way.
    const char* contentType = isUtf8Text(secret) ? "text/plain" : "application/octet-stream";
    ValuePtr value(secret_value_new(secret.constData(), secret.size(), contentType));
    const QByteArray label = QStringLiteral("quillsnap: %1").arg(account).toUtf8();

    GError* raw = nullptr;
    // Replaces our earlier item of these attributes in the default collection.
    const bool stored = secret_password_storev_binary_sync(
        schema(), attributes.table(), SECRET_COLLECTION_DEFAULT, label.constData(), value.get(),
        deadline.cancellable(), &raw);
    ErrorPtr error(raw);
    if (!stored) {
        logFailure("write", error.get(), deadline);
        return Status::Unavailable;
    }

    // An item of the same attributes written by another tool carries another
    // schema name and is not replaced by the store above; remove it, or a
    // lookup could return the older secret.
    const ObjectListPtr items = search(attributes, deadline, error);
    if (error) {
        logFailure("write", error.get(), deadline);
        return Status::Unavailable;
    }
    for (GList* l = items.get(); l; l = l->next) {
        if (!SECRET_IS_ITEM(l->data)) {
            continue;
        }
        auto* item = SECRET_ITEM(l->data);
        std::unique_ptr<GHashTable, HashTableUnref> itemAttributes(
            secret_item_get_attributes(item));
        const auto* schemaName =
            static_cast<const char*>(g_hash_table_lookup(itemAttributes.get(), "xdg:schema"));
        if (schemaName && qstrcmp(schemaName, schema()->name) == 0) {
            continue;
        }
        GError* deleteError = nullptr;
        if (!secret_item_delete_sync(item, deadline.cancellable(), &deleteError)) {
            ErrorPtr owned(deleteError);
            logFailure("write", owned.get(), deadline);
            return Status::Unavailable;
        }
    }
    return Status::Ok;
}

SecretStore::Status SecretServiceStore::remove(const QString& service, const QString& account)
{
    Deadline deadline(m_timeLimit);
    const Attributes attributes(service, account);
    GError* raw = nullptr;
    // FALSE without an error means there was nothing to delete.
    secret_password_clearv_sync(schema(), attributes.table(), deadline.cancellable(), &raw);
    ErrorPtr error(raw);
    if (error) {
        logFailure("remove", error.get(), deadline);
        return Status::Unavailable;
    }
    // Clearing skips locked items: only report success when none is left.
    const ObjectListPtr items = search(attributes, deadline, error);
    if (error) {
        logFailure("remove", error.get(), deadline);
        return Status::Unavailable;
    }
    if (items) {
        qCWarning(lcSecretService, "remove: a locked item remains");
        return Status::Unavailable;
    }
    return Status::Ok;
}

QString SecretServiceStore::displayName() const
{
    return QCoreApplication::translate("SecretServiceStore",
                                       "your desktop keyring (Secret Service)");
}
