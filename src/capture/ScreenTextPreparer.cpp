#include "capture/ScreenTextPreparer.h"

#include <QRect>

#include <leptonica/allheaders.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>

void ScreenTextPreparer::PixDeleter::operator()(Pix* pix) const
{
    pixDestroy(&pix);
}

namespace {

using PixPtr = ScreenTextPreparer::PixPtr;

// Grey levels between a stroke and its background below which it is not ink.
constexpr int kMinInkContrast = 24;
// Reduced copies go down to an eighth (strokes up to about 35 px wide) and
// stop before they get too small to hold a word.
constexpr int kMaxLevel = 3;
constexpr int kMinLevelSide = 24;
// Scaled images stay below this, so that a large screenshot is not doubled
// into hundreds of megabytes; such images carry large enough text anyway.
constexpr qint64 kMaxScaledPixels = 40'000'000;
constexpr int kMaxScaledSide = 16384;

l_uint32* row(Pix* pix, int y)
{
    return pixGetData(pix) + qsizetype(y) * pixGetWpl(pix);
}

// An 8-bit grey copy of the image, with transparency laid on white, and its
// mean brightness.
std::pair<PixPtr, double> toGrayPix(const QImage& image)
{
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    PixPtr pix(argb.isNull() ? nullptr : pixCreate(argb.width(), argb.height(), 8));
    if (!pix) {
        return {nullptr, 0};
    }
    qint64 sum = 0;
    for (int y = 0; y < argb.height(); ++y) {
        l_uint32* line = row(pix.get(), y);
        const auto* src = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x) {
            const QRgb p = src[x];
            const int alpha = qAlpha(p);
            const int gray = (qGray(p) * alpha + 255 * (255 - alpha) + 127) / 255;
            sum += gray;
            SET_DATA_BYTE(line, x, gray);
        }
    }
    return {std::move(pix), double(sum) / (double(argb.width()) * argb.height())};
}

// A connected piece of ink: a letter, or letters that touch.
struct Letter
{
    QRect box;     // in pixels of its copy
    double stroke; // mean stroke width: twice the area over the outline length
};

struct Ink
{
    PixPtr pix; // dark ink on white
    std::vector<Letter> letters;
};

double medianHeight(std::vector<int> heights)
{
    if (heights.empty()) {
        return 0;
    }
    const auto middle = heights.begin() + qsizetype(heights.size() / 2);
    std::nth_element(heights.begin(), middle, heights.end());
    return *middle;
}

// Letters of a binary ink mask, with their stroke widths. Rules (frames
// of text fields and buttons, separators) are no letters: they are taken out
// of the ink, as the engine reads a frame's edge next to text as "|".
std::optional<std::vector<Letter>> findLetters(Pix* mask, Pix* ink)
{
    Pixa* pieces = nullptr;
    Boxa* boxes = pixConnComp(mask, &pieces, 8);
    const int count = pieces ? pixaGetCount(pieces) : 0;
    std::vector<Letter> letters;
    std::vector<qint64> areas;
    letters.reserve(size_t(count));
    std::vector<int> heights;
    for (int i = 0; i < count; ++i) {
        int bx = 0, by = 0, bw = 0, bh = 0;
        boxaGetBoxGeometry(boxes, i, &bx, &by, &bw, &bh);
        Pix* piece = pixaGetPix(pieces, i, L_CLONE);
        qint64 area = 0;
        qint64 outline = 0;
        for (int y = 0; y < bh; ++y) {
            const l_uint32* above = y > 0 ? row(piece, y - 1) : nullptr;
            const l_uint32* line = row(piece, y);
            const l_uint32* below = y + 1 < bh ? row(piece, y + 1) : nullptr;
            for (int x = 0; x < bw; ++x) {
                if (!GET_DATA_BIT(line, x)) {
                    continue;
                }
                ++area;
                outline += (x == 0 || !GET_DATA_BIT(line, x - 1)) +
                           (x + 1 == bw || !GET_DATA_BIT(line, x + 1)) +
                           (!above || !GET_DATA_BIT(above, x)) +
                           (!below || !GET_DATA_BIT(below, x));
            }
        }
        pixDestroy(&piece);
        letters.push_back(Letter{QRect(bx, by, bw, bh), 2.0 * double(area) / double(outline)});
        areas.push_back(area);
        if (bh >= 3) {
            heights.push_back(bh);
        }
    }
    const double typical = std::max(3.0, medianHeight(heights));
    PixPtr rules(pixCreate(pixGetWidth(mask), pixGetHeight(mask), 1));
    if (!rules) {
        pixaDestroy(&pieces);
        boxaDestroy(&boxes);
        return std::nullopt;
    }
    bool anyRule = false;
    std::vector<Letter> kept;
    kept.reserve(letters.size());
    for (size_t i = 0; i < letters.size(); ++i) {
        const QRect& box = letters[i].box;
        const int w = box.width();
        const int h = box.height();
        // Rules are far longer than letters and far thinner than an "l" or
        // an "I" of any size; frames enclose much more than their own ink.
        const bool hollow = double(areas[i]) < 0.1 * w * h && std::max(w, h) >= 3 * typical;
        const bool upright = w <= std::max(3.0, typical / 3) && h >= 3 * typical && h >= 12 * w;
        const bool flat = h <= std::max(3.0, typical / 3) && w >= 5 * typical && w >= 12 * h;
        if (!(hollow || upright || flat)) {
            kept.push_back(letters[i]);
            continue;
        }
        Pix* piece = pixaGetPix(pieces, int(i), L_CLONE);
        pixRasterop(rules.get(), box.x(), box.y(), w, h, PIX_SRC | PIX_DST, piece, 0, 0);
        pixDestroy(&piece);
        anyRule = true;
    }
    pixaDestroy(&pieces);
    boxaDestroy(&boxes);
    if (anyRule) {
        // With the faint rim the rule was found without.
        const PixPtr wide(pixDilateBrick(nullptr, rules.get(), 5, 5));
        if (!wide) {
            return std::nullopt;
        }
        pixSetMasked(ink, wide.get(), 0xff);
    }
    return kept;
}

// Whether a region is no text but the rim of a larger shape in its own
// colour: the rounded end of a filled button or badge, whose tip is as
// thin as a stroke. Next to text lies what it is drawn on; next to such a
// rim lies, to a good part, more of the same colour.
bool isEdgeOfFill(Pix* gray, Pix* region, int bx, int by, bool darkText)
{
    const int width = pixGetWidth(gray);
    const int height = pixGetHeight(gray);
    const int bw = pixGetWidth(region);
    const int bh = pixGetHeight(region);
    const auto inside = [&](int x, int y) {
        return x >= 0 && y >= 0 && x < bw && y < bh && GET_DATA_BIT(row(region, y), x);
    };
    int extreme = darkText ? 255 : 0;
    for (int y = 0; y < bh; ++y) {
        for (int x = 0; x < bw; ++x) {
            if (inside(x, y)) {
                const int p = GET_DATA_BYTE(row(gray, by + y), bx + x);
                extreme = darkText ? std::min(extreme, p) : std::max(extreme, p);
            }
        }
    }
    int around = 0;
    int same = 0;
    for (int y = -1; y <= bh; ++y) {
        for (int x = -1; x <= bw; ++x) {
            const int gx = bx + x;
            const int gy = by + y;
            if (inside(x, y) || gx < 0 || gy < 0 || gx >= width || gy >= height ||
                !(inside(x - 1, y) || inside(x + 1, y) || inside(x, y - 1) || inside(x, y + 1))) {
                continue;
            }
            ++around;
            same += std::abs(int(GET_DATA_BYTE(row(gray, gy), gx)) - extreme) <= 16;
        }
    }
    return around > 0 && 4 * same > around;
}

// Ink as dark on white, its polarity decided per text region. Where the
// grey closing and opening differ there is text (or a thin line); each such
// region is dark text when its inside is darker than the ring just outside
// its box, which is the fill or page it sits on, and light text otherwise.
// Strokes at least as wide as the window are not found: they are flat
// inside. The letters are the ink above half of its region's strongest
// contrast.
std::optional<Ink> regionInk(Pix* gray, int strokeWindow)
{
    const int window = std::max(3, strokeWindow | 1);
    const PixPtr closed(pixCloseGray(gray, window, window));
    const PixPtr opened(pixOpenGray(gray, window, window));
    if (!closed || !opened) {
        return std::nullopt;
    }
    const PixPtr spread(pixSubtractGray(nullptr, closed.get(), opened.get()));
    const PixPtr mask(spread ? pixThresholdToBinary(spread.get(), kMinInkContrast) : nullptr);
    const int width = pixGetWidth(gray);
    const int height = pixGetHeight(gray);
    PixPtr ink(pixCreate(width, height, 8));
    const PixPtr strong(pixCreate(width, height, 1));
    if (!mask || !ink || !strong) {
        return std::nullopt;
    }
    pixInvert(mask.get(), mask.get());
    // Take in the faint anti-aliased rim of the strokes as well.
    const PixPtr grown(pixDilateBrick(nullptr, mask.get(), 3, 3));
    if (!grown) {
        return std::nullopt;
    }
    pixSetAll(ink.get());
    Pixa* regions = nullptr;
    Boxa* boxes = pixConnComp(grown.get(), &regions, 8);
    const int count = regions ? pixaGetCount(regions) : 0;
    for (int i = 0; i < count; ++i) {
        int bx = 0, by = 0, bw = 0, bh = 0;
        boxaGetBoxGeometry(boxes, i, &bx, &by, &bw, &bh);
        const PixPtr region(pixaGetPix(regions, i, L_CLONE));
        // Median grey of the ring around the box: what the text is drawn on.
        std::array<int, 256> ring{};
        int ringCount = 0;
        const auto sample = [&](int x, int y) {
            if (x >= 0 && y >= 0 && x < width && y < height) {
                ++ring[GET_DATA_BYTE(row(gray, y), x)];
                ++ringCount;
            }
        };
        for (int x = bx - 1; x <= bx + bw; ++x) {
            sample(x, by - 1);
            sample(x, by + bh);
        }
        for (int y = by; y < by + bh; ++y) {
            sample(bx - 1, y);
            sample(bx + bw, y);
        }
        qint64 insideSum = 0;
        qint64 insideCount = 0;
        for (int y = 0; y < bh; ++y) {
            const l_uint32* m = row(region.get(), y);
            const l_uint32* g = row(gray, by + y);
            for (int x = 0; x < bw; ++x) {
                if (GET_DATA_BIT(m, x)) {
                    insideSum += GET_DATA_BYTE(g, bx + x);
                    ++insideCount;
                }
            }
        }
        bool darkText = true;
        if (ringCount > 0 && insideCount > 0) {
            int median = 0;
            for (int seen = 0; median < 255 && (seen += ring[median]) * 2 < ringCount;) {
                ++median;
            }
            darkText = median * insideCount >= insideSum;
        }
        if (isEdgeOfFill(gray, region.get(), bx, by, darkText)) {
            continue;
        }
        int peak = 0;
        for (int y = 0; y < bh; ++y) {
            const l_uint32* m = row(region.get(), y);
            const l_uint32* g = row(gray, by + y);
            const l_uint32* c = row(closed.get(), by + y);
            const l_uint32* o = row(opened.get(), by + y);
            l_uint32* out = row(ink.get(), by + y);
            for (int x = 0; x < bw; ++x) {
                if (GET_DATA_BIT(m, x)) {
                    const int p = GET_DATA_BYTE(g, bx + x);
                    const int contrast = std::clamp(darkText ? GET_DATA_BYTE(c, bx + x) - p
                                                             : p - GET_DATA_BYTE(o, bx + x),
                                                    0, 255);
                    peak = std::max(peak, contrast);
                    SET_DATA_BYTE(out, bx + x, 255 - contrast);
                }
            }
        }
        const int threshold = 255 - std::max(kMinInkContrast, (peak + 1) / 2);
        for (int y = 0; y < bh; ++y) {
            const l_uint32* m = row(region.get(), y);
            const l_uint32* in = row(ink.get(), by + y);
            l_uint32* out = row(strong.get(), by + y);
            for (int x = 0; x < bw; ++x) {
                if (GET_DATA_BIT(m, x) && int(GET_DATA_BYTE(in, bx + x)) <= threshold) {
                    SET_DATA_BIT(out, bx + x);
                }
            }
        }
    }
    pixaDestroy(&regions);
    boxaDestroy(&boxes);
    std::optional<std::vector<Letter>> letters = findLetters(strong.get(), ink.get());
    if (!letters) {
        return std::nullopt;
    }
    return Ink{std::move(ink), std::move(*letters)};
}

// The largest factor up to the wanted one that keeps the image within bounds.
double boundedScale(double wanted, int width, int height)
{
    const double byPixels = std::sqrt(double(kMaxScaledPixels) / (double(width) * height));
    return std::min(
        {wanted, byPixels, double(kMaxScaledSide) / width, double(kMaxScaledSide) / height});
}

// Enlarging by 1.4 and more is bilinear, as Leptonica's pixScale does it,
// but in fixed point: Leptonica's own is several times slower at factors
// other than 2, and enlarging is the common case (screen text below the
// x-height the engine reads best). Smaller factors keep pixScale, which
// sharpens after interpolating or averaging.
PixPtr scaled(Pix* pix, double factor)
{
    if (std::abs(factor - 1.0) < 0.01) {
        return PixPtr(pixClone(pix));
    }
    if (factor < 1.4) {
        return PixPtr(pixScale(pix, float(factor), float(factor)));
    }
    const int width = pixGetWidth(pix);
    const int height = pixGetHeight(pix);
    const int outWidth = std::max(1, int(std::lround(width * factor)));
    const int outHeight = std::max(1, int(std::lround(height * factor)));
    PixPtr out(pixCreate(outWidth, outHeight, 8));
    if (!out) {
        return nullptr;
    }
    // Source position of each target pixel, in 1/256 of a pixel.
    const auto source = [&](int target, int limit) {
        const double s = std::min(target / factor, double(limit - 1));
        const int fixed = int(s * 256);
        return std::pair<int, int>{fixed >> 8, fixed & 255};
    };
    std::vector<std::pair<int, int>> columns(static_cast<size_t>(outWidth));
    for (int x = 0; x < outWidth; ++x) {
        columns[size_t(x)] = source(x, width);
    }
    std::vector<int> blended(static_cast<size_t>(width));
    for (int y = 0; y < outHeight; ++y) {
        const auto [sy, fy] = source(y, height);
        const l_uint32* top = row(pix, sy);
        const l_uint32* bottom = row(pix, std::min(sy + 1, height - 1));
        for (int x = 0; x < width; ++x) {
            blended[size_t(x)] = GET_DATA_BYTE(top, x) * (256 - fy) + GET_DATA_BYTE(bottom, x) * fy;
        }
        l_uint32* line = row(out.get(), y);
        for (int x = 0; x < outWidth; ++x) {
            const auto [sx, fx] = columns[size_t(x)];
            const int right = std::min(sx + 1, width - 1);
            const int value =
                (blended[size_t(sx)] * (256 - fx) + blended[size_t(right)] * fx + (1 << 15)) >> 16;
            SET_DATA_BYTE(line, x, value);
        }
    }
    return out;
}

// The x-height of text from its letters' heights: a low quantile, since
// most letters of running text are lowercase without ascenders, and
// punctuation (under half the median) left out.
double xHeightOf(std::vector<int> heights)
{
    const double median = medianHeight(heights);
    heights.erase(
        std::remove_if(heights.begin(), heights.end(), [&](int h) { return 2 * h < median; }),
        heights.end());
    if (heights.empty()) {
        return median;
    }
    const auto at = heights.begin() + qsizetype(double(heights.size() - 1) * 0.3);
    std::nth_element(heights.begin(), at, heights.end());
    return *at;
}

QRect scaledBox(const QRect& box, double scale)
{
    return QRectF(box.x() * scale, box.y() * scale, box.width() * scale, box.height() * scale)
        .toAlignedRect();
}

bool containsCentre(const std::vector<QRect>& rects, const QRect& box, int factor)
{
    const QPoint centre = box.center() * factor;
    return std::any_of(rects.begin(), rects.end(),
                       [&](const QRect& r) { return r.contains(centre); });
}

// Lines of large text on one reduced copy. They are seeded by letters whose
// strokes are wide for this copy yet resolved in it, tall for their strokes
// and not much wider than tall (not bars, nor buttons whose label is blurred
// away on this copy); seeds side by side on one line, with at least
// two of them, make a line. The line then takes in the other letters along
// it, whose strokes may be thinner (curves, serifs, light letters).
struct LargeText
{
    std::vector<QRect> rects; // grown around the lines, in pixels of the copy
    std::vector<int> seedHeights;
};

LargeText findLargeText(const std::vector<Letter>& letters, double minStroke, double maxStroke,
                        const std::vector<QRect>& taken, int factor)
{
    std::vector<const Letter*> seeds;
    for (const Letter& letter : letters) {
        const int h = letter.box.height();
        if (letter.stroke >= minStroke && letter.stroke < maxStroke && h >= 5 &&
            h >= 2.5 * letter.stroke && letter.box.width() <= 2 * h &&
            !containsCentre(taken, letter.box, factor)) {
            seeds.push_back(&letter);
        }
    }
    std::sort(seeds.begin(), seeds.end(),
              [](const Letter* a, const Letter* b) { return a->box.left() < b->box.left(); });
    std::vector<size_t> parent(seeds.size());
    std::iota(parent.begin(), parent.end(), 0);
    const auto root = [&](size_t i) {
        while (parent[i] != i) {
            i = parent[i] = parent[parent[i]];
        }
        return i;
    };
    for (size_t i = 0; i < seeds.size(); ++i) {
        const QRect& a = seeds[i]->box;
        for (size_t j = i + 1; j < seeds.size(); ++j) {
            const QRect& b = seeds[j]->box;
            const int reach = 2 * std::max(a.height(), b.height());
            if (b.left() > a.right() + reach) {
                break;
            }
            const int overlap = std::min(a.bottom(), b.bottom()) - std::max(a.top(), b.top()) + 1;
            if (overlap * 2 >= std::min(a.height(), b.height())) {
                parent[root(j)] = root(i);
            }
        }
    }
    std::vector<QRect> lines(seeds.size());
    std::vector<int> members(seeds.size(), 0);
    for (size_t i = 0; i < seeds.size(); ++i) {
        const size_t r = root(i);
        lines[r] = lines[r].united(seeds[i]->box);
        ++members[r];
    }
    std::vector<const Letter*> byLeft;
    for (const Letter& letter : letters) {
        byLeft.push_back(&letter);
    }
    std::sort(byLeft.begin(), byLeft.end(),
              [](const Letter* a, const Letter* b) { return a->box.left() < b->box.left(); });
    const auto extend = [&](QRect line) {
        const auto along = [&](const QRect& box) {
            const int overlap =
                std::min(line.bottom(), box.bottom()) - std::max(line.top(), box.top()) + 1;
            return overlap * 2 >= box.height() && box.height() <= 2 * line.height();
        };
        for (const Letter* letter : byLeft) {
            if (letter->box.left() > line.right() + line.height()) {
                break;
            }
            if (letter->box.right() > line.right() && along(letter->box)) {
                line.setRight(letter->box.right());
            }
        }
        for (auto it = byLeft.rbegin(); it != byLeft.rend(); ++it) {
            const QRect& box = (*it)->box;
            if (box.left() < line.left() - 4 * line.height()) {
                break;
            }
            if (box.left() < line.left() && box.right() >= line.left() - line.height() &&
                along(box)) {
                line.setLeft(box.left());
            }
        }
        return line;
    };
    LargeText found;
    for (size_t i = 0; i < seeds.size(); ++i) {
        const size_t r = root(i);
        if (members[r] < 2) {
            continue;
        }
        found.seedHeights.push_back(seeds[i]->box.height());
        if (r == i) {
            const QRect line = extend(lines[r]);
            const int h = line.height();
            found.rects.push_back(line.adjusted(-h / 2 - 1, -h / 4 - 1, h / 2 + 1, h / 4 + 1));
        }
    }
    return found;
}

} // namespace

std::optional<std::vector<ScreenTextPreparer::Part>>
ScreenTextPreparer::prepare(const QImage& image, const Options& options)
{
    auto [base, mean] = toGrayPix(image);
    if (!base) {
        return std::nullopt;
    }
    if (options.invertDark && mean < 128) {
        pixInvert(base.get(), base.get());
    }
    std::vector<Part> parts;
    const int width = pixGetWidth(base.get());
    const int height = pixGetHeight(base.get());
    if (!options.separateInk) {
        const double scale = boundedScale(options.fixedScale, width, height);
        PixPtr pix = scaled(base.get(), scale);
        if (!pix) {
            return std::nullopt;
        }
        parts.push_back(Part{std::move(pix), scale, QPointF(), {}});
        return parts;
    }

    // The copies: full size, then halved while large enough.
    std::vector<PixPtr> levels;
    levels.push_back(std::move(base));
    while (options.splitBySize && int(levels.size()) <= kMaxLevel &&
           std::min(pixGetWidth(levels.back().get()), pixGetHeight(levels.back().get())) >=
               2 * kMinLevelSide) {
        PixPtr half(pixScaleAreaMap2(levels.back().get()));
        if (!half) {
            return std::nullopt;
        }
        levels.push_back(std::move(half));
    }

    // Coarsest first: a word found there is not looked for again below.
    std::vector<QRect> taken; // in full-size pixels
    const double maxStroke = options.strokeWindow - 0.5;
    for (int level = int(levels.size()) - 1; level >= 1; --level) {
        const int factor = 1 << level;
        std::optional<Ink> ink = regionInk(levels[size_t(level)].get(), options.strokeWindow);
        if (!ink) {
            return std::nullopt;
        }
        const LargeText words =
            findLargeText(ink->letters, options.largeStroke, maxStroke, taken, factor);
        if (words.rects.empty()) {
            continue;
        }
        QRect crop;
        for (const QRect& r : words.rects) {
            crop = crop.united(r);
        }
        crop &= QRect(0, 0, pixGetWidth(ink->pix.get()), pixGetHeight(ink->pix.get()));
        PixPtr canvas(pixCreate(crop.width(), crop.height(), 8));
        if (!canvas) {
            return std::nullopt;
        }
        pixSetAll(canvas.get());
        for (const QRect& r : words.rects) {
            const QRect clipped = r & crop;
            pixRasterop(canvas.get(), clipped.x() - crop.x(), clipped.y() - crop.y(),
                        clipped.width(), clipped.height(), PIX_SRC, ink->pix.get(), clipped.x(),
                        clipped.y());
            taken.push_back(QRect(clipped.topLeft() * factor, clipped.size() * factor));
        }
        const double wanted =
            options.xHeight > 0
                ? std::clamp(options.xHeight / xHeightOf(words.seedHeights), 0.25, 4.0)
                : options.fixedScale;
        const double scale = boundedScale(wanted, crop.width(), crop.height());
        PixPtr pix = scaled(canvas.get(), scale);
        if (!pix) {
            return std::nullopt;
        }
        std::vector<QRect> letters;
        for (const Letter& letter : ink->letters) {
            if (containsCentre(words.rects, letter.box, 1)) {
                letters.push_back(scaledBox(letter.box.translated(-crop.topLeft()), scale));
            }
        }
        parts.push_back(Part{std::move(pix), scale / factor, QPointF(crop.topLeft() * factor),
                             std::move(letters)});
    }

    // The full-size copy holds the rest, with the large words blanked out.
    std::optional<Ink> ink = regionInk(levels.front().get(), options.strokeWindow);
    if (!ink) {
        return std::nullopt;
    }
    std::vector<int> heights;
    std::vector<QRect> letters;
    for (const Letter& letter : ink->letters) {
        if (!containsCentre(taken, letter.box, 1)) {
            letters.push_back(letter.box);
            if (letter.box.height() >= 3) {
                heights.push_back(letter.box.height());
            }
        }
    }
    if (!heights.empty()) {
        for (const QRect& r : taken) {
            Box* box = boxCreate(r.x(), r.y(), r.width(), r.height());
            pixSetInRectArbitrary(ink->pix.get(), box, 255);
            boxDestroy(&box);
        }
        const double wanted = options.xHeight > 0 && !heights.empty()
                                  ? std::clamp(options.xHeight / xHeightOf(heights), 0.5, 3.0)
                                  : options.fixedScale;
        const double scale = boundedScale(wanted, width, height);
        PixPtr pix = scaled(ink->pix.get(), scale);
        if (!pix) {
            return std::nullopt;
        }
        for (QRect& box : letters) {
            box = scaledBox(box, scale);
        }
        parts.insert(parts.begin(), Part{std::move(pix), scale, QPointF(), std::move(letters)});
    }
    return parts;
}
