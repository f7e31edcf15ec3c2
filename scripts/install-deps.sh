#!/usr/bin/env bash
# Installs the Debian packages that building, testing and the demo need.
# Runs apt-get only when something is missing, so a prepared machine pays nothing.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev qt6-serialport-dev qt6-charts-dev libqt6opengl6-dev libgl-dev libxkbcommon-dev
  libcurl4-openssl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  python3-aiosmtpd
  # tests: throw-away certificates for the mail server's STARTTLS and TLS
  openssl
  # tests: a standard Modbus RTU slave on a pty pair judges our polling and reception
  python3-pymodbus python3-serial python3-serial-asyncio socat
  # the monitor's print tests read the PDF's text
  poppler-utils
  clang libclang-rt-14-dev
  # MQTT publishing: the client library and JSON; the broker, its clients and throw-away
  # certificates for the tests and benchmarks
  libmosquitto-dev nlohmann-json3-dev mosquitto mosquitto-clients openssl
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
