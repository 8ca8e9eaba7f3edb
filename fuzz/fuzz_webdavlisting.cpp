// A WebDAV server's answer to PROPFIND, as the sync reads it: any bytes parse
// or fail without harm, and what parses names files, never paths.
#include "FuzzCheck.h"

#include "sync/WebDAVStorage.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray xml(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const auto entries = WebDAVStorage::parseMultistatus(xml);
    for (const auto& entry : entries.value_or(QList<SyncStorage::Entry>())) {
        FUZZ_CHECK(!entry.name.isEmpty() && !entry.name.contains(u'/'));
    }
    return 0;
}
