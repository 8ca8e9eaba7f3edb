#pragma once

#include <QString>
#include <QStringView>

#include <functional>

// Recognises price lists and column text and turns them into markdown tables.
class TextProcessingService
{
public:
    static bool isTableLike(const QString& text);
    // The markdown table, or text unchanged when no table can be built.
    static QString formatAsTable(const QString& text);
    // The text a capture hands to the user: tables become markdown, any
    // other text stays as it is.
    static QString finalText(const QString& recognized);

    // finalText for a text too large to hold twice: hands the result to
    // write piece by piece instead of returning it. Each "\n" of text is
    // written as lineBreak.
    static void writeFinalText(QStringView text, QStringView lineBreak,
                               const std::function<void(QStringView)>& write);
};
