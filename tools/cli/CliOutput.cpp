#include "CliOutput.h"

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <unistd.h>

namespace {

// Text is encoded in slices of this many UTF-16 units, so that a large text
// never exists twice in full.
constexpr qsizetype sliceUnits = 32 * 1024;
constexpr qsizetype bufferBytes = 64 * 1024;

} // namespace

CliOutput& CliOutput::operator<<(QStringView text)
{
    while (!text.isEmpty() && !failed()) {
        qsizetype n = std::min(text.size(), sliceUnits);
        if (n < text.size() && text[n - 1].isHighSurrogate()) {
            --n; // keep a surrogate pair together
        }
        m_buffer += text.first(n).toUtf8();
        text = text.sliced(n);
        if (m_buffer.size() >= bufferBytes) {
            flush();
        }
    }
    return *this;
}

bool CliOutput::flush()
{
    if (!failed() && !m_buffer.isEmpty()) {
        writeAll(m_buffer.constData(), m_buffer.size());
    }
    m_buffer.clear();
    return !failed();
}

bool CliOutput::close()
{
    if (flush() && m_fd >= 0 && ::close(m_fd) != 0 && errno != EINTR) {
        m_errno = errno;
    }
    m_fd = -1;
    return !failed();
}

void CliOutput::writeAll(const char* data, qsizetype size)
{
    while (size > 0) {
        const ssize_t n = ::write(m_fd, data, size_t(size));
        if (n >= 0) {
            data += n;
            size -= n;
        } else if (errno == EAGAIN) {
            // Standard output may have been left non-blocking by whoever
            // opened it: wait until it takes more.
            pollfd p{m_fd, POLLOUT, 0};
            ::poll(&p, 1, -1);
        } else if (errno != EINTR) {
            m_errno = errno;
            return;
        }
    }
}

QString CliOutput::errorString() const
{
    return QString::fromLocal8Bit(std::strerror(m_errno));
}

bool CliOutput::isTerminal() const
{
    return ::isatty(m_fd) == 1;
}

QString CliOutput::printable(QStringView text, bool multiline)
{
    QString result;
    result.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const bool crlf = c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n';
        if (c.category() != QChar::Other_Control) {
            result += c;
        } else if (!multiline && (c == u'\n' || c == u'\r' || c == u'\t')) {
            result += u' ';
        } else if (multiline && (c == u'\n' || c == u'\t')) {
            result += c;
        } else if (!(multiline && crlf)) {
            result += QChar(0xFFFD);
        }
    }
    return result;
}
