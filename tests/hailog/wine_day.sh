#!/usr/bin/env bash
# hailog.exe under 32-bit Wine on the played day's logs: every verb gives
# byte for byte what the Linux hailog gives on the same folder (UTF-8, LF).
#
#   wine_day.sh HAILOG_EXE HOST_BUILD WORK
#
# HOST_BUILD is the host preset's build folder: its hailog and the day that
# its hailog_day_play test wrote.
set -euo pipefail
readonly exe="$1" host="$2" work="$3"
readonly repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
readonly linux_hailog="$host/tools/hailog/hailog" day="$host/tests/hailog/day"
[[ -x "$linux_hailog" && -d "$day/ResidentFlash/Log" ]] ||
  { echo "wine_day: build the host preset and run its hailog_day_play test first ($host)" >&2; exit 1; }

rm -rf "$work"
mkdir -p "$work/linux" "$work/wine"
cp -r "$day" "$work/device"
run_wine() { bash "$repo/scripts/wine-run.sh" --prefix "$work/prefix" --device "$work/device" -- "$exe" "$@"; }

cases=("summary" "summary --json" "list" "list --number 409 --errors" "list --function CP --since 2024-06-11_11:00"
       "summary --since 2024-06-11T11:00 --until 2024-06-11_15:00" "summary --all-restarts")
failed=0
for i in "${!cases[@]}"; do
  read -r -a args <<<"${cases[$i]}"
  args=("${args[@]//_/ }") # "_" stands for a space inside an argument
  "$linux_hailog" "${args[@]}" "$work/device" >"$work/linux/$i.out" 2>"$work/linux/$i.err" || true
  run_wine "${args[@]}" 'D:\' >"$work/wine/$i.out" 2>"$work/wine/$i.err" || true
  if ! cmp -s "$work/linux/$i.out" "$work/wine/$i.out"; then
    echo "hailog ${cases[$i]}: hailog.exe differs from Linux:" >&2
    diff "$work/linux/$i.out" "$work/wine/$i.out" | head -20 >&2 || true
    failed=1
  fi
done
# The page too: the same bytes, written by either (named alike: a drive's
# root has no folder name to give the terminal).
"$linux_hailog" html "$work/device" --terminal T0001 -o "$work/linux/day.html"
run_wine html 'D:\' --terminal T0001 -o 'D:\day.html'
cmp "$work/linux/day.html" "$work/device/day.html" || failed=1
WINEPREFIX="$work/prefix" wineserver -k >/dev/null 2>&1 || true
[[ $failed -eq 0 ]] || exit 1
echo "hailog.exe under Wine gave the Linux output for ${#cases[@]} command lines and the page"
