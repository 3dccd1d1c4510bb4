#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for a while: scripts/fuzz.sh <build-dir> <seconds>
set -euo pipefail
build="$1"
seconds="${2:-60}"
root="$(cd "$(dirname "$0")/.." && pwd)"

# Seed folders of a target, relative to the repository: its corpus under
# fuzz/corpus and the test fixtures of the format it reads.
seeds_of() {
  case "$1" in
    category_file) echo "tests/data/categories" ;;
    csv_reader) echo "fuzz/corpus/csv tests/data/csv" ;;
    txt_reader) echo "tests/data/txt" ;;
    gsi_reader) echo "tests/data/gsi" ;;
    native_xml_reader) echo "fuzz/corpus/native_xml" ;;
    option_file) echo "tests/data/trxopt" ;;
    *) echo "fuzz/corpus/$1" ;;
  esac
}

for exe in "$build"/fuzz/*_fuzzer; do
  name="$(basename "$exe" _fuzzer)"
  corpus="$build/corpus/$name"
  mkdir -p "$corpus"
  seeds=()
  for d in $(seeds_of "$name"); do
    if [ -d "$root/$d" ]; then
      seeds+=("$root/$d")
    else
      echo "fuzz.sh: seed folder $d of $name is missing" >&2
      exit 1
    fi
  done
  echo "== $name (${seconds}s)"
  "$exe" -max_total_time="$seconds" -timeout=10 -artifact_prefix="$build/" "$corpus" "${seeds[@]}" 2>&1 | tail -3
done
