#!/usr/bin/env bash
# How the cost of a scan and an upgrade grows with the number of hubs, of
# images in Bin/ and of lines in SpiFlash.ini. Builds release binaries in
# build/bench, generates every case in build/bench/cases, runs each case a few
# times and prints the median CPU time (user + system) of tolvane-cli and its
# peak memory (the largest resident set of the runs, through GNU time; "-"
# where /usr/bin/time is missing).
#
#   bash scripts/bench.sh            # 3 runs per case
#   BENCH_RUNS=5 bash scripts/bench.sh
#   BENCH_ONLY=history bash scripts/bench.sh   # only the cost of --history
#   BENCH_ONLY=history-read bash scripts/bench.sh  # only reading huge histories
#   BENCH_HISTORY_RUNS=300000 ...   # runs in the history of many runs (3 million)
#   BENCH_ONLY=upgrade-cost bash scripts/bench.sh  # only against the least an upgrade costs
#   BENCH_ONLY=line-report bash scripts/bench.sh   # only the line's report over 20 histories
#   BENCH_LINE_RUNS=100000 ...      # runs across those histories (1 million)
#
# "growth" compares a case with the next smaller one of its series, per unit
# of input: 1.0 is linear, and anything well above 1.5 grows faster than its
# input. It is a benchmark, not a test: it never fails on a time. The last
# line compares the peak memory of 32 hubs x 30,000 images with that of
# 32 hubs x 10 images, which should stay within 2x.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=${BENCH_RUNS:-3}
build=build/bench
cases=$PWD/$build/cases

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DTOLVANE_QT=OFF -DTOLVANE_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target tolvane-cli tolvane-mkimage ZQ460API -j2 >/dev/null
cli=$(find "$PWD/$build" -name tolvane-cli -type f -perm -u+x | head -n1)
mkimage=$(find "$PWD/$build" -name tolvane-mkimage -type f -perm -u+x | head -n1)
rm -rf "$cases"
mkdir -p "$cases"
declare -A peaks

# A bench of n simulated hubs of one model, programmed at once.
write_bench() { # file hubs
  {
    printf '[Library]\nVersion=1\n[Registry]\nSYSTEM\\CurrentControlSet\\Services\\zq460filter=1\n'
    for ((h = 1; h <= $2; h++)); do
      printf '[Hub%d]\nVid=0x05E3\nPid=0x0610\nBcdUSB=0x0320\nDepth=1\nPortIndex=%d\nChipVersion=0x10\nUpdateMs=0\n' \
        "$h" "$h"
    done
  } >"$1"
}

# A Bin/ folder with images-1 images that do not fit (every tenth of them
# illegal when asked) and, last in listing order, the one that fits. Made
# once per kind and shared by the cases through a link.
image_folder() { # images illegal(yes|no)
  local folder=$cases/bin-$1-$2 name i
  if [ ! -d "$folder" ]; then
    mkdir -p "$folder"
    for ((i = 1; i < $1; i++)); do
      printf -v name '%s/IMG%05d.BIN' "$folder" "$i"
      if [ "$2" = yes ] && ((i % 10 == 0)); then
        printf '\x0d\x12\x00\x00' >"$name" # wrong size for its target
      else
        printf '\x0d\x14\x00\x00' >"$name" # another target
      fi
    done
    "$mkimage" "$folder/ZZFIT.BIN" --target 0x0D13 --flags 0x00 --version 0x0655 >/dev/null
  fi
  echo "$folder"
}

upgrade_case() { # name hubs images illegal
  local dir=$cases/$1
  mkdir -p "$dir"
  write_bench "$dir/HubBench.ini" "$2"
  printf '[TargetID_U3]\n05E30610=0D13\n[HUBModule]\nHUBNumber=1\n[HUBFWCheck]\nCheckHUBFW=0\n' >"$dir/SpiFlash.ini"
  ln -s "$(image_folder "$3" "$4")" "$dir/Bin"
}

junk() { # lines
  seq 1 "$1" | sed 's/.*/Junk&=a line that names no key/'
}

hub_keys() {
  printf 'NO.1HUBWantUpdateBinFile=ROOT.BIN\n'
  for ((h = 2; h <= 255; h++)); do
    printf 'NO.%dHUBDepth=1\nNO.%dHUBConnectionPortIndex=%d\nNO.%dHUBWantUpdateBinFile=H%d.BIN\n' \
      "$h" "$h" $((h % 16)) "$h" "$h"
  done
}

# where: front (junk before the sections) or inside (junk inside [HUBModule],
# before the hub keys).
settings_case() { # name lines where hubNumber
  local dir=$cases/$1
  mkdir -p "$dir"
  write_bench "$dir/HubBench.ini" 1
  ln -s "$(image_folder 1 no)" "$dir/Bin"
  {
    [ "$3" = front ] && junk "$2"
    printf '[TargetID_U3]\n05E30610=0D13\n[Misc]\nManufacturer&ProductStringCompare=0\n[HUBModule]\nHUBNumber=%d\n' "$4"
    [ "$3" = inside ] && junk "$2"
    hub_keys
    printf '[HUBFWCheck]\nCheckHUBFW=0\n'
  } >"$dir/SpiFlash.ini"
}

# Peak resident memory of a command in kilobytes, written to the file $1.
peak_of() { # file command...
  local out=$1
  shift
  if [ -x /usr/bin/time ]; then
    /usr/bin/time -f '%M' -o "$out" "$@"
  else
    echo - >"$out"
    "$@"
  fi
}

# Median CPU seconds of runs of tolvane-cli on one case, its largest peak
# memory in MB, and the exit status of its last run (an upgrade case passes
# with 0; a scan with HUBNumber 255 cannot pass on 32 hubs or fewer and ends
# with 1).
measure() { # name command
  local dir=$cases/$1 times=() peaks=() t
  for ((r = 0; r < runs; r++)); do
    rm -f "$dir/HubBench.ini.state"
    t=$({
      TIMEFORMAT='%U %S'
      time {
        status=0
        TOLVANE_BENCH="$dir/HubBench.ini" peak_of "$dir/peak" "$cli" -C "$dir" "$2" --settle-ms 0 >/dev/null 2>&1 ||
          status=$?
        echo "$status" >"$dir/status"
      }
    } 2>&1)
    times+=("$(awk '{ printf "%.3f", $1 + $2 }' <<<"$t")")
    peaks+=("$(tail -n1 "$dir/peak")")
  done
  printf '%s %s %s\n' "$(printf '%s\n' "${times[@]}" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }')" \
    "$(printf '%s\n' "${peaks[@]}" | awk '$1 == "-" { dash = 1 } $1 != "-" && $1 > m { m = $1 } END { if (dash) print "-"; else printf "%.1f", m / 1024 }')" \
    "$(cat "$dir/status")"
}

row() { # label unit-count seconds peak-MB exit-status previous-seconds previous-units
  local growth=-
  if [ -n "$6" ]; then
    growth=$(awk -v t="$3" -v p="$6" -v u="$2" -v q="$7" 'BEGIN { if (p > 0) printf "%.2f", (t / p) / (u / q); else print "-" }')
  fi
  awk -v l="$1" -v u="$2" -v t="$3" -v m="$4" -v x="$5" -v g="$growth" \
    'BEGIN { printf "%-40s %8d %9.3f %12.3f %7s %8s %5s\n", l, u, t, t * 1e6 / u, g, m, x }'
}

# Median wall-clock seconds of an upgrade of the case, with the arguments
# given after it: the history waits for the disk, which CPU time does not
# show.
measure_wall() { # name args...
  local dir=$cases/$1 times=() t
  shift
  for ((r = 0; r < runs; r++)); do
    rm -f "$dir/HubBench.ini.state" "$dir/history.jsonl"
    t=$({
      TIMEFORMAT='%R'
      time TOLVANE_BENCH="$dir/HubBench.ini" "$cli" -C "$dir" upgrade --settle-ms 0 "$@" >/dev/null 2>&1
    } 2>&1)
    times+=("$t")
  done
  printf '%s\n' "${times[@]}" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}

# The durable history: every hub adds a line written ahead and one for its
# result, each on stable storage (fsync) before the run goes on.
history_cost() {
  local name=history-h32 without with
  upgrade_case "$name" 32 10 no
  without=$(measure_wall "$name")
  with=$(measure_wall "$name" --history "$cases/$name/history.jsonl")
  printf '%-40s %9s %9s %14s\n' case without_s with_s ms_per_hub
  awk -v a="$without" -v b="$with" \
    'BEGIN { printf "%-40s %9.3f %9.3f %14.2f\n", "upgrade hubs=32 --history (wall clock)", a, b, (b - a) * 1000 / 32 }'
  echo "on the file system of $cases: $(df -T "$cases" | awk 'NR == 2 { print $2 }')" >&2
  rm -rf "${cases:?}/$name"
}

# tolvane-cli history over file as text and as JSON: one row of the table
# each, labelled "label (mode)".
history_read_modes() { # dir file label
  local mode args seconds peak status
  printf '%-40s %9s %8s %5s\n' case median_s peak_MB exit
  for mode in text json; do
    args=(history "$2")
    [ "$mode" = json ] && args+=(--json)
    read -r seconds peak status < <(measure_command "$1" "$cli" "${args[@]}")
    printf '%-40s %9.3f %8s %5s\n' "$3 ($mode)" "$seconds" "$peak" "$status"
  done
}

# Reading back a history of 300,000 open writes in one run (half of them cut
# short, half reported failed by the library), as text and as JSON: peak
# memory must not grow with the writes, which are listed up to 100 of each
# kind and counted beyond.
history_read() {
  local dir=$cases/history-read file
  mkdir -p "$dir"
  file=$dir/history.jsonl
  # Each line at a moment of its own, as a station writes them: the same
  # line twice would be taken for one delivered twice.
  awk 'BEGIN {
    stamp = "{\"time\":\"2026-12-09T06:00:00.000Z\",\"host\":\"bench-7\",\"run\":\"00000000000000aa\""
    print stamp ",\"kind\":\"run-start\",\"program\":\"tolvane-cli\",\"programVersion\":\"1.0.0\"}"
    for (i = 0; i < 300000; i++) {
      stamp = sprintf("{\"time\":\"2026-12-09T%02d:%02d:%02d.%03dZ\",\"host\":\"bench-7\",\"run\":\"00000000000000aa\"", 6 + int(i / 3600000), int(i / 60000) % 60, int(i / 1000) % 60, i % 1000)
      hub = sprintf(",\"hub\":{\"index\":%d,\"number\":%d,\"depth\":1,\"port\":1,\"vid\":\"3C5E\",\"pid\":\"0460\",\"manufacturer\":\"Tolvane Demo\",\"product\":\"USB3.2 Hub\"},\"oldVersion\":\"8011\",\"image\":{\"name\":\"HUB460.BIN\",\"firmwareVersion\":\"9021\"}", i % 32, i % 32 + 1)
      print stamp ",\"kind\":\"write-start\"" hub "}"
      if (i % 2 == 0)
        print stamp ",\"kind\":\"result\"" hub ",\"outcome\":\"failed\",\"libraryResult\":5,\"verified\":null}"
    }
  }' >"$file"
  history_read_modes "$dir" "$file" "history of 300000 open writes"
  echo "history file: $(du -m "$file" | cut -f1) MB, $(wc -l <"$file") lines" >&2
  rm -rf "${cases:?}/history-read"
}

# Reading back a history of many short runs (BENCH_HISTORY_RUNS, 3 million
# by default), each a run-start, a write-start, its result and a run-end,
# every thousandth write reported failed: peak memory must stay with the runs
# still open, not grow with the file. jq reads the same file beside it.
history_runs_read() {
  local dir=$cases/history-runs file count=${BENCH_HISTORY_RUNS:-3000000}
  mkdir -p "$dir"
  file=$dir/history.jsonl
  awk -v runs="$count" 'BEGIN {
    hub = ",\"hub\":{\"index\":0,\"number\":1,\"depth\":1,\"port\":1,\"vid\":\"3C5E\",\"pid\":\"0460\",\"manufacturer\":\"Tolvane Demo\",\"product\":\"USB3.2 Hub\"},\"image\":{\"name\":\"HUB460.BIN\",\"firmwareVersion\":\"9021\"}"
    for (r = 0; r < runs; r++) {
      stamp = sprintf("{\"time\":\"2026-12-09T06:00:00.000Z\",\"host\":\"bench-%d\",\"run\":\"%016x\"", r % 8, r)
      print stamp ",\"kind\":\"run-start\",\"program\":\"tolvane-cli\",\"programVersion\":\"1.0.0\"}"
      print stamp ",\"kind\":\"write-start\"" hub "}"
      if (r % 1000 == 999)
        print stamp ",\"kind\":\"result\"" hub ",\"outcome\":\"failed\",\"libraryResult\":5}"
      else
        print stamp ",\"kind\":\"result\"" hub ",\"outcome\":\"programmed\",\"libraryResult\":0}"
      print stamp ",\"kind\":\"run-end\",\"counts\":{\"programmed\":1},\"notStarted\":[],\"interruption\":null,\"exitStatus\":0}"
    }
  }' >"$file"
  history_read_modes "$dir" "$file" "history of $count runs"
  local seconds peak status
  if command -v jq >/dev/null; then
    read -r seconds peak status < <(measure_command "$dir" jq -c . "$file")
    printf '%-40s %9.3f %8s %5s\n' "jq -c . on the same file" "$seconds" "$peak" "$status"
  else
    echo "jq is missing: bash scripts/install-deps.sh native installs it" >&2
  fi
  echo "history file: $(du -m "$file" | cut -f1) MB, $(wc -l <"$file") lines" >&2
  rm -rf "${cases:?}/history-runs"
}

# Median CPU seconds, largest peak memory in MB and the last exit status of
# runs of any command.
measure_command() { # dir command...
  local dir=$1 times=() peaks=() t
  shift
  for ((r = 0; r < runs; r++)); do
    t=$({
      TIMEFORMAT='%U %S'
      time {
        status=0
        peak_of "$dir/peak" "$@" >/dev/null 2>&1 || status=$?
        echo "$status" >"$dir/status"
      }
    } 2>&1)
    times+=("$(awk '{ printf "%.3f", $1 + $2 }' <<<"$t")")
    peaks+=("$(tail -n1 "$dir/peak")")
  done
  printf '%s %s %s\n' "$(printf '%s\n' "${times[@]}" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }')" \
    "$(printf '%s\n' "${peaks[@]}" | awk '$1 == "-" { dash = 1 } $1 != "-" && $1 > m { m = $1 } END { if (dash) print "-"; else printf "%.1f", m / 1024 }')" \
    "$(cat "$dir/status")"
}

source scripts/bench/upgrade-cost.sh
source scripts/bench/line-report.sh
if [ "${BENCH_ONLY:-}" = line-report ]; then
  line_report
  exit 0
fi
if [ "${BENCH_ONLY:-}" = upgrade-cost ]; then
  upgrade_cost
  exit 0
fi

if [ "${BENCH_ONLY:-}" = history-read ]; then
  history_read
  echo >&2
  history_runs_read
  exit 0
fi

if [ "${BENCH_ONLY:-}" = history ]; then
  history_cost
  exit 0
fi

echo "Generating cases in $cases ..." >&2
printf '%-40s %8s %9s %12s %7s %8s %5s\n' case units median_s us_per_unit growth peak_MB exit
for illegal in no yes; do
  for hubs in 1 8 32; do
    previous= previousUnits=
    sizes="10 1000 10000"
    [ "$hubs" = 32 ] && sizes="$sizes 30000"
    for images in $sizes; do
      name=upgrade-h$hubs-i$images-$illegal
      upgrade_case "$name" "$hubs" "$images" "$illegal"
      units=$((hubs * images))
      read -r seconds peak status < <(measure "$name" upgrade)
      label="upgrade hubs=$hubs images=$images"
      [ "$illegal" = yes ] && label="$label illegal/10"
      row "$label" "$units" "$seconds" "$peak" "$status" "$previous" "$previousUnits"
      [ "$hubs" = 32 ] && [ "$illegal" = no ] && peaks[$images]=$peak
      previous=$seconds previousUnits=$units
      rm -rf "${cases:?}/$name"
    done
  done
done
for layout in "front 1" "inside 1" "inside 255"; do
  read -r where number <<<"$layout"
  previous= previousUnits=
  for lines in 100000 1000000; do
    name=settings-$where-$number-$lines
    settings_case "$name" "$lines" "$where" "$number"
    read -r seconds peak status < <(measure "$name" scan)
    row "scan junk $where HUBNumber=$number" "$lines" "$seconds" "$peak" "$status" "$previous" "$previousUnits"
    previous=$seconds previousUnits=$lines
    rm -rf "${cases:?}/$name"
  done
done
echo "units: hubs x images for an upgrade, junk lines for a scan; growth: 1.0 is linear" >&2
awk -v big="${peaks[30000]}" -v small="${peaks[10]}" 'BEGIN {
  if (big == "-" || small == "-" || small <= 0) { print "memory: not measured (no /usr/bin/time)"; exit }
  printf "memory: 32 hubs x 30000 images %.1f MB, x 10 images %.1f MB, ratio %.2f (target at most 2)\n", big, small, big / small
}'
echo >&2
history_cost
echo >&2
history_read
echo >&2
history_runs_read
echo >&2
line_report
echo >&2
upgrade_cost
