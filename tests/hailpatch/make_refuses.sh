#!/usr/bin/env bash
# make refuses what the terminal cannot take, with one clear line and status
# 2, and says what differs when its package would not turn OLD into NEW.
set -uo pipefail
source "$(dirname "$0")/lib.sh"
hp_init make_refuses "${1:?hailpatch}"
cd "$HP_WORK"

refuse() {   # refuse LABEL TEXT: NEW is in ./new, OLD in ./old
  rm -rf pkg
  hp_run make --from old --to new -o pkg; hp_expect_status 2 "$1"
  hp_expect_one_error_line "$1" "$2"
  rm -rf old new
}

mkdir -p old new/Map && echo r >"new/Map/road$(printf '\u0e3f').dat"
refuse "a name 949 cannot hold" "code page 949 cannot hold this name"

mkdir -p old "new/$(printf 'd%.0s' {1..120})" && echo x >"new/$(printf 'd%.0s' {1..120})/$(printf 'f%.0s' {1..120}).dat"
refuse "a path over 255 bytes" "longer than 255 bytes"

mkdir -p old new/Map && echo r >"new/Map/road(1.dat"
refuse "an unbalanced bracket" "bracket"

mkdir -p old new && echo x >new/Hailwatch.exe
refuse "the supervisor's exe" "Hailwatch.exe: a package cannot carry this file"

mkdir -p old new && echo x >new/PATCH_LIST.TXT
refuse "a file named like the list" "reads it as the list"

mkdir -p old new && echo a >new/A.dll && echo b >new/a.DLL
refuse "names differing only in case" "only in letter case"

mkdir -p old new && echo same >old/a.dll && echo same >new/a.dll
refuse "nothing to package" "nothing to package"
hp_pass
