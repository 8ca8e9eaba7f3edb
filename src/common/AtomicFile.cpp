#include "common/AtomicFile.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace AtomicFile {

bool ensurePrivateDir(const QString& dir)
{
    if (!QDir().mkpath(dir)) {
        return false;
    }
    return QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

bool writePrivate(const QString& path, const QByteArray& data, QString* error)
{
    const QString dir = QFileInfo(path).absolutePath();
    if (!QFileInfo::exists(dir) && !ensurePrivateDir(dir)) {
        if (error) {
            *error = QStringLiteral("cannot create directory %1").arg(dir);
        }
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error) {
            *error = file.errorString();
        }
        return false;
    }
    // The temporary file gets its final mode before any byte lands in it.
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    if (file.write(data) != data.size()) {
        if (error) {
            *error = file.errorString();
        }
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        if (error) {
            *error = file.errorString();
        }
        return false;
    }
    return true;
}

} // namespace AtomicFile
