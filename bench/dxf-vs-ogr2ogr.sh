#!/usr/bin/env bash
# DXF -> CSV with vltrx and with GDAL's ogr2ogr on the same generated
# drawing, in the same run: wall time and peak memory of each.
#   bench/dxf-vs-ogr2ogr.sh [build-dir] [entities]   (default build-bench, 1000000)
# Needs the dxf_bench and vltrx binaries of a bench build and gdal-bin.
set -euo pipefail
BUILD=${1:-build-bench}
N=${2:-1000000}
root="$(cd "$(dirname "$0")/.." && pwd)"
work="$(mktemp -d "${TMPDIR:-/tmp}/dxf-vs-ogr2ogr-XXXXXX")"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/config" "$work/data" "$work/tmp"
export VLTRX_USER_SETTINGS="$work/config/settings.db" VLTRX_MACHINE_SETTINGS="$work/config/machine.db"
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" TMPDIR="$work/tmp"

"$BUILD/bench/dxf_bench" generate "$N" "$work/big.dxf"
# The generated file is written back before the runs, not during them.
sync
measure() {
  local name=$1
  shift
  /usr/bin/time -f "$name: %e s wall, %U s user, %S s sys, %M KB peak" "$@" >/dev/null 2>"$work/time.txt" </dev/null || {
    cat "$work/time.txt" >&2
    exit 1
  }
  tail -1 "$work/time.txt"
}
measure vltrx "$BUILD/app/vltrx" "$work/big.dxf" "$work/vltrx.csv" -in:dxf -out:csv -nodialog
measure ogr2ogr ogr2ogr -f CSV "$work/ogr.csv" "$work/big.dxf" -lco GEOMETRY=AS_XYZ
ls -l "$work/big.dxf" "$work/vltrx.csv" "$work/ogr.csv" | awk '{print $5, $9}'
if [ -n "${KEEP_OUTPUT:-}" ]; then cp "$work/vltrx.csv" "$KEEP_OUTPUT"; fi
