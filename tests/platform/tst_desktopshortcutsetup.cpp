#include "CaseTable.h"
#include "hotkeys/ShortcutTrigger.h"
#include "platform/DesktopShortcutSetup.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using Method = ShortcutSetup::Method;

namespace {

const KeyPress shiftSuper8{28, CarbonModifier::Shift | CarbonModifier::Command};
const QString schema = u"org.gnome.settings-daemon.plugins.media-keys"_s;
const QString entry = QLatin1String(DesktopShortcutSetup::gnomePath);

QString gsettings(const QStringList& args)
{
    QProcess p;
    p.start(u"gsettings"_s, args);
    p.waitForFinished(10'000);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

QString readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

bool writeFile(const QString& path, const QString& text)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(text.toUtf8()) >= 0;
}

Expected<void, QString> install(ShortcutSetup& setup)
{
    std::optional<Expected<void, QString>> result;
    setup.install([&](Expected<void, QString> r) { result = std::move(r); });
    (void)QTest::qWaitFor([&] { return result.has_value(); }, 20'000);
    return result.value_or(Expected<void, QString>(unexpected(u"no answer"_s)));
}

bool installed(ShortcutSetup& setup)
{
    std::optional<bool> result;
    setup.checkInstalled([&](bool r) { result = r; });
    (void)QTest::qWaitFor([&] { return result.has_value(); }, 20'000);
    return result.value_or(false);
}

} // namespace

class TestDesktopShortcutSetup : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        // gsettings keeps its values in a key file under this directory.
        qputenv("GSETTINGS_BACKEND", "keyfile");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.path()));
    }

    // A chord (key code, modifiers) as each desktop writes it: xdg, GNOME,
    // sway; a modifier alone has no trigger.
    void triggers_data()
    {
        rows({u"28→0x300→SHIFT+LOGO+8→<Shift><Super>8→Mod4+Shift+8",
              u"0→0x1800→CTRL+ALT+a→<Control><Alt>a→Ctrl+Mod1+a",
              u"36→0x1000→CTRL+Return→<Control>Return→Ctrl+Return",
              u"83→0x100→LOGO+KP_1→<Super>KP_1→Mod4+KP_1",
              u"116→0x200→SHIFT+Prior→<Shift>Prior→Shift+Prior",
              u"42→0x800→ALT+backslash→<Alt>backslash→Mod1+backslash", u"122→0→F1→F1→F1",
              u"56→0x200→→→", u"57→0→→→", u"127→0x100→→→"}); // Shift, Caps Lock, no name
    }
    void triggers()
    {
        const QStringList f = fields();
        const KeyPress chord{f[0].toUInt(), f[1].toUInt(nullptr, 16)};
        QStringList written;
        for (const auto style : {ShortcutTrigger::Style::xdg, ShortcutTrigger::Style::gnome,
                                 ShortcutTrigger::Style::sway}) {
            written << ShortcutTrigger::format(chord, style).value_or(QString());
        }
        QCOMPARE(written, f.mid(2));
    }

    // GNOME: our entry joins the custom keybindings the user has, once.
    void gnome()
    {
        if (gsettings({u"list-schemas"_s}).split(u'\n').indexOf(schema) < 0) {
            QSKIP("the media-keys schema is not installed");
        }
        const QString custom0 =
            u"/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/custom0/"_s;
        gsettings({u"set"_s, schema, u"custom-keybindings"_s, u"['%1']"_s.arg(custom0)});
        DesktopShortcutSetup setup({DesktopEnvironment::Kind::gnome, true, false}, shiftSuper8,
                                   u"/opt/quill snap/quillsnap-cli capture"_s);
        QCOMPARE(setup.method(), Method::gnomeSettings);
        QCOMPARE(setup.trigger(), u"<Shift><Super>8"_s);
        QVERIFY(!installed(setup));
        for (int round = 0; round < 2; ++round) {
            const auto done = install(setup);
            QVERIFY2(done, qPrintable(done ? QString() : done.error()));
        }
        QCOMPARE(DesktopShortcutSetup::parseStringArray(
                     gsettings({u"get"_s, schema, u"custom-keybindings"_s})),
                 (QStringList{custom0, entry}));
        const QString relocatable = schema + u".custom-keybinding:"_s + entry;
        QCOMPARE(gsettings({u"get"_s, relocatable, u"command"_s}),
                 u"'/opt/quill snap/quillsnap-cli capture'"_s);
        QCOMPARE(gsettings({u"get"_s, relocatable, u"binding"_s}), u"'<Shift><Super>8'"_s);
        QVERIFY(installed(setup));
    }

    // sway: the line goes at the end of the user's configuration, replacing
    // ours from before; without a configuration, the system's is the start.
    void sway_data()
    {
        QTest::addColumn<QString>("user");   // "-": none
        QTest::addColumn<QString>("system"); // "-": none
        QTest::addColumn<QString>("expected");
        const QString line = u"# quillsnap: capture text from the screen\n"
                             u"bindsym Mod4+Shift+8 exec quillsnap-cli capture\n"_s;
        QTest::newRow("appended") << u"set $mod Mod4\nbar {\n}\n"_s << u"-"_s
                                  << u"set $mod Mod4\nbar {\n}\n\n"_s + line;
        QTest::newRow("replaced")
            << u"a\n\n# quillsnap: capture text from the screen\nbindsym Mod1+q exec old\nb\n"_s
            << u"-"_s << u"a\n\nb\n\n"_s + line;
        QTest::newRow("from the system's") << u"-"_s << u"include /etc/sway/config.d/*\n"_s
                                           << u"include /etc/sway/config.d/*\n\n"_s + line;
        QTest::newRow("nothing at all") << u"-"_s << u"-"_s << u"\n"_s + line;
    }

    void sway()
    {
        QFETCH(QString, user);
        QFETCH(QString, system);
        QFETCH(QString, expected);
        const QTemporaryDir dir;
        const DesktopShortcutSetup::Paths paths{dir.filePath(u"sway/config"_s),
                                                dir.filePath(u"system-config"_s)};
        QVERIFY(QDir().mkpath(dir.filePath(u"sway"_s)));
        QVERIFY(user == u"-" || writeFile(paths.swayConfig, user));
        QVERIFY(system == u"-" || writeFile(paths.swaySystemConfig, system));
        DesktopShortcutSetup setup({DesktopEnvironment::Kind::wlroots, true, true}, shiftSuper8,
                                   u"quillsnap-cli capture"_s, paths);
        QCOMPARE(setup.method(), Method::swayConfig);
        QCOMPARE(setup.instructions(), u"bindsym Mod4+Shift+8 exec quillsnap-cli capture"_s);
        QVERIFY(!installed(setup));
        QVERIFY(install(setup));
        QVERIFY(install(setup)); // twice: still one line
        QCOMPARE(readFile(paths.swayConfig), expected);
        QCOMPARE(readFile(paths.swaySystemConfig), system == u"-" ? QString() : system);
        QVERIFY(installed(setup));
    }

private:
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestDesktopShortcutSetup)
#include "tst_desktopshortcutsetup.moc"
