#include "common/RegularFile.h"

#include <QCoreApplication>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace RegularFile {

namespace {

Error fromErrno(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return Error::missing;
    case EACCES:
    case EPERM:
        return Error::permissionDenied;
    case ENXIO: // a socket
        return Error::notRegular;
    default:
        return Error::unreadable;
    }
}

} // namespace

Expected<std::unique_ptr<QFile>, Error> open(const QByteArray& nativePath)
{
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a
    // writer. It changes nothing for the reads of a regular file.
    const int fd = ::open(nativePath.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        return unexpected(fromErrno(errno));
    }
    struct stat st
    {
    };
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return unexpected(Error::notRegular);
    }
    auto file = std::make_unique<QFile>();
    if (!file->open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return unexpected(Error::unreadable);
    }
    return file;
}

Expected<QByteArray, Error> read(const QByteArray& nativePath, qint64 maxSize)
{
    auto file = open(nativePath);
    if (!file) {
        return unexpected(file.error());
    }
    // The size is a hint: the file may grow while it is read, and files under
    // /proc report none.
    QFile& f = **file;
    if (f.size() > maxSize) {
        return unexpected(Error::tooLarge);
    }
    QByteArray data;
    data.reserve(qsizetype(f.size()) + 1);
    char chunk[65536];
    qint64 n = 0;
    while ((n = f.read(chunk, sizeof chunk)) > 0) {
        if (data.size() + n > maxSize) {
            return unexpected(Error::tooLarge);
        }
        data.append(chunk, qsizetype(n));
    }
    if (n < 0) {
        return unexpected(Error::unreadable);
    }
    return data;
}

Expected<QByteArray, Error> read(const QString& path, qint64 maxSize)
{
    return read(QFile::encodeName(path), maxSize);
}

QString describe(Error error)
{
    switch (error) {
    case Error::missing:
        return QCoreApplication::translate("RegularFile", "no such file");
    case Error::permissionDenied:
        return QCoreApplication::translate("RegularFile", "permission denied");
    case Error::notRegular:
        return QCoreApplication::translate("RegularFile", "not a regular file");
    case Error::tooLarge:
        return QCoreApplication::translate("RegularFile", "file too large");
    case Error::unreadable:
        break;
    }
    return QCoreApplication::translate("RegularFile", "read error");
}

} // namespace RegularFile
