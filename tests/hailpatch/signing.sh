#!/usr/bin/env bash
# The signing verbs as an engineer uses them: keygen never overwrites a key;
# make --sign proves and signs; check --key gives 0 for the package as signed
# and 2 for one a keyed terminal refuses (changed, unsigned, another key);
# try --key leaves a refused package whole. The private key is in no package.
# The manifest carries the sequence number after --sequence (or the clock's);
# sign refuses what a keyed terminal would refuse; a terminal that applied a
# package refuses an older one (try exits 2).
set -uo pipefail
source "$(dirname "$0")/lib.sh"
hp_init signing "${1:?hailpatch}"
cd "$HP_WORK"

hp_run keygen -o fleet; hp_expect_status 0 "keygen"
hp_run keygen -o other; hp_expect_status 0 "keygen, another key"
hp_run keygen -o fleet; hp_expect_status 3 "keygen over a key"
hp_expect_one_error_line "keygen over a key" "fleet.key: exists already"
[[ "$(stat -c %a fleet.key)" == 600 && "$(stat -c %s fleet.pub)" == 276 ]] ||
  hp_fail "keygen: fleet.key $(stat -c %a fleet.key), fleet.pub $(stat -c %s fleet.pub) bytes"

mkdir -p old new/Map
echo "old fares" >old/fare.tbl
echo "new fares" >new/fare.tbl
echo "roads" >new/Map/road.dat
hp_run make --from old --to new -o pkg --sign fleet.key --sequence 9; hp_expect_status 0 "make --sign"
hp_expect_out "signature: good"
[[ "$(sed -n 1,2p pkg/Signature/manifest.txt)" == $'HAILWATCH MANIFEST 2\nSEQUENCE 10' ]] ||
  hp_fail "make --sign --sequence 9: $(sed -n 2p pkg/Signature/manifest.txt)"
[[ -f pkg/Signature/manifest.txt && -f pkg/Signature/manifest.sig ]] || hp_fail "make --sign wrote no signature"
grep -rqF -- "$(sed -n 2p fleet.key)" pkg && hp_fail "the private key went into the package"

hp_run check pkg; hp_expect_status 0 "check of a signed package without --key"
hp_run check pkg --key fleet.pub; hp_expect_status 0 "check --key"
hp_run check pkg --key other.pub; hp_expect_status 2 "check --key, another key"
hp_expect_out 'VerifyPackage[943]'

cp -r pkg changed && echo "new fares!" >changed/fare.tbl
hp_run check changed --key fleet.pub; hp_expect_status 2 "check --key, a changed file"
hp_expect_out 'VerifyPackage[946] \SDMMC\AirUpdate\fare.tbl'
cp -r pkg unsigned && rm -r unsigned/Signature
hp_run check unsigned --key fleet.pub; hp_expect_status 2 "check --key, unsigned"
hp_expect_out 'VerifyPackage[941]'
hp_run check pkg --key missing.pub; hp_expect_status 3 "check --key, no key file"
hp_expect_one_error_line "check --key, no key file" "missing.pub: no such key file"
hp_run sign changed --key fleet.pub; hp_expect_status 3 "sign with the public key"
hp_expect_one_error_line "sign with the public key" "not a private key"
printf 'CP(signature/Manifest.txt)(\\ResidentFlash\\Hailnet)\r\n' >>changed/patch_list.txt
hp_run sign changed --key fleet.key; hp_expect_status 3 "sign a list that moves the signature"
hp_expect_one_error_line "sign a list that moves the signature" "patch_list.txt line 4: moves the package's signature"
cp -r pkg stray && echo x >stray/Map/stray.dat
hp_run sign stray --key fleet.key; hp_expect_status 3 "sign a subfolder file no CP moves"
hp_expect_one_error_line "sign a subfolder file no CP moves" 'stray.dat: in a subfolder that no CP line moves'

cp -r pkg clock
hp_run sign clock --key fleet.key; hp_expect_status 0 "sign by the clock"
now="$(date +%s)" number="$(sed -n 2p clock/Signature/manifest.txt | cut -d' ' -f2)"
(( number >= now - 60 && number <= now )) || hp_fail "sign by the clock: number $number at $now"
hp_run sign clock --key fleet.key --sequence 4294967295; hp_expect_status 3 "sign past the last number"
hp_expect_one_error_line "sign past the last number" "--sequence 4294967295: no number above it fits"
cp -r pkg foreign && printf 'CP(../Extra/x.dll)(\\ResidentFlash\\Hailnet)\r\n' >>foreign/patch_list.txt
hp_run sign foreign --key fleet.key; hp_expect_status 3 "sign a copy from outside the package"
hp_expect_one_error_line "sign a copy from outside the package" "line 4: copies .*Extra.x.dll, which is not in the package"
cp -r pkg twins && cp twins/fare.tbl twins/FARE.TBL
hp_run sign twins --key fleet.key; hp_expect_status 3 "sign names in two cases"
hp_expect_one_error_line "sign names in two cases" "FARE.TBL and fare.tbl: one name on the terminal"

mkdir -p dev/ResidentFlash/Hailnet dev/SDMMC
cp old/fare.tbl dev/ResidentFlash/Hailnet/
hp_run try --device dev changed --key fleet.pub --in-place; hp_expect_status 2 "try --key, a changed file"
hp_expect_out 'VerifyPackage[946]'; hp_expect_out 'never: the terminal holds update.pub and refuses the package'
[[ "$(hp_tree_sum dev/SDMMC/AirUpdate)" == "$(hp_tree_sum changed)" ]] || hp_fail "try left the refused package changed"
[[ "$(cat dev/ResidentFlash/Hailnet/fare.tbl)" == "old fares" ]] || hp_fail "try installed a refused package"
rm -r dev/SDMMC/AirUpdate
hp_run try --device dev pkg --key fleet.pub --in-place; hp_expect_status 0 "try --key, as signed"
[[ "$(cat dev/ResidentFlash/Hailnet/fare.tbl)" == "new fares" ]] || hp_fail "try did not install the signed package"
[[ "$(cat dev/ResidentFlash/Hailnet/update.sequence)" == 10 ]] || hp_fail "the terminal did not keep number 10"
mkdir -p older && echo "older fares" >older/fare.tbl
hp_run sign older --key fleet.key --sequence 8; hp_expect_status 0 "sign an older package"
hp_run try --device dev older --in-place; hp_expect_status 2 "try an older package"
hp_expect_out 'VerifyPackage[953] \SDMMC\AirUpdate\Signature\manifest.txt'
[[ "$(cat dev/ResidentFlash/Hailnet/fare.tbl)" == "new fares" ]] || hp_fail "try applied an older package"
hp_pass
