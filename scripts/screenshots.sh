#!/usr/bin/env bash
# Takes the screenshots in docs/screenshots under Xvfb, with trayer as the tray: the tray menu,
# the progress window during a run to three scales (two simulated on 127.0.0.2 and 127.0.0.3,
# one that nobody answers on 127.0.0.4), then the notification and the tooltip that this failed
# run leaves; then the icon, menu and tooltip under a StatusNotifierItem host (xfce4-panel),
# the Ostrel window of a desktop without a tray with the Configuration window opened from it,
# and each settings window.
# Usage: scripts/screenshots.sh [BUILD_DIR]   (default build/dev, built here when missing)
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
bin="${1:-build/dev}"
if [[ ! -x "${bin}/src/app/ostrel" || ! -x "${bin}/tools/scale-sim/ostrel-scale-sim" ]]; then
  cmake --preset dev >/dev/null
  cmake --build --preset dev -j "$(nproc)" --target ostrel ostrel-scale-sim
  bin=build/dev
fi
out=docs/screenshots
mkdir -p "${out}"

work=$(mktemp -d "${TMPDIR:-/tmp}/ostrel-shots.XXXXXX")
chmod 700 "${work}"
source "$(dirname "$0")/lib/xvfb-session.sh"

echo "== X server and tray"
start_xvfb 520x280x24 xvfb
unset DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY
trayer --edge bottom --align right --widthtype pixel --width 160 --heighttype pixel --height 28 \
  --SetDockType false --transparent false --tint 0xd6d6d6 >"${work}/trayer.log" 2>&1 &
pids+=($!)
panel_up() { xdotool search --name '^panel$' >/dev/null 2>&1; }
wait_for 100 panel_up
panel="$(xdotool search --name '^panel$' | head -n1)"

echo "== settings: three scales and a PLU folder"
export OSTREL_DOCUMENTS="${work}/Documents" OSTREL_INSTANCE_NAME="ostrel-shots-$$"
export OSTREL_REGISTRY="${work}/registry.ini" XDG_RUNTIME_DIR="${work}" XDG_CONFIG_HOME="${work}"
mkdir -p "${OSTREL_DOCUMENTS}" "${work}/plu-in"
"${bin}/src/app/ostrel" --init-config >/dev/null
config="${OSTREL_DOCUMENTS}/VEK/Ostrel/Config"
set_key() { sed -i "/^\[$1\]/a $2=$3" "${config}/Tarvik.ini"; }
port=20304
set_key PATH "PLU ROOT" "${work}/plu-in"
set_key PATH PREFIX PLU
set_key PATH EXTENTION TXT
for n in 2 1 0; do # set_key adds each line at the top of its section
  set_key IPLIST "IP00${n}" "127.0.0.$((n + 2)):${port},S"
  set_key MODEL "IP00${n}" QV7100
  set_key SCALEVERSION "IP00${n}" "1.00,1.0,1"
done
set_key IPNAME 127.000.000.002 "Deli counter"
set_key IPNAME 127.000.000.003 "Bakery"
set_key IPNAME 127.000.000.004 "Fish counter"

# Slow scales, so that the run lasts long enough to be seen; the bakery's is slower.
"${bin}/tools/scale-sim/ostrel-scale-sim" --no-scan --scale "127.0.0.2:${port}:QV7100" \
  --delay 12 --scale "127.0.0.3:${port}:QV7100" --delay 20 >"${work}/sim.out" 2>"${work}/sim.err" &
pids+=($!)
sim_ready() { grep -q '^ready' "${work}/sim.out" 2>/dev/null; }
wait_for 100 sim_ready

echo "== ostrel in the tray"
"${bin}/src/app/ostrel" >"${work}/ostrel.log" 2>&1 &
pids+=($!)
icon=""
find_icon() {
  icon="$(xwininfo -id "${panel}" -tree 2>/dev/null | awk '/"ostrel"/ { print $1; exit }')"
  [[ -n "${icon}" ]]
}
wait_for 200 find_icon

menu=""
find_menu() {
  local id
  for id in $(xdotool search --onlyvisible --classname '^ostrel$' 2>/dev/null); do
    eval "$(xdotool getwindowgeometry --shell "${id}")"
    if ((HEIGHT > 60)); then menu="${id}"; return 0; fi
  done
  return 1
}
xdotool mousemove --window "${icon}" 8 8 click 3
wait_for 50 find_menu
xdotool mousemove --window "${menu}" 40 $((HEIGHT - 34)) # over "Direct Download"
sleep 0.5
import -window root "${out}/tray-menu.png"
echo "   ${out}/tray-menu.png"
xdotool key Escape
sleep 0.3

echo "== a run: 400 PLU lines, then Direct Download"
for ((i = 1; i <= 400; i++)); do
  printf '1,%d,0,Item %d,%d.%02d,%d\r\n' "$((1000 + i))" "${i}" "$((i % 20 + 1))" "$((i % 100))" "$((1000 + i))"
done >"${work}/plu-in/PLU0001.TXT"
"${bin}/src/app/ostrel" --send run
progress=""
find_progress() {
  progress="$(xdotool search --onlyvisible --name '^Ostrel$' 2>/dev/null | head -n1)"
  [[ -n "${progress}" ]]
}
wait_for 100 find_progress
sleep 3 # well into the run
import -window root "${out}/progress-window.png"
echo "   ${out}/progress-window.png"

echo "== the end of that run: the notification, then the tooltip"
result="${OSTREL_DOCUMENTS}/VEK/Ostrel/Log/last-run.json"
wait_for 300 test -s "${result}"
sleep 1.5 # the completion pause, and the notification drawn
import -window root "${out}/tray-notification.png"
echo "   ${out}/tray-notification.png"
xdotool mousemove 420 200 click 1 # a click on the notification closes it
sleep 0.5
xdotool mousemove --window "${icon}" 8 8
sleep 1.5
import -window root "${out}/tray-tooltip.png"
echo "   ${out}/tray-tooltip.png"
xdotool mousemove 0 0

"${bin}/src/app/ostrel" --send exit

small_run() { # a run of a few lines to the three scales, until its result is written
  rm -f "${result}"
  printf '1,%d,0,Item %d,1.%02d,%d\r\n' 2001 1 10 2001 2002 2 20 2002 >"${work}/plu-in/PLU0003.TXT"
  "${bin}/src/app/ostrel" --send run
  wait_for 300 test -s "${result}"
  sleep 1.5 # the completion pause; the icon and the status follow the result
}
# ---------------------------------------------------------------------------------------------
echo "== the tray under a StatusNotifierItem host: xfce4-panel's systray on its own session bus"
start_xvfb 520x280x24 xvfb-sni
# The panel's settings daemon is started by the bus and takes the bus's environment.
export XDG_CACHE_HOME="${work}/cache" XDG_DATA_HOME="${work}/data" NO_AT_BRIDGE=1
dbus-daemon --session --fork --print-address=3 --print-pid=4 3>"${work}/bus.address" \
  4>"${work}/bus.pid"
pids+=("$(cat "${work}/bus.pid")")
export DBUS_SESSION_BUS_ADDRESS="$(head -n1 "${work}/bus.address")"
write_systray_panel "${work}"
xfce4-panel --disable-wm-check >"${work}/panel.log" 2>&1 &
pids+=($!)
item_registered() {
  dbus-send --session --print-reply --dest=org.kde.StatusNotifierWatcher /StatusNotifierWatcher \
    org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierWatcher \
    string:RegisteredStatusNotifierItems 2>/dev/null | grep -q 'string ":'
}
watcher_up() {
  dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.NameHasOwner string:org.kde.StatusNotifierWatcher 2>/dev/null |
    grep -q 'boolean true'
}
wait_for 200 watcher_up
sni_panel="$(xdotool search --name '^xfce4-panel$' | head -n1)"
export OSTREL_INSTANCE_NAME="ostrel-shots-sni-$$"
"${bin}/src/app/ostrel" >"${work}/ostrel-sni.log" 2>&1 &
pids+=($!)
# Qt's item shows a notification's icon (here a start-up catch-up's failure) while it asks
# for attention; the shots wait for its own icon.
item_active() {
  local item
  item="$(dbus-send --session --print-reply --dest=org.kde.StatusNotifierWatcher \
    /StatusNotifierWatcher org.freedesktop.DBus.Properties.Get \
    string:org.kde.StatusNotifierWatcher string:RegisteredStatusNotifierItems 2>/dev/null |
    awk -F'"' '/string ":/ { print $2; exit }')"
  [[ -n "${item}" ]] &&
    dbus-send --session --print-reply --dest="${item%%/*}" "/${item#*/}" \
      org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierItem string:Status \
      2>/dev/null | grep -q '"Active"'
}
wait_for 200 item_registered
sleep 0.5
wait_for 200 item_active
sleep 1 # the panel draws the item's icon
import -window root "${out}/sni-tray-icon.png"
echo "   ${out}/sni-tray-icon.png"
sni_menu=""
find_sni_menu() {
  local id
  for id in $(xdotool search --onlyvisible --name '^wrapper-2.0$' 2>/dev/null); do
    eval "$(xdotool getwindowgeometry --shell "${id}")"
    if ((HEIGHT > 60)); then sni_menu="${id}"; return 0; fi
  done
  return 1
}
xdotool mousemove --window "${sni_panel}" 12 14 click 3 # the plugin's first icon
wait_for 50 find_sni_menu
xdotool mousemove --window "${sni_menu}" 40 $((HEIGHT - 40)) # over "Direct Download"
sleep 0.5
import -window root "${out}/sni-tray-menu.png"
echo "   ${out}/sni-tray-menu.png"
xdotool key Escape
sleep 0.3
small_run
wait_for 200 item_active
xdotool mousemove 300 200
sleep 0.3
xdotool mousemove --window "${sni_panel}" 12 14
sleep 2
import -window root "${out}/sni-tray-tooltip.png"
echo "   ${out}/sni-tray-tooltip.png"
xdotool mousemove 0 0
"${bin}/src/app/ostrel" --send exit
unset DBUS_SESSION_BUS_ADDRESS
# ---------------------------------------------------------------------------------------------
echo "== no tray at all: the Ostrel window, then Configuration from it (own X screen)"
start_xvfb 1000x560x24 xvfb-notray
export OSTREL_INSTANCE_NAME="ostrel-shots-notray-$$"
"${bin}/src/app/ostrel" >"${work}/ostrel-notray.log" 2>&1 &
pids+=($!)
notray=""
find_notray() {
  notray="$(xdotool search --onlyvisible --name '^Ostrel$' 2>/dev/null | head -n1)"
  [[ -n "${notray}" ]]
}
wait_for 200 find_notray
small_run # its result in the window's status, with the icon's state
find_notray
import -window "${notray}" "${out}/no-tray-window.png"
echo "   ${out}/no-tray-window.png"
xdotool windowfocus --sync "${notray}"
xdotool key space # the Configuration button has the focus
config_dlg=""
find_config() {
  config_dlg="$(xdotool search --onlyvisible --name '^Configuration$' 2>/dev/null | head -n1)"
  [[ -n "${config_dlg}" ]]
}
wait_for 100 find_config
xdotool windowmove "${config_dlg}" 445 20
sleep 0.5
import -window root "${out}/no-tray-configuration.png"
echo "   ${out}/no-tray-configuration.png"
"${bin}/src/app/ostrel" --send exit

echo "== the configuration window with three scales, and the scale input window"
if [[ ! -x "${bin}/tests/gui/shot_config_dlg" ]]; then
  cmake --build "${bin}" -j "$(nproc)" --target shot_config_dlg
fi
"${bin}/tests/gui/shot_config_dlg" "${out}/config-window.png" "${out}/scale-input-window.png"
echo "   ${out}/config-window.png"
echo "   ${out}/scale-input-window.png"

echo "== the replacement rules window with three rules"
if [[ ! -x "${bin}/tests/gui/shot_replace_dlg" ]]; then
  cmake --build "${bin}" -j "$(nproc)" --target shot_replace_dlg
fi
"${bin}/tests/gui/shot_replace_dlg" "${out}/replace-window.png"
echo "   ${out}/replace-window.png"
# ---------------------------------------------------------------------------------------------
echo "== the PLU file setting window with a sample file (own, larger X screen)"
# The window is larger than the tray screen above, so it gets an X server of its own.
start_xvfb 1024x700x24 xvfb-plu
trayer --edge bottom --align right --widthtype pixel --width 160 --heighttype pixel --height 28 \
  --SetDockType false --transparent false --tint 0xd6d6d6 >"${work}/trayer-plu.log" 2>&1 &
pids+=($!)
wait_for 100 panel_up
panel="$(xdotool search --name '^panel$' | head -n1)"

export OSTREL_INSTANCE_NAME="ostrel-shots-plu-$$"
set_key SENDFILE CREATEDATE 99991231235959 # the sample is for the window, not for a run
sed -i 's/^FILETYPE=.*/FILETYPE=1/' "${config}/Tarvik.ini"
rm -f "${work}/plu-in/"* # the sample is the oldest data file
{
  printf '// PLU export of the back office, %s\r\n' "2026-12-09"
  printf '// dept,plu,type,name,price,item code\r\n'
  printf '1,%d,0,%s,%s,%d\r\n' 1001 "Crème fraîche" 2.49 1001 1002 "Pears Conference" 1.99 1002
} >"${work}/plu-in/PLU0002.TXT"

"${bin}/src/app/ostrel" >"${work}/ostrel-plu.log" 2>&1 &
pids+=($!)
wait_for 200 find_icon
xdotool mousemove --window "${icon}" 8 8 click 3
wait_for 50 find_menu
xdotool key Down Down Return # "PLU File Setting"
select_dlg=""
find_select() {
  select_dlg="$(xdotool search --onlyvisible --name '^Select$' 2>/dev/null | head -n1)"
  [[ -n "${select_dlg}" ]]
}
wait_for 100 find_select
xdotool mousemove 1000 10
sleep 1 # the preview fills the value column
import -window "${select_dlg}" "${out}/plu-file-setting.png"
echo "   ${out}/plu-file-setting.png"
xdotool windowfocus --sync "${select_dlg}" key Escape 2>/dev/null || true
sleep 0.3
echo "== its Preview window on a UTF-8 export with a decimal comma and a rule"
if [[ ! -x "${bin}/tests/gui/shot_preview" ]]; then
  cmake --build "${bin}" -j "$(nproc)" --target shot_preview
fi
"${bin}/tests/gui/shot_preview" "${out}/preview-window.png"
echo "   ${out}/preview-window.png"

"${bin}/src/app/ostrel" --send exit
# ---------------------------------------------------------------------------------------------
echo "== the configuration window after a scan of three simulated scales (own X screen)"
# The scan request goes to the simulator's loopback scan port only (OSTREL_SCAN_BROADCAST).
start_xvfb 1024x700x24 xvfb-scan
if [[ ! -x "${bin}/tests/gui/shot_config_scan" ]]; then
  cmake --build "${bin}" -j "$(nproc)" --target shot_config_scan
fi
"${bin}/tests/gui/shot_config_scan" "${out}/config-after-scan.png"
echo "   ${out}/config-after-scan.png"

echo "== the four tray icons side by side, and the first-run question"
if [[ ! -x "${bin}/tests/gui/shot_tray_status" ]]; then
  cmake --build "${bin}" -j "$(nproc)" --target shot_tray_status
fi
"${bin}/tests/gui/shot_tray_status" "${out}/tray-after-failed-run.png" "${out}/first-run.png"
echo "   ${out}/tray-after-failed-run.png"
echo "   ${out}/first-run.png"
