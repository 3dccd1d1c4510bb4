#!/usr/bin/env bash
# The main job on the shipped samples: survey points from a spreadsheet table
# to the native XML format and back, a native XML plan to a folder, a drawing
# to a table, and the survey to the field and drawing formats (GSI, REB,
# DXF, SVG).
# Runs with its own settings and category folders below the build tree, so
# the demo never changes the settings of the user who runs it.
set -euo pipefail
exe="$(realpath "$1")"
root="$(cd "$(dirname "$0")/.." && pwd)"
demo="$root/build/demo"
rm -rf "$demo"
mkdir -p "$demo/out" "$demo/config" "$demo/data" "$demo/tmp"
export VLTRX_USER_SETTINGS="$demo/config/settings.db"
export VLTRX_MACHINE_SETTINGS="$demo/config/machine.db"
export XDG_CONFIG_HOME="$demo/config" XDG_DATA_HOME="$demo/data" TMPDIR="$demo/tmp"

run() {
  echo "\$ vltrx $*"
  "$exe" "$@" </dev/null
}

run "$root/samples/site-survey.csv" "$demo/out/site-survey.xml" -nodialog
run "$demo/out/site-survey.xml" "$demo/out/site-survey-back.csv" -out:csv -nodialog
run "$root/samples/site-plan.xml" "$demo/out/site-plan/" -out:csv -nodialog
run "$root/samples/site-plan.dxf" "$demo/out/site-plan-dxf.csv" -in:dxf -out:csv -nodialog
run "$root/samples/site-survey.csv" "$demo/out/site-survey.gsi" -nodialog
run "$root/samples/site-survey.csv" "$demo/out/site-survey.reb" -out:da45,da49 -nodialog
run "$demo/out/site-survey.xml" "$demo/out/site-survey.dxf" -pid:0.5 -nodialog
run "$demo/out/site-survey.xml" "$demo/out/site-survey.svg" -pid:0.5 -nodialog

echo
echo "Output written to $demo/out:"
(cd "$demo/out" && find . -type f | sort | sed 's/^\.\//  /')
echo
echo "--- site-survey-back.csv ---"
tr -d '\r' < "$demo/out/site-survey-back.csv"
