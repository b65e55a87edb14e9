#!/usr/bin/env bash
# The desktop program in a real X session, under either kind of tray host: Xvfb with trayer
# (the X tray protocol, XEmbed), or Xvfb with xfce4-panel's systray plugin as the
# StatusNotifierItem host on a D-Bus session bus of its own. Starts ostrel, finds its icon in
# the tray, opens the menu with a right click and chooses "Exit"; the program must end by
# itself and leave the registry value behind. Under the StatusNotifierItem host it also checks
# what the host reads over D-Bus: the item, its menu's items and its tooltip.
# Usage: tray-xvfb-test.sh OSTREL [xembed|sni]
set -euo pipefail
ostrel="$1"
host="${2:-xembed}"

tools=(Xvfb xdotool xwininfo)
if [[ "$host" == sni ]]; then
  tools+=(xfce4-panel dbus-run-session dbus-send)
else
  tools+=(trayer)
fi
for tool in "${tools[@]}"; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is not installed (scripts/install-deps.sh installs it)"
    exit 77
  fi
done

if [[ "$host" == sni && -z "${OSTREL_TRAY_TEST_WORK:-}" ]]; then
  # The panel, its settings daemon (started by the bus) and ostrel share a session bus that
  # lives as long as this test; the daemon takes the bus's environment, so the panel's
  # settings folder is set before the bus starts.
  work="$(mktemp -d)"
  chmod 700 "$work"
  export OSTREL_TRAY_TEST_WORK="$work" XDG_CONFIG_HOME="$work" XDG_CACHE_HOME="$work/cache"
  export XDG_DATA_HOME="$work/data" NO_AT_BRIDGE=1
  # The bus's own chatter goes to a log that a failure shows.
  exec dbus-run-session -- bash "$0" "$@" 2>"$work/bus.log"
fi
work="${OSTREL_TRAY_TEST_WORK:-$(mktemp -d)}"
chmod 700 "$work"
source "$(dirname "$0")/../../scripts/lib/xvfb-session.sh"

# Xvfb picks a free display itself and writes its number.
start_xvfb 640x480x24
unset WAYLAND_DISPLAY

if [[ "$host" == sni ]]; then
  # One panel along the top with the systray plugin only: the icon is its first item.
  write_systray_panel "$work"
  xfce4-panel --disable-wm-check >"$work/panel.log" 2>&1 &
  pids+=($!)
  bus() { dbus-send --session --print-reply "$@" 2>/dev/null; }
  watcher_up() {
    bus --dest=org.freedesktop.DBus /org/freedesktop/DBus org.freedesktop.DBus.NameHasOwner \
      string:org.kde.StatusNotifierWatcher | grep -q 'boolean true'
  }
  wait_for 200 watcher_up || fail "xfce4-panel's systray registered no StatusNotifierWatcher"
  panel="$(xdotool search --name '^xfce4-panel$' | head -n1)"
else
  # Qt would prefer a D-Bus tray; this run is about the X tray protocol.
  unset DBUS_SESSION_BUS_ADDRESS
  trayer --edge top --align left --widthtype pixel --width 120 --heighttype pixel --height 32 \
    --SetDockType false --transparent false >"$work/trayer.log" 2>&1 &
  pids+=($!)
  panel_up() { xdotool search --name '^panel$' >/dev/null 2>&1; }
  wait_for 100 panel_up || fail "trayer did not show its panel"
  panel="$(xdotool search --name '^panel$' | head -n1)"
fi

export OSTREL_DOCUMENTS="$work/documents" OSTREL_INSTANCE_NAME="tray-xvfb-$$"
export OSTREL_REGISTRY="$work/registry.ini" XDG_RUNTIME_DIR="$work" XDG_CONFIG_HOME="$work"
mkdir -p "$OSTREL_DOCUMENTS"
"$ostrel" >"$work/ostrel.log" 2>&1 &
ostrel_pid=$!
pids+=("$ostrel_pid")

if [[ "$host" == sni ]]; then
  # The icon is an item on the bus that the panel draws itself.
  item=""
  find_item() {
    item="$(bus --dest=org.kde.StatusNotifierWatcher /StatusNotifierWatcher \
      org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierWatcher \
      string:RegisteredStatusNotifierItems | awk -F'"' '/string ":/ { print $2; exit }')"
    [[ -n "$item" ]]
  }
  wait_for 300 find_item || fail "ostrel registered no StatusNotifierItem"
  service="${item%%/*}" path="/${item#*/}"
  tooltip="$(bus --dest="$service" "$path" org.freedesktop.DBus.Properties.Get \
    string:org.kde.StatusNotifierItem string:ToolTip)"
  grep -q '"Ostrel"' <<<"$tooltip" || fail "the item's tooltip does not say Ostrel: $tooltip"
  menu_path="$(bus --dest="$service" "$path" org.freedesktop.DBus.Properties.Get \
    string:org.kde.StatusNotifierItem string:Menu | awk '/object path/ { gsub(/"/, "", $NF); print $NF }')"
  layout="$(bus --dest="$service" "$menu_path" com.canonical.dbusmenu.GetLayout int32:0 \
    int32:-1 array:string:)"
  for text in Configuration "PLU File Setting" About "Direct Download" Exit; do
    grep -q "string \"$text\"" <<<"$layout" || fail "the item's menu lacks \"$text\""
  done
  # Before "Direct Download" and before "Exit" (xfce4-panel 4.18 draws none, other hosts do).
  (($(grep -c 'string "separator"' <<<"$layout") == 2)) || fail "the menu lacks its separators"
  icon_x=12 # the plugin's first icon, at the panel's left end
  icon_y=14
else
  # The icon is a window of ostrel's that trayer has taken into its panel.
  icon=""
  find_icon() {
    icon="$(xwininfo -id "$panel" -tree 2>/dev/null | awk '/"ostrel"/ { print $1; exit }')"
    [[ -n "$icon" ]]
  }
  wait_for 300 find_icon || fail "no ostrel icon in the tray"
fi

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

# Right click on the icon until the menu, a visible window taller than the icon, is open: one
# of ostrel's under trayer, one of the panel's plugin process (which draws the item's menu)
# under the StatusNotifierItem host.
menu=""
menu_owner='--classname ^ostrel$'
[[ "$host" == sni ]] && menu_owner='--name ^wrapper-2.0$'
find_menu() {
  local id
  # shellcheck disable=SC2086 # the search words
  for id in $(xdotool search --onlyvisible $menu_owner 2>/dev/null); do
    eval "$(xdotool getwindowgeometry --shell "$id")"
    if ((HEIGHT > 60)); then
      menu="$id"
      return 0
    fi
  done
  return 1
}
click_icon() {
  if [[ "$host" == sni ]]; then
    xdotool mousemove --window "$panel" "$icon_x" "$icon_y" click "$1"
  else
    xdotool mousemove --window "$icon" 8 8 click "$1"
  fi
}
for attempt in 1 2 3; do
  click_icon 3
  if wait_for 30 find_menu; then
    break
  fi
done
[[ -n "$menu" ]] || fail "the menu did not open on a right click"

# "Exit" is the last item.
eval "$(xdotool getwindowgeometry --shell "$menu")"
xdotool mousemove --window "$menu" 30 $((HEIGHT - 14)) click 1

ended() { ! kill -0 "$ostrel_pid" 2>/dev/null; }
wait_for 200 ended || fail "ostrel still runs after Exit"
code=0
wait "$ostrel_pid" || code=$?
((code == 0)) || fail "ostrel ended with $code"
grep -qx 'Update201012=' "$OSTREL_REGISTRY" 2>/dev/null || fail "no registry value written"
echo "PASS ($host): tray icon found, menu opened, Exit ended the program"
