#!/usr/bin/env bash
# Installs the Debian packages Ostrel needs to build, test, fuzz, benchmark and package.
# trayer and xfce4-panel (with its settings daemon and a session bus) are the two kinds of
# tray host the tray tests and the screenshots run under: XEmbed and StatusNotifierItem.
# Idempotent: only missing packages are installed.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libasio-dev libsqlite3-dev sqlite3 nlohmann-json3-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev clang-format clang-tidy
  xvfb xauth x11-utils trayer xdotool imagemagick
  xfce4-panel xfconf dbus-daemon dbus-bin
  ccache dpkg-dev fakeroot binutils file lintian help2man desktop-file-utils appstream
  systemd
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

SUDO=""
if [[ $(id -u) -ne 0 ]]; then SUDO="sudo"; fi
echo "install-deps: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
