#!/usr/bin/env bash
# Runs the tests of the code that hands our buffers to outside decoders (FFmpeg for movies,
# mpg123, libpng, libjpeg, libvorbis) under valgrind, over the Release build of
# `./test.sh --release`. Valgrind sees writes those libraries make past our blocks, which
# AddressSanitizer cannot. Any error fails the run; leaks are left to the sanitizer builds.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/test-release}
command -v valgrind >/dev/null || { echo "valgrind is missing (scripts/deps.sh installs it)" >&2; exit 2; }

# binary and gtest filter: the movie glue and scene, the picture decoders, the sound decoders
runs=(
  "test_platform MoviePictureRows.*:MovieDraw.*:MovieConvert.*:*YuvRows.EachPixel*:AudioConverter.*"
  "test_devices GlueTest.*:DisplayTest.Movies*:SoundTest.*:StreamTest.*"
  "test_scenes MovieUnitTest.*"
  "test_media LoadBmp.*:BmpReaders.*:LoadAlpha.*:LoadPalette.*:LoadGny.*:LoadJpeg.*:LoadPng*:ChkChannelPng.*:SavePng.*:ZRAdx.*:Msm6258Codec.*:ZRAdpStream.*:ZROggStream.*:ZRWaveStream.*:ZRMp3Stream.*"
)

export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
status=0
for run in "${runs[@]}"; do
  read -r bin filter <<<"$run"
  echo "== valgrind $bin $filter"
  (cd "$build" && valgrind -q --error-exitcode=99 --leak-check=no --track-origins=no \
      "./$bin" --gtest_filter="$filter" --gtest_brief=1) || status=1
done
exit $status
