#!/usr/bin/env bash
# Installs, from Debian's own packages, whatever a fresh Debian 12 needs to
# build, run and test Kalvo. Safe to run again: it installs only what is missing.
set -euo pipefail

packages=(
  # build
  build-essential cmake pkg-config libsdl2-dev libgl-dev libx11-dev
  # tests and benchmarks
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth xdotool python3 python3-xlib python3-pil libgl1-mesa-dri
  # the message box draws with the X server's core fonts, the plot with DejaVu
  xfonts-base fonts-dejavu-core
  # packaging
  desktop-file-utils file
  # lint
  clang-format clang-tidy

  # Windows: the cross compiler; Wine, to run the Windows build's tests; a
  # Japanese font for its message box; NSIS, for its installer
  g++-mingw-w64-x86-64-posix wine wine64 fonts-ipafont-gothic nsis
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if ((${#missing[@]})); then
  if [[ $(id -u) -ne 0 ]]; then
    echo "install-deps: missing packages: ${missing[*]}" >&2
    echo "install-deps: run as root, or: sudo apt-get install ${missing[*]}" >&2
    exit 1
  fi
  echo "install-deps: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
