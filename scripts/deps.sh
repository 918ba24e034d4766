#!/bin/sh
# Installs the Debian packages the build and the tests need, when they are missing.
set -eu
PACKAGES="build-essential cmake pkg-config libgtest-dev libbenchmark-dev libfreeimage-dev \
assimp-utils imagemagick clang libclang-rt-14-dev man-db"
missing=""
for p in $PACKAGES; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
echo "installing:$missing"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq $missing >/dev/null
