#!/usr/bin/env bash
# DXF -> CSV of survey drawings with point blocks and number labels, at
# two sizes: point ids from the block attribute with anchors only
# (-block:bp -pidin:2), from the TEXT labels (-pidin:0 on PNR_TEXT), and
# from the attribute with the blocks expanded (-block:).
#   bench/dxf-blocks.sh [build-dir] [small] [large]   (default build-bench, 20000, 200000)
set -euo pipefail
BUILD=${1:-build-bench}
SMALL=${2:-20000}
LARGE=${3:-200000}
root="$(cd "$(dirname "$0")/.." && pwd)"
work="$(mktemp -d "${TMPDIR:-/tmp}/dxf-blocks-XXXXXX")"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/config" "$work/data" "$work/tmp"
export VLTRX_USER_SETTINGS="$work/config/settings.db" VLTRX_MACHINE_SETTINGS="$work/config/machine.db"
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" TMPDIR="$work/tmp"

measure() {
  local name=$1
  shift
  rm -f "$work"/*.csv
  /usr/bin/time -f "$name: %e s wall, %U s user, %M KB peak" "$@" >/dev/null 2>"$work/time.txt" </dev/null || {
    cat "$work/time.txt" >&2
    exit 1
  }
  tail -1 "$work/time.txt"
}
for n in "$SMALL" "$LARGE"; do
  /usr/bin/python3 "$root/bench/make-dxf-blocks.py" "$n" "$work/survey.dxf"
  echo "$n point blocks and $n labels: $(stat -c %s "$work/survey.dxf") bytes"
  measure "  attributes, -block:bp" "$BUILD/app/vltrx" "$work/survey.dxf" "$work/a.csv" -in:dxf -out:csv -nodialog \
    -block:bp -pidin:2,0.01,,PNR
  measure "  labels, -pidin:0" "$BUILD/app/vltrx" "$work/survey.dxf" "$work/b.csv" -in:dxf -out:csv -nodialog \
    -block:bp "-pidin:0,-0.5,PNR_TEXT"
  measure "  attributes, -block: (expanded)" "$BUILD/app/vltrx" "$work/survey.dxf" "$work/c.csv" -in:dxf -out:csv \
    -nodialog -block: -pidin:2,0.01,,PNR
done
