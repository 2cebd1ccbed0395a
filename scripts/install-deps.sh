#!/usr/bin/env bash
# Installs, from Debian's own packages, what a fresh Debian 12 needs for the
# groups asked for (default: build). Safe to run again: it installs only what
# is missing. Only apt needs root: as another user it asks through sudo.
#   scripts/install-deps.sh [build] [test] [lint] [bench] [windows] [web]
set -euo pipefail

declare -A groups=(
  # the program and its Debian package (CPack's DEB generator runs file)
  [build]="build-essential cmake pkg-config libsdl2-dev libgl-dev libx11-dev libwayland-dev libpng-dev
          file"
  # the suite: GoogleTest, a private X server and the tools to look at and
  # poke its windows, Mesa's software renderer, the X core fonts the message
  # box draws with, and the Debian package's checkers and SVG renderer; weston
  # nested in that X server, with XWayland and the window frames' plugin, for
  # the Wayland tests
  [test]="googletest libgtest-dev libgmock-dev xvfb xauth xdotool python3 python3-xlib
          python3-pil libgl1-mesa-dri xfonts-base desktop-file-utils lintian appstream
          librsvg2-bin weston xwayland libdecor-0-plugin-1-cairo"
  [lint]="clang-format clang-tidy"
  # the figures: Google Benchmark, a private X server poked with xdotool,
  # weston nested in it for the Wayland figures, and numpy and matplotlib for
  # the percentiles and the plot
  [bench]="libbenchmark-dev xvfb xdotool weston libgl1-mesa-dri python3 python3-numpy
           python3-matplotlib"

  # the Windows build: the cross compiler; icotool, for its icon; Wine, to run
  # its tests; a Japanese font for its message box; NSIS, for its installer
  [windows]="g++-mingw-w64-x86-64-posix icoutils wine wine64 fonts-ipafont-gothic nsis"
  # the browser build: Emscripten and the Node it runs on (which also runs
  # the unit tiers), GoogleTest's source to build for wasm32, the host's
  # libpng for the icon; terser to minify kalvo.js; a headless Chromium
  # driven through WebDriver, with Pillow to read its screenshots; a
  # Japanese font for its message
  [web]="emscripten nodejs googletest terser chromium chromium-driver python3 python3-selenium
         python3-pil fonts-ipafont-gothic"
)

wanted=()
for group in "${@:-build}"; do
  [[ -v groups[$group] ]] || { echo "install-deps: no group '$group' (${!groups[*]})" >&2; exit 2; }
  read -ra list <<<"${groups[$group]//$'\n'/ }"
  wanted+=("${list[@]}")
done

missing=()
for p in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
((${#missing[@]})) || exit 0

as_root=()
if [[ $(id -u) -ne 0 ]]; then
  command -v sudo >/dev/null || {
    echo "install-deps: missing ${missing[*]}; install them as root, or install sudo" >&2
    exit 1
  }
  as_root=(sudo)
fi
echo "install-deps: installing ${missing[*]}"
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
