#include "sync/FolderStorage.h"

#include "common/BoundedCall.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTimer>

#include <unistd.h>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("FolderStorage", text);
}

CloudError failure(const QString& message)
{
    return CloudError{CloudError::Code::storageFailure, message};
}

// The root must exist: a missing one is more likely an unmounted drive or a
// sync tool that has not started than a folder to create. Before set-up, its
// parent is enough.
std::optional<CloudError> checkRoot(const QString& root, bool parentSuffices = false)
{
    const QString dir = parentSuffices ? QFileInfo(root).absolutePath() : root;
    if (!QFileInfo(dir).isDir()) {
        return failure(tr("The sync folder %1 does not exist.").arg(root));
    }
    return std::nullopt;
}

} // namespace

FolderStorage::FolderStorage(QString root, QObject* parent)
    : SyncStorage(parent), m_root(QDir::cleanPath(std::move(root)))
{
}

template <typename T> void FolderStorage::run(std::function<Result<T>()> job, Callback<T> done)
{
    countRequest();
    BoundedCall::run<Result<T>>(
        this, m_timeLimit, std::move(job),
        Result<T>(unexpected(failure(tr("The sync folder %1 does not answer.").arg(m_root)))),
        std::move(done));
}

void FolderStorage::prepare(const QString& folder, Callback<void> done)
{
    run<void>(
        [root = m_root, folder]() -> Result<void> {
            // Only the last level is made: the parent of the root must exist.
            // Another machine may make it at the same moment: what counts is
            // that it is there afterwards.
            if (!QDir().mkdir(root) && !QFileInfo(root).isDir()) {
                return unexpected(failure(tr("The sync folder %1 cannot be created.").arg(root)));
            }
            const QString path = root + QLatin1Char('/') + folder;
            if (!QDir().mkdir(path) && !QFileInfo(path).isDir()) {
                return unexpected(failure(tr("The folder %1 cannot be created.").arg(path)));
            }
            return {};
        },
        std::move(done));
}

void FolderStorage::list(const QString& folder, Callback<QList<Entry>> done)
{
    run<QList<Entry>>(
        [root = m_root, folder]() -> Result<QList<Entry>> {
            if (const auto problem = checkRoot(root)) {
                return unexpected(*problem);
            }
            QList<Entry> entries;
            const QFileInfoList infos =
                QDir(root + QLatin1Char('/') + folder).entryInfoList(QDir::Files, QDir::Name);
            for (const QFileInfo& info : infos) {
                entries.append(Entry{info.fileName(), info.size()});
            }
            return entries;
        },
        std::move(done));
}

void FolderStorage::readAll(const QStringList& paths, Callback<QList<Result<Content>>> done)
{
    if (paths.isEmpty()) {
        QTimer::singleShot(0, this, [done = std::move(done)] { done(QList<Result<Content>>()); });
        return;
    }
    countRequest(int(paths.size()) - 1);
    run<QList<Result<Content>>>(
        [root = m_root, paths]() -> Result<QList<Result<Content>>> {
            // No root yet: nothing is stored (prepare() makes it), unless
            // its parent is missing too.
            if (const auto problem = checkRoot(root, true)) {
                return unexpected(*problem);
            }
            QList<Result<Content>> contents;
            for (const QString& path : paths) {
                QFile file(root + QLatin1Char('/') + path);
                if (!file.exists()) {
                    contents.append(Content());
                } else if (!file.open(QIODevice::ReadOnly)) {
                    contents.append(unexpected(failure(
                        tr("%1 cannot be read: %2").arg(file.fileName(), file.errorString()))));
                } else if (file.size() > maxFileSize) {
                    contents.append(unexpected(
                        CloudError{CloudError::Code::badRecord,
                                   tr("%1 is too large to be a record.").arg(file.fileName())}));
                } else {
                    contents.append(Content(file.readAll()));
                }
            }
            return contents;
        },
        std::move(done));
}

void FolderStorage::create(const QString& path, const QByteArray& data, Callback<void> done)
{
    run<void>(
        [root = m_root, path, data]() -> Result<void> {
            if (const auto problem = checkRoot(root)) {
                return unexpected(*problem);
            }
            const QString target = root + QLatin1Char('/') + path;
            const QFileInfo info(target);
            const QString temp = info.absolutePath() + QStringLiteral("/.") + info.fileName() +
                                 QLatin1Char('.') +
                                 QString::number(QRandomGenerator::system()->generate64(), 36) +
                                 QStringLiteral(".tmp");
            QFile file(temp);
            if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
                return unexpected(
                    failure(tr("%1 cannot be written: %2").arg(temp, file.errorString())));
            }
            // On disk before it gets its name: a crash leaves a temporary
            // file, never a short record.
            const bool written =
                file.write(data) == data.size() && file.flush() && ::fsync(file.handle()) == 0;
            file.close();
            if (!written) {
                const QString error = file.errorString();
                QFile::remove(temp);
                return unexpected(failure(tr("%1 cannot be written: %2").arg(target, error)));
            }
            // QFile::rename never replaces an existing file.
            if (!file.rename(target)) {
                const QString error = file.errorString();
                QFile::remove(temp);
                if (QFileInfo::exists(target)) {
                    return unexpected(CloudError{CloudError::Code::serverRecordChanged,
                                                 tr("%1 exists already.").arg(target)});
                }
                return unexpected(failure(tr("%1 cannot be written: %2").arg(target, error)));
            }
            return {};
        },
        std::move(done));
}
