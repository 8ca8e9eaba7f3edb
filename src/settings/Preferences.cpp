#include "settings/Preferences.h"

#include "settings/PreferenceKeys.h"

#include <QFile>
#include <QStringDecoder>

#include <limits>

namespace {

// QSettings reads nearly anything, turning damage into odd keys that the next
// write would make permanent. A file of ours is UTF-8 text of sections,
// "key=value" lines and comments; anything else is not ours to rewrite.
bool looksLikeIni(const QString& path)
{
    QFile file(path);
    if (!file.exists()) {
        return true;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray data = file.readAll();
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder(data);
    if (decoder.hasError() || text.contains(QChar(u'\0'))) {
        return false;
    }
    for (QStringView line : QStringView(text).split(u'\n')) {
        line = line.trimmed();
        const bool fine = line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#') ||
                          (line.startsWith(u'[') && line.endsWith(u']')) || line.contains(u'=');
        if (!fine) {
            return false;
        }
    }
    return true;
}

} // namespace

Preferences::Preferences(const QString& configFile, QObject* parent)
    : QObject(parent), m_settings(std::make_unique<QSettings>(configFile, QSettings::IniFormat))
{
    // A file that cannot be read or parsed is the user's, not ours: leave it
    // as it is (QSettings would write back only what it understood) and run
    // on defaults, keeping changes in memory.
    switch (m_settings->status()) {
    case QSettings::NoError:
        if (looksLikeIni(configFile)) {
            return;
        }
        m_problem = tr("%1 cannot be parsed").arg(configFile);
        break;
    case QSettings::FormatError:
        m_problem = tr("%1 cannot be parsed").arg(configFile);
        break;
    case QSettings::AccessError:
        m_problem = tr("%1 cannot be read").arg(configFile);
        break;
    }
    m_memory.emplace();
}

Preferences::~Preferences() = default;

QString Preferences::configFile() const
{
    return m_settings->fileName();
}

bool Preferences::contains(QLatin1StringView key) const
{
    return m_memory ? m_memory->contains(key) : m_settings->contains(key);
}

QVariant Preferences::value(QLatin1StringView key) const
{
    return m_memory ? m_memory->value(key) : m_settings->value(key);
}

void Preferences::setValue(QLatin1StringView key, const QVariant& value)
{
    if (m_memory) {
        m_memory->insert(key, value);
    } else {
        m_settings->setValue(key, value);
    }
    emit changed(QString(key));
}

void Preferences::remove(QLatin1StringView key)
{
    if (m_memory) {
        m_memory->remove(key);
    } else {
        m_settings->remove(key);
    }
    emit changed(QString(key));
}

bool Preferences::boolValue(QLatin1StringView key, bool defaultValue) const
{
    const QVariant v = value(key);
    if (!v.isValid()) {
        return defaultValue;
    }
    // INI stores every value as text; "true"/"false" and numbers both convert.
    if (v.typeId() == QMetaType::QString) {
        const QString s = v.toString().trimmed().toLower();
        if (s == QLatin1String("true")) {
            return true;
        }
        if (s == QLatin1String("false")) {
            return false;
        }
        bool ok = false;
        const double d = s.toDouble(&ok);
        return ok ? d != 0.0 : false;
    }
    return v.toBool();
}

std::optional<QString> Preferences::stringValue(QLatin1StringView key) const
{
    const QVariant v = value(key);
    if (!v.isValid() || v.typeId() == QMetaType::QStringList) {
        return std::nullopt;
    }
    if (!v.canConvert<QString>()) {
        return std::nullopt;
    }
    return v.toString();
}

std::optional<qint64> Preferences::intValue(QLatin1StringView key) const
{
    const QVariant v = value(key);
    if (!v.isValid()) {
        return std::nullopt;
    }
    bool ok = false;
    const qlonglong n = v.toString().trimmed().toLongLong(&ok);
    if (ok) {
        return n;
    }
    const double d = v.toString().trimmed().toDouble(&ok);
    if (ok && d >= double(std::numeric_limits<qint64>::min()) &&
        d <= double(std::numeric_limits<qint64>::max())) {
        return qint64(d);
    }
    return std::nullopt;
}

std::optional<quint32> Preferences::uint32Value(QLatin1StringView key) const
{
    const auto n = intValue(key);
    if (!n || *n < 0 || *n > qint64(std::numeric_limits<quint32>::max())) {
        return std::nullopt;
    }
    return quint32(*n);
}

std::optional<QDateTime> Preferences::dateValue(QLatin1StringView key) const
{
    const QVariant v = value(key);
    if (!v.isValid()) {
        return std::nullopt;
    }
    QDateTime t = v.toDateTime();
    if (!t.isValid()) {
        t = QDateTime::fromString(v.toString(), Qt::ISODateWithMs);
    }
    if (!t.isValid()) {
        return std::nullopt;
    }
    return t;
}

bool Preferences::hasCompletedOnboarding() const
{
    return boolValue(PreferenceKeys::hasCompletedOnboarding, false);
}

bool Preferences::aiEnhancedOCREnabled() const
{
    return boolValue(PreferenceKeys::aiEnhancedOCREnabled, false);
}

QString Preferences::aiProvider() const
{
    return stringValue(PreferenceKeys::aiProvider).value_or(QString(ProviderIds::openai));
}

QString Preferences::openaiModel() const
{
    return stringValue(PreferenceKeys::openaiModel).value_or(QStringLiteral("gpt-4o"));
}

QString Preferences::geminiModelForMenu() const
{
    return stringValue(PreferenceKeys::geminiModel).value_or(QStringLiteral("gemini-2.5-flash"));
}

QString Preferences::geminiModelForClient() const
{
    // The model the menu shows as chosen is the one asked; a default of its
    // own would send requests to another (withdrawn) model.
    return geminiModelForMenu();
}

QString Preferences::openaiCustomModel() const
{
    return stringValue(PreferenceKeys::openaiCustomModel).value_or(QString()).trimmed();
}

QString Preferences::openaiModelForRequest() const
{
    const QString custom = openaiCustomModel();
    return custom.isEmpty() ? openaiModel() : custom;
}

QString Preferences::openaiBaseURL() const
{
    return stringValue(PreferenceKeys::openaiBaseURL).value_or(QString()).trimmed();
}

QString Preferences::geminiBaseURL() const
{
    return stringValue(PreferenceKeys::geminiBaseURL).value_or(QString()).trimmed();
}

QString Preferences::ocrSpaceBaseURL() const
{
    return stringValue(PreferenceKeys::ocrSpaceBaseURL).value_or(QString()).trimmed();
}

bool Preferences::additiveClipboardEnabled() const
{
    return boolValue(PreferenceKeys::additiveClipboardEnabled, false);
}

bool Preferences::launchAtLogin() const
{
    return boolValue(PreferenceKeys::launchAtLogin, false);
}

bool Preferences::showMenuBarIcon() const
{
    return boolValue(PreferenceKeys::showMenuBarIcon, true);
}

bool Preferences::automaticUpdateChecks() const
{
    return boolValue(PreferenceKeys::suEnableAutomaticChecks, true);
}

bool Preferences::automaticallyUpdate() const
{
    return boolValue(PreferenceKeys::suAutomaticallyUpdate, false);
}

QString Preferences::updateFeedURL() const
{
    const QString stored = stringValue(PreferenceKeys::suFeedURL).value_or(QString()).trimmed();
    return stored.isEmpty() ? QStringLiteral(QUILLSNAP_UPDATE_FEED_URL) : stored;
}

// A negative count or age reads as absent: a damaged file never empties the
// history.
qint64 Preferences::maxHistoryItems() const
{
    const auto stored = intValue(PreferenceKeys::maxHistoryItems);
    return stored && *stored >= 0 ? *stored : 1000;
}

qint64 Preferences::autoDeleteAfterDays() const
{
    const auto stored = intValue(PreferenceKeys::autoDeleteAfterDays);
    return stored && *stored >= 0 ? *stored : 30;
}

bool Preferences::iCloudSyncEnabled() const
{
    return boolValue(PreferenceKeys::iCloudSyncEnabled, false);
}

std::optional<QDateTime> Preferences::lastSyncDate() const
{
    return dateValue(PreferenceKeys::lastSyncDate);
}

void Preferences::sync()
{
    if (!m_memory) {
        m_settings->sync();
    }
}
