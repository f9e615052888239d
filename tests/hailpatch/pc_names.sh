#!/usr/bin/env bash
# Names on the PC are UTF-8. A card or install folder copied without
# converting its names holds code page 949 bytes, which the model terminal
# would take for another file than the one a package names (a fare table
# "added" beside the old one). Every verb refuses such a folder with one line
# naming the file and the remedy, before anything is changed.
set -uo pipefail
source "$(dirname "$0")/lib.sh"
hp_init pc_names "${1:?hailpatch}"
cd "$HP_WORK"

fare949="$(printf '\xbf\xe4\xb1\xdd').tbl"   # 요금.tbl in code page 949
mkdir -p dev/ResidentFlash/Hailnet dev/SDMMC pkg pkg949 old new
echo "old fares" >"dev/ResidentFlash/Hailnet/$fare949"
echo "new fares" >"pkg/요금.tbl"
echo "new fares" >"pkg949/$fare949"
echo "old fares" >"old/$fare949"
echo "new fares" >"new/요금.tbl"
hp_run keygen -o fleet; hp_expect_status 0 "keygen"
before="$(hp_tree_sum dev)"

refused() {   # refused LABEL FOLDER ARGS...: status 3, one line naming FOLDER's 949 file
  local label="$1" folder="$2"; shift 2
  hp_run "$@"; hp_expect_status 3 "$label"
  hp_expect_one_error_line "$label" "$folder/\\\\xBF\\\\xE4\\\\xB1\\\\xDD.tbl: the name is code page 949 bytes (요금.tbl), not UTF-8"
  grep -q "convmv -f cp949 -t utf-8" "$HP_WORK/err" || hp_fail "$label: no remedy given"
}
refused "try in place on a 949 device" dev/ResidentFlash/Hailnet try --device dev pkg --in-place
refused "check on a 949 device" dev/ResidentFlash/Hailnet check --device dev pkg
refused "check of a 949 package" pkg949 check pkg949
refused "sign a 949 package" pkg949 sign pkg949 --key fleet.key
refused "make from a 949 OLD" old make --from old --to new -o made
[[ "$(hp_tree_sum dev)" == "$before" ]] || hp_fail "a refused try changed the device"
[[ ! -e made && ! -e pkg949/Signature ]] || hp_fail "a refused make or sign wrote something"

printf 'x' >"pkg/$(printf '\xff')"
hp_run check pkg; hp_expect_status 3 "a name in no code page"
hp_expect_one_error_line "a name in no code page" 'pkg/\\xFF: the name is not UTF-8, nor code page 949 text'
hp_pass
