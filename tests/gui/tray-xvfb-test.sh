#!/usr/bin/env bash
# The desktop program in a real X session: Xvfb with trayer as the tray. Starts ostrel, finds
# its icon embedded in the tray, opens the menu with a right click and chooses "Exit"; the
# program must end by itself and leave the registry value behind.
set -euo pipefail
ostrel="$1"

for tool in Xvfb trayer xdotool xwininfo; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is not installed (scripts/install-deps.sh installs it)"
    exit 77
  fi
done

work="$(mktemp -d)"
chmod 700 "$work"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do
    kill "$pid" 2>/dev/null || true
  done
  for pid in "${pids[@]}"; do
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  for log in "$work"/*.log; do
    echo "--- $(basename "$log")"
    cat "$log"
  done
  exit 1
}

# Waits up to $1 tenths of a second for the command after it to succeed.
wait_for() {
  local tenths="$1"
  shift
  for ((i = 0; i < tenths; i++)); do
    if "$@"; then
      return 0
    fi
    sleep 0.1
  done
  return 1
}

# Xvfb picks a free display itself and writes its number.
Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
pids+=($!)
wait_for 100 test -s "$work/display" || fail "Xvfb did not start"
export DISPLAY=":$(head -n1 "$work/display")"
# Qt would prefer a D-Bus tray; this test is about the X tray protocol.
unset DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY

trayer --edge top --align left --widthtype pixel --width 120 --heighttype pixel --height 32 \
  --SetDockType false --transparent false >"$work/trayer.log" 2>&1 &
pids+=($!)
panel_up() { xdotool search --name '^panel$' >/dev/null 2>&1; }
wait_for 100 panel_up || fail "trayer did not show its panel"
panel="$(xdotool search --name '^panel$' | head -n1)"

export OSTREL_DOCUMENTS="$work/documents" OSTREL_INSTANCE_NAME="tray-xvfb-$$"
export OSTREL_REGISTRY="$work/registry.ini" XDG_RUNTIME_DIR="$work" XDG_CONFIG_HOME="$work"
mkdir -p "$OSTREL_DOCUMENTS"
"$ostrel" >"$work/ostrel.log" 2>&1 &
ostrel_pid=$!
pids+=("$ostrel_pid")

# The icon is a window of ostrel's that trayer has taken into its panel.
icon=""
find_icon() {
  icon="$(xwininfo -id "$panel" -tree 2>/dev/null | awk '/"ostrel"/ { print $1; exit }')"
  [[ -n "$icon" ]]
}
wait_for 300 find_icon || fail "no ostrel icon in the tray"

# Without settings the first start asks whether to create them: Escape answers No.
question=""
find_question() {
  question="$(xdotool search --onlyvisible --name '^Ostrel$' 2>/dev/null | head -n1)"
  [[ -n "$question" ]]
}
wait_for 100 find_question || fail "no first-run question"
answered() {
  xdotool windowfocus "$question" >/dev/null 2>&1 || true
  xdotool key Escape >/dev/null 2>&1 || true
  ! xdotool search --onlyvisible --name '^Ostrel$' >/dev/null 2>&1
}
wait_for 100 answered || fail "the first-run question did not close on Escape"
[[ ! -e "$OSTREL_DOCUMENTS/VEK" ]] || fail "No created settings"

# Right click on the icon until the menu, a visible window of ostrel's that is taller than
# the icon, is open.
menu=""
find_menu() {
  local id
  for id in $(xdotool search --onlyvisible --classname '^ostrel$' 2>/dev/null); do
    eval "$(xdotool getwindowgeometry --shell "$id")"
    if ((HEIGHT > 60)); then
      menu="$id"
      return 0
    fi
  done
  return 1
}
for attempt in 1 2 3; do
  xdotool mousemove --window "$icon" 8 8 click 3
  if wait_for 30 find_menu; then
    break
  fi
done
[[ -n "$menu" ]] || fail "the menu did not open on a right click"

# "Exit" is the last item.
eval "$(xdotool getwindowgeometry --shell "$menu")"
xdotool mousemove --window "$menu" 30 $((HEIGHT - 11)) click 1

ended() { ! kill -0 "$ostrel_pid" 2>/dev/null; }
wait_for 200 ended || fail "ostrel still runs after Exit"
code=0
wait "$ostrel_pid" || code=$?
((code == 0)) || fail "ostrel ended with $code"
grep -qx 'Update201012=' "$OSTREL_REGISTRY" 2>/dev/null || fail "no registry value written"
echo "PASS: tray icon found, menu opened, Exit ended the program"
