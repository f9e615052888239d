#!/usr/bin/env bash
# A package that used to wedge a terminal is done in one start: its list
# names the package's own file under four other spellings (each gives 834,
# nothing is copied or deleted), carries a comment line longer than a read
# whose tail would delete an installed file (the tail is not run), and moves
# a read-only file (its copy is made, its deletion fails, and the bulk move
# then replaces the read-only copy it left). The package ends empty.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/supervisor_common.sh"

e2e_init update_safety
sv_require_exes
sv_install Hailnet Hailwire Hailfare
sv_log_realtime

hailnet="$E2E_DEV/ResidentFlash/Hailnet"
package="$E2E_DEV/SDMMC/AirUpdate"
mkdir -p "$package"
echo "keep me" >"$hailnet/keep.dat"
echo "only same" >"$package/same.dll"
echo "new ro" >"$package/ro.dll"
chmod a-w "$package/ro.dll"
# A comment of 1,023 bytes, the most one read takes, then on the same
# physical line a command that must never run.
comment="# $(printf 'x%.0s' {1..1021})"
{
  printf '%s%s\r\n' "$comment" 'RM(\ResidentFlash\Hailnet\keep.dat)'
  printf '%s\r\n' 'CP(same.dll)(\SDMMC\AirUpdate\)' 'CP(same.dll)(\SDMMC\.\AirUpdate)' \
    'CP(same.dll)(\SDMMC\x\..\AirUpdate)' 'CP(same.dll)(/SDMMC/AirUpdate/)' \
    'CP(ro.dll)(\ResidentFlash\Hailnet)'
} >"$package/patch_list.txt"

for name in Hailnet Hailwire Hailfare; do sv_start_sibling "$name"; done

e2e_start "$HAILWATCH_EXE"
e2e_wait_log_text "CPatchList::DeleteFolder[487] 경로[\\ResidentFlash\\AdtDownload]" 40 ||
  e2e_fail "the start-up update did not finish"

same="<I> CPatchList::CP[834] \\SDMMC\\AirUpdate\\same.dll 원본과 대상 경로가 같습니다."
expected_before_move="<I> CPatchList::IsFolderFiles[425] 경로[\\SDMMC\\AirUpdate] 결과[File]
$same
$same
$same
$same
<I> CPatchList::CP[858] 결과[1] Src파일[\\SDMMC\\AirUpdate\\ro.dll] Dst파일[\\ResidentFlash\\Hailnet\\ro.dll] DELETE 실행여부[1]
<I> CPatchList::RM[764] 결과[0] DELETE 파일이름[\\SDMMC\\AirUpdate\\ro.dll]
<I> CPatchList::RM[764] 결과[1] DELETE 파일이름[\\SDMMC\\AirUpdate\\patch_list.txt]
<I> CPatchList::IsFolderFiles[425] 경로[\\SDMMC\\AirUpdate] 결과[File]
<I> CPatchList::KILL[711] 종료 윈도우이름[Hailnet]
<I> CPatchList::KILL[711] 종료 윈도우이름[Hailwire]
<I> CPatchList::KILL[711] 종료 윈도우이름[Hailfare]"
expected_move_pairs="<I> CPatchList::CP[858] 결과[1] Src파일[\\SDMMC\\AirUpdate\\ro.dll] Dst파일[\\ResidentFlash\\Hailnet\\ro.dll] DELETE 실행여부[1] | <I> CPatchList::RM[764] 결과[1] DELETE 파일이름[\\SDMMC\\AirUpdate\\ro.dll]
<I> CPatchList::CP[858] 결과[1] Src파일[\\SDMMC\\AirUpdate\\same.dll] Dst파일[\\ResidentFlash\\Hailnet\\same.dll] DELETE 실행여부[1] | <I> CPatchList::RM[764] 결과[1] DELETE 파일이름[\\SDMMC\\AirUpdate\\same.dll]"
expected_after_move="<I> CPatchList::CopyFilesFolder2Folder[562] Src경로[\\SDMMC\\AirUpdate] Dst경로[\\ResidentFlash\\Hailnet] Src경로의 파일수[2]
<I> CPatchList::DeleteFolder[487] 경로[\\ResidentFlash\\Update] 경로의 파일수[0] RemoveDirectory 결과[0]
<I> CPatchList::DeleteFolder[487] 경로[\\ResidentFlash\\SDIUpdate] 경로의 파일수[0] RemoveDirectory 결과[0]
<I> CPatchList::DeleteFolder[487] 경로[\\ResidentFlash\\AdtDownload] 경로의 파일수[0] RemoveDirectory 결과[0]"

sv_expect_update_lines 20 "$expected_before_move" "$expected_move_pairs" "$expected_after_move"

[[ "$(cat "$hailnet/keep.dat")" == "keep me" ]] || e2e_fail "the long comment's tail deleted keep.dat"
[[ "$(cat "$hailnet/same.dll")" == "only same" && "$(cat "$hailnet/ro.dll")" == "new ro" ]] ||
  e2e_fail "the package's files were not installed whole"
[[ -z "$(ls -A "$package")" ]] || e2e_fail "the package still holds: $(ls -A "$package")"
e2e_pass
