#include "platform/XdgAutostartLoginItem.h"

#include "CaseTable.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

void writeFile(const QString& path, const QString& text)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text.toUtf8());
}

QString readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : u"(none)"_s;
}

} // namespace

class TestXdgAutostartLoginItem : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }
    XdgAutostartLoginItem item(const QString& installed = {},
                               const QString& executable = u"/usr/bin/quillsnap"_s) const
    {
        return XdgAutostartLoginItem(
            {path(u"user"_s), {path(u"system1"_s), path(u"system2"_s)}, installed, executable});
    }

private slots:
    void init()
    {
        for (const QString& sub : {u"user"_s, u"system1"_s, u"system2"_s}) {
            QDir(path(sub)).removeRecursively();
        }
    }

    // The command the entry runs: the installed desktop entry's, else this
    // program's path, quoted as the Desktop Entry Specification says.
    void execLine_data()
    {
        QTest::addColumn<QString>("installed"); // Exec of the installed entry; "-": none
        QTest::addColumn<QString>("executable");
        QTest::addColumn<QString>("exec");
        addRows({
            u"env OMP_THREAD_LIMIT=1 quillsnap→/x/quillsnap→env OMP_THREAD_LIMIT=1 quillsnap",
            u"-→/usr/bin/quillsnap→env OMP_THREAD_LIMIT=1 /usr/bin/quillsnap",
            u"-→/opt/my apps/quill$nap→env OMP_THREAD_LIMIT=1 \"/opt/my apps/quill\\\\$nap\"",
            u"-→/home/a\\b/q→env OMP_THREAD_LIMIT=1 \"/home/a\\\\\\\\b/q\"",
        });
    }
    void execLine()
    {
        QFETCH(QString, installed);
        QFETCH(QString, executable);
        QFETCH(QString, exec);
        const QString entry = path(u"apps/quillsnap.desktop"_s);
        QFile::remove(entry);
        if (installed != u"-") {
            writeFile(entry, u"[Desktop Entry]\nName=quillsnap\nExec="_s + installed +
                                 u"\n\n[Desktop Action capture]\nExec=quillsnap-cli capture\n"_s);
        }
        XdgAutostartLoginItem login = item(entry, executable);
        QCOMPARE(login.execLine(), exec);
        QVERIFY(login.setEnabled(true));
        QVERIFY(readFile(login.entryPath()).contains(u"\nExec="_s + exec + u'\n'));
    }

    // What counts as enabled, and what switching writes, with entries of the
    // user (in the user folder) and of the system (first system folder wins).
    void switching_data()
    {
        QTest::addColumn<QString>("user");    // content of the user entry; "-": none
        QTest::addColumn<QString>("system");  // entries of system1 and system2, "|"
        QTest::addColumn<QString>("enabled"); // before, after on, after off: "101"
        QTest::addColumn<QString>("userAfterOff");
        const QString on = u"[Desktop Entry]\nExec=quillsnap\n"_s;
        addRows({
            u"-→-|-→010→(none)",
            u"[Desktop Entry]¶Exec=q→-|-→110→(none)",
            u"[Desktop Entry]¶Exec=q¶Hidden=true→-|-→010→(none)",
            u"[Desktop Entry]¶X-GNOME-Autostart-enabled=false→-|-→010→(none)",
            u"-→[Desktop Entry]¶Exec=q|-→110→hidden",
            u"-→-|[Desktop Entry]¶Exec=q→110→hidden",
            u"-→[Desktop Entry]¶Hidden=true|[Desktop Entry]¶Exec=q→010→(none)",
        });
    }
    void switching()
    {
        QFETCH(QString, user);
        QFETCH(QString, system);
        QFETCH(QString, enabled);
        QFETCH(QString, userAfterOff);
        XdgAutostartLoginItem login = item();
        if (user != u"-") {
            writeFile(login.entryPath(), user.replace(u'¶', u'\n'));
        }
        const QStringList systems = system.split(u'|');
        for (int i = 0; i < 2; ++i) {
            if (systems[i] != u"-") {
                writeFile(path(u"system%1/quillsnap.desktop"_s.arg(i + 1)),
                          QString(systems[i]).replace(u'¶', u'\n'));
            }
        }
        QString seen = QString::number(login.isEnabled());
        QVERIFY(login.setEnabled(true));
        seen += QString::number(login.isEnabled());
        QVERIFY(readFile(login.entryPath()).contains(u"X-GNOME-Autostart-enabled=true"_s));
        QVERIFY(login.setEnabled(false));
        seen += QString::number(login.isEnabled());
        QCOMPARE(seen, enabled);
        const QString after = readFile(login.entryPath());
        QCOMPARE(after.contains(u"Hidden=true"_s) ? u"hidden"_s : after, userAfterOff);
        QVERIFY(login.setEnabled(false)); // off twice is fine
    }

    void failures()
    {
        XdgAutostartLoginItem login = item();
        // A file where the autostart folder belongs.
        writeFile(path(u"user"_s), u"x"_s);
        auto outcome = login.setEnabled(true);
        QVERIFY(!outcome && !login.isEnabled());
        QCOMPARE(outcome.error(), u"the folder %1 cannot be created"_s.arg(path(u"user"_s)));
        QCOMPARE(readFile(path(u"user"_s)), u"x"_s);
        // A folder where the entry belongs.
        QFile::remove(path(u"user"_s));
        QDir().mkpath(login.entryPath());
        outcome = login.setEnabled(true);
        QVERIFY(!outcome && !login.isEnabled());
        QVERIFY(outcome.error().startsWith(login.entryPath() + u" cannot be written: "_s));
        outcome = login.setEnabled(false);
        QCOMPARE(outcome.error(), login.entryPath() + u" cannot be removed: it is a folder"_s);
        QVERIFY(QFileInfo(login.entryPath()).isDir());
    }
};

QTEST_MAIN(TestXdgAutostartLoginItem)
#include "tst_xdgautostartloginitem.moc"
