#!/usr/bin/env bash
# hailog beside iconv and grep on one terminal's logs, in one run:
#
#   bench/hailog/hailog_bench.sh HAILOG [MEGABYTES] [FOLDER]
#
# Makes about MEGABYTES (default 300) of hourly logs with make_logs.py in
# FOLDER (default a temporary folder, removed after; an existing FOLDER is
# read as it is), reads them once so that every reader finds them cached,
# then, three rounds each, alternating:
#   hailog summary FOLDER
#   cat FOLDER/*.log | iconv -f CP949 -t UTF-8 | grep -c 'CheckApp\[409\]'
# and prints each one's CPU time (user + system, every process of it) and
# peak resident memory, the median CPU ratio, and the same for `hailog html`
# (with the page's size) and `hailog --number 409`.
set -euo pipefail
readonly hailog="$(realpath "$1")" megabytes="${2:-300}"
readonly here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
folder="${3:-}"
if [[ -z "$folder" ]]; then
  folder="$(mktemp -d)"
  trap 'rm -rf "$folder"' EXIT
fi
logs="$folder/T0001/ResidentFlash/Log"
if [[ ! -d "$logs" ]]; then
  # 17 hours a day of 150 KiB each.
  days=$(( (megabytes * 1024 + 17 * 150 - 1) / (17 * 150) ))
  python3 "$here/make_logs.py" "$folder" --days "$days" --hour-kb 150
fi
echo "logs: $(ls "$logs" | wc -l) files, $(du -sm "$logs" | cut -f1) MB in $logs"
cat "$logs"/*.log >/dev/null

# "CPU_SECONDS PEAK_KB" of a command line run by bash.
measure() {
  /usr/bin/time -o "$folder/time.txt" -f "%U %S %M" bash -c "$1" >/dev/null 2>&1 || true
  awk '{ printf "%.2f %d\n", $1 + $2, $3 }' "$folder/time.txt"
}
median() { sort -n | sed -n 2p; }

hailog_cpu=() iconv_cpu=() ratios=()
for round in 1 2 3; do
  read -r h hkb < <(measure "'$hailog' summary '$folder/T0001'")
  read -r i ikb < <(measure "cat '$logs'/*.log | iconv -f CP949 -t UTF-8 | grep -c 'CheckApp\\[409\\]'")
  echo "round $round: hailog summary ${h} s CPU, ${hkb} KB resident; iconv+grep ${i} s CPU"
  hailog_cpu+=("$h") iconv_cpu+=("$i")
  ratios+=("$(awk -v h="$h" -v i="$i" 'BEGIN { printf "%.2f", h / i }')")
done
echo "median CPU: hailog summary $(printf '%s\n' "${hailog_cpu[@]}" | median) s," \
     "iconv+grep $(printf '%s\n' "${iconv_cpu[@]}" | median) s;" \
     "ratio $(printf '%s\n' "${ratios[@]}" | median)"
read -r c ckb < <(measure "'$hailog' html '$folder/T0001' -o '$folder/page.html'")
echo "hailog html: ${c} s CPU, ${ckb} KB resident, page $(stat -c %s "$folder/page.html") bytes"
read -r c ckb < <(measure "'$hailog' --number 409 '$folder/T0001'")
echo "hailog --number 409: ${c} s CPU, ${ckb} KB resident"
