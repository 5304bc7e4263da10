#!/usr/bin/env bash
# The analysis-quality benchmarks, all through lightbeat's --file mode, with
# aubio's aubioonset on the same files in the same run: onsets on generated
# drum patterns (F, precision, recall at +-50 ms), tempo and seconds to lock,
# CPU per second of 48 kHz stereo, and the spectrum style on real music
# (Debian's wesnoth-1.16-music). Prints Markdown tables.
#   bash scripts/bench-music.sh              (every track; about ten minutes)
#   MUSIC_TRACKS=8 bash scripts/bench-music.sh   (a spread of eight tracks)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
require_jobs linux bench

cmake --preset linux >/dev/null
cmake --build --preset linux -j2 --target lightbeat >/dev/null

signals=build/linux/bench-music/signals
if [[ ! -f $signals/index.tsv || bench/music/make_signals.py -nt $signals/index.tsv ]]; then
  echo "generating the test signals in $signals ..." >&2
  /usr/bin/python3 bench/music/make_signals.py "$signals"
fi
music=$(dirname "$(dpkg -L wesnoth-1.16-music | grep -m1 '\.ogg$')")

echo "=== machine"
echo "cores: $(nproc); CPU: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //');" \
     "aubio-tools $(dpkg-query -W -f '${Version}' aubio-tools)"
echo
/usr/bin/python3 bench/music/music_bench.py --lightbeat build/linux/tools/lightbeat \
  --signals "$signals" --music "$music" --tracks "${MUSIC_TRACKS:-0}"
