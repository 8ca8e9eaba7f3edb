#pragma once

#include <QString>

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
};
