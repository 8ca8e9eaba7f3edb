#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

// Repairs text that comes out of a text recognizer line by line: stray
// interface glyphs, words broken at line ends, paragraphs chopped into lines.
// Pure functions; safe on any thread.
namespace TextCleanup {

QString cleanRecognizedText(const QString& text);
// The cleaned line, or nullopt when the line is to be dropped.
std::optional<QString> cleanLine(const QString& line);
QString reflowParagraphs(const QString& text);
bool shouldStartNewParagraph(const QString& line, const std::optional<QString>& previous,
                             const QStringList& currentParagraph);

class Steps;

// cleanRecognizedText for a text that arrives line by line, such as standard
// input: it holds one copy of the text, taken after the line clean-up, and
// rebuilds the paragraphs inside that copy.
class LineCleaner
{
public:
    LineCleaner();
    ~LineCleaner();
    LineCleaner(const LineCleaner&) = delete;
    LineCleaner& operator=(const LineCleaner&) = delete;

    // The next line of the text, without its line terminator.
    void addLine(QString line);
    // After the last line: the cleaned text, in which each "\n" stands for
    // the blank line between two paragraphs when separatesParagraphs().
    // Valid until the next call; the text may be moved out of it.
    QString& finish();
    bool separatesParagraphs() const { return m_paragraphs; }

private:
    std::unique_ptr<Steps> m_steps;
    QString m_text;
    bool m_paragraphs = false;
};

} // namespace TextCleanup
