#pragma once

#include <QFile>
#include <QString>

#include <sys/stat.h>

// The permission bits of a file (for example 0600), or -1 when it is missing.
inline int fileMode(const QString& path)
{
    struct stat st
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) {
        return -1;
    }
    return int(st.st_mode & 07777);
}
