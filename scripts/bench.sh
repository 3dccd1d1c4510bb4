#!/usr/bin/env bash
# Runs every benchmark binary of a bench build in turn: scripts/bench.sh [build-dir]
set -euo pipefail

BUILD=${1:-build-bench}
BENCHES=(
  store_bench
  native_xml_bench
  csv_bench
  dxf_bench
  txtgsi_bench
)

for b in "${BENCHES[@]}"; do
  exe="$BUILD/bench/$b"
  if [ ! -x "$exe" ]; then
    echo "bench: $exe missing" >&2
    exit 1
  fi
  echo "== $b"
  "$exe"
done
