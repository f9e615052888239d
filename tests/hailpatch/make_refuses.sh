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

# An installed read-only file that NEW removes: the terminal's RM cannot.
mkdir -p old new && echo g >old/gone-ro.dat && chmod a-w old/gone-ro.dat && echo x >new/x.dll
refuse "a read-only file removed" "gone-ro.dat: read-only, and NEW removes it"

# A source that cannot be read is named as such, and nothing is left at -o.
mkdir -p old new && echo x >new/x.dll && ln -s nowhere new/y.dll
rm -rf pkg; hp_run make --from old --to new -o pkg; hp_expect_status 3 "an unreadable source"
hp_expect_one_error_line "an unreadable source" "new/y.dll: cannot be read"
[[ ! -e pkg ]] || hp_fail "make left a half package at -o"
rm -rf old new

# -o inside NEW (or OLD) is refused before anything is written.
mkdir -p old new && echo x >new/x.dll
hp_run make --from old --to new -o new/pkg; hp_expect_status 3 "-o inside NEW"
hp_expect_one_error_line "-o inside NEW" "inside new, which make reads"
[[ ! -e new/pkg ]] || hp_fail "make wrote into NEW"
rm -rf old new

# A package that does not check clean (it deletes a watched application)
# is not left at -o.
mkdir -p old new && echo x >new/x.dll && echo n >old/Hailnet.exe
rm -rf pkg; hp_run make --from old --to new -o pkg; hp_expect_status 2 "the call application removed"
hp_expect_out "Hailnet.exe: deleted by line 2 and not replaced"
[[ ! -e pkg ]] || hp_fail "make left a refused package at -o"
rm -rf old new
hp_pass
