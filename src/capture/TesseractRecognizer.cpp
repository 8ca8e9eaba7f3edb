#include "capture/TesseractRecognizer.h"

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QPainter>

#include <leptonica/allheaders.h>
#include <tesseract/baseapi.h>
#include <tesseract/resultiterator.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <tuple>

Q_LOGGING_CATEGORY(lcRecognition, "quillsnap.recognition")

// Image preparation, chosen by measurement with bench/recognition/run.sh
// --variants (40 synthetic screen images, 8 languages, one OpenMP thread;
// character error rate over the whole corpus and on the 7 images of text on
// coloured fills, median latency of the 800x300 dialog):
//                                                         all   fills  ui ms
//   chosen: grey, invert if mean < 128, ink by region
//     (window 5), 2x pixScale, tiled Otsu, PSM 3         2.9%   13.6%   117
//   no ink separation (the former preparation)           6.4%   33.7%   113
//   Leptonica background / contrast normalisation   9.9% / 9.9%  35% / 35%
//   ink by region, window 3 / 7 / 9         2.1% / 3.0% / 3.1%  8.7/14/15%
//   ink per pixel, polarity from a 15 px mean (dropped)  3.2%   14.3%   322
//   1x / 3x                                     14.4% / 2.4%  23.5 / 12.9%  189 / 166
//   padding of 4 / 12 px                        2.8% / 2.1%  13.5 / 11.1%
//   global Otsu / Sauvola                       1.9% / 3.9%   8.0 / 7.8%   146 / 122
//   PSM 6 (one block) / PSM 11 (sparse text)    8.2% / 3.6%
//   column split at 1.5 / 4 line heights               no change
// Tiled Otsu used to merge text on a coloured fill (a selected row, a filled
// button, a banner) into the fill, and the fill's edges pulled neighbouring
// labels with it. Separating the ink first leaves a white page with dark
// text of either polarity and no fills. Against the former preparation no
// category got worse but accents (2.0% to 2.4%, one word); window 3 wins on
// fills but breaks price lists (0.3% to 6.8%); global Otsu wins overall but
// costs a quarter more time on dialogs, and
// Sauvola misreads dialogs (16%). Padding swings the result by moving the
// Otsu tiles, not by any steady trend, so none is added. Tesseract's own
// per-line inversion retry stays on.
namespace {

struct PixDeleter
{
    void operator()(Pix* pix) const { pixDestroy(&pix); }
};
using PixPtr = std::unique_ptr<Pix, PixDeleter>;

// Scaled images stay below this, so that a large screenshot is not doubled
// into hundreds of megabytes; such images carry large enough text anyway.
constexpr qint64 kMaxScaledPixels = 40'000'000;
constexpr int kMaxScaledSide = 16384;
// Screens are roughly 96 dpi; telling Tesseract so keeps it from guessing.
constexpr int kScreenDpi = 96;
// Grey levels between a stroke and its background below which it is not ink.
constexpr int kMinInkContrast = 24;

// An opaque 8-bit grey copy of the image; transparency is laid on white.
QImage toGray(const QImage& image)
{
    if (!image.hasAlphaChannel()) {
        return image.convertToFormat(QImage::Format_Grayscale8);
    }
    QImage opaque(image.size(), QImage::Format_RGB32);
    opaque.fill(Qt::white);
    QPainter painter(&opaque);
    painter.drawImage(0, 0, image);
    painter.end();
    return opaque.convertToFormat(QImage::Format_Grayscale8);
}

// Mean brightness and the most frequent grey level (taken as the background).
std::pair<double, int> brightness(const QImage& gray)
{
    std::array<qint64, 256> histogram{};
    for (int y = 0; y < gray.height(); ++y) {
        const uchar* line = gray.constScanLine(y);
        for (int x = 0; x < gray.width(); ++x) {
            ++histogram[line[x]];
        }
    }
    qint64 sum = 0;
    for (int level = 0; level < 256; ++level) {
        sum += histogram[level] * level;
    }
    const auto mode = std::max_element(histogram.begin(), histogram.end()) - histogram.begin();
    const qint64 pixels = qint64(gray.width()) * gray.height();
    return {double(sum) / double(pixels), int(mode)};
}

// Copies the grey image into a Leptonica image with a border of the
// background level around it.
PixPtr toPix(const QImage& gray, int padding, int background)
{
    const int width = gray.width() + 2 * padding;
    const int height = gray.height() + 2 * padding;
    PixPtr pix(pixCreate(width, height, 8));
    if (!pix) {
        return nullptr;
    }
    l_uint32* data = pixGetData(pix.get());
    const int wpl = pixGetWpl(pix.get());
    for (int y = 0; y < height; ++y) {
        l_uint32* line = data + qsizetype(y) * wpl;
        const int sy = y - padding;
        const uchar* src = (sy >= 0 && sy < gray.height()) ? gray.constScanLine(sy) : nullptr;
        for (int x = 0; x < width; ++x) {
            const int sx = x - padding;
            const int value = (src && sx >= 0 && sx < gray.width()) ? src[sx] : background;
            SET_DATA_BYTE(line, x, value);
        }
    }
    return pix;
}

// Ink as dark on white, its polarity decided per text region. Where the
// grey closing and opening differ there is text (or a thin line); each such
// region is dark text when its inside is darker than the ring just outside
// its box, which is the fill or page it sits on, and light text otherwise.
PixPtr regionInk(Pix* gray, int strokeWindow)
{
    const int window = std::max(3, strokeWindow | 1);
    const PixPtr closed(pixCloseGray(gray, window, window));
    const PixPtr opened(pixOpenGray(gray, window, window));
    if (!closed || !opened) {
        return nullptr;
    }
    const PixPtr spread(pixSubtractGray(nullptr, closed.get(), opened.get()));
    const PixPtr mask(spread ? pixThresholdToBinary(spread.get(), kMinInkContrast) : nullptr);
    const int width = pixGetWidth(gray);
    const int height = pixGetHeight(gray);
    PixPtr ink(pixCreate(width, height, 8));
    if (!mask || !ink) {
        return nullptr;
    }
    pixInvert(mask.get(), mask.get());
    // Take in the faint anti-aliased rim of the strokes as well.
    const PixPtr grown(pixDilateBrick(nullptr, mask.get(), 3, 3));
    if (!grown) {
        return nullptr;
    }
    pixSetAll(ink.get());
    Pixa* regions = nullptr;
    Boxa* boxes = pixConnComp(grown.get(), &regions, 8);
    const auto row = [](Pix* pix, int y) {
        return pixGetData(pix) + qsizetype(y) * pixGetWpl(pix);
    };
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
        for (int y = 0; y < bh; ++y) {
            const l_uint32* m = row(region.get(), y);
            const l_uint32* g = row(gray, by + y);
            const l_uint32* c = row(closed.get(), by + y);
            const l_uint32* o = row(opened.get(), by + y);
            l_uint32* out = row(ink.get(), by + y);
            for (int x = 0; x < bw; ++x) {
                if (GET_DATA_BIT(m, x)) {
                    const int p = GET_DATA_BYTE(g, bx + x);
                    const int contrast =
                        darkText ? GET_DATA_BYTE(c, bx + x) - p : p - GET_DATA_BYTE(o, bx + x);
                    SET_DATA_BYTE(out, bx + x, 255 - std::clamp(contrast, 0, 255));
                }
            }
        }
    }
    pixaDestroy(&regions);
    boxaDestroy(&boxes);
    return ink;
}

// Brings text out of whatever it is drawn on, so that thresholding does not
// merge it into a coloured fill. Returns the input when no change is asked.
PixPtr separateInk(PixPtr pix, const TesseractRecognizer::Tuning& tuning)
{
    using Contrast = TesseractRecognizer::Tuning::Contrast;
    switch (tuning.contrast) {
    case Contrast::none:
        return pix;
    case Contrast::backgroundNorm:
        return PixPtr(pixBackgroundNormSimple(pix.get(), nullptr, nullptr));
    case Contrast::contrastNorm:
        return PixPtr(pixContrastNorm(nullptr, pix.get(), 20, 20, 40, 2, 2));
    case Contrast::regions:
        return regionInk(pix.get(), tuning.strokeWindow);
    }
    return pix;
}

// The largest factor up to the wanted one that keeps the image within bounds.
int effectiveScale(int wanted, int width, int height)
{
    int scale = std::max(1, wanted);
    while (scale > 1 &&
           (qint64(width) * scale > kMaxScaledSide || qint64(height) * scale > kMaxScaledSide ||
            qint64(width) * height * scale * scale > kMaxScaledPixels)) {
        --scale;
    }
    return scale;
}

QString takeText(char* text)
{
    const std::unique_ptr<char[]> owned(text);
    return owned ? QString::fromUtf8(owned.get()).trimmed() : QString();
}

// Maps a box of the scaled, padded image back into the source image, as a
// normalised box with its origin at the lower-left corner.
struct Geometry
{
    int scale;
    int padding;
    int width;
    int height;

    NormalizedRect normalize(int left, int top, int right, int bottom) const
    {
        const auto toSourceX = [&](int v) {
            return std::clamp(double(v) / scale - padding, 0.0, double(width));
        };
        const auto toSourceY = [&](int v) {
            return std::clamp(double(v) / scale - padding, 0.0, double(height));
        };
        const double x0 = toSourceX(left);
        const double x1 = toSourceX(right);
        // Whole source pixels, so that lines on one baseline compare equal.
        const double y0 = std::round(toSourceY(top));
        const double y1 = std::round(toSourceY(bottom));
        return NormalizedRect{x0 / width, 1.0 - y1 / height, (x1 - x0) / width, (y1 - y0) / height};
    }
};

// Words of one observation, collected until a line ends or a column gap.
// Horizontally the box spans the words' ink; vertically it spans the line's
// font extent (baseline plus descent, up by the row height), as a text
// line box does, so that fragments of one visual row share their lower edge
// whether or not their letters have descenders.
struct Fragment
{
    QStringList words;
    int left = 0;
    int right = 0;
    int top = 0;
    int bottom = 0;

    void add(const QString& word, int l, int r)
    {
        left = words.isEmpty() ? l : std::min(left, l);
        right = words.isEmpty() ? r : std::max(right, r);
        words.append(word);
    }

    void flushInto(QList<TextObservation>& out, const Geometry& geometry)
    {
        if (!words.isEmpty()) {
            out.append(TextObservation{geometry.normalize(left, top, right, bottom),
                                       QStringList{words.join(QLatin1Char(' '))}});
        }
        words.clear();
    }
};

// Vertical extent of the current text line from its baseline and row metrics,
// falling back to the ink box when Tesseract has no baseline.
std::pair<int, int> lineExtent(const tesseract::ResultIterator& it)
{
    int l = 0, t = 0, r = 0, b = 0;
    it.BoundingBox(tesseract::RIL_TEXTLINE, &l, &t, &r, &b);
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    if (!it.Baseline(tesseract::RIL_TEXTLINE, &x1, &y1, &x2, &y2)) {
        return {t, b};
    }
    float rowHeight = 0, descenders = 0, ascenders = 0;
    it.RowAttributes(&rowHeight, &descenders, &ascenders);
    const double baseline = (y1 + y2) / 2.0;
    const int bottom = int(std::lround(baseline - descenders));
    const int top = int(std::lround(bottom - rowHeight));
    if (rowHeight <= 0 || top >= bottom) {
        return {t, b};
    }
    return {top, bottom};
}

} // namespace

TesseractRecognizer::TesseractRecognizer(QString dataDirectory, QStringList languages)
    : m_dataDirectory(std::move(dataDirectory)), m_languages(std::move(languages)),
      m_warn([](const QString& message) { qCWarning(lcRecognition).noquote() << message; })
{
    if (m_dataDirectory.isEmpty()) {
        m_dataDirectory = defaultDataDirectory();
    }
}

TesseractRecognizer::~TesseractRecognizer()
{
    if (m_api) {
        m_api->End();
    }
}

QStringList TesseractRecognizer::defaultLanguages()
{
    // English, French, Italian, German, Spanish, Portuguese, Russian, Ukrainian.
    return {QStringLiteral("eng"), QStringLiteral("fra"), QStringLiteral("ita"),
            QStringLiteral("deu"), QStringLiteral("spa"), QStringLiteral("por"),
            QStringLiteral("rus"), QStringLiteral("ukr")};
}

QString TesseractRecognizer::defaultDataDirectory()
{
    const QString prefix = qEnvironmentVariable("TESSDATA_PREFIX");
    QStringList candidates;
    if (!prefix.isEmpty()) {
        candidates << prefix << prefix + QStringLiteral("/tessdata");
    }
    candidates << QStringLiteral("/usr/share/tesseract-ocr/5/tessdata")
               << QStringLiteral("/usr/share/tesseract-ocr/4.00/tessdata")
               << QStringLiteral("/usr/share/tessdata")
               << QStringLiteral("/usr/local/share/tessdata");
    for (const QString& dir : candidates) {
        if (QFileInfo::exists(dir + QStringLiteral("/eng.traineddata"))) {
            return QDir::cleanPath(dir);
        }
    }
    return candidates.value(prefix.isEmpty() ? 0 : 2);
}

void TesseractRecognizer::setWarningHandler(WarningHandler handler)
{
    const std::lock_guard lock(m_mutex);
    m_warn = std::move(handler);
}

void TesseractRecognizer::setTuning(const Tuning& tuning)
{
    const std::lock_guard lock(m_mutex);
    m_tuning = tuning;
}

bool TesseractRecognizer::load()
{
    const std::lock_guard lock(m_mutex);
    return loadLocked();
}

bool TesseractRecognizer::isLoaded() const
{
    const std::lock_guard lock(m_mutex);
    return m_state == LoadState::loaded;
}

QStringList TesseractRecognizer::loadedLanguages() const
{
    const std::lock_guard lock(m_mutex);
    return m_loadedLanguages;
}

bool TesseractRecognizer::loadLocked()
{
    if (m_state != LoadState::notLoaded) {
        return m_state == LoadState::loaded;
    }
    m_state = LoadState::failed;

    QStringList available;
    QStringList missing;
    for (const QString& language : std::as_const(m_languages)) {
        const bool installed = QFileInfo::exists(m_dataDirectory + QLatin1Char('/') + language +
                                                 QStringLiteral(".traineddata"));
        (installed ? available : missing).append(language);
    }
    if (!missing.isEmpty() && m_warn) {
        m_warn(QStringLiteral("Tesseract languages not installed in %1: %2")
                   .arg(m_dataDirectory, missing.join(QStringLiteral(", "))));
    }
    if (available.isEmpty()) {
        return false;
    }

    auto api = std::make_unique<tesseract::TessBaseAPI>();
    const QByteArray dataPath = QFile::encodeName(m_dataDirectory);
    const QByteArray languages = available.join(QLatin1Char('+')).toLatin1();
    if (api->Init(dataPath.constData(), languages.constData(), tesseract::OEM_LSTM_ONLY) != 0) {
        if (m_warn) {
            m_warn(QStringLiteral("Tesseract could not load its language data from %1")
                       .arg(m_dataDirectory));
        }
        return false;
    }
    // Tesseract's progress chatter would go to stderr otherwise.
    api->SetVariable("debug_file", "/dev/null");
    m_api = std::move(api);
    m_loadedLanguages = available;
    m_state = LoadState::loaded;
    return true;
}

Expected<QList<TextObservation>, TextRecognizer::Error>
TesseractRecognizer::recognize(const QImage& image)
{
    if (image.isNull() || image.width() <= 0 || image.height() <= 0 ||
        image.width() > maxImageSide || image.height() > maxImageSide ||
        qint64(image.width()) * image.height() > maxImagePixels) {
        return unexpected(Error::recognitionFailed);
    }

    const std::lock_guard lock(m_mutex);
    if (!loadLocked()) {
        return unexpected(Error::engineUnavailable);
    }

    QImage gray = toGray(image);
    if (gray.isNull()) {
        return unexpected(Error::recognitionFailed);
    }
    auto [mean, background] = brightness(gray);
    if (m_tuning.invertDark && mean < 128) {
        gray.invertPixels();
        background = 255 - background;
    }
    const int padding = std::max(0, m_tuning.padding);
    PixPtr pix = toPix(gray, padding, background);
    gray = QImage();
    if (pix) {
        pix = separateInk(std::move(pix), m_tuning);
    }
    if (!pix) {
        return unexpected(Error::recognitionFailed);
    }
    const int scale =
        effectiveScale(m_tuning.scale, pixGetWidth(pix.get()), pixGetHeight(pix.get()));
    if (scale > 1) {
        pix.reset(pixScale(pix.get(), float(scale), float(scale)));
        if (!pix) {
            return unexpected(Error::recognitionFailed);
        }
    }

    m_api->SetPageSegMode(tesseract::PageSegMode(m_tuning.pageSegMode));
    m_api->SetVariable("thresholding_method",
                       QByteArray::number(m_tuning.thresholdingMethod).constData());
    m_api->SetImage(pix.get());
    m_api->SetSourceResolution(kScreenDpi * scale);
    const int status = m_api->Recognize(nullptr);
    if (status != 0) {
        m_api->Clear();
        return unexpected(Error::recognitionFailed);
    }

    const Geometry geometry{scale, padding, image.width(), image.height()};
    QList<TextObservation> observations;
    const std::unique_ptr<tesseract::ResultIterator> it(m_api->GetIterator());
    if (it && !it->Empty(tesseract::RIL_BLOCK)) {
        Fragment fragment;
        int lineHeight = 0;
        int previousRight = 0;
        do {
            if (it->IsAtBeginningOf(tesseract::RIL_TEXTLINE)) {
                fragment.flushInto(observations, geometry);
                std::tie(fragment.top, fragment.bottom) = lineExtent(*it);
                lineHeight = fragment.bottom - fragment.top;
            }
            if (it->Empty(tesseract::RIL_WORD)) {
                continue;
            }
            const QString word = takeText(it->GetUTF8Text(tesseract::RIL_WORD));
            if (word.isEmpty()) {
                continue;
            }
            int l = 0, t = 0, r = 0, b = 0;
            it->BoundingBox(tesseract::RIL_WORD, &l, &t, &r, &b);
            // A gap far wider than a space separates columns of one visual row.
            if (!fragment.words.isEmpty() &&
                l - previousRight > m_tuning.columnGapFactor * lineHeight) {
                fragment.flushInto(observations, geometry);
            }
            fragment.add(word, l, r);
            previousRight = r;
        } while (it->Next(tesseract::RIL_WORD));
        fragment.flushInto(observations, geometry);
    }
    // Hand lines over in visual order, top to bottom and left to right within
    // a row, whatever order Tesseract's blocks came in.
    std::stable_sort(observations.begin(), observations.end(),
                     [](const TextObservation& a, const TextObservation& b) {
                         if (a.boundingBox.y != b.boundingBox.y) {
                             return a.boundingBox.y > b.boundingBox.y;
                         }
                         return a.boundingBox.x < b.boundingBox.x;
                     });
    m_api->Clear();
    return observations;
}
