#!/usr/bin/env bash
# A package on the SD card is applied at start-up: the patch list's KILL
# closes a running stand-in, MKDIR and CP put a file into a new subfolder, RM
# deletes an old file; the call, modem and meter applications are closed and
# the remaining top-level files (a new meter executable among them) are
# moved into the install folder; the staging folders are emptied and
# removed; the watchdog then starts the closed applications again, the meter
# from its new executable.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/supervisor_common.sh"

e2e_init update_startup
sv_require_exes
sv_install Hailnet Hailwire Hailfare Hailtrack
sv_log_realtime

hailnet="$E2E_DEV/ResidentFlash/Hailnet"
package="$E2E_DEV/SDMMC/AirUpdate"
echo "old library" >"$hailnet/old.dll"
mkdir -p "$package/Map"
printf 'KILL(Hailtrack)\r\nMKDIR(\\ResidentFlash\\Hailnet\\Map)\r\nCP(Map/road.dat)(\\ResidentFlash\\Hailnet)\r\nRM(\\ResidentFlash\\Hailnet\\old.dll)\r\n' \
  >"$package/patch_list.txt"
echo "road data" >"$package/Map/road.dat"
echo "new settings" >"$package/settings.ini"
# The new meter: the stand-in with a build tag appended, so the installed
# copy can be told from the old one.
{ cat "$SIBLING_EXE"; printf 'NEW-BUILD'; } >"$package/Hailfare.exe"
cp "$package/Hailfare.exe" "$E2E_DIR/new-Hailfare.exe"
mkdir -p "$E2E_DEV/ResidentFlash/Update" "$E2E_DEV/ResidentFlash/SDIUpdate/Keep" "$E2E_DEV/ResidentFlash/AdtDownload"
echo staged >"$E2E_DEV/ResidentFlash/Update/u.bin"
echo staged >"$E2E_DEV/ResidentFlash/SDIUpdate/s.bin"

for name in Hailnet Hailwire Hailfare Hailtrack; do sv_start_sibling "$name"; done

e2e_start "$HAILWATCH_EXE"
e2e_wait_log_text "CPatchList::DeleteFolder[487] 경로[\\ResidentFlash\\AdtDownload]" 40 ||
  e2e_fail "the start-up update did not finish"

# Everything the patch list and the bulk move were to do.
[[ -f "$hailnet/Map/road.dat" && ! -e "$package/Map/road.dat" ]] || e2e_fail "road.dat was not moved into Map"
[[ ! -e "$hailnet/old.dll" ]] || e2e_fail "old.dll was not deleted"
[[ ! -e "$package/patch_list.txt" ]] || e2e_fail "the patch list was not deleted"
[[ -f "$hailnet/settings.ini" && ! -e "$package/settings.ini" ]] || e2e_fail "settings.ini was not moved"
cmp -s "$hailnet/Hailfare.exe" "$E2E_DIR/new-Hailfare.exe" || e2e_fail "Hailfare.exe was not replaced"
[[ "$(ls -A "$package")" == Map && -z "$(ls -A "$package/Map")" ]] ||
  e2e_fail "the package still holds: $(cd "$package" && find . -mindepth 1)"
[[ ! -e "$E2E_DEV/ResidentFlash/Update" && ! -e "$E2E_DEV/ResidentFlash/AdtDownload" ]] ||
  e2e_fail "a staging folder was not removed"
[[ -d "$E2E_DEV/ResidentFlash/SDIUpdate/Keep" && ! -e "$E2E_DEV/ResidentFlash/SDIUpdate/s.bin" ]] ||
  e2e_fail "SDIUpdate was not emptied down to its subfolder"
for name in Hailtrack Hailnet Hailwire Hailfare; do sv_wait_record "$name" "WM_DESTROY" 5; done

# The update's messages in order. The bulk move walks the package in the
# file system's order, so its lines are compared as pairs, sorted.
expected_before_move="<I> CPatchList::IsFolderFiles[425] 경로[\\SDMMC\\AirUpdate] 결과[File]
<I> CPatchList::KILL[711] 종료 윈도우이름[Hailtrack]
<I> CPatchList::RM[739] \\ResidentFlash\\Hailnet\\Map 지울 대상 파일이 없습니다.
<I> CPatchList::MKDIR[806] 결과[1] 생성폴더이름[\\ResidentFlash\\Hailnet\\Map]
<I> CPatchList::CP[858] 결과[1] Src파일[\\SDMMC\\AirUpdate\\Map\\road.dat] Dst파일[\\ResidentFlash\\Hailnet\\Map\\road.dat] DELETE 실행여부[1]
<I> CPatchList::RM[764] 결과[1] DELETE 파일이름[\\SDMMC\\AirUpdate\\Map\\road.dat]
<I> CPatchList::RM[764] 결과[1] DELETE 파일이름[\\ResidentFlash\\Hailnet\\old.dll]
<I> CPatchList::RM[764] 결과[1] DELETE 파일이름[\\SDMMC\\AirUpdate\\patch_list.txt]
<I> CPatchList::IsFolderFiles[425] 경로[\\SDMMC\\AirUpdate] 결과[File]
<I> CPatchList::KILL[711] 종료 윈도우이름[Hailnet]
<I> CPatchList::KILL[711] 종료 윈도우이름[Hailwire]
<I> CPatchList::KILL[711] 종료 윈도우이름[Hailfare]"
expected_move_pairs="<I> CPatchList::CP[858] 결과[1] Src파일[\\SDMMC\\AirUpdate\\Hailfare.exe] Dst파일[\\ResidentFlash\\Hailnet\\Hailfare.exe] DELETE 실행여부[1] | <I> CPatchList::RM[764] 결과[1] DELETE 파일이름[\\SDMMC\\AirUpdate\\Hailfare.exe]
<I> CPatchList::CP[858] 결과[1] Src파일[\\SDMMC\\AirUpdate\\settings.ini] Dst파일[\\ResidentFlash\\Hailnet\\settings.ini] DELETE 실행여부[1] | <I> CPatchList::RM[764] 결과[1] DELETE 파일이름[\\SDMMC\\AirUpdate\\settings.ini]"
expected_after_move="<I> CPatchList::CopyFilesFolder2Folder[562] Src경로[\\SDMMC\\AirUpdate] Dst경로[\\ResidentFlash\\Hailnet] Src경로의 파일수[2]
<I> CPatchList::RM[764] 결과[1] DELETE 파일이름[\\ResidentFlash\\Update\\u.bin]
<I> CPatchList::DeleteFolder[487] 경로[\\ResidentFlash\\Update] 경로의 파일수[1] RemoveDirectory 결과[1]
<I> CPatchList::RM[764] 결과[1] DELETE 파일이름[\\ResidentFlash\\SDIUpdate\\s.bin]
<I> CPatchList::DeleteFolder[487] 경로[\\ResidentFlash\\SDIUpdate] 경로의 파일수[1] RemoveDirectory 결과[0]
<I> CPatchList::DeleteFolder[487] 경로[\\ResidentFlash\\AdtDownload] 경로의 파일수[0] RemoveDirectory 결과[1]"

sv_expect_update_lines 22 "$expected_before_move" "$expected_move_pairs" "$expected_after_move"

# The watchdog brings back every closed application, the meter from its new
# file (the only Hailfare.exe there is).
for name in Hailnet Hailwire Hailfare Hailtrack; do
  for ((i = 0; i < 200 && $(sv_record_count "$name" "START pid") < 2; i++)); do sleep 0.1; done
  [[ "$(sv_record_count "$name" "START pid")" -ge 2 ]] || e2e_fail "$name was not started again"
done
cmp -s "$hailnet/Hailfare.exe" "$E2E_DIR/new-Hailfare.exe" || e2e_fail "Hailfare.exe changed after the update"
e2e_pass
