#!/usr/bin/env bash
# Signs a release package with the project's Ed25519 private key and prints
# its <item> for the update feed; the feed's link to the package is
#   BASE_URL/PACKAGE-FILE-NAME.
#   scripts/appcast-item.sh dist/quillsnap_1.2.0_amd64.deb key.pem https://host/path
# The key never belongs in the repository; quillsnap is built with its public
# half (CMake variable QUILLSNAP_UPDATE_PUBLIC_KEY):
#   openssl pkey -in key.pem -pubout -outform DER | tail -c 32 | base64
set -euo pipefail
deb="${1:?usage: appcast-item.sh PACKAGE.deb PRIVATE-KEY.pem BASE_URL}"
key="${2:?usage: appcast-item.sh PACKAGE.deb PRIVATE-KEY.pem BASE_URL}"
base="${3:?usage: appcast-item.sh PACKAGE.deb PRIVATE-KEY.pem BASE_URL}"

version="$(dpkg-deb -f "$deb" Version)"
length="$(stat -c %s "$deb")"
signature="$(openssl pkeyutl -sign -rawin -inkey "$key" -in "$deb" | base64 -w0)"
cat <<ITEM
<item>
  <title>Version $version</title>
  <pubDate>$(LC_ALL=C date -u +"%a, %d %b %Y %H:%M:%S +0000")</pubDate>
  <sparkle:version>$version</sparkle:version>
  <sparkle:shortVersionString>$version</sparkle:shortVersionString>
  <description><![CDATA[<p>Release notes of $version.</p>]]></description>
  <enclosure url="${base%/}/$(basename "$deb")" length="$length"
             type="application/vnd.debian.binary-package"
             sparkle:edSignature="$signature"/>
</item>
ITEM
