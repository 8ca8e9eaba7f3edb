// The body of an OCR.space parse answer as any server may send it: text that
// is neither empty nor padded, or one of the parser's own failures, with the
// service's error messages joined as they came.
#include "ProviderFuzz.h"

#include "providers/OCRSpaceService.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray body = ProviderFuzz::bytes(data, size);
    const OCRSpaceService::Result result = OCRSpaceService::parseResponse(body);
    if (result) {
        FUZZ_CHECK(!result->isEmpty() && *result == result->trimmed());
        FUZZ_CHECK(
            ProviderFuzz::at(body, {"ParsedResults", "0", "ParsedText"}).toString().trimmed() ==
            *result);
        return 0;
    }
    const OCRSpaceError& error = result.error();
    if (error.domain == QLatin1String("QJsonParseError")) {
        FUZZ_CHECK(QJsonDocument::fromJson(body).isNull() && !body.isEmpty());
        return 0;
    }
    FUZZ_CHECK(error.domain == OCRSpaceService::errorDomain);
    FUZZ_CHECK((error.code == OCRSpaceError::noData) == body.isEmpty());
    FUZZ_CHECK(error.code >= OCRSpaceError::noData &&
               error.code <= OCRSpaceError::unparsableResponse);
    if (error.code == OCRSpaceError::apiErrorMessage) {
        QStringList messages;
        for (const QJsonValue& message : ProviderFuzz::at(body, {"ErrorMessage"}).toArray()) {
            messages.append(message.toString());
        }
        FUZZ_CHECK(messages.join(QStringLiteral(", ")) == error.message);
    }
    return 0;
}
