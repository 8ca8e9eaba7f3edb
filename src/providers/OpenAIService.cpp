#include "providers/OpenAIService.h"

#include "providers/ImagePreparation.h"
#include "providers/ProviderEndpoint.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace ChatResponse {

Expected<QJsonObject, OpenAIError> object(const QByteArray& body)
{
    const QJsonDocument document = QJsonDocument::fromJson(body);
    if (!document.isObject()) {
        return unexpected(OpenAIError{OpenAIError::Kind::invalidResponse, {}});
    }
    const QJsonObject root = document.object();
    const QJsonValue message = root.value(QLatin1String("error"))[QLatin1String("message")];
    if (root.value(QLatin1String("error")).isObject() && message.isString()) {
        return unexpected(OpenAIError{OpenAIError::Kind::apiError, message.toString()});
    }
    return root;
}

std::optional<QString> stringAt(const QJsonObject& root, std::initializer_list<const char*> path)
{
    QJsonValue value = root;
    for (const char* step : path) {
        if (qstrcmp(step, "[0]") == 0) {
            // Only an array made entirely of objects counts.
            const QJsonArray array = value.toArray();
            if (!value.isArray() || array.isEmpty() ||
                !std::all_of(array.begin(), array.end(),
                             [](const QJsonValue& v) { return v.isObject(); })) {
                return std::nullopt;
            }
            value = array.first();
        } else {
            if (!value.isObject()) {
                return std::nullopt;
            }
            value = value.toObject().value(QLatin1String(step));
        }
    }
    return value.isString() ? std::optional(value.toString()) : std::nullopt;
}

OpenAIService::Result read(const ProviderClient::Transfer& transfer,
                           std::initializer_list<const char*> path, const QString& apiKey)
{
    if (transfer.failure) {
        return unexpected(OpenAIError{OpenAIError::Kind::networkError, *transfer.failure});
    }
    const auto root = object(transfer.body);
    if (!root) {
        return unexpected(
            OpenAIError{root.error().kind, withoutSecret(root.error().message, apiKey)});
    }
    const std::optional<QString> text = stringAt(*root, path);
    if (!text) {
        return unexpected(OpenAIError{OpenAIError::Kind::invalidResponse, {}});
    }
    return text->trimmed();
}

bool fitsHeader(const QString& apiKey)
{
    // A line break would end the header and start another.
    return std::none_of(apiKey.begin(), apiKey.end(),
                        [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7f; });
}

} // namespace ChatResponse

OpenAIService::OpenAIService(QObject* parent) : ProviderClient(defaultTimeout, parent) {}

Expected<QNetworkRequest, OpenAIError> OpenAIService::request(const QString& baseURL,
                                                              const QString& apiKey)
{
    const auto url =
        ProviderEndpoint::resolve(baseURL, defaultBaseURL, QStringLiteral("/v1/chat/completions"));
    if (!url || !ChatResponse::fitsHeader(apiKey)) {
        return unexpected(OpenAIError{OpenAIError::Kind::invalidResponse, {}});
    }
    QNetworkRequest request(*url);
    request.setRawHeader("Content-Type", "application/json");
    request.setRawHeader("Authorization", "Bearer " + apiKey.toUtf8());
    return request;
}

QByteArray OpenAIService::requestBody(const QByteArray& jpeg, const QString& model)
{
    const QJsonObject imagePart{
        {QStringLiteral("type"), QStringLiteral("image_url")},
        {QStringLiteral("image_url"),
         QJsonObject{{QStringLiteral("url"),
                      QString::fromLatin1("data:image/jpeg;base64," + jpeg.toBase64())}}}};
    const QJsonObject textPart{{QStringLiteral("type"), QStringLiteral("text")},
                               {QStringLiteral("text"), recognitionInstruction}};
    const QJsonObject message{{QStringLiteral("role"), QStringLiteral("user")},
                              {QStringLiteral("content"), QJsonArray{textPart, imagePart}}};
    const QJsonObject body{{QStringLiteral("model"), model},
                           {QStringLiteral("messages"), QJsonArray{message}},
                           {QStringLiteral("max_completion_tokens"), 2048},
                           {QStringLiteral("temperature"), 0}};
    return QJsonDocument(body).toJson(QJsonDocument::Compact);
}

OpenAIService::Result OpenAIService::parseResponse(const QByteArray& body)
{
    return ChatResponse::read({std::nullopt, body}, {"choices", "[0]", "message", "content"}, {});
}

void OpenAIService::recognizeText(const QImage& image, const QString& apiKey,
                                  const Options& options, Completion completion)
{
    const auto built = request(options.baseURL, apiKey);
    if (!built) {
        later([completion, error = built.error()] { completion(unexpected(error)); });
        return;
    }
    offMainThread<std::optional<QByteArray>>(
        [image, model = options.model]() -> std::optional<QByteArray> {
            const auto jpeg = ImagePreparation::jpeg(image, ImagePreparation::maxSide, jpegQuality);
            return jpeg ? std::optional(requestBody(*jpeg, model)) : std::nullopt;
        },
        [this, request = *built, apiKey, completion](std::optional<QByteArray> body) {
            if (!body) {
                completion(unexpected(OpenAIError{OpenAIError::Kind::invalidImage, {}}));
                return;
            }
            post(request, *body, apiKey, [apiKey, completion](const Transfer& transfer) {
                completion(
                    ChatResponse::read(transfer, {"choices", "[0]", "message", "content"}, apiKey));
            });
        });
}
