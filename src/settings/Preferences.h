#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QSettings>
#include <QString>
#include <QVariant>

#include <memory>
#include <optional>

// The user's preferences: one flat namespace of keys in an INI file, with the
// two history keys kept as files of their own (they hold large binary values
// and would bloat the INI file). Readers apply their own defaults; nothing is
// registered as a default in the store.
class Preferences : public QObject
{
    Q_OBJECT
public:
    // configFile: the INI file; dataDir: where the binary-valued keys live.
    Preferences(const QString& configFile, const QString& dataDir, QObject* parent = nullptr);
    ~Preferences() override;

    // The store under $XDG_CONFIG_HOME/quillsnap and $XDG_DATA_HOME/quillsnap.
    static Preferences& shared();

    QString configFile() const;
    QString dataDir() const;

    // Raw access.
    bool contains(QLatin1StringView key) const;
    QVariant value(QLatin1StringView key) const;
    void setValue(QLatin1StringView key, const QVariant& value);
    void remove(QLatin1StringView key);

    // Absent reads as false, as the platform store does.
    bool boolValue(QLatin1StringView key, bool defaultValue = false) const;
    // Absent (or not a string) reads as nullopt.
    std::optional<QString> stringValue(QLatin1StringView key) const;
    // A number that fits an unsigned 32-bit integer, else nullopt.
    std::optional<quint32> uint32Value(QLatin1StringView key) const;
    std::optional<qint64> intValue(QLatin1StringView key) const;
    std::optional<QDateTime> dateValue(QLatin1StringView key) const;

    // Binary values ("captureHistory", "captureHistoryEncrypted"): each in the
    // file dataDir/<key>, written atomically with mode 0600.
    std::optional<QByteArray> dataValue(QLatin1StringView key) const;
    bool setDataValue(QLatin1StringView key, const QByteArray& data);
    bool removeDataValue(QLatin1StringView key);
    QString dataPath(QLatin1StringView key) const;

    // Typed readers with each reader's default.
    bool hasCompletedOnboarding() const;
    bool aiEnhancedOCREnabled() const;
    QString aiProvider() const;            // "openai"
    QString openaiModel() const;           // "gpt-4o"
    QString geminiModelForMenu() const;    // "gemini-2.5-flash" (menu and settings)
    QString geminiModelForClient() const;  // "gemini-1.5-pro" (the Gemini client)
    bool additiveClipboardEnabled() const; // false
    bool launchAtLogin() const;            // false
    bool showMenuBarIcon() const;          // true
    bool automaticUpdateChecks() const;    // true
    bool automaticallyUpdate() const;      // false
    qint64 maxHistoryItems() const;        // 500
    qint64 autoDeleteAfterDays() const;    // 30, 0 means never
    bool iCloudSyncEnabled() const;        // false
    std::optional<QDateTime> lastSyncDate() const;

    // Flushes pending writes to disk.
    void sync();

signals:
    void changed(const QString& key);

private:
    std::unique_ptr<QSettings> m_settings;
    QString m_dataDir;
};
