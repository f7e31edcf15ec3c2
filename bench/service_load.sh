#!/usr/bin/env bash
# CPU and resident memory of OstrelService polling one display unit every second.
#   bench/service_load.sh [BUILD_DIR] [SECONDS]   (default: ./build, 60 s)
# Starts ostrel-sim on a pty and the service on it (log level 0, a folder of its own), lets it
# settle for 5 s, then reads /proc for SECONDS: CPU as a share of one core over the window, and
# the resident set (VmRSS) at the end and its peak (VmHWM). Goal: < 1 % CPU, < 30 MB.
set -euo pipefail
build=${1:-$(cd "$(dirname "$0")/.." && pwd)/build}
seconds=${2:-60}
work=$(mktemp -d)
trap 'kill $svc $sim 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$work"' EXIT

mkdir -p "$work/home" "$work/settings"
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
printf '[Ports]\nCOM1=%s\n[TCPPortInfo]\nPortNumber=%s\n' "$work/line" "$port" \
  > "$work/settings/machine.ini"
printf '1\r\n' > "$work/home/OstrelServicePoll.txt"

"$build/bin/ostrel-sim" run --unit 1:R300S --link "$work/line" --log /dev/null > /dev/null &
sim=$!
for _ in $(seq 50); do [ -e "$work/line" ] && break; sleep 0.1; done
OSTREL_HOME="$work/home" OSTREL_SETTINGS_DIR="$work/settings" "$build/bin/OstrelService" &
svc=$!
sleep 5
[ -e "$work/home/LastData-1.bin" ] || { echo "the service stored no frame" >&2; exit 1; }

ticks() { awk '{print $14 + $15}' "/proc/$svc/stat"; }
hz=$(getconf CLK_TCK)
t0=$(ticks); s0=$(date +%s.%N)
sleep "$seconds"
t1=$(ticks); s1=$(date +%s.%N)
rss=$(awk '/VmRSS/ {print $2}' "/proc/$svc/status")
hwm=$(awk '/VmHWM/ {print $2}' "/proc/$svc/status")
frames=$(grep -c . "$work/home/"*-1.txt || true)

awk -v t="$((t1 - t0))" -v hz="$hz" -v s0="$s0" -v s1="$s1" -v rss="$rss" -v hwm="$hwm" \
    -v rows="$frames" 'BEGIN {
  cpu = 100 * t / hz / (s1 - s0)
  printf "service_load: %.0f s, CPU %.2f %% of one core, VmRSS %.1f MB, VmHWM %.1f MB, history lines %d\n",
         s1 - s0, cpu, rss / 1024, hwm / 1024, rows
  printf "goals: CPU < 1 %% %s, RSS < 30 MB %s\n", (cpu < 1 ? "met" : "MISSED"), (hwm < 30 * 1024 ? "met" : "MISSED")
}'
