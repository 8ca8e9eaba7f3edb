#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

// Text written to a file descriptor as UTF-8 through a buffer, with every
// write checked. After the first failure (a full disk, a closed pipe end,
// /dev/full) the output keeps the error and drops what follows, so that the
// command can finish and the failure is reported once.
class CliOutput
{
public:
    explicit CliOutput(int fd) : m_fd(fd) {}
    CliOutput(const CliOutput&) = delete;
    CliOutput& operator=(const CliOutput&) = delete;

    CliOutput& operator<<(QStringView text);
    CliOutput& operator<<(const QString& text) { return *this << QStringView(text); }
    CliOutput& operator<<(char16_t c) { return *this << QStringView(&c, 1); }

    // Writes out the buffer; false when this or any earlier write failed.
    bool flush();
    // flush(), then closes the descriptor; false when anything failed.
    bool close();
    bool failed() const { return m_errno != 0; }
    // Why writing failed, as the system says it ("No space left on device").
    QString errorString() const;
    bool isTerminal() const;

    // Text from outside (stored captures, decoded codes, file names) made
    // safe for a terminal, which acts on control characters (escape
    // sequences, carriage returns): they become U+FFFD. With multiline,
    // line breaks and tabs stay; without, they become spaces.
    static QString printable(QStringView text, bool multiline);

private:
    void writeAll(const char* data, qsizetype size);

    int m_fd;
    QByteArray m_buffer;
    int m_errno = 0;
};
