#!/usr/bin/env bash
# hailog beside iconv and grep on one terminal's logs, in one run, on two
# shapes of log:
#
#   bench/hailog/hailog_bench.sh HAILOG [MEGABYTES] [FOLDER]
#
# Makes about MEGABYTES (default 300) of hourly logs of each shape with
# tests/hailog/make_logs.py (which makes the month of the page's test too) in
# FOLDER (default a temporary folder, removed after; an existing FOLDER is
# read as it is):
#   korean  hours of 150 KiB, filled by a crash-looping modem's restarts (mostly Korean)
#   ascii   hours of 25 KiB, filled by a loose ignition wire (almost all ASCII), many more files
# reads them once so that every reader finds them cached, then, three rounds
# of each shape, alternating:
#   hailog summary FOLDER/SHAPE/T0001
#   cat LOGS/*.log | iconv -f CP949 -t UTF-8 | grep -c 'CheckApp\[409\]'
# and prints each one's CPU time (user + system, every process of it) and
# peak resident memory, the medians and ratios of both shapes side by side,
# and the figures of `hailog html` (with the page's size) and
# `hailog --number 409` on the Korean logs.
set -euo pipefail
readonly hailog="$(realpath "$1")" megabytes="${2:-300}"
readonly here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
readonly shapes=(korean ascii)
declare -A hour_kb=([korean]=150 [ascii]=25)
folder="${3:-}"
if [[ -z "$folder" ]]; then
  folder="$(mktemp -d)"
  trap 'rm -rf "$folder"' EXIT
fi

logs_of() { echo "$folder/$1/T0001/ResidentFlash/Log"; }

for shape in "${shapes[@]}"; do
  logs="$(logs_of "$shape")"
  if [[ ! -d "$logs" ]]; then
    # 17 hours a day.
    kb=${hour_kb[$shape]}
    days=$(( (megabytes * 1024 + 17 * kb - 1) / (17 * kb) ))
    python3 "$here/../../tests/hailog/make_logs.py" "$folder/$shape" --days "$days" --hour-kb "$kb" --shape "$shape"
  fi
  echo "$shape logs: $(ls "$logs" | wc -l) files, $(du -sm "$logs" | cut -f1) MB in $logs"
  cat "$logs"/*.log >/dev/null
done

# "CPU_SECONDS PEAK_KB" of a command line run by bash.
measure() {
  /usr/bin/time -o "$folder/time.txt" -f "%U %S %M" bash -c "$1" >/dev/null 2>&1 || true
  awk '{ printf "%.2f %d\n", $1 + $2, $3 }' "$folder/time.txt"
}
median() { sort -n | sed -n 2p; }

declare -A hailog_cpu iconv_cpu ratios
for round in 1 2 3; do
  for shape in "${shapes[@]}"; do
    logs="$(logs_of "$shape")"
    read -r h hkb < <(measure "'$hailog' summary '$folder/$shape/T0001'")
    read -r i ikb < <(measure "cat '$logs'/*.log | iconv -f CP949 -t UTF-8 | grep -c 'CheckApp\\[409\\]'")
    echo "round $round, $shape: hailog summary ${h} s CPU, ${hkb} KB resident; iconv+grep ${i} s CPU"
    hailog_cpu[$shape]+="$h " iconv_cpu[$shape]+="$i "
    ratios[$shape]+="$(awk -v h="$h" -v i="$i" 'BEGIN { printf "%.2f", h / i }') "
  done
done
printf '%-8s %22s %18s %8s\n' "shape" "hailog summary (s)" "iconv+grep (s)" "ratio"
for shape in "${shapes[@]}"; do
  printf '%-8s %22s %18s %8s\n' "$shape" \
    "$(printf '%s\n' ${hailog_cpu[$shape]} | median)" "$(printf '%s\n' ${iconv_cpu[$shape]} | median)" \
    "$(printf '%s\n' ${ratios[$shape]} | median)"
done
korean="$folder/korean/T0001"
read -r c ckb < <(measure "'$hailog' html '$korean' -o '$folder/page.html'")
echo "hailog html (korean): ${c} s CPU, ${ckb} KB resident, page $(stat -c %s "$folder/page.html") bytes"
read -r c ckb < <(measure "'$hailog' --number 409 '$korean'")
echo "hailog --number 409 (korean): ${c} s CPU, ${ckb} KB resident"
