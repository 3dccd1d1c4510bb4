#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for a while: scripts/fuzz.sh <build-dir> <seconds>
set -euo pipefail
build="$1"
seconds="${2:-60}"
root="$(cd "$(dirname "$0")/.." && pwd)"
for exe in "$build"/fuzz/*_fuzzer; do
  name="$(basename "$exe" _fuzzer)"
  corpus="$build/corpus/$name"
  mkdir -p "$corpus"
  seeds=()
  for d in "$root/fuzz/corpus/$name" "$root/fuzz/corpus/${name%_reader}" \
           "$root/tests/data/${name%_file}"; do
    [ -d "$d" ] && seeds+=("$d")
  done
  echo "== $name (${seconds}s)"
  "$exe" -max_total_time="$seconds" -timeout=10 -artifact_prefix="$build/" "$corpus" "${seeds[@]}" 2>&1 | tail -3
done
