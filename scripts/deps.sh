#!/bin/sh
# Installs the Debian packages the build and the tests need, when they are missing,
# and the Khronos glTF validator (npm) into the user's cache folder.
set -eu
PACKAGES="build-essential cmake pkg-config libgtest-dev libbenchmark-dev libfreeimage-dev \
assimp-utils imagemagick clang libclang-rt-14-dev man-db nlohmann-json3-dev"
missing=""
for p in $PACKAGES; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
# A machine may carry another build of node that brings its own npm: either will do.
command -v npm >/dev/null 2>&1 || missing="$missing nodejs npm"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
if [ -n "$missing" ]; then
  echo "installing:$missing"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq $missing >/dev/null
fi

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
