#!/usr/bin/env bash
# Runs a command inside a headless sway session (wayland_session.sh) that
# shows white with a red square at 100,100-300,300, and ends the session.
#   in_wayland.sh COMMAND [ARGS...]
source "$(dirname "$0")/session.sh"
source "$(dirname "$0")/wayland_session.sh"
convert -size 1280x720 xc:white -fill red -draw "rectangle 100,100 299,299" "$root/screen.png"
start_wayland "$root/screen.png"
status=0
"$@" || status=$?
exit $status
