#!/usr/bin/env bash
# try on packages whose outcome is known: what it prints of the start, the
# second start's verdict and its status, and that only --in-place changes
# the device folder.
set -uo pipefail
source "$(dirname "$0")/lib.sh"
hp_init try_outcomes "${1:?hailpatch}"
readonly sample="$(cd "$(dirname "$0")/../../sample/device" && pwd)"
cd "$HP_WORK"

fresh_device() {
  rm -rf dev && mkdir -p dev/SDMMC && cp -a "$sample/ResidentFlash" dev/
}

# The sample package with the call application ignoring WM_DESTROY: three
# posts a second apart, one more to the meter application, which closes
# (each post is followed by a second's pause, 4 s in all), the files moved,
# and a quiet second start.
fresh_device
before="$(hp_tree_sum dev)"
hp_run try --device dev "$sample/SDMMC/AirUpdate" --stays Hailnet --window Hailfare
hp_expect_status 0 "sample package"
hp_expect_out "+0 ms WM_DESTROY posted to [Hailnet]"
hp_expect_out "+2000 ms WM_DESTROY posted to [Hailnet]"
hp_expect_out "+3000 ms WM_DESTROY posted to [Hailfare]"
hp_expect_out "== start 1: blocked 4.0 s"
hp_expect_out "added   \\ResidentFlash\\Hailnet\\fare-2024.tbl (24 bytes)"
hp_expect_out "removed \\ResidentFlash\\Hailnet\\fare-2023.tbl (17 bytes)"
hp_expect_out "added   \\ResidentFlash\\Hailnet\\Map\\road.dat (18 bytes)"
hp_expect_out "CPatchList::CopyFilesFolder2Folder[562] Src경로[\\SDMMC\\AirUpdate] Dst경로[\\ResidentFlash\\Hailnet] Src경로의 파일수[1]"
hp_expect_out "next start applies the package again: no"
grep -A1 '^== start 2: changes' "$HP_WORK/out" | grep -qF '(nothing changed)' || hp_fail "the second start changed something"
[[ "$(hp_tree_sum dev)" == "$before" ]] || hp_fail "try without --in-place changed the device"

# A CP into a folder nothing makes: the list stays, and so does the package.
mkdir -p failing/Map && echo r >failing/Map/road.dat && echo f >failing/fare.tbl
printf 'CP(Map\\road.dat)(\\ResidentFlash\\Hailnet)\r\n' >failing/patch_list.txt
hp_run try --device dev failing; hp_expect_status 2 "failing CP"
hp_expect_out "next start applies the package again: yes: the list was kept"
hp_expect_out "files left in the package: fare.tbl"
hp_expect_out "== start 1: blocked 3.0 s"

# Only the kept list is left (its one CP failed, nothing else to move): the
# next start runs it all again.
mkdir -p onlylist/Map && echo r >onlylist/Map/road.dat
printf 'CP(Map\\road.dat)(\\ResidentFlash\\Nowhere)\r\n' >onlylist/patch_list.txt
hp_run try --device dev onlylist; hp_expect_status 2 "only the kept list left"
hp_expect_out "next start applies the package again: yes: the list was kept"

# A file of the package deleted by its own list before it was installed is
# in neither place.
mkdir -p selfdelete/Map && echo r >selfdelete/Map/road.dat && echo f >selfdelete/fare.tbl
printf 'RMDIR(\\SDMMC\\AirUpdate\\Map)\r\n' >selfdelete/patch_list.txt
hp_run try --device dev selfdelete; hp_expect_status 2 "a package file deleted by the list"
hp_expect_out "lost \\SDMMC\\AirUpdate\\Map\\road.dat: neither installed nor still in the package"

# A UTF-16 list runs no line: the subfolder file nothing moved is named.
mkdir -p wide/Map && echo r >wide/Map/road.dat && echo f >wide/fare.tbl
printf 'C\0P\0(\0M\0a\0p\0\\\0r\0o\0a\0d\0.\0d\0a\0t\0)\0(\0\\\0R\0)\0\r\0\n\0' >wide/patch_list.txt
hp_run try --device dev wide; hp_expect_status 0 "UTF-16 list"
hp_expect_out "== left in the package's subfolders, moved by nothing:"
hp_expect_out "\\SDMMC\\AirUpdate\\Map\\road.dat"
grep -q '^lost ' "$HP_WORK/out" && hp_fail "a file that stays in the package was called lost"

# A name code page 949 cannot hold is never moved.
mkdir -p baht && echo f >"baht/fare$(printf '\u0e3f').tbl"
hp_run try --device dev baht; hp_expect_status 2 "unrepresentable name"
hp_expect_out "files left in the package: fare$(printf '\u0e3f').tbl"

# A package carrying the supervisor is left alone.
mkdir -p own && echo x >own/Hailwatch.exe && echo f >own/fare.tbl
hp_run try --device dev own; hp_expect_status 2 "own exe"
hp_expect_out "applies the package again: never"
grep -q 'fare.tbl' <(sed -n '/^== start 1: changes/,/^==/p' "$HP_WORK/out") && hp_fail "a package with Hailwatch.exe moved a file"

# The list alone, in the second pass.
mkdir -p second && printf 'RUN(\\ResidentFlash\\Hailnet\\missing.exe)\r\nWAITREBOOT(1500)\r\n' >second/patch_list.txt
hp_run try --device dev second --list --pass 1; hp_expect_status 0 "second pass"
hp_expect_out "CPatchList::RUN[724] 결과[0] EXE 파일이름[\\ResidentFlash\\Hailnet\\missing.exe]"
hp_expect_out "patch list result: 1"
hp_expect_out "== patch list: blocked 1.5 s"

# A device that asks for rollbacks: the undo copy is listed, and a crash
# loop of the new modem application takes the update back after three
# restarts, the old files and the old fare table back, the copy gone.
fresh_device
: >dev/ResidentFlash/Hailnet/update.rollback
echo "old modem" >dev/ResidentFlash/Hailnet/Hailwire.exe
mkdir -p crashing && echo "new modem" >crashing/Hailwire.exe && echo f >crashing/fare-2024.tbl
printf 'RM(\\ResidentFlash\\Hailnet\\fare-2023.tbl)\r\n' >crashing/patch_list.txt
hp_run try --device dev crashing --crash Hailwire; hp_expect_status 0 "a crash loop taken back"
hp_expect_out "probation: taken back if one application is restarted 3 times within 10 minutes"
hp_expect_out "saved   \\ResidentFlash\\Hailnet\\fare-2023.tbl (17 bytes, attributes 0x80)"
hp_expect_out "saved   \\ResidentFlash\\Hailnet\\Hailwire.exe (10 bytes, attributes 0x80)"
hp_expect_out "new     \\ResidentFlash\\Hailnet\\fare-2024.tbl"
hp_expect_out "closed  Hailwire"
hp_expect_out "<E> RollBackUpdate[965] Hailwire 응용프로그램이 업데이트 후 3번 재시작되어 업데이트를 되돌립니다."
hp_expect_out "== crash of Hailwire: 20.0 s of watchdog time"
crash_changes="$(sed -n '/^== crash of Hailwire: changes/,/^==/p' "$HP_WORK/out")"
grep -qF 'added   \ResidentFlash\Hailnet\fare-2023.tbl (17 bytes)' <<<"$crash_changes" &&
  grep -qF 'removed \ResidentFlash\Hailnet\fare-2024.tbl' <<<"$crash_changes" &&
  grep -qF 'changed \ResidentFlash\Hailnet\Hailwire.exe (10 -> 10 bytes)' <<<"$crash_changes" ||
  hp_fail "the rollback's changes are not shown: $crash_changes"
grep -q '^lost ' "$HP_WORK/out" && hp_fail "files the rollback took back were called lost"
[[ "$(cat dev/ResidentFlash/Hailnet/Hailwire.exe)" == "old modem" ]] || hp_fail "try --crash changed the device"
# Without the opt-in the crash loop goes on for the two minutes shown.
rm dev/ResidentFlash/Hailnet/update.rollback
hp_run try --device dev crashing --crash Hailwire; hp_expect_status 0 "a crash loop without rollback"
hp_expect_out "== crash of Hailwire: 125.0 s of watchdog time (no probation: the device does not hold update.rollback)"
grep -q 'start 1: undo copy' "$HP_WORK/out" && hp_fail "an undo copy listed for a device that does not ask"
[[ "$(grep -c 'CheckApp\[409\]' "$HP_WORK/out")" == 25 ]] || hp_fail "the crash loop did not go on"

# In place, with the package already on the device's card: it is applied
# to the device itself.
fresh_device
cp -a "$sample/SDMMC/AirUpdate" dev/SDMMC/
hp_run try --device dev dev/SDMMC/AirUpdate --in-place; hp_expect_status 0 "in place"
[[ -f dev/ResidentFlash/Hailnet/fare-2024.tbl && -f dev/ResidentFlash/Hailnet/Map/road.dat ]] ||
  hp_fail "try --in-place did not apply the package to the device"
[[ ! -e dev/SDMMC/AirUpdate/patch_list.txt ]] || hp_fail "the list stayed after an in-place try"
hp_pass
