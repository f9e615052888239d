#!/usr/bin/env bash
# A patch list that is there but cannot be read (here another program holds
# it open without sharing, as a read error on the card would leave it) has
# not run: 585 is written, the list and the whole package stay for the next
# start, no application is closed and nothing is moved. Once the list can be
# read again, the next start applies the package.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/supervisor_common.sh"

e2e_init update_unreadable_list
sv_require_exes HAILCTL_EXE
sv_install Hailnet Hailwire Hailfare Hailtrack
sv_log_realtime

hailnet="$E2E_DEV/ResidentFlash/Hailnet"
package="$E2E_DEV/SDMMC/AirUpdate"
mkdir -p "$package/Map"
printf 'MKDIR(\\ResidentFlash\\Hailnet\\Map)\r\nCP(Map/road.dat)(\\ResidentFlash\\Hailnet)\r\n' >"$package/patch_list.txt"
echo "road data" >"$package/Map/road.dat"
echo "new settings" >"$package/settings.ini"
# The tachograph stand-in is the program that keeps the list busy.
echo 'D:\SDMMC\AirUpdate\patch_list.txt' >"$hailnet/Hailtrack.hold"

for name in Hailnet Hailwire Hailfare Hailtrack; do sv_start_sibling "$name"; done
sv_wait_record Hailtrack "HOLD opened" 5

e2e_start "$HAILWATCH_EXE"
e2e_wait_log_text "CPatchList::DeleteFolder[487] 경로[\\ResidentFlash\\AdtDownload]" 40 ||
  e2e_fail "the start-up update did not finish"

expected="<I> CPatchList::IsFolderFiles[425] 경로[\\SDMMC\\AirUpdate] 결과[File]
<I> CPatchList::SearchPatchListFiles[585] \\SDMMC\\AirUpdate\\patch_list.txt 패치파일이 없습니다.
<I> CPatchList::DeleteFolder[487] 경로[\\ResidentFlash\\Update] 경로의 파일수[0] RemoveDirectory 결과[0]
<I> CPatchList::DeleteFolder[487] 경로[\\ResidentFlash\\SDIUpdate] 경로의 파일수[0] RemoveDirectory 결과[0]
<I> CPatchList::DeleteFolder[487] 경로[\\ResidentFlash\\AdtDownload] 경로의 파일수[0] RemoveDirectory 결과[0]"
got="$(sv_log_lines "CPatchList::")"
[[ "$got" == "$expected" ]] || e2e_fail "update lines differ:
$got"

[[ -f "$package/patch_list.txt" && -f "$package/Map/road.dat" && -f "$package/settings.ini" ]] ||
  e2e_fail "the package lost files it must keep"
[[ ! -e "$hailnet/Map" && ! -e "$hailnet/settings.ini" ]] || e2e_fail "something was installed"
sv_expect_none_closed

# The next start, with the list free again, applies the package.
sv_quit_and_wait
rm "$hailnet/Hailtrack.hold"
sv_wait_record Hailtrack "HOLD released" 5

e2e_start "$HAILWATCH_EXE"
e2e_wait_log_text "Src경로의 파일수[1]" 40 || e2e_fail "the second start did not move the package"
[[ -f "$hailnet/Map/road.dat" && -f "$hailnet/settings.ini" ]] ||
  e2e_fail "the second start did not install the package"
[[ ! -e "$package/patch_list.txt" && ! -e "$package/settings.ini" ]] ||
  e2e_fail "the second start left the list or a file in the package"
e2e_pass
