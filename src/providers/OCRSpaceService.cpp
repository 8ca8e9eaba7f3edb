#include "providers/OCRSpaceService.h"

#include "providers/ImagePreparation.h"
#include "providers/OpenAIService.h"
#include "providers/ProviderEndpoint.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUuid>

OCRSpaceService::OCRSpaceService(QObject* parent) : ProviderClient(defaultTimeout, parent) {}

OCRSpaceError OCRSpaceService::error(Code code, const QString& message)
{
    static const char* const fixed[] = {"",
                                        "OCR.space API key not found. Please add it in Settings.",
                                        "Failed to convert image to JPEG",
                                        "No data received from API",
                                        "",
                                        "No text detected in image",
                                        "Failed to parse API response",
                                        "Refused to build the request"};
    // Every code has a fixed message; code 4 carries the service's own.
    return {errorDomain, code, message.isEmpty() ? QString::fromLatin1(fixed[code]) : message};
}

QString OCRSpaceService::newBoundary()
{
    return QStringLiteral("Boundary-") +
           QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

Expected<QNetworkRequest, OCRSpaceError>
OCRSpaceService::request(const QString& baseURL, const QString& apiKey, const QString& boundary)
{
    const auto url =
        ProviderEndpoint::resolve(baseURL, defaultBaseURL, QStringLiteral("/parse/image"));
    if (!url) {
        return unexpected(
            error(requestRefused, url.error() == ProviderEndpoint::Problem::insecure
                                      ? QStringLiteral("Plain HTTP is refused to other computers")
                                      : QStringLiteral("Invalid API address")));
    }
    if (!ChatResponse::fitsHeader(apiKey)) {
        return unexpected(error(requestRefused, QStringLiteral("The key cannot be sent")));
    }
    QNetworkRequest request(*url);
    request.setRawHeader("Content-Type", "multipart/form-data; boundary=" + boundary.toUtf8());
    request.setRawHeader("apikey", apiKey.toUtf8());
    return request;
}

QByteArray OCRSpaceService::multipartBody(const QByteArray& jpeg, const QString& boundary)
{
    const QByteArray b = boundary.toUtf8();
    QByteArray body;
    body.reserve(jpeg.size() + 512);
    body += "--" + b + "\r\n";
    body += "Content-Disposition: form-data; name=\"file\"; filename=\"image.jpg\"\r\n";
    body += "Content-Type: image/jpeg\r\n\r\n";
    body += jpeg;
    body += "\r\n";
    const auto field = [&](const char* name, const char* value) {
        body += "--" + b + "\r\n";
        body += QByteArray("Content-Disposition: form-data; name=\"") + name + "\"\r\n\r\n";
        body += QByteArray(value) + "\r\n";
    };
    field("OCREngine", "2");
    field("language", "eng");
    field("isOverlayRequired", "false");
    body += "--" + b + "--\r\n";
    return body;
}

OCRSpaceService::Result OCRSpaceService::parseResponse(const QByteArray& body)
{
    if (body.isEmpty()) {
        return unexpected(error(noData));
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(body, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        return unexpected(OCRSpaceError{QStringLiteral("QJsonParseError"), int(parseError.error),
                                        parseError.errorString()});
    }
    if (!document.isObject()) {
        return unexpected(error(unparsableResponse));
    }
    const QJsonObject root = document.object();
    // Only an array made entirely of strings counts as an error list.
    const QJsonArray messages = root.value(QLatin1String("ErrorMessage")).toArray();
    if (!messages.isEmpty() && std::all_of(messages.begin(), messages.end(),
                                           [](const QJsonValue& v) { return v.isString(); })) {
        QStringList texts;
        for (const QJsonValue& message : messages) {
            texts.append(message.toString());
        }
        return unexpected(error(apiErrorMessage, texts.join(QStringLiteral(", "))));
    }
    const std::optional<QString> text =
        ChatResponse::stringAt(root, {"ParsedResults", "[0]", "ParsedText"});
    if (!text) {
        return unexpected(error(unparsableResponse));
    }
    const QString trimmed = text->trimmed();
    if (trimmed.isEmpty()) {
        return unexpected(error(noTextDetected));
    }
    return trimmed;
}

void OCRSpaceService::recognizeText(const QImage& image, const std::optional<QString>& apiKey,
                                    const QString& baseURL, Completion completion)
{
    const auto fail = [this, completion](OCRSpaceError e) {
        later([completion, e] { completion(unexpected(e)); });
    };
    if (!apiKey) {
        fail(error(keyNotFound));
        return;
    }
    const QString boundary = newBoundary();
    const auto built = request(baseURL, *apiKey, boundary);
    if (!built) {
        fail(built.error());
        return;
    }
    offMainThread<std::optional<QByteArray>>(
        [image, boundary]() -> std::optional<QByteArray> {
            const auto jpeg = ImagePreparation::jpeg(image, 0, jpegQuality);
            return jpeg ? std::optional(multipartBody(*jpeg, boundary)) : std::nullopt;
        },
        [this, request = *built, key = *apiKey, completion](std::optional<QByteArray> body) {
            if (!body) {
                completion(unexpected(error(imageEncodingFailed)));
                return;
            }
            post(request, *body, key, [key, completion](const Transfer& transfer) {
                if (transfer.failure) {
                    completion(unexpected(
                        OCRSpaceError{QStringLiteral("QNetworkReply"), 0, *transfer.failure}));
                    return;
                }
                auto result = parseResponse(transfer.body);
                if (!result) {
                    OCRSpaceError e = result.error();
                    e.message = withoutSecret(e.message, key);
                    result = unexpected(e);
                }
                completion(std::move(result));
            });
        });
}
