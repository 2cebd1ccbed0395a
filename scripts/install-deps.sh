#!/usr/bin/env bash
# Installs, from Debian's own packages, whatever a fresh Debian 12 needs to
# build, run and test Kalvo. Safe to run again: it installs only what is missing.
set -euo pipefail

packages=(
  # build
  build-essential cmake pkg-config libsdl2-dev libgl-dev libx11-dev
  # tests and benchmarks
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth xdotool x11-utils imagemagick python3 libgl1-mesa-dri valgrind
  # the message box draws with the X server's core fonts, the plot with DejaVu
  xfonts-base fonts-dejavu-core
  # packaging
  desktop-file-utils
  # lint
  clang-format clang-tidy
)
# benchmarks (scripts/dev bench): the report's percentiles and its plot
packages+=(python3-numpy python3-matplotlib)

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
