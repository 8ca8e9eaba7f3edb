#pragma once

#include "common/Expected.h"
#include "providers/ProviderClient.h"

#include <QImage>
#include <QString>

// A failure of the OCR.space client: its own (domain "OCRSpaceService", the
// codes below), the transfer's (domain "QNetworkReply") or the JSON
// parser's (domain "QJsonParseError"). Messages never hold the key.
struct OCRSpaceError
{
    enum Code {
        keyNotFound = 1,
        imageEncodingFailed = 2,
        noData = 3,
        apiErrorMessage = 4,
        noTextDetected = 5,
        unparsableResponse = 6,
        requestRefused = 7, // an invalid or plain-HTTP address, or a key no header can hold
    };
    QString domain;
    int code = 0;
    QString message;
};

// Reads the text of an image through the OCR.space parse API, as a
// multipart upload of the image at full size.
class OCRSpaceService : public ProviderClient
{
    Q_OBJECT
public:
    using Result = Expected<QString, OCRSpaceError>;
    using Completion = std::function<void(Result)>;
    using Code = OCRSpaceError::Code;
    using enum OCRSpaceError::Code;

    static constexpr std::chrono::milliseconds defaultTimeout{60'000};
    static inline const QString defaultBaseURL = QStringLiteral("https://api.ocr.space");
    static inline const QString errorDomain = QStringLiteral("OCRSpaceService");
    static constexpr int jpegQuality = 90;

    explicit OCRSpaceService(QObject* parent = nullptr);

    // apiKey: the stored key (sent even when empty), nullopt when none is
    // stored. Success carries non-empty trimmed text; a blank answer is the
    // failure noTextDetected. The completion runs once, on this object's
    // thread, from the event loop.
    void recognizeText(const QImage& image, const std::optional<QString>& apiKey,
                       const QString& baseURL, Completion completion);

    // "Boundary-" and a fresh upper-case UUID.
    static QString newBoundary();
    static Expected<QNetworkRequest, OCRSpaceError>
    request(const QString& baseURL, const QString& apiKey, const QString& boundary);
    static QByteArray multipartBody(const QByteArray& jpeg, const QString& boundary);
    static Result parseResponse(const QByteArray& body);

    static OCRSpaceError error(Code code, const QString& message = {});
};
