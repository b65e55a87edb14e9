#!/usr/bin/env bash
# The desktop program on a desktop without any tray (Xvfb alone, no D-Bus session): the Ostrel
# window stands in for the tray icon. A scripted user opens Configuration and PLU File Setting
# from its buttons, closes it and brings it back with a second start, then reaches both
# windows through the desktop entry's actions, also when no Ostrel runs yet, and ends it with
# the Exit action.
set -euo pipefail
ostrel="$1"
desktop_entry="$2"

for tool in Xvfb xdotool; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is not installed (scripts/install-deps.sh installs it)"
    exit 77
  fi
done

work="$(mktemp -d)"
chmod 700 "$work"
source "$(dirname "$0")/../../scripts/lib/xvfb-session.sh"

start_xvfb 800x600x24
# No tray of either kind: no X tray selection owner and no session bus for a D-Bus tray.
unset DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY

export OSTREL_DOCUMENTS="$work/documents" OSTREL_INSTANCE_NAME="notray-xvfb-$$"
export OSTREL_REGISTRY="$work/registry.ini" XDG_RUNTIME_DIR="$work" XDG_CONFIG_HOME="$work"
mkdir -p "$OSTREL_DOCUMENTS"
"$ostrel" --init-config >/dev/null
# One scale and a PLU folder with a sample that is older than the last run, so that neither
# start-up nor the PLU file setting window has anything to say.
tarvik="$OSTREL_DOCUMENTS/VEK/Ostrel/Config/Tarvik.ini"
set_key() { sed -i "/^\[$1\]/a $2=$3" "$tarvik"; }
mkdir -p "$work/plu-in"
printf '1,1001,0,Apples,2.49,1001\r\n' >"$work/plu-in/PLU0001.TXT"
set_key IPLIST IP000 127.0.0.2:20304,S
set_key PATH "PLU ROOT" "$work/plu-in"
set_key PATH PREFIX PLU
set_key PATH EXTENTION TXT
set_key SENDFILE CREATEDATE 99991231235959

visible() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n1; }
shown() { [[ -n "$(visible "$1")" ]]; }
gone() { ! shown "$1"; }
# Presses keys in the window named $1.
keys() {
  local id
  id="$(visible "$1")"
  shift
  xdotool windowfocus --sync "$id" 2>/dev/null || xdotool windowfocus "$id"
  xdotool key "$@"
}
# Runs the Exec line of the desktop entry's action $1, with this build's ostrel.
action() {
  local exec
  exec="$(awk -v a="[Desktop Action $1]" '$0 == a { on = 1; next } /^\[/ { on = 0 }
                                         on && /^Exec=/ { sub(/^Exec=/, ""); print }' \
    "$desktop_entry")"
  [[ -n "$exec" ]] || fail "the desktop entry has no action $1"
  # shellcheck disable=SC2086 # the Exec line's words
  set -- ${exec}
  shift
  "$ostrel" "$@" >>"$work/action.log" 2>&1 &
  pids+=($!)
}

"$ostrel" >"$work/ostrel.log" 2>&1 &
ostrel_pid=$!
pids+=("$ostrel_pid")

wait_for 200 shown Ostrel || fail "no Ostrel window without a tray"
grep -q "no system tray" "$work/ostrel.log" || fail "no word on stderr about the missing tray"

# Its first button, Configuration, has the focus.
keys Ostrel space
wait_for 100 shown Configuration || fail "the Configuration button opened nothing"
keys Configuration Escape
wait_for 50 gone Configuration || fail "Escape did not close the configuration window"

# The second button: PLU File Setting, whose window is titled "Select".
keys Ostrel Tab space
wait_for 100 shown Select || fail "the PLU File Setting button opened nothing"
keys Select Escape
wait_for 50 gone Select || fail "Escape did not close the PLU file setting window"

# Closed, Ostrel runs on; started again from the menu, it shows the window again.
keys Ostrel Escape
wait_for 50 gone Ostrel || fail "the Ostrel window did not close"
kill -0 "$ostrel_pid" 2>/dev/null || fail "closing the Ostrel window ended the program"
"$ostrel" >>"$work/second.log" 2>&1 || fail "the second start failed"
wait_for 100 shown Ostrel || fail "a second start did not bring the Ostrel window back"

# The desktop entry's actions on the running instance.
action configuration
wait_for 100 shown Configuration || fail "the Configuration action opened nothing"
keys Configuration Escape
wait_for 50 gone Configuration || fail "the configuration window stayed"
action plu-file-setting
wait_for 100 shown Select || fail "the PLU File Setting action opened nothing"
keys Select Escape
wait_for 50 gone Select || fail "the PLU file setting window stayed"

# Exit ends it; an action then starts Ostrel first.
action exit
ended() { ! kill -0 "$ostrel_pid" 2>/dev/null; }
wait_for 200 ended || fail "the Exit action did not end ostrel"
wait "$ostrel_pid" || fail "ostrel ended with $?"
action configuration
wait_for 200 shown Configuration || fail "the Configuration action did not start Ostrel"
shown Ostrel || fail "the started Ostrel has no Ostrel window"
keys Configuration Escape
action exit
wait_for 200 gone Ostrel || fail "the Exit action did not end the started ostrel"
grep -qx 'Update201012=' "$OSTREL_REGISTRY" 2>/dev/null || fail "no registry value written"
echo "PASS: the Ostrel window and the desktop actions reach Configuration and PLU File Setting"
