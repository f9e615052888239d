#!/usr/bin/env bash
# A list that turns on the supervisor's own files: it refills the map, empties
# the card's top level (photos, and where earlier versions kept the list's
# record), tries to delete the record in the flash store and to close the
# supervisor itself. The real supervisor keeps its record (held open, so the
# RM fails), never closes its own window (713), finishes the update and
# stays; the watchdog starts the closed applications again.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/supervisor_common.sh"

e2e_init update_own_files
sv_require_exes
sv_install Hailnet Hailwire Hailfare Hailtrack
sv_log_realtime

hailnet="$E2E_DEV/ResidentFlash/Hailnet"
package="$E2E_DEV/SDMMC/AirUpdate"
mkdir -p "$hailnet/Map" "$package/Map"
echo "old road" >"$hailnet/Map/road.dat"
echo "photo" >"$E2E_DEV/SDMMC/photo1.jpg"
echo "stale record" >"$E2E_DEV/SDMMC/AirUpdate.resume-a"
echo "new road" >"$package/Map/road.dat"
echo "new fares" >"$package/fare.tbl"
printf '%s\r\n' 'RMDIR(\ResidentFlash\Hailnet\Map)' 'MKDIR(\ResidentFlash\Hailnet\Map)' \
  'CP(Map/road.dat)(\ResidentFlash\Hailnet)' 'RMDIR(\SDMMC)' 'RM(\ResidentFlash\Hailnet\UPDATE.RESUME-A)' \
  'KILL(Hailwatch)' >"$package/patch_list.txt"

for name in Hailnet Hailwire Hailfare Hailtrack; do sv_start_sibling "$name"; done

e2e_start "$HAILWATCH_EXE"
e2e_wait_log_text "CPatchList::DeleteFolder[487] 경로[\\ResidentFlash\\AdtDownload]" 60 ||
  e2e_fail "the start-up update did not finish"
e2e_wait_log_text "CPatchList::KILL[713] Hailwatch 윈도우는 Hailwatch 자신이므로 종료하지 않습니다." 1 ||
  e2e_fail "no 713 line for KILL(Hailwatch)"
e2e_wait_log_text "CPatchList::RM[764] 결과[0] DELETE 파일이름[\\ResidentFlash\\Hailnet\\UPDATE.RESUME-A]" 1 ||
  e2e_fail "the list deleted the record in the flash store"

[[ "$(cat "$hailnet/Map/road.dat")" == "new road" ]] || e2e_fail "road.dat was not refilled"
[[ "$(cat "$hailnet/fare.tbl")" == "new fares" ]] || e2e_fail "fare.tbl was not moved"
[[ ! -e "$E2E_DEV/SDMMC/photo1.jpg" ]] || e2e_fail "RMDIR(\\SDMMC) did not empty the card's top level"
[[ ! -e "$package/patch_list.txt" ]] || e2e_fail "the list was not deleted"
ls "$hailnet"/update.resume-* >/dev/null 2>&1 && e2e_fail "the record outlived the list"
e2e_log_utf8 | grep -qF "Hailwatch End" && e2e_fail "the supervisor ended"

# The watchdog brings back the applications the update closed.
for name in Hailnet Hailwire Hailfare; do
  for ((i = 0; i < 200 && $(sv_record_count "$name" "START pid") < 2; i++)); do sleep 0.1; done
  [[ "$(sv_record_count "$name" "START pid")" -ge 2 ]] || e2e_fail "$name was not started again"
done
e2e_log_utf8 | grep -qF "Hailwatch End" && e2e_fail "the supervisor ended"
e2e_pass
