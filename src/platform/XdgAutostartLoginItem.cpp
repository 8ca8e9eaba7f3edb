#include "platform/XdgAutostartLoginItem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

// The keys of the [Desktop Entry] group; later groups (actions) are skipped.
QHash<QString, QString> readEntry(const QString& path)
{
    QHash<QString, QString> keys;
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
        return keys;
    }
    bool inMain = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(u'[')) {
            inMain = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (inMain && eq > 0 && !line.startsWith(u'#')) {
            keys.insert(line.left(eq).trimmed(), line.mid(eq + 1).trimmed());
        }
    }
    return keys;
}

// Whether an entry that exists would start the application at login.
bool starts(const QHash<QString, QString>& entry)
{
    return entry.value(QStringLiteral("Hidden")) != QLatin1String("true") &&
           entry.value(QStringLiteral("X-GNOME-Autostart-enabled")) != QLatin1String("false");
}

// A program path as one argument of an Exec line: quoted where it holds a
// reserved character, then escaped as a desktop entry string.
QString execArgument(const QString& path)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    const bool needsQuotes =
        std::any_of(path.begin(), path.end(), [](QChar c) { return reserved.contains(c); });
    QString arg = path;
    if (needsQuotes) {
        QString quoted;
        for (const QChar c : path) {
            if (c == u'"' || c == u'`' || c == u'$' || c == u'\\') {
                quoted += u'\\';
            }
            quoted += c;
        }
        arg = u'"' + quoted + u'"';
    }
    arg.replace(u'\\', QStringLiteral("\\\\"));
    return arg;
}

} // namespace

XdgAutostartLoginItem::XdgAutostartLoginItem() : XdgAutostartLoginItem(sessionPlaces()) {}

XdgAutostartLoginItem::XdgAutostartLoginItem(Places places) : m_places(std::move(places)) {}

XdgAutostartLoginItem::Places XdgAutostartLoginItem::sessionPlaces()
{
    Places places;
    QString configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!QDir::isAbsolutePath(configHome)) {
        configHome = QDir::homePath() + QStringLiteral("/.config");
    }
    places.userDir = configHome + QStringLiteral("/autostart");
    QString configDirs = qEnvironmentVariable("XDG_CONFIG_DIRS");
    if (configDirs.isEmpty()) {
        configDirs = QStringLiteral("/etc/xdg");
    }
    for (const QString& dir : configDirs.split(u':', Qt::SkipEmptyParts)) {
        if (QDir::isAbsolutePath(dir)) {
            places.systemDirs << dir + QStringLiteral("/autostart");
        }
    }
    places.installedEntry =
        QStandardPaths::locate(QStandardPaths::ApplicationsLocation, QString(fileName));
    places.executable = QCoreApplication::applicationFilePath();
    return places;
}

QString XdgAutostartLoginItem::entryPath() const
{
    return m_places.userDir + u'/' + fileName;
}

QString XdgAutostartLoginItem::execLine() const
{
    const QString installed = readEntry(m_places.installedEntry).value(QStringLiteral("Exec"));
    if (!installed.isEmpty()) {
        return installed;
    }
    // Recognition runs with one OpenMP thread, as the desktop entry starts it.
    return QStringLiteral("env OMP_THREAD_LIMIT=1 ") + execArgument(m_places.executable);
}

bool XdgAutostartLoginItem::systemEntryStarts() const
{
    for (const QString& dir : m_places.systemDirs) {
        const QString path = dir + u'/' + fileName;
        if (QFileInfo(path).isFile()) {
            // The first system entry found is the one that counts.
            return starts(readEntry(path));
        }
    }
    return false;
}

bool XdgAutostartLoginItem::isEnabled() const
{
    // A user entry overrides the system-wide ones of the same name.
    const QFileInfo user(entryPath());
    if (user.exists()) {
        return user.isFile() && starts(readEntry(entryPath()));
    }
    return systemEntryStarts();
}

Expected<void, QString> XdgAutostartLoginItem::setEnabled(bool enabled)
{
    if (enabled) {
        const QString entry = QStringLiteral("[Desktop Entry]\n"
                                             "Type=Application\n"
                                             "Name=quillsnap\n"
                                             "Icon=quillsnap\n"
                                             "Exec=%1\n"
                                             "Terminal=false\n"
                                             "X-GNOME-Autostart-enabled=true\n")
                                  .arg(execLine());
        return write(entry.toUtf8());
    }
    if (systemEntryStarts()) {
        // Removing ours would let the system-wide entry start it.
        return write("[Desktop Entry]\nType=Application\nName=quillsnap\nHidden=true\n");
    }
    QFile file(entryPath());
    if (QFileInfo(entryPath()).isDir() || (file.exists() && !file.remove())) {
        return unexpected(tr("%1 cannot be removed: %2")
                              .arg(entryPath(), QFileInfo(entryPath()).isDir()
                                                    ? tr("it is a folder")
                                                    : file.errorString()));
    }
    return {};
}

Expected<void, QString> XdgAutostartLoginItem::write(const QByteArray& content) const
{
    if (!QDir().mkpath(m_places.userDir) || !QFileInfo(m_places.userDir).isDir()) {
        return unexpected(tr("the folder %1 cannot be created").arg(m_places.userDir));
    }
    QSaveFile file(entryPath());
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() ||
        !file.commit()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return unexpected(tr("%1 cannot be written: %2").arg(entryPath(), reason));
    }
    return {};
}
