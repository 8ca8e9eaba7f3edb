#pragma once

#include "capture/TextObservation.h"
#include "common/Expected.h"

#include <QImage>

// Turns a bitmap into text observations. Implementations may be slow and are
// called from worker threads; one call at a time per instance.
class TextRecognizer
{
public:
    enum class Error { engineUnavailable, recognitionFailed };

    virtual ~TextRecognizer() = default;
    virtual Expected<QList<TextObservation>, Error> recognize(const QImage& image) = 0;
    // Replaces the languages to read (engine names, in order of preference)
    // and the folders, besides the engine's own, where their data may lie.
    // Engines without a choice of language ignore it.
    virtual void setLanguages(const QStringList& languages, const QStringList& extraDirectories)
    {
        Q_UNUSED(languages);
        Q_UNUSED(extraDirectories);
    }
};
