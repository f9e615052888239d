#!/usr/bin/env bash
# The zip of a Windows build, unpacked: its name carries the project's
# version and the build's width, it holds the tools, stripped, and
# README.txt, and hailpatch.exe (and hailog.exe, required once the build
# makes it) run from it under Wine, hailpatch.exe's check and try giving the
# Linux report, and its keygen, make --sign and check --key working together.
#
#   zip_tools_run_under_wine.sh BUILD_DIR NAME VERSION WITH_HAILOG(0|1)
#   (NAME: hailwatch-tools-VERSION-win32, or -win64 for the 64-bit build)
set -uo pipefail
source "$(dirname "$0")/lib.sh"
build="${1:?build folder}"; name="${2:?zip name}"; version="${3:?project version}"; with_hailog="${4:?0 or 1}"
work="$(mktemp -d)"
trap '[[ -d "$work/prefix" ]] && WINEPREFIX="$work/prefix" wineserver -k >/dev/null 2>&1; rm -rf "$work"' EXIT

[[ "$name" =~ ^hailwatch-tools-$version-win(32|64)$ ]] || pkg_fail "zip name $name lacks the version $version"
pkg_make ZIP "$build" "$work/out"
[[ -f "$work/out/$name.zip" ]] || pkg_fail "no $name.zip: $(ls "$work/out")"
mkdir -p "$work/unpacked"
(cd "$work/unpacked" && cmake -E tar xf "$work/out/$name.zip") || pkg_fail "unpacking $name.zip"
dir="$work/unpacked/$name"
exes=(hailpatch hailctl)
[[ "$with_hailog" == 1 ]] && exes+=(hailog)
for file in README.txt "${exes[@]/%/.exe}"; do
  [[ -f "$dir/$file" ]] || pkg_fail "$name.zip lacks $file"
done
for exe in "${exes[@]}"; do
  [[ "$(file -b "$dir/$exe.exe")" == *"(stripped to external PDB)"* ]] || pkg_fail "$exe.exe is not stripped"
done

pkg_device "$work/device"
wine_run() { bash "${WINE_RUN:?}" --prefix "$work/prefix" --device "$work/device" -- "$@" | tr -d '\r'; }
for exe in "${exes[@]}"; do
  [[ "$(wine_run "$dir/$exe.exe" --version)" == "$exe $version" ]] || pkg_fail "$exe.exe --version"
done
out="$(wine_run "$dir/hailpatch.exe" check package)"
pkg_expect_check "${PIPESTATUS[0]}" "$out"
out="$(wine_run "$dir/hailpatch.exe" try --device . package)"
pkg_expect_try "${PIPESTATUS[0]}" "$out"
mkdir -p "$work/device/old" "$work/device/new" && echo "new fares" >"$work/device/new/fare.tbl"
wine_run "$dir/hailpatch.exe" keygen -o fleet >/dev/null || pkg_fail "hailpatch.exe keygen"
wine_run "$dir/hailpatch.exe" make --from old --to new -o made --sign fleet.key >/dev/null ||
  pkg_fail "hailpatch.exe make --sign"
out="$(wine_run "$dir/hailpatch.exe" check made --key fleet.pub)"
[[ "${PIPESTATUS[0]}" == 0 && "$out" == *"signature: good"* ]] || pkg_fail "hailpatch.exe check --key: $out"
if [[ "$with_hailog" == 1 ]]; then
  out="$(wine_run "$dir/hailog.exe" --number 434 'ResidentFlash\Log')" || pkg_fail "hailog.exe: exit $?"
  pkg_expect_listing "$out"
fi
echo "zip: $name.zip holds ${exes[*]} and README.txt; they run under Wine"
