#!/usr/bin/env bash
# ESRI ASCII grid -> CSV with vltrx and with GDAL's gdal_translate -of XYZ on
# the same generated grid, in the same run: wall, user and system time and
# peak memory of each.
#   bench/grid-vs-gdal.sh [build-dir] [size]   (default build-bench, 3000: a 3000 x 3000 grid)
# The grid holds survey-like heights ("%.3f", about 8 bytes a cell) with 5 %
# no-data cells. Needs the vltrx binary of a bench build and gdal-bin.
set -euo pipefail
BUILD=${1:-build-bench}
N=${2:-3000}
work="$(mktemp -d "${TMPDIR:-/tmp}/grid-vs-gdal-XXXXXX")"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/config" "$work/data" "$work/tmp"
export VLTRX_USER_SETTINGS="$work/config/settings.db" VLTRX_MACHINE_SETTINGS="$work/config/machine.db"
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" TMPDIR="$work/tmp"

# A fixed linear congruential sequence: the same grid on every run.
awk -v n="$N" 'BEGIN {
  printf "ncols %d\r\nnrows %d\r\nxllcorner 505000.000\r\nyllcorner 5405000.000\r\ncellsize 0.5\r\nNODATA_value -9999\r\n", n, n
  s = 12345
  for (r = 0; r < n; r++) {
    line = ""
    for (c = 0; c < n; c++) {
      s = (s * 1103515245 + 12345) % 2147483648
      if (s % 100 < 5) v = "-9999"
      else v = sprintf("%.3f", 400 + r * 0.01 + c * 0.005 + (s % 1000) / 1000)
      line = line (c ? " " v : v)
    }
    printf "%s\r\n", line
  }
}' >"$work/big.asc"
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
measure vltrx "$BUILD/app/vltrx" "$work/big.asc" "$work/vltrx.csv" -in:grid -out:csv -nodialog
measure gdal_translate gdal_translate -q -of XYZ "$work/big.asc" "$work/gdal.xyz"
ls -l "$work/big.asc" "$work/vltrx.csv" "$work/gdal.xyz" | awk '{print $5, $9}'
if [ -n "${KEEP_OUTPUT:-}" ]; then cp "$work/vltrx.csv" "$KEEP_OUTPUT"; fi
