#!/usr/bin/env bash
# Checks a Debian package of quillsnap: lintian finds no error, apt can
# resolve its dependencies on this system, and its programs run from an
# unpacked copy (they link system libraries only).
#   scripts/check-package.sh dist/quillsnap_VERSION_ARCH.deb
set -euo pipefail
deb="${1:?usage: check-package.sh PACKAGE.deb}"

lintian --fail-on error --tag-display-limit 0 "$deb"
apt-get install --simulate -qq "$(realpath "$deb")" >/dev/null

root="$(mktemp -d)"
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
for f in usr/bin/quillsnap usr/bin/quillsnap-cli usr/libexec/quillsnap/quillsnap-screencapture \
         usr/share/man/man1/quillsnap.1.gz usr/share/man/man1/quillsnap-cli.1.gz \
         usr/share/doc/quillsnap/copyright usr/share/applications/quillsnap.desktop \
         usr/share/metainfo/io.github.quillsnap.metainfo.xml; do
  [ -e "$root/$f" ] || { echo "check-package: $f is missing" >&2; exit 1; }
done
version="$(dpkg-deb -f "$deb" Version)"
"$root/usr/bin/quillsnap-cli" --version | grep -qx "quillsnap-cli $version"
"$root/usr/bin/quillsnap" --version | grep -qx "quillsnap $version"
echo "check-package: $(basename "$deb") is sound"
