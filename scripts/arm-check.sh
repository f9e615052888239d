#!/usr/bin/env bash
# Compiles the core (log/, app/, patch/) for the terminal's architecture, as
# the device's build does: ARMv7 Thumb COFF objects, with clang at C++03,
# pedantic, warnings as errors, without exceptions or run-time type
# information, against the mingw-w64 Windows headers. It is the nearest a
# Linux machine comes to the device's compiler; nothing is linked. Then it
# checks that the objects import only functions the terminal has: every
# symbol they leave undefined must be in platform/ce_imports.txt.
#
#   scripts/arm-check.sh [OUT-DIR [SOURCE...]]   (default build/arm, the core)
#
# clang has no option for the literal code page, so the Korean literals stay
# UTF-8 in these objects; they are a check of the language, the width and
# the imports, not a device binary. Exits non-zero if a source does not
# compile, an object is not ARM Thumb COFF, or an object imports a function
# that is not on the list (each one named, with its object).
set -euo pipefail

cd "$(dirname "$0")/.."
readonly out="${1:-build/arm}"
readonly headers=/usr/share/mingw-w64/include
readonly target=armv7-w64-windows-gnu
# IMAGE_FILE_MACHINE_ARMNT, the first field of a COFF object (little-endian).
readonly arm_thumb_machine=01c4
readonly allowed_list=platform/ce_imports.txt

die() { echo "arm-check: $*" >&2; exit 1; }

command -v clang++ >/dev/null || die "clang++ not found (package clang)"
[[ -f "$headers/windows.h" ]] || die "no mingw-w64 headers in $headers (package mingw-w64-common)"
resource_include="$(clang++ -print-resource-dir)/include"
nm_tool="$(command -v llvm-nm-14 || command -v llvm-nm)" || die "llvm-nm not found (package llvm-14)"
[[ -f "$allowed_list" ]] || die "no $allowed_list"

# Only clang's own headers and the Windows ones: without -nostdinc clang
# would fall back to this Linux machine's /usr/include.
flags=(--target="$target" -std=c++03 -pedantic -Wall -Wextra -Werror -fno-exceptions -fno-rtti
       -nostdinc -isystem "$resource_include" -isystem "$headers"
       -I. -DUNICODE -D_UNICODE)

compile_one() {
  local source="$1" object
  object="$out/${source%.cpp}.o"
  mkdir -p "$(dirname "$object")"
  clang++ "${flags[@]}" -c "$source" -o "$object"
}

machine_of() { od -An -tx2 -N2 "$1" | tr -d ' '; }

allowed_names() { sed 's/#.*//' "$allowed_list" | awk 'NF { print $1 }' | sort -u; }

# What an object needs from outside the objects checked, as the function's
# own name (an import's __imp_ prefix taken off).
imports_of() {
  local object="$1" defined="$2"
  "$nm_tool" --undefined-only "$object" | awk 'NF { print $NF }' | sort -u |
    comm -23 - "$defined" | sed 's/^__imp_//' | sort -u
}

# Fails naming every function an object imports that the list lacks.
check_imports() {
  local defined="$out/defined-symbols.txt" allowed="$out/allowed-imports.txt"
  local object name used=() refused=0
  "$nm_tool" --defined-only "$@" | awk 'NF == 3 { print $3 }' | sort -u >"$defined"
  allowed_names >"$allowed"
  for object in "$@"; do
    while IFS= read -r name; do
      used+=("$name")
      grep -qxF -- "$name" "$allowed" && continue
      echo "arm-check: $object imports $name, which is not in $allowed_list (the terminal does not have it)" >&2
      refused=$((refused + 1))
    done < <(imports_of "$object" "$defined")
  done
  [[ $refused -eq 0 ]] || die "$refused import(s) the terminal does not have"
  echo "arm-check: the objects import $(printf '%s\n' "${used[@]}" | sort -u | wc -l) functions, every one in $allowed_list"
}

main() {
  local sources=() source
  if [[ $# -gt 1 ]]; then
    sources=("${@:2}")
  else
    while IFS= read -r source; do sources+=("$source"); done < <(find log app patch -name '*.cpp' | sort)
  fi
  [[ ${#sources[@]} -gt 0 ]] || die "no core sources found"
  rm -rf "$out"
  clang++ --version | head -n 1

  local failed=0
  for source in "${sources[@]}"; do
    compile_one "$source" || { echo "arm-check: $source does not compile" >&2; failed=$((failed + 1)); }
  done
  [[ $failed -eq 0 ]] || die "$failed of ${#sources[@]} core sources failed"

  local object machine objects=()
  for source in "${sources[@]}"; do
    object="$out/${source%.cpp}.o"
    machine="$(machine_of "$object")"
    [[ "$machine" == "$arm_thumb_machine" ]] ||
      die "$object: COFF machine 0x$machine, not ARM Thumb (0x$arm_thumb_machine)"
    objects+=("$object")
  done
  echo "arm-check: ${#sources[@]} core sources compiled to ARMv7 Thumb COFF objects in $out"
  check_imports "${objects[@]}"
}

main "$@"
