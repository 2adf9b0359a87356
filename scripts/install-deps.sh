#!/usr/bin/env bash
# Installs what Velora needs to build, run and test on Debian 12. Skips apt when all is there.
set -euo pipefail

packages=(
    build-essential cmake pkg-config ccache git openssl
    qt6-base-dev qt6-base-dev-tools qt6-multimedia-dev qt6-svg-dev libqt6svg6
    qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools
    libqt6sql6-sqlite libqt6sql6-psql
    libtag1-dev libgl-dev
    gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-libav glib-networking
    ffmpeg sox xvfb x11-apps x11-utils imagemagick xauth
    clang libclang-rt-14-dev clang-format
    postgresql
    # The interface's texts are Chinese: without a font with those glyphs they are empty boxes.
    fonts-noto-cjk
    # Qt's own texts (question box buttons, the folder dialog) in the interface's language.
    qt6-translations-l10n
    # The install test validates the menu entry.
    desktop-file-utils
    # The desktop's player controls are tested on a private bus with the desktop's controller.
    dbus playerctl
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
echo "Installing: ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
