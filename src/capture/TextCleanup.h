#pragma once

#include <QString>
#include <QStringList>

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

} // namespace TextCleanup
