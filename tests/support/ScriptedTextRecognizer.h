#pragma once

#include "capture/TextRecognizer.h"

#include <QMutex>
#include <QMutexLocker>
#include <QSet>
#include <QThread>

#include <algorithm>
#include <atomic>

// A text recognizer for service tests: answers with the observations (or the
// error) it was given, optionally after a delay, and records how it was
// called: how often, on which threads, and how many calls overlapped.
class ScriptedTextRecognizer : public TextRecognizer
{
public:
    using Result = Expected<QList<TextObservation>, Error>;

    void setResult(Result result)
    {
        QMutexLocker lock(&m_mutex);
        m_result = std::move(result);
    }
    void setDelay(unsigned long ms) { m_delayMs = ms; }

    Result recognize(const QImage& image) override
    {
        {
            QMutexLocker lock(&m_mutex);
            ++m_calls;
            ++m_active;
            m_maxActive = std::max(m_maxActive, m_active);
            m_threads.insert(QThread::currentThread());
            m_sizes.append(image.size());
        }
        if (m_delayMs > 0) {
            QThread::msleep(m_delayMs);
        }
        QMutexLocker lock(&m_mutex);
        --m_active;
        return m_result;
    }

    int calls() const
    {
        QMutexLocker lock(&m_mutex);
        return m_calls;
    }
    int maxConcurrentCalls() const
    {
        QMutexLocker lock(&m_mutex);
        return m_maxActive;
    }
    QSet<QThread*> threads() const
    {
        QMutexLocker lock(&m_mutex);
        return m_threads;
    }
    QList<QSize> imageSizes() const
    {
        QMutexLocker lock(&m_mutex);
        return m_sizes;
    }

    // One line per string, top to bottom, full width.
    static QList<TextObservation> lines(const QStringList& texts)
    {
        QList<TextObservation> observations;
        for (int i = 0; i < texts.size(); ++i) {
            const double y = 0.9 - 0.1 * i;
            observations.append(TextObservation{{0.05, y, 0.9, 0.05}, {texts.at(i)}});
        }
        return observations;
    }

private:
    mutable QMutex m_mutex;
    Result m_result = QList<TextObservation>{};
    std::atomic<unsigned long> m_delayMs = 0;
    int m_calls = 0;
    int m_active = 0;
    int m_maxActive = 0;
    QSet<QThread*> m_threads;
    QList<QSize> m_sizes;
};
