#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need (with the
# argument "fuzz" also clang and libFuzzer). A warm machine pays one dpkg
# query; a fresh one (CI) gets apt-get install as root.
set -euo pipefail

PACKAGES=(
  cmake ninja-build g++ make pkg-config
  libgtest-dev libgmock-dev
  libsqlite3-dev
  libcurl4-openssl-dev ca-certificates
  python3
  python3-ezdxf python3-markdown
  xsltproc gdal-bin libxml2-utils
  chromium
  qt6-base-dev xvfb xauth fonts-dejavu-core
  shared-mime-info xdotool groff-base man-db
)
if [ "${1:-}" = fuzz ]; then PACKAGES+=(clang libclang-rt-14-dev); fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg -s "$p" >/dev/null 2>&1; then missing+=("$p"); fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ] && command -v apt-get >/dev/null; then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
else
  echo "setup: missing packages: ${missing[*]} (install them, or run as root)" >&2
  exit 1
fi
