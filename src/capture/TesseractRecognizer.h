#pragma once

#include "capture/ScreenTextPreparer.h"
#include "capture/TextRecognizer.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <mutex>

#include <vector>

namespace tesseract {
class TessBaseAPI;
}
struct TesseractLine;

// On-device recognition with warm Tesseract LSTM engines, one per language.
// The first language reads each prepared image; a fragment (a line, or one
// column of a row) it reads doubtfully, or whose accents its reading leaves
// out, is read again in the other languages and the surest reading kept. Loading the eight
// languages takes most of a second, so the engines are loaded once (ahead of time with load(), or
// by the first recognize()) and reused for every image. Calls are serialised: one recognition at a
// time per instance, from any thread. Recognised text is never logged.
class TesseractRecognizer final : public TextRecognizer
{
public:
    // How an image is prepared for the engine and how lines are split. The
    // defaults are the measured best (see TesseractRecognizer.cpp); the other
    // values exist for the recognition benchmark.
    struct Tuning
    {
        ScreenTextPreparer::Options preparation;
        int thresholdingMethod = 1; // 0 Otsu, 1 tiled (local) Otsu, 2 Sauvola
        bool invertRetry = true;    // Tesseract reads doubtful lines again inverted
        int pageSegMode = 6;        // one block of text; columns are split at gaps
        // Split a line where words are further apart than this many line heights.
        double columnGapFactor = 1.2;
        // Engines per language with the choice made here, fragment by fragment;
        // false leaves it to one Tesseract engine holding every language. Read
        // when the engines load.
        bool languagePerLine = true;
    };

    using WarningHandler = std::function<void(const QString& message)>;

    // dataDirectory: the tessdata directory; empty picks TESSDATA_PREFIX or the
    // system's. languages: Tesseract language codes in order of preference.
    explicit TesseractRecognizer(QString dataDirectory = QString(),
                                 QStringList languages = defaultLanguages());
    ~TesseractRecognizer() override;

    TesseractRecognizer(const TesseractRecognizer&) = delete;
    TesseractRecognizer& operator=(const TesseractRecognizer&) = delete;

    static QStringList defaultLanguages();
    static QString defaultDataDirectory();

    // Receives the one warning about languages that are not installed;
    // defaults to qWarning. Set before loading.
    void setWarningHandler(WarningHandler handler);
    void setTuning(const Tuning& tuning);

    // Takes effect at the next load; an engine already loaded loads the new
    // languages at once (in the calling thread). The same languages again
    // change nothing.
    void setLanguages(const QStringList& languages, const QStringList& extraDirectories) override;

    // Loads the engine once; later calls return the first outcome at once.
    bool load();
    bool isLoaded() const;
    QStringList loadedLanguages() const;

    Expected<QList<TextObservation>, Error> recognize(const QImage& image) override;

private:
    enum class LoadState { notLoaded, loaded, failed };
    struct Engine;

    bool loadLocked();
    std::unique_ptr<tesseract::TessBaseAPI> startEngine(const QStringList& languages);
    void chooseLanguages(std::vector<TesseractLine>& lines, const ScreenTextPreparer::Part& part);

    QString m_dataDirectory;
    QStringList m_extraDirectories; // searched after m_dataDirectory
    QStringList m_languages;
    QStringList m_loadedLanguages;
    WarningHandler m_warn;
    Tuning m_tuning;
    LoadState m_state = LoadState::notLoaded;
    std::vector<Engine> m_engines; // the first one reads the page
    std::vector<int> m_wins;       // lines each engine won in the current image
    mutable std::mutex m_mutex;
};
