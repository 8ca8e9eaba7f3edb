#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

// Build-time settings of the update checker, and the rule for the addresses
// it may use.
namespace UpdateConfig {

// The Ed25519 public key (base64) that release packages are signed with.
QByteArray publicKey();
// The version of this program, as its feed items name versions.
QString currentVersion();
// The version of the operating system, compared with an item's minimum
// system version (on Debian the release number, "12").
QString systemVersion();

// Update addresses use HTTPS; plain HTTP is allowed to loopback hosts only,
// for local mirrors and tests.
bool isAllowedUrl(const QUrl& url);

} // namespace UpdateConfig
