// The decoder behind the cipher: any plaintext is sealed under the fixed key,
// opened again and decoded as the history list. A block with one bit flipped
// must not open.
#include "HistoryFuzz.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray& key = HistoryFuzz::fixedKey();
    const QByteArray plaintext(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const auto block = EncryptionService::seal(key, plaintext);
    FUZZ_CHECK(block);
    const auto opened = EncryptionService::open(key, *block);
    FUZZ_CHECK(opened && *opened == plaintext);
    HistoryFuzz::decodeAndRoundTrip(*opened);

    QByteArray tampered = *block;
    size_t hash = size;
    for (size_t i = 0; i < size; ++i) {
        hash = hash * 31 + data[i];
    }
    const qsizetype bit = static_cast<qsizetype>(hash % (size_t(tampered.size()) * 8));
    tampered[bit / 8] = char(tampered.at(bit / 8) ^ (1 << (bit % 8)));
    const auto rejected = EncryptionService::open(key, tampered);
    FUZZ_CHECK(!rejected && rejected.error() == EncryptionError::decryptionFailed);
    return 0;
}
