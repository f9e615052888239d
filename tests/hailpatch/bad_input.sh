#!/usr/bin/env bash
# Bad input to every verb: one line on stderr and a non-zero status, never a
# crash, and nothing touched before everything was checked.
set -uo pipefail
source "$(dirname "$0")/lib.sh"
hp_init bad_input "${1:?hailpatch}"
cd "$HP_WORK"

# The help of the tool and of every verb, with the exit statuses.
hp_run --help; hp_expect_status 0 "--help"
for verb in check try make keygen sign; do
  hp_run "$verb" --help; hp_expect_status 0 "$verb --help"
  hp_expect_out "Exit status"
done
hp_run; hp_expect_status 3 "no verb"; hp_expect_one_error_line "no verb" "subcommand"
hp_run frobnicate; hp_expect_status 3 "unknown verb"; hp_expect_one_error_line "unknown verb" "frobnicate"
hp_run check; hp_expect_status 3 "check without PKG"; hp_expect_one_error_line "check without PKG" "PKG"

# check
hp_run check missing-package; hp_expect_status 3 "missing package"
hp_expect_one_error_line "missing package" "missing-package: no such folder"
[[ ! -s out ]] || hp_fail "missing package: something on stdout"
echo x >plain-file
hp_run check plain-file; hp_expect_status 3 "a file as package"
hp_expect_one_error_line "a file as package" "plain-file: not a folder"
mkdir dangling && ln -s nowhere dangling/patch_list.txt
hp_run check dangling; hp_expect_status 3 "unreadable list"
hp_expect_one_error_line "unreadable list" "patch_list.txt: cannot be read"

# try: a missing package must leave the card's update folder as it was,
# also in place; a missing or foreign device folder is refused.
mkdir -p dev/ResidentFlash/Hailnet dev/SDMMC/AirUpdate
echo keep >dev/SDMMC/AirUpdate/waiting.dat
before="$(hp_tree_sum dev)"
hp_run try --device dev missing-package; hp_expect_status 3 "try, missing package"
hp_expect_one_error_line "try, missing package" "missing-package: no such folder"
hp_run try --device dev missing-package --in-place; hp_expect_status 3 "try in place, missing package"
[[ "$(hp_tree_sum dev)" == "$before" ]] || hp_fail "a refused try changed the device"
mkdir -p pkg && echo f >pkg/fare.tbl
hp_run try --device missing-dev pkg; hp_expect_status 3 "try, missing device"
hp_expect_one_error_line "try, missing device" "missing-dev: no such folder"
mkdir not-a-device
hp_run try --device not-a-device pkg; hp_expect_status 3 "try, no ResidentFlash"
hp_expect_one_error_line "try, no ResidentFlash" "not a device folder"
hp_run try --device dev pkg --pass 1; hp_expect_status 3 "--pass without --list"
hp_expect_one_error_line "--pass without --list" "requires --list"
hp_run try --device dev pkg --crash Roadlens; hp_expect_status 3 "--crash of an application nobody watches"
hp_expect_one_error_line "--crash of an application nobody watches" "--crash"
[[ "$(hp_tree_sum dev)" == "$before" ]] || hp_fail "a refused try changed the device"
hp_run try pkg; hp_expect_status 3 "try without --device"
hp_expect_one_error_line "try without --device" "device"

# make: missing folders, an output that holds something.
mkdir -p old new && echo a >new/a.dll
hp_run make --from missing-old --to new -o out1; hp_expect_status 3 "make, missing OLD"
hp_expect_one_error_line "make, missing OLD" "missing-old: no such folder"
mkdir -p full && echo x >full/x
hp_run make --from old --to new -o full; hp_expect_status 3 "make into a full folder"
hp_expect_one_error_line "make into a full folder" "not an empty folder"
[[ "$(ls full)" == x ]] || hp_fail "make touched a folder it refused"
hp_pass
