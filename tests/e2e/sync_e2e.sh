#!/usr/bin/env bash
# End to end: two homes sync their histories through rclone serving WebDAV on
# loopback. In the first no application runs: quillsnap-cli imports and syncs
# by itself. In the second the tray application runs: quillsnap-cli hands it
# the import and the sync over the instance channel and prints what it did.
# The server ends up holding no readable text.
#   sync_e2e.sh BINDIR
bindir="$1"
source "$(dirname "$0")/session.sh"
cli="$bindir/quillsnap-cli"

mkdir -p "$root/dav"
RCLONE_CONFIG=/dev/null background rclone serve webdav "$root/dav" --addr 127.0.0.1:0 \
  --user tester --pass s3cret >"$root/rclone.log" 2>&1
url=""
for _ in $(seq 100); do
  url="$(grep -o 'http://127.0.0.1:[0-9]*' "$root/rclone.log" | head -n 1 || true)"
  [ -n "$url" ] && break
  sleep 0.1
done
[ -n "$url" ] || fail "rclone did not start"

printf %s "e2e passphrase" | secret-tool store --label=sync service com.quillsnap.sync account passphrase
printf %s "s3cret" | secret-tool store --label=dav service com.quillsnap.sync account webdav-password

# A history export of the given texts, one record each, a minute apart.
export_of() {
  local now=$(( $(date +%s) - 978307200 )) i=0 sep="" text
  printf '['
  for text in "$@"; do
    printf '%s{"id":"%s","text":"%s","timestamp":%d,"characterCount":%d,"wordCount":2,' \
      "$sep" "$(cat /proc/sys/kernel/random/uuid)" "$text" $(( now - 60 * i )) ${#text}
    printf '"deviceName":"e2e","isSynced":false,"isEncrypted":false}'
    sep=","; i=$((i + 1))
  done
  printf ']'
}
sync_settings() {
  printf 'iCloudSyncEnabled=true\nsyncBackend=webdav\nsyncWebDAVURL=%s/quillsnap\nsyncWebDAVUser=tester\n' "$url"
}
expect() { # expected output, command...
  local want="$1" got
  shift
  got="$("$@" 2>&1)" || fail "$* failed: $got"
  [ "$got" = "$want" ] || fail "$*: '$got', expected '$want'"
}

# Home A, in directories of its own; no application runs there.
a="$root/a"
mkdir -p "$a"/{config/quillsnap,data,runtime}
chmod 700 "$a/runtime"
{ printf '[General]\nhasCompletedOnboarding=true\n'; sync_settings; } >"$a/config/quillsnap/quillsnap.conf"
in_a() { XDG_CONFIG_HOME="$a/config" XDG_DATA_HOME="$a/data" XDG_RUNTIME_DIR="$a/runtime" "$@"; }
export_of "alpha first 7301" "alpha second 7302" >"$root/a.json"
expect "added 2, already present 0" in_a "$cli" history import "$root/a.json"
expect "uploaded 2, downloaded 0" in_a "$cli" sync

# Home B runs the application; the tool asks it.
sync_settings >>"$root/config/quillsnap/quillsnap.conf"
start_app
export_of "beta only 7303" >"$root/b.json"
expect "added 1, already present 0" "$cli" history import "$root/b.json"
# The application holds the history now: only it can add to it.
expect "added 0, already present 1" "$cli" history import "$root/b.json"
expect "uploaded 1, downloaded 2" "$cli" sync
[ "$("$cli" history list | wc -l)" = 3 ] || fail "home B does not list 3 captures"
grep -q "alpha second 7302" <("$cli" history export) || fail "home B lacks alpha's capture"
kill "$app_pid"
wait "$app_pid" 2>/dev/null || true

expect "uploaded 0, downloaded 1" in_a "$cli" sync
grep -q "beta only 7303" <(in_a "$cli" history export) || fail "home A lacks beta's capture"
[ "$(find "$root/dav/quillsnap/records" -type f | wc -l)" = 3 ] || fail "the server holds no 3 records"
if grep -rqa -e "7301" -e "7302" -e "7303" -e "e2e" "$root/dav"; then
  fail "readable text on the server"
fi
echo "sync e2e: ok"
