#pragma once

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QSettings>
#include <QString>
#include <QVariant>

#include <memory>
#include <optional>

// The user's preferences: one flat namespace of keys in an INI file. Readers
// apply their own defaults; nothing is registered as a default in the store.
// The file is written only when a value is set; a file that cannot be read or
// parsed is never written: the store then runs on defaults, in memory.
class Preferences : public QObject
{
    Q_OBJECT
public:
    explicit Preferences(const QString& configFile, QObject* parent = nullptr);
    ~Preferences() override;

    QString configFile() const;
    // Why the file is not in use (cannot be read or parsed); empty when it is.
    QString loadProblem() const { return m_problem; }

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

    // Typed readers with each reader's default.
    bool hasCompletedOnboarding() const;
    bool aiEnhancedOCREnabled() const;
    QString aiProvider() const;            // "openai"
    QString openaiModel() const;           // "gpt-4o"
    QString openaiCustomModel() const;     // "" (trimmed)
    QString openaiModelForRequest() const; // the custom model, else openaiModel()
    QString geminiModelForMenu() const;    // "gemini-2.5-flash" (menu and settings)
    QString geminiModelForClient() const;  // the same as the menu's
    // "" stands for the provider's public host.
    QString openaiBaseURL() const;
    QString geminiBaseURL() const;
    QString ocrSpaceBaseURL() const;
    bool additiveClipboardEnabled() const; // false
    bool launchAtLogin() const;            // false
    bool showMenuBarIcon() const;          // true
    bool automaticUpdateChecks() const;    // true
    bool automaticallyUpdate() const;      // false
    QString updateFeedURL() const;         // the project's feed (a build setting)
    // The history limits; a negative value reads as absent.
    qint64 maxHistoryItems() const;     // 1000, the history's own limit; 0 keeps none
    qint64 autoDeleteAfterDays() const; // 30, 0 means never
    bool iCloudSyncEnabled() const;     // false
    std::optional<QDateTime> lastSyncDate() const;

    // Flushes pending writes to disk.
    void sync();

signals:
    void changed(const QString& key);

private:
    std::unique_ptr<QSettings> m_settings;
    // Set when the file is not in use: values live here instead.
    std::optional<QHash<QString, QVariant>> m_memory;
    QString m_problem;
};
