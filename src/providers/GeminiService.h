#pragma once

#include "providers/OpenAIService.h"

// The same failures as the OpenAI client's.
using GeminiError = OpenAIError;

// Reads the text of an image through the Gemini generateContent API. The key
// travels in the URL's query: no URL of this client is ever logged.
class GeminiService : public ProviderClient
{
    Q_OBJECT
public:
    using Result = Expected<QString, GeminiError>;
    using Completion = std::function<void(Result)>;

    static constexpr std::chrono::milliseconds defaultTimeout{60'000};
    static inline const QString defaultBaseURL =
        QStringLiteral("https://generativelanguage.googleapis.com");

    struct Options
    {
        QString baseURL; // blank: defaultBaseURL
        QString model;
    };

    explicit GeminiService(QObject* parent = nullptr);

    // As OpenAIService::recognizeText.
    void recognizeText(const QImage& image, const QString& apiKey, const Options& options,
                       Completion completion);

    // The key and model are put into the URL as they are; a key the URL
    // cannot hold (a space, say) gives invalidResponse.
    static Expected<QNetworkRequest, GeminiError>
    request(const QString& baseURL, const QString& model, const QString& apiKey);
    static QByteArray requestBody(const QByteArray& jpeg);
    static Result parseResponse(const QByteArray& body);
};
