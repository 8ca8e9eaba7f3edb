#include "settings/Preferences.h"

#include "common/AppPaths.h"
#include "common/AtomicFile.h"
#include "settings/PreferenceKeys.h"

#include <QFile>
#include <QFileInfo>

#include <limits>

namespace {
bool isDataKey(QLatin1StringView key)
{
    return key == PreferenceKeys::captureHistory || key == PreferenceKeys::captureHistoryEncrypted;
}
} // namespace

Preferences::Preferences(const QString& configFile, const QString& dataDir, QObject* parent)
    : QObject(parent), m_settings(std::make_unique<QSettings>(configFile, QSettings::IniFormat)),
      m_dataDir(dataDir)
{
}

Preferences::~Preferences() = default;

Preferences& Preferences::shared()
{
    static Preferences prefs(AppPaths::configDir() + QStringLiteral("/quillsnap.conf"),
                             AppPaths::dataDir());
    return prefs;
}

QString Preferences::configFile() const
{
    return m_settings->fileName();
}

QString Preferences::dataDir() const
{
    return m_dataDir;
}

bool Preferences::contains(QLatin1StringView key) const
{
    if (isDataKey(key)) {
        return QFileInfo::exists(dataPath(key));
    }
    return m_settings->contains(key);
}

QVariant Preferences::value(QLatin1StringView key) const
{
    return m_settings->value(key);
}

void Preferences::setValue(QLatin1StringView key, const QVariant& value)
{
    m_settings->setValue(key, value);
    emit changed(QString(key));
}

void Preferences::remove(QLatin1StringView key)
{
    if (isDataKey(key)) {
        removeDataValue(key);
        return;
    }
    m_settings->remove(key);
    emit changed(QString(key));
}

bool Preferences::boolValue(QLatin1StringView key, bool defaultValue) const
{
    const QVariant v = m_settings->value(key);
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
    const QVariant v = m_settings->value(key);
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
    const QVariant v = m_settings->value(key);
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
    const QVariant v = m_settings->value(key);
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

QString Preferences::dataPath(QLatin1StringView key) const
{
    return m_dataDir + QLatin1Char('/') + key;
}

std::optional<QByteArray> Preferences::dataValue(QLatin1StringView key) const
{
    QFile file(dataPath(key));
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    return file.readAll();
}

bool Preferences::setDataValue(QLatin1StringView key, const QByteArray& data)
{
    if (!AtomicFile::writePrivate(dataPath(key), data)) {
        return false;
    }
    emit changed(QString(key));
    return true;
}

bool Preferences::removeDataValue(QLatin1StringView key)
{
    const QString path = dataPath(key);
    if (!QFileInfo::exists(path)) {
        return true;
    }
    const bool ok = QFile::remove(path);
    if (ok) {
        emit changed(QString(key));
    }
    return ok;
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
    // The client has always used its own default, unlike the menu.
    return stringValue(PreferenceKeys::geminiModel).value_or(QStringLiteral("gemini-1.5-pro"));
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

qint64 Preferences::maxHistoryItems() const
{
    return intValue(PreferenceKeys::maxHistoryItems).value_or(500);
}

qint64 Preferences::autoDeleteAfterDays() const
{
    return intValue(PreferenceKeys::autoDeleteAfterDays).value_or(30);
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
    m_settings->sync();
}
