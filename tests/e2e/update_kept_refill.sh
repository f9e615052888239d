#!/usr/bin/env bash
# A package kept for a failed copy, whose list replaces two folders the usual
# way (remove, make again, copy in; one of them held read-only files), over
# two starts. The first start refills both folders and keeps the package for
# the copy whose destination folder is missing; the folder is then made, and
# the second start takes the list up at that copy alone: the folders keep
# their new files, the list and its progress record go, the rest is moved.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/supervisor_common.sh"

e2e_init update_kept_refill
sv_require_exes HAILCTL_EXE
sv_install Hailnet Hailwire Hailfare
sv_log_realtime

hailnet="$E2E_DEV/ResidentFlash/Hailnet"
package="$E2E_DEV/SDMMC/AirUpdate"
mkdir -p "$hailnet/Map/Korea" "$hailnet/Sound" "$package/Map/Korea" "$package/Sound"
echo "old road" >"$hailnet/Map/Korea/road.dat"
echo "old voice" >"$hailnet/Sound/voice.wav"
chmod a-w "$hailnet/Sound/voice.wav"
echo "new road" >"$package/Map/Korea/road.dat"
echo "new voice" >"$package/Sound/voice.wav"
echo "night fares" >"$package/night.tbl"
echo "new settings" >"$package/settings.ini"
# Saved by an editor that starts the file with a byte-order mark.
printf '\xef\xbb\xbfRMDIR(\\ResidentFlash\\Hailnet\\Map\\Korea)\r\nMKDIR(\\ResidentFlash\\Hailnet\\Map\\Korea)\r\nCP(Map/Korea/road.dat)(\\ResidentFlash\\Hailnet)\r\nRMDIR(\\ResidentFlash\\Hailnet\\Sound)\r\nMKDIR(\\ResidentFlash\\Hailnet\\Sound)\r\nCP(Sound/voice.wav)(\\ResidentFlash\\Hailnet)\r\nCP(night.tbl)(\\ResidentFlash\\Hailnet\\Tables)\r\n' \
  >"$package/patch_list.txt"

for name in Hailnet Hailwire Hailfare; do sv_start_sibling "$name"; done

e2e_start "$HAILWATCH_EXE"
e2e_wait_log_text "CPatchList::DeleteFolder[487] 경로[\\ResidentFlash\\AdtDownload]" 40 ||
  e2e_fail "the first start-up update did not finish"

refill() { # FOLDER FILE: the list's lines for one folder
  echo "<I> CPatchList::RM[764] 결과[1] DELETE 파일이름[\\ResidentFlash\\Hailnet\\$1\\$2]
<I> CPatchList::DeleteFolder[487] 경로[\\ResidentFlash\\Hailnet\\$1] 경로의 파일수[1] RemoveDirectory 결과[1]
<I> CPatchList::RM[739] \\ResidentFlash\\Hailnet\\$1 지울 대상 파일이 없습니다.
CPatchList::RMDIR[774] Folder[\\ResidentFlash\\Hailnet\\$1]
<I> CPatchList::RM[739] \\ResidentFlash\\Hailnet\\$1 지울 대상 파일이 없습니다.
<I> CPatchList::MKDIR[806] 결과[1] 생성폴더이름[\\ResidentFlash\\Hailnet\\$1]
<I> CPatchList::CP[858] 결과[1] Src파일[\\SDMMC\\AirUpdate\\$1\\$2] Dst파일[\\ResidentFlash\\Hailnet\\$1\\$2] DELETE 실행여부[1]
<I> CPatchList::RM[764] 결과[1] DELETE 파일이름[\\SDMMC\\AirUpdate\\$1\\$2]"
}
staging="<I> CPatchList::DeleteFolder[487] 경로[\\ResidentFlash\\Update] 경로의 파일수[0] RemoveDirectory 결과[0]
<I> CPatchList::DeleteFolder[487] 경로[\\ResidentFlash\\SDIUpdate] 경로의 파일수[0] RemoveDirectory 결과[0]
<I> CPatchList::DeleteFolder[487] 경로[\\ResidentFlash\\AdtDownload] 경로의 파일수[0] RemoveDirectory 결과[0]"
first="<I> CPatchList::IsFolderFiles[425] 경로[\\SDMMC\\AirUpdate] 결과[File]
$(refill 'Map\Korea' road.dat)
$(refill Sound voice.wav)
<I> CPatchList::CP[858] 결과[0] Src파일[\\SDMMC\\AirUpdate\\night.tbl] Dst파일[\\ResidentFlash\\Hailnet\\Tables\\night.tbl] DELETE 실행여부[1]
$staging"
got="$(sv_log_lines "CPatchList::")"
[[ "$got" == "$first" ]] || e2e_fail "the first start's update lines differ:
$got"
[[ "$(cat "$hailnet/Map/Korea/road.dat")" == "new road" && "$(cat "$hailnet/Sound/voice.wav")" == "new voice" ]] ||
  e2e_fail "the first start did not refill both folders"
[[ -f "$package/patch_list.txt" && -f "$package/night.tbl" && -f "$package/settings.ini" ]] ||
  e2e_fail "the kept package lost files it must keep"
ls "$E2E_DEV/ResidentFlash/Hailnet"/update.resume-* >/dev/null 2>&1 || e2e_fail "no progress record beside the kept package"
sv_expect_none_closed

# The cause of the failed copy is removed; the terminal starts again.
sv_quit_and_wait
mkdir "$hailnet/Tables"

e2e_start "$HAILWATCH_EXE"
e2e_wait_log_text "Src경로의 파일수[1]" 40 || e2e_fail "the second start did not move the package"
# The first start wrote the last staging line too: wait for the second one.
for ((i = 0; i < 100; i++)); do
  [[ "$(sv_log_lines "경로[\\ResidentFlash\\AdtDownload]" | wc -l)" -ge 2 ]] && break
  sleep 0.1
done
second="<I> CPatchList::IsFolderFiles[425] 경로[\\SDMMC\\AirUpdate] 결과[File]
<I> CPatchList::SearchPatchListFiles[590] \\SDMMC\\AirUpdate\\patch_list.txt 7번째 줄부터 이어서 실행합니다.
<I> CPatchList::CP[858] 결과[1] Src파일[\\SDMMC\\AirUpdate\\night.tbl] Dst파일[\\ResidentFlash\\Hailnet\\Tables\\night.tbl] DELETE 실행여부[1]
<I> CPatchList::RM[764] 결과[1] DELETE 파일이름[\\SDMMC\\AirUpdate\\night.tbl]
<I> CPatchList::RM[764] 결과[1] DELETE 파일이름[\\SDMMC\\AirUpdate\\patch_list.txt]
<I> CPatchList::IsFolderFiles[425] 경로[\\SDMMC\\AirUpdate] 결과[File]
<I> CPatchList::KILL[711] 종료 윈도우이름[Hailnet]
<I> CPatchList::KILL[711] 종료 윈도우이름[Hailwire]
<I> CPatchList::KILL[711] 종료 윈도우이름[Hailfare]
<I> CPatchList::CP[858] 결과[1] Src파일[\\SDMMC\\AirUpdate\\settings.ini] Dst파일[\\ResidentFlash\\Hailnet\\settings.ini] DELETE 실행여부[1]
<I> CPatchList::RM[764] 결과[1] DELETE 파일이름[\\SDMMC\\AirUpdate\\settings.ini]
<I> CPatchList::CopyFilesFolder2Folder[562] Src경로[\\SDMMC\\AirUpdate] Dst경로[\\ResidentFlash\\Hailnet] Src경로의 파일수[1]
$staging"
got="$(sv_log_lines "CPatchList::")"
[[ "$got" == "$first
$second" ]] || e2e_fail "the second start's update lines differ:
$(tail -n +$(($(wc -l <<<"$first") + 1)) <<<"$got")"

[[ "$(cat "$hailnet/Map/Korea/road.dat")" == "new road" && "$(cat "$hailnet/Sound/voice.wav")" == "new voice" ]] ||
  e2e_fail "the second start lost a file of the refilled folders"
[[ -f "$hailnet/Tables/night.tbl" && -f "$hailnet/settings.ini" ]] ||
  e2e_fail "the second start did not install the rest of the package"
[[ ! -e "$package/patch_list.txt" && ! -e "$package/settings.ini" ]] ||
  e2e_fail "the second start left the list or a file in the package"
! ls "$E2E_DEV/ResidentFlash/Hailnet"/update.resume-* >/dev/null 2>&1 || e2e_fail "the progress record outlived the list"
e2e_pass
