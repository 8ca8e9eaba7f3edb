#include "capture/TesseractLines.h"

#include <tesseract/baseapi.h>
#include <tesseract/resultiterator.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>

namespace {

QString takeText(char* text)
{
    const std::unique_ptr<char[]> owned(text);
    return owned ? QString::fromUtf8(owned.get()).trimmed() : QString();
}

QRect boxAt(const tesseract::ResultIterator& it, tesseract::PageIteratorLevel level)
{
    int l = 0, t = 0, r = 0, b = 0;
    it.BoundingBox(level, &l, &t, &r, &b);
    return QRect(QPoint(l, t), QPoint(r - 1, b - 1));
}

TesseractLine startLine(const tesseract::ResultIterator& it)
{
    TesseractLine line;
    line.box = boxAt(it, tesseract::RIL_TEXTLINE);
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    float rowHeight = 0, descenders = 0, ascenders = 0;
    if (it.Baseline(tesseract::RIL_TEXTLINE, &x1, &y1, &x2, &y2)) {
        it.RowAttributes(&rowHeight, &descenders, &ascenders);
        line.fitted = rowHeight > 0 && descenders <= 0;
        line.baseline = (y1 + y2) / 2.0;
        line.descent = -descenders;
        line.rowHeight = rowHeight;
        line.xHeight = rowHeight - ascenders + descenders;
    }
    return line;
}

double median(std::vector<double> values)
{
    if (values.empty()) {
        return 0;
    }
    const auto middle = values.begin() + qsizetype(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

// The baseline of the letters found in a box: the highest lower edge that
// at least two full-height letters share, so that descenders (three of the
// five letters of "Apply") and small marks above the line do not move it.
std::optional<int> letterBaseline(const std::vector<QRect>& letters, const QRect& box)
{
    std::vector<const QRect*> inside;
    std::vector<double> heights;
    for (const QRect& letter : letters) {
        if (box.contains(letter.center())) {
            inside.push_back(&letter);
            heights.push_back(letter.height());
        }
    }
    if (inside.empty()) {
        return std::nullopt;
    }
    const double tall = 0.6 * median(heights);
    std::vector<int> bottoms;
    for (const QRect* letter : inside) {
        if (letter->height() >= tall) {
            bottoms.push_back(letter->bottom() + 1);
        }
    }
    std::sort(bottoms.begin(), bottoms.end());
    if (bottoms.size() == 1) {
        return bottoms.front();
    }
    for (size_t i = 0; i + 1 < bottoms.size(); ++i) {
        if (bottoms[i + 1] - bottoms[i] <= 1) {
            return bottoms[i + 1];
        }
    }
    return std::nullopt;
}

NormalizedRect normalize(const PartGeometry& g, int left, int top, int right, int bottom)
{
    const auto toSourceX = [&](int v) {
        return std::clamp(g.origin.x() + v / g.scale, 0.0, double(g.width));
    };
    const auto toSourceY = [&](int v) {
        return std::clamp(g.origin.y() + v / g.scale, 0.0, double(g.height));
    };
    const double x0 = toSourceX(left);
    const double x1 = toSourceX(right);
    // Whole source pixels, so that lines on one baseline compare equal.
    const double y0 = std::round(toSourceY(top));
    const double y1 = std::round(toSourceY(bottom));
    return NormalizedRect{x0 / g.width, 1.0 - y1 / g.height, (x1 - x0) / g.width,
                          (y1 - y0) / g.height};
}

// Letters that carry a mark above them in some language of the engine set.
bool isPlainLetter(QChar c)
{
    return c.isLetter() && c.decompositionTag() == QChar::NoDecomposition &&
           c.unicode() != 0x00DF; // ß has nothing above it
}

bool hasMarkAbove(const QString& symbol)
{
    const QString decomposed = symbol.normalized(QString::NormalizationForm_D);
    for (const QChar c : decomposed) {
        // Combining marks drawn above the letter (acute to caron, breve, ring).
        if (c.unicode() >= 0x0300 && c.unicode() <= 0x0315) {
            return true;
        }
    }
    return false;
}

bool isDotted(const QString& symbol)
{
    static const QString dotted = QStringLiteral("ijіјї");
    return symbol.size() == 1 && dotted.contains(symbol.front());
}

} // namespace

double TesseractLine::confidence() const
{
    double sum = 0;
    qsizetype length = 0;
    for (const Word& word : words) {
        sum += double(word.confidence) * double(word.text.size());
        length += word.text.size();
    }
    return length ? sum / double(length) : 0;
}

std::vector<TesseractLine> readTesseractLines(tesseract::TessBaseAPI& api, const WordFilter& accept)
{
    std::vector<TesseractLine> lines;
    const std::unique_ptr<tesseract::ResultIterator> it(api.GetIterator());
    if (!it || it->Empty(tesseract::RIL_BLOCK)) {
        return lines;
    }
    bool keepWord = false;
    do {
        if (it->IsAtBeginningOf(tesseract::RIL_TEXTLINE) || lines.empty()) {
            lines.push_back(startLine(*it));
        }
        if (it->Empty(tesseract::RIL_SYMBOL)) {
            continue;
        }
        TesseractLine& line = lines.back();
        if (it->IsAtBeginningOf(tesseract::RIL_WORD)) {
            const QString text = takeText(it->GetUTF8Text(tesseract::RIL_WORD));
            const QRect box = boxAt(*it, tesseract::RIL_WORD);
            const float confidence = it->Confidence(tesseract::RIL_WORD);
            keepWord = !text.isEmpty() && accept(text, box, confidence);
            if (keepWord) {
                line.words.push_back(TesseractLine::Word{text, box, confidence});
            }
        }
        if (keepWord) {
            line.symbols.push_back(
                TesseractLine::Symbol{takeText(it->GetUTF8Text(tesseract::RIL_SYMBOL)),
                                      boxAt(*it, tesseract::RIL_SYMBOL)});
        }
    } while (it->Next(tesseract::RIL_SYMBOL));
    return lines;
}

std::vector<DiacriticMark> diacriticMarks(const TesseractLine& line,
                                          const std::vector<QRect>& letters)
{
    std::vector<DiacriticMark> marks;
    if (!line.fitted || line.xHeight <= 0) {
        return marks;
    }
    const double xh = line.xHeight;
    for (const QRect& letter : letters) {
        const QPoint centre = letter.center();
        // Small, above the x-height, within the line's reach upwards.
        if (letter.height() <= 0.5 * xh && letter.width() <= 1.5 * xh &&
            centre.x() >= line.box.left() && centre.x() <= line.box.right() &&
            letter.bottom() <= line.baseline - 0.6 * xh &&
            letter.top() >= line.box.top() - 0.3 * xh) {
            marks.push_back(DiacriticMark{centre.x(), letter.width() <= 1.8 * letter.height()});
        }
    }
    return marks;
}

int diacriticMismatches(const std::vector<TesseractLine::Symbol>& symbols,
                        const std::vector<DiacriticMark>& marks, double xHeight)
{
    // Symbol boxes of the LSTM engine are a few pixels off, and the dot of an
    // "i" may land on its neighbour's box: a mark goes with the nearest
    // letter, and counts as read when any letter within reach carries it.
    const double reach = 0.5 * xHeight;
    const auto distance = [](const QRect& box, int x) {
        return x < box.left() ? box.left() - x : x > box.right() ? x - box.right() : 0;
    };
    int mismatches = 0;
    for (const DiacriticMark& mark : marks) {
        const TesseractLine::Symbol* nearest = nullptr;
        bool carried = false;
        for (const TesseractLine::Symbol& symbol : symbols) {
            if (symbol.text.isEmpty()) {
                continue;
            }
            const int d = distance(symbol.box, mark.x);
            if (!nearest || d < distance(nearest->box, mark.x)) {
                nearest = &symbol; // also a colon's or a question mark's dot
            }
            carried = carried || (d <= reach && (hasMarkAbove(symbol.text) ||
                                                 (mark.dotLike && isDotted(symbol.text))));
        }
        if (nearest && !carried && distance(nearest->box, mark.x) <= reach &&
            isPlainLetter(nearest->text.front())) {
            ++mismatches; // an accent the reading left out
        }
    }
    for (const TesseractLine::Symbol& symbol : symbols) {
        if (hasMarkAbove(symbol.text) &&
            std::none_of(marks.begin(), marks.end(), [&](const DiacriticMark& mark) {
                return distance(symbol.box, mark.x) <= reach;
            })) {
            ++mismatches; // an accent the image does not show
        }
    }
    return mismatches;
}

// Boxes span the words' ink horizontally and, vertically, the font extent of
// their line (baseline plus descent, up by the row height), as a text line
// box does. Fragments of one row may stand a pixel apart (a button's caption
// and the label next to it), and reading order goes by that pixel: each
// fragment takes the baseline of its own letters where they were found.
// Tesseract measures the descent of each row from its own letters, so a row
// without descenders would sit higher than its neighbour on the same
// baseline; lines of one size share the median descent and height instead.
void dropStrayAccents(std::vector<TesseractLine>& lines)
{
    const auto length = [](const TesseractLine& line) {
        qsizetype n = 0;
        for (const TesseractLine::Word& word : line.words) {
            n += word.text.size();
        }
        return n;
    };
    std::vector<bool> stray(lines.size(), false);
    for (size_t i = 0; i < lines.size(); ++i) {
        const QRect& mark = lines[i].box;
        if (length(lines[i]) > 2) {
            continue;
        }
        for (const TesseractLine& below : lines) {
            const QRect& box = below.box;
            const int h = box.height();
            if (length(below) > 2 && mark.height() < 0.6 * h && mark.left() >= box.left() - h / 2 &&
                mark.right() <= box.right() + h / 2 && mark.bottom() <= box.top() + 0.4 * h &&
                mark.bottom() >= box.top() - 0.5 * h) {
                stray[i] = true;
                break;
            }
        }
    }
    std::vector<TesseractLine> kept;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (!stray[i]) {
            kept.push_back(std::move(lines[i]));
        }
    }
    lines = std::move(kept);
}

std::vector<TesseractLine> splitAtGaps(std::vector<TesseractLine> lines, double columnGapFactor)
{
    std::vector<TesseractLine> fragments;
    for (TesseractLine& line : lines) {
        const double height = line.fitted ? line.rowHeight : double(line.box.height());
        TesseractLine fragment = line;
        fragment.words.clear();
        fragment.symbols.clear();
        const auto flush = [&] {
            if (fragment.words.empty()) {
                return;
            }
            fragment.box.setLeft(fragment.words.front().box.left());
            fragment.box.setRight(fragment.words.back().box.right());
            for (const TesseractLine::Symbol& symbol : line.symbols) {
                const int centre = symbol.box.center().x();
                if (centre >= fragment.box.left() && centre <= fragment.box.right()) {
                    fragment.symbols.push_back(symbol);
                }
            }
            fragments.push_back(fragment);
            fragment.words.clear();
            fragment.symbols.clear();
        };
        for (const TesseractLine::Word& word : line.words) {
            if (!fragment.words.empty() &&
                word.box.left() - fragment.words.back().box.right() > columnGapFactor * height) {
                flush();
            }
            fragment.words.push_back(word);
        }
        flush();
    }
    return fragments;
}

void appendObservations(const std::vector<TesseractLine>& lines, const std::vector<QRect>& letters,
                        const PartGeometry& geometry, QList<TextObservation>& observations)
{
    for (const TesseractLine& line : lines) {
        if (line.words.empty()) {
            continue;
        }
        int top = line.box.top();
        int bottom = line.box.bottom() + 1;
        if (line.fitted) {
            std::vector<double> descents;
            std::vector<double> heights;
            for (const TesseractLine& other : lines) {
                if (other.fitted && std::abs(other.xHeight - line.xHeight) <= 0.25 * line.xHeight) {
                    descents.push_back(other.descent);
                    heights.push_back(other.rowHeight);
                }
            }
            const double baseline =
                letterBaseline(letters, line.box).value_or(int(std::lround(line.baseline)));
            bottom = int(std::lround(baseline + median(descents)));
            top = int(std::lround(bottom - median(heights)));
        }
        QStringList words;
        int right = line.words.front().box.left();
        for (const TesseractLine::Word& word : line.words) {
            words.append(word.text);
            right = std::max(right, word.box.right() + 1);
        }
        observations.append(
            TextObservation{normalize(geometry, line.words.front().box.left(), top, right, bottom),
                            QStringList{words.join(QLatin1Char(' '))}});
    }
}
