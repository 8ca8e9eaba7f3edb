#pragma once

#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

// A real WebDAV server on loopback: rclone serving a temporary directory
// with basic authentication, on a port it picks itself.
class WebDAVServer
{
public:
    static constexpr const char* user = "tester";
    static constexpr const char* password = "s3cret";

    // seesPlantedFiles: files put into root() directly show in listings at
    // once (rclone then reads the directory for every request: slower).
    explicit WebDAVServer(bool seesPlantedFiles = false)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("RCLONE_CONFIG"), QStringLiteral("/dev/null"));
        m_process.setProcessEnvironment(env);
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        QStringList args{QStringLiteral("serve"),
                         QStringLiteral("webdav"),
                         m_root.path(),
                         QStringLiteral("--addr"),
                         QStringLiteral("127.0.0.1:0"),
                         QStringLiteral("--user"),
                         QString::fromLatin1(user),
                         QStringLiteral("--pass"),
                         QString::fromLatin1(password)};
        if (seesPlantedFiles) {
            args << QStringLiteral("--dir-cache-time") << QStringLiteral("0s");
        }
        m_process.start(QStringLiteral("rclone"), args);
        static const QRegularExpression started(QStringLiteral("started on (http://[^/\\s]+)/"));
        QString log;
        (void)QTest::qWaitFor(
            [&] {
                log += QString::fromUtf8(m_process.readAll());
                const auto match = started.match(log);
                if (match.hasMatch()) {
                    m_base = QUrl(match.captured(1));
                }
                return m_base.isValid() || m_process.state() == QProcess::NotRunning;
            },
            15000);
        if (!m_base.isValid()) {
            qWarning("rclone did not start: %s", qPrintable(log));
        }
    }
    ~WebDAVServer()
    {
        m_process.terminate();
        m_process.waitForFinished(5000);
    }

    bool isRunning() const { return m_base.isValid(); }
    // The address of a path on the server ("" is the root).
    QUrl url(const QString& path = {}) const
    {
        return QUrl(m_base.toString() + QLatin1Char('/') + path);
    }
    // The directory the server serves.
    QString root() const { return m_root.path(); }

private:
    QTemporaryDir m_root;
    QProcess m_process;
    QUrl m_base;
};
