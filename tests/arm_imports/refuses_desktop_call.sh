#!/usr/bin/env bash
# One core-style source compiled by the ARM check twice: calling a function
# the terminal has (GetTickCount) it passes; calling SetCurrentDirectoryW,
# which desktop Windows has and Windows CE does not, it fails and names it.
#
#   refuses_desktop_call.sh ARM_CHECK_SCRIPT
set -uo pipefail
readonly arm_check="${1:?scripts/arm-check.sh}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# plant NAME CALL: a source whose one function makes CALL.
plant() {
  printf '#include "platform/platform.h"\n\nvoid %s();\nvoid %s() { %s; }\n' "$1" "$1" "$2" >"$work/$1.cpp"
}

plant KeepsTime 'GetTickCount()'
bash "$arm_check" "$work/allowed" "$work/KeepsTime.cpp" >"$work/allowed.out" 2>&1 ||
  { cat "$work/allowed.out"; echo "FAIL: a call to GetTickCount was refused"; exit 1; }

plant ChangesFolder 'SetCurrentDirectoryW(L"\\SDMMC")'
if bash "$arm_check" "$work/refused" "$work/ChangesFolder.cpp" >"$work/refused.out" 2>&1; then
  cat "$work/refused.out"; echo "FAIL: a call to SetCurrentDirectoryW passed"; exit 1
fi
grep -q 'ChangesFolder.o imports SetCurrentDirectoryW, which is not in platform/ce_imports.txt' "$work/refused.out" ||
  { cat "$work/refused.out"; echo "FAIL: the refusal does not name SetCurrentDirectoryW"; exit 1; }
grep 'imports SetCurrentDirectoryW' "$work/refused.out"
echo "arm-check: GetTickCount allowed, SetCurrentDirectoryW refused by name"
