#!/usr/bin/env bash
# A byte that code page 949 cannot read shows as \xNN in every report that
# prints a name: check's listing and findings, try's log (the terminal's own
# lines), try --list, sign's refusal and make's refusal of a name on the PC.
# None shows it as "?", which would read as a character of the name.
set -uo pipefail
source "$(dirname "$0")/lib.sh"
hp_init shown_bytes "${1:?hailpatch}"
cd "$HP_WORK"

ff="$(printf '\xff')"
mkdir -p dev/ResidentFlash/Hailnet dev/SDMMC pkg outside old new
echo "old fares" >"dev/ResidentFlash/Hailnet/fare.tbl"
echo "new fares" >pkg/fare.tbl
printf 'RM(\\ResidentFlash\\Hailnet\\fare%s.tbl)\r\nCP(\\SDMMC\\AirUpdate\\map%s.dat)(\\ResidentFlash\\Hailnet)\r\n' \
  "$ff" "$ff" >pkg/patch_list.txt
# A keyed terminal refuses a copy from outside the package: sign names it.
echo "new fares" >outside/fare.tbl
printf 'CP(../Extra/map%s.dat)(\\ResidentFlash\\Hailnet)\r\n' "$ff" >outside/patch_list.txt
hp_run keygen -o fleet; hp_expect_status 0 "keygen"

# shows VERB: the report names both names with \xFF, and never with "?".
shows() {
  local verb="$1" both
  both="$(cat "$HP_WORK/out" "$HP_WORK/err")"
  for name in 'fare\xFF.tbl' 'map\xFF.dat'; do
    [[ "$verb" == sign* && "$name" == fare* ]] && continue   # sign names only what it refuses
    grep -qF -- "$name" <<<"$both" || hp_fail "$verb does not show $name"
  done
  ! grep -qE 'fare\?|map\?' <<<"$both" || hp_fail "$verb shows a byte 949 cannot read as '?'"
  HP_CHECKS=$((HP_CHECKS + 1))
}

hp_run check pkg; shows check
hp_run try --device dev pkg; shows try
hp_run try --device dev pkg --list; shows "try --list"
hp_run sign outside --key fleet.key; hp_expect_status 3 "sign"; shows sign

printf 'x' >"old/fare$ff.tbl"
hp_run make --from old --to new -o made; hp_expect_status 3 "make"
grep -qF 'old/fare\xFF.tbl' "$HP_WORK/err" || hp_fail "make does not show old/fare\\xFF.tbl"
HP_CHECKS=$((HP_CHECKS + 1))
hp_pass
