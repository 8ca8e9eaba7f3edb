#include "providers/GeminiService.h"

#include "providers/ImagePreparation.h"
#include "providers/ProviderEndpoint.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace {
const std::initializer_list<const char*> answerPath{"candidates", "[0]", "content",
                                                    "parts",      "[0]", "text"};
} // namespace

GeminiService::GeminiService(QObject* parent) : ProviderClient(defaultTimeout, parent) {}

Expected<QNetworkRequest, GeminiError>
GeminiService::request(const QString& baseURL, const QString& model, const QString& apiKey)
{
    const auto url =
        ProviderEndpoint::resolve(baseURL, defaultBaseURL,
                                  QStringLiteral("/v1beta/models/") + model +
                                      QStringLiteral(":generateContent?key=") + apiKey);
    if (!url) {
        return unexpected(GeminiError{GeminiError::Kind::invalidResponse, {}});
    }
    QNetworkRequest request(*url);
    request.setRawHeader("Content-Type", "application/json");
    return request;
}

QByteArray GeminiService::requestBody(const QByteArray& jpeg)
{
    const QJsonObject image{{QStringLiteral("mime_type"), QStringLiteral("image/jpeg")},
                            {QStringLiteral("data"), QString::fromLatin1(jpeg.toBase64())}};
    const QJsonArray parts{QJsonObject{{QStringLiteral("text"), recognitionInstruction}},
                           QJsonObject{{QStringLiteral("inline_data"), image}}};
    const QJsonObject body{
        {QStringLiteral("contents"), QJsonArray{QJsonObject{{QStringLiteral("parts"), parts}}}},
        {QStringLiteral("generationConfig"),
         QJsonObject{{QStringLiteral("temperature"), 0},
                     {QStringLiteral("maxOutputTokens"), 2048}}}};
    return QJsonDocument(body).toJson(QJsonDocument::Compact);
}

GeminiService::Result GeminiService::parseResponse(const QByteArray& body)
{
    return ChatResponse::read({std::nullopt, body}, answerPath, {});
}

void GeminiService::recognizeText(const QImage& image, const QString& apiKey,
                                  const Options& options, Completion completion)
{
    const auto built = request(options.baseURL, options.model, apiKey);
    if (!built) {
        later([completion, error = built.error()] { completion(unexpected(error)); });
        return;
    }
    offMainThread<std::optional<QByteArray>>(
        [image]() -> std::optional<QByteArray> {
            const auto jpeg = ImagePreparation::jpeg(image, ImagePreparation::maxSide,
                                                     OpenAIService::jpegQuality);
            return jpeg ? std::optional(requestBody(*jpeg)) : std::nullopt;
        },
        [this, request = *built, apiKey, completion](std::optional<QByteArray> body) {
            if (!body) {
                completion(unexpected(GeminiError{GeminiError::Kind::invalidImage, {}}));
                return;
            }
            post(request, *body, apiKey, [apiKey, completion](const Transfer& transfer) {
                completion(ChatResponse::read(transfer, answerPath, apiKey));
            });
        });
}
