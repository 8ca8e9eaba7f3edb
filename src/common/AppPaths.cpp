#include "common/AppPaths.h"

#include "common/AtomicFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <unistd.h>

namespace {
QString xdgDir(const char* var, const QString& homeRelative)
{
    const QString value = qEnvironmentVariable(var);
    // Relative paths in XDG variables are invalid and must be ignored.
    if (!value.isEmpty() && QDir::isAbsolutePath(value)) {
        return value;
    }
    return QDir::homePath() + QLatin1Char('/') + homeRelative;
}
} // namespace

namespace AppPaths {

QString configDir()
{
    return xdgDir("XDG_CONFIG_HOME", QStringLiteral(".config")) + QStringLiteral("/quillsnap");
}

QString dataDir()
{
    return xdgDir("XDG_DATA_HOME", QStringLiteral(".local/share")) + QStringLiteral("/quillsnap");
}

QString privateTempDir()
{
    const auto dir = checkedPrivateTempDir();
    return dir ? *dir : QString();
}

Expected<QString, QString> checkedPrivateTempDir()
{
    QString base = qEnvironmentVariable("XDG_RUNTIME_DIR");
    QString dir;
    if (!base.isEmpty() && QDir::isAbsolutePath(base) && QFileInfo(base).isDir()) {
        dir = base + QStringLiteral("/quillsnap");
    } else {
        dir = QDir::tempPath() + QStringLiteral("/quillsnap-%1").arg(::getuid());
    }
    QFileInfo info(dir);
    if (info.exists() || info.isSymLink()) {
        // A directory under a shared temp path may have been planted by
        // someone else: use it only when it is ours and a real directory.
        if (info.isSymLink()) {
            return unexpected(
                QCoreApplication::translate("AppPaths", "%1 is a symbolic link").arg(dir));
        }
        if (!info.isDir()) {
            return unexpected(
                QCoreApplication::translate("AppPaths", "%1 is not a directory").arg(dir));
        }
        if (info.ownerId() != ::getuid()) {
            return unexpected(
                QCoreApplication::translate("AppPaths", "%1 belongs to another user").arg(dir));
        }
    }
    if (!AtomicFile::ensurePrivateDir(dir)) {
        return unexpected(
            QCoreApplication::translate("AppPaths", "cannot create %1 with mode 0700").arg(dir));
    }
    return dir;
}

} // namespace AppPaths
