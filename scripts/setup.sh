#!/usr/bin/env bash
# Installs what the build needs on a fresh Debian 12 machine; a no-op when all is present.
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-svg-dev libgl-dev libicu-dev zlib1g-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libxcb1-dev xvfb xauth imagemagick fonts-dejavu-core desktop-file-utils)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
# Node is only needed to unpack the pinned grammar sources; keep a node that is already there.
command -v npm >/dev/null 2>&1 || missing+=(nodejs npm)

if ((${#missing[@]})); then
  SUDO=""
  [[ $(id -u) -ne 0 ]] && SUDO="sudo"
  echo "setup: installing ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

stamp=third_party/node_modules/.brimel-stamp
if [[ ! -f $stamp || third_party/package-lock.json -nt $stamp ]]; then
  echo "setup: installing pinned tree-sitter sources"
  (cd third_party && npm ci --ignore-scripts --legacy-peer-deps --no-audit --no-fund --loglevel=error)
  touch "$stamp"
fi
