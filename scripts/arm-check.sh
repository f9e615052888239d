#!/usr/bin/env bash
# Compiles the core (log/, app/, patch/) for the terminal's architecture:
# ARMv7 Thumb COFF objects, with clang at C++03, pedantic, warnings as
# errors, against the mingw-w64 Windows headers. It is the nearest a Linux
# machine comes to the device's compiler; nothing is linked.
#
#   scripts/arm-check.sh [OUT-DIR]     (default build/arm)
#
# clang has no option for the literal code page, so the Korean literals stay
# UTF-8 in these objects; they are a check of the language and the width,
# not a device binary. Exits non-zero if a source does not compile or an
# object is not ARM Thumb COFF.
set -euo pipefail

cd "$(dirname "$0")/.."
readonly out="${1:-build/arm}"
readonly headers=/usr/share/mingw-w64/include
readonly target=armv7-w64-windows-gnu
# IMAGE_FILE_MACHINE_ARMNT, the first field of a COFF object (little-endian).
readonly arm_thumb_machine=01c4

die() { echo "arm-check: $*" >&2; exit 1; }

command -v clang++ >/dev/null || die "clang++ not found (package clang)"
[[ -f "$headers/windows.h" ]] || die "no mingw-w64 headers in $headers (package mingw-w64-common)"
resource_include="$(clang++ -print-resource-dir)/include"

# Only clang's own headers and the Windows ones: without -nostdinc clang
# would fall back to this Linux machine's /usr/include.
flags=(--target="$target" -std=c++03 -pedantic -Wall -Wextra -Werror
       -nostdinc -isystem "$resource_include" -isystem "$headers"
       -I. -DUNICODE -D_UNICODE)

compile_one() {
  local source="$1" object
  object="$out/${source%.cpp}.o"
  mkdir -p "$(dirname "$object")"
  clang++ "${flags[@]}" -c "$source" -o "$object"
}

machine_of() { od -An -tx2 -N2 "$1" | tr -d ' '; }

main() {
  local sources=() source
  while IFS= read -r source; do sources+=("$source"); done < <(find log app patch -name '*.cpp' | sort)
  [[ ${#sources[@]} -gt 0 ]] || die "no core sources found"
  rm -rf "$out"
  clang++ --version | head -n 1

  local failed=0
  for source in "${sources[@]}"; do
    compile_one "$source" || { echo "arm-check: $source does not compile" >&2; failed=$((failed + 1)); }
  done
  [[ $failed -eq 0 ]] || die "$failed of ${#sources[@]} core sources failed"

  local object machine
  for source in "${sources[@]}"; do
    object="$out/${source%.cpp}.o"
    machine="$(machine_of "$object")"
    [[ "$machine" == "$arm_thumb_machine" ]] ||
      die "$object: COFF machine 0x$machine, not ARM Thumb (0x$arm_thumb_machine)"
  done
  echo "arm-check: ${#sources[@]} core sources compiled to ARMv7 Thumb COFF objects in $out"
}

main "$@"
