#!/usr/bin/env bash
# Poll-tick jitter of OstrelService while a mail waits on a server that never answers, against
# the same service with mail off, side by side in one run.
#   bench/mail_jitter.sh [BUILD_DIR] [SECONDS]   (default: ./build, 120 s)
# Two services, each with its own emulator, run at the same time. The emulators stamp every poll
# request they receive (--log-times); jitter is how far each gap between two requests lies from
# the poll interval of 1 s. "off": no mail server set. "pending": the server accepts connections
# and never says a word, and one schedule row is due at every pass (passes every second), so a
# mail is pending all the time, each ending at the 10 s connect time-out. Goal: the 99th
# percentile with mail pending no worse than with mail off, within the poll timer's own
# granularity (Qt's coarse timers may slip by 5 % of the interval, 50 ms).
set -euo pipefail
build=${1:-$(cd "$(dirname "$0")/.." && pwd)/build}
seconds=${2:-120}
work=$(mktemp -d)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$work"' EXIT

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }

# A server that accepts every connection (the kernel does) and never answers.
silent=$(free_port)
python3 -c "
import socket, time
s = socket.socket(); s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind(('127.0.0.1', $silent)); s.listen(64)
time.sleep(100000)" &
pids+=($!)

# phase NAME MAIL(0|1): starts a service and its emulator; the request times go to NAME.log
phase() {
  local name=$1 mail=$2 home="$work/$1/home" settings="$work/$1/settings"
  mkdir -p "$home" "$settings"
  {
    printf '[Ports]\nCOM1=%s\n[TCPPortInfo]\nPortNumber=%s\n' "$work/$name/line" "$(free_port)"
    if [ "$mail" = 1 ]; then
      printf '[STMP]\nHost=127.0.0.1\nPort=%s\nEmail=tanks@example.com\nAuth=None\n' "$silent"
    fi
  } > "$settings/machine.ini"
  printf '1\r\n' > "$home/OstrelServicePoll.txt"
  printf 'ID\tTankName\r\n1\tTank 1\r\n' > "$home/LiveData.txt"
  printf 'Email\tDataType\tTime\tTankIDs\tLastSent\r\nops@example.com\t0\t\t1000\t\r\n' \
    > "$home/Email.txt"
  "$build/bin/ostrel-sim" run --unit 1:R300S --link "$work/$name/line" --log-times \
    --log "$work/$name.log" > /dev/null &
  pids+=($!)
  for _ in $(seq 50); do [ -e "$work/$name/line" ] && break; sleep 0.1; done
  OSTREL_HOME="$home" OSTREL_SETTINGS_DIR="$settings" OSTREL_EMAIL_INTERVAL_MS=1000 \
    "$build/bin/OstrelService" &
  pids+=($!)
}

phase off 0
phase pending 1
sleep "$seconds"
kill "${pids[@]}"
wait 2>/dev/null || true
pids=()
if ! grep -q 'ERROR: Send email to' "$work/pending/home/OstrelServiceLog.txt"; then
  echo "mail_jitter: the mail to the silent server never timed out" >&2
  exit 1
fi

python3 - "$work/off.log" "$work/pending.log" <<'PY'
import sys

def jitter(path):
    times = [float(l.split()[0]) for l in open(path) if " request " in l]
    gaps = [abs((b - a) * 1000 - 1000) for a, b in zip(times, times[1:])][1:]  # first gap: start-up
    gaps.sort()
    pick = lambda q: gaps[min(len(gaps) - 1, int(q * len(gaps)))]
    return len(times), pick(0.5), pick(0.9), pick(0.99), gaps[-1]

off, pending = jitter(sys.argv[1]), jitter(sys.argv[2])
for name, (n, p50, p90, p99, worst) in (("mail off", off), ("mail pending", pending)):
    print(f"mail_jitter: {name:12s} {n:4d} polls, jitter p50 {p50:5.1f} ms, p90 {p90:5.1f} ms, "
          f"p99 {p99:5.1f} ms, worst {worst:6.1f} ms")
ok = pending[3] <= off[3] + 50.0
print("goal: p99 with mail pending no worse than with mail off:", "met" if ok else "MISSED")
PY
