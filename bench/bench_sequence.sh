#!/usr/bin/env bash
# Keys a 100-frame 1080p 16-bit uncompressed TIFF sequence with 1 and 2 threads and reports
# frames per second and the share of time spent reading, keying and writing.
#
#   bench/bench_sequence.sh [BUILD_DIR] [WORK_DIR]
#
# BUILD_DIR defaults to build/release (pxhost in BUILD_DIR/bin); WORK_DIR, which needs about
# 3 GB, defaults to a fresh folder under /tmp and is removed afterwards unless given.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
pxhost=$build/bin/pxhost
frames=${FRAMES:-100}
[ -x "$pxhost" ] || { echo "bench_sequence: $pxhost not built" >&2; exit 2; }
if [ -n "${2:-}" ]; then
  work=$2
  mkdir -p "$work"
else
  work=$(mktemp -d /tmp/pxhost-bench-XXXXXX)
  trap 'rm -rf "$work"' EXIT
fi
pxhost=$(realpath "$pxhost")
cd "$work"

echo "making the input: $frames frames of 1920x1080 16-bit RGB uncompressed TIFF in $work/seq"
"$pxhost" -q --demo-inputs in >/dev/null
mkdir -p seq out
"$pxhost" -q -t "1-$frames" -e '
  FileOut(FileIn("in/bluescreen.png"), "seq/plate.####.tif", "16", "", "none");
  FileOut(FileIn("in/background.png"), "seq/bg.####.tif", "16", "", "none");'
cat >key.pxs <<'SCRIPT'
key = Zephra_1v4(FileIn("seq/plate.####.tif"), FileIn("seq/bg.####.tif"), 0, 0, "composite",
                 0.05, 0.11, 0.40, 0.05);
FileOut(key, "out/key.####.tif", "16", "rgb", "none");
SCRIPT

printf '\n%-8s %8s %8s %8s %8s %10s\n' threads fps read key write "wall fps"
for threads in 1 2; do
  rm -f out/*
  start=$(date +%s.%N)
  summary=$("$pxhost" -q -v --threads "$threads" -t "1-$frames" key.pxs 2>&1 | tail -n 1)
  end=$(date +%s.%N)
  # "<n> frames: read Xs (P%)  key Ys (Q%)  write Zs (R%)  F fps"
  read -r read_share key_share write_share fps < <(echo "$summary" |
    sed -E 's/.*read [0-9.]+s \(([0-9]+)%\) +key [0-9.]+s \(([0-9]+)%\) +write [0-9.]+s \(([0-9]+)%\) +([0-9.]+) fps.*/\1 \2 \3 \4/')
  wall=$(echo "$frames / ($end - $start)" | bc -l)
  printf '%-8s %8s %7s%% %7s%% %7s%% %10.2f\n' "$threads" "$fps" "$read_share" "$key_share" \
    "$write_share" "$wall"
done
echo
echo "fps: frames per second of render time (read + key + write); wall fps includes start-up."
echo "machine: $(nproc) processors, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
