#!/usr/bin/env bash
# Installs every build and test dependency of quillsnap from Debian 12 packages.
# Idempotent: packages already present are left as they are.
set -euo pipefail

packages=(
  # toolchain
  build-essential cmake ninja-build pkg-config clang-format
  # fuzzing: clang with the libFuzzer runtime, symbolized reports
  clang libclang-rt-14-dev llvm
  # Qt
  qt6-base-dev qt6-svg-dev libqt6svg6 qt6-image-formats-plugins
  # recognition
  libtesseract-dev libleptonica-dev tesseract-ocr
  tesseract-ocr-eng tesseract-ocr-fra tesseract-ocr-ita tesseract-ocr-deu
  tesseract-ocr-spa tesseract-ocr-por tesseract-ocr-rus tesseract-ocr-ukr
  libzxing-dev
  # secrets, crypto, unicode
  libsecret-1-dev libsecret-tools gnome-keyring libssl-dev libicu-dev
  # X11
  libx11-dev libxtst-dev libxi-dev libxcb1-dev libxcb-keysyms1-dev libxcb-xinput-dev
  # fonts used to render test images
  fonts-dejavu-core fonts-liberation2 fonts-noto-core
  # test harness
  xvfb xauth xdotool xclip xsel x11-utils imagemagick dbus dbus-x11
  trayer dunst libnotify-bin rclone curl python3 python3-cryptography
  appstream desktop-file-utils
  # packaging: the Debian package, its dependencies and its checks
  dpkg-dev file lintian
  # a window manager and a compositor, for the toasts' focus and translucency
  openbox xcompmgr
  # accessibility tree dumps of the windows (AT-SPI)
  at-spi2-core python3-pyatspi
  # Wayland: a headless compositor, its screenshot and clipboard tools, Qt's
  # wayland platform, the screenshot portal (wlr backend, gtk for its Access
  # interface; never the kde or gnome backends, which break a sway session)
  # and the media-keys schema that desktop shortcuts are written to on GNOME
  sway grim wl-clipboard wtype qt6-wayland pipewire
  xdg-desktop-portal xdg-desktop-portal-wlr xdg-desktop-portal-gtk
  libglib2.0-bin gnome-settings-daemon-common
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all ${#packages[@]} packages present"
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
