#!/usr/bin/env bash
# make, then try, then compare with NEW, for every folder under roundtrip/:
# OLD and NEW install folders (old/, new/) and the expected output of make
# (expected-make.txt; HAILWATCH_GOLDEN_UPDATE=1 rewrites it), and, where a
# case keeps the package made (package/), that package: the Wine scenario
# plays it with the real supervisor (tests/e2e/update_case_rename.sh). The try is the
# tool's own verb on a device whose install folder is a copy of OLD, run in
# place, and the comparison is diff -r, so neither leans on make's own proof.
set -uo pipefail
source "$(dirname "$0")/lib.sh"
hp_init roundtrip "${1:?hailpatch}"
readonly cases="$(cd "$(dirname "$0")" && pwd)/roundtrip"

played=0
for case_dir in "$cases"/*/; do
  name="$(basename "$case_dir")"
  dir="$HP_WORK/$name"
  mkdir -p "$dir/dev/ResidentFlash" "$dir/dev/SDMMC"
  cp -a "$case_dir/old" "$case_dir/new" "$dir/"
  cp -a "$case_dir/old" "$dir/dev/ResidentFlash/Hailnet"
  cd "$dir" || hp_fail "$name: no work folder"

  hp_run make --from old --to new -o pkg; hp_expect_status 0 "$name: make"
  if [[ "${HAILWATCH_GOLDEN_UPDATE:-}" == 1 ]]; then cp "$HP_WORK/out" "$case_dir/expected-make.txt"; fi
  diff -u "$case_dir/expected-make.txt" "$HP_WORK/out" || hp_fail "$name: make printed something else"

  if [[ -d "$case_dir/package" ]]; then
    diff -r "$case_dir/package" pkg || hp_fail "$name: make made another package than package/"
  fi
  hp_run check pkg; hp_expect_status 0 "$name: check of the made package"
  hp_run try --device dev pkg --in-place; hp_expect_status 0 "$name: try"
  hp_expect_out "next start applies the package again: no"
  diff -r dev/ResidentFlash/Hailnet new || hp_fail "$name: the install folder after try differs from NEW"
  left="$(find dev/SDMMC/AirUpdate -maxdepth 1 -type f)"
  [[ -z "$left" ]] || hp_fail "$name: files left in the package: $left"
  played=$((played + 1))
done
[[ $played -gt 0 ]] || hp_fail "no round-trip case found"
echo "round-trip cases: $played"
hp_pass
