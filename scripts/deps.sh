#!/usr/bin/env bash
# Installs the Debian packages Quorvin needs to build, run and test; installs nothing when all are present.
set -euo pipefail

packages=(
  build-essential cmake ninja-build ccache pkg-config
  qt6-base-dev qt6-base-private-dev qt6-base-dev-tools qt6-svg-dev
  nlohmann-json3-dev libicu-dev libqrencode-dev libssl-dev libarchive-dev zlib1g-dev openssl python3
  libx11-dev libx11-xcb-dev libxtst-dev libxi-dev libxrandr-dev libxcb1-dev libxcb-xtest0-dev libxcb-xfixes0-dev libxcb-shape0-dev
  fonts-material-design-icons-iconfont fonts-dejavu-core fonts-noto-color-emoji
  adwaita-icon-theme hicolor-icon-theme
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth x11-utils dbus dbus-x11 elfutils
)
if [ "${1:-}" = "--test" ]; then
  packages+=(xclip xdotool locales xcompmgr openbox zbar-tools libglib2.0-bin gvfs xterm lxterminal yad picom trayer xcape xfwm4)
fi

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
  [ "$status" = "installed" ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "Need root or sudo to install: ${missing[*]}" >&2; exit 1; }
  sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
