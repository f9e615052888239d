#!/usr/bin/env bash
# make --exclude: what a pattern names is read as absent from OLD and NEW.
# Nothing it names is removed, added or changed on the terminal, a folder
# holding such a path is never removed, each pattern's count is shown, and
# the package still proves itself (the try in place, then diff with NEW
# outside what was left alone).
set -uo pipefail
source "$(dirname "$0")/lib.sh"
hp_init make_exclude "${1:?hailpatch}"
cd "$HP_WORK"

mkdir -p old/Map/Cache old/Voice old/Gone new/Map/Cache new/Voice
for exe in Hailnet Hailwire Hailfare Hailtrack; do echo "$exe" >"old/$exe.exe"; echo "$exe" >"new/$exe.exe"; done
echo "old fares" >old/fare.tbl;     echo "new fares" >new/fare.tbl
echo "old roads" >old/Map/road.dat; echo "new roads" >new/Map/road.dat
echo t1 >old/Map/Cache/t1.bin; echo t2 >old/Map/Cache/T2.BIN; echo t3 >new/Map/Cache/t3.bin
echo "old trace" >old/Voice/a.log;  echo "new trace" >new/Voice/a.log
echo gone >old/Gone/x.dat;          echo kept >old/Gone/y.LOG
echo "new trace" >new/new.log
mkdir -p dev/ResidentFlash dev/SDMMC && cp -a old dev/ResidentFlash/Hailnet

hp_run make --from old --to new -o pkg --exclude 'map/cache/*' --exclude '*.log' --exclude 'Sound/**'
hp_expect_status 0 "make --exclude"
hp_expect_out "left alone, --exclude 'map/cache/*': 3 paths"
hp_expect_out "left alone, --exclude '*.log': 3 paths"
hp_expect_out "left alone, --exclude 'Sound/**': nothing matched"
grep -Eiq 'cache|\.log|RMDIR\(.*Gone' pkg/patch_list.txt && hp_fail "the list touches what was excluded: $(cat pkg/patch_list.txt)"
grep -q 'RM(\\ResidentFlash\\Hailnet\\Gone\\x.dat)' pkg/patch_list.txt || hp_fail "x.dat is not removed: $(cat pkg/patch_list.txt)"
[[ -z "$(find pkg -iname '*.log' -o -iname '*.bin')" ]] || hp_fail "the package carries excluded files"

hp_run try --device dev pkg --in-place; hp_expect_status 0 "try of the package made"
installed=dev/ResidentFlash/Hailnet
for kept in Map/Cache/t1.bin Map/Cache/T2.BIN Voice/a.log Gone/y.LOG; do
  cmp -s "old/$kept" "$installed/$kept" || hp_fail "$kept was touched"
done
[[ ! -e "$installed/Map/Cache/t3.bin" && ! -e "$installed/new.log" && ! -e "$installed/Gone/x.dat" ]] ||
  hp_fail "excluded files were added, or x.dat not removed"
diff -r -x Cache -x '*.log' -x '*.LOG' -x Gone "$installed" new || hp_fail "the rest differs from NEW"

# A folder holding an excluded path stays, so NEW cannot put a file there.
rm -rf old new pkg && mkdir -p old/Data new && echo k >old/Data/k.log && echo d >new/Data && echo x >new/x.dll
hp_run make --from old --to new -o pkg --exclude '*.log'; hp_expect_status 2 "a file over a kept folder"
hp_expect_one_error_line "a file over a kept folder" "new/Data: a file in NEW where OLD has a folder holding files make leaves alone"
hp_run make --from old --to new -o pkg --exclude 'Data/../x.dll'; hp_expect_status 3 "a pattern climbing out"
hp_expect_one_error_line "a pattern climbing out" "without '.' or '..'"
[[ ! -e pkg ]] || hp_fail "make left something at -o"
hp_pass
