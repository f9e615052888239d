#!/usr/bin/env bash
# A copy of the patch list that fails (its destination folder was never
# made: CP makes no folder) keeps
# the package for the next start: the rest of the list still runs, the list
# stays, no application is closed and nothing else is moved; the staging
# folders are cleared all the same.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/supervisor_common.sh"

e2e_init update_failed_copy
sv_require_exes
sv_install Hailnet Hailwire Hailfare
sv_log_realtime

hailnet="$E2E_DEV/ResidentFlash/Hailnet"
package="$E2E_DEV/SDMMC/AirUpdate"
mkdir -p "$package/Map"
printf 'CP(Map/fare.tbl)(\\ResidentFlash\\Hailnet)\r\nCP(road.dat)(\\ResidentFlash\\Hailnet)\r\n' >"$package/patch_list.txt"
echo "new fare" >"$package/Map/fare.tbl"
echo "new road" >"$package/road.dat"
echo "new settings" >"$package/settings.ini"
mkdir -p "$E2E_DEV/ResidentFlash/SDIUpdate"
echo staged >"$E2E_DEV/ResidentFlash/SDIUpdate/s.bin"

for name in Hailnet Hailwire Hailfare; do sv_start_sibling "$name"; done

e2e_start "$HAILWATCH_EXE"
e2e_wait_log_text "CPatchList::DeleteFolder[487] 경로[\\ResidentFlash\\AdtDownload]" 40 ||
  e2e_fail "the start-up update did not finish"

expected="<I> CPatchList::IsFolderFiles[425] 경로[\\SDMMC\\AirUpdate] 결과[File]
<I> CPatchList::CP[858] 결과[0] Src파일[\\SDMMC\\AirUpdate\\Map\\fare.tbl] Dst파일[\\ResidentFlash\\Hailnet\\Map\\fare.tbl] DELETE 실행여부[1]
<I> CPatchList::CP[858] 결과[1] Src파일[\\SDMMC\\AirUpdate\\road.dat] Dst파일[\\ResidentFlash\\Hailnet\\road.dat] DELETE 실행여부[1]
<I> CPatchList::RM[764] 결과[1] DELETE 파일이름[\\SDMMC\\AirUpdate\\road.dat]
<I> CPatchList::DeleteFolder[487] 경로[\\ResidentFlash\\Update] 경로의 파일수[0] RemoveDirectory 결과[0]
<I> CPatchList::RM[764] 결과[1] DELETE 파일이름[\\ResidentFlash\\SDIUpdate\\s.bin]
<I> CPatchList::DeleteFolder[487] 경로[\\ResidentFlash\\SDIUpdate] 경로의 파일수[1] RemoveDirectory 결과[1]
<I> CPatchList::DeleteFolder[487] 경로[\\ResidentFlash\\AdtDownload] 경로의 파일수[0] RemoveDirectory 결과[0]"
got="$(sv_log_lines "CPatchList::")"
[[ "$got" == "$expected" ]] || e2e_fail "update lines differ:
$got"

[[ -f "$package/patch_list.txt" && -f "$package/Map/fare.tbl" && -f "$package/settings.ini" ]] ||
  e2e_fail "the package lost files it must keep"
[[ ! -e "$hailnet/Map" && -f "$hailnet/road.dat" && ! -e "$hailnet/settings.ini" ]] ||
  e2e_fail "the install folder is not as the list left it"
[[ ! -e "$E2E_DEV/ResidentFlash/SDIUpdate" ]] || e2e_fail "SDIUpdate was not removed"
sv_expect_none_closed
e2e_pass
