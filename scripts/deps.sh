#!/bin/sh
# Installs the Debian packages of a set when they are missing.
#
# usage: scripts/deps.sh [demo|test]
#   demo  what building corvane and running it needs: a compiler, CMake, and
#         FreeImage's runtime (opened when the first image is written)
#   test  that, plus what the test suite, the install test, the benchmarks and
#         the fuzz targets use (the default)
set -eu
DEMO="build-essential cmake libfreeimage3"
TEST="$DEMO file pkg-config libgtest-dev libbenchmark-dev assimp-utils imagemagick clang libclang-rt-14-dev man-db"
case "${1:-test}" in
  demo) PACKAGES="$DEMO" ;;
  test) PACKAGES="$TEST" ;;
  *) echo "usage: $0 [demo|test]" >&2; exit 2 ;;
esac
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
