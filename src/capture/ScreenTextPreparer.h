#pragma once

#include <QImage>
#include <QPointF>
#include <QRect>

#include <memory>
#include <optional>
#include <vector>

struct Pix;

// Turns a screenshot into the images the recognition engine reads best: dark
// text on white, with the polarity of every text region decided by what the
// region is drawn on, and each size of text at its own scale.
//
// Ink is found with a grey closing and opening whose window must be wider
// than the strokes; strokes as wide as the window come out hollow. So the
// image is also looked at on reduced copies (half, quarter, eighth), where a
// heading's strokes are as thin as body text's. Words whose strokes are too
// wide for a finer copy are taken from the copy where they are resolved and
// handed over as an image of their own, scaled like the rest to the x-height
// the engine reads best: small text is enlarged and large text reduced.
// Frames, separators and the rounded ends of filled buttons are no ink.
class ScreenTextPreparer
{
public:
    struct Options
    {
        bool separateInk = true; // false: the grey image as it is, at fixedScale
        int strokeWindow = 5;    // window of the ink step in pixels of each copy (odd)
        bool splitBySize = true; // look for large text on reduced copies
        // Stroke width, in pixels of a reduced copy, from which a word belongs
        // to that copy rather than to the finer one.
        double largeStroke = 1.7;
        // x-height wanted in the engine's image; 0 scales everything by fixedScale.
        double xHeight = 14;
        double fixedScale = 2;
        bool invertDark = true; // invert images whose mean brightness is below 128
    };

    struct PixDeleter
    {
        void operator()(Pix* pix) const;
    };
    using PixPtr = std::unique_ptr<Pix, PixDeleter>;

    // One image for the engine: 8-bit grey, dark text on white.
    struct Part
    {
        PixPtr pix;
        double scale = 1; // engine pixels per source pixel
        QPointF origin;   // source position of the image's top-left corner
        // Where letters were found, in the image's pixels: for the baseline of
        // each fragment and the accents over its letters.
        std::vector<QRect> letters;
    };

    // The parts for one image, the body text first; none when there is no
    // ink at all. Nothing on failure (out of memory).
    static std::optional<std::vector<Part>> prepare(const QImage& image, const Options& options);
};
