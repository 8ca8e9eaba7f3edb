#pragma once

#include "common/Expected.h"
#include "providers/ProviderClient.h"

#include <QImage>
#include <QJsonObject>
#include <QString>

#include <initializer_list>
#include <optional>

// What went wrong with an OpenAI or Gemini request. Messages are for
// diagnosis only (the user never sees them) and never hold the key.
struct OpenAIError
{
    enum class Kind {
        networkError,    // the transfer failed; message says how
        apiError,        // the service answered with an error message
        invalidImage,    // the image could not be scaled or encoded
        invalidResponse, // the request could not be built, or the answer is unusable
    };
    Kind kind = Kind::invalidResponse;
    QString message;
};

// The text recognition request both chat services receive with the image.
inline const QString recognitionInstruction = QStringLiteral(
    "Extract all text from this image exactly as it appears. If the text is in multiple columns, "
    "read left-to-right, top-to-bottom. DO NOT convert to tables or add markdown formatting. DO "
    "NOT add headers or structure. Return ONLY the plain extracted text, preserving paragraph "
    "breaks but treating this as prose/document text, not tabular data.");

// Reads the text of an image through the OpenAI chat-completions API, or any
// server that speaks it.
class OpenAIService : public ProviderClient
{
    Q_OBJECT
public:
    using Result = Expected<QString, OpenAIError>;
    using Completion = std::function<void(Result)>;

    static constexpr std::chrono::milliseconds defaultTimeout{180'000};
    static inline const QString defaultBaseURL = QStringLiteral("https://api.openai.com");
    static constexpr int jpegQuality = 75;

    struct Options
    {
        QString baseURL; // blank: defaultBaseURL
        QString model;
    };

    explicit OpenAIService(QObject* parent = nullptr);

    // The image goes out at most 2048 pixels a side; success carries the
    // answer trimmed, possibly empty. The completion runs once, on this
    // object's thread, from the event loop.
    void recognizeText(const QImage& image, const QString& apiKey, const Options& options,
                       Completion completion);

    // The pieces of a request and its answer, for tests.
    static Expected<QNetworkRequest, OpenAIError> request(const QString& baseURL,
                                                          const QString& apiKey);
    static QByteArray requestBody(const QByteArray& jpeg, const QString& model);
    static Result parseResponse(const QByteArray& body);
};

// Shared by the OpenAI and Gemini clients.
namespace ChatResponse {
// The JSON object of a response, or invalidResponse; an "error" object with
// a string "message" gives apiError.
Expected<QJsonObject, OpenAIError> object(const QByteArray& body);
// Follows members and first elements of arrays of objects down to a string;
// path items are member names, "[0]" takes the first element.
std::optional<QString> stringAt(const QJsonObject& root, std::initializer_list<const char*> path);
// A transfer failure, or the answer at path of the body, trimmed.
OpenAIService::Result read(const ProviderClient::Transfer& transfer,
                           std::initializer_list<const char*> path, const QString& apiKey);
// True when a key can go into a header as it is.
bool fitsHeader(const QString& apiKey);
} // namespace ChatResponse
