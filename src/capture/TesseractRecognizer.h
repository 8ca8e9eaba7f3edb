#pragma once

#include "capture/TextRecognizer.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <mutex>

namespace tesseract {
class TessBaseAPI;
}

// On-device recognition with one warm Tesseract LSTM engine. Loading the eight
// languages takes most of a second, so the engine is loaded once (ahead of
// time with load(), or by the first recognize()) and reused for every image.
// Calls are serialised: one recognition at a time per instance, from any
// thread. Recognised text is never logged.
class TesseractRecognizer final : public TextRecognizer
{
public:
    // How an image is prepared for the engine and how lines are split. The
    // defaults are the measured best (see TesseractRecognizer.cpp); the other
    // values exist for the recognition benchmark.
    struct Tuning
    {
        // How text is separated from its local background before thresholding.
        enum class Contrast {
            none,           // the grey image as it is
            backgroundNorm, // Leptonica background normalisation
            contrastNorm,   // Leptonica tiled contrast normalisation
            regions,        // grey closing or opening minus the image, polarity per text region
        };
        Contrast contrast = Contrast::regions;
        int strokeWindow = 5;   // morphological window in source pixels (odd), wider than strokes
        int scale = 2;          // upscale factor before recognition
        int padding = 0;        // background pixels added on each side, before scaling
        bool invertDark = true; // invert images whose mean brightness is below 128
        int thresholdingMethod = 1; // 0 Otsu, 1 tiled (local) Otsu, 2 Sauvola
        int pageSegMode = 3;        // fully automatic page segmentation
        double columnGapFactor =
            2.5; // split a line where words are further apart than this many line heights
    };

    using WarningHandler = std::function<void(const QString& message)>;

    // Images larger than this are refused rather than risk exhausting memory.
    static constexpr int maxImageSide = 16384;
    static constexpr qint64 maxImagePixels = 100'000'000;

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

    // Loads the engine once; later calls return the first outcome at once.
    bool load();
    bool isLoaded() const;
    QStringList loadedLanguages() const;

    Expected<QList<TextObservation>, Error> recognize(const QImage& image) override;

private:
    enum class LoadState { notLoaded, loaded, failed };

    bool loadLocked();

    QString m_dataDirectory;
    QStringList m_languages;
    QStringList m_loadedLanguages;
    WarningHandler m_warn;
    Tuning m_tuning;
    LoadState m_state = LoadState::notLoaded;
    std::unique_ptr<tesseract::TessBaseAPI> m_api;
    mutable std::mutex m_mutex;
};
