# Sourced by the benchmarks that need a desktop: re-runs the calling script
# inside an Xvfb display (1280x800) and a private session bus with an unlocked
# Secret Service, with private HOME and XDG folders, as the application meets a
# desktop session. Once inside, it returns.
#   source bench/desktop_session.sh; enter_desktop_session "$0" ARGS...
enter_desktop_session() {
  if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1280x800x24" "$@"
  fi
  if [ -z "${QUILLSNAP_BENCH_SESSION:-}" ]; then
    export QUILLSNAP_BENCH_SESSION=1
    local root
    root="$(mktemp -d)"
    mkdir -p "$root"/{home,config/quillsnap,data,runtime}
    chmod 700 "$root/runtime"
    export HOME="$root/home" XDG_CONFIG_HOME="$root/config" XDG_DATA_HOME="$root/data" \
      XDG_RUNTIME_DIR="$root/runtime"
    exec dbus-run-session -- bash -c '
      echo -n bench | gnome-keyring-daemon --unlock --components=secrets >/dev/null
      exec "$@"' bash "$@"
  fi
}
