# Sourced by scripts/bench.sh: the line's report over the histories of a
# whole line, as stations write them (keys in the order the writer gives
# them), against jq reading the same files. The report keeps sums and the
# runs still open, so its peak memory must not grow with the files.
#
# Each of 20 files is one station's history over five days, in lots of 2500
# runs; a run programs 1 to 4 hubs, mostly programmed and verified, some
# already current, failed by the library, refused or verified wrong; every
# 1009th run is cut short after its first write (no result, no run-end), and
# every 4999th run of a station also stands, copied, in the next station's
# file (the report counts it once).

line_report_write() { # folder runs files
  awk -v folder="$1" -v runs="$2" -v files="$3" '
  function stamp(ms,   d, s) {
    d = int(ms / 86400000); s = int(ms / 1000) % 86400
    return sprintf("2026-12-%02dT%02d:%02d:%02d.%03dZ", d + 1, int(s / 3600), int(s / 60) % 60, s % 60, ms % 1000)
  }
  # host, the fields between host and run, run, the fields between run and
  # time, time, the fields after it: the writer sorts the keys.
  function line(ms, f, r, middle, tail, between) {
    return sprintf("{\"host\":\"st%02d-pc\"%s,\"run\":\"%08x%08x\"%s,\"time\":\"%s\"%s}", f + 1, middle, f + 1, r, between, stamp(ms), tail)
  }
  function hub(h) {
    return sprintf(",\"hub\":{\"depth\":1,\"index\":%d,\"manufacturer\":\"Tolvane Demo\",\"number\":%d,\"pid\":\"0460\",\"port\":%d,\"product\":\"USB3.2 Hub\",\"vid\":\"3C5E\"}", h, h + 1, h + 1)
  }
  function image(f) {
    if (f % 2) return ",\"image\":{\"firmwareVersion\":\"9022\",\"name\":\"HUB460B.BIN\",\"sha256\":\"" shaB "\",\"size\":65536}"
    return ",\"image\":{\"firmwareVersion\":\"9021\",\"name\":\"HUB460.BIN\",\"sha256\":\"" shaA "\",\"size\":65536}"
  }
  function emit(out, f, r,   ms, n, h, k, code, counts, c, o, keys, status, text) {
    ms = int(r * step)
    text = line(ms, f, r, ",\"kind\":\"run-start\",\"lot\":\"" sprintf("LOT-%02d-%03d", f + 1, int(r / 2500)) "\",\"program\":\"tolvane-cli\",\"programVersion\":\"1.4.0\"", "", ",\"station\":\"" sprintf("line-%02d", f + 1) "\"")
    sub(/^\{/, "{\"approvedList\":{\"path\":\"station/approved.json\",\"sha256\":\"" shaL "\",\"signer\":\"" signer "\"},", text)
    print text > out
    n = 1 + r % 4
    split("", counts); status = 0
    for (h = 0; h < n; h++) {
      ms += 1700
      k = (r * 13 + h * 7 + f) % 100
      if (k < 72 || (k >= 86 && k < 93)) {
        print line(ms, f, r, hub(h) image(f) ",\"kind\":\"write-start\",\"oldVersion\":\"8011\"", "") > out
        if (r % 1009 == 1008) return
      }
      if (k < 72) {
        print line(ms + 900, f, r, hub(h) image(f) ",\"kind\":\"result\",\"libraryMs\":" (1500 + (r * 31 + h) % 700) ",\"libraryResult\":0,\"oldVersion\":\"8011\",\"outcome\":\"programmed\"", ",\"verified\":null") > out
        print line(ms + 1200, f, r, sprintf(",\"hub\":{\"index\":%d,\"number\":%d}", h, h + 1) ",\"kind\":\"verify\"", ",\"verified\":" (k < 70 ? "true,\"versionAfter\":\"" (f % 2 ? "9022" : "9021") "\"" : "false,\"versionAfter\":\"8011\"")) > out
        counts["programmed"]++; if (k >= 70) status = 1
      } else if (k < 86) {
        print line(ms, f, r, hub(h) image(f) ",\"kind\":\"result\",\"libraryResult\":null,\"oldVersion\":\"" (f % 2 ? "9022" : "9021") "\",\"outcome\":\"current\"", ",\"verified\":null") > out
        counts["current"]++
      } else if (k < 93) {
        code = 5 + k % 3
        print line(ms + 900, f, r, hub(h) image(f) ",\"kind\":\"result\",\"libraryMs\":" (300 + r % 900) ",\"libraryResult\":" code ",\"oldVersion\":\"8011\",\"outcome\":\"failed\",\"reason\":\"the library returned " code "\"", ",\"verified\":null") > out
        counts["failed"]++; status = 1
      } else if (k < 99) {
        print line(ms, f, r, hub(h) image(f) ",\"kind\":\"result\",\"libraryResult\":null,\"oldVersion\":\"8011\",\"outcome\":\"refused\",\"reason\":\"the image is not on the approved list\"", ",\"verified\":null") > out
        counts["refused"]++; status = 1
      } else {
        print line(ms, f, r, hub(h) ",\"image\":null,\"kind\":\"result\",\"libraryResult\":null,\"oldVersion\":\"8011\",\"outcome\":\"no-image\",\"reason\":\"no image in Bin fits the hub\"", ",\"verified\":null") > out
        counts["no-image"]++; status = 1
      }
    }
    c = ""; split("current failed no-image programmed refused", keys, " ")
    for (o = 1; o <= 5; o++)
      if (keys[o] in counts) c = c (c == "" ? "" : ",") "\"" keys[o] "\":" counts[keys[o]]
    text = line(ms + 1500, f, r, ",\"interruption\":null,\"kind\":\"run-end\",\"notStarted\":[]", "")
    sub(/^\{/, "{\"counts\":{" c "},\"exitStatus\":" status ",\"historyError\":null,", text)
    print text > out
  }
  BEGIN {
    shaA = "5d41402abc4b2a76b9719d911017c592ae4f7a3ef0b4f5d3a1c1e7f0b5a8c2d1"
    shaB = "7c211433f02071597741e6ff5a8ea34789abbf4321b2f7cfa1f4e0c9d8b7a6e5"
    shaL = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"
    signer = "2c26b46b68ffc68ff99b453c1d30413413422d706483bfa0f98a5e886266e7ae"
    per = int(runs / files)
    step = 5 * 86400000 / (per > 0 ? per : 1)
    for (f = 0; f < files; f++) {
      out = sprintf("%s/line-%02d.jsonl", folder, f + 1)
      for (r = 0; r < per + (f < runs % files ? 1 : 0); r++) {
        if (f > 0 && r % 4999 == 0) emit(out, f - 1, r)
        emit(out, f, r)
      }
      close(out)
    }
  }'
}

# The report as text, as JSON and as a page over BENCH_LINE_RUNS runs (1
# million by default) in 20 files, and jq -c . over the same files.
line_report() {
  local dir=$cases/line-report count=${BENCH_LINE_RUNS:-1000000} files=()
  mkdir -p "$dir"
  line_report_write "$dir" "$count" 20
  files=("$dir"/line-*.jsonl)
  echo "histories: ${#files[@]} files, $count runs, $(du -cm "${files[@]}" | tail -n1 | cut -f1) MB, $(cat "${files[@]}" | wc -l) lines" >&2
  local jqSeconds=- jqPeak jqStatus seconds peak status mode args
  if command -v jq >/dev/null; then
    read -r jqSeconds jqPeak jqStatus < <(measure_command "$dir" jq -c . "${files[@]}")
  else
    echo "jq is missing: bash scripts/install-deps.sh native installs it" >&2
  fi
  printf '%-40s %9s %8s %5s %7s\n' case median_s peak_MB exit x_jq
  for mode in text json html; do
    args=(report "${files[@]}")
    [ "$mode" = json ] && args+=(--json)
    [ "$mode" = html ] && args+=(--html "$dir/report.html")
    read -r seconds peak status < <(measure_command "$dir" "$cli" "${args[@]}")
    line_report_row "report of $count runs ($mode)" "$seconds" "$peak" "$status" "$jqSeconds"
  done
  [ "$jqSeconds" = - ] || line_report_row "jq -c . on the same files" "$jqSeconds" "$jqPeak" "$jqStatus" "$jqSeconds"
  rm -rf "${cases:?}/line-report"
}

line_report_row() { # label seconds peak-MB exit-status jq-seconds
  awk -v l="$1" -v t="$2" -v m="$3" -v x="$4" -v j="$5" \
    'BEGIN { printf "%-40s %9.3f %8s %5s %7s\n", l, t, m, x, (j == "-" || j <= 0) ? "-" : sprintf("%.2f", t / j) }'
}
