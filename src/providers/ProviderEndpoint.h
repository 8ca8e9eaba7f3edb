#pragma once

#include "common/Expected.h"

#include <QString>
#include <QUrl>

// Where a provider's requests go: a configurable base (scheme, host, optional
// port and path prefix) with the service's fixed path appended. Keys travel
// in headers or the query, so plain HTTP is accepted only to this computer.
namespace ProviderEndpoint {

enum class Problem {
    invalid,  // not an http(s) URL with a host, or the result does not parse
    insecure, // plain HTTP to a host other than a loopback address
};

// 127.0.0.0/8, ::1 (also IPv4-mapped) and "localhost".
bool isLoopbackHost(const QString& host);

// baseURL as configured (blank: defaultBase) followed by pathAndQuery, which
// is appended as it is, without percent-encoding.
Expected<QUrl, Problem> resolve(const QString& baseURL, const QString& defaultBase,
                                const QString& pathAndQuery);

// The URL as it may appear in a message: without query (which may hold a key).
QString redacted(const QUrl& url);

} // namespace ProviderEndpoint
