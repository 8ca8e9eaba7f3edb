#pragma once

#include "FuzzCheck.h"

#include "providers/OpenAIService.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <cstddef>
#include <cstdint>
#include <initializer_list>

namespace ProviderFuzz {

inline QByteArray bytes(const uint8_t* data, size_t size)
{
    return QByteArray::fromRawData(reinterpret_cast<const char*>(data),
                                   static_cast<qsizetype>(size));
}

// The member at path of body's JSON, read another way than the parser does
// ("0" takes the first element of an array).
inline QJsonValue at(const QByteArray& body, std::initializer_list<const char*> path)
{
    QJsonValue value = QJsonDocument::fromJson(body).object();
    for (const char* step : path) {
        value = qstrcmp(step, "0") == 0 ? value[0] : value[QLatin1String(step)];
    }
    return value;
}

// An OpenAI or Gemini answer: trimmed text found at answer, or the message
// of the "error" object, or invalidResponse; never a failure of the transfer
// or of the image.
inline void checkChatAnswer(const OpenAIService::Result& result, const QByteArray& body,
                            std::initializer_list<const char*> answer)
{
    if (result) {
        FUZZ_CHECK(*result == result->trimmed());
        FUZZ_CHECK(at(body, answer).toString().trimmed() == *result);
        return;
    }
    const OpenAIError& error = result.error();
    if (error.kind == OpenAIError::Kind::apiError) {
        FUZZ_CHECK(at(body, {"error", "message"}).toString() == error.message);
        return;
    }
    FUZZ_CHECK(error.kind == OpenAIError::Kind::invalidResponse && error.message.isEmpty());
}

} // namespace ProviderFuzz
