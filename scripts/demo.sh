#!/usr/bin/env bash
# The operator's program against a simulated plant:
#   scripts/demo.sh BUILD_DIR
# starts ostrel-sim with the demo plant on a pty, OstrelService polling it with a fresh data
# folder under BUILD_DIR/demo, and Levelwatch linked to that service. With a display the window
# opens; without one Levelwatch runs offscreen and the live table is printed here as it changes.
# Ctrl-C (or closing the window) stops all three.
set -euo pipefail
build=$(cd "${1:?usage: scripts/demo.sh BUILD_DIR}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
bin=$build/bin
demo=$build/demo
home=$demo/home
settings=$demo/settings

rm -rf "$demo"
mkdir -p "$home" "$settings"
cp "$here/demo/LiveData.txt" "$home/LiveData.txt"

# A free port for the relay: bind port 0 and take what the system gave.
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
cat > "$settings/machine.ini" <<INI
[Ports]
COM1=$demo/line
[TCPPortInfo]
PortNumber=$port
BindAddress=127.0.0.1
[Debug]
Debug=1
INI
cat > "$settings/user.ini" <<INI
[TCPIPInfo]
Address=127.0.0.1
Port=$port
INI
export OSTREL_HOME=$home OSTREL_SETTINGS_DIR=$settings

pids=()
stop() {
  trap - INT TERM EXIT
  local p
  for p in "${pids[@]}"; do kill -TERM "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  echo "Demo stopped. Its files are in $demo"
}
trap stop INT TERM EXIT

"$bin/ostrel-sim" run --plant "$here/demo/plant.txt" --link "$demo/line" \
  --log "$demo/sim.log" > "$demo/sim.out" &
pids+=($!)
for _ in $(seq 100); do [ -e "$demo/line" ] && break; sleep 0.05; done
"$bin/OstrelService" > "$demo/service.out" 2>&1 &
pids+=($!)

echo "Plant: 8 tanks on 6 display units (ostrel-sim, $demo/line)"
echo "Service: OstrelService relaying on 127.0.0.1:$port, log $home/OstrelServiceLog.txt"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "Levelwatch: the window opens; close it or press Ctrl-C here to stop the demo."
  "$bin/Levelwatch" > "$demo/levelwatch.out" 2>&1 &
  pids+=($!)
  wait "${pids[-1]}" || true
  exit 0
fi

echo "Levelwatch: no display, running offscreen; its live table follows. Ctrl-C stops."
QT_QPA_PLATFORM=offscreen "$bin/Levelwatch" > "$demo/levelwatch.out" 2>&1 &
pids+=($!)

# The monitor's own table, each time it saves it.
show_table() {
  awk -F'\t' '
    BEGIN { split("Good,No Light,Unkown,Bad Light", st, ",") }
    { sub(/\r$/, "") }
    NR == 1 { for (i = 1; i <= NF; i++) col[$i] = i
              printf "%-6s %-20s %-9s %10s %11s %6s  %-7s %s\n", "ID", "Tank Name", "Status",
                     "Level", "Volume", "Temp", "Alarms", "Last Update"; next }
    { s = $col["Status"]; status = (s == "" ? "" : ((s + 1) in st ? st[s + 1] : s))
      alarms = ""
      for (a = 1; a <= 4; a++) alarms = alarms ($col["Alarm" a] == "True" ? a : "-")
      printf "%-6s %-20s %-9s %10s %11s %6s  %-7s %s\n", $col["ID"], $col["TankName"], status,
             $col["Level"], $col["Volume"], $col["Temperature"], alarms, $col["DateTime"] }
  ' "$home/LiveData.txt"
}
last=""
while kill -0 "${pids[-1]}" 2>/dev/null; do
  now=$(stat -c %y "$home/LiveData.txt" 2>/dev/null || true)
  if [ -n "$now" ] && [ "$now" != "$last" ]; then
    last=$now
    if [ -t 1 ]; then printf '\033[H\033[2J'; fi
    echo "Levelwatch live table ($(date +%T)), Ctrl-C stops:"
    show_table
    echo
  fi
  sleep 1
done
