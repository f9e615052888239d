#!/usr/bin/env bash
# hailpatch make and check at the size of a map and voice update. Not a
# test: it prints times for people to read.
#
#   bench/hailpatch/hailpatch_bench.sh HAILPATCH [HAILPATCH_EXE] [SIZES]
#
# SIZES (default "100 300 1000") are numbers of files: for each, make_update.py
# writes an update (half map tiles of 8 KiB, a third of them changed; half
# voice prompts of 16 KiB, every one replaced; the fare table changed) as
# OLD and NEW, and a device whose install folder is OLD. Then, one after the
# other, it times
#   hailpatch make --from OLD --to NEW -o PKG
#   hailpatch check PKG                    (a stock terminal)
#   hailpatch check --device DEV PKG       (the terminal as OLD)
# and, with HAILPATCH_EXE, hailpatch.exe check --device DEV PKG under Wine
# (scripts/wine-run.sh), each with its wall time and peak resident memory.
# A run that takes over HAILWATCH_BENCH_LIMIT seconds (default 900) is
# stopped and shown as such. The generated files stay in a temporary folder
# removed at the end.
set -uo pipefail
readonly here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
readonly repo="$(cd "$here/../.." && pwd)"
tool="$(realpath "${1:?the hailpatch program}")"
exe="${2:-}"
[[ -n "$exe" ]] && exe="$(realpath "$exe")"
read -r -a sizes <<<"${3:-100 300 1000}"
readonly limit="${HAILWATCH_BENCH_LIMIT:-900}"
work="$(mktemp -d)"
trap '[[ -d "$work/prefix" ]] && WINEPREFIX="$work/prefix" wineserver -k >/dev/null 2>&1; rm -rf "$work"' EXIT

# timed LABEL COMMAND...: one line with the wall time, the peak resident
# memory and the exit status.
timed() {
  local label="$1"; shift
  local began ended status
  began=$(date +%s%N)
  timeout "$limit" /usr/bin/time -o "$work/time.txt" -f "%M" "$@" >"$work/out.txt" 2>&1
  status=$?
  ended=$(date +%s%N)
  if [[ $status == 124 ]]; then
    printf '  %-34s over %s s (stopped)\n' "$label" "$limit"
    return
  fi
  printf '  %-34s %8.2f s  %7d KB  exit %d\n' "$label" "$(awk -v n=$((ended - began)) 'BEGIN { print n / 1e9 }')" \
    "$(tail -n 1 "$work/time.txt")" "$status"
}

for size in "${sizes[@]}"; do
  dir="$work/$size"
  python3 "$here/make_update.py" "$dir" "$size"
  echo "update of $size files ($(du -sm "$dir/new" | cut -f1) MB in NEW):"
  cd "$dir" || exit 1
  timed "make" "$tool" make --from old --to new -o pkg
  [[ -d pkg ]] || { echo "  (make made no package: $(tail -n 1 "$work/out.txt"))"; continue; }
  timed "check (stock terminal)" "$tool" check pkg
  timed "check --device" "$tool" check --device device pkg
  if [[ -n "$exe" ]]; then
    bash "$repo/scripts/wine-run.sh" --prefix "$work/prefix" --device "$dir" --setup-only >/dev/null || exit 1
    timed "hailpatch.exe check --device (Wine)" \
      bash "$repo/scripts/wine-run.sh" --prefix "$work/prefix" --device "$dir" -- "$exe" check --device device pkg
  fi
  cd "$work" || exit 1
  rm -rf "$dir"
done
