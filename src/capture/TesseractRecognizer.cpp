#include "capture/TesseractRecognizer.h"

#include "capture/ImageFile.h"
#include "capture/TesseractLines.h"

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>

#include <leptonica/allheaders.h>
#include <tesseract/baseapi.h>
#include <tesseract/resultiterator.h>

#include <algorithm>
#include <cmath>
#include <numeric>

Q_LOGGING_CATEGORY(lcRecognition, "quillsnap.recognition")

// Chosen by measurement with bench/recognition/run.sh --variants (85 rendered
// screens in 13 categories: interface, paragraphs, columns, prices, dark,
// small, fills, accents, Cyrillic, headings of 20-64 px, HiDPI, heading above
// body; 8 languages, one OpenMP thread). Character error rate over all and in
// five categories; median processor time per image and for the 800x300
// dialog, in ms (a shared machine: compare within the table):
//                                   all  fills  accents headings hidpi  cpu dialog
//   chosen                        0.62%  1.98%   0.55%   0.31%   0.17%  115  126
//   former: 2x, one engine holding
//     every language, PSM 3       3.23%  4.42%   2.85%  45.5%    0.48%  123  133
//   one engine, every language    1.17%  1.80%   3.59%   0.62%   0.78%  104  127
//   no reduced copies             3.18%  1.98%   0.55%  74.1%    0.17%  122  123
//   2x instead of the x-height    0.75%  1.92%   1.47%   0.62%   0.35%  118  126
//   x-height 12 / 16 / 20         0.78 / 0.68 / 0.66%                   108 / 116 / 123
//   large stroke 1.4 / 2.0        0.64 / 0.65%  (headings 0.93 / 1.25%)
//   ink window 3 / 7              7.26 / 0.76%  (headings 109%, fills 2.7%)
//   no ink separation, 2x        12.24% 34.6%
//   global Otsu / Sauvola         0.68 / 0.81%  (fills 2.44 / 2.50%)
//   PSM 3 (automatic layout)      0.59%  1.98%   0.64%   0.31%   0.22%  120  135
//   PSM 11 (sparse text)          1.02%  2.50%
//   column gap 2.5 (former)       0.76%  3.03%
//   no invert retry               no change
// Headings failed because the ink step's window is narrower than their
// strokes, which reduced copies resolve; one x-height for every image reads
// small text, HiDPI text and headings alike (2x loses accents, 12 px loses
// more than it saves). A language per fragment fixes accented lines the
// English model reads confidently without their accents (3.6% to 0.55%) and
// Latin read as Cyrillic. PSM 3 reads unaligned columns slightly better but
// costs 7% more time; with columns split at gaps and each fragment read on
// its own, one block keeps the dialog at five times the tool's speed.
namespace {

// Screens are roughly 96 dpi. Every prepared image brings its text to about
// the size of ordinary screen text doubled; telling Tesseract so keeps it
// from guessing.
constexpr int kScreenDpi = 96;
// A "word" without a letter or digit below this confidence is a speck.
constexpr float kSpeckConfidence = 60;
// Tesseract accepts a word outside its dictionary from this confidence on
// (a certainty of -2.5); below it, other languages are tried.
constexpr double kAcceptedConfidence = 87.5;
// A reading in another script must be this much surer to replace one in the
// first language's script: a model reads text of a script it does not know
// as confident garbage ("Open Recent" as "Ореп Весепі").
constexpr double kOtherScriptMargin = 10;
// Another language of the same script must be this much surer: the first
// language is the one the user reads most.
constexpr double kOtherLanguageMargin = 2;
// A reading this sure is taken without trying further languages.
constexpr double kSureConfidence = 93;

bool isCyrillic(const QString& language)
{
    static const QStringList cyrillic = {QStringLiteral("rus"), QStringLiteral("ukr"),
                                         QStringLiteral("bel"), QStringLiteral("bul"),
                                         QStringLiteral("mkd"), QStringLiteral("srp")};
    return cyrillic.contains(language);
}

// A doubtful "word" without a letter or digit is the edge of a frame, a fill
// or an icon read as "_", "|" or "-".
bool isSpeck(const QString& text, float confidence)
{
    return confidence < kSpeckConfidence &&
           std::none_of(text.begin(), text.end(), [](QChar c) { return c.isLetterOrNumber(); });
}

// Tesseract reads each language file through this reader with the path
// "DATAPATH/NAME.traineddata". The data path handed to it is the list of
// folders to search, separated by line feeds, so that languages from the
// system's tessdata and from the user's folder load alike.
bool readTrainedData(const char* path, std::vector<char>* data)
{
    const QString requested = QFile::decodeName(path);
    const qsizetype slash = requested.lastIndexOf(u'/');
    const QString name = requested.mid(slash + 1);
    for (const QString& dir : requested.left(slash).split(u'\n')) {
        QFile file(dir + u'/' + name);
        if (file.open(QIODevice::ReadOnly)) {
            const QByteArray bytes = file.readAll();
            data->assign(bytes.begin(), bytes.end());
            return file.error() == QFile::NoError;
        }
    }
    return false;
}

double minimumConfidence(const TesseractLine& line)
{
    double lowest = 100;
    for (const TesseractLine::Word& word : line.words) {
        lowest = std::min(lowest, double(word.confidence));
    }
    return lowest;
}

} // namespace

struct TesseractRecognizer::Engine
{
    QString language; // the languages it holds, joined with "+"
    bool cyrillic = false;
    std::unique_ptr<tesseract::TessBaseAPI> api;
    bool holdsImage = false; // the current part is set
};

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
    for (Engine& engine : m_engines) {
        engine.api->End();
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

void TesseractRecognizer::setLanguages(const QStringList& languages,
                                       const QStringList& extraDirectories)
{
    const std::lock_guard lock(m_mutex);
    if (languages == m_languages && extraDirectories == m_extraDirectories) {
        return;
    }
    const bool wasLoaded = m_state == LoadState::loaded;
    for (Engine& engine : m_engines) {
        engine.api->End();
    }
    m_engines.clear();
    m_wins.clear();
    m_loadedLanguages.clear();
    m_languages = languages;
    m_extraDirectories = extraDirectories;
    m_state = LoadState::notLoaded;
    if (wasLoaded) {
        loadLocked();
    }
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
    const QStringList directories = QStringList{m_dataDirectory} + m_extraDirectories;
    for (const QString& language : std::as_const(m_languages)) {
        const bool installed =
            std::any_of(directories.begin(), directories.end(), [&language](const QString& dir) {
                return QFileInfo::exists(dir + QLatin1Char('/') + language +
                                         QStringLiteral(".traineddata"));
            });
        (installed ? available : missing).append(language);
    }
    if (!missing.isEmpty() && m_warn) {
        m_warn(QStringLiteral("Tesseract languages not installed in %1: %2")
                   .arg(m_dataDirectory, missing.join(QStringLiteral(", "))));
    }
    if (available.isEmpty()) {
        return false;
    }

    std::vector<QStringList> groups;
    if (m_tuning.languagePerLine) {
        for (const QString& language : std::as_const(available)) {
            groups.push_back({language});
        }
    } else {
        groups.push_back(available);
    }
    QStringList unreadable;
    for (const QStringList& group : groups) {
        std::unique_ptr<tesseract::TessBaseAPI> api = startEngine(group);
        const QString language = group.join(QLatin1Char('+'));
        if (!api) {
            unreadable << language;
            continue;
        }
        m_engines.push_back(Engine{language, isCyrillic(language), std::move(api)});
        m_loadedLanguages << group;
    }
    if (!unreadable.isEmpty() && m_warn) {
        m_warn(QStringLiteral("Tesseract could not load its language data from %1: %2")
                   .arg(m_dataDirectory, unreadable.join(QStringLiteral(", "))));
    }
    if (m_engines.empty()) {
        return false;
    }
    m_wins.assign(m_engines.size(), 0);
    m_state = LoadState::loaded;
    return true;
}

std::unique_ptr<tesseract::TessBaseAPI>
TesseractRecognizer::startEngine(const QStringList& languages)
{
    auto api = std::make_unique<tesseract::TessBaseAPI>();
    const QStringList directories = QStringList{m_dataDirectory} + m_extraDirectories;
    const QByteArray dataPath = QFile::encodeName(directories.join(QLatin1Char('\n')));
    const QByteArray codes = languages.join(QLatin1Char('+')).toLatin1();
    if (api->Init(dataPath.constData(), 0, codes.constData(), tesseract::OEM_LSTM_ONLY, nullptr, 0,
                  nullptr, nullptr, false, readTrainedData) != 0) {
        return nullptr;
    }
    // Tesseract's progress chatter would go to stderr otherwise.
    api->SetVariable("debug_file", "/dev/null");
    return api;
}

// Reads doubtful lines again in the other languages and keeps the surest
// reading. A line is doubtful when a word is below Tesseract's own acceptance
// or when its reading and the accents in the image disagree: the English
// model, which has no "ñ", "ç" or "ã", reads Spanish confidently as "nifio".
// The model of the right language reads such a line clearly surer (96
// against 91). Languages that already won a line of this image are tried
// first, and trying stops at a sure reading that agrees with the accents. Accents alone do not call
// for another script, and a reading in another script must be clearly surer.
void TesseractRecognizer::chooseLanguages(std::vector<TesseractLine>& lines,
                                          const ScreenTextPreparer::Part& part)
{
    if (m_engines.size() < 2) {
        return;
    }
    const QRect bounds(0, 0, pixGetWidth(part.pix.get()), pixGetHeight(part.pix.get()));
    for (TesseractLine& line : lines) {
        if (line.words.empty()) {
            continue;
        }
        const std::vector<DiacriticMark> marks = diacriticMarks(line, part.letters);
        int bestMismatches = diacriticMismatches(line.symbols, marks, line.xHeight);
        const bool doubtful = minimumConfidence(line) < kAcceptedConfidence;
        if (!doubtful && bestMismatches == 0) {
            continue;
        }
        double bestConfidence = line.confidence();
        std::vector<int> order(m_engines.size() - 1);
        std::iota(order.begin(), order.end(), 1);
        std::stable_sort(order.begin(), order.end(),
                         [&](int a, int b) { return m_wins[size_t(a)] > m_wins[size_t(b)]; });
        const int h = line.box.height();
        const QRect area = line.box.adjusted(-h / 2, -h / 3, h / 2, h / 3) & bounds;
        for (const int index : order) {
            Engine& engine = m_engines[size_t(index)];
            const bool otherScript = engine.cyrillic != m_engines.front().cyrillic;
            if (otherScript && !doubtful) {
                continue; // accents alone do not call for another script
            }
            tesseract::TessBaseAPI& api = *engine.api;
            if (!engine.holdsImage) {
                api.SetVariable("thresholding_method",
                                QByteArray::number(m_tuning.thresholdingMethod).constData());
                api.SetVariable("tessedit_do_invert", m_tuning.invertRetry ? "1" : "0");
                api.SetImage(part.pix.get());
                api.SetSourceResolution(2 * kScreenDpi);
                engine.holdsImage = true;
            }
            api.SetPageSegMode(tesseract::PSM_SINGLE_LINE);
            api.SetRectangle(area.x(), area.y(), area.width(), area.height());
            if (api.Recognize(nullptr) != 0) {
                continue;
            }
            TesseractLine reading;
            for (TesseractLine& read :
                 readTesseractLines(api, [](const QString&text, const QRect&, float confidence) {
                     return !isSpeck(text, confidence);
                 })) {
                reading.words.insert(reading.words.end(), read.words.begin(), read.words.end());
                reading.symbols.insert(reading.symbols.end(), read.symbols.begin(),
                                       read.symbols.end());
            }
            if (reading.words.empty()) {
                continue;
            }
            const double confidence = reading.confidence();
            const double margin = otherScript          ? kOtherScriptMargin
                                  : line.language == 0 ? kOtherLanguageMargin
                                                       : 0;
            if (confidence > bestConfidence + margin) {
                bestConfidence = confidence;
                bestMismatches = diacriticMismatches(reading.symbols, marks, line.xHeight);
                line.words = std::move(reading.words);
                line.symbols = std::move(reading.symbols);
                line.language = index;
            }
            if (bestConfidence >= kSureConfidence && bestMismatches == 0 &&
                minimumConfidence(line) >= kAcceptedConfidence) {
                break;
            }
        }
        if (line.language > 0) {
            ++m_wins[size_t(line.language)];
        }
    }
}

Expected<QList<TextObservation>, TextRecognizer::Error>
TesseractRecognizer::recognize(const QImage& image)
{
    if (image.isNull() || image.width() <= 0 || image.height() <= 0 ||
        image.width() > ImageFile::maxSide || image.height() > ImageFile::maxSide ||
        qint64(image.width()) * image.height() > ImageFile::maxPixels) {
        return unexpected(Error::recognitionFailed);
    }

    const std::lock_guard lock(m_mutex);
    if (!loadLocked()) {
        return unexpected(Error::engineUnavailable);
    }

    auto parts = ScreenTextPreparer::prepare(image, m_tuning.preparation);
    if (!parts) {
        return unexpected(Error::recognitionFailed);
    }
    tesseract::TessBaseAPI& api = *m_engines.front().api;
    api.SetVariable("thresholding_method",
                    QByteArray::number(m_tuning.thresholdingMethod).constData());
    api.SetVariable("tessedit_do_invert", m_tuning.invertRetry ? "1" : "0");
    std::fill(m_wins.begin(), m_wins.end(), 0);
    QList<TextObservation> observations;
    for (const ScreenTextPreparer::Part& part : *parts) {
        for (Engine& engine : m_engines) {
            engine.holdsImage = false;
        }
        api.SetPageSegMode(tesseract::PageSegMode(m_tuning.pageSegMode));
        api.SetImage(part.pix.get());
        api.SetSourceResolution(m_tuning.preparation.xHeight > 0
                                    ? 2 * kScreenDpi
                                    : int(std::lround(kScreenDpi * part.scale)));
        if (api.Recognize(nullptr) != 0) {
            api.Clear();
            return unexpected(Error::recognitionFailed);
        }
        std::vector<TesseractLine> lines =
            readTesseractLines(api, [](const QString& text, const QRect&, float confidence) {
                return !isSpeck(text, confidence);
            });
        dropStrayAccents(lines);
        lines = splitAtGaps(std::move(lines), m_tuning.columnGapFactor);
        chooseLanguages(lines, part);
        appendObservations(lines, part.letters,
                           PartGeometry{part.scale, part.origin, image.width(), image.height()},
                           observations);
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
    for (Engine& engine : m_engines) {
        engine.api->Clear();
    }
    return observations;
}
