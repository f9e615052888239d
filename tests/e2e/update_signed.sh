#!/usr/bin/env bash
# A terminal holding the fleet's key (\ResidentFlash\Hailnet\update.pub, made
# by hailpatch keygen): a signed package with one byte changed after signing
# is left whole, no application is closed, one <E> line says why and the
# staging folders are cleared; the next start, with the package as signed,
# applies it, keeps its number in update.pub's folder (the note of the
# package begun goes with the package), and leaves the manifest and
# signature on the card.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/supervisor_common.sh"

e2e_init update_signed
sv_require_exes HAILCTL_EXE
[[ -x "${HAILPATCH_HOST:-}" ]] ||
  e2e_fail "HAILPATCH_HOST is not the Linux hailpatch (build the host preset first)"
sv_install Hailnet Hailwire Hailfare
sv_log_realtime

hailnet="$E2E_DEV/ResidentFlash/Hailnet"
package="$E2E_DEV/SDMMC/AirUpdate"
keys="$E2E_DIR/keys"
mkdir -p "$keys" "$package/Map"
"$HAILPATCH_HOST" keygen -o "$keys/fleet" >/dev/null || e2e_fail "keygen failed"
cp "$keys/fleet.pub" "$hailnet/update.pub"
printf 'MKDIR(\\ResidentFlash\\Hailnet\\Map)\r\nCP(Map/road.dat)(\\ResidentFlash\\Hailnet)\r\n' >"$package/patch_list.txt"
echo "new road" >"$package/Map/road.dat"
echo "new fares" >"$package/fare.tbl"
"$HAILPATCH_HOST" sign "$package" --key "$keys/fleet.key" >/dev/null || e2e_fail "sign failed"
cp "$package/fare.tbl" "$E2E_DIR/fare.tbl.signed"
echo "new fares!" >"$package/fare.tbl"
mkdir -p "$E2E_DEV/ResidentFlash/SDIUpdate"
echo staged >"$E2E_DEV/ResidentFlash/SDIUpdate/s.bin"
tree_of() { (cd "$1" && find . -type f -exec sha256sum {} + | sort); }
before="$(tree_of "$package")"

for name in Hailnet Hailwire Hailfare; do sv_start_sibling "$name"; done
e2e_start "$HAILWATCH_EXE"
e2e_wait_log_text "CPatchList::DeleteFolder[487] 경로[\\ResidentFlash\\AdtDownload]" 40 ||
  e2e_fail "the start-up update did not finish"

expected="<I> CPatchList::IsFolderFiles[425] 경로[\\SDMMC\\AirUpdate] 결과[File]
<E> VerifyPackage[946] \\SDMMC\\AirUpdate\\fare.tbl 파일 크기가 서명 목록과 다릅니다. 패키지를 적용하지 않습니다.
<I> CPatchList::DeleteFolder[487] 경로[\\ResidentFlash\\Update] 경로의 파일수[0] RemoveDirectory 결과[0]
<I> CPatchList::RM[764] 결과[1] DELETE 파일이름[\\ResidentFlash\\SDIUpdate\\s.bin]
<I> CPatchList::DeleteFolder[487] 경로[\\ResidentFlash\\SDIUpdate] 경로의 파일수[1] RemoveDirectory 결과[1]
<I> CPatchList::DeleteFolder[487] 경로[\\ResidentFlash\\AdtDownload] 경로의 파일수[0] RemoveDirectory 결과[0]"
got="$(sv_log_lines "CPatchList::" "VerifyPackage")"
[[ "$got" == "$expected" ]] || e2e_fail "update lines of the tampered package differ:
$got"
[[ "$(tree_of "$package")" == "$before" ]] || e2e_fail "the tampered package was changed"
[[ ! -e "$hailnet/Map" && ! -e "$hailnet/fare.tbl" && ! -e "$hailnet/update.verified" ]] ||
  e2e_fail "something was installed or noted"
[[ ! -e "$E2E_DEV/ResidentFlash/SDIUpdate" ]] || e2e_fail "SDIUpdate was not removed"
for name in Hailnet Hailwire Hailfare; do
  [[ "$(sv_record_count "$name" "WM_DESTROY")" == 0 ]] || e2e_fail "$name was closed"
done

# The next start, with the package as it was signed, applies it.
e2e_run "$HAILCTL_EXE" quit || e2e_fail "hailctl quit failed ($E2E_EXIT)"
e2e_wait_exit 20 || e2e_fail "Hailwatch did not end after WM_DESTROY"
cp "$E2E_DIR/fare.tbl.signed" "$package/fare.tbl"
e2e_start "$HAILWATCH_EXE"
e2e_wait_log_text "Src경로의 파일수[1]" 40 || e2e_fail "the signed package was not moved"
[[ "$(cat "$hailnet/Map/road.dat")" == "new road" && "$(cat "$hailnet/fare.tbl")" == "new fares" ]] ||
  e2e_fail "the signed package was not installed"
[[ ! -e "$package/patch_list.txt" && ! -e "$package/fare.tbl" ]] ||
  e2e_fail "the signed package left the list or a file on the card"
[[ -f "$package/Signature/manifest.txt" && -f "$package/Signature/manifest.sig" ]] ||
  e2e_fail "the manifest or the signature left the card"
[[ -z "$(find "$hailnet" -name 'manifest.*')" ]] || e2e_fail "the manifest reached the install folder"
[[ ! -e "$hailnet/update.verified" ]] || e2e_fail "update.verified outlived the package applied"
[[ "$(cat "$hailnet/update.sequence")" == "$(sed -n 2p "$package/Signature/manifest.txt" | cut -d' ' -f2)" ]] ||
  e2e_fail "update.sequence does not hold the number of the package applied"
[[ "$(sv_log_lines "VerifyPackage" | wc -l)" == 1 ]] || e2e_fail "the second start refused the package"
for name in Hailnet Hailwire Hailfare; do
  [[ "$(sv_record_count "$name" "WM_DESTROY")" -ge 1 ]] || e2e_fail "$name was not closed for the update"
done
e2e_pass
