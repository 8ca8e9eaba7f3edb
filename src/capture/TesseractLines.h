#pragma once

#include "capture/TextObservation.h"

#include <QList>
#include <QPointF>
#include <QRect>
#include <QString>

#include <functional>
#include <vector>

namespace tesseract {
class TessBaseAPI;
}

// What Tesseract read on one text line of a prepared image, in that image's
// pixels, and the helpers that turn such lines into observations.
struct TesseractLine
{
    struct Word
    {
        QString text;
        QRect box;
        float confidence = 0;
    };
    struct Symbol
    {
        QString text;
        QRect box;
    };
    std::vector<Word> words;
    std::vector<Symbol> symbols;
    QRect box;           // the line's ink
    bool fitted = false; // baseline and row metrics known
    double baseline = 0;
    double xHeight = 0;
    double descent = 0;   // below the baseline
    double rowHeight = 0; // from the descent up to the ascenders
    int language = 0;     // index of the engine whose reading this is

    // Length-weighted mean confidence of the words, 0 without words.
    double confidence() const;
};

// The lines of the engine's last recognition, with the words `accept` takes.
using WordFilter = std::function<bool(const QString& text, const QRect& box, float confidence)>;
std::vector<TesseractLine> readTesseractLines(tesseract::TessBaseAPI& api,
                                              const WordFilter& accept);

// Diacritic marks on a line: small pieces of ink above its letters, found
// in the image rather than read, so that a reading can be checked against
// them. A reading that puts a plain letter under an accent (the English
// model has no "ñ", "ç" or "ã" and reads "nifio") or an accent where there
// is none scores one mismatch per such letter.
struct DiacriticMark
{
    int x = 0;            // centre, in the prepared image
    bool dotLike = false; // as round as the dot of an i
};
std::vector<DiacriticMark> diacriticMarks(const TesseractLine& line,
                                          const std::vector<QRect>& letters);
int diacriticMismatches(const std::vector<TesseractLine::Symbol>& symbols,
                        const std::vector<DiacriticMark>& marks, double xHeight);

// Maps boxes of a prepared image back into the source image.
struct PartGeometry
{
    double scale;   // prepared pixels per source pixel
    QPointF origin; // source position of the prepared image's top-left corner
    int width;      // of the source image
    int height;
};

// Drops "lines" that are the accents of the line below, which the engine's
// line finder sets apart on large text (the acute of a 48 px "ó" read as "7").
void dropStrayAccents(std::vector<TesseractLine>& lines);

// Cuts lines into fragments where words are further apart than
// columnGapFactor line heights: the columns of one visual row (a menu item
// and its shortcut, a label and its value), each read on its own.
std::vector<TesseractLine> splitAtGaps(std::vector<TesseractLine> lines, double columnGapFactor);

// Appends the lines as observations.
void appendObservations(const std::vector<TesseractLine>& lines, const std::vector<QRect>& letters,
                        const PartGeometry& geometry, QList<TextObservation>& observations);
