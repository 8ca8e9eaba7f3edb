# Shared by the end-to-end scripts (sourced, not run): an isolated home and
# XDG tree past the first-run window, background processes ended at exit,
# fail(), and starting the tray application.
# Needs DISPLAY (Xvfb) and a session bus with an unlocked Secret Service,
# which scripts/test.sh provides.
set -euo pipefail
root="$(mktemp -d)"
pids=()
# Processes of this session, also those a bus started for it (a keyring, its
# prompt, a notification server): they carry the session's directories in
# their environment.
session_pids() {
  local name="${1:-}" dir p
  for dir in /proc/[0-9]*; do
    p="${dir#/proc/}"
    [ "$p" = $$ ] && continue
    [ -n "$name" ] && [ "$(cat "$dir/comm" 2>/dev/null)" != "$name" ] && continue
    grep -qs -- "$root" "$dir/environ" && echo "$p"
  done
  return 0
}
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in $(session_pids); do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$root"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; [ -f "$root/app.log" ] && sed 's/^/  app: /' "$root/app.log" >&2; exit 1; }

mkdir -p "$root"/{home,config/quillsnap,data,runtime}
chmod 700 "$root/runtime"
export HOME="$root/home" XDG_CONFIG_HOME="$root/config" XDG_DATA_HOME="$root/data" XDG_RUNTIME_DIR="$root/runtime"
export OMP_THREAD_LIMIT=1 QT_QPA_PLATFORM=xcb
printf '[General]\nhasCompletedOnboarding=true\n' > "$root/config/quillsnap/quillsnap.conf"

# Runs a command in the background until the script ends.
background() {
  "$@" &
  pids+=($!)
}

# Starts quillsnap (from $bindir) and waits until it takes commands.
start_app() {
  "$bindir/quillsnap" >"$root/app.log" 2>&1 &
  app_pid=$!
  pids+=($app_pid)
  for _ in $(seq 100); do
    [ -S "$root/runtime/quillsnap/instance.sock" ] && return 0
    sleep 0.05
  done
  fail "quillsnap did not start"
}

# Waits for the region picker's overlay.
wait_for_picker() {
  xdotool search --sync --name "quillsnap region picker" >/dev/null
  sleep 0.2
}
