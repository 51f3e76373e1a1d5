#!/usr/bin/env bash
# Installs the Debian packages that building, testing and benchmarking need.
# Idempotent: does nothing when everything is present.
set -euo pipefail

packages=(
  # build
  cmake ninja-build g++ make pkg-config
  # tests and benchmarks
  googletest libgtest-dev libgmock-dev libbenchmark-dev libfftw3-dev
  # libsoxr beside the sample-rate converter (linked into its benchmark only)
  libsoxr-dev
  # peers that the format tests compare against
  sox ffmpeg sndfile-programs python3 python3-numpy python3-scipy python3-mutagen
  # fuzzing: libstdc++ 12's <ranges> needs clang 16; libFuzzer comes with its runtime
  clang-16 libclang-rt-16-dev
  # OpenMP for the 1-bit filter threads: libgomp comes with g++, clang needs its own runtime
  libomp-16-dev
  # PNG output of the pictures
  libpng-dev
  # the JavaScript engine of the script host (amalgamated source) and its
  # command-line interpreter beside it in the script benchmark
  duktape-dev duktape
  # line editing for the console editor
  libreadline-dev
  # codec headers (the libraries themselves are loaded at run time) and the
  # codec peers of the tests and benchmarks
  libflac-dev libmpg123-dev libmp3lame-dev libvorbis-dev libopusfile-dev libopusenc-dev
  libavformat-dev libavcodec-dev libavutil-dev libswresample-dev
  flac lame vorbis-tools opus-tools
  # sound devices (libasound2 is linked; the devices work without a card) and the playback benchmark peers
  libasound2-dev alsa-utils
  # iconv code-page modules live in libc-bin/libc6 (always present on Debian)
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "install-deps: installing ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then
    SUDO=sudo
  else
    echo "install-deps: these packages are missing and this user cannot install them: ${missing[*]}" >&2
    exit 1
  fi
else
  SUDO=
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
