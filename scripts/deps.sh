#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the game need. Instant when nothing
# is missing: the package lists are only refreshed when something must be installed.
set -euo pipefail

PACKAGES=(
  g++ clang cmake ninja-build pkg-config
  libsdl2-dev libpng-dev zlib1g-dev libjpeg62-turbo-dev libogg-dev libvorbis-dev
  libfreetype-dev libfontconfig-dev libmpg123-dev
  libavformat-dev libavcodec-dev libswscale-dev libswresample-dev
  fonts-ipafont-gothic fonts-wqy-zenhei
  libgtest-dev libgmock-dev xvfb xauth
  xdotool  # synthetic X key events for the keyboard test in a real window
  openbox x11-utils  # a window manager, and xprop to wait for it, for the window-frame test
  libbenchmark-dev libbz2-dev libpixman-1-dev libclang-rt-14-dev
  sox libsox-fmt-mp3  # makes the ADPCM and MP3 sound fixtures of the tests
  valgrind  # the CI pass over the decoders that write into our buffers
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "deps: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
