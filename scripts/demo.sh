#!/usr/bin/env bash
# The main job on a shipped sample.
set -euo pipefail
exe="$1"
"$exe" || true
"$exe" -help:csv || true
