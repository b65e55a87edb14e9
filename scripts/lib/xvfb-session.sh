# Sourced by the scripts that drive ostrel under Xvfb: clean-up of their processes and work
# folder, waiting, starting Xvfb and the xfce4-panel systray configuration. Needs `work` set.
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "${pid}" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "${pid}" 2>/dev/null || true; done
  rm -rf "${work}"
}
trap cleanup EXIT

# fail TEXT: says why with every log of the work folder, and ends the script.
fail() {
  echo "FAIL: $*"
  for log in "${work}"/*.log; do
    echo "--- $(basename "${log}")"
    cat "${log}"
  done
  exit 1
}

# wait_for TENTHS COMMAND...: retries the command for that many tenths of a second.
wait_for() {
  local tenths="$1"
  shift
  for ((i = 0; i < tenths; i++)); do
    if "$@"; then return 0; fi
    sleep 0.1
  done
  echo "gave up waiting for: $*" >&2
  return 1
}

# start_xvfb WxHxD [NAME]: Xvfb on a display it picks itself; exports DISPLAY.
start_xvfb() {
  local name="${2:-xvfb}"
  Xvfb -displayfd 3 -screen 0 "$1" -nolisten tcp 3>"${work}/${name}.display" \
    >"${work}/${name}.log" 2>&1 &
  pids+=($!)
  wait_for 100 test -s "${work}/${name}.display" || fail "Xvfb did not start"
  export DISPLAY=":$(head -n1 "${work}/${name}.display")"
}

# write_systray_panel XDG_CONFIG_HOME: one xfce4-panel along the top with the systray plugin
# only, so a tray icon is its first item.
write_systray_panel() {
  local folder="$1/xfce4/xfconf/xfce-perchannel-xml"
  mkdir -p "${folder}"
  cat >"${folder}/xfce4-panel.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-panel" version="1.0">
  <property name="configver" type="int" value="2"/>
  <property name="panels" type="array">
    <value type="int" value="1"/>
    <property name="panel-1" type="empty">
      <property name="position" type="string" value="p=6;x=0;y=0"/>
      <property name="length" type="uint" value="100"/>
      <property name="position-locked" type="bool" value="true"/>
      <property name="size" type="uint" value="28"/>
      <property name="plugin-ids" type="array">
        <value type="int" value="1"/>
      </property>
    </property>
  </property>
  <property name="plugins" type="empty">
    <property name="plugin-1" type="string" value="systray"/>
  </property>
</channel>
XML
}
