#!/usr/bin/env bash
# A keyed terminal (update.pub from hailpatch keygen) against someone who
# holds its card between starts, with the real supervisor and code page 949
# as Wine converts names: each attempt is refused with one <E> line, nothing
# is installed and no application is closed.
#  1. A signed package beside a top-level file named "Signature₩manifest.txt"
#     (U+20A9, which 949 turns into the manifest's path): refused (951).
#  2. The same package without it: applied; the note of the package goes
#     with it and the terminal keeps the package's number (42).
#  3. The package's list put back alone: refused (953), the map stays.
#  4. An older package signed whole (31): refused (953).
set -euo pipefail
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/supervisor_common.sh"

e2e_init update_card_holder
sv_require_exes HAILCTL_EXE
[[ -x "${HAILPATCH_HOST:-}" ]] ||
  e2e_fail "HAILPATCH_HOST is not the Linux hailpatch (build the host preset first)"
sv_install Hailnet Hailwire Hailfare
sv_log_realtime

hailnet="$E2E_DEV/ResidentFlash/Hailnet"
package="$E2E_DEV/SDMMC/AirUpdate"
keys="$E2E_DIR/keys"
kept="$E2E_DIR/kept"
mkdir -p "$keys" "$kept" "$hailnet/Map" "$package/Map"
"$HAILPATCH_HOST" keygen -o "$keys/fleet" >/dev/null || e2e_fail "keygen failed"
cp "$keys/fleet.pub" "$hailnet/update.pub"
echo "old road" >"$hailnet/Map/road.dat"
echo "old poi" >"$hailnet/Map/poi.dat"
echo "old fares" >"$hailnet/fare.tbl"
list='RMDIR(\\ResidentFlash\\Hailnet\\Map)\r\nMKDIR(\\ResidentFlash\\Hailnet\\Map)\r\nCP(Map/road.dat)(\\ResidentFlash\\Hailnet)\r\nCP(Map/poi.dat)(\\ResidentFlash\\Hailnet)\r\n'
make_package() { # FOLDER YEAR SEQUENCE-BEFORE
  mkdir -p "$1/Map"
  printf "$list" >"$1/patch_list.txt"
  echo "road $2" >"$1/Map/road.dat"
  echo "poi $2" >"$1/Map/poi.dat"
  echo "fares $2" >"$1/fare.tbl"
  "$HAILPATCH_HOST" sign "$1" --key "$keys/fleet.key" --sequence "$3" >/dev/null || e2e_fail "sign failed"
}
make_package "$package" 2025 41
cp "$package/patch_list.txt" "$kept/"
make_package "$E2E_DIR/older" 2024 30
alias="$package/Signature$(printf '\xe2\x82\xa9')manifest.txt"
echo "not the manifest" >"$alias"

installed() { (cd "$hailnet" && cat Map/road.dat Map/poi.dat fare.tbl); }
tree_of() { (cd "$1" && find . -type f -exec sha256sum {} + | sort); }
# One start, up to its own staging clean-up (earlier starts wrote the same
# line); then the supervisor quits.
start() {
  local done_line="경로[\\ResidentFlash\\AdtDownload]" before
  before="$(e2e_log_count "$done_line")"
  e2e_start "$HAILWATCH_EXE"
  e2e_wait_log_count "$done_line" $((before + 1)) 40 || e2e_fail "$1: the start-up update did not finish"
  sv_quit_and_wait
}
# A start that refuses the package with LINE and changes nothing.
expect_refused() {
  local what="$1" line="$2" before_card before_installed
  before_card="$(tree_of "$E2E_DEV/SDMMC")" before_installed="$(installed)"
  start "$what"
  [[ "$(sv_log_lines "VerifyPackage" | tail -1)" == "$line" ]] ||
    e2e_fail "$what: the last refusal is not '$line':
$(sv_log_lines "VerifyPackage")"
  [[ "$(tree_of "$E2E_DEV/SDMMC")" == "$before_card" && "$(installed)" == "$before_installed" ]] ||
    e2e_fail "$what: the card or the install folder changed"
  sv_expect_none_closed
}
refusal() { echo "<E> VerifyPackage[$1] $2 $3 패키지를 적용하지 않습니다."; }

for name in Hailnet Hailwire Hailfare; do sv_start_sibling "$name"; done
expect_refused "a name 949 turns into the manifest's" \
  "$(refusal 951 '\SDMMC\AirUpdate\Signature\manifest.txt' '기기에서 쓸 수 없는 파일 이름입니다.')"

rm "$alias"
start "the package as signed"
[[ "$(installed)" == $'road 2025\npoi 2025\nfares 2025' ]] || e2e_fail "the signed package was not installed"
[[ ! -e "$hailnet/update.verified" && "$(cat "$hailnet/update.sequence")" == 42 ]] ||
  e2e_fail "the note outlived its package, or the number is not 42"
[[ "$(sv_log_lines "VerifyPackage" | wc -l)" == 1 ]] || e2e_fail "the signed package was refused"
for name in Hailnet Hailwire Hailfare; do
  [[ "$(sv_record_count "$name" "WM_DESTROY")" -ge 1 ]] || e2e_fail "$name was not closed for the update"
  : >"$(sv_record "$name")"
done
for name in Hailnet Hailwire Hailfare; do sv_start_sibling "$name"; done

cp "$kept/patch_list.txt" "$package/"
expect_refused "the list put back" \
  "$(refusal 953 '\SDMMC\AirUpdate\Signature\manifest.txt' '이미 적용한 패키지보다 순번이 높지 않습니다.')"

rm -r "$package" && cp -r "$E2E_DIR/older" "$package"
expect_refused "an older package" \
  "$(refusal 953 '\SDMMC\AirUpdate\Signature\manifest.txt' '이미 적용한 패키지보다 순번이 높지 않습니다.')"
e2e_pass
