#!/usr/bin/env bash
# Renders the program icon's PNG sizes beside this script from its drawing in render-icons.cpp.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
g++ -std=c++20 -fPIC -O1 -o "$work/render-icons" "$here/render-icons.cpp" \
  $(pkg-config --cflags --libs Qt6Gui)
QT_QPA_PLATFORM=offscreen "$work/render-icons" "$here"
