#!/usr/bin/env bash
# Installs what is needed, builds, and runs the program on built-in material.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release -j "$(nproc)" --target tidemark-demo tidemark
out=${1:-build/demo}
# The demonstration makes the sample sounds; then the console editor runs the
# example session on one of them (it saves demo-edited.wav and .aiff there).
build/release/bin/tidemark-demo "$out"
# Pictures of the test sound: the README's picture is docs/demo-waveform.png,
# made by this step at 800x240.
echo "== pictures: $out/demo-waveform.png, $out/demo-spectrogram.png"
(cd "$out" && "$root/build/release/bin/tidemark" demo-Wave16.wav <<'PICTURES'
picture demo-waveform.png waveform 800x240
picture demo-spectrogram.png spectrogram 800x240 freq=log
PICTURES
)
echo
echo "== console editor: tidemark demo-Wave16.wav < examples/edit-demo.txt"
cd "$out"
exec "$root/build/release/bin/tidemark" demo-Wave16.wav <"$root/examples/edit-demo.txt"
