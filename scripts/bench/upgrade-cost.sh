# Sourced by scripts/bench.sh: what tolvane-cli upgrade costs beyond the
# least an upgrade can cost (baseline-upgrade.c: the same library calls and
# reads of Bin/, nothing else), on 32 simulated hubs, as image sizes and the
# number of images grow; and what the options that protect a run add per hub.

baseline_build() {
  local lib
  lib=$(dirname "$(find "$PWD/$build" -name 'libZQ460API.so*' -type f | head -n1)")
  cc -O2 -std=c11 -D_DEFAULT_SOURCE -I isp scripts/bench/baseline-upgrade.c -L "$lib" -Wl,-rpath,"$lib" -lZQ460API \
    -o "$build/baseline-upgrade"
}

# Median CPU seconds (user + system) of runs of a command in a case folder.
cpu_of() { # dir command...
  local dir=$1 times=() t r
  shift
  for ((r = 0; r < runs; r++)); do
    rm -f "$dir/HubBench.ini.state" "$dir/h.jsonl"
    t=$({
      TIMEFORMAT='%U %S'
      time (cd "$dir" && TOLVANE_BENCH="$dir/HubBench.ini" "$@" >/dev/null 2>&1)
    } 2>&1)
    times+=("$(awk '{ printf "%.3f", $1 + $2 }' <<<"$t")")
  done
  printf '%s\n' "${times[@]}" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}

# A case of 32 hubs with one fitting image of the given size in bytes.
sized_case() { # name bytes
  local dir=$cases/$1
  mkdir -p "$dir/Bin"
  write_bench "$dir/HubBench.ini" 32
  printf '[TargetID_U3]\n05E30610=0D13\n[HUBModule]\nHUBNumber=1\n[HUBFWCheck]\nCheckHUBFW=0\n' >"$dir/SpiFlash.ini"
  "$mkimage" "$dir/Bin/FIT.BIN" --target 0x0D13 --flags 0x00 --version 0x0655 --size "$2" >/dev/null
  (cd "$dir" && sha256sum Bin/FIT.BIN >approved.txt)
}

upgrade_cost() {
  baseline_build
  echo "tolvane-cli upgrade against the least an upgrade costs (32 hubs, CPU seconds, median of $runs):"
  printf '%-32s %10s %10s %7s\n' case baseline_s plain_s ratio
  local name size dir base plain
  for size in 65536 524288 8388608 67108864; do
    name=cost-$size
    sized_case "$name" "$size"
    dir=$cases/$name
    base=$(cpu_of "$dir" "$PWD/$build/baseline-upgrade")
    plain=$(cpu_of "$dir" "$cli" upgrade --settle-ms 0)
    printf '%-32s %10s %10s %7s\n' "image of $((size / 1024)) KB" "$base" "$plain" \
      "$(awk -v a="$plain" -v b="$base" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')"
    if [ "$size" = 524288 ]; then
      protected=$(cpu_of "$dir" "$cli" upgrade --settle-ms 0 --approved approved.txt --history h.jsonl --json)
      kept_plain=$plain
    fi
    rm -rf "${cases:?}/$name"
  done
  name=cost-images
  upgrade_case "$name" 32 3000 no
  dir=$cases/$name
  base=$(cpu_of "$dir" "$PWD/$build/baseline-upgrade")
  plain=$(cpu_of "$dir" "$cli" upgrade --settle-ms 0)
  printf '%-32s %10s %10s %7s\n' "3000 images of 28 KB" "$base" "$plain" \
    "$(awk -v a="$plain" -v b="$base" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')"
  rm -rf "${cases:?}/$name"
  awk -v p="$protected" -v q="$kept_plain" 'BEGIN {
    printf "--approved --history --json at 512 KB: %.3f s against %.3f s plain, %.2f ms CPU per hub more (goal: at most 1)\n", p, q, (p - q) * 1000 / 32
  }'
}
