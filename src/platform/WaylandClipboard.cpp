#include "platform/WaylandClipboard.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

namespace {

// Read at most this much of someone else's text for additive mode.
constexpr qint64 maxReadBytes = 16 * 1024 * 1024;

QProcess* helper(QObject* parent, const QString& program, const QStringList& arguments,
                 int timeoutMs)
{
    auto* process = new QProcess(parent);
    process->setProgram(program);
    process->setArguments(arguments);
    process->setStandardErrorFile(QProcess::nullDevice());
    // A helper that hangs (no answer from the compositor) is ended; its
    // finished() then reports the failure.
    QTimer::singleShot(timeoutMs, process, [process] { process->kill(); });
    return process;
}

} // namespace

WaylandClipboard::WaylandClipboard(QObject* parent) : QObject(parent) {}

WaylandClipboard::~WaylandClipboard()
{
    // A helper still running goes with this object; its end must not call
    // back into it.
    for (QProcess* process : {m_writer, m_reader}) {
        if (process) {
            process->disconnect(this);
        }
    }
}

bool WaylandClipboard::isAvailable()
{
    return !QStandardPaths::findExecutable(QStringLiteral("wl-copy")).isEmpty() &&
           !QStandardPaths::findExecutable(QStringLiteral("wl-paste")).isEmpty();
}

std::optional<QString> WaylandClipboard::text() const
{
    return m_text;
}

void WaylandClipboard::clear()
{
    m_text.reset();
    m_writes.push_back({true, {}, {}});
    // Started on the next turn, so that a write asked for right after the
    // clear replaces it (the write replaces the whole clipboard anyway).
    QMetaObject::invokeMethod(this, &WaylandClipboard::runNext, Qt::QueuedConnection);
}

bool WaylandClipboard::setText(const QString& text)
{
    setTextAsync(text, {});
    return true;
}

void WaylandClipboard::setTextAsync(const QString& text, std::function<void(bool)> done)
{
    while (!m_writes.empty() && m_writes.back().clear) {
        m_writes.pop_back();
    }
    // Known at once, so that a second capture in additive mode builds on this
    // one even before wl-copy has finished.
    m_text = text;
    m_writes.push_back({false, text, std::move(done)});
    QMetaObject::invokeMethod(this, &WaylandClipboard::runNext, Qt::QueuedConnection);
}

void WaylandClipboard::runNext()
{
    if (m_writer || m_writes.empty()) {
        return;
    }
    const Write& write = m_writes.front();
    m_writer = helper(this, QStringLiteral("wl-copy"),
                      write.clear ? QStringList{QStringLiteral("--clear")}
                                  : QStringList{QStringLiteral("--type"),
                                                QStringLiteral("text/plain;charset=utf-8")},
                      m_timeoutMs);
    // wl-copy's server keeps running after wl-copy exits; it must not hold
    // our output pipes.
    m_writer->setStandardOutputFile(QProcess::nullDevice());
    connect(m_writer, &QProcess::finished, this, [this](int code, QProcess::ExitStatus status) {
        finishWrite(status == QProcess::NormalExit && code == 0);
    });
    connect(m_writer, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            finishWrite(false);
        }
    });
    m_writer->start();
    if (!write.clear) {
        m_writer->write(write.text.toUtf8());
    }
    m_writer->closeWriteChannel();
}

void WaylandClipboard::finishWrite(bool ok)
{
    if (!m_writer) {
        return;
    }
    m_writer->deleteLater();
    m_writer = nullptr;
    Write write = std::move(m_writes.front());
    m_writes.pop_front();
    if (!ok && !write.clear && m_text == write.text) {
        m_text.reset();
    }
    if (write.done) {
        write.done(ok);
    }
    runNext();
}

void WaylandClipboard::prefetchText()
{
    if (m_reader) {
        return;
    }
    m_reader = helper(this, QStringLiteral("wl-paste"),
                      {QStringLiteral("--no-newline"), QStringLiteral("--type"),
                       QStringLiteral("text/plain;charset=utf-8")},
                      m_timeoutMs);
    m_reader->setStandardInputFile(QProcess::nullDevice());
    connect(m_reader, &QProcess::readyReadStandardOutput, this, [this] {
        if (m_reader->bytesAvailable() > maxReadBytes) {
            m_reader->kill();
        }
    });
    connect(m_reader, &QProcess::finished, this, [this](int code, QProcess::ExitStatus status) {
        // A write queued meanwhile is newer than what was read.
        if (m_writes.empty()) {
            const bool ok = status == QProcess::NormalExit && code == 0;
            m_text = ok ? std::optional(QString::fromUtf8(m_reader->readAllStandardOutput()))
                        : std::nullopt;
        }
        m_reader->deleteLater();
        m_reader = nullptr;
    });
    connect(m_reader, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            m_reader->deleteLater();
            m_reader = nullptr;
        }
    });
    m_reader->start();
}
