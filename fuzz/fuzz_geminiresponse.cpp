// The body of a generateContent answer as any server may send it.
#include "ProviderFuzz.h"

#include "providers/GeminiService.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray body = ProviderFuzz::bytes(data, size);
    ProviderFuzz::checkChatAnswer(GeminiService::parseResponse(body), body,
                                  {"candidates", "0", "content", "parts", "0", "text"});
    return 0;
}
