#!/usr/bin/env bash
# Whole jobs, from files to files: keys a 1080p sequence over a background plate with pxhost at
# 1 and 2 threads, and as two one-thread processes that key half the frames each at once (what
# the two processors give with no hand-over between threads, start-up twice: the bound a second
# thread is measured against), and, when FFmpeg is installed, runs the same job through FFmpeg (colorkey,
# despill and overlay, image sequences in and out), and prints frames per second side by side,
# start-up included. Two jobs: 8-bit PNG in and out (each writer's default compression), and
# 16-bit uncompressed TIFF in and out.
#
#   bench/bench_end_to_end.sh [BUILD_DIR] [WORK_DIR]
#
# BUILD_DIR defaults to build/release; WORK_DIR, which needs about 1.5 GB for the default 30
# frames (FRAMES=n to change), defaults to a fresh folder under /tmp, removed afterwards.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
pxhost=$build/bin/pxhost
frames=${FRAMES:-30}
[ -x "$pxhost" ] || { echo "bench_end_to_end: $pxhost not built" >&2; exit 2; }
if [ -n "${2:-}" ]; then
  work=$2
  mkdir -p "$work"
else
  work=$(mktemp -d /tmp/pxhost-e2e-XXXXXX)
  trap 'rm -rf "$work"' EXIT
fi
pxhost=$(realpath "$pxhost")
cd "$work"

# The demo's screen colour (0.05, 0.11, 0.40) as an 8-bit hexadecimal colour for FFmpeg.
screen=0x0D1C66
ffmpeg_filter="[0:v]colorkey=${screen}:0.3:0.1,despill=type=blue[key];[1:v][key]overlay=format=auto"

"$pxhost" -q --demo-inputs in >/dev/null
# Job name, extension, pxhost depth and compression, FFmpeg output options.
jobs=(
  "png8|png|8||-pix_fmt rgb24"
  "tiff16|tif|16|none|-pix_fmt rgb48le -compression_algo raw"
)

seconds_of() {  # runs a command, prints its wall-clock seconds
  local start end
  start=$(date +%s.%N)
  # A job that fails has no speed worth printing.
  "$@" >/dev/null || { echo "bench_end_to_end: failed: $*" >&2; exit 1; }
  end=$(date +%s.%N)
  echo "$end - $start" | bc -l
}

split_seconds() {  # key.pxs's frames as two one-thread processes at once, wall-clock seconds
  local start end half=$((frames / 2)) first
  start=$(date +%s.%N)
  "$pxhost" -q --threads 1 -t "1-$half" "$1" >/dev/null &
  first=$!
  "$pxhost" -q --threads 1 -t "$((half + 1))-$frames" "$1" >/dev/null ||
    { echo "bench_end_to_end: failed: $pxhost $1" >&2; exit 1; }
  wait "$first" || { echo "bench_end_to_end: failed: $pxhost $1" >&2; exit 1; }
  end=$(date +%s.%N)
  echo "$end - $start" | bc -l
}
printf '%-28s %14s %14s %14s %14s %14s\n' job "pxhost 1 thr" "pxhost 2 thr" "2 x 1 thr" \
  "FFmpeg 1 thr" "FFmpeg 2 thr"
for job in "${jobs[@]}"; do
  IFS='|' read -r name ext depth compression ffopts <<<"$job"
  mkdir -p "$name/in" "$name/out"
  "$pxhost" -q -t "1-$frames" -e "
    FileOut(FileIn(\"in/bluescreen.png\"), \"$name/in/fg.####.$ext\", \"$depth\", \"rgb\", \"$compression\");
    FileOut(FileIn(\"in/background.png\"), \"$name/in/bg.####.$ext\", \"$depth\", \"rgb\", \"$compression\");"
  cat >"$name/key.pxs" <<SCRIPT
key = Zephra_1v4(FileIn("in/fg.####.$ext"), FileIn("in/bg.####.$ext"), 0, 0,
                 "composite", 0.05, 0.11, 0.40, 0.05);
FileOut(key, "out/key.####.$ext", "$depth", "rgb", "$compression");
SCRIPT
  row=()
  for threads in 1 2; do
    rm -f "$name"/out/*
    s=$(seconds_of "$pxhost" -q --threads "$threads" -t "1-$frames" "$name/key.pxs")
    row+=("$(printf '%.2f' "$(echo "$frames / $s" | bc -l)")")
  done
  rm -f "$name"/out/*
  s=$(split_seconds "$name/key.pxs")
  row+=("$(printf '%.2f' "$(echo "$frames / $s" | bc -l)")")
  for threads in 1 2; do
    if command -v ffmpeg >/dev/null; then
      rm -f "$name"/out/*
      # shellcheck disable=SC2086  # ffopts holds several options
      s=$(seconds_of ffmpeg -nostdin -loglevel error -threads "$threads" \
        -filter_threads "$threads" -filter_complex_threads "$threads" \
        -start_number 1 -i "$name/in/fg.%04d.$ext" -start_number 1 -i "$name/in/bg.%04d.$ext" \
        -filter_complex "$ffmpeg_filter" $ffopts -threads "$threads" "$name/out/ff.%04d.$ext")
      row+=("$(printf '%.2f' "$(echo "$frames / $s" | bc -l)")")
    else
      row+=("-")
    fi
  done
  printf '%-28s %14s %14s %14s %14s %14s\n' "$name ($frames frames 1920x1080)" "${row[@]}"
done
echo
echo "frames per second, wall clock, start-up included; '-': FFmpeg not installed."
echo "machine: $(nproc) processors, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
echo "load average at the end (other work on the machine): $(cut -d' ' -f1-3 /proc/loadavg)"
