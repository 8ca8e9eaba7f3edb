#include "platform/DesktopShortcutSetup.h"

#include "hotkeys/ShortcutTrigger.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTimer>

namespace {

const QString mediaKeys = QStringLiteral("org.gnome.settings-daemon.plugins.media-keys");
const QString customKey = QStringLiteral("custom-keybindings");
const QString swayMarker = QStringLiteral("# quillsnap: capture text from the screen");
constexpr int helperTimeoutMs = 10'000;

QString gvariantString(const QString& text)
{
    QString escaped = text;
    escaped.replace(u'\\', QStringLiteral("\\\\")).replace(u'\'', QStringLiteral("\\'"));
    return u'\'' + escaped + u'\'';
}

} // namespace

DesktopShortcutSetup::Paths DesktopShortcutSetup::defaultPaths()
{
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return {config + QStringLiteral("/sway/config"), QStringLiteral("/etc/sway/config")};
}

std::optional<ShortcutSetup::Method>
DesktopShortcutSetup::methodFor(const DesktopEnvironment::Session& session)
{
    if (!session.wayland) {
        return std::nullopt;
    }
    switch (session.kind) {
    case DesktopEnvironment::Kind::gnome:
        return Method::gnomeSettings;
    case DesktopEnvironment::Kind::kde:
        return std::nullopt;
    case DesktopEnvironment::Kind::wlroots:
        return session.sway ? Method::swayConfig : Method::manual;
    case DesktopEnvironment::Kind::other:
        break;
    }
    return Method::manual;
}

DesktopShortcutSetup::DesktopShortcutSetup(const DesktopEnvironment::Session& session,
                                           const KeyPress& chord, QString command, Paths paths,
                                           QObject* parent)
    : QObject(parent), m_method(methodFor(session).value_or(Method::manual)),
      m_command(std::move(command)), m_paths(std::move(paths))
{
    const auto style = m_method == Method::gnomeSettings ? ShortcutTrigger::Style::gnome
                                                         : ShortcutTrigger::Style::sway;
    m_trigger = ShortcutTrigger::format(chord, style).value_or(QString());
}

QString DesktopShortcutSetup::bindsymLine() const
{
    return QStringLiteral("bindsym %1 exec %2").arg(m_trigger, m_command);
}

QString DesktopShortcutSetup::instructions() const
{
    switch (m_method) {
    case Method::swayConfig:
        return bindsymLine();
    case Method::gnomeSettings: {
        const QString path = QLatin1String(gnomePath);
        const QString relocatable = mediaKeys + QStringLiteral(".custom-keybinding:") + path;
        return QStringLiteral("gsettings set %1 name 'quillsnap'\n"
                              "gsettings set %1 command %2\n"
                              "gsettings set %1 binding '%3'\n"
                              "(and add '%4' to %5 %6)")
            .arg(relocatable, gvariantString(m_command), m_trigger, path, mediaKeys, customKey);
    }
    case Method::manual:
        break;
    }
    return m_command;
}

QStringList DesktopShortcutSetup::parseStringArray(const QString& text)
{
    // "@as []" or "['/a/', '/b/']"; paths hold no quotes.
    QStringList names;
    static const QRegularExpression quoted(QStringLiteral("'([^']*)'"));
    for (auto it = quoted.globalMatch(text); it.hasNext();) {
        names << it.next().captured(1);
    }
    return names;
}

void DesktopShortcutSetup::gsettings(const QStringList& arguments, Step next)
{
    auto* process = new QProcess(this);
    process->setProgram(QStringLiteral("gsettings"));
    process->setArguments(arguments);
    process->setStandardInputFile(QProcess::nullDevice());
    QTimer::singleShot(helperTimeoutMs, process, [process] { process->kill(); });
    auto settled = std::make_shared<bool>(false);
    const auto settle = [process, next, settled](bool ok) {
        if (std::exchange(*settled, true)) {
            return;
        }
        process->deleteLater();
        next(ok, ok ? process->readAllStandardOutput() : process->readAllStandardError());
    };
    connect(process, &QProcess::finished, this, [settle](int code, QProcess::ExitStatus status) {
        settle(status == QProcess::NormalExit && code == 0);
    });
    connect(process, &QProcess::errorOccurred, this, [settle](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            settle(false);
        }
    });
    process->start();
}

void DesktopShortcutSetup::installGnome(std::function<void(Expected<void, QString>)> done)
{
    const QString path = QLatin1String(gnomePath);
    const QString relocatable = mediaKeys + QStringLiteral(".custom-keybinding:") + path;
    const auto failed = [done](const QByteArray& output) {
        const QString why = QString::fromUtf8(output).trimmed();
        done(unexpected(why.isEmpty() ? tr("gsettings could not be run.")
                                      : tr("gsettings failed: %1").arg(why)));
    };
    // One value after another, then the list; the list last, so that the
    // desktop never sees an entry without its command.
    const QList<QStringList> values{
        {QStringLiteral("set"), relocatable, QStringLiteral("name"), QStringLiteral("quillsnap")},
        {QStringLiteral("set"), relocatable, QStringLiteral("command"), gvariantString(m_command)},
        {QStringLiteral("set"), relocatable, QStringLiteral("binding"), gvariantString(m_trigger)},
    };
    auto step = std::make_shared<std::function<void(int)>>();
    *step = [this, values, step, failed, done, path](int index) {
        if (index < values.size()) {
            gsettings(values.at(index), [step, index, failed](bool ok, const QByteArray& out) {
                ok ? (*step)(index + 1) : failed(out);
            });
            return;
        }
        gsettings({QStringLiteral("get"), mediaKeys, customKey},
                  [this, failed, done, path, step](bool ok, const QByteArray& out) {
                      if (!ok) {
                          return failed(out);
                      }
                      QStringList list = parseStringArray(QString::fromUtf8(out));
                      if (list.contains(path)) {
                          *step = nullptr;
                          return done({});
                      }
                      list << path;
                      for (QString& entry : list) {
                          entry = gvariantString(entry);
                      }
                      gsettings({QStringLiteral("set"), mediaKeys, customKey,
                                 u'[' + list.join(QStringLiteral(", ")) + u']'},
                                [failed, done, step](bool ok, const QByteArray& out) {
                                    *step = nullptr;
                                    ok ? done({}) : failed(out);
                                });
                  });
    };
    (*step)(0);
}

Expected<void, QString> DesktopShortcutSetup::writeSwayConfig() const
{
    QString config;
    const QString source =
        QFileInfo::exists(m_paths.swayConfig) ? m_paths.swayConfig : m_paths.swaySystemConfig;
    if (QFileInfo::exists(source)) {
        QFile file(source);
        if (!file.open(QIODevice::ReadOnly)) {
            return unexpected(tr("%1 cannot be read: %2").arg(source, file.errorString()));
        }
        config = QString::fromUtf8(file.readAll());
    }
    // Our marker and the line after it are replaced; the rest stays as it is.
    QStringList lines = config.split(u'\n');
    for (qsizetype i = lines.indexOf(swayMarker); i >= 0; i = lines.indexOf(swayMarker)) {
        lines.remove(i, std::min<qsizetype>(2, lines.size() - i));
    }
    while (!lines.isEmpty() && lines.last().isEmpty()) {
        lines.removeLast();
    }
    lines << QString() << swayMarker << bindsymLine() << QString();
    QDir().mkpath(QFileInfo(m_paths.swayConfig).absolutePath());
    // Complete or not at all; an existing file keeps its permissions.
    QSaveFile file(m_paths.swayConfig);
    if (!file.open(QIODevice::WriteOnly) || file.write(lines.join(u'\n').toUtf8()) < 0 ||
        !file.commit()) {
        return unexpected(
            tr("%1 cannot be written: %2").arg(m_paths.swayConfig, file.errorString()));
    }
    return {};
}

void DesktopShortcutSetup::install(std::function<void(Expected<void, QString>)> done)
{
    if (m_trigger.isEmpty()) {
        return done(unexpected(tr("This key cannot be bound on this desktop.")));
    }
    switch (m_method) {
    case Method::gnomeSettings:
        return installGnome(std::move(done));
    case Method::swayConfig: {
        if (const auto written = writeSwayConfig(); !written) {
            return done(written);
        }
        // sway reads its configuration again; without a running sway (or
        // swaymsg) the line takes effect at the next start.
        QProcess reload;
        reload.setProgram(QStringLiteral("swaymsg"));
        reload.setArguments({QStringLiteral("reload")});
        reload.setStandardOutputFile(QProcess::nullDevice());
        reload.setStandardErrorFile(QProcess::nullDevice());
        reload.startDetached();
        return done({});
    }
    case Method::manual:
        break;
    }
    done(
        unexpected(tr("Bind \"%1\" to a key in your desktop's keyboard settings.").arg(m_command)));
}

void DesktopShortcutSetup::checkInstalled(std::function<void(bool)> done)
{
    switch (m_method) {
    case Method::gnomeSettings: {
        const QString relocatable =
            mediaKeys + QStringLiteral(".custom-keybinding:") + QLatin1String(gnomePath);
        gsettings(
            {QStringLiteral("get"), mediaKeys, customKey},
            [this, done, relocatable](bool ok, const QByteArray& out) {
                if (!ok ||
                    !parseStringArray(QString::fromUtf8(out)).contains(QLatin1String(gnomePath))) {
                    return done(false);
                }
                gsettings({QStringLiteral("get"), relocatable, QStringLiteral("command")},
                          [this, done](bool ok, const QByteArray& out) {
                              done(ok && parseStringArray(QString::fromUtf8(out)) ==
                                             QStringList{m_command});
                          });
            });
        return;
    }
    case Method::swayConfig: {
        QFile file(m_paths.swayConfig);
        const bool found = file.open(QIODevice::ReadOnly) &&
                           QString::fromUtf8(file.readAll()).split(u'\n').contains(bindsymLine());
        // Answered later, like the other desktops.
        QTimer::singleShot(0, this, [done, found] { done(found); });
        return;
    }
    case Method::manual:
        break;
    }
    QTimer::singleShot(0, this, [done] { done(false); });
}
