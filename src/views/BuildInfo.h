#pragma once

#include <QString>
#include <QUrl>

// What the build says about itself (set with CMake: the project version,
// QUILLSNAP_BUILD_NUMBER and QUILLSNAP_WEBSITE_URL).
namespace BuildInfo {
QString version();
QString buildNumber();
// "0.1.0 (1)": the version and, in brackets, the build number.
QString versionText();
QUrl website();
} // namespace BuildInfo
