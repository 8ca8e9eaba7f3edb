#!/usr/bin/env bash
# Builds a release of quillsnap and its Debian package into dist/:
#   scripts/package.sh                   # a fresh release build in build/package
#   scripts/package.sh --build-dir DIR   # package an existing build (CI reuses build/ci)
# The package installs into /usr; its Depends are computed by dpkg-shlibdeps.
set -euo pipefail
cd "$(dirname "$0")/.."

builddir=""
if [ "${1:-}" = "--build-dir" ]; then
  builddir="${2:?--build-dir needs a directory}"
fi

if [ -z "$builddir" ]; then
  builddir=build/package
  # Debian's hardening flags (stack protector, fortified functions, full RELRO,
  # immediate binding), as a Debian build would use them.
  export DEB_BUILD_MAINT_OPTIONS=hardening=+all
  cmake --preset package \
    -DCMAKE_C_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CFLAGS)" \
    -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
else
  # Paths compiled into the programs (the picker's place) follow the prefix.
  cmake "$builddir" -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
fi
# Only what the package holds.
cmake --build "$builddir" --target quillsnap quillsnap-cli quillsnap-screencapture quillsnap_docs

mkdir -p dist
staging="$(mktemp -d)"
trap 'rm -rf "$staging"' EXIT
cpack --config "$builddir/CPackConfig.cmake" -B "$staging" >"$staging/cpack.log" ||
  { cat "$staging/cpack.log" >&2; exit 1; }
deb="$(find "$staging" -maxdepth 1 -name '*.deb' -print -quit)"
[ -n "$deb" ] || { echo "package.sh: CPack made no package" >&2; exit 1; }
mv -f "$deb" dist/
echo "dist/$(basename "$deb")"
