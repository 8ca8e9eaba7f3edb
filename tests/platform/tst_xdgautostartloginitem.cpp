#include "platform/XdgAutostartLoginItem.h"

#include "CaseTable.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestXdgAutostartLoginItem : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    // Writes text ("¶" for a line feed; "-" writes nothing) to a file under the folder.
    void write(const QString& name, const QString& text)
    {
        QDir().mkpath(QFileInfo(m_dir.filePath(name)).absolutePath());
        QFile file(m_dir.filePath(name));
        QVERIFY(text == u"-" || (file.open(QIODevice::WriteOnly) &&
                                 file.write(QString(text).replace(u'¶', u'\n').toUtf8())));
    }
    QString read(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : u"-"_s;
    }
    XdgAutostartLoginItem item(const QString& installed = {},
                               const QString& executable = u"/usr/bin/quillsnap"_s)
    {
        return XdgAutostartLoginItem({m_dir.filePath(u"user"_s),
                                      {m_dir.filePath(u"sys1"_s), m_dir.filePath(u"sys2"_s)},
                                      installed,
                                      executable});
    }

private slots:
    void init() { QVERIFY(QDir(m_dir.path()).removeRecursively() && QDir().mkpath(m_dir.path())); }

    // The installed desktop entry's command, else this program's path quoted
    // as the Desktop Entry Specification says.
    void execLine_data()
    {
        QTest::addColumn<QString>("installed"); // Exec of the installed entry
        QTest::addColumn<QString>("executable");
        QTest::addColumn<QString>("exec");
        addRows({u"env OMP_THREAD_LIMIT=1 quillsnap→/x/q→env OMP_THREAD_LIMIT=1 quillsnap",
                 u"-→/usr/bin/quillsnap→env OMP_THREAD_LIMIT=1 /usr/bin/quillsnap",
                 u"-→/opt/my apps/q$→env OMP_THREAD_LIMIT=1 \"/opt/my apps/q\\\\$\"",
                 u"-→/home/a\\b→env OMP_THREAD_LIMIT=1 \"/home/a\\\\\\\\b\""});
    }
    void execLine()
    {
        QFETCH(QString, installed);
        QFETCH(QString, executable);
        QFETCH(QString, exec);
        write(u"apps/quillsnap.desktop"_s,
              installed == u"-" ? installed
                                : u"[Desktop Entry]¶Exec="_s + installed +
                                      u"¶[Desktop Action scan]¶Exec=quillsnap-cli scan¶"_s);
        XdgAutostartLoginItem login = item(m_dir.filePath(u"apps/quillsnap.desktop"_s), executable);
        QVERIFY(login.setEnabled(true));
        QVERIFY(read(login.entryPath()).contains(u"\nExec="_s + exec + u'\n'));
    }

    // Enabled before, after switching on, after switching off, with entries of
    // the user and of the system (the first system folder wins); off hides a
    // system entry that would start it anyway.
    void switching_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("sys1");
        QTest::addColumn<QString>("sys2");
        QTest::addColumn<QString>("enabled");
        QTest::addColumn<QString>("userAfterOff");
        addRows({u"-→-→-→010→-", u"[Desktop Entry]¶Exec=q→-→-→110→-",
                 u"[Desktop Entry]¶Hidden=true→-→-→010→-",
                 u"[Desktop Entry]¶X-GNOME-Autostart-enabled=false→-→-→010→-",
                 u"-→[Desktop Entry]¶Exec=q→-→110→hidden", u"-→-→[Desktop Entry]¶Exec=q→110→hidden",
                 u"-→[Desktop Entry]¶Hidden=true→[Desktop Entry]¶Exec=q→010→-"});
    }
    void switching()
    {
        QFETCH(QString, user);
        QFETCH(QString, sys1);
        QFETCH(QString, sys2);
        QFETCH(QString, enabled);
        QFETCH(QString, userAfterOff);
        XdgAutostartLoginItem login = item();
        write(u"user/quillsnap.desktop"_s, user);
        write(u"sys1/quillsnap.desktop"_s, sys1);
        write(u"sys2/quillsnap.desktop"_s, sys2);
        QString seen = QString::number(login.isEnabled());
        QVERIFY(login.setEnabled(true));
        seen += QString::number(login.isEnabled());
        QVERIFY(login.setEnabled(false) && login.setEnabled(false)); // off twice is fine
        seen += QString::number(login.isEnabled());
        QCOMPARE(seen, enabled);
        const QString after = read(login.entryPath());
        QCOMPARE(after.contains(u"Hidden=true"_s) ? u"hidden"_s : after, userAfterOff);
    }
};

QTEST_GUILESS_MAIN(TestXdgAutostartLoginItem)
#include "tst_xdgautostartloginitem.moc"
