// The body of a chat-completions answer as any server may send it.
#include "ProviderFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray body = ProviderFuzz::bytes(data, size);
    ProviderFuzz::checkChatAnswer(OpenAIService::parseResponse(body), body,
                                  {"choices", "0", "message", "content"});
    return 0;
}
