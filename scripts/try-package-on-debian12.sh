#!/usr/bin/env bash
# Installs the release package on a fresh Debian 12 (a debootstrap chroot)
# and runs the programs there: make package && scripts/try-package-on-debian12.sh
# Needs root, debootstrap and the network; not part of make check.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
deb="$(ls "$root"/build-package/vltrx_*_amd64.deb | head -1)"
target="${1:-$(mktemp -d /var/tmp/vltrx-deb12-XXXXXX)}"
command -v debootstrap >/dev/null || apt-get install -y debootstrap >/dev/null
[ -x "$target/bin/bash" ] || debootstrap --variant=minbase bookworm "$target" http://deb.debian.org/debian >/dev/null
cp /etc/resolv.conf "$target/etc/"
cp "$deb" "$root/samples/site-survey.csv" "$target/tmp/"
cat > "$target/tmp/try.sh" <<'INNER'
export DEBIAN_FRONTEND=noninteractive HOME=/tmp/home
rm -rf /tmp/run && mkdir -p $HOME /tmp/run && cp /tmp/site-survey.csv /tmp/run/ && cd /tmp/run
apt-get update -qq && apt-get install -y -qq /tmp/vltrx_*_amd64.deb >/tmp/apt.log 2>&1 || { tail -20 /tmp/apt.log; exit 1; }
vltrx -version; [ $? -eq 72 ] || exit 1
vltrx site-survey.csv survey.xml -in:csv -out:xml -nodialog || exit 1
vltrx survey.xml survey.gsi -nodialog || exit 1
head -1 survey.gsi
vltrx -help | grep -q GeoJSON || { echo "plug-ins not listed"; exit 1; }
QT_QPA_PLATFORM=offscreen VLTRX_UPDATE_CHECK=0 timeout 5 vltrx-gui -lang:en
[ $? -eq 124 ] || { echo "vltrx-gui did not stay up"; exit 1; }
ls /usr/share/doc/vltrx/manual.html /usr/share/man/man1/vltrx.1 >/dev/null || exit 1
echo "package works on a fresh Debian 12"
INNER
# The programs find their shared files through /proc/self/exe.
mount -t proc proc "$target/proc"
trap 'umount "$target/proc"' EXIT
chroot "$target" /bin/bash /tmp/try.sh
