#include "common/AtomicFile.h"

#include <QCoreApplication>
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

Expected<void, QString> writePrivate(const QString& path, const QByteArray& data)
{
    const QString dir = QFileInfo(path).absolutePath();
    if (!QFileInfo::exists(dir) && !ensurePrivateDir(dir)) {
        return unexpected(
            QCoreApplication::translate("AtomicFile", "cannot create directory %1").arg(dir));
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return unexpected(file.errorString());
    }
    // The temporary file gets its final mode before any byte lands in it.
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    if (file.write(data) != data.size()) {
        const QString error = file.errorString();
        file.cancelWriting();
        return unexpected(error);
    }
    if (!file.commit()) {
        return unexpected(file.errorString());
    }
    return {};
}

} // namespace AtomicFile
