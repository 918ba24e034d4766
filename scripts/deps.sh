#!/bin/sh
# Installs the Debian packages of a set when they are missing.
#
# usage: scripts/deps.sh [demo|test]
#   demo  what building corvane and running it needs: a compiler, CMake,
#         FreeImage's runtime (opened when the first image is written) and
#         libspng's (the glTF writer's PNG encoder, linked)
#   test  that, plus what the test suite, the install tests (C, libc++ and
#         Python consumers), the format check, the benchmarks and
#         the fuzz targets use, with the JSON library of the glTF writer and
#         tinygltf and libspng of the glTF sources (the default); also the
#         Khronos glTF validator (npm) into the user's cache folder, and the
#         clients that the client tests run: Blender (its glTF importer needs
#         numpy), Godot 3, Chromium with three.js and playwright-core (npm, into
#         the cache folder too), the game engine with its QuakeC compiler (and
#         Python, which drives that test), and Xvfb
set -eu
DEMO="build-essential cmake libfreeimage3 libspng0"
TEST="$DEMO file pkg-config libgtest-dev libbenchmark-dev assimp-utils imagemagick clang libclang-rt-14-dev man-db nlohmann-json3-dev libtinygltf-dev libspng-dev clang-format libc++-dev libc++abi-dev python3 git"
CLIENTS="blender python3-numpy godot3 chromium quakespasm fteqcc xvfb xauth python3"
SET="${1:-test}"
case "$SET" in
  demo) PACKAGES="$DEMO" ;;
  test) PACKAGES="$TEST $CLIENTS" ;;
  *) echo "usage: $0 [demo|test]" >&2; exit 2 ;;
esac
missing=""
for p in $PACKAGES; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
# A machine may carry another build of node that brings its own npm: either will do.
[ "$SET" = test ] && ! command -v npm >/dev/null 2>&1 && missing="$missing nodejs npm"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
if [ -n "$missing" ]; then
  echo "installing:$missing"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq $missing >/dev/null
fi

[ "$SET" = test ] || exit 0

# Where tests/CMakeLists.txt looks for it (VARNEL_GLTF_VALIDATOR_DIR).
VALIDATOR_VERSION="2.0.0-dev.3.10"
validator="${XDG_CACHE_HOME:-$HOME/.cache}/varnel/gltf-validator"
if ! grep -qs "\"version\": \"$VALIDATOR_VERSION\"" "$validator/node_modules/gltf-validator/package.json"; then
  echo "installing: gltf-validator $VALIDATOR_VERSION into $validator"
  mkdir -p "$validator"
  # Without it the validator tests skip (and say so); the rest of the suite still runs.
  npm install --silent --no-audit --no-fund --prefix "$validator" "gltf-validator@$VALIDATOR_VERSION" >/dev/null ||
    echo "warning: gltf-validator could not be installed; its tests will skip" >&2
fi

# Where tests/browser/ looks for them; without them the browser test skips.
THREE_VERSION="0.160.0"
PLAYWRIGHT_VERSION="1.65.2"
browser="${XDG_CACHE_HOME:-$HOME/.cache}/varnel/browser"
if ! grep -qs "\"version\": \"$THREE_VERSION\"" "$browser/node_modules/three/package.json" ||
   ! grep -qs "\"version\": \"$PLAYWRIGHT_VERSION\"" "$browser/node_modules/playwright-core/package.json"; then
  echo "installing: three $THREE_VERSION and playwright-core $PLAYWRIGHT_VERSION into $browser"
  mkdir -p "$browser"
  npm install --silent --no-audit --no-fund --prefix "$browser" "three@$THREE_VERSION" "playwright-core@$PLAYWRIGHT_VERSION" >/dev/null ||
    echo "warning: three or playwright-core could not be installed; the browser test will skip" >&2
fi
