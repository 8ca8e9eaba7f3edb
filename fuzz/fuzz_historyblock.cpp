// The encrypted history file as read from disk, fed any bytes: nearly every
// input fails authentication; the seeds are real blocks under the fixed key.
#include "HistoryFuzz.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray block =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const auto plaintext = EncryptionService::open(HistoryFuzz::fixedKey(), block);
    if (!plaintext) {
        FUZZ_CHECK(plaintext.error() == EncryptionError::decryptionFailed);
        return 0;
    }
    FUZZ_CHECK(plaintext->size() ==
               block.size() - EncryptionService::nonceSize - EncryptionService::tagSize);
    HistoryFuzz::decodeAndRoundTrip(*plaintext);
    return 0;
}
