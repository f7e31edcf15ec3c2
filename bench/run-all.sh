#!/usr/bin/env bash
# Runs every benchmark binary of a build: <build>/bin/*_bench, one after the other.
#   bench/run-all.sh [BUILD_DIR] [extra benchmark arguments...]
set -euo pipefail
build=${1:-$(cd "$(dirname "$0")/.." && pwd)/build}
shift || true
shopt -s nullglob
benches=("$build"/bin/*_bench)
if [ ${#benches[@]} -eq 0 ]; then
  echo "no *_bench binaries in $build/bin (configure with -DLEVELWATCH_BENCH=ON)" >&2
  exit 1
fi
status=0
for b in "${benches[@]}"; do
  echo "=== $(basename "$b")"
  "$b" "$@" || status=1
done
exit $status
