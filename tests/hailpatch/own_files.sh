#!/usr/bin/env bash
# The terminal's own files are never package content. make from a keyed
# terminal's install folder (the log markers, its key, a log folder) to a
# vendor's folder without them writes no line and no file for them, names
# them as left alone, and its package turns the terminal into the vendor's
# folder with the terminal's own files kept. check judges a package that
# brings update.pub: a damaged key breaks later updates (2), a valid new one
# is a warning naming the key terminals will then require (1).
set -uo pipefail
source "$(dirname "$0")/lib.sh"
hp_init own_files "${1:?hailpatch}"
cd "$HP_WORK"

hp_run keygen -o fleet; hp_expect_status 0 "keygen"
mkdir -p terminal/Log vendor/Map
for exe in Hailnet Hailwire Hailfare Hailtrack; do echo "$exe" >"terminal/$exe.exe"; echo "$exe" >"vendor/$exe.exe"; done
touch terminal/LogMsg terminal/RetailMsg
cp fleet.pub terminal/update.pub
echo "00:05 [K] <I> CheckApp[434] DTG" >terminal/Log/hailwatch-2024061109.log
echo "old fares" >terminal/fare.tbl
echo "new fares" >vendor/fare.tbl
echo "roads" >vendor/Map/road.dat
touch vendor/LogMsgRT   # the vendor's own logging choice stays on the vendor's PC

hp_run make --from terminal --to vendor -o pkg --sign fleet.key; hp_expect_status 0 "make from a keyed terminal"
for own in LogMsg LogMsgRT RetailMsg update.pub Log; do
  grep -q "^  $own (" "$HP_WORK/out" || hp_fail "make does not name $own as left alone"
  grep -qi "$own" pkg/patch_list.txt && hp_fail "the list names $own: $(cat pkg/patch_list.txt)"
  [[ -e "pkg/$own" ]] && hp_fail "the package carries $own"
done
hp_expect_out "names spelled as in it, what make left alone aside"

# The proof, again with the tool's own try on a copy of the terminal.
mkdir -p dev/ResidentFlash dev/SDMMC && cp -a terminal dev/ResidentFlash/Hailnet
hp_run try --device dev pkg --in-place; hp_expect_status 0 "try of the package made"
for own in LogMsg RetailMsg update.pub Log/hailwatch-2024061109.log; do
  cmp -s "terminal/$own" "dev/ResidentFlash/Hailnet/$own" || hp_fail "the package changed the terminal's $own"
done
[[ ! -e dev/ResidentFlash/Hailnet/LogMsgRT ]] || hp_fail "the package switched real-time logging on"
cmp -s vendor/fare.tbl dev/ResidentFlash/Hailnet/fare.tbl || hp_fail "the fares were not installed"

# A package that installs update.pub, damaged and whole.
mkdir -p damaged && echo "new fares" >damaged/fare.tbl && head -c 100 fleet.pub >damaged/update.pub
hp_run check damaged; hp_expect_status 2 "a package installing a damaged key"
hp_expect_out "installs \\ResidentFlash\\Hailnet\\update.pub, which is no key the terminal can use"
hp_expect_out "verdict: breaks later updates (2)"
mkdir -p rekey && echo "new fares" >rekey/fare.tbl && cp fleet.pub rekey/update.pub
hp_run check rekey; hp_expect_status 1 "a package installing a new key"
hp_expect_out "installs a new fleet key (SHA-256 $(sha256sum fleet.pub | cut -c1-16)...)"
hp_pass
