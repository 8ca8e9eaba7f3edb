#pragma once

#include <QByteArray>
#include <QDir>
#include <QTemporaryDir>
#include <QtGlobal>

// Points HOME and the XDG directories at a fresh temporary tree, so that no
// test reads or writes a real user's files. Construct it before anything asks
// for a path (first thing in main() or initTestCase()).
class TestEnvironment
{
public:
    TestEnvironment()
    {
        const QString root = m_root.path();
        for (const char* sub : {"home", "config", "data", "cache", "runtime"}) {
            QDir(root).mkpath(QString::fromLatin1(sub));
        }
        QFile::setPermissions(root + QStringLiteral("/runtime"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_CONFIG_HOME", (root + QStringLiteral("/config")).toLocal8Bit());
        qputenv("XDG_DATA_HOME", (root + QStringLiteral("/data")).toLocal8Bit());
        qputenv("XDG_CACHE_HOME", (root + QStringLiteral("/cache")).toLocal8Bit());
        qputenv("XDG_RUNTIME_DIR", (root + QStringLiteral("/runtime")).toLocal8Bit());
    }

    QString root() const { return m_root.path(); }
    QString configHome() const { return m_root.path() + QStringLiteral("/config"); }
    QString dataHome() const { return m_root.path() + QStringLiteral("/data"); }
    QString runtimeDir() const { return m_root.path() + QStringLiteral("/runtime"); }

private:
    QTemporaryDir m_root;
};
